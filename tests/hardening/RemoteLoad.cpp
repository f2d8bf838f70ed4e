// remote-load NAME: in the process that shows the setup dialog (a visible top-level dialog with
// the language list, control 1000), after its start-up, loads the DLL NAME by bare name, as any
// library in it might, on a thread of that process; prints "loaded" or "not loaded". Exit code 0
// when it could ask, 1 when not (no dialog, no access). The system's libraries lie at the same
// address in every process of one architecture: LoadLibraryW's address here is its address there.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK FindSetupDialog(HWND hwnd, LPARAM found)
{
    wchar_t name[8];
    if (IsWindowVisible(hwnd) && GetClassNameW(hwnd, name, ARRAYSIZE(name)) == 6 &&
        lstrcmpW(name, L"#32770") == 0 && GetDlgItem(hwnd, 1000)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "remote-load: %s (error %lu)\n", what, GetLastError());
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) return Fail("usage: remote-load NAME");
    HWND dialog = nullptr;
    EnumWindows(FindSetupDialog, reinterpret_cast<LPARAM>(&dialog));
    DWORD pid = 0;
    if (!dialog || !GetWindowThreadProcessId(dialog, &pid)) return Fail("no setup dialog");
    const HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!process) return Fail("cannot open the dialog's process");

    const SIZE_T size = (lstrlenW(argv[1]) + 1) * sizeof(wchar_t);
    void* name = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    HANDLE thread = nullptr;
    if (name && WriteProcessMemory(process, name, argv[1], size, nullptr)) {
        const auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(&LoadLibraryW));
        thread = CreateRemoteThread(process, nullptr, 0, start, name, 0, nullptr);
    }
    DWORD module = 0;  // the low 32 bits of the handle (the marker file the DLL leaves says for sure)
    if (!thread || WaitForSingleObject(thread, 30000) != WAIT_OBJECT_0 ||
        !GetExitCodeThread(thread, &module)) {
        return Fail("the load did not run");
    }
    std::printf("%s\n", module ? "loaded" : "not loaded");
    return 0;
}
