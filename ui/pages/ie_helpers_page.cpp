// The IE Helpers page: what Internet Explorer loads besides itself (helper objects, toolbars and
// toolbar-button extensions), with removal of an add-on and the shared item actions.
#include "ui/pages/ie_helpers_page.h"

#include <commctrl.h>
#include <string.h>

#include "areas/browser.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "startup/toggle.h"
#include "ui/item_menu.h"
#include "ui/list_view.h"
#include "ui/pages/page_frame.h"
#include "ui/sheet.h"

namespace {

const int kPageId = 6040;

enum {
  IDC_LIST = 1000,
  IDC_DESCRIPTION = 1047,
  IDC_HINT = 1048,
  IDC_INFO = 1008,
  IDC_REMOVE = 1003,
  IDC_HELP_BUTTON = 1134,
  IDC_CLOSE = 1004,
  IDC_HELP_PICTURE = 1077,
  IDC_DELETE_ON_RESTART = 1144,
};

// What a row's texts need, read once per row while the list fills.
struct RowFacts {
  char program[260];  // ExeFromCommand of the item's file
  char company[260];
  int image;
  char detected[24];
} facts;

void GatherFacts(int item) {
  char file[260] = "", description[1024] = "";
  GetItemFile(item, file);
  GetItemDescription(item, description, sizeof description);
  ExeFromCommand(file, facts.program);
  const ListProgramFacts* program = ListProgramFactsOf(facts.program, VF_CompanyName);
  CopyText(facts.company, program->version);
  facts.image = program->image;
  // An extension names its button's icon; any other text is no icon.
  if (ContainsNoCase(description, ".ico")) {
    char icon[260];
    ExeFromCommand(description, icon);
    facts.image = ListProgramFactsOf(icon, -1)->image;
  }
  GetFirstDetected(facts.program, GetItemLocation(item), facts.detected);
}

int RowImage(int) { return facts.image; }

void TitleText(int item, char* out, size_t cap) {
  char title[128] = "";
  GetItemTitle(item, title);
  CopyText(out, cap, title);
}

void ProgramText(int item, char* out, size_t cap) {
  char file[260] = "";
  GetItemFile(item, file);
  CopyText(out, cap, file + FileNamePos(file));
}

void CompanyText(int, char* out, size_t cap) { CopyText(out, cap, facts.company); }

void TypeText(int item, char* out, size_t cap) { CopyText(out, cap, IEHelperTypeText(GetItemLocation(item))); }

void LocationKey(int item, char* out, size_t cap) { FormatText(out, cap, "%d", GetItemLocation(item)); }

void DetectedText(int, char* out, size_t cap) { CopyText(out, cap, facts.detected); }

const ListColumn kColumns[] = {
    {681, 0.35, TitleText, nullptr},
    {684, 0.24, ProgramText, nullptr},
    {699, 0.24, CompanyText, nullptr},
    {714, 0.12, TypeText, LocationKey},
    {912, 0.01, DetectedText, nullptr},
};

}  // namespace

const PageList kIEHelpersList = {kPageId, kColumns, 5, GatherFacts, RowImage, nullptr};

namespace {

const int kButtons[] = {IDC_INFO, IDC_REMOVE, IDC_HELP_BUTTON, IDC_CLOSE};
const int kFooter[] = {IDC_HINT};
const PageControls kControls = {IDC_DESCRIPTION, IDC_LIST, kButtons, 4, kFooter, 1};

HWND ListOf(HWND page) { return GetDlgItem(page, IDC_LIST); }

void RemoveSelected(HWND page) {
  int item = SelectedItemOrHint(page, ListOf(page));
  if (item < 0) return;
  char title[128] = "", file[260] = "";
  GetItemTitle(item, title);
  GetItemFile(item, file);
  char pattern[1024], question[1200];
  LoadText(698, pattern, sizeof pattern);
  FillTemplate(question, sizeof question, pattern, title);
  if (MessageBoxExA(page, question, ApplicationTitle, MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST, UiLanguage) != IDYES)
    return;
  RemoveIEHelper(file, item);
  FillIEHelpersList(page);
}

void DeleteSelectedOnRestart(HWND page) {
  int item = SelectedItemOrHint(page, ListOf(page));
  if (item < 0) return;
  // An extension's file field is its registry id, not a file; only a file that is there is queued.
  char file[260] = "", program[260];
  GetItemFile(item, file);
  ExeFromCommand(file, program);
  char probe[260];
  CopyText(probe, program);
  if (GetItemLocation(item) == kCodeExtension || !program[0] || !FileExists(probe)) {
    char text[256];
    LoadText(730, text, sizeof text);  // "File Does Not Exist"
    MessageBoxExA(page, text, ApplicationTitle, MB_OK | MB_ICONINFORMATION, UiLanguage);
    return;
  }
  char text[1024];
  LoadText(800, text, sizeof text);
  if (MessageBoxExA(page, text, ApplicationTitle, MB_YESNO | MB_ICONSTOP, UiLanguage) == IDYES) DeleteOnRestart(program);
}

// The page's own commands; 0 leaves the command to what every page shares.
int OnCommand(HWND page, int id) {
  switch (id) {
    case IDC_REMOVE:
      RemoveSelected(page);
      break;
    case IDC_DELETE_ON_RESTART:
      DeleteSelectedOnRestart(page);
      break;
    default:
      return 0;
  }
  return 1;
}

void Activate(HWND page) {
  AddListColumnsOnce(ListOf(page), &kIEHelpersList);
  FillIEHelpersList(page);
}

const PageText kTexts[] = {{301, IDC_INFO}, {302, IDC_REMOVE}, {793, IDC_HELP_BUTTON}, {304, IDC_CLOSE}, {794, 1135}};
const AreaPage kArea = {kPageId, &kIEHelpersList, &kControls, 695, 696, kTexts, sizeof kTexts / sizeof kTexts[0],
                        Activate, OnCommand, nullptr, IDC_REMOVE, 1, 0,
                        785, OPT_IEHelpers};

}  // namespace

int FillIEHelpersList(HWND page) { return FillAreaList(page, &kIEHelpersList, [] { EnumerateIEHelpers(); }); }

INT_PTR CALLBACK IEHelpersPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return AreaPageMessage(&kArea, page, message, wParam, lParam);
}
