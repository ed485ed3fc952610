// The Active Tasks page: every program file that is running (on 64-bit Windows also the other modules
// of the processes, when all files are shown), and ending them.
#include "ui/pages/active_tasks_page.h"

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
#include "ui/pages/page_frame.h"
#include "ui/sheet.h"

namespace {

const int kPageId = 6029;

enum {
  IDC_LIST = 1000,
  IDC_DESCRIPTION = 1047,
  IDC_HINT = 1048,
  IDC_INFO = 1008,
  IDC_REFRESH = 1006,
  IDC_KILL_TASK = 1007,
  IDC_HELP_BUTTON = 1134,
  IDC_CLOSE = 1004,
  IDC_HELP_PICTURE = 1077,
  IDC_SHOW_ALL_FILES = 1017,
};

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
  facts.file = AreaProgramFacts(facts.program, 1, &facts.image);
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
    {1451, 0, ProcessIdText, nullptr},       // Process ID
};

}  // namespace

const PageList kActiveTasksList = {kPageId, kColumns, 6, GatherFacts, RowImage, nullptr, RowListed};

namespace {

const int kButtons[] = {IDC_INFO, IDC_REFRESH, IDC_KILL_TASK, IDC_HELP_BUTTON, IDC_CLOSE};
const int kFooter[] = {IDC_HINT, IDC_SHOW_ALL_FILES};
const PageControls kControls = {IDC_DESCRIPTION, IDC_LIST, kButtons, 5, kFooter, 2};

HWND ListOf(HWND page) { return GetDlgItem(page, IDC_LIST); }

// Ends each selected row's own process (and the program's other processes), then lists afresh.
void KillSelected(HWND page) {
  static int items[kMaxItems];
  int count = SelectedItemIndexes(ListOf(page), items, kMaxItems);
  if (count == 0) {
    ShowHint(page, 57);  // "No selection has been made."
    return;
  }
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  for (int i = 0; i < count; ++i) EndActiveTask(items[i]);
  FillActiveTasksList(page);
}

// The page's own commands; 0 leaves the command to what every page shares.
int OnCommand(HWND page, int id) {
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
    default:
      return 0;
  }
  return 1;
}

void Activate(HWND page) {
  AddListColumnsOnce(ListOf(page), &kActiveTasksList);
  CheckDlgButton(page, IDC_SHOW_ALL_FILES, OptionSet[OPT_ShowAllFiles] ? BST_CHECKED : BST_UNCHECKED);
  // Only the walk of 64-bit Windows reads every module; elsewhere each process shows its program.
  EnableWindow(GetDlgItem(page, IDC_SHOW_ALL_FILES), RunningOnWow64 ? TRUE : FALSE);
  FillActiveTasksList(page);
}

const PageText kTexts[] = {{301, IDC_INFO},        {305, IDC_REFRESH}, {306, IDC_KILL_TASK},
                {793, IDC_HELP_BUTTON}, {304, IDC_CLOSE},   {1334, IDC_SHOW_ALL_FILES}};
const AreaPage kArea = {kPageId, &kActiveTasksList, &kControls, 221, 222, kTexts, sizeof kTexts / sizeof kTexts[0],
                        Activate, OnCommand, ShowSelectedFileInStatus, 0, 0, IDC_REFRESH};

}  // namespace

int FillActiveTasksList(HWND page) { return FillAreaList(page, &kActiveTasksList, [] { EnumerateActiveTasks(); }); }

// A request that raises the sheet while this page is shown lists the running programs afresh.
void RefreshActiveTasks(HWND page) {
  if (IsWindow(page)) FillActiveTasksList(page);
}

INT_PTR CALLBACK ActiveTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return AreaPageMessage(&kArea, page, message, wParam, lParam);
}
