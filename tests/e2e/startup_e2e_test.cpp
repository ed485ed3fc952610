// The real VandrelixEx.exe, started as a user or another program would start it.
#include <string>
#include <vector>

#include "test_support.h"
#include "ui_driver.h"

namespace {

const char* kProduct = "Software\\Orvenn Studios\\Vandrelix";

struct Launched {
  PROCESS_INFORMATION info = {};
  bool ok = false;
  ~Launched() {
    if (!ok) return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  DWORD Wait(DWORD ms) {
    if (WaitForSingleObject(info.hProcess, ms) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
  }
  bool Running() { return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
};

void Launch(Launched* p, const char* arguments) {
  std::string exe = BinFolder() + "\\VandrelixEx.exe";
  std::string command = "\"" + exe + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  p->ok = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, BinFolder().c_str(),
                         &startup, &p->info) != 0;
  ASSERT_TRUE(p->ok) << GetLastError();
}

HWND WaitForMainWindow(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    HWND window = FindWindowA("VandrelixEx", nullptr);
    if (window) return window;
    Sleep(50);
  } while (GetTickCount() - start < ms);
  return nullptr;
}

// A stand-in for a running copy: a window of the program's class in this process, which keeps the
// commands posted to it.
struct FakeRunningCopy {
  static std::vector<WPARAM>* received;
  HWND window = nullptr;
  std::vector<WPARAM> commands;
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COMMAND && received) received->push_back(wp);
    return DefWindowProcA(w, m, wp, lp);
  }
  FakeRunningCopy() {
    WNDCLASSA c = {};
    c.lpfnWndProc = Proc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "VandrelixEx";
    RegisterClassA(&c);
    window = CreateWindowA("VandrelixEx", "fake", 0, 0, 0, 0, 0, nullptr, nullptr, c.hInstance, nullptr);
    received = &commands;
  }
  ~FakeRunningCopy() {
    DestroyWindow(window);
    UnregisterClassA("VandrelixEx", GetModuleHandleA(nullptr));
    received = nullptr;
  }
  void Pump() {
    MSG msg;
    for (int i = 0; i < 20; ++i) {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      Sleep(10);
    }
  }
};
std::vector<WPARAM>* FakeRunningCopy::received = nullptr;

class StartupE2E : public VxTest {};

TEST_F(StartupE2E, BecomesTheRunningCopyWithAHiddenMainWindow) {
  Launched p;
  Launch(&p, "");
  HWND window = WaitForMainWindow(20000);
  ASSERT_NE(nullptr, window);
  // The start page opens the sheet, which names the edition in both captions.
  HWND sheet = WaitForSheet();
  ASSERT_NE(nullptr, sheet);
  EXPECT_EQ(GetWindow(sheet, GW_OWNER), window);
  char title[64];
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ("VandrelixToGo Edition", title);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  EXPECT_EQ(p.info.dwProcessId, pid);
  LONG style = GetWindowLongA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_LT(r.top, 0);  // parked above the screen

  PostMessageA(window, WM_COMMAND, 6030, 0);
  EXPECT_EQ(0u, p.Wait(10000));
}

TEST_F(StartupE2E, SecondStartHandsItsPageToTheRunningCopy) {
  FakeRunningCopy first;
  struct {
    const char* arguments;
    WPARAM command;
  } cases[] = {{"-SERVICE", 6038}, {"-QOVA", 6027}, {"-Q", 6030}, {"", 6026}, {"-TASK -HIDDEN", 6052}};
  for (const auto& c : cases) {
    first.commands.clear();
    Launched second;
    Launch(&second, c.arguments);
    EXPECT_EQ(0u, second.Wait(20000)) << c.arguments;
    first.Pump();
    ASSERT_EQ(1u, first.commands.size()) << c.arguments;
    EXPECT_EQ(c.command, first.commands[0]) << c.arguments;
  }
}

// The raise a second start asks for (-NUT, and -COOKIE through it) brings the open sheet to the front
// without leaving it, or the main window, above every other window for good.
TEST_F(StartupE2E, RaiseRequestLeavesNoWindowPinnedOnTop) {
  Launched first;
  Launch(&first, "");
  HWND window = WaitForMainWindow(20000);
  ASSERT_NE(nullptr, window);
  HWND sheet = WaitForSheet();
  ASSERT_NE(nullptr, sheet);
  ASSERT_TRUE(WaitForProgramIdle(window));
  EXPECT_FALSE(GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST) << "before";
  for (const char* arguments : {"-NUT", "-COOKIE"}) {
    Launched second;
    Launch(&second, arguments);
    EXPECT_EQ(0u, second.Wait(20000)) << arguments;
    // Twice: the first may be answered before the posted request is taken up.
    ASSERT_TRUE(WaitForProgramIdle(window));
    ASSERT_TRUE(WaitForProgramIdle(window));
    EXPECT_TRUE(IsWindowVisible(sheet)) << arguments;
    EXPECT_FALSE(GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST) << arguments;
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) << arguments;
  }
  PostMessageA(window, WM_COMMAND, 6030, 0);
  EXPECT_EQ(0u, first.Wait(20000));
}

TEST_F(StartupE2E, QuitSwitchEndsTheRunningCopy) {
  Launched first;
  Launch(&first, "");
  ASSERT_NE(nullptr, WaitForMainWindow(20000));
  Launched quit;
  Launch(&quit, "-Q");
  EXPECT_EQ(0u, quit.Wait(20000));
  EXPECT_EQ(0u, first.Wait(20000));
  EXPECT_EQ(nullptr, FindWindowA("VandrelixEx", nullptr));
}

TEST_F(StartupE2E, QuitSwitchWithNoCopyStartsNothing) {
  ASSERT_EQ(nullptr, FindWindowA("VandrelixEx", nullptr));
  Launched quit;
  Launch(&quit, "-q");
  EXPECT_EQ(0u, quit.Wait(20000));
  EXPECT_EQ(nullptr, FindWindowA("VandrelixEx", nullptr));
}

TEST_F(StartupE2E, MaintenanceSwitchesChangeTheRegistryAndExit) {
  const char* autoUpdate = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
  const char* prefixes = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";
  DWORD view = OnWow64() ? KEY_WOW64_64KEY : 0;
  std::string oldPrefix;
  bool hadPrefix = RawRead(HKEY_LOCAL_MACHINE, prefixes, "www", &oldPrefix, nullptr, view);
  RawWrite(HKEY_LOCAL_MACHINE, prefixes, "vandrelix-probe", REG_SZ, "", 1, view);

  DWORD three = 3;
  RawWrite(HKEY_CURRENT_USER, kProduct, "AUOptions", REG_DWORD, &three, 4);
  RawWriteString(HKEY_CURRENT_USER, kProduct, "wwwPrefix", "ftp://");
  {
    Launched p;
    Launch(&p, "-AUOption");
    EXPECT_EQ(0u, p.Wait(20000));
  }
  std::string data;
  bool copied = RawRead(HKEY_LOCAL_MACHINE, autoUpdate, "AUOptions", &data, nullptr) && data.size() == 4 &&
                *(const DWORD*)data.data() == 3;
  EXPECT_EQ(!OnWow64(), copied);  // 64-bit Windows keeps its own option
  {
    Launched p;
    Launch(&p, "-SetPrefix");
    EXPECT_EQ(0u, p.Wait(20000));
  }
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, prefixes, "www", &data, nullptr, view));
  EXPECT_STREQ("ftp://", data.c_str());
  EXPECT_EQ(nullptr, FindWindowA("VandrelixEx", nullptr));

  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, prefixes, 0, KEY_ALL_ACCESS | view, &k) == ERROR_SUCCESS) {
    RegDeleteValueA(k, "vandrelix-probe");
    if (hadPrefix) RegSetValueExA(k, "www", 0, REG_SZ, (const BYTE*)oldPrefix.data(), (DWORD)oldPrefix.size());
    else RegDeleteValueA(k, "www");
    RegCloseKey(k);
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, autoUpdate, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    RegDeleteValueA(k, "AUOptions");
    RegCloseKey(k);
  }
}

TEST_F(StartupE2E, RestoreWorksBesideARunningCopy) {
  Launched first;
  Launch(&first, "");
  ASSERT_NE(nullptr, WaitForMainWindow(20000));
  RawWriteString(HKEY_CURRENT_USER, kProduct, "LString627", "Titel");
  RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Detected", "x", "y");
  {
    Launched restore;
    Launch(&restore, "-Restore");
    EXPECT_EQ(0u, restore.Wait(30000));
  }
  EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, "Software\\Orvenn Studios"));
  EXPECT_TRUE(first.Running());  // the running copy was not asked for anything
  PostMessageA(FindWindowA("VandrelixEx", nullptr), WM_COMMAND, 6030, 0);
  EXPECT_EQ(0u, first.Wait(10000));
}

}  // namespace
