// The yardsticks for Setup.exe's size and start-up time: a bare Win32 program that shows the
// language-selection dialog's template (102) with DialogBoxParamW and nothing else. It is built
// with Setup.exe's compile and link flags and its resource script, so the difference between
// the two is what the framework, the dialog code and the language table cost.
//
// Built with ORVIA_BARE_SHELL it is the floor for a launcher: it also imports the shell and,
// once its dialog has ended, calls ShellExecuteW once. The call can open nothing: it names a
// file that does not exist, in the program's own folder, with an extension no program is
// registered for, and the shell fails it with "file not found". (The bench ends the program while
// its dialog is still up, so the call is only imported, never made, there.)
#include <windows.h>
#if defined(ORVIA_BARE_SHELL)
#include <shellapi.h>
#endif

#include "../framework/StartupProfile.h"  // relative: the hardening tests build this file too

namespace {

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        AFX_STARTUP_STAMP(DialogCreated);
        AFX_STARTUP_STAMP(Initialised);
        return TRUE;
    }
    if (message == WM_PAINT) {
        AFX_STARTUP_STAMP(FirstPaint);
        return FALSE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    AFX_STARTUP_STAMP(EntryPoint);
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(102), nullptr, BareDialogProc, 0);
#if defined(ORVIA_BARE_SHELL)
    wchar_t path[MAX_PATH + 32];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') --length;
    lstrcpyW(path + length, L"no such file.orvia-bench-none");
    ShellExecuteW(nullptr, nullptr, path, nullptr, nullptr, SW_SHOW);
#endif
    return static_cast<int>(result);
}
