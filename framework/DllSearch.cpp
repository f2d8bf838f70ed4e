#include "framework/DllSearch.h"

#include <windows.h>

namespace {

// The flags exist from Windows 8 on; the headers offer them only to programs built for it.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSearchUserDirs = 0x00000400;  // LOAD_LIBRARY_SEARCH_USER_DIRS

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

}  // namespace

bool AfxRestrictDllSearch()
{
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (!kernel32) {
        return false;
    }
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    return setDefaultDllDirectories && setDefaultDllDirectories(kSearchSystem32 | kSearchUserDirs);
}
