// Gathers every program that Windows starts by itself into the item table.
#pragma once
#include <windows.h>

// pageMode 1: the Startup Programs page (Winlogon and advanced places only with ShowAllStartup);
// 0: a complete scan. Returns the item count.
int ScanStartupPrograms(int pageMode);
void ScanRunKeys();
void ScanStartupFolders();
void ScanWinIni();
void ScanDisabledItems();
int ReadWinlogonUserinit(char* out);  // out: 260; 1 when an item is to be listed
int ReadWinlogonShell(char* out);
void ScanAdvancedLocations();

// The program a Userinit or Shell value starts besides the standard one (pure text rules).
int UserinitProgram(const char* value, char* out);
int ShellProgram(const char* value, char* out);
int LooksLikeFileName(const char* text);

// Calls handler(path, attributes, flag) for each entry of a folder, into subfolders while depth > 0.
// A handler result other than 0 ends the walk. Folders reached through reparse points are not entered.
typedef int (*FolderHandler)(const char* path, DWORD attributes, int flag);
int WalkFolder(const char* folder, FolderHandler handler, int depth, int flag);
int AddFolderEntry(const char* path, DWORD attributes, int flag);

// Target and description of a shell link; S_FALSE when it is not to be listed.
HRESULT ResolveShortcut(const char* link, char* target, char* description);  // both out: 260
