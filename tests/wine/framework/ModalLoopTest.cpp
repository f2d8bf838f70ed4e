// DoModal and its loop: how it ends, what it read last, ownership, idle work, the entry point.
#include "TestSupport.h"
#include "framework/afxstate.h"

namespace {

using Log = std::vector<std::string>;

class ModalLoop : public FrameworkTest {};

// The modal result and the last message the loop read (the program's exit code is its wParam).
TEST_F(ModalLoop, EndsOnTheMessageThatEndedTheDialog)
{
    struct Case {
        const char* name;
        UINT message;  // posted to the control with id `target` (0: the dialog)
        int target;
        WPARAM wParam;
        INT_PTR result;
        UINT lastMessage;
        WPARAM lastWParam;
        bool readsNothingAfter;  // the message posted behind the trigger stays queued
    };
    const Case cases[] = {
        {"Escape", WM_KEYDOWN, 0, VK_ESCAPE, IDCANCEL, WM_KEYDOWN, 27, true},
        {"Enter on the default button", WM_KEYDOWN, IDC_EDIT, VK_RETURN, IDOK, WM_KEYDOWN, 13, true},
        {"click on Cancel", BM_CLICK, IDCANCEL, 0, IDCANCEL, BM_CLICK, 0, true},
        // The platform's dialog procedure posts IDCANCEL for WM_CLOSE: the loop ends on that.
        {"close command", WM_SYSCOMMAND, 0, SC_CLOSE, IDCANCEL, WM_COMMAND, IDCANCEL, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDlg dlg;
        dlg.body = [&](TestDlg& d) {
            HWND target = c.target ? ::GetDlgItem(d.m_hWnd, c.target) : d.m_hWnd;
            PostMessageW(target, c.message, c.wParam, 0);
            // Queued behind it: the loop must not read this once the dialog has ended.
            PostThreadMessageW(GetCurrentThreadId(), WM_APP + 50, 0, 0);
        };
        EXPECT_EQ(dlg.DoModal(), c.result);
        EXPECT_EQ(AfxGetCurrentMessage()->message, c.lastMessage);
        EXPECT_EQ(AfxGetCurrentMessage()->wParam, c.lastWParam);
        MSG left;
        EXPECT_EQ(PeekMessageW(&left, nullptr, WM_APP + 50, WM_APP + 50, PM_REMOVE) != FALSE,
                  c.readsNothingAfter);
    }
}

TEST_F(ModalLoop, EndDialogFromAHandlerReadsNoFurtherMessage)
{
    TestDlg dlg;
    dlg.body = [](TestDlg& d) {
        PostMessageW(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_GO, BN_CLICKED), 0);
        PostMessageW(d.m_hWnd, WM_COMMAND, IDOK, 0);
        PostMessageW(d.m_hWnd, WM_TEST_PING, 0, 0);
    };
    dlg.onGo = [](TestDlg& d) { d.EndDialog(7); };
    EXPECT_EQ(dlg.DoModal(), 7);
    EXPECT_EQ(dlg.log, (Log{"init", "go"}));
    EXPECT_EQ(AfxGetCurrentMessage()->wParam, static_cast<WPARAM>(MAKEWPARAM(IDC_GO, BN_CLICKED)));
}

TEST_F(ModalLoop, EndDialogDuringInitialisationRunsNoLoop)
{
    TestDlg dlg;
    dlg.onInit = [](TestDlg& d) { d.EndDialog(5); };
    EXPECT_EQ(dlg.DoModal(), 5);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

// Whether the owner of a window of the class "OrviaTestDialog" was enabled when the window was
// destroyed (-1: no such window was destroyed).
int g_ownerEnabledAtDestroy = -1;

LRESULT CALLBACK OwnDialogClassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) g_ownerEnabledAtDestroy = ::IsWindowEnabled(::GetWindow(hWnd, GW_OWNER));
    return DefDlgProcW(hWnd, message, wParam, lParam);
}

// A dialog that cannot be made: DoModal gives -1 without initialising the object, leaves no
// window behind and its owner enabled. A template may name a window class of its own (a
// language-resource library may carry one), whose window the creation hook never attaches; that
// window goes only once its owner is enabled again.
TEST_F(ModalLoop, DialogThatCannotBeMadeGivesMinusOne)
{
    WNDCLASSW ownClass{};  // a dialog class as the platform requires one
    ownClass.lpfnWndProc = OwnDialogClassProc;
    ownClass.cbWndExtra = DLGWINDOWEXTRA;
    ownClass.hInstance = GetModuleHandleW(nullptr);
    ownClass.lpszClassName = L"OrviaTestDialog";
    ASSERT_TRUE(RegisterClassW(&ownClass));
    struct Case {
        const char* name;
        UINT templateId;
        int ownerEnabledAtDestroy;
    };
    const Case cases[] = {
        {"missing template", IDD_MISSING, -1},
        {"template naming a window class of its own", IDD_OWN_CLASS, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_ownerEnabledAtDestroy = -1;
        TestDlg owner;
        TestDlg dlg(c.templateId, &owner);
        INT_PTR result = 0;
        BOOL ownerEnabled = FALSE;
        HWND left = nullptr;  // a window left behind, found before its owner takes it along
        owner.body = [&](TestDlg& o) {
            result = dlg.DoModal();
            ownerEnabled = ::IsWindowEnabled(o.m_hWnd);
            left = FindWindowW(L"OrviaTestDialog", nullptr);
            o.EndDialog(IDOK);
        };
        EXPECT_EQ(owner.DoModal(), IDOK);
        EXPECT_EQ(result, -1);
        EXPECT_EQ(dlg.log, Log{});
        EXPECT_EQ(dlg.m_hWnd, nullptr);
        EXPECT_TRUE(ownerEnabled);
        EXPECT_EQ(left, nullptr);
        EXPECT_EQ(g_ownerEnabledAtDestroy, c.ownerEnabledAtDestroy);
    }
    UnregisterClassW(L"OrviaTestDialog", GetModuleHandleW(nullptr));
}

TEST_F(ModalLoop, QuitMessageEndsTheLoopAndIsPostedAgain)
{
    TestDlg dlg;
    dlg.body = [](TestDlg&) { PostQuitMessage(9); };
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    WPARAM code = 0;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(code, 9u);
}

TEST_F(ModalLoop, WindowDestroyedUnderTheLoopEndsIt)
{
    TestDlg dlg;
    dlg.body = [](TestDlg& d) { DestroyWindow(d.m_hWnd); };
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(ModalLoop, MainWindowIsForgottenWhenItsWindowIsDestroyed)
{
    TestDlg dlg;
    App().m_pMainWnd = &dlg;
    dlg.body = [](TestDlg& d) { d.EndDialog(IDOK); };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(App().m_pMainWnd, nullptr);
    WPARAM code = 1;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(code, 0u);
}

// A box run from the main dialog is owned by it, and the main dialog is disabled meanwhile.
TEST_F(ModalLoop, NestedDialogIsOwnedByTheMainWindow)
{
    struct Case {
        const char* name;
        bool mainIsAppWindow;  // m_pMainWnd set, no parent given
        bool passParent;       // the main dialog passed as the parent
        bool owned;
    };
    const Case cases[] = {
        {"application's main window", true, false, true},
        {"explicit parent", false, true, true},
        {"neither", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDlg main;
        if (c.mainIsAppWindow) App().m_pMainWnd = &main;
        HWND mainOwner = reinterpret_cast<HWND>(1);
        HWND nestedOwner = nullptr;
        BOOL mainEnabledDuring = TRUE, mainEnabledAfter = FALSE;
        main.body = [&](TestDlg& m) {
            mainOwner = ::GetWindow(m.m_hWnd, GW_OWNER);
            TestDlg nested(IDD_NESTED, c.passParent ? &m : nullptr);
            nested.body = [&](TestDlg& n) {
                nestedOwner = ::GetWindow(n.m_hWnd, GW_OWNER);
                mainEnabledDuring = ::IsWindowEnabled(m.m_hWnd);
                n.EndDialog(IDOK);
            };
            EXPECT_EQ(nested.DoModal(), IDOK);
            mainEnabledAfter = ::IsWindowEnabled(m.m_hWnd);
            m.EndDialog(IDOK);
        };
        EXPECT_EQ(main.DoModal(), IDOK);
        EXPECT_EQ(mainOwner, nullptr);
        EXPECT_EQ(nestedOwner != nullptr, c.owned);
        EXPECT_EQ(mainEnabledDuring, c.owned ? FALSE : TRUE);
        EXPECT_TRUE(mainEnabledAfter);
        App().m_pMainWnd = nullptr;
        TakeQuitMessage();
    }
}

// The template is hidden; the loop shows it once idle and drops the temporary wrappers there.
TEST_F(ModalLoop, IdleShowsTheDialogAndFreesTemporaryWrappers)
{
    TestDlg dlg;
    int baseline = 0;
    BOOL visibleBeforeIdle = TRUE, visibleAfterIdle = FALSE;
    dlg.body = [&](TestDlg& d) {
        visibleBeforeIdle = d.IsWindowVisible();
        baseline = LiveNothrowAllocations();
        HWND edit = ::GetDlgItem(d.m_hWnd, IDC_EDIT);
        CWnd* temp = CWnd::FromHandle(edit);
        ASSERT_NE(temp, nullptr);
        EXPECT_EQ(temp->m_hWnd, edit);
        EXPECT_EQ(CWnd::FromHandle(edit), temp);  // the same until the loop is idle
        EXPECT_EQ(d.GetDlgItem(IDC_EDIT), temp);
        EXPECT_EQ(CWnd::FromHandlePermanent(edit), nullptr);
        EXPECT_EQ(CWnd::FromHandle(d.m_hWnd), &d);  // permanent wrappers are never temporary
        EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
        EXPECT_EQ(LiveNothrowAllocations(), baseline + 1);
        SetTimer(d.m_hWnd, 1, 50, nullptr);
    };
    dlg.onTimer = [&](TestDlg& d) {
        visibleAfterIdle = d.IsWindowVisible();
        EXPECT_EQ(LiveNothrowAllocations(), 0);  // every temporary, older ones too
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(visibleBeforeIdle);
    EXPECT_TRUE(visibleAfterIdle);
}

TEST_F(ModalLoop, DataExchangeBindsAControlOnceUntilItsWindowGoes)
{
    TestDlg dlg;
    dlg.bindGo = true;
    dlg.body = [](TestDlg& d) {
        HWND go = ::GetDlgItem(d.m_hWnd, IDC_GO);
        EXPECT_EQ(d.m_btnGo.m_hWnd, go);
        EXPECT_EQ(CWnd::FromHandlePermanent(go), &d.m_btnGo);
        d.UpdateData(FALSE);  // binding again changes nothing
        EXPECT_EQ(CWnd::FromHandlePermanent(go), &d.m_btnGo);
        EXPECT_EQ(d.m_btnGo.GetDlgCtrlID(), IDC_GO);
        // The bound button still works: its click reaches the dialog's map.
        d.m_btnGo.SendMessage(BM_CLICK);
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.log, (Log{"init", "go"}));
    EXPECT_EQ(dlg.m_btnGo.m_hWnd, nullptr);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

// The entry point: the application's InitInstance, ExitInstance and the exit code.
TEST_F(ModalLoop, EntryPointReturnsTheLastMessagesWParam)
{
    struct Case {
        const char* name;
        WPARAM key;
        int exitCode;
    };
    const Case cases[] = {
        {"Escape", VK_ESCAPE, 27},
        {"Enter", VK_RETURN, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App().exitInstanceCalls = 0;
        App().initInstance = [&] {
            TestDlg dlg;
            App().m_pMainWnd = &dlg;
            dlg.body = [&](TestDlg& d) { PostMessageW(d.m_hWnd, WM_KEYDOWN, c.key, 0); };
            dlg.DoModal();
            return FALSE;
        };
        static wchar_t arguments[] = L"alpha beta";
        // The entry point adds its two bits to the mode the process inherited.
        const UINT before = SetErrorMode(SEM_NOGPFAULTERRORBOX);
        EXPECT_EQ(AfxWinMain(GetModuleHandleW(nullptr), nullptr, arguments, SW_SHOWNORMAL), c.exitCode);
        const UINT mode = SetErrorMode(before);
        EXPECT_EQ(mode & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX),
                  static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX));
        EXPECT_EQ(App().exitInstanceCalls, 1);
        EXPECT_EQ(App().m_pMainWnd, nullptr);
        EXPECT_TRUE(TakeQuitMessage());  // posted when the main window went; nothing read it
    }
}

// While DoModal waits for its dialog window, the thread may create windows of its own (the
// default input-method window; an input method's windows, of classes it registers; windows of
// accessibility software): the creation hook passes over all of them and attaches the wrapper to
// the dialog only.
TEST_F(ModalLoop, CreationHookAttachesOnlyTheDialogWindow)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND parent =
        CreateWindowExW(0, L"#32770", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr);
    ASSERT_NE(parent, nullptr);

    struct Case {
        const char* what;
        const wchar_t* className;
        DWORD style;
        bool attached;
    };
    const Case cases[] = {
        {"the platform's input-method window", L"IME", WS_POPUP, false},
        {"another top-level window", L"Static", WS_POPUP, false},
        {"a child of the dialog class", L"#32770", WS_CHILD, false},
        {"the dialog", L"#32770", WS_POPUP | WS_CAPTION, true},
    };
    CWnd wrapper;
    AfxThreadState& state = AfxState();
    state.wndInit = &wrapper;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HWND window = CreateWindowExW(0, c.className, L"", c.style, 0, 0, 10, 10,
                                      (c.style & WS_CHILD) ? parent : nullptr, nullptr, instance, nullptr);
        ASSERT_NE(window, nullptr);
        CREATESTRUCTW cs{};
        cs.hInstance = instance;
        cs.style = static_cast<LONG>(c.style);
        cs.lpszClass = c.className;
        CBT_CREATEWNDW create{&cs, nullptr};
        AfxCbtHook(HCBT_CREATEWND, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(&create));
        EXPECT_EQ(wrapper.m_hWnd == window, c.attached);
        EXPECT_EQ(state.wndInit == nullptr, c.attached);
        EXPECT_EQ(CWnd::FromHandlePermanent(window) == &wrapper, c.attached);
        DestroyWindow(window);
    }
    state.wndInit = nullptr;
    EXPECT_EQ(wrapper.m_hWnd, nullptr) << "detached when its window was destroyed";
    DestroyWindow(parent);
}

}  // namespace
