// The maintenance and reset tools: repairs a user may need after an upgrade, a change of language or
// of monitors, or leftovers of earlier installations. The user ticks the repairs wanted; "&Apply" runs
// each ticked one once, in a fixed order, and closes the dialog.
#pragma once
#include <windows.h>

enum {
  IDD_MAINTENANCE = 227,
  IDC_MAINT_INTRO = 1269,
  IDC_MAINT_FIRST_BOX = 1270,  // six check boxes, 1270..1275, in the order the repairs run
  IDC_MAINT_HELP = 1276,
};

// The repairs, one bit each (bit n - 1 for box n).
enum MaintenanceRepair : unsigned {
  REPAIR_TRAY_ICON = 1u << 0,       // the companion registered once more to start with Windows
  REPAIR_LANGUAGE = 1u << 1,        // translated-text overrides removed
  REPAIR_UNINSTALL = 1u << 2,       // uninstall entries of other versions removed
  REPAIR_DETECTED = 1u << 3,        // first-detected entries of files that are gone removed
  REPAIR_PLACES = 1u << 4,          // saved window places removed
  REPAIR_COOKIE_FOLDERS = 1u << 5,  // saved cookie folders removed
};
enum { kRepairCount = 6 };

// Modal; the owner may be null (the "-Reset" switch). 1 when "&Apply" ran the ticked repairs, 2 when
// the dialog was closed without running anything.
INT_PTR MaintenanceDialog(HWND owner);
// Runs the repairs whose bits are set, in their order. With the dialog given, each box is unticked as
// its repair runs and the start-type question is owned by it.
void RunRepairs(unsigned repairs, HWND dialog);

// Removes the uninstall entries of Vandrelix whose display version is not this program's, in the
// current registry view and, on 64-bit Windows, in the 64-bit view. An entry without a display
// version stays, and nothing is removed when this program's own version cannot be read. 1.
int RemoveOldUninstallEntries();
// The repairs shared with "-Restore".
void RemoveTextOverrides();  // "LString0".."LString1499", per user, then per machine
void RemoveWindowPlaces();   // the saved places and sizes of every window
