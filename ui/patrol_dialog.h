// The patrol-time dialog the pages share: how often the companion monitor looks at an area for
// changes, or whether it looks at all.
#pragma once
#include <windows.h>

enum { IDD_PATROL_TIME = 160, IDC_PATROL_OFF = 1601, IDC_PATROL_ON = 1602, IDC_PATROL_TIME = 1603 };

// Shows the dialog with the present patrol time (0: not watched) chosen. captionId 0 keeps the
// template's caption. Returns the minutes chosen, 0 for no watch, or -1 when cancelled.
INT_PTR PatrolTimeDialog(HWND owner, UINT captionId, int minutes);
