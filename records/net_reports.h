// The administrator report and the information service's "removed" report. Both are handed to a
// background worker and never waited for: the caller builds the request (registry reads included) on
// its own thread and returns at once; the worker sends one request after the other, each with connect,
// send and receive time-outs, and ends when nothing is left to send.
#pragma once
#include <windows.h>
#include <stddef.h>

extern DWORD NetReportTimeoutMs;  // 5000: the connect, send and receive time-outs of one request

struct HistoryEventReport {
  char action[48];
  char location[48];
  char title[128];
  char fileName[260];
};

// Queue the report of one change; 1 when a request was queued (0: no administrator endpoint).
int SendAdminEvent(const HistoryEventReport* event);
// Queue the "removed" report of a program; a reply "3" later marks NewVersionAvailable. Always 1.
int ReportRemovalToCloud(const char* title, const char* command);

// The requests themselves. Both URLs are cut to 511 characters, never inside a percent escape.
int AdminEventUrl(const HistoryEventReport* event, char* url, size_t cap);  // 0 without `vxserver`
int CloudRequestUrl(const char* file, const char* title, char* url, size_t cap);
int CloudReplyCode(const char* reply);  // 3, 2 or 1 for a reply beginning so; else 0

// Base URL of the information service: HKCU, then HKLM, value InfoService of the product key;
// a built-in address when neither is set.
int InfoServiceUrl(char* out, size_t cap);
// Percent-encodes a query value: letters, digits and "-_.~" stay, everything else becomes %XX.
// An escape that does not fit whole is left out.
size_t EncodeQueryValue(const char* text, char* out, size_t cap);
// One GET on the calling thread with the time-outs above; the reply's first bytes (at most maxBytes)
// go to `reply`. Returns the number of bytes read, or -1 when the request failed or timed out.
int HttpGetTimed(const char* agent, const char* url, char* reply, DWORD maxBytes);
