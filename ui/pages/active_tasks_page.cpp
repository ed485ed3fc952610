// The Active Tasks page: every program file that is running (on 64-bit Windows also the other modules
// of the processes, when all files are shown), and ending them.
#include "ui/pages/active_tasks_page.h"

#include <windows.h>
#include <commctrl.h>
#include <limits.h>
#include <string.h>

#include "areas/processes.h"
#include "areas/program_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "ui/item_menu.h"
#include "ui/pages/list_page.h"
#include "ui/sheet.h"

namespace {

const int kPageId = 6029;
enum { IDC_REFRESH = 1006, IDC_KILL_TASK = 1007, IDC_SHOW_ALL_FILES = 1017 };

struct RowFacts {
  char program[260];  // ExeFromCommand of the item's file
  const ProgramFacts* file;
  int image;
  char detected[24];
} facts;

// A program the walk could only name without its folder is not listed.
int RowListed(int item) {
  char file[260] = "";
  GetItemFile(item, file);
  return strchr(file, '\\') != nullptr;
}

void GatherFacts(int item) {
  char file[260] = "";
  GetItemFile(item, file);
  ExeFromCommand(file, facts.program);
  facts.file = RowProgramFacts(facts.program, 1, &facts.image);
  if (!GetFirstDetected(facts.program, kActiveTaskCode, facts.detected)) facts.detected[0] = 0;
}

int RowImage(int) { return facts.image; }

void CompanyText(int, char* out, size_t cap) { CopyText(out, cap, facts.file->company); }
void DetectedText(int, char* out, size_t cap) { CopyText(out, cap, facts.detected); }
void SizeText(int, char* out, size_t cap) { CopyText(out, cap, facts.file->sizeText); }

// The size in bytes, so that the column sorts by size (its text is grouped by thousands).
void SizeKey(int, char* out, size_t cap) {
  unsigned long long bytes = 0;
  for (const char* c = facts.file->sizeText; *c; ++c) {
    if (*c < '0' || *c > '9') continue;
    bytes = bytes * 10 + (unsigned)(*c - '0');
    if (bytes > LONG_MAX) bytes = LONG_MAX;
  }
  FormatText(out, cap, "%lu", (unsigned long)bytes);
}

void ProcessIdText(int item, char* out, size_t cap) { FormatText(out, cap, "%u", (unsigned)GetItemFlag(item)); }

const ListColumn kColumns[] = {
    {629, 0.3, ItemFileNameText, nullptr},   // Module
    {631, 0.42, ItemTitleText, nullptr},     // Program Description
    {699, 0.25, CompanyText, nullptr},       // Company
    {912, 0.01, DetectedText, nullptr},      // First Detected
    {920, 0, SizeText, SizeKey},             // File Size
    {1450, 0, ProcessIdText, nullptr},       // Process ID
};

}  // namespace

const PageList kActiveTasksList = {kPageId, kColumns, 6, GatherFacts, RowImage, nullptr, RowListed};

int FillActiveTasksList(HWND page) {
  SheetBusyScope busy;
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  EnumerateActiveTasks();
  int count = FillList(ListOfPage(page), &kActiveTasksList);
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
  return count;
}

namespace {

const int kButtons[] = {IDC_PAGE_INFO, IDC_REFRESH, IDC_KILL_TASK, IDC_PAGE_HELP, IDC_PAGE_CLOSE};
const ListPageParts kParts = {kPageId, &kActiveTasksList, kButtons, 5, IDC_SHOW_ALL_FILES};

// Ends each selected row's own process (and the program's other processes), then lists afresh.
void KillSelected(HWND page) {
  static int items[kMaxItems];
  int count = SelectedItems(ListOfPage(page), items, kMaxItems);
  if (count == 0) {
    ShowHint(page, 57);
    return;
  }
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  for (int i = 0; i < count; ++i) EndActiveTask(items[i]);
  FillActiveTasksList(page);
}

void Activate(HWND page) {
  ActivateListPage(page, kParts);
  CheckDlgButton(page, IDC_SHOW_ALL_FILES, OptionSet[OPT_ShowAllFiles] ? BST_CHECKED : BST_UNCHECKED);
  // Only the walk of 64-bit Windows reads every module; elsewhere each process shows its program.
  EnableWindow(GetDlgItem(page, IDC_SHOW_ALL_FILES), RunningOnWow64 ? TRUE : FALSE);
  FillActiveTasksList(page);
}

void OnCommand(HWND page, int id) {
  SheetBusyScope busy;
  switch (id) {
    case IDC_REFRESH:
      FillActiveTasksList(page);
      break;
    case IDC_KILL_TASK:
      KillSelected(page);
      break;
    case IDC_SHOW_ALL_FILES:
      OptionSet[OPT_ShowAllFiles] = IsDlgButtonChecked(page, IDC_SHOW_ALL_FILES) == BST_CHECKED ? 1 : 0;
      WriteOption("ShowAllFiles", OptionSet[OPT_ShowAllFiles]);
      FillActiveTasksList(page);
      break;
    case IDC_PAGE_CLOSE:
      CloseSheet();
      break;
    case IDC_PAGE_HELP:
      HandleSharedItemCommand(page, kPageId, 1077, -1);
      break;
    default:
      HandleSharedItemCommand(page, kPageId, id, SelectedItemIndex(ListOfPage(page)));
      break;
  }
}

// The status bar shows the whole path of the selected program.
void UpdateSelection(HWND page) {
  int item = SelectedItemIndex(ListOfPage(page));
  if (item < 0 || item >= StartupItemCount || !StatusBar) return;
  char file[260] = "";
  GetItemFile(item, file);
  SetStatusText(file);
}

INT_PTR OnNotify(HWND page, NMHDR* header) {
  if (header->idFrom != IDC_PAGE_LIST) return ListPageSheetNotify(page, header, Activate);
  switch (header->code) {
    case LVN_COLUMNCLICK: {
      int column = ((NMLISTVIEW*)header)->iSubItem;
      if (column >= 0 && column < kActiveTasksList.columnCount) SortListByColumn(header->hwndFrom, kPageId, column);
      return TRUE;
    }
    case NM_RCLICK:
      ItemContextMenu(page, kPageId, ((NMITEMACTIVATE*)header)->iItem);
      return TRUE;
    case NM_DBLCLK:
    case NM_RETURN:
      OnCommand(page, IDC_PAGE_INFO);
      return TRUE;
    case LVN_KEYDOWN:
      if (((NMLVKEYDOWN*)header)->wVKey == VK_F5) PostMessageA(page, WM_COMMAND, IDC_REFRESH, 0);
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

// A request that raises the sheet while this page is shown lists the running programs afresh.
void RefreshActiveTasks(HWND page) {
  if (IsWindow(page)) FillActiveTasksList(page);
}

INT_PTR CALLBACK ActiveTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      static const UINT kTexts[][2] = {{301, IDC_PAGE_INFO},  {305, IDC_REFRESH},    {306, IDC_KILL_TASK},
                                       {793, IDC_PAGE_HELP},  {304, IDC_PAGE_CLOSE}, {1334, IDC_SHOW_ALL_FILES}};
      InitialiseListPage(page, 221, 222, kTexts, 6);
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
