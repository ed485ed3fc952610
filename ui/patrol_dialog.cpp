#include "ui/patrol_dialog.h"

#include <stdlib.h>

#include "platform/settings.h"
#include "platform/text.h"
#include "ui/sheet.h"

namespace {

const int kTimes[] = {1, 2, 3, 5, 10, 15, 20, 30, 60};

struct PatrolRequest {
  UINT captionId;
  int minutes;
};

INT_PTR CALLBACK PatrolTimeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const PatrolRequest* request = (const PatrolRequest*)lParam;
      if (request->captionId) {
        char caption[128];
        LoadText(request->captionId, caption, sizeof caption);
        SetWindowTextA(dialog, caption);
      }
      CenterWindow(dialog);
      // The present time is offered even when it is none of the usual ones, so OK never changes it.
      int current = request->minutes;
      int times[sizeof kTimes / sizeof kTimes[0] + 1];
      int count = 0, placed = current <= 0;
      for (int time : kTimes) {
        if (!placed && current <= time) {
          placed = 1;
          if (current < time) times[count++] = current;
        }
        times[count++] = time;
      }
      if (!placed) times[count++] = current;
      int chosen = 1;  // two minutes when nothing is watched yet
      for (int i = 0; i < count; ++i) {
        char text[16];
        FormatText(text, sizeof text, "%d", times[i]);
        SendDlgItemMessageA(dialog, IDC_PATROL_TIME, CB_ADDSTRING, 0, (LPARAM)text);
        if (times[i] == current) chosen = i;
      }
      SendDlgItemMessageA(dialog, IDC_PATROL_TIME, CB_SETCURSEL, chosen, 0);
      CheckRadioButton(dialog, IDC_PATROL_OFF, IDC_PATROL_ON, current > 0 ? IDC_PATROL_ON : IDC_PATROL_OFF);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          int result = 0;
          if (IsDlgButtonChecked(dialog, IDC_PATROL_ON) == BST_CHECKED) {
            char text[16] = "";
            GetDlgItemTextA(dialog, IDC_PATROL_TIME, text, sizeof text);
            result = atoi(text);
            if (result <= 0) result = kTimes[0];
          }
          EndDialog(dialog, result);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, -1);  // nothing changes
          return TRUE;
        case IDC_PATROL_TIME:
          // Choosing a time means watching.
          if (HIWORD(wParam) == CBN_SELCHANGE) CheckRadioButton(dialog, IDC_PATROL_OFF, IDC_PATROL_ON, IDC_PATROL_ON);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR PatrolTimeDialog(HWND owner, UINT captionId, int minutes) {
  PatrolRequest request = {captionId, minutes};
  return DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_PATROL_TIME), owner, PatrolTimeProc, (LPARAM)&request);
}
