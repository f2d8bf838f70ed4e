#include "TestSupport.h"

#include <cstdlib>
#include <new>

// ---------------------------------------------------------------------------------------------
// Counting the framework's heap wrappers: it allocates them with new (std::nothrow), which
// nothing else in the test program uses.

namespace {
void* g_nothrowBlocks[256];
int g_nothrowLive = 0;
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    void* block = std::malloc(size ? size : 1);
    for (void*& slot : g_nothrowBlocks) {
        if (!slot) {
            slot = block;
            ++g_nothrowLive;
            break;
        }
    }
    return block;
}

void operator delete(void* block) noexcept
{
    if (!block) return;
    for (void*& slot : g_nothrowBlocks) {
        if (slot == block) {
            slot = nullptr;
            --g_nothrowLive;
            break;
        }
    }
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

int LiveNothrowAllocations() { return g_nothrowLive; }

// ---------------------------------------------------------------------------------------------

namespace {
TestApp theApp;
}

TestApp& App() { return theApp; }

bool TestApp::DispatchMessageMap(CCmdTarget* t, UINT m, WPARAM w, LPARAM l, LRESULT* r)
{
    static constexpr afx::MessageEntry<TestApp> entries[] = {
        {WM_COMMAND, 0, ID_HELP, static_cast<void (TestApp::*)()>(&CWinApp::OnHelp)},
        {WM_COMMAND, 0, ID_APP_COMMAND, &TestApp::OnAppCommand},
    };
    return afx::Dispatch(static_cast<TestApp*>(t), entries, m, w, l, r);
}
const AFX_MSGMAP TestApp::messageMap{&CWinApp::messageMap, &TestApp::DispatchMessageMap};

bool TestDlg::DispatchMessageMap(CCmdTarget* t, UINT m, WPARAM w, LPARAM l, LRESULT* r)
{
    static constexpr afx::MessageEntry<TestDlg> entries[] = {
        {WM_TEST_RUN, 0, 0, &TestDlg::OnRun},
        {WM_TEST_PING, 0, 0, &TestDlg::OnPing},
        {WM_TIMER, 0, 0, &TestDlg::OnTimerMessage},
        {WM_SYSCOMMAND, 0, 0, &TestDlg::OnSysCommand},
        {WM_COMMAND, BN_CLICKED, IDC_GO, &TestDlg::OnGo},
    };
    return afx::Dispatch(static_cast<TestDlg*>(t), entries, m, w, l, r);
}
const AFX_MSGMAP TestDlg::messageMap{&CDialogEx::messageMap, &TestDlg::DispatchMessageMap};

BOOL TestDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    log.push_back("init");
    if (onInit) onInit(*this);
    if (body) PostMessageW(m_hWnd, WM_TEST_RUN, 0, 0);
    return TRUE;
}

void TestDlg::DoDataExchange(CDataExchange* dx)
{
    if (bindGo) DDX_Control(dx, IDC_GO, m_btnGo);
}

void TestDlg::OnOK()
{
    log.push_back("ok");
    if (endOnOkCancel) CDialogEx::OnOK();
}

void TestDlg::OnCancel()
{
    log.push_back("cancel");
    if (endOnOkCancel) CDialogEx::OnCancel();
}

LRESULT TestDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    seen.push_back(message);
    if (message == WM_TEST_PING) log.push_back("proc:ping");
    return CDialogEx::WindowProc(message, wParam, lParam);
}

BOOL TestDlg::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN) log.push_back("pretranslate:dialog");
    if (preTranslate && preTranslate(msg)) return TRUE;
    return CDialogEx::PreTranslateMessage(msg);
}

void TestDlg::OnRun()
{
    if (body) body(*this);
}

void TestDlg::OnTimerMessage(UINT id, LPARAM)
{
    KillTimer(m_hWnd, id);
    if (onTimer) onTimer(*this);
}

void TestDlg::OnSysCommand(UINT id, LPARAM lParam)
{
    log.push_back("syscommand");
    CDialogEx::OnSysCommand(id, lParam);
}

BOOL LoggingButton::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN) m_log.push_back("pretranslate:button");
    return CButton::PreTranslateMessage(msg);
}

// ---------------------------------------------------------------------------------------------

bool TakeQuitMessage(WPARAM* code)
{
    MSG msg;
    bool found = false;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        found = true;
        if (code) *code = msg.wParam;
    }
    return found;
}

void FrameworkTest::SetUp()
{
    App().m_pMainWnd = nullptr;
    App().helpCalls.clear();
    App().appCommands = 0;
}

void FrameworkTest::TearDown()
{
    App().m_pMainWnd = nullptr;
    App().initInstance = nullptr;
    TakeQuitMessage();
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = keys[VK_CONTROL] = keys[VK_MENU] = 0;
    SetKeyboardState(keys);
}

RECT WindowRect(HWND hWnd)
{
    RECT rect{};
    GetWindowRect(hWnd, &rect);
    return rect;
}

RECT WorkArea()
{
    RECT rect{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &rect, 0);
    return rect;
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    static wchar_t arguments[] = L"alpha beta";
    AfxWinInit(GetModuleHandleW(nullptr), nullptr, arguments, SW_SHOWNORMAL);
    return RUN_ALL_TESTS();
}
