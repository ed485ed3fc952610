// Times a startup-entry removal with both reports configured against a local service that accepts
// connections and never answers, and when the two requests of each removal reach it.
#include <winsock2.h>
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "platform/registry.h"
#include "platform/settings.h"
#include "records/history.h"
#include "startup/toggle.h"

static const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char kProduct[] = "Software\\Orvenn Studios\\Vandrelix";

static SOCKET listener = INVALID_SOCKET;
static volatile LONG accepted = 0;
static LARGE_INTEGER firstAccept;

// Accepts every connection and keeps it open without a word.
static DWORD WINAPI SilentService(void*) {
  for (;;) {
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) return 0;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (accepted == 0) firstAccept = now;
    InterlockedIncrement(&accepted);
  }
}

static double Ms(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1000.0 * (double)(to.QuadPart - from.QuadPart) / (double)f.QuadPart;
}

static void WriteText(HKEY root, const char* key, const char* name, const char* text) {
  HKEY k;
  if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS) return;
  RegSetValueExA(k, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
  RegCloseKey(k);
}

static void DeleteText(HKEY root, const char* key, const char* name) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
  RegDeleteValueA(k, name);
  RegCloseKey(k);
}

int main(int argc, char** argv) {
  int removals = argc > 1 ? atoi(argv[1]) : 10;
  if (removals < 1) removals = 1;
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  OptionSet[OPT_History] = 1;
  OptionSet[OPT_CloudData] = 1;

  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, (sockaddr*)&address, sizeof address);
  int length = sizeof address;
  getsockname(listener, (sockaddr*)&address, &length);
  listen(listener, 64);
  CloseHandle(CreateThread(nullptr, 0, SilentService, nullptr, 0, nullptr));
  std::string base = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  WriteText(HKEY_CURRENT_USER, kProduct, "vxserver", (base + "/admin?").c_str());
  WriteText(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved", (base + "/cgi-bin/cloudremoved.pl?").c_str());

  char history[260];
  HistoryFilePath(history);
  WIN32_FILE_ATTRIBUTE_DATA before;
  bool hadHistory = GetFileAttributesExA(history, GetFileExInfoStandard, &before) != 0;

  double best = 1e9, worst = 0, total = 0;
  LARGE_INTEGER firstStart = {}, lastReturn = {};
  for (int i = 0; i < removals; ++i) {
    std::string name = "VxBench Removal " + std::to_string(i);
    std::string command = "C:\\Bench\\app" + std::to_string(i) + ".exe -x";
    WriteText(HKEY_CURRENT_USER, kRunKey, name.c_str(), command.c_str());
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    RemoveStartupItem(name.c_str(), command.c_str(), "", 11);
    QueryPerformanceCounter(&b);
    double ms = Ms(a, b);
    total += ms;
    if (ms < best) best = ms;
    if (ms > worst) worst = ms;
    if (i == 0) firstStart = a;
    lastReturn = b;
  }
  // The worker sends one request after the other: with a silent service the first is out at once and
  // each further one waits for the time-out of the one before.
  DWORD start = GetTickCount();
  while (accepted < 1 && GetTickCount() - start < 10000) Sleep(5);
  double firstRequest = accepted ? Ms(firstStart, firstAccept) : -1;
  printf("removal with both reports, silent service: %d removals, best %.2f ms, mean %.2f ms, worst %.2f ms\n",
         removals, best, total / removals, worst);
  printf("all %d removals done %.1f ms after the first began; its first request reached the service after %.1f ms\n",
         removals, Ms(firstStart, lastReturn), firstRequest);

  DeleteText(HKEY_CURRENT_USER, kProduct, "vxserver");
  DeleteText(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved");
  if (!hadHistory) {
    DeleteFileA(history);
  } else {
    HANDLE file = CreateFileA(history, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      SetFilePointer(file, (LONG)before.nFileSizeLow, nullptr, FILE_BEGIN);
      SetEndOfFile(file);
      CloseHandle(file);
    }
  }
  return 0;  // requests still out end with the process
}
