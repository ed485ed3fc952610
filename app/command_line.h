// The command line: which maintenance switch ends the run, which page to open, whether to quit.
#pragma once

enum StartAction {
  START_RUN,        // become (or hand over to) the running copy
  START_RESTORE,    // "-Restore"
  START_REGREPAIR,  // "-RegRepair"
  START_RESET,      // "-Reset"
  START_AUOPTION,   // "-AUOption"
  START_SETPREFIX,  // "-SetPrefix"
};

struct StartRequest {
  StartAction action;
  int startCommand;  // the page command to post at start
  int quit;          // "-Q": tell a running copy to quit, or start nothing
};

// startTab is the stored StartTab option (raised to 6026 when smaller).
StartRequest ParseCommandLine(const char* text, int startTab);
// "-Q" counts only as a switch of its own, so "-QOVA" is not taken for it.
int HasQuitSwitch(const char* text);

// The maintenance switches' work; each step's failure is ignored and the next step runs.
void RestoreCleanState();
void CopyAutoUpdateOption();
void WriteUrlPrefixes();
