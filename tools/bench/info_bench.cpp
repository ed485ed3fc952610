// Times what the information window reads for one entry (GatherInfo, then ComposeInfoView), the work
// behind opening it and behind each Next or Previous: for the startup entries of the prefix plus a
// set of Run values naming one program, and for every service.
// Usage: info_bench [rounds] [Run values]
#include <windows.h>
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "areas/services.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "ui/info_window.h"

static const char kBenchKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

static double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return 1000.0 * (double)t.QuadPart / (double)f.QuadPart;
}

// Steps through the table as Next does, `rounds` times; prints the mean and the worst entry.
static void TimeSteps(const char* what, int rounds) {
  static InfoEntry entry;
  static InfoFacts facts;
  static InfoView view;
  double total = 0, worst = 0;
  int steps = 0;
  for (int r = 0; r < rounds; ++r) {
    for (int i = 0; i < StartupItemCount; ++i) {
      double start = Now();
      GatherInfo(i, &entry, &facts);
      ComposeInfoView(&entry, &facts, &view);
      double ms = Now() - start;
      total += ms;
      if (ms > worst) worst = ms;
      ++steps;
    }
  }
  printf("%-34s %4d entries: mean %6.2f ms, worst %7.2f ms per entry\n", what, StartupItemCount,
         steps ? total / steps : 0.0, worst);
}

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 3;
  int values = argc > 2 ? atoi(argv[2]) : 64;
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);

  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string program = self;
  program = program.substr(0, program.rfind('\\')) + "\\vf_with_icon.exe";
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kBenchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != 0)
    return 1;
  for (int i = 0; i < values; ++i) {
    std::string name = "VxBench Info " + std::to_string(i);
    std::string data = "\"" + program + "\" -n " + std::to_string(i);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
  }
  ScanStartupPrograms(1);
  TimeSteps("startup entries", rounds);
  OptionSet[OPT_HideMicrosoftServices] = 0;
  EnumerateServices();
  TimeSteps("services", rounds);
  for (int i = 0; i < values; ++i) RegDeleteValueA(key, ("VxBench Info " + std::to_string(i)).c_str());
  RegCloseKey(key);
  ClearStartupItems();
  CoUninitialize();
  return 0;
}
