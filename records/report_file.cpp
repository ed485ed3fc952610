#include "records/report_file.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/text.h"

int OpenReportFile(ReportFile* file, const char* path) {
  file->failed = 0;
  file->handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  return file->handle != INVALID_HANDLE_VALUE;
}

int CloseReportFile(ReportFile* file) {
  if (file->handle == INVALID_HANDLE_VALUE) return 0;
  if (!CloseHandle(file->handle)) file->failed = 1;
  file->handle = INVALID_HANDLE_VALUE;
  return !file->failed;
}

static void PutBytes(ReportFile* file, const char* text, size_t length) {
  if (file->handle == INVALID_HANDLE_VALUE || file->failed || length == 0) return;
  DWORD written = 0;
  if (!WriteFile(file->handle, text, (DWORD)length, &written, nullptr) || written != length) file->failed = 1;
}

void PutText(ReportFile* file, const char* text) { PutBytes(file, text, strlen(text)); }

void PutFormat(ReportFile* file, const char* format, ...) {
  char line[4096];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n >= 0 && (size_t)n < sizeof line) {
    PutBytes(file, line, (size_t)n);
    return;
  }
  // A long line (registry texts can be long): format it again into a buffer of its size.
  size_t need = n >= 0 ? (size_t)n + 1 : 65536;
  char* big = (char*)malloc(need);
  if (!big) {
    file->failed = 1;
    return;
  }
  va_start(args, format);
  vsnprintf(big, need, format, args);
  va_end(args);
  big[need - 1] = 0;
  PutBytes(file, big, strlen(big));
  free(big);
}

void ReportClockText(const SYSTEMTIME* time, char* clock, char* date) {
  int hour = time->wHour;
  const char* half = hour >= 12 ? "PM" : "AM";
  if (hour >= 13) hour -= 12;
  FormatText(clock, 32, "%2d:%02d:%02d %s", hour, time->wMinute, time->wSecond, half);
  FormatText(date, 32, "%2d/%02d/%4d", time->wMonth, time->wDay, time->wYear);
}

const char* ReportVersionText() {
  static char version[1024];
  static int read = 0;
  if (!read) {
    VersionText(version);
    read = 1;
  }
  return version;
}
