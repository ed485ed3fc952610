#include "areas/browser.h"

#include <string.h>

#include "areas/program_facts.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/history.h"
#include "records/net_reports.h"
#include "startup/items.h"

const char kBhoKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kExtensionKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
const char kActiveXStatsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats";
const char kActiveXCompatKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility";

namespace {

const char kFlagsValue[] = "Compatibility Flags";

// Calls visit(name) for every subkey of a key read with the current access mask.
void ForEachSubkey(HKEY root, const char* path, void (*visit)(const char* name)) {
  HKEY key = RegOpenForReading(root, path);
  if (!key) return;
  char name[260];
  for (DWORD i = 0;; ++i) {
    LONG rc = RegSubkeyAt(key, i, name, 257);
    if (rc == ERROR_MORE_DATA) continue;  // a name too long for a class id
    if (rc != ERROR_SUCCESS) break;
    visit(name);
  }
  RegCloseKey(key);
}

// An item of this kind already carries this class id (the same object seen in the other view).
int IsListed(int code, const char* classId) {
  for (int i = 0; i < StartupItemCount; ++i) {
    const StartupItem* item = StartupItemTable[i];
    if (item->location == code && lstrcmpiA(item->command, classId) == 0) return 1;
  }
  return 0;
}

void AddHelperObject(const char* classId) {
  if (IsListed(kCodeBho, classId)) return;
  char name[260], server[260], id[260];
  if (!ClassServerOf(classId, name, server)) return;
  CopyText(id, classId);
  char none[4] = "";
  AddStartupItem(name, server, id, none, kCodeBho, 0);
}

void AddToolbars() {
  HKEY key = RegOpenForReading(HKEY_LOCAL_MACHINE, kToolbarKey);
  if (!key) return;
  static BYTE data[2049];  // the values' data is not used; it only has to fit
  char classId[260];
  for (DWORD i = 0;; ++i) {
    DWORD type = 0;
    LONG rc = RegValueAt(key, i, classId, 256, data, sizeof data - 1, nullptr, &type);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    if (!classId[0] || IsListed(kCodeToolbar, classId)) continue;
    char name[260], server[260];
    if (!ClassServerOf(classId, name, server)) continue;
    static VersionFields fields;
    GetVersionFields(server, &fields);
    char title[260];
    CopyText(title, fields.field[VF_ProductName]);
    if (!title[0] && !FileNameOf(server, title)) continue;
    AddStartupItem(title, server, classId, fields.field[VF_ProductVersion], kCodeToolbar, 0);
  }
  RegCloseKey(key);
}

void AddExtension(const char* id) {
  char key[600];
  FormatText(key, sizeof key, "%s\\%s", kExtensionKey, id);
  char title[260];
  if (!RegReadString(HKEY_LOCAL_MACHINE, key, "ButtonText", title, 260)) return;
  // A button text taken from the browser's own resources names the "Related" links button.
  if (ContainsNoCase(title, "shdoclc.dll")) CopyText(title, "Related");
  char exec[260];
  if (!RegReadString(HKEY_LOCAL_MACHINE, key, "Exec", exec, 260))
    RegReadString(HKEY_LOCAL_MACHINE, key, "script", exec, 260);
  char icon[260];
  if (!RegReadString(HKEY_LOCAL_MACHINE, key, "HotIcon", icon, 260)) CopyText(icon, exec);
  char program[260];
  ExeFromCommand(exec, program);
  static VersionFields fields;
  if (program[0] && GetVersionFields(program, &fields)) CopyText(title, fields.field[VF_ProductName]);
  if (!title[0]) return;
  char name[260];
  CopyText(name, id);
  AddStartupItem(title, name, exec, icon, kCodeExtension, 0);
}

// Deletes a key and its subkeys in one view of 64-bit Windows (the default view elsewhere): 1 when
// a key was there and is gone. A symbolic link is never followed: the key it points at is another's.
int DeleteKeyInView(HKEY root, const char* path, DWORD view) {
  RegViewGuard guard(view == KEY_WOW64_64KEY);
  HKEY key = RegOpenForReading(root, path);
  if (!key) return 0;
  RegCloseKey(key);
  return RegRemoveKeyTree(root, path) == 1;
}

// Removes a key from every registry view; returns the number of views it was removed from.
int RemoveKeyEveryView(HKEY root, const char* path) {
  if (!RunningOnWow64) return DeleteKeyInView(root, path, 0);
  return DeleteKeyInView(root, path, KEY_WOW64_32KEY) + DeleteKeyInView(root, path, KEY_WOW64_64KEY);
}

// Removes a named value from every registry view; returns the number of views it was removed from.
int RemoveValueEveryView(HKEY root, const char* path, const char* name) {
  if (!name[0]) return 0;  // never the default value
  int removed = 0;
  for (int v = 0; v < (RunningOnWow64 ? 2 : 1); ++v) {
    RegViewGuard guard(v == 1);  // the 32-bit (default) view, then the 64-bit one
    removed += (int)RegRemoveValue(root, path, name);
  }
  return removed;
}

// Lists one control unless Microsoft's are hidden and this is one.
void AddControl(const char* classId) {
  char name[260], server[260];
  if (!ClassServerOf(classId, name, server) || !server[0]) return;
  char file[260];
  ExeFromCommand(server, file);
  if (!file[0]) return;
  // Kept for the page that lists these next, so each server's version is read once per fill.
  const ProgramFacts* facts = ProgramFactsOf(file, 0);
  if (OptionSet[OPT_HideMicrosoftActiveX] && ContainsNoCase(facts->company, "Microsoft")) return;
  char id[260], version[128];
  CopyText(id, classId);
  CopyText(version, facts->version);
  AddStartupItem(name, file, id, version, kCodeActiveX, (int)GetCompatibilityFlags(classId));
}

// A control the browser reports as Type 2 or above under its stats is not one it runs.
void AddStatsControl(const char* classId) {
  char key[600];
  FormatText(key, sizeof key, "%s\\%s\\iexplore", kActiveXStatsKey, classId);
  if (RegReadDword(HKEY_CURRENT_USER, key, "Type") >= 2) return;
  AddControl(classId);
}

void AddCompatControl(const char* classId) {
  if (IsListed(kCodeActiveX, classId)) return;  // already listed from the stats key
  AddControl(classId);
}

int CompatKeyOf(const char* classId, char* out, size_t cap) {
  if (!classId || !classId[0] || strlen(classId) > 256) return 0;
  FormatText(out, cap, "%s\\%s", kActiveXCompatKey, classId);
  return 1;
}

int WriteFlags(const char* classId, DWORD set, DWORD clear) {
  char key[400];
  if (!CompatKeyOf(classId, key, sizeof key)) return 0;
  RegEnsureKey(HKEY_LOCAL_MACHINE, key);
  DWORD flags = (GetCompatibilityFlags(classId) | set) & ~clear;
  return (int)RegWriteDword(HKEY_LOCAL_MACHINE, key, kFlagsValue, &flags);
}

}  // namespace

int EnumerateIEHelpers() {
  ClearStartupItems();
  for (int pass = 0; pass < (RunningOnWow64 ? 2 : 1); ++pass) {
    RegViewGuard guard(pass == 1);  // the default view, then the 64-bit one
    ForEachSubkey(HKEY_LOCAL_MACHINE, kBhoKey, AddHelperObject);
    AddToolbars();
  }
  ForEachSubkey(HKEY_LOCAL_MACHINE, kExtensionKey, AddExtension);
  return StartupItemCount;
}

int RemoveIEHelper(const char* file, int index) {
  if (index < 0 || index >= StartupItemCount || !file) return 0;
  const StartupItem* item = StartupItemTable[index];
  // The row and the table must agree, or another add-on's module would be unregistered.
  if (lstrcmpiA(item->fileName, file) != 0) return 0;
  int code = item->location;
  char used[600];
  int removed = 0;
  switch (code) {
    case kCodeBho:
      if (!item->command[0]) return 0;
      FormatText(used, sizeof used, "%s\\%s", kBhoKey, item->command);
      removed = RemoveKeyEveryView(HKEY_LOCAL_MACHINE, used);
      break;
    case kCodeToolbar:
      FormatText(used, sizeof used, "%s\\", kToolbarKey);
      removed = RemoveValueEveryView(HKEY_LOCAL_MACHINE, kToolbarKey, item->command);
      break;
    case kCodeExtension:
      if (!item->fileName[0]) return 0;
      FormatText(used, sizeof used, "%s\\%s", kExtensionKey, item->fileName);
      removed = RemoveKeyEveryView(HKEY_LOCAL_MACHINE, used);
      break;
    default:
      return 0;
  }
  if (!removed) return 0;

  char module[260];
  StripQuotes(item->fileName, module);
  if (code != kCodeExtension) {  // an extension's file field is its id, not a module
    char line[300];
    FormatText(line, sizeof line, "regsvr32 /u /s \"%s\"", module);
    WinExec(line, SW_SHOW);
  }
  char title[260];
  if (!FileNameOf(module, title)) CopyText(title, module);
  RecordHistoryEvent(title, module, used, code, 3);
  ReportRemovalToCloud(item->title, module);
  return removed;
}

const char* IEHelperTypeText(int code) {
  switch (code) {
    case kCodeBho: return "BHO";
    case kCodeToolbar: return "TOOLBAR";
    case kCodeExtension: return "EXTENSION";
    default: return "";
  }
}

int EnumerateActiveXControls(int keep) {
  if (!keep) {
    ClearStartupItems();
    ForgetProgramFacts();
  }
  ForEachSubkey(HKEY_CURRENT_USER, kActiveXStatsKey, AddStatsControl);
  return StartupItemCount;
}

int EnumerateAllActiveXControls() {
  ClearStartupItems();
  ForgetProgramFacts();
  EnumerateActiveXControls(1);
  ForEachSubkey(HKEY_LOCAL_MACHINE, kActiveXCompatKey, AddCompatControl);
  return StartupItemCount;
}

int ScanActiveXControls() {
  RedirectionOff redirection;
  return OptionSet[OPT_ActiveXListAll] ? EnumerateAllActiveXControls() : EnumerateActiveXControls(0);
}

DWORD GetCompatibilityFlags(const char* classId) {
  char key[400];
  if (!CompatKeyOf(classId, key, sizeof key)) return 0;
  return RegReadDword(HKEY_LOCAL_MACHINE, key, kFlagsValue);
}

int IsActiveXEnabled(const char* classId) { return (GetCompatibilityFlags(classId) & kKillBit) == 0; }

int SetActiveXKillBit(const char* classId) { return WriteFlags(classId, kKillBit, 0); }

int ClearActiveXKillBit(const char* classId) { return WriteFlags(classId, 0, kKillBit); }
