#pragma once

// Resource and control ids of the program. Read by the resource compiler
// as well, so only plain #defines live here.

// Icons: 128 is drawn in the header band, 129 is the window's own icon.
#define IDI_HEADER 128
#define IDI_PROGRAM 129
// Accelerators: Escape as command 2.
#define IDR_ACCELERATORS 130

// Page templates.
#define IDD_WELCOME 200
#define IDD_EULA 201
#define IDD_SETUP 202
#define IDD_DONE 203
#define IDD_EXPERT1 204
#define IDD_EXPERT2 205

#define IDC_STATIC (-1)

// Buttons that keep their meaning on every page.
#define IDC_NEXT 1
#define IDC_OPEN_ASSOCIATED 2
#define IDC_CANCEL 300
#define IDC_BACK 301
#define IDC_EXPERT1 303
#define IDC_EXPERT2 304

// Welcome page.
#define IDC_WELCOME_HEADING 308
#define IDC_WELCOME_BODY 309
#define IDC_UILANG_LABEL 307
#define IDC_UILANG 2002
#define IDC_REMOVE 315
#define IDC_CHANGE 2003

// Licence page.
#define IDC_EULA_HEADING 311
#define IDC_EULA_TEXT 306
#define IDC_EULA_ACCEPT 305

// Setup page.
#define IDC_SETUP_HEADING 313
#define IDC_LAYOUT_LANG 1202
#define IDC_LANG_ENTRY 1200
#define IDC_HOTKEYS 1205
#define IDC_DESKTOP_LINKS 1212
#define IDC_FAMILY_LABEL 314
#define IDC_FAMILY 1214
#define IDC_DECIMAL_LABEL 316
#define IDC_DECIMAL 1215
#define IDC_SETUP_NOTE 317
#define IDC_INSTALL 206
#define IDC_ALT_SET 1213

// Finish page.
#define IDC_DONE_TEXT1 1209
#define IDC_DONE_TEXT2 1204
#define IDC_RESTART 1213

// Key pages: row r (1..20) has check box base + r and list base + 100 + r.
#define IDC_EXPERT1_CHECK_BASE 1300
#define IDC_EXPERT1_LIST_BASE 1400
#define IDC_EXPERT2_CHECK_BASE 1500
#define IDC_EXPERT2_LIST_BASE 1600
