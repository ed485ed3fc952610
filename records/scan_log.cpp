#include "records/scan_log.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include "areas/browser.h"
#include "areas/file_types.h"
#include "areas/hidden_files.h"
#include "areas/processes.h"
#include "areas/services.h"
#include "areas/tasks.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/online.h"
#include "records/report_file.h"
#include "records/scan_lists.h"
#include "startup/delay.h"
#include "startup/items.h"
#include "startup/scan.h"

namespace {

const char kLb[] = "\r\n";
const DWORD kHostsBytes = 652780;
const UINT kUpdateOptionTexts = 1050;  // + the option number

struct ControlSet {
  const char* label;
  const char* key;
};
const ControlSet kControlSets[] = {{"CS1", "SYSTEM\\ControlSet001"},
                                   {"CCS", "SYSTEM\\CurrentControlSet"},
                                   {"CS2", "SYSTEM\\ControlSet002"},
                                   {"CS3", "SYSTEM\\ControlSet003"}};

// One finding a line: a line break inside a registry text, a version string or a name would start a
// line of its own, which could pass for another finding (malware chooses these texts).
void FlattenFields(StartupItem* item) {
  FlattenLineBreaks(item->title);
  FlattenLineBreaks(item->fileName);
  FlattenLineBreaks(item->command);
  FlattenLineBreaks(item->description);
}

void FlattenFields(VersionFields* fields) {
  for (auto& field : fields->field) FlattenLineBreaks(field);
}

// The log only reads the table, and every scan refills it: its texts are made single-line in place.
const StartupItem* Item(int i) {
  FlattenFields(StartupItemTable[i]);
  return StartupItemTable[i];
}

// Reads a registry text into `out` (its size `cap`); the length, 0 when missing or empty.
DWORD Read(HKEY root, const char* key, const char* name, char* out, DWORD cap) {
  DWORD length = RegReadString(root, key, name, out, cap);
  FlattenLineBreaks(out);
  return length;
}

void WriteMsieLine(ReportFile* file) {
  char ie[260], probe[260];
  InternetExplorerPath(ie);
  CopyText(probe, ie);
  static VersionFields fields;
  if (FileExists(probe)) {
    GetVersionFields(ie, &fields);
    FlattenFields(&fields);
    PutFormat(file, "MSIE: %s (%s)%s", fields.field[VF_FileDescription], fields.field[VF_ProductVersion], kLb);
  } else {
    PutFormat(file, "MSIE: Internet Explorer Not found.%s", kLb);
  }
}

void WriteHeader(ReportFile* file) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char clock[32], date[32];
  ReportClockText(&now, clock, date);
  PutFormat(file, "Log created by %s version %s%s", ApplicationTitle, ReportVersionText(), kLb);
  PutFormat(file, "Scan saved at %s, on %s%s", clock, date, kLb);
  char os[512];
  OsDescription(os);
  FlattenLineBreaks(os);
  PutFormat(file, "Platform: %s%s", os, kLb);
  WriteMsieLine(file);
  PutFormat(file, "%s%s", BootModeText(GetSystemMetrics(SM_CLEANBOOT)), kLb);
  PutText(file, kLb);
  char running[128];
  LoadText(818, running, sizeof running);
  PutFormat(file, "%s%s", running, kLb);
  EnumerateActiveTasks();
  for (int i = 0; i < StartupItemCount; ++i) PutFormat(file, "%s%s", Item(i)->fileName, kLb);
  ClearStartupItems();
  PutText(file, kLb);
}

void WriteStartPages(ReportFile* file) {
  char ieMain[128];
  LoadText(623, ieMain, sizeof ieMain);
  static const struct {
    HKEY root;
    const char* name;
    const char* prefix;
    const char* rootText;
    const char* keyText;
  } kRows[] = {
      {HKEY_CURRENT_USER, "Default_Page_URL", "R1 - ", "HKCU", "\\Software\\Microsoft\\Internet Explorer\\Main,Default_Page_URL = "},
      {HKEY_CURRENT_USER, "Start Page", "R0 - ", "HKCU", "\\Software\\Microsoft\\Internet Explorer\\Main,Start Page = "},
      {HKEY_LOCAL_MACHINE, "Default_Page_URL", "R1 - ", "HKLM", "\\Software\\Microsoft\\Internet Explorer\\Main,Default_Page_URL = "},
      {HKEY_LOCAL_MACHINE, "Start Page", "R0 - ", "HKLM", "\\Software\\Microsoft\\Internet Explorer\\Main,Start Page = "},
      {HKEY_CURRENT_USER, "Window Title", "R1 - ", "HKCU", "\\Software\\Microsoft\\Internet Explorer\\Main,Window Title = "},
      {HKEY_LOCAL_MACHINE, "Window Title", "R0 - ", "HKLM", "\\Software\\Microsoft\\Internet Explorer\\Main,Window Title = "},
  };
  for (const auto& row : kRows) {
    char value[256];
    if (Read(row.root, ieMain, row.name, value, sizeof value))
      PutFormat(file, "%s%s%s%s%s", row.prefix, row.rootText, row.keyText, value, kLb);
  }
}

void WriteIniLines(ReportFile* file) {
  char windows[MAX_PATH], systemIni[MAX_PATH + 16];
  UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  if (n == 0 || n >= sizeof windows) windows[0] = 0;
  FormatText(systemIni, sizeof systemIni, "%s\\system.ini", windows);
  char text[512];
  GetPrivateProfileStringA("Boot", "Shell", "", text, sizeof text, systemIni);
  // A missing value is no replaced shell.
  if (text[0] && lstrcmpiA(text, "Explorer.exe") != 0) PutFormat(file, "F0 - system.ini: Shell=%s%s", text, kLb);
  GetProfileStringA("Windows", "run", "", text, sizeof text);
  if (text[0]) PutFormat(file, "F1 - win.ini: run=%s%s", text, kLb);
  GetProfileStringA("Windows", "load", "", text, sizeof text);
  if (text[0]) PutFormat(file, "F1 - win.ini: load=%s%s", text, kLb);
  GetPrivateProfileStringA("Boot", "UserInit", "", text, sizeof text, systemIni);
  if (text[0]) PutFormat(file, "F2 - REG: system.ini: UserInit=%s%s", text, kLb);
  const char* windowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  char value[1024];
  if (Read(HKEY_CURRENT_USER, windowsKey, "Load", value, sizeof value)) PutFormat(file, "F3 - HKCU Load=%s%s", value, kLb);
  if (Read(HKEY_CURRENT_USER, windowsKey, "Run", value, sizeof value)) PutFormat(file, "F3 - HKCU Run=%s%s", value, kLb);
}

void WriteHostsLines(ReportFile* file) {
  char hosts[260];
  if (!HostsFilePath(hosts)) return;
  HANDLE handle;
  {
    RedirectionOff redirection;
    handle = CreateFileA(hosts, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) return;
  char* text = (char*)malloc(kHostsBytes + 1);
  DWORD got = 0;
  if (text && !ReadFile(handle, text, kHostsBytes, &got, nullptr)) got = 0;
  CloseHandle(handle);
  if (!text) return;
  text[got] = 0;
  char* line = text;
  for (DWORD i = 0; i <= got; ++i) {
    if (i < got && text[i] != '\n') continue;
    text[i] = 0;
    DropControlBytes(line, (size_t)(text + i - line));
    char out[600];
    if (HostsLogLine(line, out, sizeof out)) PutFormat(file, "%s%s", out, kLb);
    line = text + i + 1;
  }
  free(text);
}

void WriteBrowserAddOns(ReportFile* file) {
  ListBrowserHelperObjects();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, "O2 - BHO: %s - %s - %s%s", Item(i)->title, Item(i)->command, Item(i)->fileName, kLb);
  ClearStartupItems();
  ListToolbars();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, "O3 - Toolbar: %s - %s - %s%s", Item(i)->title, Item(i)->command, Item(i)->fileName, kLb);
}

void WriteStartupPlaces(ReportFile* file) {
  ClearStartupItems();
  ScanRunKeys();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, "%s[%s]%s%s", RunLogPrefix(Item(i)->location), Item(i)->title, Item(i)->fileName, kLb);
  ClearStartupItems();
  ScanStartupFolders();
  for (int i = 0; i < StartupItemCount; ++i) {
    const char* slash = strrchr(Item(i)->command, '\\');
    const char* link = slash ? slash + 1 : Item(i)->command;
    PutFormat(file, Item(i)->flag ? "O4 - Startup: %s=%s%s" : "O4 - Global Startup: %s=%s%s", link,
              Item(i)->fileName, kLb);
  }
}

void WritePolicies(ReportFile* file) {
  char text[512];
  if (Read(HKEY_CURRENT_USER, "Control Panel\\don't load", "inetcpl.cpl", text, sizeof text) &&
      ContainsNoCase(text, "no"))
    PutFormat(file, "O5 - control.ini: inetcpl.cpl=%s%s", text, kLb);
  if (Read(HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions", "", text, sizeof text))
    PutFormat(file, "O6 - HKCU\\Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions present%s", kLb);
  if (Read(HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel", "", text, sizeof text))
    PutFormat(file, "O6 - HKCU\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel present%s", kLb);
  const char* system = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  DWORD value = RegReadDword(HKEY_CURRENT_USER, system, "DisableRegistryTools");
  if ((int)value > 0)
    PutFormat(file, "O7 - HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System, DisableRegistryTools =%d%s",
              (int)value, kLb);
  value = RegReadDword(HKEY_CURRENT_USER, system, "DisableRegEdit");
  if ((int)value > 0)
    PutFormat(file, "O7 - HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System, DisableRegEdit=%d%s",
              (int)value, kLb);
  value = RegReadDword(HKEY_CURRENT_USER, system, "DisableTaskMgr");
  if ((int)value > 0)
    PutFormat(file, "O7 - HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System, DisableTaskMgr =%d%s",
              (int)value, kLb);
}

void WriteBrowserExtras(ReportFile* file) {
  ListMenuExtensions();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, "O8 - Extra context menu item: %s - %s%s", Item(i)->title, Item(i)->fileName, kLb);
  ListExtraButtons();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, Item(i)->location == 1 ? "O9 - Extra button: %s - %s - %s%s" : "O9 - Extra 'Tools' menuitem: %s - %s - %s%s",
              Item(i)->title, Item(i)->command, Item(i)->fileName, kLb);
  ListAdvancedOptions();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, "O11 - Options group: [%s] %s - %s%s", Item(i)->title, Item(i)->title, Item(i)->command, kLb);
  ListPlugins();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, "O12 - Plugin for %s: %s%s", Item(i)->title, Item(i)->fileName, kLb);
}

void WritePrefixes(ReportFile* file) {
  char text[512];
  const char* urlKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL";
  char key[128];
  FormatText(key, sizeof key, "%s\\DefaultPrefix", urlKey);
  if (Read(HKEY_LOCAL_MACHINE, key, "", text, sizeof text) > 7) PutFormat(file, "O13 - DefaultPrefix: %s%s", text, kLb);
  FormatText(key, sizeof key, "%s\\Prefixes", urlKey);
  if (Read(HKEY_LOCAL_MACHINE, key, "www", text, sizeof text) > 7) PutFormat(file, "O13 - WWW Prefix: %s%s", text, kLb);
  if (Read(HKEY_LOCAL_MACHINE, key, "www.", text, sizeof text) > 7) PutFormat(file, "O13 -  WWW. Prefix: %s%s", text, kLb);
}

void WriteIereset(ReportFile* file) {
  char windows[MAX_PATH], inf[MAX_PATH + 32];
  UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  if (n == 0 || n >= sizeof windows) return;
  FormatText(inf, sizeof inf, "%s\\inf\\iereset.inf", windows);
  char text[512];
  GetPrivateProfileStringA("Strings", "START_PAGE_URL", "", text, sizeof text, inf);
  if (text[0]) PutFormat(file, "O14 - IERESET.INF: START_PAGE_URL = %s%s", text, kLb);
  GetPrivateProfileStringA("Strings", "SEARCH_PAGE_URL", "", text, sizeof text, inf);
  if (text[0]) PutFormat(file, "O14 - IERESET.INF: SEARCH_PAGE_URL = %s%s", text, kLb);
  HANDLE handle = CreateFileA(inf, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  static char content[16385];
  DWORD got = 0;
  if (!ReadFile(handle, content, 16384, &got, nullptr)) got = 0;
  CloseHandle(handle);
  content[got] = 0;
  char* line = content;
  for (DWORD i = 0; i <= got; ++i) {
    if (i < got && content[i] != '\n') continue;
    content[i] = 0;
    DropControlBytes(line, (size_t)(content + i - line));
    char lines[4 * 600];
    lines[0] = 0;
    if (IeresetLogLines(line, lines, sizeof lines)) PutText(file, lines);
    line = content + i + 1;
  }
}

void WriteNetworkLines(ReportFile* file) {
  ListZoneDomains();
  for (int i = 0; i < StartupItemCount; ++i) PutFormat(file, "O15 - Trusted Zone: %s%s", Item(i)->title, kLb);
  ListDownloadedControls();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, "O16 - DPF: %s (%s) - %s%s", Item(i)->description, Item(i)->title, Item(i)->fileName, kLb);
  // Each line: before, the control set's label, after, the value.
  static const struct {
    const char* sub;
    const char* name;
    const char* before;
    const char* after;
    DWORD cap;
  } kLoops[] = {
      {"Services\\Tcpip\\Parameters", "SearchList", "O17 - HKLM\\", ": SearchList = ", 512},
      {"Services\\Tcpip\\Parameters", "NameServer", "O17 - HKLM\\", ": NameServer = ", 512},
      {"Services\\VxD\\MSTCP", "Domain", "O17 - HKLM\\System\\", "\\Services\\VxD\\MSTCP: Domain = ", 1024},
      {"Services\\Tcpip\\Parameters", "Domain", "O17 - HKLM\\System\\", "\\Services\\Tcpip\\Parameters: Domain = ", 1024},
  };
  for (const auto& loop : kLoops) {
    for (const ControlSet& set : kControlSets) {
      char key[128], value[1024];
      FormatText(key, sizeof key, "%s\\%s", set.key, loop.sub);
      if (Read(HKEY_LOCAL_MACHINE, key, loop.name, value, loop.cap))
        PutFormat(file, "%s%s%s%s%s", loop.before, set.label, loop.after, value, kLb);
    }
  }
}

void WriteLoadHooks(ReportFile* file) {
  char text[512];
  if (Read(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Styles", "User Stylesheet", text, sizeof text))
    PutFormat(file, "O19 -  User style sheet: %s%s", text, kLb);
  if (Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs", text,
           sizeof text))
    PutFormat(file, "O20 - AppInit_DLLs: %s%s%s", text, kLb, kLb);
  ListDelayLoadObjects();
  for (int i = 0; i < StartupItemCount; ++i) {
    if (IsDefaultDelayLoad(Item(i)->command)) continue;
    PutFormat(file, "O21 - %s - %s - %s - %s%s", Item(i)->description, Item(i)->title, Item(i)->command,
              Item(i)->fileName, kLb);
  }
  ListSharedTaskSchedulers();
  for (int i = 0; i < StartupItemCount; ++i) {
    if (ContainsNoCase(Item(i)->fileName, "browseui.dll")) continue;
    PutFormat(file, "O22 - SharedTaskScheduler: (%s) - %s - %s%s", Item(i)->title, Item(i)->command,
              Item(i)->fileName, kLb);
  }
}

void WriteServices(ReportFile* file) {
  EnumerateServices();
  static VersionFields fields;
  for (int i = 0; i < StartupItemCount; ++i) {
    char program[260];
    ExeFromCommand(Item(i)->fileName, program);
    GetVersionFields(program, &fields);
    FlattenFields(&fields);
    PutFormat(file, "O23 - Service: %s - %s - %s%s", Item(i)->title, fields.field[VF_CompanyName], Item(i)->fileName,
              kLb);
  }
  ClearStartupItems();
}

void WriteDesktopComponents(ReportFile* file) {
  for (int n = 0; n <= 8; ++n) {
    char key[128], name[512], source[1024];
    FormatText(key, sizeof key, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\%1d", n);
    if (!Read(HKEY_CURRENT_USER, key, "FriendlyName", name, sizeof name)) break;
    if (ContainsNoCase(name, "Current Home Page")) continue;
    Read(HKEY_CURRENT_USER, key, "Source", source, sizeof source);
    PutFormat(file, "O24 -  Desktop Component %d: %s - %s%s", n, name, source, kLb);
  }
}

void WriteAdditionalInfo(ReportFile* file) {
  PutText(file, kLb);
  PutFormat(file, "---  Additional Vandrelix Info  ---%s", kLb);
  char browser[260], probe[260];
  DefaultBrowserPath(browser);
  CopyText(probe, browser);
  static VersionFields fields;
  if (browser[0] && FileExists(probe)) {
    GetVersionFields(browser, &fields);
    FlattenFields(&fields);
    PutFormat(file, "Default Browser: %s - %s version %s%s", fields.field[VF_ProductName],
              fields.field[VF_FileDescription], fields.field[VF_ProductVersion], kLb);
  } else {
    PutFormat(file, "Browser: Unable to find default browser.%s", kLb);
  }
  WriteMsieLine(file);
  const char* const kOthers[] = {"AOL.EXE", "firefox.exe", "Mozilla.exe", "Netscp.exe"};
  for (int k = 0; k < 4; ++k) {
    char version[260], path[260];
    if (!AppPathOf(kOthers[k], version, path)) continue;
    FlattenLineBreaks(version);
    FlattenLineBreaks(path);
    switch (k) {
      case 0: PutFormat(file, "America Online version %s running %s%s", version, path, kLb); break;
      case 1: PutFormat(file, "Firefox %s installed in %s.%s", version, path, kLb); break;
      case 2: PutFormat(file, "Mozilla %s installed in %s.%s", version, path, kLb); break;
      default: PutFormat(file, "Netscape %s installed in %s.%s", version, path, kLb); break;
    }
  }
  PutText(file, kLb);
  int any = 0;
  static const struct {
    const char* name;
    const char* code;
  } kSession[] = {{"BootExecute", "VX00"}, {"PendingFileRenameOperations", "VX01"}};
  for (const auto& row : kSession) {
    for (const ControlSet& set : kControlSets) {
      char key[128], value[1024];
      FormatText(key, sizeof key, "%s\\Control\\Session Manager", set.key);
      if (Read(HKEY_LOCAL_MACHINE, key, row.name, value, sizeof value)) {
        PutFormat(file, "%s - HKLM\\%s: %s = %s%s", row.code, set.label, row.name, value, kLb);
        any = 1;
      }
    }
  }
  char comspec[1024];
  if (Read(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "ComSpec", comspec,
           sizeof comspec)) {
    PutFormat(file, "VX02 - HKLM\\%s: Command = %s%s", "CCS", comspec, kLb);
    any = 1;
  }
  if (any) PutText(file, kLb);

  if (!RunningOnWow64) {
    DWORD option = RegReadDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update",
                                "AUOptions");
    if (option != 0) {
      // Strings 1051 to 1054 name the four options; another number has no text.
      char text[256] = "";
      if (option <= 4) LoadText(kUpdateOptionTexts + option, text, sizeof text);
      PutFormat(file, "VX03 - Windows Automatic Update = %d:%s%s", (int)option, text, kLb);
      PutText(file, kLb);
    }
  }
}

void WriteWatchedAreas(ReportFile* file) {
  ScanDelayedPrograms();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, "VX06 - Delayed Start: [%s]%s%s", Item(i)->title, Item(i)->fileName, kLb);
  PutText(file, kLb);

  char value[1024];
  int any = 0;
  if (Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix", "", value,
           sizeof value)) {
    PutFormat(file, "VX08 - HKLM\\%s: Default = %s%s", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix",
              value, kLb);
    any = 1;
  }
  if (Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes", "www", value,
           sizeof value)) {
    PutFormat(file, "VX08 - HKLM\\%s: %s = %s%s", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes", "www",
              value, kLb);
    any = 1;
  }
  if (any) PutText(file, kLb);

  EnumerateScheduledTasks();
  for (int i = 0; i < StartupItemCount; ++i) {
    char last[512];
    CopyText(last, Item(i)->description);
    PutFormat(file, "VX31 - Scheduled Tasks: [%s]%s %s%s", Item(i)->title, Item(i)->fileName, last, kLb);
  }
  PutText(file, kLb);

  ScanActiveXControls();
  for (int i = 0; i < StartupItemCount; ++i) {
    if (GetCompatibilityFlags(Item(i)->command) & kKillBit) continue;
    PutFormat(file, "VX16 - ActiveX: %s [%s] %s %s%s", Item(i)->command, Item(i)->title, Item(i)->fileName,
              Item(i)->description, kLb);
  }
  PutText(file, kLb);
  ScanHiddenFiles();
  for (int i = 0; i < StartupItemCount && i < 41; ++i) PutFormat(file, "VX32 - Hidden File: %s%s", Item(i)->fileName, kLb);
  PutText(file, kLb);
  EnumerateFileTypes();
  for (int i = 0; i < StartupItemCount; ++i)
    PutFormat(file, "VX33 - File Type %s: [%s]%s%s", Item(i)->description, Item(i)->title, Item(i)->fileName, kLb);
  PutText(file, kLb);
  ClearStartupItems();
}

void WriteMemory(ReportFile* file) {
  MEMORYSTATUS memory;
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  char number[32];
  GroupThousands(number, sizeof number, memory.dwMemoryLoad);
  PutFormat(file, "Memory currently in use: %s%%%s", number, kLb);
  GroupThousands(number, sizeof number, (unsigned long)(memory.dwAvailPhys / 1024));
  PutFormat(file, "Physical Memory Free: %s KB%s", number, kLb);
  GroupThousands(number, sizeof number, (unsigned long)(memory.dwAvailPageFile / 1024));
  PutFormat(file, "Paging File Free: %s KB%s", number, kLb);
  GroupThousands(number, sizeof number, (unsigned long)(memory.dwAvailVirtual / 1024));
  PutFormat(file, "Virtual Memory Free: %s KB%s", number, kLb);
  PutFormat(file, "%s%s--%sEnd of file%s", kLb, kLb, kLb, kLb);
}

}  // namespace

void FlattenLineBreaks(char* text) {
  for (; *text; ++text)
    if (*text == '\r' || *text == '\n') *text = ' ';
}

size_t DropControlBytes(char* text) { return DropControlBytes(text, strlen(text)); }

size_t DropControlBytes(char* text, size_t length) {
  size_t o = 0;
  for (size_t i = 0; i < length; ++i)
    if ((unsigned char)text[i] >= 32) text[o++] = text[i];
  text[o] = 0;
  return o;
}

int HostsLogLine(const char* line, char* out, size_t cap) {
  size_t n = strlen(line);
  if (line[0] == '#' || n < 3 || n > 497) return 0;
  if (strstr(line, "127.0.0.1") || strstr(line, "::1") || strstr(line, "0.0.0")) return 0;
  FormatText(out, cap, "O1 - Hosts: %s", line);
  return 1;
}

int IeresetLogLines(const char* line, char* out, size_t cap) {
  static const char* const kNames[] = {"Start Page", "Default_Page_URL", "Default_Search_URL", "Search Page"};
  const char* comma = strrchr(line, ',');
  if (!comma || comma == line) return 0;
  const char* mark = ContainsNoCase(line, "HKCU") ? "HKCU," : ContainsNoCase(line, "HKLM") ? "HKLM," : "";
  int count = 0;
  for (const char* name : kNames) {
    if (!ContainsNoCase(line, name)) continue;
    char piece[1100];
    FormatText(piece, sizeof piece, "O14 - IERESET.INF:%s %s = %s\r\n", mark, name, comma + 1);
    AppendText(out, cap, piece);
    ++count;
  }
  return count;
}

const char* BootModeText(int cleanBoot) {
  switch (cleanBoot) {
    case 0: return "Boot mode: Normal";
    case 1: return "Boot mode: Safe";
    case 2: return "Boot mode: Safe with Network";
    default: return "Boot mode: Unknown";
  }
}

const char* RunLogPrefix(int code) {
  switch (code) {
    case 1: return "O4 - HKLM\\..\\Run: ";
    case 2: return "O4 - HKLM\\..\\RunOnce: ";
    case 3: return "O4 - HKLM\\..\\RunOnceEx: ";
    case 4: return "O4 - HKLM\\..\\RunServices: ";
    case 5: return "O4 - HKLM\\..\\RunServicesOnce: ";
    case 6: return "O4 - HKLM\\..\\RunOnceSetup: ";
    case 7: return "O4 - HKLM\\..\\Policies\\Explorer\\Run: ";
    case 11: return "O4 - HKCU\\..\\Run: ";
    case 12: return "O4 - HKCU\\..\\RunOnce: ";
    case 13: return "O4 - HKCU\\..\\RunOnceEx: ";
    case 14: return "O4 - HKCU\\..\\RunServices: ";
    case 15: return "O4 - HKCU\\..\\RunServicesOnce: ";
    case 16: return "O4 - HKCU\\..\\RunOnceSetup: ";
    case 21: return "O4 - HKU\\..\\Run: ";
    case 22: return "O4 - HKU\\..\\RunOnce: ";
    case 23: return "O4 - HKU\\..\\RunOnceEx: ";
    case 24: return "O4 - HKU\\..\\RunService: ";
    case 25: return "O4 - HKU\\..\\RunServicesOnce: ";
    case 26: return "O4 - HKU\\..\\RunOnceSetup: ";
    default: return "O4 - Other Run: ";
  }
}

int WriteScanLogFile(const char* path) {
  ReportFile file;
  if (!OpenReportFile(&file, path)) return 0;
  WriteHeader(&file);
  WriteStartPages(&file);
  WriteIniLines(&file);
  WriteHostsLines(&file);
  WriteBrowserAddOns(&file);
  WriteStartupPlaces(&file);
  WritePolicies(&file);
  WriteBrowserExtras(&file);
  WritePrefixes(&file);
  WriteIereset(&file);
  WriteNetworkLines(&file);
  WriteLoadHooks(&file);
  WriteServices(&file);
  WriteDesktopComponents(&file);
  WriteAdditionalInfo(&file);
  WriteWatchedAreas(&file);
  WriteMemory(&file);
  ClearStartupItems();
  return CloseReportFile(&file);
}

int WriteScanLog(const char* path) {
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  WriteScanLogFile(path);
  SetCursor(previous ? previous : LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
  ShellExecuteA(MainWindow, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
  return 1;
}
