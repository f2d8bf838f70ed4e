// Entry point of the resource-only language library; it is loaded as a data file, so this
// never runs, but the linker wants a DLL to have one.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
