// Stands in for the installer in the test prefix: registered as the .msi handler, it appends one
// line per launch to the file named by ORVIA_LAUNCH_LOG (inherited from the program that asked
// the shell), then ends. Each line is a JSON object, UTF-8, with the full command line the
// process received and its current directory:
//   {"commandLine":"...","currentDirectory":"..."}
// Characters that JSON needs escaped, control characters and unpaired surrogates are written as
// escapes, so every line reads back to exactly the UTF-16 text the process saw.
#include <windows.h>

#include <string>

namespace {

void AppendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

void AppendEscape(std::string& out, unsigned unit)
{
    static const char hex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
}

void AppendJsonString(std::string& out, const std::wstring& text)
{
    out += '"';
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned unit = static_cast<unsigned short>(text[i]);
        if (unit == '"' || unit == '\\') {
            out += '\\';
            out += char(unit);
        } else if (unit < 0x20 || unit == 0x7F) {
            AppendEscape(out, unit);
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
                   static_cast<unsigned short>(text[i + 1]) >= 0xDC00 &&
                   static_cast<unsigned short>(text[i + 1]) <= 0xDFFF) {
            const unsigned low = static_cast<unsigned short>(text[++i]);
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendEscape(out, unit);  // unpaired surrogate
        } else {
            AppendUtf8(out, unit);
        }
    }
    out += '"';
}

std::wstring CurrentDirectory()
{
    std::wstring dir(GetCurrentDirectoryW(0, nullptr), L'\0');
    dir.resize(GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), dir.data()));
    return dir;
}

std::wstring Environment(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring log = Environment(L"ORVIA_LAUNCH_LOG");
    if (log.empty()) return 2;

    std::string line = "{\"commandLine\":";
    AppendJsonString(line, GetCommandLineW());
    line += ",\"currentDirectory\":";
    AppendJsonString(line, CurrentDirectory());
    line += "}\n";

    // FILE_APPEND_DATA alone: every write lands at the end, even with two launches at once.
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size() ? 0 : 4;
}
