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

void OnCommand(HWND page, int id) {
  SheetBusyScope busy;
  switch (id) {
    case IDC_MICROSOFT_FILTER:
      OptionSet[OPT_HideMicrosoftServices] = IsDlgButtonChecked(page, IDC_MICROSOFT_FILTER) == BST_CHECKED ? 1 : 0;
      WriteOption("HideMicrosoftServices", OptionSet[OPT_HideMicrosoftServices]);
      FillServicesList(page);
      break;
    case IDC_CLOSE:
      CloseSheet();
      break;
    default:
      HandleSharedItemCommand(page, kPageId, id, SelectedItemIndex(ListOf(page)));
      break;
  }
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

void Initialise(HWND page) {
  SetItemTextFromId(page, 638, IDC_DESCRIPTION);
  SetHintText(page, 639, IDC_HINT);
  const struct {
    UINT text;
    int control;
  } kTexts[] = {{301, IDC_INFO}, {793, IDC_HELP_BUTTON}, {304, IDC_CLOSE}, {721, IDC_MICROSOFT_FILTER}};
  for (const auto& t : kTexts) SetItemTextFromId(page, t.text, t.control);
  EnableWindow(GetDlgItem(page, IDC_INFO), CommandAvailable(1008));
  EnableWindow(GetDlgItem(page, IDC_HELP_BUTTON), CommandAvailable(1077));
  EnableWindow(GetDlgItem(page, IDC_HELP_PICTURE), CommandAvailable(1077));
  SendMessageA(ListOf(page), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  PlaceSheet(page, "xPos", "yPos", "dxPos", "dyPos");
}

INT_PTR OnNotify(HWND page, NMHDR* header) {
  if (header->idFrom != IDC_LIST) return AnswerSheetNotify(page, header, kPageId, Activate);
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
      if (((NMITEMACTIVATE*)header)->iItem >= 0) PostMessageA(page, WM_COMMAND, IDC_INFO, 0);
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

int FillServicesList(HWND page) {
  SheetBusyScope busy;
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  EnumerateServices();
  HWND list = ListOf(page);
  int count = FillList(list, &kServicesList);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
  return count;
}

INT_PTR CALLBACK ServicesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise(page);
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(page, (NMHDR*)lParam);
    case WM_COMMAND:
      if (HIWORD(wParam) == 0 || HIWORD(wParam) == 1) OnCommand(page, LOWORD(wParam));
      return TRUE;
    case WM_CONTEXTMENU:
      if (lParam == -1) KeyboardItemMenu(page, kPageId, ListOf(page));
      return TRUE;
    case kLayoutPage:
    case WM_SIZE:
      LayoutPageControls(page, &kControls);
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
