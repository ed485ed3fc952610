// Times the product's own windows' work: the History dialog's load and fill for growing histories
// (each event names a program of its own, so every row reads its own icon), and the maintenance
// sweep of uninstall entries over many entries, none of them ours.
// Usage: product_bench [rounds] [events...]   (events default to 100 1000 and what fits the window)
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/history.h"
#include "startup/items.h"
#include "ui/history_dialog.h"
#include "ui/list_view.h"
#include "ui/maintenance.h"

static double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return 1000.0 * (double)t.QuadPart / (double)f.QuadPart;
}

static const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 3;
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) sizes.push_back(atoi(argv[i]));
  if (sizes.empty()) sizes = {100, 1000, 4096};
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  InitCommonControls();
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", LVS_REPORT | LVS_SHAREIMAGELISTS | WS_POPUP, 0, 0, 600, 400,
                              nullptr, nullptr, AppInstance, nullptr);
  AddListColumns(list, &kHistoryList);
  char path[260];
  HistoryFilePath(path);

  for (int size : sizes) {
    // Lines as the program writes them; the reader takes the newest 131072 bytes.
    std::string text;
    for (int i = 0; i < size; ++i) {
      char line[1024];
      std::string program = "C:\\Program Files\\Vendor " + std::to_string(i) + "\\tool" + std::to_string(i) + ".exe";
      FormatHistoryLine("03/07/2013  9:05 PM", "*START_Remove", "CURRENT_RUN", ("Tool " + std::to_string(i)).c_str(),
                        ("\"" + program + "\" -background").c_str(), "", line, sizeof line);
      text += line;
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    WriteFile(file, text.data(), (DWORD)text.size(), &put, nullptr);
    CloseHandle(file);
    double load = 0, fill = 0;
    int events = 0;
    for (int r = 0; r < rounds; ++r) {
      double t0 = Now();
      events = LoadHistoryItems();
      double t1 = Now();
      FillList(list, &kHistoryList);
      double t2 = Now();
      load += t1 - t0;
      fill += t2 - t1;
    }
    printf("history of %d events (%d listed, %zu bytes): load %.1f ms, fill %.1f ms\n", size, events, text.size(),
           load / rounds, fill / rounds);
  }
  DeleteFileA(path);

  // The uninstall sweep: 1000 entries of other programs in each view.
  const int entries = 1000;
  for (DWORD view : {(DWORD)KEY_WOW64_32KEY, (DWORD)KEY_WOW64_64KEY}) {
    for (int i = 0; i < entries; ++i) {
      HKEY key;
      std::string name = std::string(kUninstall) + "\\VxBench " + std::to_string(i);
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        continue;
      RegSetValueExA(key, "DisplayName", 0, REG_SZ, (const BYTE*)"Other Program", 14);
      RegSetValueExA(key, "DisplayVersion", 0, REG_SZ, (const BYTE*)"1.0", 4);
      RegCloseKey(key);
    }
  }
  double sweep = 0;
  for (int r = 0; r < rounds; ++r) {
    double t0 = Now();
    RemoveOldUninstallEntries();
    sweep += Now() - t0;
  }
  printf("uninstall sweep over %d entries per view: %.1f ms\n", entries, sweep / rounds);
  for (DWORD view : {(DWORD)KEY_WOW64_32KEY, (DWORD)KEY_WOW64_64KEY}) {
    RegViewGuard guard(view == KEY_WOW64_64KEY);
    for (int i = 0; i < entries; ++i)
      RegRemoveKeyTree(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\VxBench " + std::to_string(i)).c_str());
  }
  DestroyWindow(list);
  CoUninitialize();
  return 0;
}
