// Version fields, class and App Paths lookups, file existence and times, text files.
#include <string>

#include "platform/file_facts.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "test_support.h"

namespace {

class FileFactsTest : public VxTest {
 protected:
  void SetUp() override {
    VxTest::SetUp();
    RunningOnWow64 = OnWow64();
  }
  std::string Fixture(const char* name) { return BinFolder() + "\\" + name; }
};

std::string PutFile(const std::string& path, const std::string& data) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  if (f != INVALID_HANDLE_VALUE) {
    ::WriteFile(f, data.data(), (DWORD)data.size(), &put, nullptr);
    CloseHandle(f);
  }
  return path;
}

TEST_F(FileFactsTest, LaterTranslationsReplaceEarlierFields) {
  static VersionFields f;
  EXPECT_EQ(1, GetVersionFields(Fixture("vf_two_translations.dll").c_str(), &f));
  EXPECT_STREQ("Fixture Produkt", f.field[VF_ProductName]);
  EXPECT_STREQ("2.3 de", f.field[VF_ProductVersion]);
  EXPECT_STREQ("", f.field[VF_CompanyName]);  // the second translation has none
  EXPECT_STREQ("Deutsche Beschreibung", f.field[VF_FileDescription]);
  EXPECT_STREQ("(c) Erste", f.field[VF_LegalCopyright]);
}

TEST_F(FileFactsTest, OperatingSystemProductsShowTheirDescription) {
  static VersionFields f;
  EXPECT_EQ(1, GetVersionFields(Fixture("vf_operating_system.dll").c_str(), &f));
  EXPECT_STREQ("Fixture System Library", f.field[VF_ProductName]);
  EXPECT_STREQ("Fixture Corporation", f.field[VF_CompanyName]);
}

TEST_F(FileFactsTest, FilesWithoutVersionGiveEmptyFields) {
  static VersionFields f;
  strcpy(f.field[VF_CompanyName], "stale");
  EXPECT_EQ(0, GetVersionFields(Fixture("vf_no_version.dll").c_str(), &f));
  EXPECT_STREQ("", f.field[VF_CompanyName]);
  EXPECT_EQ(0, GetVersionFields(Fixture("no-such-file.dll").c_str(), &f));
  EXPECT_EQ(1, GetVersionFields(Fixture("vf_with_icon.exe").c_str(), &f));
  EXPECT_STREQ("Icon Program", f.field[VF_ProductName]);
  EXPECT_STREQ("1.2.3.4", f.field[VF_ProductVersion]);
}

TEST_F(FileFactsTest, SystemFilesAreReadWithRedirectionOff) {
  if (!OnWow64()) GTEST_SKIP() << "32-bit Windows has one system folder";
  // A file placed in the native system folder is invisible to a 32-bit program unless redirection is off.
  std::string native = WindowsFolder() + "\\system32\\vandrelix-native.exe";
  PVOID state = nullptr;
  Wow64DisableWow64FsRedirection(&state);
  BOOL copied = CopyFileA(Fixture("vf_with_icon.exe").c_str(), native.c_str(), FALSE);
  Wow64RevertWow64FsRedirection(state);
  ASSERT_TRUE(copied);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(native.c_str()));

  static VersionFields f;
  EXPECT_EQ(1, GetVersionFields(native.c_str(), &f));
  EXPECT_STREQ("Icon Program", f.field[VF_ProductName]);
  char path[260];
  strcpy(path, native.c_str());
  EXPECT_EQ(1, FileExists(path));
  FileFacts facts = {};
  EXPECT_EQ(1, GetFileFacts(native.c_str(), 0, &facts));
  EXPECT_TRUE(DeleteFileForced(native.c_str()));
  strcpy(path, native.c_str());
  EXPECT_EQ(0, FileExists(path));
}

TEST_F(FileFactsTest, VersionBoxShowsFieldsOrCopiesDescription) {
  char out[1024] = "";
  EXPECT_EQ(0, ShowFileVersionBox(Fixture("vf_with_icon.exe").c_str(), 0, out));
  EXPECT_STREQ("Program with an icon", out);

  strcpy(ApplicationTitle, "Vandrelix Version Box");
  WindowCatch box;
  CatchWindow("Vandrelix Version Box", IDNO, &box);
  EXPECT_EQ(IDNO, ShowFileVersionBox(Fixture("vf_with_icon.exe").c_str(), 7, out));
  WaitCatch();
  ASSERT_TRUE(box.seen);
  EXPECT_NE(std::string::npos, box.texts.find("Program with an icon")) << box.texts;
  EXPECT_NE(std::string::npos, box.texts.find("Icon Program   1.2.3.4")) << box.texts;

  CatchWindow("Vandrelix Version Box", IDOK, &box);
  ShowFileVersionBox(Fixture("vf_no_version.dll").c_str(), 627, out);
  WaitCatch();
  EXPECT_NE(std::string::npos, box.texts.find("No product information is available")) << box.texts;
}

const char* kClass = "{5C0A0E2B-4D1F-4E65-9B1A-7A11D0C0FFEE}";

TEST_F(FileFactsTest, ClassServerFoundWithOrWithoutBraces) {
  std::string key = std::string("CLSID\\") + kClass;
  std::string dll = Fixture("vf_two_translations.dll");
  RawWriteString(HKEY_CLASSES_ROOT, key.c_str(), "", "Vandrelix Test Class");
  RawWriteString(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), "", dll.c_str());
  char name[260], path[260];
  EXPECT_EQ(1, ClassServerOf(kClass, name, path));
  EXPECT_STREQ("Vandrelix Test Class", name);
  EXPECT_EQ(0, lstrcmpiA(dll.c_str(), path));
  std::string bare(kClass + 1, strlen(kClass) - 2);
  EXPECT_EQ(1, ClassServerOf(bare.c_str(), name, path));
  EXPECT_STREQ("Vandrelix Test Class", name);

  RawWriteString(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), "", "");
  EXPECT_EQ(0, ClassServerOf(kClass, name, path));
  EXPECT_STREQ("Vandrelix Test Class", name);
  RawDeleteTree(HKEY_CLASSES_ROOT, key.c_str());
  EXPECT_EQ(0, ClassServerOf(kClass, name, path));
  EXPECT_STREQ("", path);
}

TEST_F(FileFactsTest, ClassRegisteredOnlyForSixtyFourBitPrograms) {
  if (!OnWow64()) GTEST_SKIP() << "32-bit Windows has one class view";
  std::string key = std::string("Software\\Classes\\CLSID\\") + kClass;
  RawWriteString(HKEY_LOCAL_MACHINE, key.c_str(), "", "Native Class", KEY_WOW64_64KEY);
  RawWriteString(HKEY_LOCAL_MACHINE, (key + "\\InprocServer32").c_str(), "", "C:\\native\\x.dll", KEY_WOW64_64KEY);
  char name[260], path[260];
  EXPECT_EQ(1, ClassServerOf(kClass, name, path));
  EXPECT_STREQ("Native Class", name);
  EXPECT_STREQ("C:\\native\\x.dll", path);
  EXPECT_EQ((DWORD)KEY_READ, RegReadAccess);
  RawDeleteTree(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_64KEY);
}

TEST_F(FileFactsTest, AppPathsGiveVersionAndPath) {
  const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vandrelixfixture.exe";
  RawWriteString(HKEY_LOCAL_MACHINE, key, "", Fixture("vf_with_icon.exe").c_str());
  RawWriteString(HKEY_LOCAL_MACHINE, key, "Path", "C:\\fixture");
  char version[260], path[260];
  EXPECT_EQ(1, AppPathOf("vandrelixfixture.exe", version, path));
  EXPECT_STREQ("1.2.3.4", version);
  EXPECT_STREQ("C:\\fixture", path);
  RawWriteString(HKEY_LOCAL_MACHINE, key, "", "C:\\gone\\vandrelixfixture.exe");
  EXPECT_EQ(0, AppPathOf("vandrelixfixture.exe", version, path));
  EXPECT_STREQ("", version);
  EXPECT_EQ(0, AppPathOf(std::string(260, 'a').c_str(), version, path));
  RawDeleteTree(HKEY_LOCAL_MACHINE, key);
}

TEST_F(FileFactsTest, FileExistsLooksInTheWindowsFolders) {
  char path[260];
  strcpy(path, Fixture("vf_with_icon.exe").c_str());
  EXPECT_EQ(1, FileExists(path));
  strcpy(path, "notepad.exe");
  EXPECT_EQ(1, FileExists(path));
  EXPECT_STREQ("notepad.exe", path);  // found in the Windows folder: left as it was
  strcpy(path, "kernel32.dll");  // only in the System folder
  EXPECT_EQ(1, FileExists(path));
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  char shortSystem[MAX_PATH];
  GetShortPathNameA((std::string(system) + "\\kernel32.dll").c_str(), shortSystem, sizeof shortSystem);
  EXPECT_STREQ(shortSystem, path);
  strcpy(path, "");
  EXPECT_EQ(0, FileExists(path));
  strcpy(path, "vandrelix-missing.exe");
  EXPECT_EQ(0, FileExists(path));
  std::string longName(40, 'k');
  strcpy(path, longName.c_str());
  EXPECT_EQ(0, FileExists(path));
}

TEST_F(FileFactsTest, ForcedDeletesClearReadOnly) {
  std::string folder = BinFolder() + "\\forced-test";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string file = PutFile(folder + "\\ro.txt", "x");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(DeleteFileForced(file.c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
  SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(RemoveFolderForced(folder.c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));
}

TEST_F(FileFactsTest, FactsOfAFile) {
  std::string file = PutFile(BinFolder() + "\\facts.bin", std::string(12345, 'f'));
  FileFacts facts = {};
  strcpy(facts.firstDetected, "kept");
  EXPECT_EQ(1, GetFileFacts(file.c_str(), 0, &facts));
  EXPECT_EQ(12345u, facts.size);
  EXPECT_STREQ("12,345", facts.sizeText);
  EXPECT_GE(strlen(facts.modified), 16u);
  EXPECT_GE(strlen(facts.created), 16u);
  EXPECT_STREQ("kept", facts.firstDetected);

  FirstDetectedHook = [](const char*, int area, char* out) {
    strcpy(out, area == 3 ? "01/02/2025" : "");
    return area == 3 ? 1 : 0;
  };
  EXPECT_EQ(1, GetFileFacts(file.c_str(), 3, &facts));
  EXPECT_STREQ("01/02/2025", facts.firstDetected);
  FirstDetectedHook = nullptr;

  EXPECT_EQ(0, GetFileFacts((BinFolder() + "\\absent.bin").c_str(), 0, &facts));

  char created[256];
  EXPECT_EQ(1, FileCreatedText(file.c_str(), created));
  SYSTEMTIME now;
  GetLocalTime(&now);
  char year[8];
  sprintf(year, "%04d/", now.wYear);
  EXPECT_EQ(0u, std::string(created).find(year)) << created;
  EXPECT_EQ(16u, strlen(created));
  EXPECT_EQ(1, FileCreatedText((BinFolder() + "\\absent.bin").c_str(), created));
  EXPECT_STREQ("", created);

  char date[256], size[256];
  EXPECT_GT(FileDateAndSize(file.c_str(), date, size), 0);
  EXPECT_STREQ("12345", size);
  EXPECT_STREQ(facts.modified, date);
  EXPECT_EQ(0, FileDateAndSize((BinFolder() + "\\absent.bin").c_str(), date, size));
  DeleteFileA(file.c_str());
}

// Sparse files of 4 GiB and more: every size text shows the whole size, and a size whose low part is
// 0xFFFFFFFF is a size like any other.
TEST_F(FileFactsTest, SizesOfFourGigabytesAndMore) {
  const struct {
    unsigned long long size;
    const char* grouped;
    const char* plain;
  } cases[] = {{4294967301ull, "4,294,967,301", "4294967301"}, {8589934591ull, "8,589,934,591", "8589934591"}};
  std::string file = BinFolder() + "\\huge.bin";
  for (const auto& c : cases) {
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG)c.size;
    ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    FileFacts facts = {};
    ASSERT_EQ(1, GetFileFacts(file.c_str(), 0, &facts));
    EXPECT_EQ(c.size, facts.size);
    EXPECT_STREQ(c.grouped, facts.sizeText);
    char date[256], size[256];
    EXPECT_GT(FileDateAndSize(file.c_str(), date, size), 0);
    EXPECT_STREQ(c.plain, size);
    DeleteFileA(file.c_str());
  }
}

TEST_F(FileFactsTest, TextFilesReadWithChosenLineEnds) {
  std::string file = PutFile(BinFolder() + "\\lines.txt", "one\ntwo\nthree\n");
  DWORD size = 14;
  HGLOBAL block = ReadTextFile(file.c_str(), &size, 1);
  ASSERT_NE(nullptr, block);
  const char* text = (const char*)GlobalLock(block);
  EXPECT_STREQ("one\r\ntwo\r\nthree\r\n", text);
  EXPECT_EQ(16u, size);
  GlobalUnlock(block);
  GlobalFree(block);

  size = 14;
  block = ReadTextFile(file.c_str(), &size, 0);
  ASSERT_NE(nullptr, block);
  EXPECT_STREQ("one\ntwo\nthree\n", (const char*)GlobalLock(block));
  EXPECT_EQ(13u, size);
  GlobalUnlock(block);
  GlobalFree(block);

  size = 100;  // more than the file holds: what is there is read
  block = ReadTextFile(file.c_str(), &size, 0);
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(13u, size);
  GlobalFree(block);

  // A size near 4 GiB once wrapped the block's size to a few bytes and the read ran past it.
  std::string lines;
  for (int i = 0; i < 400; ++i) lines += "line " + std::to_string(i) + "\n";
  std::string many = PutFile(BinFolder() + "\\many.txt", lines);
  for (DWORD asked : {0xFFFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFE0u, 0x80000000u}) {
    size = asked;
    block = ReadTextFile(many.c_str(), &size, 1);
    ASSERT_NE(nullptr, block) << asked;
    std::string read((const char*)GlobalLock(block));
    GlobalUnlock(block);
    GlobalFree(block);
    EXPECT_EQ(lines.size() + 400, read.size()) << asked;
    EXPECT_EQ(lines.size() + 400 - 1, size) << asked;
  }
  DeleteFileA(many.c_str());

  size = 10;
  EXPECT_EQ(nullptr, ReadTextFile((BinFolder() + "\\absent.txt").c_str(), &size, 1));
  std::string empty = PutFile(BinFolder() + "\\empty.txt", "");
  EXPECT_EQ(nullptr, ReadTextFile(empty.c_str(), &size, 1));
  DeleteFileA(file.c_str());
  DeleteFileA(empty.c_str());
}

TEST_F(FileFactsTest, HostsFileAndLongPaths) {
  char hosts[260];
  HostsFilePath(hosts);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  EXPECT_STREQ((std::string(system) + "\\drivers\\etc\\HOSTS").c_str(), hosts);

  std::string folder = BinFolder() + "\\A long folder name";
  CreateDirectoryA(folder.c_str(), nullptr);
  char brief[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(folder.c_str(), brief, sizeof brief), 0u);
  char out[260];
  EXPECT_GT(LongPathOf(out, brief), 0u);
  EXPECT_EQ(0, lstrcmpiA(folder.c_str(), out)) << out;
  EXPECT_EQ(0u, LongPathOf(out, "C:\\no\\such\\thing.exe"));
  EXPECT_STREQ("C:\\no\\such\\thing.exe", out);
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
