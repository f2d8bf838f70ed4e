#include "ui/OrviaDlg.h"

#include <shellapi.h>

#include <string>
#include <string_view>

#include "launch/LaunchRequest.h"
#include "ui/AboutDlg.h"
#include "ui/LanguageAdapter.h"

namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// ShellExecuteW reports a failure as a result of 32 or less. Where the shell sets no error of its
// own, the Win32 error of the same meaning as the result:
// the results' meanings are those of the "Return value" table of ShellExecuteW, the errors those
// that ShellExecuteEx sets for the same failures (its "Remarks"; both on learn.microsoft.com).
// 2, 3, 5, 8 and 11 are already the numbers of the system's own errors.
DWORD LaunchError(INT_PTR result)
{
    switch (result) {
    case 0:  // out of memory or resources
        return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_SHARE: return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC: return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY: return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND: return ERROR_DLL_NOT_FOUND;
    default: return static_cast<DWORD>(result);
    }
}

// The system's description of `error` in the user's UI language, without its line break. Where
// the system has no text for it, its number, in decimal and in hexadecimal.
CString SystemMessage(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        ::LocalFree(text);
        wchar_t number[32] = {};
        ::wsprintfW(number, L"%lu (0x%08lX)", static_cast<unsigned long>(error),
                    static_cast<unsigned long>(error));
        return CString(number);
    }
    CString message(text, static_cast<int>(length));
    ::LocalFree(text);
    int end = message.GetLength();
    while (end > 0 && (message[end - 1] == L'\r' || message[end - 1] == L'\n' || message[end - 1] == L' ')) {
        --end;
    }
    return CString(message, end);
}

}  // namespace

POINT MinimizedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    return POINT{(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

COrviaDlg::COrviaDlg(CWnd* pParent) : CDialogEx(IDD_SETUP_DIALOG, pParent)
{
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_SETUP));
    m_hStaticIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_SETUP));
}

COrviaDlg::~COrviaDlg() = default;

bool COrviaDlg::DispatchMessageMap(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT* result)
{
    // clang-format off
    static constexpr afx::MessageEntry<COrviaDlg> entries[] = {
        // message          code         id                   handler
        {WM_SYSCOMMAND,     0,           0,                   &COrviaDlg::OnSysCommand},
        {WM_PAINT,          0,           0,                   &COrviaDlg::OnPaint},
        {WM_QUERYDRAGICON,  0,           0,                   &COrviaDlg::OnQueryDragIcon},
        {WM_COMMAND,        BN_CLICKED,  IDC_INSTALL_BUTTON,  &COrviaDlg::OnBnClickedInstall},
        {WM_COMMAND,        BN_CLICKED,  IDC_CANCEL_BUTTON,   &COrviaDlg::OnBnClickedCancelButton},
        {WM_COMMAND,        STN_CLICKED, IDC_SETUP_ICON,      &COrviaDlg::OnStnClickedSetupIcon},
    };
    // clang-format on
    return afx::Dispatch(static_cast<COrviaDlg*>(target), entries, message, wParam, lParam, result);
}

const AFX_MSGMAP COrviaDlg::messageMap{&CDialogEx::messageMap, &COrviaDlg::DispatchMessageMap};

void COrviaDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_INSTALL_BUTTON, m_btnInstall);
    DDX_Control(pDX, IDC_SETUP_ICON, m_stcIcon);
}

BOOL COrviaDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();

    PlacePromptBeforeList();
    AddAboutEntryToSystemMenu();

    m_stcIcon.SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(m_hStaticIcon), 0);

    // The list sorts the names itself.
    for (const LanguageEntry& language : LanguageTable) {
        if (CWnd* list = GetDlgItem(IDC_LANGUAGE_COMBO)) {
            const CString name(language.displayName);
            list->SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.GetString()));
        }
    }

    orvia::DialogTextAccess texts(m_hWnd);
    ApplyLanguageToDialog(texts, FindLanguageForUiLanguage(::GetUserDefaultUILanguage()));

    // The dialog manager focuses the language list; the first paint moves the focus on.
    return TRUE;
}

// Screen readers name a list after the static text right before it in the window order, and the
// template creates the list first and the prompt after it: the icon, then the prompt, go ahead of
// the list. The keys move as before. Tab visits only the list and the two buttons, in the same
// order. The arrow keys' group still starts at the prompt and runs through the list to the cancel
// button: the icon, now ahead of the prompt, starts a group of its own, so it stays outside.
void COrviaDlg::PlacePromptBeforeList()
{
    const HWND icon = ::GetDlgItem(m_hWnd, IDC_SETUP_ICON);
    const HWND prompt = ::GetDlgItem(m_hWnd, IDC_PROMPT_LABEL);
    if (icon == nullptr || prompt == nullptr) {
        return;
    }
    constexpr UINT orderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    ::SetWindowPos(icon, HWND_TOP, 0, 0, 0, 0, orderOnly);
    ::SetWindowPos(prompt, icon, 0, 0, 0, 0, orderOnly);
    ::SetWindowLongW(icon, GWL_STYLE, ::GetWindowLongW(icon, GWL_STYLE) | WS_GROUP);
}

// The platform keeps the low four bits of a system command for itself, and the commands from
// 0xF000 up are its own.
static_assert((IDM_ABOUT & 0xFFF0) == IDM_ABOUT && IDM_ABOUT < 0xF000);

void COrviaDlg::AddAboutEntryToSystemMenu()
{
    CMenu systemMenu = GetSystemMenu(FALSE);
    if (systemMenu.m_hMenu == nullptr) {
        return;
    }
    CString text;
    text.LoadString(IDS_ABOUT_MENU);
    if (!text.IsEmpty()) {
        systemMenu.AppendMenu(MF_SEPARATOR);
        systemMenu.AppendMenu(MF_STRING, IDM_ABOUT, text);
    }
}

void COrviaDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUT) {
        CAboutDlg about;
        about.DoModal();
    } else {
        CDialogEx::OnSysCommand(nID, lParam);
    }
}

void COrviaDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        const int iconWidth = ::GetSystemMetrics(SM_CXICON);
        const int iconHeight = ::GetSystemMetrics(SM_CYICON);
        RECT client{};
        GetClientRect(&client);
        const POINT origin = MinimizedIconOrigin(client.right - client.left, client.bottom - client.top,
                                                 iconWidth, iconHeight);
        dc.DrawIcon(origin.x, origin.y, m_hIcon);
    } else {
        CDialogEx::OnPaint();
    }
    FocusInstallButton();
}

// Every paint leaves the install button focused, so Enter alone confirms the language, and
// ends any mouse capture held in this thread. Not while a box the dialog opened (the About box,
// a failed launch's message) has disabled it: that box keeps the keyboard and its own capture.
void COrviaDlg::FocusInstallButton()
{
    if (!IsWindowEnabled()) {
        return;
    }
    if (CWnd* install = GetDlgItem(IDC_INSTALL_BUTTON)) {
        install->SetFocus();
    }
    ::SetCapture(m_hWnd);
    ::ReleaseCapture();
}

HCURSOR COrviaDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void COrviaDlg::OnBnClickedInstall()
{
    const CString modulePath = AfxGetModuleFileName(nullptr);

    CString selected;
    if (CWnd* list = GetDlgItem(IDC_LANGUAGE_COMBO)) {
        list->GetWindowText(selected);
    }

    if (const auto request = BuildLaunchRequest(selected.View(), modulePath.View())) {
        const CString verb(request->verb);
        const CString file(request->file);
        const CString directory(request->directory.value_or(std::u16string()));
        // The dialog owns whatever the shell shows before it returns (a security warning, the
        // choice of a program): those windows are modal to it, so neither button can be pressed
        // again meanwhile, and the activation comes back to the dialog when they close.
        // A failure's own error, where the shell sets one, says more than the result: it tells a
        // prompt the user cancelled, which is no failure to report, from a refused access.
        ::SetLastError(ERROR_SUCCESS);
        const HINSTANCE result =
            ::ShellExecuteW(m_hWnd, verb, file, Wide(request->parameters),
                            request->directory ? directory.GetString() : nullptr, request->showCommand);
        const DWORD error = ::GetLastError();
        if (reinterpret_cast<INT_PTR>(result) <= 32 && error != ERROR_CANCELLED) {
            ReportLaunchFailure(directory + file, error != ERROR_SUCCESS
                                                      ? error
                                                      : LaunchError(reinterpret_cast<INT_PTR>(result)));
        }
    }

    CDialog::OnCancel();
}

// One error box over the dialog, in the system's own words: the package's path, then why the
// shell could not open it. The dialog ends once the user has closed it. The box disables the
// dialog, which cancels the capture hover focus may hold (WM_CANCELMODE), so the box gets its
// clicks.
void COrviaDlg::ReportLaunchFailure(const CString& package, DWORD error)
{
    CString text = package;
    text += L"\r\n";
    text += SystemMessage(error);
    CString caption;
    GetWindowText(caption);
    ::MessageBoxW(m_hWnd, text, caption, MB_OK | MB_ICONERROR);
}

void COrviaDlg::OnBnClickedCancelButton() { CDialog::OnCancel(); }

void COrviaDlg::OnStnClickedSetupIcon() {}

// Hover focus. While the pointer is over the background the dialog holds the mouse capture, so
// it also sees the move that carries the pointer onto a control, and hands that control the
// focus; moves that leave the client area end the capture.
LRESULT COrviaDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEMOVE) {
        ::SetCapture(m_hWnd);
        POINT cursor{0, 0};
        ::GetCursorPos(&cursor);
        RECT client{};
        GetClientRect(&client);
        ClientToScreen(&client);
        if (::PtInRect(&client, cursor)) {
            CWnd* under = CWnd::FromHandle(::WindowFromPoint(cursor));
            if (under == nullptr || under->GetSafeHwnd() != m_hWnd) {
                if (under != nullptr) {
                    under->SetFocus();
                }
                ::ReleaseCapture();
            }
        } else {
            ::ReleaseCapture();
        }
    }
    return CDialogEx::WindowProc(message, wParam, lParam);
}

// Enter sends the focused control's click, whatever modifiers are held; the key itself goes no
// further, so it never reaches the dialog manager's default-button handling.
BOOL COrviaDlg::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN) {
        if (CWnd* focus = CWnd::GetFocus()) {
            ::SendMessageW(m_hWnd, WM_COMMAND, static_cast<WPARAM>(focus->GetDlgCtrlID()),
                           reinterpret_cast<LPARAM>(focus->GetSafeHwnd()));
            return TRUE;
        }
    }
    return CDialogEx::PreTranslateMessage(pMsg);
}
