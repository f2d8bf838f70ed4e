// The recorder of the start-up profile (framework/StartupProfile.h), linked only into the
// bench's profile builds. Each step's first stamp is kept as a system time of high resolution
// (100 ns units, the clock the bench's own time stamps also read); at the first paint, the last
// step, the process's creation time and every stamp are written to the file named by the
// environment variable ORVIA_STARTUP_PROFILE, one "name time" line each.
#include "framework/StartupProfile.h"

#include <windows.h>

namespace {

constexpr const char* kStepNames[] = {
    "entry-point",          "dll-restriction", "application-handles", "common-controls", "language-library",
    "restart-registration", "before-dialog",   "dialog-created",      "initialised",     "first-paint",
};
constexpr int kSteps = static_cast<int>(AfxStartupStep::FirstPaint) + 1;
static_assert(sizeof kStepNames / sizeof kStepNames[0] == kSteps);

ULONGLONG g_stamps[kSteps];
bool g_written = false;

// Windows 8 and later (and Wine) have the precise clock; before, the tick-based one. Looked up
// at the first stamp (no function-local static: its guard would pull in the C++ library's).
using PreciseFn = VOID(WINAPI*)(LPFILETIME);
PreciseFn g_precise = nullptr;
bool g_lookedUp = false;

ULONGLONG Now()
{
    if (!g_lookedUp) {
        g_lookedUp = true;
        g_precise = reinterpret_cast<PreciseFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    }
    FILETIME time;
    if (g_precise) g_precise(&time);
    else GetSystemTimeAsFileTime(&time);
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Appends "name value\r\n" to text at used; returns the new length.
int AppendLine(char* text, int used, const char* name, ULONGLONG value)
{
    while (*name) text[used++] = *name++;
    text[used++] = ' ';
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    while (count) text[used++] = digits[--count];
    text[used++] = '\r';
    text[used++] = '\n';
    return used;
}

void Write()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"ORVIA_STARTUP_PROFILE", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    FILETIME created, exited, kernel, user;
    ULONGLONG creation = 0;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        creation = (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    char text[64 * (kSteps + 1)];
    int used = AppendLine(text, 0, "process-created", creation);
    for (int i = 0; i < kSteps; ++i) {
        if (g_stamps[i]) used = AppendLine(text, used, kStepNames[i], g_stamps[i]);
    }
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(used), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

void AfxStartupStamp(AfxStartupStep step)
{
    const int index = static_cast<int>(step);
    if (g_stamps[index] == 0) g_stamps[index] = Now();
    if (step == AfxStartupStep::FirstPaint && !g_written) {
        g_written = true;
        Write();
    }
}
