#include "startup/items.h"

#include <stdlib.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"

StartupItem* StartupItemTable[kMaxItems];
int StartupItemCount = 0;

namespace {

struct LocationEntry {
  int code;
  const char* listToken;
  const char* historyToken;
};

// Every Run-family code has a history token, so that any removed entry can be found again and
// restored from its history line.
const LocationEntry kLocations[] = {
    {1, "HKLM_RUN", "MACHINE_RUN"},
    {2, "HKLM_RUNONCE", "MACHINE_RUNONCE"},
    {3, "HKLM_RUNONCEEX", "MACHINE_RUNONCEEX"},
    {4, "HKLM_RUNSERVICES", "MACHINE_RUNSERVICES"},
    {5, "HKLM_RUNSERVICESONCE", "MACHINE_RUNSERVICESONCE"},
    {6, "HKLM_RUNONCESETUP", "MACHINE_RUNONCESETUP"},
    {7, "HKLM_POLICY", "MACHINE_RUNPOLICY"},
    {11, "HKCU_RUN", "CURRENT_RUN"},
    {12, "HKCU_RUNONCE", "CURRENT_RUNONCE"},
    {13, "HKCU_RUNONCEEX", "CURRENT_RUNONCEEX"},
    {14, "HKCU_RUNSERVICES", "CURRENT_RUNSERVICES"},
    {15, "HKCU_RUNSERVICESONCE", "CURRENT_RUNSERVICESONCE"},
    {16, "HKCU_RUNONCESETUP", "CURRENT_RUNONCESETUP"},
    {17, "HKCU_POLICY", "CURRENT_RUNPOLICY"},
    {21, "x64_RUN", "WOW64_RUN"},
    {22, "x64_RUNONCE", "WOW64_RUNONCE"},
    {23, "x64_RUNONCEEX", "WOW64_RUNONCEEX"},
    {24, "x64_RUNSERVICES", "WOW64_RUNSERVICES"},
    {25, "x64_RUNSERVICESONCE", "WOW64_RUNSERVICESONCE"},
    {26, "x64_RUNONCESETUP", "WOW64_RUNONCESETUP"},
    {27, "x64_POLICY", "WOW64_RUNPOLICY"},
    {31, "RUN_POLICY", "VANDRELIX_RUN"},
    {32, "W_RUNONCE", "VANDRELIX_RUNONCE"},
    {33, "W_RUNONCEEX", "VANDRELIX_RUNONCEEX"},
    {34, "W_RUNSERVICES", "VANDRELIX_RUNSERVICES"},
    {35, "W_RUNSERVICESONCE", "VANDRELIX_RUNSERVICESONCE"},
    {100, "WIN.INI_LOAD", "WIN_LOAD"},
    {101, "WIN.INI_RUN", "WIN_RUN"},
    {200, "STARTUP_FOLDER", "GROUP_STARTUP"},
    {250, "LOGON_USERINIT", "WINLOGON_Userinit"},
    {251, "LOGON_SHELL", "WINLOGON_Shell"},
    {252, "DELAYLOAD", "REG_Delayload"},
    {253, "TASKSCHEDULER", "REG_TaskScheduler"},
    {254, "SHELLHOOK", "REG_ShellExecuteHook"},
    {255, "APPINIT_DLL", "REG_AppInitDLLs"},
    {256, "NOTIFY", "RUN_WINLOGONNOTIFY"},
    {300, nullptr, "RESTART_DELETE"},
    {301, nullptr, "RESTART_RENAME"},
    {350, nullptr, "TYPE_MONITOR"},
    {360, nullptr, "TYPE_BLACKLIST"},
    {450, nullptr, "TYPE_PROSEARCH"},
    {370, nullptr, "TYPE_HIDDEN"},
    {400, nullptr, "TYPE_FILETYPE"},
    {500, nullptr, "INFO_COOKIE"},
    {501, nullptr, "INFO_NETCOOKIE"},
    {502, nullptr, "INFO_SAVECOOKIE"},
    {503, nullptr, "INFO_NUTS"},
    {600, nullptr, "INFO_TASK"},
    {700, nullptr, "SERVICE_EXE"},
    {701, nullptr, "SERVICE_SVCHOST"},
    {800, nullptr, "TASK_SCHEDULED"},
    {900, nullptr, "TYPE_BHO"},
    {901, nullptr, "TYPE_TOOLBAR"},
    {902, nullptr, "TYPE_EXTENSION"},
    {1200, nullptr, "TYPE_ACTIVEX"},
    {3000, nullptr, "TYPE_UNKNOWN"},
};

struct ActionEntry {
  int number;
  const char* token;
};

const ActionEntry kActions[] = {
    {0, "*START_Remove"},          {1, "START_Disable"},          {2, "START_Enable"},
    {3, "IEHELPER_Remove"},        {4, "TASK_Remove"},            {5, "TASK_Kill"},
    {6, "START_Alert"},            {7, "TASK_Alert"},             {8, "IEHELPER_Alert"},
    {9, "SERVICE_Stop"},           {10, "SERVICE_Automatic"},     {11, "SERVICE_Manual"},
    {12, "SERVICE_Disabled"},      {13, "TASK_Restore"},          {14, "IEHELPER_Restore"},
    {15, "ScheduledTask_Remove"},  {17, "SERVICE_from_Automatic"}, {18, "SERVICE_from_Manual"},
    {19, "SERVICE_from_Disabled"}, {20, "SERVICE__from_AutomaticDelayed"}, {21, "RESET_USERINIT"},
    {22, "RESET_SHELL"},           {23, "REMOVE_TaskScheduler"},  {23, "REMOVE_TASKSCHEDULER"},
    {24, "REMOVE_DELAYLOAD"},      {25, "REMOVE_SHELLEXECUTEHOOK"}, {26, "REMOVE_APPINIT"},
    {28, "HIDDEN_Alert"},          {29, "*HIDDEN_DeleteFile"},    {30, "REMOVE_WinLogonNotify"},
    {31, "LOG_ALERT_ACTIVEX"},     {32, "LOG_ALERT_FILETYPE"},    {33, "LOG_UNKNOWN"},
    {34, "START_Restore"},
};

const char* const kRunKeyNames[8] = {"",
                                     "Run",
                                     "RunOnce",
                                     "RunOnceEx",
                                     "RunServices",
                                     "RunServicesOnce",
                                     "RunOnce\\Setup",
                                     "policies\\Explorer\\Run"};

const LocationEntry* FindLocation(int code) {
  for (const auto& entry : kLocations)
    if (entry.code == code) return &entry;
  return nullptr;
}

StartupItem* ItemAt(int i) {
  if (i < 0 || i >= StartupItemCount) return nullptr;
  return StartupItemTable[i];
}


}  // namespace

const char kDisabledRoot[] = "Software\\Orvenn Studios\\Vandrelix\\Disabled";
const char* const kDisabledStores[11] = {"Run",    "RunOnce", "RunOnceEx", "RunServices",   "RunServicesOnce", "RunSetup",
                                         "Policy", "WinLoad", "WinRun",    "RunOnce\\Setup", "WinNotify"};

int AddStartupItem(char* title, char* fileName, char* command, char* description, int location, int flag) {
  if (StartupItemCount >= kMaxItems) return 0;
  if (title && strlen(title) > 128) title[127] = 0;
  if (fileName && strlen(fileName) > 260) fileName[259] = 0;
  if (command && strlen(command) > 260) command[259] = 0;
  if (description && strlen(description) > 1024) description[1023] = 0;
  if (location == 500 && StartupItemCount >= OptionSet[OPT_MaxCookie]) return 0;

  StartupItem* item = (StartupItem*)calloc(1, sizeof(StartupItem));
  if (!item) return 0;
  CopyText(item->description, description ? description : "");

  char plain[260];
  StripQuotes(fileName ? fileName : "", plain);
  size_t plainLength = strlen(plain);
  if (plainLength < 4) {
    CopyText(item->fileName, plain);
  } else {
    LongPathOf(item->fileName, plain);
  }

  if (!title || !title[0]) {
    // A title from the file name: its last part without the extension.
    char name[260];
    CopyText(name, item->fileName);
    size_t n = strlen(name);
    name[n >= 4 ? n - 4 : 0] = 0;
    int pos = FileNamePos(name);
    CopyText(item->title, name + pos);
  } else {
    if (ContainsNoCase(title, "Vandrelix")) CopyText(title, 128, ApplicationTitle);
    CopyText(item->title, title);
    if (ContainsNoCase(item->title, "(Default)")) item->title[0] = 0;
  }

  const char* second = command ? command : "";
  if (plainLength < 4) {
    CopyText(item->command, second);
  } else {
    LongPathOf(item->command, second);
  }
  item->location = location;
  item->flag = flag;
  static unsigned lastSerial = 0;
  item->serial = ++lastSerial;
  StartupItemTable[StartupItemCount++] = item;
  return 1;
}

static int CopyField(const char* field, char* out, int capacity) {
  CopyText(out, capacity, field);
  return (int)strlen(field);
}

int GetItemTitle(int i, char* out) {
  StartupItem* item = ItemAt(i);
  return item ? CopyField(item->title, out, 128) : 0;
}

int GetItemFile(int i, char* out) {
  StartupItem* item = ItemAt(i);
  return item ? CopyField(item->fileName, out, 260) : 0;
}

int GetItemCommand(int i, char* out) {
  StartupItem* item = ItemAt(i);
  return item ? CopyField(item->command, out, 260) : 0;
}

int GetItemDescription(int i, char* out, int capacity) {
  StartupItem* item = ItemAt(i);
  return item && capacity > 0 ? CopyField(item->description, out, capacity) : 0;
}

int GetItemLocation(int i) {
  StartupItem* item = ItemAt(i);
  return item ? item->location : 0;
}

int GetItemFlag(int i) {
  StartupItem* item = ItemAt(i);
  return item ? item->flag : 0;
}

void SetItemLocation(int i, int code) {
  StartupItem* item = ItemAt(i);
  if (item) item->location = code;
}

void SetItemCommand(int i, const char* command) {
  StartupItem* item = ItemAt(i);
  if (item) CopyText(item->command, command);
}

namespace {
StartupItem* asideItems[kMaxItems];
int asideCount = 0;
}  // namespace

void SetStartupItemsAside() {
  memcpy(asideItems, StartupItemTable, sizeof asideItems);
  asideCount = StartupItemCount;
  memset(StartupItemTable, 0, sizeof StartupItemTable);
  StartupItemCount = 0;
}

void PutStartupItemsBack() {
  ClearStartupItems();
  memcpy(StartupItemTable, asideItems, sizeof asideItems);
  StartupItemCount = asideCount;
  memset(asideItems, 0, sizeof asideItems);
  asideCount = 0;
}

void ClearStartupItems() {
  for (int i = 0; i < StartupItemCount; ++i) {
    free(StartupItemTable[i]);
    StartupItemTable[i] = nullptr;
  }
  StartupItemCount = 0;
}

int FormatLocationText(int i, char* out) {
  out[0] = 0;
  int code = GetItemLocation(i);
  if (code == 800 || code == 900 || code == 901) {
    LoadText(code == 800 ? 1430 : code == 900 ? 1431 : 1432, out, 512);
    return 0;
  }
  if (code > 256) return 0;
  char text[512] = "";
  if (IsItemDisabled(i)) CopyText(text, " *    Disabled * ");
  int digit = code % 10;
  if (((code >= 1 && code <= 5) || (code >= 11 && code <= 15) || (code >= 21 && code <= 25))) {
    AppendText(text, code < 10   ? "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                     : code < 20 ? "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                                 : "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\");
    AppendText(text, kRunKeyNames[digit]);
  } else {
    switch (code) {
      case 100: AppendText(text, "WIN.INI     [Load] Section"); break;
      case 101: AppendText(text, "WIN.INI     [Run] Section"); break;
      case 200: AppendText(text, "Windows Startup Group"); break;
      case 250: AppendText(text, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Userinit"); break;
      case 251: AppendText(text, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Shell"); break;
      case 252: AppendText(text, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad"); break;
      case 253: AppendText(text, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler"); break;
      case 254: AppendText(text, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks"); break;
      case 255: AppendText(text, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs"); break;
      case 256: AppendText(text, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Notify"); break;
      default: break;
    }
  }
  return (int)CopyText(out, 512, text);
}

int IsItemDisabled(int i) {
  StartupItem* item = ItemAt(i);
  if (!item || item->valueNameState == kNameTooLong) return 0;
  const char* name = item->valueNameState == kNameKept ? MarkerNameOf(item->valueName) : item->title;
  return name ? ReadDisabledMarker(name) : 0;
}

int GetItemValueName(int i, char* out) {
  StartupItem* item = ItemAt(i);
  if (!item || item->valueNameState != kNameKept) return 0;
  CopyText(out, sizeof item->valueName, item->valueName);
  return 1;
}

void SetItemValueName(int i, const char* name) {
  StartupItem* item = ItemAt(i);
  if (!item) return;
  if (!name || strlen(name) >= sizeof item->valueName) {
    item->valueName[0] = 0;
    item->valueNameState = kNameTooLong;
    return;
  }
  CopyText(item->valueName, name);
  item->valueNameState = kNameKept;
}

unsigned GetItemSerial(int i) {
  StartupItem* item = ItemAt(i);
  return item ? item->serial : 0;
}

const char* LocationToken(int code) {
  const LocationEntry* entry = FindLocation(code);
  return entry ? entry->listToken : nullptr;
}

const char* HistoryLocationToken(int code) {
  const LocationEntry* entry = FindLocation(code);
  return entry ? entry->historyToken : nullptr;
}

int LocationFromHistoryToken(const char* token) {
  for (const auto& entry : kLocations)
    if (entry.historyToken && lstrcmpiA(entry.historyToken, token) == 0) return entry.code;
  return 3000;
}

int IsRunFamilyCode(int code) {
  return (code >= 1 && code <= 7) || (code >= 11 && code <= 17) || (code >= 21 && code <= 27);
}

HKEY RunRootOf(int code) { return (code >= 11 && code <= 17) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

const char* RunKeyName(int keyNumber) { return (keyNumber >= 1 && keyNumber <= 7) ? kRunKeyNames[keyNumber] : ""; }

const char* RunKeyPathOf(int code) {
  static char paths[3][8][96];
  if (!IsRunFamilyCode(code)) return nullptr;
  int root = code / 10, key = code % 10;
  if (!paths[root][key][0]) {
    FormatText(paths[root][key], sizeof paths[root][key], "Software\\%sMicrosoft\\Windows\\CurrentVersion\\%s",
               root == 2 ? "Wow6432Node\\" : "", kRunKeyNames[key]);
  }
  return paths[root][key];
}

const char* HistoryActionToken(int action) {
  for (const auto& entry : kActions)
    if (entry.number == action) return entry.token;
  return nullptr;
}

int HistoryActionFromToken(const char* token) {
  for (const auto& entry : kActions)
    if (lstrcmpiA(entry.token, token) == 0) return entry.number;
  return kHistoryUnknownAction;
}

int IsRestorableAction(int action) {
  const char* token = HistoryActionToken(action);
  return token && token[0] == '*';
}

const char* DisabledStoreOf(int code) {
  static char paths[11][96];
  int index = -1;
  if ((code >= 1 && code <= 7) || (code >= 11 && code <= 17)) index = code % 10 - 1;
  if (code >= 21 && code <= 25) index = code % 10 - 1;
  if (code == 100) index = 7;
  if (code == 101) index = 8;
  if (code == 256) index = 10;
  if (index < 0) return nullptr;
  if (!paths[index][0]) FormatText(paths[index], sizeof paths[index], "%s\\%s", kDisabledRoot, kDisabledStores[index]);
  return paths[index];
}

namespace {

// The taken markers: names and codes in an open-addressed table (code 0: deleted since).
struct TakenMarker {
  char name[256];
  int code;
};
TakenMarker* taken = nullptr;
int* takenIndex = nullptr;  // slot -> marker + 1, 0 when free
int takenCount = 0, takenCapacity = 0, takenDepth = 0;
unsigned takenSlots = 0;

TakenMarker* FindTaken(const char* name, unsigned* freeSlot) {
  unsigned slot = HashNoCase(name) & (takenSlots - 1);
  for (; takenIndex[slot]; slot = (slot + 1) & (takenSlots - 1))
    if (lstrcmpiA(taken[takenIndex[slot] - 1].name, name) == 0) return &taken[takenIndex[slot] - 1];
  if (freeSlot) *freeSlot = slot;
  return nullptr;
}

// Keeps a marker in the taken copy; 0 when the copy is full (it is then given up).
int KeepTaken(const char* name, int code) {
  unsigned slot = 0;
  TakenMarker* marker = FindTaken(name, &slot);
  if (marker) {
    marker->code = code;
    return 1;
  }
  if (takenCount >= takenCapacity || strlen(name) >= sizeof taken[0].name) return 0;
  CopyText(taken[takenCount].name, name);
  taken[takenCount].code = code;
  takenIndex[slot] = ++takenCount;
  return 1;
}

void DropTaken() {
  free(taken);
  free(takenIndex);
  taken = nullptr;
  takenIndex = nullptr;
  takenCount = takenCapacity = 0;
  takenSlots = 0;
}

}  // namespace

void TakeDisabledMarkers() {
  if (takenDepth++ > 0) return;
  DefaultRegView view;
  HKEY key = RegOpenForReading(HKEY_LOCAL_MACHINE, kDisabledRoot);
  DWORD count = key ? RegValueCount(key) : 0;
  takenCapacity = (int)count + 256;  // room for the markers a scan writes itself
  takenSlots = 16;
  while (takenSlots < (unsigned)takenCapacity * 2) takenSlots *= 2;
  taken = (TakenMarker*)calloc((size_t)takenCapacity, sizeof(TakenMarker));
  takenIndex = (int*)calloc(takenSlots, sizeof(int));
  int complete = taken && takenIndex;
  for (DWORD index = 0; key && complete; ++index) {
    char name[256], text[256];
    DWORD type = 0;
    LONG rc = RegValueAt(key, index, name, sizeof name, (BYTE*)text, sizeof text - 1, nullptr, &type);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA) {
      // Too long for a marker's text: read as none, as a single read would.
      DWORD length = sizeof name;
      if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        complete = 0;
        break;
      }
      text[0] = 0;
      type = REG_SZ;
    } else if (rc != ERROR_SUCCESS) {
      complete = 0;
      break;
    }
    int code = type == REG_DWORD ? 0 : atoi(text);  // as a single read takes it: any text but a number
    if (name[0] && !KeepTaken(name, code)) complete = 0;
  }
  if (key) RegCloseKey(key);
  if (!complete) DropTaken();  // markers are then read one by one, as without taking them
}

void ReleaseDisabledMarkers() {
  if (takenDepth > 0 && --takenDepth == 0) DropTaken();
}

const char* MarkerNameOf(const char* valueName) {
  if (!valueName || !valueName[0]) return "(Default)";
  return lstrcmpiA(valueName, "(Default)") == 0 ? nullptr : valueName;
}

int ReadDisabledMarker(const char* name) {
  if (!name || !name[0]) return 0;
  if (taken) {
    TakenMarker* marker = FindTaken(name, nullptr);
    return marker ? marker->code : 0;
  }
  DefaultRegView view;
  char text[256];
  if (!RegReadString(HKEY_LOCAL_MACHINE, kDisabledRoot, name, text, sizeof text)) return 0;
  return atoi(text);
}

int WriteDisabledMarker(const char* name, int code) {
  if (!name || !name[0]) return 0;  // the root's default value is no marker
  DefaultRegView view;
  char text[16];
  FormatText(text, sizeof text, "%d", code);
  int written = (int)RegWriteString(HKEY_LOCAL_MACHINE, kDisabledRoot, name, text);
  if (taken && (!written || !KeepTaken(name, code))) DropTaken();  // unsure now: read them one by one
  return written;
}

int DeleteDisabledMarker(const char* name) {
  if (!name || !name[0]) return 0;
  DefaultRegView view;
  int removed = (int)RegRemoveValue(HKEY_LOCAL_MACHINE, kDisabledRoot, name);
  if (taken && removed) {
    TakenMarker* marker = FindTaken(name, nullptr);
    if (marker) marker->code = 0;
  }
  return removed;
}
