// Online lookups: the information service's page about a program ("QOVA Info"), the help page of the
// current page, the version check, and where the default browser and Internet Explorer live. Nothing
// here reads a reply: every request is a page handed to the browser through the shell.
#pragma once
#include <windows.h>
#include <stddef.h>

#include "platform/file_facts.h"

// Title of the selected item, sent as the program's name when no program path can be taken from its
// command. The caller sets it before asking for information.
extern char SelectedItemTitle[128];

int OpenProgramInfo(int location, const char* commandLine);          // 0
int OpenDetailedProgramInfo(int location, const char* commandLine);  // 0
int DefaultBrowserPath(char* out);    // out: 260; length, 0 when no browser is registered
int InternetExplorerPath(char* out);  // out: 260; length
int OpenHelpPage(HWND window, int commandId);  // 1
int OpenVersionCheck();                        // 0
int CreateUrlShortcut(const char* file, const char* url);  // below 0 on failure

// The pure pieces behind them.
enum { kShortUrlLimit = 259, kDetailedUrlLimit = 1347 };

// What a lookup sends about a program: its file name (or the item's title), extension and facts.
struct ProgramLookup {
  char name[260];       // the program's file name, or SelectedItemTitle when no program was found
  int nameIsTitle;      // the title is sent as it is, not escaped
  int hasExtension;     // the file name has a "."
  char extension[260];  // the text after its first "."
  VersionFields fields;
  char created[24], detected[24], sizeText[24];
  char commandLine[260];
  char build[1024];  // VersionText
  int location;
};
// Program path, name, extension and version facts of a command line (detailed adds file facts).
void GatherProgramLookup(int location, const char* commandLine, int detailed, ProgramLookup* out);
// The short request: root + /cgi-bin/qovainfo.pl?program=... with the pieces in their order, never
// longer than `limit` characters and never cut inside a piece (pieces that no longer fit are left off).
size_t BuildShortInfoUrl(const char* root, const ProgramLookup* lookup, const char* language, size_t limit,
                         char* out, size_t cap);
// The detailed request: root + /cgi-bin/qovainfo12.pl?program=..., at most kDetailedUrlLimit.
size_t BuildDetailedInfoUrl(const char* root, const ProgramLookup* lookup, const char* language, char* out,
                            size_t cap);
const char* ShortLanguageCode(int uiLanguage);  // "en", "de" (7), "fr" (12)
int LongLanguageCode(char* out, size_t cap);    // string 634, "en" when it is empty
const char* HelpPageOf(int commandId);          // "startup.html"...; "features.html" for any other
// The help page's file name with its language prefix ("" for "us", else the code and "_").
void HelpFileName(const char* language, int commandId, char* out, size_t cap);
// The program file of a browser's open command: the quoted path, else the text up to ".exe", else up
// to the first blank. Empty when the command names nothing.
int BrowserFromCommand(const char* command, char* out);  // out: 260
