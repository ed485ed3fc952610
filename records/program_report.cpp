#include "records/program_report.h"

#include <shellapi.h>
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
#include "records/net_reports.h"
#include "records/online.h"
#include "records/scan_lists.h"
#include "startup/delay.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "startup/scan.h"

namespace {

// The name a service is found by: its key name when the row kept it (a title may be cut or retitled).
const char* ServiceName(const StartupItem* item) {
  return item->valueNameState == kNameKept ? item->valueName : item->title;
}

const char kLb[] = "<br>\r\n";
const char kReportTitle[] = "Vandrelix Report Log";

enum SectionKind { kPlain, kServices, kHidden, kHelpers };

struct Section {
  int number;         // anchor A<number>
  UINT heading;       // string-table text
  int (*scan)();      // clears and refills the item table
  SectionKind kind;
};

int ScanStartupComplete() { return ScanStartupPrograms(0); }

const Section kSections[] = {
    {0, 606, ScanStartupComplete, kPlain},
    {1, 609, ScanDelayedPrograms, kPlain},
    {2, 607, EnumerateActiveTasks, kPlain},
    {3, 680, EnumerateScheduledTasks, kPlain},
    {4, 694, EnumerateIEHelpers, kHelpers},
    {5, 739, EnumerateFileTypes, kPlain},
    {6, 636, EnumerateServices, kServices},
    {7, 973, ScanHiddenFiles, kHidden},
    {8, 1155, ScanActiveXControls, kPlain},
};

// Facts of one item that every form of the report uses, read once.
struct ItemFacts {
  char program[260];  // ExeFromCommand of fileName
  char name[260];     // text after the last backslash of fileName
  VersionFields fields;
};

void GatherItemFacts(const StartupItem* item, ItemFacts* out) {
  ExeFromCommand(item->fileName, out->program);
  const char* slash = strrchr(item->fileName, '\\');
  CopyText(out->name, slash ? slash + 1 : item->fileName);
  GetVersionFields(out->program, &out->fields);
}

const char* Field(const ItemFacts* facts, int which) { return facts->fields.field[which]; }

// HTML text of a value; a few reusable buffers so one format call can take several.
const char* Html(const char* text, int slot) {
  static char buffers[6][6 * 1024 + 1];
  HtmlEscape(text, buffers[slot], sizeof buffers[slot]);
  return buffers[slot];
}

void LanguagePiece(char* out, size_t cap) { LongLanguageCode(out, cap); }

// The information service's page about the item's program.
void InfoLink(const StartupItem* item, const ItemFacts* facts, char* out, size_t cap) {
  char root[512], name[1024], vendor[1024], version[1024], language[16];
  InfoServiceUrl(root, sizeof root);
  if (facts->program[0]) {
    char file[260];
    if (!FileNameOf(facts->program, file)) CopyText(file, facts->program);
    EscapeForUrl(name, sizeof name, file);
  } else {
    CopyText(name, item->title);
  }
  EscapeForUrl(vendor, sizeof vendor, Field(facts, VF_CompanyName));
  EscapeForUrl(version, sizeof version, Field(facts, VF_ProductVersion));
  LanguagePiece(language, sizeof language);
  FormatText(out, cap, "%s/cgi-bin/qovainfo.pl?program=%s&vendor=%s&version=%s&build=%s&Type=%d&Loc=%s", root, name,
             vendor, version, ReportVersionText(), item->location, language);
}

const char* HelperKeyOf(int code) {
  switch (code) {
    case 900: return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
    case 901: return "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
    case 902: return "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
    default: return "";
  }
}

void WriteHtmlItem(ReportFile* file, int index, const Section& section) {
  const StartupItem* item = StartupItemTable[index];
  static ItemFacts facts;
  GatherItemFacts(item, &facts);
  static const char kGap[] =
      "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp";
  if (section.kind == kHidden) {
    PutFormat(file, "<li><b>%s</b>\r\n\t<ol>\r\n", Html(facts.name, 0));
  } else {
    PutFormat(file, "<li><b>%s</b>\r\n\t<ol>%s%s\r\n", Html(item->title[0] ? item->title : "No Description available", 0),
              Html(facts.name, 1), kGap);
  }
  const char* description = Field(&facts, VF_FileDescription);
  const char* version = Field(&facts, VF_ProductVersion);
  const char* copyright = Field(&facts, VF_LegalCopyright);
  if (description[0]) PutFormat(file, "\t%s<br>", Html(description, 0));
  if (version[0]) PutFormat(file, "\tVersion: %s&nbsp;&nbsp;&nbsp;&nbsp&nbsp;&nbsp;&nbsp;&nbsp\r\n", Html(version, 0));
  if (copyright[0]) PutFormat(file, "\t%s<br>\r\n", Html(copyright, 0));
  if (!description[0] && !copyright[0]) PutText(file, "<br>");
  char location[512];
  if (FormatLocationText(index, location) > 0) PutFormat(file, "\tLocation: %s<br>\r\n", Html(location, 0));
  if (item->fileName[0]) PutFormat(file, "\tPath:     %s<br>\r\n", Html(item->fileName, 0));
  char detected[24];
  if (GetFirstDetected(facts.program, item->location, detected))
    PutFormat(file, "\tFirst Detected by Vandrelix: %s<br>\r\n", Html(detected, 0));
  if (item->description[0]) PutFormat(file, "\t%s<br>\r\n", Html(item->description, 0));
  if (section.kind == kServices) {
    PutFormat(file, "\tStartup Type: %s<br>\r\n", Html(item->command, 0));
    char state[256];
    if (GetServiceStateText(ServiceName(item), state) && state[0]) PutFormat(file, "\tService Status: %s<br>\r\n", Html(state, 0));
  }
  if (section.kind == kHidden) {
    FileFacts fileFacts;
    memset(&fileFacts, 0, sizeof fileFacts);
    GetFileFacts(item->fileName, item->location, &fileFacts);
    PutFormat(file, "\tCreated: %s<br>\r\n", Html(fileFacts.created, 0));
    PutFormat(file, "\tAccessed: %s<br>\r\n", Html(fileFacts.accessed, 0));
    PutFormat(file, "\tWritten: %s<br>\r\n", Html(fileFacts.modified, 0));
    PutFormat(file, "\tFile Size: %s Bytes<br>\r\n", Html(fileFacts.sizeText, 0));
  }
  if (section.kind == kHelpers) {
    char label[64];
    LoadText(716, label, sizeof label);
    PutFormat(file, "%s: \"HKLM\\%s\"<br>\r\n", Html(label, 0), HelperKeyOf(item->location));
  }
  char url[4096];
  InfoLink(item, &facts, url, sizeof url);
  PutFormat(file, "\t<A href='%s'>Click for Qova Info</A></ol>\r\n\r\n", Html(url, 0));
  PutText(file, "\t</ol><br>\r\n\r\n");
}

// A text-report field: a TAB or line break inside it would shift the fields after it.
const char* TextField(const char* text, int slot) {
  static char buffers[7][1024];
  size_t n = CopyText(buffers[slot], sizeof buffers[slot], text);
  for (size_t i = 0; i < n; ++i)
    if (buffers[slot][i] == '\t' || buffers[slot][i] == '\r' || buffers[slot][i] == '\n') buffers[slot][i] = ' ';
  return buffers[slot];
}

void WriteTextItem(ReportFile* file, int index) {
  const StartupItem* item = StartupItemTable[index];
  static ItemFacts facts;
  GatherItemFacts(item, &facts);
  char location[512];
  FormatLocationText(index, location);
  PutFormat(file, "%s\t%s\t", TextField(item->title, 0), TextField(facts.name, 1));
  PutFormat(file, "%s\t", TextField(Field(&facts, VF_FileDescription), 2));
  PutFormat(file, "%s\t", TextField(Field(&facts, VF_ProductVersion), 3));
  PutFormat(file, "%s\t", TextField(Field(&facts, VF_LegalCopyright), 4));
  PutFormat(file, "%s\t", TextField(location, 5));
  PutFormat(file, "%s\r\n", TextField(item->fileName, 6));
}

int IsEmptyItem(int index) {
  const StartupItem* item = StartupItemTable[index];
  return !item->title[0] && !item->fileName[0];
}

void OpenWithShell(const char* file) { ShellExecuteA(MainWindow, "open", file, nullptr, nullptr, SW_SHOWNORMAL); }

// The name a page uses to point at its own anchors.
void OwnName(const char* path, char* out, size_t cap) {
  const char* slash = strrchr(path, '\\');
  const char* other = strrchr(path, '/');
  if (other && (!slash || other > slash)) slash = other;
  CopyText(out, cap, slash ? slash + 1 : path);
}

}  // namespace

size_t HtmlEscape(const char* text, char* out, size_t cap) {
  if (!out || cap == 0) return 0;
  size_t o = 0;
  for (const char* p = text ? text : ""; *p; ++p) {
    const char* entity = *p == '&'    ? "&amp;"
                         : *p == '<'  ? "&lt;"
                         : *p == '>'  ? "&gt;"
                         : *p == '"'  ? "&quot;"
                         : *p == '\'' ? "&#39;"
                                      : nullptr;
    size_t need = entity ? strlen(entity) : 1;
    if (o + need + 1 > cap) break;
    if (entity) {
      memcpy(out + o, entity, need);
    } else {
      out[o] = *p;
    }
    o += need;
  }
  out[o] = 0;
  return o;
}

size_t CsvField(const char* text, char* out, size_t cap) {
  if (!out || cap == 0) return 0;
  if (!text) text = "";
  if (!strpbrk(text, ",\"\r\n")) return CopyText(out, cap, text);
  size_t o = 0;
  if (cap < 3) {
    out[0] = 0;
    return 0;
  }
  out[o++] = '"';
  for (const char* p = text; *p; ++p) {
    size_t need = *p == '"' ? 2 : 1;
    if (o + need + 2 > cap) break;  // room for the closing quote and the terminator
    out[o++] = *p;
    if (*p == '"') out[o++] = '"';
  }
  out[o++] = '"';
  out[o] = 0;
  return o;
}

void RunKeyTypeTexts(int code, const char** type, const char** subType) {
  static const char* const kKeys[] = {"", "Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce", "RunOnceSetup"};
  int digit = code % 10;
  int group = code / 10;
  if (code < 1 || code > 26 || digit < 1 || digit > 6) {
    *type = "UnknownKey";
    *subType = "Run";
    return;
  }
  *type = group == 0 ? "HKLM" : group == 1 ? "HKCU" : "HKU";
  *subType = code == 25 ? "RunServiceOnce" : kKeys[digit];
}

void WriteSystemSummary(ReportFile* file) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char clock[32], date[32];
  ReportClockText(&now, clock, date);
  PutFormat(file, "Report created by %s version %s", Html(ApplicationTitle, 0), Html(ReportVersionText(), 1));
  PutFormat(file, " at %s, on %s%s", clock, date, kLb);
  PutText(file, kLb);
  char os[512];
  OsDescription(os);
  PutFormat(file, "<b>Platform:</b> %s%s", Html(os, 0), kLb);

  static VersionFields fields;
  char browser[260], probe[260];
  DefaultBrowserPath(browser);
  CopyText(probe, browser);
  if (browser[0] && FileExists(probe)) {
    GetVersionFields(browser, &fields);
    PutFormat(file, "<b>Browser:</b> %s - <i>%s</i> version %s%s", Html(fields.field[VF_ProductName], 0),
              Html(fields.field[VF_FileDescription], 1), Html(fields.field[VF_ProductVersion], 2), kLb);
  } else {
    PutFormat(file, "Browser: Unable to find default browser.%s", kLb);
  }
  MEMORYSTATUS memory;
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  PutFormat(file, "Memory currently in use: %ld%%%s%s", (long)memory.dwMemoryLoad, kLb, "<br>");

  char ie[260];
  InternetExplorerPath(ie);
  CopyText(probe, ie);
  if (FileExists(probe)) {
    GetVersionFields(ie, &fields);
    PutFormat(file, "MSIE: %s (%s)%s", Html(fields.field[VF_FileDescription], 0),
              Html(fields.field[VF_ProductVersion], 1), kLb);
  } else {
    PutFormat(file, "MSIE: Internet Explorer Not found.%s", kLb);
  }
  PutText(file, "\r\n");

  const char* const kOthers[] = {"AOL.EXE", "firefox.exe", "Mozilla.exe", "Netscp.exe"};
  for (int k = 0; k < 4; ++k) {
    char version[260], path[260];
    if (!AppPathOf(kOthers[k], version, path)) continue;
    const char* v = Html(version, 0);
    const char* p = Html(path, 1);
    switch (k) {
      case 0: PutFormat(file, "America Online version %s%s", v, kLb); break;
      case 1: PutFormat(file, "Firefox %s installed in %s%s", v, p, kLb); break;
      case 2: PutFormat(file, "Mozilla %s installed in %s%s", v, p, kLb); break;
      default: PutFormat(file, "Netscape %s installed in %s%s", v, p, kLb); break;
    }
  }
  PutText(file, kLb);

  char ieMain[128];
  LoadText(623, ieMain, sizeof ieMain);
  static const struct {
    HKEY root;
    const char* key;
    const char* name;
    const char* label;
  } kValues[] = {
      {HKEY_CURRENT_USER, nullptr, "Window Title", "HKCU Window Title = "},
      {HKEY_CURRENT_USER, nullptr, "Default_Page_URL", "HKCU Default_Page_URL = "},
      {HKEY_LOCAL_MACHINE, nullptr, "Default_Page_URL", "HKLM Default_Page_URL = "},
      {HKEY_CURRENT_USER, nullptr, "Start Page", "HKCU Start Page = "},
      {HKEY_LOCAL_MACHINE, nullptr, "Start Page", "HKLM Start Page = "},
      {nullptr, nullptr, nullptr, nullptr},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "DefaultUserName",
       "WinLogon DefaultUserName="},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "DefaultDomainName",
       "WinLogon DefaultDomainName="},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Shell", "WinLogon Shell="},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "UserInit",
       "WinLogon UserInit="},
  };
  for (const auto& value : kValues) {
    if (!value.root) {
      PutText(file, kLb);
      continue;
    }
    static char text[8192];
    if (RegReadString(value.root, value.key ? value.key : ieMain, value.name, text, sizeof text - 1))
      PutFormat(file, "%s%s%s", value.label, Html(text, 0), kLb);
  }
  PutFormat(file, "%s<br>", kLb);
}

int WritePageReportFile(const char* path, int format) {
  ReportFile file;
  if (!OpenReportFile(&file, path)) return 0;
  if (format == kReportText) {
    PutText(&file, "Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\n");
  } else {
    PutFormat(&file, "<html><head><title>\r\n%s</title></head>\r\n<body bgcolor=FloralWhite>\r\n", kReportTitle);
    PutFormat(&file, "<H2 align='center'> %s </H2>\r\n", kReportTitle);
    WriteSystemSummary(&file);
    char own[260];
    OwnName(path, own, sizeof own);
    for (const Section& section : kSections) {
      if (section.number > 6) continue;  // Hidden Files and ActiveX have no index line
      char heading[128];
      LoadText(section.heading, heading, sizeof heading);
      PutFormat(&file, "<A href='%s#A%d'>%s</A><br>\r\n", Html(own, 0), section.number, Html(heading, 1));
    }
  }
  for (const Section& section : kSections) {
    section.scan();
    char heading[128];
    LoadText(section.heading, heading, sizeof heading);
    if (format == kReportText) {
      PutFormat(&file, "%s\r\n", TextField(heading, 0));
    } else {
      PutFormat(&file, "<A NAME=\"A%d\">\r\n", section.number);
      PutFormat(&file, "<center><b><BIG><BIG> \x95 %s \x95 </BIG></BIG></b></center>\r\n", Html(heading, 0));
    }
    for (int i = 0; i < StartupItemCount; ++i) {
      if (IsEmptyItem(i)) continue;
      if (format == kReportText) {
        WriteTextItem(&file, i);
      } else {
        WriteHtmlItem(&file, i, section);
      }
    }
  }
  if (format != kReportText) PutText(&file, "</body></html>\r\n");
  ClearStartupItems();
  return CloseReportFile(&file);
}

int WritePageReport() {
  int format = OptionSet[OPT_Format] == 1 ? kReportText : kReportHtml;
  const char* name = format == kReportText ? "VandrelixLog.txt" : "VandrelixLog.html";
  WritePageReportFile(name, format);
  OpenWithShell(name);
  return 1;
}

namespace {

enum SubTypeRule { kFixed, kByRunKey, kByServiceState };

struct SheetSection {
  int (*scan)();
  const char* type;
  const char* subType;
  SubTypeRule rule;
  int skipKilled;  // leave out controls whose kill bit is set
};

int ScanRunKeysOnly() {
  ClearStartupItems();
  ScanRunKeys();
  return StartupItemCount;
}

int ScanStartupFoldersOnly() {
  ClearStartupItems();
  ScanStartupFolders();
  return StartupItemCount;
}

int ScanToolbarsOnly() {
  ClearStartupItems();
  return ListToolbars();
}

const SheetSection kSheet[] = {
    {ScanRunKeysOnly, "", "", kByRunKey, 0},
    {ScanStartupFoldersOnly, "Startup", "Folder", kFixed, 0},
    {ScanDelayedPrograms, "Delayed Start", "", kFixed, 0},
    {EnumerateActiveTasks, "Active Tasks", "", kFixed, 0},
    {ListBrowserHelperObjects, "IE Helpers", "BHO", kFixed, 0},
    {ScanActiveXControls, "ActiveX", "Control", kFixed, 1},
    {ScanToolbarsOnly, "IE Helpers", "Toolbar", kFixed, 0},
    {EnumerateServices, "Services", "", kByServiceState, 0},
    {EnumerateScheduledTasks, "Scheduled Tasks", "", kFixed, 0},
};

const char* Csv(const char* text, int slot) {
  static char buffers[10][2 * 1024 + 3];
  CsvField(text, buffers[slot], sizeof buffers[slot]);
  return buffers[slot];
}

}  // namespace

int WriteSpreadsheetFile(const char* path) {
  ReportFile file;
  if (!OpenReportFile(&file, path)) return 0;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char clock[32], date[32];
  ReportClockText(&now, clock, date);
  PutFormat(&file, "Log created by %s version %s%s", ApplicationTitle, ReportVersionText(), "\r\n");
  PutFormat(&file, "Scan saved at %s, on %s%s", clock, date, "\r\n");
  PutFormat(&file, "%s,%s,%s,%s,%s,%s,%s,%s, %s%s", "Type", "SubType", "Title", "Filename", "Company",
            "First Detected", "Path", "Description", "Version", "\r\n");
  static ItemFacts facts;
  for (const SheetSection& section : kSheet) {
    section.scan();
    for (int i = 0; i < StartupItemCount; ++i) {
      const StartupItem* item = StartupItemTable[i];
      if (section.skipKilled && (GetCompatibilityFlags(item->command) & kKillBit)) continue;
      GatherItemFacts(item, &facts);
      const char* type = section.type;
      const char* subType = section.subType;
      char state[256];
      if (section.rule == kByRunKey) RunKeyTypeTexts(item->location, &type, &subType);
      if (section.rule == kByServiceState) {
        GetServiceStateText(ServiceName(item), state);
        subType = state;
      }
      // Commas in these become blanks; the others are quoted when they need it.
      char name[261], company[129], description[1025], version[129], detected[24];
      CommasToBlanks(facts.name, name, 260);
      CommasToBlanks(Field(&facts, VF_CompanyName), company, 128);
      CommasToBlanks(Field(&facts, VF_FileDescription), description, 1024);
      CommasToBlanks(Field(&facts, VF_ProductVersion), version, 128);
      GetFirstDetected(item->fileName, item->location, detected);
      // The blank before the file name belongs to its field: inside the quotes when it is quoted.
      char spacedName[262];
      FormatText(spacedName, sizeof spacedName, " %s", name);
      PutFormat(&file, "%s,%s,%s,%s,", Csv(type, 0), Csv(subType, 1), Csv(item->title, 2), Csv(spacedName, 3));
      PutFormat(&file, "%s,%s,%s,%s,%s%s", Csv(company, 4), Csv(detected, 5), Csv(item->fileName, 6),
                Csv(description, 7), Csv(version, 8), "\r\n");
    }
  }
  ClearStartupItems();
  return CloseReportFile(&file);
}

int WriteSpreadsheetReport(const char* path) {
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  WriteSpreadsheetFile(path);
  SetCursor(previous ? previous : LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
  OpenWithShell(path);
  return 1;
}
