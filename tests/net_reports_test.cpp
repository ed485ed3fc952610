// The administrator and "removed" reports against a small HTTP server on 127.0.0.1: what is sent,
// that no change waits for a reply, and that requests to a silent service end by themselves.
#include <winsock2.h>
#include <tlhelp32.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/settings.h"
#include "records/history.h"
#include "records/net_reports.h"
#include "startup/toggle.h"
#include "startup_support.h"

namespace {

// Accepts every connection on a free loopback port and keeps each request line. It answers with
// `reply`, or, when silent, holds every connection open without a word until it is stopped.
struct LoopbackServer {
  SOCKET listener = INVALID_SOCKET;
  int port = 0;
  std::thread worker;
  std::atomic<int> accepted{0};
  std::atomic<bool> stop{false};
  std::mutex lock;
  std::vector<std::string> lines;
  std::vector<SOCKET> held;
  std::string reply;
  bool silent = false;

  void Start(const std::string& body, bool beSilent = false) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    reply = body;
    silent = beSilent;
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener, (sockaddr*)&address, sizeof address);
    int length = sizeof address;
    getsockname(listener, (sockaddr*)&address, &length);
    port = ntohs(address.sin_port);
    listen(listener, 16);
    worker = std::thread([this]() {
      while (!stop) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(listener, &set);
        timeval wait = {0, 50000};
        if (select(0, &set, nullptr, nullptr, &wait) <= 0) continue;
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        std::string got;
        char buffer[2048];
        while (got.find("\r\n\r\n") == std::string::npos) {
          int n = recv(client, buffer, sizeof buffer, 0);
          if (n <= 0) break;
          got.append(buffer, n);
        }
        {
          std::lock_guard<std::mutex> guard(lock);
          lines.push_back(got.substr(0, got.find("\r\n")));
          ++accepted;
        }
        if (silent) {
          held.push_back(client);
          continue;
        }
        std::string answer = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                             std::to_string(reply.size()) + "\r\nConnection: close\r\n\r\n" + reply;
        send(client, answer.data(), (int)answer.size(), 0);
        closesocket(client);
      }
      for (SOCKET s : held) closesocket(s);
    });
  }
  std::string Url() { return "http://127.0.0.1:" + std::to_string(port); }
  // Waits until `count` requests have come in; the last request line, or "" when they did not.
  std::string WaitForRequests(int count, DWORD ms = 10000) {
    DWORD start = GetTickCount();
    while (accepted < count && GetTickCount() - start < ms) Sleep(10);
    std::lock_guard<std::mutex> guard(lock);
    return (int)lines.size() >= count ? lines[count - 1] : "";
  }
  ~LoopbackServer() {
    stop = true;
    if (worker.joinable()) worker.join();
    if (listener != INVALID_SOCKET) closesocket(listener);
    WSACleanup();
  }
};

const char* kProduct = "Software\\Orvenn Studios\\Vandrelix";

int ThreadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

// Waits for a value the background work sets; the value it has at the end.
int WaitForOption(int option, int wanted, DWORD ms = 10000) {
  DWORD start = GetTickCount();
  while (OptionSet[option] != wanted && GetTickCount() - start < ms) Sleep(10);
  return OptionSet[option];
}

bool EscapesAreWhole(const std::string& url) {
  for (size_t i = 0; i < url.size(); ++i)
    if (url[i] == '%' && (i + 2 >= url.size() || !isxdigit((unsigned char)url[i + 1]) || !isxdigit((unsigned char)url[i + 2])))
      return false;
  return true;
}

class NetReportsTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    OptionSet[OPT_History] = 1;
    OptionSet[OPT_CloudData] = 1;
    NetReportTimeoutMs = 5000;
  }
  void TearDown() override {
    NetReportTimeoutMs = 5000;
    StartupTest::TearDown();
  }
};

TEST(QueryValues, AreAlwaysPercentEncoded) {
  char out[128];
  EncodeQueryValue("My App & Co #1 100%", out, sizeof out);
  EXPECT_STREQ("My%20App%20%26%20Co%20%231%20100%25", out);
  EncodeQueryValue("C:\\x_y-z.~", out, sizeof out);
  EXPECT_STREQ("C%3A%5Cx_y-z.~", out);
  EncodeQueryValue("ab c", out, 5);  // never half an escape
  EXPECT_STREQ("ab", out);
  EXPECT_EQ(3, CloudReplyCode("3x"));
  EXPECT_EQ(2, CloudReplyCode("2"));
  EXPECT_EQ(1, CloudReplyCode("1"));
  EXPECT_EQ(0, CloudReplyCode("x3"));
  EXPECT_EQ(0, CloudReplyCode(""));
}

TEST_F(NetReportsTest, LongRequestsAreCutBetweenEscapes) {
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved", "http://127.0.0.1:1/c?");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "vxserver", "http://127.0.0.1:1/a?");
  // Every escape is three characters: one of three paddings puts the cut inside one.
  for (int pad = 0; pad < 3; ++pad) {
    std::string title = std::string(pad, 'a') + std::string(120, '&');
    char url[512];
    CloudRequestUrl("A.EXE", (title + title).c_str(), url, sizeof url);
    EXPECT_GE(strlen(url), 509u);
    EXPECT_LE(strlen(url), 511u);
    EXPECT_TRUE(EscapesAreWhole(url)) << url;
    HistoryEventReport event = {};
    strcpy(event.action, "*START_Remove");
    strcpy(event.location, "MACHINE_RUN");
    strcpy(event.title, title.c_str());
    std::string file = std::string(pad, 'b') + std::string(200, ' ');
    strcpy(event.fileName, file.c_str());
    ASSERT_EQ(1, AdminEventUrl(&event, url, sizeof url));
    EXPECT_LE(strlen(url), 511u);
    EXPECT_TRUE(EscapesAreWhole(url)) << url;
  }
}

TEST_F(NetReportsTest, AdminReportCarriesTheEventEncoded) {
  LoopbackServer server;
  server.Start("1");
  std::string endpoint = server.Url() + "/admin.cgi?id=7";
  RawWriteString(HKEY_CURRENT_USER, kProduct, "vxserver", endpoint.c_str());
  RawWriteString(HKEY_CURRENT_USER, kProduct, "admin_email", "it&ops@example");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "User", "Pat Doe");
  OptionSet[OPT_CloudData] = 0;
  ASSERT_EQ(1, RecordHistoryEvent("VxTest A&B #1", "C:\\Apps\\a b.exe", "", 1, 0));
  std::string line = server.WaitForRequests(1);
  EXPECT_EQ(0u, line.find("GET /admin.cgi?id=7&send_to=it%26ops%40example&group=&name=Pat%20Doe&time=")) << line;
  EXPECT_NE(std::string::npos,
            line.find("&action=%2ASTART_Remove&type=MACHINE_RUN&title=VxTest%20A%26B%20%231&path=C%3A%5CApps%5Ca%20b.exe&loc=us "))
      << line;
  Sleep(200);
  EXPECT_EQ(1, server.accepted.load());
}

TEST_F(NetReportsTest, NoEndpointNoRequest) {
  LoopbackServer server;
  server.Start("1");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "InfoService", server.Url().c_str());
  OptionSet[OPT_CloudData] = 0;
  RecordHistoryEvent("VxTest", "C:\\x.exe", "", 1, 0);
  ReportRemovalToCloud("VxTest", "C:\\x.exe");
  OptionSet[OPT_CloudData] = 1;
  OptionSet[OPT_History] = 0;
  RecordHistoryEvent("VxTest", "C:\\x.exe", "", 1, 0);
  ReportRemovalToCloud("VxTest", "C:\\x.exe");
  Sleep(300);
  EXPECT_EQ(0, server.accepted.load());
}

TEST_F(NetReportsTest, RemovedReportNamesTheProgramAndMarksNewVersions) {
  LoopbackServer server;
  server.Start("3");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "InfoService", (server.Url() + "/").c_str());
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "vxid", "ID 42");
  OptionSet[OPT_NewVersionAvailable] = 0;
  EXPECT_EQ(1, ReportRemovalToCloud("My App & Co", "\"C:\\Program Files\\My App\\app.exe\" /x"));
  EXPECT_EQ("GET /cgi-bin/cloudremoved.pl?file=APP.EXE&title=My%20App%20%26%20Co&version=1.0.0.1&vxid=ID%2042 HTTP/1.1",
            server.WaitForRequests(1));
  EXPECT_EQ(1, WaitForOption(OPT_NewVersionAvailable, 1));
  OptionSet[OPT_NewVersionAvailable] = 2;
  ReportRemovalToCloud("x", "C:\\x.exe");
  server.WaitForRequests(2);
  Sleep(300);
  EXPECT_EQ(2, OptionSet[OPT_NewVersionAvailable]);  // already known: stays
}

TEST_F(NetReportsTest, OtherRepliesChangeNothing) {
  LoopbackServer server;
  server.Start("2");
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved", (server.Url() + "/other?").c_str());
  OptionSet[OPT_NewVersionAvailable] = 0;
  ReportRemovalToCloud("t", "C:\\A.exe");
  EXPECT_EQ(0u, server.WaitForRequests(1).find("GET /other?file=A.EXE&title=t&version="));
  char reply[8];
  EXPECT_EQ(1, HttpGetTimed("Vandrelix", (server.Url() + "/other?").c_str(), reply, 2));
  EXPECT_STREQ("2", reply);
  Sleep(300);
  EXPECT_EQ(0, OptionSet[OPT_NewVersionAvailable]);
  EXPECT_EQ(-1, HttpGetTimed("Vandrelix", "http://127.0.0.1:1/closed?", reply, 2));  // nothing listens there
  EXPECT_EQ(-1, HttpGetTimed("Vandrelix", "notaurl", reply, 2));
}

// A removal with both reports configured and a service that accepts and never answers: the change
// and its history line are done at once, the reports go out afterwards.
TEST_F(NetReportsTest, ARemovalNeverWaitsForASilentService) {
  LoopbackServer server;
  server.Start("", true);
  RawWriteString(HKEY_CURRENT_USER, kProduct, "vxserver", (server.Url() + "/admin?").c_str());
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved", (server.Url() + "/removed?").c_str());
  NetReportTimeoutMs = 2000;
  ASSERT_TRUE(PutRunValue(11, "VxTest Silent", "C:\\Apps\\silent.exe -x"));
  DWORD start = GetTickCount();
  RemoveStartupItem("VxTest Silent", "C:\\Apps\\silent.exe -x", "", 11);
  DWORD took = GetTickCount() - start;
  EXPECT_LT(took, 1000u);  // a wait for either reply would take the full time-out
  ASSERT_GT(LoadHistoryItems(), 0);
  EXPECT_GE(FindItem("VxTest Silent"), 0);  // written before the reports went out
  EXPECT_FALSE(GetRunValue(11, "VxTest Silent", nullptr, nullptr));
  server.WaitForRequests(2);
  EXPECT_EQ(2, server.accepted.load());
}

TEST_F(NetReportsTest, RequestsToASilentServiceEndByThemselves) {
  LoopbackServer server;
  server.Start("", true);
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved", (server.Url() + "/silent?").c_str());
  NetReportTimeoutMs = 1000;
  int before = ThreadsOfThisProcess();
  DWORD start = GetTickCount();
  for (int i = 0; i < 3; ++i) ReportRemovalToCloud("VxTest", "C:\\x.exe");
  EXPECT_GT(ThreadsOfThisProcess(), before);  // the reports are out, on their own thread
  int after = -1;
  while (GetTickCount() - start < 15000) {
    after = ThreadsOfThisProcess();
    if (after <= before) break;
    Sleep(50);
  }
  DWORD took = GetTickCount() - start;
  EXPECT_EQ(before, after) << "a request outlived its time-out";
  EXPECT_EQ(3, server.accepted.load());
  EXPECT_LT(took, 3 * 1000u + 4000u);
}

// A process that ends while a report is out ends at once: the request does not hold it.
TEST_F(NetReportsTest, AProcessEndsAtOnceWhileARequestIsOut) {
  LoopbackServer server;
  server.Start("", true);
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved", (server.Url() + "/silent?").c_str());
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "VandrelixReportProbeGo");
  ASSERT_NE(nullptr, go);
  std::string exe = BinFolder() + "\\report_probe.exe";
  std::string line = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION probe = {};
  ASSERT_TRUE(CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, BinFolder().c_str(), &startup,
                             &probe));
  EXPECT_NE("", server.WaitForRequests(1, 20000));  // the request is out and will get no answer
  DWORD start = GetTickCount();
  SetEvent(go);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(probe.hProcess, 10000));
  DWORD took = GetTickCount() - start;
  DWORD code = 99;
  GetExitCodeProcess(probe.hProcess, &code);
  EXPECT_EQ(0u, code);
  EXPECT_LT(took, 3000u);  // its time-out is 30 s
  if (WaitForSingleObject(probe.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(probe.hProcess, 1);
  CloseHandle(probe.hProcess);
  CloseHandle(probe.hThread);
  CloseHandle(go);
}

}  // namespace
