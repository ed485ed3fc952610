// The IE Helpers page: the add-ons Internet Explorer loads, with their removal.
#pragma once
#include <windows.h>

#include "ui/list_view.h"

INT_PTR CALLBACK IEHelpersPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Lists the add-ons and fills the page's list (control 1000). Returns the number of rows.
int FillIEHelpersList(HWND page);
extern const PageList kIEHelpersList;
