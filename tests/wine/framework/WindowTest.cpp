// Window placement and the thin window calls the program relies on.
#include "TestSupport.h"

namespace {

class Window : public FrameworkTest {};

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

bool CentredIn(const RECT& inner, const RECT& outer)
{
    const POINT a = Centre(inner), b = Centre(outer);
    return labs(a.x - b.x) <= 1 && labs(a.y - b.y) <= 1;
}

// After initialisation the dialog is centred in the work area, unless its template places it
// or its initialisation moved or showed it.
TEST_F(Window, DialogIsCentredOnlyWhenNothingElsePlacedIt)
{
    struct Case {
        const char* name;
        UINT templateId;
        void (*init)(TestDlg&);
        bool centred;
        POINT at;  // where it must stay when not centred ({-1, -1}: anywhere else)
    };
    const Case cases[] = {
        {"plain template", IDD_PLAIN, nullptr, true, {-1, -1}},
        {"moved during initialisation",
         IDD_PLAIN,
         [](TestDlg& d) { SetWindowPos(d.m_hWnd, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER); },
         false,
         {40, 50}},
        {"shown during initialisation",
         IDD_PLAIN,
         [](TestDlg& d) { ShowWindow(d.m_hWnd, SW_SHOWNA); },
         false,
         {0, 0}},
        {"resized, not moved, during initialisation",
         IDD_PLAIN,
         [](TestDlg& d) { SetWindowPos(d.m_hWnd, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER); },
         true,
         {-1, -1}},
        {"template placed away from (0, 0)", IDD_PLACED, nullptr, false, {-1, -1}},
        {"DS_CENTERMOUSE", IDD_CENTERMOUSE, nullptr, false, {-1, -1}},
        {"DS_ABSALIGN", IDD_ABSALIGN, nullptr, false, {-1, -1}},
        {"DS_CENTER (the platform centres it)", IDD_CENTER, nullptr, true, {-1, -1}},
    };
    SetCursorPos(150, 140);  // where DS_CENTERMOUSE puts the dialog
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDlg dlg(c.templateId);
        RECT placed{};
        dlg.onInit = c.init ? [&](TestDlg& d) { c.init(d); } : std::function<void(TestDlg&)>();
        dlg.body = [&](TestDlg& d) {
            placed = WindowRect(d.m_hWnd);
            d.EndDialog(IDOK);
        };
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(CentredIn(placed, WorkArea()), c.centred)
            << placed.left << "," << placed.top << " " << placed.right << "," << placed.bottom;
        if (c.at.x >= 0) {
            EXPECT_EQ(placed.left, c.at.x);
            EXPECT_EQ(placed.top, c.at.y);
        }
    }
}

TEST_F(Window, OwnedDialogIsCentredOverItsOwner)
{
    TestDlg main;
    App().m_pMainWnd = &main;
    RECT owner{}, nestedRect{};
    main.body = [&](TestDlg& m) {
        SetWindowPos(m.m_hWnd, nullptr, 100, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(m.m_hWnd, SW_SHOWNA);  // an owner out of sight is not centred over
        owner = WindowRect(m.m_hWnd);
        TestDlg nested(IDD_NESTED);
        nested.body = [&](TestDlg& n) {
            nestedRect = WindowRect(n.m_hWnd);
            n.EndDialog(IDOK);
        };
        nested.DoModal();
        m.EndDialog(IDOK);
    };
    main.DoModal();
    EXPECT_TRUE(CentredIn(nestedRect, owner))
        << nestedRect.left << "," << nestedRect.top << " over " << owner.left << "," << owner.top;
}

// The rectangle form of ClientToScreen gives left < right for mirrored windows too.
TEST_F(Window, ClientRectangleToScreenForBothLayouts)
{
    for (DWORD exStyle : {DWORD{0}, DWORD{WS_EX_LAYOUTRTL}}) {
        SCOPED_TRACE(exStyle ? "right-to-left" : "left-to-right");
        HWND hWnd = CreateWindowExW(exStyle, L"STATIC", L"", WS_POPUP, 100, 120, 200, 80, nullptr, nullptr,
                                    nullptr, nullptr);
        ASSERT_NE(hWnd, nullptr);
        CWnd* wnd = CWnd::FromHandle(hWnd);
        RECT rect{};
        wnd->GetClientRect(&rect);
        wnd->ClientToScreen(&rect);
        EXPECT_EQ(rect.left, 100);
        EXPECT_EQ(rect.top, 120);
        EXPECT_EQ(rect.right, 300);
        EXPECT_EQ(rect.bottom, 200);
        POINT origin{0, 0};
        wnd->ClientToScreen(&origin);
        EXPECT_EQ(origin.x, exStyle ? 300 : 100);  // the point form is the platform's own
        DestroyWindow(hWnd);
    }
}

TEST_F(Window, FocusTextAndSystemMenuCalls)
{
    TestDlg dlg;
    dlg.body = [](TestDlg& d) {
        CWnd* edit = d.GetDlgItem(IDC_EDIT);
        CWnd* go = d.GetDlgItem(IDC_GO);
        edit->SetFocus();
        EXPECT_EQ(CWnd::GetFocus(), edit);
        EXPECT_EQ(go->SetFocus(), edit);  // the window that had the focus
        EXPECT_EQ(CWnd::GetFocus()->GetDlgCtrlID(), IDC_GO);

        d.SetWindowText(L"Caption \u00e9");
        CString text;
        d.GetWindowText(text);
        EXPECT_EQ(text, CString(L"Caption \u00e9"));
        EXPECT_EQ(d.GetWindowTextLength(), 9);
        d.SetDlgItemText(IDC_EDIT, L"typed");
        edit->GetWindowText(text);
        EXPECT_EQ(text, CString(L"typed"));

        CMenu menu = d.GetSystemMenu(FALSE);
        ASSERT_NE(menu.m_hMenu, nullptr);
        const int items = GetMenuItemCount(menu.m_hMenu);
        menu.AppendMenu(MF_SEPARATOR);
        menu.AppendMenu(MF_STRING, 0x0010, L"About");
        EXPECT_EQ(GetMenuItemCount(menu.m_hMenu), items + 2);
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

// A permanent wrapper is found from its window from SubclassWindow until UnsubclassWindow, the
// destruction of the window or the destruction of the wrapper, whichever comes first, and never
// after: window handles are reused.
TEST_F(Window, PermanentWrappersLastAsLongAsTheirWindowsAndWrappers)
{
    const auto makeWindow = [] {
        return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    };
    HWND first = makeWindow(), second = makeWindow(), third = makeWindow();
    ASSERT_TRUE(first && second && third);
    const LONG_PTR staticProc = GetWindowLongPtrW(third, GWLP_WNDPROC);
    CWnd a, b;
    {
        CWnd c;
        EXPECT_TRUE(a.SubclassWindow(first));
        EXPECT_TRUE(b.SubclassWindow(second));
        EXPECT_TRUE(c.SubclassWindow(third));
        EXPECT_EQ(CWnd::FromHandlePermanent(first), &a);
        EXPECT_EQ(CWnd::FromHandlePermanent(second), &b);
        EXPECT_EQ(CWnd::FromHandlePermanent(third), &c);
        CWnd other;
        EXPECT_FALSE(other.SubclassWindow(second));  // one permanent wrapper per window
        EXPECT_EQ(other.m_hWnd, nullptr);

        EXPECT_EQ(b.UnsubclassWindow(), second);  // from the middle of the chain
        EXPECT_EQ(CWnd::FromHandlePermanent(second), nullptr);
        EXPECT_EQ(CWnd::FromHandlePermanent(first), &a);
        EXPECT_EQ(CWnd::FromHandlePermanent(third), &c);
        EXPECT_TRUE(b.SubclassWindow(second));  // and attached again
        EXPECT_EQ(CWnd::FromHandlePermanent(second), &b);
    }
    // The wrapper went first: its window is on its own again.
    EXPECT_EQ(CWnd::FromHandlePermanent(third), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(third, GWLP_WNDPROC), staticProc);
    // The window went first: the wrapper lets go of it.
    EXPECT_TRUE(DestroyWindow(first));
    EXPECT_EQ(a.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(first), nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(second), &b);
    EXPECT_TRUE(DestroyWindow(second));
    EXPECT_EQ(CWnd::FromHandlePermanent(second), nullptr);
    DestroyWindow(third);
}

}  // namespace
