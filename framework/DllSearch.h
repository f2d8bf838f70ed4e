// Where the process looks for DLLs that are loaded by bare name.
#ifndef ORVIA_FRAMEWORK_DLLSEARCH_H
#define ORVIA_FRAMEWORK_DLLSEARCH_H

#include <windows.h>

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// A setup program is started from download folders, where a planted uxtheme.dll or version.dll
// would otherwise run inside it: the program's own folder comes first in the search for a DLL
// loaded by bare name, by the program or by any system library on its behalf.
//
// Where kernel32 has SetDefaultDllDirectories (Windows 8 and later; Vista and 7 with the loader
// update), from the call on such a DLL is looked for only in the system folder (and in folders
// added with AddDllDirectory), never in the program's folder or the current directory; returns
// true. Elsewhere (XP, Vista and 7 without the update) the search order cannot be changed
// without SetDllDirectory, whose setting child processes such as the installer would inherit;
// instead each DLL of AfxPreloadedSystemDlls (DllSearch.cpp) is loaded by its full path in the
// system folder and kept, so that a later load by bare name finds it already loaded and searches
// no folder; returns false. Loads by full path are not affected either way.
bool AfxRestrictDllSearch();
// The same with what the first looked up in kernel32 (null: the function is absent).
bool AfxRestrictDllSearch(SetDefaultDllDirectoriesFn setDefaultDllDirectories);

#if defined(ORVIA_STARTUP_PROFILE)
// The bench's profile builds only: as AfxRestrictDllSearch(), unless the environment variable
// ORVIA_STARTUP_DLL_SEARCH asks for "fallback" (what happens where kernel32 lacks
// SetDefaultDllDirectories) or "none" (nothing), so that each way can be timed on one system.
bool AfxStartupRestrictDllSearch();
#endif

#endif
