// remote-load NAME: in the process that shows the setup dialog (a visible top-level dialog with
// the language list, control 1000), after its start-up, loads the DLL NAME by bare name, as any
// library in it might, on a thread of that process; prints where that name was loaded from, or
// "not loaded". Exit code 0 when it could ask, 1 when not (no dialog, no access).
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>

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

// The base address and path of the module `name` in process `pid`; false when it has none.
bool FindModule(DWORD pid, const wchar_t* name, BYTE** base, wchar_t (&path)[MAX_PATH])
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Module32FirstW(snapshot, &entry); more && !found;
         more = Module32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szModule, name) == 0) {
            *base = entry.modBaseAddr;
            lstrcpynW(path, entry.szExePath, MAX_PATH);
            found = true;
        }
    }
    CloseHandle(snapshot);
    return found;
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

    // LoadLibraryW lies at the same offset in the module that holds it there as here.
    const auto loadLibrary = reinterpret_cast<BYTE*>(&LoadLibraryW);
    HMODULE holder = nullptr;
    wchar_t holderName[MAX_PATH];
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(loadLibrary), &holder) ||
        !GetModuleFileNameW(holder, holderName, MAX_PATH)) {
        return Fail("no module holds LoadLibraryW");
    }
    const wchar_t* holderBase = std::wcsrchr(holderName, L'\\');
    BYTE* remoteHolder = nullptr;
    wchar_t path[MAX_PATH];
    if (!FindModule(pid, holderBase ? holderBase + 1 : holderName, &remoteHolder, path)) {
        return Fail("the dialog's process has no such module");
    }

    const HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!process) return Fail("cannot open the dialog's process");
    const SIZE_T size = (lstrlenW(argv[1]) + 1) * sizeof(wchar_t);
    void* remoteName = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    HANDLE thread = nullptr;
    if (remoteName && WriteProcessMemory(process, remoteName, argv[1], size, nullptr)) {
        const auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(
            reinterpret_cast<void*>(remoteHolder + (loadLibrary - reinterpret_cast<BYTE*>(holder))));
        thread = CreateRemoteThread(process, nullptr, 0, start, remoteName, 0, nullptr);
    }
    if (!thread || WaitForSingleObject(thread, 30000) != WAIT_OBJECT_0) return Fail("the load did not run");
    CloseHandle(thread);
    CloseHandle(process);

    BYTE* base = nullptr;
    std::printf("%ls\n", FindModule(pid, argv[1], &base, path) ? path : L"not loaded");
    return 0;
}
