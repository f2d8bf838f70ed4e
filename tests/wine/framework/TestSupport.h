// The test application object, a scriptable test dialog and small helpers shared by the
// framework tests. Every test runs on the process's one thread, as the program does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/afxwin.h"
#include "test_ids.h"

constexpr UINT WM_TEST_RUN = WM_APP + 1;   // runs TestDlg::body inside the modal loop
constexpr UINT WM_TEST_PING = WM_APP + 2;  // has a row in TestDlg's map
constexpr UINT ID_APP_COMMAND = 5000;      // only the application's map handles it

class TestApp : public CWinApp {
public:
    BOOL InitInstance() override { return initInstance ? initInstance() : FALSE; }
    int ExitInstance() override
    {
        ++exitInstanceCalls;
        return CWinApp::ExitInstance();
    }
    void WinHelp(DWORD_PTR data, UINT command) override { helpCalls.push_back({data, command}); }
    void OnAppCommand() { ++appCommands; }

    struct HelpCall {
        DWORD_PTR data;
        UINT command;
    };
    std::function<BOOL()> initInstance;
    std::vector<HelpCall> helpCalls;
    int appCommands = 0;
    int exitInstanceCalls = 0;

    static const AFX_MSGMAP messageMap;
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
    static bool DispatchMessageMap(CCmdTarget*, UINT, WPARAM, LPARAM, LRESULT*);
};

TestApp& App();

// A dialog whose behaviour each test scripts: `onInit` runs inside OnInitDialog, `body` inside
// the modal loop (posted from OnInitDialog), `onTimer` on WM_TIMER. Handlers append to `log`.
class TestDlg : public CDialogEx {
public:
    explicit TestDlg(UINT templateId = IDD_PLAIN, CWnd* parent = nullptr) : CDialogEx(templateId, parent) {}

    std::function<void(TestDlg&)> onInit;
    std::function<void(TestDlg&)> body;
    std::function<void(TestDlg&)> onTimer;
    std::function<void(TestDlg&)> onGo;
    std::function<BOOL(MSG*)> preTranslate;  // consulted before the base; null: log only
    bool endOnOkCancel = true;               // false: OnOK/OnCancel only log
    bool bindGo = false;                     // DoDataExchange binds m_btnGo
    std::vector<std::string> log;
    std::vector<UINT> seen;  // every message WindowProc saw
    CButton m_btnGo;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    void OnRun();
    void OnPing() { log.push_back("map:ping"); }
    void OnGo()
    {
        log.push_back("go");
        if (onGo) onGo(*this);
    }
    void OnTimerMessage(UINT, LPARAM);
    void OnSysCommand(UINT id, LPARAM lParam);

    static const AFX_MSGMAP messageMap;
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
    static bool DispatchMessageMap(CCmdTarget*, UINT, WPARAM, LPARAM, LRESULT*);
};

// A wrapper of a child control that logs what the modal loop offers it.
class LoggingButton : public CButton {
public:
    explicit LoggingButton(std::vector<std::string>& log) : m_log(log) {}
    BOOL PreTranslateMessage(MSG* msg) override;

private:
    std::vector<std::string>& m_log;
};

// Resets what a test may leave behind: the main window, a posted WM_QUIT, modifier key state,
// the help calls.
class FrameworkTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Whether a WM_QUIT is waiting; removes it and stores its wParam in `code`.
bool TakeQuitMessage(WPARAM* code = nullptr);

// Live allocations made with new (std::nothrow), which the framework uses for temporary wrappers.
int LiveNothrowAllocations();

RECT WindowRect(HWND hWnd);
RECT WorkArea();
