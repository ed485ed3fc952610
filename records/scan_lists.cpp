#include "records/scan_lists.h"

#include <string.h>

#include "platform/file_facts.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup/items.h"

namespace {

const char kIeKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";

int Add(const char* title, const char* fileName, const char* command, const char* description, int location) {
  char t[128], f[260], c[260], d[1024];
  CopyText(t, title);
  CopyText(f, fileName);
  CopyText(c, command);
  CopyText(d, description);
  return AddStartupItem(t, f, c, d, location, 0);
}

int CountSince(int start) { return StartupItemCount - start; }

// Calls visit(root, key, subkey) for every subkey of a key opened with the current read access.
template <typename Visit>
void ForEachSubkey(HKEY root, const char* path, Visit visit) {
  HKEY key = RegOpenForReading(root, path);
  if (!key) return;
  char name[260];
  for (DWORD i = 0;; ++i) {
    LONG rc = RegSubkeyAt(key, i, name, sizeof name);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    char sub[600];
    FormatText(sub, sizeof sub, "%s\\%s", path, name);
    visit(name, sub);
  }
  RegCloseKey(key);
}

// Calls visit(name, data) for every value whose name and text data fit.
template <typename Visit>
void ForEachValue(HKEY root, const char* path, DWORD dataCapacity, Visit visit) {
  HKEY key = RegOpenForReading(root, path);
  if (!key) return;
  char name[260];
  BYTE data[1025];
  if (dataCapacity > sizeof data - 1) dataCapacity = sizeof data - 1;
  for (DWORD i = 0;; ++i) {
    DWORD type = 0;
    LONG rc = RegValueAt(key, i, name, sizeof name, data, dataCapacity, nullptr, &type);
    if (rc == ERROR_MORE_DATA) {
      // Long data does not hide a finding: a toolbar's data is never looked at, a description is cut.
      static char wholeName[kRegNameCapacity];
      RegValueCopy whole;
      if (RegWholeValueAt(key, i, wholeName, &whole) != ERROR_SUCCESS || strlen(wholeName) >= sizeof name) continue;
      CopyText(name, wholeName);
      DWORD n = whole.size < dataCapacity ? whole.size : dataCapacity;
      memcpy(data, whole.data, n);
      data[n] = 0;
      type = whole.type;
      rc = ERROR_SUCCESS;
    }
    if (rc != ERROR_SUCCESS) break;
    if (type == REG_DWORD) data[0] = 0;
    visit(name, (const char*)data);
  }
  RegCloseKey(key);
}

int IsListedClass(int start, const char* classId) {
  for (int i = start; i < StartupItemCount; ++i)
    if (lstrcmpiA(StartupItemTable[i]->command, classId) == 0) return 1;
  return 0;
}

}  // namespace

int ListBrowserHelperObjects() {
  ClearStartupItems();
  const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
  // 64-bit Windows keeps helpers for its 64-bit browser and for the 32-bit one: both views are read,
  // and an object registered in both is listed once.
  int passes = RunningOnWow64 ? 2 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    RegViewGuard guard(pass == 0);  // the 64-bit view, then the 32-bit (default) one
    ForEachSubkey(HKEY_LOCAL_MACHINE, key, [](const char* classId, const char*) {
      if (IsListedClass(0, classId)) return;
      char name[260], server[260];
      if (!ClassServerOf(classId, name, server)) return;
      Add(name, server, classId, "", 900);
    });
  }
  return StartupItemCount;
}

int ListToolbars() {
  int start = StartupItemCount;
  DefaultRegView view;
  char path[128];
  FormatText(path, sizeof path, "%s\\Toolbar", kIeKey);
  ForEachValue(HKEY_LOCAL_MACHINE, path, 1024, [](const char* classId, const char*) {
    char name[260], server[260];
    if (!ClassServerOf(classId, name, server)) return;
    static VersionFields fields;
    GetVersionFields(server, &fields);
    Add(name, server, classId, fields.field[VF_CompanyName], 900);
  });
  return CountSince(start);
}

int ListMenuExtensions() {
  ClearStartupItems();
  ForEachSubkey(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt",
                [](const char* name, const char* sub) {
                  char target[260];
                  if (RegReadString(HKEY_CURRENT_USER, sub, "", target, sizeof target)) Add(name, target, name, "", 0);
                });
  return StartupItemCount;
}

int ListExtraButtons() {
  ClearStartupItems();
  char path[128];
  FormatText(path, sizeof path, "%s\\Extensions", kIeKey);
  const HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  for (int r = 0; r < 2; ++r) {
    HKEY root = roots[r];
    int userPass = r;
    ForEachSubkey(root, path, [root, userPass](const char* classId, const char* sub) {
      char target[300], className[260];
      if (!RegReadString(root, sub, "script", target, 260) && !RegReadString(root, sub, "exec", target, 260))
        ClassServerOf(classId, className, target);
      if (!target[0]) return;
      if (userPass) AppendText(target, " (HKCU)");
      char name[256], menu[256];
      if (!RegReadString(root, sub, "ButtonText", name, sizeof name)) CopyText(name, "(no name)");
      Add(name, target, classId, "", 1);
      if (RegReadString(root, sub, "MenuText", menu, sizeof menu)) Add(menu, target, classId, "", 2);
    });
  }
  return StartupItemCount;
}

int ListAdvancedOptions() {
  ClearStartupItems();
  char path[128];
  FormatText(path, sizeof path, "%s\\AdvancedOptions", kIeKey);
  ForEachSubkey(HKEY_LOCAL_MACHINE, path, [](const char*, const char* sub) {
    char text[256], help[260], bitmap[260];
    RegReadString(HKEY_LOCAL_MACHINE, sub, "Text", text, sizeof text);
    RegReadString(HKEY_LOCAL_MACHINE, sub, "HelpID", help, sizeof help);
    RegReadString(HKEY_LOCAL_MACHINE, sub, "Bitmap", bitmap, sizeof bitmap);
    if (ContainsNoCase(help, "iexplore.hlp")) return;
    char* slash = strrchr(bitmap, '\\');
    if (slash) *slash = 0;
    Add(text, help, bitmap, "", 0);
  });
  return StartupItemCount;
}

int ListPlugins() {
  ClearStartupItems();
  char path[128];
  FormatText(path, sizeof path, "%s\\Plugins\\Extension", kIeKey);
  ForEachSubkey(HKEY_LOCAL_MACHINE, path, [](const char* name, const char* sub) {
    char location[260];
    if (RegReadString(HKEY_LOCAL_MACHINE, sub, "Location", location, sizeof location)) Add(name, location, name, "", 0);
  });
  return StartupItemCount;
}

int ListDownloadedControls() {
  ClearStartupItems();
  ForEachSubkey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units",
                [](const char* name, const char* sub) {
                  char className[260], server[260], info[700], codeBase[260];
                  ClassServerOf(name, className, server);
                  FormatText(info, sizeof info, "%s\\DownloadInformation", sub);
                  if (RegReadString(HKEY_LOCAL_MACHINE, info, "CODEBASE", codeBase, sizeof codeBase))
                    Add(className, codeBase, server, name, 0);
                });
  return StartupItemCount;
}

int ListDelayLoadObjects() {
  ClearStartupItems();
  ForEachValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", 127,
               [](const char* name, const char* classId) {
                 char className[260], server[260];
                 if (ClassServerOf(classId, className, server) && server[0]) Add(className, server, classId, name, 0);
               });
  return StartupItemCount;
}

int ListSharedTaskSchedulers() {
  ClearStartupItems();
  ForEachValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler",
               1024, [](const char* classId, const char* description) {
                 char className[260], server[260];
                 if (ClassServerOf(classId, className, server) && server[0])
                   Add(className, server, classId, description, 0);
               });
  return StartupItemCount;
}

int IsDefaultDelayLoad(const char* classId) {
  static const char* const kDefaults[] = {
      "{7849596a-48ea-486e-8937-a2a3009f31a9}", "{fbeb8a05-beee-4442-804e-409d6c4515e9}",
      "{E6FB5E20-DE35-11CF-9C87-00AA005127ED}", "{35CEC8A3-2BE6-11D2-8773-92E220524153}"};
  for (const char* id : kDefaults)
    if (lstrcmpiA(classId, id) == 0) return 1;
  return 0;
}

namespace {

// The first DWORD value of a key naming the trusted or restricted zone, else 0.
int ZoneOfKey(HKEY root, const char* path) {
  HKEY key = RegOpenForReading(root, path);
  if (!key) return 0;
  int zone = 0;
  for (DWORD i = 0; zone == 0; ++i) {
    char name[260];
    DWORD value = 0, size = sizeof value, type = 0, length = sizeof name;
    LONG rc = RegEnumValueA(key, i, name, &length, nullptr, &type, (BYTE*)&value, &size);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    if (type == REG_DWORD && (value == kZoneTrusted || value == kZoneRestricted)) zone = (int)value;
  }
  RegCloseKey(key);
  return zone;
}

}  // namespace

int DomainZoneMark(HKEY root, const char* domainKey) {
  int zone = ZoneOfKey(root, domainKey);
  if (zone) return zone;
  HKEY key = RegOpenForReading(root, domainKey);
  if (!key) return 0;
  char name[260];
  for (DWORD i = 0; zone == 0; ++i) {
    LONG rc = RegSubkeyAt(key, i, name, sizeof name);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    char sub[600];
    FormatText(sub, sizeof sub, "%s\\%s", domainKey, name);
    zone = ZoneOfKey(root, sub);
  }
  RegCloseKey(key);
  return zone;
}

int ListZoneDomains() {
  ClearStartupItems();
  const HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  for (HKEY root : roots) {
    ForEachSubkey(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains",
                  [root](const char* domain, const char* sub) {
                    if (DomainZoneMark(root, sub) == kZoneTrusted) Add(domain, "", "", "", 0);
                  });
  }
  return StartupItemCount;
}
