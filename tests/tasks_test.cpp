// Scheduled tasks: real .job work items made through the Task Scheduler's own interfaces, then listed,
// read and deleted through the program's operations; the Windows 9x agent path through the probe.
#include <objbase.h>
#include <mstask.h>

#include <string>
#include <vector>

#include "area_support.h"
#include "areas/tasks.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"

namespace {

class TasksTest : public VxTest {
 protected:
  void SetUp() override {
    VxTest::SetUp();
    OptionSet[OPT_History] = 1;
    OptionSet[OPT_CloudData] = 0;
    RemoveTestJobs();
    ClearHistory();
  }
  void TearDown() override {
    RemoveTestJobs();
    ClearStartupItems();
    ClearHistory();
    VxTest::TearDown();
  }
  int Find(const char* title) {
    for (int i = 0; i < StartupItemCount; ++i)
      if (lstrcmpiA(StartupItemTable[i]->title, title) == 0) return i;
    return -1;
  }
};

TEST_F(TasksTest, ListsWorkItemsWithProgramAndRunTimes) {
  std::string program = FixturePath("vx_sleeper.exe");
  SYSTEMTIME next;
  {
    Scheduler scheduler;
    ASSERT_TRUE(scheduler.Create("VxTest Daily", program, "VxTest daily comment", true));
    ASSERT_TRUE(scheduler.Create("VxTest Untimed", "C:\\VxTest\\missing.exe", "", false));
    next = scheduler.NextRun("VxTest Daily");
  }
  ASSERT_NE(0, next.wYear);
  int count = EnumerateScheduledTasks();
  EXPECT_EQ(StartupItemCount, count);

  int daily = Find("VxTest Daily.job");
  ASSERT_GE(daily, 0);
  EXPECT_EQ(kScheduledTaskCode, StartupItemTable[daily]->location);
  EXPECT_EQ(0, lstrcmpiA(program.c_str(), StartupItemTable[daily]->fileName));
  EXPECT_EQ(StampOf(next), StartupItemTable[daily]->command);
  EXPECT_STREQ("Never", StartupItemTable[daily]->description);  // has not run
  EXPECT_EQ(0, StartupItemTable[daily]->flag);

  int untimed = Find("VxTest Untimed.job");
  ASSERT_GE(untimed, 0);
  EXPECT_STREQ("C:\\VxTest\\missing.exe", StartupItemTable[untimed]->fileName);
  EXPECT_STREQ("Never", StartupItemTable[untimed]->command);  // no trigger, no next run
  EXPECT_STREQ("Never", StartupItemTable[untimed]->description);

  char name[128];
  TaskDisplayName(StartupItemTable[daily]->title, name);
  EXPECT_STREQ("VxTest Daily", name);
}

TEST_F(TasksTest, EachBatchOfFiveEntersInReverse) {
  const char* names[] = {"VxTest a", "VxTest b", "VxTest c", "VxTest d", "VxTest e", "VxTest f", "VxTest g"};
  {
    Scheduler scheduler;
    for (const char* n : names) ASSERT_TRUE(scheduler.Create(n, "C:\\VxTest\\x.exe", "", false));
  }
  EnumerateScheduledTasks();
  std::string order;
  for (int i = 0; i < StartupItemCount; ++i) order += std::string(StartupItemTable[i]->title) + ",";
  if (StartupItemCount == 7) {  // a Tasks folder holding only these (the scheduler lists by name)
    EXPECT_EQ("VxTest e.job,VxTest d.job,VxTest c.job,VxTest b.job,VxTest a.job,VxTest g.job,VxTest f.job,", order);
  } else {
    for (const char* n : names) EXPECT_GE(Find((std::string(n) + ".job").c_str()), 0) << order;
  }
}

TEST_F(TasksTest, CommentAndStatusOfANamedTask) {
  {
    Scheduler scheduler;
    ASSERT_TRUE(scheduler.Create("VxTest Commented", "C:\\VxTest\\x.exe", "VxTest comment text", true));
    ASSERT_TRUE(scheduler.Create("VxTest Bare", "C:\\VxTest\\y.exe", "", false));
  }
  char out[1024];
  GetTaskComment("VxTest Commented.job", out);
  EXPECT_STREQ("VxTest comment text", out);
  GetTaskStatusText("vxtest commented.JOB", out);  // names are compared without regard to case
  EXPECT_STREQ("Status: Ready", out);
  GetTaskStatusText("VxTest Bare.job", out);
  EXPECT_STREQ("Status: Not Scheduled", out);
  strcpy(out, "stale");
  GetTaskComment("VxTest Absent.job", out);
  EXPECT_STREQ("", out);
  strcpy(out, "stale");
  GetTaskStatusText("VxTest Absent.job", out);
  EXPECT_STREQ("", out);
}

TEST_F(TasksTest, RemovalDeletesTheJobAndItsKnownEntryOnlyWhenDeleted) {
  {
    Scheduler scheduler;
    ASSERT_TRUE(scheduler.Create("VxTest Doomed", "C:\\VxTest\\doomed.exe", "", true));
  }
  ASSERT_TRUE(JobExists("VxTest Doomed"));
  RawWriteString(HKEY_CURRENT_USER, kKnownTasksKey, "VxTest Doomed.job", "800");
  RawWriteString(HKEY_CURRENT_USER, kKnownTasksKey, "VxTest Ghost.job", "800");

  EXPECT_EQ(S_OK, RemoveScheduledTask("VxTest Doomed.job"));
  EXPECT_FALSE(JobExists("VxTest Doomed"));
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kKnownTasksKey, "VxTest Doomed.job"));
  EnumerateScheduledTasks();
  EXPECT_EQ(-1, Find("VxTest Doomed.job"));

  // Nothing to delete: a failure, and the known entry stays.
  EXPECT_TRUE(FAILED(RemoveScheduledTask("VxTest Ghost.job")));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, kKnownTasksKey, "VxTest Ghost.job"));
  EXPECT_TRUE(FAILED(DeleteScheduledTask("VxTest Doomed.job")));
  EXPECT_TRUE(HistoryEvents().empty());  // a task removal is not a history event
}

// The title a row shows is cut at 127 characters, retitled when it holds the product's name and
// emptied (then made from the program's file name) when it holds "(Default)": each task keeps its whole
// name, and removing by that name deletes that task and never the one the shown title would name.
TEST_F(TasksTest, EachTaskKeepsItsWholeNameForRemoval) {
  const std::string longName = "VxTest Long " + std::string(150, 'L');
  const std::string longJob = longName + ".job";
  const struct {
    std::string name;   // without ".job"
    std::string decoy;  // a task named as the shown title would have it
  } kCases[] = {
      {longName, longJob.substr(0, 127)},
      {"VxTest Vandrelix Helper", ""},
      {"VxTest (Default) Keeper", "VxTest Decoy"},
  };
  {
    Scheduler scheduler;
    for (const auto& c : kCases) {
      ASSERT_TRUE(scheduler.Create(c.name.c_str(), "C:\\VxTest\\VxTest Decoy.exe", "", false)) << c.name;
      if (!c.decoy.empty()) ASSERT_TRUE(scheduler.Create(c.decoy.c_str(), "C:\\VxTest\\y.exe", "", false)) << c.decoy;
    }
  }
  for (const auto& c : kCases) {
    EnumerateScheduledTasks();
    std::string job = c.name + ".job";
    int found = -1;
    char name[512];
    for (int i = 0; i < StartupItemCount && found < 0; ++i)
      if (GetItemValueName(i, name) && lstrcmpiA(name, job.c_str()) == 0) found = i;
    ASSERT_GE(found, 0) << job;
    ASSERT_EQ(S_OK, RemoveScheduledTask(name)) << job;
    EXPECT_FALSE(JobExists(c.name.c_str())) << job;
    if (!c.decoy.empty()) EXPECT_TRUE(JobExists(c.decoy.c_str())) << c.decoy;
  }
}

TEST_F(TasksTest, SchedulerIsStartedWhenStopped) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE schedule = OpenServiceA(manager, "Schedule", SERVICE_QUERY_STATUS);
  SERVICE_STATUS before = {}, after = {};
  QueryServiceStatus(schedule, &before);
  EXPECT_EQ(0u, StartTaskScheduler());
  QueryServiceStatus(schedule, &after);
  EXPECT_EQ((DWORD)SERVICE_RUNNING, after.dwCurrentState);
  EXPECT_EQ(before.dwCurrentState == SERVICE_RUNNING ? 0 : 1, SchedulerStartedByUs);
  // Running already (now): not ours to stop afterwards.
  EXPECT_EQ(0u, StartTaskScheduler());
  EXPECT_EQ(0, SchedulerStartedByUs);
  CloseServiceHandle(schedule);
  CloseServiceHandle(manager);
}

TEST_F(TasksTest, WindowsNineXAgentIsStartedAndStoppedAgain) {
  {
    Scheduler scheduler;
    ASSERT_TRUE(scheduler.Create("VxTest Agent", "C:\\VxTest\\agent.exe", "", false));
  }
  // The probe finds the stand-in agent (mstask.exe) beside itself, as Windows 9x finds its own.
  std::string output = RunProbe("win98", "scheduler");
  EXPECT_NE(std::string::npos, output.find("start|0|1|1")) << output;
  EXPECT_NE(std::string::npos, output.find("stop|0|0|0")) << output;
  output = RunProbe("win98", "tasks");
  EXPECT_NE(std::string::npos, output.find("task|VxTest Agent.job|C:\\VxTest\\agent.exe|Never|Never")) << output;
  EXPECT_NE(std::string::npos, output.find("|0|0\n")) << output;  // the agent it started is gone again
  EXPECT_FALSE(FindWindowA("SAGEWINDOWCLASS", "SYSTEM AGENT COM WINDOW"));
}

TEST(TaskDisplayName, CutsTheJobEnding) {
  const struct {
    const char* title;
    const char* shown;
  } cases[] = {{"x.job", "x"}, {"Backup.JOB", "Backup"}, {".job", ".job"}, {"abc", "abc"}, {"notes.txt", "notes.txt"}};
  for (const auto& c : cases) {
    char out[128];
    TaskDisplayName(c.title, out);
    EXPECT_STREQ(c.shown, out) << c.title;
  }
}

}  // namespace
