#include "areas/processes.h"

#include <string.h>
#include <tlhelp32.h>
#include <vdmdbg.h>

#include "areas/program_facts.h"
#include "areas/services.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/history.h"
#include "records/net_reports.h"
#include "startup/items.h"

namespace {

typedef BOOL(WINAPI* EnumProcessesFn)(DWORD*, DWORD, DWORD*);
typedef BOOL(WINAPI* EnumModulesFn)(HANDLE, HMODULE*, DWORD, DWORD*);
typedef DWORD(WINAPI* ModuleNameFn)(HANDLE, HMODULE, LPSTR, DWORD);
typedef BOOL(WINAPI* ImageNameFn)(HANDLE, DWORD, LPSTR, PDWORD);
typedef INT(WINAPI* EnumVdmTasksFn)(DWORD, TASKENUMPROCEX, LPARAM);
typedef HANDLE(WINAPI* SnapshotFn)(DWORD, DWORD);
typedef BOOL(WINAPI* ProcessStepFn)(HANDLE, PROCESSENTRY32*);

// The process-status functions, looked up at run time: Windows NT 4 installs PSAPI.DLL only with its
// resource kit, and Windows 9x has none.
struct Psapi {
  HMODULE library = LoadLibraryA("PSAPI.DLL");
  EnumProcessesFn enumProcesses = nullptr;
  EnumModulesFn enumModules = nullptr;
  ModuleNameFn moduleName = nullptr;
  Psapi() {
    if (!library) return;
    enumProcesses = (EnumProcessesFn)(void*)GetProcAddress(library, "EnumProcesses");
    enumModules = (EnumModulesFn)(void*)GetProcAddress(library, "EnumProcessModules");
    moduleName = (ModuleNameFn)(void*)GetProcAddress(library, "GetModuleFileNameExA");
  }
  ~Psapi() {
    if (library) FreeLibrary(library);
  }
  Psapi(const Psapi&) = delete;
  Psapi& operator=(const Psapi&) = delete;
  bool Ready() const { return enumProcesses && enumModules && moduleName; }
};

// The main image of a process whose modules cannot be read: a 64-bit process seen from this 32-bit
// program, or one opened only for limited queries (Vista and later).
int ImageNameOf(HANDLE process, char* out) {  // out: 260
  static ImageNameFn imageName = (ImageNameFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                                      "QueryFullProcessImageNameA");
  out[0] = 0;
  DWORD size = 260;
  if (!imageName || !imageName(process, 0, out, &size)) {
    out[0] = 0;
    return 0;
  }
  return 1;
}

// The ids of all processes in a heap array grown until it holds them all (free with HeapFree).
DWORD* ProcessIds(const Psapi& psapi, DWORD* count) {
  *count = 0;
  for (DWORD bytes = 1024; bytes <= (1u << 22); bytes *= 2) {
    DWORD* ids = (DWORD*)HeapAlloc(GetProcessHeap(), 0, bytes);
    if (!ids) return nullptr;
    DWORD returned = 0;
    if (!psapi.enumProcesses(ids, bytes, &returned)) {
      HeapFree(GetProcessHeap(), 0, ids);
      return nullptr;
    }
    if (returned < bytes) {
      *count = returned / sizeof(DWORD);
      return ids;
    }
    HeapFree(GetProcessHeap(), 0, ids);
  }
  return nullptr;
}

// 64-bit Windows: every module of every process this program can read (only .exe names unless
// ShowAllFiles is on); a 64-bit process, whose modules a 32-bit program cannot read, by its image.
int WalkEveryModule(const Psapi& psapi, ProcessVisitor visit, void* context) {
  DWORD count = 0;
  DWORD* ids = ProcessIds(psapi, &count);
  if (!ids) return 0;
  int all = OptionSet[OPT_ShowAllFiles] != 0;
  static HMODULE modules[1024];
  int go = 1;
  for (DWORD i = 0; i < count && go; ++i) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
    if (!process) continue;
    char name[260];
    DWORD needed = 0;
    if (psapi.enumModules(process, modules, sizeof modules, &needed)) {
      DWORD n = needed / sizeof(HMODULE);
      if (n > 1024) n = 1024;
      for (DWORD m = 0; m < n && go; ++m) {
        if (!psapi.moduleName(process, modules[m], name, sizeof name)) continue;
        name[sizeof name - 1] = 0;
        if (all || ContainsNoCase(name, "exe")) go = visit(ids[i], 0, name, context);
      }
    } else if (ImageNameOf(process, name)) {
      go = visit(ids[i], 0, name, context);
    }
    CloseHandle(process);
  }
  HeapFree(GetProcessHeap(), 0, ids);
  return 1;
}

struct VdmWalk {
  DWORD processId;
  ProcessVisitor visit;
  void* context;
  int go;
};

BOOL WINAPI VisitVdmTask(DWORD, WORD, WORD task, PSZ, PSZ fileName, LPARAM param) {
  VdmWalk* walk = (VdmWalk*)param;
  walk->go = walk->visit(walk->processId, task, fileName ? fileName : "", walk->context);
  return walk->go ? FALSE : TRUE;  // TRUE ends the task enumeration
}

int EndsWithNoCase(const char* text, const char* ending) {
  size_t n = strlen(text), e = strlen(ending);
  return n >= e && lstrcmpiA(text + n - e, ending) == 0;
}

// The program file of a process on the NT family: its first module, else its image name.
void NtProcessFile(const Psapi& psapi, DWORD id, char* name) {  // name: 260
  name[0] = 0;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (process) {
    HMODULE first = nullptr;
    DWORD needed = 0;
    if (psapi.enumModules(process, &first, sizeof first, &needed) && psapi.moduleName(process, first, name, 260)) {
      name[259] = 0;
    } else {
      ImageNameOf(process, name);
    }
    CloseHandle(process);
    return;
  }
  process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process) {
    ImageNameOf(process, name);
    CloseHandle(process);
  }
}

// Windows NT: each process by its first module, and the 16-bit tasks inside each NTVDM. VDMDBG.DLL
// is needed only for the tasks: without it the processes are still walked.
int WalkNtProcesses(const Psapi& psapi, ProcessVisitor visit, void* context) {
  DWORD count = 0;
  DWORD* ids = ProcessIds(psapi, &count);
  if (!ids) return 0;
  HMODULE vdm = LoadLibraryA("VDMDBG.DLL");
  EnumVdmTasksFn enumTasks = vdm ? (EnumVdmTasksFn)(void*)GetProcAddress(vdm, "VDMEnumTaskWOWEx") : nullptr;
  for (DWORD i = 0; i < count; ++i) {
    char name[260];
    NtProcessFile(psapi, ids[i], name);
    if (!visit(ids[i], 0, name, context)) break;
    if (enumTasks && EndsWithNoCase(name, "NTVDM.EXE")) {
      VdmWalk walk = {ids[i], visit, context, 1};
      enumTasks(ids[i], VisitVdmTask, (LPARAM)&walk);
      if (!walk.go) break;
    }
  }
  if (vdm) FreeLibrary(vdm);
  HeapFree(GetProcessHeap(), 0, ids);
  return 1;
}

// Windows 9x: the tool-help snapshot (looked up at run time, as NT 4 lacks it).
int WalkSnapshot(ProcessVisitor visit, void* context) {
  HMODULE kernel = LoadLibraryA("Kernel32.DLL");
  if (!kernel) return 0;
  SnapshotFn snapshot = (SnapshotFn)(void*)GetProcAddress(kernel, "CreateToolhelp32Snapshot");
  ProcessStepFn first = (ProcessStepFn)(void*)GetProcAddress(kernel, "Process32First");
  ProcessStepFn next = (ProcessStepFn)(void*)GetProcAddress(kernel, "Process32Next");
  HANDLE list = snapshot && first && next ? snapshot(TH32CS_SNAPPROCESS, 0) : INVALID_HANDLE_VALUE;
  if (list == INVALID_HANDLE_VALUE) {
    FreeLibrary(kernel);
    return 0;
  }
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = first(list, &entry); more; more = next(list, &entry)) {
    entry.szExeFile[sizeof entry.szExeFile - 1] = 0;
    if (!visit(entry.th32ProcessID, 0, entry.szExeFile, context)) break;
  }
  CloseHandle(list);
  FreeLibrary(kernel);
  return 1;
}

int AddActiveTask(DWORD processId, WORD, const char* fileName, void*) {
  if (!fileName || !fileName[0]) return 1;
  char path[260];
  ExeFromCommand(fileName, path);
  if (!path[0]) return 1;
  // The facts were dropped when the listing began, so a path asked for the first time is not listed yet.
  int firstTime = 0;
  const ProgramFacts* facts = ProgramFactsOf(path, 0, &firstTime);
  if (!firstTime) return 1;
  char title[128], none[1] = "", noDescription[1] = "";
  CopyText(title, facts->description);
  AddStartupItem(title, path, none, noDescription, kActiveTaskCode, (int)processId);
  return 1;
}

// A program file as the matching compares it: ExeFromCommand's form, and its long form.
struct ProgramName {
  char reduced[260];
  char longForm[260];
};

void NameOfProgram(const char* file, ProgramName* out) {
  ExeFromCommand(file, out->reduced);
  LongPathOf(out->longForm, out->reduced);
}

int SameProgram(const char* processFile, const ProgramName& wanted) {
  char reduced[260];
  ExeFromCommand(processFile, reduced);
  if (!reduced[0]) return 0;
  if (lstrcmpiA(reduced, wanted.reduced) == 0 || lstrcmpiA(reduced, wanted.longForm) == 0) return 1;
  // A short (8.3) form only matches once made long; long names are compared without the file system.
  if (strchr(reduced, '~')) {
    char longForm[260];
    LongPathOf(longForm, reduced);
    if (lstrcmpiA(longForm, wanted.reduced) == 0 || lstrcmpiA(longForm, wanted.longForm) == 0) return 1;
  }
  // A bare file name matches that name in any folder.
  char name[260];
  return FileNameOf(processFile, name) && lstrcmpiA(name, wanted.reduced) == 0;
}

struct Search {
  ProgramName wanted;
  DWORD skip;       // a process never matched (this program's own)
  int programOnly;  // only a process whose own program is the file, never one that merely loaded it
  DWORD found;
};

int MatchProcess(DWORD processId, WORD, const char* fileName, void* context) {
  Search* search = (Search*)context;
  if (processId == search->skip || !fileName || !fileName[0] || !SameProgram(fileName, search->wanted)) return 1;
  // The walk of 64-bit Windows with all files shown meets every module: a library that many processes
  // load would otherwise name whichever of them comes first.
  char program[260];
  if (search->programOnly && !(ProcessFileOf(processId, program) && SameProgram(program, search->wanted))) return 1;
  search->found = processId;
  return 0;
}

// Whether the walk still reports `wanted` for that process: its program, or on 64-bit Windows with
// all files shown, one of its modules.
int ProcessHasFile(DWORD processId, const ProgramName& wanted) {
  struct Look {
    DWORD processId;
    const ProgramName* wanted;
    int found;
  } look = {processId, &wanted, 0};
  RedirectionOff redirection;
  EnumerateProcesses(
      [](DWORD id, WORD, const char* name, void* context) {
        Look* l = (Look*)context;
        if (id != l->processId || !name || !name[0] || !SameProgram(name, *l->wanted)) return 1;
        l->found = 1;
        return 0;
      },
      &look);
  return look.found;
}

DWORD FindProcess(const char* file, DWORD skip, int programOnly) {
  Search search = {};
  NameOfProgram(file ? file : "", &search.wanted);
  if (!search.wanted.reduced[0]) return 0;
  search.skip = skip;
  search.programOnly = programOnly;
  RedirectionOff redirection;
  EnumerateProcesses(MatchProcess, &search);
  return search.found;
}

int AskToEnd(const char* file, const char* title) {
  char pattern[1024];
  LoadText(707, pattern, sizeof pattern);
  char text[772];
  FillTemplate(text, sizeof text, pattern, title && title[0] ? title : file);
  return MessageBoxExA(MainWindow, text, ApplicationTitle, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST, UiLanguage) ==
         IDYES;
}

// A handle that can end the process and, where the system allows, wait for it and read its state.
HANDLE OpenToEnd(DWORD processId) {
  const DWORD rights[] = {PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, PROCESS_TERMINATE | SYNCHRONIZE,
                          PROCESS_TERMINATE};
  for (DWORD access : rights) {
    HANDLE process = OpenProcess(access, FALSE, processId);
    if (process) return process;
  }
  return nullptr;
}

}  // namespace

int EnumerateProcesses(ProcessVisitor visit, void* context) {
  if (!IsNtPlatform()) return WalkSnapshot(visit, context);
  Psapi psapi;
  if (!psapi.Ready()) return 0;
  return RunningOnWow64 ? WalkEveryModule(psapi, visit, context) : WalkNtProcesses(psapi, visit, context);
}

int EnumerateActiveTasks() {
  ClearStartupItems();
  ForgetProgramFacts();
  // Module paths name the real system folders; with redirection off they are read as such.
  RedirectionOff redirection;
  EnumerateProcesses(AddActiveTask, nullptr);
  return StartupItemCount;
}

int IsProcessRunning(const char* file) { return FindProcess(file, 0, 0) != 0; }

int ProcessFileOf(DWORD processId, char* out) {
  out[0] = 0;
  if (!IsNtPlatform()) {
    struct Lookup {
      DWORD id;
      char* out;
    } lookup = {processId, out};
    WalkSnapshot(
        [](DWORD id, WORD, const char* name, void* context) {
          Lookup* l = (Lookup*)context;
          if (id != l->id) return 1;
          CopyText(l->out, 260, name);
          return 0;
        },
        &lookup);
    return out[0] != 0;
  }
  Psapi psapi;
  if (!psapi.Ready()) return 0;
  NtProcessFile(psapi, processId, out);
  return out[0] != 0;
}

int TerminateProcessById(DWORD processId) {
  HANDLE process = OpenToEnd(processId);
  if (!process) return 0;
  BOOL ended = TerminateProcess(process, 0);
  // Termination completes asynchronously; a caller that walks the processes next should not meet it.
  if (ended) WaitForSingleObject(process, 1000);
  CloseHandle(process);
  return ended ? 1 : 0;
}

DWORD EndProcessByPath(const char* file, const char* title, int ask) {
  RedirectionOff redirection;
  // Never this program itself, which would otherwise match through a module it shares with the file.
  DWORD processId = FindProcess(file, GetCurrentProcessId(), 1);
  if (!processId) return 0;
  if (ask && !AskToEnd(file, title)) return processId;
  HANDLE process = OpenToEnd(processId);
  if (!process) return processId;
  int terminated = TerminateProcess(process, 0) ? 1 : 0;
  if (terminated) WaitForSingleObject(process, 1000);
  CloseHandle(process);

  // A service whose program this is keeps it running (it may run another copy, or the process did
  // not go): stop it through the service manager, addressed by its display name.
  char service[257];
  if (FindRunningServiceByProgram(file, service) && ControlServiceByTitle(service, SERVICE_CONTROL_STOP))
    RecordHistoryEvent(title, file, service, kActiveTaskCode, 9);  // SERVICE_Stop
  if (terminated) {
    char program[260];
    ExeFromCommand(file, program);
    const ProgramFacts* facts = ProgramFactsOf(program, 0);
    char name[260];
    if (facts->product[0]) {
      CopyText(name, facts->product);
    } else if (!FileNameOf(file, name)) {
      CopyText(name, file);
    }
    RecordHistoryEvent(name, file, name, kActiveTaskCode, 5);  // TASK_Kill
  }
  // Notification icons of the ended program go once the taskbar repaints.
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  if (tray) InvalidateRect(tray, nullptr, TRUE);
  return processId;
}

int EndActiveTask(int index) {
  if (index < 0 || index >= StartupItemCount) return 0;
  char title[128], file[260], description[1024];
  GetItemTitle(index, title);
  GetItemFile(index, file);
  GetItemDescription(index, description, sizeof description);
  DWORD processId = (DWORD)GetItemFlag(index);

  int ended = 0;
  // The row's own process, unless its id has meanwhile gone to another program.
  ProgramName wanted;
  NameOfProgram(file, &wanted);
  char running[260];
  int ownProgram = processId && ProcessFileOf(processId, running) && SameProgram(running, wanted);
  // With all files shown on 64-bit Windows a row may name a library: its own process is the one it was
  // met in, while that still has it loaded; the other processes that loaded it are not the row's.
  int library = !ownProgram && !EndsWithNoCase(wanted.reduced, ".exe");
  int own = ownProgram || (library && processId && ProcessHasFile(processId, wanted));
  // Never this program itself (its row, or a library first met in it), as EndProcessByPath never ends it.
  if (processId == GetCurrentProcessId()) own = 0;
  if (own && TerminateProcessById(processId)) {
    ended = 1;
    RecordHistoryEvent(title, file, description, kActiveTaskCode, 5);  // TASK_Kill
  }
  // Other processes of the program, and the service that keeps it running.
  if (!library && EndProcessByPath(file, title, 0)) ended = 1;
  if (ended) ReportRemovalToCloud(title, file);
  return ended;
}
