// Times the startup scan over a prepared set of Run values and Startup-folder files, and counts how
// many version resources each scan reads (the cost that dominates under Wine).
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup/scan.h"

static const char kBenchKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

int main(int argc, char** argv) {
  int entries = argc > 1 ? atoi(argv[1]) : 200;
  int rounds = argc > 2 ? atoi(argv[2]) : 5;
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, kBenchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (int i = 0; i < entries; ++i) {
    std::string name = "VxBench " + std::to_string(i);
    std::string data = std::string("\"") + self + "\" -n " + std::to_string(i);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
  }
  double best = 1e9, total = 0;
  int items = 0;
  for (int r = 0; r < rounds; ++r) {
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    items = ScanStartupPrograms(0);
    QueryPerformanceCounter(&b);
    double ms = 1000.0 * (double)(b.QuadPart - a.QuadPart) / (double)f.QuadPart;
    total += ms;
    if (ms < best) best = ms;
  }
  for (int i = 0; i < entries; ++i) RegDeleteValueA(key, ("VxBench " + std::to_string(i)).c_str());
  RegCloseKey(key);
  printf("startup scan: %d Run values, %d items listed, best %.1f ms, mean %.1f ms over %d rounds\n", entries, items,
         best, total / rounds, rounds);
  return 0;
}
