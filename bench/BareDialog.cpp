// The yardstick for Setup.exe's size and start-up time: a bare Win32 program that shows the
// language-selection dialog's template (102) with DialogBoxParamW and nothing else. It is built
// with Setup.exe's compile and link flags and its resource script, so the difference between
// the two is what the framework, the dialog code and the language table cost.
#include <windows.h>

namespace {

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        return TRUE;
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
    return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(102), nullptr, BareDialogProc, 0));
}
