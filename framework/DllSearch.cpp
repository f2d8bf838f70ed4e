#include "framework/DllSearch.h"

namespace {

// The flags exist from Windows 8 on; the headers offer them only to programs built for it.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSearchUserDirs = 0x00000400;  // LOAD_LIBRARY_SEARCH_USER_DIRS

}  // namespace

// System libraries that are not among the system's known DLLs, that the common controls, the
// theme engine and the system's own libraries load by bare name on the systems without
// SetDefaultDllDirectories, and that public advisories on installers name as planted beside them
// (docs/platform.md gives the sources). One missing on a system simply fails to load.
const wchar_t* const AfxPreloadedSystemDlls[] = {
    L"uxtheme.dll",    // visual styles of common controls 6
    L"version.dll",    // file version queries
    L"dwmapi.dll",     // desktop composition (Vista and 7)
    L"cryptbase.dll",  // base cryptography of advapi32 (Windows 7)
    nullptr,
};

bool AfxRestrictDllSearch()
{
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return AfxRestrictDllSearch(kernel32
                                    ? reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                                          GetProcAddress(kernel32, "SetDefaultDllDirectories")))
                                    : nullptr);
}

bool AfxRestrictDllSearch(SetDefaultDllDirectoriesFn setDefaultDllDirectories)
{
    if (setDefaultDllDirectories) {
        return setDefaultDllDirectories(kSearchSystem32 | kSearchUserDirs) != FALSE;
    }
    // GetSystemDirectoryW names the folder of the process's own architecture: in a 32-bit
    // process on 64-bit Windows, "system32" is redirected to the 32-bit system folder.
    wchar_t path[MAX_PATH + 16];
    const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    if (folder == 0 || folder >= MAX_PATH) {
        return false;
    }
    path[folder] = L'\\';
    for (const wchar_t* const* name = AfxPreloadedSystemDlls; *name; ++name) {
        if (folder + 1 + lstrlenW(*name) < ARRAYSIZE(path)) {
            lstrcpyW(path + folder + 1, *name);
            // The altered search path looks for the library's own imports in its folder first.
            LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        }
    }
    return false;
}
