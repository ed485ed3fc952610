// What the area pages share beyond the list machinery: the arrangement of their controls, the rows a
// command acts on, the columns made once, the keyboard's context menu and the sheet's notifications
// that every page answers alike.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "ui/list_view.h"

struct ProgramFacts;

// A page's controls by id, in the order they are laid out.
struct PageControls {
  int description;     // the heading across the top, left of the help picture (1077)
  int list;            // the list, across the page
  const int* buttons;  // one evenly spaced row under the list; hidden buttons take no place
  int buttonCount;
  const int* footer;   // rows across the page under the buttons (check boxes, a hint)
  int footerCount;
};
void LayoutPageControls(HWND page, const PageControls* controls);

// The table indexes of the selected rows, in list order: each row carries its own item.
int SelectedItemIndexes(HWND list, int* items, int capacity);
// The item of the selected row, or -1 after telling the user that nothing is selected.
int SelectedItemOrHint(HWND page, HWND list);
// The columns of a list, made the first time its page is shown (widths follow the laid-out list).
void AddListColumnsOnce(HWND list, const PageList* pageList);
// A hint line under the buttons: the string without its leading line feed (such texts open with one as
// headings) and without mnemonic marks, which only a control's own label may carry.
void SetHintText(HWND page, UINT textId, int control);

// The item menu of the selected row for Shift+F10 or the menu key (a right click arrives as NM_RCLICK).
void KeyboardItemMenu(HWND page, int pageId, HWND list);

// The ids every area page's template gives the controls they share.
enum {
  kAreaList = 1000,
  kAreaDescription = 1047,
  kAreaHint = 1048,
  kAreaInfo = 1008,
  kAreaHelpButton = 1134,
  kAreaHelpPicture = 1077,
  kAreaMonitor = 1135,
  kAreaClose = 1004,
};

struct PageText {
  UINT text;
  int control;
};

// An area page as data: what it shows and the few ways its pages differ; AreaPageMessage answers the
// rest alike on every page (labels, layout, sorting, menus, the keyboard, the sheet's notifications).
struct AreaPage {
  int pageId;
  const PageList* list;
  const PageControls* controls;
  UINT description;                    // the heading
  UINT hint;                           // the line under the buttons, 0 when there is none
  const PageText* texts;               // the labels of buttons and boxes
  int textCount;
  void (*activate)(HWND page);         // shown: make the columns once and fill
  int (*command)(HWND page, int id);   // a button, menu entry or accelerator; 0 when not the page's own
  void (*selected)(HWND page);         // a row became selected; nullptr when that shows nothing
  int deleteCommand;                   // what the Delete key asks for, 0 for nothing
  int deleteNeedsOneRow;               // ... only while exactly one row is selected
  int refreshCommand;                  // what F5 asks for, 0 for nothing
  UINT monitorCaption;                 // the patrol-time caption of the Monitor button, 0 for no button
  int monitorOption;                   // the option that holds the companion's patrol time of the area
};
INT_PTR AreaPageMessage(const AreaPage* area, HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Lists a page afresh under the wait cursor: `scan` reads the area, then each item gets its row.
int FillAreaList(HWND page, const PageList* pageList, void (*scan)());

// A page's answer to the sheet's notifications: on activation it becomes the current page and
// `activate` fills it; on leaving it cleans up. TRUE when the notification was one of these.
INT_PTR AnswerSheetNotify(HWND page, const NMHDR* header, int pageId, void (*activate)(HWND page));

// A selection handler for AreaPage: the status bar shows the whole file of the selected row.
void ShowSelectedFileInStatus(HWND page);

// Row texts several pages show: the item's title, and its file after the last backslash.
void ItemTitleText(int item, char* out, size_t cap);
void ItemFileNameText(int item, char* out, size_t cap);
// What a row shows of its program: the facts its area kept while listing (each file read once), and
// the program's icon in the list's image list (once per fill). `program` is ExeFromCommand's form.
const ProgramFacts* AreaProgramFacts(const char* program, int withSize, int* image);
