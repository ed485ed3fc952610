#include "areas/tasks.h"

#include <objbase.h>
#include <mstask.h>
#include <string.h>

#include "areas/program_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/history.h"
#include "records/net_reports.h"
#include "startup/items.h"

const char kKnownTasksKey[] = "Software\\Orvenn Studios\\Vandrelix\\Tasks";
int SchedulerStartedByUs = 0;

namespace {

// The published identities of the Task Scheduler 1.0 interfaces.
const GUID kClsidTaskScheduler = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTaskScheduler = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTask = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

const HRESULT kTaskRunning = 0x00041301;       // SCHED_S_TASK_RUNNING
const HRESULT kTaskNotScheduled = 0x00041305;  // SCHED_S_TASK_NOT_SCHEDULED
const HRESULT kSharingViolation = 0x80070020;

// The Windows 9x scheduler is the agent process mstask.exe, known by its hidden window.
HWND AgentWindow() { return FindWindowA("SAGEWINDOWCLASS", "SYSTEM AGENT COM WINDOW"); }

DWORD StartAgent() {
  if (AgentWindow()) return 0;
  char path[260];
  DWORD n = SearchPathA(nullptr, "mstask.exe", nullptr, sizeof path, path, nullptr);
  if (n == 0 || n >= sizeof path) return GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, nullptr,
                      nullptr, &startup, &process))
    return GetLastError();
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  SchedulerStartedByUs = 1;
  // The agent answers only once its window is up.
  for (int i = 0; i < 60 && !AgentWindow(); ++i) Sleep(50);
  return 0;
}

DWORD StopAgent() {
  HWND agent = AgentWindow();
  if (!agent) return 1;
  DWORD processId = 0;
  GetWindowThreadProcessId(agent, &processId);
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
  if (process) {
    TerminateProcess(process, 0);
    CloseHandle(process);
  }
  // The agent's tray icon stays drawn until the taskbar repaints.
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  if (tray) InvalidateRect(tray, nullptr, TRUE);
  SchedulerStartedByUs = 0;
  return 0;
}

SC_HANDLE OpenSchedule(DWORD access) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return nullptr;
  SC_HANDLE service = OpenServiceA(manager, "Schedule", access);
  DWORD error = GetLastError();
  CloseServiceHandle(manager);
  SetLastError(error);
  return service;
}

DWORD StartScheduleService() {
  SC_HANDLE service = OpenSchedule(SERVICE_QUERY_STATUS | SERVICE_START);
  if (!service) return GetLastError();
  SERVICE_STATUS status = {};
  DWORD result = 0;
  if (!QueryServiceStatus(service, &status)) {
    result = GetLastError();
  } else if (status.dwCurrentState != SERVICE_RUNNING) {
    if (StartServiceA(service, 0, nullptr)) {
      SchedulerStartedByUs = 1;
      for (int i = 0; i < 60 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_RUNNING; ++i)
        Sleep(50);
    } else {
      result = GetLastError();
      if (result == ERROR_SERVICE_ALREADY_RUNNING) result = 0;
    }
  }
  CloseServiceHandle(service);
  return result;
}

DWORD StopScheduleService() {
  SC_HANDLE service = OpenSchedule(SERVICE_QUERY_STATUS | SERVICE_STOP);
  if (!service) return 1;
  SERVICE_STATUS status = {};
  DWORD result = 0;
  if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING) {
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) result = 1;
  }
  CloseServiceHandle(service);
  if (result == 0) SchedulerStartedByUs = 0;
  return result;
}

void ToAnsi(LPCWSTR text, char* out, int capacity) {
  out[0] = 0;
  if (!text) return;
  int length = (int)wcslen(text);
  // A text too long for `out` keeps what fits: a character takes at most two bytes in the code page.
  if (length > capacity / 2 - 1 && WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr) > capacity)
    length = capacity / 2 - 1;
  int n = WideCharToMultiByte(CP_ACP, 0, text, length, out, capacity - 1, nullptr, nullptr);
  out[n > 0 ? n : 0] = 0;
}

// One COM session with the scheduler and its list of work items.
struct SchedulerSession {
  HRESULT init = E_FAIL;
  HRESULT failure = S_OK;
  ITaskScheduler* scheduler = nullptr;
  IEnumWorkItems* items = nullptr;
  int Open() {
    init = CoInitialize(nullptr);
    if (FAILED(init)) return failure = init, 0;
    failure = CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler,
                               (void**)&scheduler);
    if (FAILED(failure)) return 0;
    failure = scheduler->Enum(&items);
    return SUCCEEDED(failure);
  }
  ~SchedulerSession() {
    if (items) items->Release();
    if (scheduler) scheduler->Release();
    if (SUCCEEDED(init)) CoUninitialize();
  }
};

// The list gives names with their ".job" ending. Windows accepts that name in Activate and Delete;
// Wine refuses any name ending in ".job" with E_INVALIDARG and wants it without, so a refused name is
// tried once more without its ending. Nothing was done by a call that refused the name.
template <typename Call>
HRESULT WithTaskName(LPCWSTR name, Call call) {
  HRESULT hr = call(name);
  size_t n = wcslen(name);
  if (hr != E_INVALIDARG || n <= 4 || _wcsicmp(name + n - 4, L".job") != 0) return hr;
  WCHAR bare[260];
  if (n - 4 >= sizeof bare / sizeof bare[0]) return hr;
  wcsncpy(bare, name, n - 4);
  bare[n - 4] = 0;
  return call(bare);
}

HRESULT ActivateTask(ITaskScheduler* scheduler, LPCWSTR name, ITask** task) {
  *task = nullptr;
  return WithTaskName(name, [&](LPCWSTR n) { return scheduler->Activate(n, kIidTask, (IUnknown**)task); });
}

// Calls `visit` for each work item, five names per request and each batch from its last name to its
// first, until it answers 0.
typedef int (*ItemVisitor)(ITaskScheduler* scheduler, LPCWSTR name, const char* ansiName, void* context);
void WalkWorkItems(SchedulerSession* session, ItemVisitor visit, void* context) {
  int stopped = 0;
  while (!stopped) {
    LPWSTR* names = nullptr;
    ULONG fetched = 0;
    HRESULT hr = session->items->Next(5, &names, &fetched);
    if (FAILED(hr) || fetched == 0 || !names) {
      if (names) CoTaskMemFree(names);
      break;
    }
    for (ULONG i = fetched; i-- > 0;) {
      if (!stopped) {
        char ansi[520];
        ToAnsi(names[i], ansi, sizeof ansi);
        stopped = !visit(session->scheduler, names[i], ansi, context);
      }
      CoTaskMemFree(names[i]);
    }
    CoTaskMemFree(names);
    if (hr != S_OK) break;  // S_FALSE: that was the last batch
  }
}

void RunTimeText(HRESULT hr, const SYSTEMTIME* time, char* out) {  // out: 32
  SYSTEMTIME none = {};
  HistoryTimeStamp(SUCCEEDED(hr) ? time : &none, out);
}

int ListItem(ITaskScheduler* scheduler, LPCWSTR name, const char* ansiName, void* context) {
  ITask* task = nullptr;
  if (FAILED(ActivateTask(scheduler, name, &task)) || !task) return 1;
  LPWSTR application = nullptr;
  char file[260] = "";
  if (SUCCEEDED(task->GetApplicationName(&application))) ToAnsi(application, file, sizeof file);
  if (application) CoTaskMemFree(application);
  SYSTEMTIME last = {}, next = {};
  char lastText[32], nextText[32];
  RunTimeText(task->GetMostRecentRunTime(&last), &last, lastText);
  RunTimeText(task->GetNextRunTime(&next), &next, nextText);
  task->Release();
  char title[128];
  CopyText(title, ansiName);
  // The title is only shown: the table cuts it at 127 characters, retitles names with the product's
  // name and empties "(Default)" ones. Operations take the whole name kept beside it.
  if (AddStartupItem(title, file, nextText, lastText, kScheduledTaskCode, 0))
    SetItemValueName(StartupItemCount - 1, ansiName);
  return 1;
}

// A single-task operation: finds the work item whose name equals `name` and hands it to `act`.
struct Target {
  const char* name;
  int found;
  HRESULT result;
  char program[260];
  char* out;
  HRESULT (*act)(ITaskScheduler* scheduler, LPCWSTR name, Target* target);
};

int MatchItem(ITaskScheduler* scheduler, LPCWSTR name, const char* ansiName, void* context) {
  Target* target = (Target*)context;
  if (lstrcmpiA(ansiName, target->name) != 0) return 1;
  target->found = 1;
  target->result = target->act(scheduler, name, target);
  return 0;
}

void RunOnTask(const char* name, Target* target) {
  target->name = name ? name : "";
  target->found = 0;
  target->result = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  DWORD started = StartTaskScheduler();
  if (started) {
    target->result = HRESULT_FROM_WIN32(started);
    return;
  }
  Sleep(1000);
  {
    SchedulerSession session;
    if (session.Open()) {
      WalkWorkItems(&session, MatchItem, target);
    } else {
      target->result = session.failure;
    }
  }
  if (SchedulerStartedByUs) StopTaskScheduler();
}

HRESULT DeleteItem(ITaskScheduler* scheduler, LPCWSTR name, Target* target) {
  ITask* task = nullptr;
  if (SUCCEEDED(ActivateTask(scheduler, name, &task)) && task) {
    LPWSTR application = nullptr;
    if (SUCCEEDED(task->GetApplicationName(&application))) ToAnsi(application, target->program, sizeof target->program);
    if (application) CoTaskMemFree(application);
    task->Release();
  }
  HRESULT hr = S_OK;
  // The scheduler may still hold the file for a moment after it was written.
  for (int attempt = 0; attempt < 5; ++attempt) {
    hr = WithTaskName(name, [&](LPCWSTR n) { return scheduler->Delete(n); });
    if (hr != kSharingViolation) break;
    Sleep(50);
  }
  return hr;
}

HRESULT ReadComment(ITaskScheduler* scheduler, LPCWSTR name, Target* target) {
  ITask* task = nullptr;
  HRESULT hr = ActivateTask(scheduler, name, &task);
  if (FAILED(hr) || !task) return hr;
  LPWSTR comment = nullptr;
  hr = task->GetComment(&comment);
  if (SUCCEEDED(hr)) ToAnsi(comment, target->out, 1024);
  if (comment) CoTaskMemFree(comment);
  task->Release();
  return hr;
}

HRESULT ReadStatus(ITaskScheduler* scheduler, LPCWSTR name, Target* target) {
  ITask* task = nullptr;
  HRESULT hr = ActivateTask(scheduler, name, &task);
  if (FAILED(hr) || !task) return hr;
  HRESULT status = S_OK;
  hr = task->GetStatus(&status);
  task->Release();
  if (FAILED(hr)) return hr;
  LoadText(status == kTaskRunning ? 689 : status == kTaskNotScheduled ? 690 : 688, target->out, 1024);
  return S_OK;
}

}  // namespace

DWORD StartTaskScheduler() {
  SchedulerStartedByUs = 0;
  return !IsNtPlatform() ? StartAgent() : StartScheduleService();
}

DWORD StopTaskScheduler() {
  return !IsNtPlatform() ? StopAgent() : StopScheduleService();
}

int EnumerateScheduledTasks() {
  ClearStartupItems();
  ForgetProgramFacts();
  if (StartTaskScheduler()) return 0;
  Sleep(10);
  {
    SchedulerSession session;
    if (session.Open()) WalkWorkItems(&session, ListItem, nullptr);
  }
  if (SchedulerStartedByUs) StopTaskScheduler();
  return StartupItemCount;
}

HRESULT DeleteScheduledTask(const char* name) {
  Target target = {};
  target.act = DeleteItem;
  RunOnTask(name, &target);
  if (target.found && SUCCEEDED(target.result)) ReportRemovalToCloud(name, target.program);
  return target.result;
}

HRESULT RemoveScheduledTask(const char* name) {
  HRESULT hr = DeleteScheduledTask(name);
  // A task the scheduler kept stays known, so the monitor does not report it as new.
  if (SUCCEEDED(hr)) RegRemoveValue(HKEY_CURRENT_USER, kKnownTasksKey, name);
  return hr;
}

void GetTaskComment(const char* name, char* out) {
  out[0] = 0;
  Target target = {};
  target.out = out;
  target.act = ReadComment;
  RunOnTask(name, &target);
}

void GetTaskStatusText(const char* name, char* out) {
  out[0] = 0;
  Target target = {};
  target.out = out;
  target.act = ReadStatus;
  RunOnTask(name, &target);
}

void TaskDisplayName(const char* title, char* out) {
  size_t n = strlen(title);
  if (n > 4 && lstrcmpiA(title + n - 4, ".job") == 0) {
    CopyTextN(out, 128, title, n - 4);
  } else {
    CopyText(out, 128, title);
  }
}
