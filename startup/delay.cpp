#include "startup/delay.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"

const char kDelayRoot[] = "Software\\Orvenn Studios\\Vandrelix\\Delay";
int MonitorRegistered = 0;

namespace {

// The delay keys are kept in one view, the default one, for every read, write and delete.
struct DefaultView {
  RegMasks saved = SaveRegMasks();
  DefaultView() {
    RegReadAccess = KEY_READ;
    RegWriteAccess = KEY_ALL_ACCESS;
  }
  ~DefaultView() { RestoreRegMasks(saved); }
};

void DelayKey(const char* sub, char* out) {
  FormatText(out, 128, sub[0] ? "%s\\%s" : "%s%s", kDelayRoot, sub);
}

int ReadDelayText(HKEY root, const char* sub, const char* command, char* out, DWORD cap) {
  char key[128];
  DelayKey(sub, key);
  return (int)RegReadString(root, key, command, out, cap);
}

}  // namespace

void SplitDelayTime(int seconds, int* minutes, int* secondsEntry) {
  if (seconds < 0) seconds = 0;
  *minutes = seconds / 60;
  int rest = (seconds - *minutes * 60) / 10;
  *secondsEntry = rest < 1 ? 0 : rest;
}

int ShowCommandOfState(int state) {
  if (state == 1) return SW_MINIMIZE;
  if (state == 2) return SW_SHOWMAXIMIZED;
  return SW_SHOWNORMAL;  // 0, and anything unknown
}

void DelayedCommandLine(const char* applet, const char* command, const char* parameters, char* out, size_t cap) {
  out[0] = 0;
  if (applet && applet[0]) {
    AppendText(out, cap, applet);
    AppendText(out, cap, " ");
  }
  AppendText(out, cap, command);
  if (parameters && parameters[0]) {
    AppendText(out, cap, " ");
    AppendText(out, cap, parameters);
  }
}

int ScanDelayedPrograms() {
  ClearStartupItems();
  DefaultView view;
  static VersionFields fields;
  const HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  for (int flag = 0; flag < 2; ++flag) {
    HKEY key = RegOpenForReading(roots[flag], kDelayRoot);
    if (!key) continue;
    DWORD count = RegValueCount(key);
    for (DWORD index = 0, read = 0; read < count; ++index) {
      char command[256];
      BYTE data[260];
      LONG rc = RegValueAt(key, index, command, sizeof command - 1, data, sizeof data - 1, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      ++read;
      if (rc != ERROR_SUCCESS || !command[0]) continue;
      GetVersionFields(command, &fields);
      char title[260];
      if (!ReadDelayText(roots[flag], "Title", command, title, sizeof title)) {
        CopyText(title, fields.field[VF_ProductName]);
        if (!title[0] && !FileNameOf(command, title)) CopyText(title, command);
        if (ContainsNoCase(title, "Microsoft\xAE Windows\xAE")) CopyText(title, fields.field[VF_FileDescription]);
      }
      int code = atoi((const char*)data);
      char second[260];
      if (code != 200 || !ReadDelayText(roots[flag], "Shortcuts", command, second, sizeof second)) CopyText(second, title);
      char file[260], description[1024];
      CopyText(file, command);
      CopyText(description, fields.field[VF_FileDescription]);
      AddStartupItem(title, file, second, description, code, flag);
    }
    RegCloseKey(key);
  }
  return StartupItemCount;
}

void RemoveFromDelay(HKEY root, const char* command) {
  DefaultView view;
  static const char* const kSubs[] = {"", "Time", "Parameters", "Shortcuts", "Applet", "Title"};
  for (const char* sub : kSubs) {
    char key[128];
    DelayKey(sub, key);
    RegRemoveValue(root, key, command);
  }
}

void RestoreDelayedPrograms() {
  ScanDelayedPrograms();
  // The table is rebuilt by each restore's bookkeeping elsewhere: work from a copy of the items.
  int count = StartupItemCount;
  struct Delayed {
    char title[128], command[260], second[260];
    int code;
  };
  Delayed* items = (Delayed*)calloc(count ? count : 1, sizeof(Delayed));
  if (!items) return;
  for (int i = 0; i < count; ++i) {
    GetItemTitle(i, items[i].title);
    GetItemFile(i, items[i].command);
    GetItemCommand(i, items[i].second);
    items[i].code = GetItemLocation(i);
  }
  for (int i = 0; i < count; ++i) {
    int code = items[i].code;
    if (code >= 20 && code <= 28) code -= 20;
    HKEY root = code >= 11 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    char parameters[260] = "", applet[256] = "", stored[256] = "";
    {
      DefaultView view;
      ReadDelayText(root, "Parameters", items[i].command, parameters, sizeof parameters);
      ReadDelayText(root, "Applet", items[i].command, applet, sizeof applet);
      ReadDelayText(root, "", items[i].command, stored, sizeof stored);
    }
    RemoveFromDelay(root, items[i].command);
    char line[600];
    DelayedCommandLine(applet, items[i].command, parameters, line, sizeof line);
    RestoreStartupItem(items[i].title, line, items[i].second, atoi(stored));
  }
  free(items);
}

int LaunchProgram(HWND owner, const char* file, const char* parameters, int runAs) {
  RedirectionOff redirection;
  if (owner) SetForegroundWindow(owner);
  char state[256];
  char key[128];
  DelayKey("OpenAs", key);
  int value = RegReadString(HKEY_CURRENT_USER, key, file, state, sizeof state) ? atoi(state) : 0;
  int show = ShowCommandOfState(value > 2 ? 0 : value);
  SHELLEXECUTEINFOA info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.hwnd = owner;
  info.lpVerb = runAs ? "runas" : "open";
  info.lpFile = file;
  info.lpParameters = parameters && parameters[0] ? parameters : nullptr;
  info.nShow = show;
  if (!ShellExecuteExA(&info)) WinExec(file, show);
  return 0;
}

int ManageOwnStartupEntries(int remove) {
  int found = 0;
  for (int pass = 0; pass < (RunningOnWow64 ? 2 : 1); ++pass) {
    RegMasks saved = SaveRegMasks();
    if (pass == 1) RegSelectView(1);
    ScanStartupPrograms(0);
    // Removal rescans nothing, so work from a copy of what was found.
    int count = StartupItemCount;
    struct Own {
      char title[128], file[260], command[260];
      int code;
    };
    Own* own = (Own*)calloc(count ? count : 1, sizeof(Own));
    int owned = 0;
    for (int i = 0; own && i < count; ++i) {
      char file[260], plain[260];
      GetItemFile(i, file);
      ColonForEquals(file, plain);
      if (!ContainsNoCase(plain, "Vandrelix.exe") && !ContainsNoCase(plain, "VandrelixEx.exe")) continue;
      GetItemTitle(i, own[owned].title);
      CopyText(own[owned].file, file);
      GetItemCommand(i, own[owned].command);
      own[owned].code = GetItemLocation(i);
      ++owned;
    }
    for (int i = 0; i < owned; ++i) {
      if (ContainsNoCase(own[i].file, "Vandrelix.exe")) {
        found = 1;
        if (remove) {
          RemoveStartupItem(own[i].title, own[i].file, own[i].command, own[i].code);
          RemoveStartupItem("Vandrelix", own[i].file, own[i].command, own[i].code);
        }
      } else if (remove) {
        // By its own name too: any older entry that starts the explorer goes.
        RemoveStartupItem(own[i].title, own[i].file, own[i].command, own[i].code);
        RemoveStartupItem("Vandrelix Explorer", own[i].file, own[i].command, own[i].code);
      }
    }
    free(own);
    RestoreRegMasks(saved);
  }
  return found;
}

int SetMonitorAutostart(int on, int allUsers) {
  int result = ManageOwnStartupEntries(1);
  if (!on) {
    MonitorRegistered = 0;
    return result;
  }
  char name[32], folder[260], data[300];
  LoadText(2, name, sizeof name);
  ProgramFolder(folder);
  FormatText(data, sizeof data, "%s\\vandrelix.exe -expressboot", folder);
  RegMasks saved = SaveRegMasks();
  if (RunningOnWow64) {
    RegReadAccess = KEY_READ;
    RegWriteAccess = KEY_WRITE | KEY_WOW64_64KEY;
  }
  DWORD written = RegWriteString(allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\Run", name, data);
  RestoreRegMasks(saved);
  if (written) MonitorRegistered = 1;
  RegWriteString(HKEY_CURRENT_USER, kKnownRunList, data, "1");
  return written ? 1 : 0;
}
