// Resource and control identifiers of the setup program. Plain macros: included by the
// resource script, by the Windows code and by the platform-free language code alike.
#ifndef ORVIA_RES_RESOURCE_H
#define ORVIA_RES_RESOURCE_H

#define IDD_ABOUT_DIALOG   100
#define IDS_ABOUT_MENU     101
#define IDD_SETUP_DIALOG   102
#define IDR_MAINFRAME      128
#define IDC_SETUP_ICON     131
#define IDI_SPARE          132
#define IDI_SETUP          133
#define IDC_LANGUAGE_COMBO 1000
#define IDC_INSTALL_BUTTON 1001
#define IDC_CANCEL_BUTTON  1002
#define IDC_PROMPT_LABEL   (-1)
#define IDM_ABOUT          0x0010

#endif
