// What the program does without its optional resources or platform answers: it reports
// nothing, crashes nowhere and still ends with IDCANCEL.
#include <gtest/gtest.h>

#include "Harness.h"
#include "framework/afxwin.h"
#include "res/resource.h"
#include "ui/AboutDlg.h"

using namespace dialogtest;

namespace {

// Sets faults for one test and clears them afterwards.
class WithFaults {
public:
    explicit WithFaults(const Faults& faults) { Injected() = faults; }
    ~WithFaults() { Injected() = Faults{}; }
    WithFaults(const WithFaults&) = delete;
    WithFaults& operator=(const WithFaults&) = delete;
};

bool HasAboutEntry(HWND dialog)
{
    const HMENU menu = GetSystemMenu(dialog, FALSE);
    const int count = GetMenuItemCount(menu);
    const bool endsInSeparator =
        (GetMenuState(menu, static_cast<UINT>(count - 1), MF_BYPOSITION) & MF_SEPARATOR) != 0;
    return GetMenuState(menu, IDM_ABOUT, MF_BYCOMMAND) != static_cast<UINT>(-1) || endsInSeparator;
}

}  // namespace

TEST(MissingResources, WithoutTheDialogIconNothingIsShownOrDrawn)
{
    WithFaults faults({.noDialogIcon = true});
    LRESULT staticIcon = 1, dragIcon = 1;
    std::vector<IconDrawing> drawn;
    const Outcome outcome = RunDialog({
        Do([&](HWND d) {
            staticIcon = SendMessageW(GetDlgItem(d, IDC_SETUP_ICON), STM_GETICON, 0, 0);
            dragIcon = SendMessageW(d, WM_QUERYDRAGICON, 0, 0);
            ShowWindow(d, SW_MINIMIZE);
        }),
        Idle(2),
        Do([&](HWND d) {
            SendMessageW(d, WM_PAINT, 0, 0);
            drawn = Recorded().icons;
            ShowWindow(d, SW_RESTORE);
        }),
        EndWithCancel(),
    });
    EXPECT_TRUE(outcome.stepsDone);
    EXPECT_EQ(outcome.result, IDCANCEL);
    EXPECT_EQ(staticIcon, 0);
    EXPECT_EQ(dragIcon, 0);
    for (const IconDrawing& icon : drawn) {
        EXPECT_EQ(icon.icon, nullptr);
    }
}

// Without the text, or without a system menu, no entry is added; the command still opens the box.
TEST(MissingResources, WithoutTheAboutTextOrSystemMenuNoEntryIsAdded)
{
    for (const Faults& fault : {Faults{.noAboutText = true}, Faults{.noSystemMenu = true}}) {
        SCOPED_TRACE(fault.noAboutText ? "no About text" : "no system menu");
        WithFaults faults(fault);
        bool entry = true;
        HWND box = nullptr;
        const Outcome outcome = RunDialog({
            Do([&](HWND d) {
                Injected().noSystemMenu = false;  // the test reads the real menu
                entry = HasAboutEntry(d);
                PostMessageW(d, WM_SYSCOMMAND, IDM_ABOUT, 0);
            }),
            [&box](HWND d) { return (box = FindOwnedDialog(d)) != nullptr; },
            Do([&](HWND) { PostMessageW(box, WM_COMMAND, IDOK, 0); }),
            Idle(2),
            EndWithCancel(),
        });
        EXPECT_TRUE(outcome.stepsDone);
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_FALSE(entry);
    }
}

// A template that cannot be found: the About command returns at once and the dialog carries on;
// without the dialog's own template DoModal gives -1 and the start-up still returns FALSE.
TEST(MissingResources, WithoutATemplateNothingShows)
{
    {
        WithFaults faults({.missingTemplate = IDD_ABOUT_DIALOG});
        EXPECT_EQ(CAboutDlg().DoModal(), -1);
        HWND box = reinterpret_cast<HWND>(1);
        bool enabled = false;
        const Outcome outcome = RunDialog({
            Do([](HWND d) { SendMessageW(d, WM_SYSCOMMAND, IDM_ABOUT, 0); }),
            Idle(3),
            Do([&](HWND d) {
                box = FindOwnedDialog(d);
                enabled = IsWindowEnabled(d);
            }),
            EndWithCancel(),
        });
        EXPECT_TRUE(outcome.stepsDone);
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_EQ(box, nullptr);
        EXPECT_TRUE(enabled);
    }
    {
        WithFaults faults({.missingTemplate = IDD_SETUP_DIALOG});
        EXPECT_EQ(RunDialog({}).result, -1);
        Outcome outcome;
        EXPECT_FALSE(RunInitInstance({}, &outcome));
        EXPECT_EQ(outcome.launches.size(), 0u);
    }
}
