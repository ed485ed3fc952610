// The QOVA page, the product's own page: the program's version, the online information about any
// program by its file name, the check for a newer version, and the maintenance tools.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/online.h"
#include "ui/item_menu.h"
#include "ui/list_view.h"
#include "ui/maintenance.h"
#include "ui/pages/page_frame.h"
#include "ui/sheet.h"

INT_PTR CALLBACK QovaPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

namespace {

const int kPageId = 6027;

enum {
  IDC_QOVA_ICON = 1089,
  IDC_QOVA_NAME = 1090,
  IDC_QOVA_EDITION = 1091,
  IDC_QOVA_VERSION = 1092,
  IDC_QOVA_INTRO = 1093,
  IDC_QOVA_SEARCH_LABEL = 1074,
  IDC_QOVA_PROGRAM = 1075,
  IDC_QOVA_SEARCH = 1076,
  IDC_QOVA_RESET = 1094,
  IDC_QOVA_INFO_GROUP = 1095,
  IDC_QOVA_MAINTENANCE_GROUP = 1096,
  IDC_QOVA_MAINTENANCE_TEXT = 1097,
  IDC_QOVA_CHECK_VERSION = 1123,
};

void ShowVersion(HWND page) {
  char version[1024], pattern[128], line[1200];
  VersionText(version);
  LoadText(1440, pattern, sizeof pattern);
  FillTemplate(line, sizeof line, pattern, version);
  SetDlgItemTextA(page, IDC_QOVA_VERSION, line);
  SetDlgItemTextA(page, IDC_QOVA_EDITION, ApplicationTitle);
}

void SearchProgram(HWND page) {
  char program[260] = "";
  GetDlgItemTextA(page, IDC_QOVA_PROGRAM, program, sizeof program);
  char trimmed[260] = "";
  SkipBlanks(program, trimmed);
  for (size_t end = strlen(trimmed); end > 0 && trimmed[end - 1] == ' '; --end) trimmed[end - 1] = 0;
  if (!trimmed[0]) {
    ShowHint(page, 1443);
    SetFocus(GetDlgItem(page, IDC_QOVA_PROGRAM));
    return;
  }
  // A name the lookup cannot find as a file is sent as it was typed.
  CopyText(SelectedItemTitle, trimmed);
  OpenProgramInfo(450, trimmed);
}

// The repairs, then the companion started afresh so that it takes them up. Closing the dialog
// without applying anything changes nothing and starts nothing.
void ResetTools(HWND page) {
  if (MaintenanceDialog(GetAncestor(page, GA_ROOT)) != 1) return;
  ShowVersion(page);
  char folder[260], companion[300];
  ProgramFolder(folder);
  FormatText(companion, sizeof companion, "%s\\Vandrelix.exe", folder);
  ShellExecuteA(nullptr, "open", companion, "-RESTART", folder, SW_SHOWNORMAL);
}

// Enter in the program field searches, as the Search button does.
LRESULT CALLBACK ProgramFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_GETDLGCODE:
      if (lParam && ((MSG*)lParam)->message == WM_KEYDOWN && wParam == VK_RETURN)
        return DefSubclassProc(field, message, wParam, lParam) | DLGC_WANTMESSAGE;
      break;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        PostMessageA(GetParent(field), WM_COMMAND, MAKEWPARAM(IDC_QOVA_SEARCH, BN_CLICKED), 0);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == '\r') return 0;
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(field, ProgramFieldProc, 1);
      break;
  }
  return DefSubclassProc(field, message, wParam, lParam);
}

void OnCommand(HWND page, int command) {
  SheetBusyScope busy;
  switch (command) {
    case IDC_QOVA_SEARCH:
      SearchProgram(page);
      break;
    case IDC_QOVA_CHECK_VERSION:
      OpenVersionCheck();
      break;
    case IDC_QOVA_RESET:
      ResetTools(page);
      break;
    default:
      HandleSharedItemCommand(page, kPageId, command, -1);
      break;
  }
}

void Activate(HWND page) {
  // The product's settings read again when the companion has asked for it.
  if (ReadOption("Update", 0) != 0) {
    LoadOptions();
    ForgetSortKeys();
    RegWriteString(HKEY_CURRENT_USER, kOptionsKey, "Update", "0");
  }
  ShowVersion(page);
  // Ready for a name to be typed.
  PostMessageA(page, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(page, IDC_QOVA_PROGRAM), TRUE);
}

void Initialise(HWND page) {
  HICON icon = (HICON)LoadImageA(AppInstance, MAKEINTRESOURCEA(101), IMAGE_ICON, 32, 32, LR_SHARED);
  SendDlgItemMessageA(page, IDC_QOVA_ICON, STM_SETICON, (WPARAM)icon, 0);
  SetItemTextFromId(page, 253, IDC_QOVA_NAME);
  SendDlgItemMessageA(page, IDC_QOVA_NAME, WM_SETFONT, (WPARAM)SharedFonts[0], FALSE);
  const struct {
    UINT text;
    int control;
  } kTexts[] = {{1441, IDC_QOVA_CHECK_VERSION}, {1448, IDC_QOVA_INFO_GROUP}, {1442, IDC_QOVA_INTRO},
                {770, IDC_QOVA_SEARCH_LABEL},   {769, IDC_QOVA_SEARCH},       {1449, IDC_QOVA_MAINTENANCE_GROUP},
                {1444, IDC_QOVA_MAINTENANCE_TEXT}, {677, IDC_QOVA_RESET}};
  for (const auto& t : kTexts) SetItemTextFromId(page, t.text, t.control);
  SendDlgItemMessageA(page, IDC_QOVA_PROGRAM, EM_LIMITTEXT, 259, 0);
  SetWindowSubclass(GetDlgItem(page, IDC_QOVA_PROGRAM), ProgramFieldProc, 1, 0);
  PlaceSheet(page, "xPos", "yPos", "dxPos", "dyPos");
}

}  // namespace

INT_PTR CALLBACK QovaPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise(page);
      return TRUE;
    case WM_NOTIFY:
      return AnswerSheetNotify(page, (NMHDR*)lParam, kPageId, Activate);
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnCommand(page, LOWORD(wParam));
      return TRUE;
    case kLayoutPage:
    case WM_SIZE:
    case kRaisePage:
      return TRUE;  // the page keeps its controls where the template puts them
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      BitmapButtonMouse(page, message, lParam);
      return FALSE;
  }
  return FALSE;
}
