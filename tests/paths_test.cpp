// Program and data folders, command reduction, win.ini lists, Windows facts and date texts.
#include <stdio.h>

#include <string>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup_support.h"

namespace {

class PathsTest : public VxTest {
 protected:
  void SetUp() override {
    VxTest::SetUp();
    RunningOnWow64 = OnWow64();
  }
};

std::string Upper(std::string s) {
  for (char& c : s) c = UpperChar(c);
  return s;
}

TEST_F(PathsTest, ProgramFolderIsTheRunningProgramsFolder) {
  char out[260];
  int n = ProgramFolder(out);
  EXPECT_STREQ(BinFolder().c_str(), out);
  EXPECT_EQ((int)BinFolder().size(), n);
}

TEST_F(PathsTest, DataFolderLivesUnderAppDataOrBesideTheProgram) {
  const char* shell = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  std::string appData;
  bool had = RawRead(HKEY_CURRENT_USER, shell, "AppData", &appData, nullptr);
  std::string root = BinFolder() + "\\appdata-test";
  CreateDirectoryA(root.c_str(), nullptr);
  RawWriteString(HKEY_CURRENT_USER, shell, "AppData", root.c_str());

  char out[260];
  EXPECT_NE(0, DataFolder(out));
  EXPECT_STREQ((root + "\\Vandrelix").c_str(), out);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(out));
  EXPECT_NE(0, DataFolder(out));  // already there

  std::string missing = BinFolder() + "\\no\\such\\parent";
  RawWriteString(HKEY_CURRENT_USER, shell, "AppData", missing.c_str());
  EXPECT_NE(0, DataFolder(out));
  EXPECT_STREQ(BinFolder().c_str(), out);

  if (had) RawWriteString(HKEY_CURRENT_USER, shell, "AppData", appData.c_str());
  RemoveDirectoryA((root + "\\Vandrelix").c_str());
  RemoveDirectoryA(root.c_str());
}

TEST_F(PathsTest, VersionTextNamesTheRunningProgramsVersion) {
  char out[1024];
  int n = VersionText(out);
  EXPECT_STREQ("1.0.0.1", out);  // this test program carries the explorer's version resource
  EXPECT_EQ(7, n);
}

TEST_F(PathsTest, FolderOfCutsAtTheLastBackslash) {
  char out[260] = "";
  EXPECT_EQ(6, FolderOf("C:\\Dir\\x.exe", out));
  EXPECT_STREQ("C:\\Dir", out);
  EXPECT_EQ(3, FolderOf("C:\\x.exe", out));
  EXPECT_STREQ("C:\\", out);
  std::string windows = WindowsFolder();
  EXPECT_EQ((int)windows.size(), FolderOf("notepad.exe", out));
  EXPECT_STREQ(windows.c_str(), out);
  EXPECT_EQ(0, FolderOf(std::string(40, 'n').c_str(), out));
  EXPECT_EQ(0, FolderOf("vandrelix-nowhere.exe", out));
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  EXPECT_GT(FolderOf("kernel32.dll", out), 0);
  EXPECT_STREQ(system, out);

  std::string longPath = "C:\\" + std::string(300, 'd') + "\\file.exe";
  char guarded[262];
  guarded[260] = 'G';
  guarded[261] = 'G';
  int n = FolderOf(longPath.c_str(), guarded);
  EXPECT_LT(n, 260);
  EXPECT_EQ('G', guarded[261]);
}

TEST_F(PathsTest, ProfileNameAndStartMenu) {
  char user[128];
  EXPECT_EQ(1, UserNameFromProfile(user));
  char profile[260];
  GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
  EXPECT_STREQ(strrchr(profile, '\\') + 1, user);
  char menu[512];
  int n = StartMenuFolder(menu);
  ASSERT_GT(n, 1);
  EXPECT_EQ('\\', menu[n - 1]);
}

TEST(WinIniList, EditsKeepEveryOtherPartAndNoEmptyOnes) {
  struct {
    const char* list;
    const char* entry;
    const char* without;
    const char* with;
  } cases[] = {
      {"a.exe;B.EXE;c.exe", "b.exe", "a.exe;c.exe;", "a.exe;B.EXE;c.exe;b.exe"},
      {";x.exe", "x.exe", "", "x.exe;x.exe"},
      {"x.exe", "x.exe", "", "x.exe;x.exe"},
      {"a;a;b", "a", "b;", "a;a;b;a"},
      {"a;;;b;", "z", "a;b;", "a;b;z"},
      {"", "n.exe", "", ";n.exe"},
  };
  for (const auto& c : cases) {
    char out[1024];
    EXPECT_EQ(1, WinIniRemoveFromList(c.list, c.entry, out, sizeof out));
    EXPECT_STREQ(c.without, out) << c.list;
    EXPECT_EQ(1, WinIniListWith(c.list, c.entry, out, sizeof out));
    EXPECT_STREQ(c.with, out) << c.list;
  }
  char small[8];
  EXPECT_EQ(0, WinIniListWith("abc;def", "ghi", small, sizeof small));  // would not fit: refused
}

TEST_F(PathsTest, WinIniListsAreEditedInPlace) {
  const char* key = "VandrelixTestList";
  WriteProfileStringA("windows", key, nullptr);
  EXPECT_TRUE(WinIniAppendEntry(key, "first.exe"));
  char value[256];
  GetProfileStringA("windows", key, "", value, sizeof value);
  EXPECT_STREQ(";first.exe", value);
  WinIniAppendEntry(key, "second.exe");
  WinIniRemoveEntry(key, "FIRST.EXE");
  GetProfileStringA("windows", key, "", value, sizeof value);
  EXPECT_STREQ("second.exe;", value);
  // Cycles leave no empty pieces behind.
  for (int i = 0; i < 3; ++i) {
    WinIniAppendEntry(key, "third.exe");
    WinIniRemoveEntry(key, "third.exe");
  }
  GetProfileStringA("windows", key, "", value, sizeof value);
  EXPECT_STREQ("second.exe;", value);

  // A list longer than any fixed buffer is edited whole.
  std::string list;
  for (int i = 0; list.size() < 700; ++i) list += "C:\\Long Folder Name\\program" + std::to_string(i) + ".exe;";
  list += "C:\\last.exe";
  WriteProfileStringA("windows", key, list.c_str());
  EXPECT_TRUE(WinIniRemoveEntry(key, "C:\\Long Folder Name\\program3.exe"));
  std::string expected = list + ";";
  expected.erase(expected.find("C:\\Long Folder Name\\program3.exe;"), strlen("C:\\Long Folder Name\\program3.exe;"));
  char whole[4096];
  GetProfileStringA("windows", key, "", whole, sizeof whole);
  EXPECT_EQ(expected, whole);

  // NT keeps the list in the registry, where it may be of another type than text, or hold text after
  // a zero byte: it reads as empty or in part, so it is never edited (an edit would replace it).
  const char* mapped = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  const std::string kinds[] = {std::string("C:\\a.exe;%windir%\\b.exe") + '\0', std::string("C:\\a.exe\0C:\\b.exe\0\0", 20),
                               std::string("C:\\a.exe;C:\\b.exe")};
  const DWORD types[] = {REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY};
  for (int k = 0; k < 3; ++k) {
    RawWrite(HKEY_CURRENT_USER, mapped, key, types[k], kinds[k].data(), (DWORD)kinds[k].size());
    EXPECT_FALSE(WinIniAppendEntry(key, "C:\\c.exe")) << k;
    EXPECT_FALSE(WinIniRemoveEntry(key, "C:\\a.exe")) << k;
    std::string now;
    DWORD type = 0;
    RawRead(HKEY_CURRENT_USER, mapped, key, &now, &type);
    EXPECT_EQ(types[k], type);
    EXPECT_EQ(kinds[k], now);
  }
  std::string zeroInside("C:\\a.exe\0C:\\b.exe\0", 18);
  RawWrite(HKEY_CURRENT_USER, mapped, key, REG_SZ, zeroInside.data(), (DWORD)zeroInside.size());
  EXPECT_FALSE(WinIniAppendEntry(key, "C:\\c.exe"));
  WriteProfileStringA("windows", key, nullptr);
}

TEST_F(PathsTest, ExeFromCommandReducesToTheProgram) {
  std::string windows = Upper(WindowsFolder());
  struct {
    const char* command;
    std::string program;
  } cases[] = {
      {"\"C:\\Program Files\\Foo\\foo.exe\" /min", "C:\\PROGRAM FILES\\FOO\\FOO.EXE"},
      {"c:\\tools\\my.app.exe -x", "C:\\TOOLS\\MY.APP.EXE"},
      {"notepad.txt", "NOTEPAD.TXT"},
      {"tool.exe arg", "TOOL.EXE"},
      {"rundll32.exe shell32.dll,Control_RunDLL", "RUNDLL32.EXE"},
      {"C:\\lib\\x.dll,Entry", "C:\\LIB\\X.DLL"},
      {"\\SystemRoot\\System32\\drivers\\probe.sys", windows + "\\SYSTEM32\\DRIVERS\\PROBE.SYS"},
      {"%SystemRoot%\\System32\\svchost.exe -k netsvcs", windows + "\\SYSTEM32\\SVCHOST.EXE"},
      // Paths that merely contain the word keep their own start.
      {"D:\\SystemRootTools\\run.exe", "D:\\SYSTEMROOTTOOLS\\RUN.EXE"},
      {"C:\\apps\\systemroot.exe /q", "C:\\APPS\\SYSTEMROOT.EXE"},
      {"junk C:\\x\\y.exe", "C:\\X\\Y.EXE"},
      {"", ""},
  };
  for (const auto& c : cases) {
    char out[260] = "junk";
    int n = ExeFromCommand(c.command, out);
    EXPECT_STREQ(c.program.c_str(), out) << c.command;
    EXPECT_EQ((int)c.program.size(), n) << c.command;
  }
}

TEST_F(PathsTest, ExeFromCommandExpandsProgramFilesForms) {
  const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  char dir[260];
  char x86[260];
  if (!RegReadString(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", dir, sizeof dir)) strcpy(dir, "C:\\Program Files");
  if (!RegReadString(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir (x86)", x86, sizeof x86))
    strcpy(x86, "C:\\Program Files (x86)");
  char out[260];
  ExeFromCommand("%ProgramFiles%\\App\\app.exe /s", out);
  EXPECT_STREQ(Upper(std::string(dir) + "\\APP\\APP.EXE").c_str(), out);
  ExeFromCommand("\"%ProgramFiles%\\App Dir\\app.exe\" /s", out);
  EXPECT_STREQ(Upper(std::string(dir) + "\\APP DIR\\APP.EXE").c_str(), out);
  ExeFromCommand("%PROGRAMFILES(X86)%\\Old\\old.exe", out);
  EXPECT_STREQ(Upper(std::string(x86) + "\\OLD\\OLD.EXE").c_str(), out);
}

TEST_F(PathsTest, ExeFromCommandFindsProgramsOnlyInTheNativeFolder) {
  CreateDirectoryA("C:\\Program Files\\VandrelixTest", nullptr);
  HANDLE f = CreateFileA("C:\\Program Files\\VandrelixTest\\tool.exe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                         nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  CloseHandle(f);
  char out[260];
  int n = ExeFromCommand("\"C:\\Program Files (x86)\\VandrelixTest\\tool.exe\" -run", out);
  EXPECT_STREQ("C:\\Program Files\\VANDRELIXTEST\\TOOL.EXE", out);
  EXPECT_EQ((int)strlen(out), n);
  ExeFromCommand("C:\\Program Files (x86)\\VandrelixTest\\absent.exe", out);
  EXPECT_STREQ("C:\\PROGRAM FILES (X86)\\VANDRELIXTEST\\ABSENT.EXE", out);
  DeleteFileA("C:\\Program Files\\VandrelixTest\\tool.exe");
  RemoveDirectoryA("C:\\Program Files\\VandrelixTest");
}

// The native folder is the one Windows names, on whatever drive: here both folders are moved below the
// test program's folder (another drive letter than C:) for the length of the test.
TEST_F(PathsTest, ExeFromCommandTakesTheRealNativeFolder) {
  const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  struct Saved {
    const char* name;
    std::string data;
    bool had;
  } saved[] = {{"ProgramFilesDir", "", false}, {"ProgramFilesDir (x86)", "", false}};
  for (auto& v : saved) v.had = RawRead(HKEY_LOCAL_MACHINE, key, v.name, &v.data, nullptr, KEY_WOW64_64KEY);
  std::string root = TempFolder("vx_other_drive");
  std::string native = root + "\\Program Files", x86 = root + "\\Program Files (x86)";
  CreateDirectoryA(native.c_str(), nullptr);
  CreateDirectoryA((native + "\\VxApp").c_str(), nullptr);
  MakeFile(native + "\\VxApp\\tool.exe");
  RawWriteString(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", native.c_str(), KEY_WOW64_64KEY);
  RawWriteString(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir (x86)", x86.c_str(), KEY_WOW64_64KEY);
  char out[260];
  ExeFromCommand(("\"" + x86 + "\\VxApp\\tool.exe\" -run").c_str(), out);
  std::string found = out;
  ExeFromCommand((x86 + "\\VxApp\\absent.exe").c_str(), out);
  std::string absent = out;
  for (auto& v : saved) {
    if (v.had) RawWrite(HKEY_LOCAL_MACHINE, key, v.name, REG_SZ, v.data.data(), (DWORD)v.data.size(), KEY_WOW64_64KEY);
    else RawDeleteValue(HKEY_LOCAL_MACHINE, key, v.name, KEY_WOW64_64KEY);
  }
  EXPECT_EQ(native + "\\VXAPP\\TOOL.EXE", found);
  EXPECT_EQ(Upper(x86 + "\\VxApp\\absent.exe"), absent);
  DeleteFileA((native + "\\VxApp\\tool.exe").c_str());
  RemoveDirectoryA((native + "\\VxApp").c_str());
  RemoveDirectoryA(native.c_str());
  RemoveDirectoryA(root.c_str());
}

TEST_F(PathsTest, CommandReductionStaysInsideItsBuffers) {
  std::string huge = "C:\\" + std::string(900, 'a') + "\\b.exe " + std::string(500, 'z');
  char out[262];
  out[260] = 'G';
  out[261] = 'G';
  int n = ExeFromCommand(huge.c_str(), out);
  EXPECT_LT(n, 260);
  EXPECT_EQ('G', out[261]);
  char path[262], args[262];
  path[261] = args[261] = 'G';
  SplitCommand(huge.c_str(), path, args);
  EXPECT_EQ('G', path[261]);
  EXPECT_EQ('G', args[261]);
}

TEST_F(PathsTest, SplitCommandGivesLongPathAndArguments) {
  char path[260], args[260];
  std::string windows = WindowsFolder();
  std::string command = windows + "\\notepad.exe C:\\some file.txt";
  SplitCommand(command.c_str(), path, args);
  EXPECT_EQ(0, lstrcmpiA((windows + "\\notepad.exe").c_str(), path)) << path;
  EXPECT_STREQ(" C:\\some file.txt", args);

  SplitCommand("control.exe desk.cpl,,1", path, args);
  EXPECT_STREQ("CONTROL.EXE", path);
  EXPECT_STREQ(" desk.cpl,,1", args);
  SplitCommand("C:\\Windows\\System32\\main.cpl @1", path, args);
  EXPECT_STREQ(" @1", args);  // .cpl ends the path here too
  SplitCommand("C:\\x\\y.exe", path, args);
  EXPECT_STREQ("", args);
}

TEST_F(PathsTest, VersionFactsOfTheDefaultPrefix) {
  EXPECT_EQ(1, IsNtPlatform());
  EXPECT_EQ(1, IsVistaOrLater());  // Windows 7 unless told otherwise
  EXPECT_EQ(0, IsWindows8());
  EXPECT_EQ(OnWow64() ? 1 : 0, IsWow64());
  EXPECT_GE(DllVersionOf("comctl32.dll"), 262215u);  // at least 4.71
  EXPECT_EQ(0u, DllVersionOf("vandrelix-no-such.dll"));
  EXPECT_EQ(0u, DllVersionOf("kernel32.dll"));  // no DllGetVersion
  char os[512];
  EXPECT_GT(OsDescription(os), 0);
  EXPECT_EQ(0u, std::string(os).find("Windows ")) << os;
  EXPECT_NE(std::string::npos, std::string(os).find("(Build 7601)")) << os;
}

TEST_F(PathsTest, UacFollowsThePolicy) {
  const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  std::string saved;
  DWORD type = 0;
  bool had = RawRead(HKEY_LOCAL_MACHINE, key, "EnableLUA", &saved, &type);
  DWORD one = 1, zero = 0;
  RawWrite(HKEY_LOCAL_MACHINE, key, "EnableLUA", REG_DWORD, &one, 4);
  EXPECT_EQ(1, UacEnabled());
  RawWrite(HKEY_LOCAL_MACHINE, key, "EnableLUA", REG_DWORD, &zero, 4);
  EXPECT_EQ(0, UacEnabled());
  if (had) {
    RawWrite(HKEY_LOCAL_MACHINE, key, "EnableLUA", type, saved.data(), (DWORD)saved.size());
  } else {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
      RegDeleteValueA(k, "EnableLUA");
      RegCloseKey(k);
    }
  }
}

OsFacts Facts(DWORD platform, DWORD major, DWORD minor, DWORD build, const char* csd, WORD sp, WORD suite,
              BYTE product) {
  OsFacts f = {};
  f.version.dwPlatformId = platform;
  f.version.dwMajorVersion = major;
  f.version.dwMinorVersion = minor;
  f.version.dwBuildNumber = build;
  strcpy(f.version.szCSDVersion, csd);
  f.version.wServicePackMajor = sp;
  f.version.wSuiteMask = suite;
  f.version.wProductType = product;
  f.extended = 1;
  return f;
}

TEST(DescribeOs, NamesEachWindows) {
  struct {
    OsFacts facts;
    const char* text;
  } cases[] = {
      {Facts(0, 3, 10, 0, "", 0, 0, 0), "Microsoft Win32s"},
      {Facts(1, 4, 0, 950, " C", 0, 0, 0), "Microsoft Windows 95 OSR2 "},
      {Facts(1, 4, 0, 950, "", 0, 0, 0), "Microsoft Windows 95 "},
      {Facts(1, 4, 10, 0x040A08AE, " A ", 0, 0, 0), "Microsoft Windows 98 SE "},
      {Facts(1, 4, 90, 3000, " ", 0, 0, 0), "Microsoft Windows Millennium Edition"},
      {Facts(2, 4, 0, 1381, "Service Pack 6", 6, 0, 1), "Windows NT  Workstation 4.0 Service Pack 6 (Build 1381)"},
      {Facts(2, 5, 0, 2195, "Service Pack 4", 4, 0x2, 3), "Windows XP  Advanced Server Service Pack 4 (Build 2195)"},
      {Facts(2, 5, 1, 2600, "Service Pack 3", 3, 0x300, 1), "Windows XP SP3 Home Edition Service Pack 3 (Build 2600)"},
      {Facts(2, 5, 1, 2600, "Service Pack 2", 2, 0x100, 1), "Windows XP SP2 Service Pack 2 (Build 2600)"},
      {Facts(2, 5, 2, 3790, "Service Pack 2", 2, 0x400, 3), "Windows XP SP2 Web Edition Service Pack 2 (Build 3790)"},
      {Facts(2, 5, 2, 3790, "", 0, 0x80, 2), "Windows XP  Datacenter Edition  (Build 3790)"},
      {Facts(2, 6, 0, 6002, "Service Pack 2", 2, 0x100, 1), "Windows Vista Service Pack 2 (Build 6002)"},
      {Facts(2, 6, 0, 6002, "Service Pack 2", 2, 0x100, 3), "Windows Server 2008 Service Pack 2 (Build 6002)"},
      {Facts(2, 6, 1, 7601, "Service Pack 1", 1, 0x100, 1), "Windows 7 Service Pack 1 (Build 7601)"},
      {Facts(2, 6, 1, 7601, "Service Pack 1", 1, 0x100, 3), "Windows Server 2008 R2 Service Pack 1 (Build 7601)"},
      {Facts(2, 6, 2, 9200, "", 0, 0x100, 1), "Windows 8  (Build 9200)"},
      {Facts(2, 4, 0, 1381, "Service Pack 6", 6, 0x2, 3), "Windows NT  Server 4.0, Enterprise Edition Service Pack 6 (Build 1381)"},
      {Facts(2, 10, 0, 19041, "", 0, 0x100, 1), "  (Build 19041)"},
      {Facts(3, 10, 0, 0, "", 0, 0, 0), ""},
  };
  for (const auto& c : cases) {
    char out[512] = "";
    DescribeOs(&c.facts, out);
    EXPECT_STREQ(c.text, out);
  }
}

TEST(DescribeOs, OlderFactsAndTabletEdition) {
  OsFacts sp6a = Facts(2, 4, 0, 1381, "Service Pack 6", 6, 0, 1);
  sp6a.hotfixQ246009 = 1;
  char out[512];
  DescribeOs(&sp6a, out);
  EXPECT_STREQ("Windows NT  Workstation 4.0 Service Pack 6a (Build 1381)", out);

  OsFacts shortForm = Facts(2, 4, 0, 1381, "Service Pack 5", 0, 0, 0);
  shortForm.extended = 0;
  shortForm.productOptionsRead = 1;
  strcpy(shortForm.productOptions, "lanmannt");
  DescribeOs(&shortForm, out);
  EXPECT_STREQ("Windows NT  Server 4.0 Service Pack 5 (Build 1381)", out);
  shortForm.productOptionsRead = 0;
  strcpy(out, "untouched");
  EXPECT_EQ(0, DescribeOs(&shortForm, out));
  EXPECT_STREQ("untouched", out);

  OsFacts tablet = Facts(2, 5, 1, 2600, "Service Pack 2", 2, 0x100, 1);
  tablet.tablet = 1;
  DescribeOs(&tablet, out);
  EXPECT_STREQ("Windows XP SP2 Tablet PC Edition Service Pack 2 (Build 2600)", out);
}

// Runs the probe program with a Wine version setting of its own and returns its line.
std::string ProbeAs(const char* version) {
  std::string key = "Software\\Wine\\AppDefaults\\os_probe.exe";
  RawWriteString(HKEY_CURRENT_USER, key.c_str(), "Version", version);
  std::string exe = BinFolder() + "\\os_probe.exe";
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  CreatePipe(&readEnd, &writeEnd, &sa, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  PROCESS_INFORMATION pi = {};
  std::string command = "\"" + exe + "\"";
  std::string output;
  if (CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(writeEnd);
    char buffer[512];
    DWORD got;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) output.append(buffer, got);
    WaitForSingleObject(pi.hProcess, 20000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  } else {
    CloseHandle(writeEnd);
  }
  CloseHandle(readEnd);
  RawDeleteTree(HKEY_CURRENT_USER, key.c_str());
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

TEST_F(PathsTest, OsDescriptionOfOtherWindows) {
  std::string w98 = ProbeAs("win98");
  EXPECT_EQ("24|Microsoft Windows 98 SE |000", w98);
  std::string xp = ProbeAs("winxp");
  EXPECT_NE(std::string::npos, xp.find("|Windows XP SP3 Service Pack 3 (Build 2600)|100")) << xp;
  std::string vista = ProbeAs("vista");
  EXPECT_NE(std::string::npos, vista.find("|Windows Vista Service Pack 2 (Build 6002)|110")) << vista;
  std::string server = ProbeAs("win2008r2");
  EXPECT_NE(std::string::npos, server.find("|Windows 7 Service Pack 1 (Build 7601)|110")) << server;
  std::string eight = ProbeAs("win8");
  EXPECT_NE(std::string::npos, eight.find("|Windows 8  (Build 9200)|111")) << eight;
}

TEST(FormatDateTime, EveryPattern) {
  SYSTEMTIME t = {};
  t.wYear = 2026;
  t.wMonth = 12;
  t.wDay = 7;
  t.wHour = 12;
  t.wMinute = 5;
  struct {
    const char* date;
    const char* time;
    const char* text;
  } cases[] = {
      {"M/d/yy", "h:mm:ss tt", "12/07/2026 12:05 AM"}, {"dd-MMM-yy", "HH:mm:ss", "07-Dec-2026 12:05"},
      {"", "", "12/07/2026 12:05 AM"},                   {"M/d/yyyy", "hh:mm:ss tt", "12/07/2026 12:05 AM"},
      {"MM/dd/yy", "H:mm:ss", "12/07/2026 12:05"},        {"MM/DD/YYYY", "h:mm:ss tt", "12/07/2026 12:05 AM"},
      {"yy/MM/dd", "HH:mm:ss", "2026/12/07 12:05"},       {"yyyy-MM-dd", "H:mm:ss", "2026-12-07 12:05"},
      {"d.M.yyyy", "HH:mm", "12/07/2026 12:05 AM"},
  };
  for (const auto& c : cases) {
    char out[24];
    FormatDateTimeWith(&t, c.date, c.time, out);
    EXPECT_STREQ(c.text, out) << c.date << " " << c.time;
  }
  char out[24];
  t.wHour = 0;
  t.wMinute = 30;
  FormatDateTimeWith(&t, "", "", out);
  EXPECT_STREQ("12/07/2026 0:30 AM", out);
  t.wHour = 13;
  t.wMinute = 0;
  FormatDateTimeWith(&t, "", "hh:mm:ss tt", out);
  EXPECT_STREQ("12/07/2026 01:00 PM", out);
  t.wMonth = 2;
  t.wDay = 3;
  t.wHour = 23;
  t.wMinute = 59;
  FormatDateTimeWith(&t, "dd-MMM-yy", "", out);
  EXPECT_STREQ("03-Feb-2026 11:59 PM", out);
}

TEST_F(PathsTest, FormatDateTimeReadsTheUsersPatterns) {
  const char* key = "Control Panel\\International";
  std::string date, time;
  bool hadDate = RawRead(HKEY_CURRENT_USER, key, "sShortDate", &date, nullptr);
  bool hadTime = RawRead(HKEY_CURRENT_USER, key, "sTimeFormat", &time, nullptr);
  SYSTEMTIME t = {};
  t.wYear = 2026;
  t.wMonth = 12;
  t.wDay = 7;
  t.wHour = 12;
  t.wMinute = 5;
  char out[24];
  RawWriteString(HKEY_CURRENT_USER, key, "sShortDate", "dd-MMM-yy");
  RawWriteString(HKEY_CURRENT_USER, key, "sTimeFormat", "HH:mm:ss");
  EXPECT_EQ(1, FormatDateTime(&t, out));
  EXPECT_STREQ("07-Dec-2026 12:05", out);
  HKEY k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    RegDeleteValueA(k, "sShortDate");
    RegCloseKey(k);
  }
  FormatDateTime(&t, out);
  EXPECT_STREQ("12/07/2026 12:05", out);
  if (hadDate) RawWriteString(HKEY_CURRENT_USER, key, "sShortDate", date.c_str());
  if (hadTime) RawWriteString(HKEY_CURRENT_USER, key, "sTimeFormat", time.c_str());
  else if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    RegDeleteValueA(k, "sTimeFormat");
    RegCloseKey(k);
  }
}

}  // namespace
