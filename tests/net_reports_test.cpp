// The administrator and "removed" reports against a small HTTP server on 127.0.0.1.
#include <winsock2.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/settings.h"
#include "records/history.h"
#include "records/net_reports.h"
#include "startup_support.h"

namespace {

// Accepts connections on a free loopback port; keeps each request line and answers with `reply`,
// or, when silent, holds the connection without a word.
struct LoopbackServer {
  SOCKET listener = INVALID_SOCKET;
  int port = 0;
  std::thread worker;
  std::atomic<int> accepted{0};
  std::atomic<bool> stop{false};
  std::string requestLine;
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
    listen(listener, 4);
    worker = std::thread([this]() {
      while (!stop) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(listener, &set);
        timeval wait = {0, 100000};
        if (select(0, &set, nullptr, nullptr, &wait) <= 0) continue;
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        ++accepted;
        std::string got;
        char buffer[2048];
        while (got.find("\r\n\r\n") == std::string::npos) {
          int n = recv(client, buffer, sizeof buffer, 0);
          if (n <= 0) break;
          got.append(buffer, n);
        }
        requestLine = got.substr(0, got.find("\r\n"));
        if (silent) {
          while (!stop) Sleep(50);
        } else {
          std::string answer = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                               std::to_string(reply.size()) + "\r\nConnection: close\r\n\r\n" + reply;
          send(client, answer.data(), (int)answer.size(), 0);
        }
        closesocket(client);
      }
    });
  }
  std::string Url() { return "http://127.0.0.1:" + std::to_string(port); }
  ~LoopbackServer() {
    stop = true;
    if (worker.joinable()) worker.join();
    if (listener != INVALID_SOCKET) closesocket(listener);
    WSACleanup();
  }
};

const char* kProduct = "Software\\Orvenn Studios\\Vandrelix";

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
  std::string line = server.requestLine;
  EXPECT_EQ(0u, line.find("GET /admin.cgi?id=7&send_to=it%26ops%40example&group=&name=Pat%20Doe&time=")) << line;
  EXPECT_NE(std::string::npos,
            line.find("&action=%2ASTART_Remove&type=MACHINE_RUN&title=VxTest%20A%26B%20%231&path=C%3A%5CApps%5Ca%20b.exe&loc=us "))
      << line;
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

TEST_F(NetReportsTest, RemovedReportNamesTheProgram) {
  LoopbackServer server;
  server.Start("3");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "InfoService", (server.Url() + "/").c_str());
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "vxid", "ID 42");
  OptionSet[OPT_NewVersionAvailable] = 0;
  EXPECT_EQ(1, ReportRemovalToCloud("My App & Co", "\"C:\\Program Files\\My App\\app.exe\" /x"));
  EXPECT_EQ("GET /cgi-bin/cloudremoved.pl?file=APP.EXE&title=My%20App%20%26%20Co&version=1.0.0.1&vxid=ID%2042 HTTP/1.1",
            server.requestLine);
  EXPECT_EQ(1, OptionSet[OPT_NewVersionAvailable]);
  OptionSet[OPT_NewVersionAvailable] = 2;
  ReportRemovalToCloud("x", "C:\\x.exe");
  EXPECT_EQ(2, OptionSet[OPT_NewVersionAvailable]);
}

TEST_F(NetReportsTest, OverrideEndpointAndReplies) {
  LoopbackServer server;
  server.Start("2");
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved", (server.Url() + "/other?").c_str());
  EXPECT_EQ(2, SendCloudRequest("A.EXE", "t"));
  EXPECT_EQ(0u, server.requestLine.find("GET /other?file=A.EXE&title=t&version=")) << server.requestLine;
  server.reply = "x";
  EXPECT_EQ(0, SendCloudRequest("A.EXE", "t"));
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved", "http://127.0.0.1:1/closed?");
  EXPECT_EQ(0, SendCloudRequest("A.EXE", "t"));  // nothing listens there
}

TEST_F(NetReportsTest, ASilentServerDoesNotHoldTheProgram) {
  LoopbackServer server;
  server.Start("", true);
  RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "cloudremoved", (server.Url() + "/slow?").c_str());
  NetReportTimeoutMs = 1000;
  DWORD start = GetTickCount();
  EXPECT_EQ(0, SendCloudRequest("A.EXE", "t"));
  EXPECT_LT(GetTickCount() - start, 20000u);  // returned, well before WinINet would give up
  EXPECT_EQ(1, server.accepted.load());
}

}  // namespace
