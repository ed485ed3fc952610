// Opens one of the explorer's windows on the running sheet, as a user would, and saves a picture of
// it for the README (tools/screenshot.sh runs it inside the explorer's Wine desktop).
//   demo_shot info "<row title>" <picture.bmp>   the information window of that Startup row
// Exit code 0 when the picture was saved.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>

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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "info") == 0) {
    int result = InfoWindowPicture(argv[2], argv[3]);
    if (result) printf("demo_shot: no picture of the information window (step %d)\n", result);
    return result;
  }
  printf("usage: demo_shot info \"<row title>\" <picture.bmp>\n");
  return 1;
}
