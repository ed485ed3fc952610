// The one table that every list is gathered into, the catalog of locations with their tokens and
// readable lines, the change-history actions, and the disabled markers.
#pragma once
#include <windows.h>

struct StartupItem {
  char title[128];
  char fileName[260];
  char command[260];
  int location;  // LocationCode
  int flag;
  char description[1024];
  // The entry's own name as the operations on it need it (see GetItemValueName), and whether it is kept.
  char valueName[512];
  int valueNameState;  // kNameNone, kNameKept or kNameTooLong
  unsigned serial;     // unique for the life of the process, never reused
};
enum { kNameNone = 0, kNameKept = 1, kNameTooLong = 2 };

enum { kMaxItems = 4096 };
extern StartupItem* StartupItemTable[kMaxItems];
extern int StartupItemCount;

int AddStartupItem(char* title, char* fileName, char* command, char* description, int location, int flag);
int GetItemTitle(int i, char* out);     // out: 128
int GetItemFile(int i, char* out);      // out: 260
int GetItemCommand(int i, char* out);   // out: 260
int GetItemDescription(int i, char* out, int capacity);
int GetItemLocation(int i);
int GetItemFlag(int i);
void SetItemLocation(int i, int code);
void SetItemCommand(int i, const char* command);  // what an entry's own command changed it to
void ClearStartupItems();
// Work that fills and empties the table for itself (a report rescans every area) runs between these:
// the entries a page lists are taken out, and put back once that work's entries are gone, so the
// page's rows still name the same entries. One level only.
void SetStartupItemsAside();
void PutStartupItemsBack();
int FormatLocationText(int i, char* out);  // out: 512
int IsItemDisabled(int i);
// The real name of a startup entry, which the title often is not (titles are cut at 127 characters,
// names with the product's name retitled, names with "(Default)" emptied): a registry value's own name
// ("" for a key's default value), a Notify subkey's name, the marker name of a win.ini or Startup-folder
// entry. 1 with the name in `out` (512); 0 when the item keeps none (a name too long to keep, or an item
// of an area without such names). Operations given no name refuse; they never fall back to the title.
int GetItemValueName(int i, char* out);
void SetItemValueName(int i, const char* name);  // a name of 512 characters or more is marked as not kept
unsigned GetItemSerial(int i);                   // 0 when the item cannot be reached

// Catalog of location codes.
const char* LocationToken(int code);         // list token, or null
const char* HistoryLocationToken(int code);  // history token, or null
int LocationFromHistoryToken(const char* token);  // 3000 when unknown
int IsRunFamilyCode(int code);               // 1..7, 11..17, 21..27
HKEY RunRootOf(int code);
// Registry path of a Run-family code's key ("Software\Wow6432Node\..." for 21..27).
const char* RunKeyPathOf(int code);
const char* RunKeyName(int keyNumber);  // 1..7: Run, RunOnce, ... policies\Explorer\Run

// Change-history actions.
enum { kHistoryUnknownAction = 33 };
const char* HistoryActionToken(int action);  // null for numbers without a token
int HistoryActionFromToken(const char* token);  // 33 (LOG_UNKNOWN) when unknown
int IsRestorableAction(int action);

// Disabled storage: markers and the value stores, all under HKLM in the default (32-bit) view.
extern const char kDisabledRoot[];
const char* DisabledStoreOf(int code);  // full path of the store key, or null when the code has none
// The name of the marker of a value name: the name itself; "(Default)" for a key's default value;
// null for a value literally named "(Default)", which could not be told from the default value's.
const char* MarkerNameOf(const char* valueName);
int ReadDisabledMarker(const char* name);     // the code stored, 0 when none (the one way markers are read)
int WriteDisabledMarker(const char* name, int code);
int DeleteDisabledMarker(const char* name);
extern const char* const kDisabledStores[11];  // store names in index order

// A scan or fill asks for the marker of every entry it meets: while markers are taken, they are read
// once from the registry and answered from memory; writes and deletes keep the copy in step.
void TakeDisabledMarkers();
void ReleaseDisabledMarkers();
struct DisabledMarkersTaken {
  DisabledMarkersTaken() { TakeDisabledMarkers(); }
  ~DisabledMarkersTaken() { ReleaseDisabledMarkers(); }
};
