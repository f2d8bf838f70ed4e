// Time stamps at the steps of the program's start-up, for the profile that tools/bench prints.
// Only the bench's profile builds (configured with ORVIA_STARTUP_PROFILE=ON) record them; in
// every other build AFX_STARTUP_STAMP is removed by the preprocessor, so that the shipping
// program comes out byte for byte as without it (an empty inline function does not: its mere
// presence changes the order in which the compiler lays out a file's functions).
#pragma once

// The steps, in the order in which a start-up passes them; each stamp marks the end of its step.
enum class AfxStartupStep {
    EntryPoint,           // the framework's entry point is reached
    DllRestriction,       // the search for DLLs loaded by bare name is restricted
    ApplicationHandles,   // error mode, instance, names and paths
    CommonControls,       // InitCommonControlsEx has returned
    LanguageLibrary,      // the search for a language-resource library is over
    RestartRegistration,  // the restart registration is over
    BeforeDialog,         // control container, shell manager and registry key; the dialog is next
    DialogCreated,        // the dialog's window and controls exist (WM_INITDIALOG arrives)
    Initialised,          // the dialog's initialisation (and centring) is over
    FirstPaint,           // the dialog's first WM_PAINT arrives
};

#if defined(ORVIA_STARTUP_PROFILE)
void AfxStartupStamp(AfxStartupStep step);
#define AFX_STARTUP_STAMP(step) AfxStartupStamp(AfxStartupStep::step)
#else
#define AFX_STARTUP_STAMP(step) static_cast<void>(0)
#endif
