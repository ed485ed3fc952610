// Seeds the Wine prefix it runs in with a small, believable set of startup entries, for tools/run.sh
// and the README's pictures: Run entries in both registry views, one of them disabled the way the
// explorer disables it, a RunOnce entry and a shortcut in the user's Startup folder; two services and
// two scheduled tasks of the same programs. With "--logon" it starts the programs that Windows would
// start at logon, and leaves them running. The programs are copies of the demonstration programs built beside this one (they stay
// running only when started with their background switches).
#include <windows.h>
#include <mstask.h>
#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>
#include <string>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup/toggle.h"

namespace {

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

// Copies demonstration program `number` to its vendor's folder under Program Files; its path.
std::string Install(const std::string& bin, int number, const char* vendor, const char* file) {
  std::string folder = SpecialFolder(CSIDL_PROGRAM_FILES) + "\\" + vendor;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string target = folder + "\\" + file;
  std::string source = bin + "\\demo_program_" + std::to_string(number) + ".exe";
  if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) printf("demo: could not copy %s\n", source.c_str());
  return target;
}

bool PutValue(int code, const char* name, const std::string& data) {
  HKEY key;
  if (RegCreateKeyExA(RunRootOf(code), RunKeyPathOf(code), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
  RegCloseKey(key);
  printf("demo: %-22s %-14s %s\n", name, LocationToken(code), data.c_str());
  return rc == ERROR_SUCCESS;
}

// A demand-start service (never started: the demonstration programs are no services).
void PutService(const char* name, const char* display, const std::string& command, DWORD start,
                const char* description) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = manager ? CreateServiceA(manager, name, display, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                               start, SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr,
                                               nullptr, nullptr, nullptr)
                              : nullptr;
  if (service) {
    SERVICE_DESCRIPTIONA text = {(LPSTR)description};
    ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &text);
    CloseServiceHandle(service);
    printf("demo: service %-24s %s\n", display, command.c_str());
  } else {
    printf("demo: could not make the service %s (%lu)\n", name, GetLastError());
  }
  if (manager) CloseServiceHandle(manager);
}

// A Task Scheduler 1.0 work item that runs `program` every `days` days at the given time.
void PutTask(const wchar_t* name, const std::string& program, const wchar_t* parameters, WORD days, WORD hour,
             WORD minute) {
  const GUID clsidScheduler = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
  const GUID iidScheduler = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
  const GUID clsidTask = {0x148BD520, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
  const GUID iidTask = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
  ITaskScheduler* scheduler = nullptr;
  ITask* task = nullptr;
  bool saved = false;
  if (SUCCEEDED(CoCreateInstance(clsidScheduler, nullptr, CLSCTX_INPROC_SERVER, iidScheduler, (void**)&scheduler)) &&
      SUCCEEDED(scheduler->NewWorkItem(name, clsidTask, iidTask, (IUnknown**)&task))) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, program.c_str(), -1, wide, MAX_PATH);
    task->SetApplicationName(wide);
    task->SetParameters(parameters);
    task->SetAccountInformation(L"", nullptr);
    WORD index = 0;
    ITaskTrigger* trigger = nullptr;
    if (SUCCEEDED(task->CreateTrigger(&index, &trigger))) {
      TASK_TRIGGER data = {};
      data.cbTriggerSize = sizeof data;
      trigger->GetTrigger(&data);
      data.TriggerType = TASK_TIME_TRIGGER_DAILY;
      data.Type.Daily.DaysInterval = days;
      data.wStartHour = hour;
      data.wStartMinute = minute;
      data.rgFlags = 0;
      trigger->SetTrigger(&data);
      trigger->Release();
    }
    IPersistFile* file = nullptr;
    saved = SUCCEEDED(task->QueryInterface(IID_IPersistFile, (void**)&file)) && SUCCEEDED(file->Save(nullptr, TRUE));
    if (file) file->Release();
    task->Release();
  }
  if (scheduler) scheduler->Release();
  printf(saved ? "demo: task %ls\n" : "demo: could not make the task %ls\n", name);
}

// Starts a program as Windows would at logon, and leaves it running. Its standard handles go nowhere,
// so it does not hold the output of this seeder (which the caller reads to its end) open.
void Launch(const std::string& program, const char* arguments) {
  std::string line = "\"" + program + "\" " + arguments;
  // Only the handle to nowhere is handed down, not this seeder's own standard handles.
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
    SetHandleInformation(GetStdHandle(which), HANDLE_FLAG_INHERIT, 0);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE nowhere = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere;
  PROCESS_INFORMATION info = {};
  BOOL started = CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                &info);
  if (nowhere != INVALID_HANDLE_VALUE) CloseHandle(nowhere);
  if (started) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    printf("demo: running %s\n", line.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  CoInitialize(nullptr);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string bin = self;
  bin = bin.substr(0, bin.rfind('\\'));
  if (argc > 1 && strcmp(argv[1], "--logon") == 0) {
    // What the Run entries and the Startup folder start when the user logs on (a Wine session of the
    // seeded prefix does not start them by itself).
    std::string programs = SpecialFolder(CSIDL_PROGRAM_FILES);
    Launch(programs + "\\Blue Heron\\heronsync.exe", "/background");
    Launch(programs + "\\Quillfeather\\quillnotes.exe", "-tray");
    Launch(programs + "\\Pinecone\\pineclock.exe", "/compact");
    return 0;
  }

  std::string heron = Install(bin, 1, "Blue Heron", "heronsync.exe");
  std::string maple = Install(bin, 2, "Maple Print", "printmon.exe");
  std::string quill = Install(bin, 3, "Quillfeather", "quillnotes.exe");
  std::string clock = Install(bin, 4, "Pinecone", "pineclock.exe");
  std::string lark = Install(bin, 5, "Larkspur", "lkupdate.exe");

  PutValue(1, "Heron Sync", "\"" + heron + "\" /background");
  // The 32-bit view of 64-bit Windows; on 32-bit Windows the machine's own Run key.
  PutValue(RunningOnWow64 ? 21 : 1, "Maple Print Monitor", maple);
  PutValue(11, "Quill Notes", "\"" + quill + "\" -tray");
  PutValue(11, "Larkspur Updater", "\"" + lark + "\" /quiet");
  if (!ToggleStartupItem("Larkspur Updater", "", "", 11)) printf("demo: could not disable Larkspur Updater\n");
  else printf("demo: Larkspur Updater disabled\n");
  PutValue(12, "Larkspur Finish Setup", "\"" + lark + "\" /finish-setup");

  std::string link = SpecialFolder(CSIDL_STARTUP) + "\\Pinecone Clock.lnk";
  if (CreateShortcut(link.c_str(), clock.c_str(), "/compact", "Pinecone Clock")) printf("demo: shortcut %s\n", link.c_str());
  else printf("demo: could not make %s\n", link.c_str());

  PutService("HeronSyncService", "Heron Sync Service", "\"" + heron + "\" /service", SERVICE_DEMAND_START,
             "Keeps the Heron Sync folders in step with the cloud.");
  PutService("MaplePrintSpooler", "Maple Print Spooler Helper", "\"" + maple + "\" /spooler", SERVICE_DISABLED,
             "Hands print jobs to Maple printers.");
  PutTask(L"Larkspur Update Check", lark, L"/check", 1, 9, 30);
  PutTask(L"Quill Notes Backup", quill, L"/backup", 7, 22, 15);
  CoUninitialize();
  return 0;
}
