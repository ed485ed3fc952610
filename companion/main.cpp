// Vandrelix.exe, the companion monitor, in the least form the explorer relies on: a hidden window of
// class "Vandrelix", the delayed starts after Windows has started ("-expressboot"), a tray icon with
// a menu, the explorer's show/hide request (WM_COMMAND 6053) and "-RESTART" to take over from a copy.
#include <windows.h>
#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/delay.h"

namespace {

const char kClass[] = "Vandrelix";
const UINT kTrayMessage = WM_APP + 1;
enum { kMenuOpen = 100, kMenuExit = 101, kTimerBase = 1000, kMaxDelayed = 256 };

struct Delayed {
  HKEY root;
  char command[256];
  int seconds;
  int started;
};
Delayed delayed[kMaxDelayed];
int delayedCount = 0;
NOTIFYICONDATAA tray;
int trayShown = 0;

void ShowTray(HWND window, int show) {
  if (show && !trayShown) {
    memset(&tray, 0, sizeof tray);
    tray.cbSize = sizeof tray;
    tray.hWnd = window;
    tray.uID = 1;
    tray.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    tray.uCallbackMessage = kTrayMessage;
    tray.hIcon = LoadIconA(AppInstance, MAKEINTRESOURCEA(101));
    CopyText(tray.szTip, "Vandrelix");
    trayShown = Shell_NotifyIconA(NIM_ADD, &tray) ? 1 : 0;
  } else if (!show && trayShown) {
    Shell_NotifyIconA(NIM_DELETE, &tray);
    trayShown = 0;
  }
}

void OpenExplorer() {
  char folder[260], file[300];
  ProgramFolder(folder);
  FormatText(file, sizeof file, "%s\\VandrelixEx.exe", folder);
  ShellExecuteA(nullptr, "open", file, nullptr, folder, SW_SHOWNORMAL);
}


// Every delayed program of both roots, each with its own delay.
void LoadDelayed() {
  DefaultRegView view;  // the delay keys are kept in the default view
  const HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  for (HKEY root : roots) {
    HKEY key = RegOpenForReading(root, kDelayRoot);
    if (!key) continue;
    for (DWORD index = 0; delayedCount < kMaxDelayed; ++index) {
      char name[256];
      BYTE data[64];
      LONG rc = RegValueAt(key, index, name, sizeof name - 1, data, sizeof data - 1, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS || !name[0]) continue;
      Delayed& d = delayed[delayedCount++];
      d.root = root;
      CopyText(d.command, name);
      char time[32];
      d.seconds = ReadDelayText(root, "Time", name, time, sizeof time) ? atoi(time) : 0;
      if (d.seconds < 0) d.seconds = 0;
      d.started = 0;
    }
    RegCloseKey(key);
  }
}

void StartDelayed(HWND window, Delayed* d) {
  if (d->started) return;
  d->started = 1;
  char parameters[260] = "", applet[256] = "";
  int runAs;
  {
    DefaultRegView view;
    ReadDelayText(d->root, "Parameters", d->command, parameters, sizeof parameters);
    ReadDelayText(d->root, "Applet", d->command, applet, sizeof applet);
    char key[128];
    FormatText(key, sizeof key, "%s\\RunAs", kDelayRoot);
    runAs = RegReadDword(d->root, key, d->command) == 1;
  }
  if (applet[0]) {
    // The applet hosts the command: it is started with the command and the parameters.
    char line[600];
    DelayedCommandLine("", d->command, parameters, line, sizeof line);
    LaunchProgram(window, applet, line, runAs);
  } else {
    LaunchProgram(window, d->command, parameters, runAs);
  }
}

LRESULT CALLBACK CompanionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam >= kTimerBase && wParam < kTimerBase + (WPARAM)delayedCount) {
        KillTimer(window, wParam);
        StartDelayed(window, &delayed[wParam - kTimerBase]);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == 6053) ShowTray(window, lParam == 0);
      if (LOWORD(wParam) == kMenuOpen) OpenExplorer();
      if (LOWORD(wParam) == kMenuExit) DestroyWindow(window);
      return 0;
    case kTrayMessage:
      if (lParam == WM_LBUTTONDBLCLK) OpenExplorer();
      if (lParam == WM_RBUTTONUP) {
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, kMenuOpen, "&Open Vandrelix Explorer");
        AppendMenuA(menu, MF_STRING, kMenuExit, "E&xit");
        POINT at;
        GetCursorPos(&at);
        SetForegroundWindow(window);
        TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
        DestroyMenu(menu);
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ShowTray(window, 0);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  AppInstance = instance;
  UiLanguage = 9;
  RunningOnWow64 = IsWow64();
  const char* text = commandLine ? commandLine : "";
  HWND running = FindWindowA(kClass, nullptr);
  if (running) {
    if (!ContainsNoCase(text, "-RESTART")) return 0;
    // Take over: the running copy closes, this one carries on.
    DWORD pid = 0;
    GetWindowThreadProcessId(running, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    PostMessageA(running, WM_CLOSE, 0, 0);
    if (process) {
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = CompanionProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
  windowClass.lpszClassName = kClass;
  if (!RegisterClassA(&windowClass)) return 0;
  MainWindow = CreateWindowExA(0, kClass, "Vandrelix", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (!MainWindow) return 0;
  ShowTray(MainWindow, ReadOption("HideTazzik", 0) == 0);
  if (ContainsNoCase(text, "-expressboot")) {
    LoadDelayed();
    for (int i = 0; i < delayedCount; ++i)
      SetTimer(MainWindow, kTimerBase + i, delayed[i].seconds > 0 ? (UINT)delayed[i].seconds * 1000 : 1, nullptr);
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
