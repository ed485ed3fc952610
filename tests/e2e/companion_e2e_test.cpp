// The companion monitor started as Windows would start it: it launches delayed programs after
// their delay, with their parameters and window state, and hands over on "-RESTART".
#include <algorithm>
#include <string>

#include "test_support.h"

namespace {

const char* kDelay = "Software\\Orvenn Studios\\Vandrelix\\Delay";

struct Process {
  PROCESS_INFORMATION info = {};
  bool ok = false;
  void Start(const char* exe, const char* arguments) {
    std::string path = BinFolder() + "\\" + exe;
    std::string line = "\"" + path + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ok = CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, BinFolder().c_str(), &startup,
                        &info) != 0;
  }
  bool Ended(DWORD ms) { return WaitForSingleObject(info.hProcess, ms) == WAIT_OBJECT_0; }
  ~Process() {
    if (!ok) return;
    if (!Ended(0)) TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
};

HWND WaitForWindow(const char* cls, DWORD ms, HWND not_this = nullptr) {
  DWORD start = GetTickCount();
  do {
    HWND w = FindWindowA(cls, nullptr);
    if (w && w != not_this) return w;
    Sleep(50);
  } while (GetTickCount() - start < ms);
  return nullptr;
}

std::string ReadText(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "";
  char buffer[1024];
  DWORD got = 0;
  ReadFile(f, buffer, sizeof buffer, &got, nullptr);
  CloseHandle(f);
  return std::string(buffer, got);
}

class CompanionE2E : public VxTest {};

TEST_F(CompanionE2E, StartsDelayedProgramsAfterTheirDelay) {
  std::string recorder = BinFolder() + "\\recorder.exe";
  std::string record = BinFolder() + "\\recorder.txt";
  DeleteFileA(record.c_str());
  RawWriteString(HKEY_CURRENT_USER, kDelay, recorder.c_str(), "11");
  RawWriteString(HKEY_CURRENT_USER, (std::string(kDelay) + "\\Time").c_str(), recorder.c_str(), "2");
  RawWriteString(HKEY_CURRENT_USER, (std::string(kDelay) + "\\Parameters").c_str(), recorder.c_str(), "-alpha beta");
  RawWriteString(HKEY_CURRENT_USER, (std::string(kDelay) + "\\OpenAs").c_str(), recorder.c_str(), "1");

  Process companion;
  companion.Start("Vandrelix.exe", "-expressboot");
  ASSERT_TRUE(companion.ok);
  HWND window = WaitForWindow("Vandrelix", 20000);
  ASSERT_NE(nullptr, window);
  DWORD shown = GetTickCount();
  DWORD found = 0;
  while (GetTickCount() - shown < 20000) {
    if (ReadText(record).find('|') != std::string::npos) {
      found = GetTickCount();
      break;
    }
    Sleep(100);
  }
  ASSERT_NE(0u, found) << "the delayed program never started";
  EXPECT_GE(found - shown, 1000u);  // not before its delay
  EXPECT_EQ("-alpha beta|6\n", ReadText(record));  // its parameters, minimized

  PostMessageA(window, WM_COMMAND, 6053, 1);  // hide the tray icon: the companion keeps running
  Sleep(200);
  EXPECT_FALSE(companion.Ended(0));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(companion.Ended(10000));
  DeleteFileA(record.c_str());
}

TEST_F(CompanionE2E, OneCopyAtATimeAndRestartTakesOver) {
  Process first;
  first.Start("Vandrelix.exe", "");
  HWND window = WaitForWindow("Vandrelix", 20000);
  ASSERT_NE(nullptr, window);
  Process again;
  again.Start("Vandrelix.exe", "");
  EXPECT_TRUE(again.Ended(20000));  // a second plain start ends at once
  EXPECT_FALSE(first.Ended(0));
  Process restart;
  restart.Start("Vandrelix.exe", "-RESTART");
  EXPECT_TRUE(first.Ended(20000));
  HWND taken = WaitForWindow("Vandrelix", 20000, window);
  ASSERT_NE(nullptr, taken);
  DWORD pid = 0;
  GetWindowThreadProcessId(taken, &pid);
  EXPECT_EQ(restart.info.dwProcessId, pid);
  PostMessageA(taken, WM_CLOSE, 0, 0);
  EXPECT_TRUE(restart.Ended(10000));
}

// Waits until the record of a recorder copy has `lines` lines; its text.
std::string WaitForLines(const std::string& record, size_t lines, DWORD ms) {
  DWORD start = GetTickCount();
  std::string text;
  do {
    text = ReadText(record);
    if ((size_t)std::count(text.begin(), text.end(), '\n') >= lines) break;
    Sleep(100);
  } while (GetTickCount() - start < ms);
  return text;
}

// A copy of the recorder under its own name, with its own record file.
struct RecorderCopy {
  std::string exe, record;
  explicit RecorderCopy(const std::string& name) {
    exe = BinFolder() + "\\" + name + ".exe";
    record = BinFolder() + "\\" + name + ".txt";
    CopyFileA((BinFolder() + "\\recorder.exe").c_str(), exe.c_str(), FALSE);
    DeleteFileA(record.c_str());
  }
  ~RecorderCopy() {
    DeleteFileA(exe.c_str());
    DeleteFileA(record.c_str());
  }
};

void PutDelayValue(HKEY root, const char* sub, const std::string& command, const char* data) {
  std::string key = std::string(kDelay) + (sub[0] ? "\\" : "") + sub;
  RawWriteString(root, key.c_str(), command.c_str(), data);
}

// A program hosted by an applet and delayed for all users starts with the window state stored for
// it, in the machine's tree, not with one looked up under the applet's name in the user's tree.
TEST_F(CompanionE2E, AppletStartsTakeTheEntrysOwnWindowState) {
  RecorderCopy applet("vx_applet");
  std::string command = "C:\\VxTest\\hosted.cpl";
  PutDelayValue(HKEY_LOCAL_MACHINE, "", command, "1");
  PutDelayValue(HKEY_LOCAL_MACHINE, "Time", command, "1");
  PutDelayValue(HKEY_LOCAL_MACHINE, "Applet", command, applet.exe.c_str());
  PutDelayValue(HKEY_LOCAL_MACHINE, "Parameters", command, "-p");
  PutDelayValue(HKEY_LOCAL_MACHINE, "OpenAs", command, "2");
  PutDelayValue(HKEY_CURRENT_USER, "OpenAs", applet.exe, "1");
  PutDelayValue(HKEY_CURRENT_USER, "OpenAs", command, "1");
  Process companion;
  companion.Start("Vandrelix.exe", "-expressboot");
  ASSERT_TRUE(companion.ok);
  HWND window = WaitForWindow("Vandrelix", 20000);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(command + " -p|" + std::to_string(SW_SHOWMAXIMIZED) + "\n", WaitForLines(applet.record, 1, 20000));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(companion.Ended(10000));
}

// "-RESTART" while delayed starts are pending: the copy that takes over makes them, once each, at
// their time; a start already made is not made again.
TEST_F(CompanionE2E, ACopyThatTakesOverMakesThePendingStarts) {
  RecorderCopy early("vx_early"), later("vx_later"), last("vx_last");
  const struct {
    RecorderCopy* copy;
    const char* seconds;
  } programs[] = {{&early, "1"}, {&later, "5"}, {&last, "6"}};
  for (const auto& p : programs) {
    PutDelayValue(HKEY_CURRENT_USER, "", p.copy->exe, "11");
    PutDelayValue(HKEY_CURRENT_USER, "Time", p.copy->exe, p.seconds);
    PutDelayValue(HKEY_CURRENT_USER, "Parameters", p.copy->exe, p.seconds);
  }
  Process first;
  first.Start("Vandrelix.exe", "-expressboot");
  ASSERT_TRUE(first.ok);
  HWND window = WaitForWindow("Vandrelix", 20000);
  ASSERT_NE(nullptr, window);
  DWORD shown = GetTickCount();
  ASSERT_EQ("1|1\n", WaitForLines(early.record, 1, 20000));
  Process restart;
  restart.Start("Vandrelix.exe", "-RESTART");
  EXPECT_TRUE(first.Ended(20000));
  EXPECT_EQ("5|1\n", WaitForLines(later.record, 1, 20000));
  EXPECT_GE(GetTickCount() - shown, 3500u);  // not before its time
  EXPECT_EQ("6|1\n", WaitForLines(last.record, 1, 20000));
  Sleep(1500);
  EXPECT_EQ("1|1\n", ReadText(early.record));  // once each
  EXPECT_EQ("5|1\n", ReadText(later.record));
  EXPECT_EQ("6|1\n", ReadText(last.record));
  HWND taken = WaitForWindow("Vandrelix", 5000);
  if (taken) PostMessageA(taken, WM_CLOSE, 0, 0);
  EXPECT_TRUE(restart.Ended(10000));
}

// Explorer's "Vandrelix QOVA Info..." entry starts the companion with the chosen program's path, as
// the entry's command writes it (unquoted, blanks and all): the program's page opens in the browser
// (here a recorder stands in for it), and no monitor is started.
TEST_F(CompanionE2E, ExplorerMenuPathOpensTheProgramsInformationPage) {
  const char* handler = "Software\\Classes\\http\\shell\\open\\command";
  std::string saved;
  RawRead(HKEY_LOCAL_MACHINE, handler, "", &saved, nullptr);
  std::string folder = BinFolder() + "\\urlmenu";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\recorder.exe").c_str(), (folder + "\\recorder.exe").c_str(), FALSE));
  std::string record = folder + "\\recorder.txt";
  DeleteFileA(record.c_str());
  ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, handler, "", ("\"" + folder + "\\recorder.exe\" \"%1\"").c_str()));
  RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "InfoService", "http://127.0.0.1:9");
  std::string program = BinFolder() + "\\vx menu program.exe";
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\vx_sleeper.exe").c_str(), program.c_str(), FALSE));

  Process companion;
  companion.Start("Vandrelix.exe", program.c_str());
  ASSERT_TRUE(companion.ok);
  EXPECT_TRUE(companion.Ended(20000));
  EXPECT_EQ(nullptr, FindWindowA("Vandrelix", nullptr));
  std::string url;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < 20000 && (url = ReadText(record)).find('|') == std::string::npos) Sleep(50);
  EXPECT_NE(std::string::npos, url.find("http://127.0.0.1:9/cgi-bin/qovainfo.pl?program=")) << url;
  std::string lower = url;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return (char)tolower((unsigned char)c); });
  EXPECT_NE(std::string::npos, lower.find("menu")) << url;

  RawWriteString(HKEY_LOCAL_MACHINE, handler, "", saved.c_str());
  DeleteFileA(program.c_str());
}

}  // namespace
