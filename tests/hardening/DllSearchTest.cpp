// AfxRestrictDllSearch against the real loader (under Wine): a DLL beside the program is found
// by bare name before the call and not after it, while loads by full path, loads from the
// system folder and folders added explicitly still work. Where SetDefaultDllDirectories is
// absent, the system DLLs of the list are loaded from the system folder first, so that a copy
// planted beside the program never answers their bare names.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/DllSearch.h"

namespace {

// Copied beside this test program by the build; no other folder has a DLL of that name.
constexpr wchar_t kPlanted[] = L"orviaplanted.dll";
// A system DLL that nothing in this process has loaded yet.
constexpr wchar_t kSystemDll[] = L"dwmapi.dll";

std::wstring ModulePath(HMODULE module)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length);
}

std::wstring ProgramFolder()
{
    const std::wstring path = ModulePath(nullptr);
    return path.substr(0, path.rfind(L'\\') + 1);
}

std::wstring SystemFolder()
{
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path, length) + L"\\";
}

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

template <class Fn>
Fn Kernel32Function(const char* name)
{
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// Loads, notes where from, and unloads again so that the next load searches afresh.
struct Load {
    bool loaded = false;
    std::wstring path;
};

Load LoadAndRelease(const std::wstring& name, DWORD flags)
{
    Load result;
    if (HMODULE module = LoadLibraryExW(name.c_str(), nullptr, flags)) {
        result.loaded = true;
        // A data-file load hands back a tagged handle that has no module path.
        result.path = (flags & LOAD_LIBRARY_AS_DATAFILE) ? name : ModulePath(module);
        FreeLibrary(module);
    }
    return result;
}

TEST(DllSearch, OnlyTheSystemFolderAndAddedFoldersAnswerBareNames)
{
    const std::wstring planted = ProgramFolder() + kPlanted;
    ASSERT_NE(GetFileAttributesW(planted.c_str()), INVALID_FILE_ATTRIBUTES) << "the build copies it there";
    ASSERT_EQ(GetModuleHandleW(kSystemDll), nullptr);

    // Before: the program's folder comes first, as everywhere.
    const Load before = LoadAndRelease(kPlanted, 0);
    ASSERT_TRUE(before.loaded);
    EXPECT_TRUE(EqualsIgnoringCase(before.path, planted));

    ASSERT_TRUE(AfxRestrictDllSearch()) << "Wine's kernel32 has SetDefaultDllDirectories";

    struct Case {
        const char* what;
        std::wstring name;
        DWORD flags;
        bool loads;
        std::wstring from;  // expected module path, when it loads
    };
    const Case cases[] = {
        {"bare name beside the program", kPlanted, 0, false, L""},
        {"bare name, altered search path", kPlanted, LOAD_WITH_ALTERED_SEARCH_PATH, false, L""},
        {"full path beside the program", planted, 0, true, planted},
        {"full path as a data file (the language library's way)", planted, LOAD_LIBRARY_AS_DATAFILE, true,
         planted},
        {"bare name of a system DLL", kSystemDll, 0, true, SystemFolder() + kSystemDll},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Load load = LoadAndRelease(c.name, c.flags);
        EXPECT_EQ(load.loaded, c.loads);
        if (c.loads && load.loaded) {
            EXPECT_TRUE(EqualsIgnoringCase(load.path, c.from)) << "loaded from the wrong place";
        }
    }

    // A folder the program adds itself is searched again.
    using AddDllDirectoryFn = void*(WINAPI*)(PCWSTR);
    using RemoveDllDirectoryFn = BOOL(WINAPI*)(void*);
    const auto add = Kernel32Function<AddDllDirectoryFn>("AddDllDirectory");
    const auto remove = Kernel32Function<RemoveDllDirectoryFn>("RemoveDllDirectory");
    ASSERT_TRUE(add && remove);
    void* cookie = add(ProgramFolder().c_str());
    ASSERT_NE(cookie, nullptr);
    const Load added = LoadAndRelease(kPlanted, 0);
    EXPECT_TRUE(added.loaded);
    EXPECT_TRUE(EqualsIgnoringCase(added.path, planted));
    remove(cookie);
    EXPECT_FALSE(LoadAndRelease(kPlanted, 0).loaded);
}

// CTest runs this twice, with Wine told to prefer DLLs beside the program to its own for every
// name of AfxPreloadedSystemDlls. The test plants a marker DLL beside itself under each name that
// the system folder has and nothing has loaded yet, then loads each by bare name: ORVIA_PRELOAD=0
// as the program would without any protection (the control: the planted copies answer),
// ORVIA_PRELOAD=1 after the start-up routine has run as if kernel32 lacked SetDefaultDllDirectories
// (the system's copies answer). A name the system lacks cannot be loaded from it first, and no
// system DLL asks for it there either; one already loaded answers from memory whatever is planted.
TEST(DllPreload, PlantedSystemDllsAreNotLoadedWhereTheSearchCannotBeRestricted)
{
    const char* mode = std::getenv("ORVIA_PRELOAD");
    if (mode == nullptr) {
        GTEST_SKIP() << "run by CTest with ORVIA_PRELOAD and Wine's overrides";
    }
    const bool preload = mode[0] == '1';
    const std::wstring marker = ProgramFolder() + kPlanted;
    std::vector<std::wstring> planted;
    for (const wchar_t* const* name = AfxPreloadedSystemDlls; *name; ++name) {
        if (GetFileAttributesW((SystemFolder() + *name).c_str()) == INVALID_FILE_ATTRIBUTES ||
            GetModuleHandleW(*name) != nullptr) {
            std::printf("not planted (absent from the system folder, or loaded already): %ls\n", *name);
            continue;
        }
        ASSERT_TRUE(CopyFileW(marker.c_str(), (ProgramFolder() + *name).c_str(), FALSE)) << "planting";
        planted.push_back(*name);
    }
    ASSERT_GE(planted.size(), 5u) << "Wine has most of the list";

    if (preload) {
        EXPECT_FALSE(AfxRestrictDllSearch(nullptr));
    }
    for (const std::wstring& name : planted) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        const std::wstring copy = ProgramFolder() + name;
        const std::wstring ran = copy + L".loaded";
        const HMODULE loaded = LoadLibraryW(name.c_str());
        ASSERT_NE(loaded, nullptr);
        const std::wstring from = ModulePath(loaded);
        if (preload) {
            EXPECT_TRUE(EqualsIgnoringCase(from, SystemFolder() + name)) << "loaded from the wrong place";
            EXPECT_EQ(GetFileAttributesW(ran.c_str()), INVALID_FILE_ATTRIBUTES) << "the planted copy ran";
        } else {
            EXPECT_TRUE(EqualsIgnoringCase(from, copy)) << "the control must load the planted copy";
            EXPECT_NE(GetFileAttributesW(ran.c_str()), INVALID_FILE_ATTRIBUTES);
        }
        FreeLibrary(loaded);
        DeleteFileW(ran.c_str());
        DeleteFileW(copy.c_str());
    }
}

}  // namespace
