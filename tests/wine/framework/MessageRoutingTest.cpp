// How messages reach handlers: WindowProc first, the class's own rows, the base rows, the
// application's command map, and the pre-translation walk of the modal loop.
#include "TestSupport.h"

namespace {

using Log = std::vector<std::string>;

class MessageRouting : public FrameworkTest {};

TEST_F(MessageRouting, SentMessagesReachTheRightHandler)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        Log expected;     // the dialog's log after the send
        int appCommands;  // calls of the application's own command handler
    };
    const Case cases[] = {
        {"own map row", WM_COMMAND, MAKEWPARAM(IDC_GO, BN_CLICKED), {"go"}, 0},
        {"base row IDOK", WM_COMMAND, IDOK, {"ok"}, 0},
        {"base row IDCANCEL", WM_COMMAND, IDCANCEL, {"cancel"}, 0},
        {"WindowProc before the map", WM_TEST_PING, 0, {"proc:ping", "map:ping"}, 0},
        {"unhandled command to the application", WM_COMMAND, ID_APP_COMMAND, {}, 1},
        {"other notification code is not the row", WM_COMMAND, MAKEWPARAM(IDC_GO, BN_SETFOCUS), {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDlg dlg;
        dlg.endOnOkCancel = false;
        App().appCommands = 0;
        dlg.body = [&](TestDlg& d) {
            d.log.clear();
            d.SendMessage(c.message, c.wParam, 0);
            EXPECT_EQ(d.log, c.expected);
            EXPECT_EQ(App().appCommands, c.appCommands);
            d.EndDialog(IDOK);
        };
        EXPECT_EQ(dlg.DoModal(), IDOK);
    }
}

TEST_F(MessageRouting, HelpCommandOpensTheMainWindowsTopic)
{
    TestDlg dlg;
    App().m_pMainWnd = &dlg;
    dlg.body = [](TestDlg& d) {
        d.SendMessage(WM_COMMAND, ID_HELP, 0);
        d.EndDialog(IDOK);
    };
    dlg.DoModal();
    ASSERT_EQ(App().helpCalls.size(), 1u);
    EXPECT_EQ(App().helpCalls[0].data, HID_BASE_RESOURCE + IDD_PLAIN);
    EXPECT_EQ(App().helpCalls[0].command, static_cast<UINT>(HELP_CONTEXT));
}

TEST_F(MessageRouting, WrapperSeesItsWindowFromTheFirstMessage)
{
    TestDlg dlg;
    dlg.body = [](TestDlg& d) { d.EndDialog(IDOK); };
    dlg.DoModal();
    ASSERT_FALSE(dlg.seen.empty());
    const auto at = [&](UINT message) {
        return std::find(dlg.seen.begin(), dlg.seen.end(), message) - dlg.seen.begin();
    };
    EXPECT_LT(at(WM_NCCREATE), at(WM_CREATE));
    EXPECT_LT(at(WM_CREATE), at(WM_INITDIALOG));
    EXPECT_LT(at(WM_INITDIALOG), static_cast<long long>(dlg.seen.size()));
    EXPECT_EQ(dlg.seen.back(), static_cast<UINT>(WM_NCDESTROY));
}

TEST_F(MessageRouting, SystemCommandsFallThroughToTheDefaultProcessing)
{
    // SC_CLOSE: the map row calls the base handler, whose default processing closes the
    // dialog through WM_CLOSE and IDCANCEL.
    TestDlg dlg;
    dlg.body = [](TestDlg& d) { d.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0); };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.log, (Log{"init", "syscommand", "cancel"}));
}

// The modal loop offers a queued key to the wrapped windows from its target up to the dialog.
TEST_F(MessageRouting, PreTranslationWalksFromTheTargetUpToTheDialog)
{
    TestDlg dlg;
    LoggingButton button(dlg.log);
    dlg.onInit = [&](TestDlg& d) {
        button.SubclassWindow(::GetDlgItem(d.m_hWnd, IDC_GO));
        d.log.clear();
    };
    dlg.body = [&](TestDlg& d) {
        PostMessageW(button.m_hWnd, WM_KEYDOWN, 'A', 0);
        d.preTranslate = [&](MSG* msg) {
            if (msg->message == WM_KEYDOWN) d.EndDialog(IDOK);
            return TRUE;
        };
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.log, (Log{"pretranslate:button", "pretranslate:dialog"}));
    EXPECT_EQ(button.m_hWnd, nullptr);  // detached when its window went
}

TEST_F(MessageRouting, PreTranslationStopsAtTheDialogAndSkipsItsOwner)
{
    TestDlg main;
    App().m_pMainWnd = &main;
    main.body = [&](TestDlg& m) {
        TestDlg nested(IDD_NESTED);
        nested.body = [](TestDlg& n) {
            PostMessageW(::GetDlgItem(n.m_hWnd, IDC_GO), WM_KEYDOWN, 'A', 0);
            n.preTranslate = [&](MSG* msg) {
                if (msg->message == WM_KEYDOWN) n.EndDialog(IDOK);
                return TRUE;
            };
        };
        m.log.clear();
        EXPECT_EQ(nested.DoModal(), IDOK);
        EXPECT_EQ(nested.log, (Log{"init", "pretranslate:dialog"}));
        EXPECT_EQ(m.log, Log{});
        m.EndDialog(IDOK);
    };
    main.DoModal();
}

// F1 becomes ID_HELP for the main window only without Shift, Ctrl and Alt.
TEST_F(MessageRouting, HelpKeyDependsOnTheModifiers)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM key;
        BYTE modifier;  // held down, or 0
        bool help;
    };
    const Case cases[] = {
        {"F1", WM_KEYDOWN, VK_F1, 0, true},
        {"Shift+F1", WM_KEYDOWN, VK_F1, VK_SHIFT, false},
        {"Ctrl+F1", WM_KEYDOWN, VK_F1, VK_CONTROL, false},
        {"Alt+F1", WM_SYSKEYDOWN, VK_F1, VK_MENU, false},
        {"Alt held, key-down", WM_KEYDOWN, VK_F1, VK_MENU, false},
        {"F2", WM_KEYDOWN, VK_F2, 0, false},
        {"F1 released", WM_KEYUP, VK_F1, 0, false},
    };
    TestDlg dlg;
    App().m_pMainWnd = &dlg;
    dlg.body = [&](TestDlg& d) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            BYTE keys[256];
            GetKeyboardState(keys);
            keys[VK_SHIFT] = keys[VK_CONTROL] = keys[VK_MENU] = 0;
            if (c.modifier) keys[c.modifier] = 0x80;
            SetKeyboardState(keys);
            App().helpCalls.clear();
            MSG msg{::GetDlgItem(d.m_hWnd, IDC_EDIT), c.message, c.key, 0, 0, {}};
            const BOOL consumed = d.CDialogEx::PreTranslateMessage(&msg);
            EXPECT_EQ(App().helpCalls.size(), c.help ? 1u : 0u);
            if (c.help) {
                EXPECT_TRUE(consumed);
                EXPECT_EQ(App().helpCalls[0].data, HID_BASE_RESOURCE + IDD_PLAIN);
            }
        }
        d.EndDialog(IDOK);
    };
    dlg.DoModal();
}

}  // namespace
