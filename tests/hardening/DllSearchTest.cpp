// The program's start-up against the real loader (under Wine), through the framework's entry
// point: once it has run, a DLL beside the program no longer answers its bare name, while loads
// by full path, loads from the system folder and folders added explicitly still work. Where
// SetDefaultDllDirectories is absent, the start-up loads the system DLLs of its list from the
// system folder first, so that a copy planted beside the program never answers their bare names,
// nor the libraries they import.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ImportPatch.h"
#include "framework/afxwin.h"

namespace {

// Copied beside this test program by the build; no other folder has a DLL of that name.
constexpr wchar_t kPlanted[] = L"orviaplanted.dll";
// A system DLL that nothing in this process has loaded yet.
constexpr wchar_t kSystemDll[] = L"dwmapi.dll";

// What the start-up loads from the system folder first where kernel32 lacks
// SetDefaultDllDirectories, in this order (those that load none of the others first), with where
// each name comes from: L, the public-domain installer code of the LZMA SDK; W, Wine's own DLLs
// and its trace of a launch; M, Microsoft's documentation; K, the known-DLL lists of XP and 7.
// CMake reads the names from here to tell Wine to prefer the copies planted beside the program.
const wchar_t* const kLoadedFirst[] = {
    L"version.dll",    // L, W (user32 imports it, shell32 delay-loads it), K (known on XP only)
    L"cryptbase.dll",  // L (advapi32's RtlGenRandom on 7)
    L"msimg32.dll",    // W (the theme engine delay-loads it)
    L"dwmapi.dll",     // L (desktop composition, Vista and 7)
    L"uxtheme.dll",    // L, W (comctl32 delay-loads it), M ("Enabling Visual Styles")
    L"oleacc.dll",     // L, M ("WM_GETOBJECT")
    L"userenv.dll",    // L (the user's environment for the new process)
    L"apphelp.dll",    // L (compatibility checks of the new process)
    L"propsys.dll",    // L, M ("Windows Property System")
    L"setupapi.dll",   // L, W (user32 and gdi32 delay-load it), K (known on 7, not XP)
    L"clbcatq.dll",    // L, M ("ShellExecuteEx": COM handlers), K (known on 7, not XP)
};
// Imported by Wine's oleacc.dll and setupapi.dll and loaded by nothing else here: only the altered
// search path keeps the start-up from taking a copy of it planted beside the program.
constexpr wchar_t kImported[] = L"rpcrt4.dll";

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

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

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

// Runs the framework's entry point with an application whose InitInstance runs `atStart` and
// ends there; returns whether it got that far.
bool RunStartUp(std::function<void()> atStart)
{
    struct StartUpApp : CWinApp {
        std::function<void()> atStart;
        BOOL InitInstance() override
        {
            std::exchange(atStart, nullptr)();
            return FALSE;
        }
    } app;
    app.atStart = std::move(atStart);
    static wchar_t arguments[] = L"";
    AfxWinMain(GetModuleHandleW(nullptr), nullptr, arguments, SW_SHOWNORMAL);
    return !app.atStart;
}

TEST(DllSearch, AfterStartUpOnlyTheSystemFolderAndAddedFoldersAnswerBareNames)
{
    const std::wstring planted = ProgramFolder() + kPlanted;
    ASSERT_TRUE(Exists(planted)) << "the build copies it there";
    ASSERT_EQ(GetModuleHandleW(kSystemDll), nullptr);

    // Before: the program's folder comes first, as everywhere.
    const Load before = LoadAndRelease(kPlanted, 0);
    ASSERT_TRUE(before.loaded);
    EXPECT_TRUE(EqualsIgnoringCase(before.path, planted));

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
    ASSERT_TRUE(RunStartUp([&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            const Load load = LoadAndRelease(c.name, c.flags);
            EXPECT_EQ(load.loaded, c.loads);
            if (c.loads && load.loaded) {
                EXPECT_TRUE(EqualsIgnoringCase(load.path, c.from)) << "loaded from the wrong place";
            }
        }
    }));

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

// The start-up as on a system whose kernel32 lacks SetDefaultDllDirectories: the program's lookup
// of it finds nothing, and every library it loads is noted with the error mode at that moment.
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
using LoadLibraryExWFn = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);
GetProcAddressFn g_getProcAddress;
LoadLibraryExWFn g_loadLibraryExW;
struct LoadCall {
    std::wstring name;
    UINT errorMode;
};
std::vector<LoadCall> g_loads;

FARPROC WINAPI GetProcAddressWithoutDllDirectories(HMODULE module, LPCSTR name)
{
    if (!IS_INTRESOURCE(name) && lstrcmpA(name, "SetDefaultDllDirectories") == 0) return nullptr;
    return g_getProcAddress(module, name);
}

HMODULE WINAPI NotingLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    const UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    g_loads.push_back({name, mode});
    return g_loadLibraryExW(name, file, flags);
}

// Puts the two above into the test program's import slots (on), or the functions they replaced
// back (off).
bool PatchStartUp(bool on)
{
    if (!on) {
        return testsupport::Patch<GetProcAddressFn>("kernel32.dll", "GetProcAddress", g_getProcAddress,
                                                    nullptr) &&
               testsupport::Patch<LoadLibraryExWFn>("kernel32.dll", "LoadLibraryExW", g_loadLibraryExW,
                                                    nullptr);
    }
    return testsupport::Patch<GetProcAddressFn>("kernel32.dll", "GetProcAddress",
                                                &GetProcAddressWithoutDllDirectories, &g_getProcAddress) &&
           testsupport::Patch<LoadLibraryExWFn>("kernel32.dll", "LoadLibraryExW", &NotingLoadLibraryExW,
                                                &g_loadLibraryExW);
}

// CTest runs this twice, with Wine told to prefer DLLs beside the program to its own for every
// name of kLoadedFirst and for kImported. The test plants a marker DLL beside itself under each
// of those names that the system folder has and nothing has loaded yet. ORVIA_PRELOAD=0, the
// control, shows what happens without the start-up: each bare name loads the planted copy, and a
// library of the list loaded by full path without the altered search path takes the planted copy
// of what it imports. ORVIA_PRELOAD=1 runs the start-up as where SetDefaultDllDirectories is
// absent: it loads the names of the list, in that order, from the system folder, with the loader's
// error boxes already off; then each bare name answers with the system's copy, and no planted copy
// ran. A name the system lacks cannot be loaded from it first, and no system DLL asks for it there
// either; one already loaded answers from memory whatever is planted.
TEST(DllPreload, PlantedSystemDllsAreNotLoadedWhereTheSearchCannotBeRestricted)
{
    const char* mode = std::getenv("ORVIA_PRELOAD");
    if (mode == nullptr) {
        GTEST_SKIP() << "run by CTest with ORVIA_PRELOAD and Wine's overrides";
    }
    const bool preload = mode[0] == '1';
    const std::wstring marker = ProgramFolder() + kPlanted;
    std::vector<std::wstring> planted;
    auto plant = [&](const std::wstring& name) {
        const std::wstring copy = ProgramFolder() + name;
        DeleteFileW((copy + L".loaded").c_str());
        if (!Exists(SystemFolder() + name) || GetModuleHandleW(name.c_str()) != nullptr) {
            std::printf("not planted (absent from the system folder, or loaded already): %ls\n",
                        name.c_str());
            return false;
        }
        EXPECT_TRUE(CopyFileW(marker.c_str(), copy.c_str(), FALSE)) << "planting " << Narrow(name);
        planted.push_back(name);
        return true;
    };
    for (const wchar_t* name : kLoadedFirst) plant(name);
    ASSERT_GE(planted.size(), 5u) << "Wine has most of the list";
    const std::size_t listed = planted.size();
    ASSERT_TRUE(plant(kImported)) << "the import the altered search path is shown with";
    const std::wstring importRan = ProgramFolder() + kImported + L".loaded";

    std::vector<HMODULE> answers;  // what each planted name of the list answers, by bare name
    auto loadByBareName = [&] {
        for (std::size_t i = 0; i < listed; ++i) answers.push_back(LoadLibraryW(planted[i].c_str()));
    };
    if (preload) {
        g_loads.clear();
        const UINT inherited = SetErrorMode(0);
        ASSERT_TRUE(PatchStartUp(true));
        ASSERT_TRUE(RunStartUp([&] {
            PatchStartUp(false);
            loadByBareName();
        }));
        SetErrorMode(inherited);
        std::vector<std::wstring> expected, loaded;
        for (const wchar_t* name : kLoadedFirst) expected.push_back(SystemFolder() + name);
        for (const LoadCall& call : g_loads) {
            loaded.push_back(call.name);
            // Without it the loader may report a listed library that is present but cannot load.
            EXPECT_TRUE(call.errorMode & SEM_FAILCRITICALERRORS)
                << "error boxes on for " << Narrow(call.name);
        }
        EXPECT_EQ(loaded, expected) << "the names loaded first, and their order";
        EXPECT_FALSE(Exists(importRan)) << "the planted copy of an import ran";
    } else {
        const HMODULE importer = LoadLibraryExW((SystemFolder() + L"oleacc.dll").c_str(), nullptr, 0);
        EXPECT_TRUE(Exists(importRan)) << "the control must load the planted copy of the import";
        if (importer) FreeLibrary(importer);
        loadByBareName();
    }
    for (std::size_t i = 0; i < listed; ++i) {
        SCOPED_TRACE(Narrow(planted[i]));
        const std::wstring copy = ProgramFolder() + planted[i];
        const std::wstring from = answers[i] ? ModulePath(answers[i]) : L"(none)";
        const std::wstring expected = preload ? SystemFolder() + planted[i] : copy;
        EXPECT_TRUE(EqualsIgnoringCase(from, expected)) << "loaded " << Narrow(from);
        EXPECT_EQ(Exists(copy + L".loaded"), !preload) << "whether the planted copy ran";
        if (answers[i]) FreeLibrary(answers[i]);
    }
    for (const std::wstring& name : planted) {
        DeleteFileW((ProgramFolder() + name + L".loaded").c_str());
        DeleteFileW((ProgramFolder() + name).c_str());
    }
}

}  // namespace
