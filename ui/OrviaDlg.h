// The language-selection dialog: the user picks the installation language, and the install
// button hands the package to the shell. Hovering over a control focuses it, Enter presses the
// focused control, and every paint puts the focus back on the install button.
#pragma once

#include "framework/afxwin.h"
#include "res/resource.h"

// Where the icon goes in a minimised dialog's client area: centred, halves truncated toward
// zero, so a client area smaller than the icon gives negative coordinates.
POINT MinimizedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

class COrviaDlg : public CDialogEx {
public:
    explicit COrviaDlg(CWnd* pParent = nullptr);
    ~COrviaDlg() override;

    static const AFX_MSGMAP messageMap;
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
    static bool DispatchMessageMap(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT* result);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnBnClickedInstall();
    void OnBnClickedCancelButton();
    void OnStnClickedSetupIcon();

    HICON m_hIcon;        // drawn while minimised, and the drag icon
    HICON m_hStaticIcon;  // shown in the icon static
    CButton m_btnInstall;
    CStatic m_stcIcon;

private:
    void PlacePromptBeforeList();
    void AddAboutEntryToSystemMenu();
    void FocusInstallButton();
    void ReportLaunchFailure(const CString& package, DWORD error);
};
