// Delayed start: programs the companion starts a while after Windows has started, their return to
// normal startup, the launch rules for their stored options, and the companion's own autostart.
#pragma once
#include <windows.h>

extern const char kDelayRoot[];  // Software\Orvenn Studios\Vandrelix\Delay, under HKLM or HKCU
extern int MonitorRegistered;

int ScanDelayedPrograms();
void RemoveFromDelay(HKEY root, const char* command);
void RestoreDelayedPrograms();
int LaunchProgram(HWND owner, const char* file, const char* parameters, int runAs);
int SetMonitorAutostart(int on, int allUsers);
int ManageOwnStartupEntries(int remove);

// Pure rules behind the options: a stored delay split into the minutes and seconds lists, a stored
// window state as a show command, and the command line a restore writes back.
void SplitDelayTime(int seconds, int* minutes, int* secondsEntry);
int ShowCommandOfState(int state);
void DelayedCommandLine(const char* applet, const char* command, const char* parameters, char* out, size_t cap);
