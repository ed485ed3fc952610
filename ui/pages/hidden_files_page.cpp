// The Hidden Files page: every hidden file in the folders Windows starts programs from, with its
// folder, dates and system flag, and what a user can do with one (unhide, view, delete now or at the
// next restart).
#include "ui/pages/hidden_files_page.h"

#include <commctrl.h>
#include <string.h>

#include "areas/hidden_files.h"
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

const int kPageId = 6052;

enum {
  IDC_LIST = 1000,
  IDC_DESCRIPTION = 1047,
  IDC_HINT = 1048,
  IDC_INFO = 1008,
  IDC_REFRESH = 1006,
  IDC_UNHIDE = 1186,
  IDC_DELETE = 1184,
  IDC_DELETE_ON_RESTART = 1144,
  IDC_NOTEPAD = 1180,
  IDC_HELP_BUTTON = 1134,
  IDC_CLOSE = 1004,
  IDC_HELP_PICTURE = 1077,
};

struct RowFacts {
  int image;
  char detected[24];
  char written[256];  // empty when the file cannot be opened
} facts;

void GatherFacts(int item) {
  char path[260] = "";
  GetItemFile(item, path);
  facts.image = ListProgramFactsOf(path, -1)->image;
  // This edition writes no dates; a second look finds one only when the record step wrote it.
  if (!GetFirstDetected(path, kCodeHidden, facts.detected)) {
    char area[96];
    FormatText(area, sizeof area, "%s\\Hidden", kDetectedRoot);
    if (RecordFirstDetected(path, area)) GetFirstDetected(path, kCodeHidden, facts.detected);
  }
  // The whole time, its AM or PM included: the texts of this program's dates carry no seconds to cut.
  char size[256];
  if (!FileDateAndSize(path, facts.written, size)) facts.written[0] = 0;
}

int RowImage(int) { return facts.image; }

void NameText(int item, char* out, size_t cap) {
  char path[260] = "";
  GetItemFile(item, path);
  CopyText(out, cap, path + FileNamePos(path));
}

void FolderText(int item, char* out, size_t cap) {
  char path[260] = "", folder[260] = "";
  GetItemFile(item, path);
  FolderOf(path, folder);
  CopyText(out, cap, folder);
}

void DetectedText(int, char* out, size_t cap) { CopyText(out, cap, facts.detected); }

void WrittenText(int, char* out, size_t cap) {
  if (facts.written[0]) {
    CopyText(out, cap, facts.written);
  } else {
    LoadText(923, out, (int)cap);  // "File in Use"
  }
}

void WrittenKey(int, char* out, size_t cap) { CopyText(out, cap, facts.written); }

void TypeText(int item, char* out, size_t cap) { CopyText(out, cap, GetItemFlag(item) == 0 ? "SYSTEM" : ""); }

void FlagKey(int item, char* out, size_t cap) { FormatText(out, cap, "%d", GetItemFlag(item)); }

const ListColumn kColumns[] = {
    {629, 0.3, NameText, nullptr},      {776, 0.3, FolderText, nullptr}, {912, 0.01, DetectedText, nullptr},
    {914, 0.22, WrittenText, WrittenKey}, {714, 0.15, TypeText, FlagKey},
};

}  // namespace

const PageList kHiddenList = {kPageId, kColumns, 5, GatherFacts, RowImage, nullptr};

namespace {

const int kButtons[] = {IDC_INFO,    IDC_REFRESH,     IDC_UNHIDE, IDC_DELETE, IDC_DELETE_ON_RESTART,
                        IDC_NOTEPAD, IDC_HELP_BUTTON, IDC_CLOSE};
const int kFooter[] = {IDC_HINT};
const PageControls kControls = {IDC_DESCRIPTION, IDC_LIST, kButtons, 8, kFooter, 1};

HWND ListOf(HWND page) { return GetDlgItem(page, IDC_LIST); }

// The selected file's title and path; 0 after telling the user that nothing is selected.
int SelectedFile(HWND page, char* title, char* path) {
  int item = SelectedItemOrHint(page, ListOf(page));
  if (item < 0) return 0;
  title[0] = path[0] = 0;
  GetItemTitle(item, title);
  GetItemFile(item, path);
  return path[0] != 0;
}

int Confirm(HWND page, UINT textId, UINT icon) {
  char text[1024];
  LoadText(textId, text, sizeof text);
  return MessageBoxExA(page, text, ApplicationTitle, MB_YESNO | icon | MB_TOPMOST, UiLanguage) == IDYES;
}

void OnFileCommand(HWND page, int id) {
  char title[128], path[260];
  if (!SelectedFile(page, title, path)) return;
  switch (id) {
    case IDC_UNHIDE:
      UnhideFile(path);
      break;
    case IDC_NOTEPAD:
      OpenInNotepad(path);
      return;  // nothing on the page changes
    case IDC_DELETE:
      if (!Confirm(page, 926, MB_ICONEXCLAMATION)) return;
      DeleteHiddenFile(title, path, kDeleteNow);
      break;
    case IDC_DELETE_ON_RESTART:
      if (!Confirm(page, 800, MB_ICONSTOP)) return;
      DeleteHiddenFile(title, path, kDeleteAtRestart);
      break;
  }
  FillHiddenList(page);
}

// The page's own commands; 0 leaves the command to what every page shares.
int OnCommand(HWND page, int id) {
  switch (id) {
    case IDC_UNHIDE:
    case IDC_NOTEPAD:
    case IDC_DELETE:
    case IDC_DELETE_ON_RESTART:
      OnFileCommand(page, id);
      break;
    case IDC_REFRESH:
      FillHiddenList(page);
      break;
    default:
      return 0;
  }
  return 1;
}

void Activate(HWND page) {
  AddListColumnsOnce(ListOf(page), &kHiddenList);
  FillHiddenList(page);
}

const PageText kTexts[] = {{301, IDC_INFO},   {305, IDC_REFRESH},           {931, IDC_UNHIDE},      {925, IDC_DELETE},
                {801, IDC_DELETE_ON_RESTART}, {913, IDC_NOTEPAD}, {793, IDC_HELP_BUTTON}, {304, IDC_CLOSE}};
const AreaPage kArea = {kPageId, &kHiddenList, &kControls, 910, 911, kTexts, sizeof kTexts / sizeof kTexts[0],
                        Activate, OnCommand, nullptr, IDC_DELETE, 1, IDC_REFRESH};

}  // namespace

int FillHiddenList(HWND page) {
  // Files of 64-bit Windows' own folders are read where they are, or they would all be "in use".
  RedirectionOff redirection;
  return FillAreaList(page, &kHiddenList, [] { ScanHiddenFiles(); });
}

INT_PTR CALLBACK HiddenFilesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return AreaPageMessage(&kArea, page, message, wParam, lParam);
}
