// The language-selection dialog: its language, its look when it first shows, the package
// launch, every way it ends, and the application start-up around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "Harness.h"
#include "app/OrviaApp.h"
#include "languages/LanguageTable.h"
#include "res/resource.h"
#include "ui/OrviaDlg.h"

using namespace dialogtest;

namespace {

struct Shown {
    std::wstring caption, label, install, cancel, selected;
    std::vector<std::wstring> items;
    std::wstring lastMenuText;
    UINT lastMenuId = 0;
    bool separatorBeforeLast = false;
    HWND focus = nullptr, capture = nullptr;
};

MENUITEMINFOW MenuItem(HMENU menu, int position, wchar_t* text, UINT size)
{
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = size;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
    return item;
}

Shown Read(HWND dialog)
{
    Shown shown;
    shown.caption = WindowText(dialog);
    shown.label = WindowText(GetDlgItem(dialog, IDC_PROMPT_LABEL));
    shown.install = WindowText(GetDlgItem(dialog, IDC_INSTALL_BUTTON));
    shown.cancel = WindowText(GetDlgItem(dialog, IDC_CANCEL_BUTTON));
    const HWND combo = GetDlgItem(dialog, IDC_LANGUAGE_COMBO);
    shown.selected = WindowText(combo);
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        shown.items.push_back(ComboItem(combo, i));
    }
    const HMENU menu = GetSystemMenu(dialog, FALSE);
    const int items = GetMenuItemCount(menu);
    wchar_t text[64] = {};
    const MENUITEMINFOW last = MenuItem(menu, items - 1, text, 64);
    shown.lastMenuText = last.fType == MFT_STRING ? text : L"";
    shown.lastMenuId = last.wID;
    wchar_t ignored[64] = {};
    shown.separatorBeforeLast = (MenuItem(menu, items - 2, ignored, 64).fType & MFT_SEPARATOR) != 0;
    shown.focus = GetFocus();
    shown.capture = GetCapture();
    return shown;
}

HICON DialogIcon() { return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETUP)); }

std::wstring PackageProperty() { return L" PACKAGENAMEUID=\"" + ModuleFolderName() + L".msi\""; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// The language follows the user's UI language (Wine derives it from LANG); every run checks the
// texts, the list and the About entry that UI language gets.

struct UiLanguageCase {
    const char* lang;
    LANGID id;
    std::size_t row;  // of the language table
};
constexpr UiLanguageCase kUiLanguages[] = {
    {"C", 0x0409, 0},             // English
    {"de_DE.UTF-8", 0x0407, 1},   // Deutsch
    {"es_MX.UTF-8", 0x080A, 2},   // Español_Latinoamericano
    {"sv_FI.UTF-8", 0x081D, 16},  // Svenska
    {"ru_RU.UTF-8", 0x0419, 8},   // Русский
    {"ja_JP.UTF-8", 0x0411, 9},   // 日本語
    {"zh_CN.UTF-8", 0x0804, 11},  // simplified Chinese
    {"zh_TW.UTF-8", 0x0404, 12},  // traditional Chinese
    {"zh_HK.UTF-8", 0x0C04, 0},   // not listed: English
    {"de_AT.UTF-8", 0x0C07, 0},   // not listed: English
};

TEST(UiLanguage, DialogSpeaksTheUserInterfaceLanguage)
{
    const char* lang = std::getenv("LANG");
    const std::string value = lang ? lang : "C";
    const auto* which = std::find_if(std::begin(kUiLanguages), std::end(kUiLanguages),
                                     [&](const UiLanguageCase& c) { return value == c.lang; });
    ASSERT_NE(which, std::end(kUiLanguages)) << "no expectation for LANG=" << value;
    ASSERT_EQ(GetUserDefaultUILanguage(), which->id) << "LANG=" << value;
    const LanguageEntry& row = LanguageTable[which->row];

    Shown shown;
    const Outcome outcome = RunDialog({Do([&](HWND dialog) { shown = Read(dialog); }), EndWithCancel()});

    EXPECT_EQ(outcome.result, IDCANCEL);
    EXPECT_EQ(shown.caption, Wide(row.caption));
    EXPECT_EQ(shown.label, Wide(row.prompt));
    EXPECT_EQ(shown.install, Wide(row.okText));
    EXPECT_EQ(shown.cancel, Wide(row.cancelText));
    EXPECT_EQ(shown.selected, Wide(row.displayName));

    std::vector<std::wstring> names;
    for (const LanguageEntry& entry : LanguageTable) {
        names.push_back(Wide(entry.displayName));
    }
    std::vector<std::wstring> items = shown.items;
    std::sort(names.begin(), names.end());
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, names);

    EXPECT_TRUE(shown.separatorBeforeLast);
    EXPECT_EQ(shown.lastMenuText, L"about Orvia(&A)...");
    EXPECT_EQ(shown.lastMenuId, UINT{IDM_ABOUT});
}

// ---------------------------------------------------------------------------------------------

// The controls stand in this order, so that the prompt, right before the list, names it for
// screen readers; the styles keep Tab and the arrow keys as the template's order had them (see
// DialogKeys).
TEST(Dialog, FirstShowsCentredWithItsIconOnlyInTheIconStatic)
{
    RECT window{}, work{};
    HWND iconStatic = nullptr, install = nullptr;
    Shown shown;
    LRESULT staticIcon = 0, bigIcon = 1, smallIcon = 1, dragIcon = 0;
    std::vector<std::pair<int, LONG>> order;  // id and keyboard styles of each control
    const Outcome outcome = RunDialog({
        Do([&](HWND dialog) {
            shown = Read(dialog);
            for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                order.emplace_back(GetDlgCtrlID(child),
                                   GetWindowLongW(child, GWL_STYLE) & (WS_GROUP | WS_TABSTOP));
            }
            install = GetDlgItem(dialog, IDC_INSTALL_BUTTON);
            iconStatic = GetDlgItem(dialog, IDC_SETUP_ICON);
            staticIcon = SendMessageW(iconStatic, STM_GETICON, 0, 0);
            bigIcon = SendMessageW(dialog, WM_GETICON, ICON_BIG, 0);
            smallIcon = SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0);
            dragIcon = SendMessageW(dialog, WM_QUERYDRAGICON, 0, 0);
            GetWindowRect(dialog, &window);
            MONITORINFO monitor{};
            monitor.cbSize = sizeof(monitor);
            GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
            work = monitor.rcWork;
        }),
        EndWithCancel(),
    });

    EXPECT_EQ(outcome.result, IDCANCEL);
    EXPECT_EQ(shown.focus, install);
    EXPECT_EQ(shown.capture, nullptr);
    ASSERT_NE(DialogIcon(), nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(staticIcon), DialogIcon());
    EXPECT_EQ(bigIcon, 0);
    EXPECT_EQ(smallIcon, 0);
    EXPECT_EQ(reinterpret_cast<HICON>(dragIcon), DialogIcon());
    const std::vector<std::pair<int, LONG>> wantedOrder{
        {IDC_SETUP_ICON, WS_GROUP},       {IDC_PROMPT_LABEL, WS_GROUP},    {IDC_LANGUAGE_COMBO, WS_TABSTOP},
        {IDC_INSTALL_BUTTON, WS_TABSTOP}, {IDC_CANCEL_BUTTON, WS_TABSTOP},
    };
    EXPECT_EQ(order, wantedOrder);
    const int spareX = (work.right - work.left) - (window.right - window.left);
    const int spareY = (work.bottom - work.top) - (window.bottom - window.top);
    EXPECT_NEAR(window.left - work.left, spareX / 2, 1);
    EXPECT_NEAR(window.top - work.top, spareY / 2, 1);
}

TEST(Dialog, IconStaticCommandChangesNothing)
{
    Shown before, after;
    const Outcome outcome = RunDialog({
        Do([&](HWND dialog) {
            before = Read(dialog);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SETUP_ICON, STN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SETUP_ICON)));
        }),
        Idle(3),
        Do([&](HWND dialog) { after = Read(dialog); }),
        EndWithCancel(),
    });
    EXPECT_TRUE(outcome.stepsDone);
    EXPECT_EQ(outcome.launches.size(), 0u);
    EXPECT_EQ(after.caption, before.caption);
    EXPECT_EQ(after.selected, before.selected);
    EXPECT_EQ(after.focus, before.focus);
}

// Every way the dialog can end gives IDCANCEL; only the install button launches, once.
TEST(Dialog, EveryEndingCancels)
{
    struct Ending {
        const char* how;
        std::function<void(HWND)> act;
        std::size_t launches;
    };
    const Ending endings[] = {
        {"install button click", [](HWND d) { ClickAt(CenterOf(GetDlgItem(d, IDC_INSTALL_BUTTON))); }, 1},
        {"cancel button click", [](HWND d) { ClickAt(CenterOf(GetDlgItem(d, IDC_CANCEL_BUTTON))); }, 0},
        {"Escape", [](HWND) { PressKey(VK_ESCAPE); }, 0},
        {"Alt+F4", [](HWND) { PressKey(VK_F4, {VK_MENU}); }, 0},
        {"Close in the system menu", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, 0},
        {"WM_CLOSE", [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }, 0},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.how);
        const Outcome outcome = RunDialog({Do(ending.act)});
        EXPECT_TRUE(outcome.stepsDone);
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_EQ(outcome.launches.size(), ending.launches);
    }
}

// The one launch carries exactly the request for the selected language: Dansk launches as
// English does, and the directory is the program's folder; the dialog owns what the shell shows
// and ends once. With Suomi the shell shows a modal window of its own (a security warning)
// before it returns: the user's clicks and keys on the dialog meanwhile launch nothing more and
// do not end it, and its repaint leaves the shell's window the focus. CTest also runs this from
// a folder whose path is longer than MAX_PATH, which the folder name must survive.
TEST(Dialog, InstallLaunchesThePackageForTheSelectedLanguage)
{
    struct Choice {
        std::u16string_view displayName;
        const wchar_t* transform;
        bool shellWindow;
    };
    const Choice choices[] = {
        {u"English", L"", false},
        {u"Deutsch", L"Transforms=Transforms\\de.mst", false},
        {u"Suomi", L"Transforms=Transforms\\fi-FI.mst", true},
        {u"Dansk", L"", false},
    };
    for (const Choice& choice : choices) {
        SCOPED_TRACE(testing::Message() << Wide(choice.displayName));
        Injected().shellWindow = choice.shellWindow;
        HWND shown = nullptr;
        const Outcome outcome = RunDialog({
            Do([&](HWND dialog) {
                shown = dialog;
                const HWND combo = GetDlgItem(dialog, IDC_LANGUAGE_COMBO);
                const std::wstring name = Wide(choice.displayName);
                const LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                   reinterpret_cast<LPARAM>(name.c_str()));
                SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            }),
            Do([](HWND dialog) { ClickAt(CenterOf(GetDlgItem(dialog, IDC_INSTALL_BUTTON))); }),
        });
        Injected().shellWindow = false;
        EXPECT_EQ(outcome.result, IDCANCEL);
        const std::vector<HWND>& ended = Recorded().endedDialogs;
        EXPECT_EQ(std::count(ended.begin(), ended.end(), shown), 1);
        if (choice.shellWindow) {
            const ShellWindowSeen& seen = Recorded().shellWindow;
            EXPECT_NE(seen.window, nullptr);
            EXPECT_TRUE(seen.focusKept);
            EXPECT_EQ(seen.focusCallsInRepaint, 0);
        }
        ASSERT_EQ(outcome.launches.size(), 1u);
        const ShellCall& launch = outcome.launches[0];
        EXPECT_EQ(launch.owner, shown);
        EXPECT_EQ(launch.verb, std::wstring(L""));
        EXPECT_EQ(launch.file, std::wstring(L"Quillmere_Business.msi"));
        EXPECT_EQ(launch.parameters, choice.transform + PackageProperty());
        EXPECT_EQ(launch.directory, ModuleFolder());
        EXPECT_EQ(launch.show, SW_SHOW);
    }
}

// ---------------------------------------------------------------------------------------------

TEST(MinimizedIcon, OriginIsCentredWithHalvesTruncatedTowardZero)
{
    struct Case {
        int width, height, iconWidth, iconHeight, x, y;
    };
    const Case cases[] = {
        {0, 0, 32, 32, -15, -15}, {100, 60, 32, 32, 34, 14},  {1, 2, 32, 32, -15, -14},
        {32, 32, 32, 32, 0, 0},   {160, 24, 48, 48, 56, -11},
    };
    for (const Case& c : cases) {
        const POINT origin = MinimizedIconOrigin(c.width, c.height, c.iconWidth, c.iconHeight);
        EXPECT_EQ(origin.x, c.x) << c.width << "x" << c.height;
        EXPECT_EQ(origin.y, c.y) << c.width << "x" << c.height;
    }
}

// Minimised, a paint draws the dialog's icon at that origin; the install button takes the
// focus after the paint in either state.
TEST(MinimizedIcon, PaintDrawsTheDialogIconAndFocusesInstall)
{
    std::vector<IconDrawing> drawn;
    RECT client{};
    bool iconic = false;
    HWND focusWhileMinimized = nullptr, focusRestored = nullptr, install = nullptr;
    const Outcome outcome = RunDialog({
        Do([&](HWND dialog) {
            install = GetDlgItem(dialog, IDC_INSTALL_BUTTON);
            ShowWindow(dialog, SW_MINIMIZE);
        }),
        Idle(3),
        Do([&](HWND dialog) {
            iconic = IsIconic(dialog);
            SetFocus(GetDlgItem(dialog, IDC_CANCEL_BUTTON));
            Recorded().icons.clear();
            // The system sends no paint to a minimised window of no size; the dialog's own
            // paint handler is what is under test, so it is asked directly.
            SendMessageW(dialog, WM_PAINT, 0, 0);
            drawn = Recorded().icons;
            GetClientRect(dialog, &client);
            focusWhileMinimized = GetFocus();
            ShowWindow(dialog, SW_RESTORE);
            SetFocus(GetDlgItem(dialog, IDC_CANCEL_BUTTON));
            Repaint(dialog);
            focusRestored = GetFocus();
        }),
        EndWithCancel(),
    });
    EXPECT_EQ(outcome.result, IDCANCEL);
    ASSERT_TRUE(iconic);
    ASSERT_EQ(drawn.size(), 1u) << "client " << client.right << "x" << client.bottom;
    const POINT origin = MinimizedIconOrigin(client.right, client.bottom, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON));
    EXPECT_EQ(drawn[0].x, origin.x);
    EXPECT_EQ(drawn[0].y, origin.y);
    EXPECT_EQ(drawn[0].icon, DialogIcon());
    EXPECT_EQ(focusWhileMinimized, install);
    EXPECT_EQ(focusRestored, install);
}

// ---------------------------------------------------------------------------------------------

TEST(Startup, InitInstanceRunsTheDialogOnceAndReturnsFalse)
{
    EXPECT_EQ(theApp.m_dwRestartManagerSupportFlags, DWORD{AFX_RESTART_MANAGER_SUPPORT_RESTART});
    HWND shown = nullptr;
    std::wstring caption;
    Outcome outcome;
    const BOOL result = RunInitInstance(
        {
            Do([&](HWND dialog) {
                shown = dialog;
                caption = WindowText(dialog);
            }),
            EndWithCancel(),
        },
        &outcome);
    EXPECT_FALSE(result);
    EXPECT_TRUE(outcome.stepsDone);
    EXPECT_NE(shown, nullptr);
    EXPECT_EQ(caption, Wide(FindLanguageForUiLanguage(GetUserDefaultUILanguage()).caption));
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_FALSE(outcome.mainWindowLeft);
    EXPECT_EQ(outcome.launches.size(), 0u);
}
