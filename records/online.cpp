#include "records/online.h"

#include <objbase.h>
#include <shellapi.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/net_reports.h"

char SelectedItemTitle[128] = "";

namespace {

// How long the program that opens the shortcut is given to read it.
const DWORD kShortcutReaderWaitMs = 5000;

const char kIePathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";

// Appends "<key><value>" when the whole piece fits within `limit` characters; 0 (and nothing
// appended) when it does not.
int AppendPiece(char* out, size_t cap, size_t limit, const char* key, const char* value) {
  size_t used = strlen(out);
  size_t need = strlen(key) + strlen(value);
  if (used + need > limit || used + need + 1 > cap) return 0;
  AppendText(out, cap, key);
  AppendText(out, cap, value);
  return 1;
}

void Escaped(const char* text, char* out, size_t cap) { EscapeForUrl(out, cap, text); }

// The program's name as sent: escaped, or the title as it is.
void NamePiece(const ProgramLookup* lookup, char* out, size_t cap) {
  if (lookup->nameIsTitle) {
    CopyText(out, cap, lookup->name);
  } else {
    Escaped(lookup->name, out, cap);
  }
}

int ShellOpen(const char* target) {
  return (int)(INT_PTR)ShellExecuteA(MainWindow, "open", target, "", "", SW_SHOWNORMAL);
}

// Starts Internet Explorer itself with the page, for a shell that could not open it.
void OpenWithInternetExplorer(const char* url) {
  char program[260];
  InternetExplorerPath(program);
  size_t cap = strlen(program) + strlen(url) + 4;
  char* line = (char*)LocalAlloc(LMEM_FIXED, cap);
  if (!line) return;
  // Quoted: unquoted, a path with blanks ("C:\Program Files\...") lets Windows try "C:\Program.exe" first.
  FormatText(line, cap, "\"%s\" %s", program, url);
  WinExec(line, SW_SHOWNORMAL);
  LocalFree(line);
}

// Path value of Internet Explorer's App Paths key, one trailing ";" dropped, with the program's name.
int IePathWith(const char* programName, char* out, DWORD readLength) {
  char folder[512];
  RegReadString(HKEY_LOCAL_MACHINE, kIePathsKey, "Path", folder, readLength);
  size_t n = strlen(folder);
  if (n > 0 && folder[n - 1] == ';') folder[n - 1] = 0;
  FormatText(out, 260, "%s\\%s", folder, programName);
  return (int)strlen(out);
}

}  // namespace

const char* ShortLanguageCode(int uiLanguage) {
  return uiLanguage == 7 ? "de" : uiLanguage == 12 ? "fr" : "en";
}

int LongLanguageCode(char* out, size_t cap) {
  char text[16];
  LoadText(634, text, sizeof text);
  if (!text[0]) CopyText(text, "en");
  return (int)CopyText(out, cap, text);
}

void GatherProgramLookup(int location, const char* commandLine, int detailed, ProgramLookup* out) {
  memset(out, 0, sizeof *out);
  out->location = location;
  CopyText(out->commandLine, commandLine ? commandLine : "");
  char program[260];
  ExeFromCommand(out->commandLine, program);
  if (!FileNameOf(program, out->name)) CopyText(out->name, program);
  out->hasExtension = ExtensionOf(out->name, out->extension);
  if (!program[0]) {
    CopyText(out->name, SelectedItemTitle);
    out->nameIsTitle = 1;
    out->hasExtension = 0;
    out->extension[0] = 0;
  }
  GetVersionFields(program, &out->fields);
  VersionText(out->build);
  if (detailed && program[0]) {
    FileFacts facts;
    memset(&facts, 0, sizeof facts);
    if (GetFileFacts(program, location, &facts)) {
      CopyText(out->created, facts.created);
      CopyText(out->detected, facts.firstDetected);
      CopyText(out->sizeText, facts.sizeText);
    }
  }
}

size_t BuildShortInfoUrl(const char* root, const ProgramLookup* lookup, const char* language, size_t limit,
                         char* out, size_t cap) {
  if (limit + 1 > cap) limit = cap - 1;
  FormatText(out, cap, "%s/cgi-bin/qovainfo.pl?program=", root);
  // The name always goes in, cut (never inside an escape) when it alone would pass the limit.
  char name[1024];
  NamePiece(lookup, name, sizeof name);
  if (strlen(out) + strlen(name) > limit) {
    size_t room = limit > strlen(out) ? limit - strlen(out) : 0;
    if (lookup->nameIsTitle) {
      CopyText(name, room + 1, lookup->name);
    } else {
      EscapeForUrl(name, room + 1, lookup->name);
    }
  }
  AppendText(out, cap, name);

  char vendor[1024], version[1024], type[24], ext[800];
  Escaped(lookup->fields.field[VF_CompanyName], vendor, sizeof vendor);
  Escaped(lookup->fields.field[VF_ProductVersion], version, sizeof version);
  FormatText(type, sizeof type, "%d", lookup->location);
  Escaped(lookup->hasExtension ? lookup->extension : "", ext, sizeof ext);
  const char* pieces[][2] = {{"&vendor=", vendor}, {"&version=", version}, {"&build=", lookup->build},
                             {"&Type=", type},      {"&Loc=", language},   {"&ext=", ext}};
  for (const auto& piece : pieces)
    if (!AppendPiece(out, cap, limit, piece[0], piece[1])) break;  // a cut: nothing after it either
  return strlen(out);
}

size_t BuildDetailedInfoUrl(const char* root, const ProgramLookup* lookup, const char* language, char* out,
                            size_t cap) {
  size_t limit = (size_t)kDetailedUrlLimit < cap ? (size_t)kDetailedUrlLimit : cap - 1;
  FormatText(out, cap, "%s/cgi-bin/qovainfo12.pl?program=", root);
  char name[1024];
  NamePiece(lookup, name, sizeof name);
  AppendText(out, cap, name);

  const VersionFields& f = lookup->fields;
  static char escaped[8][1024];
  Escaped(f.field[VF_CompanyName], escaped[0], sizeof escaped[0]);
  Escaped(f.field[VF_ProductVersion], escaped[1], sizeof escaped[1]);
  Escaped(f.field[VF_ProductName], escaped[2], sizeof escaped[2]);
  Escaped(f.field[VF_LegalCopyright], escaped[3], sizeof escaped[3]);
  Escaped(f.field[VF_FileDescription], escaped[4], sizeof escaped[4]);
  Escaped(lookup->created, escaped[5], sizeof escaped[5]);
  Escaped(lookup->detected, escaped[6], sizeof escaped[6]);
  char size[64], path[1024], type[24], ext[800];
  Escaped(lookup->sizeText, size, sizeof size);
  Escaped(lookup->commandLine, path, sizeof path);
  FormatText(type, sizeof type, "%d", lookup->location);
  Escaped(lookup->hasExtension ? lookup->extension : "", ext, sizeof ext);
  const char* pieces[][2] = {
      {"&vendor=", escaped[0]}, {"&build=", lookup->build}, {"&Type=", type},          {"&Loc=", language},
      {"&ext=", ext},           {"&version=", escaped[1]}, {"&name=", escaped[2]},     {"&copy=", escaped[3]},
      {"&detail=", escaped[4]}, {"&created=", escaped[5]}, {"&detected=", escaped[6]}, {"&fsize=", size},
      {"&path=", path},
  };
  for (const auto& piece : pieces)
    if (!AppendPiece(out, cap, limit, piece[0], piece[1])) break;
  return strlen(out);
}

int OpenProgramInfo(int location, const char* commandLine) {
  if (OptionSet[OPT_QovaFormat] != 0) return OpenDetailedProgramInfo(location, commandLine);
  static ProgramLookup lookup;
  GatherProgramLookup(location, commandLine, 0, &lookup);
  char root[512], url[kShortUrlLimit + 1];
  InfoServiceUrl(root, sizeof root);
  BuildShortInfoUrl(root, &lookup, ShortLanguageCode(UiLanguage), kShortUrlLimit, url, sizeof url);
  if (ShellOpen(url) < 32) OpenWithInternetExplorer(url);
  return 0;
}

int OpenDetailedProgramInfo(int location, const char* commandLine) {
  static ProgramLookup lookup;
  GatherProgramLookup(location, commandLine, 1, &lookup);
  char root[512], language[16];
  static char url[kDetailedUrlLimit + 1];
  InfoServiceUrl(root, sizeof root);
  LongLanguageCode(language, sizeof language);
  BuildDetailedInfoUrl(root, &lookup, language, url, sizeof url);

  char shortcut[260];
  ProgramFolder(shortcut);
  AppendText(shortcut, "\\temp.url");
  int result;
  if (CreateUrlShortcut(shortcut, url) >= 0) {
    // The shortcut is often opened by a program of its own (rundll32 with OpenURL): it is deleted once
    // that program has read it, not before.
    SHELLEXECUTEINFOA open;
    memset(&open, 0, sizeof open);
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    open.hwnd = MainWindow;
    open.lpVerb = "open";
    open.lpFile = shortcut;
    open.nShow = SW_SHOWNORMAL;
    BOOL opened = ShellExecuteExA(&open);
    result = opened ? 33 : (int)(INT_PTR)open.hInstApp;
    if (open.hProcess) {
      WaitForSingleObject(open.hProcess, kShortcutReaderWaitMs);
      CloseHandle(open.hProcess);
    }
    DeleteFileA(shortcut);
  } else {
    result = ShellOpen(url);
  }
  if (result < 32 && ReadOption("BrowserFailure", 0) != 0) OpenWithInternetExplorer(url);
  return 0;
}

int CreateUrlShortcut(const char* file, const char* url) {
  static const CLSID kInternetShortcut = {0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
  static const IID kUrlLocatorA = {0xFBF23B80, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
  // IUniformResourceLocatorA: SetURL is the first method after IUnknown's three.
  struct UrlLocatorVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(void*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(void*);
    ULONG(STDMETHODCALLTYPE* Release)(void*);
    HRESULT(STDMETHODCALLTYPE* SetURL)(void*, LPCSTR, DWORD);
  };
  struct UrlLocator {
    UrlLocatorVtbl* vtbl;
  };
  wchar_t wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, file, -1, wide, MAX_PATH)) return -1;
  HRESULT init = CoInitialize(nullptr);
  UrlLocator* locator = nullptr;
  HRESULT hr = CoCreateInstance(kInternetShortcut, nullptr, CLSCTX_INPROC_SERVER, kUrlLocatorA, (void**)&locator);
  if (SUCCEEDED(hr)) {
    hr = locator->vtbl->SetURL(locator, url, 0);
    if (SUCCEEDED(hr)) {
      IPersistFile* persist = nullptr;
      hr = locator->vtbl->QueryInterface(locator, IID_IPersistFile, (void**)&persist);
      if (SUCCEEDED(hr)) {
        hr = persist->Save(wide, TRUE);
        persist->Release();
      }
    }
    locator->vtbl->Release(locator);
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return SUCCEEDED(hr) ? 0 : -1;
}

int BrowserFromCommand(const char* command, char* out) {
  out[0] = 0;
  const char* p = command;
  while (*p == ' ') ++p;
  if (*p == '"') {
    const char* close = strchr(p + 1, '"');
    CopyTextN(out, 260, p + 1, close ? (size_t)(close - p - 1) : strlen(p + 1));
    return (int)strlen(out);
  }
  // Unquoted: the path may hold blanks, so it ends after ".exe" when there is one.
  size_t n = strlen(p), end = 0;
  for (size_t i = 0; i + 4 <= n; ++i) {
    if (_strnicmp(p + i, ".exe", 4) == 0) {
      end = i + 4;
      break;
    }
  }
  if (end == 0) {
    const char* blank = strchr(p, ' ');
    end = blank ? (size_t)(blank - p) : n;
  }
  CopyTextN(out, 260, p, end);
  return (int)strlen(out);
}

int DefaultBrowserPath(char* out) {
  out[0] = 0;
  char key[128];
  LoadText(5, key, sizeof key);
  char command[512];
  if (!RegReadString(HKEY_LOCAL_MACHINE, key, "", command, sizeof command)) return 0;
  char program[260];
  BrowserFromCommand(command, program);
  if (!program[0]) IePathWith("IExplore.exe", program, 511);
  return (int)CopyText(out, 260, program);
}

int InternetExplorerPath(char* out) { return IePathWith("iexplore.exe", out, 259); }

const char* HelpPageOf(int commandId) {
  static const struct {
    int id;
    const char* page;
  } kPages[] = {
      {6026, "startup.html"},  {6028, "cookies.html"},   {6029, "tasks.html"},   {6033, "options.html"},
      {6035, "reset.html"},    {6038, "services.html"},  {6039, "scheduler.html"}, {6040, "bho.html"},
      {6042, "filetype.html"}, {6051, "helpme.html"},    {6052, "hidden.html"},  {6055, "delay.html"},
      {6056, "activex.html"},  {6060, "recent.html"},    {6061, "reglock.html"},
  };
  for (const auto& entry : kPages)
    if (entry.id == commandId) return entry.page;
  return "features.html";
}

void HelpFileName(const char* language, int commandId, char* out, size_t cap) {
  if (lstrcmpiA(language, "us") == 0) {
    CopyText(out, cap, HelpPageOf(commandId));
  } else {
    FormatText(out, cap, "%s_%s", language, HelpPageOf(commandId));
  }
}

int OpenHelpPage(HWND window, int commandId) {
  char language[16], page[64];
  LoadText(634, language, sizeof language);
  HelpFileName(language, commandId, page, sizeof page);
  char local[260];
  ProgramFolder(local);
  AppendText(local, "\\");
  AppendText(local, page);
  char target[600];
  if (GetFileAttributesA(local) != INVALID_FILE_ATTRIBUTES) {
    CopyText(target, local);
  } else {
    char root[512];
    InfoServiceUrl(root, sizeof root);
    FormatText(target, sizeof target, "%s/%s", root, page);
  }
  ShellExecuteA(window ? window : MainWindow, "open", target, "", "", SW_SHOWNORMAL);
  return 1;
}

int OpenVersionCheck() {
  char root[512], build[1024], language[16];
  InfoServiceUrl(root, sizeof root);
  VersionText(build);
  LongLanguageCode(language, sizeof language);
  char url[1700];
  if (OptionSet[OPT_NewVersionAvailable] > 0) {
    FormatText(url, sizeof url, "%s/download.html", root);
  } else {
    FormatText(url, sizeof url, "%s/cgi-bin/versione1.pl?&build=%s&Loc=%s", root, build, language);
  }
  ShellOpen(url);
  return 0;
}
