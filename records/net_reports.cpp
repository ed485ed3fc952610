#include "records/net_reports.h"

#include <wininet.h>
#include <stdlib.h>
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

// Shared by the caller and the worker; the last of the two to let go frees it, so a caller that
// stopped waiting never leaves the worker writing into freed memory.
struct Request {
  volatile LONG references;
  char agent[32];
  char url[512];
  char reply[64];
  DWORD maxBytes;
  int got;
};

void Release(Request* request) {
  if (InterlockedDecrement(&request->references) == 0) free(request);
}

DWORD WINAPI RequestWorker(void* parameter) {
  Request* request = (Request*)parameter;
  request->got = -1;
  HINTERNET session = InternetOpenA(request->agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session) {
    HINTERNET page = InternetOpenUrlA(session, request->url, nullptr, 0, kRequestFlags, 0);
    if (page) {
      DWORD total = 0;
      while (total < request->maxBytes) {
        DWORD read = 0;
        if (!InternetReadFile(page, request->reply + total, request->maxBytes - total, &read) || read == 0) break;
        total += read;
      }
      request->reply[total] = 0;
      request->got = (int)total;
      InternetCloseHandle(page);
    }
    InternetCloseHandle(session);
  }
  Release(request);
  return 0;
}

// Appends "&key=" and the encoded value.
void AppendQuery(char* url, size_t cap, const char* key, const char* value) {
  char encoded[1536];
  EncodeQueryValue(value, encoded, sizeof encoded);
  AppendText(url, cap, key);
  AppendText(url, cap, encoded);
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

int HttpGetBounded(const char* agent, const char* url, char* reply, DWORD maxBytes) {
  if (reply) reply[0] = 0;
  Request* request = (Request*)calloc(1, sizeof(Request));
  if (!request) return -1;
  request->references = 2;
  CopyText(request->agent, agent);
  CopyText(request->url, url);
  request->maxBytes = maxBytes < sizeof request->reply - 1 ? maxBytes : sizeof request->reply - 1;
  HANDLE worker = CreateThread(nullptr, 0, RequestWorker, request, 0, nullptr);
  if (!worker) {
    free(request);
    return -1;
  }
  int result = -1;
  if (WaitForSingleObject(worker, NetReportTimeoutMs) == WAIT_OBJECT_0) {
    result = request->got;
    if (reply && result > 0) CopyText(reply, maxBytes + 1, request->reply);
  }
  // Past the wait the worker finishes on its own (WinINet may hang on a silent server).
  CloseHandle(worker);
  Release(request);
  return result;
}

int SendAdminEvent(const HistoryEventReport* event) {
  char endpoint[512];
  if (!RegReadString(HKEY_CURRENT_USER, kProductKey, "vxserver", endpoint, sizeof endpoint)) return 0;
  char email[256], company[64], user[512];
  RegReadString(HKEY_CURRENT_USER, kProductKey, "admin_email", email, sizeof email);
  RegReadString(HKEY_CURRENT_USER, kProductKey, "admin_company", company, sizeof company);
  RegReadString(HKEY_CURRENT_USER, kProductKey, "User", user, sizeof user);
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  HistoryTimeStamp(&now, stamp);
  char language[8];
  if (!LoadText(634, language, sizeof language)) CopyText(language, "en");

  char url[512];
  CopyText(url, endpoint);
  AppendQuery(url, sizeof url, "&send_to=", email);
  AppendQuery(url, sizeof url, "&group=", company);
  AppendQuery(url, sizeof url, "&name=", user);
  AppendQuery(url, sizeof url, "&time=", stamp);
  AppendQuery(url, sizeof url, "&action=", event->action);
  AppendQuery(url, sizeof url, "&type=", event->location);
  AppendQuery(url, sizeof url, "&title=", event->title);
  AppendQuery(url, sizeof url, "&path=", event->fileName);
  AppendQuery(url, sizeof url, "&loc=", language);
  char reply[33];
  if (HttpGetBounded("History", url, reply, 32) <= 0) return 0;
  return reply[0] == '1';
}

int SendCloudRequest(const char* file, const char* title) {
  char url[512];
  if (!RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "cloudremoved", url, sizeof url)) {
    InfoServiceUrl(url, sizeof url);
    AppendText(url, "/cgi-bin/cloudremoved.pl?");
  }
  AppendQuery(url, sizeof url, "file=", file);
  AppendQuery(url, sizeof url, "&title=", title);
  AppendQuery(url, sizeof url, "&version=", CachedVersionText());
  char vxid[32];
  if (RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "vxid", vxid, sizeof vxid)) AppendQuery(url, sizeof url, "&vxid=", vxid);
  char reply[3];
  if (HttpGetBounded("Vandrelix", url, reply, 2) <= 0) return 0;
  return reply[0] == '3' ? 3 : reply[0] == '2' ? 2 : reply[0] == '1' ? 1 : 0;
}

int ReportRemovalToCloud(const char* title, const char* command) {
  if (OptionSet[OPT_CloudData] == 0 || OptionSet[OPT_History] < 1) return 1;
  char program[260];
  ExeFromCommand(command ? command : "", program);
  char file[260];
  if (!FileNameOf(program, file)) CopyText(file, program);
  char name[128];
  CopyText(name, title ? title : "");
  if (SendCloudRequest(file, name) == 3 && OptionSet[OPT_NewVersionAvailable] < 2) {
    OptionSet[OPT_NewVersionAvailable] = 1;
    WriteOption("NewVersionAvailable", 1);
  }
  return 1;
}
