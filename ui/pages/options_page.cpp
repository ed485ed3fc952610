#include "ui/pages/options_page.h"

#include <commctrl.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/online.h"
#include "records/program_report.h"
#include "records/scan_log.h"
#include "records/settings_export.h"
#include "startup/delay.h"
#include "startup/items.h"
#include "ui/history_dialog.h"
#include "ui/item_menu.h"
#include "ui/patrol_dialog.h"
#include "ui/sheet.h"

int (*ExplorerMenuHook)(int on) = nullptr;

namespace {

const int kPageId = 6033;
const int kNoOption = -1;

// The check boxes with their texts and, where a box is simply an option, the option it shows.
struct OptionBox {
  int control;
  UINT text;
  int option;
};
const OptionBox kBoxes[] = {
    {IDC_OPT_AUTOSTART, 353, kNoOption},  // the companion's own startup entry
    {IDC_OPT_EXPLORER_MENU, 1185, OPT_ExplorerMenu},
    {IDC_OPT_UNINSTALL, 1356, OPT_RealtimeUninstall},
    {IDC_OPT_SOUND, 354, OPT_Sound},
    {IDC_OPT_HISTORY, 709, OPT_History},
    {IDC_OPT_HIDE_TAZZIK, 974, OPT_HideTazzik},
    {IDC_OPT_LOCK_FILE_TYPES, 928, OPT_LockFileTypes},
    {IDC_OPT_CONFIRM_EXIT, 749, OPT_ConfirmExit},
    {IDC_OPT_TRAY_ICON, 1148, kNoOption},  // TrayIconChoice
    {IDC_OPT_QOVA_FORMAT, 1150, OPT_QovaFormat},
    {IDC_OPT_CLOUD_DATA, 1335, OPT_CloudData},
};

// The patrol switches: the companion's patrol time of an area, and the real-time flag that gives
// the switch its third look.
struct PatrolSwitch {
  int control;
  int label;
  UINT labelText;
  UINT caption;     // of the patrol-time dialog
  int option;
  int realtime;     // kNoOption: none
  const char* name;  // as handed to WriteOption
};
const PatrolSwitch kSwitches[] = {
    {IDC_OPT_START_PAGE, IDC_OPT_START_PAGE_LABEL, 635, 791, OPT_StartPage, OPT_RealtimeStartPage, "StartPage"},
    {IDC_OPT_HOSTS_FILE, IDC_OPT_HOSTS_FILE_LABEL, 735, 792, OPT_HostFile, OPT_RealtimeSysFiles, "HOSTFile"},
    {IDC_OPT_WININIT, IDC_OPT_WININIT_LABEL, 355, 790, OPT_WinInit, kNoOption, "WinInit"},
};

const struct {
  int control;
  UINT text;
} kButtons[] = {
    {IDC_OPT_VIEW_HISTORY, 727}, {IDC_OPT_VIEW_HOSTS, 734},     {IDC_OPT_EXPORT, 853},      {IDC_OPT_RESTORE_DELAYED, 1125},
    {IDC_OPT_PROGRAM_REPORT, 310}, {IDC_OPT_SCAN_LOG, 1137}, {IDC_OPT_SPREADSHEET, 1145}, {IDC_OPT_HELP, 1164},
};

struct TrayIconMemory {
  int loaded;
  int value;
} trayIcon;

int IsChecked(HWND page, int control) { return IsDlgButtonChecked(page, control) == BST_CHECKED; }

void Check(HWND page, int control, int on) { CheckDlgButton(page, control, on ? BST_CHECKED : BST_UNCHECKED); }

void ShowSwitch(HWND page, const PatrolSwitch& patrol) {
  HWND control = GetDlgItem(page, patrol.control);
  if (!control) return;
  int on = OptionSet[patrol.option] > 0;
  static const int kOn[] = {156, 154, 155, 193};
  static const int kOff[] = {154, 156, 155, 193};
  static const int kRealtimeOn[] = {193, 154, 155, 154};
  static const int kRealtimeOff[] = {193, 156, 155, 154};
  int realtime = patrol.realtime != kNoOption && OptionSet[patrol.realtime] != 0;
  const int* bitmaps = realtime ? (on ? kRealtimeOn : kRealtimeOff) : (on ? kOn : kOff);
  SetBitmapButton(control, bitmaps, 4, patrol.control);
}

void SetPatrolTime(HWND page, const PatrolSwitch& patrol) {
  INT_PTR minutes = PatrolTimeDialog(page, patrol.caption, OptionSet[patrol.option]);
  if (minutes < 0) return;  // cancelled: nothing changes
  OptionSet[patrol.option] = (int)minutes;
  if (patrol.option != OPT_WinInit) PatrolLoaded[patrol.option] = (int)minutes;
  WriteOption(patrol.name, (int)minutes);
  ShowSwitch(page, patrol);
}

// The companion starts with Windows: asked for whom when switched on; the box then shows what
// the registry holds, so a refused write or a cancelled question leaves it unticked.
void SetCompanionAutostart(HWND page) {
  if (!IsChecked(page, IDC_OPT_AUTOSTART)) {
    ManageOwnStartupEntries(1);
  } else {
    INT_PTR allUsers = StartupTypeDialog(page);
    if (allUsers >= 0) SetMonitorAutostart(1, (int)allUsers);
  }
  Check(page, IDC_OPT_AUTOSTART, ManageOwnStartupEntries(0));
}

void SetHideTazzik(HWND page) {
  OptionSet[OPT_HideTazzik] = IsChecked(page, IDC_OPT_HIDE_TAZZIK);
  if (OptionSet[OPT_HideTazzik]) ShowMessageDialog(927);
  HWND companion = FindWindowA("Vandrelix", nullptr);
  DWORD_PTR ignored = 0;
  if (companion)
    SendMessageTimeoutA(companion, WM_COMMAND, 6053, (LPARAM)OptionSet[OPT_HideTazzik], SMTO_ABORTIFHUNG, 3000,
                        &ignored);
}

void SetQovaFormat(HWND page) {
  int on = IsChecked(page, IDC_OPT_QOVA_FORMAT);
  if (on) {
    char text[1024];
    LoadText(1151, text, sizeof text);
    MessageBoxExA(page, text, ApplicationTitle, MB_ICONEXCLAMATION | MB_TOPMOST, UiLanguage);
  }
  OptionSet[OPT_QovaFormat] = on;
}

void OnBoxClicked(HWND page, const OptionBox& box) {
  switch (box.control) {
    case IDC_OPT_AUTOSTART:
      SetCompanionAutostart(page);
      break;
    case IDC_OPT_EXPLORER_MENU:
      OptionSet[OPT_ExplorerMenu] = IsChecked(page, box.control);
      if (ExplorerMenuHook) ExplorerMenuHook(OptionSet[OPT_ExplorerMenu]);
      break;
    case IDC_OPT_HIDE_TAZZIK:
      SetHideTazzik(page);
      break;
    case IDC_OPT_TRAY_ICON:
      trayIcon.loaded = 1;
      trayIcon.value = IsChecked(page, box.control) ? 159 : 101;
      WriteOption("TrayIcon", trayIcon.value);
      break;
    case IDC_OPT_QOVA_FORMAT:
      SetQovaFormat(page);
      break;
    default:
      OptionSet[box.option] = IsChecked(page, box.control);
      break;
  }
  SaveOptions();
}

void RestoreAllDelayed(HWND page) {
  int waiting = ScanDelayedPrograms();
  char text[512];
  if (waiting == 0) {
    LoadText(1446, text, sizeof text);
  } else {
    RestoreDelayedPrograms();
    int returned = waiting - ScanDelayedPrograms();
    char pattern[512], count[16];
    LoadText(1447, pattern, sizeof pattern);
    FormatText(count, sizeof count, "%d", returned);
    FillTemplate(text, sizeof text, pattern, count);
  }
  ClearStartupItems();
  MessageBoxExA(page, text, ApplicationTitle, MB_ICONINFORMATION, UiLanguage);
}

void InProgramFolder(const char* name, char* out) {
  ProgramFolder(out);
  AppendText(out, 260, "\\");
  AppendText(out, 260, name);
}

void OnCommand(HWND page, int command) {
  SheetBusyScope busy;
  for (const OptionBox& box : kBoxes) {
    if (box.control == command) {
      OnBoxClicked(page, box);
      return;
    }
  }
  for (const PatrolSwitch& patrol : kSwitches) {
    if (patrol.control == command) {
      SetPatrolTime(page, patrol);
      return;
    }
  }
  char path[260];
  switch (command) {
    case IDC_OPT_VIEW_HISTORY:
      HistoryDialog(page);
      break;
    case IDC_OPT_VIEW_HOSTS:
      OpenHostsFile();
      break;
    case IDC_OPT_EXPORT:
      ExportSettings();
      break;
    case IDC_OPT_RESTORE_DELAYED:
      RestoreAllDelayed(page);
      break;
    case IDC_OPT_PROGRAM_REPORT:
      WritePageReport();
      break;
    case IDC_OPT_SCAN_LOG:
      InProgramFolder("Kelvrask.log", path);
      WriteScanLog(path);
      break;
    case IDC_OPT_SPREADSHEET:
      InProgramFolder("VandrelixLog.csv", path);
      WriteSpreadsheetReport(path);
      break;
    case IDC_OPT_HELP:
      OpenHelpPage(page, kPageId);
      break;
    default:
      HandleSharedItemCommand(page, kPageId, command, -1);
      break;
  }
}

RECT PlaceInPage(HWND page, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, page, (POINT*)&r, 2);
  return r;
}

// The group ends below its last shown switch, and the buttons keep their distance to the group.
void FitGroup(HWND page) {
  HWND group = GetDlgItem(page, IDC_OPT_GROUP);
  RECT box = PlaceInPage(page, group);
  int last = box.top;
  for (const PatrolSwitch& patrol : kSwitches) {
    HWND control = GetDlgItem(page, patrol.control);
    if (control && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE)) last = PlaceInPage(page, control).bottom;
  }
  RECT margin = {0, 0, 0, 7};
  MapDialogRect(page, &margin);
  int shift = last + margin.bottom - box.bottom;
  if (shift == 0) return;
  SetWindowPos(group, nullptr, 0, 0, box.right - box.left, box.bottom - box.top + shift,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (const auto& button : kButtons) {
    HWND control = GetDlgItem(page, button.control);
    RECT r = PlaceInPage(page, control);
    SetWindowPos(control, nullptr, r.left, r.top + shift, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(page, nullptr, TRUE);
}

void Activate(HWND page) {
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_APPSTARTING));
  CurrentPageId = kPageId;
  CreateActivePage(page);
  int nt = IsNtPlatform();
  // The restart-file watch concerns the older Windows family only; the original tray icon is offered
  // only on the NT family.
  ShowWindow(GetDlgItem(page, IDC_OPT_WININIT), nt ? SW_HIDE : SW_SHOW);
  ShowWindow(GetDlgItem(page, IDC_OPT_WININIT_LABEL), nt ? SW_HIDE : SW_SHOW);
  ShowWindow(GetDlgItem(page, IDC_OPT_TRAY_ICON), nt ? SW_SHOW : SW_HIDE);
  FitGroup(page);
  for (const PatrolSwitch& patrol : kSwitches) ShowSwitch(page, patrol);
  for (const OptionBox& box : kBoxes) {
    if (box.option == kNoOption) continue;
    int value = OptionSet[box.option];
    Check(page, box.control, box.option == OPT_History ? value >= 1 : value != 0);
  }
  Check(page, IDC_OPT_AUTOSTART, ManageOwnStartupEntries(0));
  Check(page, IDC_OPT_TRAY_ICON, TrayIconChoice() != 101);
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
}

void Deactivate(HWND page) {
  CleanupActivePage(page);
  for (const PatrolSwitch& patrol : kSwitches) {
    HWND control = GetDlgItem(page, patrol.control);
    if (control) ClearBitmapButton(control, 5);
  }
}

void Initialise(HWND page) {
  SetItemTextFromId(page, 251, IDC_OPT_INTRO);
  SetItemTextFromId(page, 253, IDC_OPT_GROUP);
  for (const OptionBox& box : kBoxes) SetItemTextFromId(page, box.text, box.control);
  for (const PatrolSwitch& patrol : kSwitches) {
    SetItemTextFromId(page, patrol.labelText, patrol.label);
    LetKeyboardPress(GetDlgItem(page, patrol.control));
  }
  for (const auto& button : kButtons) SetItemTextFromId(page, button.text, button.control);
  StartupInit();
  PlaceSheet(page, "xPos", "yPos", "dxPos", "dyPos");
}

INT_PTR OnNotify(HWND page, NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE:
      Activate(page);
      SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
      return TRUE;
    case PSN_KILLACTIVE:
      Deactivate(page);
      SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
      return TRUE;
    case PSN_RESET:
      Deactivate(page);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int TrayIconChoice() {
  if (!trayIcon.loaded) {
    trayIcon.value = ReadOption("TrayIcon", 101);
    trayIcon.loaded = 1;
  }
  return trayIcon.value;
}

INT_PTR CALLBACK OptionsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise(page);
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(page, (NMHDR*)lParam);
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnCommand(page, LOWORD(wParam));
      return TRUE;
    case kLayoutPage:
    case WM_SIZE:
    case kRaisePage:
      return TRUE;  // the page keeps its controls where the template puts them
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      BitmapButtonMouse(page, message, lParam);
      return FALSE;
  }
  return FALSE;
}
