// Times the startup scan over a prepared set of Run values against a program that makes only the calls
// such a scan needs (enumerate the Run keys, take each command's long path), and counts the version
// resources each scan reads (the cost that dominates under Wine).
// Usage: scan_bench [entries] [rounds]
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "platform/registry.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "tools/bench/call_counter.h"

static const char kBenchKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

static int versionReads = 0, keyOpens = 0;
static DWORD(WINAPI* realVersionSize)(LPCSTR, LPDWORD) = nullptr;
static LONG(WINAPI* realOpenKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) = nullptr;
static DWORD WINAPI CountedVersionSize(LPCSTR file, LPDWORD handle) {
  ++versionReads;
  return realVersionSize(file, handle);
}
static LONG WINAPI CountedOpenKey(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
  ++keyOpens;
  return realOpenKey(root, path, options, access, key);
}

static double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return 1000.0 * (double)t.QuadPart / (double)f.QuadPart;
}

// The calls a Run-key scan cannot do without: every Run key of every root opened and enumerated, and
// the long form of each command's program path taken.
static int BareRunScan() {
  int found = 0;
  for (int r = 0; r < (RunningOnWow64 ? 3 : 2); ++r) {
    for (int k = 1; k <= 7; ++k) {
      HKEY root = RunRootOf(10 * r + k);
      const char* path = RunKeyPathOf(10 * r + k);
      HKEY key;
      if (RegOpenKeyExA(root, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) continue;
      for (DWORD i = 0;; ++i) {
        char name[512], data[513];
        DWORD nameLength = sizeof name, dataLength = sizeof data - 1, type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, (BYTE*)data, &dataLength) != ERROR_SUCCESS) break;
        data[dataLength] = 0;
        char plain[260], longForm[260];
        StripQuotes(data, plain);
        GetLongPathNameA(plain, longForm, sizeof longForm);
        ++found;
      }
      RegCloseKey(key);
    }
  }
  return found;
}

int main(int argc, char** argv) {
  int entries = argc > 1 ? atoi(argv[1]) : 200;
  int rounds = argc > 2 ? atoi(argv[2]) : 5;
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  realVersionSize = (DWORD(WINAPI*)(LPCSTR, LPDWORD))RedirectImport("version.dll", "GetFileVersionInfoSizeA",
                                                                    (void*)CountedVersionSize);
  realOpenKey = (LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY))RedirectImport("advapi32.dll", "RegOpenKeyExA",
                                                                                (void*)CountedOpenKey);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, kBenchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (int i = 0; i < entries; ++i) {
    std::string name = "VxBench " + std::to_string(i);
    std::string data = std::string("\"") + self + "\" -n " + std::to_string(i);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
  }
  // Best of the rounds for the bare calls, the page's scan and the complete scan (advanced places too).
  double bare = 1e9, page = 1e9, complete = 1e9;
  int items = 0, pageReads = 0, completeReads = 0, pageOpens = 0;
  for (int r = 0; r < rounds; ++r) {
    double a = Now();
    BareRunScan();
    double b = Now();
    if (b - a < bare) bare = b - a;
    versionReads = keyOpens = 0;
    a = Now();
    items = ScanStartupPrograms(1);
    b = Now();
    pageReads = versionReads;
    pageOpens = keyOpens;
    if (b - a < page) page = b - a;
    versionReads = 0;
    a = Now();
    ScanStartupPrograms(0);
    b = Now();
    completeReads = versionReads;
    if (b - a < complete) complete = b - a;
  }
  for (int i = 0; i < entries; ++i) RegDeleteValueA(key, ("VxBench " + std::to_string(i)).c_str());
  RegCloseKey(key);
  printf("startup scan, %d Run values (%d items), best of %d rounds:\n", entries, items, rounds);
  printf("  bare calls     %8.1f ms\n", bare);
  printf("  page scan      %8.1f ms  (%.2fx the bare calls)  %d version resources read\n", page,
         page / (bare > 0 ? bare : 1), pageReads);
  printf("  complete scan  %8.1f ms  %d version resources read\n", complete, completeReads);
  printf("  registry keys opened by the page scan: %d\n", pageOpens);
  // The text test the scan makes for every value (the RUNDLL32 check) and item (the product's name).
  std::string sample = std::string("\"") + self + "\" -n 1234";
  double c = Now();
  int hits = 0;
  for (int i = 0; i < 100000; ++i) hits += ContainsNoCase(sample.c_str(), i & 1 ? "RUNDLL32.EXE" : "Vandrelix");
  double d = Now();
  printf("  ContainsNoCase on a %d-character command: %.2f us a call (%d)\n", (int)sample.size(), (d - c) / 100.0, hits);
  if (!realVersionSize) printf("  (version reads could not be counted)\n");
  return 0;
}
