// Hidden files in the system's folders, found with redirection off, and what the page does with one.
#include <string>

#include "app/command_line.h"
#include "areas/hidden_files.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/items.h"
#include "startup_support.h"

namespace {

// File-system redirection off in the test itself (64-bit Windows), to place files where the program
// looks for them.
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

std::string Put(const std::string& path, DWORD attributes) {
  MakeFile(path, "hidden");
  SetFileAttributesA(path.c_str(), attributes);
  return path;
}

std::string Folder(const std::string& path, DWORD attributes) {
  CreateDirectoryA(path.c_str(), nullptr);
  SetFileAttributesA(path.c_str(), attributes);
  return path;
}

// Removes a test folder tree (files and folders of any attributes) with redirection off.
void RemoveTree(const std::string& path) {
  NativeFolders native;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveTree(child);
        RemoveDirectoryA(child.c_str());
      } else {
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(path.c_str());
}

int FindPath(const std::string& path) {
  int found = -1;
  for (int i = 0; i < StartupItemCount; ++i) {
    if (GetItemLocation(i) != kCodeHidden || lstrcmpiA(ItemFile(i).c_str(), path.c_str()) != 0) continue;
    if (found >= 0) return -2;  // listed twice
    found = i;
  }
  return found;
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

class HiddenFilesTest : public VxTest {
 protected:
  void SetUp() override {
    VxTest::SetUp();
    RunningOnWow64 = OnWow64();
    OptionSet[OPT_CloudData] = 0;  // no network from these tests
    OptionSet[OPT_History] = 1;
    RemoveTree(systemTest);
    DeleteFileA(history.c_str());
  }
  void TearDown() override {
    ClearStartupItems();
    RemoveTree(systemTest);
    DeleteFileA(history.c_str());
    EndTasksOfFile = savedEnder;
    VxTest::TearDown();
  }
  TaskEnder savedEnder = EndTasksOfFile;
  const std::string systemTest = SystemFolder() + "\\vxhidden-test";
  const std::string history = BinFolder() + "\\history.txt";
};

TEST_F(HiddenFilesTest, FolderTableHas64BitFoldersOnlyOn64BitWindows) {
  HiddenFolderFacts facts = {};
  strcpy(facts.windows, "C:\\Win");
  strcpy(facts.system, "C:\\Win\\sys");
  strcpy(facts.temp, "C:\\T");
  HiddenFolder folders[kMaxHiddenFolders];
  ASSERT_EQ(4, HiddenFolderTable(&facts, folders));  // no CommonFilesDir
  EXPECT_STREQ("C:\\", folders[0].path);
  EXPECT_EQ(0, folders[0].depth);
  EXPECT_STREQ("C:\\Win", folders[1].path);
  EXPECT_EQ(0, folders[1].depth);
  EXPECT_STREQ("C:\\Win\\sys", folders[2].path);
  EXPECT_EQ(1, folders[2].depth);
  EXPECT_STREQ("C:\\T", folders[3].path);

  strcpy(facts.commonFiles, "C:\\CF");
  facts.wow64 = 1;
  ASSERT_EQ(9, HiddenFolderTable(&facts, folders));
  const char* const paths[] = {"C:\\",         "C:\\Win",          "C:\\Win\\sys",
                               "C:\\CF",       "C:\\T",            "C:\\Win\\SysWOW64",
                               "C:\\Win\\sys\\drivers\\etc", "C:\\Win\\sys\\drivers", "C:\\Win\\sys\\config"};
  for (int i = 0; i < 9; ++i) {
    EXPECT_STREQ(paths[i], folders[i].path);
    EXPECT_EQ(i < 2 ? 0 : 1, folders[i].depth);
  }

  // What this Windows gives: the 64-bit folders only under WoW64.
  ReadHiddenFolderFacts(&facts);
  EXPECT_EQ(OnWow64() ? 1 : 0, facts.wow64);
  int count = HiddenFolderTable(&facts, folders);
  bool any64 = false;
  for (int i = 0; i < count; ++i)
    any64 = any64 || ContainsNoCase(folders[i].path, "SysWOW64") || ContainsNoCase(folders[i].path, "\\config");
  EXPECT_EQ(OnWow64(), any64);
  EXPECT_NE('\\', facts.temp[strlen(facts.temp) - 1]);
}

TEST_F(HiddenFilesTest, SystemFolderIsSearchedOneLevelDeep) {
  std::string deep, inner, plain, dotted, dotFile, hiddenSub;
  {
    NativeFolders native;
    hiddenSub = Folder(systemTest, FILE_ATTRIBUTE_HIDDEN);
    inner = Put(systemTest + "\\inner.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    plain = Put(systemTest + "\\plain.dat", FILE_ATTRIBUTE_HIDDEN);
    Put(systemTest + "\\visible.dat", FILE_ATTRIBUTE_NORMAL);
    Folder(systemTest + "\\deeper", FILE_ATTRIBUTE_HIDDEN);
    deep = Put(systemTest + "\\deeper\\deep.dat", FILE_ATTRIBUTE_HIDDEN);
    dotted = Folder(systemTest + "\\.vxdot", FILE_ATTRIBUTE_HIDDEN);
    Put(dotted + "\\in-dot.dat", FILE_ATTRIBUTE_HIDDEN);
    dotFile = Put(systemTest + "\\.vxdotfile", FILE_ATTRIBUTE_HIDDEN);
  }
  ScanHiddenFiles();
  int i = FindPath(inner);
  ASSERT_GE(i, 0) << "a hidden file in a hidden subfolder of the System folder";
  EXPECT_EQ(0, GetItemFlag(i));  // system attribute: the "SYSTEM" row
  EXPECT_STREQ("inner", StartupItemTable[i]->title);  // no product name: the file's name
  EXPECT_EQ(0, lstrcmpiA(inner.c_str(), StartupItemTable[i]->command));
  EXPECT_STREQ("", StartupItemTable[i]->description);
  int p = FindPath(plain);
  ASSERT_GE(p, 0);
  EXPECT_EQ(1, GetItemFlag(p));
  EXPECT_EQ(-1, FindPath(systemTest + "\\visible.dat"));
  EXPECT_EQ(-1, FindPath(hiddenSub));  // folders are never listed
  EXPECT_EQ(-1, FindPath(deep));       // two levels down
  EXPECT_EQ(-1, FindPath(dotted));     // a dot-folder is neither listed nor entered
  EXPECT_EQ(-1, FindPath(dotted + "\\in-dot.dat"));
  EXPECT_GE(FindPath(dotFile), 0);  // only folders are passed over for their dot
}

TEST_F(HiddenFilesTest, OverlappingFoldersListAFileOnce) {
  // On 64-bit Windows drivers is searched itself and as a subfolder of the System folder.
  std::string drivers = SystemFolder() + "\\drivers";
  std::string file = drivers + "\\vxhidden-driver.dat";
  {
    NativeFolders native;
    CreateDirectoryA(drivers.c_str(), nullptr);
    Put(file, FILE_ATTRIBUTE_HIDDEN);
  }
  ScanHiddenFiles();
  EXPECT_GE(FindPath(file), 0);
  NativeFolders native;
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(file.c_str());
}

TEST_F(HiddenFilesTest, WalkNeverFollowsLinks) {
  std::string root = TempFolder("vx-hidden-links");
  std::string target = TempFolder("vx-hidden-target");
  std::string behind = Put(target + "\\behind.dat", FILE_ATTRIBUTE_HIDDEN);
  std::string link = root + "\\link";
  typedef BOOLEAN(WINAPI * SymLink)(LPCSTR, LPCSTR, DWORD);
  SymLink makeLink = (SymLink)(void*)GetProcAddress(GetModuleHandleA("kernel32"), "CreateSymbolicLinkA");
  bool linked = makeLink && makeLink(link.c_str(), target.c_str(), 1) &&
                (GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
  HiddenFolder folders[1] = {};
  strcpy(folders[0].path, root.c_str());
  folders[0].depth = 1;
  ScanHiddenFolders(folders, 1);
  EXPECT_EQ(-1, FindPath(link + "\\behind.dat"));
  RemoveDirectoryA(link.c_str());
  RemoveTree(root);
  RemoveTree(target);
  if (!linked) GTEST_SKIP() << "this Windows cannot make a directory link here";
}

std::string KnownValue(const std::string& path) {
  std::string data;
  return RawRead(HKEY_CURRENT_USER, kKnownHiddenKey, path.c_str(), &data, nullptr) ? data : "";
}

std::string endedFile, endedTitle;
int RecordEnd(const char* file, const char* title) {
  endedFile = file;
  endedTitle = title;
  return 0;
}

TEST_F(HiddenFilesTest, DeleteNowRecordsOnlyWhatWasDeleted) {
  std::string folder = TempFolder("vx-hidden-delete");
  std::string file = Put(folder + "\\doomed.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  RawWriteString(HKEY_CURRENT_USER, kKnownHiddenKey, file.c_str(), "1");
  EndTasksOfFile = RecordEnd;

  // Held open without delete sharing: the delete fails and nothing changes.
  HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_EQ(0, DeleteHiddenFile("Doomed", file.c_str(), kDeleteNow));
  CloseHandle(held);
  EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
            GetFileAttributesA(file.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ("1", KnownValue(file).substr(0, 1));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(history.c_str()));

  endedFile.clear();
  EXPECT_EQ(1, DeleteHiddenFile("Doomed", file.c_str(), kDeleteNow));
  EXPECT_EQ(file, endedFile);  // its programs were ended first
  EXPECT_EQ("Doomed", endedTitle);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kKnownHiddenKey, file.c_str()));
  std::string text = ReadWhole(history);
  EXPECT_NE(std::string::npos, text.find("\t*HIDDEN_DeleteFile\tTYPE_HIDDEN\tDoomed\t" + file + "\t\r\n")) << text;
  RemoveTree(folder);
}

TEST_F(HiddenFilesTest, DeleteAtRestartIsQueuedWithTheSystem) {
  const char* session = "System\\CurrentControlSet\\Control\\Session Manager";
  std::string saved;
  DWORD type = 0;
  bool had = RawRead(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", &saved, &type);
  std::string folder = TempFolder("vx-hidden-restart");
  std::string file = Put(folder + "\\later.dat", FILE_ATTRIBUTE_HIDDEN);
  RawWriteString(HKEY_CURRENT_USER, kKnownHiddenKey, file.c_str(), "1");
  EXPECT_EQ(1, DeleteHiddenFile("Later", file.c_str(), kDeleteAtRestart));
  std::string pending;
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", &pending, nullptr));
  EXPECT_NE(std::string::npos, pending.find("later.dat"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));  // still there until the restart
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kKnownHiddenKey, file.c_str()));
  EXPECT_NE(std::string::npos, ReadWhole(history).find("\t*HIDDEN_DeleteFile\tTYPE_HIDDEN\tLater\t"));
  if (had) RawWrite(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", type, saved.data(), (DWORD)saved.size());
  else RawDeleteValue(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations");
  RemoveTree(folder);
}

TEST_F(HiddenFilesTest, UnhideAndOpenInNotepad) {
  std::string file;
  {
    NativeFolders native;
    Folder(systemTest, FILE_ATTRIBUTE_NORMAL);
    file = Put(systemTest + "\\shown later.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  }
  EXPECT_EQ(1, UnhideFile(file.c_str()));
  {
    NativeFolders native;
    // Wine reports every plain file with the archive attribute.
    EXPECT_EQ(0u, GetFileAttributesA(file.c_str()) & ~(DWORD)FILE_ATTRIBUTE_ARCHIVE);
  }
  EXPECT_EQ(0, UnhideFile((systemTest + "\\missing.dat").c_str()));

  char line[300];
  EXPECT_GT(NotepadCommandLine(file.c_str(), line, sizeof line), 0);
  EXPECT_EQ("notepad.exe \"" + file + "\"", std::string(line));
  EXPECT_EQ(0, NotepadCommandLine(std::string(300, 'x').c_str(), line, sizeof line));

  // Windows looks for Notepad in the program's folder first: a recorder there catches the launch.
  std::string stand = BinFolder() + "\\notepad.exe", record = BinFolder() + "\\notepad.txt";
  DeleteFileA(record.c_str());
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\recorder.exe").c_str(), stand.c_str(), FALSE));
  EXPECT_EQ(1, OpenInNotepad(file.c_str()));
  std::string recorded;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 15000 && recorded.empty(); Sleep(50))
    recorded = ReadWhole(record);
  DeleteFileA(stand.c_str());
  DeleteFileA(record.c_str());
  EXPECT_EQ("\"" + file + "\"|1\n", recorded);
}

TEST_F(HiddenFilesTest, FolderFilesAreDeletedButNotItsSubfolders) {
  std::string folder = TempFolder("vx-vault-test");
  Put(folder + "\\a.dat", FILE_ATTRIBUTE_READONLY);
  Put(folder + "\\b.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Folder(folder + "\\sub", FILE_ATTRIBUTE_NORMAL);
  Put(folder + "\\sub\\kept.dat", FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(2, DeleteFilesInFolder(folder.c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\a.dat").c_str()));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\sub\\kept.dat").c_str()));
  EXPECT_EQ(0, DeleteFilesInFolder(""));
  EXPECT_EQ(0, DeleteFilesInFolder("C:\\"));
  EXPECT_EQ(0, DeleteFilesInFolder((folder + "\\missing").c_str()));
  RemoveTree(folder);
}

TEST_F(HiddenFilesTest, RestoreEmptiesAndRemovesTheVault) {
  char data[260];
  ASSERT_TRUE(DataFolder(data));
  std::string vault = std::string(data) + "\\vault";
  Folder(vault, FILE_ATTRIBUTE_NORMAL);
  Put(vault + "\\one.bin", FILE_ATTRIBUTE_READONLY);
  Put(vault + "\\two.bin", FILE_ATTRIBUTE_HIDDEN);
  RestoreCleanState();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(vault.c_str()));

  // A vault with a folder of its own loses its files and stays; no vault at all is no trouble.
  Folder(vault, FILE_ATTRIBUTE_NORMAL);
  Put(vault + "\\three.bin", FILE_ATTRIBUTE_NORMAL);
  Folder(vault + "\\kept", FILE_ATTRIBUTE_NORMAL);
  RestoreCleanState();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((vault + "\\three.bin").c_str()));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((vault + "\\kept").c_str()));
  RemoveTree(vault);
  RestoreCleanState();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(vault.c_str()));
}

}  // namespace
