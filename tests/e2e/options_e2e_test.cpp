// The product's own windows in the real VandrelixEx.exe: the History dialog of the Options page, the
// QOVA page, the maintenance dialog of "-Reset", and the Options page on the older Windows family.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/settings.h"
#include "records/history.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"
#include "startup_support.h"
#include "ui_driver.h"

namespace {

const char kProduct[] = "Software\\Orvenn Studios\\Vandrelix";

class ProductE2E : public StartupTest {
 protected:
  ProgramRun run;
  HWND sheet = nullptr, page = nullptr;

  void TearDown() override {
    for (int code : {1, 11}) RawDeleteValue(RunRootOf(code), RunKeyPathOf(code), "Vandrelix", KEY_WOW64_64KEY);
    StartupTest::TearDown();
  }

  void Open(const char* arguments) {
    ASSERT_TRUE(run.Start(arguments));
    sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    page = CurrentPage(sheet);
    ASSERT_NE(nullptr, page);
  }

  HWND Dialog(const char* text, DWORD ms = 15000) { return WaitForDialog(run.info.dwProcessId, text, ms); }

  void Quit() {
    ProgramRun quit;
    ASSERT_TRUE(quit.Start("-Q"));
    EXPECT_EQ(0u, quit.WaitExit(20000));
    EXPECT_EQ(0u, run.WaitExit(20000));
  }

  void SavePicture(HWND window, const char* name) {
    SaveWindowPicture(window, BinFolder() + "\\..\\" + name + "-" + (OnWow64() ? "p64" : "p32") + ".bmp");
  }
};

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

TEST_F(ProductE2E, HistoryRestoresARemovalWithTheSameValue) {
  RunningOnWow64 = OnWow64();
  OptionSet[OPT_History] = 1;
  // Older events first, enough to fill more than the list shows at once, none of them reversible.
  for (int i = 0; i < 40; ++i) {
    std::string title = "VxTest Older " + std::to_string(i);
    ASSERT_EQ(1, RecordHistoryEvent(title.c_str(), "C:\\older.exe", "", 11, 1));
  }
  // The removal, as the Startup Programs page makes it.
  const std::string command = "\"" + BinFolder() + "\\vf_with_icon.exe\" -cache %TEMP%\\vx";
  ASSERT_TRUE(PutRunValue(11, "VxTest Undo", command.c_str(), REG_EXPAND_SZ));
  ScanStartupPrograms(1);
  int item = FindItem("VxTest Undo", 11);
  ASSERT_GE(item, 0);
  char file[260], second[260];
  GetItemFile(item, file);
  GetItemCommand(item, second);
  ASSERT_EQ(1, RemoveStartupItem("VxTest Undo", file, second, 11));
  ASSERT_FALSE(GetRunValue(11, "VxTest Undo", nullptr, nullptr));

  Open("-OPTION");
  ASSERT_TRUE(PressButton(page, 1104));
  HWND dialog = Dialog("Vandrelix History");
  ASSERT_NE(nullptr, dialog);
  EXPECT_NE(std::string::npos, DialogTexts(dialog).find("Events with an * may be reversed"));
  HWND list = PageList(dialog);
  int row = WaitForRow(list, "VxTest Undo");
  ASSERT_GE(row, 0);
  EXPECT_EQ(41, RowCount(list));
  EXPECT_EQ(40, row);  // the file's order: the newest last
  EXPECT_EQ("*START_Remove", CellText(list, row, 1));
  EXPECT_EQ("CURRENT_RUN", CellText(list, row, 2));
  // The newest event is in view.
  int top = (int)SendMessageA(list, LVM_GETTOPINDEX, 0, 0);
  int shown = (int)SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
  EXPECT_GT(top, 0);
  EXPECT_GE(top + shown, RowCount(list));
  SavePicture(dialog, "history-dialog");

  // A disable cannot be restored from here; the removal can.
  ASSERT_TRUE(SelectRows(list, {row - 1}));
  EXPECT_TRUE(WaitUntil([&] { return !Enabled(dialog, 1104); }, 5000));
  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(WaitUntil([&] { return Enabled(dialog, 1104); }, 5000));
  ASSERT_TRUE(PressButton(dialog, 1104));
  std::string data;
  DWORD type = 0;
  ASSERT_TRUE(WaitUntil([&] { return GetRunValue(11, "VxTest Undo", &data, &type); }));
  EXPECT_EQ(command, std::string(data.c_str()));
  EXPECT_EQ((DWORD)REG_EXPAND_SZ, type);

  // Clear File asks first; No keeps the file, Yes empties the list.
  const std::string history = BinFolder() + "\\history.txt";
  ASSERT_TRUE(WaitForProgramIdle(dialog));
  ASSERT_TRUE(PressButton(dialog, 1106));
  HWND question = Dialog("The change history will be deleted");
  ASSERT_NE(nullptr, question);
  ASSERT_TRUE(AnswerDialog(question, IDNO));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(question); }));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(history.c_str()));
  ASSERT_TRUE(PressButton(dialog, 1106));
  question = Dialog("The change history will be deleted");
  ASSERT_NE(nullptr, question);
  ASSERT_TRUE(AnswerDialog(question, IDYES));
  EXPECT_TRUE(WaitUntil([&] { return RowCount(list) == 0; }));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(history.c_str()));
  ASSERT_TRUE(AnswerDialog(dialog, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  Quit();
}

TEST_F(ProductE2E, ResetShowsTheMaintenanceToolsAloneAndEnds) {
  RawWriteString(HKEY_CURRENT_USER, kProduct, "LString627", "Titel");
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "LString627", "Titel");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "IECookieFolder", "C:\\cookies");
  auto seeded = [] {
    return RawValueExists(HKEY_CURRENT_USER, kProduct, "LString627") &&
           RawValueExists(HKEY_LOCAL_MACHINE, kProduct, "LString627") &&
           RawValueExists(HKEY_CURRENT_USER, kProduct, "IECookieFolder");
  };

  // Apply with nothing ticked: the dialog closes, the run ends, nothing changed.
  ASSERT_TRUE(run.Start("-Reset"));
  HWND dialog = Dialog("Vandrelix Maintenance and Reset Tools");
  ASSERT_NE(nullptr, dialog);
  std::string texts = DialogTexts(dialog);
  for (const char* box : {" Check here if you have more than one Tazzik icon in the System Tray.",
                          " Clear any Non-English Text",
                          " Remove Previous Vandrelix entries in the Control Panel Uninstall applet.",
                          " Clean Up Vandrelix Registry when File no longer exists",
                          " Initialize Saved Screen Size and Positions (Multi-Monitors)",
                          " Reset the saved Cookie Folder Path"})
    EXPECT_NE(std::string::npos, texts.find(box)) << box;
  EXPECT_EQ(nullptr, GetWindow(dialog, GW_OWNER));
  EXPECT_TRUE(SheetWindows().empty());
  EXPECT_EQ(nullptr, FindWindowA("VandrelixEx", nullptr));  // no main window: nothing else runs
  SavePicture(dialog, "maintenance-dialog");
  ASSERT_TRUE(PressButton(dialog, IDOK));
  EXPECT_EQ(0u, run.WaitExit(20000));
  EXPECT_TRUE(seeded());

  // The start type first, then the texts, then the cookie folders: while the first repair asks, the
  // later ones have not run yet.
  ProgramRun second;
  ASSERT_TRUE(second.Start("-reset"));
  dialog = WaitForDialog(second.info.dwProcessId, "Vandrelix Maintenance and Reset Tools");
  ASSERT_NE(nullptr, dialog);
  for (int box : {1270, 1271, 1275}) SendMessageA(GetDlgItem(dialog, box), BM_SETCHECK, BST_CHECKED, 0);
  ASSERT_TRUE(PressButton(dialog, IDOK));
  HWND question = WaitForDialog(second.info.dwProcessId, "Startup Program Type");
  ASSERT_NE(nullptr, question);
  EXPECT_TRUE(seeded());
  EXPECT_EQ(BST_UNCHECKED, SendMessageA(GetDlgItem(dialog, 1270), BM_GETCHECK, 0, 0));
  EXPECT_EQ(BST_CHECKED, SendMessageA(GetDlgItem(dialog, 1271), BM_GETCHECK, 0, 0));
  ASSERT_TRUE(AnswerDialog(question, IDOK));  // the current user, as preset
  EXPECT_EQ(0u, second.WaitExit(20000));
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kProduct, "LString627"));
  EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, kProduct, "LString627"));
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kProduct, "IECookieFolder"));
  std::string data;
  EXPECT_TRUE(GetRunValue(11, "Vandrelix", &data, nullptr));
  EXPECT_FALSE(GetRunValue(1, "Vandrelix", nullptr, nullptr));
}

// The http handler is a recorder while the test runs, so the lookup reaches no browser.
TEST_F(ProductE2E, QovaPageSearchesByNameAndOpensTheMaintenanceTools) {
  const char* handler = "Software\\Classes\\http\\shell\\open\\command";
  std::string saved;
  RawRead(HKEY_LOCAL_MACHINE, handler, "", &saved, nullptr);
  std::string folder = BinFolder() + "\\urlqova";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\recorder.exe").c_str(), (folder + "\\recorder.exe").c_str(), FALSE));
  std::string record = folder + "\\recorder.txt";
  DeleteFileA(record.c_str());
  ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, handler, "", ("\"" + folder + "\\recorder.exe\" \"%1\"").c_str()));
  RawWriteString(HKEY_CURRENT_USER, kProduct, "InfoService", "http://127.0.0.1:9");
  struct HandlerBack {
    const char* key;
    std::string* text;
    ~HandlerBack() { RawWriteString(HKEY_LOCAL_MACHINE, key, "", text->c_str()); }
  } back = {handler, &saved};

  // The companion asks for the options to be read again by setting Update; the page clears it.
  const char* options = "Software\\Orvenn Studios\\Vandrelix\\Options";
  RawWriteString(HKEY_CURRENT_USER, options, "Update", "1");
  Open("-QOVA");
  std::string update;
  EXPECT_TRUE(WaitUntil([&] { return RawRead(HKEY_CURRENT_USER, options, "Update", &update, nullptr) &&
                                     std::string(update.c_str()) == "0"; }));
  // The product page comes last but one, before the Options page.
  std::vector<std::string> tabs = TabTitles(sheet);
  ASSERT_GE(tabs.size(), 3u);
  EXPECT_EQ("  QOVA  ", tabs[tabs.size() - 2]);
  EXPECT_EQ(" Options  ", tabs.back());
  EXPECT_EQ("Version 1.0.0.1", WindowText(GetDlgItem(page, 1092)));
  SavePicture(sheet, "qova-page");

  // Search with no name: the page says what it needs.
  ASSERT_TRUE(PressButton(page, 1076));
  HWND hint = Dialog("Type the file name of a program first");
  ASSERT_NE(nullptr, hint);
  ASSERT_TRUE(AnswerDialog(hint, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(hint); }));
  // Enter in the field searches.
  HWND field = GetDlgItem(page, 1075);
  DWORD_PTR ignored = 0;
  ASSERT_TRUE(SendMessageTimeoutA(field, WM_SETTEXT, 0, (LPARAM)"  quillnotes.exe ", SMTO_ABORTIFHUNG, 5000, &ignored));
  PostMessageA(field, WM_KEYDOWN, VK_RETURN, 0);
  std::string url;
  ASSERT_TRUE(WaitUntil([&] {
    HANDLE f = CreateFileA(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    char text[2048] = "";
    DWORD got = 0;
    ReadFile(f, text, sizeof text - 1, &got, nullptr);
    CloseHandle(f);
    url.assign(text, got);
    return url.find('|') != std::string::npos;
  }));
  EXPECT_NE(std::string::npos, url.find("http://127.0.0.1:9/cgi-bin/qovainfo.pl?program=")) << url;
  std::string lower = url;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return (char)tolower((unsigned char)c); });
  EXPECT_NE(std::string::npos, lower.find("program=quillnotes.exe&vendor=")) << url;
  EXPECT_NE(std::string::npos, url.find("&Type=450&")) << url;

  // Reset opens the maintenance tools over the sheet; closing them starts nothing.
  ASSERT_TRUE(PressButton(page, 1094));
  HWND tools = Dialog("Vandrelix Maintenance and Reset Tools");
  ASSERT_NE(nullptr, tools);
  EXPECT_EQ(sheet, GetWindow(tools, GW_OWNER));
  EXPECT_FALSE(IsWindowEnabled(sheet));
  ASSERT_TRUE(AnswerDialog(tools, IDCANCEL));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(tools); }));
  ASSERT_TRUE(WaitForProgramIdle(page));
  EXPECT_EQ(nullptr, FindWindowA("Vandrelix", nullptr));
  // Applied: the companion is started afresh to take the repairs up.
  ASSERT_TRUE(PressButton(page, 1094));
  tools = Dialog("Vandrelix Maintenance and Reset Tools");
  ASSERT_NE(nullptr, tools);
  ASSERT_TRUE(AnswerDialog(tools, IDOK));
  HWND companion = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (companion = FindWindowA("Vandrelix", nullptr)) != nullptr; }));
  if (companion) PostMessageA(companion, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([] { return FindWindowA("Vandrelix", nullptr) == nullptr; }));
  Quit();
  DeleteFileA(record.c_str());
}

// The older Windows family: the restart-file switch is shown, the original tray icon is not.
TEST_F(ProductE2E, OptionsPageOnTheOlderWindowsFamily) {
  const std::string copy = BinFolder() + "\\VandrelixEx9x.exe";
  const char* settings = "Software\\Wine\\AppDefaults\\VandrelixEx9x.exe";
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\VandrelixEx.exe").c_str(), copy.c_str(), FALSE));
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, settings, "Version", "win98"));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string line = "\"" + copy + "\" -OPTION";
  ASSERT_TRUE(CreateProcessA(copy.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, BinFolder().c_str(),
                             &startup, &info));
  HWND older = WaitForSheet();
  ASSERT_NE(nullptr, older);
  HWND options = CurrentPage(older);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(options, 1138)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(options, 1139)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(options, 1201)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(options, 1136)));
  ProgramRun quit;
  ASSERT_TRUE(quit.Start("-Q"));
  EXPECT_EQ(0u, quit.WaitExit(20000));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 20000));
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  RawDeleteTree(HKEY_CURRENT_USER, settings);
  DeleteFileA(copy.c_str());
}

}  // namespace
