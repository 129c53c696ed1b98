// Ids of the program's menu commands and dialog controls, shared by the
// resource script and the code. Plain #defines: the resource compiler reads
// this file too.
#pragma once

#include "selection/dialog_ids.h"  // dialog "Quorrel"

#define IDC_STATIC (-1)

// Menu "Vantrel"
#define IDM_EXIT 100
#define IDM_ABOUT 301
