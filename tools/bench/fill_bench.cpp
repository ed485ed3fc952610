// Times the Startup Programs list: its scan alone, the fill that shows it (scan, texts, icons, kept
// keys) and a sort by the Company column, for growing numbers of Run values; counts the version
// resources read and the icons extracted per fill.
// Usage: fill_bench [rounds] [entries...]   (entries default to 64 512 4096)
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "tools/bench/call_counter.h"
#include "ui/list_view.h"
#include "ui/pages/startup_page.h"

static const char kBenchKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

static int versionReads = 0, iconReads = 0;
static DWORD(WINAPI* realVersionSize)(LPCSTR, LPDWORD) = nullptr;
static HICON(WINAPI* realExtractIcon)(HINSTANCE, LPCSTR, UINT) = nullptr;
static DWORD WINAPI CountedVersionSize(LPCSTR file, LPDWORD handle) {
  ++versionReads;
  return realVersionSize(file, handle);
}
static HICON WINAPI CountedExtractIcon(HINSTANCE instance, LPCSTR file, UINT index) {
  ++iconReads;
  return realExtractIcon(instance, file, index);
}

static double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return 1000.0 * (double)t.QuadPart / (double)f.QuadPart;
}

static void PutEntries(HKEY key, const std::string& program, int from, int to) {
  for (int i = from; i < to; ++i) {
    std::string name = "VxBench " + std::to_string(i);
    std::string data = "\"" + program + "\" -n " + std::to_string(i);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
  }
}

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 3;
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) sizes.push_back(atoi(argv[i]));
  if (sizes.empty()) sizes = {64, 512, 4096};
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  InitCommonControls();
  realVersionSize = (DWORD(WINAPI*)(LPCSTR, LPDWORD))RedirectImport("version.dll", "GetFileVersionInfoSizeA",
                                                                    (void*)CountedVersionSize);
  realExtractIcon = (HICON(WINAPI*)(HINSTANCE, LPCSTR, UINT))RedirectImport("shell32.dll", "ExtractIconA",
                                                                            (void*)CountedExtractIcon);
  // Every entry starts a real program with a version resource and an icon, as most do.
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string program = self;
  program = program.substr(0, program.rfind('\\')) + "\\vf_with_icon.exe";
  if (GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
    printf("fill bench: %s is missing (build the vx_fixtures target)\n", program.c_str());
    return 1;
  }
  HWND frame = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 780, 560,
                              frame, (HMENU)IDC_STARTUP_LIST, nullptr, nullptr);
  AddListColumns(list, &kStartupList);
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, kBenchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);

  printf("Startup Programs list, best of %d rounds (ms); each entry a program with version and icon\n", rounds);
  printf("%8s %8s %10s %10s %8s %10s %8s %14s %12s\n", "entries", "rows", "scan", "fill", "fill/scan", "sort", "sort/fill",
         "versions/fill", "icons/fill");
  int have = 0;
  for (int size : sizes) {
    PutEntries(key, program, have, size);
    if (size > have) have = size;
    double scan = 1e12, fill = 1e12, sort = 1e12;
    int rows = 0, versions = 0, icons = 0;
    for (int r = 0; r < rounds; ++r) {
      double a = Now();
      ScanStartupPrograms(1);
      double b = Now();
      if (b - a < scan) scan = b - a;
      versionReads = iconReads = 0;
      a = Now();
      rows = FillStartupList(frame);
      b = Now();
      versions = versionReads;
      icons = iconReads;
      if (b - a < fill) fill = b - a;
      for (int& d : SortDirection) d = 0;
      a = Now();
      SortListNow(list, 6026, 2);
      b = Now();
      if (b - a < sort) sort = b - a;
    }
    printf("%8d %8d %10.1f %10.1f %8.2fx %10.1f %7.1f%% %14d %12d\n", size, rows, scan, fill, fill / scan, sort,
           100.0 * sort / fill, versions, icons);
  }
  for (int i = 0; i < have; ++i) RegDeleteValueA(key, ("VxBench " + std::to_string(i)).c_str());

  // The same for 64 entries that each start a program of their own: nothing is shared between rows.
  std::string folder = program.substr(0, program.rfind('\\')) + "\\fill_bench_programs";
  CreateDirectoryA(folder.c_str(), nullptr);
  const int distinct = 64;
  for (int i = 0; i < distinct; ++i) {
    std::string copy = folder + "\\program" + std::to_string(i) + ".exe";
    CopyFileA(program.c_str(), copy.c_str(), FALSE);
    PutEntries(key, copy, i, i + 1);
  }
  double scan = 1e12, fill = 1e12;
  int rows = 0, versions = 0, icons = 0;
  for (int r = 0; r < rounds; ++r) {
    double a = Now();
    ScanStartupPrograms(1);
    double b = Now();
    if (b - a < scan) scan = b - a;
    versionReads = iconReads = 0;
    a = Now();
    rows = FillStartupList(frame);
    b = Now();
    versions = versionReads;
    icons = iconReads;
    if (b - a < fill) fill = b - a;
  }
  printf("%8d %8d %10.1f %10.1f %8.2fx %10s %8s %14d %12d   (each a program of its own)\n", distinct, rows, scan, fill,
         fill / scan, "", "", versions, icons);
  for (int i = 0; i < distinct; ++i) {
    RegDeleteValueA(key, ("VxBench " + std::to_string(i)).c_str());
    DeleteFileA((folder + "\\program" + std::to_string(i) + ".exe").c_str());
  }
  RemoveDirectoryA(folder.c_str());
  RegCloseKey(key);
  DestroyWindow(frame);
  return 0;
}
