// Where things are and what Windows this is: program and data folders, the version text, command-line
// reduction, win.ini lists, version tests, the Windows description and the user's date and time text.
#pragma once
#include <windows.h>

int ProgramFolder(char* out);  // out: 260
int DataFolder(char* out);     // out: 260; created when missing
int VersionText(char* out);    // out: 1024
int FolderOf(const char* path, char* out);
int UserNameFromProfile(char* out);  // out: 128
int StartMenuFolder(char* out);      // out: 512
// The list values of win.ini [windows] (load, run) are edited whole: an edit refuses (FALSE) when the
// list could not be read whole or the result would not fit, and empty pieces are dropped.
BOOL WinIniRemoveEntry(const char* key, const char* entry);
BOOL WinIniAppendEntry(const char* key, const char* entry);
enum { kWinIniListCapacity = 32768 };
int WinIniReadList(const char* key, char* out, size_t cap);  // 1 when the whole list fit into out

int ExeFromCommand(const char* command, char* out);                 // out: 260, upper case
int SplitCommand(const char* command, char* path, char* arguments);  // both out: 260

int IsNtPlatform();
int IsVistaOrLater();
int IsWindows8();
int IsWow64();
int UacEnabled();
DWORD DllVersionOf(const char* library);

int OsDescription(char* out);  // out: 512
int FormatDateTime(const SYSTEMTIME* time, char* out);  // out: 24

// The pure cores of the above, for callers that already have the facts.
struct OsFacts {
  OSVERSIONINFOEXA version;
  int extended;              // the OSVERSIONINFOEX form was available
  int tablet;                // SM_TABLETPC
  int productOptionsRead;    // short form only: ProductOptions\ProductType could be read
  char productOptions[257];  // its text
  int hotfixQ246009;         // the NT 4 SP6a hotfix key opens
};
int DescribeOs(const OsFacts* facts, char* out);  // out: 512; 0 and out untouched when nothing to say
// Both return 1 when the result fit into out.
int WinIniRemoveFromList(const char* list, const char* entry, char* out, size_t cap);
int WinIniListWith(const char* list, const char* entry, char* out, size_t cap);
void FormatDateTimeWith(const SYSTEMTIME* time, const char* datePattern, const char* timePattern, char* out);
// Steps of the command reduction that need no system: `letters` are the third extension letters that
// end a path ("XL" or "XLP"). Returns the length placed in `out` (260) and, through `scanned`, the
// number of characters of `text` the copy consumed.
int ReduceCommandText(const char* text, const char* letters, char* out, size_t* scanned);
