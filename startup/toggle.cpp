#include "startup/toggle.h"

#include <objbase.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/history.h"
#include "records/net_reports.h"
#include "records/reg_export.h"
#include "startup/items.h"

const char kKnownRunList[] = "Software\\Orvenn Studios\\Vandrelix\\Run";

namespace {

const char kNotify[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
const char kDelayLoad[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char kTaskScheduler[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
const char kExecuteHooks[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The lines of a backup block that carry no registry data (comments to regedit): a kept file and
// where it goes back, and a list entry exactly as it was written.
const char kKeptFile[] = "; Kept file: ";
const char kPutBackAs[] = "; Put back as: ";
const char kEntryText[] = "; Entry: ";

void WriteKnown(const char* name, int code) {
  char text[16];
  FormatText(text, sizeof text, "%d", code);
  RegWriteString(HKEY_CURRENT_USER, kKnownRunList, name, text);
}

void NotifyKey(const char* name, char* out) { FormatText(out, 400, "%s\\%s", kNotify, name); }

int Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// A full path (a drive or a share), never a bare name that would be looked for elsewhere.
int IsFullPath(const char* path) {
  return (path[0] && path[1] == ':' && path[2] == '\\') || (path[0] == '\\' && path[1] == '\\');
}

int StartsWith(const char* text, const char* start) { return strncmp(text, start, strlen(start)) == 0; }

int EndsWithNoCase(const char* text, const char* end) {
  size_t n = strlen(text), m = strlen(end);
  return n >= m && lstrcmpiA(text + n - m, end) == 0;
}

// An enable ends by deleting the marker: 1 when it is gone. When it cannot be deleted (a key this
// user may not change) the entry stays disabled, and the enable undoes what it did and refuses.
int MarkerGone(const char* marker) { return DeleteDisabledMarker(marker) || !ReadDisabledMarker(marker); }

// Text of a registry value as a history line can hold it.
void ValueText(const RegValueCopy* value, const char* fallback, char* out) {
  if (value->size && (value->type == REG_SZ || value->type == REG_EXPAND_SZ)) {
    CopyText(out, 260, (const char*)value->data);
  } else {
    CopyText(out, 260, fallback);
  }
}

// ---- Run-family values ----

int DisableRunValue(const char* name, int code) {
  const char* store = DisabledStoreOf(code);
  const char* marker = MarkerNameOf(name);
  if (!store || !marker) return 0;
  HKEY root = RunRootOf(code);
  const char* live = RunKeyPathOf(code);
  RegValueCopy value, parked;
  {
    RegView64 view;
    if (!RegReadWhole(root, live, name, &value)) return 0;  // nothing there by that name: nothing is made up
  }
  DefaultRegView own;
  // Another value parked under this name stays as it is (the same value, left by a move cut short, may be
  // written over).
  if (RegReadWhole(HKEY_LOCAL_MACHINE, store, name, &parked) && !RegSameValue(&parked, &value)) return 0;
  RegEnsureKey(HKEY_LOCAL_MACHINE, store);
  if (!RegWriteRaw(HKEY_LOCAL_MACHINE, store, name, value.type, value.data, value.size)) return 0;
  // The marker before the live value goes, so the parked copy is never without it.
  if (!WriteDisabledMarker(marker, code)) {
    RegEraseValue(HKEY_LOCAL_MACHINE, store, name);
    return 0;
  }
  int gone;
  {
    RegView64 view;
    gone = (int)RegEraseValue(root, live, name);
  }
  if (!gone) {
    DeleteDisabledMarker(marker);
    RegEraseValue(HKEY_LOCAL_MACHINE, store, name);
  }
  return gone;
}

int EnableRunValue(const char* name, int code) {
  const char* store = DisabledStoreOf(code);
  const char* marker = MarkerNameOf(name);
  if (!store || !marker) return 0;
  HKEY root = RunRootOf(code);
  const char* live = RunKeyPathOf(code);
  RegValueCopy parked, present;
  {
    DefaultRegView own;
    if (!RegReadWhole(HKEY_LOCAL_MACHINE, store, name, &parked)) return 0;
  }
  int wrote = 0;
  {
    RegView64 view;
    if (RegReadWhole(root, live, name, &present)) {
      if (!RegSameValue(&present, &parked)) return 0;  // another value has taken the place: keep both
    } else if (!RegWriteRaw(root, live, name, parked.type, parked.data, parked.size)) {
      return 0;  // the parked copy stays when it cannot go back
    } else {
      wrote = 1;
    }
  }
  if (!MarkerGone(marker)) {
    RegView64 view;
    if (wrote) RegEraseValue(root, live, name);
    return 0;
  }
  DefaultRegView own;
  RegEraseValue(HKEY_LOCAL_MACHINE, store, name);
  return 1;
}

// ---- win.ini lists ----

const char* WinIniKey(int code) { return code == 100 ? "load" : "run"; }

// Calls `piece` for each non-empty piece of a win.ini list until it returns nonzero; returns that.
template <typename Fn> int FindInWinIni(const char* key, Fn piece) {
  static char list[kWinIniListCapacity];
  if (!WinIniReadList(key, list, sizeof list)) return 0;
  for (char* part = list; part;) {
    char* end = strchr(part, ';');
    if (end) *end = 0;
    if (part[0] && strlen(part) < 260 && piece(part)) return 1;
    part = end ? end + 1 : nullptr;
  }
  return 0;
}

// The piece of a win.ini list that an item's display text came from (the item keeps a long,
// unquoted form of it). 1 with the piece as written.
int FindWinIniPiece(const char* key, const char* data, char* piece) {
  return FindInWinIni(key, [&](const char* part) {
    char plain[260], longForm[260];
    StripQuotes(part, plain);
    LongPathOf(longForm, plain);
    if (lstrcmpiA(part, data) != 0 && lstrcmpiA(plain, data) != 0 && lstrcmpiA(longForm, data) != 0) return 0;
    CopyText(piece, 260, part);
    return 1;
  });
}

int WinIniHasPiece(const char* key, const char* piece) {
  return FindInWinIni(key, [&](const char* part) { return lstrcmpiA(part, piece) == 0; });
}

// A parked win.ini piece (a REG_SZ of the store).
int ParkedPiece(const char* store, const char* name, char* out) {
  DefaultRegView own;
  RegValueCopy value;
  if (!RegReadWhole(HKEY_LOCAL_MACHINE, store, name, &value) || value.type != REG_SZ || value.size > 260) return 0;
  return CopyText(out, 260, (const char*)value.data) > 0;
}

int DisableWinIni(const char* name, const char* data, int code) {
  const char* key = WinIniKey(code);
  const char* store = DisabledStoreOf(code);
  char piece[260], parked[260];
  if (!FindWinIniPiece(key, data, piece)) return 0;
  if (ParkedPiece(store, name, parked) && strcmp(parked, piece) != 0) return 0;
  DefaultRegView own;
  RegEnsureKey(HKEY_LOCAL_MACHINE, store);
  if (!RegWriteString(HKEY_LOCAL_MACHINE, store, name, piece)) return 0;
  if (!WriteDisabledMarker(name, code)) {
    RegEraseValue(HKEY_LOCAL_MACHINE, store, name);
    return 0;
  }
  if (!WinIniRemoveEntry(key, piece)) {
    DeleteDisabledMarker(name);
    RegEraseValue(HKEY_LOCAL_MACHINE, store, name);
    return 0;
  }
  return 1;
}

int EnableWinIni(const char* name, int code) {
  const char* key = WinIniKey(code);
  const char* store = DisabledStoreOf(code);
  char piece[260];
  if (!ParkedPiece(store, name, piece)) return 0;
  int appended = !WinIniHasPiece(key, piece);
  if (appended && !WinIniAppendEntry(key, piece)) return 0;
  if (!MarkerGone(name)) {
    if (appended) WinIniRemoveEntry(key, piece);
    return 0;
  }
  DefaultRegView own;
  RegEraseValue(HKEY_LOCAL_MACHINE, store, name);
  return 1;
}

// ---- Startup-folder files ----

int StartupFolder(char* out) {
  if (RegReadString(HKEY_CURRENT_USER, kShellFolders, "Startup", out, 260)) return 1;
  if (RegReadString(HKEY_LOCAL_MACHINE, kShellFolders, "Startup", out, 260)) return 1;
  return RegReadString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Startup", out, 260) > 0;
}

// The parked place of a Startup-folder entry's file, and its name.
int ParkedFile(const char* file, char* fileName, char* parked) {
  char disabled[260];
  if (!FileNameOf(file, fileName) || !DisabledFilesFolder(disabled, 1)) return 0;
  FormatText(parked, 520, "%s\\%s", disabled, fileName);
  return 1;
}

int DisableFolderFile(const char* name, const char* data, const char* command) {
  // A plain file (a .pif and the like) has no command: the file itself is the entry.
  const char* file = command[0] ? command : data;
  char fileName[260], parked[520];
  if (!ParkedFile(file, fileName, parked)) return 0;
  // Parked already, but its marker was never written (a move cut short): the marker completes it.
  if (lstrcmpiA(file, parked) == 0) return WriteDisabledMarker(name, 200);
  if (!WriteDisabledMarker(name, 200)) return 0;
  if (!MoveFileA(file, parked)) {  // a file of that name already parked stays untouched
    DeleteDisabledMarker(name);
    return 0;
  }
  return 1;
}

int EnableFolderFile(const char* name, const char* data, const char* command) {
  const char* file = command[0] ? command : data;
  char fileName[260], parked[520], folder[260], back[520];
  if (!ParkedFile(file, fileName, parked) || !StartupFolder(folder)) return 0;
  FormatText(back, sizeof back, "%s\\%s", folder, fileName);
  if (!MoveFileA(parked, back)) {
    // Back in place already and only the marker left: that finishes the enable.
    if (!Exists(parked) && Exists(back)) return DeleteDisabledMarker(name);
    return 0;
  }
  if (!MarkerGone(name)) {
    MoveFileA(back, parked);
    return 0;
  }
  return 1;
}

// ---- Winlogon Notify packages ----

int DisableNotify(const char* name) {
  char key[400];
  NotifyKey(name, key);
  const char* store = DisabledStoreOf(256);
  RegValueCopy dll, parked;
  {
    RegView64 view;
    if (!RegReadWhole(HKEY_LOCAL_MACHINE, key, "DllName", &dll) || dll.size == 0 || !dll.data[0]) return 0;
  }
  DefaultRegView own;
  if (RegReadWhole(HKEY_LOCAL_MACHINE, store, name, &parked) && !RegSameValue(&parked, &dll)) return 0;
  RegEnsureKey(HKEY_LOCAL_MACHINE, store);
  if (!RegWriteRaw(HKEY_LOCAL_MACHINE, store, name, dll.type, dll.data, dll.size)) return 0;
  if (!WriteDisabledMarker(name, 256)) {
    RegEraseValue(HKEY_LOCAL_MACHINE, store, name);
    return 0;
  }
  if (!DisableNotifyEntry(name)) {
    DeleteDisabledMarker(name);
    RegEraseValue(HKEY_LOCAL_MACHINE, store, name);
    return 0;
  }
  WriteKnown((const char*)dll.data, 256);
  return 1;
}

int EnableNotify(const char* name) {
  char key[400];
  NotifyKey(name, key);
  const char* store = DisabledStoreOf(256);
  int moved = EnableNotifyEntry(name), wrote = 0;
  if (!moved) {
    // No OldName to move back: the parked copy gives DllName back, unless the entry has another one now.
    RegValueCopy parked, dll;
    {
      DefaultRegView own;
      if (!RegReadWhole(HKEY_LOCAL_MACHINE, store, name, &parked)) return 0;
    }
    RegView64 view;
    if (RegReadWhole(HKEY_LOCAL_MACHINE, key, "DllName", &dll) && dll.size > 1) {
      if (!RegSameValue(&dll, &parked)) return 0;
    } else if (!RegEnsureKeyInView(HKEY_LOCAL_MACHINE, key) ||
               !RegWriteRaw(HKEY_LOCAL_MACHINE, key, "DllName", parked.type, parked.data, parked.size)) {
      return 0;
    } else {
      wrote = 1;
    }
  }
  if (!MarkerGone(name)) {
    if (moved) DisableNotifyEntry(name);
    RegView64 view;
    if (wrote) RegWriteString(HKEY_LOCAL_MACHINE, key, "DllName", "");
    return 0;
  }
  DefaultRegView own;
  RegEraseValue(HKEY_LOCAL_MACHINE, store, name);
  return 1;
}

// ---- Removal ----

// One removal, one record: the backup is kept before anything is deleted, and the history line is
// written only once the entry is gone. The product's own entries leave no record.
struct Removal {
  HistoryEntry entry;
  int own = 0;
  int recording = 0;
  RegText block;
};

void BeginRemoval(Removal* r, const char* name, const char* text, const char* data, const char* command, int code,
                  int action) {
  r->own = ContainsNoCase(text, "Vandrelix") || ContainsNoCase(data, "Vandrelix");
  r->recording = !r->own && PrepareHistoryEvent(name, text, command, code, action, &r->entry);
}

int KeepBackup(Removal* r) {
  if (!r->recording || (r->block.length == 0 && !r->block.failed)) return 1;
  if (r->block.failed) return 0;
  return KeepRemovalBackup(&r->entry, r->block.text, r->block.length);
}

void FinishRemoval(Removal* r, const char* name, const char* text) {
  if (r->recording) AppendHistoryEvent(&r->entry);
  if (!r->own) ReportRemovalToCloud(name, text);
}

// Writes a key's values (and its subkeys') into a backup block in the current view. `asEnabled`: a
// disabled Notify package is written as it was before it was disabled (DllName from OldName).
int AppendKeyValues(RegText* block, HKEY root, const char* path, int asEnabled, int depth) {
  if (depth > 16 || RegIsLink(root, path)) return 0;  // a link's target is another key: no copy of it
  HKEY key = RegOpenForReading(root, path);
  if (!key) return 0;
  int ok = WriteRegKeyLine(block, root, path);
  RegValueCopy oldName, value;
  int haveOld = asEnabled && RegReadWhole(root, path, "OldName", &oldName) && oldName.size > 1;
  static char name[kRegNameCapacity];
  for (DWORD index = 0; ok; ++index) {
    LONG rc = RegWholeValueAt(key, index, name, &value);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) {
      ok = 0;
      break;
    }
    if (haveOld && lstrcmpiA(name, "OldName") == 0) continue;
    const RegValueCopy* written = haveOld && lstrcmpiA(name, "DllName") == 0 ? &oldName : &value;
    ok = WriteRegValue(block, name, written->type, written->data, written->size);
  }
  for (DWORD index = 0; ok; ++index) {
    char sub[256], child[1024];
    if (RegSubkeyAt(key, index, sub, sizeof sub) != ERROR_SUCCESS) break;
    FormatText(child, sizeof child, "%s\\%s", path, sub);
    ok = AppendKeyValues(block, root, child, 0, depth + 1);
  }
  RegCloseKey(key);
  return ok;
}

int RemoveRunValue(const char* name, const char* data, const char* command, int code) {
  const char* marker = MarkerNameOf(name);
  const char* store = DisabledStoreOf(code);
  int parked = marker && store && ReadDisabledMarker(marker) == code;
  HKEY root = parked ? HKEY_LOCAL_MACHINE : RunRootOf(code);
  const char* key = parked ? store : RunKeyPathOf(code);
  RegValueCopy value;
  {
    RegViewGuard view(!parked);
    if (!RegReadWhole(root, key, name, &value)) return 0;
  }
  char text[260];
  ValueText(&value, data, text);
  Removal r;
  BeginRemoval(&r, name, text, data, command, code, 0);
  // The copy names the live key, so a restore (or a double-click on the file) brings it back enabled.
  if (r.recording && !(WriteRegKeyLine(&r.block, RunRootOf(code), RunKeyPathOf(code)) &&
                       WriteRegValue(&r.block, name, value.type, value.data, value.size)))
    return 0;
  if (!KeepBackup(&r)) return 0;
  {
    RegViewGuard view(!parked);
    if (!RegEraseValue(root, key, name)) return 0;
  }
  if (parked) DeleteDisabledMarker(marker);
  FinishRemoval(&r, name, text);
  return 1;
}

int RemoveWinIniEntry(const char* name, const char* data, const char* command, int code) {
  const char* key = WinIniKey(code);
  const char* store = DisabledStoreOf(code);
  char piece[260];
  int parked = name[0] && ReadDisabledMarker(name) == code;
  if (parked ? !ParkedPiece(store, name, piece) : !FindWinIniPiece(key, data, piece)) return 0;
  Removal r;
  BeginRemoval(&r, name, piece, data, command, code, 0);
  if (parked) {
    DefaultRegView own;
    if (!RegEraseValue(HKEY_LOCAL_MACHINE, store, name)) return 0;
    DeleteDisabledMarker(name);
    if (WinIniHasPiece(key, piece)) WinIniRemoveEntry(key, piece);
  } else if (!WinIniRemoveEntry(key, piece)) {
    return 0;
  }
  FinishRemoval(&r, name, piece);
  return 1;
}

// Where a removed file is kept: the folder Removed beside the history, under its own name, or with a
// number before it when that name is taken.
int KeptFilePath(const char* fileName, char* out) {
  char folder[260];
  if (!RemovedFilesFolder(folder, 1)) return 0;
  FormatText(out, 520, "%s\\%s", folder, fileName);
  for (int n = 2; Exists(out); ++n) {
    if (n > 9999) return 0;
    FormatText(out, 520, "%s\\%d %s", folder, n, fileName);
  }
  return 1;
}

// The program and arguments of a shortcut, as one command line for the history.
void ShortcutCommandLine(const char* link, char* out) {
  out[0] = 0;
  HRESULT init = CoInitialize(nullptr);
  IShellLinkA* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shellLink))) {
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void**)&file)) &&
        MultiByteToWideChar(CP_ACP, 0, link, -1, wide, MAX_PATH) && SUCCEEDED(file->Load(wide, STGM_READ))) {
      char target[MAX_PATH] = "", arguments[MAX_PATH] = "";
      shellLink->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
      shellLink->GetArguments(arguments, MAX_PATH);
      if (arguments[0]) {
        FormatText(out, 260, "\"%s\" %s", target, arguments);
      } else {
        CopyText(out, 260, target);
      }
    }
    if (file) file->Release();
    shellLink->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
}

int RemoveFolderFile(const char* name, const char* data, const char* command) {
  // The entry's own file: the shortcut or program in `command`, else (no command) the plain file itself.
  const char* file = command[0] ? command : data;
  if (!IsFullPath(file) || !Exists(file)) return 0;
  char fileName[260], disabled[260], target[520], kept[520];
  if (!FileNameOf(file, fileName) || !DisabledFilesFolder(disabled, 0)) return 0;
  char folder[260];
  CopyText(folder, file);
  folder[FileNamePos(folder) > 0 ? FileNamePos(folder) - 1 : 0] = 0;
  if (lstrcmpiA(folder, disabled) == 0) {
    // A disabled file goes back enabled, into the Startup folder an enable would use.
    char startup[260];
    if (!StartupFolder(startup)) return 0;
    FormatText(target, sizeof target, "%s\\%s", startup, fileName);
  } else {
    CopyText(target, file);
  }
  if (!KeptFilePath(fileName, kept)) return 0;
  char text[260];
  CopyText(text, data);
  if (EndsWithNoCase(file, ".lnk")) {
    char line[260];
    ShortcutCommandLine(file, line);
    if (line[0]) CopyText(text, line);
  }
  Removal r;
  BeginRemoval(&r, name, text, data, command, 200, 0);
  if (r.recording) {
    AppendRegText(&r.block, kKeptFile);
    AppendRegText(&r.block, kept);
    AppendRegText(&r.block, "\r\n");
    AppendRegText(&r.block, kPutBackAs);
    AppendRegText(&r.block, target);
    AppendRegText(&r.block, "\r\n");
  }
  if (!KeepBackup(&r)) return 0;
  // Kept, never deleted: the file goes whole into the folder beside the history.
  if (!MoveFileA(file, kept)) return 0;
  if (name[0] && ReadDisabledMarker(name) == 200) DeleteDisabledMarker(name);
  FinishRemoval(&r, name, text);
  return 1;
}

int RemoveNotifyEntry(const char* name, const char* data, const char* command) {
  if (!name[0]) return 0;
  char key[400];
  NotifyKey(name, key);
  {
    RegView64 view;
    HKEY open = RegOpenForReading(HKEY_LOCAL_MACHINE, key);
    if (!open) return 0;
    RegCloseKey(open);
  }
  int parked = ReadDisabledMarker(name) == 256;
  Removal r;
  BeginRemoval(&r, name, data, data, command, 256, 0);
  if (r.recording) {
    RegView64 view;
    if (!AppendKeyValues(&r.block, HKEY_LOCAL_MACHINE, key, parked, 0)) return 0;
  }
  if (!KeepBackup(&r)) return 0;
  {
    RegView64 view;
    if (!RegRemoveKeyTree(HKEY_LOCAL_MACHINE, key)) return 0;
  }
  if (parked) {
    DeleteDisabledMarker(name);
    DefaultRegView own;
    RegEraseValue(HKEY_LOCAL_MACHINE, DisabledStoreOf(256), name);
  }
  FinishRemoval(&r, name, data);
  return 1;
}

// ---- Restore ----

// Whether a real name is the one a history line holds: the line keeps a title with its TAB, CR and LF
// as blanks and at most 127 characters of it.
int LineHolds(const char* real, const char* title) {
  size_t i = 0;
  for (; real[i] && i < 127; ++i) {
    char c = real[i] == '\t' || real[i] == '\r' || real[i] == '\n' ? ' ' : real[i];
    if (c != title[i]) return 0;
  }
  return title[i] == 0;
}

// The Notify package a backup key names: `path` is the package's key or one below it. 1 with the
// package's key in `out` (400).
int NotifyPackageOf(const char* path, char* out) {
  size_t n = strlen(kNotify);
  if (_strnicmp(path, kNotify, n) != 0 || path[n] != '\\' || !path[n + 1]) return 0;
  const char* end = strchr(path + n + 1, '\\');
  size_t length = end ? (size_t)(end - path) : strlen(path);
  return length < 400 && CopyTextN(out, 400, path, length) > 0;
}

// A removed entry from its backup block: 1 put back, 0 refused, -1 when the block holds nothing for it.
// The block must be this line's own: the value or package it names is the line's, a kept file lies in
// the Removed folder and goes back under the name the line gives the entry's file.
int RestoreFromBackup(const char* name, const char* file, int code, const char* block) {
  size_t length = strlen(block);
  RegText line, path;
  char kept[520] = "", target[520] = "", entry[260] = "";
  int values = 0, foreign = 0;
  RegValueRecord value;
  char notifyKey[400] = "", package[400];
  for (size_t pos = 0; NextRegLine(block, length, &pos, &line);) {
    HKEY root;
    if (StartsWith(line.text, kKeptFile)) {
      CopyText(kept, line.text + strlen(kKeptFile));
    } else if (StartsWith(line.text, kPutBackAs)) {
      CopyText(target, line.text + strlen(kPutBackAs));
    } else if (StartsWith(line.text, kEntryText)) {
      CopyText(entry, line.text + strlen(kEntryText));
    } else if (ParseRegKeyLine(line.text, &root, &path)) {
      // Only this entry's own key (and, for a Notify package, the keys below it) may be written.
      if (IsRunFamilyCode(code)) {
        foreign |= root != RunRootOf(code) || lstrcmpiA(path.text, RunKeyPathOf(code)) != 0;
      } else if (code != 256 || root != HKEY_LOCAL_MACHINE || !NotifyPackageOf(path.text, package)) {
        foreign = 1;
      } else if (!notifyKey[0]) {
        CopyText(notifyKey, package);
        foreign |= !LineHolds(notifyKey + strlen(kNotify) + 1, name);
      } else {
        foreign |= lstrcmpiA(package, notifyKey) != 0;
      }
    } else if (ParseRegValueLine(line.text, &value)) {
      ++values;
      if (IsRunFamilyCode(code)) foreign |= !LineHolds(value.name, name);
    } else if (line.length && line.text[0] != ';') {
      foreign = 1;
    }
  }
  if (code == 200) {
    char removed[260], targetName[260], fileName[260];
    if (!kept[0] || !target[0] || !Exists(kept) || !RemovedFilesFolder(removed, 0)) return -1;
    size_t n = strlen(removed);
    if (_strnicmp(kept, removed, n) != 0 || kept[n] != '\\' || strchr(kept + n + 1, '\\')) return -1;
    if (!IsFullPath(target) || !FileNameOf(target, targetName) || !FileNameOf(file, fileName) ||
        lstrcmpiA(targetName, fileName) != 0)
      return -1;
    if (Exists(target)) return 0;  // never over a file that is there now
    return MoveFileA(kept, target) ? 1 : 0;
  }
  if (code == 255) return entry[0] ? AddAppInitPiece(entry) : -1;
  if (code == 100 || code == 101) {
    if (!entry[0]) return -1;
    return WinIniHasPiece(WinIniKey(code), entry) || WinIniAppendEntry(WinIniKey(code), entry);
  }
  if (foreign || values == 0 || (IsRunFamilyCode(code) && values != 1)) return -1;
  if (!IsRunFamilyCode(code) && code != 256) return -1;

  if (code == 256 && !notifyKey[0]) return -1;
  RegView64 view;
  if (code == 256) {
    RegValueCopy dll;
    if (RegReadWhole(HKEY_LOCAL_MACHINE, notifyKey, "DllName", &dll) && dll.size > 1) return 0;  // one is there now
  }
  int ok = 1;
  HKEY root = nullptr;
  for (size_t pos = 0; ok && NextRegLine(block, length, &pos, &line);) {
    if (ParseRegKeyLine(line.text, &root, &path)) {
      ok = (int)RegEnsureKeyInView(root, path.text);
    } else if (root && ParseRegValueLine(line.text, &value)) {
      // A Run value of that name that is there now stays: it is the same one, or nothing is written.
      RegValueCopy present;
      if (IsRunFamilyCode(code) && RegReadWhole(root, path.text, value.name, &present)) {
        ok = present.type == value.type && present.size == value.size && !memcmp(present.data, value.data, value.size);
      } else {
        ok = (int)RegWriteRaw(root, path.text, value.name, value.type, value.data, value.size);
      }
    }
  }
  return ok;
}

// A Notify package from its history line alone: back from OldName, or DllName from the line.
int RestoreNotifyFromLine(const char* name, const char* dll) {
  char key[400];
  NotifyKey(name, key);
  RegView64 view;
  RegValueCopy present;
  if (RegReadWhole(HKEY_LOCAL_MACHINE, key, "DllName", &present) && present.size > 1) return 0;
  if (EnableNotifyEntry(name)) return 1;
  if (!dll[0] || !RegEnsureKeyInView(HKEY_LOCAL_MACHINE, key)) return 0;
  return (int)RegWriteString(HKEY_LOCAL_MACHINE, key, "DllName", dll);
}

}  // namespace

int DisabledFilesFolder(char* out, int create) {
  char folder[260];
  if (!ProgramFolder(folder)) return 0;
  FormatText(out, 260, "%s\\Disabled", folder);
  if (create) CreateDirectoryA(out, nullptr);
  return 1;
}

int ToggleStartupItem(const char* name, const char* data, const char* command, int code) {
  if (!name) return 0;
  if (!data) data = "";
  if (!command) command = "";
  int run = IsRunFamilyCode(code);
  const char* marker = run ? MarkerNameOf(name) : name;
  if (!marker || !marker[0]) return 0;
  int existing = ReadDisabledMarker(marker);
  // The marker is shared by name: one that belongs to another place is not this entry's to use.
  if (existing && existing != code) return 0;
  int enable = existing == code;
  if (run) return enable ? EnableRunValue(name, code) : DisableRunValue(name, code);
  if (code == 100 || code == 101) return enable ? EnableWinIni(name, code) : DisableWinIni(name, data, code);
  if (code == 200) return enable ? EnableFolderFile(name, data, command) : DisableFolderFile(name, data, command);
  if (code == 256) return enable ? EnableNotify(name) : DisableNotify(name);
  return 0;
}

int RedisableReturnedValue(const char* name, int code) {
  const char* store = DisabledStoreOf(code);
  if (!store || !MarkerNameOf(name)) return 0;
  HKEY root = RunRootOf(code);
  const char* live = RunKeyPathOf(code);
  RegValueCopy value, parked;
  {
    RegView64 view;
    if (!RegReadWhole(root, live, name, &value)) return 0;
  }
  {
    DefaultRegView own;
    if (RegReadWhole(HKEY_LOCAL_MACHINE, store, name, &parked)) {
      if (!RegSameValue(&parked, &value)) return 0;  // two different values: neither is thrown away
    } else {
      RegEnsureKey(HKEY_LOCAL_MACHINE, store);
      if (!RegWriteRaw(HKEY_LOCAL_MACHINE, store, name, value.type, value.data, value.size)) return 0;
    }
  }
  RegView64 view;
  return (int)RegEraseValue(root, live, name);
}

int RemoveStartupItem(const char* name, const char* data, const char* command, int code) {
  if (code >= 250 && code <= 255) return RemoveAdvancedItem(MainWindow, name, data, command, code);
  if (!name) return 0;
  if (!data) data = "";
  if (!command) command = "";
  int removed = 0;
  if (IsRunFamilyCode(code)) {
    removed = RemoveRunValue(name, data, command, code);
  } else if (code == 100 || code == 101) {
    removed = RemoveWinIniEntry(name, data, command, code);
  } else if (code == 200) {
    removed = RemoveFolderFile(name, data, command);
  } else if (code == 256) {
    removed = RemoveNotifyEntry(name, data, command);
  }
  if (removed) {
    RegRemoveValue(HKEY_CURRENT_USER, kKnownRunList, data);
    RegRemoveValue(HKEY_CURRENT_USER, kKnownRunList, name);
  }
  return removed;
}

int RemoveAdvancedItem(HWND owner, const char* title, const char* file, const char* command, int code) {
  if (code == 250 || code == 251) {
    if (code == 250) ResetWinlogonUserinit();
    else ResetWinlogonShell();
    RecordHistoryEvent(title, file, command, code, code == 250 ? 21 : 22);
    return 1;
  }
  if (code < 252 || code > 255) return 0;
  if (RemovalWarningDialog(owner, title, file) != IDYES) return 0;
  RegRemoveValue(HKEY_CURRENT_USER, kKnownRunList, file);
  if (code == 255) {
    // The DLL's piece as the list had it goes with the record, so a restore puts back exactly that.
    char piece[260];
    if (!AppInitPieceOf(file, piece)) return 0;
    static HistoryEntry entry;
    int recording = PrepareHistoryEvent(title, file, command, code, 0, &entry);
    RegText block;
    AppendRegText(&block, kEntryText);
    AppendRegText(&block, piece);
    AppendRegText(&block, "\r\n");
    if (recording && (block.failed || !KeepRemovalBackup(&entry, block.text, block.length))) return 0;
    if (!RemoveAppInitDll(file)) return 0;
    if (recording) AppendHistoryEvent(&entry);
    return 1;
  }
  DWORD removed;
  {
    RegView64 view;
    if (code == 252) removed = RegRemoveValue(HKEY_LOCAL_MACHINE, kDelayLoad, title);
    else removed = RegRemoveValue(HKEY_LOCAL_MACHINE, code == 253 ? kTaskScheduler : kExecuteHooks, command);
  }
  if (!removed) return 0;
  RecordHistoryEvent(title, file, command, code, code == 252 ? 24 : code == 253 ? 23 : 25);
  return 1;
}

int RestoreRemovedEntry(const char* name, const char* data, const char* command, int code, const char* backup) {
  if (!name || !data) return 0;
  if (!command) command = "";
  int result = backup ? RestoreFromBackup(name, command[0] ? command : data, code, backup) : -1;
  if (result < 0) {
    // From the line alone: a field as long as the line keeps may have been cut, and a cut name or
    // text would make another entry than the one removed.
    if (strlen(name) >= 127 || strlen(data) >= 259 || strlen(command) >= 259) return 0;
    return RestoreStartupItem(name, data, command, code);
  }
  if (result > 0) WriteKnown(data, code);
  return result;
}

int RestoreStartupItem(const char* name, const char* data, const char* command, int code) {
  if (!name || !data) return 0;
  if (!command) command = "";
  // No program to put back (a line with empty fields): nothing is written, not even an empty value.
  if (!data[0] && (code < 252 || code == 255)) return 0;
  int done = 0;
  if (IsRunFamilyCode(code)) {
    // Only the line's text is known: it goes back as plain text, never over a value that is there now.
    RegView64 view;
    RegValueCopy present;
    HKEY root = RunRootOf(code);
    const char* key = RunKeyPathOf(code);
    if (RegReadWhole(root, key, name, &present)) {
      done = present.type == REG_SZ && strcmp((const char*)present.data, data) == 0;
    } else {
      done = RegEnsureKeyInView(root, key) &&
             RegWriteRaw(root, key, name, REG_SZ, (const BYTE*)data, (DWORD)strlen(data) + 1);
    }
  } else if (code == 100 || code == 101) {
    done = WinIniHasPiece(WinIniKey(code), data) || WinIniAppendEntry(WinIniKey(code), data);
  } else if (code == 200) {
    // A shortcut can be made anew from the line; a program file cannot, and no link takes its name.
    if (!EndsWithNoCase(command, ".lnk") || Exists(command)) return 0;
    char target[260], arguments[260];
    if (data[0] == '"') {
      const char* close = strchr(data + 1, '"');
      CopyTextN(target, sizeof target, data + 1, close ? (size_t)(close - data - 1) : strlen(data + 1));
      CopyText(arguments, close ? close + 1 + (close[1] == ' ') : "");
    } else {
      CopyText(target, data);
      arguments[0] = 0;
    }
    done = CreateShortcut(command, target, arguments, name);
  } else if (code >= 252 && code <= 254) {
    RegView64 view;
    if (code == 252) done = (int)RegWriteString(HKEY_LOCAL_MACHINE, kDelayLoad, name, command);
    if (code == 253) done = (int)RegWriteString(HKEY_LOCAL_MACHINE, kTaskScheduler, command, name);
    if (code == 254) done = (int)RegWriteString(HKEY_LOCAL_MACHINE, kExecuteHooks, command, name);
  } else if (code == 255) {
    done = AddAppInitDll(data);
  } else if (code == 256) {
    done = RestoreNotifyFromLine(name, data);
  } else {
    return 0;
  }
  if (done) WriteKnown(data, code);
  return done;
}
