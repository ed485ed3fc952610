// Opens the product's own windows in the real VandrelixEx.exe as a user would, and saves a picture of
// each for the README: the QOVA page, the Options page, the History dialog and the maintenance tools.
// It runs inside a Wine desktop window (tools/screenshot.sh) on a prefix seeded by demo_seed, so every
// caption and frame is in the pictures. Argument: the folder for the pictures (BMP files).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <stdio.h>

#include <string>

#include "platform/registry.h"
#include "platform/settings.h"
#include "records/history.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"
#include "test_support.h"
#include "ui_driver.h"

namespace {

std::string out;

bool Shot(HWND window, const char* name) {
  // Painting follows the work the program has just done.
  WaitForProgramIdle(window);
  Sleep(700);
  std::string path = out + "\\" + name + ".bmp";
  bool saved = SaveWindowPicture(window, path);
  printf("shots: %s %s\n", saved ? "saved" : "could not save", path.c_str());
  return saved;
}

// Removals made the way the Startup Programs page makes them, so the history has something to show.
void MakeHistory() {
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
      if (lstrcmpA(title, removal.title) != 0 || GetItemLocation(item) != removal.code) continue;
      GetItemFile(item, file);
      GetItemCommand(item, command);
      RemoveStartupItem(title, file, command, removal.code);
      break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  out = argv[1];
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  MakeHistory();

  ProgramRun run;
  if (!run.Start("-QOVA")) return 1;
  HWND sheet = WaitForSheet();
  if (!sheet) return 1;
  HWND page = CurrentPage(sheet);
  SendMessageA(GetDlgItem(page, 1075), WM_SETTEXT, 0, (LPARAM) "quillnotes.exe");
  Shot(sheet, "qova-page");

  // The Options page is the last tab.
  int tabs = (int)TabTitles(sheet).size();
  SendMessageA(sheet, PSM_SETCURSEL, (WPARAM)(tabs - 1), 0);
  WaitUntil([&] { return GetDlgItem(CurrentPage(sheet), 1104) != nullptr; });
  page = CurrentPage(sheet);
  Shot(sheet, "options-page");

  PressButton(page, 1104);
  HWND history = WaitForDialog(run.info.dwProcessId, "Vandrelix History");
  if (history) {
    HWND list = PageList(history);
    int removal = FindRow(list, "Quill Notes");
    if (removal >= 0) SelectRows(list, {removal});
    Shot(history, "history-dialog");
    AnswerDialog(history, IDOK);
    WaitUntil([&] { return !IsWindow(history); });
  }
  ProgramRun quit;
  quit.Start("-Q");
  quit.WaitExit(20000);
  run.WaitExit(20000);

  ProgramRun reset;
  if (reset.Start("-Reset")) {
    HWND tools = WaitForDialog(reset.info.dwProcessId, "Vandrelix Maintenance and Reset Tools");
    if (tools) {
      SetForegroundWindow(tools);
      Shot(tools, "maintenance-dialog");
      AnswerDialog(tools, IDCANCEL);
    }
    reset.WaitExit(20000);
  }
  // The history made here, and what its removals kept, belong to the demonstration only.
  char kept[260];
  if (HistoryFilePath(kept)) DeleteFileA(kept);
  if (RemovalBackupPath(kept)) DeleteFileA(kept);
  if (RemovedFilesFolder(kept, 0)) RemoveDirectoryA(kept);
  CoUninitialize();
  return 0;
}
