// The Active Tasks page: the running programs (and their modules on 64-bit Windows) and ending them.
#pragma once
#include <windows.h>

#include "ui/list_view.h"

INT_PTR CALLBACK ActiveTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Lists the running programs and fills the page's list (control 1000). Returns the number of rows.
int FillActiveTasksList(HWND page);
// What a page request that raises the sheet on this page does: the list is made afresh.
void RefreshActiveTasks(HWND page);
extern const PageList kActiveTasksList;
