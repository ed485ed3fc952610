// Seeds the Wine prefix it runs in with a small, believable set of startup entries, for tools/run.sh
// and the README's picture: Run entries in both registry views, one of them disabled the way the
// explorer disables it, a RunOnce entry and a shortcut in the user's Startup folder. The programs are
// copies of the demonstration programs built beside this one (each only ends when started).
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup/toggle.h"

namespace {

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

// Copies demonstration program `number` to its vendor's folder under Program Files; its path.
std::string Install(const std::string& bin, int number, const char* vendor, const char* file) {
  std::string folder = SpecialFolder(CSIDL_PROGRAM_FILES) + "\\" + vendor;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string target = folder + "\\" + file;
  std::string source = bin + "\\demo_program_" + std::to_string(number) + ".exe";
  if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) printf("demo: could not copy %s\n", source.c_str());
  return target;
}

bool PutValue(int code, const char* name, const std::string& data) {
  HKEY key;
  if (RegCreateKeyExA(RunRootOf(code), RunKeyPathOf(code), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
  RegCloseKey(key);
  printf("demo: %-22s %-14s %s\n", name, LocationToken(code), data.c_str());
  return rc == ERROR_SUCCESS;
}

}  // namespace

int main() {
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string bin = self;
  bin = bin.substr(0, bin.rfind('\\'));

  std::string heron = Install(bin, 1, "Blue Heron", "heronsync.exe");
  std::string maple = Install(bin, 2, "Maple Print", "printmon.exe");
  std::string quill = Install(bin, 3, "Quillfeather", "quillnotes.exe");
  std::string clock = Install(bin, 4, "Pinecone", "pineclock.exe");
  std::string lark = Install(bin, 5, "Larkspur", "lkupdate.exe");

  PutValue(1, "Heron Sync", "\"" + heron + "\" /background");
  // The 32-bit view of 64-bit Windows; on 32-bit Windows the machine's own Run key.
  PutValue(RunningOnWow64 ? 21 : 1, "Maple Print Monitor", maple);
  PutValue(11, "Quill Notes", "\"" + quill + "\" -tray");
  PutValue(11, "Larkspur Updater", "\"" + lark + "\" /quiet");
  if (!ToggleStartupItem("Larkspur Updater", "", "", 11)) printf("demo: could not disable Larkspur Updater\n");
  else printf("demo: Larkspur Updater disabled\n");
  PutValue(12, "Larkspur Finish Setup", "\"" + lark + "\" /finish-setup");

  std::string link = SpecialFolder(CSIDL_STARTUP) + "\\Pinecone Clock.lnk";
  if (CreateShortcut(link.c_str(), clock.c_str(), "/compact", "Pinecone Clock")) printf("demo: shortcut %s\n", link.c_str());
  else printf("demo: could not make %s\n", link.c_str());
  CoUninitialize();
  return 0;
}
