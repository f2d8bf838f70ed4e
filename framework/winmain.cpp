// The program's entry point (linked with -municode -mwindows). Kept in its own object so that
// test executables with a main() of their own do not pull it in.
#include "framework/afxwin.h"

// The arguments are taken from the process command line by the platform's rule rather than
// from the C runtime's, which reads a program name such as "a b"c as running on to the blank.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR, int cmdShow)
{
    return AfxWinMain(instance, previous, AfxArgumentText(GetCommandLineW()), cmdShow);
}
