// Ids of Meldrove Finder's menu commands, accelerators and controls, shared by
// the resource script, the window and the driver of the end-to-end tests.
// Plain #defines: the resource compiler reads this file too.
#pragma once

#define IDC_STATIC (-1)

#define IDI_FINDER 1
#define IDR_FINDER_MENU 2
#define IDR_FINDER_ACCELERATORS 3

// Menu commands, 100-199.
#define IDM_ADD_FOLDER 100
#define IDM_EXPORT 101
#define IDM_EXIT 102
#define IDM_COPY 110
#define IDM_SELECT_ALL 111
#define IDM_PROBLEMS 120
#define IDM_REREAD 121
#define IDM_ABOUT 130
// View > Sort by: one command per column of the list, in its order, as a
// click on the column's header (again: the other way).
#define IDM_SORT_FIRST 140

// Controls of the main window, 200-299.
#define IDC_TEXT_LABEL 200
#define IDC_TEXT 201
#define IDC_LANGUAGE_LABEL 202
#define IDC_LANGUAGE 203
#define IDC_LANGUAGE_LIST 204
#define IDC_BLOCKS_LABEL 205
#define IDC_BLOCKS 206
#define IDC_MATCH_LABEL 207
#define IDC_MATCH 208
#define IDC_NEAR_LABEL 209
#define IDC_NEAR 210
#define IDC_NEAR_SPIN 211
#define IDC_RESULTS 212
#define IDC_PREVIEW 213
#define IDC_MISSING 214
#define IDC_STATUS 215
#define IDC_PROGRESS 216

// WM_COPYDATA kinds another program sends with a UTF-16 path (the
// terminating null included), for scripts and tests, which cannot drive a
// file or folder dialog: export the rows to that file, as File > Export does
// after asking where (the reply is 1 when the file was written); or add that
// folder, as File > Add folder does (the reply is 1; the fonts are read
// after it).
#define FINDER_COPYDATA_EXPORT_CSV 0x4D460001
#define FINDER_COPYDATA_EXPORT_JSON_LINES 0x4D460002
#define FINDER_COPYDATA_ADD_FOLDER 0x4D460003
