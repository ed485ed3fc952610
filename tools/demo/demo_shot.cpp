// Opens one of the explorer's windows on the running sheet, as a user would, and saves a picture of
// it for the README (tools/screenshot.sh runs it inside the explorer's Wine desktop).
//   demo_shot info "<row title>" <picture.bmp>   the information window of that Startup row
//   demo_shot qova <picture.bmp>                 the QOVA page, a program name typed in
//   demo_shot options <picture.bmp>              the Options page
//   demo_shot history <picture.bmp>              the History dialog after two removals (made here,
//                                                and taken away again with what they kept)
//   demo_shot reset <picture.bmp>                the maintenance tools of "-Reset"
// Exit code 0 when the picture was saved.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/settings.h"
#include "records/history.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"
#include "ui_driver.h"

namespace {

int InfoWindowPicture(const char* title, const char* picture) {
  HWND sheet = WaitForSheet();
  if (!sheet) return 2;
  HWND page = CurrentPage(sheet);
  HWND list = PageList(page);
  int row = list ? WaitForRow(list, title) : -1;
  if (row < 0 || !SelectRows(list, {row})) return 3;
  if (!PressButton(page, 1008)) return 4;
  HWND window = WaitForDialog(ProcessOf(sheet), title);
  if (!window) return 5;
  WaitForProgramIdle(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(300);  // the frame is drawn by the desktop's own process
  int saved = SaveWindowPicture(window, picture);
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  return saved ? 0 : 6;
}

int Picture(HWND window, const char* picture) {
  WaitForProgramIdle(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(300);  // the frame is drawn by the desktop's own process
  return SaveWindowPicture(window, picture) ? 0 : 6;
}

// Brings the sheet's page of that tab title to the front; the page, or null.
HWND ShowPage(HWND sheet, const char* title) {
  std::vector<std::string> tabs = TabTitles(sheet);
  for (size_t i = 0; i < tabs.size(); ++i) {
    if (tabs[i] != title) continue;
    SendMessageA(sheet, PSM_SETCURSEL, (WPARAM)i, 0);
    HWND page = nullptr;
    WaitUntil([&] { return (page = CurrentPage(sheet)) != nullptr && IsWindowVisible(page); });
    return page;
  }
  return nullptr;
}

// Removals made the way the Startup Programs page makes them, so the history has something to show.
void MakeHistory() {
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  OptionSet[OPT_History] = 1;
  OptionSet[OPT_CloudData] = 0;  // no network from a demonstration
  const struct {
    const char* title;
    int code;
  } removals[] = {{"Larkspur Finish Setup", 12}, {"Quill Notes", 11}};
  for (const auto& removal : removals) {
    ScanStartupPrograms(1);
    for (int item = 0; item < StartupItemCount; ++item) {
      char title[128], file[260], command[260];
      GetItemTitle(item, title);
      if (strcmp(title, removal.title) != 0 || GetItemLocation(item) != removal.code) continue;
      GetItemFile(item, file);
      GetItemCommand(item, command);
      RemoveStartupItem(title, file, command, removal.code);
      break;
    }
  }
}

// The history made here, and what its removals kept, belong to the demonstration only.
void ForgetHistory() {
  char kept[260];
  if (HistoryFilePath(kept)) DeleteFileA(kept);
  if (RemovalBackupPath(kept)) DeleteFileA(kept);
  if (RemovedFilesFolder(kept, 0)) RemoveDirectoryA(kept);
}

int ProductPicture(const char* which, const char* picture) {
  if (strcmp(which, "reset") == 0) {
    ProgramRun reset;
    if (!reset.Start("-Reset")) return 2;
    HWND tools = WaitForDialog(reset.info.dwProcessId, "Vandrelix Maintenance and Reset Tools");
    if (!tools) return 3;
    int result = Picture(tools, picture);
    AnswerDialog(tools, IDCANCEL);
    reset.WaitExit(20000);
    return result;
  }
  HWND sheet = WaitForSheet();
  if (!sheet) return 2;
  if (strcmp(which, "qova") == 0) {
    HWND page = ShowPage(sheet, "  QOVA  ");
    if (!page) return 3;
    SendMessageA(GetDlgItem(page, 1075), WM_SETTEXT, 0, (LPARAM) "quillnotes.exe");
    return Picture(sheet, picture);
  }
  HWND page = ShowPage(sheet, " Options  ");
  if (!page) return 3;
  if (strcmp(which, "options") == 0) return Picture(sheet, picture);
  CoInitialize(nullptr);
  MakeHistory();
  PressButton(page, 1104);
  HWND history = WaitForDialog(ProcessOf(sheet), "Vandrelix History");
  int result = 4;
  if (history) {
    HWND list = PageList(history);
    int removal = FindRow(list, "Quill Notes");
    if (removal >= 0) SelectRows(list, {removal});
    result = Picture(history, picture);
    AnswerDialog(history, IDOK);
    WaitUntil([&] { return !IsWindow(history); });
  }
  ForgetHistory();
  CoUninitialize();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "info") == 0) {
    int result = InfoWindowPicture(argv[2], argv[3]);
    if (result) printf("demo_shot: no picture of the information window (step %d)\n", result);
    return result;
  }
  if (argc == 3) {
    for (const char* which : {"qova", "options", "history", "reset"}) {
      if (strcmp(argv[1], which) != 0) continue;
      int result = ProductPicture(which, argv[2]);
      if (result) printf("demo_shot: no picture of %s (step %d)\n", which, result);
      return result;
    }
  }
  printf("usage: demo_shot info \"<row title>\" <picture.bmp> | qova|options|history|reset <picture.bmp>\n");
  return 1;
}
