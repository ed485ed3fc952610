#include "ui/maintenance.h"

#include <stdlib.h>

#include <initializer_list>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/online.h"
#include "startup/delay.h"
#include "startup/detected.h"
#include "ui/sheet.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const UINT kBoxTexts[kRepairCount] = {1421, 1422, 1423, 1424, 1425, 1426};

// Every saved window place and size of the product, as x, y, width and height per window.
const char* const kWindowPlaces[] = {
    "xPos",          "yPos",          "dxPos",           "dyPos",           "xInfo",           "yInfo",
    "dxInfo",        "dyInfo",        "xPosAlert",       "yPosAlert",       "dxAlert",         "dyAlert",
    "xPosSysFiles",  "yPosSysFiles",  "dxSysFiles",      "dySysFiles",      "xCookie",         "yCookie",
    "dxCookie",      "dyCookie",      "xDefaultWarning", "yDefaultWarning", "dxDefaultWarning", "dyDefaultWarning",
    "xPosAddFileType", "yPosAddFileType", "dxPosAddFileType", "dyPosAddFileType",
};

// One pass over the uninstall entries of the view the masks select. The names are taken first and
// the entries removed after, so a removal cannot shift the entries still to be looked at.
void RemoveOldEntriesInView(const char* version) {
  HKEY key = RegOpenForReading(HKEY_LOCAL_MACHINE, kUninstallKey);
  if (!key) return;
  DWORD count = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS)
    count = 0;
  typedef char Name[256];
  Name* names = (Name*)calloc(count ? count : 1, sizeof(Name));
  DWORD taken = 0;
  for (DWORD index = 0; names && taken < count; ++index) {
    LONG rc = RegSubkeyAt(key, index, names[taken], sizeof names[taken]);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_SUCCESS && names[taken][0]) ++taken;  // a longer name is no entry of ours
    if (index > count) break;
  }
  RegCloseKey(key);
  for (DWORD i = 0; i < taken; ++i) {
    char entry[400], display[256], displayVersion[256];
    FormatText(entry, sizeof entry, "%s\\%s", kUninstallKey, names[i]);
    if (RegReadString(HKEY_LOCAL_MACHINE, entry, "DisplayName", display, sizeof display) == 0) continue;
    if (!ContainsNoCase(display, "Vandrelix")) continue;
    // Without a display version nothing tells the entry is an older one: it stays.
    if (RegReadString(HKEY_LOCAL_MACHINE, entry, "DisplayVersion", displayVersion, sizeof displayVersion) == 0)
      continue;
    if (ContainsNoCase(version, displayVersion)) continue;
    RegRemoveKeyTree(HKEY_LOCAL_MACHINE, entry);
  }
  free(names);
}

void CleanDetectedAreas() {
  static const char* const kAreas[] = {"Tasks", "ActiveTasks", "Services", "Hidden", "IEHelper", "Startup"};
  for (const char* area : kAreas) {
    char key[96];
    FormatText(key, sizeof key, "%s\\%s", kDetectedRoot, area);
    CleanDetectedArea(key);
  }
}

void ResetCookieFolders() {
  for (const char* name : {"CookieFolder", "ChromeCookieFolder", "IECookieFolder"})
    RegRemoveValue(HKEY_CURRENT_USER, kProductKey, name);
}

// The companion registered once more to start with Windows, for the users the user chooses; a
// cancelled question leaves everything as it is.
void RegisterCompanionAgain(HWND owner) {
  INT_PTR allUsers = StartupTypeDialog(owner);
  if (allUsers < 0) return;
  SetMonitorAutostart(1, (int)allUsers);
}

INT_PTR CALLBACK MaintenanceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      char caption[128];
      LoadText(1419, caption, sizeof caption);
      SetWindowTextA(dialog, caption);
      SetItemTextFromId(dialog, 1420, IDC_MAINT_INTRO);
      for (int i = 0; i < kRepairCount; ++i) {
        SetItemTextFromId(dialog, kBoxTexts[i], IDC_MAINT_FIRST_BOX + i);
        CheckDlgButton(dialog, IDC_MAINT_FIRST_BOX + i, BST_UNCHECKED);
      }
      SetItemTextFromId(dialog, 793, IDC_MAINT_HELP);
      SetItemTextFromId(dialog, 1427, IDOK);
      SetItemTextFromId(dialog, 304, IDCANCEL);
      CenterWindow(dialog);
      // Shown on its own ("-Reset"), it is the program's only window: in front, ready for the keyboard.
      if (!GetWindow(dialog, GW_OWNER)) SetForegroundWindow(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          unsigned repairs = 0;
          for (int i = 0; i < kRepairCount; ++i)
            if (IsDlgButtonChecked(dialog, IDC_MAINT_FIRST_BOX + i) == BST_CHECKED) repairs |= 1u << i;
          EnableWindow(GetDlgItem(dialog, IDOK), FALSE);  // one run per press, however the keys repeat
          RunRepairs(repairs, dialog);
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 2);
          return TRUE;
        case IDC_MAINT_HELP:
          OpenHelpPage(dialog, 6035);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR MaintenanceDialog(HWND owner) {
  return DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_MAINTENANCE), owner, MaintenanceProc, 0);
}

void RunRepairs(unsigned repairs, HWND dialog) {
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  for (int i = 0; i < kRepairCount; ++i) {
    unsigned repair = 1u << i;
    if (!(repairs & repair)) continue;
    if (dialog) CheckDlgButton(dialog, IDC_MAINT_FIRST_BOX + i, BST_UNCHECKED);
    switch (repair) {
      case REPAIR_TRAY_ICON:
        RegisterCompanionAgain(dialog);
        SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
        break;
      case REPAIR_LANGUAGE:
        RemoveTextOverrides();
        break;
      case REPAIR_UNINSTALL:
        RemoveOldUninstallEntries();
        break;
      case REPAIR_DETECTED:
        CleanDetectedAreas();
        break;
      case REPAIR_PLACES:
        RemoveWindowPlaces();
        break;
      case REPAIR_COOKIE_FOLDERS:
        ResetCookieFolders();
        break;
    }
  }
  SetCursor(previous);
}

int RemoveOldUninstallEntries() {
  char version[1024];
  // Without this program's own version every entry would look older: refuse rather than guess.
  if (VersionText(version) == 0 || !version[0]) return 1;
  RemoveOldEntriesInView(version);  // the view the caller works in
  if (RunningOnWow64) {
    RegView64 view;
    RemoveOldEntriesInView(version);
  }
  return 1;
}

void RemoveTextOverrides() {
  char name[32];
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (int id = 0; id < 1500; ++id) {
      FormatText(name, sizeof name, "LString%d", id);
      RegRemoveValue(root, kProductKey, name);
    }
  }
}

void RemoveWindowPlaces() {
  RegView64 view;
  for (const char* place : kWindowPlaces) RegRemoveValue(HKEY_CURRENT_USER, kProductKey, place);
}
