#include "records/net_reports.h"

#include <wininet.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/history.h"

DWORD NetReportTimeoutMs = 5000;

namespace {

const char kDefaultInfoService[] = "http://qova.orvenn-studios.com";
const DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                            INTERNET_FLAG_PRAGMA_NOCACHE;  // 0x84000300
const size_t kUrlLength = 511;

// A request as the worker gets it: everything read and built by the caller, so the worker touches
// neither the registry nor the process's view masks.
enum ReportKind { kAdminReport, kRemovedReport };
struct QueuedRequest {
  int kind;
  char agent[16];
  char url[kUrlLength + 1];
};

// Requests wait here for the one worker; when all slots are taken a new report is dropped (reports
// are never retried anyway). The worker ends as soon as the queue is empty.
enum { kQueueSlots = 32 };
QueuedRequest queue[kQueueSlots];
int queueHead = 0, queueCount = 0, workerRunning = 0;
CRITICAL_SECTION queueLock;
volatile LONG queueLockState = 0;  // 0 not made, 1 being made, 2 ready

void EnsureQueueLock() {
  if (InterlockedCompareExchange(&queueLockState, 1, 0) == 0) {
    InitializeCriticalSection(&queueLock);
    InterlockedExchange(&queueLockState, 2);
  }
  while (queueLockState != 2) Sleep(0);
}

void MarkNewVersion() {
  volatile LONG* flag = (volatile LONG*)&OptionSet[OPT_NewVersionAvailable];
  for (;;) {
    LONG old = *flag;
    if (old >= 2 || old == 1) return;
    if (InterlockedCompareExchange(flag, 1, old) == old) break;
  }
  WriteOption("NewVersionAvailable", 1);
}

DWORD WINAPI ReportWorker(void*) {
  for (;;) {
    QueuedRequest request;
    EnterCriticalSection(&queueLock);
    if (queueCount == 0) {
      workerRunning = 0;
      LeaveCriticalSection(&queueLock);
      return 0;
    }
    request = queue[queueHead];
    queueHead = (queueHead + 1) % kQueueSlots;
    --queueCount;
    LeaveCriticalSection(&queueLock);

    char reply[33];
    int got = HttpGetTimed(request.agent, request.url, reply, request.kind == kRemovedReport ? 2 : 32);
    // The administrator's reply is not used; the service's "3" tells of a newer version.
    if (request.kind == kRemovedReport && got > 0 && CloudReplyCode(reply) == 3) MarkNewVersion();
  }
}

int QueueRequest(int kind, const char* agent, const char* url) {
  EnsureQueueLock();
  EnterCriticalSection(&queueLock);
  int queued = 0;
  if (queueCount < kQueueSlots) {
    QueuedRequest& slot = queue[(queueHead + queueCount) % kQueueSlots];
    slot.kind = kind;
    CopyText(slot.agent, agent);
    CopyText(slot.url, url);
    ++queueCount;
    queued = 1;
    if (!workerRunning) {
      HANDLE worker = CreateThread(nullptr, 0, ReportWorker, nullptr, 0, nullptr);
      if (worker) {
        workerRunning = 1;
        CloseHandle(worker);
      } else {
        --queueCount;
        queued = 0;
      }
    }
  }
  LeaveCriticalSection(&queueLock);
  if (!queued) TraceLine("Report dropped", url);
  return queued;
}

// Appends "key" and the encoded value to a URL being built in a buffer larger than any request.
void AppendQuery(char* url, size_t cap, const char* key, const char* value) {
  char encoded[1536];
  EncodeQueryValue(value, encoded, sizeof encoded);
  AppendText(url, cap, key);
  AppendText(url, cap, encoded);
}

// The request is cut to 511 characters; a cut that would split a percent escape ends before it.
int CutUrl(const char* full, char* url, size_t cap) {
  size_t length = strlen(full);
  if (length > kUrlLength) length = kUrlLength;
  if (length + 1 > cap) length = cap ? cap - 1 : 0;
  if (length < strlen(full)) {
    if (length >= 1 && full[length - 1] == '%') length -= 1;
    else if (length >= 2 && full[length - 2] == '%') length -= 2;
  }
  return (int)CopyTextN(url, cap, full, length);
}

const char* CachedVersionText() {
  static char version[1024];
  static int read = 0;
  if (!read) {
    VersionText(version);
    read = 1;
  }
  return version;
}

void SetTimeouts(HINTERNET handle) {
  DWORD ms = NetReportTimeoutMs;
  InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof ms);
  InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
}

}  // namespace

int InfoServiceUrl(char* out, size_t cap) {
  char base[512];
  if (!RegReadString(HKEY_CURRENT_USER, kProductKey, "InfoService", base, sizeof base) &&
      !RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "InfoService", base, sizeof base))
    CopyText(base, kDefaultInfoService);
  size_t n = strlen(base);
  while (n > 0 && base[n - 1] == '/') base[--n] = 0;
  return (int)CopyText(out, cap, base);
}

size_t EncodeQueryValue(const char* text, char* out, size_t cap) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t o = 0;
  if (cap == 0) return 0;
  for (const unsigned char* p = (const unsigned char*)(text ? text : ""); *p; ++p) {
    bool plain = (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9') || *p == '-' ||
                 *p == '_' || *p == '.' || *p == '~';
    size_t need = plain ? 1 : 3;
    if (o + need + 1 > cap) break;
    if (plain) {
      out[o++] = (char)*p;
    } else {
      out[o++] = '%';
      out[o++] = kHex[*p >> 4];
      out[o++] = kHex[*p & 15];
    }
  }
  out[o] = 0;
  return o;
}

int HttpGetTimed(const char* agent, const char* url, char* reply, DWORD maxBytes) {
  if (reply) reply[0] = 0;
  char host[256], user[128], password[128], path[1024], extra[1024];
  URL_COMPONENTSA parts;
  memset(&parts, 0, sizeof parts);
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUserName = user;
  parts.dwUserNameLength = sizeof user;
  parts.lpszPassword = password;
  parts.dwPasswordLength = sizeof password;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = sizeof extra;
  if (!InternetCrackUrlA(url, 0, 0, &parts)) return -1;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return -1;
  char target[2048];
  FormatText(target, sizeof target, "%s%s", path[0] ? path : "/", extra);

  // Connect, send and receive time-outs on every handle: some WinINet versions take them from the
  // session, others only from the request.
  int result = -1;
  HINTERNET session = InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) return -1;
  SetTimeouts(session);
  HINTERNET connection = InternetConnectA(session, host, parts.nPort, user[0] ? user : nullptr,
                                          password[0] ? password : nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (connection) {
    SetTimeouts(connection);
    DWORD flags = kRequestFlags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
    HINTERNET request = HttpOpenRequestA(connection, "GET", target, nullptr, nullptr, nullptr, flags, 0);
    if (request) {
      SetTimeouts(request);
      if (HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
        char buffer[64];
        DWORD want = maxBytes < sizeof buffer - 1 ? maxBytes : sizeof buffer - 1, total = 0;
        while (total < want) {
          DWORD read = 0;
          if (!InternetReadFile(request, buffer + total, want - total, &read) || read == 0) break;
          total += read;
        }
        buffer[total] = 0;
        if (reply) CopyText(reply, maxBytes + 1, buffer);
        result = (int)total;
      }
      InternetCloseHandle(request);
    }
    InternetCloseHandle(connection);
  }
  InternetCloseHandle(session);
  return result;
}

int AdminEventUrl(const HistoryEventReport* event, char* url, size_t cap) {
  char endpoint[512];
  if (!RegReadString(HKEY_CURRENT_USER, kProductKey, "vxserver", endpoint, sizeof endpoint)) return 0;
  char email[256] = "", company[64] = "", user[512] = "";
  RegReadString(HKEY_CURRENT_USER, kProductKey, "admin_email", email, sizeof email);
  RegReadString(HKEY_CURRENT_USER, kProductKey, "admin_company", company, sizeof company);
  RegReadString(HKEY_CURRENT_USER, kProductKey, "User", user, sizeof user);
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  HistoryTimeStamp(&now, stamp);
  char language[8];
  if (!LoadText(634, language, sizeof language)) CopyText(language, "en");

  char full[8192];
  CopyText(full, endpoint);
  AppendQuery(full, sizeof full, "&send_to=", email);
  AppendQuery(full, sizeof full, "&group=", company);
  AppendQuery(full, sizeof full, "&name=", user);
  AppendQuery(full, sizeof full, "&time=", stamp);
  AppendQuery(full, sizeof full, "&action=", event->action);
  AppendQuery(full, sizeof full, "&type=", event->location);
  AppendQuery(full, sizeof full, "&title=", event->title);
  AppendQuery(full, sizeof full, "&path=", event->fileName);
  AppendQuery(full, sizeof full, "&loc=", language);
  CutUrl(full, url, cap);
  return 1;
}

int CloudRequestUrl(const char* file, const char* title, char* url, size_t cap) {
  char full[4096];
  if (!RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "cloudremoved", full, 1024)) {
    InfoServiceUrl(full, 1024);
    AppendText(full, "/cgi-bin/cloudremoved.pl?");
  }
  AppendQuery(full, sizeof full, "file=", file);
  AppendQuery(full, sizeof full, "&title=", title);
  AppendQuery(full, sizeof full, "&version=", CachedVersionText());
  char vxid[32];
  if (RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "vxid", vxid, sizeof vxid))
    AppendQuery(full, sizeof full, "&vxid=", vxid);
  return CutUrl(full, url, cap);
}

int CloudReplyCode(const char* reply) {
  if (!reply) return 0;
  return reply[0] == '3' ? 3 : reply[0] == '2' ? 2 : reply[0] == '1' ? 1 : 0;
}

int SendAdminEvent(const HistoryEventReport* event) {
  char url[kUrlLength + 1];
  if (!AdminEventUrl(event, url, sizeof url)) return 0;
  return QueueRequest(kAdminReport, "History", url);
}

int ReportRemovalToCloud(const char* title, const char* command) {
  if (OptionSet[OPT_CloudData] == 0 || OptionSet[OPT_History] < 1) return 1;
  char program[260];
  ExeFromCommand(command ? command : "", program);
  char file[260];
  if (!FileNameOf(program, file)) CopyText(file, program);
  char name[128];
  CopyText(name, title ? title : "");
  char url[kUrlLength + 1];
  CloudRequestUrl(file, name, url, sizeof url);
  QueueRequest(kRemovedReport, "Vandrelix", url);
  return 1;
}
