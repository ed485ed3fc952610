// The information window and the lookups of the real VandrelixEx.exe, reached from the Startup
// Programs page the ways a user reaches them: the Info button, the context menu, the Enter key, a
// double-click, the help picture. Pages handed to the browser are caught by a recorder registered as
// the http handler (and as the handler of .html files for the program report).
#include <string>

#include "startup_support.h"
#include "ui_driver.h"

namespace {

const char kProduct[] = "Software\\Orvenn Studios\\Vandrelix";
const char kHttpHandler[] = "Software\\Classes\\http\\shell\\open\\command";
const char kHtmlHandler[] = "Software\\Classes\\htmlfile\\shell\\open\\command";

class InfoWindowE2E : public StartupTest {
 protected:
  std::string program = BinFolder() + "\\vf_with_icon.exe";
  std::string recorders = BinFolder() + "\\e2e recorders";
  std::string savedHttp, savedHtml;
  ProgramRun run;
  HWND sheet = nullptr, page = nullptr, list = nullptr;

  void SetUp() override {
    StartupTest::SetUp();
    RawRead(HKEY_LOCAL_MACHINE, kHttpHandler, "", &savedHttp, nullptr);
    RawRead(HKEY_LOCAL_MACHINE, kHtmlHandler, "", &savedHtml, nullptr);
  }
  void TearDown() override {
    RawWriteString(HKEY_LOCAL_MACHINE, kHttpHandler, "", savedHttp.c_str());
    RawWriteString(HKEY_LOCAL_MACHINE, kHtmlHandler, "", savedHtml.c_str());
    DeleteFileA((BinFolder() + "\\VandrelixLog.html").c_str());
    for (const char* name : {"\\web.exe", "\\web.txt", "\\html.exe", "\\html.txt"})
      DeleteFileA((recorders + name).c_str());
    RemoveDirectoryA(recorders.c_str());
    StartupTest::TearDown();
  }

  // A copy of the recorder named `name` handles the class under `key`; its record is name.txt.
  void Record(const char* key, const char* name) {
    CreateDirectoryA(recorders.c_str(), nullptr);
    std::string copy = recorders + "\\" + name + ".exe";
    ASSERT_TRUE(CopyFileA((BinFolder() + "\\recorder.exe").c_str(), copy.c_str(), FALSE));
    DeleteFileA((recorders + "\\" + name + ".txt").c_str());
    ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, key, "", ("\"" + copy + "\" \"%1\"").c_str()));
  }
  // What the recorder was handed (without quotes), once it has run; empty after 10 s.
  std::string Caught(const char* name) {
    std::string record = recorders + "\\" + name + ".txt", line;
    WaitUntil([&] {
      HANDLE f = CreateFileA(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (f == INVALID_HANDLE_VALUE) return false;
      char text[2048] = "";
      DWORD got = 0;
      ReadFile(f, text, sizeof text - 1, &got, nullptr);
      CloseHandle(f);
      text[got] = 0;
      line = text;
      return line.find('|') != std::string::npos;
    }, 10000);
    DeleteFileA(record.c_str());
    line = line.substr(0, line.rfind('|'));
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
    return line;
  }

  void Open(const char* row) {
    ASSERT_TRUE(run.Start("-START"));
    sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    page = CurrentPage(sheet);
    list = PageList(page);
    ASSERT_GE(WaitForRow(list, row), 0) << row;
  }
  // The information window of the program, once it shows `title`.
  HWND InfoWindow(const char* title) {
    HWND window = WaitForDialog(run.info.dwProcessId, "QOVA &Info...");
    return window && WaitUntil([&] { return WindowText(window) == title; }) ? window : nullptr;
  }
  void CloseWithEscape(HWND window) {
    ASSERT_TRUE(PressKey(window, VK_ESCAPE));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
  }
  void Quit() {
    ProgramRun quit;
    ASSERT_TRUE(quit.Start("-Q"));
    EXPECT_EQ(0u, quit.WaitExit(20000));
    EXPECT_EQ(0u, run.WaitExit(20000));
  }
};

TEST_F(InfoWindowE2E, OpensFromTheInfoButtonTheMenuAndTheEnterKey) {
  ASSERT_TRUE(PutRunValue(11, "VxTest Info", ("\"" + program + "\" -info").c_str()));
  Open("VxTest Info");
  int row = FindRow(list, "VxTest Info");

  // Nothing selected: the hint, and no window.
  ASSERT_TRUE(SelectRows(list, {}));
  ASSERT_TRUE(PressButton(page, 1008));
  HWND hint = WaitForDialog(run.info.dwProcessId, "No selection has been made.");
  ASSERT_NE(nullptr, hint);
  EXPECT_NE(std::string::npos, DialogTexts(hint).find("just press the Enter key"));
  ASSERT_TRUE(AnswerDialog(hint, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(hint); }));

  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(PressButton(page, 1008));
  HWND window = InfoWindow("VxTest Info");
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(program, ControlText(window, 1703));
  EXPECT_EQ("Startup Location:  HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", ControlText(window, 1704));
  EXPECT_EQ("Icon Company", ControlText(window, 1709));
  EXPECT_EQ("Ready", ControlText(window, 1713));
  CloseWithEscape(window);
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, kProduct, "xInfo"));

  ASSERT_TRUE(RightClickRow(list, row));
  ASSERT_TRUE(ChooseMenuItem(0));  // "Info..."
  window = InfoWindow("VxTest Info");
  ASSERT_NE(nullptr, window);
  CloseWithEscape(window);

  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(PressKey(list, VK_RETURN));
  window = InfoWindow("VxTest Info");
  ASSERT_NE(nullptr, window);
  CloseWithEscape(window);
  Quit();
}

TEST_F(InfoWindowE2E, LookupsHelpAndTheReportFromThePage) {
  RawWriteString(HKEY_CURRENT_USER, kProduct, "InfoService", "http://127.0.0.1:9");
  Record(kHttpHandler, "web");
  Record(kHtmlHandler, "html");
  ASSERT_TRUE(PutRunValue(11, "VxTest Lookup", ("\"" + program + "\" -lookup").c_str()));
  ASSERT_TRUE(PutRunValue(11, "VxTest Second", ("\"" + program + "\" -second").c_str()));
  Open("VxTest Second");
  int row = FindRow(list, "VxTest Lookup");
  const std::string info = "http://127.0.0.1:9/cgi-bin/qovainfo.pl?program=VF_WITH_ICON.EXE&vendor=Icon%20Company";

  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(RightClickRow(list, row));
  ASSERT_TRUE(ChooseMenuKey('i'));  // "QOVA &Info..."
  std::string url = Caught("web");
  EXPECT_EQ(0u, url.find(info)) << url;
  EXPECT_NE(std::string::npos, url.find("&Type=11&")) << url;

  ASSERT_TRUE(DoubleClickRow(list, row));
  url = Caught("web");
  EXPECT_EQ(0u, url.find(info)) << url;

  ASSERT_TRUE(ClickControl(page, 1077));  // the help picture
  EXPECT_EQ("http://127.0.0.1:9/startup.html", Caught("web"));

  // The report rescans every area and is opened as a page; the rows still name their entries.
  ASSERT_TRUE(RightClickRow(list, row));
  ASSERT_TRUE(ChooseMenuKey('l'));  // "Vandrelix &Log"
  std::string report = BinFolder() + "\\VandrelixLog.html";
  EXPECT_EQ(report, Caught("html"));
  std::string opening;
  HANDLE f = CreateFileA(report.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  char text[64] = "";
  DWORD got = 0;
  ReadFile(f, text, sizeof text - 1, &got, nullptr);
  CloseHandle(f);
  EXPECT_EQ(0u, std::string(text).find("<html>")) << text;
  row = FindRow(list, "VxTest Second");
  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(PressButton(page, 1008));
  HWND window = InfoWindow("VxTest Second");
  ASSERT_NE(nullptr, window);

  // QOVA Info from the window asks about its entry.
  ASSERT_TRUE(PressButton(window, 1732));
  url = Caught("web");
  EXPECT_EQ(0u, url.find(info)) << url;
  CloseWithEscape(window);
  Quit();
}

}  // namespace
