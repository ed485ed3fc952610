// What the program report, the spreadsheet and the scan log share: a file they write line by line,
// and the clock text they open with.
#pragma once
#include <windows.h>
#include <stddef.h>

// A report file being written. Writes after a failure are dropped; `failed` tells the caller the file
// is incomplete.
struct ReportFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  int failed = 0;
};
// Creates (or replaces) the file for writing, unshared; 0 when it cannot be created.
int OpenReportFile(ReportFile* file, const char* path);
// Closes it; 1 when everything was written.
int CloseReportFile(ReportFile* file);
void PutText(ReportFile* file, const char* text);
void PutFormat(ReportFile* file, const char* format, ...) __attribute__((format(printf, 2, 3)));

// "%2d:%02d:%02d %s" with AM or PM (12 to 23 are PM, 13 to 23 lose 12) and "%2d/%02d/%4d" (month,
// day, year). Both out: 32.
void ReportClockText(const SYSTEMTIME* time, char* clock, char* date);
// Version text of this program, read once per process.
const char* ReportVersionText();
