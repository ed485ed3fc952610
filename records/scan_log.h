// The system scan log (Kelvrask.log): one finding per line, each opening with its code ("R0 - ",
// "O4 - ", "VX31 - " ...), in a fixed order, so that a reader or another tool finds each kind.
#pragma once
#include <windows.h>
#include <stddef.h>

// Writes the log with the wait cursor, then opens it with the shell. 1.
int WriteScanLog(const char* path);
// The log alone: 1 when written whole, 0 when the file could not be created or written.
int WriteScanLogFile(const char* path);

// Pure pieces.
// One HOSTS line (bytes below 32 already dropped): 1 and the log line (without line end) when it is
// listed.
int HostsLogLine(const char* line, char* out, size_t cap);
// Turns every CR and LF into a blank, so an inserted text stays on its line.
void FlattenLineBreaks(char* text);
// Drops every byte below 32 (CR and TAB included); returns the new length.
size_t DropControlBytes(char* text);
// The same over `length` bytes read from a file, NUL bytes included (they are dropped too, so they
// cannot hide the rest of a line); the result is terminated.
size_t DropControlBytes(char* text, size_t length);
// The O14 lines one line of iereset.inf gives (each ended by CR LF), appended to `out`; the count.
int IeresetLogLines(const char* line, char* out, size_t cap);
const char* BootModeText(int cleanBoot);  // "Boot mode: Normal" ...
// The O4 prefix of a Run-family location code ("O4 - HKLM\..\Run: " ...).
const char* RunLogPrefix(int code);
