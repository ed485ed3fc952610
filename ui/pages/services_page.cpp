// The Services page: every service that starts a program, with its state and start type. Stopping a
// service and changing its start type happen in the program information window.
#include "ui/pages/services_page.h"

#include <windows.h>
#include <commctrl.h>

#include "areas/program_facts.h"
#include "areas/services.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "ui/item_menu.h"
#include "ui/pages/list_page.h"
#include "ui/sheet.h"

namespace {

const int kPageId = 6038;
enum { IDC_MICROSOFT_FILTER = 1015 };

// What a row's texts need, read once per row while the list fills.
struct RowFacts {
  char program[260];  // ExeFromCommand of the item's file
  const ProgramFacts* file;
  int image;
  char state[256];
  DWORD stateWord;
  char detected[24];
} facts;

void GatherFacts(int item) {
  char file[260] = "", title[128] = "";
  GetItemFile(item, file);
  GetItemTitle(item, title);
  ExeFromCommand(file, facts.program);
  facts.file = RowProgramFacts(facts.program, 0, &facts.image);
  facts.stateWord = GetServiceStateText(title, facts.state);
  if (!GetFirstDetected(facts.program, kServiceExeCode, facts.detected)) facts.detected[0] = 0;
}

int RowImage(int) { return facts.image; }

void CommandText(int item, char* out, size_t cap) {
  char name[260];
  ItemFileNameText(item, name, sizeof name);
  CopyText(out, cap, GetItemLocation(item) == kServiceHostCode ? "svchost.exe " : "");
  AppendText(out, cap, name);
}

void CompanyText(int, char* out, size_t cap) {
  if (!facts.file->found) {
    LoadText(730, out, (int)cap);  // "File Does Not Exist"
  } else {
    CopyText(out, cap, facts.file->company[0] ? facts.file->company : " ");
  }
}

void CompanyKey(int, char* out, size_t cap) { CopyText(out, cap, facts.file->company); }

void StatusText(int, char* out, size_t cap) { CopyText(out, cap, facts.stateWord ? facts.state : " "); }

void StartupText(int item, char* out, size_t cap) {
  char command[260] = "";
  GetItemCommand(item, command);
  CopyText(out, cap, command);
}

void DetectedText(int, char* out, size_t cap) { CopyText(out, cap, facts.detected); }

const ListColumn kColumns[] = {
    {627, 0.3, ItemTitleText, nullptr},            // Title
    {628, 0.25, CommandText, ItemFileNameText},    // Command
    {699, 0.2, CompanyText, CompanyKey},           // Company
    {648, 0.1, StatusText, nullptr},               // Status
    {651, 0.12, StartupText, nullptr},             // Startup
    {912, 0.01, DetectedText, nullptr},            // First Detected
};

}  // namespace

const PageList kServicesList = {kPageId, kColumns, 6, GatherFacts, RowImage, nullptr, nullptr};

int FillServicesList(HWND page) {
  SheetBusyScope busy;
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  EnumerateServices();
  int count = FillList(ListOfPage(page), &kServicesList);
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
  return count;
}

namespace {

const int kButtons[] = {IDC_PAGE_INFO, IDC_PAGE_HELP, IDC_PAGE_CLOSE};
const ListPageParts kParts = {kPageId, &kServicesList, kButtons, 3, IDC_MICROSOFT_FILTER};

void Activate(HWND page) {
  ActivateListPage(page, kParts);
  CheckDlgButton(page, IDC_MICROSOFT_FILTER, OptionSet[OPT_HideMicrosoftServices] ? BST_CHECKED : BST_UNCHECKED);
  FillServicesList(page);
}

void OnCommand(HWND page, int id) {
  SheetBusyScope busy;
  switch (id) {
    case IDC_PAGE_CLOSE:
      CloseSheet();
      break;
    case IDC_MICROSOFT_FILTER:
      OptionSet[OPT_HideMicrosoftServices] = IsDlgButtonChecked(page, IDC_MICROSOFT_FILTER) == BST_CHECKED ? 1 : 0;
      WriteOption("HideMicrosoftServices", OptionSet[OPT_HideMicrosoftServices]);
      FillServicesList(page);
      break;
    case IDC_PAGE_HELP:
      HandleSharedItemCommand(page, kPageId, 1077, -1);
      break;
    default:
      HandleSharedItemCommand(page, kPageId, id, SelectedItemIndex(ListOfPage(page)));
      break;
  }
}

// The status bar tells what the selected service does (its description), else where its program is.
void UpdateSelection(HWND page) {
  int item = SelectedItemIndex(ListOfPage(page));
  if (item < 0 || item >= StartupItemCount || !StatusBar) return;
  char text[1024] = "";
  if (!GetItemDescription(item, text, sizeof text) || !text[0]) GetItemFile(item, text);
  SetStatusText(text);
}

INT_PTR OnNotify(HWND page, NMHDR* header) {
  if (header->idFrom != IDC_PAGE_LIST) return ListPageSheetNotify(page, header, Activate);
  switch (header->code) {
    case LVN_COLUMNCLICK: {
      int column = ((NMLISTVIEW*)header)->iSubItem;
      if (column >= 0 && column < kServicesList.columnCount) SortListByColumn(header->hwndFrom, kPageId, column);
      return TRUE;
    }
    case NM_RCLICK:
      ItemContextMenu(page, kPageId, ((NMITEMACTIVATE*)header)->iItem);
      return TRUE;
    case NM_DBLCLK:
    case NM_RETURN:
      OnCommand(page, IDC_PAGE_INFO);
      return TRUE;
    case LVN_ITEMCHANGED: {
      NMLISTVIEW* change = (NMLISTVIEW*)header;
      if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED)) UpdateSelection(page);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK ServicesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      static const UINT kTexts[][2] = {
          {301, IDC_PAGE_INFO}, {793, IDC_PAGE_HELP}, {304, IDC_PAGE_CLOSE}, {721, IDC_MICROSOFT_FILTER}};
      InitialiseListPage(page, 638, 639, kTexts, 4);
      return TRUE;
    }
    case WM_NOTIFY:
      return OnNotify(page, (NMHDR*)lParam);
    case WM_COMMAND: {
      int id = LOWORD(wParam) == IDOK ? (int)IDC_PAGE_INFO : (int)LOWORD(wParam);  // Enter: the row's information
      if (HIWORD(wParam) == 0 || HIWORD(wParam) == 1) OnCommand(page, id);
      return TRUE;
    }
    case kLayoutPage:
    case WM_SIZE:
      LayoutListPage(page, kParts);
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
