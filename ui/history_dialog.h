// The History dialog: the change history (history.txt) as a list, newest events in view, with the
// undo of the events that allow it and the clearing of the file.
#pragma once
#include <windows.h>

#include "ui/list_view.h"

enum {
  IDD_HISTORY = 141,
  IDC_HISTORY_LIST = 1000,
  IDC_HISTORY_TEXT = 1102,
  IDC_HISTORY_RESTORE = 1104,
  IDC_HISTORY_CLEAR = 1106,
  kHistoryListId = 6041,  // the list's id for its column widths and sort key
};

// Modal over the owner; ends with 1.
INT_PTR HistoryDialog(HWND owner);
extern const PageList kHistoryList;
