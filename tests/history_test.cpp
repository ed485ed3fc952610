// The change history file: line format, reading back, the newest part of long files, undo marks.
#include <string>

#include "platform/settings.h"
#include "records/history.h"
#include "startup/items.h"
#include "startup_support.h"

namespace {

class HistoryTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    OptionSet[OPT_History] = 1;
    path = BinFolder() + "\\history.txt";
  }
  std::string path;
  std::string Title(int i) {
    char t[128];
    GetItemTitle(i, t);
    return t;
  }
};

TEST(HistoryLine, StampsUseTheTwelveHourClock) {
  SYSTEMTIME t = {};
  t.wYear = 2013;
  t.wMonth = 3;
  t.wDay = 7;
  t.wHour = 21;
  t.wMinute = 5;
  char out[32];
  HistoryTimeStamp(&t, out);
  EXPECT_STREQ("03/07/2013  9:05 PM", out);
  t.wHour = 0;
  HistoryTimeStamp(&t, out);
  EXPECT_STREQ("03/07/2013  12:05 AM", out);
  t.wHour = 12;
  HistoryTimeStamp(&t, out);
  EXPECT_STREQ("03/07/2013  12:05 PM", out);
  SYSTEMTIME zero = {};
  HistoryTimeStamp(&zero, out);
  EXPECT_STREQ("Never", out);
}

TEST(HistoryLine, SeparatorsInsideFieldsBecomeBlanks) {
  char line[1024];
  int n = FormatHistoryLine("s", "START_Disable", "MACHINE_RUN", "a\tb", "C:\\x\r\ny.exe", "c\td", line, sizeof line);
  EXPECT_STREQ("s\tSTART_Disable\tMACHINE_RUN\ta b\tC:\\x  y.exe\tc d\r\n", line);
  EXPECT_EQ((int)strlen(line), n);
  std::string longText(2000, 'L');
  n = FormatHistoryLine("s", longText.c_str(), "t", longText.c_str(), longText.c_str(), longText.c_str(), line,
                        sizeof line);
  EXPECT_LE(n, 1023);
  EXPECT_EQ(std::string("s\t") + std::string(47, 'L') + "\tt\t" + std::string(127, 'L') + "\t" + std::string(259, 'L') + "\t",
            std::string(line).substr(0, 2 + 47 + 3 + 127 + 1 + 259 + 1));
  EXPECT_EQ("\r\n", std::string(line + n - 2));
}

TEST_F(HistoryTest, WrittenEventsReadBackTheSame) {
  ASSERT_EQ(1, RecordHistoryEvent("VxTest One", "C:\\Apps\\one.exe", "", 1, 0));
  ASSERT_EQ(1, RecordHistoryEvent("VxTest Two", "C:\\Apps\\two.exe", "{CLSID-1}", 252, 24));
  ASSERT_EQ(1, RecordHistoryEvent("VxTest Three", "C:\\Apps\\three.exe", "cmd", 42, 16));
  ASSERT_EQ(3, LoadHistoryItems());
  EXPECT_EQ("VxTest One", Title(0));
  EXPECT_EQ("C:\\Apps\\one.exe", ItemFile(0));
  char command[260], stamp[1024];
  GetItemCommand(0, command);
  EXPECT_STREQ("", command);
  GetItemCommand(1, command);
  EXPECT_STREQ("{CLSID-1}", command);
  EXPECT_EQ(1, GetItemLocation(0));
  EXPECT_EQ(0, GetItemFlag(0));
  EXPECT_EQ(252, GetItemLocation(1));
  EXPECT_EQ(24, GetItemFlag(1));
  EXPECT_EQ(3000, GetItemLocation(2));  // no token for the code: TYPE_UNKNOWN
  EXPECT_EQ(33, GetItemFlag(2));        // no token for the action: read as LOG_UNKNOWN
  SYSTEMTIME now;
  GetLocalTime(&now);
  char expected[32];
  HistoryTimeStamp(&now, expected);
  GetItemDescription(0, stamp, sizeof stamp);
  EXPECT_EQ(std::string(expected).substr(0, 10), std::string(stamp).substr(0, 10));
  EXPECT_EQ(1, IsRestorableEvent(0));
  EXPECT_EQ(0, IsRestorableEvent(1));
  EXPECT_EQ(0, IsRestorableEvent(9));
}

TEST_F(HistoryTest, NothingIsWrittenWhenHistoryIsOff) {
  OptionSet[OPT_History] = 0;
  EXPECT_EQ(0, RecordHistoryEvent("VxTest", "C:\\x.exe", "", 1, 0));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
}

TEST_F(HistoryTest, AnOpenFileMakesTheAppendFail) {
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_EQ(0, RecordHistoryEvent("VxTest", "C:\\x.exe", "", 1, 0));
  CloseHandle(holder);
}

TEST_F(HistoryTest, ReadingToleratesOddLines) {
  MakeFile(path,
           "01/01/2020  1:00 AM\tstart_disable\tmachine_run\tLower Tokens\tC:\\a.exe\tcmd\r\n"
           "01/01/2020  1:00 AM\tBOGUS\tNOWHERE\tUnknown Tokens\tC:\\b.exe\t\r\n"
           "01/01/2020  1:00 AM\t*START_Remove\tMACHINE_RUN\tShort Line\n"
           "\t\t\t" + std::string(130, 'T') + "\tC:\\dir\\derived.exe\t\r\n"
           "01/01/2020  1:00 AM\tSTART_Enable\tMACHINE_RUN\tx\ty\tz\textra\tmore\r\n"
           "01/01/2020  1:00 AM\tSTART_Enable\tMACHINE_RUN\tNo Line End\tC:\\c.exe\t");
  ASSERT_EQ(5, LoadHistoryItems());
  EXPECT_EQ(1, GetItemFlag(0));
  EXPECT_EQ(1, GetItemLocation(0));
  EXPECT_EQ(33, GetItemFlag(1));
  EXPECT_EQ(3000, GetItemLocation(1));
  EXPECT_EQ("Short Line", Title(2));
  EXPECT_EQ("", ItemFile(2));
  EXPECT_EQ("derived", Title(3));  // an overlong title is dropped; the table derives one
  char command[260];
  GetItemCommand(4, command);
  EXPECT_STREQ("z", command);
  EXPECT_EQ(-1, FindItem("No Line End"));
}

// A line that was cut, shifted or holds bytes this program never writes is listed, but undoing it
// would guess at the entry: it is not restorable and a restore writes nothing.
TEST_F(HistoryTest, MalformedLinesAreListedButNeverRestored) {
  const std::string stamp = "01/01/2020  1:00 AM\t*START_Remove\tMACHINE_RUN\t";
  struct {
    std::string line;
    const char* value;  // what a guessed restore would write to the Run key
    bool restorable;
  } rows[] = {
      {stamp + "VxTest Whole\tC:\\whole.exe\t\r\n", "VxTest Whole", true},
      {stamp + std::string(130, 'T') + "\tC:\\long title.exe\t\r\n", "", false},  // the title was dropped
      {stamp + "VxTest Shifted\tby tab\tC:\\shifted.exe\t\r\n", "VxTest Shifted", false},
      {stamp + "VxTest Short\tC:\\short.exe\r\n", "VxTest Short", false},  // five fields
      {stamp + std::string("VxTest Nul\0cut", 14) + "\tC:\\nul.exe\t\r\n", "VxTest Nul", false},
      {stamp + "VxTest Cr\rx\tC:\\cr.exe\t\r\n", "VxTest Cr\rx", false},
      {std::string(40, '0') + "\t*START_Remove\tMACHINE_RUN\tVxTest Stamp\tC:\\stamp.exe\t\r\n", "VxTest Stamp", false},
  };
  std::string text;
  for (const auto& row : rows) text += row.line;
  MakeFile(path, text);
  const int count = (int)(sizeof rows / sizeof rows[0]);
  ASSERT_EQ(count, LoadHistoryItems());
  for (int i = 0; i < count; ++i) EXPECT_EQ(rows[i].restorable ? 1 : 0, IsRestorableEvent(i)) << i;
  for (int i = count - 1; i >= 0; --i) RestoreHistoryEvent(i);
  for (const auto& row : rows)
    EXPECT_EQ(row.restorable, GetRunValue(1, row.value, nullptr, nullptr)) << "\"" << row.value << "\"";
  RawDeleteValue(RunRootOf(1), RunKeyPathOf(1), "", KEY_WOW64_64KEY);
}

TEST_F(HistoryTest, LongFilesShowTheirNewestEvents) {
  std::string text;
  int old = 0;
  while (text.size() < 200000) {
    text += "01/01/2020  1:00 AM\tSTART_Disable\tMACHINE_RUN\tOld " + std::to_string(old++) + "\tC:\\old.exe\t\r\n";
  }
  MakeFile(path, text);
  ASSERT_EQ(1, RecordHistoryEvent("VxTest Newest", "C:\\new.exe", "", 1, 0));
  int count = LoadHistoryItems();
  ASSERT_GT(count, 100);
  EXPECT_EQ("VxTest Newest", Title(count - 1));
  EXPECT_EQ(1, IsRestorableEvent(count - 1));
  // Every event read is whole: the first starts at a line boundary.
  EXPECT_EQ(0u, Title(0).find("Old "));
  EXPECT_EQ("C:\\old.exe", ItemFile(0));
  EXPECT_EQ("Old " + std::to_string(old - 1), Title(count - 2));
}

}  // namespace
