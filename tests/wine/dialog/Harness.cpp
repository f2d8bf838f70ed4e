#include "Harness.h"

#include "ImportPatch.h"

#include <cstring>
#include <cwchar>
#include <iterator>
#include <memory>
#include <utility>

#include "framework/afxwin.h"
#include "ui/OrviaDlg.h"

namespace dialogtest {

namespace {

using testsupport::Patch;

std::optional<std::wstring> Copy(LPCWSTR text)
{
    return text ? std::optional<std::wstring>(text) : std::nullopt;
}

void ShowShellWindow(HWND owner);
bool g_inShellWindow = false;

HINSTANCE WINAPI RecordShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                    LPCWSTR directory, INT show)
{
    Recorded().launches.push_back({owner, Copy(verb), Copy(file), Copy(parameters), Copy(directory), show});
    const Faults& faults = Injected();
    if (faults.shellWindow && !g_inShellWindow) {
        g_inShellWindow = true;
        ShowShellWindow(owner);
        g_inShellWindow = false;
    }
    if (faults.shellError) {
        SetLastError(*faults.shellError);
    }
    return reinterpret_cast<HINSTANCE>(faults.shellResult);
}

using EndDialogFn = BOOL(WINAPI*)(HWND, INT_PTR);
using WindowFn = HWND(WINAPI*)(HWND);
using ReleaseCaptureFn = BOOL(WINAPI*)();
EndDialogFn g_endDialog = nullptr;
WindowFn g_setFocus = nullptr, g_setCapture = nullptr;
ReleaseCaptureFn g_releaseCapture = nullptr;

BOOL WINAPI RecordEndDialog(HWND window, INT_PTR result)
{
    Recorded().endedDialogs.push_back(window);
    return g_endDialog(window, result);
}

HWND WINAPI CountSetFocus(HWND window)
{
    ++Recorded().focusCalls;
    return g_setFocus(window);
}

HWND WINAPI CountSetCapture(HWND window)
{
    ++Recorded().focusCalls;
    return g_setCapture(window);
}

BOOL WINAPI CountReleaseCapture()
{
    ++Recorded().focusCalls;
    return g_releaseCapture();
}

using MessageBoxFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
MessageBoxFn g_messageBox = nullptr;

int WINAPI RecordMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    Recorded().messageBoxes.push_back({owner, text ? text : L"", caption ? caption : L"", type});
    return g_messageBox(owner, text, caption, type);
}

BOOL WINAPI RecordWinHelp(HWND, LPCWSTR file, UINT command, ULONG_PTR data)
{
    Recorded().help.push_back({file ? file : L"", command, data});
    return TRUE;
}

using DrawIconFn = BOOL(WINAPI*)(HDC, int, int, HICON);
DrawIconFn g_drawIcon = nullptr;

BOOL WINAPI RecordDrawIcon(HDC dc, int x, int y, HICON icon)
{
    Recorded().icons.push_back({x, y, icon});
    return g_drawIcon ? g_drawIcon(dc, x, y, icon) : TRUE;
}

using LoadIconFn = HICON(WINAPI*)(HINSTANCE, LPCWSTR);
using FindResourceFn = HRSRC(WINAPI*)(HMODULE, LPCWSTR, LPCWSTR);
using GetSystemMenuFn = HMENU(WINAPI*)(HWND, BOOL);
LoadIconFn g_loadIcon = nullptr;
FindResourceFn g_findResource = nullptr;
GetSystemMenuFn g_getSystemMenu = nullptr;

HICON WINAPI FaultyLoadIcon(HINSTANCE module, LPCWSTR name)
{
    if (Injected().noDialogIcon && name == MAKEINTRESOURCEW(IDI_SETUP)) {
        return nullptr;
    }
    return g_loadIcon(module, name);
}

HRSRC WINAPI FaultyFindResource(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    const Faults& faults = Injected();
    if ((type == RT_DIALOG && faults.missingTemplate != 0 &&
         name == MAKEINTRESOURCEW(faults.missingTemplate)) ||
        (type == RT_STRING && faults.noAboutText && name == MAKEINTRESOURCEW(IDS_ABOUT_MENU / 16 + 1))) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return g_findResource(module, name, type);
}

HMENU WINAPI FaultyGetSystemMenu(HWND window, BOOL revert)
{
    return Injected().noSystemMenu ? nullptr : g_getSystemMenu(window, revert);
}

using ModuleFileNameFn = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);
ModuleFileNameFn g_moduleFileName = nullptr;

DWORD WINAPI FaultyModuleFileName(HMODULE module, LPWSTR buffer, DWORD size)
{
    const DWORD copied = g_moduleFileName(module, buffer, size);
    if (Injected().staleError != 0 && copied < size) {
        SetLastError(Injected().staleError);
    }
    return copied;
}

// ---------------------------------------------------------------------------------------------
// Stepping.

constexpr UINT kTickMs = 10;
constexpr int kGraceTicks = 300;  // after the last step, for the dialog to end by itself
constexpr int kStepLimit = 500;   // ticks one step may keep waiting

struct Player {
    const std::vector<Step>* steps = nullptr;
    std::size_t next = 0;
    int ticksInStep = 0;
    int ticksAfter = 0;
    bool busy = false;
    bool aborted = false;
};
Player* g_player = nullptr;

HWND MainDialog()
{
    CWinApp* app = AfxGetApp();
    return app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
}

// Ends whatever modal dialogs of the run are still open, innermost first.
void Abort(HWND dialog)
{
    g_player->aborted = true;
    for (HWND box = FindOwnedDialog(dialog); box != nullptr; box = FindOwnedDialog(box)) {
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CANCEL_BUTTON, BN_CLICKED), 0);
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    Player* player = g_player;
    const HWND dialog = MainDialog();
    if (player == nullptr || player->busy || dialog == nullptr || !IsWindowVisible(dialog)) {
        return;
    }
    if (player->next == player->steps->size()) {
        if (++player->ticksAfter == kGraceTicks) {
            Abort(dialog);
        }
        return;
    }
    player->busy = true;
    const bool done = (*player->steps)[player->next](dialog);
    player->busy = false;
    if (done) {
        ++player->next;
        player->ticksInStep = 0;
    } else if (++player->ticksInStep == kStepLimit) {
        Abort(dialog);
        player->next = player->steps->size();
    }
}

// ---------------------------------------------------------------------------------------------
// The shell's own window: a modal dialog without controls, owned by the launch's owner and
// driven by its own timer, since the harness's steps wait while it is up.

struct ShellWindowRun {
    HWND dialog;
    int tick = 0;
};

INT_PTR CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    auto* run = reinterpret_cast<ShellWindowRun*>(GetWindowLongPtrW(window, DWLP_USER));
    ShellWindowSeen& seen = Recorded().shellWindow;
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        seen.window = window;
        SetWindowPos(window, nullptr, 0, 0, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);  // clear of the dialog
        SetTimer(window, 1, kTickMs, nullptr);
        return TRUE;
    case WM_TIMER: {
        const HWND dialog = run->dialog;
        switch (run->tick++) {  // odd ticks let the input of the even ones arrive
        case 0: ClickAt(CenterOf(GetDlgItem(dialog, IDC_INSTALL_BUTTON))); break;
        case 2: PressKey(VK_RETURN); break;
        case 4: ClickAt(CenterOf(GetDlgItem(dialog, IDC_CANCEL_BUTTON))); break;
        case 6: PressKey(VK_ESCAPE); break;
        case 8:
            seen.focusCallsInRepaint = FocusCallsDuring([dialog] { Repaint(dialog); });
            seen.focusKept = GetFocus() == window;
            break;
        case 10:
            KillTimer(window, 1);
            EndDialog(window, 0);
            break;
        default: break;
        }
        return TRUE;
    }
    case WM_COMMAND: return TRUE;  // Enter and Escape leave it open
    default: return FALSE;
    }
}

void ShowShellWindow(HWND owner)
{
    struct alignas(DWORD) {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } empty{};
    empty.header.style = WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME;
    empty.header.cx = 100;
    empty.header.cy = 40;
    ShellWindowRun run{MainDialog()};
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &empty.header, owner, &ShellWindowProc,
                            reinterpret_cast<LPARAM>(&run));
}

// Messages and input left over from a run (key releases, moves) are not for the next one.
void Drain()
{
    MSG msg;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

constexpr POINT kParking{4, 4};  // far from the centred dialog

template <class Run>
Outcome Play(const std::vector<Step>& steps, Run run)
{
    Recorded().Reset();
    MovePointer(kParking);
    Drain();
    Player player;
    player.steps = &steps;
    g_player = &player;
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, &Tick);
    Outcome outcome;
    outcome.result = run();
    KillTimer(nullptr, timer);
    g_player = nullptr;
    Drain();
    outcome.stepsDone = player.next == steps.size() && !player.aborted;
    outcome.launches = Recorded().launches;
    return outcome;
}

INPUT KeyInput(WORD key, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    return input;
}

INPUT MouseInput(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

}  // namespace

Recorder& Recorded()
{
    static Recorder recorder;
    return recorder;
}

Faults& Injected()
{
    static Faults faults;
    return faults;
}

bool InstallRecorders()
{
    static const bool installed =
        Patch<decltype(&RecordShellExecute)>("shell32.dll", "ShellExecuteW", &RecordShellExecute, nullptr) &&
        Patch<decltype(&RecordWinHelp)>("user32.dll", "WinHelpW", &RecordWinHelp, nullptr) &&
        Patch<DrawIconFn>("user32.dll", "DrawIcon", &RecordDrawIcon, &g_drawIcon) &&
        Patch<MessageBoxFn>("user32.dll", "MessageBoxW", &RecordMessageBox, &g_messageBox) &&
        Patch<LoadIconFn>("user32.dll", "LoadIconW", &FaultyLoadIcon, &g_loadIcon) &&
        Patch<FindResourceFn>("kernel32.dll", "FindResourceW", &FaultyFindResource, &g_findResource) &&
        Patch<GetSystemMenuFn>("user32.dll", "GetSystemMenu", &FaultyGetSystemMenu, &g_getSystemMenu) &&
        Patch<ModuleFileNameFn>("kernel32.dll", "GetModuleFileNameW", &FaultyModuleFileName,
                                &g_moduleFileName) &&
        Patch<EndDialogFn>("user32.dll", "EndDialog", &RecordEndDialog, &g_endDialog) &&
        Patch<WindowFn>("user32.dll", "SetFocus", &CountSetFocus, &g_setFocus) &&
        Patch<WindowFn>("user32.dll", "SetCapture", &CountSetCapture, &g_setCapture) &&
        Patch<ReleaseCaptureFn>("user32.dll", "ReleaseCapture", &CountReleaseCapture, &g_releaseCapture);
    return installed;
}

Outcome RunDialog(const std::vector<Step>& steps)
{
    return Play(steps, [] {
        COrviaDlg dialog;
        AfxGetApp()->m_pMainWnd = &dialog;
        const INT_PTR result = dialog.DoModal();
        AfxGetApp()->m_pMainWnd = nullptr;
        return result;
    });
}

BOOL RunInitInstance(const std::vector<Step>& steps, Outcome* outcome)
{
    BOOL result = TRUE;
    bool mainWindowLeft = false;
    *outcome = Play(steps, [&] {
        result = AfxGetApp()->InitInstance();
        mainWindowLeft = AfxGetApp()->m_pMainWnd != nullptr;
        AfxGetApp()->m_pMainWnd = nullptr;
        return INT_PTR{0};
    });
    outcome->mainWindowLeft = mainWindowLeft;
    return result;
}

int FocusCallsDuring(const std::function<void()>& action)
{
    const int before = Recorded().focusCalls;
    action();
    return Recorded().focusCalls - before;
}

Step Idle(int ticks)
{
    auto left = std::make_shared<int>(ticks);
    return [left](HWND) { return (*left)-- <= 0; };
}

Step Do(std::function<void(HWND dialog)> action)
{
    return [action = std::move(action)](HWND dialog) {
        action(dialog);
        return true;
    };
}

Step EndWithCancel()
{
    return Do([](HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CANCEL_BUTTON, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_CANCEL_BUTTON)));
    });
}

void MovePointer(POINT screen)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
    input.mi.dx = (screen.x * 65536 + width - 1) / width;
    input.mi.dy = (screen.y * 65536 + height - 1) / height;
    SendInput(1, &input, sizeof(INPUT));
}

void PressKey(WORD key, std::initializer_list<WORD> modifiers, DWORD keyFlags)
{
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers) {
        inputs.push_back(KeyInput(modifier, 0));
    }
    inputs.push_back(KeyInput(key, keyFlags));
    inputs.push_back(KeyInput(key, keyFlags | KEYEVENTF_KEYUP));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) {
        inputs.push_back(KeyInput(*it, KEYEVENTF_KEYUP));
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void ClickAt(POINT screen)
{
    MovePointer(screen);
    INPUT inputs[] = {MouseInput(MOUSEEVENTF_LEFTDOWN), MouseInput(MOUSEEVENTF_LEFTUP)};
    SendInput(2, inputs, sizeof(INPUT));
}

void SendMouseButton(DWORD flags)
{
    INPUT input = MouseInput(flags);
    SendInput(1, &input, sizeof(INPUT));
}

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

POINT CenterOf(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

POINT ClientPoint(HWND window, int x, int y)
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

POINT LowerLeftCorner(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return ClientPoint(window, 4, client.bottom - 4);
}

void Repaint(HWND window)
{
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

std::wstring ComboItem(HWND combo, int index)
{
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::wstring ModuleFolder()
{
    std::wstring text(32768, L'\0');
    text.resize(GetModuleFileNameW(nullptr, text.data(), static_cast<DWORD>(text.size())));
    return text.substr(0, text.rfind(L'\\') + 1);
}

std::wstring ModuleFolderName()
{
    const std::wstring folder = ModuleFolder();
    const std::wstring withoutSeparator = folder.substr(0, folder.size() - 1);
    return withoutSeparator.substr(withoutSeparator.rfind(L'\\') + 1);
}

namespace {

struct OwnedDialogSearch {
    HWND owner;
    HWND found;
};

// A named callback: the platform calls it with its own calling convention, which on 32-bit x86
// (stdcall) a lambda's function pointer does not have.
BOOL CALLBACK FindOwnedDialogProc(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<OwnedDialogSearch*>(param);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window) &&
        std::wcscmp(name, L"#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindOwnedDialog(HWND owner)
{
    OwnedDialogSearch search{owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindOwnedDialogProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace dialogtest
