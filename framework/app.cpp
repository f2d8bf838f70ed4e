// The application object, the resource module, the entry point and the framework's services.
#include "framework/DllSearch.h"
#include "framework/StartupProfile.h"
#include "framework/afxstate.h"
#include "framework/afxwin.h"

namespace {

// Windows Vista and later; looked up at run time so that the program still starts on XP.
using RegisterApplicationRestartFn = HRESULT(WINAPI*)(PCWSTR, DWORD);
// RtlGenRandom, the system's random generator; advapi32 exports it by this name from XP on.
using RtlGenRandomFn = BOOLEAN(WINAPI*)(PVOID, ULONG);
constexpr DWORD kMuiLanguageId = 0x4;              // MUI_LANGUAGE_ID: hexadecimal LANGIDs
constexpr DWORD kMuiMergeFallbacks = 0x10 | 0x20;  // MUI_MERGE_SYSTEM_FALLBACK | MUI_MERGE_USER_FALLBACK
constexpr int kPreferredLanguagesTried = 20;

// GetModuleFileNameW never writes more than this many code units.
constexpr DWORD kLongestModulePath = 32768;

template <class Fn>
Fn Kernel32Function(const char* name)
{
    FARPROC proc = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

// Where the extension of the file name in `path` starts (its '.'), or `length` when it has none.
int ExtensionStart(const wchar_t* path, int length)
{
    for (int i = length - 1; i >= 0 && path[i] != L'\\' && path[i] != L'/'; --i) {
        if (path[i] == L'.') return i;
    }
    return length;
}

// The LANGID a "MUI_LANGUAGE_ID" entry names in hexadecimal digits.
LANGID HexLanguageId(const wchar_t* digits)
{
    LANGID id = 0;
    for (; *digits; ++digits) {
        const wchar_t c = *digits;
        const int value = c >= L'0' && c <= L'9'   ? c - L'0'
                          : c >= L'A' && c <= L'F' ? c - L'A' + 10
                          : c >= L'a' && c <= L'f' ? c - L'a' + 10
                                                   : 0;
        id = static_cast<LANGID>(id * 16 + value);
    }
    return id;
}

// A new random (version 4, RFC 4122 variant) GUID from the system's random generator. The
// generator lives in advapi32, which the libraries the program imports normally have loaded
// already; COM's CoCreateGuid would load the whole COM library (and what it imports) for it.
GUID NewRandomGuid()
{
    GUID guid{};
    if (HMODULE advapi32 = LoadLibraryW(L"advapi32.dll")) {
        const auto random = reinterpret_cast<RtlGenRandomFn>(
            reinterpret_cast<void*>(GetProcAddress(advapi32, "SystemFunction036")));
        if (random) random(&guid, sizeof guid);
    }
    guid.Data3 = static_cast<WORD>((guid.Data3 & 0x0FFF) | 0x4000);
    guid.Data4[0] = static_cast<BYTE>((guid.Data4[0] & 0x3F) | 0x80);
    return guid;
}

}  // namespace

CString AfxGetModuleFileName(HMODULE module)
{
    CString path;
    for (DWORD size = MAX_PATH + 1;; size = size * 2 < kLongestModulePath ? size * 2 : kLongestModulePath) {
        wchar_t* buffer = path.GetBuffer(static_cast<int>(size));
        if (!buffer) return CString();
        const DWORD copied = GetModuleFileNameW(module, buffer, size);
        // A buffer filled to the end may hold a cut path, on XP without its terminator.
        if (copied < size) {
            path.ReleaseBuffer(static_cast<int>(copied));
            return path;
        }
        if (size >= kLongestModulePath) return CString();
    }
}

int AfxPreferredUILanguages(GetThreadPreferredUILanguagesFn preferred, LANGID* languages, int room)
{
    if (!preferred) return 0;
    CString buffer;
    // Ask for the room the list needs, then read it; the list may grow in between, so ask again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ULONG number = 0;
        ULONG size = 0;
        if (!preferred(kMuiLanguageId | kMuiMergeFallbacks, &number, nullptr, &size) || size == 0) return 0;
        wchar_t* list = buffer.GetBuffer(static_cast<int>(size));
        if (!list) return 0;
        if (preferred(kMuiLanguageId | kMuiMergeFallbacks, &number, list, &size)) {
            int count = 0;
            for (const wchar_t* p = list; p < list + size && *p && count < room; p += lstrlenW(p) + 1) {
                languages[count++] = HexLanguageId(p);
            }
            return count;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return 0;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Handles.

CWinApp* AfxGetApp() { return AfxState().app; }

HINSTANCE AfxGetInstanceHandle()
{
    AfxThreadState& state = AfxState();
    return state.instance ? state.instance : GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    AfxThreadState& state = AfxState();
    return state.resource ? state.resource : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE instance) { AfxState().resource = instance; }

HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type)
{
    HINSTANCE resource = AfxGetResourceHandle();
    if (FindResourceW(resource, name, type)) return resource;
    return AfxGetInstanceHandle();
}

HINSTANCE AfxFindStringResourceHandle(UINT id)
{
    const LPCWSTR block = MAKEINTRESOURCEW(id / 16 + 1);
    HINSTANCE resource = AfxGetResourceHandle();
    if (FindResourceW(resource, block, RT_STRING)) return resource;
    HINSTANCE instance = AfxGetInstanceHandle();
    if (instance != resource && FindResourceW(instance, block, RT_STRING)) return instance;
    return nullptr;
}

const MSG* AfxGetCurrentMessage() { return &AfxState().lastMsg; }

void AfxEnableControlContainer() { AfxState().controlContainer = true; }

int AfxMessageBox(UINT id, UINT type)
{
    CString text;
    text.LoadString(id);
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    return MessageBoxW(owner, text, app ? app->m_strAppName.GetString() : nullptr, type);
}

CShellManager::CShellManager() = default;
CShellManager::~CShellManager() = default;

// ---------------------------------------------------------------------------------------------
// The application object.

CWinApp::CWinApp(LPCWSTR appName) : m_strAppName(appName) { AfxState().app = this; }

CWinApp::~CWinApp()
{
    AfxThreadState& state = AfxState();
    if (state.app == this) state.app = nullptr;
}

void CWinApp::SetCurrentHandles(HINSTANCE instance, LPWSTR cmdLine, int cmdShow)
{
    m_hInstance = instance;
    m_lpCmdLine = cmdLine;
    m_nCmdShow = cmdShow;
    AfxThreadState& state = AfxState();
    state.instance = instance;
    if (!state.resource) state.resource = instance;

    const CString path = AfxGetModuleFileName(instance);
    const int extension = ExtensionStart(path, path.GetLength());
    if (m_strAppName.IsEmpty()) {
        int start = extension;
        while (start > 0 && path[start - 1] != L'\\' && path[start - 1] != L'/') --start;
        m_strAppName = CString(path.GetString() + start, extension - start);
    }
    m_strHelpFilePath = CString(path, extension);
    m_strHelpFilePath += L".HLP";
}

void CWinApp::SetRegistryKey(LPCWSTR registryKey)
{
    m_strRegistryKey = registryKey;
    m_strProfileName = m_strAppName;
}

BOOL CWinApp::InitInstance()
{
    LoadLanguageResourceLibrary();
    AFX_STARTUP_STAMP(LanguageLibrary);
    RegisterWithRestartManager();
    AFX_STARTUP_STAMP(RestartRegistration);
    return TRUE;
}

int CWinApp::ExitInstance()
{
    if (m_hLangResourceDLL) {
        if (AfxState().resource == m_hLangResourceDLL) AfxSetResourceHandle(m_hInstance);
        FreeLibrary(m_hLangResourceDLL);
        m_hLangResourceDLL = nullptr;
    }
    return static_cast<int>(AfxGetCurrentMessage()->wParam);
}

// Looks beside the executable for <path without extension><language abbreviation>.dll, for the
// thread's preferred UI languages, the user's and the system's default UI language (each in
// full, then by its primary language alone), and last for the abbreviation "LOC". The first
// that loads supplies the resources.
void CWinApp::LoadLanguageResourceLibrary()
{
    const CString path = AfxGetModuleFileName(m_hInstance);
    if (path.IsEmpty()) return;
    const CString base(path, ExtensionStart(path, path.GetLength()));

    LANGID languages[kPreferredLanguagesTried + 4];
    int count = AfxPreferredUILanguages(
        Kernel32Function<GetThreadPreferredUILanguagesFn>("GetThreadPreferredUILanguages"), languages,
        kPreferredLanguagesTried);
    for (LANGID id : {GetUserDefaultUILanguage(), GetSystemDefaultUILanguage()}) {
        languages[count++] = id;
        languages[count++] = MAKELANGID(PRIMARYLANGID(id), SUBLANG_NEUTRAL);
    }

    for (int i = 0; i <= count; ++i) {
        wchar_t abbreviation[8] = L"LOC";  // after the languages
        if (i < count && !GetLocaleInfoW(MAKELCID(languages[i], SORT_DEFAULT), LOCALE_SABBREVLANGNAME,
                                         abbreviation, ARRAYSIZE(abbreviation))) {
            continue;
        }
        const CString name = base + abbreviation + L".dll";
        if (HINSTANCE library = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
            m_hLangResourceDLL = library;
            AfxSetResourceHandle(library);
            return;
        }
    }
}

// Registers the process for restart by the Restart Manager: the program's arguments, then
// " /RestartByRestartManager:" and a new GUID.
void CWinApp::RegisterWithRestartManager()
{
    if (!(m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART)) return;
    auto registerRestart = Kernel32Function<RegisterApplicationRestartFn>("RegisterApplicationRestart");
    if (!registerRestart || !Kernel32Function<FARPROC>("RegisterApplicationRecoveryCallback")) return;

    const GUID guid = NewRandomGuid();
    wchar_t text[40];
    wsprintfW(text, L"%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X", guid.Data1, guid.Data2, guid.Data3,
              guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
              guid.Data4[6], guid.Data4[7]);
    m_strRestartCommandLine = m_lpCmdLine;
    m_strRestartCommandLine += L" /RestartByRestartManager:";
    m_strRestartCommandLine += text;
    registerRestart(m_strRestartCommandLine, 0);
}

void CWinApp::OnHelp()
{
    const DWORD helpId = m_pMainWnd ? m_pMainWnd->GetHelpId() : 0;
    WinHelp(HID_BASE_RESOURCE + helpId, HELP_CONTEXT);
}

void CWinApp::WinHelp(DWORD_PTR data, UINT command)
{
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    if (!::WinHelpW(owner, m_strHelpFilePath, command, data)) AfxMessageBox(AFX_IDP_FAILED_TO_LAUNCH_HELP);
}

// ---------------------------------------------------------------------------------------------
// The entry point.

LPWSTR AfxArgumentText(LPWSTR commandLine)
{
    LPWSTR p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p > L' ') ++p;
    }
    while (*p && *p <= L' ') ++p;
    return p;
}

BOOL AfxWinInit(HINSTANCE instance, HINSTANCE, LPWSTR cmdLine, int cmdShow)
{
    CWinApp* app = AfxGetApp();
    if (!app) return FALSE;
    app->SetCurrentHandles(instance, cmdLine, cmdShow);
    return TRUE;
}

int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR cmdLine, int cmdShow)
{
    AFX_STARTUP_STAMP(EntryPoint);
    // Adds to the mode the process inherited, which the launched installer inherits in turn. It
    // comes first: where the DLL search cannot be restricted, the system DLLs loaded next may be
    // present but fail to load, and the loader would report that in a box of its own.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Before anything can load a DLL by bare name; the bench's profile builds can choose the way.
#if defined(ORVIA_STARTUP_PROFILE)
    AfxStartupRestrictDllSearch();
#else
    AfxRestrictDllSearch();
#endif
    AFX_STARTUP_STAMP(DllRestriction);
    CWinApp* app = AfxGetApp();
    if (!app || !AfxWinInit(instance, previous, cmdLine, cmdShow)) return -1;
    AFX_STARTUP_STAMP(ApplicationHandles);
    if (app->InitInstance()) {
        // An application that keeps running after InitInstance: a plain loop until WM_QUIT.
        MSG& msg = AfxState().lastMsg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return app->ExitInstance();
}
