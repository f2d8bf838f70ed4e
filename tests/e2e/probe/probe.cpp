// Looks at and drives the setup dialog from outside, as a user would: run in the same Wine prefix
// and display as the program, it finds the dialog among the top-level windows, prints what it
// shows as one JSON object on stdout (UTF-8), and delivers real input (SendInput) to it.
//
//   probe uilang                 the UI language and locale this process gets from the system
//   probe wait [ms]              waits for the dialog to show, then prints its state
//   probe state                  prints the dialog's state (and that of the box it owns, the About
//                                box or an error message, when one is open)
//   probe gone [ms]              waits until no dialog of the program is left
//   probe keys KEY...            presses keys in the foreground dialog: RETURN, ESCAPE, TAB, DOWN,
//                                UP, HOME, END, SPACE, F1, F4, a letter or digit; prefixes shift+,
//                                ctrl+, alt+ (alt+F4, shift+TAB, alt+SPACE); "--held KEY N" queues
//                                N key-downs of KEY at once, as a held key repeats
//   probe click TARGET           a left click at the centre of TARGET: a control id (1000, 1001,
//                                1002, 131), "close" (the dialog's close box), "box-button" (the
//                                first button of the open box) or "item:N" (item N of the open list)
//   probe move X Y               moves the pointer to the screen point (X, Y)
//   probe hover ID               moves the pointer onto the dialog's background, then onto control ID
//                                ("background": only onto the background)
//   probe repaint                has the dialog repainted at once (RedrawWindow)
//   probe syscommand N           posts WM_SYSCOMMAND with wParam N to the dialog
// Every command exits with 0 when it did what it says and 1 otherwise ("error" tells why).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// --- JSON output -------------------------------------------------------------------------------

class Json {
public:
    Json& Raw(const std::string& text)
    {
        Separate();
        out_ += text;
        return *this;
    }
    Json& Key(const char* key)
    {
        Separate();
        Quote(key);
        out_ += ':';
        pendingValue_ = true;
        return *this;
    }
    Json& Str(const std::wstring& text)
    {
        Separate();
        QuoteWide(text);
        return *this;
    }
    Json& Num(long long value) { return Raw(std::to_string(value)); }
    Json& Bool(bool value) { return Raw(value ? "true" : "false"); }
    Json& Null() { return Raw("null"); }
    Json& Open(char bracket)
    {
        Separate();
        out_ += bracket;
        first_ = true;
        return *this;
    }
    Json& Close(char bracket)
    {
        out_ += bracket;
        first_ = false;
        return *this;
    }
    Json& Rect(const RECT& r)
    {
        Open('[').Num(r.left).Num(r.top).Num(r.right).Num(r.bottom);
        return Close(']');
    }
    const std::string& Text() const { return out_; }

private:
    void Separate()
    {
        if (pendingValue_) {
            pendingValue_ = false;
            return;
        }
        if (!first_ && !out_.empty()) out_ += ',';
        first_ = false;
    }
    void Quote(const char* text)
    {
        out_ += '"';
        out_ += text;
        out_ += '"';
    }
    void Unit(unsigned code)
    {
        if (code < 0x80) {
            out_ += char(code);
        } else if (code < 0x800) {
            out_ += char(0xC0 | (code >> 6));
            out_ += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out_ += char(0xE0 | (code >> 12));
            out_ += char(0x80 | ((code >> 6) & 0x3F));
            out_ += char(0x80 | (code & 0x3F));
        } else {
            out_ += char(0xF0 | (code >> 18));
            out_ += char(0x80 | ((code >> 12) & 0x3F));
            out_ += char(0x80 | ((code >> 6) & 0x3F));
            out_ += char(0x80 | (code & 0x3F));
        }
    }
    void QuoteWide(const std::wstring& text)
    {
        static const char hex[] = "0123456789abcdef";
        out_ += '"';
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned unit = static_cast<unsigned short>(text[i]);
            const bool highSurrogate = unit >= 0xD800 && unit <= 0xDBFF;
            const unsigned next = i + 1 < text.size() ? static_cast<unsigned short>(text[i + 1]) : 0;
            if (unit == '"' || unit == '\\') {
                out_ += '\\';
                out_ += char(unit);
            } else if (highSurrogate && next >= 0xDC00 && next <= 0xDFFF) {
                Unit(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
            } else if (unit < 0x20 || (unit >= 0xD800 && unit <= 0xDFFF)) {
                out_ += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4) out_ += hex[(unit >> shift) & 0xF];
            } else {
                Unit(unit);
            }
        }
        out_ += '"';
    }

    std::string out_;
    bool first_ = true;
    bool pendingValue_ = false;
};

int Print(const Json& json, int exitCode)
{
    const std::string line = json.Text() + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
              nullptr);
    return exitCode;
}

int Fail(const std::wstring& why)
{
    Json json;
    json.Open('{').Key("error").Str(why).Close('}');
    return Print(json, 1);
}

// --- Windows of the program --------------------------------------------------------------------

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring TextOf(HWND hwnd)
{
    // WM_GETTEXT reaches the window's own procedure (and crosses the process boundary), so the
    // text is what the control holds, not a cached title.
    const LRESULT length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

bool IsSetupDialog(HWND hwnd)
{
    if (ClassOf(hwnd) != L"#32770") return false;
    HWND combo = GetDlgItem(hwnd, 1000);
    return combo && ClassOf(combo) == L"ComboBox" && GetDlgItem(hwnd, 1001) && GetDlgItem(hwnd, 1002);
}

struct Found {
    HWND dialog = nullptr;
    HWND box = nullptr;   // a dialog the setup dialog owns: the About box or a message box
    HWND list = nullptr;  // the drop-down list while it is open
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param)
{
    auto* windows = reinterpret_cast<std::vector<HWND>*>(param);
    windows->push_back(hwnd);
    return TRUE;
}

Found FindWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    Found found;
    for (HWND hwnd : windows) {
        if (IsWindowVisible(hwnd) && IsSetupDialog(hwnd)) found.dialog = hwnd;
    }
    if (!found.dialog) return found;
    const DWORD thread = GetWindowThreadProcessId(found.dialog, nullptr);
    for (HWND hwnd : windows) {
        if (hwnd == found.dialog || !IsWindowVisible(hwnd)) continue;
        if (GetWindowThreadProcessId(hwnd, nullptr) != thread) continue;
        const std::wstring cls = ClassOf(hwnd);
        if (cls == L"#32770" && GetWindow(hwnd, GW_OWNER) == found.dialog) found.box = hwnd;
        if (cls == L"ComboLBox") found.list = hwnd;
    }
    return found;
}

// Lets the program's thread handle what is queued: a sent message is answered only when the
// thread reads its queue again.
void Settle(HWND hwnd)
{
    for (int i = 0; i < 3; ++i) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result);
        Sleep(60);
    }
}

const char* ControlName(HWND dialog, HWND hwnd)
{
    if (!hwnd) return "none";
    if (hwnd == dialog) return "dialog";
    if (hwnd == GetDlgItem(dialog, 1000)) return "combo";
    if (hwnd == GetDlgItem(dialog, 1001)) return "install";
    if (hwnd == GetDlgItem(dialog, 1002)) return "cancel";
    if (GetParent(hwnd) == GetDlgItem(dialog, 1000)) return "combo";
    return "other";
}

HWND LabelOf(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static" && GetDlgCtrlID(child) != 131) return child;
    }
    return nullptr;
}

void ControlState(Json& json, HWND hwnd)
{
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    // clang-format off
    json.Open('{')
        .Key("text").Str(TextOf(hwnd))
        .Key("enabled").Bool(IsWindowEnabled(hwnd))
        .Key("visible").Bool(IsWindowVisible(hwnd))
        .Key("style").Num(static_cast<unsigned>(GetWindowLongW(hwnd, GWL_STYLE)))
        .Key("rect").Rect(rect)
        .Close('}');
    // clang-format on
}

void SystemMenuState(Json& json, HWND dialog)
{
    HMENU menu = GetSystemMenu(dialog, FALSE);
    const int count = menu ? GetMenuItemCount(menu) : -1;
    if (count < 0) {
        json.Null();  // the menu of another process cannot be read here
        return;
    }
    json.Open('[');
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID;
        GetMenuItemInfoW(menu, i, TRUE, &info);
        GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
        // clang-format off
        json.Open('{')
            .Key("id").Num(info.wID)
            .Key("separator").Bool(info.fType & MFT_SEPARATOR)
            .Key("text").Str(text)
            .Close('}');
        // clang-format on
    }
    json.Close(']');
}

void DialogState(Json& json, const Found& found)
{
    HWND dialog = found.dialog;
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(dialog, &pid);
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(thread, &gui);

    RECT rect = {}, work = {};
    GetWindowRect(dialog, &rect);
    HMONITOR monitor = MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) work = info.rcWork;

    HWND combo = GetDlgItem(dialog, 1000);
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);

    // clang-format off
    json.Key("dialog").Open('{')
        .Key("pid").Num(pid)
        .Key("caption").Str(TextOf(dialog))
        .Key("enabled").Bool(IsWindowEnabled(dialog))
        .Key("foreground").Bool(GetForegroundWindow() == dialog)
        .Key("style").Num(static_cast<unsigned>(GetWindowLongW(dialog, GWL_STYLE)))
        .Key("exStyle").Num(static_cast<unsigned>(GetWindowLongW(dialog, GWL_EXSTYLE)))
        .Key("rect").Rect(rect)
        .Key("workArea").Rect(work);
    // clang-format on
    json.Key("label");
    if (HWND label = LabelOf(dialog)) {
        ControlState(json, label);
    } else {
        json.Null();
    }
    json.Key("install");
    ControlState(json, GetDlgItem(dialog, 1001));
    json.Key("cancel");
    ControlState(json, GetDlgItem(dialog, 1002));
    json.Key("combo");
    ControlState(json, combo);
    json.Key("items").Open('[');
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        std::wstring text(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
        const LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        json.Str(text);
    }
    // clang-format off
    json.Close(']')
        .Key("selected").Num(selected)
        .Key("dropped").Bool(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0)
        .Key("focus").Raw(std::string("\"") + ControlName(dialog, gui.hwndFocus) + "\"")
        .Key("capture").Raw(std::string("\"") + ControlName(dialog, gui.hwndCapture) + "\"")
        .Key("icon").Bool(SendMessageW(GetDlgItem(dialog, 131), STM_GETICON, 0, 0) != 0)
        .Key("systemMenu");
    // clang-format on
    SystemMenuState(json, dialog);
    json.Close('}');

    json.Key("box");
    if (found.box) {
        RECT boxRect = {};
        GetWindowRect(found.box, &boxRect);
        // clang-format off
        json.Open('{')
            .Key("caption").Str(TextOf(found.box))
            .Key("owner").Bool(GetWindow(found.box, GW_OWNER) == dialog)
            .Key("foreground").Bool(GetForegroundWindow() == found.box)
            .Key("focus").Bool(gui.hwndFocus == found.box || IsChild(found.box, gui.hwndFocus))
            .Key("rect").Rect(boxRect)
            .Key("texts").Open('[');
        // clang-format on
        for (HWND child = GetWindow(found.box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            json.Str(TextOf(child));
        }
        json.Close(']').Close('}');
    } else {
        json.Null();
    }
}

int PrintState(const Found& found)
{
    Json json;
    json.Open('{');
    DialogState(json, found);
    json.Close('}');
    return Print(json, 0);
}

// --- Input -------------------------------------------------------------------------------------

struct KeyName {
    const wchar_t* name;
    WORD vk;
};

const KeyName kKeys[] = {
    {L"RETURN", VK_RETURN}, {L"ESCAPE", VK_ESCAPE}, {L"TAB", VK_TAB},   {L"DOWN", VK_DOWN},
    {L"UP", VK_UP},         {L"HOME", VK_HOME},     {L"END", VK_END},   {L"SPACE", VK_SPACE},
    {L"F1", VK_F1},         {L"F4", VK_F4},         {L"LEFT", VK_LEFT}, {L"RIGHT", VK_RIGHT},
};

bool Extended(WORD vk)
{
    return vk == VK_DOWN || vk == VK_UP || vk == VK_LEFT || vk == VK_RIGHT || vk == VK_HOME || vk == VK_END;
}

INPUT KeyInput(WORD vk, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (Extended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

bool ParseKey(std::wstring text, std::vector<WORD>& modifiers, WORD& vk)
{
    for (;;) {
        const size_t plus = text.find(L'+');
        if (plus == std::wstring::npos || plus + 1 == text.size()) break;
        const std::wstring modifier = text.substr(0, plus);
        if (modifier == L"shift") modifiers.push_back(VK_SHIFT);
        else if (modifier == L"ctrl") modifiers.push_back(VK_CONTROL);
        else if (modifier == L"alt") modifiers.push_back(VK_MENU);
        else return false;
        text = text.substr(plus + 1);
    }
    for (const KeyName& key : kKeys) {
        if (text == key.name) {
            vk = key.vk;
            return true;
        }
    }
    if (text.size() == 1 && iswalnum(text[0])) {
        vk = static_cast<WORD>(towupper(text[0]));
        return true;
    }
    return false;
}

// The window that takes keyboard input: the About box while it is open, else the dialog.
bool BringToFront(HWND target)
{
    for (int i = 0; i < 50; ++i) {
        if (GetForegroundWindow() == target) return true;
        SetForegroundWindow(target);
        Sleep(40);
    }
    return GetForegroundWindow() == target;
}

void Send(std::vector<INPUT> inputs)
{
    for (INPUT& input : inputs) {
        SendInput(1, &input, sizeof input);
        Sleep(15);
    }
}

int PressKeys(int argc, wchar_t** argv)
{
    Found found = FindWindows();
    if (!found.dialog) return Fail(L"no dialog");
    HWND target = found.box ? found.box : found.dialog;
    if (!BringToFront(target)) return Fail(L"the dialog does not come to the foreground");
    // "--held KEY N": N key-downs without a key-up, as a held key repeats, all queued at once.
    if (argc == 3 && std::wstring(argv[0]) == L"--held") {
        std::vector<WORD> modifiers;
        WORD vk = 0;
        if (!ParseKey(argv[1], modifiers, vk) || !modifiers.empty()) return Fail(L"bad key");
        std::vector<INPUT> inputs(static_cast<size_t>(_wtoi(argv[2])), KeyInput(vk, false));
        inputs.push_back(KeyInput(vk, true));
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        Sleep(200);
        argc = 0;
    }
    for (int i = 0; i < argc; ++i) {
        std::vector<WORD> modifiers;
        WORD vk = 0;
        if (!ParseKey(argv[i], modifiers, vk)) return Fail(std::wstring(L"unknown key ") + argv[i]);
        std::vector<INPUT> inputs;
        for (WORD modifier : modifiers) inputs.push_back(KeyInput(modifier, false));
        inputs.push_back(KeyInput(vk, false));
        inputs.push_back(KeyInput(vk, true));
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
            inputs.push_back(KeyInput(*it, true));
        Send(inputs);
        if (IsWindow(found.dialog)) Settle(found.dialog);
    }
    Json json;
    json.Open('{').Key("pressed").Num(argc).Close('}');
    return Print(json, 0);
}

void MovePointer(POINT point)
{
    SetCursorPos(point.x, point.y);
    // The move as the mouse would report it, so the window under the pointer gets WM_MOUSEMOVE.
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65535, width - 1);
    input.mi.dy = MulDiv(point.y, 65535, height - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    Sleep(30);
    POINT now = {};
    if (GetCursorPos(&now) && (now.x != point.x || now.y != point.y)) SetCursorPos(point.x, point.y);
}

void Click(POINT point)
{
    MovePointer(point);
    INPUT down = {}, up = {};
    down.type = up.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    Send({down, up});
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

bool CloseBoxPoint(HWND dialog, POINT& point)
{
    RECT rect = {};
    GetWindowRect(dialog, &rect);
    for (int y = rect.top + 1; y < rect.top + 60 && y < rect.bottom; y += 2) {
        for (int x = rect.right - 2; x > rect.left; x -= 2) {
            const LRESULT hit = SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(x, y));
            if (hit == HTCLOSE) {
                point = {x - 4, y + 4};  // inside the box, away from its edge
                if (SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y)) != HTCLOSE)
                    point = {x, y};
                return true;
            }
        }
    }
    return false;
}

int ClickTarget(const std::wstring& target)
{
    Found found = FindWindows();
    if (!found.dialog) return Fail(L"no dialog");
    POINT point = {};
    if (target == L"close") {
        if (!CloseBoxPoint(found.dialog, point)) return Fail(L"no close box");
    } else if (target == L"box-button") {
        if (!found.box) return Fail(L"no box");
        RECT rect = {};
        GetWindowRect(FindWindowExW(found.box, nullptr, L"Button", nullptr), &rect);
        point = Centre(rect);
    } else if (target.rfind(L"item:", 0) == 0) {
        if (!found.list) return Fail(L"the list is not open");
        const int index = _wtoi(target.c_str() + 5);
        RECT item = {};
        if (SendMessageW(found.list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)) == LB_ERR)
            return Fail(L"no such item");
        RECT client = {};
        GetClientRect(found.list, &client);
        if (item.top < client.top || item.bottom > client.bottom)
            return Fail(L"the item is scrolled out of view");
        point = Centre(item);
        ClientToScreen(found.list, &point);
    } else {
        HWND control = GetDlgItem(found.dialog, _wtoi(target.c_str()));
        if (!control) return Fail(L"no control " + target);
        RECT rect = {};
        GetWindowRect(control, &rect);
        point = Centre(rect);
    }
    if (!BringToFront(found.box ? found.box : found.dialog)) return Fail(L"no foreground");
    Click(point);
    if (IsWindow(found.dialog)) Settle(found.dialog);
    Json json;
    json.Open('{').Key("clicked").Open('[').Num(point.x).Num(point.y).Close(']').Close('}');
    return Print(json, 0);
}

int Hover(const std::wstring& what)
{
    Found found = FindWindows();
    if (!found.dialog) return Fail(L"no dialog");
    // "background": the background next to the install button, and no further.
    const bool backgroundOnly = what == L"background";
    const int id = backgroundOnly ? 1001 : _wtoi(what.c_str());
    HWND control = GetDlgItem(found.dialog, id);
    if (!control) return Fail(L"no such control");
    // The background point: a client point that no child covers, nearest to the control.
    RECT rect = {};
    GetWindowRect(control, &rect);
    POINT target = Centre(rect);
    POINT background = {target.x, rect.top - 3};
    POINT client = background;
    ScreenToClient(found.dialog, &client);
    if (ChildWindowFromPointEx(found.dialog, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT) != found.dialog)
        background = {rect.left - 3, target.y};
    MovePointer(background);
    Settle(found.dialog);
    if (!backgroundOnly) {
        MovePointer(target);
        Settle(found.dialog);
    }
    Json json;
    json.Open('{').Key("hovered").Str(what).Close('}');
    return Print(json, 0);
}

// --- Commands ----------------------------------------------------------------------------------

int WaitForDialog(DWORD timeout, bool gone)
{
    const DWORD start = GetTickCount();
    Found found;
    for (;;) {
        found = FindWindows();
        if (gone ? found.dialog == nullptr : found.dialog != nullptr) break;
        if (GetTickCount() - start > timeout) return Fail(gone ? L"the dialog is still there" : L"no dialog");
        Sleep(50);
    }
    if (gone) {
        Json json;
        json.Open('{').Key("gone").Bool(true).Close('}');
        return Print(json, 0);
    }
    // The first paint puts the focus on the install button; give it time to come.
    Settle(found.dialog);
    for (int i = 0; i < 40; ++i) {
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(found.dialog, nullptr), &gui);
        if (gui.hwndFocus == GetDlgItem(found.dialog, 1001)) break;
        Sleep(50);
    }
    return PrintState(FindWindows());
}

int UiLanguage()
{
    Json json;
    // clang-format off
    json.Open('{')
        .Key("uiLanguage").Num(GetUserDefaultUILanguage())
        .Key("userLangId").Num(GetUserDefaultLangID())
        .Key("userLcid").Num(GetUserDefaultLCID())
        .Key("systemUiLanguage").Num(GetSystemDefaultUILanguage())
        .Close('}');
    // clang-format on
    return Print(json, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return Fail(L"no command");
    const std::wstring command = argv[1];
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 30000;
    if (command == L"uilang") return UiLanguage();
    if (command == L"wait") return WaitForDialog(timeout, false);
    if (command == L"gone") return WaitForDialog(timeout, true);
    if (command == L"state") {
        Found found = FindWindows();
        return found.dialog ? PrintState(found) : Fail(L"no dialog");
    }
    if (command == L"keys") return PressKeys(argc - 2, argv + 2);
    if (command == L"click" && argc == 3) return ClickTarget(argv[2]);
    if (command == L"hover" && argc == 3) return Hover(argv[2]);
    if (command == L"repaint") {
        Found found = FindWindows();
        if (!found.dialog) return Fail(L"no dialog");
        RedrawWindow(found.dialog, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Settle(found.dialog);
        Json json;
        json.Open('{').Key("repainted").Bool(true).Close('}');
        return Print(json, 0);
    }
    if (command == L"move" && argc == 4) {
        MovePointer({_wtoi(argv[2]), _wtoi(argv[3])});
        Json json;
        json.Open('{').Key("moved").Bool(true).Close('}');
        return Print(json, 0);
    }
    if (command == L"syscommand" && argc == 3) {
        Found found = FindWindows();
        if (!found.dialog) return Fail(L"no dialog");
        PostMessageW(found.dialog, WM_SYSCOMMAND, wcstoul(argv[2], nullptr, 0), 0);
        Settle(found.dialog);
        Json json;
        json.Open('{').Key("posted").Bool(true).Close('}');
        return Print(json, 0);
    }
    return Fail(L"unknown command " + command);
}
