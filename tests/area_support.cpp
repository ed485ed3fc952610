#include "area_support.h"

#include <psapi.h>
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
