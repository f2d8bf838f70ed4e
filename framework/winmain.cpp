// The program's entry point (linked with -municode -mwindows). Kept in its own object so that
// test executables with a main() of their own do not pull it in.
#include "framework/afxwin.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR cmdLine, int cmdShow) {
    return AfxWinMain(instance, previous, cmdLine, cmdShow);
}
