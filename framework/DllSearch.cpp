#include "framework/DllSearch.h"

namespace {

// The flags exist from Windows 8 on; the headers offer them only to programs built for it.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSearchUserDirs = 0x00000400;  // LOAD_LIBRARY_SEARCH_USER_DIRS

}  // namespace

// System libraries that Windows' own libraries load by bare name while the program starts, shows
// its dialog and hands the package to the shell, on the systems without SetDefaultDllDirectories,
// and that are not known DLLs on all of them (docs/platform.md gives each name's source). Each is
// loaded by full path with the altered search path, so the libraries it imports come from the
// system folder as well; the ones that load nothing of the list come first, in case a library's
// initialisation loads another one by name. One missing on a system simply fails to load.
const wchar_t* const AfxPreloadedSystemDlls[] = {
    L"version.dll",    // file versions, asked by the shell (a known DLL on XP only)
    L"cryptbase.dll",  // advapi32's random numbers (the restart GUID) are forwarded to it (7)
    L"msimg32.dll",    // alpha blending of the theme engine
    L"dwmapi.dll",     // desktop composition, imported by the theme engine (Vista, 7)
    L"uxtheme.dll",    // visual styles of common controls 6
    L"oleacc.dll",     // accessibility: what the controls answer screen readers with
    L"userenv.dll",    // the user's environment for the new process (imports profapi on 7)
    L"apphelp.dll",    // application compatibility checks when the installer is started
    L"propsys.dll",    // the shell's property system, used by its launch (Vista, 7)
    L"setupapi.dll",   // device information, about the displays (a known DLL on 7, not on XP)
    L"clbcatq.dll",    // COM's class catalogue, read when the launch starts handlers (known on 7, not XP)
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

#if defined(ORVIA_STARTUP_PROFILE)
bool AfxStartupRestrictDllSearch()
{
    char mode[16];
    const DWORD length = GetEnvironmentVariableA("ORVIA_STARTUP_DLL_SEARCH", mode, sizeof mode);
    if (length > 0 && length < sizeof mode) {
        if (lstrcmpA(mode, "fallback") == 0) return AfxRestrictDllSearch(nullptr);
        if (lstrcmpA(mode, "none") == 0) return false;
    }
    return AfxRestrictDllSearch();
}
#endif
