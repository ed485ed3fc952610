// The ActiveX page: the controls Internet Explorer has used (or, on request, every control with
// compatibility settings), each enabled or disabled through its kill bit.
#include "ui/pages/activex_page.h"

#include <commctrl.h>
#include <string.h>

#include "areas/browser.h"
#include "areas/program_facts.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "ui/item_menu.h"
#include "ui/list_view.h"
#include "ui/pages/page_frame.h"
#include "ui/sheet.h"

namespace {

const int kPageId = 6056;

enum {
  IDC_LIST = 1000,
  IDC_DESCRIPTION = 1047,
  IDC_ENABLE = 10,
  IDC_DISABLE = 11,
  IDC_INFO = 1008,
  IDC_HELP_BUTTON = 1134,
  IDC_CLOSE = 1004,
  IDC_HELP_PICTURE = 1077,
  IDC_NON_MICROSOFT = 1170,
  IDC_LIST_ALL = 1171,
};

struct RowFacts {
  char name[260];  // the server's file name as the disk spells it (the table holds it in capitals)
  int exists;
  int image;
  char company[260];
  int enabled;
  char detected[24];
} facts;

void GatherFacts(int item) {
  char file[260] = "", classId[260] = "";
  GetItemFile(item, file);
  GetItemCommand(item, classId);
  // The facts the scan kept: the server's version was read once, while listing.
  const ProgramFacts* program = AreaProgramFacts(file, 0, &facts.image);
  facts.exists = program->found;
  CopyText(facts.name, file + FileNamePos(file));
  WIN32_FIND_DATAA found;
  HANDLE find = facts.exists ? FindFirstFileA(file, &found) : INVALID_HANDLE_VALUE;
  if (find != INVALID_HANDLE_VALUE) {
    CopyText(facts.name, found.cFileName);
    FindClose(find);
  }
  CopyText(facts.company, program->company);
  facts.enabled = IsActiveXEnabled(classId);  // the state stored now, not the one at listing
  GetFirstDetected(file, kCodeActiveX, facts.detected);
}

int RowImage(int) { return facts.image; }

void ModuleText(int item, char* out, size_t cap) {
  char title[128] = "";
  GetItemTitle(item, title);
  CopyText(out, cap, title);
}

void CommandText(int, char* out, size_t cap) { CopyText(out, cap, facts.name); }

void CompanyText(int, char* out, size_t cap) {
  if (!facts.exists) {
    LoadText(730, out, (int)cap);  // "File Does Not Exist"
  } else {
    CopyText(out, cap, facts.company);
  }
}

void CompanyKey(int, char* out, size_t cap) { CopyText(out, cap, facts.company); }

void TypeText(int, char* out, size_t cap) { LoadText(facts.enabled ? 1156 : 666, out, (int)cap); }

void DetectedText(int, char* out, size_t cap) { CopyText(out, cap, facts.detected); }

void ClassIdText(int item, char* out, size_t cap) {
  char classId[260] = "";
  GetItemCommand(item, classId);
  CopyText(out, cap, classId);
}

const ListColumn kColumns[] = {
    {629, 0.3, ModuleText, nullptr},    {628, 0.18, CommandText, nullptr}, {699, 0.2, CompanyText, CompanyKey},
    {714, 0.09, TypeText, nullptr},     {912, 0.01, DetectedText, nullptr}, {1158, 0.18, ClassIdText, nullptr},
};

}  // namespace

const PageList kActiveXList = {kPageId, kColumns, 6, GatherFacts, RowImage, nullptr};

namespace {

const int kButtons[] = {IDC_ENABLE, IDC_DISABLE, IDC_INFO, IDC_HELP_BUTTON, IDC_CLOSE};
const int kFooter[] = {IDC_NON_MICROSOFT, IDC_LIST_ALL};
const PageControls kControls = {IDC_DESCRIPTION, IDC_LIST, kButtons, 5, kFooter, 2};

HWND ListOf(HWND page) { return GetDlgItem(page, IDC_LIST); }

// Enables or disables the control of every selected row; each row carries its own item, so two rows
// of one class id act on the row chosen.
void SwitchSelected(HWND page, int enable) {
  static int items[kMaxItems];
  int count = SelectedItemIndexes(ListOf(page), items, kMaxItems);
  if (count == 0) {
    ShowHint(page, 57);
    return;
  }
  char question[1024];
  LoadText(1159, question, sizeof question);
  for (int i = 0; i < count; ++i) {
    char classId[260] = "";
    GetItemCommand(items[i], classId);
    if (enable) {
      ClearActiveXKillBit(classId);
    } else if (MessageBoxExA(page, question, ApplicationTitle, MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST,
                             UiLanguage) == IDYES) {
      SetActiveXKillBit(classId);
    }
  }
  FillActiveXList(page);
}

void SetOptionFromBox(HWND page, int box, int option) {
  OptionSet[option] = IsDlgButtonChecked(page, box) == BST_CHECKED ? 1 : 0;
  WriteOption(OptionTable[option].name, OptionSet[option]);
  FillActiveXList(page);
}

// The page's own commands; 0 leaves the command to what every page shares.
int OnCommand(HWND page, int id) {
  switch (id) {
    case IDC_ENABLE:
    case IDC_DISABLE:
      SwitchSelected(page, id == IDC_ENABLE);
      break;
    case IDC_NON_MICROSOFT:
      SetOptionFromBox(page, IDC_NON_MICROSOFT, OPT_HideMicrosoftActiveX);
      break;
    case IDC_LIST_ALL:
      SetOptionFromBox(page, IDC_LIST_ALL, OPT_ActiveXListAll);
      break;
    default:
      return 0;
  }
  return 1;
}

void Activate(HWND page) {
  CheckDlgButton(page, IDC_NON_MICROSOFT, OptionSet[OPT_HideMicrosoftActiveX] ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(page, IDC_LIST_ALL, OptionSet[OPT_ActiveXListAll] ? BST_CHECKED : BST_UNCHECKED);
  AddListColumnsOnce(ListOf(page), &kActiveXList);
  FillActiveXList(page);
}

const PageText kTexts[] = {{632, IDC_ENABLE}, {633, IDC_DISABLE},        {301, IDC_INFO},
                {793, IDC_HELP_BUTTON}, {304, IDC_CLOSE},   {1161, IDC_NON_MICROSOFT},
                {1154, IDC_LIST_ALL}, {794, 1135}};
const AreaPage kArea = {kPageId, &kActiveXList, &kControls, 1152, 0, kTexts, sizeof kTexts / sizeof kTexts[0],
                        Activate, OnCommand, nullptr, 0, 0, 0,
                        1157, OPT_ActiveX};

}  // namespace

int FillActiveXList(HWND page) {
  // The servers of 64-bit Windows' own folders are looked at where they are.
  RedirectionOff redirection;
  return FillAreaList(page, &kActiveXList, [] { ScanActiveXControls(); });
}

INT_PTR CALLBACK ActiveXPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return AreaPageMessage(&kArea, page, message, wParam, lParam);
}
