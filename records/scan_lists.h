// The small registry scans of the system scan log: browser helper objects, toolbars, menu
// extensions, extra buttons, advanced options, plug-ins, downloaded controls, delay-load objects,
// shared task schedulers and trusted zone domains. Each adds one item per finding to the table and
// returns the number added; all but ListToolbars clear the table first.
#pragma once
#include <windows.h>

int ListBrowserHelperObjects();  // (name, server, class id, "", 900, 0), each class id once
int ListToolbars();              // (name, server, class id, company, 900, 0); the caller clears
int ListMenuExtensions();        // (key, target, key, "", 0, 0)
int ListExtraButtons();          // (button text, target, class id, "", 1, 0) and (menu text, ..., 2, 0)
int ListAdvancedOptions();       // (text, help id, bitmap folder, "", 0, 0)
int ListPlugins();               // (key, location, key, "", 0, 0)
int ListDownloadedControls();    // (class name, code base, server, key, 0, 0)
int ListDelayLoadObjects();      // (class name, server, class id, value name, 0, 0)
int ListSharedTaskSchedulers();  // (class name, server, class id, description, 0, 0)
int ListZoneDomains();           // (domain, "", "", "", 0, 0) for each domain in the trusted zone

// Delay-load objects Windows itself registers.
int IsDefaultDelayLoad(const char* classId);

enum { kZoneTrusted = 2, kZoneRestricted = 4 };
// The zone a domain of the zone map is put in: the first protocol value (a DWORD) of the domain's
// key, then of its subkeys in order, that names the trusted or the restricted zone; 0 when none does
// or the key cannot be opened.
int DomainZoneMark(HKEY root, const char* domainKey);
