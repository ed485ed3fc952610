// Disabling, enabling, removing and restoring startup entries; Winlogon resets; AppInit and Notify
// edits; deletions at the next restart.
//
// A disabled registry entry is moved, not rewritten: the value keeps its name, type and bytes in its
// store under Disabled (so the companion reads it as it was), and comes back the same way. A removed
// entry is kept beside history.txt (records/history.h) and comes back from there whole.
//
// `name` is the entry's real name (GetItemValueName of the item table): the registry value's own
// name ("" for a key's default value), the Notify subkey, the marker name of a win.ini or Startup-folder
// entry. An operation that cannot find the real thing by that name refuses (0); none ever writes a
// value made from display text.
#pragma once
#include <windows.h>

int ToggleStartupItem(const char* name, const char* data, const char* command, int code);
int RemoveStartupItem(const char* name, const char* data, const char* command, int code);
int RemoveAdvancedItem(HWND owner, const char* title, const char* file, const char* command, int code);
int RestoreStartupItem(const char* name, const char* data, const char* command, int code);
// A removal undone from its history line: from `backup` (the removal's block, see FindRemovalBackup)
// when it holds the entry, else from the line's own texts by RestoreStartupItem. 1 put back.
int RestoreRemovedEntry(const char* name, const char* data, const char* command, int code, const char* backup);
// A Run value found live while its marker says disabled: 1 when it was put away again (the same value
// as the disabled copy, or no copy kept), 0 when it differs from the kept copy and is left in place.
int RedisableReturnedValue(const char* name, int code);

int DisableNotifyEntry(const char* name);  // 1 when DllName was moved to OldName
int EnableNotifyEntry(const char* name);   // 1 when OldName was moved back to DllName
int RemoveAppInitDll(const char* path);    // 1 when a DLL was taken out of the list
int AddAppInitDll(const char* path);       // 1 when the DLL is in the list afterwards (its short form added)
int AddAppInitPiece(const char* piece);    // the same with the piece exactly as given
int AppInitPieceOf(const char* path, char* out);  // out: 260; the list's piece for a DLL, as written
void ResetWinlogonUserinit();
void ResetWinlogonShell();
int ReregisterDll(const char* path);
int DeleteOnRestart(const char* path);
int ShowRestartCommands(int quiet);
INT_PTR RemovalWarningDialog(HWND owner, const char* title, const char* file);

int DisabledFilesFolder(char* out, int create);  // out: 260
extern const char kKnownRunList[];

// Pure list and file-text edits behind the operations above.
void AppInitListWithout(const char* list, const char* path, char* out, size_t cap);
void WininitWithDelete(const char* text, const char* shortPath, char* out, size_t cap);
int RegsvrCommand(const char* path, char* out, size_t cap);  // "regsvr32 /s" and the quoted path
int CreateShortcut(const char* link, const char* target, const char* arguments, const char* description);

enum {
  IDD_RESTART_COMMANDS = 130, IDC_RESTART_TEXT = 1004, IDC_RESTART_DELETE = 1003, IDC_RESTART_NOTE = 1102,
  IDD_REMOVAL_WARNING = 194, IDC_WARNING_FILE = 1177, IDC_WARNING_TEXT = 1178, IDC_WARNING_TITLE = 1179,
  IDC_WARNING_CONFIRM = 1014,
};
