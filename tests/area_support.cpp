#include "area_support.h"

#include <psapi.h>
#include <stdio.h>
#include <string.h>

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";

std::string FixturePath(const char* name) { return BinFolder() + "\\" + name; }

std::string ServiceCommand(const char* program, const char* name) {
  return "\"" + FixturePath(program) + "\" --service " + name;
}

bool InstallService(const char* name, const char* display, const std::string& command, const char* description) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return false;
  SC_HANDLE service = CreateServiceA(manager, name, display, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
  if (service && description) {
    SERVICE_DESCRIPTIONA text = {(LPSTR)description};
    ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &text);
  }
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return service != nullptr;
}

static SC_HANDLE OpenTestService(const char* name, DWORD access) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return nullptr;
  SC_HANDLE service = OpenServiceA(manager, name, access);
  CloseServiceHandle(manager);
  return service;
}

DWORD ServiceState(const char* name) {
  SC_HANDLE service = OpenTestService(name, SERVICE_QUERY_STATUS);
  if (!service) return 0;
  SERVICE_STATUS status = {};
  DWORD state = QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
  CloseServiceHandle(service);
  return state;
}

DWORD ServiceManagerStartType(const char* name) {
  SC_HANDLE service = OpenTestService(name, SERVICE_QUERY_CONFIG);
  if (!service) return 0xFFFFFFFF;
  union {
    QUERY_SERVICE_CONFIGA config;
    BYTE bytes[8192];
  } data;
  DWORD needed = 0;
  DWORD start = QueryServiceConfigA(service, &data.config, sizeof data, &needed) ? data.config.dwStartType : 0xFFFFFFFF;
  CloseServiceHandle(service);
  return start;
}

bool StartServiceAndWait(const char* name) {
  SC_HANDLE service = OpenTestService(name, SERVICE_START | SERVICE_QUERY_STATUS);
  if (!service) return false;
  StartServiceA(service, 0, nullptr);
  CloseServiceHandle(service);
  for (int i = 0; i < 100; ++i) {
    if (ServiceState(name) == SERVICE_RUNNING) return true;
    Sleep(50);
  }
  return false;
}

bool StopServiceAndWait(const char* name) {
  SC_HANDLE service = OpenTestService(name, SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (!service) return false;
  SERVICE_STATUS status = {};
  ControlService(service, SERVICE_CONTROL_STOP, &status);
  CloseServiceHandle(service);
  for (int i = 0; i < 100; ++i) {
    if (ServiceState(name) == SERVICE_STOPPED) return true;
    Sleep(50);
  }
  return false;
}

void RemoveService(const char* name) {
  SC_HANDLE service = OpenTestService(name, SERVICE_ALL_ACCESS);
  if (service) {
    SERVICE_STATUS status = {};
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 60 && ServiceState(name) != SERVICE_STOPPED && ServiceState(name) != 0; ++i) Sleep(50);
    DeleteService(service);
    CloseServiceHandle(service);
  }
  std::string key = std::string(kServicesKey) + "\\" + name;
  // The service manager removes the key of a deleted service once its last handle is closed.
  for (int i = 0; service && i < 60 && RawKeyExists(HKEY_LOCAL_MACHINE, key.c_str()); ++i) Sleep(50);
  // A key the service manager never knew (written by a test) goes with the registry call.
  RawDeleteTree(HKEY_LOCAL_MACHINE, key.c_str());
}

void RemoveTestServices() {
  std::vector<std::string> names;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
      if (_strnicmp(name, "VxTest", 6) == 0) names.push_back(name);
    RegCloseKey(key);
  }
  for (const std::string& name : names) RemoveService(name.c_str());
}

static const GUID kClsidTaskScheduler = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
static const GUID kIidTaskScheduler = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
static const GUID kClsidTask = {0x148BD520, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
static const GUID kIidTask = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

static std::wstring Wide(const std::string& text) {
  wchar_t buffer[1024];
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer, 1024);
  return buffer;
}

Scheduler::Scheduler() {
  CoInitialize(nullptr);
  CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler, (void**)&scheduler);
}

Scheduler::~Scheduler() {
  if (scheduler) scheduler->Release();
  CoUninitialize();
}

bool Scheduler::Create(const char* name, const std::string& application, const char* comment, bool trigger) {
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

SYSTEMTIME Scheduler::NextRun(const char* name) {
  SYSTEMTIME time = {};
  ITask* task = nullptr;
  if (scheduler && SUCCEEDED(scheduler->Activate(Wide(name).c_str(), kIidTask, (IUnknown**)&task))) {
    if (FAILED(task->GetNextRunTime(&time))) time = SYSTEMTIME{};
    task->Release();
  }
  return time;
}

void Scheduler::Delete(const char* name) {
  for (int i = 0; scheduler && i < 20; ++i) {
    HRESULT hr = scheduler->Delete(Wide(name).c_str());
    if (hr != (HRESULT)0x80070020) break;  // a sharing violation passes once the scheduler lets go
    Sleep(50);
  }
}

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

Child StartChild(const std::string& program, const std::string& arguments) {
  Child child;
  std::string command = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                     &startup, &info)) {
    CloseHandle(info.hThread);
    child.id = info.dwProcessId;
    child.process = info.hProcess;
    // Ready once its loader has mapped more than the program itself.
    for (int i = 0; i < 100; ++i) {
      HMODULE modules[4];
      DWORD needed = 0;
      if (EnumProcessModules(info.hProcess, modules, sizeof modules, &needed) && needed >= 2 * sizeof(HMODULE)) break;
      Sleep(20);
    }
  }
  return child;
}

bool ChildRunning(const Child& child) {
  return child.process && WaitForSingleObject(child.process, 0) == WAIT_TIMEOUT;
}

void EndChild(Child* child) {
  if (!child->process) return;
  TerminateProcess(child->process, 1);
  WaitForSingleObject(child->process, 5000);
  CloseHandle(child->process);
  child->process = nullptr;
  child->id = 0;
}

static std::string HistoryPath() { return BinFolder() + "\\history.txt"; }

void ClearHistory() { DeleteFileA(HistoryPath().c_str()); }

std::vector<std::string> HistoryEvents() {
  std::vector<std::string> events;
  HANDLE file = CreateFileA(HistoryPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return events;
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(file);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    size_t tab = line.find('\t');
    if (tab != std::string::npos) events.push_back(line.substr(tab + 1));
    start = end + 2;
  }
  return events;
}

std::string RunProbe(const char* version, const char* arguments) {
  std::string key = "Software\\Wine\\AppDefaults\\area_probe.exe";
  if (version && version[0]) RawWriteString(HKEY_CURRENT_USER, key.c_str(), "Version", version);
  std::string exe = FixturePath("area_probe.exe");
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  CreatePipe(&readEnd, &writeEnd, &inherit, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info = {};
  std::string command = "\"" + exe + "\" " + arguments;
  std::string output;
  if (CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                     &info)) {
    CloseHandle(writeEnd);
    char buffer[1024];
    DWORD got;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) output.append(buffer, got);
    WaitForSingleObject(info.hProcess, 30000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  } else {
    CloseHandle(writeEnd);
  }
  CloseHandle(readEnd);
  RawDeleteTree(HKEY_CURRENT_USER, key.c_str());
  std::string lines;
  for (char c : output)
    if (c != '\r') lines += c;
  return lines;
}
