// The program report: every watched area rescanned into one document, as an HTML page (or a
// tab-separated text when the option Format is 1) and as a comma-separated spreadsheet.
#pragma once
#include <windows.h>
#include <stddef.h>

#include "records/report_file.h"

enum { kReportHtml = 0, kReportText = 1 };

// VandrelixLog.html (or .txt) in the current folder, then opened with the shell. 1.
int WritePageReport();
// The page report into `path` in the given form; 1 when written whole, 0 when the file could not be
// created or written. Nothing is opened.
int WritePageReportFile(const char* path, int format);
void WriteSystemSummary(ReportFile* file);
// The spreadsheet into `path` with the wait cursor, then opened with the shell. 1.
int WriteSpreadsheetReport(const char* path);
// The spreadsheet alone: 1 when written whole.
int WriteSpreadsheetFile(const char* path);

// Pure pieces.
// Text for HTML: & < > " ' become entities. Returns the length (cut at the end of `out`, never
// inside an entity).
size_t HtmlEscape(const char* text, char* out, size_t cap);
// A spreadsheet field (RFC 4180): quoted, with inner quotes doubled, when it holds a comma, a quote or
// a line break; as it is otherwise.
size_t CsvField(const char* text, char* out, size_t cap);
// Type and SubType columns of a Run-key row by its location code.
void RunKeyTypeTexts(int code, const char** type, const char** subType);
