// State the framework keeps for the thread that runs it. The program is single-threaded, so
// this is one static struct rather than thread-local storage.
#pragma once

#include <windows.h>

class CWnd;
class CWinApp;

// A wrapper that FromHandle made for a window without a permanent one; chained for deletion.
struct AfxTempWnd;

struct AfxThreadState {
    CWinApp* app = nullptr;          // registered by the CWinApp constructor
    HINSTANCE instance = nullptr;    // the executable
    HINSTANCE resource = nullptr;    // where dialogs, icons and strings come from
    MSG lastMsg{};                   // the last message a message loop retrieved
    MSG sentMsg{};                   // the message AfxWndProc is handling (for CWnd::Default)
    CWnd* wndInit = nullptr;         // the dialog DoModal is creating, until the hook attaches it
    CWnd* permanentWnds = nullptr;   // wrappers attached by SubclassWindow, newest first
    AfxTempWnd* tempWnds = nullptr;  // temporary wrappers handed out since the loop was last idle
    bool controlContainer = false;   // AfxEnableControlContainer was called
};

AfxThreadState& AfxState();

// Deletes the temporary wrappers; the modal loop calls it when the queue is empty.
void AfxDeleteTempWnds();

// The creation hook DoModal installs while the dialog manager creates the dialog: it attaches
// `wndInit` to the dialog window and to no other window the thread creates meanwhile.
LRESULT CALLBACK AfxCbtHook(int code, WPARAM wParam, LPARAM lParam);
