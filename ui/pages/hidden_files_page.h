// The Hidden Files page: the hidden files of the folders Windows starts programs from.
#pragma once
#include <windows.h>

#include "ui/list_view.h"

INT_PTR CALLBACK HiddenFilesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Scans for hidden files and fills the page's list (control 1000). Returns the number of rows.
int FillHiddenList(HWND page);
extern const PageList kHiddenList;
