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

const GUID kClsidTaskScheduler = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTaskScheduler = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kClsidTask = {0x148BD520, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTask = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

std::wstring Wide(const std::string& text) {
  wchar_t buffer[1024];
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer, 1024);
  return buffer;
}

// The scheduler as a test sees it, straight through its interfaces.
struct Scheduler {
  ITaskScheduler* scheduler = nullptr;
  Scheduler() {
    CoInitialize(nullptr);
    CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler, (void**)&scheduler);
  }
  ~Scheduler() {
    if (scheduler) scheduler->Release();
    CoUninitialize();
  }
  // A work item with an application, a comment and, when asked, a daily trigger at 03:30.
  bool Create(const char* name, const std::string& application, const char* comment, bool trigger) {
    if (!scheduler) return false;
    ITask* task = nullptr;
    if (FAILED(scheduler->NewWorkItem(Wide(name).c_str(), kClsidTask, kIidTask, (IUnknown**)&task))) return false;
    task->SetApplicationName(Wide(application).c_str());
    task->SetComment(Wide(comment).c_str());
    task->SetAccountInformation(L"", nullptr);
    if (trigger) {
      WORD index = 0;
      ITaskTrigger* taskTrigger = nullptr;
      if (SUCCEEDED(task->CreateTrigger(&index, &taskTrigger))) {
        TASK_TRIGGER data = {};
        data.cbTriggerSize = sizeof data;
        taskTrigger->GetTrigger(&data);
        data.TriggerType = TASK_TIME_TRIGGER_DAILY;
        data.Type.Daily.DaysInterval = 1;
        data.wStartHour = 3;
        data.wStartMinute = 30;
        data.rgFlags = 0;
        taskTrigger->SetTrigger(&data);
        taskTrigger->Release();
      }
    }
    IPersistFile* file = nullptr;
    bool saved = SUCCEEDED(task->QueryInterface(IID_IPersistFile, (void**)&file)) && SUCCEEDED(file->Save(nullptr, TRUE));
    if (file) file->Release();
    task->Release();
    return saved;
  }
  // The next run time as the scheduler gives it, all zeros when it gives none.
  SYSTEMTIME NextRun(const char* name) {
    SYSTEMTIME time = {};
    ITask* task = nullptr;
    if (scheduler && SUCCEEDED(scheduler->Activate(Wide(name).c_str(), kIidTask, (IUnknown**)&task))) {
      if (FAILED(task->GetNextRunTime(&time))) time = SYSTEMTIME{};
      task->Release();
    }
    return time;
  }
  void Delete(const char* name) {
    for (int i = 0; scheduler && i < 20; ++i) {
      HRESULT hr = scheduler->Delete(Wide(name).c_str());
      if (hr != (HRESULT)0x80070020) break;
      Sleep(50);
    }
  }
};

std::string JobFile(const char* name) { return WindowsFolder() + "\\Tasks\\" + name + ".job"; }
bool JobExists(const char* name) { return GetFileAttributesA(JobFile(name).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every .job in the Tasks folder whose name begins with "VxTest" goes.
void RemoveTestJobs() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((WindowsFolder() + "\\Tasks\\VxTest*.job").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> names;
  do {
    std::string name = found.cFileName;
    names.push_back(name.substr(0, name.size() - 4));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  Scheduler scheduler;
  for (const std::string& name : names) scheduler.Delete(name.c_str());
}

std::string StampOf(const SYSTEMTIME& t) {
  if (t.wYear == 0 && t.wMonth == 0 && t.wDay == 0) return "Never";
  char text[64];
  unsigned hour = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
  sprintf(text, "%02u/%02u/%04u  %u:%02u %s", t.wMonth, t.wDay, t.wYear, hour, t.wMinute, t.wHour >= 12 ? "PM" : "AM");
  return text;
}

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
