// The Options page: the user's choices as check boxes, the companion's three patrol switches, and the
// buttons for the change history, the HOSTS file, the settings export, the delayed programs, the
// reports and the scan log.
#pragma once
#include <windows.h>

INT_PTR CALLBACK OptionsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Writes (on) or removes the Explorer context-menu entry of the program; supplied by the program's
// frame, which owns the entry. Without it the check box changes the option only.
extern int (*ExplorerMenuHook)(int on);

// The companion's tray icon as chosen (101 its usual icon, 159 the original one): read from the
// options the first time, then kept in memory, as every option change of this edition is.
int TrayIconChoice();

enum {
  IDD_OPTIONS_PAGE = 114,
  IDC_OPT_INTRO = 1049,
  IDC_OPT_GROUP = 1051,
  IDC_OPT_AUTOSTART = 1017,
  IDC_OPT_EXPLORER_MENU = 1018,
  IDC_OPT_UNINSTALL = 1019,
  IDC_OPT_SOUND = 1020,
  IDC_OPT_HISTORY = 1024,
  IDC_OPT_HIDE_TAZZIK = 1025,
  IDC_OPT_LOCK_FILE_TYPES = 1026,
  IDC_OPT_CONFIRM_EXIT = 1027,
  IDC_OPT_TRAY_ICON = 1201,
  IDC_OPT_QOVA_FORMAT = 1202,
  IDC_OPT_CLOUD_DATA = 1203,
  IDC_OPT_START_PAGE = 1136,  // bitmap switches, each with its label
  IDC_OPT_HOSTS_FILE = 1137,
  IDC_OPT_WININIT = 1138,
  IDC_OPT_WININIT_LABEL = 1139,
  IDC_OPT_START_PAGE_LABEL = 1140,
  IDC_OPT_HOSTS_FILE_LABEL = 1141,
  IDC_OPT_VIEW_HISTORY = 1104,
  IDC_OPT_VIEW_HOSTS = 1105,
  IDC_OPT_EXPORT = 1106,
  IDC_OPT_RESTORE_DELAYED = 1107,
  IDC_OPT_PROGRAM_REPORT = 1108,
  IDC_OPT_SCAN_LOG = 1109,
  IDC_OPT_SPREADSHEET = 1110,
  IDC_OPT_HELP = 1236,
};
