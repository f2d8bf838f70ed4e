// Modal dialogs: the template, the creation hook that attaches the wrapper, initialisation and
// centring, pre-translation, and the end of the dialog.
#include "framework/StartupProfile.h"
#include "framework/afxstate.h"
#include "framework/afxwin.h"

bool CDialog::DispatchMessageMap(CCmdTarget* t, UINT m, WPARAM w, LPARAM l, LRESULT* r)
{
    // clang-format off
    static constexpr afx::MessageEntry<CDialog> entries[] = {
        // message   code        id        handler
        {WM_COMMAND, BN_CLICKED, IDOK,     &CDialog::OnOKCommand},
        {WM_COMMAND, BN_CLICKED, IDCANCEL, &CDialog::OnCancelCommand},
    };
    // clang-format on
    return afx::Dispatch(static_cast<CDialog*>(t), entries, m, w, l, r);
}
const AFX_MSGMAP CDialog::messageMap{&CWnd::messageMap, &CDialog::DispatchMessageMap};
const AFX_MSGMAP CDialogEx::messageMap{&CDialog::messageMap, nullptr};

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

namespace {

// Whether a dialog template, in either of its two forms, leaves the dialog's place to the
// framework: it puts the dialog at (0, 0) and asks for no placement of the platform's.
bool TemplateLeavesPlacement(const void* dialogTemplate)
{
    const WORD* words = static_cast<const WORD*>(dialogTemplate);
    DWORD style;
    bool atOrigin;
    if (words[0] == 1 && words[1] == 0xFFFF) {
        // DLGTEMPLATEEX: version, signature, help id, extended style, style, item count, x, y
        CopyMemory(&style, words + 6, sizeof style);
        atOrigin = words[9] == 0 && words[10] == 0;
    } else {
        const DLGTEMPLATE* classic = static_cast<const DLGTEMPLATE*>(dialogTemplate);
        style = classic->style;
        atOrigin = classic->x == 0 && classic->y == 0;
    }
    return atOrigin && !(style & (DS_ABSALIGN | DS_CENTER | DS_CENTERMOUSE));
}

}  // namespace

namespace {

// Whether the window being created is the dialog the dialog manager makes for DoModal: a
// top-level window of the platform's dialog class. The platform and input-method or
// accessibility software create windows of their own on the thread, in an order nobody promises
// (the default input-method window, of the system class "IME"; an input method's windows, of the
// classes it registers for itself); none of them may take the wrapper.
bool IsDialogBeingCreated(HWND hWnd, const CREATESTRUCTW& cs)
{
    if (cs.style & WS_CHILD) return false;
    wchar_t name[8];
    return ::GetClassNameW(hWnd, name, ARRAYSIZE(name)) == 6 && lstrcmpW(name, L"#32770") == 0;
}

}  // namespace

// Attaches the wrapper DoModal is creating to its dialog window as soon as the window exists,
// so that the wrapper sees that window's messages from the very first one.
LRESULT CALLBACK AfxCbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    AfxThreadState& state = AfxState();
    if (code == HCBT_CREATEWND && state.wndInit) {
        const HWND hWnd = reinterpret_cast<HWND>(wParam);
        if (IsDialogBeingCreated(hWnd, *reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs)) {
            CWnd* wnd = state.wndInit;
            state.wndInit = nullptr;
            wnd->SubclassWindow(hWnd);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The dialog procedure the platform's dialog manager calls from its window procedure (which is
// the wrapper's DefWindowProc). It only initialises; every other message was offered to the
// message maps before the dialog manager saw it.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG) return FALSE;
    CDialog* dlg = reinterpret_cast<CDialog*>(lParam);
    if (dlg->m_hWnd != hWnd) return FALSE;  // not attached: DoModal destroys the window
    AFX_STARTUP_STAMP(DialogCreated);
    RECT before;
    ::GetWindowRect(hWnd, &before);
    const BOOL result = dlg->OnInitDialog();
    // Centre a dialog the template puts at (0, 0) and leaves there, unless initialisation moved
    // or showed it.
    RECT after;
    ::GetWindowRect(hWnd, &after);
    if (dlg->m_templateLeavesPlacement && !::IsWindowVisible(hWnd) && before.left == after.left &&
        before.top == after.top) {
        dlg->CenterWindow();
    }
    AFX_STARTUP_STAMP(Initialised);
    return result;
}

INT_PTR CDialog::DoModal()
{
    const LPCWSTR name = MAKEINTRESOURCEW(m_templateId);
    HINSTANCE module = AfxFindResourceHandle(name, RT_DIALOG);
    HRSRC resource = FindResourceW(module, name, RT_DIALOG);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* dialogTemplate = loaded ? LockResource(loaded) : nullptr;
    if (!dialogTemplate) return -1;
    m_templateLeavesPlacement = TemplateLeavesPlacement(dialogTemplate);

    // Owned by the parent, else by the application's main window once that has a window.
    CWinApp* app = AfxGetApp();
    CWnd* ownerWnd = m_pParentWnd ? m_pParentWnd : (app ? app->m_pMainWnd : nullptr);
    HWND owner = ownerWnd && ownerWnd != this ? ownerWnd->m_hWnd : nullptr;
    const bool disableOwner = owner && ::IsWindowEnabled(owner);
    if (disableOwner) ::EnableWindow(owner, FALSE);

    m_modalResult = -1;
    m_flags |= kContinueModal;
    AfxThreadState& state = AfxState();
    state.wndInit = this;
    HHOOK hook = SetWindowsHookExW(WH_CBT, &AfxCbtHook, nullptr, GetCurrentThreadId());
    HWND hWnd = hook ? CreateDialogIndirectParamW(module, static_cast<LPCDLGTEMPLATEW>(dialogTemplate), owner,
                                                  &AfxDlgProc, reinterpret_cast<LPARAM>(this))
                     : nullptr;
    if (hook) UnhookWindowsHookEx(hook);
    state.wndInit = nullptr;

    // A dialog the creation hook did not attach (its template names a window class of its own)
    // is not this dialog: no loop runs for it, and DoModal ends as when the creation failed.
    HWND refused = nullptr;
    if (hWnd && m_hWnd != hWnd) {
        refused = hWnd;
        hWnd = nullptr;
    }
    if (hWnd) RunModalLoop();
    m_flags &= ~kContinueModal;

    // The owner is enabled again before the dialog goes: a window destroyed while its owner is
    // disabled hands the activation to another program's window.
    if (m_hWnd) {
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    if (disableOwner) ::EnableWindow(owner, TRUE);
    if (owner) ::SetActiveWindow(owner);
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    if (refused) ::DestroyWindow(refused);
    return hWnd ? m_modalResult : -1;
}

void CDialog::EndDialog(int result)
{
    EndModalLoop(result);
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx{this, saveAndValidate};
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CWnd::OnCommand(wParam, lParam)) return TRUE;
    LRESULT result = 0;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(WM_COMMAND, wParam, lParam, &result);
}

bool CDialog::IsHelpKey(const MSG* msg)
{
    return msg->message == WM_KEYDOWN && msg->wParam == VK_F1 && GetKeyState(VK_SHIFT) >= 0 &&
           GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0;
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    if (IsHelpKey(msg)) {
        CWinApp* app = AfxGetApp();
        HWND target = app && app->m_pMainWnd && app->m_pMainWnd->m_hWnd ? app->m_pMainWnd->m_hWnd : m_hWnd;
        ::SendMessageW(target, WM_COMMAND, ID_HELP, 0);
        return TRUE;
    }
    const bool input = (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) ||
                       (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST);
    return input && IsDialogMessageW(m_hWnd, msg);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.m_hWnd) return;
    control.SubclassWindow(::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id));
}
