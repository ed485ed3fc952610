// The administrator report and the information service's "removed" report. Requests run on a worker
// thread and are waited for at most NetReportTimeoutMs: a missing network never holds the window long.
#pragma once
#include <windows.h>

extern DWORD NetReportTimeoutMs;  // 5000

struct HistoryEventReport {
  char action[48];
  char location[48];
  char title[128];
  char fileName[260];
};

int SendAdminEvent(const HistoryEventReport* event);
int ReportRemovalToCloud(const char* title, const char* command);
int SendCloudRequest(const char* file, const char* title);

// Base URL of the information service: HKCU, then HKLM, value InfoService of the product key;
// a built-in address when neither is set.
int InfoServiceUrl(char* out, size_t cap);
// Percent-encodes a query value: letters, digits and "-_.~" stay, everything else becomes %XX.
size_t EncodeQueryValue(const char* text, char* out, size_t cap);
// GET with WinINet on a worker thread; the reply's first bytes (at most maxBytes) go to `reply`.
// Returns the number of bytes read, or -1 when the request failed or did not end in time.
int HttpGetBounded(const char* agent, const char* url, char* reply, DWORD maxBytes);
