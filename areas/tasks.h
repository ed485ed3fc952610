// Work items of the Task Scheduler 1.0 (the .job tasks): listing them into the item table, reading a
// task's comment and status, removing a task, and keeping the scheduler running while it is used.
#pragma once
#include <windows.h>

enum { kScheduledTaskCode = 800 };

extern const char kKnownTasksKey[];  // HKCU ...\Vandrelix\Tasks: one value per known task, data "800"

// 1 while the scheduler runs because this program started it (the 9x agent or the Schedule service);
// each operation stops it again afterwards.
extern int SchedulerStartedByUs;
DWORD StartTaskScheduler();  // 0 when the scheduler runs afterwards, else a Windows error code
DWORD StopTaskScheduler();   // 0 when stopped

// Clears the item table and lists every work item: title = the name as enumerated (with its ".job";
// the whole name, which the operations take, is the item's value name, GetItemValueName),
// fileName = the application, command = next run time text, description = last run time text ("Never"
// for a time that is all zeros). Returns the number of items.
int EnumerateScheduledTasks();

// Deletes the work item of that enumerated name: S_OK (0), or a failure HRESULT (not found, refused).
HRESULT DeleteScheduledTask(const char* name);
// What "Remove" does: deletes the task and, once it is gone, its value in kKnownTasksKey.
HRESULT RemoveScheduledTask(const char* name);
// `out` (1024) is emptied, then receives the task's comment / "Status: Ready|Running|Not Scheduled".
void GetTaskComment(const char* name, char* out);
void GetTaskStatusText(const char* name, char* out);

// The Name column's text: the title without its ".job" ending (titles of four characters or fewer whole).
void TaskDisplayName(const char* title, char* out);  // out: 128
