// File type associations from the machine's classes and the user's Explorer choices, for the
// extensions of the watched list.
#include <string>

#include "areas/file_types.h"
#include "platform/registry.h"
#include "startup/items.h"
#include "startup_support.h"

namespace {

const char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
const char* const kClassKeys[] = {"Software\\Classes\\.vxta",        "Software\\Classes\\.vxtb",
                                  "Software\\Classes\\.vxtc",        "Software\\Classes\\VxTest.TypeA",
                                  "Software\\Classes\\VxTest.TypeB", "Software\\Classes\\VxTest.ProgA",
                                  "Software\\Classes\\Applications\\vxtestapp.exe"};

std::string Program() { return BinFolder() + "\\vf_with_icon.exe"; }
std::string OpenCommand() { return "\"" + Program() + "\" \"%1\""; }

class FileTypesTest : public VxTest {
 protected:
  void SetUp() override {
    VxTest::SetUp();
    RunningOnWow64 = OnWow64();
    Clean();
  }
  void TearDown() override {
    ClearStartupItems();
    Clean();
    VxTest::TearDown();
  }
  static void Clean() {
    for (const char* key : kClassKeys) RawDeleteTree(HKEY_LOCAL_MACHINE, key);
    for (const char* ext : {".vxta", ".vxtb", ".vxtc"})
      RawDeleteTree(HKEY_CURRENT_USER, (std::string(kFileExts) + "\\" + ext).c_str());
  }
  static void WatchList(const char* list) { RawWriteString(HKEY_CURRENT_USER, kWatchedListKey, "", list); }
  static void Command(HKEY root, const std::string& key) {
    RawWriteString(root, (key + "\\shell\\open\\command").c_str(), "", OpenCommand().c_str());
  }
};

std::string Field(const char* field) { return field; }

TEST_F(FileTypesTest, OneExtensionWithAllThreeKinds) {
  RawWriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vxta", "", "VxTest.TypeA");
  RawWriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\VxTest.TypeA", "", "Vx Test Document");
  Command(HKEY_LOCAL_MACHINE, "Software\\Classes\\VxTest.TypeA");
  std::string user = std::string(kFileExts) + "\\.vxta";
  RawWriteString(HKEY_CURRENT_USER, user.c_str(), "Application", "vxtestapp.exe");
  RawWriteString(HKEY_CURRENT_USER, user.c_str(), "ProgID", "VxTest.ProgA");
  Command(HKEY_CLASSES_ROOT, "Applications\\vxtestapp.exe");
  RawWriteString(HKEY_CLASSES_ROOT, "VxTest.ProgA", "", "Vx ProgID Document");
  Command(HKEY_CLASSES_ROOT, "VxTest.ProgA");
  WatchList("VxTa;VXTC;");  // .vxtc has no association at all

  EXPECT_EQ(3, EnumerateFileTypes());
  struct Row {
    int kind;
    const char* title;
    const char* second;
  } const rows[] = {
      {kAssocSystem, "Vx Test Document", "VxTest.TypeA"},
      // The application's class has no description: the program's own names stand in.
      {kAssocApplication, "Icon Program", "Program with an icon"},
      {kAssocProgId, "Vx ProgID Document", "VxTest.ProgA"},
  };
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const StartupItem* item = StartupItemTable[i];
    EXPECT_EQ(kCodeFileType, item->location);
    EXPECT_EQ(rows[i].kind, item->flag);
    EXPECT_STREQ(rows[i].title, item->title);
    EXPECT_STREQ(rows[i].second, item->command);
    EXPECT_STREQ(".VxTa", item->description);  // the list's own letter case
    EXPECT_NE(std::string::npos, Field(item->fileName).find("%1")) << item->fileName;
    EXPECT_NE(std::string::npos, Field(item->fileName).find("vf_with_icon.exe")) << item->fileName;
  }
  EXPECT_STREQ("System", AssociationKindText(kAssocSystem));
  EXPECT_STREQ("Explorer", AssociationKindText(kAssocProgId));
}

TEST_F(FileTypesTest, ClassWithoutDescriptionTakesTheProgramsNames) {
  RawWriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vxtb", "", "VxTest.TypeB");
  Command(HKEY_LOCAL_MACHINE, "Software\\Classes\\VxTest.TypeB");
  WatchList("VXTB;");
  ASSERT_EQ(1, EnumerateFileTypes());
  EXPECT_STREQ("Icon Program", StartupItemTable[0]->title);
  EXPECT_STREQ("Program with an icon", StartupItemTable[0]->command);
  EXPECT_EQ(kAssocSystem, StartupItemTable[0]->flag);
}

TEST_F(FileTypesTest, AssociationsWithAndWithoutTheDot) {
  RawWriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vxtb", "", "VxTest.TypeB");
  char cls[260] = "untouched", command[260] = "untouched";
  EXPECT_EQ(0, GetAssociation("vxtb", cls, command, kAssocSystem));  // a class without a command
  EXPECT_STREQ("untouched", cls);
  Command(HKEY_LOCAL_MACHINE, "Software\\Classes\\VxTest.TypeB");
  for (const char* ext : {"vxtb", ".VXTB"}) {
    EXPECT_EQ(1, GetAssociation(ext, cls, command, kAssocSystem)) << ext;
    EXPECT_STREQ("VxTest.TypeB", cls);
    EXPECT_EQ(OpenCommand(), command);
  }
  strcpy(cls, "untouched");
  EXPECT_EQ(0, GetAssociation("vxtb", cls, command, kAssocApplication));
  EXPECT_EQ(0, GetAssociation("vxtb", cls, command, kAssocProgId));
  EXPECT_EQ(0, GetAssociation("vxtb", cls, command, 4));
  EXPECT_EQ(0, GetAssociation("", cls, command, kAssocSystem));
  EXPECT_STREQ("untouched", cls);
}

TEST_F(FileTypesTest, NoWatchedListGivesNoItems) {
  RawWriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vxtb", "", "VxTest.TypeB");
  Command(HKEY_LOCAL_MACHINE, "Software\\Classes\\VxTest.TypeB");
  char title[] = "stale", none[] = "";
  AddStartupItem(title, none, none, none, 0, 0);
  EXPECT_EQ(0, EnumerateFileTypes());
  EXPECT_EQ(0, StartupItemCount);
  WatchList(";;VXTB");  // empty pieces are passed over, a last piece needs no ";"
  EXPECT_EQ(1, EnumerateFileTypes());
}

}  // namespace
