// The Scheduled Tasks page: the work items of the Task Scheduler 1.0 and their removal.
#pragma once
#include <windows.h>

#include "ui/list_view.h"

INT_PTR CALLBACK ScheduledTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Lists the work items and fills the page's list (control 1000). Returns the number of rows.
int FillScheduledTasksList(HWND page);
extern const PageList kScheduledTasksList;
