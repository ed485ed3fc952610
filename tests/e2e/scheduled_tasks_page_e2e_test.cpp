// The Scheduled Tasks page of the real VandrelixEx.exe over a real work item of the Task Scheduler:
// its row, and Remove after the question.
#include "e2e/area_page_e2e.h"

namespace {

enum { kName = 0, kProgram = 1, kCompany = 2, kNextRun = 3, kLastRun = 4 };

class ScheduledTasksPageE2E : public AreaPageE2E {
 protected:
  void SetUp() override {
    AreaPageE2E::SetUp();
    RemoveTestJobs();
  }
  void TearDown() override {
    RemoveTestJobs();
    AreaPageE2E::TearDown();
  }
};

TEST_F(ScheduledTasksPageE2E, ListsAWorkItemAndRemovesItAfterAsking) {
  SYSTEMTIME next;
  {
    Scheduler scheduler;
    ASSERT_TRUE(scheduler.Create("VxTest Nightly", FixturePath("vx_sleeper.exe"), "Runs at night", true));
    next = scheduler.NextRun("VxTest Nightly");
  }
  Open("-SCHEDULE", "VxTest Nightly");
  int row = FindRow(list, "VxTest Nightly");
  EXPECT_EQ("vx_sleeper.exe", CellText(list, row, kProgram));
  EXPECT_EQ("Orvenn Studios Test Fixtures", CellText(list, row, kCompany));
  EXPECT_EQ(StampOf(next), CellText(list, row, kNextRun));
  EXPECT_EQ("Never", CellText(list, row, kLastRun));
  SavePicture("scheduled-tasks-page");

  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(PressButton(page, 1003));
  HWND question = WaitForDialog(run.info.dwProcessId, "You have chosen to remove");
  ASSERT_NE(nullptr, question);
  EXPECT_NE(std::string::npos, DialogTexts(question).find("remove VxTest Nightly.job")) << DialogTexts(question);
  ASSERT_TRUE(AnswerDialog(question, IDYES));
  EXPECT_TRUE(WaitUntil([] { return !JobExists("VxTest Nightly"); }));
  EXPECT_TRUE(WaitUntil([&] { return FindRow(list, "VxTest Nightly") < 0; }));
  Quit();
}

}  // namespace
