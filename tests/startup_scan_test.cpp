// Every autorun place read into the table, against the real registry, folders and win.ini.
#include <objbase.h>

#include <string>

#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"
#include "startup_support.h"

namespace {

class ScanTest : public StartupTest {};

std::vector<int> RunCodes() {
  std::vector<int> codes;
  for (int r = 0; r < (OnWow64() ? 3 : 2); ++r)
    for (int k = 1; k <= 7; ++k) codes.push_back(10 * r + k);
  return codes;
}

TEST_F(ScanTest, EveryRunKeyIsFoundWithItsCode) {
  for (int code : RunCodes()) {
    std::string name = "VxTest code " + std::to_string(code);
    ASSERT_TRUE(PutRunValue(code, name.c_str(), "C:\\tools\\tool.exe /x"));
  }
  ScanStartupPrograms(0);
  for (int code : RunCodes()) {
    std::string name = "VxTest code " + std::to_string(code);
    // The policies key is one key for both views on 64-bit Windows: code 7 lists what 27 lists.
    int i = FindItem(name.c_str(), code);
    ASSERT_GE(i, 0) << name;
    EXPECT_EQ("C:\\tools\\tool.exe /x", ItemFile(i));
    EXPECT_EQ(0, GetItemFlag(i));
  }
}

TEST_F(ScanTest, NoRedirectedKeysOn32BitWindows) {
  if (OnWow64()) GTEST_SKIP() << "64-bit Windows has the redirected keys";
  RawWriteString(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", "VxTest wow",
                 "C:\\wow\\wow.exe");
  ScanStartupPrograms(0);
  EXPECT_EQ(-1, FindItem("VxTest wow"));
  RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node");
}

TEST_F(ScanTest, SkipRulesAndDefaultValue) {
  PutRunValue(11, "VxTest short data", "a.ex");
  PutRunValue(11, "V", "C:\\one\\letter.exe");
  PutRunValue(11, "VxTest \xE9t\xE9", "C:\\accent\\ok.exe");
  PutRunValue(11, "\xC9VxTest", "C:\\accent\\first.exe");
  PutRunValue(11, "VxTest rundll", "RunDll32.exe C:\\lib\\x.dll,Entry 1");
  PutRunValue(11, "VxTest rundll bare", "RUNDLL32.EXE");
  const char* key = "Software\\VandrelixTest\\RunCopy";
  ScanStartupPrograms(0);
  EXPECT_EQ(-1, FindItem("VxTest short data"));
  EXPECT_EQ(-1, FindItem("V"));
  EXPECT_GE(FindItem("VxTest \xE9t\xE9"), 0);
  int rundll = FindItem("VxTest rundll");
  ASSERT_GE(rundll, 0);
  EXPECT_EQ("C:\\lib\\x.dll,Entry 1", ItemFile(rundll));
  EXPECT_EQ(1, GetItemFlag(rundll));
  int bare = FindItem("VxTest rundll bare");
  ASSERT_GE(bare, 0);
  EXPECT_EQ("", ItemFile(bare));
  EXPECT_EQ(1, GetItemFlag(bare));
  (void)key;

  // A key holding only its default value gives one item with an empty title.
  ASSERT_TRUE(PutRunValue(14, "", "C:\\default\\only.exe"));
  ScanStartupPrograms(0);
  int found = -1;
  for (int i = 0; i < StartupItemCount; ++i)
    if (GetItemLocation(i) == 14 && ItemFile(i) == "C:\\default\\only.exe") found = i;
  ASSERT_GE(found, 0);
  char title[128];
  GetItemTitle(found, title);
  EXPECT_STREQ("", title);
  HKEY k;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunKeyPathOf(14), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &k);
  RegDeleteValueA(k, "");
  RegCloseKey(k);
}

TEST_F(ScanTest, RepeatedEntriesAreListedOnce) {
  PutRunValue(1, "VxTest Twin", "C:\\twin\\twin.exe");
  PutRunValue(2, "vxtest twin", "c:\\TWIN\\twin.exe");
  PutRunValue(3, "VxTest Twin", "C:\\twin\\other.exe");
  ScanStartupPrograms(0);
  EXPECT_GE(FindItem("VxTest Twin", 1), 0);
  EXPECT_EQ(-1, FindItem("vxtest twin", 2));  // same name and data as the one before it
  EXPECT_GE(FindItem("VxTest Twin", 3), 0);
}

TEST_F(ScanTest, StartupFoldersListShortcutsProgramsAndFiles) {
  CoInitialize(nullptr);
  std::string folder = TempFolder("startup-test");
  std::string target = BinFolder() + "\\vf_with_icon.exe";
  ASSERT_EQ(1, CreateShortcut((folder + "\\Described.lnk").c_str(), target.c_str(), "-a", "VxTest described"));
  ASSERT_EQ(1, CreateShortcut((folder + "\\Plain.lnk").c_str(), target.c_str(), "", ""));
  CopyFileA(target.c_str(), (folder + "\\copy.exe").c_str(), FALSE);
  MakeFile(folder + "\\VxTest old.pif");
  MakeFile(folder + "\\desktop.ini");
  CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
  MakeFile(folder + "\\sub\\VxTest deep.pif");

  const char* shell = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  std::string saved;
  bool had = RawRead(HKEY_CURRENT_USER, shell, "Startup", &saved, nullptr);
  RawWriteString(HKEY_CURRENT_USER, shell, "Startup", folder.c_str());
  ScanStartupFolders();
  if (had) RawWrite(HKEY_CURRENT_USER, shell, "Startup", REG_SZ, saved.data(), (DWORD)saved.size());
  else RawDeleteValue(HKEY_CURRENT_USER, shell, "Startup");

  int described = FindItem("VxTest described", 200);
  ASSERT_GE(described, 0);
  EXPECT_EQ(0, lstrcmpiA(target.c_str(), ItemFile(described).c_str()));
  char command[260];
  GetItemCommand(described, command);
  EXPECT_EQ(0, lstrcmpiA((folder + "\\Described.lnk").c_str(), command));
  EXPECT_EQ(1, GetItemFlag(described));  // a folder named under HKCU
  EXPECT_GE(FindItem("Program with an icon", 200), 0);  // the target's description
  int pif = FindItem("VxTest old", 200);
  ASSERT_GE(pif, 0);
  GetItemCommand(pif, command);
  EXPECT_STREQ("", command);
  EXPECT_EQ(0, GetItemFlag(pif));
  EXPECT_EQ(-1, FindItem("desktop"));
  EXPECT_EQ(-1, FindItem("VxTest deep"));  // no descent
  int count = 0;
  for (int i = 0; i < StartupItemCount; ++i) count += GetItemLocation(i) == 200;
  EXPECT_EQ(4, count);
  for (const char* f : {"\\Described.lnk", "\\Plain.lnk", "\\copy.exe", "\\VxTest old.pif", "\\desktop.ini",
                        "\\sub\\VxTest deep.pif"})
    DeleteFileA((folder + f).c_str());
  RemoveDirectoryA((folder + "\\sub").c_str());
  RemoveDirectoryA(folder.c_str());
  CoUninitialize();
}

int CountEntries(const char* path, DWORD attributes, int flag) {
  (void)path;
  (void)attributes;
  (void)flag;
  return 0;
}
int visited = 0;
int Visit(const char* path, DWORD attributes, int flag) {
  ++visited;
  return visited >= 1000 ? 1 : 0;
}

TEST_F(ScanTest, WalkerDoesNotFollowLinksUpTheTree) {
  std::string root = TempFolder("walk-test");
  CreateDirectoryA((root + "\\a").c_str(), nullptr);
  MakeFile(root + "\\a\\f.txt");
  std::string link = root + "\\a\\up";
  typedef BOOLEAN(WINAPI * SymLink)(LPCSTR, LPCSTR, DWORD);
  SymLink makeLink = (SymLink)(void*)GetProcAddress(GetModuleHandleA("kernel32"), "CreateSymbolicLinkA");
  if (!makeLink || !makeLink(link.c_str(), root.c_str(), 1) ||
      !(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RemoveDirectoryA(link.c_str());
    GTEST_SKIP() << "this Windows cannot make a directory link here";
  }
  visited = 0;
  EXPECT_EQ(0, WalkFolder(root.c_str(), Visit, 50, 0));
  EXPECT_GE(visited, 2);  // a and a\f.txt (and perhaps a\up itself), never what lies behind the link
  EXPECT_LE(visited, 3);
  RemoveDirectoryA(link.c_str());
}

TEST_F(ScanTest, WalkerStopsWhenTheHandlerAsks) {
  std::string root = TempFolder("walk-stop");
  for (int i = 0; i < 5; ++i) MakeFile(root + "\\f" + std::to_string(i));
  visited = 998;
  EXPECT_EQ(1, WalkFolder(root.c_str(), Visit, 0, 0));
  EXPECT_EQ(1000, visited);
  EXPECT_EQ(0, WalkFolder((root + "\\missing").c_str(), CountEntries, 0, 0));
}

TEST_F(ScanTest, WinIniEntriesThatExist) {
  std::string exe = BinFolder() + "\\vf_with_icon.exe";
  std::string list = exe + ";C:\\missing\\gone.exe;;" + BinFolder() + "\\vf_no_version.dll";
  WriteProfileStringA("windows", "run", list.c_str());
  WriteProfileStringA("windows", "load", exe.c_str());
  ScanWinIni();
  EXPECT_GE(FindItem("Icon Program", 101), 0);
  EXPECT_GE(FindItem("run", 101), 0);  // no product name: the key's name
  EXPECT_GE(FindItem("Icon Program", 100), 0);
  EXPECT_EQ(3, StartupItemCount);
}

TEST(WinlogonValues, UserinitAndShellRules) {
  char out[260];
  EXPECT_EQ(1, UserinitProgram("C:\\WINDOWS\\system32\\userinit.exe,", out));
  EXPECT_STREQ("C:\\WINDOWS\\system32\\userinit.exe", out);
  EXPECT_EQ(1, UserinitProgram("C:\\WINDOWS\\system32\\userinit.exe,  C:\\bad\\extra.exe", out));
  EXPECT_STREQ("C:\\bad\\extra.exe", out);
  EXPECT_EQ(1, UserinitProgram("userinit.exe,   ", out));
  EXPECT_STREQ("userinit.exe,   ", out);
  EXPECT_EQ(0, UserinitProgram("userinit.exe", out));
  EXPECT_EQ(1, ShellProgram("Explorer.exe", out));
  EXPECT_STREQ("Explorer.exe", out);
  EXPECT_EQ(1, ShellProgram("Explorer.exe other.exe", out));
  EXPECT_STREQ("other.exe", out);
  EXPECT_EQ(1, ShellProgram("Explorer.exe ", out));
  EXPECT_STREQ("Explorer.exe", out);
  EXPECT_EQ(0, ShellProgram("", out));
  EXPECT_EQ(1, LooksLikeFileName("a.dll"));
  EXPECT_EQ(0, LooksLikeFileName("a.dl"));
  EXPECT_EQ(0, LooksLikeFileName("nodots"));
  EXPECT_EQ(0, LooksLikeFileName("a b c d e f.dll"));
}

// Writes a machine value where 64-bit Windows keeps it (the advanced places are read there).
void PutMachine(const char* key, const char* name, const char* data) {
  RawWrite(HKEY_LOCAL_MACHINE, key, name, REG_SZ, data, (DWORD)strlen(data) + 1, KEY_WOW64_64KEY);
}

TEST_F(ScanTest, AdvancedPlacesOnlyInCompleteScans) {
  const char* cls = "{5C0A0E2B-4D1F-4E65-9B1A-7A11D0C0F00D}";
  std::string clsKey = std::string("Software\\Classes\\CLSID\\") + cls;
  std::string dll = BinFolder() + "\\vf_two_translations.dll";
  PutMachine(clsKey.c_str(), "", "VxTest Class");
  PutMachine((clsKey + "\\InprocServer32").c_str(), "", dll.c_str());
  const char* delay = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
  const char* sched = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
  const char* hooks = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
  const char* windows = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  const char* notify = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\VxTestNotify";
  PutMachine(delay, "VxTest delay", cls);
  const std::string longDelay = "VxTest delay " + std::string(190, 'x');  // longer than a title
  PutMachine(delay, longDelay.c_str(), cls);
  PutMachine(sched, cls, "");
  PutMachine(hooks, cls, "VxTest hook");
  std::string appinit = dll + " C:\\gone\\missing.dll,,notafile";
  std::string savedAppInit;
  bool hadAppInit = RawRead(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", &savedAppInit, nullptr, KEY_WOW64_64KEY);
  PutMachine(windows, "AppInit_Dlls", appinit.c_str());
  PutMachine(notify, "DllName", "C:\\gone\\notify.dll");

  OptionSet[OPT_ShowAllStartup] = 0;
  ScanStartupPrograms(1);
  for (int i = 0; i < StartupItemCount; ++i) EXPECT_LT(GetItemLocation(i), 250) << i;
  ScanStartupPrograms(0);

  int d = FindItem("VxTest delay", 252);
  ASSERT_GE(d, 0);
  EXPECT_EQ(0, lstrcmpiA(dll.c_str(), ItemFile(d).c_str()));
  char command[260], description[1024];
  GetItemCommand(d, command);
  EXPECT_STREQ(cls, command);
  GetItemDescription(d, description, sizeof description);
  EXPECT_STREQ("2.3 de", description);
  EXPECT_GE(FindItemByName(longDelay.c_str(), 252), 0);  // removal takes the value's whole name
  EXPECT_GE(FindItem("VxTest Class", 253), 0);  // no data: the class's registered name
  EXPECT_GE(FindItem("VxTest hook", 254), 0);
  int present = FindItem("Fixture Produkt", 255);
  ASSERT_GE(present, 0);
  int missing = FindItem("missing", 255);
  ASSERT_GE(missing, 0);
  GetItemDescription(missing, description, sizeof description);
  EXPECT_STREQ("File Does Not Exist", description);
  EXPECT_EQ(-1, FindItem("notafile", 255));
  int n = FindItem("VxTestNotify", 256);
  ASSERT_GE(n, 0);
  EXPECT_EQ("C:\\gone\\notify.dll", ItemFile(n));
  EXPECT_GE(FindItem("Winlogon Shell", 251), 0);

  OptionSet[OPT_ShowAllStartup] = 1;
  ScanStartupPrograms(1);
  EXPECT_GE(FindItem("VxTest hook", 254), 0);

  RawDeleteTree(HKEY_LOCAL_MACHINE, clsKey.c_str(), KEY_WOW64_64KEY);
  RawDeleteValue(HKEY_LOCAL_MACHINE, delay, "VxTest delay", KEY_WOW64_64KEY);
  RawDeleteValue(HKEY_LOCAL_MACHINE, delay, longDelay.c_str(), KEY_WOW64_64KEY);
  RawDeleteValue(HKEY_LOCAL_MACHINE, sched, cls, KEY_WOW64_64KEY);
  RawDeleteValue(HKEY_LOCAL_MACHINE, hooks, cls, KEY_WOW64_64KEY);
  RawDeleteTree(HKEY_LOCAL_MACHINE, notify, KEY_WOW64_64KEY);
  if (hadAppInit) {
    RawWrite(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", REG_SZ, savedAppInit.data(), (DWORD)savedAppInit.size(),
             KEY_WOW64_64KEY);
  } else {
    RawDeleteValue(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", KEY_WOW64_64KEY);
  }
}

}  // namespace
