#include "app/command_line.h"

#include <windows.h>
#include <string.h>

#include "areas/hidden_files.h"
#include "platform/file_facts.h"
#include <objbase.h>
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/program_report.h"
#include "records/scan_log.h"
#include "startup/delay.h"
#include "ui/maintenance.h"

int HasQuitSwitch(const char* text) {
  for (const char* p = text; (p = strchr(p, '-')) != nullptr; ++p) {
    if ((p[1] == 'Q' || p[1] == 'q') && (p[2] == 0 || p[2] == ' ' || p[2] == '\t')) return 1;
  }
  return 0;
}

// Position of a switch in the text, any letter case; -1 when absent.
static int FindSwitch(const char* text, const char* word) {
  size_t n = strlen(word);
  for (size_t i = 0; text[i]; ++i)
    if (_strnicmp(text + i, word, n) == 0) return (int)i;
  return -1;
}

int SwitchArgument(const char* text, const char* word, char* out, size_t cap) {
  out[0] = 0;
  int at = FindSwitch(text, word);
  if (at < 0) return 0;
  const char* p = text + at + strlen(word);
  while (*p == ' ' || *p == '\t') ++p;
  size_t length = 0;
  if (*p == '"') {
    const char* close = strchr(++p, '"');
    length = close ? (size_t)(close - p) : strlen(p);
  } else {
    while (p[length] && p[length] != ' ' && p[length] != '\t') ++length;
  }
  // A path that does not fit is refused: cut, it would name another file.
  if (length >= cap) return 0;
  CopyTextN(out, cap, p, length);
  return out[0] != 0;
}

// The stored start page counts only when it names a page: a kept quit, exit or companion switch
// would end the run, or flip the companion's start with Windows, each time the program is started.
static int StartPageOf(int startTab) {
  static const int kPageCommands[] = {6026, 6027, 6028, 6029, 6033, 6038, 6039, 6040,
                                      6042, 6045, 6052, 6055, 6056, 6060, 6061};
  for (int command : kPageCommands)
    if (command == startTab) return startTab;
  return 6026;
}

StartRequest ParseCommandLine(const char* text, int startTab) {
  StartRequest request = {START_RUN, StartPageOf(startTab), 0, ""};
  if (!text || !text[0]) return request;

  // The unattended reports come first, and the switch met first on the line wins, so that a path
  // holding another switch's word ("C:\my-reports") is only ever a path.
  static const struct {
    const char* word;
    StartAction action;
  } kUnattended[] = {{"-ScanLog", START_SCANLOG}, {"-Report", START_REPORT}, {"-Spreadsheet", START_SPREADSHEET}};
  int first = -1;
  for (const auto& u : kUnattended) {
    int at = FindSwitch(text, u.word);
    if (at >= 0 && (first < 0 || at < first)) {
      first = at;
      request.action = u.action;
      SwitchArgument(text + at, u.word, request.path, sizeof request.path);
    }
  }
  if (first >= 0) return request;

  static const struct {
    const char* word;
    StartAction action;
  } kMaintenance[] = {
      {"-Restore", START_RESTORE}, {"-RegRepair", START_REGREPAIR}, {"-Reset", START_RESET},
      {"-AUOption", START_AUOPTION}, {"-SetPrefix", START_SETPREFIX},
  };
  for (const auto& m : kMaintenance) {
    if (ContainsNoCase(text, m.word)) {
      request.action = m.action;
      return request;
    }
  }

  // Every page switch is tested in this order and overwrites the last: "-RESTART" after "-START".
  static const struct {
    const char* word;
    int command;
  } kPages[] = {
      {"-START", 6026},    {"-QOVA", 6027},     {"-SERVICE", 6038}, {"-BHO", 6040},     {"-COOKIE", 6045},
      {"-NUT", 6028},      {"-OPTION", 6033},   {"-SCHEDULE", 6039}, {"-TASK", 6029},   {"-DELAY", 6055},
      {"-FILETYPE", 6042}, {"-HIDDEN", 6052},   {"-ACTIVEX", 6056}, {"-RECENT", 6060},  {"-REGOPTIONS", 6061},
      {"-EXIT", 6048},     {"-RESTART", 6033},
  };
  for (const auto& page : kPages)
    if (ContainsNoCase(text, page.word)) request.startCommand = page.command;
  request.quit = HasQuitSwitch(text);
  return request;
}

void RestoreCleanState() {
  RunningOnWow64 = IsWow64();  // the switch runs before start-up has learnt it
  RemoveTextOverrides();
  ManageOwnStartupEntries(1);
  RemoveWindowPlaces();  // in the 64-bit view on 64-bit Windows

  RestoreDelayedPrograms();
  WriteOption("Installed", 0);
  RegRemoveKeyTree(HKEY_CURRENT_USER, "Software\\Orvenn Studios");

  char menu[260];
  if (RegReadString(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA", "", menu, sizeof menu) > 0)
    RegRemoveKeyTree(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA");

  // The vault's files, then the vault itself when nothing else is left in it.
  char vault[260];
  if (DataFolder(vault) && AppendText(vault, "\\vault") < sizeof vault - 1) {
    DeleteFilesInFolder(vault);
    RemoveFolderForced(vault);
  }
}

void CopyAutoUpdateOption() {
  RunningOnWow64 = IsWow64();
  if (RunningOnWow64) return;  // 64-bit Windows keeps its own option
  DWORD option = RegReadDword(HKEY_CURRENT_USER, kProductKey, "AUOptions");
  RegWriteDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update",
                "AUOptions", &option);
}

void WriteUrlPrefixes() {
  if (IsWow64()) RunningOnWow64 = 1;
  RegView64 view;
  char prefix[256];
  if (RegReadString(HKEY_CURRENT_USER, kProductKey, "wwwPrefix", prefix, sizeof prefix) == 0)
    LoadText(1061, prefix, sizeof prefix);
  RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes", "www", prefix);
  RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix", "", prefix);
}

int RunUnattendedReport(const StartRequest& request) {
  if (!request.path[0]) return kExitNoPath;
  // The reports name the program as its sheet does once it is open.
  CopyText(ApplicationTitle, "VandrelixToGo Edition");
  StartupInit();
  CoInitialize(nullptr);  // the scheduled tasks are read through COM
  int written = 0;
  switch (request.action) {
    case START_SCANLOG:
      written = WriteScanLogFile(request.path);
      break;
    case START_REPORT: {
      size_t n = strlen(request.path);
      int text = n >= 4 && lstrcmpiA(request.path + n - 4, ".txt") == 0;
      written = WritePageReportFile(request.path, text ? kReportText : kReportHtml);
      break;
    }
    case START_SPREADSHEET:
      written = WriteSpreadsheetFile(request.path);
      break;
    default:
      break;
  }
  CoUninitialize();
  return written ? kExitWritten : kExitNotWritten;
}
