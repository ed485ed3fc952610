// The Startup Programs page: every program Windows starts by itself, with disable, enable, remove and
// the shared item actions.
#pragma once
#include <windows.h>

#include "ui/list_view.h"

INT_PTR CALLBACK StartupPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Scans the startup places and fills the page's list (control 1000). Returns the number of rows.
int FillStartupList(HWND page);
extern const PageList kStartupList;

enum {
  IDC_STARTUP_LIST = 1000,
  IDD_STARTUP_PAGE = 102,
};
