// The command line: which maintenance switch ends the run, which page to open, whether to quit.
#pragma once
#include <stddef.h>

enum StartAction {
  START_RUN,        // become (or hand over to) the running copy
  START_RESTORE,    // "-Restore"
  START_REGREPAIR,  // "-RegRepair"
  START_RESET,      // "-Reset"
  START_AUOPTION,   // "-AUOption"
  START_SETPREFIX,  // "-SetPrefix"
  // Unattended reports: written to the path given after the switch, then the run ends.
  START_SCANLOG,      // "-ScanLog <path>"
  START_REPORT,       // "-Report <path>": text when the path ends in .txt, else HTML
  START_SPREADSHEET,  // "-Spreadsheet <path>"
};

struct StartRequest {
  StartAction action;
  int startCommand;  // the page command to post at start
  int quit;          // "-Q": tell a running copy to quit, or start nothing
  char path[260];    // the unattended reports' file
};

// startTab is the stored StartTab option (6026 when it names no page).
StartRequest ParseCommandLine(const char* text, int startTab);
// "-Q" counts only as a switch of its own, so "-QOVA" is not taken for it.
int HasQuitSwitch(const char* text);

// The maintenance switches' work; each step's failure is ignored and the next step runs.
void RestoreCleanState();
void CopyAutoUpdateOption();
void WriteUrlPrefixes();

// Exit codes of the unattended reports.
enum { kExitWritten = 0, kExitNotWritten = 1, kExitNoPath = 2 };
// The path after a switch: quoted, or up to the next blank. 0 when there is none.
int SwitchArgument(const char* text, const char* word, char* out, size_t cap);
// Writes the report the request names, with no window, shell or console; the exit code.
int RunUnattendedReport(const StartRequest& request);
