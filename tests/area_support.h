// Helpers for the services, tasks and processes tests: real services installed and removed through the
// service manager, work items made straight through the Task Scheduler, child processes of the fixture
// programs, the change history's lines, and the probe
// program run under another Windows version.
#pragma once
#include <objbase.h>
#include <mstask.h>

#include <string>
#include <vector>

#include "test_support.h"

std::string FixturePath(const char* name);  // a program beside the tests, e.g. "vx_sleeper.exe"

// Services: installed demand-start under `name` with the fixture service program (or `command`).
std::string ServiceCommand(const char* program, const char* name);
bool InstallService(const char* name, const char* display, const std::string& command,
                    const char* description = nullptr);
bool StartServiceAndWait(const char* name);   // true once it reports running
bool StopServiceAndWait(const char* name);    // true once it reports stopped
DWORD ServiceState(const char* name);         // dwCurrentState, 0 when unreadable
DWORD ServiceManagerStartType(const char* name);  // dwStartType as the service manager holds it
void RemoveService(const char* name);         // stops, deletes and waits for its key to go
void RemoveTestServices();                    // every service whose key name begins with "VxTest"
extern const char kServicesKey[];

// The Task Scheduler 1.0 as a test sees it, straight through its interfaces (COM is initialised for
// the object's life).
struct Scheduler {
  ITaskScheduler* scheduler = nullptr;
  Scheduler();
  ~Scheduler();
  // A work item with an application, a comment and, when asked, a daily trigger at 03:30.
  bool Create(const char* name, const std::string& application, const char* comment, bool trigger);
  SYSTEMTIME NextRun(const char* name);  // as the scheduler gives it, all zeros when it gives none
  void Delete(const char* name);         // retried while the scheduler still holds the file
};
std::string JobFile(const char* name);  // the work item's .job file
bool JobExists(const char* name);
void RemoveTestJobs();                  // every work item whose name begins with "VxTest"
std::string StampOf(const SYSTEMTIME& t);  // a run time as the lists write it ("Never" for none)

// Child processes: started without a window; ended and waited for by EndChild.
struct Child {
  DWORD id = 0;
  HANDLE process = nullptr;
};
Child StartChild(const std::string& program, const std::string& arguments);
bool ChildRunning(const Child& child);
void EndChild(Child* child);

// The change history beside the test program: cleared, and read as lines without their time stamp
// ("ACTION\tLOCATION\tTITLE\tFILE\tCOMMAND").
void ClearHistory();
std::vector<std::string> HistoryEvents();

// Runs area_probe.exe with the given arguments, as the given Wine version ("" for the prefix's own),
// and returns its standard output.
std::string RunProbe(const char* version, const char* arguments);
