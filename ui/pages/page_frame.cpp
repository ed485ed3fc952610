#include "ui/pages/page_frame.h"

#include "areas/program_facts.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/items.h"
#include "ui/item_menu.h"
#include "ui/patrol_dialog.h"
#include "ui/sheet.h"

namespace {

enum { kHelpPicture = 1077, kMaxButtons = 12 };

int IsShown(HWND control) { return control && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE); }

// A button's width: its text in the page's font with room either side, never below `least`.
int ButtonWidth(HWND page, HWND button, int least, int padding) {
  char text[256] = "";
  GetWindowTextA(button, text, sizeof text);
  HDC dc = GetDC(page);
  if (!dc) return least;
  HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(page, WM_GETFONT, 0, 0));
  RECT r = {0, 0, 0, 0};
  DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE);  // the mnemonic's "&" takes no room
  SelectObject(dc, old);
  ReleaseDC(page, dc);
  int width = (r.right - r.left) + 2 * padding;
  return width > least ? width : least;
}

}  // namespace

void LayoutPageControls(HWND page, const PageControls* controls) {
  RECT client;
  GetClientRect(page, &client);
  RECT units = {7, 36, 56, 14};  // margin, header height, button width, button height
  MapDialogRect(page, &units);
  int margin = units.left, header = units.top, buttonWidth = units.right, buttonHeight = units.bottom;
  RECT small = {6, 0, 0, 12};  // button padding, height of a footer row
  MapDialogRect(page, &small);
  int padding = small.left, rowHeight = small.bottom;
  int width = client.right - 2 * margin;

  int pictureWidth = 0;
  HWND picture = GetDlgItem(page, kHelpPicture);
  if (IsShown(picture)) {
    RECT r;
    GetWindowRect(picture, &r);
    pictureWidth = (r.right - r.left) + margin / 2;
    SetWindowPos(picture, nullptr, client.right - margin - (r.right - r.left), margin / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetWindowPos(GetDlgItem(page, controls->description), nullptr, margin, 0, width - pictureWidth, header,
               SWP_NOZORDER | SWP_NOACTIVATE);

  HWND footer[kMaxButtons];
  int footerCount = 0;
  for (int i = 0; i < controls->footerCount && footerCount < kMaxButtons; ++i) {
    HWND row = GetDlgItem(page, controls->footer[i]);
    if (IsShown(row)) footer[footerCount++] = row;
  }
  int footerTop = client.bottom - margin / 2 - footerCount * rowHeight;
  for (int i = 0; i < footerCount; ++i)
    SetWindowPos(footer[i], nullptr, margin, footerTop + i * rowHeight, width, rowHeight, SWP_NOZORDER | SWP_NOACTIVATE);

  int buttonTop = footerTop - margin / 2 - buttonHeight;
  int listTop = header + margin / 2;
  SetWindowPos(GetDlgItem(page, controls->list), nullptr, margin, listTop, width, buttonTop - margin / 2 - listTop,
               SWP_NOZORDER | SWP_NOACTIVATE);

  HWND shown[kMaxButtons];
  int count = 0;
  for (int i = 0; i < controls->buttonCount && count < kMaxButtons; ++i) {
    HWND button = GetDlgItem(page, controls->buttons[i]);
    if (IsShown(button)) shown[count++] = button;
  }
  // The usual width for every button that fits in it; when the row would not fit the page, each
  // button only as wide as its text needs.
  int widths[kMaxButtons], total = 0;
  for (int pass = 0; pass < 2; ++pass) {
    total = 0;
    for (int i = 0; i < count; ++i) total += widths[i] = ButtonWidth(page, shown[i], pass ? 0 : buttonWidth, padding);
    if (total + (count + 1) * 2 <= width) break;
  }
  int gap = count ? (width - total) / (count + 1) : 0;
  if (gap < 2) gap = 2;
  for (int i = 0, x = margin + gap; i < count; x += widths[i] + gap, ++i)
    SetWindowPos(shown[i], nullptr, x, buttonTop, widths[i], buttonHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(page, nullptr, TRUE);
}

int SelectedItemIndexes(HWND list, int* items, int capacity) {
  int count = 0;
  for (int row = -1; count < capacity;) {
    row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED);
    if (row < 0) break;
    int item = RowItemIndex(list, row);
    if (item >= 0 && item < StartupItemCount) items[count++] = item;
  }
  return count;
}

int SelectedItemOrHint(HWND page, HWND list) {
  int item = SelectedItemIndex(list);
  if (item < 0 || item >= StartupItemCount) {
    ShowHint(page, 57);  // "No selection has been made."
    return -1;
  }
  return item;
}

void AddListColumnsOnce(HWND list, const PageList* pageList) {
  HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
  if (header && SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) == 0) AddListColumns(list, pageList);
}

void SetHintText(HWND page, UINT textId, int control) {
  char text[1024], shown[1024];
  LoadText(textId, text, sizeof text);
  const char* from = text;
  while (*from == '\n' || *from == '\r') ++from;
  size_t n = 0;
  for (; *from && n + 1 < sizeof shown; ++from) {
    if (*from == '&' && from[1] != '&') continue;  // "&&" keeps one
    if (*from == '&') ++from;
    shown[n++] = *from;
  }
  shown[n] = 0;
  SetDlgItemTextA(page, control, shown);
}

void KeyboardItemMenu(HWND page, int pageId, HWND list) {
  int row = SelectedRow(list);
  if (row < 0) return;
  SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
  ItemContextMenu(page, pageId, row);
}

INT_PTR AnswerSheetNotify(HWND page, const NMHDR* header, int pageId, void (*activate)(HWND page)) {
  switch (header->code) {
    case PSN_SETACTIVE:
      CurrentPageId = pageId;
      CreateActivePage(page);
      activate(page);
      SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
      return TRUE;
    case PSN_KILLACTIVE:
      CleanupActivePage(page);
      SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
      return TRUE;
    case PSN_RESET:
      CleanupActivePage(page);
      return TRUE;
  }
  return FALSE;
}

void ShowSelectedFileInStatus(HWND page) {
  int item = SelectedItemIndex(GetDlgItem(page, kAreaList));
  if (item < 0 || item >= StartupItemCount || !StatusBar) return;
  char file[260] = "";
  GetItemFile(item, file);
  SetStatusText(file);
}

void ItemTitleText(int item, char* out, size_t cap) {
  char title[128] = "";
  GetItemTitle(item, title);
  CopyText(out, cap, title);
}

void ItemFileNameText(int item, char* out, size_t cap) {
  char file[260] = "";
  GetItemFile(item, file);
  CopyText(out, cap, file + FileNamePos(file));
}

const ProgramFacts* AreaProgramFacts(const char* program, int withSize, int* image) {
  *image = ListProgramFactsOf(program, -1)->image;
  return ProgramFactsOf(program, withSize);
}

namespace {

void InitialiseAreaPage(const AreaPage* area, HWND page) {
  SetItemTextFromId(page, area->description, kAreaDescription);
  if (area->hint) SetHintText(page, area->hint, kAreaHint);
  for (int i = 0; i < area->textCount; ++i) SetItemTextFromId(page, area->texts[i].text, area->texts[i].control);
  EnableWindow(GetDlgItem(page, kAreaInfo), CommandAvailable(1008));
  EnableWindow(GetDlgItem(page, kAreaHelpButton), CommandAvailable(1077));
  EnableWindow(GetDlgItem(page, kAreaHelpPicture), CommandAvailable(1077));
  SendMessageA(GetDlgItem(page, kAreaList), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
               LVS_EX_FULLROWSELECT);
  PlaceSheet(page, "xPos", "yPos", "dxPos", "dyPos");
}

// Monitor: how often the companion looks at the area; 0 turns its watch off, cancel changes nothing.
void SetAreaPatrolTime(const AreaPage* area, HWND page) {
  INT_PTR minutes = PatrolTimeDialog(page, area->monitorCaption, OptionSet[area->monitorOption]);
  if (minutes < 0) return;
  OptionSet[area->monitorOption] = (int)minutes;
  WriteOption(OptionTable[area->monitorOption].name, (int)minutes);
}

// The page's own commands first, then what every page does alike: Monitor, Close, and the item
// commands (Info, QOVA Info, help, the log...) on the selected row.
void AreaCommand(const AreaPage* area, HWND page, int id) {
  SheetBusyScope busy;
  if (id == kAreaMonitor && area->monitorCaption) {
    SetAreaPatrolTime(area, page);
  } else if (!area->command(page, id)) {
    if (id == kAreaClose) {
      CloseSheet();
    } else {
      HandleSharedItemCommand(page, area->pageId, id, SelectedItemIndex(GetDlgItem(page, kAreaList)));
    }
  }
}

INT_PTR AnswerAreaNotify(const AreaPage* area, HWND page, NMHDR* header) {
  if (header->idFrom != kAreaList) return AnswerSheetNotify(page, header, area->pageId, area->activate);
  switch (header->code) {
    case LVN_COLUMNCLICK: {
      int column = ((NMLISTVIEW*)header)->iSubItem;
      if (column >= 0 && column < area->list->columnCount) SortListByColumn(header->hwndFrom, area->pageId, column);
      return TRUE;
    }
    case NM_RCLICK:
      ItemContextMenu(page, area->pageId, ((NMITEMACTIVATE*)header)->iItem);
      return TRUE;
    case NM_DBLCLK:
      if (((NMITEMACTIVATE*)header)->iItem >= 0) PostMessageA(page, WM_COMMAND, kAreaInfo, 0);
      return TRUE;
    case LVN_KEYDOWN: {
      WORD key = ((NMLVKEYDOWN*)header)->wVKey;
      if (key == VK_DELETE && area->deleteCommand &&
          (!area->deleteNeedsOneRow || SelectedRowCount(header->hwndFrom) == 1))
        PostMessageA(page, WM_COMMAND, area->deleteCommand, 0);
      else if (key == VK_F5 && area->refreshCommand)
        PostMessageA(page, WM_COMMAND, area->refreshCommand, 0);
      return TRUE;
    }
    case LVN_ITEMCHANGED: {
      NMLISTVIEW* change = (NMLISTVIEW*)header;
      if (area->selected && (change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED))
        area->selected(page);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

INT_PTR AreaPageMessage(const AreaPage* area, HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitialiseAreaPage(area, page);
      return TRUE;
    case WM_NOTIFY:
      return AnswerAreaNotify(area, page, (NMHDR*)lParam);
    case WM_COMMAND:
      // Buttons and menu entries (0), accelerators (1); other notifications of the controls are not ours.
      if (HIWORD(wParam) == 0 || HIWORD(wParam) == 1) AreaCommand(area, page, LOWORD(wParam));
      return TRUE;
    case WM_CONTEXTMENU:
      if (lParam == -1) KeyboardItemMenu(page, area->pageId, GetDlgItem(page, kAreaList));
      return TRUE;
    case kLayoutPage:
    case WM_SIZE:
      LayoutPageControls(page, area->controls);
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

int FillAreaList(HWND page, const PageList* pageList, void (*scan)()) {
  SheetBusyScope busy;
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  scan();
  HWND list = GetDlgItem(page, kAreaList);
  int count = FillList(list, pageList);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
  return count;
}
