#include "startup_support.h"

#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"

static DWORD LiveView() { return KEY_WOW64_64KEY; }

bool PutRunValue(int code, const char* name, const char* data, DWORD type) {
  return RawWrite(RunRootOf(code), RunKeyPathOf(code), name, type, data, (DWORD)strlen(data) + 1, LiveView());
}

bool GetRunValue(int code, const char* name, std::string* data, DWORD* type) {
  return RawRead(RunRootOf(code), RunKeyPathOf(code), name, data, type, LiveView());
}

int FindItem(const char* title, int code) {
  for (int i = 0; i < StartupItemCount; ++i) {
    char t[128];
    GetItemTitle(i, t);
    if (strcmp(t, title) == 0 && (code < 0 || GetItemLocation(i) == code)) return i;
  }
  return -1;
}

int FindItemByName(const char* name, int code) {
  for (int i = 0; i < StartupItemCount; ++i) {
    char n[512];
    if (GetItemValueName(i, n) && strcmp(n, name) == 0 && GetItemLocation(i) == code) return i;
  }
  return -1;
}

std::string ItemFile(int index) {
  char file[260] = "";
  GetItemFile(index, file);
  return file;
}

std::string TempFolder(const char* name) {
  std::string folder = BinFolder() + "\\" + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

std::string MakeFile(const std::string& path, const std::string& data) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  if (f != INVALID_HANDLE_VALUE) {
    WriteFile(f, data.data(), (DWORD)data.size(), &put, nullptr);
    CloseHandle(f);
  }
  return path;
}

std::string ReadAll(const std::string& path) {
  std::string data;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD got;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) data.append(buffer, got);
  CloseHandle(f);
  return data;
}

static const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
static const char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

StartupFolderScope::StartupFolderScope() {
  had = RawRead(HKEY_CURRENT_USER, kShellFolders, "Startup", &saved, nullptr);
  hadUser = RawRead(HKEY_CURRENT_USER, kUserShellFolders, "Startup", &savedUser, &savedUserType);
  folder = TempFolder("toggle-startup");
  RawWriteString(HKEY_CURRENT_USER, kShellFolders, "Startup", folder.c_str());
  RawWriteString(HKEY_CURRENT_USER, kUserShellFolders, "Startup", folder.c_str());
}

StartupFolderScope::~StartupFolderScope() {
  if (hadUser) RawWrite(HKEY_CURRENT_USER, kUserShellFolders, "Startup", savedUserType, savedUser.data(), (DWORD)savedUser.size());
  else RawDeleteValue(HKEY_CURRENT_USER, kUserShellFolders, "Startup");
  if (had) RawWrite(HKEY_CURRENT_USER, kShellFolders, "Startup", REG_SZ, saved.data(), (DWORD)saved.size());
  else RawDeleteValue(HKEY_CURRENT_USER, kShellFolders, "Startup");
  RemoveDirectoryA(folder.c_str());
}

static void RemoveTestValues(HKEY root, const char* key, DWORD view) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS | view, &k) != ERROR_SUCCESS) return;
  for (DWORD i = 0;;) {
    static char name[16384];  // any name a value can have
    DWORD length = sizeof name;
    if (RegEnumValueA(k, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    std::string lower(name, length);
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    if (lower.find("vxtest") != std::string::npos || lower == "(default)") {
      RegDeleteValueA(k, name);
    } else {
      ++i;
    }
  }
  RegCloseKey(k);
}

static void DeleteFiles(const std::string& folder, const char* pattern) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + pattern).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + found.cFileName).c_str());
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

// Files a test parked in the program's Disabled folder or had kept as removed, and the removals'
// backup (a failed test may leave them behind).
static void RemoveParkedFiles() {
  DeleteFiles(BinFolder() + "\\Disabled\\", "VxTest*");
  DeleteFiles(BinFolder() + "\\Removed\\", "*");
  DeleteFileA((BinFolder() + "\\removed.reg").c_str());
}

void StartupTest::SetUp() {
  RemoveParkedFiles();
  VxTest::SetUp();
  RunningOnWow64 = OnWow64();
  OptionSet[OPT_CloudData] = 0;  // no network from these tests
  for (int code = 1; code <= 27; ++code)
    if (IsRunFamilyCode(code)) createdKey[code] = !RawKeyExists(RunRootOf(code), RunKeyPathOf(code), LiveView());
  char text[1024];
  GetProfileStringA("windows", "run", "", text, sizeof text);
  savedRun = text;
  GetProfileStringA("windows", "load", "", text, sizeof text);
  savedLoad = text;
  std::string history = BinFolder() + "\\history.txt";
  DeleteFileA(history.c_str());
}

void StartupTest::TearDown() {
  ClearStartupItems();
  RemoveParkedFiles();
  for (int code = 1; code <= 27; ++code) {
    if (!IsRunFamilyCode(code)) continue;
    RemoveTestValues(RunRootOf(code), RunKeyPathOf(code), LiveView());
    if (createdKey[code]) RawDeleteTree(RunRootOf(code), RunKeyPathOf(code), LiveView());
  }
  WriteProfileStringA("windows", "run", savedRun.empty() ? nullptr : savedRun.c_str());
  WriteProfileStringA("windows", "load", savedLoad.empty() ? nullptr : savedLoad.c_str());
  std::string history = BinFolder() + "\\history.txt";
  DeleteFileA(history.c_str());
  VxTest::TearDown();
}
