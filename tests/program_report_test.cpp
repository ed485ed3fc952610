// The program report's text rules, and a report written from a registry holding a hostile entry.
#include <string>

#include "platform/settings.h"
#include "records/program_report.h"
#include "records/report_file.h"
#include "startup/items.h"
#include "startup_support.h"

namespace {

TEST(ProgramReportText, HtmlEscapingOfEveryInsertedText) {
  char out[64];
  struct {
    const char* text;
    const char* escaped;
  } cases[] = {{"<script>x</script>", "&lt;script&gt;x&lt;/script&gt;"},
               {"a & b \"c\" 'd'", "a &amp; b &quot;c&quot; &#39;d&#39;"},
               {"C:\\Program Files\\x.exe", "C:\\Program Files\\x.exe"},
               {"", ""}};
  for (const auto& c : cases) {
    HtmlEscape(c.text, out, sizeof out);
    EXPECT_STREQ(c.escaped, out);
  }
  // Cut at the buffer's end, never inside an entity.
  EXPECT_EQ(2u, HtmlEscape("ab&c", out, 7));
  EXPECT_STREQ("ab", out);
}

TEST(ProgramReportText, SpreadsheetFieldsAreQuotedOnlyWhenTheyNeedIt) {
  char out[64];
  struct {
    const char* text;
    const char* field;
  } cases[] = {{"plain", "plain"},
               {"Comma, Inc", "\"Comma, Inc\""},
               {"say \"hi\"", "\"say \"\"hi\"\"\""},
               {"two\r\nlines", "\"two\r\nlines\""},
               {"", ""}};
  for (const auto& c : cases) {
    CsvField(c.text, out, sizeof out);
    EXPECT_STREQ(c.field, out);
  }
  CsvField("a,bcdefgh", out, 6);  // cut: still a closed quoted field
  EXPECT_STREQ("\"a,b\"", out);
}

TEST(ProgramReportText, RunKeyColumnsAndClock) {
  struct {
    int code;
    const char* type;
    const char* subType;
  } cases[] = {{1, "HKLM", "Run"},        {6, "HKLM", "RunOnceSetup"}, {12, "HKCU", "RunOnce"},
               {24, "HKU", "RunServices"}, {25, "HKU", "RunServiceOnce"}, {7, "UnknownKey", "Run"},
               {27, "UnknownKey", "Run"}, {200, "UnknownKey", "Run"}};
  for (const auto& c : cases) {
    const char *type, *subType;
    RunKeyTypeTexts(c.code, &type, &subType);
    EXPECT_STREQ(c.type, type) << c.code;
    EXPECT_STREQ(c.subType, subType) << c.code;
  }
  char clock[32], date[32];
  SYSTEMTIME t = {};
  t.wYear = 2024, t.wMonth = 6, t.wDay = 5, t.wHour = 12, t.wMinute = 30, t.wSecond = 7;
  ReportClockText(&t, clock, date);
  EXPECT_STREQ("12:30:07 PM", clock);
  EXPECT_STREQ(" 6/05/2024", date);
  t.wHour = 0;
  ReportClockText(&t, clock, date);
  EXPECT_STREQ(" 0:30:07 AM", clock);
  t.wHour = 23;
  ReportClockText(&t, clock, date);
  EXPECT_STREQ("11:30:07 PM", clock);
}

std::string ReadAll(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string data;
  if (f == INVALID_HANDLE_VALUE) return data;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) data.append(buffer, got);
  CloseHandle(f);
  return data;
}

class ProgramReport : public StartupTest {};

TEST_F(ProgramReport, HostileEntryStaysTextInEveryForm) {
  ASSERT_TRUE(PutRunValue(11, "VxTest <b>Bold</b>, \"Inc\"", "C:\\evil, inc\\<i>x</i>.exe /a"));
  std::string html = BinFolder() + "\\vx report.html", text = BinFolder() + "\\vx report.txt",
              sheet = BinFolder() + "\\vx report.csv";
  ASSERT_EQ(1, WritePageReportFile(html.c_str(), kReportHtml));
  ASSERT_EQ(1, WritePageReportFile(text.c_str(), kReportText));
  ASSERT_EQ(1, WriteSpreadsheetFile(sheet.c_str()));
  EXPECT_EQ(0, StartupItemCount);

  std::string page = ReadAll(html);
  EXPECT_NE(std::string::npos, page.find("<li><b>VxTest &lt;b&gt;Bold&lt;/b&gt;, &quot;Inc&quot;</b>\r\n\t<ol>&lt;i&gt;x&lt;/i&gt;.exe /a&nbsp;"));
  EXPECT_NE(std::string::npos, page.find("\tPath:     C:\\evil, inc\\&lt;i&gt;x&lt;/i&gt;.exe /a<br>\r\n"));
  EXPECT_NE(std::string::npos, page.find("<A href='vx report.html#A0'> Startup Programs </A><br>\r\n"));
  for (int n = 0; n <= 8; ++n) EXPECT_NE(std::string::npos, page.find("<A NAME=\"A" + std::to_string(n) + "\">\r\n")) << n;
  EXPECT_EQ(std::string::npos, page.find("<A href='vx report.html#A7'>"));
  EXPECT_EQ(std::string::npos, page.find("<b>Bold"));

  std::string plain = ReadAll(text);
  EXPECT_NE(std::string::npos, plain.find("VxTest <b>Bold</b>, \"Inc\"\t<i>x</i>.exe /a\t\t\t\tHKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\tC:\\evil, inc\\<i>x</i>.exe /a\r\n"));

  std::string csv = ReadAll(sheet);
  EXPECT_NE(std::string::npos,
            csv.find("HKCU,Run,\"VxTest <b>Bold</b>, \"\"Inc\"\"\", <i>x</i>.exe /a,,,\"C:\\evil, inc\\<i>x</i>.exe /a\",,\r\n"))
      << csv;
  for (const std::string& f : {html, text, sheet}) DeleteFileA(f.c_str());
}

// The fixed lines a reader finds its way by, in their order, in each form of the report.
TEST_F(ProgramReport, FixedLinesOfEveryForm) {
  const char* main = "Software\\Microsoft\\Internet Explorer\\Main";
  const char* names[2] = {"Window Title", "Default_Page_URL"};
  const char* values[2] = {"Vx <Title>", "http://vx.example/"};
  std::string saved[2];
  DWORD savedType[2] = {};
  bool had[2];
  for (int i = 0; i < 2; ++i) {
    had[i] = RawRead(HKEY_CURRENT_USER, main, names[i], &saved[i], &savedType[i]);
    ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, main, names[i], values[i]));
  }
  std::string html = BinFolder() + "\\fixed.html", text = BinFolder() + "\\fixed.txt", sheet = BinFolder() + "\\fixed.csv";
  ASSERT_EQ(1, WritePageReportFile(html.c_str(), kReportHtml));
  ASSERT_EQ(1, WritePageReportFile(text.c_str(), kReportText));
  ASSERT_EQ(1, WriteSpreadsheetFile(sheet.c_str()));
  for (int i = 0; i < 2; ++i) {
    if (had[i]) RawWrite(HKEY_CURRENT_USER, main, names[i], savedType[i], saved[i].data(), (DWORD)saved[i].size());
    else RawDeleteValue(HKEY_CURRENT_USER, main, names[i]);
  }
  std::string page = ReadAll(html), plain = ReadAll(text), csv = ReadAll(sheet);
  for (const std::string& f : {html, text, sheet}) DeleteFileA(f.c_str());
  std::string index;
  const char* headings[] = {" Startup Programs ", " Delayed Start ", " Active Tasks ", " Scheduled Tasks 1.0",
                            " IE Helpers ",       " File Types ",     " Services "};
  for (int n = 0; n < 7; ++n) index += "<A href='fixed.html#A" + std::to_string(n) + "'>" + headings[n] + "</A><br>\r\n";
  struct {
    const std::string* document;
    std::string fragment;
    size_t at;  // npos: anywhere
  } rows[] = {
      {&page, "<html><head><title>\r\nVandrelix Report Log</title></head>\r\n<body bgcolor=FloralWhite>\r\n"
              "<H2 align='center'> Vandrelix Report Log </H2>\r\nReport created by ", 0},
      {&page, "<br>\r\n<br>\r\n<b>Platform:</b> ", std::string::npos},
      {&page, "%<br>\r\n<br>MSIE: ", std::string::npos},
      {&page, ")<br>\r\n\r\n<br>\r\nHKCU Window Title = Vx &lt;Title&gt;<br>\r\nHKCU Default_Page_URL = http://vx.example/<br>\r\n",
       std::string::npos},
      {&page, "<br>\r\n<br>" + index + "<A NAME=\"A0\">\r\n<center><b><BIG><BIG> \x95  Startup Programs  \x95 </BIG></BIG></b></center>\r\n",
       std::string::npos},
      {&page, "<A NAME=\"A8\">\r\n<center><b><BIG><BIG> \x95  ActiveX  \x95 </BIG></BIG></b></center>\r\n", std::string::npos},
      {&page, "</body></html>\r\n", page.size() - 16},
      {&plain, "Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\n Startup Programs \r\n", 0},
      {&plain, "\r\n Hidden Files \r\n", std::string::npos},
      {&csv, "Log created by ", 0},
      {&csv, "\r\nScan saved at ", std::string::npos},
      {&csv, "\r\nType,SubType,Title,Filename,Company,First Detected,Path,Description, Version\r\n", std::string::npos},
  };
  for (const auto& row : rows) {
    size_t found = row.document->find(row.fragment);
    EXPECT_NE(std::string::npos, found) << row.fragment;
    if (row.at != std::string::npos) EXPECT_EQ(row.at, found) << row.fragment;
  }
  EXPECT_EQ(std::string::npos, plain.find('<'));
  EXPECT_NE(std::string::npos, page.find("<A NAME=\"A7\">"));
  EXPECT_EQ(std::string::npos, page.find("#A7'"));  // Hidden Files and ActiveX have no index line
}

TEST_F(ProgramReport, FileThatCannotBeCreatedIsReported) {
  std::string missing = BinFolder() + "\\no such folder\\r.html";
  EXPECT_EQ(0, WritePageReportFile(missing.c_str(), kReportHtml));
  EXPECT_EQ(0, WriteSpreadsheetFile(missing.c_str()));
}

}  // namespace
