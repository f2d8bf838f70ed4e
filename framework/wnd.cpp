// Windows: message maps, the window procedure every wrapped window shares, permanent and
// temporary wrappers, and the modal loop.
#include <new>

#include "framework/StartupProfile.h"
#include "framework/afxstate.h"
#include "framework/afxwin.h"

AfxThreadState& AfxState()
{
    static AfxThreadState state;
    return state;
}

// ---------------------------------------------------------------------------------------------
// Message maps.

const AFX_MSGMAP CCmdTarget::messageMap{nullptr, nullptr};

bool CCmdTarget::OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->base) {
        if (map->dispatch && map->dispatch(this, message, wParam, lParam, result)) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Wrappers. Permanent wrappers stay in a chain of their own from SubclassWindow until
// UnsubclassWindow, which runs at the latest when their window gets WM_NCDESTROY, so no entry
// outlives its window. (Looking a wrapper up here rather than in a window property saves a
// round trip to the window manager on every message.) Temporaries live in a chain until the
// modal loop is idle.

struct AfxTempWnd : CWnd {
    AfxTempWnd* next = nullptr;
};

CWnd::~CWnd()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd) return nullptr;
    for (CWnd* wnd = AfxState().permanentWnds; wnd; wnd = wnd->m_pNextPermanent) {
        if (wnd->m_hWnd == hWnd) return wnd;
    }
    return nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd) return nullptr;
    if (CWnd* wnd = FromHandlePermanent(hWnd)) return wnd;
    AfxThreadState& state = AfxState();
    for (AfxTempWnd* temp = state.tempWnds; temp; temp = temp->next) {
        if (temp->m_hWnd == hWnd) return temp;
    }
    AfxTempWnd* temp = new (std::nothrow) AfxTempWnd;
    if (!temp) return nullptr;
    temp->m_hWnd = hWnd;
    temp->next = state.tempWnds;
    state.tempWnds = temp;
    return temp;
}

void AfxDeleteTempWnds()
{
    AfxThreadState& state = AfxState();
    while (AfxTempWnd* temp = state.tempWnds) {
        state.tempWnds = temp->next;
        temp->m_hWnd = nullptr;  // a temporary never owns its window
        delete temp;
    }
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!hWnd || m_hWnd || FromHandlePermanent(hWnd)) return FALSE;
    AfxThreadState& state = AfxState();
    m_pNextPermanent = state.permanentWnds;
    state.permanentWnds = this;
    m_hWnd = hWnd;
    m_superWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (!hWnd) return nullptr;
    if (m_superWndProc) SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superWndProc));
    for (CWnd** link = &AfxState().permanentWnds; *link; link = &(*link)->m_pNextPermanent) {
        if (*link == this) {
            *link = m_pNextPermanent;
            break;
        }
    }
    m_pNextPermanent = nullptr;
    m_superWndProc = nullptr;
    m_hWnd = nullptr;
    return hWnd;
}

// ---------------------------------------------------------------------------------------------
// Thin calls.

CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }

void CWnd::GetWindowText(CString& text) const
{
    const int length = ::GetWindowTextLengthW(m_hWnd);
    wchar_t* buffer = text.GetBuffer(length);
    if (!buffer) return;
    ::GetWindowTextW(m_hWnd, buffer, length + 1);
    text.ReleaseBuffer();
}

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }

void CWnd::ClientToScreen(LPRECT rect) const
{
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&rect->left));
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&rect->right));
    // Mirrored client coordinates put the client's left edge on the screen's right.
    if (GetExStyle() & WS_EX_LAYOUTRTL) {
        const LONG left = rect->left;
        rect->left = rect->right;
        rect->right = left;
    }
}

void CWnd::CenterWindow()
{
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    RECT area = work;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &area);

    RECT self;
    ::GetWindowRect(m_hWnd, &self);
    const LONG width = self.right - self.left;
    const LONG height = self.bottom - self.top;
    LONG x = area.left + (area.right - area.left - width) / 2;
    LONG y = area.top + (area.bottom - area.top - height) / 2;
    // Keep the window inside the work area where it fits.
    if (x + width > work.right) x = work.right - width;
    if (x < work.left) x = work.left;
    if (y + height > work.bottom) y = work.bottom - height;
    if (y < work.top) y = work.top;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------------------------
// Message handling.

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    if (!wnd) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    if (message == WM_PAINT) AFX_STARTUP_STAMP(FirstPaint);
    AfxThreadState& state = AfxState();
    const MSG outer = state.sentMsg;  // handlers may send messages of their own
    state.sentMsg = MSG{hWnd, message, wParam, lParam, 0, {}};
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);
    state.sentMsg = outer;
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) return 0;
    } else if (message == WM_NCDESTROY) {
        OnNcDestroy();
        return 0;
    } else if (OnCmdMsg(message, wParam, lParam, &result)) {
        return result;
    }
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    return OnCmdMsg(WM_COMMAND, wParam, lParam, &result);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_superWndProc) return CallWindowProcW(m_superWndProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& msg = AfxState().sentMsg;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

void CWnd::OnNcDestroy()
{
    // The main window is gone: the application has none any more, and its thread may end.
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
    Default();
    UnsubclassWindow();
    PostNcDestroy();
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

// ---------------------------------------------------------------------------------------------
// The modal loop.

namespace {

// Offers the message to the wrapped windows from its target up to `top`, stopping there.
bool PreTranslateUpTo(HWND top, MSG* msg)
{
    for (HWND hWnd = msg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
        CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
        if (wnd && wnd->PreTranslateMessage(msg)) return true;
        if (hWnd == top) break;
    }
    return false;
}

}  // namespace

int CWnd::RunModalLoop()
{
    m_flags |= kModalLoop;
    MSG& msg = AfxState().lastMsg;
    while (ContinueModal() && m_hWnd) {  // a window destroyed under the loop ends it too
        MSG peeked;
        if (!PeekMessageW(&peeked, nullptr, 0, 0, PM_NOREMOVE)) {
            // Idle: show the window the template left hidden, drop the temporary wrappers.
            if (!::IsWindowVisible(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
            AfxDeleteTempWnds();
            if (!ContinueModal()) break;
        }
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns the thread
            break;
        }
        if (!PreTranslateUpTo(m_hWnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    m_flags &= ~kModalLoop;
    return m_modalResult;
}

void CWnd::EndModalLoop(int result)
{
    m_modalResult = result;
    m_flags &= ~kContinueModal;
}

// ---------------------------------------------------------------------------------------------

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { m_hDC = BeginPaint(m_hWnd, &m_ps); }

CPaintDC::~CPaintDC() { EndPaint(m_hWnd, &m_ps); }
