// The program's small application framework over the Win32 API: an application object, window
// and dialog wrappers with message maps, a modal loop with pre-translation, data exchange for
// controls, and the few services the setup program asks of it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/afxmsgmap.h"
#include "framework/afxstr.h"

// Command, string and help ids of the framework itself.
constexpr UINT ID_HELP = 0xE146;
constexpr UINT AFX_IDP_FAILED_TO_LAUNCH_HELP = 61703;  // framework string table, language 0x0804
constexpr DWORD HID_BASE_RESOURCE = 0x20000;           // help ids of resources: base + template id
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;

class CWnd;
class CWinApp;

// ---------------------------------------------------------------------------------------------
// Anything that can have a message map.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Walks this object's message maps, the class's own first; true when a row handled it.
    bool OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    static const AFX_MSGMAP messageMap;  // empty; the root of every chain
    virtual const AFX_MSGMAP* GetMessageMap() const { return &messageMap; }
};

// ---------------------------------------------------------------------------------------------
// A non-owning wrapper of a menu handle (the system menu).
class CMenu {
public:
    CMenu() = default;
    explicit CMenu(HMENU menu) : m_hMenu(menu) {}
    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, LPCWSTR newItem = nullptr)
    {
        return ::AppendMenuW(m_hMenu, flags, idNewItem, newItem);
    }
    HMENU m_hMenu = nullptr;
};

// ---------------------------------------------------------------------------------------------
// A window. A permanent wrapper is attached to its window (subclassed to AfxWndProc) for the
// window's life; FromHandle hands out temporary wrappers for other windows, which the modal
// loop deletes when it falls idle.
class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    static CWnd* FromHandle(HWND hWnd);           // permanent wrapper, else a temporary; null for null
    static CWnd* FromHandlePermanent(HWND hWnd);  // null when the window has no permanent wrapper

    // Makes this the permanent wrapper of hWnd and routes hWnd's messages through AfxWndProc.
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();

    // Thin calls on the wrapped window.
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    void SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    void SetDlgItemText(int id, LPCWSTR text) { ::SetDlgItemTextW(m_hWnd, id, text); }
    CWnd* SetFocus();  // returns the window that had the focus (temporary wrapper)
    static CWnd* GetFocus();
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }
    void ClientToScreen(LPRECT rect) const;  // both corners; left and right swapped for RTL layout
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }
    CMenu GetSystemMenu(BOOL revert) const { return CMenu(::GetSystemMenu(m_hWnd, revert)); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    void CenterWindow();  // over the owner, or in the work area of the window's monitor

    // Every message sent or dispatched to the window comes here first: the message maps, then
    // DefWindowProc. WM_COMMAND goes through OnCommand.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Offered each queued message for this window or its children before it is dispatched;
    // TRUE consumes it.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // The window's original procedure (for a dialog, the platform's dialog procedure).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // DefWindowProc with the message currently being handled.
    LRESULT Default();

    // Default handlers that derived classes call as "the base".
    void OnPaint() { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }

    // The help context of this window for CWinApp::OnHelp (0: none).
    virtual DWORD GetHelpId() const { return 0; }

    // The modal loop: runs while ContinueModal (DoModal arms it before creating the window, so
    // that even OnInitDialog may end the dialog) and returns the modal result. It stops as soon
    // as EndModalLoop was called, without reading another message.
    int RunModalLoop();
    void EndModalLoop(int result);
    bool ContinueModal() const { return (m_flags & kContinueModal) != 0; }

protected:
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnNcDestroy();  // main-window bookkeeping, then detaches the wrapper
    virtual void PostNcDestroy() {}

    static constexpr unsigned kModalLoop = 0x1;
    static constexpr unsigned kContinueModal = 0x2;
    unsigned m_flags = 0;
    int m_modalResult = -1;
    WNDPROC m_superWndProc = nullptr;
    CWnd* m_pNextPermanent = nullptr;  // the chain of permanent wrappers (AfxThreadState)

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK AfxCbtHook(int, WPARAM, LPARAM);
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

class CButton : public CWnd {};
class CStatic : public CWnd {
public:
    HICON SetIcon(HICON icon)
    {
        return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
    }
};

// BeginPaint on construction, EndPaint on destruction.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
    HDC m_hDC = nullptr;
    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

// ---------------------------------------------------------------------------------------------
// Dialogs.
class CDialog;

struct CDataExchange {
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;  // FALSE: controls are being initialised
};
// Binds `control` to the dialog's child with id `id` (once; later calls change nothing).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog : public CWnd {
public:
    CDialog(UINT templateId, CWnd* parent = nullptr);

    // Loads the template from the resource module, creates the dialog (owned by the parent, or
    // else by the application's main window), disables the owner, runs the modal loop until
    // EndDialog, destroys the window and returns the result; -1 when the template is missing or
    // the dialog cannot be created.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    virtual BOOL OnInitDialog();  // runs DoDataExchange; TRUE: the dialog manager sets the focus
    virtual void OnOK();          // EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // The platform's dialog manager (IsDialogMessage) for keyboard and mouse input, and F1
    // without Shift, Ctrl or Alt sent to the main window as ID_HELP.
    BOOL PreTranslateMessage(MSG* msg) override;
    // F1 pressed without Shift, Ctrl or Alt (the key state of the message being handled).
    static bool IsHelpKey(const MSG* msg);
    DWORD GetHelpId() const override { return m_templateId; }

    static const AFX_MSGMAP messageMap;  // IDOK -> OnOK, IDCANCEL -> OnCancel
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
    static bool DispatchMessageMap(CCmdTarget*, UINT, WPARAM, LPARAM, LRESULT*);

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;  // own maps, then the application's

    UINT m_templateId;
    CWnd* m_pParentWnd;

private:
    void OnOKCommand() { OnOK(); }
    void OnCancelCommand() { OnCancel(); }
    bool m_templateLeavesPlacement = false;  // the template DoModal loaded: at (0, 0), no DS_ placement

    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

// The dialog base the program's dialogs derive from; it adds nothing the program uses.
class CDialogEx : public CDialog {
public:
    using CDialog::CDialog;
    static const AFX_MSGMAP messageMap;  // no rows; base CDialog's
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
};

// ---------------------------------------------------------------------------------------------
// The application object. Exactly one exists; its constructor registers it.
class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;

    // Base initialisation: loads a language-resource library found beside the executable and
    // registers the process for restart when m_dwRestartManagerSupportFlags asks for it.
    virtual BOOL InitInstance();
    // Releases the language-resource library; returns the wParam of the last message the
    // modal loop retrieved, which becomes the process exit code.
    virtual int ExitInstance();

    // Records where profile settings would live; creates and writes nothing.
    void SetRegistryKey(LPCWSTR registryKey);
    // ID_HELP: the main window's help context in <executable>.HLP through WinHelp.
    void OnHelp();
    virtual void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT);

    CWnd* m_pMainWnd = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;

    HINSTANCE m_hInstance = nullptr;
    LPWSTR m_lpCmdLine = nullptr;  // the arguments, without the program name
    int m_nCmdShow = SW_SHOWNORMAL;
    CString m_strAppName;       // the executable's file name without extension by default
    CString m_strHelpFilePath;  // the executable's path with ".HLP" for its extension
    CString m_strRegistryKey;
    CString m_strProfileName;
    CString m_strRestartCommandLine;  // what was handed to RegisterApplicationRestart, if anything
    HINSTANCE m_hLangResourceDLL = nullptr;

protected:
    // Called by AfxWinInit before InitInstance: handles, command line, names and paths.
    friend BOOL AfxWinInit(HINSTANCE, HINSTANCE, LPWSTR, int);
    void SetCurrentHandles(HINSTANCE instance, LPWSTR cmdLine, int cmdShow);
    void LoadLanguageResourceLibrary();
    void RegisterWithRestartManager();
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE instance);
// The module holding resource `name` of `type`: the resource module first, then the executable.
HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type);
// The module holding string `id` (its string block), or null when none does.
HINSTANCE AfxFindStringResourceHandle(UINT id);
// Allows dialogs to host ActiveX controls; the setup program's dialogs have none.
void AfxEnableControlContainer();
// Shows framework string `id` in a message box titled with the application's name.
int AfxMessageBox(UINT id, UINT type = MB_OK | MB_ICONEXCLAMATION);
// Hands the instance, arguments and show command to the application object, which derives its
// name and help file path from the executable; FALSE when there is no application object.
BOOL AfxWinInit(HINSTANCE instance, HINSTANCE previous, LPWSTR cmdLine, int cmdShow);
// The framework's entry point: error mode, AfxWinInit, InitInstance, a message loop only when
// InitInstance returns TRUE, then ExitInstance, whose result is the exit code.
int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR cmdLine, int cmdShow);
// The argument text of a process command line: what follows the program name (which ends at
// its closing quote when it starts with one, else at the first blank or control character) and
// the blanks after it.
LPWSTR AfxArgumentText(LPWSTR commandLine);
// The last message a message loop retrieved (its wParam is the exit code).
const MSG* AfxGetCurrentMessage();
// The full path of `module` (null: the executable), however long; empty when it cannot be read.
// The one way the program reads it: name, help file, language libraries and the install step.
CString AfxGetModuleFileName(HMODULE module);
// GetThreadPreferredUILanguages (Windows Vista and later; null where kernel32 lacks it).
using GetThreadPreferredUILanguagesFn = BOOL(WINAPI*)(DWORD, PULONG, PWSTR, PULONG);
// The first `room` of the thread's preferred UI languages, with the user's and the system's
// fallbacks merged in, as `preferred` gives them; their count (0 without the function). The
// list is read with the room the platform says it needs, however many languages it holds.
int AfxPreferredUILanguages(GetThreadPreferredUILanguagesFn preferred, LANGID* languages, int room);

// The shell manager the application creates for the dialog's lifetime; nothing uses it.
class CShellManager {
public:
    CShellManager();
    ~CShellManager();
};
