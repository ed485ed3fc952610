// Delayed programs: listing, return to normal startup, launch rules, the companion's autostart.
#include <algorithm>
#include <string>
#include <thread>

#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/delay.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"
#include "startup_support.h"

namespace {

class DelayTest : public StartupTest {};

std::string DelayKey(const char* sub) { return std::string(kDelayRoot) + (sub[0] ? "\\" : "") + sub; }
DWORD OwnView() { return OnWow64() ? KEY_WOW64_32KEY : 0; }
void PutDelay(HKEY root, const char* sub, const char* command, const char* data) {
  RawWriteString(root, DelayKey(sub).c_str(), command, data, OwnView());
}

TEST(DelayRules, TimesStatesAndCommandLines) {
  int minutes, seconds;
  SplitDelayTime(125, &minutes, &seconds);
  EXPECT_EQ(2, minutes);
  EXPECT_EQ(0, seconds);
  SplitDelayTime(130, &minutes, &seconds);
  EXPECT_EQ(2, minutes);
  EXPECT_EQ(1, seconds);  // the "10" entry
  SplitDelayTime(59, &minutes, &seconds);
  EXPECT_EQ(0, minutes);
  EXPECT_EQ(5, seconds);
  EXPECT_EQ(SW_SHOWNORMAL, ShowCommandOfState(0));
  EXPECT_EQ(SW_MINIMIZE, ShowCommandOfState(1));
  EXPECT_EQ(SW_SHOWMAXIMIZED, ShowCommandOfState(2));
  EXPECT_EQ(SW_SHOWNORMAL, ShowCommandOfState(5));
  char line[600];
  DelayedCommandLine("rundll32.exe", "C:\\x\\lib.dll,Run", "-now", line, sizeof line);
  EXPECT_STREQ("rundll32.exe C:\\x\\lib.dll,Run -now", line);
  DelayedCommandLine("", "C:\\x\\app.exe", "", line, sizeof line);
  EXPECT_STREQ("C:\\x\\app.exe", line);
  FallbackCommandLine("C:\\My Apps\\app.exe", 1, "-a b", line, sizeof line);
  EXPECT_STREQ("\"C:\\My Apps\\app.exe\" -a b", line);
  FallbackCommandLine("\"C:\\My Apps\\app.exe\" -first", 0, "-second", line, sizeof line);
  EXPECT_STREQ("\"C:\\My Apps\\app.exe\" -first -second", line);
  FallbackCommandLine("C:\\x\\app.exe", 0, "", line, sizeof line);
  EXPECT_STREQ("C:\\x\\app.exe", line);
}

TEST_F(DelayTest, DelayedProgramsAreListedAndRestored) {
  std::string exe = BinFolder() + "\\vf_with_icon.exe";
  PutDelay(HKEY_LOCAL_MACHINE, "", exe.c_str(), "1");
  PutDelay(HKEY_LOCAL_MACHINE, "Applet", exe.c_str(), "C:\\host\\host.exe");
  PutDelay(HKEY_LOCAL_MACHINE, "Parameters", exe.c_str(), "-p 1");
  PutDelay(HKEY_LOCAL_MACHINE, "Title", exe.c_str(), "VxTest Delayed");
  PutDelay(HKEY_LOCAL_MACHINE, "RunAs", exe.c_str(), "x");
  PutDelay(HKEY_LOCAL_MACHINE, "OpenAs", exe.c_str(), "2");
  PutDelay(HKEY_CURRENT_USER, "", "C:\\user\\mine.exe", "11");
  ASSERT_EQ(2, ScanDelayedPrograms());
  int machine = FindItem("VxTest Delayed");
  ASSERT_GE(machine, 0);
  EXPECT_EQ(1, GetItemLocation(machine));
  EXPECT_EQ(0, GetItemFlag(machine));
  char description[1024];
  GetItemDescription(machine, description, sizeof description);
  EXPECT_STREQ("Program with an icon", description);
  int user = FindItem("mine.exe");  // no product name: the file's name
  ASSERT_GE(user, 0);
  EXPECT_EQ(1, GetItemFlag(user));

  RestoreDelayedPrograms();
  std::string data;
  ASSERT_TRUE(GetRunValue(1, "VxTest Delayed", &data, nullptr));
  EXPECT_STREQ(("C:\\host\\host.exe " + exe + " -p 1").c_str(), data.c_str());
  ASSERT_TRUE(GetRunValue(11, "mine.exe", &data, nullptr));
  EXPECT_STREQ("C:\\user\\mine.exe", data.c_str());
  EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, DelayKey("").c_str(), exe.c_str(), OwnView()));
  EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, DelayKey("Applet").c_str(), exe.c_str(), OwnView()));
  EXPECT_TRUE(RawValueExists(HKEY_LOCAL_MACHINE, DelayKey("RunAs").c_str(), exe.c_str(), OwnView()));
  EXPECT_TRUE(RawValueExists(HKEY_LOCAL_MACHINE, DelayKey("OpenAs").c_str(), exe.c_str(), OwnView()));
  EXPECT_EQ(0, ScanDelayedPrograms());
  HKEY k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPathOf(11), 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    RegDeleteValueA(k, "mine.exe");
    RegCloseKey(k);
  }
}

// A per-user entry that carries a machine-wide code comes back from the per-user tree, where it lives.
TEST_F(DelayTest, RestoreReadsEachEntryWhereItWasFound) {
  PutDelay(HKEY_CURRENT_USER, "", "C:\\user\\machinewide.exe", "1");
  PutDelay(HKEY_CURRENT_USER, "Parameters", "C:\\user\\machinewide.exe", "-p 2");
  PutDelay(HKEY_CURRENT_USER, "Title", "C:\\user\\machinewide.exe", "VxTest Found Per User");
  PutDelay(HKEY_LOCAL_MACHINE, "", "C:\\all\\peruser.exe", "11");
  PutDelay(HKEY_LOCAL_MACHINE, "Title", "C:\\all\\peruser.exe", "VxTest Found Machine Wide");
  RestoreDelayedPrograms();
  std::string data;
  ASSERT_TRUE(GetRunValue(1, "VxTest Found Per User", &data, nullptr));
  EXPECT_STREQ("C:\\user\\machinewide.exe -p 2", data.c_str());
  ASSERT_TRUE(GetRunValue(11, "VxTest Found Machine Wide", &data, nullptr));
  EXPECT_STREQ("C:\\all\\peruser.exe", data.c_str());
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, DelayKey("").c_str(), "C:\\user\\machinewide.exe", OwnView()));
  EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, DelayKey("").c_str(), "C:\\all\\peruser.exe", OwnView()));
  EXPECT_EQ(0, ScanDelayedPrograms());
}

// The program of a restored line stays apart from what follows it: a shortcut gets target and
// arguments apart, and a Run value names a program under a folder with a blank in quotes.
TEST_F(DelayTest, RestoredProgramsKeepTheirArgumentsApart) {
  StartupFolderScope scope;
  std::string exe = BinFolder() + "\\vf_with_icon.exe", link = scope.folder + "\\VxTest Delayed.lnk";
  PutDelay(HKEY_CURRENT_USER, "", exe.c_str(), "200");
  PutDelay(HKEY_CURRENT_USER, "Parameters", exe.c_str(), "-tray");
  PutDelay(HKEY_CURRENT_USER, "Shortcuts", exe.c_str(), link.c_str());
  PutDelay(HKEY_CURRENT_USER, "", "C:\\Program Files\\Vx\\late.exe", "11");
  PutDelay(HKEY_CURRENT_USER, "Title", "C:\\Program Files\\Vx\\late.exe", "VxTest Late");
  PutDelay(HKEY_CURRENT_USER, "Parameters", "C:\\Program Files\\Vx\\late.exe", "-q");
  RestoreDelayedPrograms();
  char target[260], description[260];
  ASSERT_EQ(S_OK, ResolveShortcut(link.c_str(), target, description));
  EXPECT_EQ(0, lstrcmpiA(exe.c_str(), target)) << target;
  std::string data;
  ASSERT_TRUE(GetRunValue(11, "VxTest Late", &data, nullptr));
  EXPECT_STREQ("\"C:\\Program Files\\Vx\\late.exe\" -q", data.c_str());
  DeleteFileA(link.c_str());
}

TEST_F(DelayTest, CompanionAutostartReplacesOlderEntries) {
  PutRunValue(1, "VxTest Old Monitor", "C:\\Old\\Vandrelix.exe -expressboot");
  PutRunValue(11, "VxTest Old Explorer", "C:\\Old\\VandrelixEx.exe -START");
  // Listed under another title than its name (the product's name in it): found by its real name.
  PutRunValue(11, "VxTest Vandrelix Tray", "\"C:\\Old Place\\Vandrelix.exe\" -expressboot");
  EXPECT_EQ(1, ManageOwnStartupEntries(0));
  EXPECT_TRUE(GetRunValue(1, "VxTest Old Monitor", nullptr, nullptr));  // only looked at
  ASSERT_EQ(1, SetMonitorAutostart(1, 1));
  EXPECT_EQ(1, MonitorRegistered);
  EXPECT_FALSE(GetRunValue(1, "VxTest Old Monitor", nullptr, nullptr));
  EXPECT_FALSE(GetRunValue(11, "VxTest Old Explorer", nullptr, nullptr));
  EXPECT_FALSE(GetRunValue(11, "VxTest Vandrelix Tray", nullptr, nullptr));
  std::string data;
  ASSERT_TRUE(GetRunValue(1, "Vandrelix", &data, nullptr));
  EXPECT_STREQ(("\"" + BinFolder() + "\\vandrelix.exe\" -expressboot").c_str(), data.c_str());
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, kKnownRunList, data.c_str()));
  EXPECT_EQ(1, ManageOwnStartupEntries(0));
  EXPECT_EQ(1, SetMonitorAutostart(0, 1));  // it was there
  EXPECT_EQ(0, MonitorRegistered);
  EXPECT_FALSE(GetRunValue(1, "Vandrelix", nullptr, nullptr));
  EXPECT_EQ(0, ManageOwnStartupEntries(0));
}

}  // namespace

namespace {

// Sets the dialog's controls from another thread, as a user would, then presses "&Apply".
void AnswerDelayDialog(int minutes, int seconds, int state, const char* parameters, bool runAs, std::string* shown) {
  DWORD start = GetTickCount();
  HWND dialog = nullptr;
  // A dialog turns visible once its initialisation is done.
  while ((!dialog || !IsWindowVisible(dialog)) && GetTickCount() - start < 10000) {
    dialog = FindWindowA("#32770", "Program Delay Startup Options");
    Sleep(20);
  }
  if (!dialog) return;
  char text[64];
  GetDlgItemTextA(dialog, IDC_DELAY_MINUTES, text, sizeof text);
  *shown = text;
  GetDlgItemTextA(dialog, IDC_DELAY_SECONDS, text, sizeof text);
  *shown += std::string("/") + text;
  GetDlgItemTextA(dialog, IDC_DELAY_STATE, text, sizeof text);
  *shown += std::string("/") + text;
  SendDlgItemMessageA(dialog, IDC_DELAY_MINUTES, CB_SETCURSEL, minutes, 0);
  SendDlgItemMessageA(dialog, IDC_DELAY_SECONDS, CB_SETCURSEL, seconds, 0);
  SendDlgItemMessageA(dialog, IDC_DELAY_STATE, CB_SETCURSEL, state, 0);
  SetDlgItemTextA(dialog, IDC_DELAY_PARAMETERS, parameters);
  SendDlgItemMessageA(dialog, IDC_DELAY_RUNAS, BM_SETCHECK, runAs ? BST_CHECKED : BST_UNCHECKED, 0);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(DelayTest, OptionsDialogShowsAndStoresTheOptions) {
  PutDelay(HKEY_CURRENT_USER, "", "C:\\user\\mine.exe", "11");
  PutDelay(HKEY_CURRENT_USER, "Time", "C:\\user\\mine.exe", "130");
  PutDelay(HKEY_CURRENT_USER, "OpenAs", "C:\\user\\mine.exe", "7");
  ASSERT_EQ(1, ScanDelayedPrograms());
  std::string shown;
  std::thread user(AnswerDelayDialog, 3, 2, 1, "-quiet", true, &shown);
  EXPECT_EQ(1, DelayOptionsDialog(nullptr, 0));
  user.join();
  EXPECT_EQ("2/10/Normal Window", shown);  // 130 s; an unknown state shows as normal
  std::string data;
  RawRead(HKEY_CURRENT_USER, DelayKey("Time").c_str(), "C:\\user\\mine.exe", &data, nullptr);
  EXPECT_STREQ("200", data.c_str());
  RawRead(HKEY_CURRENT_USER, DelayKey("OpenAs").c_str(), "C:\\user\\mine.exe", &data, nullptr);
  EXPECT_STREQ("1", data.c_str());
  RawRead(HKEY_CURRENT_USER, DelayKey("Parameters").c_str(), "C:\\user\\mine.exe", &data, nullptr);
  EXPECT_STREQ("-quiet", data.c_str());
  DWORD type = 0;
  RawRead(HKEY_CURRENT_USER, DelayKey("RunAs").c_str(), "C:\\user\\mine.exe", &data, &type);
  EXPECT_EQ((DWORD)REG_DWORD, type);
  EXPECT_EQ(1u, *(const DWORD*)data.data());
}

TEST_F(DelayTest, StartupTypeAnswersCurrentUserUnlessAllIsChosen) {
  std::thread user([]() {
    DWORD start = GetTickCount();
    HWND dialog = nullptr;
    while ((!dialog || !IsWindowVisible(dialog)) && GetTickCount() - start < 10000) {
      dialog = FindWindowA("#32770", "Startup Program Type");
      Sleep(20);
    }
    if (dialog) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(0, StartupTypeDialog(nullptr));
  user.join();
  std::thread all([]() {
    DWORD start = GetTickCount();
    HWND dialog = nullptr;
    while ((!dialog || !IsWindowVisible(dialog)) && GetTickCount() - start < 10000) {
      dialog = FindWindowA("#32770", "Startup Program Type");
      Sleep(20);
    }
    if (!dialog) return;
    CheckRadioButton(dialog, IDC_TYPE_ALL, IDC_TYPE_USER, IDC_TYPE_ALL);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(1, StartupTypeDialog(nullptr));
  all.join();
}

}  // namespace

namespace {

std::string WaitForRecord(const std::string& path, size_t lines = 1) {
  std::string text;
  for (int i = 0; i < 200; ++i) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      char buffer[512];
      DWORD got = 0;
      ReadFile(f, buffer, sizeof buffer, &got, nullptr);
      CloseHandle(f);
      text.assign(buffer, got);
      if ((size_t)std::count(text.begin(), text.end(), '\n') >= lines) break;
    }
    Sleep(50);
  }
  return text;
}

TEST_F(DelayTest, LaunchUsesTheStoredWindowState) {
  std::string recorder = BinFolder() + "\\recorder.exe";
  std::string record = BinFolder() + "\\recorder.txt";
  struct {
    const char* state;
    int show;
  } cases[] = {{"2", SW_SHOWMAXIMIZED}, {"5", SW_SHOWNORMAL}};
  for (const auto& c : cases) {
    DeleteFileA(record.c_str());
    PutDelay(HKEY_CURRENT_USER, "OpenAs", recorder.c_str(), c.state);
    EXPECT_EQ(0, LaunchProgram(nullptr, recorder.c_str(), "-x y", 0));
    EXPECT_EQ("-x y|" + std::to_string(c.show) + "\n", WaitForRecord(record)) << c.state;
  }
  // Each delayed program's state comes from the tree it lives in.
  PutDelay(HKEY_LOCAL_MACHINE, "OpenAs", recorder.c_str(), "1");
  PutDelay(HKEY_CURRENT_USER, "OpenAs", recorder.c_str(), "2");
  EXPECT_EQ(SW_MINIMIZE, DelayedShowCommand(HKEY_LOCAL_MACHINE, recorder.c_str()));
  EXPECT_EQ(SW_SHOWMAXIMIZED, DelayedShowCommand(HKEY_CURRENT_USER, recorder.c_str()));
  DeleteFileA(record.c_str());
}

// A delayed program named by a command line cannot be opened by the shell; the fallback start runs
// the command with the stored parameters after it.
TEST_F(DelayTest, FallbackStartKeepsTheParameters) {
  std::string record = BinFolder() + "\\recorder.txt";
  DeleteFileA(record.c_str());
  std::string command = "\"" + BinFolder() + "\\recorder.exe\" -first";
  for (int runAs = 0; runAs < 2; ++runAs) {
    DeleteFileA(record.c_str());
    EXPECT_EQ(0, StartProgram(nullptr, command.c_str(), "-second", runAs, SW_SHOWMINNOACTIVE));
    std::string text = WaitForRecord(record);
    EXPECT_EQ("-first -second|" + std::to_string(SW_SHOWMINNOACTIVE) + "\n", text) << runAs;
  }
  DeleteFileA(record.c_str());
}

}  // namespace
