// Ids of the program's menu commands and dialog controls, shared by the
// resource script and the code. Plain #defines: the resource compiler reads
// this file too.
#pragma once

#define IDC_STATIC (-1)

// Menu "Vantrel"
#define IDM_EXIT 100
#define IDM_ABOUT 301

// Dialog "Quorrel"
#define IDC_BLOCKLIST 1001
#define IDC_RESULTLIST 1002
#define IDC_SELECTBLOCK 1003
#define IDC_CLEARSELECTION 1004
