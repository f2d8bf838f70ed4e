#include "ui/AboutDlg.h"

CAboutDlg::CAboutDlg() : CDialogEx(IDD_ABOUT_DIALOG) {}

CAboutDlg::~CAboutDlg() = default;

// The box handles nothing itself: OK, Enter, Escape and its close box are the dialog's own.
bool CAboutDlg::DispatchMessageMap(CCmdTarget*, UINT, WPARAM, LPARAM, LRESULT*) { return false; }

const AFX_MSGMAP CAboutDlg::messageMap{&CDialogEx::messageMap, &CAboutDlg::DispatchMessageMap};
