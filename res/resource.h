// Resource and control ids of Pardwell.exe. Shared by the .rc script and the
// C++ code, so it must stay plain preprocessor definitions (windres reads it).
#ifndef PARDWELL_RES_RESOURCE_H
#define PARDWELL_RES_RESOURCE_H

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_MAIN 102
#define IDD_OPTIONS 103
#define IDD_SELECT_FOLDER 104

// Menu, accelerator table, toolbar and the program icon share one number.
#define IDR_MAINFRAME 128
// Resource type of a toolbar layout, the number the platform's tools use.
#define RT_TOOLBAR_LAYOUT 241
#define IDI_MAINFRAME 128

// Bitmaps.
#define IDB_BANNER 132        // 500 x 60, 24-bit: tiled header banner
#define IDB_STATE_IMAGES 133  // 64 x 16, 24-bit, magenta key: run marks
#define IDB_FORMATS 134       // 48 x 16, 24-bit, white key: Windows, Unix, Mac
#define IDB_SORT_ARROWS 140   // 18 x 5, 4-bit, magenta key: up, down
#define IDB_TOOLBAR 141       // 80 x 16, magenta key: toolbar, normal
#define IDB_TOOLBAR_GREY 142  // 80 x 16, magenta key: toolbar, disabled
// 16 x 16, 24-bit, white key: "As the project says", after bitmap 134's three.

// A picture's larger sizes (20, 24 and 32 pixels for a 16-pixel one) are
// resources named "P<id>_<size>" after the number of its 16-pixel form, e.g.
// P141_24; res/CMakeLists.txt writes their lines into sized_art.rc.
#define PARDWELL_SIZED_NAME(id, size) PARDWELL_SIZED_NAME_(id, size)
#define PARDWELL_SIZED_NAME_(id, size) P##id##_##size

// Cursors.
#define IDR_LOADING_ANI 135  // animated cursor, ten frames
#define IDC_HAND_LINK 137    // monochrome 32 x 32 hand pointer

// Controls of dialog 102.
#define IDC_JOB_LIST 1000
#define IDC_FORMAT 1004
#define IDC_TOOLBAR_PLACE 1005
#define IDC_CONVERT 1006
#define IDC_KEEP_ON_TOP 1007
#define IDC_CLOSE_WHEN_DONE 1008
#define IDC_STOP 1011
#define IDC_PROGRESS 1012
#define IDC_STATUS 1013
#define IDC_OPTIONS_LINK 1032
#define IDC_FEEDBACK_LINK 1034

// Controls of dialog 100.
#define IDC_ABOUT_VERSION 1018
#define IDC_ABOUT_WEB_LINK 1021
#define IDC_ABOUT_MAIL_LINK 1022
#define IDC_ABOUT_PURPOSE 1029

// Controls of dialog 103 (Options).
#define IDC_BACKUP_FILE 1009
#define IDC_KEEP_TIMESTAMP 1014
#define IDC_DEFAULT_FILTER 1017
#define IDC_INTEGRATION 1025
#define IDC_PROGRAM 1027
#define IDC_BROWSE 1028
#define IDC_KEEP_ATTRIBUTES 1040
#define IDC_IGNORE_READ_ONLY 1041
#define IDC_SKIP_BINARY 1042
#define IDC_SKIP_IGNORED 1100

// Controls of dialog 104 (Select a Folder).
#define IDC_FOLDER_TREE 1016
#define IDC_FILE_TYPES 1017
#define IDC_FOLDER_PROMPT 1018
#define IDC_FILE_TYPES_LABEL 1021
#define IDC_INCLUDE_SUBFOLDERS 1022
// The platform framework's id of a size grip.
#define IDC_SIZE_GRIP 0xE900

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The standard toolbar control id of the platform framework.
#define ID_TOOLBAR_CTRL 0xE800

// Menu, toolbar and accelerator commands.
#define ID_EDIT_ADD_FILES 32771
#define ID_EDIT_ADD_FOLDER 32772
#define ID_EDIT_DELETE 32773
#define ID_EDIT_CLEAR 32774
#define ID_EDIT_OPEN 32780
#define ID_EDIT_CHECK 32790  // Ctrl+K: read every file's line breaks, change nothing
#define ID_MAIN_OPTIONS 32781
#define ID_MAIN_ABOUT 32783
#define ID_FORMAT_WINDOWS 32787  // Ctrl+W: entry 0
#define ID_FORMAT_MAC 32788      // Ctrl+U: entry 1
#define ID_FORMAT_UNIX 32789     // Ctrl+M: entry 2
#define ID_FORMAT_PROJECT 32800  // Ctrl+P: entry 3, as the project says
#define ID_HELP 57670

// System-menu commands appended to the main dialog's system menu.
#define IDM_SYS_ABOUT 16
#define IDM_SYS_OPTIONS 32
#define IDM_SYS_HELP 48

// Strings.
#define IDS_ABOUT_MENU 101    // "&About Pardwell..."
#define IDS_CAPTION 102       // banner caption
#define IDS_OPTIONS_MENU 103  // "&Options..."
#define IDS_HELP_MENU 104     // "&Help"
#define IDS_USAGE 200
#define IDS_FILES_ADDED 201  // "%d file(s) added"
#define IDS_CONVERTING 202   // "Converting..."
#define IDS_PROGRESS 203     // "Converting: %d / %d"
#define IDS_CONVERTED 204
#define IDS_ABORTED 205
#define IDS_SUMMARY 206          // "%s: %d success, %d fail"
#define IDS_SUMMARY_SKIPPED 207  // "%s: %d success, %d fail, %d skipped"
// The "Line breaks" column: its title, then what a file had when last read.
#define IDS_COLUMN_LINE_BREAKS 208
#define IDS_BREAKS_CRLF 209
#define IDS_BREAKS_LF 210
#define IDS_BREAKS_CR 211
#define IDS_BREAKS_NONE 212
#define IDS_BREAKS_MIXED 213
#define IDS_BREAKS_BINARY 214
#define IDS_BREAKS_UTF16LE 215
#define IDS_BREAKS_UTF16BE 216
// The infotip of a marked entry: why it is marked so.
#define IDS_REASON_IN_FORMAT 217
#define IDS_REASON_BINARY 218
#define IDS_REASON_CHECKED 219
#define IDS_REASON_CONVERTED 220
#define IDS_REASON_FIRST_FAILURE 221  // one a ConvertFailure, ReadOnly to InvalidFormat, in its order
// 228 and 229 are taken: the later failures follow from here, in their order.
#define IDS_REASON_CHANGED 230
#define IDS_REASON_IN_USE 231
#define IDS_REASON_STOPPED 232
// Chec&k Line Breaks: its status texts.
#define IDS_CHECKING 240        // "Checking..."
#define IDS_CHECK_PROGRESS 241  // "Checking: %d / %d"
#define IDS_CHECKED 242         // "Checked"
#define IDS_CHECK_SUMMARY 243   // "%s: %d read, %d fail"
// Open (Ctrl+O) when the program cannot be given the file: its name, the path.
#define IDS_OPEN_TOO_LONG 244
#define IDS_OPEN_FAILED 245
// A run after the project's rules: why a file was left, what a check found,
// and the "Line breaks" column's text beside the project's target.
#define IDS_REASON_NO_RULE 260
#define IDS_REASON_MARKED_BINARY 261
#define IDS_REASON_WOULD_CHANGE 262  // "%s": the target's word
#define IDS_BREAKS_PROJECT 263       // "%s, project: %s"

#define IDS_MAILTO 2031          // "mailto:%s?subject=About Pardwell"
#define IDS_FEEDBACK_FIRST 2051  // three prompts, 2051..2053
#define IDS_FEEDBACK_COUNT 3
#define IDS_APP_TITLE 57344  // "Pardwell": application title and registry key

// What the Options link does, as assistive technology reads it.
#define IDS_OPTIONS_LINK_ACTION 300

#endif
