// Delayed start: programs the companion starts a while after Windows has started, their return to
// normal startup, the launch rules for their stored options, and the companion's own autostart.
#pragma once
#include <windows.h>

extern const char kDelayRoot[];  // Software\Orvenn Studios\Vandrelix\Delay, under HKLM or HKCU
extern int MonitorRegistered;

// A value of Delay (sub "") or of one of its subkeys, named by the program's command.
int ReadDelayText(HKEY root, const char* sub, const char* command, char* out, DWORD cap);
int ScanDelayedPrograms();
void RemoveFromDelay(HKEY root, const char* command);
void RestoreDelayedPrograms();
// Starts a program with the window state stored for it under HKCU (the explorer's own starts).
int LaunchProgram(HWND owner, const char* file, const char* parameters, int runAs);
// Starts a program with a given show command: ShellExecuteEx ("runas" or "open"); when that fails,
// WinExec of the file and its parameters.
int StartProgram(HWND owner, const char* file, const char* parameters, int runAs, int show);
// The show command for a delayed program's stored window state, read from the root it lives in.
int DelayedShowCommand(HKEY root, const char* command);
int SetMonitorAutostart(int on, int allUsers);
int ManageOwnStartupEntries(int remove);

// Pure rules behind the options: a stored delay split into the minutes and seconds lists, a stored
// window state as a show command, and the command line a restore writes back.
void SplitDelayTime(int seconds, int* minutes, int* secondsEntry);
int ShowCommandOfState(int state);
void DelayedCommandLine(const char* applet, const char* command, const char* parameters, char* out, size_t cap);
// The command line of the WinExec fallback: the file, quoted when asked, and its parameters.
void FallbackCommandLine(const char* file, int quote, const char* parameters, char* out, size_t cap);

// The options of one delayed program (its table index); 1 when written.
INT_PTR DelayOptionsDialog(HWND owner, int index);
// "Startup Program Type": 1 for all users, 0 for the current user, -1 when cancelled.
INT_PTR StartupTypeDialog(HWND owner);

enum {
  IDD_DELAY_OPTIONS = 197, IDC_DELAY_TEXT = 1188, IDC_DELAY_MINUTES = 1196, IDC_DELAY_SECONDS = 1191,
  IDC_DELAY_STATE = 1199, IDC_DELAY_PARAMETERS = 1193, IDC_DELAY_TITLE = 1195, IDC_DELAY_RUNAS = 1339,
  IDC_DELAY_LABEL_MINUTES = 1181, IDC_DELAY_LABEL_SECONDS = 1182, IDC_DELAY_LABEL_PARAMETERS = 1183,
  IDC_DELAY_LABEL_STATE = 1184, IDC_DELAY_LABEL_TITLE = 1185,
  IDD_STARTUP_TYPE = 199, IDC_TYPE_QUESTION = 1198, IDC_TYPE_ALL = 1199, IDC_TYPE_USER = 1200,
};
