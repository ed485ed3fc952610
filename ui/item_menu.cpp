#include "ui/item_menu.h"

#include <commctrl.h>
#include <shellapi.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/online.h"
#include "records/program_report.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "startup/toggle.h"
#include "ui/info_window.h"
#include "ui/list_view.h"
#include "ui/sheet.h"

namespace {

enum EntryKind : unsigned char {
  END,
  ENTRY,      // text -> command
  SEPARATOR,
  NOTE,       // "&View Note..." -> 1164, only when the item's note file exists
  TOGGLE,     // "&Enable" -> 10 for a disabled item, else "&Disable" -> 11
};
enum EntryRule : unsigned char {
  ALWAYS,
  LOW_CODE,  // only for items whose location code is below 250
};

struct MenuEntry {
  EntryKind kind;
  UINT textId;
  int command;
  EntryRule rule;
};

struct MenuRow {
  int pageId;
  int withLog;  // the common tail offers the scan log
  MenuEntry entries[12];
};

#define E(text, command) {ENTRY, text, command, ALWAYS}
#define LOW(text, command) {ENTRY, text, command, LOW_CODE}
const MenuEntry kSeparator = {SEPARATOR, 0, 0, ALWAYS};
const MenuEntry kNote = {NOTE, 971, 1164, ALWAYS};

// One row per page id, in the order the entries show. The Recent view (6060) and the registry
// options (6061) build entries from their own records (kind of change, locked state) and bring their
// rows with the rules for those when they land.
const MenuRow kMenuRows[] = {
    {6026, 1, {E(301, 1008), E(1135, 1201), E(1136, 1202), kNote, E(311, 1064), LOW(1116, 1195),
               {SEPARATOR, 0, 0, LOW_CODE}, LOW(302, 1003), {TOGGLE, 0, 0, LOW_CODE}, LOW(801, 1144)}},
    {6028, 0, {E(659, 1008), E(303, 1004), E(708, 1103)}},
    {6029, 1, {E(301, 1008), E(1135, 1201), E(1136, 1202), kNote, E(305, 1006), E(306, 1007), E(801, 1144)}},
    {6038, 1, {E(301, 1008), E(1135, 1201), E(1136, 1202), kNote}},
    {6039, 1, {E(301, 1008), E(1135, 1201), E(1136, 1202), kNote, E(302, 1003), E(801, 1144)}},
    {6040, 1, {E(301, 1008), E(1135, 1201), E(1136, 1202), kNote, E(302, 1003), E(801, 1144)}},
    {6041, 1, {E(717, 1104), E(711, 1106), E(304, 1)}},
    {6042, 1, {E(301, 1008), kNote, E(311, 1064), E(302, 1003)}},
    {6052, 1, {E(301, 1008), E(1135, 1201), E(1136, 1202), kNote, E(305, 1006), E(925, 1184), E(801, 1144),
               E(913, 1180)}},
    {6055, 1, {E(301, 1008), E(1135, 1201), E(1136, 1202), E(311, 1064), E(1117, 1065), E(1118, 1197), kSeparator,
               E(302, 1003), E(1124, 1198), kNote}},
    {6056, 1, {}},  // ActiveX: the common tail alone
};
#undef E
#undef LOW

// Commands whose work is not in this build yet: greyed in a page's entries, left out of the tail.
// Each entry goes when the window or request behind it lands (0 ends the list).
const int kNotYetAvailable[] = {
    0,
};

void AddEntry(HMENU menu, UINT textId, int command) {
  char text[256];
  LoadText(textId, text, sizeof text);
  AppendMenuA(menu, MF_STRING | (CommandAvailable(command) ? 0 : MF_GRAYED), (UINT_PTR)command, text);
}

void AddCommonTail(HMENU menu, int withLog) {
  const struct {
    UINT textId;
    int command;
    int shown;
  } kTail[] = {
      {1359, 1359, IsWindows8()},  // restart into the repair start-up menu
      {641, 1067, 1},
      {310, 9, withLog},
      {31, 1077, 1},
  };
  int separated = 0;
  for (const auto& entry : kTail) {
    if (!entry.shown || !CommandAvailable(entry.command)) continue;
    if (!separated) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    separated = 1;
    AddEntry(menu, entry.textId, entry.command);
  }
}

int ItemExecutable(int item, char* path) {
  char file[260];
  if (!GetItemFile(item, file)) return 0;
  ExeFromCommand(file, path);
  return path[0] != 0;
}

}  // namespace

int CommandAvailable(int command) {
  for (int unavailable : kNotYetAvailable)
    if (unavailable != 0 && unavailable == command) return 0;
  return 1;
}

HMENU BuildItemMenu(int pageId, int item) {
  if (item < 0 || item >= StartupItemCount) return nullptr;
  const MenuRow* menuRow = nullptr;
  for (const auto& candidate : kMenuRows)
    if (candidate.pageId == pageId) menuRow = &candidate;
  if (!menuRow) return nullptr;
  int code = GetItemLocation(item);
  HMENU menu = CreatePopupMenu();
  for (const MenuEntry& entry : menuRow->entries) {
    if (entry.kind == END) break;
    if (entry.rule == LOW_CODE && code >= 250) continue;
    switch (entry.kind) {
      case ENTRY:
        AddEntry(menu, entry.textId, entry.command);
        break;
      case SEPARATOR:
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        break;
      case NOTE:
        if (ItemHasNote(item)) AddEntry(menu, entry.textId, entry.command);
        break;
      case TOGGLE:
        if (IsItemDisabled(item)) {
          AddEntry(menu, 632, 10);
        } else {
          AddEntry(menu, 633, 11);
        }
        break;
      default:
        break;
    }
  }
  AddCommonTail(menu, menuRow->withLog);
  return menu;
}

int ItemContextMenu(HWND page, int pageId, int row) {
  HWND list = FindWindowExA(page, nullptr, WC_LISTVIEWA, nullptr);
  HMENU menu = BuildItemMenu(pageId, list ? RowItemIndex(list, row) : -1);
  if (!menu) return 0;
  if (GetMenuItemCount(menu) <= 0) {  // nothing available to offer for this page yet
    DestroyMenu(menu);
    return 0;
  }
  POINT at;
  GetCursorPos(&at);
  SetForegroundWindow(GetAncestor(page, GA_ROOT));
  TrackPopupMenuEx(menu, TPM_RIGHTBUTTON, at.x, at.y, page, nullptr);
  PostMessageA(page, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return 1;
}

// The program report rescans every area into the item table: the page's entries are set aside
// meanwhile, so its rows and their commands still name the same entries afterwards.
static void WriteReportKeepingEntries() {
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  SetStartupItemsAside();
  WritePageReport();
  PutStartupItemsBack();
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
}

int HandleSharedItemCommand(HWND page, int pageId, int command, int item) {
  // Info (1008, and 1 from Enter), QOVA Info and the item actions work on the selected row's entry.
  int needsItem = command == 1 || command == 1008 || command == 1067 || command == 1164 || command == 1201 ||
                  command == 1202 || command == 1144;
  if (needsItem && (item < 0 || item >= StartupItemCount)) {
    ShowHint(page, 57);  // "No selection has been made."
    return 1;
  }
  switch (command) {
    case 1:
    case 1008:
      ShowInfoWindow(GetAncestor(page, GA_ROOT), FindWindowExA(page, nullptr, WC_LISTVIEWA, nullptr), item);
      return 1;
    case 1067: {
      char file[260] = "";
      GetItemTitle(item, SelectedItemTitle);
      GetItemFile(item, file);
      OpenProgramInfo(GetItemLocation(item), file);
      return 1;
    }
    case 9:
      WriteReportKeepingEntries();
      return 1;
    case 1077:  // the help picture and the menu's "Vandrelix Help"
    case 1134:  // the page's Help button
      OpenHelpPage(page, pageId);
      return 1;
    case 1164:
      ViewItemNote(item);
      return 1;
    case 1201:
      ExploreItemFolder(item);
      return 1;
    case 1202:
      ShowItemProperties(item);
      return 1;
    case 1144:
      DeleteItemFileOnRestart(page, item);
      return 1;
    case 1359:
      PostMessageA(MainWindow, WM_COMMAND, 1359, 0);  // the main window restarts into repair
      return 1;
    default:
      return !CommandAvailable(command);
  }
}

// The Recent view (6060) takes these files from its change records once it lands; every other page
// from the item table.
int OpenItemFile(int item) {
  char file[260];
  if (!GetItemFile(item, file)) return 0;
  return (INT_PTR)ShellExecuteA(nullptr, "open", file, nullptr, nullptr, SW_SHOWDEFAULT) > 32;
}

int ExploreItemFolder(int item) {
  // The program's own path: a command's arguments may hold backslashes of their own.
  char path[260], folder[260];
  if (!ItemExecutable(item, path) || !FolderOf(path, folder)) return 0;
  return (INT_PTR)ShellExecuteA(nullptr, "explore", folder, nullptr, nullptr, SW_SHOWNORMAL) > 32;
}

int ShowItemProperties(int item) {
  char path[260];
  if (!ItemExecutable(item, path)) return 0;
  char probe[260];
  CopyText(probe, path);
  if (!FileExists(probe)) return 0;
  SHELLEXECUTEINFOA info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_INVOKEIDLIST;  // the shell's own properties window, never the program itself
  info.lpVerb = "properties";
  info.lpFile = path;
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExA(&info) ? 1 : 0;
}

// The file a delete at restart is for: the item's file as it is when that names a file, else the
// program of its command line (a startup entry keeps its whole command, quotes and arguments, and
// the system would queue that text, which deletes nothing, and answer success). 0 when no file is there.
static int FileToDeleteOf(int item, char* path) {  // path: 260
  char file[260];
  if (!GetItemFile(item, file) || !file[0]) return 0;
  RedirectionOff redirection;  // the program files of the native system folder are the ones named
  DWORD attributes = GetFileAttributesA(file);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    CopyText(path, 260, file);
    return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  ExeFromCommand(file, path);
  attributes = path[0] ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int DeleteItemFileOnRestart(HWND owner, int item) {
  char text[1024], file[260];
  if (!FileToDeleteOf(item, file)) {
    LoadText(730, text, sizeof text);  // "File Does Not Exist"
    MessageBoxExA(owner, text, ApplicationTitle, MB_OK | MB_ICONINFORMATION | MB_TOPMOST, UiLanguage);
    return 0;
  }
  LoadText(800, text, sizeof text);  // "Is this known Adware or Spyware? ..."
  if (MessageBoxExA(owner, text, ApplicationTitle, MB_YESNO | MB_ICONSTOP | MB_TOPMOST, UiLanguage) != IDYES) return 0;
  return DeleteOnRestart(file);
}

int ItemHasNote(int item) {
  char file[260], note[260];
  if (!GetItemFile(item, file)) return 0;
  NoteFilePath(file, note);
  return GetFileAttributesA(note) != INVALID_FILE_ATTRIBUTES;
}

int ViewItemNote(int item) {
  char file[260], note[260];
  if (!GetItemFile(item, file)) return 0;
  NoteFilePath(file, note);
  if (GetFileAttributesA(note) == INVALID_FILE_ATTRIBUTES) return 0;
  return (INT_PTR)ShellExecuteA(nullptr, "open", note, nullptr, nullptr, SW_SHOWNORMAL) > 32;
}
