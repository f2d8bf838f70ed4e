// Resource ids of the framework tests' resource script.
#pragma once

#define IDD_PLAIN       200  // hidden, no centring style, extended template
#define IDD_CENTERMOUSE 201  // DS_CENTERMOUSE
#define IDD_ABSALIGN    202  // DS_ABSALIGN at (10, 10), classic template
#define IDD_CENTER      203  // DS_CENTER
#define IDD_PLACED      204  // like IDD_PLAIN, at (20, 10)
#define IDD_NESTED      210  // a smaller box for nested runs
#define IDD_OWN_CLASS   211  // visible, of the window class "OrviaTestDialog"
#define IDD_MISSING     299  // no such template

#define IDC_GO   1001
#define IDC_EDIT 1002

#define IDS_FIRST    16  // block 2 holds 16 and 18 only
#define IDS_SECOND   18
#define IDS_LONG     300  // 600 characters
#define IDS_NO_BLOCK 400
