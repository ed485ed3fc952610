#include "areas/services.h"

#include <string.h>

#include "areas/program_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/history.h"
#include "startup/items.h"

namespace {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";

struct ScHandle {
  SC_HANDLE h;
  explicit ScHandle(SC_HANDLE handle) : h(handle) {}
  ~ScHandle() {
    if (h) CloseServiceHandle(h);
  }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
};

// The services key is the same in both registry views; it is read with the plain masks whatever view
// the rest of the program has selected.
typedef DefaultRegView PlainMasks;

void KeyPath(const char* keyName, const char* below, char* out, size_t cap) {
  if (below) {
    FormatText(out, cap, "%s\\%s\\%s", kServicesKey, keyName, below);
  } else {
    FormatText(out, cap, "%s\\%s", kServicesKey, keyName);
  }
}

// Calls `visit` with every service key name until it answers 0.
typedef int (*KeyVisitor)(const char* keyName, void* context);
void WalkServiceKeys(KeyVisitor visit, void* context) {
  HKEY key = RegOpenForReading(HKEY_LOCAL_MACHINE, kServicesKey);
  if (!key) return;
  DWORD count = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS)
    count = 0;
  // A key added or removed meanwhile must not make the walk run on for ever.
  for (DWORD index = 0; index <= count; ++index) {
    char name[256];
    LONG rc = RegSubkeyAt(key, index, name, sizeof name);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || !name[0]) continue;
    if (!visit(name, context)) break;
  }
  RegCloseKey(key);
}

int ReadImagePath(const char* keyName, char* out) {  // out: 512
  char path[300];
  KeyPath(keyName, nullptr, path, sizeof path);
  return RegReadString(HKEY_LOCAL_MACHINE, path, "ImagePath", out, 512) > 0;
}

// The shared host's ServiceDll of a service, empty when it has none (out: 512).
void ReadServiceDll(const char* keyName, char* out) {
  char path[320];
  KeyPath(keyName, "Parameters", path, sizeof path);
  RegReadString(HKEY_LOCAL_MACHINE, path, "ServiceDll", out, 512);
}

int ReadDescription(const char* keyName, char* out, size_t cap) {
  char path[300];
  KeyPath(keyName, nullptr, path, sizeof path);
  // Read whole, whatever its size: a description longer than a fixed buffer is shown cut, not lost.
  RegValueCopy value;
  if (!RegReadWhole(HKEY_LOCAL_MACHINE, path, "Description", &value) || !value.size ||
      (value.type != REG_SZ && value.type != REG_EXPAND_SZ)) {
    out[0] = 0;
    return 0;
  }
  return (int)CopyText(out, cap, (const char*)value.data);
}

struct StartType {
  DWORD start;
  DWORD delayed;  // 0xFFFFFFFF: the key has no DelayedAutostart value
};

StartType ReadStartType(const char* keyName) {
  char path[300];
  KeyPath(keyName, nullptr, path, sizeof path);
  return StartType{RegProbeDword(HKEY_LOCAL_MACHINE, path, "Start"),
                   RegProbeDword(HKEY_LOCAL_MACHINE, path, "DelayedAutostart")};
}

int StartTypeText(StartType type, char* out) {  // out: 128
  UINT id = type.start == 2 ? (type.delayed == 1 ? 672 : 664) : type.start == 3 ? 665 : type.start == 4 ? 666 : 0;
  out[0] = 0;
  return id ? LoadText(id, out, 128) : 0;
}

int DisplayNameWith(SC_HANDLE manager, const char* keyName, char* out, size_t capacity) {
  if (!manager || capacity == 0) return 0;
  char name[4096];
  DWORD length = sizeof name;
  // Wine leaves the length unchanged on success; the text is measured instead.
  if (!GetServiceDisplayNameA(manager, keyName, name, &length) || !name[0]) return 0;
  CopyText(out, capacity, name);
  return 1;
}

// Title of a service as the list shows it: the service manager's display name, else DisplayName,
// else the key name (out: 257).
void ServiceTitle(SC_HANDLE manager, const char* keyName, char* out) {
  if (DisplayNameWith(manager, keyName, out, 257)) return;
  char path[300];
  KeyPath(keyName, nullptr, path, sizeof path);
  if (RegReadString(HKEY_LOCAL_MACHINE, path, "DisplayName", out, 257) > 0) return;
  CopyText(out, 257, keyName);
}

int KeyNameWith(SC_HANDLE manager, const char* displayName, char* out) {  // out: 256
  if (!manager || !displayName || !displayName[0]) return 0;
  DWORD length = 256;
  out[0] = 0;
  return GetServiceKeyNameA(manager, displayName, out, &length) && out[0];
}

// A display name, else a key name: a row keeps its service's key name, as its title may be cut or
// retitled and then names no service.
SC_HANDLE OpenByDisplayName(const char* displayName, DWORD access) {
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
  char keyName[256];
  if (KeyNameWith(manager.h, displayName, keyName)) return OpenServiceA(manager.h, keyName, access);
  if (!manager.h || !displayName || !displayName[0]) return nullptr;
  return OpenServiceA(manager.h, displayName, access);
}

// QueryServiceStatusEx is looked up at run time (Windows 2000 and later); the plain query gives the
// same type and state on older systems.
int QueryStatus(SC_HANDLE service, DWORD* type, DWORD* state) {
  typedef BOOL(WINAPI * QueryEx)(SC_HANDLE, SC_STATUS_TYPE, LPBYTE, DWORD, LPDWORD);
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  QueryEx queryEx = advapi ? (QueryEx)(void*)GetProcAddress(advapi, "QueryServiceStatusEx") : nullptr;
  if (queryEx) {
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!queryEx(service, SC_STATUS_PROCESS_INFO, (LPBYTE)&status, sizeof status, &needed)) return 0;
    *type = status.dwServiceType;
    *state = status.dwCurrentState;
    return 1;
  }
  SERVICE_STATUS status = {};
  if (!QueryServiceStatus(service, &status)) return 0;
  *type = status.dwServiceType;
  *state = status.dwCurrentState;
  return 1;
}

struct TitleSearch {
  const char* title;
  char keyName[256];
};

int MatchDisplayValue(const char* keyName, void* context) {
  TitleSearch* search = (TitleSearch*)context;
  char path[300];
  KeyPath(keyName, nullptr, path, sizeof path);
  char image[512];
  if (!ReadImagePath(keyName, image)) return 1;
  char display[512];
  RegReadString(HKEY_LOCAL_MACHINE, path, "DisplayName", display, sizeof display);
  // A key without a display name is listed under its own name.
  if (lstrcmpiA(display, search->title) != 0 && lstrcmpiA(keyName, search->title) != 0) return 1;
  CopyText(search->keyName, keyName);
  return 0;
}

// The key name of the service a title names: the service manager resolves display names that the
// registry holds only as "@file,-id" references; the DisplayName values are the fallback for keys
// the service manager does not know. Only an existing key is answered.
int ResolveServiceKey(const char* title, char* keyName) {  // keyName: 256
  keyName[0] = 0;
  if (!title || !title[0]) return 0;
  {
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
    if (KeyNameWith(manager.h, title, keyName)) {
      char path[300];
      KeyPath(keyName, nullptr, path, sizeof path);
      HKEY key = RegOpenForReading(HKEY_LOCAL_MACHINE, path);
      if (key) {
        RegCloseKey(key);
        return 1;
      }
    }
  }
  TitleSearch search = {title, ""};
  WalkServiceKeys(MatchDisplayValue, &search);
  CopyText(keyName, 256, search.keyName);
  return keyName[0] != 0;
}

// ChangeServiceConfig2A is looked up at run time (Windows 2000 and later; the delayed start needs
// Vista). Wine refuses this level; the registry value written afterwards still holds the choice.
void ChangeDelayedStart(SC_HANDLE service, DWORD delayed) {
  typedef BOOL(WINAPI * Change2)(SC_HANDLE, DWORD, LPVOID);
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  Change2 change = advapi ? (Change2)(void*)GetProcAddress(advapi, "ChangeServiceConfig2A") : nullptr;
  if (!change) return;
  SERVICE_DELAYED_AUTO_START_INFO info = {delayed ? TRUE : FALSE};
  change(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info);
}

int SetStartTypeOfKey(const char* keyName, DWORD start, DWORD delayed) {
  char path[300];
  KeyPath(keyName, nullptr, path, sizeof path);
  int keepsDelayed = RegProbeDword(HKEY_LOCAL_MACHINE, path, "DelayedAutostart") != 0xFFFFFFFF;
  int changed = 0;
  {
    // The service manager first: it rewrites the key from what it holds when its configuration
    // changes, so the registry values are written after it.
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle service(manager.h ? OpenServiceA(manager.h, keyName, SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG)
                               : nullptr);
    if (service.h) {
      if (ChangeServiceConfigA(service.h, SERVICE_NO_CHANGE, start, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr))
        changed = 1;
      if (keepsDelayed) ChangeDelayedStart(service.h, delayed);
    }
  }
  if (RegWriteDword(HKEY_LOCAL_MACHINE, path, "Start", &start)) changed = 1;
  if (keepsDelayed) RegWriteDword(HKEY_LOCAL_MACHINE, path, "DelayedAutostart", &delayed);
  return changed;
}

struct Choice {
  DWORD start, delayed;
  UINT text;
  int action;  // the new start type's history action
};
const Choice kChoices[kServiceStartChoices] = {
    {2, 0, 664, 10},  // "Automatic", SERVICE_Automatic
    {3, 0, 665, 11},  // "Manual", SERVICE_Manual
    {4, 0, 666, 12},  // "Disabled", SERVICE_Disabled
    {2, 1, 672, 10},  // "Automatic (Delayed Start)": no token of its own, so SERVICE_Automatic
};

// The history action for the start type a service leaves, 0 for types outside the choices.
int PreviousAction(StartType type) {
  switch (type.start) {
    case 2: return type.delayed == 1 ? 20 : 17;  // SERVICE__from_AutomaticDelayed / SERVICE_from_Automatic
    case 3: return 18;                            // SERVICE_from_Manual
    case 4: return 19;                            // SERVICE_from_Disabled
    default: return 0;
  }
}

struct Listing {
  SC_HANDLE manager;
  int hideMicrosoft;
};

int ListService(const char* keyName, void* context) {
  const Listing* listing = (const Listing*)context;
  char image[512];
  if (!ReadImagePath(keyName, image)) return 1;
  // Kernel drivers (.sys) and anything else that is not a program are not listed.
  int hosted = ContainsNoCase(image, "svchost");
  if (!hosted && !ContainsNoCase(image, ".exe")) return 1;

  char program[512];
  CopyText(program, image);
  if (hosted) {
    char dll[512];
    ReadServiceDll(keyName, dll);
    if (dll[0]) CopyText(program, dll);
  }
  if (listing->hideMicrosoft) {
    char resolved[260];
    ExeFromCommand(program, resolved);
    if (ContainsNoCase(ProgramFactsOf(resolved, 0)->company, "Microsoft")) return 1;
    CopyText(program, resolved);
  }

  char title[257];
  ServiceTitle(listing->manager, keyName, title);
  char startText[128];
  StartTypeText(ReadStartType(keyName), startText);
  static char description[1024];
  ReadDescription(keyName, description, sizeof description);
  char file[260];
  CopyText(file, program);
  if (AddStartupItem(title, file, startText, description, hosted ? kServiceHostCode : kServiceExeCode, 0))
    SetItemValueName(StartupItemCount - 1, keyName);
  return 1;
}

struct ProgramSearch {
  char target[260];
  int useServiceDll;  // compare the host's ServiceDll instead of svchost.exe
  int runningOnly;
  SC_HANDLE manager;
  char keyName[256];
};

int MatchProgram(const char* keyName, void* context) {
  ProgramSearch* search = (ProgramSearch*)context;
  char program[512];
  if (!ReadImagePath(keyName, program)) return 1;
  if (search->useServiceDll && ContainsNoCase(program, "svchost.exe")) {
    char dll[512];
    ReadServiceDll(keyName, dll);
    if (dll[0]) CopyText(program, dll);
  }
  char resolved[260];
  ExeFromCommand(program, resolved);
  if (!resolved[0] || lstrcmpiA(resolved, search->target) != 0) return 1;
  if (search->runningOnly) {
    ScHandle service(search->manager ? OpenServiceA(search->manager, keyName, SERVICE_QUERY_STATUS) : nullptr);
    DWORD type = 0, state = 0;
    if (!service.h || !QueryStatus(service.h, &type, &state) || state == SERVICE_STOPPED) return 1;
  }
  CopyText(search->keyName, keyName);
  return 0;
}

}  // namespace

int EnumerateServices() {
  PlainMasks masks;
  ClearStartupItems();
  ForgetProgramFacts();
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
  Listing listing = {manager.h, OptionSet[OPT_HideMicrosoftServices] != 0};
  WalkServiceKeys(ListService, &listing);
  return StartupItemCount;
}

int GetServiceDisplayText(const char* keyName, char* out, size_t capacity) {
  if (capacity) out[0] = 0;
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
  return DisplayNameWith(manager.h, keyName, out, capacity);
}

DWORD QueryServiceStateWord(const char* displayName) {
  ScHandle service(OpenByDisplayName(displayName, GENERIC_READ));
  DWORD type = 0, state = 0;
  if (!service.h || !QueryStatus(service.h, &type, &state)) return 0;
  return (state << 16) | (type & 0xFFFF);
}

DWORD GetServiceStateText(const char* displayName, char* out) {
  DWORD word = QueryServiceStateWord(displayName);
  DWORD state = word >> 16;
  LoadText(state >= 1 && state <= 7 ? 651 + state : 652, out, 256);
  return word;
}

DWORD InterrogateService(const char* displayName) {
  ScHandle service(OpenByDisplayName(displayName, GENERIC_READ));
  SERVICE_STATUS status = {};
  if (!service.h || !ControlService(service.h, SERVICE_CONTROL_INTERROGATE, &status)) return 0;
  return status.dwControlsAccepted;
}

int ControlServiceByTitle(const char* displayName, DWORD control) {
  // Only the right the control needs: a user may be allowed to stop a service without owning it.
  DWORD access = control == SERVICE_CONTROL_STOP                                          ? SERVICE_STOP
                 : control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE ? SERVICE_PAUSE_CONTINUE
                 : control == SERVICE_CONTROL_INTERROGATE                                  ? SERVICE_INTERROGATE
                 : control >= 128 && control <= 255 ? SERVICE_USER_DEFINED_CONTROL
                                                    : SERVICE_ALL_ACCESS;
  ScHandle service(OpenByDisplayName(displayName, access));
  SERVICE_STATUS status = {};
  return service.h && ControlService(service.h, control, &status) ? 1 : 0;
}

int SetServiceStartType(const char* title, DWORD start, DWORD delayed) {
  PlainMasks masks;
  char keyName[256];
  if (!ResolveServiceKey(title, keyName)) return 0;
  return SetStartTypeOfKey(keyName, start, delayed);
}

int ServiceStartChoiceText(int choice, char* out) {
  out[0] = 0;
  if (choice < 0 || choice >= kServiceStartChoices) return 0;
  return LoadText(kChoices[choice].text, out, 128);
}

int ReadServiceStartText(const char* service, char* out) {
  PlainMasks masks;
  out[0] = 0;
  char keyName[256];
  if (!ResolveServiceKey(service, keyName)) return 0;
  StartTypeText(ReadStartType(keyName), out);
  return 1;
}

int ApplyServiceStartChoice(const char* service, const char* title, const char* file, int location, int choice) {
  if (choice < 0 || choice >= kServiceStartChoices) return 0;
  PlainMasks masks;
  char keyName[256];
  if (!ResolveServiceKey(service, keyName)) return 0;
  const Choice& wanted = kChoices[choice];
  StartType before = ReadStartType(keyName);
  int keepsDelayed = before.delayed != 0xFFFFFFFF;
  // Without a DelayedAutostart value only Start changes, so the delayed choice is plain Automatic there.
  if (before.start == wanted.start && (wanted.start != 2 || !keepsDelayed || (before.delayed == 1) == (wanted.delayed == 1)))
    return 1;
  char beforeText[128];
  StartTypeText(before, beforeText);
  if (!SetStartTypeOfKey(keyName, wanted.start, wanted.delayed)) return 0;
  char afterText[128];
  StartTypeText(ReadStartType(keyName), afterText);
  int previous = PreviousAction(before);
  if (previous) RecordHistoryEvent(title, file, beforeText, location, previous);
  RecordHistoryEvent(title, file, afterText, location, wanted.action);
  return 1;
}

int StopServiceItem(const char* service, const char* title, const char* file, int location) {
  if (!ControlServiceByTitle(service, SERVICE_CONTROL_STOP)) return 0;
  RecordHistoryEvent(title, file, "", location, 9);  // SERVICE_Stop
  return 1;
}

int FindServiceDescriptionByFile(const char* file, char* out) {
  out[0] = 0;
  PlainMasks masks;
  ProgramSearch search = {};
  ExeFromCommand(file, search.target);
  if (!search.target[0]) return 0;
  search.useServiceDll = 1;
  WalkServiceKeys(MatchProgram, &search);
  if (!search.keyName[0]) return 0;
  return ReadDescription(search.keyName, out, 1024);
}

int FindRunningServiceByProgram(const char* file, char* out) {
  out[0] = 0;
  PlainMasks masks;
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
  ProgramSearch search = {};
  ExeFromCommand(file, search.target);
  if (!search.target[0] || !manager.h) return 0;
  search.runningOnly = 1;
  search.manager = manager.h;
  WalkServiceKeys(MatchProgram, &search);
  if (!search.keyName[0]) return 0;
  ServiceTitle(manager.h, search.keyName, out);
  return 1;
}
