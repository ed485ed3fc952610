// Running programs: one walk over the processes of every Windows family (the process-status functions
// with 16-bit tasks inside NTVDM, the tool-help snapshot on Windows 9x, every module of every process on
// 64-bit Windows), the Active Tasks list built on it, and ending a running program.
#pragma once
#include <windows.h>

enum { kActiveTaskCode = 600 };

// Called for each process (and, on 64-bit Windows, each module); `task` is the 16-bit task handle of
// an NTVDM task, else 0. `fileName` may be empty for a process that cannot be read. 0 ends the walk.
typedef int (*ProcessVisitor)(DWORD processId, WORD task, const char* fileName, void* context);
// 1 when the walk ran, 0 when the platform's functions are missing.
int EnumerateProcesses(ProcessVisitor visit, void* context);

// Clears the item table and lists each running program file once: title = FileDescription (else from
// the file name), fileName = the program path, flag = the id of the first process met running it.
int EnumerateActiveTasks();

// 1 when a process runs `file`; a file name without a folder matches that name in any folder.
int IsProcessRunning(const char* file);
// The program file of a running process (out: 260); 0 when it cannot be read.
int ProcessFileOf(DWORD processId, char* out);

// Ends the first process whose own program is `file` (never one that merely loaded it as a library;
// asking first with `ask`, titled `title`), stops the service
// that runs the program when it is still running, and records both in the history. Returns the id of
// the process found, 0 when none runs the file.
DWORD EndProcessByPath(const char* file, const char* title, int ask);
// Terminates a process; non-zero when it was terminated.
int TerminateProcessById(DWORD processId);
// What "Kill Task" does for one row of the Active Tasks list (its table index): ends the row's own
// process, when it still runs the row's file, then any other process of the file through
// EndProcessByPath; records and reports what was ended. A library's row (all files shown on 64-bit
// Windows) ends only its own process, while that still has the library loaded. Returns 1 when
// something was ended.
int EndActiveTask(int index);
