// Hover focus, the Enter key and the focus after painting, driven with real pointer moves and
// key presses through the system's input queue.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "Harness.h"
#include "res/resource.h"

using namespace dialogtest;

namespace {

// Where the pointer goes. The background point is the top right corner of the client area, left
// free by the template; the foreign window covers the bottom left corner.
enum class Spot { Background, Label, IconStatic, Combo, Install, Cancel, Caption, Beyond, Foreign };

const char* Name(Spot spot)
{
    static const char* const names[] = {"background", "label",   "icon static", "list",          "install",
                                        "cancel",     "caption", "beyond",      "foreign window"};
    return names[static_cast<int>(spot)];
}

RECT ForeignArea(HWND dialog)
{
    RECT client{};
    GetClientRect(dialog, &client);
    const POINT topLeft = ClientPoint(dialog, 2, client.bottom - 22);
    return {topLeft.x, topLeft.y, topLeft.x + 30, topLeft.y + 20};
}

POINT Locate(HWND dialog, Spot spot)
{
    RECT window{}, client{};
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    switch (spot) {
    case Spot::Background: return ClientPoint(dialog, client.right - 4, 4);
    case Spot::Label: return CenterOf(GetDlgItem(dialog, IDC_PROMPT_LABEL));
    case Spot::IconStatic: return CenterOf(GetDlgItem(dialog, IDC_SETUP_ICON));
    case Spot::Combo: return CenterOf(GetDlgItem(dialog, IDC_LANGUAGE_COMBO));
    case Spot::Install: return CenterOf(GetDlgItem(dialog, IDC_INSTALL_BUTTON));
    case Spot::Cancel: return CenterOf(GetDlgItem(dialog, IDC_CANCEL_BUTTON));
    case Spot::Caption:
        return {(window.left + window.right) / 2, (window.top + ClientPoint(dialog, 0, 0).y) / 2};
    case Spot::Beyond: return {window.left - 30, window.top - 30};
    case Spot::Foreign: {
        const RECT area = ForeignArea(dialog);
        return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    }
    }
    return {};
}

HWND Control(HWND dialog, Spot spot)
{
    switch (spot) {
    case Spot::Combo: return GetDlgItem(dialog, IDC_LANGUAGE_COMBO);
    case Spot::Install: return GetDlgItem(dialog, IDC_INSTALL_BUTTON);
    case Spot::Cancel: return GetDlgItem(dialog, IDC_CANCEL_BUTTON);
    default: return nullptr;
    }
}

// A window of another thread, standing in for another program's window over the dialog.
class ForeignWindow {
public:
    ForeignWindow()
    {
        m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = CreateThread(nullptr, 0, &ForeignWindow::Run, this, 0, &m_threadId);
        WaitForSingleObject(m_ready, 5000);
    }
    ~ForeignWindow()
    {
        PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(m_thread, 5000);
        CloseHandle(m_thread);
        CloseHandle(m_ready);
    }
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;

    void ShowOver(const RECT& area) const
    {
        SetWindowPos(m_hWnd, HWND_TOPMOST, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    HWND Handle() const { return m_hWnd; }

private:
    static DWORD WINAPI Run(void* param)
    {
        auto* self = static_cast<ForeignWindow*>(param);
        self->m_hWnd =
            CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"",
                            WS_POPUP | WS_BORDER, 0, 0, 30, 20, nullptr, nullptr, nullptr, nullptr);
        SetEvent(self->m_ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
        DestroyWindow(self->m_hWnd);
        return 0;
    }

    HANDLE m_ready = nullptr;
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    HWND m_hWnd = nullptr;
};

}  // namespace

// The pointer travels over the dialog; after each move the test looks at the capture and the
// focus. The dialog starts with the install button focused and no capture.
TEST(HoverFocus, PointerPathOverTheDialog)
{
    struct Move {
        Spot to;
        bool capture;  // the dialog holds the capture afterwards
        Spot focus;    // the control focused afterwards
    };
    const Move path[] = {
        {Spot::Label, true, Spot::Install},       // no capture yet, over the label: taken
        {Spot::IconStatic, true, Spot::Install},  // with capture, over the icon: nothing changes
        {Spot::Background, true, Spot::Install},
        {Spot::Combo, false, Spot::Combo},      // onto a control: it is focused, capture released
        {Spot::Background, true, Spot::Combo},  // back on the background: capture, focus stays
        {Spot::Cancel, false, Spot::Cancel},
        {Spot::Label, true, Spot::Cancel},
        {Spot::Install, false, Spot::Install},
        {Spot::IconStatic, true, Spot::Install},
        {Spot::Cancel, false, Spot::Cancel},
        {Spot::Background, true, Spot::Cancel},
        {Spot::Caption, false, Spot::Cancel},  // outside the client area: released
        {Spot::Combo, false, Spot::Cancel},    // reached from the caption: not focused
        {Spot::Background, true, Spot::Cancel},
        {Spot::Beyond, false, Spot::Cancel},
        {Spot::Install, false, Spot::Cancel},  // reached from beyond the dialog: not focused
        {Spot::Background, true, Spot::Cancel},
        {Spot::Foreign, false, Spot::Cancel},  // another thread's window: refused, released
        {Spot::Background, true, Spot::Cancel},
        {Spot::Combo, false, Spot::Combo},
    };
    ForeignWindow foreign;
    std::vector<Step> steps{Do([&](HWND dialog) { foreign.ShowOver(ForeignArea(dialog)); }), Idle(2),
                            Do([](HWND dialog) {
                                // The points stand where the test expects them.
                                EXPECT_EQ(WindowFromPoint(Locate(dialog, Spot::Background)), dialog);
                                EXPECT_EQ(WindowFromPoint(Locate(dialog, Spot::Label)), dialog);
                                EXPECT_EQ(WindowFromPoint(Locate(dialog, Spot::IconStatic)), dialog);
                            })};
    for (const Move& move : path) {
        steps.push_back(Do([&move](HWND dialog) { MovePointer(Locate(dialog, move.to)); }));
        steps.push_back(Idle(1));
        steps.push_back(Do([&move, &foreign](HWND dialog) {
            SCOPED_TRACE(Name(move.to));
            const POINT expected = Locate(dialog, move.to);
            POINT cursor{};
            GetCursorPos(&cursor);
            EXPECT_EQ(cursor.x, expected.x);
            EXPECT_EQ(cursor.y, expected.y);
            if (move.to == Spot::Foreign) {
                EXPECT_EQ(WindowFromPoint(expected), foreign.Handle());
            }
            EXPECT_EQ(GetCapture(), move.capture ? dialog : nullptr);
            EXPECT_EQ(GetFocus(), Control(dialog, move.focus));
        }));
    }
    steps.push_back(EndWithCancel());
    const Outcome outcome = RunDialog(steps);
    EXPECT_TRUE(outcome.stepsDone);
    EXPECT_EQ(outcome.launches.size(), 0u);
}

// However the focus left the install button, and whoever held the capture, a paint gives the
// install button the focus and leaves no capture.
TEST(PaintFocus, EveryPaintFocusesInstallAndEndsCapture)
{
    struct Away {
        const char* how;
        std::vector<Step> steps;
    };
    const Away aways[] = {
        {"Tab", {Do([](HWND) { PressKey(VK_TAB); })}},
        {"SetFocus on the list", {Do([](HWND d) { SetFocus(GetDlgItem(d, IDC_LANGUAGE_COMBO)); })}},
        {"hover onto cancel",
         {Do([](HWND d) { MovePointer(Locate(d, Spot::Background)); }), Idle(1),
          Do([](HWND d) { MovePointer(Locate(d, Spot::Cancel)); }), Idle(1)}},
        {"dialog holds the capture",
         {Do([](HWND d) { SetFocus(GetDlgItem(d, IDC_CANCEL_BUTTON)); }),
          Do([](HWND d) { MovePointer(Locate(d, Spot::Background)); }), Idle(1)}},
        {"button holds the capture", {Do([](HWND d) {
             SetFocus(GetDlgItem(d, IDC_LANGUAGE_COMBO));
             SetCapture(GetDlgItem(d, IDC_CANCEL_BUTTON));
         })}},
        {"mouse held down on cancel",
         {Do([](HWND d) {
              MovePointer(Locate(d, Spot::Cancel));
              INPUT down{};
              down.type = INPUT_MOUSE;
              down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
              SendInput(1, &down, sizeof(INPUT));
          }),
          Idle(1)}},
    };
    std::vector<Step> steps;
    for (const Away& away : aways) {
        steps.insert(steps.end(), away.steps.begin(), away.steps.end());
        steps.push_back(Do([&away](HWND dialog) {
            SCOPED_TRACE(away.how);
            const HWND install = GetDlgItem(dialog, IDC_INSTALL_BUTTON);
            EXPECT_TRUE(GetFocus() != install || GetCapture() != nullptr) << "nothing to undo";
            Repaint(dialog);
            EXPECT_EQ(GetFocus(), install);
            EXPECT_EQ(GetCapture(), nullptr);
            MovePointer({4, 4});
            INPUT up{};
            up.type = INPUT_MOUSE;
            up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
            if (GetKeyState(VK_LBUTTON) < 0) {
                SendInput(1, &up, sizeof(INPUT));
            }
        }));
        steps.push_back(Idle(1));
    }
    steps.push_back(EndWithCancel());
    const Outcome outcome = RunDialog(steps);
    EXPECT_TRUE(outcome.stepsDone);
    EXPECT_EQ(outcome.launches.size(), 0u);
}

// Enter presses the focused control, whatever modifiers are held, and never reaches the
// default-button handling (which would end the dialog with IDOK).
TEST(EnterKey, PressesTheFocusedControl)
{
    struct Case {
        const char* name;
        int focus;
        std::function<void(HWND)> press;
        bool ends;
        std::size_t launches;
    };
    const auto enter = [](HWND) { PressKey(VK_RETURN); };
    const Case cases[] = {
        {"Enter on install", IDC_INSTALL_BUTTON, enter, true, 1},
        {"Shift+Enter on install", IDC_INSTALL_BUTTON, [](HWND) { PressKey(VK_RETURN, {VK_SHIFT}); }, true,
         1},
        {"Ctrl+Enter on install", IDC_INSTALL_BUTTON, [](HWND) { PressKey(VK_RETURN, {VK_CONTROL}); }, true,
         1},
        {"keypad Enter on install", IDC_INSTALL_BUTTON,
         [](HWND) { PressKey(VK_RETURN, {}, KEYEVENTF_EXTENDEDKEY); }, true, 1},
        {"Alt+Enter on install", IDC_INSTALL_BUTTON, [](HWND) { PressKey(VK_RETURN, {VK_MENU}); }, false, 0},
        {"held Enter on install", IDC_INSTALL_BUTTON,
         [](HWND d) {
             const HWND install = GetDlgItem(d, IDC_INSTALL_BUTTON);
             for (int i = 0; i < 4; ++i) {
                 const LPARAM repeat = i == 0 ? 0x001C0001 : 0x401C0001;  // bit 30: key was down
                 PostMessageW(install, WM_KEYDOWN, VK_RETURN, repeat);
             }
         },
         true, 1},
        {"Enter on cancel", IDC_CANCEL_BUTTON, enter, true, 0},
        {"Enter on the list", IDC_LANGUAGE_COMBO, enter, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring selectedBefore, selectedAfter;
        const Outcome outcome = RunDialog({
            Do([&](HWND d) {
                SetFocus(GetDlgItem(d, c.focus));
                selectedBefore = WindowText(GetDlgItem(d, IDC_LANGUAGE_COMBO));
            }),
            Do(c.press),
            Idle(3),
            Do([&](HWND d) {
                selectedAfter = WindowText(GetDlgItem(d, IDC_LANGUAGE_COMBO));
                EXPECT_EQ(GetFocus(), GetDlgItem(d, c.focus));
            }),
            EndWithCancel(),
        });
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_EQ(outcome.stepsDone, !c.ends);
        EXPECT_EQ(outcome.launches.size(), c.launches);
        if (!c.ends) {
            EXPECT_EQ(selectedAfter, selectedBefore);
        }
    }
}

// Enter on the list while its drop-down is open leaves it open and chooses nothing.
TEST(EnterKey, LeavesAnOpenDropDownListOpen)
{
    bool droppedAfterEnter = false;
    std::wstring before, after;
    const Outcome outcome = RunDialog({
        Do([&](HWND d) {
            const HWND combo = GetDlgItem(d, IDC_LANGUAGE_COMBO);
            SetFocus(combo);
            before = WindowText(combo);
            SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
            PressKey(VK_DOWN);  // moves the highlight inside the open list
        }),
        Idle(2),
        Do([](HWND) { PressKey(VK_RETURN); }),
        Idle(3),
        Do([&](HWND d) {
            const HWND combo = GetDlgItem(d, IDC_LANGUAGE_COMBO);
            droppedAfterEnter = SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0;
            SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
            after = WindowText(combo);
        }),
        EndWithCancel(),
    });
    EXPECT_TRUE(outcome.stepsDone);
    EXPECT_TRUE(droppedAfterEnter);
    EXPECT_EQ(outcome.launches.size(), 0u);
}

// Other keys take the ordinary dialog handling, from each control as in the template's order:
// Tab and Shift+Tab go round the list and the two buttons; the list's arrows move its selection;
// the buttons' arrows move through the group that starts at the prompt, which Down and Right
// from cancel reach.
TEST(DialogKeys, TabArrowsAndEscapeBehaveAsInAnyDialog)
{
    struct Case {
        const char* name;
        int focus;
        WORD key;
        std::initializer_list<WORD> modifiers;
        int focusAfter;
        int selectionMove;  // change of the list's selected index
    };
    constexpr int kList = IDC_LANGUAGE_COMBO, kInstall = IDC_INSTALL_BUTTON, kCancel = IDC_CANCEL_BUTTON;
    const Case cases[] = {
        {"Tab from the list", kList, VK_TAB, {}, kInstall, 0},
        {"Shift+Tab from the list", kList, VK_TAB, {VK_SHIFT}, kCancel, 0},
        {"Up in the list", kList, VK_UP, {}, kList, -1},
        {"Down in the list", kList, VK_DOWN, {}, kList, 1},
        {"Left in the list", kList, VK_LEFT, {}, kList, -1},
        {"Right in the list", kList, VK_RIGHT, {}, kList, 1},
        {"Tab from install", kInstall, VK_TAB, {}, kCancel, 0},
        {"Shift+Tab from install", kInstall, VK_TAB, {VK_SHIFT}, kList, 0},
        {"Up from install", kInstall, VK_UP, {}, kList, 0},
        {"Down from install", kInstall, VK_DOWN, {}, kCancel, 0},
        {"Left from install", kInstall, VK_LEFT, {}, kList, 0},
        {"Right from install", kInstall, VK_RIGHT, {}, kCancel, 0},
        {"Tab from cancel", kCancel, VK_TAB, {}, kList, 0},
        {"Shift+Tab from cancel", kCancel, VK_TAB, {VK_SHIFT}, kInstall, 0},
        {"Up from cancel", kCancel, VK_UP, {}, kInstall, 0},
        {"Down from cancel", kCancel, VK_DOWN, {}, IDC_PROMPT_LABEL, 0},
        {"Left from cancel", kCancel, VK_LEFT, {}, kInstall, 0},
        {"Right from cancel", kCancel, VK_RIGHT, {}, IDC_PROMPT_LABEL, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LRESULT before = 0, after = 0;
        HWND focus = nullptr;
        const Outcome outcome = RunDialog({
            Do([&](HWND d) {
                const HWND combo = GetDlgItem(d, IDC_LANGUAGE_COMBO);
                SendMessageW(combo, CB_SETCURSEL, 5, 0);  // room to move either way
                before = SendMessageW(combo, CB_GETCURSEL, 0, 0);
                SetFocus(GetDlgItem(d, c.focus));
                PressKey(c.key, c.modifiers);
            }),
            Idle(2),
            Do([&](HWND d) {
                focus = GetFocus();
                after = SendMessageW(GetDlgItem(d, IDC_LANGUAGE_COMBO), CB_GETCURSEL, 0, 0);
                EXPECT_EQ(focus, GetDlgItem(d, c.focusAfter));
            }),
            Do([](HWND) { PressKey(VK_ESCAPE); }),
        });
        EXPECT_TRUE(outcome.stepsDone);
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_EQ(after - before, c.selectionMove);
        EXPECT_EQ(outcome.launches.size(), 0u);
    }
}
