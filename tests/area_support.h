// Helpers for the services, tasks and processes tests: real services installed and removed through the
// service manager, child processes of the fixture programs, the change history's lines, and the probe
// program run under another Windows version.
#pragma once
#include <string>
#include <vector>

#include "test_support.h"

std::string FixturePath(const char* name);  // a program beside the tests, e.g. "vx_sleeper.exe"

// Services: installed demand-start under `name` with the fixture service program (or `command`).
std::string ServiceCommand(const char* program, const char* name);
bool InstallService(const char* name, const char* display, const std::string& command,
                    const char* description = nullptr);
bool StartServiceAndWait(const char* name);   // true once it reports running
DWORD ServiceState(const char* name);         // dwCurrentState, 0 when unreadable
DWORD ServiceManagerStartType(const char* name);  // dwStartType as the service manager holds it
void RemoveService(const char* name);         // stops, deletes and waits for its key to go
void RemoveTestServices();                    // every service whose key name begins with "VxTest"
extern const char kServicesKey[];

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
