// The Startup Programs page of the real VandrelixEx.exe, used with the mouse and keyboard from outside
// the program; the registry is checked afterwards with plain Win32 calls.
#include <string>
#include <vector>

#include "platform/registry.h"
#include "startup/items.h"
#include "startup/toggle.h"
#include "area_support.h"
#include "startup_support.h"
#include "ui_driver.h"

namespace {

const char kDisabledRoot32[] = "Software\\Orvenn Studios\\Vandrelix\\Disabled";

enum { kColumnTitle = 0, kColumnCommand = 1, kColumnCompany = 2, kColumnType = 3 };

class StartupPageE2E : public StartupTest {
 protected:
  std::string program = BinFolder() + "\\vf_with_icon.exe";
  ProgramRun run;
  HWND sheet = nullptr, page = nullptr, list = nullptr;

  std::string Command(const char* argument) { return "\"" + program + "\" " + argument; }

  // Starts the program at the Startup Programs page and waits for the list to hold `row`.
  void Open(const char* row) {
    ASSERT_TRUE(run.Start("-START"));
    sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    page = CurrentPage(sheet);
    list = PageList(page);
    ASSERT_NE(nullptr, list);
    ASSERT_GE(WaitForRow(list, row), 0) << row;
  }

  // Chooses a context-menu entry of a row by its underlined letter.
  void ChooseForRow(int row, char mnemonic) {
    ASSERT_TRUE(SelectRows(list, {row}));
    ASSERT_TRUE(RightClickRow(list, row));
    ASSERT_NE(nullptr, WaitForMenu());
    ASSERT_TRUE(ChooseMenuKey(mnemonic));
  }

  std::string TypeOf(const char* title, int nth = 0) {
    int row = FindRow(list, title, kColumnTitle, nth);
    return row < 0 ? "(absent)" : CellText(list, row, kColumnType);
  }

  void Quit() {
    ProgramRun quit;
    ASSERT_TRUE(quit.Start("-Q"));
    EXPECT_EQ(0u, quit.WaitExit(20000));
    EXPECT_EQ(0u, run.WaitExit(20000));
  }
};

TEST_F(StartupPageE2E, DisablesAndEnablesARunEntryFromItsContextMenu) {
  ASSERT_TRUE(PutRunValue(11, "VxTest Alpha", Command("-alpha").c_str(), REG_EXPAND_SZ));
  Open("VxTest Alpha");
  EXPECT_EQ(" Startup Programs ", TabTitles(sheet).at(0));
  int row = FindRow(list, "VxTest Alpha");
  EXPECT_EQ("vf_with_icon.exe -alpha", CellText(list, row, kColumnCommand));
  EXPECT_EQ("Icon Company", CellText(list, row, kColumnCompany));
  EXPECT_EQ("HKCU_RUN", CellText(list, row, kColumnType));

  std::string picture = BinFolder() + "\\..\\startup-page-" + (OnWow64() ? "p64" : "p32") + ".bmp";
  EXPECT_TRUE(SaveWindowPicture(sheet, picture));

  ChooseForRow(row, 'D');
  ASSERT_TRUE(WaitUntil([&] { return TypeOf("VxTest Alpha") == "   Disabled"; })) << TypeOf("VxTest Alpha");
  EXPECT_FALSE(GetRunValue(11, "VxTest Alpha", nullptr, nullptr));
  std::string kept;
  DWORD type = 0;
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, (std::string(kDisabledRoot32) + "\\Run").c_str(), "VxTest Alpha", &kept,
                      &type));
  EXPECT_EQ(Command("-alpha"), std::string(kept.c_str()));
  EXPECT_EQ((DWORD)REG_EXPAND_SZ, type);
  std::string marker;
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, kDisabledRoot32, "VxTest Alpha", &marker, nullptr));
  EXPECT_STREQ("11", marker.c_str());
  // The selection shows where the entry lives.
  row = FindRow(list, "VxTest Alpha");
  ASSERT_TRUE(SelectRows(list, {row}));
  EXPECT_TRUE(WaitUntil([&] { return StatusText(sheet).find("Startup Location: ") == 0; })) << StatusText(sheet);

  ChooseForRow(row, 'E');
  ASSERT_TRUE(WaitUntil([&] { return TypeOf("VxTest Alpha") == "HKCU_RUN"; })) << TypeOf("VxTest Alpha");
  std::string data;
  ASSERT_TRUE(GetRunValue(11, "VxTest Alpha", &data, &type));
  EXPECT_EQ(Command("-alpha"), std::string(data.c_str()));
  EXPECT_EQ((DWORD)REG_EXPAND_SZ, type);
  EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, kDisabledRoot32, "VxTest Alpha"));

  // The context-menu key (Shift+F10) opens the selected row's menu without the mouse.
  row = FindRow(list, "VxTest Alpha");
  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(PostMessageA(list, WM_CONTEXTMENU, (WPARAM)list, (LPARAM)-1));
  EXPECT_NE(nullptr, WaitForMenu());
  EXPECT_TRUE(CloseMenu());
  Quit();
}

TEST_F(StartupPageE2E, DisablingARunningProgramEndsItAfterAsking) {
  std::string sleeper = FixturePath("vx_sleeper.exe");
  Child child = StartChild(sleeper, "120");
  ASSERT_TRUE(ChildRunning(child));
  ASSERT_TRUE(PutRunValue(11, "VxTest Running", ("\"" + sleeper + "\" 120").c_str()));
  Open("VxTest Running");
  ChooseForRow(FindRow(list, "VxTest Running"), 'D');
  HWND question = WaitForDialog(run.info.dwProcessId, "is currently an actively running program");
  ASSERT_NE(nullptr, question);
  EXPECT_NE(std::string::npos, DialogTexts(question).find("VxTest Running is currently")) << DialogTexts(question);
  ASSERT_TRUE(AnswerDialog(question, IDYES));
  EXPECT_TRUE(WaitUntil([&] { return !ChildRunning(child); }));
  EXPECT_TRUE(WaitUntil([&] { return TypeOf("VxTest Running") == "   Disabled"; })) << TypeOf("VxTest Running");
  EndChild(&child);
  Quit();
}

TEST_F(StartupPageE2E, DisablingTheSecondOfTwoSameTitlesLeavesTheFirst) {
  // The machine's entry is listed before the user's: the user's is the second row of that title.
  ASSERT_TRUE(PutRunValue(1, "VxTest Twin", Command("-machine").c_str()));
  ASSERT_TRUE(PutRunValue(11, "VxTest Twin", Command("-user").c_str()));
  Open("VxTest Twin");
  int second = FindRow(list, "VxTest Twin", kColumnTitle, 1);
  ASSERT_GE(second, 0);
  EXPECT_EQ("HKCU_RUN", CellText(list, second, kColumnType));
  ChooseForRow(second, 'D');
  ASSERT_TRUE(WaitUntil([] { return !GetRunValue(11, "VxTest Twin", nullptr, nullptr); }));
  std::string data;
  ASSERT_TRUE(GetRunValue(1, "VxTest Twin", &data, nullptr));
  EXPECT_EQ(Command("-machine"), std::string(data.c_str()));
  std::string marker;
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, kDisabledRoot32, "VxTest Twin", &marker, nullptr));
  EXPECT_STREQ("11", marker.c_str());
  Quit();
}

TEST_F(StartupPageE2E, RemovesSeveralRowsWithoutAQuestionAndOneAfterAsking) {
  for (const char* name : {"VxTest R1", "VxTest R2", "VxTest R3", "VxTest R4"})
    ASSERT_TRUE(PutRunValue(11, name, Command(name).c_str()));
  Open("VxTest R4");
  std::vector<int> rows;
  for (const char* name : {"VxTest R1", "VxTest R2", "VxTest R3"}) rows.push_back(FindRow(list, name));
  ASSERT_TRUE(SelectRows(list, rows));
  ASSERT_TRUE(PressButton(page, 1003));
  ASSERT_TRUE(WaitUntil([&] { return FindRow(list, "VxTest R1") < 0 && FindRow(list, "VxTest R3") < 0; }));
  for (const char* name : {"VxTest R1", "VxTest R2", "VxTest R3"})
    EXPECT_FALSE(GetRunValue(11, name, nullptr, nullptr)) << name;
  EXPECT_EQ(nullptr, WaitForDialog(run.info.dwProcessId, "You have chosen to remove", 0));

  // One row: the program asks first, and No keeps the entry.
  ASSERT_TRUE(SelectRows(list, {FindRow(list, "VxTest R4")}));
  ASSERT_TRUE(PressButton(page, 1003));
  HWND question = WaitForDialog(run.info.dwProcessId, "You have chosen to remove");
  ASSERT_NE(nullptr, question);
  EXPECT_NE(std::string::npos, DialogTexts(question).find(program + " VxTest R4"));
  ASSERT_TRUE(AnswerDialog(question, IDNO));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(question); }));
  EXPECT_TRUE(GetRunValue(11, "VxTest R4", nullptr, nullptr));
  // The list is filled again after the question: the row is chosen afresh.
  ASSERT_TRUE(WaitForProgramIdle(list));
  ASSERT_TRUE(SelectRows(list, {FindRow(list, "VxTest R4")}));
  ASSERT_TRUE(PressButton(page, 1003));
  question = WaitForDialog(run.info.dwProcessId, "You have chosen to remove");
  ASSERT_NE(nullptr, question);
  ASSERT_TRUE(AnswerDialog(question, IDYES));
  EXPECT_TRUE(WaitUntil([] { return !GetRunValue(11, "VxTest R4", nullptr, nullptr); }));
  Quit();
}

TEST_F(StartupPageE2E, SortsByAColumnBothWaysWithDisabledEntriesLast) {
  for (const char* name : {"VxTest b", "VxTest a", "VxTest C", "VxTest 0 parked"})
    ASSERT_TRUE(PutRunValue(11, name, Command(name).c_str()));
  // Disabled as the program disables it, before the program starts.
  RunningOnWow64 = OnWow64();
  ASSERT_EQ(1, ToggleStartupItem("VxTest 0 parked", Command("x").c_str(), "", 11));
  Open("VxTest 0 parked");
  auto order = [&] {
    std::vector<std::string> ours;
    for (const std::string& title : ColumnTexts(list, kColumnTitle))
      if (title.compare(0, 7, "VxTest ") == 0) ours.push_back(title);
    return ours;
  };
  const std::vector<std::string> ascending = {"VxTest a", "VxTest b", "VxTest C", "VxTest 0 parked"};
  const std::vector<std::string> descending = {"VxTest C", "VxTest b", "VxTest a", "VxTest 0 parked"};
  ASSERT_TRUE(ClickColumnHeader(list, kColumnTitle));
  EXPECT_TRUE(WaitUntil([&] { return order() == ascending; })) << ::testing::PrintToString(order());
  ASSERT_TRUE(ClickColumnHeader(list, kColumnTitle));
  EXPECT_TRUE(WaitUntil([&] { return order() == descending; })) << ::testing::PrintToString(order());
  Quit();
}

TEST_F(StartupPageE2E, SecondStartRaisesTheOpenSheetAndQuitEndsEverything) {
  ASSERT_TRUE(PutRunValue(11, "VxTest Raise", Command("-raise").c_str()));
  // A saved place off the screen's right edge comes back at its left edge.
  RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "xPos", "99999");
  RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "yPos", "40");
  Open("VxTest Raise");
  RECT place;
  GetWindowRect(sheet, &place);
  EXPECT_EQ(0, place.left);
  EXPECT_EQ(40, place.top);
  // Another program's window in front of it, as when the user works elsewhere.
  HWND cover = CreateWindowExA(WS_EX_NOACTIVATE, "Static", "cover", WS_POPUP | WS_BORDER, place.left, place.top,
                               place.right - place.left, place.bottom - place.top, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, cover);
  ShowWindow(cover, SW_SHOWNOACTIVATE);
  ASSERT_TRUE(WaitUntil([&] { return TopVisibleWindow() == cover; }));
  ProgramRun second;
  ASSERT_TRUE(second.Start("-START"));
  EXPECT_EQ(0u, second.WaitExit(20000));
  EXPECT_TRUE(WaitUntil([&] { return TopVisibleWindow() == sheet; })) << WindowText(TopVisibleWindow());
  EXPECT_EQ(std::vector<HWND>{sheet}, SheetWindows());
  EXPECT_TRUE(run.Running());
  DestroyWindow(cover);
  Quit();
  EXPECT_TRUE(SheetWindows().empty());
  EXPECT_EQ(nullptr, FindWindowA("VandrelixEx", nullptr));
}

}  // namespace
