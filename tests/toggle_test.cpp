// Disable, enable, remove and restore: every entry comes back as it was.
#include <objbase.h>
#include <aclapi.h>
#include <shlobj.h>

#include <string>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "records/history.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"
#include "startup_support.h"

namespace {

class ToggleTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    OptionSet[OPT_History] = 1;
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    StartupTest::TearDown();
  }
};

std::vector<int> RunCodes() {
  std::vector<int> codes;
  for (int r = 0; r < (OnWow64() ? 3 : 2); ++r)
    for (int k = 1; k <= 7; ++k)
      if (!(r == 2 && k >= 6)) codes.push_back(10 * r + k);  // 26 and 27 have no store
  return codes;
}

struct Entry {
  const char* name;
  const char* data;
  DWORD type;
};
const Entry kEntries[] = {
    {"VxTest Quoted", "\"C:\\Program Files\\Vx Test\\app.exe\" /min -x", REG_SZ},
    {"VxTest Rundll", "RUNDLL32.EXE C:\\Vx\\lib.dll,Start now", REG_SZ},
    {"VxTest Expand", "%ProgramFiles%\\Vx\\e.exe -q", REG_EXPAND_SZ},
};

// Scans, then applies an operation to the item of that title and code with the item's own values,
// as the Startup page does (with the entry's real name). -1 when the scan does not list it.
int OnScanned(int (*operation)(const char*, const char*, const char*, int), const char* title, int code) {
  ScanStartupPrograms(0);
  int i = FindItem(title, code);
  if (i < 0) return -1;
  char name[512], f[260], c[260];
  if (!GetItemValueName(i, name)) return 0;
  GetItemFile(i, f);
  GetItemCommand(i, c);
  return operation(name, f, c, GetItemLocation(i));
}
int ToggleScanned(const char* title, int code) { return OnScanned(ToggleStartupItem, title, code); }
int RemoveScanned(const char* title, int code) { return OnScanned(RemoveStartupItem, title, code); }

std::string StoreValue(int code, const char* name, DWORD* type) {
  std::string data;
  *type = 0;
  RawRead(HKEY_LOCAL_MACHINE, DisabledStoreOf(code), name, &data, type, OnWow64() ? KEY_WOW64_32KEY : 0);
  return data;
}

TEST_F(ToggleTest, RunEntriesComeBackByteForByte) {
  for (int code : RunCodes()) {
    for (const Entry& e : kEntries) {
      SCOPED_TRACE(std::to_string(code) + " " + e.name);
      ASSERT_TRUE(PutRunValue(code, e.name, e.data, e.type));
      std::string before;
      DWORD beforeType = 0;
      GetRunValue(code, e.name, &before, &beforeType);

      EXPECT_NE(-1, ToggleScanned(e.name, code));
      EXPECT_FALSE(GetRunValue(code, e.name, nullptr, nullptr));
      DWORD storedType = 0;
      EXPECT_EQ(before, StoreValue(code, e.name, &storedType));
      EXPECT_EQ(beforeType, storedType);
      EXPECT_EQ(code, ReadDisabledMarker(e.name));

      ScanStartupPrograms(0);
      int listed = FindItem(e.name, code);
      ASSERT_GE(listed, 0);
      EXPECT_EQ(code, IsItemDisabled(listed));

      EXPECT_NE(-1, ToggleScanned(e.name, code));
      std::string after;
      DWORD afterType = 0;
      ASSERT_TRUE(GetRunValue(code, e.name, &after, &afterType));
      EXPECT_EQ(before, after);
      EXPECT_EQ(beforeType, afterType);
      EXPECT_EQ(0, ReadDisabledMarker(e.name));
      EXPECT_EQ("", StoreValue(code, e.name, &storedType));
    }
  }
}

TEST_F(ToggleTest, EntriesWithoutAStoreAreLeftAlone) {
  if (!OnWow64()) GTEST_SKIP() << "the redirected RunOnce\\Setup key exists only on 64-bit Windows";
  PutRunValue(26, "VxTest Setup", "C:\\setup\\step.exe");
  EXPECT_EQ(0, ToggleScanned("VxTest Setup", 26));
  EXPECT_TRUE(GetRunValue(26, "VxTest Setup", nullptr, nullptr));
}

TEST_F(ToggleTest, SameNameInAnotherPlaceNeverTakesTheMarker) {
  PutRunValue(1, "VxTest Case", "C:\\machine\\m.exe");
  PutRunValue(11, "vxtest case", "C:\\user\\u.exe -u");
  EXPECT_EQ(1, ToggleScanned("VxTest Case", 1));
  EXPECT_EQ(0, ToggleScanned("vxtest case", 11));  // refused: the marker is the machine entry's
  std::string user;
  ASSERT_TRUE(GetRunValue(11, "vxtest case", &user, nullptr));
  EXPECT_STREQ("C:\\user\\u.exe -u", user.c_str());
  ScanStartupPrograms(0);
  int live = FindItem("vxtest case", 11);
  ASSERT_GE(live, 0);  // still listed, and not mistaken for the disabled one coming back
  EXPECT_TRUE(GetRunValue(11, "vxtest case", nullptr, nullptr));
  EXPECT_EQ(1, ToggleScanned("VxTest Case", 1));
  std::string machine;
  ASSERT_TRUE(GetRunValue(1, "VxTest Case", &machine, nullptr));
  EXPECT_STREQ("C:\\machine\\m.exe", machine.c_str());
  EXPECT_EQ(1, ToggleScanned("vxtest case", 11));
  EXPECT_EQ(11, ReadDisabledMarker("VxTest Case"));
  EXPECT_EQ(1, ToggleScanned("vxtest case", 11));
  ASSERT_TRUE(GetRunValue(11, "vxtest case", &user, nullptr));
  EXPECT_STREQ("C:\\user\\u.exe -u", user.c_str());
}

TEST_F(ToggleTest, AValueThatComesBackIsDisabledAgainUnlessItDiffers) {
  PutRunValue(1, "VxTest Back", "C:\\old\\old.exe");
  PutRunValue(1, "VxTest Back2", "C:\\old\\second.exe");
  ToggleScanned("VxTest Back", 1);
  ToggleScanned("VxTest Back2", 1);
  PutRunValue(1, "VxTest Back", "C:\\old\\old.exe");  // the same entries put back by an installer
  PutRunValue(1, "VxTest Back2", "C:\\old\\second.exe");
  ScanStartupPrograms(0);
  EXPECT_FALSE(GetRunValue(1, "VxTest Back", nullptr, nullptr));
  EXPECT_FALSE(GetRunValue(1, "VxTest Back2", nullptr, nullptr));  // each one, however many come back
  DWORD type = 0;
  EXPECT_STREQ("C:\\old\\old.exe", StoreValue(1, "VxTest Back", &type).c_str());
  EXPECT_EQ(1, ReadDisabledMarker("VxTest Back"));
  int listed = FindItem("VxTest Back", 1);
  ASSERT_GE(listed, 0);
  EXPECT_EQ(1, IsItemDisabled(listed));

  // Another value under that name: neither the kept copy nor the new value is thrown away.
  PutRunValue(1, "VxTest Back", "\"C:\\new dir\\new.exe\" -updated");
  ScanStartupPrograms(0);
  std::string live;
  ASSERT_TRUE(GetRunValue(1, "VxTest Back", &live, nullptr));
  EXPECT_STREQ("\"C:\\new dir\\new.exe\" -updated", live.c_str());
  EXPECT_STREQ("C:\\old\\old.exe", StoreValue(1, "VxTest Back", &type).c_str());
  int first = FindItem("VxTest Back", 1);
  ASSERT_GE(first, 0);
  EXPECT_EQ(0, ToggleScanned("VxTest Back", 1));  // enabling would write over the new value: refused
}

TEST_F(ToggleTest, RemovedEntriesAreRestoredFromTheHistory) {
  for (int code : RunCodes()) {
    for (const Entry& e : kEntries) {
      SCOPED_TRACE(std::to_string(code) + " " + e.name);
      ASSERT_TRUE(PutRunValue(code, e.name, e.data, e.type));
      std::string before;
      DWORD beforeType = 0;
      GetRunValue(code, e.name, &before, &beforeType);
      EXPECT_NE(-1, RemoveScanned(e.name, code));
      EXPECT_FALSE(GetRunValue(code, e.name, nullptr, nullptr));

      ASSERT_GT(LoadHistoryItems(), 0);
      int last = StartupItemCount - 1;
      EXPECT_EQ(1, IsRestorableEvent(last));
      EXPECT_EQ(code, GetItemLocation(last));
      RestoreHistoryEvent(last);
      std::string after;
      DWORD afterType = 0;
      ASSERT_TRUE(GetRunValue(code, e.name, &after, &afterType));
      EXPECT_EQ(before, after);
      EXPECT_EQ(beforeType, afterType);
    }
  }
}

TEST_F(ToggleTest, RemovingADisabledEntryClearsItsStore) {
  PutRunValue(12, "VxTest Gone", "C:\\gone\\gone.exe");
  ToggleScanned("VxTest Gone", 12);
  EXPECT_NE(-1, RemoveScanned("VxTest Gone", 12));
  DWORD type;
  EXPECT_EQ("", StoreValue(12, "VxTest Gone", &type));
  EXPECT_EQ(0, ReadDisabledMarker("VxTest Gone"));
  ScanStartupPrograms(0);
  EXPECT_EQ(-1, FindItem("VxTest Gone"));
}

TEST_F(ToggleTest, ProductEntriesLeaveNoHistory) {
  PutRunValue(1, "VxTest Own", "C:\\Program Files\\Vandrelix\\Vandrelix.exe -expressboot");
  RemoveScanned("VxTest Own", 1);
  EXPECT_EQ(0, LoadHistoryItems());
  OptionSet[OPT_History] = 0;
  PutRunValue(1, "VxTest Quiet", "C:\\quiet\\q.exe");
  RemoveScanned("VxTest Quiet", 1);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((BinFolder() + "\\history.txt").c_str()));
}

TEST_F(ToggleTest, WinIniEntriesKeepTheirOwnText) {
  std::string folder = TempFolder("Win Ini Folder");
  std::string exe = MakeFile(folder + "\\ini prog.exe");
  char brief[MAX_PATH];
  GetShortPathNameA(exe.c_str(), brief, sizeof brief);
  std::string line = std::string("C:\\other\\x.exe;") + brief;
  WriteProfileStringA("windows", "run", line.c_str());

  ScanStartupPrograms(0);
  int i = FindItem("run", 101);
  ASSERT_GE(i, 0);
  EXPECT_EQ(0, lstrcmpiA(exe.c_str(), ItemFile(i).c_str()));  // listed by its long name
  EXPECT_EQ(1, ToggleScanned("run", 101));
  char text[512];
  GetProfileStringA("windows", "run", "", text, sizeof text);
  EXPECT_STREQ("C:\\other\\x.exe;", text);
  DWORD type;
  EXPECT_STREQ(brief, StoreValue(101, "run", &type).c_str());
  EXPECT_EQ(1, ToggleScanned("run", 101));
  GetProfileStringA("windows", "run", "", text, sizeof text);
  EXPECT_EQ(std::string("C:\\other\\x.exe;") + brief, text);

  ToggleScanned("run", 101);
  EXPECT_NE(-1, RemoveScanned("run", 101));
  EXPECT_EQ("", StoreValue(101, "run", &type));
  EXPECT_EQ(0, ReadDisabledMarker("run"));
  DeleteFileA(exe.c_str());
  RemoveDirectoryA(folder.c_str());
}



TEST_F(ToggleTest, StartupFolderFilesAreMovedAndBroughtBack) {
  StartupFolderScope scope;
  std::string target = BinFolder() + "\\vf_with_icon.exe";
  std::string link = scope.folder + "\\VxTest Link.lnk";
  ASSERT_EQ(1, CreateShortcut(link.c_str(), target.c_str(), "-start", "VxTest Link"));
  std::string pif = MakeFile(scope.folder + "\\VxTest Plain.pif", "pif bytes");
  std::string linkBytes = ReadAll(link);

  EXPECT_EQ(1, ToggleScanned("VxTest Link", 200));
  EXPECT_EQ(1, ToggleScanned("VxTest Plain", 200));
  EXPECT_EQ("<missing>", ReadAll(link));
  EXPECT_EQ("<missing>", ReadAll(pif));
  EXPECT_EQ(linkBytes, ReadAll(BinFolder() + "\\Disabled\\VxTest Link.lnk"));
  ScanStartupPrograms(0);
  int parked = FindItem("VxTest Link", 200);
  ASSERT_GE(parked, 0);
  EXPECT_EQ(200, IsItemDisabled(parked));

  int enabled = ToggleScanned("VxTest Link", 200);
  std::string titles;
  for (int i = 0; i < StartupItemCount; ++i) {
    char t[128], c[260];
    GetItemTitle(i, t);
    GetItemCommand(i, c);
    if (GetItemLocation(i) == 200) titles += std::string(t) + " <" + c + ">; ";
  }
  EXPECT_EQ(1, enabled) << titles;
  EXPECT_EQ(1, ToggleScanned("VxTest Plain", 200));
  EXPECT_EQ(linkBytes, ReadAll(link));
  EXPECT_EQ("pif bytes", ReadAll(pif));
  EXPECT_EQ(0, ReadDisabledMarker("VxTest Link"));
  EXPECT_EQ(0, ReadDisabledMarker("VxTest Plain"));

  // Removing a shortcut deletes the link, never its program; the history puts the link back whole.
  EXPECT_EQ(1, RemoveScanned("VxTest Link", 200));
  EXPECT_EQ("<missing>", ReadAll(link));
  EXPECT_NE("<missing>", ReadAll(target));
  ASSERT_GT(LoadHistoryItems(), 0);
  RestoreHistoryEvent(StartupItemCount - 1);
  char resolved[260], description[260];
  ASSERT_EQ(S_OK, ResolveShortcut(link.c_str(), resolved, description));
  EXPECT_EQ(0, lstrcmpiA(target.c_str(), resolved));
  EXPECT_STREQ("VxTest Link", description);
  IShellLinkA* shellLink = nullptr;
  CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shellLink);
  IPersistFile* file = nullptr;
  shellLink->QueryInterface(IID_IPersistFile, (void**)&file);
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
  file->Load(wide, STGM_READ);
  char arguments[260] = "";
  shellLink->GetArguments(arguments, sizeof arguments);
  EXPECT_STREQ("-start", arguments);
  file->Release();
  shellLink->Release();
  DeleteFileA(link.c_str());
  DeleteFileA(pif.c_str());
}

TEST_F(ToggleTest, WinlogonResetsWriteTheDefaults) {
  const char* winlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  std::string shell, userinit;
  bool hadUserinit = RawRead(HKEY_LOCAL_MACHINE, winlogon, "Userinit", &userinit, nullptr, KEY_WOW64_64KEY);
  RawRead(HKEY_LOCAL_MACHINE, winlogon, "Shell", &shell, nullptr, KEY_WOW64_64KEY);
  RawWriteString(HKEY_LOCAL_MACHINE, winlogon, "Userinit", "C:\\x\\userinit.exe,C:\\bad\\bad.exe", KEY_WOW64_64KEY);
  RawWriteString(HKEY_LOCAL_MACHINE, winlogon, "Shell", "Explorer.exe", KEY_WOW64_64KEY);
  RemoveAdvancedItem(nullptr, "Winlogon Userinit", "C:\\bad\\bad.exe", "", 250);
  RemoveAdvancedItem(nullptr, "Winlogon Shell", "Explorer.exe", "", 251);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  std::string data;
  RawRead(HKEY_LOCAL_MACHINE, winlogon, "Userinit", &data, nullptr, KEY_WOW64_64KEY);
  EXPECT_STREQ((std::string(system) + "\\Userinit.exe,").c_str(), data.c_str());
  RawRead(HKEY_LOCAL_MACHINE, winlogon, "Shell", &data, nullptr, KEY_WOW64_64KEY);
  EXPECT_STREQ("Explorer.exe", data.c_str());
  EXPECT_TRUE(RawRead(HKEY_LOCAL_MACHINE, "Software\\Orvenn Studios\\Vandrelix\\Run", "Explorer.exe", &data, nullptr));
  EXPECT_STREQ("251", data.c_str());
  ASSERT_EQ(2, LoadHistoryItems());
  EXPECT_EQ(21, GetItemFlag(0));
  EXPECT_EQ(22, GetItemFlag(1));
  if (hadUserinit) RawWrite(HKEY_LOCAL_MACHINE, winlogon, "Userinit", REG_SZ, userinit.data(), (DWORD)userinit.size(), KEY_WOW64_64KEY);
  else RawDeleteValue(HKEY_LOCAL_MACHINE, winlogon, "Userinit", KEY_WOW64_64KEY);
  RawWrite(HKEY_LOCAL_MACHINE, winlogon, "Shell", REG_SZ, shell.data(), (DWORD)shell.size(), KEY_WOW64_64KEY);
}

TEST(AppInitList, RemovesOneDllFromLists) {
  struct {
    const char* list;
    const char* path;
    const char* result;
  } cases[] = {
      {"C:\\a.dll", "C:\\a.dll", ""},
      {"C:\\a.dll,C:\\b.dll", "C:\\a.dll", "C:\\b.dll"},
      {"C:\\a.dll,C:\\b.dll", "c:\\B.DLL", "C:\\a.dll"},
      {"C:\\a.dll C:\\b.dll C:\\c.dll", "C:\\b.dll", "C:\\a.dll,C:\\c.dll"},
      {"C:\\a.dll,C:\\b.dll,C:\\c.dll", "C:\\c.dll", "C:\\a.dll,C:\\b.dll"},
      {"C:\\a.dll,,C:\\b.dll", "C:\\a.dll", ",C:\\b.dll"},
      {"C:\\a.dll, C:\\b.dll", "C:\\x.dll", "C:\\a.dll,,C:\\b.dll"},
      {"", "C:\\a.dll", ""},
  };
  for (const auto& c : cases) {
    char out[512];
    AppInitListWithout(c.list, c.path, out, sizeof out);
    EXPECT_STREQ(c.result, out) << c.list;
  }
}

TEST_F(ToggleTest, AppInitRemovalIsConfirmedRecordedAndRestorable) {
  const char* windows = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  std::string saved;
  bool had = RawRead(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", &saved, nullptr, KEY_WOW64_64KEY);
  std::string dll = BinFolder() + "\\vf_no_version.dll";
  char brief[MAX_PATH];
  GetShortPathNameA(dll.c_str(), brief, sizeof brief);
  RawWriteString(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", (std::string("C:\\keep.dll,") + brief).c_str(),
                 KEY_WOW64_64KEY);
  strcpy(ApplicationTitle, "Vandrelix Test");
  WindowCatch box;
  CatchWindow("Vandrelix Message", IDOK, &box);  // not confirmed: nothing happens
  RemoveAdvancedItem(nullptr, "VxTest dll", dll.c_str(), "", 255);
  WaitCatch();
  ASSERT_TRUE(box.seen);
  EXPECT_NE(std::string::npos, box.texts.find("For your protection")) << box.texts;
  std::string data;
  RawRead(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", &data, nullptr, KEY_WOW64_64KEY);
  EXPECT_STREQ((std::string("C:\\keep.dll,") + brief).c_str(), data.c_str());

  CatchWindow("Vandrelix Message", IDOK, &box, 10000, IDC_WARNING_CONFIRM);
  RemoveAdvancedItem(nullptr, "VxTest dll", dll.c_str(), "", 255);
  WaitCatch();
  RawRead(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", &data, nullptr, KEY_WOW64_64KEY);
  EXPECT_STREQ("C:\\keep.dll", data.c_str());
  ASSERT_EQ(1, LoadHistoryItems());
  EXPECT_EQ(1, IsRestorableEvent(0));
  RestoreHistoryEvent(0);
  RawRead(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", &data, nullptr, KEY_WOW64_64KEY);
  EXPECT_STREQ((std::string("C:\\keep.dll,") + brief).c_str(), data.c_str());
  if (had) RawWrite(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", REG_SZ, saved.data(), (DWORD)saved.size(), KEY_WOW64_64KEY);
  else RawDeleteValue(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", KEY_WOW64_64KEY);
}

TEST_F(ToggleTest, NotifyEntriesAreParkedInOldName) {
  const char* key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\VxTestNotify";
  RawWriteString(HKEY_LOCAL_MACHINE, key, "DLLName", "C:\\n\\notify.dll", KEY_WOW64_64KEY);
  EXPECT_EQ(1, ToggleStartupItem("VxTestNotify", "C:\\n\\notify.dll", "", 256));
  std::string data;
  RawRead(HKEY_LOCAL_MACHINE, key, "DLLName", &data, nullptr, KEY_WOW64_64KEY);
  EXPECT_STREQ("", data.c_str());
  RawRead(HKEY_LOCAL_MACHINE, key, "OldName", &data, nullptr, KEY_WOW64_64KEY);
  EXPECT_STREQ("C:\\n\\notify.dll", data.c_str());
  EXPECT_EQ(256, ReadDisabledMarker("VxTestNotify"));
  ToggleStartupItem("VxTestNotify", "C:\\n\\notify.dll", "", 256);
  RawRead(HKEY_LOCAL_MACHINE, key, "DLLName", &data, nullptr, KEY_WOW64_64KEY);
  EXPECT_STREQ("C:\\n\\notify.dll", data.c_str());
  EXPECT_EQ(0, ReadDisabledMarker("VxTestNotify"));
  // A move cut short (ended between writing one name and emptying the other) leaves both names
  // holding the DLL: the next toggles finish it instead of refusing for good.
  RawWriteString(HKEY_LOCAL_MACHINE, key, "OldName", "C:\\n\\notify.dll", KEY_WOW64_64KEY);
  EXPECT_EQ(1, ToggleStartupItem("VxTestNotify", "C:\\n\\notify.dll", "", 256));
  EXPECT_EQ(1, ToggleStartupItem("VxTestNotify", "C:\\n\\notify.dll", "", 256));
  RawRead(HKEY_LOCAL_MACHINE, key, "DLLName", &data, nullptr, KEY_WOW64_64KEY);
  EXPECT_STREQ("C:\\n\\notify.dll", data.c_str());
  EXPECT_FALSE(RawValueExists(HKEY_LOCAL_MACHINE, key, "OldName", KEY_WOW64_64KEY));
  RawDeleteTree(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY);
}

// Gives a key of the default view a rule that denies every change to everyone, for the life of the object.
struct ChangesDenied {
  HKEY key = nullptr;
  PSECURITY_DESCRIPTOR saved = nullptr;
  PACL savedAcl = nullptr;
  explicit ChangesDenied(const char* path) {
    DWORD view = OnWow64() ? KEY_WOW64_32KEY : 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, READ_CONTROL | WRITE_DAC | view, &key) != ERROR_SUCCESS) return;
    GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &savedAcl, nullptr, &saved);
    EXPLICIT_ACCESSA deny = {};
    deny.grfAccessPermissions = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE;
    deny.grfAccessMode = DENY_ACCESS;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    deny.Trustee.ptstrName = (char*)"EVERYONE";
    PACL acl = nullptr;
    if (SetEntriesInAclA(1, &deny, savedAcl, &acl) == ERROR_SUCCESS) {
      SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
      LocalFree(acl);
    }
  }
  ~ChangesDenied() {
    if (!key) return;
    SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, savedAcl, nullptr);
    LocalFree(saved);
    RegCloseKey(key);
  }
};

// A user who may not change the markers (a standard user, a locked key) cannot enable an entry: the
// enable undoes its own steps and refuses, instead of reporting an entry enabled that stays disabled.
TEST_F(ToggleTest, EnablesThatCannotDropTheMarkerAreRefused) {
  StartupFolderScope scope;
  std::string program = MakeFile(scope.folder + "\\VxTest Locked File.exe", "MZ");
  PutRunValue(11, "VxTest Locked", "C:\\locked\\l.exe");
  std::string folder = TempFolder("Locked Ini");
  std::string piece = MakeFile(folder + "\\VxTest locked.exe");
  ASSERT_TRUE(WinIniAppendEntry("run", piece.c_str()));
  ASSERT_EQ(1, ToggleStartupItem("VxTest Locked", "", "", 11));
  ASSERT_EQ(1, ToggleStartupItem("VxTest Locked File", program.c_str(), program.c_str(), 200));
  ASSERT_EQ(1, ToggleScanned("run", 101));
  std::string parked = BinFolder() + "\\Disabled\\VxTest Locked File.exe";
  {
    ChangesDenied denied(kDisabledRoot);
    ASSERT_TRUE(denied.key);
    EXPECT_EQ(0, ToggleStartupItem("VxTest Locked", "", "", 11));
    EXPECT_EQ(0, ToggleStartupItem("VxTest Locked File", parked.c_str(), parked.c_str(), 200));
    EXPECT_EQ(0, ToggleStartupItem("run", piece.c_str(), "", 101));
    EXPECT_FALSE(GetRunValue(11, "VxTest Locked", nullptr, nullptr));
    EXPECT_EQ("<missing>", ReadAll(program));
    char run[1024];
    GetProfileStringA("windows", "run", "", run, sizeof run);
    EXPECT_EQ(std::string::npos, std::string(run).find(piece));
  }
  // Allowed again, each one enables.
  EXPECT_EQ(1, ToggleStartupItem("VxTest Locked", "", "", 11));
  EXPECT_TRUE(GetRunValue(11, "VxTest Locked", nullptr, nullptr));
  EXPECT_EQ(1, ToggleStartupItem("VxTest Locked File", parked.c_str(), parked.c_str(), 200));
  EXPECT_EQ("MZ", ReadAll(program));
  EXPECT_EQ(1, ToggleScanned("run", 101));
  WinIniRemoveEntry("run", piece.c_str());
  DeleteFileA(program.c_str());
}

TEST(Wininit, DeleteLinesGoUnderTheRenameSection) {
  char out[1024];
  WininitWithDelete("", "C:\\X.EXE", out, sizeof out);
  EXPECT_STREQ("[rename]\r\nNUL=C:\\X.EXE\r\n", out);
  WininitWithDelete("[rename]\r\nNUL=C:\\OLD.EXE\r\n", "C:\\X.EXE", out, sizeof out);
  EXPECT_STREQ("[rename]\r\nNUL=C:\\X.EXE\r\nNUL=C:\\OLD.EXE\r\n", out);
  WininitWithDelete("[other]\r\na=b", "C:\\X.EXE", out, sizeof out);
  EXPECT_STREQ("[other]\r\na=b\r\n[rename]\r\nNUL=C:\\X.EXE\r\n", out);
  WininitWithDelete("[Rename]", "C:\\X.EXE", out, sizeof out);
  EXPECT_STREQ("[Rename]\r\nNUL=C:\\X.EXE\r\n", out);
}

TEST_F(ToggleTest, DeleteOnRestartIsQueuedWithTheSystem) {
  const char* session = "System\\CurrentControlSet\\Control\\Session Manager";
  std::string saved;
  DWORD type = 0;
  bool had = RawRead(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", &saved, &type);
  std::string file = MakeFile(BinFolder() + "\\doomed.tmp");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(1, DeleteOnRestart(file.c_str()));
  std::string pending;
  ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", &pending, nullptr));
  EXPECT_NE(std::string::npos, pending.find("doomed.tmp"));
  EXPECT_EQ(0u, GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY);
  if (had) RawWrite(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", type, saved.data(), (DWORD)saved.size());
  else RawDeleteValue(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations");
  DeleteFileA(file.c_str());
}

TEST_F(ToggleTest, RestartCommandsAreFoundQuietly) {
  std::string windows = WindowsFolder();
  std::string program = windows + "\\wininit.exe", ini = windows + "\\wininit.ini";
  bool hadProgram = GetFileAttributesA(program.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!hadProgram) MakeFile(program, "MZ");
  DeleteFileA(ini.c_str());
  EXPECT_EQ(0, ShowRestartCommands(1));
  MakeFile(ini, "[rename]\r\nNUL=C:\\X.EXE\r\n");
  EXPECT_EQ(1, ShowRestartCommands(1));
  strcpy(ApplicationTitle, "Vandrelix Test");
  WindowCatch box;
  CatchWindow("Vandrelix - Windows Restart Commands", IDC_RESTART_DELETE, &box);
  EXPECT_EQ(1, ShowRestartCommands(0));
  WaitCatch();
  EXPECT_NE(std::string::npos, box.texts.find("NUL=C:\\X.EXE")) << box.texts;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ini.c_str()));  // "Delete" removed it
  if (!hadProgram) DeleteFileA(program.c_str());
}

}  // namespace
