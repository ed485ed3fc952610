// The Services page: every service that starts a program, with its state and start type. Stopping a
// service and changing its start type happen in the program information window.
#include "ui/pages/services_page.h"

#include <commctrl.h>

#include "areas/program_facts.h"
#include "areas/services.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "ui/item_menu.h"
#include "ui/pages/page_frame.h"
#include "ui/sheet.h"

namespace {

const int kPageId = 6038;

enum {
  IDC_LIST = 1000,
  IDC_DESCRIPTION = 1047,
  IDC_HINT = 1048,
  IDC_INFO = 1008,
  IDC_HELP_BUTTON = 1134,
  IDC_CLOSE = 1004,
  IDC_HELP_PICTURE = 1077,
  IDC_MICROSOFT_FILTER = 1015,
};

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
  char file[260] = "", title[512] = "";
  GetItemFile(item, file);
  if (!GetItemValueName(item, title)) GetItemTitle(item, title);  // the key name names the service surely
  ExeFromCommand(file, facts.program);
  facts.file = AreaProgramFacts(facts.program, 0, &facts.image);
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
    {627, 0.3, ItemTitleText, nullptr},          // Title
    {628, 0.25, CommandText, ItemFileNameText},  // Command
    {699, 0.2, CompanyText, CompanyKey},         // Company
    {648, 0.1, StatusText, nullptr},             // Status
    {651, 0.12, StartupText, nullptr},           // Startup
    {912, 0.01, DetectedText, nullptr},          // First Detected
};

}  // namespace

const PageList kServicesList = {kPageId, kColumns, 6, GatherFacts, RowImage, nullptr, nullptr};

namespace {

const int kButtons[] = {IDC_INFO, IDC_HELP_BUTTON, IDC_CLOSE};
const int kFooter[] = {IDC_HINT, IDC_MICROSOFT_FILTER};
const PageControls kControls = {IDC_DESCRIPTION, IDC_LIST, kButtons, 3, kFooter, 2};

HWND ListOf(HWND page) { return GetDlgItem(page, IDC_LIST); }

// The page's own commands; 0 leaves the command to what every page shares.
int OnCommand(HWND page, int id) {
  switch (id) {
    case IDC_MICROSOFT_FILTER:
      OptionSet[OPT_HideMicrosoftServices] = IsDlgButtonChecked(page, IDC_MICROSOFT_FILTER) == BST_CHECKED ? 1 : 0;
      WriteOption("HideMicrosoftServices", OptionSet[OPT_HideMicrosoftServices]);
      FillServicesList(page);
      break;
    default:
      return 0;
  }
  return 1;
}

// The status bar tells what the selected service does (its description), else where its program is.
void UpdateSelection(HWND page) {
  int item = SelectedItemIndex(ListOf(page));
  if (item < 0 || item >= StartupItemCount || !StatusBar) return;
  char text[1024] = "";
  if (!GetItemDescription(item, text, sizeof text) || !text[0]) GetItemFile(item, text);
  SetStatusText(text);
}

void Activate(HWND page) {
  AddListColumnsOnce(ListOf(page), &kServicesList);
  CheckDlgButton(page, IDC_MICROSOFT_FILTER, OptionSet[OPT_HideMicrosoftServices] ? BST_CHECKED : BST_UNCHECKED);
  FillServicesList(page);
}

const PageText kTexts[] = {{301, IDC_INFO}, {793, IDC_HELP_BUTTON}, {304, IDC_CLOSE}, {721, IDC_MICROSOFT_FILTER}, {794, 1135}};
const AreaPage kArea = {kPageId, &kServicesList, &kControls, 638, 639, kTexts, sizeof kTexts / sizeof kTexts[0],
                        Activate, OnCommand, UpdateSelection, 0, 0, 0,
                        957, OPT_Services};

}  // namespace

int FillServicesList(HWND page) { return FillAreaList(page, &kServicesList, [] { EnumerateServices(); }); }

INT_PTR CALLBACK ServicesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return AreaPageMessage(&kArea, page, message, wParam, lParam);
}
