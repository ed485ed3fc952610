// Times the service, active-task and scheduled-task listings as a page fills them: the enumeration,
// then the facts each row shows (company, size) and, for services, the state. Counts the program files
// read, which must stay at one per distinct file found ("named" counts the distinct files the rows name,
// missing ones included). Then the real page fill of each (listing, row texts, icons, kept keys into a
// list view), with the version resources it reads.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <mstask.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "areas/processes.h"
#include "areas/program_facts.h"
#include "areas/services.h"
#include "areas/tasks.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "tools/bench/call_counter.h"
#include "ui/list_view.h"
#include "ui/pages/active_tasks_page.h"
#include "ui/pages/scheduled_tasks_page.h"
#include "ui/pages/services_page.h"

namespace {

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return 1000.0 * (double)t.QuadPart / (double)f.QuadPart;
}

int DistinctPrograms() {
  ForgetProgramFacts();  // the table stays; only the kept facts go
  int distinct = 0;
  for (int i = 0; i < StartupItemCount; ++i) {
    char program[260];
    ExeFromCommand(StartupItemTable[i]->fileName, program);
    int first = 0;
    ProgramFactsOf(program, 0, &first);
    distinct += first;
  }
  return distinct;
}

// Runs the listing and then the page's per-row work `rounds` times; prints the best and mean time of
// each part, the rows, and the version resources read by the last round.
void Measure(const char* label, int rounds, int (*enumerate)(), void (*rows)(int count)) {
  double bestList = 1e12, bestRows = 1e12, totalList = 0, totalRows = 0;
  int count = 0, reads = 0;
  for (int r = 0; r < rounds; ++r) {
    int before = ProgramFactsReads;
    double start = Now();
    count = enumerate();
    double listed = Now();
    rows(count);
    double done = Now();
    reads = ProgramFactsReads - before;
    totalList += listed - start;
    totalRows += done - listed;
    if (listed - start < bestList) bestList = listed - start;
    if (done - listed < bestRows) bestRows = done - listed;
  }
  int distinct = DistinctPrograms();
  printf("%-36s %4d rows, %3d files read (%3d named); listing best %6.1f mean %6.1f ms, rows best %6.1f mean %6.1f ms\n",
         label, count, reads, distinct, bestList, totalList / rounds, bestRows, totalRows / rounds);
}

int versionReads = 0;
DWORD(WINAPI* realVersionSize)(LPCSTR, LPDWORD) = nullptr;
DWORD WINAPI CountedVersionSize(LPCSTR file, LPDWORD handle) {
  ++versionReads;
  return realVersionSize(file, handle);
}

// The page's own fill into a list view of a hidden window, `rounds` times; the version resources read
// by the last round.
void MeasurePage(const char* label, int rounds, int (*fill)(HWND page), const PageList* pageList) {
  HWND frame = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 780, 560, frame,
                              (HMENU)1000, nullptr, nullptr);
  AddListColumns(list, pageList);
  double best = 1e12, total = 0;
  int rows = 0, versions = 0;
  for (int r = 0; r < rounds; ++r) {
    versionReads = 0;
    double start = Now();
    rows = fill(frame);
    double done = Now();
    versions = versionReads;
    total += done - start;
    if (done - start < best) best = done - start;
  }
  printf("%-36s %4d rows, %3d versions read; page fill  best %6.1f mean %6.1f ms\n", label, rows, versions, best,
         total / rounds);
  DestroyWindow(frame);
}

void ServiceRows(int count) {
  for (int i = 0; i < count; ++i) {
    char program[260], state[256];
    ExeFromCommand(StartupItemTable[i]->fileName, program);
    ProgramFactsOf(program, 0);
    GetServiceStateText(StartupItemTable[i]->title, state);
  }
}

void ActiveTaskRows(int count) {
  for (int i = 0; i < count; ++i) {
    char program[260];
    ExeFromCommand(StartupItemTable[i]->fileName, program);
    ProgramFactsOf(program, 1);
  }
}

void TaskRows(int count) {
  for (int i = 0; i < count; ++i) {
    char program[260];
    ExeFromCommand(StartupItemTable[i]->fileName, program);
    ProgramFactsOf(program, 0);
  }
}

const GUID kClsidTaskScheduler = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTaskScheduler = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kClsidTask = {0x148BD520, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTask = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

std::wstring BenchTaskName(int i) { return L"VxBench task " + std::to_wstring(i); }

// Work items for the task benchmark, all running this program (so one distinct file); removed after.
void MakeTasks(ITaskScheduler* scheduler, int count, const wchar_t* program) {
  for (int i = 0; i < count; ++i) {
    ITask* task = nullptr;
    if (FAILED(scheduler->NewWorkItem(BenchTaskName(i).c_str(), kClsidTask, kIidTask, (IUnknown**)&task))) continue;
    task->SetApplicationName(program);
    IPersistFile* file = nullptr;
    if (SUCCEEDED(task->QueryInterface(IID_IPersistFile, (void**)&file))) {
      file->Save(nullptr, TRUE);
      file->Release();
    }
    task->Release();
  }
}

void RemoveTasks(ITaskScheduler* scheduler, int count) {
  for (int i = 0; i < count; ++i)
    for (int attempt = 0; attempt < 20 && scheduler->Delete(BenchTaskName(i).c_str()) == (HRESULT)0x80070020; ++attempt)
      Sleep(50);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  if (rounds < 1) rounds = 1;
  AppInstance = GetModuleHandleA(nullptr);
  StartupInit();
  printf("%s Windows\n", RunningOnWow64 ? "64-bit (WoW64)" : "32-bit");
  InitCommonControls();
  realVersionSize = (DWORD(WINAPI*)(LPCSTR, LPDWORD))RedirectImport("version.dll", "GetFileVersionInfoSizeA",
                                                                    (void*)CountedVersionSize);

  OptionSet[OPT_HideMicrosoftServices] = 0;
  Measure("services, all", rounds, EnumerateServices, ServiceRows);
  MeasurePage("services, all", rounds, FillServicesList, &kServicesList);
  OptionSet[OPT_HideMicrosoftServices] = 1;
  Measure("services, non-Microsoft only", rounds, EnumerateServices, ServiceRows);
  MeasurePage("services, non-Microsoft only", rounds, FillServicesList, &kServicesList);

  OptionSet[OPT_ShowAllFiles] = 0;
  Measure("active tasks, programs", rounds, EnumerateActiveTasks, ActiveTaskRows);
  MeasurePage("active tasks, programs", rounds, FillActiveTasksList, &kActiveTasksList);
  OptionSet[OPT_ShowAllFiles] = 1;
  Measure("active tasks, all files", rounds, EnumerateActiveTasks, ActiveTaskRows);
  MeasurePage("active tasks, all files", rounds, FillActiveTasksList, &kActiveTasksList);

  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  CoInitialize(nullptr);
  ITaskScheduler* scheduler = nullptr;
  if (SUCCEEDED(CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler,
                                 (void**)&scheduler))) {
    const int sizes[] = {10, 100};
    int made = 0;
    for (int size : sizes) {
      MakeTasks(scheduler, size, self);
      made = size;
      char label[64];
      snprintf(label, sizeof label, "scheduled tasks, %d work items", size);
      Measure(label, rounds, EnumerateScheduledTasks, TaskRows);
      MeasurePage(label, rounds, FillScheduledTasksList, &kScheduledTasksList);
    }
    RemoveTasks(scheduler, made);
    scheduler->Release();
  }
  CoUninitialize();
  ClearStartupItems();
  return 0;
}
