// Times the scans of the browser add-ons, ActiveX controls, file types and hidden files. The
// controls are seeded (a used machine has hundreds); file types use the product's default list;
// the hidden-file scan walks this Windows' own folders.
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "areas/browser.h"
#include "areas/file_types.h"
#include "areas/hidden_files.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"

namespace {

double Time(int rounds, int (*scan)(), int* items) {
  double best = 1e9;
  for (int r = 0; r < rounds; ++r) {
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    *items = scan();
    QueryPerformanceCounter(&b);
    double ms = 1000.0 * (double)(b.QuadPart - a.QuadPart) / (double)f.QuadPart;
    if (ms < best) best = ms;
  }
  return best;
}

std::string ControlId(int i) {
  char id[64];
  snprintf(id, sizeof id, "{7E5AB000-0000-4000-8000-%012d}", i);
  return id;
}

void SeedControls(int count, const char* server, bool on) {
  HKEY classes = nullptr, stats = nullptr;
  RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes, nullptr);
  RegCreateKeyExA(HKEY_CURRENT_USER, kActiveXStatsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &stats, nullptr);
  for (int i = 0; i < count; ++i) {
    std::string id = ControlId(i);
    if (on) {
      std::string server32 = id + "\\InprocServer32";
      RegSetValueA(classes, id.c_str(), REG_SZ, "Bench control", 13);
      RegSetValueA(classes, server32.c_str(), REG_SZ, server, (DWORD)strlen(server));
      HKEY key;
      RegCreateKeyA(stats, (id + "\\iexplore").c_str(), &key);
      RegCloseKey(key);
    } else {
      RegDeleteKeyA(classes, (id + "\\InprocServer32").c_str());
      RegDeleteKeyA(classes, id.c_str());
      RegDeleteKeyA(stats, (id + "\\iexplore").c_str());
      RegDeleteKeyA(stats, id.c_str());
    }
  }
  RegCloseKey(classes);
  RegCloseKey(stats);
}

int ListAllControls() { return ScanActiveXControls(); }

}  // namespace

int main(int argc, char** argv) {
  int controls = argc > 1 ? atoi(argv[1]) : 200;
  int rounds = argc > 2 ? atoi(argv[2]) : 5;
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);

  SeedControls(controls, self, true);
  char list[1024];
  LoadText(750, list, sizeof list);
  RegSetValueA(HKEY_CURRENT_USER, kWatchedListKey, REG_SZ, list, (DWORD)strlen(list));

  int items = 0;
  double ms = Time(rounds, EnumerateIEHelpers, &items);
  printf("browser add-ons: %d listed, best %.1f ms\n", items, ms);
  OptionSet[OPT_ActiveXListAll] = 1;
  ms = Time(rounds, ListAllControls, &items);
  printf("ActiveX controls (all): %d seeded, %d listed, best %.1f ms\n", controls, items, ms);
  ms = Time(rounds, EnumerateFileTypes, &items);
  printf("file types: default list, %d rows, best %.1f ms\n", items, ms);
  ms = Time(rounds, ScanHiddenFiles, &items);
  printf("hidden files: %d found, best %.1f ms over %d rounds\n", items, ms, rounds);

  SeedControls(controls, self, false);
  RegDeleteKeyA(HKEY_CURRENT_USER, kWatchedListKey);
  ClearStartupItems();
  return 0;
}
