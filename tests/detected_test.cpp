// First-detected dates by area, clean-up of entries whose files are gone, note file places.
#include <string>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "startup_support.h"

namespace {

class DetectedTest : public StartupTest {};

std::string Area(const char* name) { return std::string(kDetectedRoot) + "\\" + name; }

TEST_F(DetectedTest, DatesAreFoundInTheAreaOfTheCode) {
  struct {
    int code;
    const char* area;
  } cases[] = {{1, "Startup"},      {256, "Startup"},   {1070, "Startup"},   {370, "Hidden"},    {1030, "Hidden"},
               {400, "FileTypes"},  {600, "ActiveTasks"}, {1010, "ActiveTasks"}, {700, "Services"}, {701, "Services"},
               {1060, "Services"},  {800, "Tasks"},     {1050, "Tasks"},     {900, "IEHelper"},  {902, "IEHelper"},
               {1040, "IEHelper"},  {1020, "ActiveX"},  {1200, "ActiveX"}};
  for (const auto& c : cases) {
    RawDeleteTree(HKEY_CURRENT_USER, kDetectedRoot);
    RawWriteString(HKEY_CURRENT_USER, Area(c.area).c_str(), "C:\\APP\\APP.EXE", "12/07/2026 12:05 AM");
    char out[24] = "junk";
    EXPECT_EQ(19, GetFirstDetected("C:\\APP\\APP.EXE", c.code, out)) << c.code;
    EXPECT_STREQ("12/07/2026 12:05 AM", out);
  }
  char out[24] = "junk";
  EXPECT_EQ(0, GetFirstDetected("C:\\APP\\APP.EXE", 350, out));
  EXPECT_STREQ("", out);
  EXPECT_EQ(0, GetFirstDetected("C:\\OTHER.EXE", 1200, out));
  EXPECT_EQ(0, RecordFirstDetected("C:\\OTHER.EXE", Area("ActiveX").c_str()));
  EXPECT_EQ(0, GetFirstDetected("C:\\OTHER.EXE", 1200, out));
}

TEST_F(DetectedTest, FileFactsCarryTheDateOfTheProgram) {
  std::string exe = BinFolder() + "\\vf_with_icon.exe";
  char key[260];
  ExeFromCommand(exe.c_str(), key);
  RawWriteString(HKEY_CURRENT_USER, Area("Startup").c_str(), key, "01/02/2025 3:04 PM");
  FirstDetectedHook = FirstDetectedOfFile;
  FileFacts facts = {};
  ASSERT_EQ(1, GetFileFacts(exe.c_str(), 1, &facts));
  EXPECT_STREQ("01/02/2025 3:04 PM", facts.firstDetected);
  FirstDetectedHook = nullptr;
}

TEST_F(DetectedTest, CleanUpRemovesOnlyEntriesWhoseFilesAreGone) {
  std::string present = BinFolder() + "\\vf_with_icon.exe";
  RawWriteString(HKEY_CURRENT_USER, Area("Services").c_str(), present.c_str(), "d");
  RawWriteString(HKEY_CURRENT_USER, Area("Services").c_str(), "C:\\GONE\\GONE.EXE", "d");
  RawWriteString(HKEY_CURRENT_USER, Area("Services").c_str(), "VANDRELIX gone too", "d");
  RawWriteString(HKEY_CURRENT_USER, Area("FileTypes").c_str(), "C:\\GONE\\GONE.EXE", "d");
  char t[4] = "x", f[4] = "y", c[4] = "", d[4] = "";
  AddStartupItem(t, f, c, d, 1, 0);
  CleanDetectedArea(Area("Services").c_str());
  EXPECT_EQ(0, StartupItemCount);
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, Area("Services").c_str(), present.c_str()));
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, Area("Services").c_str(), "C:\\GONE\\GONE.EXE"));
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, Area("Services").c_str(), "VANDRELIX gone too"));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, Area("FileTypes").c_str(), "C:\\GONE\\GONE.EXE"));
  CleanDetectedArea(Area("Missing").c_str());
}

TEST_F(DetectedTest, NotesLiveBesideTheProgramOrInTheDataFolder) {
  char data[260];
  ASSERT_NE(0, DataFolder(data));
  std::string inData = std::string(data) + "\\note_NOTEPAD.txt";
  std::string inProgram = BinFolder() + "\\note_NOTEPAD.txt";
  DeleteFileA(inProgram.c_str());
  char out[260];
  NoteFilePath("C:\\Windows\\notepad.exe /a", out);
  EXPECT_STREQ(inData.c_str(), out);
  MakeFile(inProgram, "note");
  NoteFilePath("C:\\Windows\\notepad.exe /a", out);
  EXPECT_STREQ(inProgram.c_str(), out);
  DeleteFileA(inProgram.c_str());
}

// A note is named after the program alone: whatever the item's command holds, the note stays a
// file directly in its folder, never one somewhere else on the disk.
TEST_F(DetectedTest, NoteNamesNeverLeaveTheirFolder) {
  char data[260];
  ASSERT_NE(0, DataFolder(data));
  const std::string prefix = std::string(data) + "\\note_";
  const char* const files[] = {
      "C:/Windows/../../../../Windows/win.exe",
      "x/../../../evil.exe /a",
      "\"C:\\Tools\\a/b/../../../../../evil.exe\" -x",
      "..\\..\\..\\evil.exe",
      "C:\\Apps\\app.exe",
  };
  for (const char* file : files) {
    char out[260];
    NoteFilePath(file, out);
    std::string path = out;
    ASSERT_EQ(0u, path.find(prefix)) << file << " -> " << path;
    EXPECT_EQ(std::string::npos, path.find_first_of("\\/", prefix.size())) << file << " -> " << path;
    EXPECT_EQ(".txt", path.substr(path.size() - 4)) << file;
  }
}

}  // namespace
