// Switches and the maintenance work they do.
#include <stdio.h>

#include <string>

#include "app/command_line.h"
#include "app/main_window.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "test_support.h"

namespace {

const char* kProduct = "Software\\Orvenn Studios\\Vandrelix";

class CommandLineTest : public VxTest {};

void AddItems(int count) {
  for (int i = 0; i < count; ++i) {
    char title[32], file[32] = "C:\\x.exe", command[8] = "", description[8] = "";
    sprintf(title, "VxTest %d", i);
    AddStartupItem(title, file, command, description, 1, 0);
  }
}

// Start-up begins with an empty item table, and the main window's end frees what is left in it.
TEST_F(CommandLineTest, StartAndEndLeaveNoItems) {
  ClearItemTableHook = ClearStartupItems;  // as the entry wires it
  AddItems(3);
  StartupInit();
  EXPECT_EQ(0, StartupItemCount);
  ClearItemTableHook = nullptr;

  ASSERT_GT(LoadText(9, MainWindowClass, sizeof MainWindowClass), 0);
  ASSERT_TRUE(RegisterMainWindowClass(AppInstance));
  HWND window = CreateMainWindow(AppInstance);
  ASSERT_NE(nullptr, window);
  AddItems(5);
  ASSERT_EQ(5, StartupItemCount);
  CoInitialize(nullptr);  // the end uninitialises COM
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0, StartupItemCount);
  MSG message;
  EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // and the loop is told to end
  DestroyWindow(window);
}

TEST_F(CommandLineTest, StartPageComesFromStartTab) {
  EXPECT_EQ(6026, ParseCommandLine("", 6026).startCommand);
  EXPECT_EQ(6026, ParseCommandLine("", 0).startCommand);
  EXPECT_EQ(6026, ParseCommandLine("", 6025).startCommand);
  EXPECT_EQ(6040, ParseCommandLine("", 6040).startCommand);
  // A stored value that names no page starts at Startup Programs: never a quit, an exit, a flip of
  // the companion's start with Windows, or nothing at all.
  for (int stored : {7000, 6030, 6031, 6034, 6048, 6053})
    EXPECT_EQ(6026, ParseCommandLine("", stored).startCommand) << stored;
  EXPECT_EQ(6056, ParseCommandLine("", 6056).startCommand);
  EXPECT_EQ(START_RUN, ParseCommandLine("", 6026).action);
  EXPECT_EQ(6038, ParseCommandLine("-SERVICE", 6040).startCommand);
}

TEST_F(CommandLineTest, LaterSwitchInTheTableWins) {
  EXPECT_EQ(6052, ParseCommandLine("-TASK -HIDDEN", 6026).startCommand);
  EXPECT_EQ(6052, ParseCommandLine("-HIDDEN -TASK", 6026).startCommand);
  EXPECT_EQ(6033, ParseCommandLine("-restart", 6026).startCommand);
  EXPECT_EQ(START_RUN, ParseCommandLine("-restart", 6026).action);
  EXPECT_EQ(6026, ParseCommandLine("-start", 6040).startCommand);
  EXPECT_EQ(6061, ParseCommandLine("-REGOPTIONS", 6026).startCommand);
  EXPECT_EQ(6048, ParseCommandLine("/x -Exit", 6026).startCommand);
}

TEST_F(CommandLineTest, QuitIsASwitchOfItsOwn) {
  StartRequest qova = ParseCommandLine("-QOVA", 6026);
  EXPECT_EQ(6027, qova.startCommand);
  EXPECT_EQ(0, qova.quit);
  EXPECT_EQ(1, ParseCommandLine("-Q", 6026).quit);
  EXPECT_EQ(1, ParseCommandLine("-q", 6026).quit);
  EXPECT_EQ(1, ParseCommandLine("-SERVICE -Q", 6026).quit);
  EXPECT_EQ(1, ParseCommandLine("-Q -SERVICE", 6026).quit);
  EXPECT_EQ(1, ParseCommandLine("-QOVA -Q", 6026).quit);
  EXPECT_EQ(1, ParseCommandLine("-Q\t-SERVICE", 6026).quit);  // a tab parts switches as a blank does
  EXPECT_EQ(0, ParseCommandLine("-Quit", 6026).quit);
  EXPECT_EQ(0, ParseCommandLine("-QOVA -TASK", 6026).quit);
}

TEST_F(CommandLineTest, UnattendedReportPaths) {
  struct {
    std::string line;
    StartAction action;
    std::string path;
  } cases[] = {
      {"-ScanLog C:\\out\\k.log -TASK", START_SCANLOG, "C:\\out\\k.log"},
      {"-report \"C:\\my reports\\r.html\"", START_REPORT, "C:\\my reports\\r.html"},
      {"-Spreadsheet \"C:\\open quote.csv", START_SPREADSHEET, "C:\\open quote.csv"},
      {"-Spreadsheet", START_SPREADSHEET, ""},
      {"-ScanLog C:\\" + std::string(259, 'x') + ".log", START_SCANLOG, ""},  // too long: refused, not cut
      {"-Report \"C:\\" + std::string(257, 'y') + "\"", START_REPORT, ""},
      {"-Report \"C:\\" + std::string(256, 'y') + "\"", START_REPORT, "C:\\" + std::string(256, 'y')},
  };
  for (const auto& c : cases) {
    StartRequest request = ParseCommandLine(c.line.c_str(), 6026);
    EXPECT_EQ(c.action, request.action) << c.line;
    EXPECT_EQ(c.path, request.path) << c.line;
  }
}

TEST_F(CommandLineTest, FirstMaintenanceSwitchEndsTheRun) {
  EXPECT_EQ(START_RESTORE, ParseCommandLine("-restore", 6026).action);
  EXPECT_EQ(START_RESTORE, ParseCommandLine("-Reset -Restore", 6026).action);
  EXPECT_EQ(START_REGREPAIR, ParseCommandLine("-RegRepair -AUOption", 6026).action);
  EXPECT_EQ(START_RESET, ParseCommandLine("-RESET", 6026).action);
  EXPECT_EQ(START_AUOPTION, ParseCommandLine("-AUOption -SetPrefix", 6026).action);
  EXPECT_EQ(START_SETPREFIX, ParseCommandLine("-setprefix", 6026).action);
  EXPECT_EQ(START_RUN, ParseCommandLine("-REGOPTIONS", 6026).action);
}

TEST_F(CommandLineTest, RestoreRemovesOverridesPlacesAndProductKeys) {
  RawWriteString(HKEY_CURRENT_USER, kProduct, "LString0", "a");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "LString1499", "b");
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "LString627", "c");
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "LString1500", "kept");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "xPos", "10");
  RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Detected\\Startup", "x", "y");
  RawWriteString(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA", "", "Vandrelix QOVA Info...");
  RawWriteString(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA\\command", "", "\"x\" %1");

  RestoreCleanState();

  EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, "Software\\Orvenn Studios"));
  EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, kProduct, "LString627"));
  EXPECT_TRUE(RawValueExists(HKEY_LOCAL_MACHINE, kProduct, "LString1500"));
  EXPECT_FALSE(RawKeyExists(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA"));
  EXPECT_TRUE(RawKeyExists(HKEY_CLASSES_ROOT, "exefile\\shell\\open"));
}

TEST_F(CommandLineTest, RestoreKeepsMenuKeyWithEmptyDefault) {
  RawWriteString(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA\\command", "", "x");
  RestoreCleanState();
  EXPECT_TRUE(RawKeyExists(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA"));
}

// Keeps a machine value as it was before the test.
struct SavedValue {
  HKEY root;
  std::string key, name;
  DWORD view;
  bool had;
  std::string data;
  DWORD type = 0;
  SavedValue(HKEY r, const char* k, const char* n, DWORD v) : root(r), key(k), name(n), view(v) {
    had = RawRead(root, k, n, &data, &type, v);
  }
  ~SavedValue() {
    if (had) {
      RawWrite(root, key.c_str(), name.c_str(), type, data.data(), (DWORD)data.size(), view);
    } else {
      HKEY k;
      if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS | view, &k) == ERROR_SUCCESS) {
        RegDeleteValueA(k, name.c_str());
        RegCloseKey(k);
      }
    }
  }
};

const char* kAutoUpdate = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";

TEST_F(CommandLineTest, AutoUpdateOptionIsCopiedOn32BitWindowsOnly) {
  SavedValue saved(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", 0);
  DWORD four = 4;
  RawWrite(HKEY_CURRENT_USER, kProduct, "AUOptions", REG_DWORD, &four, 4);
  DWORD nine = 9;
  RawWrite(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", REG_DWORD, &nine, 4);
  CopyAutoUpdateOption();
  std::string data;
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", &data, nullptr));
  DWORD now = *(const DWORD*)data.data();
  EXPECT_EQ(OnWow64() ? 9u : 4u, now);
  EXPECT_EQ(OnWow64() ? 1 : 0, RunningOnWow64);
}

TEST_F(CommandLineTest, UrlPrefixesGoToTheNativeView) {
  const char* prefixes = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";
  const char* fallback = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";
  DWORD view = OnWow64() ? KEY_WOW64_64KEY : 0;
  // The keys exist on Windows; make sure they do here, so the 64-bit writes have somewhere to go.
  RawWrite(HKEY_LOCAL_MACHINE, prefixes, "vandrelix-probe", REG_SZ, "", 1, view);
  RawWrite(HKEY_LOCAL_MACHINE, fallback, "vandrelix-probe", REG_SZ, "", 1, view);
  SavedValue www(HKEY_LOCAL_MACHINE, prefixes, "www", view);
  SavedValue def(HKEY_LOCAL_MACHINE, fallback, "", view);

  RawWriteString(HKEY_CURRENT_USER, kProduct, "wwwPrefix", "https://");
  WriteUrlPrefixes();
  std::string data;
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, prefixes, "www", &data, nullptr, view));
  EXPECT_STREQ("https://", data.c_str());
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, fallback, "", &data, nullptr, view));
  EXPECT_STREQ("https://", data.c_str());
  EXPECT_EQ((DWORD)KEY_READ, RegReadAccess);

  RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvenn Studios");
  WriteUrlPrefixes();
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, prefixes, "www", &data, nullptr, view));
  EXPECT_STREQ("http://", data.c_str());

  HKEY k;
  for (const char* key : {prefixes, fallback}) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS | view, &k) == ERROR_SUCCESS) {
      RegDeleteValueA(k, "vandrelix-probe");
      RegCloseKey(k);
    }
  }
}

TEST_F(CommandLineTest, ExplorerMenuEntryIsWrittenAndRemoved) {
  EXPECT_EQ(0, SetExplorerMenu(1));
  std::string data;
  ASSERT_TRUE(RawRead(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA", "", &data, nullptr));
  EXPECT_STREQ("Vandrelix QOVA Info...", data.c_str());
  ASSERT_TRUE(RawRead(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA\\command", "", &data, nullptr));
  std::string want = "\"" + BinFolder() + "\\vandrelix.exe\" %1";
  EXPECT_STREQ(want.c_str(), data.c_str());
  EXPECT_EQ(0, SetExplorerMenu(0));
  EXPECT_FALSE(RawKeyExists(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA"));
}

}  // namespace
