#include "app/main_window.h"

#include <objbase.h>
#include <shellapi.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/delay.h"
#include "startup/items.h"
#include "startup/toggle.h"
#include "ui/sheet.h"

char MainWindowClass[32] = "";

int RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
  windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
  windowClass.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
  windowClass.lpszClassName = MainWindowClass;
  return RegisterClassA(&windowClass) != 0;
}

HWND CreateMainWindow(HINSTANCE instance) {
  // Off screen and zero-sized: it shows only as a task-bar button.
  return CreateWindowExA(WS_EX_APPWINDOW, MainWindowClass, ApplicationTitle,
                         WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, -200, 0, 0, nullptr, nullptr,
                         instance, nullptr);
}

int CreateSharedFonts() {
  static const struct {
    const char* face;
    int height, weight, underline, family;
  } kFonts[kFontCount - 1] = {
      {"Verdana", -18, 600, 0, FF_SWISS},       {"Arial", -18, 500, 0, FF_SWISS},
      {"Arial", -18, 500, 1, FF_SWISS},         {"MS Sans Serif", -12, 600, 0, FF_SWISS},
      {"MS Sans Serif", -14, 600, 0, FF_SWISS}, {"MS Sans Serif", -10, 600, 0, FF_SWISS},
      {"Arial", -14, 400, 0, FF_SWISS},         {"MS Sans Serif", -12, 500, 0, FF_SWISS},
      {"MS Shell Dlg", -14, 700, 0, FF_DONTCARE}, {"MS Shell Dlg", -14, 500, 0, FF_DONTCARE},
  };
  for (int i = 0; i < kFontCount - 1; ++i) {
    SharedFonts[i] = CreateFontA(kFonts[i].height, 0, 0, 0, kFonts[i].weight, FALSE, kFonts[i].underline, FALSE,
                                 ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 kFonts[i].family, kFonts[i].face);
  }
  char noteFace[64];
  if (RegReadString(HKEY_CURRENT_USER, kOptionsKey, "NoteFont", noteFace, sizeof noteFace) == 0)
    CopyText(noteFace, "Arial");
  SharedFonts[kFontCount - 1] = CreateFontA(-ReadOption("NoteSize", 14), 0, 0, 0, 500, FALSE, FALSE, FALSE,
                                            ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                            FF_SWISS, noteFace);
  return 1;
}

int LoadSharedBitmaps(HINSTANCE instance) {
  for (int i = 0; i < kBitmapCount; ++i)
    SharedBitmaps[i] = LoadBitmapA(instance, MAKEINTRESOURCEA(kSharedBitmapIds[i]));
  return 1;
}

static void Teardown() {
  static int done = 0;  // WM_CLOSE and WM_DESTROY may both arrive
  if (done) return;
  done = 1;
  ClearStartupItems();
  CoUninitialize();
  SaveOptions();
  PostQuitMessage(0);
}

// A quit asked for while the sheet is open ends the sheet first; the window goes once the sheet's
// own loop has returned.
static int quitAfterSheet = 0;

static void Quit(HWND window) {
  if (CurrentPageId != 0) {
    quitAfterSheet = 1;
    CloseSheet();
    return;
  }
  DestroyWindow(window);
}

static void OpenPage(HWND window, int command) {
  OpenPropertySheet(window, command);
  if (quitAfterSheet && CurrentPageId == 0) {
    quitAfterSheet = 0;
    DestroyWindow(window);
  }
}

static void HandleCommand(HWND window, int command) {
  switch (command) {
    case 6026: case 6027: case 6028: case 6029: case 6033: case 6038: case 6039: case 6040:
    case 6042: case 6052: case 6055: case 6056: case 6060: case 6061:
      OpenPage(window, command);
      break;
    case 6030:
      Quit(window);
      break;
    case 1359:
      RestartIntoRepair();  // chosen in a page's context menu
      break;
    case 6031:
      // The companion's start with Windows, for the current user: the opposite of what is there now.
      SetMonitorAutostart(!ManageOwnStartupEntries(0), 0);
      break;
    case 6034:
      ShowRestartCommands(0);
      break;
    case 6045: {
      // The cookies view: asked for as a raise of the sheet with ViewCookies on for its length.
      int previous = OptionSet[OPT_ViewCookies];
      OptionSet[OPT_ViewCookies] = 1;
      HandleCommand(window, 6028);
      OptionSet[OPT_ViewCookies] = previous;
      break;
    }
    case 6048:
      OptionSet[OPT_ConfirmExit] = ReadOption("ConfirmExit", 0);
      if (OptionSet[OPT_ConfirmExit] == 0) {
        Quit(window);
      } else if (!FindWindowA("Vandrelix", nullptr)) {
        WinExec("Vandrelix.exe", SW_SHOW);
      } else {
        HandleCommand(window, 6026);
      }
      break;
    default:
      break;  // the other page commands are accepted and ignored
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
    case WM_DESTROY:
      Teardown();
      return 0;
    case WM_COMMAND:
      HandleCommand(window, LOWORD(wParam));
      return 0;
    case WM_SYSCOMMAND:
      // A click on the task-bar button opens the sheet at its first page, or raises it. No default
      // processing: the window never moves, sizes or closes through its system menu.
      if ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_RESTORE) OpenPage(window, 0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RunExplorerCopy(const char* arguments) {
  char folder[260];
  ProgramFolder(folder);
  char file[300];
  FormatText(file, sizeof file, "%s\\VandrelixEx.exe", folder);
  HINSTANCE result = ShellExecuteA(nullptr, "open", file, arguments, folder, SW_SHOWNORMAL);
  if ((INT_PTR)result < 32) {
    char text[260];
    LoadText(795, text, sizeof text);
    MessageBoxExA(nullptr, text, ApplicationTitle, MB_ICONHAND | MB_TOPMOST, UiLanguage);
  }
}

int SetExplorerMenu(int on) {
  const char* key = "exefile\\shell\\Vandrelix QOVA";
  if (!on) {
    RegRemoveKeyTree(HKEY_CLASSES_ROOT, key);
    return 0;
  }
  char folder[260];
  ProgramFolder(folder);
  char command[320];
  FormatText(command, sizeof command, "\"%s\\vandrelix.exe\" %%1", folder);
  RegWriteString(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA\\command", "", command);
  RegEnsureKey(HKEY_CLASSES_ROOT, key);
  char text[260];
  LoadText(1183, text, sizeof text);
  RegWriteString(HKEY_CLASSES_ROOT, key, "", text);
  RegEnsureKey(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA\\command");
  return 0;
}

void RestartIntoRepair() {
  if (!IsWindows8()) return;
  char text[256];
  LoadText(1360, text, sizeof text);
  char arguments[512];
  FormatText(arguments, sizeof arguments, "/r /o /c \"%s\"", text);
  LaunchProgram(MainWindow, "ShutDown.exe", arguments, 0);
}
