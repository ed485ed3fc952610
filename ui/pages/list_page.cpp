#include "ui/pages/list_page.h"

#include <commctrl.h>

#include "areas/program_facts.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/items.h"
#include "ui/item_menu.h"
#include "ui/sheet.h"

void LayoutListPage(HWND page, const ListPageParts& parts) {
  RECT client;
  GetClientRect(page, &client);
  RECT units = {7, 36, 56, 14};  // margin, description height, button width, button height
  MapDialogRect(page, &units);
  int margin = units.left, header = units.top, buttonWidth = units.right, buttonHeight = units.bottom;
  RECT box = {0, 0, 0, 12};
  MapDialogRect(page, &box);
  int boxHeight = parts.checkBox ? box.bottom : 0;
  int width = client.right - 2 * margin;

  int pictureWidth = 0;
  HWND picture = GetDlgItem(page, IDC_PAGE_HELP_PICTURE);
  if (picture && (GetWindowLongA(picture, GWL_STYLE) & WS_VISIBLE)) {
    RECT r;
    GetWindowRect(picture, &r);
    pictureWidth = (r.right - r.left) + margin / 2;
    SetWindowPos(picture, nullptr, client.right - margin - (r.right - r.left), margin / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetWindowPos(GetDlgItem(page, IDC_PAGE_DESCRIPTION), nullptr, margin, 0, width - pictureWidth, header,
               SWP_NOZORDER | SWP_NOACTIVATE);

  int boxTop = client.bottom - margin / 2 - boxHeight;
  int buttonTop = boxTop - margin / 2 - buttonHeight;
  int listTop = header + margin / 2;
  SetWindowPos(ListOfPage(page), nullptr, margin, listTop, width, buttonTop - margin / 2 - listTop,
               SWP_NOZORDER | SWP_NOACTIVATE);
  int gap = (width - parts.buttonCount * buttonWidth) / (parts.buttonCount + 1);
  if (gap < 2) gap = 2;
  for (int i = 0; i < parts.buttonCount; ++i)
    SetWindowPos(GetDlgItem(page, parts.buttons[i]), nullptr, margin + gap + i * (buttonWidth + gap), buttonTop,
                 buttonWidth, buttonHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  if (parts.checkBox)
    SetWindowPos(GetDlgItem(page, parts.checkBox), nullptr, margin, boxTop, width, boxHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(page, nullptr, TRUE);
}

void InitialiseListPage(HWND page, UINT heading, UINT hint, const UINT (*texts)[2], int textCount) {
  char description[1024], part[512];
  LoadText(heading, description, sizeof description);
  LoadText(hint, part, sizeof part);
  AppendText(description, part);
  SetDlgItemTextA(page, IDC_PAGE_DESCRIPTION, description);
  for (int i = 0; i < textCount; ++i) SetItemTextFromId(page, texts[i][0], (int)texts[i][1]);
  EnableWindow(GetDlgItem(page, IDC_PAGE_INFO), CommandAvailable(1008));
  EnableWindow(GetDlgItem(page, IDC_PAGE_HELP), CommandAvailable(1077));
  EnableWindow(GetDlgItem(page, IDC_PAGE_HELP_PICTURE), CommandAvailable(1077));
  SendMessageA(ListOfPage(page), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  PlaceSheet(page, "xPos", "yPos", "dxPos", "dyPos");
}

void ActivateListPage(HWND page, const ListPageParts& parts) {
  CurrentPageId = parts.pageId;
  CreateActivePage(page);
  // The columns take their widths from the list as the frame has laid it out, once.
  HWND list = ListOfPage(page);
  HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
  if (header && SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) == 0) AddListColumns(list, parts.list);
}

INT_PTR ListPageSheetNotify(HWND page, const NMHDR* header, void (*activate)(HWND page)) {
  switch (header->code) {
    case PSN_SETACTIVE:
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

HWND ListOfPage(HWND page) { return GetDlgItem(page, IDC_PAGE_LIST); }

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

int SelectedItemOrHint(HWND page) {
  int item = SelectedItemIndex(ListOfPage(page));
  if (item < 0 || item >= StartupItemCount) {
    ShowHint(page, 57);  // "No selection has been made."
    return -1;
  }
  return item;
}

const ProgramFacts* RowProgramFacts(const char* program, int withSize, int* image) {
  *image = ListProgramFactsOf(program, -1)->image;
  return ProgramFactsOf(program, withSize);
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
