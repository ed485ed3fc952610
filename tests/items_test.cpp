// The item table's add rules, the location catalog and the disabled markers.
#include <string>

#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup_support.h"

namespace {

int AddPlain(const char* title, const char* file, int code = 1, const char* command = "") {
  char t[300], f[300], c[300], d[16] = "";
  strcpy(t, title);
  strcpy(f, file);
  strcpy(c, command);
  return AddStartupItem(t, f, c, d, code, 0);
}

class ItemsTest : public StartupTest {};

TEST_F(ItemsTest, TitlesFollowTheAddRules) {
  strcpy(ApplicationTitle, "Loading...");
  ASSERT_EQ(1, AddPlain("", "C:\\Tools\\sync.exe"));
  ASSERT_EQ(1, AddPlain("(Default)", "C:\\x\\a.exe"));
  ASSERT_EQ(1, AddPlain("my (default) entry", "C:\\x\\b.exe"));
  ASSERT_EQ(1, AddPlain("VANDRELIX helper", "C:\\x\\c.exe"));
  ASSERT_EQ(1, AddPlain("", "ab"));  // shorter than the extension cut
  char t[128];
  GetItemTitle(0, t);
  EXPECT_STREQ("sync", t);
  GetItemTitle(1, t);
  EXPECT_STREQ("", t);
  GetItemTitle(2, t);
  EXPECT_STREQ("", t);
  GetItemTitle(3, t);
  EXPECT_STREQ("Loading...", t);
  GetItemTitle(4, t);
  EXPECT_STREQ("", t);
  EXPECT_EQ("ab", ItemFile(4));
}

TEST_F(ItemsTest, FileNamesLoseQuotesAndGainLongForm) {
  std::string folder = TempFolder("A long folder name");
  std::string exe = MakeFile(folder + "\\prog.exe");
  char brief[MAX_PATH];
  GetShortPathNameA(exe.c_str(), brief, sizeof brief);
  AddPlain("a", (std::string("\"") + brief + "\"").c_str());
  EXPECT_EQ(0, lstrcmpiA(exe.c_str(), ItemFile(0).c_str())) << ItemFile(0);
  AddPlain("b", "\"C:\\Program Files\\App\\app.exe\" /min");
  EXPECT_EQ("C:\\Program Files\\App\\app.exe /min", ItemFile(1));
  std::string overlong(300, 'f');
  char t[8] = "c", f[400], c[400], d[8] = "";
  strcpy(f, overlong.c_str());
  strcpy(c, overlong.c_str());
  ASSERT_EQ(1, AddStartupItem(t, f, c, d, 1, 0));
  EXPECT_EQ(259u, strlen(f));  // the caller's text is cut in place
  EXPECT_EQ(259u, ItemFile(2).size());
  DeleteFileA(exe.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST_F(ItemsTest, TableAndCookieLimits) {
  OptionSet[OPT_MaxCookie] = 3;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(1, AddPlain("cookie", "c:\\cookie.txt", 500));
  EXPECT_EQ(0, AddPlain("cookie", "c:\\cookie.txt", 500));
  EXPECT_EQ(1, AddPlain("other", "c:\\other.exe", 1));
  ClearStartupItems();
  for (int i = 0; i < kMaxItems; ++i) ASSERT_EQ(1, AddPlain("x", "y", 1));
  EXPECT_EQ(0, AddPlain("x", "y", 1));
  EXPECT_EQ(kMaxItems, StartupItemCount);
  ClearStartupItems();
  EXPECT_EQ(0, StartupItemCount);
  EXPECT_EQ(1, AddPlain("x", "y", 1));
  char out[128] = "kept";
  EXPECT_EQ(0, GetItemTitle(7, out));
  EXPECT_STREQ("kept", out);
  EXPECT_EQ(0, GetItemLocation(-1));
}

TEST_F(ItemsTest, CatalogTokens) {
  EXPECT_STREQ("HKLM_RUN", LocationToken(1));
  EXPECT_STREQ("CURRENT_RUNSERVICESONCE", HistoryLocationToken(15));
  EXPECT_STREQ("CURRENT_RUNONCESETUP", HistoryLocationToken(16));
  EXPECT_STREQ("WOW64_RUNPOLICY", HistoryLocationToken(27));
  EXPECT_EQ(nullptr, HistoryLocationToken(42));
  EXPECT_STREQ("x64_POLICY", LocationToken(27));
  EXPECT_EQ(nullptr, LocationToken(700));
  EXPECT_STREQ("SERVICE_SVCHOST", HistoryLocationToken(701));
  EXPECT_EQ(256, LocationFromHistoryToken("run_winlogonnotify"));
  EXPECT_EQ(3000, LocationFromHistoryToken("NO_SUCH"));
  EXPECT_STREQ("REMOVE_TaskScheduler", HistoryActionToken(23));
  EXPECT_EQ(23, HistoryActionFromToken("REMOVE_TASKSCHEDULER"));
  EXPECT_EQ(nullptr, HistoryActionToken(16));
  EXPECT_EQ(33, HistoryActionFromToken("whatever"));
  EXPECT_EQ(1, IsRestorableAction(0));
  EXPECT_EQ(1, IsRestorableAction(29));
  EXPECT_EQ(0, IsRestorableAction(1));
  EXPECT_STREQ("Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup", RunKeyPathOf(26));
  EXPECT_STREQ("Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run", RunKeyPathOf(17));
  EXPECT_EQ(HKEY_CURRENT_USER, RunRootOf(13));
  EXPECT_STREQ("Software\\Orvenn Studios\\Vandrelix\\Disabled\\RunServicesOnce", DisabledStoreOf(25));
  EXPECT_STREQ("Software\\Orvenn Studios\\Vandrelix\\Disabled\\Policy", DisabledStoreOf(17));
  EXPECT_STREQ("Software\\Orvenn Studios\\Vandrelix\\Disabled\\WinRun", DisabledStoreOf(101));
  EXPECT_EQ(nullptr, DisabledStoreOf(26));
}

TEST_F(ItemsTest, LocationLinesAndDisabledPrefix) {
  AddPlain("VxTest one", "C:\\a.exe", 12);
  AddPlain("VxTest two", "C:\\a.exe", 26);
  AddPlain("VxTest three", "C:\\a.exe", 255);
  AddPlain("VxTest four", "C:\\a.exe", 800);
  AddPlain("VxTest five", "C:\\a.exe", 600);
  char line[512];
  EXPECT_EQ(54, FormatLocationText(0, line));
  EXPECT_STREQ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", line);
  EXPECT_EQ(0, FormatLocationText(1, line));
  EXPECT_STREQ("", line);
  FormatLocationText(2, line);
  EXPECT_STREQ("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs", line);
  EXPECT_EQ(0, FormatLocationText(3, line));
  EXPECT_STREQ("Windows Task Scheduler 1.0", line);
  EXPECT_EQ(0, FormatLocationText(4, line));
  EXPECT_STREQ("", line);

  EXPECT_EQ(0, IsItemDisabled(0));
  WriteDisabledMarker("VxTest one", 12);
  EXPECT_EQ(12, IsItemDisabled(0));
  FormatLocationText(0, line);
  EXPECT_STREQ(" *    Disabled * HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", line);
  WriteDisabledMarker("VxTest two", 26);
  FormatLocationText(1, line);
  EXPECT_STREQ(" *    Disabled * ", line);
}

TEST_F(ItemsTest, MarkersLiveInTheDefaultViewWhateverTheCallersView) {
  DWORD before = RegReadAccess;
  {
    RegView64 view;
    WriteDisabledMarker("VxTest view", 3);
    EXPECT_EQ(3, ReadDisabledMarker("VxTest view"));
  }
  EXPECT_EQ(3, ReadDisabledMarker("VxTest view"));
  std::string data;
  EXPECT_TRUE(RawRead(HKEY_LOCAL_MACHINE, kDisabledRoot, "VxTest view", &data, nullptr, OnWow64() ? KEY_WOW64_32KEY : 0));
  EXPECT_EQ(before, RegReadAccess);
}


TEST_F(ItemsTest, TakenMarkersAnswerAsSingleReadsAndFollowChanges) {
  const char* root = "Software\\Orvenn Studios\\Vandrelix\\Disabled";
  RawWriteString(HKEY_LOCAL_MACHINE, root, "VxTest One", "11");
  RawWriteString(HKEY_LOCAL_MACHINE, root, "VxTest Long", "123456789012345678901234567890123456");
  DWORD number = 7;
  RawWrite(HKEY_LOCAL_MACHINE, root, "VxTest Number", REG_DWORD, &number, sizeof number);
  RawWrite(HKEY_LOCAL_MACHINE, root, "VxTest Binary", REG_BINARY, "11", 2);
  RawWrite(HKEY_LOCAL_MACHINE, root, "VxTest Multi", REG_MULTI_SZ, "12\0\0", 4);
  const char* names[] = {"VxTest One", "vxtest ONE", "VxTest Long", "VxTest Number", "VxTest None", "", "VxTest Binary",
                         "VxTest Multi"};
  int single[8];
  for (int i = 0; i < 8; ++i) single[i] = ReadDisabledMarker(names[i]);
  EXPECT_EQ(11, single[0]);
  {
    DisabledMarkersTaken markers;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(single[i], ReadDisabledMarker(names[i])) << names[i];
    // Changed from outside while taken: the copy answers (a scan reads the markers once).
    RawWriteString(HKEY_LOCAL_MACHINE, root, "VxTest Two", "12");
    EXPECT_EQ(0, ReadDisabledMarker("VxTest Two"));
    WriteDisabledMarker("VxTest Three", 200);
    EXPECT_EQ(200, ReadDisabledMarker("VxTest Three"));
    DeleteDisabledMarker("VxTest One");
    EXPECT_EQ(0, ReadDisabledMarker("VxTest One"));
  }
  EXPECT_EQ(12, ReadDisabledMarker("VxTest Two"));
  EXPECT_EQ(200, ReadDisabledMarker("VxTest Three"));
  EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, root, "VxTest One"));
}

}  // namespace
