// The application object: names and paths, registry key, restart registration, message boxes.
#include <algorithm>
#include <cwchar>
#include <regex>
#include <set>

#include "TestSupport.h"

namespace {

class Application : public FrameworkTest {};

std::wstring ModulePath()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

std::wstring ModulePathWithout(const wchar_t* newExtension)
{
    const std::wstring text = ModulePath();
    return text.substr(0, text.rfind(L'.')) + newExtension;
}

// CTest also runs these from a folder whose path is longer than MAX_PATH (ORVIA_LONG_PATH set).
TEST_F(Application, ModulePathIsReadWhole)
{
    const std::wstring path = ModulePath();
    EXPECT_EQ(std::wstring(AfxGetModuleFileName(nullptr)), path);
    EXPECT_EQ(std::wstring(AfxGetModuleFileName(GetModuleHandleW(L"kernel32.dll"))).empty(), false);
    if (GetEnvironmentVariableW(L"ORVIA_LONG_PATH", nullptr, 0)) {
        EXPECT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
    }
}

TEST_F(Application, NamesComeFromTheExecutable)
{
    EXPECT_EQ(App().m_hInstance, GetModuleHandleW(nullptr));
    EXPECT_STREQ(App().m_strAppName, L"framework_tests");
    EXPECT_EQ(std::wstring(App().m_strHelpFilePath), ModulePathWithout(L".HLP"));
    EXPECT_STREQ(App().m_lpCmdLine, L"alpha beta");
}

TEST_F(Application, RegistryKeyIsOnlyRecorded)
{
    App().SetRegistryKey(L"Orvia framework test key");
    EXPECT_STREQ(App().m_strRegistryKey, L"Orvia framework test key");
    EXPECT_STREQ(App().m_strProfileName, L"framework_tests");
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvia framework test key", 0, KEY_READ, &key),
              ERROR_SUCCESS);
}

// The arguments, then " /RestartByRestartManager:" and a new GUID with a lower-case third group:
// a random one (version 4, RFC 4122 variant), different at every registration.
TEST_F(Application, RestartRegistrationCommandLine)
{
    const std::wregex expected(
        L"alpha beta /RestartByRestartManager:"
        L"[0-9A-F]{8}-[0-9A-F]{4}-4[0-9a-f]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::wstring> lines;
    std::set<wchar_t> firstDigits;
    constexpr int kRuns = 16;
    for (int run = 0; run < kRuns; ++run) {
        App().m_strRestartCommandLine.Empty();
        App().m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
        App().CWinApp::InitInstance();
        App().CWinApp::ExitInstance();
        const std::wstring line = App().m_strRestartCommandLine.GetString();
        EXPECT_TRUE(std::regex_match(line, expected)) << std::string(line.begin(), line.end());
        lines.insert(line);
        firstDigits.insert(line.substr(line.rfind(L':') + 1, 1)[0]);
    }
    EXPECT_EQ(lines.size(), static_cast<size_t>(kRuns));  // a new GUID each time
    EXPECT_GT(firstDigits.size(), 1u);                    // random bits, not a counter in the low digits
    App().m_strRestartCommandLine.Empty();
    App().m_dwRestartManagerSupportFlags = 0;
    App().CWinApp::InitInstance();
    App().CWinApp::ExitInstance();
    EXPECT_TRUE(App().m_strRestartCommandLine.IsEmpty());
}

// The preferred UI languages are read with the room the platform asks for, however long the
// list, and the first `room` of them are tried. The stand-in answers as the documentation says
// Windows does: the size for a null buffer with a size of 0, ERROR_INSUFFICIENT_BUFFER for a
// buffer too small.
std::wstring g_languageList;  // "0407\0" ... "\0"

BOOL WINAPI PreferredLanguages(DWORD flags, PULONG number, PWSTR buffer, PULONG size)
{
    EXPECT_EQ(flags, 0x4u | 0x10u | 0x20u);  // hexadecimal ids, with both fallbacks merged
    *number = 0;
    for (std::size_t i = 0; g_languageList[i]; i += std::wcslen(&g_languageList[i]) + 1) ++*number;
    const ULONG needed = static_cast<ULONG>(g_languageList.size());
    if (!buffer && *size == 0) {
        *size = needed;
        return TRUE;
    }
    if (*size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::copy(g_languageList.begin(), g_languageList.end(), buffer);
    *size = needed;
    return TRUE;
}

TEST_F(Application, PreferredUiLanguagesOfAnyNumber)
{
    for (int listed : {1, 3, 20, 64, 65, 100, 400}) {
        SCOPED_TRACE(listed);
        g_languageList.clear();
        for (int i = 0; i < listed; ++i) {
            wchar_t id[8];
            wsprintfW(id, L"%04x", 0x0401 + i);
            g_languageList += id;
            g_languageList += L'\0';
        }
        g_languageList += L'\0';
        LANGID languages[20] = {};
        const int count = AfxPreferredUILanguages(&PreferredLanguages, languages, 20);
        ASSERT_EQ(count, std::min(listed, 20));
        for (int i = 0; i < count; ++i) EXPECT_EQ(languages[i], 0x0401 + i);
    }
    LANGID none[20];
    EXPECT_EQ(AfxPreferredUILanguages(nullptr, none, 20), 0);
}

// The arguments are what follows the program name and the blanks after it, the name ending at
// its closing quote when it starts with one, else at the first blank or control character.
TEST_F(Application, ArgumentTextFollowsTheProgramName)
{
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* arguments;
    };
    const Case cases[] = {
        {L"Setup.exe", L""},
        {L"Setup.exe a b", L"a b"},
        {L"Setup.exe   \t a  b ", L"a  b "},
        {L"\"C:\\Setup Files\\Setup.exe\" /x", L"/x"},
        {L"\"C:\\Setup Files\\Setup.exe\"/x y", L"/x y"},
        {L"\"child.exe\"x y", L"x y"},
        {L"\"no closing quote a b", L""},
        {L"C:\\Set\"up a\".exe b", L"a\".exe b"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring line = c.commandLine;
        LPWSTR arguments = AfxArgumentText(line.data());
        EXPECT_EQ(std::wstring(arguments), c.arguments) << std::string(line.begin(), line.end());
        EXPECT_GE(arguments, line.data());  // a pointer into the command line itself
    }
}

// The message box of a framework string: its text from the framework's table, the
// application's name as title. A hook reads the box and closes it.
std::vector<std::wstring> g_boxTexts;

BOOL CALLBACK CollectText(HWND child, LPARAM)
{
    wchar_t text[256];
    GetWindowTextW(child, text, 256);
    g_boxTexts.push_back(text);
    return TRUE;
}

LRESULT CALLBACK ReadAndCloseBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_boxTexts.empty()) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t title[256];
        GetWindowTextW(box, title, 256);
        g_boxTexts.push_back(title);
        EnumChildWindows(box, &CollectText, 0);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Application, MessageBoxShowsTheFrameworkText)
{
    g_boxTexts.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, &ReadAndCloseBox, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(AfxMessageBox(AFX_IDP_FAILED_TO_LAUNCH_HELP), IDOK);
    UnhookWindowsHookEx(hook);
    ASSERT_FALSE(g_boxTexts.empty());
    EXPECT_EQ(g_boxTexts[0], L"framework_tests");
    EXPECT_NE(std::find(g_boxTexts.begin(), g_boxTexts.end(), L"\u542f\u52a8\u5e2e\u52a9\u5931\u8d25\u3002"),
              g_boxTexts.end());
}

}  // namespace
