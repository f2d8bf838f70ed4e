// What the program does without its optional resources or platform answers: it crashes
// nowhere and still ends with IDCANCEL, and reports only a launch the shell refused.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <optional>
#include <string>

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

namespace {

// The box a refused launch shows: its window and what it held while the dialog below it
// repainted.
struct ErrorBoxSeen {
    HWND box = nullptr, button = nullptr, owner = nullptr, dialog = nullptr;
    bool captureWhenOpened = false, focusInBox = false;
    bool dialogDisabled = false, buttonKeptCapture = true;
    int focusCallsInRepaint = -1;  // the dialog's own SetFocus and capture calls while it repainted
};

HWND FirstButton(HWND box) { return FindWindowExW(box, nullptr, L"Button", nullptr); }

// The system's text for `error`, asked for in the user's UI language by number, without the line
// break that ends each message of the system's table.
std::wstring SystemText(DWORD error)
{
    wchar_t text[1024] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, GetUserDefaultUILanguage(), text, 1024, nullptr);
    std::wstring message(text, length);
    if (message.ends_with(L"\r\n")) {
        message.resize(message.size() - 2);
    }
    return message;
}

}  // namespace

// Whatever the shell answers at or below 32, one error box owned by the dialog shows the
// package's path and the system's description of the failure (the shell's own error where it
// sets one, else the error its result stands for; the error's number where the system has no
// text for it), titled with the dialog's caption; it keeps the keyboard and its button's capture
// though the dialog below repaints and held the capture when it opened, and the dialog ends with
// IDCANCEL once the box is closed, by Enter, Escape or a click. Above 32, or when the user
// cancelled the shell's prompt, nothing shows. One launch each time. CTest runs this under an
// English and a German UI language.
TEST(LaunchFailure, TheShellsRefusalIsShownInTheSystemsWords)
{
    constexpr DWORD kNoText = 0xE0001234;  // an application's error code: the system has no text
    struct Case {
        INT_PTR result;
        std::optional<DWORD> shellError;  // the last error the shell leaves; nullopt: none
        DWORD error;                      // the error described; 0: no box
    };
    const Case cases[] = {
        {33, {}, 0},
        {42, {}, 0},
        {0, {}, ERROR_NOT_ENOUGH_MEMORY},
        {SE_ERR_FNF, {}, ERROR_FILE_NOT_FOUND},
        {SE_ERR_PNF, {}, ERROR_PATH_NOT_FOUND},
        {SE_ERR_ACCESSDENIED, {}, ERROR_ACCESS_DENIED},
        {SE_ERR_OOM, {}, ERROR_NOT_ENOUGH_MEMORY},
        {ERROR_BAD_FORMAT, {}, ERROR_BAD_FORMAT},
        {SE_ERR_SHARE, {}, ERROR_SHARING_VIOLATION},
        {SE_ERR_ASSOCINCOMPLETE, {}, ERROR_NO_ASSOCIATION},
        {SE_ERR_DDETIMEOUT, {}, ERROR_DDE_FAIL},
        {SE_ERR_DDEFAIL, {}, ERROR_DDE_FAIL},
        {SE_ERR_DDEBUSY, {}, ERROR_DDE_FAIL},
        {SE_ERR_NOASSOC, {}, ERROR_NO_ASSOCIATION},
        {SE_ERR_DLLNOTFOUND, {}, ERROR_DLL_NOT_FOUND},
        {SE_ERR_ACCESSDENIED, ERROR_CANCELLED, 0},  // the user cancelled the shell's prompt
        {SE_ERR_ACCESSDENIED, ERROR_NETWORK_ACCESS_DENIED, ERROR_NETWORK_ACCESS_DENIED},
        {SE_ERR_FNF, ERROR_BAD_NETPATH, ERROR_BAD_NETPATH},
        {SE_ERR_NOASSOC, kNoText, kNoText},
    };
    const WORD closingKeys[] = {VK_RETURN, VK_ESCAPE, 0};  // 0: a click on the box's button
    int failures = 0;
    for (const Case& c : cases) {
        const WORD closing = closingKeys[failures % 3];
        SCOPED_TRACE(testing::Message() << "result " << c.result << ", error " << c.shellError.value_or(0)
                                        << ", closed by " << closing);
        WithFaults faults(
            {.shellResult = c.result, .shellError = c.shellError, .staleError = ERROR_INSUFFICIENT_BUFFER});
        ErrorBoxSeen seen;
        std::wstring caption;
        std::vector<Step> steps{
            // The pointer on the background: the dialog holds the capture when the box opens.
            Do([](HWND d) { MovePointer(LowerLeftCorner(d)); }),
            Idle(1),
            Do([&](HWND d) {
                caption = WindowText(d);
                seen.captureWhenOpened = GetCapture() == d;
                PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_INSTALL_BUTTON, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_INSTALL_BUTTON)));
            }),
        };
        // After a success the dialog ends by itself.
        if (c.error != 0) {
            steps.push_back([&](HWND d) {
                if ((seen.box = FindOwnedDialog(d)) == nullptr) return false;
                seen.button = FirstButton(seen.box);
                seen.owner = GetWindow(seen.box, GW_OWNER);
                seen.dialog = d;
                seen.dialogDisabled = !IsWindowEnabled(d);
                seen.focusInBox = GetFocus() == seen.button;
                seen.focusCallsInRepaint = FocusCallsDuring([d] { Repaint(d); });
                if (closing != 0) {
                    PressKey(closing);
                } else {
                    MovePointer(CenterOf(seen.button));
                    SendMouseButton(MOUSEEVENTF_LEFTDOWN);
                }
                return true;
            });
            if (closing == 0) {
                // The dialog repaints while the button is held down: the click still counts.
                steps.push_back(Do([&](HWND d) {
                    Repaint(d);
                    seen.buttonKeptCapture = GetCapture() == seen.button;
                    SendMouseButton(MOUSEEVENTF_LEFTUP);
                }));
            }
        }
        const Outcome outcome = RunDialog(steps);
        EXPECT_TRUE(outcome.stepsDone);
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_EQ(outcome.launches.size(), 1u);
        EXPECT_TRUE(seen.captureWhenOpened);
        const std::vector<MessageBoxCall>& boxes = Recorded().messageBoxes;
        if (c.error == 0) {
            EXPECT_EQ(boxes.size(), 0u);
            continue;
        }
        ++failures;
        ASSERT_EQ(boxes.size(), 1u);
        ASSERT_NE(seen.box, nullptr);
        EXPECT_EQ(boxes[0].owner, seen.dialog);
        EXPECT_EQ(seen.owner, seen.dialog);
        EXPECT_EQ(boxes[0].caption, caption);
        EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
        const std::wstring description =
            c.error == kNoText ? L"3758101044 (0xE0001234)" : SystemText(c.error);
        ASSERT_FALSE(description.empty());
        EXPECT_EQ(boxes[0].text,
                  *outcome.launches[0].directory + L"Quillmere_Business.msi\r\n" + description);
        EXPECT_TRUE(seen.dialogDisabled);
        EXPECT_TRUE(seen.focusInBox);
        EXPECT_EQ(seen.focusCallsInRepaint, 0);
        EXPECT_TRUE(seen.buttonKeptCapture);
    }
}
