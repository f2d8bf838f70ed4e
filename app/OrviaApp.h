// The setup program's application object: prepares the process, runs the language-selection
// dialog once and ends.
#pragma once

#include "framework/afxwin.h"

class COrviaApp : public CWinApp {
public:
    COrviaApp();
    ~COrviaApp() override;

    static const AFX_MSGMAP messageMap;
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
    static bool DispatchMessageMap(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT* result);

    BOOL InitInstance() override;
};

extern COrviaApp theApp;
