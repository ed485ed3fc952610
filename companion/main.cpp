// Vandrelix.exe, the companion monitor, in the least form the explorer relies on: a hidden window of
// class "Vandrelix", the delayed starts after Windows has started ("-expressboot"), a tray icon with
// a menu, the explorer's show/hide request (WM_COMMAND 6053), "-RESTART" to take over from a copy, and
// a program's path (Explorer's menu entry) to look that program up.
#include <windows.h>
#include <shellapi.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/online.h"
#include "startup/delay.h"

namespace {

const char kClass[] = "Vandrelix";
const UINT kTrayMessage = WM_APP + 1;
// Sent by a copy started with "-RESTART" to the running one, with its own window: the running copy
// hands over the starts it has not made yet (WM_COPYDATA) and makes none of them itself.
const UINT kHandOverMessage = WM_APP + 2;
const ULONG_PTR kHandOverTag = 0x56444C59;  // "VDLY"
enum { kMenuOpen = 100, kMenuExit = 101, kTimerBase = 1000, kMaxDelayed = 256 };

struct Delayed {
  HKEY root;
  char command[256];
  int seconds;
  int started;
  DWORD due;  // tick at which its timer fires
};
Delayed delayed[kMaxDelayed];
int delayedCount = 0;
int delayedLoaded = 0;  // the delay list was read (by this copy or the one it took over from)

struct PendingStart {
  int machine;  // found under HKLM
  DWORD remainingMs;
  char command[256];
};
struct HandOver {
  int loaded;
  int count;
  PendingStart starts[kMaxDelayed];
};
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


void Schedule(HWND window, int index, DWORD ms) {
  delayed[index].due = GetTickCount() + ms;
  SetTimer(window, kTimerBase + index, ms > 0 ? ms : 1, nullptr);
}

// Every delayed program of both roots, each with its own delay.
void LoadDelayed(HWND window) {
  delayedLoaded = 1;
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
  for (int i = 0; i < delayedCount; ++i) Schedule(window, i, (DWORD)delayed[i].seconds * 1000);
}

// Each setting comes from the entry's own root and is named by its command, also when an applet
// hosts the command.
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
  int show = DelayedShowCommand(d->root, d->command);
  if (applet[0]) {
    // The applet hosts the command: it is started with the command and the parameters.
    char line[600];
    DelayedCommandLine("", d->command, parameters, line, sizeof line);
    StartProgram(window, applet, line, runAs, show);
  } else {
    StartProgram(window, d->command, parameters, runAs, show);
  }
}

// The running copy's side of a take-over: every start not made yet goes to the successor.
void HandOverPending(HWND window, HWND successor) {
  static HandOver handOver;
  handOver.loaded = delayedLoaded;
  handOver.count = 0;
  DWORD now = GetTickCount();
  for (int i = 0; i < delayedCount; ++i) {
    if (delayed[i].started) continue;
    PendingStart& p = handOver.starts[handOver.count++];
    p.machine = delayed[i].root == HKEY_LOCAL_MACHINE;
    LONG left = (LONG)(delayed[i].due - now);
    p.remainingMs = left > 0 ? (DWORD)left : 0;
    CopyText(p.command, delayed[i].command);
  }
  COPYDATASTRUCT data;
  data.dwData = kHandOverTag;
  data.cbData = (DWORD)(offsetof(HandOver, starts) + handOver.count * sizeof(PendingStart));
  data.lpData = &handOver;
  if (!SendMessageA(successor, WM_COPYDATA, (WPARAM)window, (LPARAM)&data)) return;  // kept here
  for (int i = 0; i < delayedCount; ++i) {
    if (delayed[i].started) continue;
    KillTimer(window, kTimerBase + i);
    delayed[i].started = 1;
  }
}

// The successor's side: the starts arrive with the time each has left.
LRESULT TakeOverPending(HWND window, const COPYDATASTRUCT* data) {
  if (data->dwData != kHandOverTag || data->cbData < offsetof(HandOver, starts)) return 0;
  const HandOver* handOver = (const HandOver*)data->lpData;
  int count = handOver->count;
  if (count < 0 || count > kMaxDelayed || data->cbData < offsetof(HandOver, starts) + count * sizeof(PendingStart))
    return 0;
  delayedLoaded = delayedLoaded || handOver->loaded;
  for (int i = 0; i < count && delayedCount < kMaxDelayed; ++i) {
    const PendingStart& p = handOver->starts[i];
    Delayed& d = delayed[delayedCount];
    d.root = p.machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    CopyTextN(d.command, sizeof d.command, p.command, strnlen(p.command, sizeof p.command));
    d.seconds = (int)(p.remainingMs / 1000);
    d.started = 0;
    Schedule(window, delayedCount++, p.remainingMs);
  }
  return 1;
}

LRESULT CALLBACK CompanionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam >= kTimerBase && wParam < kTimerBase + (WPARAM)delayedCount) {
        KillTimer(window, wParam);
        StartDelayed(window, &delayed[wParam - kTimerBase]);
      }
      return 0;
    case kHandOverMessage:
      HandOverPending(window, (HWND)wParam);
      return 1;
    case WM_COPYDATA:
      return TakeOverPending(window, (const COPYDATASTRUCT*)lParam);
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
  while (*text == ' ' || *text == '\t') ++text;
  if (text[0] && text[0] != '-') {
    // Explorer's "Vandrelix QOVA Info..." entry names a program: its information page opens in the
    // browser, and no monitor starts.
    // Explorer puts the path in unquoted: quoted again, a path with blanks stays one program.
    char file[260], quoted[264];
    if (strlen(text) < sizeof file && StripQuotes(text, file) && GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES) {
      FormatText(quoted, sizeof quoted, "\"%s\"", file);
      text = quoted;
    }
    OpenProgramInfo(450, text);
    return 0;
  }
  HWND running = FindWindowA(kClass, nullptr);
  if (running && !ContainsNoCase(text, "-RESTART")) return 0;
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = CompanionProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
  windowClass.lpszClassName = kClass;
  if (!RegisterClassA(&windowClass)) return 0;
  MainWindow = CreateWindowExA(0, kClass, "Vandrelix", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (!MainWindow) return 0;
  if (running) {
    // Take over: the running copy hands over the delayed starts it still owes, then closes.
    DWORD pid = 0;
    GetWindowThreadProcessId(running, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(running, kHandOverMessage, (WPARAM)MainWindow, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    PostMessageA(running, WM_CLOSE, 0, 0);
    if (process) {
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  ShowTray(MainWindow, ReadOption("HideTazzik", 0) == 0);
  if (ContainsNoCase(text, "-expressboot") && !delayedLoaded) LoadDelayed(MainWindow);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
