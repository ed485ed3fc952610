#include "ui/pages/startup_page.h"

#include <commctrl.h>
#include <string.h>

#include <initializer_list>

#include "areas/processes.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"
#include "ui/item_menu.h"
#include "ui/pages/page_frame.h"
#include "ui/patrol_dialog.h"
#include "ui/sheet.h"

namespace {

const int kPageId = 6026;

enum {
  IDC_DESCRIPTION = 1047,
  IDC_INFO = 1008,
  IDC_ADD = 1064,
  IDC_REMOVE = 1003,
  IDC_ENABLE = 10,
  IDC_DISABLE = 11,
  IDC_CLOSE = 1004,
  IDC_HELP_BUTTON = 1134,
  IDC_MONITOR = 1135,
  IDC_SHOW_ALL = 1014,
  IDC_MISSING_RUN = 1016,
  IDC_HELP_PICTURE = 1077,
  IDC_MONITOR_PICTURE = 1112,
};

// What a row's texts need, read once per row while the list fills; the program's own facts once per
// program.
struct RowFacts {
  char program[260];  // ExeFromCommand of the item's file
  const ListProgramFacts* file;
  int disabled;
  char detected[24];
} facts;

void GatherFacts(int item) {
  char file[260] = "";
  GetItemFile(item, file);
  ExeFromCommand(file, facts.program);
  facts.file = ListProgramFactsOf(facts.program, VF_CompanyName);
  facts.disabled = IsItemDisabled(item);
  // This edition writes no dates; a second look finds one only when the record step wrote it.
  if (!GetFirstDetected(facts.program, 1, facts.detected)) {
    char area[96];
    FormatText(area, sizeof area, "%s\\Startup", kDetectedRoot);
    if (RecordFirstDetected(facts.program, area)) GetFirstDetected(facts.program, 1, facts.detected);
  }
}

int RowDisabled(int) { return facts.disabled; }
int RowImage(int) { return facts.file->image; }

void TitleText(int item, char* out, size_t cap) {
  char title[128] = "";
  GetItemTitle(item, title);
  CopyText(out, cap, title);
}

void FilePartText(int item, char* out, size_t cap) {
  char file[260] = "";
  GetItemFile(item, file);
  CopyText(out, cap, file + FileNamePos(file));
}

void CommandText(int item, char* out, size_t cap) {
  char part[260];
  FilePartText(item, part, sizeof part);
  // Flag 1 means "started through RUNDLL32" only for registry entries; a Startup-folder item carries
  // its folder's root in it instead.
  int rundll = GetItemFlag(item) == 1 && IsRunFamilyCode(GetItemLocation(item));
  CopyText(out, cap, rundll ? "RunDLL32.exe " : "");
  AppendText(out, cap, part);
}

void CompanyText(int, char* out, size_t cap) {
  if (!facts.file->exists) {
    LoadText(730, out, (int)cap);
  } else {
    CopyText(out, cap, facts.file->version);
  }
}

void CompanyKey(int, char* out, size_t cap) { CopyText(out, cap, facts.file->version); }

void TypeText(int item, char* out, size_t cap) {
  if (facts.disabled) {
    LoadText(626, out, (int)cap);
    return;
  }
  const char* token = LocationToken(GetItemLocation(item));
  CopyText(out, cap, token ? token : "");
}

void LocationKey(int item, char* out, size_t cap) { FormatText(out, cap, "%d", GetItemLocation(item)); }

void DetectedText(int, char* out, size_t cap) { CopyText(out, cap, facts.detected); }

const ListColumn kColumns[] = {
    {627, 0.35, TitleText, nullptr},
    {628, 0.25, CommandText, FilePartText},
    {699, 0.22, CompanyText, CompanyKey},
    {714, 0.15, TypeText, LocationKey},
    {912, 0.01, DetectedText, nullptr},
};

HWND ListOf(HWND page) { return GetDlgItem(page, IDC_STARTUP_LIST); }

// The table indexes of the selected rows, in list order: each row carries its own item.
int SelectedItems(HWND list, int* items, int capacity) {
  int count = 0;
  for (int row = -1; count < capacity;) {
    row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED);
    if (row < 0) break;
    int item = RowItemIndex(list, row);
    if (item >= 0 && item < StartupItemCount) items[count++] = item;
  }
  return count;
}

struct ItemTexts {
  char title[128];
  char file[260];
  char command[260];
  int code;
  char name[512];  // the entry's real name; the operations refuse without one
  int hasName;
};

void ReadItem(int item, ItemTexts* texts) {
  texts->title[0] = texts->file[0] = texts->command[0] = texts->name[0] = 0;
  texts->hasName = GetItemValueName(item, texts->name);
  GetItemTitle(item, texts->title);
  GetItemFile(item, texts->file);
  GetItemCommand(item, texts->command);
  texts->code = GetItemLocation(item);
}

void Refill(HWND page) {
  if (IsWindow(page)) FillStartupList(page);
}

void ToggleSelected(HWND page, int enable) {
  static int items[kMaxItems];
  int count = SelectedItems(ListOf(page), items, kMaxItems);
  if (count == 0) {
    ShowHint(page, 57);
    return;
  }
  for (int i = 0; i < count; ++i) {
    ItemTexts texts;
    ReadItem(items[i], &texts);
    int disabled = IsItemDisabled(items[i]) != 0;
    if (!texts.hasName || enable != disabled) continue;  // already as asked: nothing to end or move
    // A program that is disabled is ended first, after asking when it is the only row. The advanced
    // places (Winlogon, hooks, notification packages) name parts of Windows itself: never ended.
    if (!enable && texts.code < 250) EndProcessByPath(texts.file, texts.title, count == 1);
    ToggleStartupItem(texts.name, texts.file, texts.command, texts.code);
  }
  Refill(page);
}

void RemoveSelected(HWND page) {
  static int items[kMaxItems];
  int count = SelectedItems(ListOf(page), items, kMaxItems);
  if (count == 0) {
    ShowHint(page, 57);
    return;
  }
  for (int i = 0; i < count; ++i) {
    ItemTexts texts;
    ReadItem(items[i], &texts);
    if (ContainsNoCase(texts.title, "Vandrelix QOVA")) CopyText(texts.title, "Vandrelix");
    if (texts.code >= 250) {
      // A delay-load entry is its value: by its own name, as a cut or retitled title names another or none.
      const char* entry = texts.code == 252 && texts.hasName ? texts.name : texts.title;
      RemoveAdvancedItem(page, entry, texts.file, texts.command, texts.code);
      continue;
    }
    // The running program is ended first, after asking when it is the only row.
    EndProcessByPath(texts.file, texts.title, count == 1);
    if (count == 1) {
      char pattern[1024], question[1400];
      LoadText(15, pattern, sizeof pattern);
      FillTemplate(question, sizeof question, pattern, texts.file);
      if (MessageBoxExA(page, question, ApplicationTitle, MB_YESNO | MB_ICONWARNING, UiLanguage) != IDYES) continue;
    }
    if (texts.hasName) RemoveStartupItem(texts.name, texts.file, texts.command, texts.code);
  }
  Refill(page);
}

void SetMonitorImage(HWND page) {
  HWND picture = GetDlgItem(page, IDC_MONITOR_PICTURE);
  if (!picture) return;
  static const int kOff[] = {154, 155, 156, 193};
  static const int kOn[] = {156, 193, 154, 155};
  SetBitmapButton(picture, OptionSet[OPT_Start] > 0 ? kOn : kOff, 4, IDC_MONITOR_PICTURE);
}

void MonitorOptions(HWND page) {
  INT_PTR result = PatrolTimeDialog(page, 1450, OptionSet[OPT_Start]);
  if (result < 0) return;
  OptionSet[OPT_Start] = (int)result;
  WriteOption("Start", (int)result);
  SetMonitorImage(page);
}

void SetOptionFromBox(HWND page, int box, int option) {
  OptionSet[option] = IsDlgButtonChecked(page, box) == BST_CHECKED ? 1 : 0;
  WriteOption(OptionTable[option].name, OptionSet[option]);
  Refill(page);
}

void OnCommand(HWND page, int id) {
  SheetBusyScope busy;
  switch (id) {
    case IDC_ENABLE:
    case IDC_DISABLE:
      ToggleSelected(page, id == IDC_ENABLE);
      break;
    case IDC_REMOVE:
      RemoveSelected(page);
      break;
    case IDC_CLOSE:
      CloseSheet();
      break;
    case IDC_SHOW_ALL:
      SetOptionFromBox(page, IDC_SHOW_ALL, OPT_ShowAllStartup);
      break;
    case IDC_MISSING_RUN:
      SetOptionFromBox(page, IDC_MISSING_RUN, OPT_RealtimeMissingRun);
      break;
    case IDC_ADD:
    case 1195:  // "Move to Delayed Start": both would save data on this computer
      ShowMessageDialog(1162);
      break;
    case IDC_MONITOR:
    case IDC_MONITOR_PICTURE:
      MonitorOptions(page);
      break;
    default:
      HandleSharedItemCommand(page, 6026, id, SelectedItemIndex(ListOf(page)));
      break;
  }
}

void UpdateSelection(HWND page) {
  int item = SelectedItemIndex(ListOf(page));
  if (item < 0 || item >= StartupItemCount) return;
  int code = GetItemLocation(item);
  EnableWindow(GetDlgItem(page, IDC_REMOVE), code != 256);
  SetItemTextFromId(page, (code == 250 || code == 251) ? 677 : 302, IDC_REMOVE);
  ShowWindow(GetDlgItem(page, IDC_ENABLE), SW_HIDE);
  ShowWindow(GetDlgItem(page, IDC_DISABLE), SW_HIDE);
  if (!StatusBar) return;
  char text[1024], where[512];
  LoadText(646, text, sizeof text);
  FormatLocationText(item, where);
  AppendText(text, where);
  SetStatusText(text);
}

void Activate(HWND page) {
  AddListColumnsOnce(ListOf(page), &kStartupList);
  EnableWindow(GetDlgItem(page, IDC_SHOW_ALL), TRUE);
  FillStartupList(page);
  SetMonitorImage(page);
  CheckDlgButton(page, IDC_SHOW_ALL, OptionSet[OPT_ShowAllStartup] >= 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(page, IDC_MISSING_RUN, OptionSet[OPT_RealtimeMissingRun] >= 1 ? BST_CHECKED : BST_UNCHECKED);
  for (int id : {IDC_ENABLE, IDC_DISABLE, IDC_MISSING_RUN}) ShowWindow(GetDlgItem(page, id), SW_HIDE);
}

void Initialise(HWND page) {
  SetItemTextFromId(page, 211, IDC_DESCRIPTION);
  const struct {
    UINT text;
    int control;
  } kTexts[] = {{301, IDC_INFO},  {311, IDC_ADD},     {302, IDC_REMOVE},  {632, IDC_ENABLE},
                {633, IDC_DISABLE}, {304, IDC_CLOSE}, {793, IDC_HELP_BUTTON},    {794, IDC_MONITOR},
                {929, IDC_SHOW_ALL}, {1357, IDC_MISSING_RUN}};
  for (const auto& t : kTexts) SetItemTextFromId(page, t.text, t.control);
  // Buttons whose window has not landed yet stay in their place, greyed.
  EnableWindow(GetDlgItem(page, IDC_INFO), CommandAvailable(1008));
  EnableWindow(GetDlgItem(page, IDC_HELP_BUTTON), CommandAvailable(1077));
  EnableWindow(GetDlgItem(page, IDC_HELP_PICTURE), CommandAvailable(1077));
  SendMessageA(ListOf(page), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  PlaceSheet(page, "xPos", "yPos", "dxPos", "dyPos");
}

// Header text and pictures at the top, the list across the page, one evenly spaced row of buttons
// under it and the check box at the foot.
void LayoutPage(HWND page) {
  RECT client;
  GetClientRect(page, &client);
  RECT units = {7, 36, 56, 14};  // margin, header height, button width, button height
  MapDialogRect(page, &units);
  int margin = units.left, header = units.top, buttonWidth = units.right, buttonHeight = units.bottom;
  RECT box = {0, 0, 0, 12};
  MapDialogRect(page, &box);
  int boxHeight = box.bottom;
  int width = client.right - 2 * margin;
  int pictures = 0;
  for (int id : {IDC_HELP_PICTURE, IDC_MONITOR_PICTURE}) {
    HWND picture = GetDlgItem(page, id);
    if (!picture || !(GetWindowLongA(picture, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT r;
    GetWindowRect(picture, &r);
    pictures += (r.right - r.left) + margin / 2;
    SetWindowPos(picture, nullptr, client.right - margin - pictures + margin / 2, margin / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetWindowPos(GetDlgItem(page, IDC_DESCRIPTION), nullptr, margin, 0, width - pictures, header,
               SWP_NOZORDER | SWP_NOACTIVATE);
  int boxTop = client.bottom - margin / 2 - boxHeight;
  int buttonTop = boxTop - margin / 2 - buttonHeight;
  int listTop = header + margin / 2;
  SetWindowPos(ListOf(page), nullptr, margin, listTop, width, buttonTop - margin / 2 - listTop, SWP_NOZORDER | SWP_NOACTIVATE);
  static const int kButtons[] = {IDC_INFO, IDC_ADD, IDC_REMOVE, IDC_ENABLE, IDC_DISABLE, IDC_HELP_BUTTON, IDC_MONITOR, IDC_CLOSE};
  HWND shown[8];
  int count = 0;
  for (int id : kButtons) {
    HWND button = GetDlgItem(page, id);
    if (button && (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE)) shown[count++] = button;
  }
  int gap = count ? (width - count * buttonWidth) / (count + 1) : 0;
  if (gap < 2) gap = 2;
  for (int i = 0; i < count; ++i)
    SetWindowPos(shown[i], nullptr, margin + gap + i * (buttonWidth + gap), buttonTop, buttonWidth, buttonHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  for (int id : {IDC_SHOW_ALL, IDC_MISSING_RUN})
    SetWindowPos(GetDlgItem(page, id), nullptr, margin, boxTop, width, boxHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(page, nullptr, TRUE);
}

INT_PTR OnNotify(HWND page, NMHDR* header) {
  if (header->idFrom == IDC_STARTUP_LIST) {
    HWND list = header->hwndFrom;
    switch (header->code) {
      case LVN_COLUMNCLICK: {
        int column = ((NMLISTVIEW*)header)->iSubItem;
        if (column >= 0 && column <= 4) SortListByColumn(list, kPageId, column);
        return TRUE;
      }
      case NM_RCLICK:
        ItemContextMenu(page, kPageId, ((NMITEMACTIVATE*)header)->iItem);
        return TRUE;
      case NM_DBLCLK: {
        // QOVA Info, as the page's heading says.
        int row = ((NMITEMACTIVATE*)header)->iItem;
        if (row >= 0) HandleSharedItemCommand(page, kPageId, 1067, RowItemIndex(list, row));
        return TRUE;
      }
      case LVN_ITEMCHANGED: {
        NMLISTVIEW* change = (NMLISTVIEW*)header;
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED)) UpdateSelection(page);
        return TRUE;
      }
      case LVN_KEYDOWN:
        // The Delete key asks to remove the one selected row, as the Remove button does.
        if (((NMLVKEYDOWN*)header)->wVKey == VK_DELETE && SelectedRowCount(list) == 1) {
          PostMessageA(page, WM_COMMAND, IDC_REMOVE, 0);
        } else {
          UpdateSelection(page);
        }
        return TRUE;
      case NM_CLICK:
        UpdateSelection(page);
        return TRUE;
    }
    return FALSE;
  }
  return AnswerSheetNotify(page, header, kPageId, Activate);
}

}  // namespace

const PageList kStartupList = {kPageId, kColumns, 5, GatherFacts, RowImage, RowDisabled};

int FillStartupList(HWND page) {
  SheetBusyScope busy;
  DisabledMarkersTaken markers;  // the scan and every row ask for markers
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  ScanStartupPrograms(1);
  HWND list = ListOf(page);
  int count = FillList(list, &kStartupList);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
  return count;
}

INT_PTR CALLBACK StartupPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise(page);
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(page, (NMHDR*)lParam);
    case WM_COMMAND: {
      int code = HIWORD(wParam);
      if (code == 2) {
        OnCommand(page, 1);  // counts as Info
      } else if (code == 0 || code == 1) {
        OnCommand(page, LOWORD(wParam));
      }
      return TRUE;
    }
    case kLayoutPage:
    case WM_SIZE:
      LayoutPage(page);
      return TRUE;
    case kRaisePage:
      return TRUE;
    case WM_CONTEXTMENU:
      // The context-menu key or Shift+F10 on the list: the selected row's menu, as a right click gives.
      if (lParam == -1) KeyboardItemMenu(page, kPageId, ListOf(page));
      return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      BitmapButtonMouse(page, message, lParam);
      return FALSE;
  }
  return FALSE;
}
