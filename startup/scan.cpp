#include "startup/scan.h"

#include <objbase.h>
#include <shlobj.h>
#include <string.h>

#include <initializer_list>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup/toggle.h"

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// Adds with writable copies: the table may cut or replace the caller's texts.
int Add(const char* title, const char* file, const char* command, const char* description, int code, int flag) {
  char t[260], f[264], c[264], d[1028];
  CopyText(t, title);
  CopyText(f, file);
  CopyText(c, command);
  CopyText(d, description);
  return AddStartupItem(t, f, c, d, code, flag);
}

// Adds and keeps the entry's real name with it (the title may be cut or replaced by the table).
int AddNamed(const char* title, const char* file, const char* command, const char* description, int code, int flag,
             const char* realName) {
  if (!Add(title, file, command, description, code, flag)) return 0;
  SetItemValueName(StartupItemCount - 1, realName);
  return 1;
}

// The marker name of a Startup-folder or win.ini entry: its title as the table keeps it.
void KeepTitleAsName() {
  char title[128];
  if (GetItemTitle(StartupItemCount - 1, title) > 0) SetItemValueName(StartupItemCount - 1, title);
}

// Display text of a value's data: the text up to its first zero byte, at most 512 characters.
void DataText(const RegValueCopy* value, char* out) {
  CopyTextN(out, 513, value->data ? (const char*)value->data : "", 512);
}

void ScanRunKey(HKEY root, int code, char* lastName, char* lastData) {
  HKEY key = RegOpenForReading(root, RunKeyPathOf(code));
  if (!key) return;
  static char name[kRegNameCapacity];
  RegValueCopy value;
  char fallback[513] = "";
  int hasDefault = 0;
  DWORD reported = RegValueCount(key);
  for (DWORD index = 0, read = 0; read < reported; ++index) {
    // Every value whole, whatever its size: a long one is listed (its text cut) and moved whole.
    LONG rc = RegWholeValueAt(key, index, name, &value);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ++read;
    if (rc != ERROR_SUCCESS) continue;
    char data[513];
    DataText(&value, data);
    const char* marker = MarkerNameOf(name);
    if (marker && ReadDisabledMarker(marker) == code) {
      // Disabled by us and put back since (an installer or updater): disable it again, unless it differs
      // from the copy kept, which is then listed as it is.
      if (RedisableReturnedValue(name, code)) {
        --index;  // gone from the key: the next value now has this index
        continue;
      }
    }
    if (!name[0]) {
      hasDefault = 1;  // the key's default value is listed after the others
      CopyText(fallback, data);
      continue;
    }
    if (lstrcmpiA(name, lastName) == 0 && lstrcmpiA(data, lastData) == 0) continue;
    if (strlen(name) < 2 || strlen(data) < 5 || (BYTE)name[0] >= 128) continue;
    char file[260];
    int flag = RundllTarget(data, file);
    if (!flag) CopyText(file, data);
    if (AddNamed(name, file, "", "", code, flag, name)) {
      CopyText(lastName, 512, name);
      CopyText(lastData, 513, data);
    }
  }
  RegCloseKey(key);
  if (hasDefault && fallback[0]) AddNamed("(Default)", fallback, "", "", code, 0, "");
}

// Version facts are read once per file and candidate: each read opens the file.
VersionFields scanFields;

// The title of a program in a Startup folder: its description, else its product name.
void ProgramTitle(const char* file, char* title) {
  GetVersionFields(file, &scanFields);
  CopyText(title, 260, scanFields.field[VF_FileDescription][0] ? scanFields.field[VF_FileDescription]
                                                               : scanFields.field[VF_ProductName]);
}

// Lists an advanced entry whose file exists (with its version) or at least looks like a file name.
// `scanFields` must hold the file's version fields.
void AddAdvanced(const char* title, const char* file, const char* command, int code) {
  char probe[260];
  CopyText(probe, file);
  char description[260];
  if (FileExists(probe)) {
    CopyText(description, scanFields.field[VF_ProductVersion]);
  } else if (LooksLikeFileName(file)) {
    LoadText(730, description, sizeof description);
  } else {
    return;
  }
  Add(title, file, command, description, code, 0);
}

void ScanClassValues(const char* path, int code) {
  HKEY key = RegOpenForReading(HKEY_LOCAL_MACHINE, path);
  if (!key) return;
  for (DWORD index = 0;; ++index) {
    char name[256];
    char data[257];
    LONG rc = RegValueAt(key, index, name, sizeof name, (BYTE*)data, sizeof data - 1, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    char className[260], server[260];
    if (code == 252) {
      // DelayLoad: the value names the entry, its data is the class.
      if (!ClassServerOf(data, className, server)) continue;
      GetVersionFields(server, &scanFields);
      int before = StartupItemCount;
      AddAdvanced(name, server, data, code);
      if (StartupItemCount > before) SetItemValueName(StartupItemCount - 1, name);  // the title may be cut
    } else {
      // The value name is the class; its data, or the class's own name, is the title.
      if (!ClassServerOf(name, className, server)) continue;
      const char* title = data[0] ? data : className;
      if (code == 254 && !title[0]) continue;
      GetVersionFields(server, &scanFields);
      AddAdvanced(title, server, name, code);
    }
  }
  RegCloseKey(key);
}

}  // namespace

int ScanStartupPrograms(int pageMode) {
  DisabledMarkersTaken markers;  // every value's marker is asked for: one read of them all
  ClearStartupItems();
  ScanRunKeys();
  ScanStartupFolders();
  ScanWinIni();
  ScanDisabledItems();
  int all = pageMode == 0 || OptionSet[OPT_ShowAllStartup] >= 1;
  if (IsNtPlatform() && all) {
    char program[260];
    if (ReadWinlogonUserinit(program)) Add("Winlogon Userinit", program, "", "", 250, 0);
    if (ReadWinlogonShell(program)) Add("Winlogon Shell", program, "", "", 251, 0);
  }
  if (all) ScanAdvancedLocations();
  return StartupItemCount;
}

void ScanRunKeys() {
  RegView64 view;
  static char lastName[512], lastData[513];
  lastName[0] = lastData[0] = 0;
  int roots = RunningOnWow64 ? 3 : 2;
  for (int r = 0; r < roots; ++r) {
    for (int k = 1; k <= 7; ++k) {
      int code = 10 * r + k;
      ScanRunKey(RunRootOf(code), code, lastName, lastData);
    }
  }
}

void ScanStartupFolders() {
  const HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  for (int r = 0; r < 2; ++r) {
    for (const char* name : {"Startup", "Common Startup"}) {
      char folder[260];
      if (RegReadString(roots[r], kShellFolders, name, folder, sizeof folder) > 0)
        WalkFolder(folder, AddFolderEntry, 0, r);
    }
  }
}

int AddFolderEntry(const char* entry, DWORD attributes, int flag) {
  if (attributes == FILE_ATTRIBUTE_DIRECTORY) return 0;
  char path[260];
  CopyText(path, entry);
  size_t n = strlen(path);
  if (n > 1 && path[n - 1] == '\\' && path[n - 2] != ':') path[--n] = 0;
  const char* kind = n >= 3 ? path + n - 3 : path;
  char title[260] = "";
  if (lstrcmpiA(kind, "lnk") == 0) {
    char target[260], description[260];
    if (ResolveShortcut(path, target, description) == S_FALSE) return 0;
    CopyText(title, description);
    if (!title[0]) ProgramTitle(target, title);
    if (Add(title, target, path, "", 200, flag)) KeepTitleAsName();
  } else if (lstrcmpiA(kind, "exe") == 0) {
    ProgramTitle(path, title);
    if (Add(title, path, path, "", 200, flag)) KeepTitleAsName();
  } else if (lstrcmpiA(kind, "ini") == 0) {
    // desktop.ini and the like start nothing.
  } else {
    if (Add("", path, "", "", 200, 0)) KeepTitleAsName();
  }
  return 0;
}

int WalkFolder(const char* folder, FolderHandler handler, int depth, int flag) {
  char pattern[MAX_PATH];
  CopyText(pattern, folder);
  AddBackslash(pattern);
  size_t base = strlen(pattern);
  AppendText(pattern, "*.*");
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int result = 0;
  do {
    bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder && found.cFileName[0] == '.') continue;
    char path[MAX_PATH];
    CopyTextN(path, sizeof path, pattern, base);
    if (base + strlen(found.cFileName) >= sizeof path) continue;  // would not fit: not this file
    AppendText(path, found.cFileName);
    result = handler(path, found.dwFileAttributes, flag);
    if (result) break;
    // A junction or link may lead back up the tree: never descend through one.
    if (isFolder && depth > 0 && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      result = WalkFolder(path, handler, depth - 1, flag);
      if (result) break;
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return result;
}

HRESULT ResolveShortcut(const char* link, char* target, char* description) {
  target[0] = 0;
  description[0] = 0;
  HRESULT init = CoInitialize(nullptr);
  HRESULT result = S_FALSE;
  IShellLinkA* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shellLink))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void**)&file))) {
      WCHAR wide[MAX_PATH];
      if (MultiByteToWideChar(CP_ACP, 0, link, -1, wide, MAX_PATH) && SUCCEEDED(file->Load(wide, STGM_READ))) {
        char path[MAX_PATH] = "";
        // S_FALSE here: a link to something that is no file (a shell folder, a URL) is not listed.
        result = shellLink->GetPath(path, MAX_PATH, nullptr, 0);
        if (result == S_OK && !path[0]) result = S_FALSE;
        CopyText(target, 260, path);
        char text[MAX_PATH] = "";
        shellLink->GetDescription(text, MAX_PATH);
        CopyText(description, 260, text);
      }
      file->Release();
    }
    shellLink->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return result == S_OK ? S_OK : S_FALSE;
}

void ScanWinIni() {
  const struct {
    const char* key;
    int code;
  } kLines[] = {{"run", 101}, {"load", 100}};
  static char text[kWinIniListCapacity];
  for (const auto& line : kLines) {
    WinIniReadList(line.key, text, sizeof text);  // the whole line (its first part if it is longer still)
    char* piece = text;
    while (piece) {
      char* end = strchr(piece, ';');
      if (end) *end = 0;
      char probe[260];
      if (piece[0] && strlen(piece) < sizeof probe) {
        CopyText(probe, piece);
        if (FileExists(probe)) {
          GetVersionFields(piece, &scanFields);
          const char* product = scanFields.field[VF_ProductName];
          if (Add(product[0] ? product : line.key, piece, "", "", line.code, 0)) KeepTitleAsName();
        }
      }
      piece = end ? end + 1 : nullptr;
    }
  }
}

// Lists the values of a disabled store that have their marker, each whole (a value as long as the
// live keys allow comes back into the list as it went out).
void ScanStore(const char* store) {
  HKEY key = RegOpenForReading(HKEY_LOCAL_MACHINE, store);
  if (!key) return;
  static char name[kRegNameCapacity];
  RegValueCopy value;
  for (DWORD index = 0;; ++index) {
    LONG rc = RegWholeValueAt(key, index, name, &value);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    const char* marker = MarkerNameOf(name);
    int code = marker ? ReadDisabledMarker(marker) : 0;
    if (code <= 0 || DisabledStoreOf(code) == nullptr || lstrcmpiA(DisabledStoreOf(code), store) != 0) continue;
    char data[513];
    DataText(&value, data);
    AddNamed(name[0] ? name : "(Default)", data, "", "", code, 0, name);
  }
  RegCloseKey(key);
}

void ScanDisabledItems() {
  {
    DefaultRegView view;  // the stores live in the default view
    for (int s = 0; s < 9; ++s) {
      char path[128];
      FormatText(path, sizeof path, "%s\\%s", kDisabledRoot, kDisabledStores[s]);
      ScanStore(path);
    }
  }
  char folder[260];
  if (DisabledFilesFolder(folder, 0)) WalkFolder(folder, AddFolderEntry, 0, 0);
}

int UserinitProgram(const char* value, char* out) {
  const char* comma = strchr(value, ',');
  if (!comma) return 0;
  if (comma[1] == 0) {
    CopyTextN(out, 260, value, (size_t)(comma - value));
    return 1;
  }
  const char* rest = comma + 1;
  while (*rest == ' ') ++rest;
  CopyText(out, 260, *rest ? rest : value);
  return 1;
}

int ShellProgram(const char* value, char* out) {
  if (!value[0]) return 0;
  const char* blank = strchr(value, ' ');
  if (!blank) {
    CopyText(out, 260, value);
  } else if (blank[1] == 0) {
    CopyTextN(out, 260, value, (size_t)(blank - value));
  } else {
    const char* rest = blank + 1;
    while (*rest == ' ') ++rest;
    CopyText(out, 260, *rest ? rest : value);
  }
  return 1;
}

static int ReadWinlogonValue(const char* name, char* value) {
  RegView64 view;
  return (int)RegReadString(HKEY_LOCAL_MACHINE, kWinlogon, name, value, 260);
}

int ReadWinlogonUserinit(char* out) {
  char value[260];
  ReadWinlogonValue("UserInit", value);
  return UserinitProgram(value, out);
}

int ReadWinlogonShell(char* out) {
  char value[260];
  ReadWinlogonValue("Shell", value);
  return ShellProgram(value, out);
}

int LooksLikeFileName(const char* text) {
  size_t n = strlen(text);
  if (n < 5 || n > 259 || !strchr(text, '.')) return 0;
  int blanks = 0;
  for (size_t i = 0; i < n; ++i)
    if (text[i] == ' ') ++blanks;
  return blanks < 5 && (size_t)blanks < n;
}

void ScanAdvancedLocations() {
  RegView64 view;
  ScanClassValues("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", 252);
  ScanClassValues("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler", 253);
  ScanClassValues("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks", 254);

  // The whole AppInit list, however long.
  RegValueCopy list;
  if (RegReadWhole(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_Dlls",
                   &list) &&
      (list.type == REG_SZ || list.type == REG_EXPAND_SZ)) {
    char* text = (char*)list.data;
    for (char* piece = text; piece;) {
      char* end = strpbrk(piece, ", ");
      if (end) *end = 0;
      if (piece[0] && strlen(piece) < 260) {
        GetVersionFields(piece, &scanFields);
        char product[260], company[260];
        CopyText(product, scanFields.field[VF_ProductName]);
        CopyText(company, scanFields.field[VF_CompanyName]);
        AddAdvanced(product, piece, company, 255);
      }
      piece = end ? end + 1 : nullptr;
    }
  }

  const char* notify = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
  HKEY key = RegOpenForReading(HKEY_LOCAL_MACHINE, notify);
  if (key) {
    for (DWORD index = 0;; ++index) {
      char name[256];
      if (RegSubkeyAt(key, index, name, sizeof name) != ERROR_SUCCESS) break;
      char path[400], dll[256];
      FormatText(path, sizeof path, "%s\\%s", notify, name);
      if (RegReadString(HKEY_LOCAL_MACHINE, path, "DllName", dll, sizeof dll) == 0) continue;
      GetVersionFields(dll, &scanFields);
      char description[260];
      CopyText(description, scanFields.field[VF_FileDescription]);
      int before = StartupItemCount;
      AddAdvanced(name, dll, description, 256);
      if (StartupItemCount > before) SetItemValueName(StartupItemCount - 1, name);
    }
    RegCloseKey(key);
  }
  // Disabled packages have no DllName: they are listed from their store.
  DefaultRegView own;
  ScanStore(DisabledStoreOf(256));
}
