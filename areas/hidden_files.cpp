#include "areas/hidden_files.h"

#include <string.h>

#include "areas/processes.h"
#include "platform/file_facts.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "records/history.h"
#include "records/net_reports.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"

const char kKnownHiddenKey[] = "Software\\Orvenn Studios\\Vandrelix\\Hidden";
namespace {
int EndTasksWithoutAsking(const char* file, const char* title) { return EndProcessByPath(file, title, 0) != 0; }
}  // namespace
TaskEnder EndTasksOfFile = EndTasksWithoutAsking;

namespace {

enum { kDrive, kWindows, kSystem, kCommonFiles, kTemp };

// The folders searched, in order; the last four exist only on 64-bit Windows.
const struct {
  int base;
  const char* tail;
  int depth;
  int only64;
} kFolders[kMaxHiddenFolders] = {
    {kDrive, "", 0, 0},        {kWindows, "", 0, 0},
    {kSystem, "", 1, 0},       {kCommonFiles, "", 1, 0},
    {kTemp, "", 1, 0},         {kWindows, "\\SysWOW64", 1, 1},
    {kSystem, "\\drivers\\etc", 1, 1}, {kSystem, "\\drivers", 1, 1},
    {kSystem, "\\config", 1, 1},
};

int AddHiddenFile(const char* path, DWORD attributes, int) {
  if (!(attributes & FILE_ATTRIBUTE_HIDDEN) || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  // The folders of 64-bit Windows overlap (drivers lies below the System folder): one row per file.
  for (int i = 0; i < StartupItemCount; ++i) {
    const StartupItem* item = StartupItemTable[i];
    if (item->location == kCodeHidden && lstrcmpiA(item->command, path) == 0) return 0;
  }
  static VersionFields fields;
  GetVersionFields(path, &fields);
  char file[260], command[260], none[4] = "";
  CopyText(file, path);
  CopyText(command, path);
  AddStartupItem(fields.field[VF_ProductName], file, command, none, kCodeHidden,
                 (attributes & FILE_ATTRIBUTE_SYSTEM) ? 0 : 1);
  return 0;
}

int deletedFiles = 0;

int DeleteWalkedFile(const char* path, DWORD attributes, int) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  if (DeleteFileForced(path)) ++deletedFiles;
  return 0;
}

}  // namespace

int ReadHiddenFolderFacts(HiddenFolderFacts* out) {
  memset(out, 0, sizeof *out);
  UINT n = GetWindowsDirectoryA(out->windows, sizeof out->windows);
  if (n >= sizeof out->windows) out->windows[0] = 0;
  n = GetSystemDirectoryA(out->system, sizeof out->system);
  if (n >= sizeof out->system) out->system[0] = 0;
  RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir", out->commonFiles,
                sizeof out->commonFiles);
  char temp[MAX_PATH];
  n = GetTempPathA(sizeof temp, temp);
  if (n > 0 && n < sizeof temp) {
    LongPathOf(out->temp, temp);  // a short form would name the same files differently
    TrimBackslash(out->temp, 1);
  }
  out->wow64 = RunningOnWow64;
  return 1;
}

int HiddenFolderTable(const HiddenFolderFacts* facts, HiddenFolder* out) {
  const char* bases[] = {"C:\\", facts->windows, facts->system, facts->commonFiles, facts->temp};
  int count = 0;
  for (const auto& folder : kFolders) {
    const char* base = bases[folder.base];
    if ((folder.only64 && !facts->wow64) || !base[0]) continue;
    FormatText(out[count].path, sizeof out[count].path, "%s%s", base, folder.tail);
    out[count].depth = folder.depth;
    ++count;
  }
  return count;
}

int ScanHiddenFolders(const HiddenFolder* folders, int count) {
  for (int i = 0; i < count; ++i) WalkFolder(folders[i].path, AddHiddenFile, folders[i].depth, 0);
  return StartupItemCount;
}

int ScanHiddenFiles() {
  RedirectionOff redirection;
  ClearStartupItems();
  HiddenFolderFacts facts;
  ReadHiddenFolderFacts(&facts);
  HiddenFolder folders[kMaxHiddenFolders];
  return ScanHiddenFolders(folders, HiddenFolderTable(&facts, folders));
}

int DeleteHiddenFile(const char* title, const char* path, int when) {
  if (!path || !path[0]) return 0;
  if (!title) title = "";
  RedirectionOff redirection;
  if (EndTasksOfFile) EndTasksOfFile(path, title);
  // Both deletes clear the file's attributes first; a file they fail on keeps the ones it had.
  DWORD attributes = GetFileAttributesA(path);
  int done = when == kDeleteAtRestart ? DeleteOnRestart(path) : (DeleteFileForced(path) ? 1 : 0);
  if (!done) {
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path, attributes);
    return 0;
  }
  RecordHistoryEvent(title, path, "", kCodeHidden, 29);
  RegRemoveValue(HKEY_CURRENT_USER, kKnownHiddenKey, path);
  // A queued delete is reported by the queueing itself.
  if (when != kDeleteAtRestart) ReportRemovalToCloud(title, path);
  return 1;
}

int UnhideFile(const char* path) {
  if (!path || !path[0]) return 0;
  RedirectionOff redirection;
  return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) ? 1 : 0;
}

int NotepadCommandLine(const char* path, char* out, size_t cap) {
  if (!path || !path[0] || strlen(path) + sizeof "notepad.exe \"\"" > cap) return 0;
  return (int)FormatText(out, cap, "notepad.exe \"%s\"", path);
}

int OpenInNotepad(const char* path) {
  char line[300];
  if (!NotepadCommandLine(path, line, sizeof line)) return 0;
  // Redirection off: a file of the native System folder opens in the native Notepad.
  RedirectionOff redirection;
  return WinExec(line, SW_SHOWNORMAL) > 31 ? 1 : 0;
}

int DeleteFilesInFolder(const char* folder) {
  // Never a drive's root, never through a junction or link.
  if (!folder || strlen(folder) < 4) return 0;
  DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return 0;
  deletedFiles = 0;
  // Twice: deleting during a listing can make the listing pass over an entry.
  for (int pass = 0; pass < 2; ++pass) WalkFolder(folder, DeleteWalkedFile, 0, 0);
  return deletedFiles;
}
