// Disabling, enabling, removing and restoring startup entries; Winlogon resets; AppInit and Notify
// edits; deletions at the next restart.
//
// A disabled registry entry is moved, not rewritten: the value keeps its name, type and bytes in its
// store under Disabled (so the companion reads it as it was), and comes back the same way.
#pragma once
#include <windows.h>

int ToggleStartupItem(const char* name, const char* data, const char* command, int code);
int RemoveStartupItem(const char* name, const char* data, const char* command, int code);
int RemoveAdvancedItem(HWND owner, const char* title, const char* file, const char* command, int code);
int RestoreStartupItem(const char* name, const char* data, const char* command, int code);
void RedisableReturnedValue(const char* name, int code);

void DisableNotifyEntry(const char* name);
void EnableNotifyEntry(const char* name);
void RemoveAppInitDll(const char* path);
void AddAppInitDll(const char* path);
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
int CreateShortcut(const char* link, const char* target, const char* arguments, const char* description);

enum {
  IDD_RESTART_COMMANDS = 130, IDC_RESTART_TEXT = 1004, IDC_RESTART_DELETE = 1003, IDC_RESTART_NOTE = 1102,
  IDD_REMOVAL_WARNING = 194, IDC_WARNING_FILE = 1177, IDC_WARNING_TEXT = 1178, IDC_WARNING_TITLE = 1179,
  IDC_WARNING_CONFIRM = 1014,
};
