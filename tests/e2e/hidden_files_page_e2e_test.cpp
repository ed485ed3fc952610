// The Hidden Files page of the real VandrelixEx.exe over hidden files placed in the System folder:
// listed with their folder, dates and system flag, then unhidden, viewed, deleted now and queued for
// deletion at the next restart, each checked from outside with plain Win32 calls.
#include <string>
#include <vector>

#include "area_support.h"
#include "startup_support.h"
#include "ui_driver.h"

namespace {

const char kPending[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kKnownHidden[] = "Software\\Orvenn Studios\\Vandrelix\\Hidden";
const char kInternational[] = "Control Panel\\International";
const char* const kPatternNames[2] = {"sShortDate", "sTimeFormat"};
const char* const kPatterns[2] = {"MM/dd/yyyy", "h:mm:ss tt"};

enum { kModule = 0, kPath = 1, kDetected = 2, kWritten = 3, kType = 4 };

// File-system redirection off in the test (64-bit Windows), to place files where the program looks.
struct NativeFolders {
  PVOID state = nullptr;
  BOOL off = FALSE;
  NativeFolders() {
    if (OnWow64()) off = Wow64DisableWow64FsRedirection(&state);
  }
  ~NativeFolders() {
    if (off) Wow64RevertWow64FsRedirection(state);
  }
};

std::string SystemFolder() {
  char path[MAX_PATH];
  GetSystemDirectoryA(path, sizeof path);
  return path;
}

DWORD NativeAttributes(const std::string& path) {
  NativeFolders native;
  return GetFileAttributesA(path.c_str());
}

std::string ReadWhole(const std::string& path) {
  std::string text;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(f);
  return text;
}

class HiddenFilesPageE2E : public VxTest {
 protected:
  const std::string folder = SystemFolder() + "\\vxhidden-page";
  const std::string notepad = BinFolder() + "\\notepad.exe", record = BinFolder() + "\\notepad.txt";
  std::string savedPending, savedPattern[2];
  bool hadPattern[2] = {};
  DWORD pendingType = 0;
  bool hadPending = false;
  ProgramRun run;
  HWND sheet = nullptr, page = nullptr, list = nullptr;

  void SetUp() override {
    VxTest::SetUp();
    ClearHistory();
    RawWriteString(HKEY_LOCAL_MACHINE, "Software\\Orvenn Studios\\Vandrelix", "cloudremoved", "http://127.0.0.1:1/c?");
    hadPending = RawRead(HKEY_LOCAL_MACHINE, kPending, "PendingFileRenameOperations", &savedPending, &pendingType);
    // Dates in the program's first patterns, whatever this prefix's own are.
    for (int i = 0; i < 2; ++i) {
      hadPattern[i] = RawRead(HKEY_CURRENT_USER, kInternational, kPatternNames[i], &savedPattern[i], nullptr);
      RawWriteString(HKEY_CURRENT_USER, kInternational, kPatternNames[i], kPatterns[i]);
    }
    RemoveFolder();
    NativeFolders native;
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  void TearDown() override {
    // A queued delete would run at the prefix's next start.
    if (hadPending) {
      RawWrite(HKEY_LOCAL_MACHINE, kPending, "PendingFileRenameOperations", pendingType, savedPending.data(),
               (DWORD)savedPending.size());
    } else {
      RawDeleteValue(HKEY_LOCAL_MACHINE, kPending, "PendingFileRenameOperations");
    }
    for (int i = 0; i < 2; ++i) {
      if (hadPattern[i]) {
        RawWriteString(HKEY_CURRENT_USER, kInternational, kPatternNames[i], savedPattern[i].c_str());
      } else {
        RawDeleteValue(HKEY_CURRENT_USER, kInternational, kPatternNames[i]);
      }
    }
    RemoveFolder();
    DeleteFileA(notepad.c_str());
    DeleteFileA(record.c_str());
    ClearHistory();
    VxTest::TearDown();
  }
  void RemoveFolder() {
    NativeFolders native;
    for (const char* name : {"vx unhide.dat", "vx delete.dat", "vx later.dat", "vx view.txt"}) {
      std::string path = folder + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(folder.c_str());
  }
  std::string Put(const char* name, DWORD attributes) {
    NativeFolders native;
    std::string path = MakeFile(folder + "\\" + name, "hidden");
    SetFileAttributesA(path.c_str(), attributes);
    return path;
  }

  // Sets a file's last-write time to a local time of day.
  static bool SetWritten(const std::string& path, WORD hour, WORD minute) {
    NativeFolders native;
    SYSTEMTIME local = {};
    local.wYear = 2026;
    local.wMonth = 7;
    local.wDay = 4;
    local.wHour = hour;
    local.wMinute = minute;
    FILETIME localTime, time;
    if (!SystemTimeToFileTime(&local, &localTime) || !LocalFileTimeToFileTime(&localTime, &time)) return false;
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return ok;
  }

  std::string Cell(const char* name, int column) {
    int row = FindRow(list, name);
    return row < 0 ? "(absent)" : CellText(list, row, column);
  }
  void Select(const char* name) { ASSERT_TRUE(SelectRows(list, {FindRow(list, name)})) << name; }
  void AnswerYes(const char* part) {
    HWND question = WaitForDialog(run.info.dwProcessId, part);
    ASSERT_NE(nullptr, question) << part;
    ASSERT_TRUE(AnswerDialog(question, IDYES));
  }
};

TEST_F(HiddenFilesPageE2E, ListsHiddenSystemFilesAndUnhidesViewsAndDeletesThem) {
  std::string unhide = Put("vx unhide.dat", FILE_ATTRIBUTE_HIDDEN);
  std::string doomed = Put("vx delete.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  std::string later = Put("vx later.dat", FILE_ATTRIBUTE_HIDDEN);
  std::string view = Put("vx view.txt", FILE_ATTRIBUTE_HIDDEN);
  RawWriteString(HKEY_CURRENT_USER, kKnownHidden, doomed.c_str(), "1");
  ASSERT_TRUE(SetWritten(unhide, 13, 5));
  ASSERT_TRUE(SetWritten(doomed, 11, 30));
  // Windows looks for Notepad in the program's folder first: the recorder there catches the launch.
  ASSERT_TRUE(CopyFileA(FixturePath("recorder.exe").c_str(), notepad.c_str(), FALSE));

  ASSERT_TRUE(run.Start("-HIDDEN"));
  sheet = WaitForSheet();
  ASSERT_NE(nullptr, sheet);
  page = CurrentPage(sheet);
  list = PageList(page);
  ASSERT_NE(nullptr, list);
  ASSERT_GE(WaitForRow(list, "vx unhide.dat", kModule, 30000), 0);
  EXPECT_EQ(" Hidden Files ", WindowText(page));
  EXPECT_EQ(0, lstrcmpiA(folder.c_str(), Cell("vx unhide.dat", kPath).c_str())) << Cell("vx unhide.dat", kPath);
  EXPECT_EQ("", Cell("vx unhide.dat", kType));
  EXPECT_EQ("SYSTEM", Cell("vx delete.dat", kType));
  // The time each was written, read where the file is, whole: an afternoon stays an afternoon.
  EXPECT_EQ("07/04/2026 1:05 PM", Cell("vx unhide.dat", kWritten));
  EXPECT_EQ("07/04/2026 11:30 AM", Cell("vx delete.dat", kWritten));
  // Sorted by that time, the morning comes before the afternoon of the same day.
  ASSERT_TRUE(ClickColumnHeader(list, kWritten));
  EXPECT_TRUE(WaitUntil([&] { return FindRow(list, "vx delete.dat") < FindRow(list, "vx unhide.dat"); }));
  std::string picture = BinFolder() + "\\..\\hidden-files-page-" + (OnWow64() ? "p64" : "p32") + ".bmp";
  EXPECT_TRUE(SaveWindowPicture(sheet, picture));

  Select("vx unhide.dat");
  ASSERT_TRUE(PressButton(page, 1186));
  EXPECT_TRUE(WaitUntil([&] { return FindRow(list, "vx unhide.dat") < 0; }));
  EXPECT_EQ(0u, NativeAttributes(unhide) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

  // View through the item menu: Notepad is started with the file, and the list stays as it is.
  int row = FindRow(list, "vx view.txt");
  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(RightClickRow(list, row));
  ASSERT_TRUE(ChooseMenuKey('V'));
  std::string recorded;
  WaitUntil([&] { return !(recorded = ReadWhole(record)).empty(); });
  EXPECT_EQ(0, lstrcmpiA(("\"" + view + "\"|1\n").c_str(), recorded.c_str())) << recorded;
  EXPECT_GE(FindRow(list, "vx view.txt"), 0);

  // The Delete key asks, then deletes now and records it.
  Select("vx delete.dat");
  ASSERT_TRUE(PostMessageA(list, WM_KEYDOWN, VK_DELETE, 0));
  AnswerYes("Are you sure you want this file deleted now?");
  EXPECT_TRUE(WaitUntil([&] { return FindRow(list, "vx delete.dat") < 0; }));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, NativeAttributes(doomed));
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kKnownHidden, doomed.c_str()));

  // At the next restart: queued with the system and its attributes cleared for that delete, so it is
  // no longer listed; the file itself stays until then.
  Select("vx later.dat");
  ASSERT_TRUE(PressButton(page, 1144));
  AnswerYes("The file will be deleted the next time Windows starts");
  std::string pending;
  EXPECT_TRUE(WaitUntil([&] {
    return RawRead(HKEY_LOCAL_MACHINE, kPending, "PendingFileRenameOperations", &pending, nullptr) &&
           pending.find("vx later.dat") != std::string::npos;
  }));
  EXPECT_TRUE(WaitUntil([&] { return FindRow(list, "vx later.dat") < 0; }));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, NativeAttributes(later));
  EXPECT_GE(FindRow(list, "vx view.txt"), 0);

  ProgramRun quit;
  ASSERT_TRUE(quit.Start("-Q"));
  EXPECT_EQ(0u, quit.WaitExit(20000));
  EXPECT_EQ(0u, run.WaitExit(20000));
  // This edition starts with the change history off (options stay as at start until the product page
  // reloads them), and with it off a delete records nothing.
  EXPECT_TRUE(HistoryEvents().empty());
}

}  // namespace
