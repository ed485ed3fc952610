// The Scheduled Tasks page: the work items of the Task Scheduler 1.0, with their program, next and
// last run, and their removal.
#include "ui/pages/scheduled_tasks_page.h"

#include <commctrl.h>
#include <stdio.h>

#include "areas/program_facts.h"
#include "areas/tasks.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/items.h"
#include "ui/item_menu.h"
#include "ui/pages/page_frame.h"
#include "ui/sheet.h"

namespace {

const int kPageId = 6039;

enum {
  IDC_LIST = 1000,
  IDC_DESCRIPTION = 1047,
  IDC_HINT = 1048,
  IDC_INFO = 1008,
  IDC_REMOVE = 1003,
  IDC_HELP_BUTTON = 1134,
  IDC_CLOSE = 1004,
  IDC_HELP_PICTURE = 1077,
};

struct RowFacts {
  const ProgramFacts* file;
  int image;
} facts;

void GatherFacts(int item) {
  char file[260] = "", program[260];
  GetItemFile(item, file);
  ExeFromCommand(file, program);
  facts.file = AreaProgramFacts(program, 0, &facts.image);
}

int RowImage(int) { return facts.image; }

void NameText(int item, char* out, size_t cap) {
  char title[128] = "", name[128];
  GetItemTitle(item, title);
  TaskDisplayName(title, name);
  CopyText(out, cap, name);
}

void CompanyText(int, char* out, size_t cap) {
  if (!facts.file->found) {
    LoadText(730, out, (int)cap);  // "File Does Not Exist"
  } else {
    CopyText(out, cap, facts.file->company);
  }
}

void CompanyKey(int, char* out, size_t cap) { CopyText(out, cap, facts.file->company); }

void NextRunText(int item, char* out, size_t cap) {
  char text[260] = "";
  GetItemCommand(item, text);
  CopyText(out, cap, text);
}

void LastRunText(int item, char* out, size_t cap) {
  char text[1024] = "";
  GetItemDescription(item, text, sizeof text);
  CopyText(out, cap, text);
}

// A run time ("07/04/2026  1:05 PM") as year, month, day, 24-hour hour and minute, which sort in time
// order as text; "Never" and anything else sort first.
void RunTimeKey(const char* text, char* out, size_t cap) {
  unsigned month = 0, day = 0, year = 0, hour = 0, minute = 0;
  char half[3] = "";
  if (sscanf(text, "%u/%u/%u %u:%u %2s", &month, &day, &year, &hour, &minute, half) != 6 || hour > 12) {
    CopyText(out, cap, "");
    return;
  }
  hour = hour % 12 + ((half[0] == 'P' || half[0] == 'p') ? 12 : 0);
  FormatText(out, cap, "%04u%02u%02u%02u%02u", year, month, day, hour, minute);
}

void NextRunKey(int item, char* out, size_t cap) {
  char text[260];
  NextRunText(item, text, sizeof text);
  RunTimeKey(text, out, cap);
}

void LastRunKey(int item, char* out, size_t cap) {
  char text[260];
  LastRunText(item, text, sizeof text);
  RunTimeKey(text, out, cap);
}

const ListColumn kColumns[] = {
    {681, 0.28, NameText, ItemTitleText},       // Name
    {684, 0.16, ItemFileNameText, nullptr},     // Program
    {699, 0.18, CompanyText, CompanyKey},       // Company
    {683, 0.18, NextRunText, NextRunKey},       // Next Run Time
    {682, 0.18, LastRunText, LastRunKey},       // Last Run Time
};

}  // namespace

const PageList kScheduledTasksList = {kPageId, kColumns, 5, GatherFacts, RowImage, nullptr, nullptr};

namespace {

const int kButtons[] = {IDC_INFO, IDC_REMOVE, IDC_HELP_BUTTON, IDC_CLOSE};
const int kFooter[] = {IDC_HINT};
const PageControls kControls = {IDC_DESCRIPTION, IDC_LIST, kButtons, 4, kFooter, 1};

HWND ListOf(HWND page) { return GetDlgItem(page, IDC_LIST); }

void RemoveSelected(HWND page) {
  int item = SelectedItemOrHint(page, ListOf(page));
  if (item < 0) return;
  // The task's whole name: the title may be cut or retitled, and would then name another task or none.
  char name[512] = "", pattern[1024], question[1400];
  if (!GetItemValueName(item, name)) return;
  LoadText(687, pattern, sizeof pattern);
  FillTemplate(question, sizeof question, pattern, name);
  if (MessageBoxExA(page, question, ApplicationTitle, MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST, UiLanguage) != IDYES)
    return;
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  RemoveScheduledTask(name);
  FillScheduledTasksList(page);
}

// The page's own commands; 0 leaves the command to what every page shares.
int OnCommand(HWND page, int id) {
  switch (id) {
    case IDC_REMOVE:
      RemoveSelected(page);
      break;
    default:
      return 0;
  }
  return 1;
}

void Activate(HWND page) {
  AddListColumnsOnce(ListOf(page), &kScheduledTasksList);
  FillScheduledTasksList(page);
}

const PageText kTexts[] = {{301, IDC_INFO}, {302, IDC_REMOVE}, {793, IDC_HELP_BUTTON}, {304, IDC_CLOSE}, {794, 1135}};
const AreaPage kArea = {kPageId, &kScheduledTasksList, &kControls, 678, 679, kTexts, sizeof kTexts / sizeof kTexts[0],
                        Activate, OnCommand, ShowSelectedFileInStatus, IDC_REMOVE, 0, 0,
                        786, OPT_Tasks};

}  // namespace

int FillScheduledTasksList(HWND page) { return FillAreaList(page, &kScheduledTasksList, [] { EnumerateScheduledTasks(); }); }

INT_PTR CALLBACK ScheduledTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return AreaPageMessage(&kArea, page, message, wParam, lParam);
}
