// Times the fills of the IE Helpers, ActiveX and Hidden Files lists against their bare scans, over
// seeded add-ons, controls and hidden files that each have a module or file of their own, and counts
// the version resources read and icons extracted per fill.
// Usage: pages_bench [rounds] [items]   (items defaults to 200: controls, hidden files, and a quarter
// as many helper objects)
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "areas/browser.h"
#include "areas/hidden_files.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "tools/bench/call_counter.h"
#include "ui/list_view.h"
#include "ui/pages/activex_page.h"
#include "ui/pages/hidden_files_page.h"
#include "ui/pages/ie_helpers_page.h"

namespace {

int versionReads = 0, iconReads = 0;
DWORD(WINAPI* realVersionSize)(LPCSTR, LPDWORD) = nullptr;
HICON(WINAPI* realExtractIcon)(HINSTANCE, LPCSTR, UINT) = nullptr;
DWORD WINAPI CountedVersionSize(LPCSTR file, LPDWORD handle) {
  ++versionReads;
  return realVersionSize(file, handle);
}
HICON WINAPI CountedExtractIcon(HINSTANCE instance, LPCSTR file, UINT index) {
  ++iconReads;
  return realExtractIcon(instance, file, index);
}

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return 1000.0 * (double)t.QuadPart / (double)f.QuadPart;
}

std::string Id(const char* kind, int i) {
  char id[64];
  snprintf(id, sizeof id, "{7E5AB%s-0000-4000-8000-%012d}", kind, i);
  return id;
}

void SetText(HKEY root, const std::string& key, const char* name, const std::string& text) {
  HKEY handle;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(handle, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
  RegCloseKey(handle);
}

void DeleteTree(HKEY root, const std::string& key) {
  typedef LONG(WINAPI * DeleteTreeFn)(HKEY, LPCSTR);
  DeleteTreeFn deleteTree = (DeleteTreeFn)(void*)GetProcAddress(GetModuleHandleA("advapi32"), "RegDeleteTreeA");
  if (deleteTree) deleteTree(root, key.c_str());
  RegDeleteKeyA(root, key.c_str());
}

void Seed(const std::string& folder, const std::string& module, int items, bool on) {
  for (int i = 0; i < items; ++i) {
    std::string control = Id("A00", i), helper = Id("B00", i);
    std::string server = folder + "\\module" + std::to_string(i) + ".dll";
    std::string hidden = folder + "\\hidden" + std::to_string(i) + ".dat";
    if (on) {
      CopyFileA(module.c_str(), server.c_str(), FALSE);
      CopyFileA(module.c_str(), hidden.c_str(), FALSE);
      SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
      SetText(HKEY_CLASSES_ROOT, "CLSID\\" + control, "", "Bench control " + std::to_string(i));
      SetText(HKEY_CLASSES_ROOT, "CLSID\\" + control + "\\InprocServer32", "", server);
      SetText(HKEY_CURRENT_USER, std::string(kActiveXStatsKey) + "\\" + control + "\\iexplore", "Bench", "1");
      if (i % 4 == 0) {
        SetText(HKEY_CLASSES_ROOT, "CLSID\\" + helper, "", "Bench helper " + std::to_string(i));
        SetText(HKEY_CLASSES_ROOT, "CLSID\\" + helper + "\\InprocServer32", "", server);
        SetText(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + helper, "Bench", "1");
      }
    } else {
      DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\" + control);
      DeleteTree(HKEY_CURRENT_USER, std::string(kActiveXStatsKey) + "\\" + control);
      DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\" + helper);
      DeleteTree(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + helper);
      SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(hidden.c_str());
      DeleteFileA(server.c_str());
    }
  }
}

struct PageCase {
  const char* name;
  int (*scan)();
  int (*fill)(HWND page);
  const PageList* list;
};

int ScanHiddenInTemp() { return ScanHiddenFiles(); }

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 3;
  int items = argc > 2 ? atoi(argv[2]) : 200;
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  InitCommonControls();
  realVersionSize = (DWORD(WINAPI*)(LPCSTR, LPDWORD))RedirectImport("version.dll", "GetFileVersionInfoSizeA",
                                                                    (void*)CountedVersionSize);
  realExtractIcon = (HICON(WINAPI*)(HINSTANCE, LPCSTR, UINT))RedirectImport("shell32.dll", "ExtractIconA",
                                                                            (void*)CountedExtractIcon);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string bin = self;
  bin = bin.substr(0, bin.rfind('\\'));
  std::string module = bin + "\\vf_helper.dll";
  if (GetFileAttributesA(module.c_str()) == INVALID_FILE_ATTRIBUTES) {
    printf("pages bench: %s is missing (build the vx_fixtures target)\n", module.c_str());
    return 1;
  }
  // The hidden files go to the temporary folder, which the hidden-file scan searches.
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + "vx_pages_bench";
  CreateDirectoryA(folder.c_str(), nullptr);
  Seed(folder, module, items, true);

  const PageCase cases[] = {
      {"IE Helpers", EnumerateIEHelpers, FillIEHelpersList, &kIEHelpersList},
      {"ActiveX", ScanActiveXControls, FillActiveXList, &kActiveXList},
      {"Hidden Files", ScanHiddenInTemp, FillHiddenList, &kHiddenList},
  };
  printf("page lists over %d seeded items (controls, hidden files; %d helper objects), best of %d rounds (ms)\n",
         items, (items + 3) / 4, rounds);
  printf("%-14s %6s %10s %10s %10s %14s %12s\n", "page", "rows", "scan", "fill", "fill/scan", "versions/fill",
         "icons/fill");
  for (const PageCase& c : cases) {
    HWND frame = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 780, 560,
                                frame, (HMENU)1000, nullptr, nullptr);
    AddListColumns(list, c.list);
    double scan = 1e12, fill = 1e12;
    int rows = 0, versions = 0, icons = 0;
    for (int r = 0; r < rounds; ++r) {
      double a = Now();
      c.scan();
      double b = Now();
      if (b - a < scan) scan = b - a;
      versionReads = iconReads = 0;
      a = Now();
      rows = c.fill(frame);
      b = Now();
      versions = versionReads;
      icons = iconReads;
      if (b - a < fill) fill = b - a;
    }
    printf("%-14s %6d %10.1f %10.1f %9.2fx %14d %12d\n", c.name, rows, scan, fill, fill / scan, versions, icons);
    DestroyWindow(frame);
    DestroyListImages(0);
    ClearListRows();
  }
  Seed(folder, module, items, false);
  RemoveDirectoryA(folder.c_str());
  ClearStartupItems();
  return 0;
}
