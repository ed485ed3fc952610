// Windows services that start programs: listing them into the item table, their state and start type,
// stopping one and changing its start type, and finding the service that runs a given program file.
#pragma once
#include <windows.h>

enum { kServiceExeCode = 700, kServiceHostCode = 701 };  // own program / hosted by svchost.exe

// Clears the item table and lists every service whose ImagePath names an .exe or the shared host:
// title = display name, fileName = program (the host's ServiceDll for shared-host services; resolved
// with ExeFromCommand while HideMicrosoftServices is on), command = start-type text, description =
// the service's Description; the item's value name (GetItemValueName) is the service's key name, which
// every operation below takes as well as the display name (a title may be cut at 127 characters or
// retitled, and then names no service). Returns the number of items.
int EnumerateServices();

// The display name the service manager gives for a key name (out: `capacity` bytes); 1 when it gives one.
int GetServiceDisplayText(const char* keyName, char* out, size_t capacity);

// Low 16 bits: dwServiceType; high 16 bits: dwCurrentState; 0 when the service cannot be read.
DWORD QueryServiceStateWord(const char* displayName);
// The state word, with its text in `out` (256): "Stopped" also when the word is 0, so test the result.
DWORD GetServiceStateText(const char* displayName, char* out);
// The controls a running service accepts (SERVICE_ACCEPT_*), 0 when it is not running or unreachable.
DWORD InterrogateService(const char* displayName);
// Sends a control (1 = stop) to the service of that display name; 1 when the service took it.
int ControlServiceByTitle(const char* displayName, DWORD control);

// Sets the start type (2 automatic, 3 manual, 4 disabled) of the service of that title, for the service
// manager and in its key; DelayedAutostart is written only where the key already has it. Returns 1
// when the service was found and changed.
int SetServiceStartType(const char* title, DWORD start, DWORD delayed);

// The Startup Type choices, in list order: Automatic, Manual, Disabled, Automatic (Delayed Start).
enum { kServiceStartChoices = 4 };
int ServiceStartChoiceText(int choice, char* out);  // out: 128; the string-table text
// `service` below is the service's key name or display name (a row's kept key name, when it has one:
// its title may be cut or retitled); `title` is what the change history shows.
// Start-type text of the service as its key holds it now (out: 128); 1 when found.
int ReadServiceStartText(const char* service, char* out);
// What "Apply" does: sets the choice's start type and records the previous and the new start type in
// the change history (nothing when the service is not found or already has that start type).
int ApplyServiceStartChoice(const char* service, const char* title, const char* file, int location, int choice);
// What "Stop" does: stops the service and records SERVICE_Stop when it stopped. Returns 1 then.
int StopServiceItem(const char* service, const char* title, const char* file, int location);

// The Description of the service whose program (or ServiceDll) is `file` (out: 1024); its length, 0
// when none matches.
int FindServiceDescriptionByFile(const char* file, char* out);
// The display name of a service that is running with `file` as its own program (out: 257); 1 when
// one is found. Shared-host services count by the host's program, which is what a process runs.
int FindRunningServiceByProgram(const char* file, char* out);
