// What Internet Explorer loads besides itself (helper objects, toolbars, toolbar-button extensions)
// and the ActiveX controls it has used, gathered into the item table; removal of an add-on and the
// kill bit that disables a control.
#pragma once
#include <windows.h>

enum { kCodeBho = 900, kCodeToolbar = 901, kCodeExtension = 902, kCodeActiveX = 1200 };
enum { kKillBit = 0x400 };

// Under HKLM, except the stats key (HKCU).
extern const char kBhoKey[];         // one subkey per class id
extern const char kToolbarKey[];     // one value per class id
extern const char kExtensionKey[];   // one subkey per extension id
extern const char kActiveXStatsKey[];   // one subkey per class id, with an iexplore subkey
extern const char kActiveXCompatKey[];  // one subkey per class id, value "Compatibility Flags"

// Clears the table and lists every add-on; returns the count. Helper objects and toolbars are read in
// both registry views of 64-bit Windows, an object already listed by its class id only once.
int EnumerateIEHelpers();
// Removes the add-on of table item `index` (whose file must be `file`): its key or value in every
// registry view, then unregisters its module, records the change and reports it. Returns the number
// of keys and values removed; 0 (and nothing run or recorded) when there was nothing to remove.
int RemoveIEHelper(const char* file, int index);
// "BHO", "TOOLBAR" or "EXTENSION" for an add-on's code, else "".
const char* IEHelperTypeText(int code);

// Controls under the stats key whose iexplore Type is below 2; the table is cleared first unless `keep`.
int EnumerateActiveXControls(int keep);
// Clears the table, lists the stats-key controls, then those of the compatibility key not yet listed.
int EnumerateAllActiveXControls();
// The ActiveX page's fill: either list by the ActiveXListAll option, with file redirection off.
int ScanActiveXControls();

DWORD GetCompatibilityFlags(const char* classId);  // 0 when absent
int IsActiveXEnabled(const char* classId);         // 1 when the kill bit is clear
int SetActiveXKillBit(const char* classId);        // 1 when written
int ClearActiveXKillBit(const char* classId);      // 1 when written
