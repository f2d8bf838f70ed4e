// Runs the language-selection dialog inside the test process and drives it from within its own
// modal loop: a thread timer runs one step per tick, and ticks only come when the queue holds
// no input, paint or posted message, so every step sees the effects of the one before.
// Shell launches, help requests, icon drawing, message boxes, dialog endings and the calls that
// move the focus or the capture are recorded by patching the test program's own imports.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dialogtest {

struct ShellCall {
    HWND owner;
    std::optional<std::wstring> verb, file, parameters, directory;  // nullopt: null pointer
    INT show;
};
struct HelpCall {
    std::wstring file;
    UINT command;
    ULONG_PTR data;
};
struct IconDrawing {
    int x, y;
    HICON icon;
};
struct MessageBoxCall {
    HWND owner;
    std::wstring text, caption;
    UINT type;
};

// What the shell's own window (Faults::shellWindow) saw while it was up.
struct ShellWindowSeen {
    HWND window = nullptr;
    bool focusKept = false;        // it still had the focus after the dialog repainted
    int focusCallsInRepaint = -1;  // SetFocus, SetCapture and ReleaseCapture calls of that paint
};

// Everything the patched imports saw since the last Reset.
struct Recorder {
    std::vector<ShellCall> launches;
    std::vector<HelpCall> help;
    std::vector<IconDrawing> icons;
    std::vector<MessageBoxCall> messageBoxes;  // shown as well
    std::vector<HWND> endedDialogs;            // EndDialog's window, once per call
    int focusCalls = 0;                        // SetFocus, SetCapture and ReleaseCapture, by anyone
    ShellWindowSeen shellWindow;
    void Reset() { *this = Recorder{}; }
};
Recorder& Recorded();

// Resources and platform answers the program is made to miss, through the same patched imports.
struct Faults {
    UINT missingTemplate = 0;   // dialog template id FindResourceW does not find
    bool noDialogIcon = false;  // LoadIconW gives null for the dialog's icon
    bool noAboutText = false;   // the string block of the About entry's text is not found
    bool noSystemMenu = false;  // GetSystemMenu gives null
    INT_PTR shellResult = 42;   // what ShellExecuteW answers (32 or less: a failure)
    std::optional<DWORD> shellError = std::nullopt;  // the last error it leaves; nullopt: it sets none
    // The last error GetModuleFileNameW leaves when the path fits, as if an earlier call had left
    // it: Wine clears it, and Windows documents nothing of it on success. 0: what the system does.
    DWORD staleError = 0;
    // Like the shell's security warning: before it returns, ShellExecuteW shows a modal window
    // owned by the owner it was given (beside the dialog, not over it), and while that window is
    // up it clicks install, presses Enter, clicks cancel and presses Escape on the dialog, then
    // repaints the dialog, recording what it saw in Recorded().shellWindow.
    bool shellWindow = false;
};
Faults& Injected();

// Patches the imports; true when all were found.
bool InstallRecorders();

// A step returns true when it is done, false to be called again on the next tick.
using Step = std::function<bool(HWND dialog)>;

struct Outcome {
    INT_PTR result = 0;
    bool stepsDone = false;       // every step completed before the dialog ended
    bool mainWindowLeft = false;  // the application still named a main window afterwards
    std::vector<ShellCall> launches;
};

// Constructs the dialog with no parent, makes it the application's main window and runs it with
// DoModal while the steps play. A dialog still open some seconds after its last step is
// cancelled, and stepsDone tells.
Outcome RunDialog(const std::vector<Step>& steps);
// The application object's InitInstance with the same stepping; its result. The main-window
// pointer is cleared afterwards, whatever InitInstance left there.
BOOL RunInitInstance(const std::vector<Step>& steps, Outcome* outcome);
// A step that lets `ticks` ticks pass.
Step Idle(int ticks);
// A step that runs `action` once.
Step Do(std::function<void(HWND dialog)> action);

// Ends the dialog through its cancel button's notification.
Step EndWithCancel();

// Input through the system's input queue, as a user would produce it.
void MovePointer(POINT screen);
void PressKey(WORD key, std::initializer_list<WORD> modifiers = {}, DWORD keyFlags = 0);
void ClickAt(POINT screen);
void SendMouseButton(DWORD flags);  // MOUSEEVENTF_LEFTDOWN or MOUSEEVENTF_LEFTUP where the pointer is

// The focus and capture calls `action` made.
int FocusCallsDuring(const std::function<void()>& action);

// Window helpers.
std::wstring WindowText(HWND window);
POINT CenterOf(HWND window);                   // screen coordinates
POINT ClientPoint(HWND window, int x, int y);  // client to screen
POINT LowerLeftCorner(HWND window);            // inside its client area, 4 pixels from the edges
void Repaint(HWND window);                     // InvalidateRect + UpdateWindow
std::wstring ComboItem(HWND combo, int index);
std::wstring ModuleFolderName();   // folder of the test executable
std::wstring ModuleFolder();       // with its final backslash
HWND FindOwnedDialog(HWND owner);  // a visible dialog owned by `owner`, or null
inline std::wstring Wide(std::u16string_view text)
{
    return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

}  // namespace dialogtest
