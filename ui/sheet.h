// The property sheet that holds every page, the frame around it (status bar, layout, minimum size),
// what every page does when it becomes or stops being the active page, the bitmap buttons, and the
// placement helpers the other dialogs use.
//
// How to add a page (an area "foo" whose list and commands are ready):
//  1. Write ui/pages/foo_page.cpp: its list, its commands and an AreaPage (ui/pages/page_frame.h)
//     whose procedure hands every message to AreaPageMessage, which places the page, answers the
//     sheet's notifications (CurrentPageId, CreateActivePage, CleanupActivePage), the list's clicks
//     and keys, the bitmap buttons' mouse and the layout. A page unlike the others (Startup, Options)
//     does these itself.
//  2. Put its dialog template in res/page_foo.rc (the build picks up res/page_*.rc and
//     ui/pages/*.cpp by themselves).
//  3. Add one row to kSheetPages in ui/sheet.cpp (template, icon, title string, procedure, command
//     id, presence rule, and the refresh to run when a request raises the sheet on that page) and
//     declare the procedure beside the table.
//  4. The list: a PageList with its column table in the page file and, when the page sorts, one
//     row in kSortRules of ui/list_view.cpp (ui/list_view.h says how).
//  5. The right-click menu: the page's row of kMenuRows in ui/item_menu.cpp is usually there
//     already; a command the page cannot carry out yet is listed in kNotYetAvailable there.
#pragma once
#include <windows.h>

// The process-wide state of the sheet.
extern int CurrentPageId;  // 0: no sheet; 1: being built; else the active page's command id
extern int SheetBusy;      // 1 or more: a request to open the sheet only brings the main window forward
extern HWND ActivePage;
extern HWND StatusBar;     // control 6050 of the sheet

enum {
  kStatusBarId = 6050,
  kLayoutPage = 6049,          // private message: the page lays out its own controls
  kRaisePage = WM_USER + 101,  // private message of the 6028 raise (both parameters 5)
};

// Marks the program busy for the life of the object (a fill, a page command with its questions).
struct SheetBusyScope {
  SheetBusyScope() { ++SheetBusy; }
  ~SheetBusyScope() { --SheetBusy; }
};

struct SheetPage {
  int templateId;
  int iconId;
  UINT titleId;
  DLGPROC procedure;
  int commandId;               // the page command that selects it
  int (*present)();            // null: always present
  void (*refreshOnRaise)(HWND page);  // run when a page request raises the open sheet on this page
};
extern const SheetPage kSheetPages[];
extern const int kSheetPageCount;

// Opens the sheet at the page of the command id, or raises the open sheet. Returns 0.
int OpenPropertySheet(HWND owner, int commandId);
// Ends the open sheet as its Close button would (posted; the sheet closes once the loop sees it).
void CloseSheet();
HWND SheetWindow();

void CreateActivePage(HWND page);
void CleanupActivePage(HWND page);
void PlaceSheet(HWND page, const char* xName, const char* yName, const char* dxName, const char* dyName);
void LayoutSheet(HWND page);
void SetStatusText(const char* text);

// Bitmap buttons: a static control showing a bitmap that acts as a push button.
void SetBitmapButton(HWND control, const int* bitmapIds, int bitmapCount, int command);
void ClearBitmapButton(HWND control, int propertyCount);
void ShowBitmapProperty(HWND control, int property);  // a missing property leaves the control as it is
void BitmapButtonMouse(HWND page, UINT message, LPARAM lParam);
// Lets the keyboard press a bitmap button (give it WS_TABSTOP): it shows the focus, and Space sends
// its command as a click would.
void LetKeyboardPress(HWND control);

// Placement of secondary dialogs, under HKEY_CURRENT_USER Software\Orvenn Studios\Vandrelix.
void CenterWindow(HWND window);
void RestoreDialogPlace(HWND window, const char* xName, const char* yName);
void SaveDialogPlace(HWND window, const char* xName, const char* yName, const char* dxName, const char* dyName);
void RestoreDialogPlaceAndSize(HWND window, const char* xName, const char* yName, const char* dxName,
                               const char* dyName);
// The placer lower units reach through PlaceDialogHook: restore (save 0) or keep (save 1) the place
// under names x, y, dx, dy; without names the dialog is centred and nothing is kept.
void PlaceDialogBySettings(HWND dialog, const char* const* names, int save);

// The text of a string in a message box captioned "Vandrelix Help" (string 31).
void ShowHint(HWND owner, UINT textId);
