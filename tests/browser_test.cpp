// Browser add-ons and ActiveX controls, registered for real under HKLM and HKCR in both registry
// views, with fixture modules that carry version resources and record their unregistering.
#include <string>

#include "areas/browser.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup_support.h"

namespace {

const char kBho[] = "{7E5A0001-0000-4000-8000-00000000B001}";
const char kBhoMissing[] = "{7E5A0001-0000-4000-8000-00000000B002}";
const char kBhoNative[] = "{7E5A0001-0000-4000-8000-00000000B003}";
const char kToolbarPlain[] = "{7E5A0001-0000-4000-8000-00000000C001}";
const char kToolbarNamed[] = "{7E5A0001-0000-4000-8000-00000000C002}";
const char kExtRelated[] = "{7E5A0001-0000-4000-8000-00000000E001}";
const char kExtScript[] = "{7E5A0001-0000-4000-8000-00000000E002}";
const char kExtProduct[] = "{7E5A0001-0000-4000-8000-00000000E003}";
const char kExtEmpty[] = "{7E5A0001-0000-4000-8000-00000000E004}";
const char kCtlUsed[] = "{7E5A0001-0000-4000-8000-00000000A001}";
const char kCtlType1[] = "{7E5A0001-0000-4000-8000-00000000A002}";
const char kCtlType2[] = "{7E5A0001-0000-4000-8000-00000000A003}";
const char kCtlUnknown[] = "{7E5A0001-0000-4000-8000-00000000A004}";
const char kCtlMicrosoft[] = "{7E5A0001-0000-4000-8000-00000000A005}";
const char* const kAllIds[] = {kBho,       kBhoMissing, kBhoNative, kToolbarPlain, kToolbarNamed,
                               kExtRelated, kExtScript,  kExtProduct, kExtEmpty,    kCtlUsed,
                               kCtlType1,  kCtlType2,   kCtlUnknown, kCtlMicrosoft};
const DWORD kViews[] = {0, KEY_WOW64_32KEY, KEY_WOW64_64KEY};

std::string Sub(const char* key, const char* id) { return std::string(key) + "\\" + id; }
std::string Fixture(const char* name) { return BinFolder() + "\\" + name; }

void RegisterClass(const char* id, const char* name, const std::string& server, DWORD view = 0) {
  std::string key = std::string("CLSID\\") + id;
  RawWriteString(HKEY_CLASSES_ROOT, key.c_str(), "", name, view);
  RawWriteString(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), "", server.c_str(), view);
}

void PutKey(HKEY root, const std::string& key, DWORD view = 0) {
  DWORD one = 1;
  RawWrite(root, key.c_str(), "VxTest", REG_DWORD, &one, 4, view);
}

DWORD ReadDword(HKEY root, const std::string& key, const char* name) {
  std::string data;
  if (!RawRead(root, key.c_str(), name, &data, nullptr) || data.size() != 4) return 0xDEADBEEF;
  return *(const DWORD*)data.data();
}

int FindByCommand(int code, const char* command) {
  int found = -1;
  for (int i = 0; i < StartupItemCount; ++i) {
    if (GetItemLocation(i) != code || lstrcmpiA(StartupItemTable[i]->command, command) != 0) continue;
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

bool WaitForFile(const std::string& path, DWORD timeoutMs = 15000) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50))
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

class BrowserTest : public VxTest {
 protected:
  void SetUp() override {
    VxTest::SetUp();
    RunningOnWow64 = OnWow64();
    OptionSet[OPT_CloudData] = 0;  // no network from these tests
    OptionSet[OPT_History] = 1;
    Clean();
  }
  void TearDown() override {
    ClearStartupItems();
    Clean();
    VxTest::TearDown();
  }
  static void Clean() {
    for (const char* id : kAllIds) {
      for (DWORD view : kViews) {
        RawDeleteTree(HKEY_LOCAL_MACHINE, Sub(kBhoKey, id).c_str(), view);
        RawDeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, id, view);
        RawDeleteTree(HKEY_LOCAL_MACHINE, Sub(kExtensionKey, id).c_str(), view);
        RawDeleteTree(HKEY_LOCAL_MACHINE, Sub(kActiveXCompatKey, id).c_str(), view);
        RawDeleteTree(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + id).c_str(), view);
      }
      RawDeleteTree(HKEY_CURRENT_USER, Sub(kActiveXStatsKey, id).c_str());
    }
    DeleteFileA((BinFolder() + "\\history.txt").c_str());
  }
};

TEST_F(BrowserTest, AddOnsOfEveryKindWithTheirFields) {
  RegisterClass(kBho, "Vx Helper Object", Fixture("vf_helper.dll"));
  PutKey(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBho));
  PutKey(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBhoMissing));  // no class behind it
  RegisterClass(kToolbarPlain, "Vx Plain Toolbar", Fixture("vf_no_version.dll"));
  RawWrite(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarPlain, REG_BINARY, "\0", 1);
  RegisterClass(kToolbarNamed, "Vx Named Toolbar", Fixture("vf_helper.dll"));
  RawWriteString(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarNamed, "");
  std::string related = Sub(kExtensionKey, kExtRelated);
  RawWriteString(HKEY_LOCAL_MACHINE, related.c_str(), "ButtonText", "@C:\\windows\\system32\\shdoclc.dll,-864");
  RawWriteString(HKEY_LOCAL_MACHINE, related.c_str(), "Exec", Fixture("vf_no_version.dll").c_str());
  RawWriteString(HKEY_LOCAL_MACHINE, related.c_str(), "HotIcon", "C:\\icons\\vx hot.ico");
  std::string script = Sub(kExtensionKey, kExtScript);
  RawWriteString(HKEY_LOCAL_MACHINE, script.c_str(), "ButtonText", "Vx Button");
  RawWriteString(HKEY_LOCAL_MACHINE, script.c_str(), "script", "C:\\scripts\\vx.htm");
  std::string product = Sub(kExtensionKey, kExtProduct);
  RawWriteString(HKEY_LOCAL_MACHINE, product.c_str(), "ButtonText", "@shdoclc.dll,-1");
  RawWriteString(HKEY_LOCAL_MACHINE, product.c_str(), "Exec", Fixture("vf_with_icon.exe").c_str());
  RawWriteString(HKEY_LOCAL_MACHINE, Sub(kExtensionKey, kExtEmpty).c_str(), "ButtonText", "");

  EnumerateIEHelpers();

  struct Expected {
    int code;
    const char* id;
    const char* title;
    std::string file, command, description;
  } const expected[] = {
      {kCodeBho, kBho, "Vx Helper Object", Fixture("vf_helper.dll"), kBho, ""},
      // A toolbar whose server has no product name is titled by the server's file name.
      {kCodeToolbar, kToolbarPlain, "vf_no_version.dll", Fixture("vf_no_version.dll"), kToolbarPlain, ""},
      {kCodeToolbar, kToolbarNamed, "Helper Product", Fixture("vf_helper.dll"), kToolbarNamed, "3.1.4"},
      {kCodeExtension, kExtRelated, "Related", kExtRelated, Fixture("vf_no_version.dll"), "C:\\icons\\vx hot.ico"},
      {kCodeExtension, kExtScript, "Vx Button", kExtScript, "C:\\scripts\\vx.htm", "C:\\scripts\\vx.htm"},
      // The program's product name wins over a resource-named button.
      {kCodeExtension, kExtProduct, "Icon Program", kExtProduct, Fixture("vf_with_icon.exe"),
       Fixture("vf_with_icon.exe")},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.id);
    int i = e.code == kCodeExtension ? -1 : FindByCommand(e.code, e.id);
    if (e.code == kCodeExtension) {
      for (int k = 0; k < StartupItemCount; ++k)
        if (GetItemLocation(k) == kCodeExtension && lstrcmpiA(ItemFile(k).c_str(), e.id) == 0) i = k;
    }
    ASSERT_GE(i, 0);
    EXPECT_EQ(e.code, GetItemLocation(i));
    char text[1024];
    GetItemTitle(i, text);
    EXPECT_STREQ(e.title, text);
    EXPECT_EQ(0, lstrcmpiA(e.file.c_str(), ItemFile(i).c_str())) << ItemFile(i);
    GetItemCommand(i, text);
    EXPECT_EQ(0, lstrcmpiA(e.command.c_str(), text)) << text;
    GetItemDescription(i, text, sizeof text);
    EXPECT_EQ(0, lstrcmpiA(e.description.c_str(), text)) << text;
    EXPECT_STREQ(e.code == kCodeBho ? "BHO" : e.code == kCodeToolbar ? "TOOLBAR" : "EXTENSION",
                 IEHelperTypeText(GetItemLocation(i)));
  }
  EXPECT_EQ(-1, FindByCommand(kCodeBho, kBhoMissing));
  for (int k = 0; k < StartupItemCount; ++k) EXPECT_NE(0, lstrcmpiA(ItemFile(k).c_str(), kExtEmpty));
}

TEST_F(BrowserTest, ObjectsRegisteredInBothViewsAreListedOnce) {
  // The same class in both views, served by different files: the first view's entry stands.
  RegisterClass(kBho, "Vx Helper Object", Fixture("vf_helper.dll"), KEY_WOW64_32KEY);
  RegisterClass(kToolbarNamed, "Vx Named Toolbar", Fixture("vf_helper.dll"), KEY_WOW64_32KEY);
  if (OnWow64()) {
    RegisterClass(kBho, "Vx Helper Object", Fixture("vf_two_translations.dll"), KEY_WOW64_64KEY);
    RegisterClass(kToolbarNamed, "Vx Named Toolbar", Fixture("vf_two_translations.dll"), KEY_WOW64_64KEY);
    RegisterClass(kBhoNative, "Vx Native Object", Fixture("vf_operating_system.dll"), KEY_WOW64_64KEY);
    PutKey(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBhoNative), KEY_WOW64_64KEY);
  }
  for (DWORD view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    PutKey(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBho), view);
    RawWriteString(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarNamed, "", view);
  }
  EnumerateIEHelpers();
  int bho = FindByCommand(kCodeBho, kBho), toolbar = FindByCommand(kCodeToolbar, kToolbarNamed);
  ASSERT_GE(bho, 0);
  ASSERT_GE(toolbar, 0);
  EXPECT_EQ(0, lstrcmpiA(Fixture("vf_helper.dll").c_str(), ItemFile(bho).c_str()));
  EXPECT_EQ(0, lstrcmpiA(Fixture("vf_helper.dll").c_str(), ItemFile(toolbar).c_str()));
  // An object known only to 64-bit programs is found through the 64-bit view.
  int native = FindByCommand(kCodeBho, kBhoNative);
  if (OnWow64()) {
    ASSERT_GE(native, 0);
    EXPECT_STREQ("Vx Native Object", StartupItemTable[native]->title);
  } else {
    EXPECT_EQ(-1, native);
  }
}

// A copy of the add-on module in a folder with blanks, so the unregister command must quote it.
std::string HelperCopy(const char* name) {
  std::string folder = TempFolder("vx helper dir");
  std::string copy = folder + "\\" + name;
  DeleteFileA((copy + ".unregistered").c_str());
  CopyFileA(Fixture("vf_helper.dll").c_str(), copy.c_str(), FALSE);
  return copy;
}

TEST_F(BrowserTest, RemovingAHelperObjectLeavesNoKeyInEitherViewAndUnregistersIt) {
  std::string module = HelperCopy("vx helper.dll");
  for (DWORD view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    RegisterClass(kBho, "Vx Helper Object", module, view);
    PutKey(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBho), view);
  }
  PutKey(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBho) + "\\Settings", KEY_WOW64_64KEY);  // a key with a subkey
  EnumerateIEHelpers();
  int i = FindByCommand(kCodeBho, kBho);
  ASSERT_GE(i, 0);
  std::string file = ItemFile(i);

  EXPECT_EQ(0, RemoveIEHelper(Fixture("vf_no_version.dll").c_str(), i));  // another row's file: refused
  EXPECT_EQ(0, RemoveIEHelper(file.c_str(), StartupItemCount));
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBho).c_str()));

  EXPECT_EQ(OnWow64() ? 2 : 1, RemoveIEHelper(file.c_str(), i));
  for (DWORD view : kViews) EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBho).c_str(), view)) << view;
  EXPECT_TRUE(WaitForFile(module + ".unregistered")) << "regsvr32 /u did not reach " << module;
  std::string history = ReadWhole(BinFolder() + "\\history.txt");
  std::string line = std::string("\tIEHELPER_Remove\tTYPE_BHO\tvx helper.dll\t") + file + "\t" + kBhoKey + "\\" + kBho;
  EXPECT_NE(std::string::npos, history.find(line)) << history;

  // Nothing left to remove: nothing run, nothing recorded.
  DeleteFileA((BinFolder() + "\\history.txt").c_str());
  EXPECT_EQ(0, RemoveIEHelper(file.c_str(), i));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((BinFolder() + "\\history.txt").c_str()));
  DeleteFileA((module + ".unregistered").c_str());
  DeleteFileA(module.c_str());
}

TEST_F(BrowserTest, RemovingAToolbarOrExtensionTakesItsValueOrKeyFromEveryView) {
  std::string module = HelperCopy("vx toolbar.dll");
  for (DWORD view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    RegisterClass(kToolbarNamed, "Vx Named Toolbar", module, view);
    RawWriteString(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarNamed, "", view);
  }
  RawWriteString(HKEY_LOCAL_MACHINE, Sub(kExtensionKey, kExtScript).c_str(), "ButtonText", "Vx Button");
  RawWriteString(HKEY_LOCAL_MACHINE, Sub(kExtensionKey, kExtScript).c_str(), "script", "C:\\scripts\\vx.htm");
  EnumerateIEHelpers();

  int toolbar = FindByCommand(kCodeToolbar, kToolbarNamed);
  ASSERT_GE(toolbar, 0);
  EXPECT_EQ(OnWow64() ? 2 : 1, RemoveIEHelper(ItemFile(toolbar).c_str(), toolbar));
  for (DWORD view : kViews) EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarNamed, view)) << view;
  EXPECT_TRUE(WaitForFile(module + ".unregistered"));

  int extension = -1;
  for (int k = 0; k < StartupItemCount; ++k)
    if (GetItemLocation(k) == kCodeExtension && lstrcmpiA(ItemFile(k).c_str(), kExtScript) == 0) extension = k;
  ASSERT_GE(extension, 0);
  EXPECT_EQ(1, RemoveIEHelper(kExtScript, extension));
  for (DWORD view : kViews) EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, Sub(kExtensionKey, kExtScript).c_str(), view));
  std::string history = ReadWhole(BinFolder() + "\\history.txt");
  EXPECT_NE(std::string::npos, history.find(std::string("\tIEHELPER_Remove\tTYPE_TOOLBAR\tvx toolbar.dll\t"))) << history;
  EXPECT_NE(std::string::npos, history.find(std::string("\tIEHELPER_Remove\tTYPE_EXTENSION\t") + kExtScript)) << history;
  DeleteFileA((module + ".unregistered").c_str());
  DeleteFileA(module.c_str());
}

TEST_F(BrowserTest, KillBitIsSetAndClearedInTheCompatibilityFlags) {
  std::string used = Sub(kActiveXCompatKey, kCtlUsed);
  DWORD flags = 0x401;
  RawWrite(HKEY_LOCAL_MACHINE, used.c_str(), "Compatibility Flags", REG_DWORD, &flags, 4);
  EXPECT_EQ(0x401u, GetCompatibilityFlags(kCtlUsed));
  EXPECT_EQ(0, IsActiveXEnabled(kCtlUsed));
  EXPECT_EQ(1, ClearActiveXKillBit(kCtlUsed));
  EXPECT_EQ(0x1u, ReadDword(HKEY_LOCAL_MACHINE, used, "Compatibility Flags"));
  EXPECT_EQ(1, IsActiveXEnabled(kCtlUsed));

  // A control without a compatibility key: enabled; disabling creates the key with the bit alone.
  std::string fresh = Sub(kActiveXCompatKey, kCtlType1);
  EXPECT_EQ(0u, GetCompatibilityFlags(kCtlType1));
  EXPECT_EQ(1, IsActiveXEnabled(kCtlType1));
  EXPECT_EQ(1, SetActiveXKillBit(kCtlType1));
  EXPECT_EQ(0x400u, ReadDword(HKEY_LOCAL_MACHINE, fresh, "Compatibility Flags"));
  EXPECT_EQ(0, IsActiveXEnabled(kCtlType1));
  EXPECT_EQ(1, SetActiveXKillBit(kCtlType1));  // setting twice changes nothing
  EXPECT_EQ(0x400u, ReadDword(HKEY_LOCAL_MACHINE, fresh, "Compatibility Flags"));

  EXPECT_EQ(0, SetActiveXKillBit(""));  // never the compatibility key itself
  EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, kActiveXCompatKey, "Compatibility Flags"));
}

class ActiveXTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    Control(kCtlUsed, "Vx Used Control", "vf_helper.dll", -1);
    Control(kCtlType1, "Vx Type 1 Control", "vf_two_translations.dll", 1);
    Control(kCtlType2, "Vx Type 2 Control", "vf_operating_system.dll", 2);
    PutKey(HKEY_CURRENT_USER, Sub(kActiveXStatsKey, kCtlUnknown) + "\\iexplore");  // no class
    DWORD flags = 0x400;
    RawWrite(HKEY_LOCAL_MACHINE, Sub(kActiveXCompatKey, kCtlType2).c_str(), "Compatibility Flags", REG_DWORD, &flags, 4);
    PutKey(HKEY_LOCAL_MACHINE, Sub(kActiveXCompatKey, kCtlUsed));
  }
  // A class with a stats entry; type -1 leaves the Type value out.
  static void Control(const char* id, const char* name, const char* module, int type) {
    RegisterClass(id, name, Fixture(module));
    std::string stats = Sub(kActiveXStatsKey, id) + "\\iexplore";
    PutKey(HKEY_CURRENT_USER, stats);
    DWORD value = (DWORD)type;
    if (type >= 0) RawWrite(HKEY_CURRENT_USER, stats.c_str(), "Type", REG_DWORD, &value, 4);
  }
};

TEST_F(ActiveXTest, StatsKeyListsControlsBelowType2) {
  EnumerateActiveXControls(0);
  int used = FindByCommand(kCodeActiveX, kCtlUsed);
  ASSERT_GE(used, 0);
  EXPECT_STREQ("Vx Used Control", StartupItemTable[used]->title);
  EXPECT_EQ(0, lstrcmpiA(Fixture("vf_helper.dll").c_str(), ItemFile(used).c_str())) << ItemFile(used);
  EXPECT_STREQ("3.1.4", StartupItemTable[used]->description);
  EXPECT_EQ(0, GetItemFlag(used));
  EXPECT_GE(FindByCommand(kCodeActiveX, kCtlType1), 0);
  EXPECT_EQ(-1, FindByCommand(kCodeActiveX, kCtlType2));
  EXPECT_EQ(-1, FindByCommand(kCodeActiveX, kCtlUnknown));

  // keep = 1 adds to what the table holds.
  int before = StartupItemCount;
  EXPECT_EQ(2 * before, EnumerateActiveXControls(1));
  EXPECT_EQ(before, EnumerateActiveXControls(0));
}

TEST_F(ActiveXTest, ListAllAddsCompatibilityKeyControlsOnce) {
  EnumerateAllActiveXControls();
  int type2 = FindByCommand(kCodeActiveX, kCtlType2);
  ASSERT_GE(type2, 0);
  EXPECT_EQ(0x400, GetItemFlag(type2));
  EXPECT_STREQ("Vx Type 2 Control", StartupItemTable[type2]->title);
  EXPECT_GE(FindByCommand(kCodeActiveX, kCtlUsed), 0);  // in both keys, listed once

  OptionSet[OPT_ActiveXListAll] = 0;
  ScanActiveXControls();
  EXPECT_EQ(-1, FindByCommand(kCodeActiveX, kCtlType2));
  EXPECT_GE(FindByCommand(kCodeActiveX, kCtlUsed), 0);
  OptionSet[OPT_ActiveXListAll] = 1;
  ScanActiveXControls();
  EXPECT_GE(FindByCommand(kCodeActiveX, kCtlType2), 0);
}

TEST_F(ActiveXTest, MicrosoftControlsCanBeLeftOut) {
  Control(kCtlMicrosoft, "Vx Microsoft Control", "vf_microsoft_control.dll", 0);
  OptionSet[OPT_HideMicrosoftActiveX] = 0;
  EnumerateActiveXControls(0);
  EXPECT_GE(FindByCommand(kCodeActiveX, kCtlMicrosoft), 0);
  OptionSet[OPT_HideMicrosoftActiveX] = 1;
  EnumerateActiveXControls(0);
  EXPECT_EQ(-1, FindByCommand(kCodeActiveX, kCtlMicrosoft));
  EXPECT_GE(FindByCommand(kCodeActiveX, kCtlUsed), 0);
}

}  // namespace
