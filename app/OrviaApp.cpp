#include "app/OrviaApp.h"

#include <new>

#include "framework/StartupProfile.h"
#include "ui/OrviaDlg.h"

COrviaApp theApp;

COrviaApp::COrviaApp() { m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART; }

COrviaApp::~COrviaApp() = default;

bool COrviaApp::DispatchMessageMap(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT* result)
{
    // clang-format off
    static constexpr afx::MessageEntry<COrviaApp> entries[] = {
        // message    code  id       handler
        {WM_COMMAND,  0,    ID_HELP, static_cast<void (COrviaApp::*)()>(&CWinApp::OnHelp)},
    };
    // clang-format on
    return afx::Dispatch(static_cast<COrviaApp*>(target), entries, message, wParam, lParam, result);
}

const AFX_MSGMAP COrviaApp::messageMap{&CWinApp::messageMap, &COrviaApp::DispatchMessageMap};

BOOL COrviaApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    AFX_STARTUP_STAMP(CommonControls);

    CWinApp::InitInstance();

    AfxEnableControlContainer();

    // Nothing here needs the shell manager; it only has to exist while the dialog runs.
    CShellManager* shellManager = new (std::nothrow) CShellManager;

    SetRegistryKey(L"应用程序向导生成的本地应用程序");
    AFX_STARTUP_STAMP(BeforeDialog);

    {
        COrviaDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();

        delete shellManager;
    }

    // No message loop: the process ends once the dialog has.
    return FALSE;
}
