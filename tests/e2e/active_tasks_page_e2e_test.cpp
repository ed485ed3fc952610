// The Active Tasks page of the real VandrelixEx.exe over real child processes: their rows, Kill Task on
// the selected row's own process, the modules with all files shown, and the list made afresh when a
// page request raises the sheet.
#include <deque>

#include "e2e/area_page_e2e.h"

namespace {

enum { kModule = 0, kDescription = 1, kCompany = 2, kSize = 4, kProcessId = 5 };
const int kKillTask = 1007, kShowAllFiles = 1017;

class ActiveTasksPageE2E : public AreaPageE2E {
 protected:
  void TearDown() override {
    for (Child& child : children) EndChild(&child);
    for (const std::string& folder : folders) {
      DeleteFileA((folder + "\\vx_sleeper.exe").c_str());
      RemoveDirectoryA(folder.c_str());
    }
    AreaPageE2E::TearDown();
  }
  Child& Start(const std::string& program, const std::string& arguments) {
    children.push_back(StartChild(program, arguments));
    EXPECT_NE(0u, children.back().id) << program;
    return children.back();
  }
  // The sleeper copied into a folder of its own: two programs of the same module name.
  std::string SleeperIn(const char* name) {
    std::string folder = BinFolder() + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    folders.push_back(folder);
    std::string path = folder + "\\vx_sleeper.exe";
    CopyFileA(FixturePath("vx_sleeper.exe").c_str(), path.c_str(), FALSE);
    return path;
  }
  int RowOf(const Child& child) { return FindRow(list, std::to_string(child.id), kProcessId); }
  std::deque<Child> children;  // references to its elements stay valid as it grows
  std::vector<std::string> folders;
};

TEST_F(ActiveTasksPageE2E, KillTaskEndsTheSelectedRowsOwnProcessAndARaiseListsAfresh) {
  Child& first = Start(SleeperIn("vx_first"), "120");
  Child& second = Start(SleeperIn("vx_second"), "120");
  Open("-TASK", std::to_string(second.id), kProcessId);
  int row = RowOf(second);
  EXPECT_STRCASEEQ("vx_sleeper.exe", CellText(list, row, kModule).c_str());
  EXPECT_EQ("VxTest Sleeper", CellText(list, row, kDescription));
  EXPECT_EQ("Orvenn Studios Test Fixtures", CellText(list, row, kCompany));
  EXPECT_NE("", CellText(list, row, kSize));
  ASSERT_GE(RowOf(first), 0);
  SavePicture("active-tasks-page");

  // The second row of the module name: its own process ends, the first program's stays.
  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(PressButton(page, kKillTask));
  EXPECT_TRUE(WaitUntil([&] { return !ChildRunning(second); }));
  EXPECT_TRUE(WaitUntil([&] { return RowOf(second) < 0; }));
  EXPECT_TRUE(ChildRunning(first));
  EXPECT_GE(RowOf(first), 0);

  // A program started after the list was made shows once another request raises the sheet.
  Child& later = Start(FixturePath("vx_service.exe"), "--sleep 120");
  ASSERT_TRUE(WaitForProgramIdle(list));
  EXPECT_LT(RowOf(later), 0);
  ProgramRun request;
  ASSERT_TRUE(request.Start("-START"));
  EXPECT_EQ(0u, request.WaitExit(20000));
  EXPECT_GE(WaitForRow(list, std::to_string(later.id), kProcessId), 0);
  EXPECT_EQ(page, CurrentPage(sheet));
  Quit();
}

TEST_F(ActiveTasksPageE2E, ModulesAreListedWhileAllFilesAreShown) {
  std::string library = FixturePath("vf_two_translations.dll");
  Child& sleeper = Start(FixturePath("vx_sleeper.exe"), "120 \"" + library + "\"");
  Open("-TASK", std::to_string(sleeper.id), kProcessId);
  HWND box = PageControl(page, kShowAllFiles);
  EXPECT_EQ(BST_UNCHECKED, SendMessageA(box, BM_GETCHECK, 0, 0));
  EXPECT_LT(FindRowAnyCase("vf_two_translations.dll"), 0);
  if (!OnWow64()) {
    // Each process shows only its program on 32-bit Windows: the box has nothing to change there.
    EXPECT_FALSE(IsWindowEnabled(box));
    Quit();
    return;
  }
  ASSERT_TRUE(IsWindowEnabled(box));
  ASSERT_TRUE(PressButton(page, kShowAllFiles));
  int row = -1;
  ASSERT_TRUE(WaitUntil([&] { return (row = FindRowAnyCase("vf_two_translations.dll")) >= 0; }));
  EXPECT_EQ(std::to_string(sleeper.id), CellText(list, row, kProcessId));
  ASSERT_TRUE(PressButton(page, kShowAllFiles));
  EXPECT_TRUE(WaitUntil([&] { return FindRowAnyCase("vf_two_translations.dll") < 0; }));
  EXPECT_GE(RowOf(sleeper), 0);
  Quit();
}

}  // namespace
