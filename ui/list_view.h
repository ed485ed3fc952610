// The report lists of the pages: columns and their widths, rows that carry their item's table index,
// the small-icon image lists, selection helpers and sorting by a clicked column.
//
// A page describes its list with a PageList: its column table (title string, width fraction, how a
// row's text and sort key are made) and the steps FillList runs once per item. FillList makes every
// text and sort key of a row once, keeps the keys in a process-wide row store indexed by table index,
// and inserts the row. Sorting compares those stored keys only, so sorting and redrawing read no file
// and no registry value.
//
// Sorting a page: add its row to kSortRules in ui/list_view.cpp (the option that keeps its sort key,
// and for each column whether its key compares as text, as a number or as a date key, and whether
// disabled items go last); the page's columns supply the keys through `key` (or their shown text).
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <stddef.h>

enum { kMaxListColumns = 6 };

struct ListColumn {
  UINT titleId;
  double fraction;  // of the list's width less a scroll bar; 0 gives a column of width 0
  // The shown text and, when it sorts by something else, the sort key; both at most 260 characters.
  void (*text)(int item, char* out, size_t cap);
  void (*key)(int item, char* out, size_t cap);  // null: the shown text is the key
};

struct PageList {
  int pageId;
  const ListColumn* columns;
  int columnCount;
  void (*gather)(int item);       // reads what the row's texts need, once per item; may be null
  int (*image)(int item);         // the row's image index in slot 0; null: the program icon
  int (*disabled)(int item);      // for the disabled-last rule; null: never
  int (*listed)(int item);        // whether the item gets a row; null: every item
};

// What a list shows about a program file, read once per fill however many rows start that program:
// whether it exists, its icon (slot 0) and one version field (VF_*, or -1 for none). Valid until the
// next fill; only during a fill. (The area enumerations keep facts of their own, read while they list:
// areas/program_facts.h.)
struct ListProgramFacts {
  int exists;
  int image;
  char version[260];
};
const ListProgramFacts* ListProgramFactsOf(const char* program, int versionField);

// Fills the list from the item table: redraw off, rows rebuilt with their texts and icons, keys kept,
// then sorted by the page's saved sort key. Returns the number of rows.
int FillList(HWND list, const PageList* pageList);
void ClearListRows();  // forgets the kept keys (the item table was emptied)

int AddListColumn(HWND list, int column, const char* title, int pageId, double fraction);
int InsertListItem(HWND list, const char* text, int item, int image);
void AddListColumns(HWND list, const PageList* pageList);  // once, when the page is made

// Small-icon image lists, two slots; image 0 of each is the program icon.
extern HIMAGELIST ListImageList[2];
HIMAGELIST CreateListImages(HWND list, int slot);
int DestroyListImages(int slot);  // 0 for a slot above 1
int AddFileIcon(const char* command, int iconNumber, int slot);
// As AddFileIcon for a program path already reduced and probed.
int AddIconOfFile(const char* path, int exists, int iconNumber, int slot);

// Selection.
int SelectedItemIndex(HWND list);  // row parameter of the first selected row, -1 when none
int SelectedRow(HWND list);        // position of the first selected row, -1 when none
int RowItemIndex(HWND list, int row);
int SelectedRowCount(HWND list);
void SelectOnlyRow(HWND list, int row);

// Sorting. The direction flags are shared by column index, whichever page shows the list.
extern int SortDirection[kMaxListColumns];
int SavedSortKey(int pageId);  // 0: keep the fill order; n: sort by column n - 1
void ForgetSortKeys();         // after the options are read again: the next fill reads the saved keys
void SortListByColumn(HWND list, int pageId, int column);  // a column click: sort, flip, remember
void SortListNow(HWND list, int pageId, int column);       // sort with the column's present direction
int CALLBACK CompareListRows(LPARAM first, LPARAM second, LPARAM column);

// A date of the form FormatDateTime writes (month/day/year, 12-hour time) as twelve digits that sort
// in time order; a single blank for a text shorter than 12 characters. out: 16.
void SortableDateKey(const char* date, char* out);
