// Where the process looks for DLLs that are loaded by bare name.
#ifndef ORVIA_FRAMEWORK_DLLSEARCH_H
#define ORVIA_FRAMEWORK_DLLSEARCH_H

// From the call on, a DLL loaded by bare name, by the program or by any system library on its
// behalf, is looked for only in the system folder (and in folders added with AddDllDirectory),
// never in the program's own folder or the current directory: a setup program is started from
// download folders, where a planted uxtheme.dll or version.dll would otherwise run inside it.
// Loads by full path are not affected. Works where kernel32 has SetDefaultDllDirectories
// (Windows 8 and later; Vista and 7 with the loader update) and does nothing elsewhere; it does
// not touch SetDllDirectory, whose setting child processes such as the installer inherit.
// Returns whether the search was restricted.
bool AfxRestrictDllSearch();

#endif
