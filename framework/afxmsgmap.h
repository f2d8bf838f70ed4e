// Message maps: a class lists, in a typed table, which member handles which message.
//
// How a message travels: the modal loop (CWnd::RunModalLoop) takes a message off the queue and
// offers it to PreTranslateMessage of each wrapped window from the target up to the dialog; if
// none consumes it, it is translated and dispatched. Every wrapped window's procedure is
// AfxWndProc, which calls the virtual CWnd::WindowProc; that asks the message maps (the class's
// own table first, then each base's) through CCmdTarget::OnCmdMsg, and hands anything unhandled
// to the window's original procedure (CWnd::DefWindowProc). Commands nobody handles are offered
// to the application's command map last (CDialog::OnCommand). For a dialog the original procedure
// is the platform's dialog manager, which calls AfxDlgProc: that turns WM_INITDIALOG into the
// virtual OnInitDialog and centres the dialog afterwards; it handles nothing else.
#pragma once

#include <windows.h>

#include <cstddef>
#include <variant>

class CCmdTarget;

// The map of one class: its own table (through `dispatch`) and the map of its base class.
struct AFX_MSGMAP {
    const AFX_MSGMAP* base;
    // Runs the handler of the first row that matches; false when the table has none.
    bool (*dispatch)(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
};

namespace afx {

// One row: a message (for WM_COMMAND also the notification code and control id) and the member
// that handles it. The handler's type says how the message is unpacked:
//   void ()              nothing is passed; the result is 0          (WM_PAINT, commands)
//   void (UINT, LPARAM)  (UINT)wParam and lParam; the result is 0    (WM_SYSCOMMAND)
//   HCURSOR ()           the handle returned is the result           (WM_QUERYDRAGICON)
template <class T>
struct MessageEntry {
    UINT message;
    UINT code;  // WM_COMMAND rows: HIWORD(wParam); 0 otherwise
    UINT id;    // WM_COMMAND rows: LOWORD(wParam); 0 otherwise
    std::variant<void (T::*)(), void (T::*)(UINT, LPARAM), HCURSOR (T::*)()> handler;
};

template <class T, std::size_t N>
bool Dispatch(T* target, const MessageEntry<T> (&entries)[N], UINT message, WPARAM wParam, LPARAM lParam,
              LRESULT* result)
{
    for (const MessageEntry<T>& entry : entries) {
        if (entry.message != message) continue;
        if (message == WM_COMMAND && (entry.id != LOWORD(wParam) || entry.code != HIWORD(wParam))) continue;
        *result = 0;
        if (auto* h = std::get_if<void (T::*)()>(&entry.handler)) {
            (target->**h)();
        } else if (auto* h = std::get_if<void (T::*)(UINT, LPARAM)>(&entry.handler)) {
            (target->**h)(static_cast<UINT>(wParam), lParam);
        } else if (auto* h = std::get_if<HCURSOR (T::*)()>(&entry.handler)) {
            *result = reinterpret_cast<LRESULT>((target->**h)());
        }
        return true;
    }
    return false;
}

}  // namespace afx

// A class with a message map declares
//     static const AFX_MSGMAP messageMap;
//     const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
//     static bool DispatchMessageMap(CCmdTarget*, UINT, WPARAM, LPARAM, LRESULT*);
// and defines, in its source file,
//     bool CMyDlg::DispatchMessageMap(CCmdTarget* t, UINT m, WPARAM w, LPARAM l, LRESULT* r)
//     {
//         static constexpr afx::MessageEntry<CMyDlg> entries[] = {
//             // message     code        id        handler
//             {WM_PAINT,     0,          0,        &CMyDlg::OnPaint},
//             {WM_COMMAND,   BN_CLICKED, IDC_GO,   &CMyDlg::OnBnClickedGo},
//         };
//         return afx::Dispatch(static_cast<CMyDlg*>(t), entries, m, w, l, r);
//     }
//     const AFX_MSGMAP CMyDlg::messageMap{&CDialogEx::messageMap, &CMyDlg::DispatchMessageMap};
// A row naming a base class's member spells out the conversion, which GCC does not do implicitly
// in a constant expression: static_cast<void (CMyApp::*)()>(&CWinApp::OnHelp).
