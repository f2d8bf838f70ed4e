// The About box behind the system menu's entry, and the help key.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Harness.h"
#include "res/resource.h"

using namespace dialogtest;

namespace {

struct AboutSeen {
    HWND box = nullptr, ok = nullptr;
    bool ownerDisabled = false;
    std::wstring caption, version, button;
    HWND focus = nullptr;
};

AboutSeen ReadAbout(HWND dialog, HWND box)
{
    AboutSeen seen;
    seen.box = box;
    seen.ownerDisabled = GetWindow(box, GW_OWNER) == dialog && !IsWindowEnabled(dialog);
    seen.caption = WindowText(box);
    seen.ok = GetDlgItem(box, IDOK);
    seen.button = WindowText(seen.ok);
    // The version line is the first text static.
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const bool icon = (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        if (!icon && child != seen.ok) {
            seen.version = WindowText(child);
            break;
        }
    }
    seen.focus = GetFocus();
    return seen;
}

// Waits for the About box to show, then reads it.
Step AwaitAbout(AboutSeen& seen)
{
    return [&seen](HWND dialog) {
        const HWND box = FindOwnedDialog(dialog);
        if (box == nullptr) {
            return false;
        }
        seen = ReadAbout(dialog, box);
        return true;
    };
}

}  // namespace

// Each system command from 0x0010 to 0x001F (bits above 15 ignored) opens the box; OK, Enter,
// Escape and the close command each close it, and the dialog carries on as before. Inside the
// box nothing of the dialog's own focus handling applies, and repainting the dialog below takes
// neither the keyboard nor the mouse from it.
TEST(AboutBox, OpensForItsCommandsAndClosesEveryWay)
{
    struct Case {
        WPARAM command;
        const char* close;
        std::function<void(HWND box)> closeBox;
    };
    const Case cases[] = {
        {0x0010, "OK clicked", [](HWND box) { ClickAt(CenterOf(GetDlgItem(box, IDOK))); }},
        {0x0011, "Enter", [](HWND) { PressKey(VK_RETURN); }},
        {0x001F, "Escape", [](HWND) { PressKey(VK_ESCAPE); }},
        {0x10010, "close command", [](HWND box) { PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.command << " closed by " << c.close);
        AboutSeen seen;
        std::wstring captionBefore, captionAfter, selectedBefore, selectedAfter;
        HWND captureInBox = reinterpret_cast<HWND>(1);
        int focusCallsInRepaint = -1;  // the dialog's own, while it repainted below the box
        bool gone = false, enabledAfter = false;
        const Outcome outcome = RunDialog({
            // The pointer on the background: the dialog holds the capture when the box opens.
            Do([](HWND d) { MovePointer(LowerLeftCorner(d)); }),
            Idle(1),
            Do([&](HWND d) {
                captionBefore = WindowText(d);
                selectedBefore = WindowText(GetDlgItem(d, IDC_LANGUAGE_COMBO));
                PostMessageW(d, WM_SYSCOMMAND, c.command, 0);
            }),
            AwaitAbout(seen),
            Do([&](HWND) { MovePointer(LowerLeftCorner(seen.box)); }),  // the box's background
            Idle(1),
            Do([&](HWND d) {
                captureInBox = GetCapture();
                Repaint(seen.box);
                focusCallsInRepaint = FocusCallsDuring([d] { Repaint(d); });
                c.closeBox(seen.box);
            }),
            Idle(3),
            Do([&](HWND d) {
                gone = !IsWindow(seen.box);
                enabledAfter = IsWindowEnabled(d);
                captionAfter = WindowText(d);
                selectedAfter = WindowText(GetDlgItem(d, IDC_LANGUAGE_COMBO));
            }),
            EndWithCancel(),
        });
        EXPECT_TRUE(outcome.stepsDone);
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_EQ(outcome.launches.size(), 0u);
        ASSERT_NE(seen.box, nullptr);
        EXPECT_TRUE(seen.ownerDisabled);
        EXPECT_EQ(seen.caption, L"关于 Orvia");
        EXPECT_EQ(seen.version,
                  L"Orvia\xFF0C"
                  L"1.0 \x7248");
        EXPECT_EQ(seen.button, L"确定");
        EXPECT_EQ(seen.focus, seen.ok);
        EXPECT_EQ(captureInBox, nullptr);
        EXPECT_EQ(focusCallsInRepaint, 0);
        EXPECT_TRUE(gone);
        EXPECT_TRUE(enabledAfter);
        EXPECT_EQ(captionAfter, captionBefore);
        EXPECT_EQ(selectedAfter, selectedBefore);
    }
}

// Other system commands go to the platform: no box opens.
TEST(AboutBox, OtherSystemCommandsOpenNothing)
{
    for (WPARAM command : {WPARAM{0x0000}, WPARAM{0x0020}, WPARAM{0x00F0}}) {
        SCOPED_TRACE(command);
        HWND box = reinterpret_cast<HWND>(1);
        const Outcome outcome = RunDialog({
            Do([command](HWND d) { PostMessageW(d, WM_SYSCOMMAND, command, 0); }),
            Idle(5),
            Do([&](HWND d) { box = FindOwnedDialog(d); }),
            EndWithCancel(),
        });
        EXPECT_TRUE(outcome.stepsDone);
        EXPECT_EQ(box, nullptr);
    }
}

// F1 alone asks the help engine for the dialog's topic; with Shift, Ctrl or Alt it asks nothing.
TEST(HelpKey, OnlyPlainF1AsksForHelp)
{
    struct Case {
        const char* name;
        std::initializer_list<WORD> modifiers;
        std::size_t requests;
    };
    const Case cases[] = {
        {"F1", {}, 1},
        {"Shift+F1", {VK_SHIFT}, 0},
        {"Ctrl+F1", {VK_CONTROL}, 0},
        {"Alt+F1", {VK_MENU}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<HelpCall> help;
        const Outcome outcome = RunDialog({
            Do([&c](HWND) { PressKey(VK_F1, c.modifiers); }),
            Idle(3),
            Do([&help](HWND) { help = Recorded().help; }),
            EndWithCancel(),
        });
        EXPECT_TRUE(outcome.stepsDone);
        EXPECT_EQ(outcome.result, IDCANCEL);
        ASSERT_EQ(help.size(), c.requests);
        if (c.requests == 1) {
            EXPECT_EQ(help[0].command, UINT{HELP_CONTEXT});
            EXPECT_EQ(help[0].data, ULONG_PTR{0x20000 + IDD_SETUP_DIALOG});
        }
    }
}
