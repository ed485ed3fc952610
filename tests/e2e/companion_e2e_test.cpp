// The companion monitor started as Windows would start it: it launches delayed programs after
// their delay, with their parameters and window state, and hands over on "-RESTART".
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
  char buffer[512];
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
  EXPECT_EQ("-alpha beta|6", ReadText(record));  // its parameters, minimized

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

}  // namespace
