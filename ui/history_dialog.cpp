#include "ui/history_dialog.h"

#include <commctrl.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/history.h"
#include "startup/items.h"
#include "ui/item_menu.h"
#include "ui/pages/page_frame.h"
#include "ui/sheet.h"

namespace {

const ListProgramFacts* rowProgram = nullptr;  // the facts of the row being filled

void GatherRow(int item) {
  char file[260] = "", program[260];
  GetItemFile(item, file);
  ExeFromCommand(file, program);
  rowProgram = ListProgramFactsOf(program, -1);
}

int RowImage(int) { return rowProgram ? rowProgram->image : 0; }

void TitleText(int item, char* out, size_t cap) {
  char title[128] = "";
  GetItemTitle(item, title);
  CopyText(out, cap, title);
}

void ActionText(int item, char* out, size_t cap) {
  const char* token = HistoryActionToken(GetItemFlag(item));
  CopyText(out, cap, token ? token : "");
}

// Headed "Command", as the history calls the place an entry came from.
void PlaceText(int item, char* out, size_t cap) {
  const char* token = HistoryLocationToken(GetItemLocation(item));
  CopyText(out, cap, token ? token : "");
}

void DateText(int item, char* out, size_t cap) {
  char date[1024] = "";
  GetItemDescription(item, date, sizeof date);
  CopyText(out, cap, date);
}

const ListColumn kColumns[] = {
    {627, 0.35, TitleText, nullptr},
    {715, 0.22, ActionText, nullptr},
    {628, 0.22, PlaceText, nullptr},
    {713, 0.38, DateText, nullptr},
};

HWND ListOf(HWND dialog) { return GetDlgItem(dialog, IDC_HISTORY_LIST); }

int SelectedEvent(HWND dialog) {
  int item = SelectedItemIndex(ListOf(dialog));
  return item >= 0 && item < StartupItemCount ? item : -1;
}

void UpdateRestore(HWND dialog) {
  int item = SelectedEvent(dialog);
  EnableWindow(GetDlgItem(dialog, IDC_HISTORY_RESTORE), item >= 0 && IsRestorableEvent(item));
}

// Reads the file again and shows it, the newest events in view.
void Reload(HWND dialog) {
  HWND list = ListOf(dialog);
  LoadHistoryItems();
  int rows = FillList(list, &kHistoryList);
  if (rows > 0) {
    SendMessageA(list, LVM_ENSUREVISIBLE, rows - 1, FALSE);
    LVITEMA focus;
    memset(&focus, 0, sizeof focus);
    focus.stateMask = LVIS_FOCUSED;
    focus.state = LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, rows - 1, (LPARAM)&focus);
  }
  UpdateRestore(dialog);
}

void RestoreSelected(HWND dialog) {
  int item = SelectedEvent(dialog);
  // Only events marked as reversible are undone, whichever way the user asks.
  if (item < 0 || !IsRestorableEvent(item)) return;
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  RestoreHistoryEvent(item);
  Reload(dialog);
}

void ClearHistory(HWND dialog) {
  char question[1024];
  LoadText(1445, question, sizeof question);
  if (MessageBoxExA(dialog, question, ApplicationTitle, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, UiLanguage) != IDYES)
    return;
  char path[260];
  if (HistoryFilePath(path)) DeleteFileForced(path);
  Reload(dialog);
}

// The text across the top, the list below it, the buttons in a row at the foot on the right.
void Layout(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  RECT units = {7, 30, 56, 14};  // margin, text height, button width, button height
  MapDialogRect(dialog, &units);
  int margin = units.left, textHeight = units.top, width = units.right, height = units.bottom;
  int inner = client.right - 2 * margin;
  SetWindowPos(GetDlgItem(dialog, IDC_HISTORY_TEXT), nullptr, margin, margin / 2, inner, textHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
  int buttonTop = client.bottom - margin - height;
  int listTop = margin / 2 + textHeight + margin / 2;
  SetWindowPos(ListOf(dialog), nullptr, margin, listTop, inner, buttonTop - margin - listTop,
               SWP_NOZORDER | SWP_NOACTIVATE);
  const int kButtons[] = {IDC_HISTORY_RESTORE, IDC_HISTORY_CLEAR, IDOK};
  int x = client.right - margin - 3 * width - 2 * (margin / 2);
  for (int id : kButtons) {
    SetWindowPos(GetDlgItem(dialog, id), nullptr, x, buttonTop, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    x += width + margin / 2;
  }
  InvalidateRect(dialog, nullptr, TRUE);
}

void Initialise(HWND dialog) {
  char caption[128];
  LoadText(712, caption, sizeof caption);
  SetWindowTextA(dialog, caption);
  SetItemTextFromId(dialog, 710, IDC_HISTORY_TEXT);
  SetItemTextFromId(dialog, 717, IDC_HISTORY_RESTORE);
  SetItemTextFromId(dialog, 711, IDC_HISTORY_CLEAR);
  SetItemTextFromId(dialog, 304, IDOK);
  HWND list = ListOf(dialog);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  AddListColumns(list, &kHistoryList);
  for (int c = 0; c < 4; ++c) SortDirection[c] = 0;
  EnableWindow(GetDlgItem(dialog, IDC_HISTORY_RESTORE), FALSE);
  CenterWindow(dialog);
  Reload(dialog);
  SetFocus(list);
}

INT_PTR OnListNotify(HWND dialog, NMHDR* header) {
  switch (header->code) {
    case LVN_ITEMCHANGED:
    case NM_CLICK:
    case LVN_KEYDOWN:
      UpdateRestore(dialog);
      return TRUE;
    case NM_DBLCLK:
    case NM_RETURN:
      RestoreSelected(dialog);
      return TRUE;
    case NM_RCLICK: {
      int row = ((NMITEMACTIVATE*)header)->iItem;
      if (row >= 0) ItemContextMenu(dialog, kHistoryListId, row);
      return TRUE;
    }
    case LVN_COLUMNCLICK:
      SortListByColumn(header->hwndFrom, kHistoryListId, ((NMLISTVIEW*)header)->iSubItem);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK HistoryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      Layout(dialog);
      Initialise(dialog);
      return FALSE;  // the focus is set
    }
    case WM_SIZE:
      Layout(dialog);
      return TRUE;
    case WM_GETMINMAXINFO: {
      RECT least = {0, 0, 260, 150};
      MapDialogRect(dialog, &least);
      ((MINMAXINFO*)lParam)->ptMinTrackSize.x = least.right;
      ((MINMAXINFO*)lParam)->ptMinTrackSize.y = least.bottom;
      return TRUE;
    }
    case WM_CONTEXTMENU:
      // Shift+F10 or the menu key: the menu of the selected event.
      if (lParam == -1) KeyboardItemMenu(dialog, kHistoryListId, ListOf(dialog));
      return TRUE;
    case WM_NOTIFY: {
      NMHDR* header = (NMHDR*)lParam;
      if (header->idFrom != IDC_HISTORY_LIST) return FALSE;
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
      return OnListNotify(dialog, header);
    }
    case WM_COMMAND: {
      int command = LOWORD(wParam);
      switch (command) {
        case IDC_HISTORY_RESTORE:
          RestoreSelected(dialog);
          return TRUE;
        case IDC_HISTORY_CLEAR:
          ClearHistory(dialog);
          return TRUE;
        case IDOK:
        case IDCANCEL:
          // The column widths stay as they are: this edition keeps no settings of its own.
          EndDialog(dialog, 1);
          return TRUE;
        default:
          HandleSharedItemCommand(dialog, kHistoryListId, command, SelectedEvent(dialog));
          return TRUE;
      }
    }
  }
  return FALSE;
}

}  // namespace

const PageList kHistoryList = {kHistoryListId, kColumns, 4, GatherRow, RowImage, nullptr};

INT_PTR HistoryDialog(HWND owner) {
  INT_PTR result = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_HISTORY), owner, HistoryProc, 0);
  // The events leave the table: the page beneath fills it afresh when it is next shown.
  ClearStartupItems();
  ClearListRows();
  return result;
}
