// Hidden files in the few folders where malware likes to hide them, and what a user can do with one:
// unhide it, open it in Notepad, delete it now or at the next restart.
#pragma once
#include <windows.h>
#include <stddef.h>

enum { kCodeHidden = 370 };

extern const char kKnownHiddenKey[];  // HKCU; one value per hidden file the monitor knows, named by its path

// The folders searched, in order, with how deep below each the walk goes (0 = the folder only).
struct HiddenFolder {
  char path[260];
  int depth;
};
enum { kMaxHiddenFolders = 9 };
struct HiddenFolderFacts {
  char windows[260];      // the Windows folder
  char system[260];       // the System folder
  char commonFiles[260];  // CommonFilesDir, empty when absent
  char temp[260];         // the temporary folder, without its trailing backslash
  int wow64;              // 64-bit Windows: its own system folders are searched too
};
int ReadHiddenFolderFacts(HiddenFolderFacts* out);
int HiddenFolderTable(const HiddenFolderFacts* facts, HiddenFolder* out);  // out: kMaxHiddenFolders

// Adds one item per hidden file of the folders (the table is not cleared); a file reached twice
// through overlapping folders is listed once. Returns the table's count.
int ScanHiddenFolders(const HiddenFolder* folders, int count);
// Clears the table and scans the standard folders with file-system redirection off.
int ScanHiddenFiles();

// Ends the programs started from a file before it is deleted, without asking (the active-tasks
// unit's EndProcessByPath; tests put a recorder in its place, null ends nothing).
typedef int (*TaskEnder)(const char* file, const char* title);
extern TaskEnder EndTasksOfFile;

enum { kDeleteNow = 0, kDeleteAtRestart = 1 };
// Deletes a hidden file now or queues it for deletion at the next restart, after ending its programs.
// Only when that succeeded: the history records it, the monitor's known value goes and the removal
// is reported. Non-zero when deleted (or queued).
int DeleteHiddenFile(const char* title, const char* path, int when);
int UnhideFile(const char* path);  // attributes to normal; non-zero when set
// Opens a file in Notepad, started by its bare name: Windows looks in the program's folder first.
int NotepadCommandLine(const char* path, char* out, size_t cap);
int OpenInNotepad(const char* path);  // non-zero when Notepad was started

// Deletes every file directly in a folder (its subfolders stay); returns how many were deleted.
int DeleteFilesInFolder(const char* folder);
