// Ids of the selection dialog's controls, shared by the dialog's procedure
// and the resource script that lays the dialog out. Plain #defines: the
// resource compiler reads this file too.
#pragma once

#define IDC_BLOCKLIST 1001
#define IDC_RESULTLIST 1002
#define IDC_SELECTBLOCK 1003
#define IDC_CLEARSELECTION 1004
