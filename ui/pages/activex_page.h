// The ActiveX page: the controls Internet Explorer has used, enabled and disabled by their kill bit.
#pragma once
#include <windows.h>

#include "ui/list_view.h"

INT_PTR CALLBACK ActiveXPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Lists the controls (as the ActiveXListAll option says) and fills the page's list (control 1000).
// Returns the number of rows.
int FillActiveXList(HWND page);
extern const PageList kActiveXList;
