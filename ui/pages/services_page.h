// The Services page: every service that starts a program, with its state and start type.
#pragma once
#include <windows.h>

#include "ui/list_view.h"

INT_PTR CALLBACK ServicesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Lists the services and fills the page's list (control 1000). Returns the number of rows.
int FillServicesList(HWND page);
extern const PageList kServicesList;
