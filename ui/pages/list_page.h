// What the pages of the watched areas share: their parts (a description, the list, a row of buttons, a
// check box), laid out the same way; their activation and clean-up; the rows a command acts on; and
// the program facts and icon a row shows.
#pragma once
#include <windows.h>

#include <stddef.h>

#include "ui/list_view.h"

struct ProgramFacts;

enum {
  IDC_PAGE_LIST = 1000,
  IDC_PAGE_DESCRIPTION = 1047,
  IDC_PAGE_INFO = 1008,
  IDC_PAGE_CLOSE = 1004,
  IDC_PAGE_HELP = 1134,
  IDC_PAGE_HELP_PICTURE = 1077,
};

struct ListPageParts {
  int pageId;
  const PageList* list;
  const int* buttons;  // the row of buttons, left to right
  int buttonCount;
  int checkBox;        // 0: none
};

// The description and the help picture at the top, the list across the page, the buttons in one
// evenly spaced row under it and the check box at the foot.
void LayoutListPage(HWND page, const ListPageParts& parts);

// The page's first set-up: the description (a heading and a hint, both string ids), the control texts
// from the string table (pairs of string id and control id), full-row selection, the sheet's place.
// Info and Help stay greyed until their windows work.
void InitialiseListPage(HWND page, UINT heading, UINT hint, const UINT (*texts)[2], int textCount);

// A page becoming active: it is the current page, the frame is set up, the list gets its columns once.
void ActivateListPage(HWND page, const ListPageParts& parts);

// The page's share of the sheet's notifications (activation, leaving, closing): TRUE when handled.
INT_PTR ListPageSheetNotify(HWND page, const NMHDR* header, void (*activate)(HWND page));

HWND ListOfPage(HWND page);
// The table indexes of the selected rows, in list order: each row carries its own item.
int SelectedItems(HWND list, int* items, int capacity);
// The item of the first selected row, or -1 after telling the user that none is selected.
int SelectedItemOrHint(HWND page);

// The facts a row shows about its program file (the area's kept facts, read once per listing) and
// the program's icon in the list's image list (once per fill). `program` is ExeFromCommand's form.
const ProgramFacts* RowProgramFacts(const char* program, int withSize, int* image);

// Row texts shared by the pages: the item's title, and the text of its file after the last backslash.
void ItemTitleText(int item, char* out, size_t cap);
void ItemFileNameText(int item, char* out, size_t cap);
