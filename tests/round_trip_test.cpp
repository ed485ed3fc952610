// Nothing lost: disable -> enable and remove -> restore of random entries of every kind, judged by a
// plain Win32 dump of the places they live in (not by the program's own reads), with the random seed
// in the output.
#include <objbase.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/settings.h"
#include "records/history.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"
#include "startup_support.h"

namespace {

class RoundTripTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    OptionSet[OPT_History] = 1;
    CoInitialize(nullptr);
  }
  void TearDown() override;
};

const DWORD kLive = KEY_WOW64_64KEY;
DWORD OwnView() { return OnWow64() ? KEY_WOW64_32KEY : 0; }

struct Entry {
  std::string name;  // "" for the key's default value
  DWORD type;
  std::string bytes;
};

// Random Run values of every awkward kind: quoted paths, RUNDLL32 forms, REG_EXPAND_SZ, "%" in REG_SZ,
// names of 127+ characters, with the product's name or "(Default)" in them, the default value,
// 256-2000 bytes, non-string types.
std::vector<Entry> RandomRunEntries(int code) {
  std::mt19937& random = TestRandom();
  std::vector<Entry> entries;
  for (int i = 0; i < 7; ++i) {
    Entry e;
    std::string id = std::to_string(code) + "-" + std::to_string(i);
    switch (random() % 4) {
      case 0: e.name = "VxTest " + id; break;
      case 1: e.name = "VxTest " + id + " " + std::string(120 + random() % 300, 'N'); break;
      case 2: e.name = "VxTest Vandrelix " + id; break;
      default: e.name = "VxTest (Default) " + id; break;
    }
    switch (random() % 7) {
      case 0: e.type = REG_SZ; e.bytes = "\"C:\\Program Files\\Vx " + id + "\\app.exe\" /min -x"; break;
      case 1: e.type = REG_SZ; e.bytes = "RUNDLL32.EXE C:\\Vx\\lib" + id + ".dll,Start now"; break;
      case 2: e.type = REG_EXPAND_SZ; e.bytes = "%ProgramFiles%\\Vx\\e" + id + ".exe -q"; break;
      case 3: e.type = REG_SZ; e.bytes = "C:\\100%\\p" + id + ".exe %1 %2"; break;
      case 4: e.type = REG_SZ; e.bytes = "C:\\long\\" + std::string(256 + random() % 1750, 'x') + ".exe"; break;
      case 5: e.type = REG_BINARY; e.bytes = std::string(5 + random() % 300, '\0'); for (char& b : e.bytes) b = (char)random(); break;
      default: e.type = REG_DWORD; e.bytes = std::string(4, '\0'); for (char& b : e.bytes) b = (char)random(); break;
    }
    if (e.type == REG_SZ || e.type == REG_EXPAND_SZ) e.bytes += '\0';
    entries.push_back(e);
  }
  if (code % 10 == 1) entries.push_back(Entry{"", REG_SZ, std::string("C:\\default\\d.exe -x", 20)});
  return entries;
}

void PutEntries(int code, const std::vector<Entry>& entries) {
  for (const Entry& e : entries)
    ASSERT_TRUE(RawWrite(RunRootOf(code), RunKeyPathOf(code), e.name.c_str(), e.type, e.bytes.data(), (DWORD)e.bytes.size(), kLive));
}

ValueDump LiveDump(int code) { return DumpValues(RunRootOf(code), RunKeyPathOf(code), kLive); }

// An operation on every entry as the Startup page does it: the item listed for the entry's real name,
// with the item's own texts. An entry the scan does not list (too short to show) is named directly.
int OnEach(int (*operation)(const char*, const char*, const char*, int), int code, const std::vector<Entry>& entries) {
  ScanStartupPrograms(0);
  std::vector<std::string> files;
  for (const Entry& e : entries) {
    int i = FindItemByName(e.name.c_str(), code);
    files.push_back(i >= 0 ? ItemFile(i) : "");
  }
  int done = 0;
  for (size_t k = 0; k < entries.size(); ++k) done += operation(entries[k].name.c_str(), files[k].c_str(), "", code);
  return done;
}

std::vector<int> StoreCodes() {
  std::vector<int> codes;
  for (int r = 0; r < (OnWow64() ? 3 : 2); ++r)
    for (int k = 1; k <= 7; ++k)
      if (DisabledStoreOf(10 * r + k)) codes.push_back(10 * r + k);
  return codes;
}

void ClearDefault(int code) { RawDeleteValue(RunRootOf(code), RunKeyPathOf(code), "", kLive); }

void RoundTripTest::TearDown() {
  for (int code : {1, 11, 21}) ClearDefault(code);  // the default values the random sets use
  CoUninitialize();
  StartupTest::TearDown();
}

TEST_F(RoundTripTest, RunValuesDisableAndEnableByteForByte) {
  for (int code : StoreCodes()) {
    SCOPED_TRACE("code " + std::to_string(code));
    std::vector<Entry> entries = RandomRunEntries(code);
    PutEntries(code, entries);
    ValueDump before = LiveDump(code);

    EXPECT_EQ((int)entries.size(), OnEach(ToggleStartupItem, code, entries));
    ValueDump live = LiveDump(code), parked = DumpValues(HKEY_LOCAL_MACHINE, DisabledStoreOf(code), OwnView());
    ScanStartupPrograms(0);
    for (const Entry& e : entries) {
      EXPECT_EQ(0u, live.count(e.name)) << e.name;
      EXPECT_TRUE(parked.count(e.name) && parked[e.name] == before[e.name]) << e.name;
      int listed = FindItemByName(e.name.c_str(), code);  // every value disabled comes back into the list
      ASSERT_GE(listed, 0) << e.name;
      EXPECT_EQ(code, IsItemDisabled(listed)) << e.name;
    }

    EXPECT_EQ((int)entries.size(), OnEach(ToggleStartupItem, code, entries));
    EXPECT_EQ("", DumpDifferences(before, LiveDump(code)));
    EXPECT_EQ(ValueDump(), DumpValues(HKEY_LOCAL_MACHINE, DisabledStoreOf(code), OwnView()));
    for (const Entry& e : entries) EXPECT_EQ(0, ReadDisabledMarker(MarkerNameOf(e.name.c_str())));
    ClearDefault(code);
  }
}

TEST_F(RoundTripTest, RunValuesRemovedAndRestoredByteForByte) {
  std::string backup = BinFolder() + "\\removed.reg";
  for (int code : StoreCodes()) {
    SCOPED_TRACE("code " + std::to_string(code));
    DeleteFileA(backup.c_str());
    std::vector<Entry> entries = RandomRunEntries(code);
    PutEntries(code, entries);
    ValueDump before = LiveDump(code);
    // Half of them disabled first: a disabled entry comes back enabled.
    for (size_t k = 0; k < entries.size(); k += 2) ToggleStartupItem(entries[k].name.c_str(), "", "", code);

    EXPECT_EQ((int)entries.size(), OnEach(RemoveStartupItem, code, entries));
    ValueDump gone = LiveDump(code);
    for (const Entry& e : entries) EXPECT_EQ(0u, gone.count(e.name)) << e.name;
    EXPECT_EQ(ValueDump(), DumpValues(HKEY_LOCAL_MACHINE, DisabledStoreOf(code), OwnView()));

    // From the History: each row puts back its own value.
    int rows = LoadHistoryItems();
    ASSERT_EQ((int)entries.size(), rows);
    for (int i = 0; i < rows; ++i) EXPECT_EQ(1, IsRestorableEvent(i));
    for (int i = 0; i < rows; ++i) RestoreHistoryEvent(i);
    EXPECT_EQ("", DumpDifferences(before, LiveDump(code)));

    // From the backup file, with Windows' own importer (a double-click on it).
    DeleteFileA((BinFolder() + "\\history.txt").c_str());
    DeleteFileA(backup.c_str());
    OnEach(RemoveStartupItem, code, entries);
    std::string importer = OnWow64() ? "reg.exe import \"" + backup + "\" /reg:64"
                                     : "\"" + WindowsFolder() + "\\regedit.exe\" /s \"" + backup + "\"";
    ASSERT_EQ(0, RunProgram(importer));
    EXPECT_EQ("", DumpDifferences(before, LiveDump(code)));
    ASSERT_EQ((int)entries.size(), LoadHistoryItems());
    for (int i = 0; i < rows; ++i) RestoreHistoryEvent(i);  // already back: nothing changes
    EXPECT_EQ("", DumpDifferences(before, LiveDump(code)));
    ClearDefault(code);
    DeleteFileA((BinFolder() + "\\history.txt").c_str());
  }
}

TEST_F(RoundTripTest, WhatCannotBeActedOnIsRefusedAndNothingRecorded) {
  strcpy(ApplicationTitle, "VandrelixToGo Test");
  std::string history = BinFolder() + "\\history.txt";
  std::string longName = "VxTest " + std::string(600, 'L');
  PutRunValue(1, longName.c_str(), "C:\\long name\\l.exe");
  PutRunValue(1, "VxTest Vandrelix Helper", "C:\\helper\\h.exe -q");
  PutRunValue(1, "(Default)", "C:\\literal\\named.exe");
  PutRunValue(1, "VxTest Taken", "C:\\taken\\live.exe");
  RawWriteString(HKEY_LOCAL_MACHINE, DisabledStoreOf(1), "VxTest Taken", "C:\\taken\\other.exe", OwnView());
  ValueDump before = LiveDump(1);
  ScanStartupPrograms(0);
  char name[512], title[128];
  // A name longer than the item can keep: listed, but nothing to act on by.
  int i = -1;
  for (int k = 0; k < StartupItemCount; ++k) {
    GetItemTitle(k, title);
    if (GetItemLocation(k) == 1 && std::string(title) == longName.substr(0, 127)) i = k;
  }
  ASSERT_GE(i, 0);
  EXPECT_EQ(0, GetItemValueName(i, name));
  EXPECT_EQ(0, ToggleStartupItem(title, ItemFile(i).c_str(), "", 1));  // the display title is no value's name
  // Retitled by the table: the title is not the name either.
  i = FindItemByName("VxTest Vandrelix Helper", 1);
  ASSERT_GE(i, 0);
  GetItemTitle(i, title);
  EXPECT_STRNE("VxTest Vandrelix Helper", title);
  EXPECT_EQ(0, ToggleStartupItem(title, ItemFile(i).c_str(), "", 1));
  EXPECT_EQ(0, RemoveStartupItem(title, ItemFile(i).c_str(), "", 1));
  EXPECT_EQ(0, ToggleStartupItem("(Default)", "", "", 1));  // cannot be told from the default value's marker
  EXPECT_EQ(0, ToggleStartupItem("VxTest Taken", "", "", 1));  // another value parked under that name
  EXPECT_EQ(0, RemoveStartupItem("VxTest Missing", "C:\\missing.exe", "", 1));
  EXPECT_EQ(0, RemoveStartupItem("VxTest Missing", "C:\\missing.exe", "", 27));
  EXPECT_EQ(0, RemoveStartupItem("VxTestNotify Missing", "C:\\missing.dll", "", 256));
  EXPECT_EQ(0, RemoveStartupItem("VxTest", "C:\\x.exe", "", 3000));
  EXPECT_EQ("", DumpDifferences(before, LiveDump(1)));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(history.c_str()));
  EXPECT_EQ(0, ReadDisabledMarker("VxTest Taken"));
  RawDeleteValue(HKEY_LOCAL_MACHINE, RunKeyPathOf(1), "(Default)", kLive);

  // Places without a store: nothing to disable into, but a removal is a removal, restorable.
  if (OnWow64()) {
    for (int code : {26, 27}) {
      PutRunValue(code, "VxTest Setup", "\"C:\\setup dir\\step.exe\" /q");
      ValueDump present = LiveDump(code);
      EXPECT_EQ(0, ToggleStartupItem("VxTest Setup", "", "", code));
      EXPECT_EQ(1, RemoveStartupItem("VxTest Setup", "", "", code));
      EXPECT_EQ(0u, LiveDump(code).count("VxTest Setup"));
      int rows = LoadHistoryItems();
      ASSERT_GT(rows, 0);
      RestoreHistoryEvent(rows - 1);
      EXPECT_EQ("", DumpDifferences(present, LiveDump(code)));
    }
  }
}

TEST_F(RoundTripTest, HistoryRowsNeverPairWithAnotherTablesLines) {
  PutRunValue(1, "VxTest Removed", "C:\\removed\\r.exe");
  ASSERT_EQ(1, RemoveStartupItem("VxTest Removed", "C:\\removed\\r.exe", "", 1));
  ASSERT_EQ(1, LoadHistoryItems());
  // A page fills the table anew with as many rows: its row 0 is no history line, and undoes nothing.
  ClearStartupItems();
  char t[128] = "VxTest Other", f[260] = "C:\\other\\o.exe", c[260] = "", d[1024] = "";
  AddStartupItem(t, f, c, d, 1, 0);
  EXPECT_EQ(0, RestoreHistoryEvent(0));
  EXPECT_FALSE(GetRunValue(1, "VxTest Removed", nullptr, nullptr));
  EXPECT_FALSE(GetRunValue(1, "VxTest Other", nullptr, nullptr));
  // Loaded again, the row is the line's own.
  ASSERT_EQ(1, LoadHistoryItems());
  RestoreHistoryEvent(0);
  EXPECT_TRUE(GetRunValue(1, "VxTest Removed", nullptr, nullptr));
}

// win.ini lists of 700+ characters: entries far past any fixed buffer round-trip, no piece is lost
// or cut, and no empty pieces collect.
TEST_F(RoundTripTest, LongWinIniListsLoseNothing) {
  std::string folder = TempFolder("Win Ini Long");
  std::vector<std::string> real;
  for (int i = 0; i < 3; ++i) real.push_back(MakeFile(folder + "\\VxTest ini " + std::to_string(i) + ".exe"));
  std::string list;
  for (int i = 0; list.size() < 700; ++i) list += "C:\\Not There\\Some Folder\\program" + std::to_string(i) + ".exe;";
  for (const std::string& r : real) list += r + ";";
  list += "C:\\last\\z.exe";
  auto pieces = [](const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find(';', start)) != std::string::npos; start = end + 1) out.push_back(text.substr(start, end - start));
    out.push_back(text.substr(start));
    std::sort(out.begin(), out.end());
    out.erase(std::remove(out.begin(), out.end(), std::string()), out.end());
    return out;
  };
  auto current = [](const char* key) {
    static char text[8192];
    GetProfileStringA("windows", key, "", text, sizeof text);
    return std::string(text);
  };
  for (const char* key : {"run", "load"}) {
    SCOPED_TRACE(key);
    int code = key[0] == 'r' ? 101 : 100;
    WriteProfileStringA("windows", key, list.c_str());
    ScanStartupPrograms(0);
    int i = -1;
    for (int k = 0; k < StartupItemCount; ++k)
      if (GetItemLocation(k) == code && lstrcmpiA(ItemFile(k).c_str(), real[2].c_str()) == 0) i = k;
    ASSERT_GE(i, 0);  // listed although it stands after the first 512 characters
    char name[512];
    ASSERT_EQ(1, GetItemValueName(i, name));
    EXPECT_EQ(1, ToggleStartupItem(name, real[2].c_str(), "", code));
    std::vector<std::string> without = pieces(list);
    without.erase(std::find(without.begin(), without.end(), real[2]));
    EXPECT_EQ(without, pieces(current(key)));
    EXPECT_EQ(1, ToggleStartupItem(name, real[2].c_str(), "", code));
    EXPECT_EQ(pieces(list), pieces(current(key)));
    EXPECT_EQ(std::string::npos, current(key).find(";;"));

    EXPECT_EQ(1, RemoveStartupItem(name, real[2].c_str(), "", code));
    EXPECT_EQ(without, pieces(current(key)));
    int rows = LoadHistoryItems();
    ASSERT_GT(rows, 0);
    RestoreHistoryEvent(rows - 1);
    EXPECT_EQ(pieces(list), pieces(current(key)));
    EXPECT_EQ(std::string::npos, current(key).find(";;"));
  }
  for (const std::string& r : real) DeleteFileA(r.c_str());
  RemoveDirectoryA(folder.c_str());
}

// An AppInit list of ten DLLs, far longer than 255 characters: one goes, the nine others stay as they
// were, and the one comes back as it was written.
// The machine's AppInit list as it was, put back however the test ends.
struct AppInitScope {
  const char* key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  std::string saved;
  DWORD type = REG_SZ;
  bool had = RawRead(HKEY_LOCAL_MACHINE, key, "AppInit_Dlls", &saved, &type, kLive);
  ~AppInitScope() {
    if (had) RawWrite(HKEY_LOCAL_MACHINE, key, "AppInit_Dlls", type, saved.data(), (DWORD)saved.size(), kLive);
    else RawDeleteValue(HKEY_LOCAL_MACHINE, key, "AppInit_Dlls", kLive);
  }
};

TEST_F(RoundTripTest, LongAppInitListsAreEditedWhole) {
  AppInitScope scope;
  const char* windows = scope.key;
  std::vector<std::string> dlls;
  for (int i = 0; i < 10; ++i) dlls.push_back("C:\\VxTestVendor" + std::to_string(i) + "\\system\\hook" + std::to_string(i) + ".dll");
  std::string list;
  for (size_t i = 0; i < dlls.size(); ++i) list += (i ? "," : "") + dlls[i];
  ASSERT_GT(list.size(), 255u);
  RawWriteString(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", list.c_str(), kLive);
  ScanStartupPrograms(0);
  int listed = 0;
  for (int k = 0; k < StartupItemCount; ++k) listed += GetItemLocation(k) == 255;
  EXPECT_EQ(10, listed);

  WindowCatch box;
  CatchWindow("Vandrelix Message", IDOK, &box, 10000, IDC_WARNING_CONFIRM);
  EXPECT_EQ(1, RemoveStartupItem("VxTest dll", dlls[7].c_str(), "", 255));
  WaitCatch();
  std::string data;
  RawRead(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", &data, nullptr, kLive);
  std::string without;
  for (size_t i = 0; i < dlls.size(); ++i)
    if (i != 7) without += (without.empty() ? "" : ",") + dlls[i];
  EXPECT_STREQ(without.c_str(), data.c_str());
  ASSERT_EQ(1, LoadHistoryItems());
  RestoreHistoryEvent(0);
  RawRead(HKEY_LOCAL_MACHINE, windows, "AppInit_Dlls", &data, nullptr, kLive);
  EXPECT_STREQ((without + "," + dlls[7]).c_str(), data.c_str());
}

TEST_F(RoundTripTest, NotifyPackagesRoundTrip) {
  const char* name = "VxTestNotify";
  std::string key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\VxTestNotify";
  struct Gone {
    std::string key;
    ~Gone() { RawDeleteTree(HKEY_LOCAL_MACHINE, key.c_str(), kLive); }
  } gone{key};
  const char dll[] = "%SystemRoot%\\system32\\vxnotify.dll";
  DWORD zero = 0, one = 1;
  RawWrite(HKEY_LOCAL_MACHINE, key.c_str(), "DllName", REG_EXPAND_SZ, dll, sizeof dll, kLive);
  RawWrite(HKEY_LOCAL_MACHINE, key.c_str(), "Asynchronous", REG_DWORD, &zero, 4, kLive);
  RawWrite(HKEY_LOCAL_MACHINE, key.c_str(), "Impersonate", REG_DWORD, &one, 4, kLive);
  RawWriteString(HKEY_LOCAL_MACHINE, key.c_str(), "Logon", "WLEventLogon", kLive);
  RawWriteString(HKEY_LOCAL_MACHINE, (key + "\\Extra").c_str(), "Setting", "kept", kLive);
  ValueDump before = DumpValues(HKEY_LOCAL_MACHINE, key.c_str(), kLive);
  ValueDump extra = DumpValues(HKEY_LOCAL_MACHINE, (key + "\\Extra").c_str(), kLive);
  auto same = [&]() {
    return DumpDifferences(before, DumpValues(HKEY_LOCAL_MACHINE, key.c_str(), kLive)) +
           DumpDifferences(extra, DumpValues(HKEY_LOCAL_MACHINE, (key + "\\Extra").c_str(), kLive));
  };
  auto onScanned = [&](int (*operation)(const char*, const char*, const char*, int)) {
    ScanStartupPrograms(0);
    int i = FindItemByName(name, 256);
    if (i < 0) return -1;
    char real[512];
    GetItemValueName(i, real);
    return operation(real, ItemFile(i).c_str(), "", 256);
  };

  EXPECT_EQ(1, onScanned(ToggleStartupItem));
  ScanStartupPrograms(0);
  int listed = FindItemByName(name, 256);
  ASSERT_GE(listed, 0);  // a disabled package is listed
  EXPECT_EQ(256, IsItemDisabled(listed));
  EXPECT_EQ(1, onScanned(ToggleStartupItem));
  EXPECT_EQ("", same());

  // Removed enabled, and removed while disabled: each restore gives the package back whole, enabled.
  for (int disabledFirst = 0; disabledFirst < 2; ++disabledFirst) {
    SCOPED_TRACE(disabledFirst ? "disabled first" : "enabled");
    if (disabledFirst) EXPECT_EQ(1, onScanned(ToggleStartupItem));
    EXPECT_EQ(1, onScanned(RemoveStartupItem));
    EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, key.c_str(), kLive));
    EXPECT_EQ(0, ReadDisabledMarker(name));
    int rows = LoadHistoryItems();
    ASSERT_GT(rows, 0);
    EXPECT_EQ(1, IsRestorableEvent(rows - 1));
    RestoreHistoryEvent(rows - 1);
    EXPECT_EQ("", same());
  }
}

// Startup-folder files: a removal keeps the file (never deletes it) and a restore puts it back whole;
// a disabled shortcut removed and restored comes back enabled.
TEST_F(RoundTripTest, StartupFolderFilesAreKeptAndPutBackWhole) {
  StartupFolderScope scope;
  std::string program = scope.folder + "\\VxTest Program.exe";
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\vf_with_icon.exe").c_str(), program.c_str(), FALSE));
  std::string link = scope.folder + "\\VxTest Link.lnk";
  ASSERT_EQ(1, CreateShortcut(link.c_str(), program.c_str(), "-start \"a b\"", "VxTest Link"));
  std::string pif = MakeFile(scope.folder + "\\VxTest Plain.pif", std::string("pif\0bytes", 9));
  std::string disabledLink = scope.folder + "\\VxTest Parked.lnk";
  ASSERT_EQ(1, CreateShortcut(disabledLink.c_str(), program.c_str(), "", "VxTest Parked"));
  struct File {
    std::string path, bytes;
  };
  std::vector<File> files;
  for (const std::string& p : {program, link, pif, disabledLink}) files.push_back(File{p, ReadAll(p)});
  auto itemOf = [](const std::string& path) {
    for (int k = 0; k < StartupItemCount; ++k) {
      char c[260];
      GetItemCommand(k, c);
      if (GetItemLocation(k) == 200 && (lstrcmpiA(c, path.c_str()) == 0 || (!c[0] && lstrcmpiA(ItemFile(k).c_str(), path.c_str()) == 0)))
        return k;
    }
    return -1;
  };
  auto apply = [&](int (*operation)(const char*, const char*, const char*, int), const std::string& path) {
    ScanStartupPrograms(0);
    int i = itemOf(path);
    if (i < 0) return -1;
    char name[512], command[260];
    if (!GetItemValueName(i, name)) return 0;
    GetItemCommand(i, command);
    return operation(name, ItemFile(i).c_str(), command, 200);
  };
  ASSERT_EQ(1, apply(ToggleStartupItem, disabledLink));
  std::string parked = BinFolder() + "\\Disabled\\VxTest Parked.lnk";
  for (const File& f : files) {
    SCOPED_TRACE(f.path);
    EXPECT_EQ(1, apply(RemoveStartupItem, f.path == disabledLink ? parked : f.path));
    EXPECT_EQ("<missing>", ReadAll(f.path));
  }
  EXPECT_EQ("<missing>", ReadAll(parked));
  EXPECT_EQ(0, ReadDisabledMarker("VxTest Parked"));
  EXPECT_EQ(files[0].bytes, ReadAll(BinFolder() + "\\Removed\\VxTest Program.exe"));  // kept, not deleted
  int rows = LoadHistoryItems();
  ASSERT_EQ((int)files.size(), rows);
  for (int i = 0; i < rows; ++i) RestoreHistoryEvent(i);
  for (const File& f : files) EXPECT_EQ(f.bytes, ReadAll(f.path)) << f.path;
  EXPECT_EQ("<missing>", ReadAll(parked));
  EXPECT_EQ(0, ReadDisabledMarker("VxTest Parked"));
  for (const File& f : files) DeleteFileA(f.path.c_str());
}

// A restore writes only what its history line names: a long name comes back whole from its block or
// not at all (a line keeps 127 characters of it, 259 of the data), and a block edited to name another
// value or to move another file is not used.
TEST_F(RoundTripTest, RestoresOnlyWhatTheLineNames) {
  std::string notify = std::string("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\VxTestNotify ") +
                       std::string(180, 'n');
  std::string cutNotify = notify.substr(0, notify.size() - 180 + 127 - 13);
  struct Gone {
    std::string a, b;
    ~Gone() {
      RawDeleteTree(HKEY_LOCAL_MACHINE, a.c_str(), kLive);
      RawDeleteTree(HKEY_LOCAL_MACHINE, b.c_str(), kLive);
    }
  } gone{notify, cutNotify};
  std::string package = notify.substr(notify.rfind('\\') + 1);
  RawWriteString(HKEY_LOCAL_MACHINE, notify.c_str(), "DllName", "C:\\vx\\longnotify.dll", kLive);
  ASSERT_EQ(1, RemoveStartupItem(package.c_str(), "C:\\vx\\longnotify.dll", "", 256));
  ASSERT_EQ(1, LoadHistoryItems());
  RestoreHistoryEvent(0);
  EXPECT_TRUE(RawValueExists(HKEY_LOCAL_MACHINE, notify.c_str(), "DllName", kLive));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, cutNotify.c_str(), kLive));

  // The backup gone: a long name or long data is not written from the line's cut texts.
  std::string history = BinFolder() + "\\history.txt", backup = BinFolder() + "\\removed.reg";
  DeleteFileA(history.c_str());
  std::string longName = "VxTest Long " + std::string(150, 'L');
  std::string longData = "C:\\long\\" + std::string(400, 'd') + ".exe";
  PutRunValue(11, longName.c_str(), "C:\\short\\s.exe");
  PutRunValue(11, "VxTest Long Data", longData.c_str());
  ASSERT_EQ(1, RemoveStartupItem(longName.c_str(), "", "", 11));
  ASSERT_EQ(1, RemoveStartupItem("VxTest Long Data", "", "", 11));
  ASSERT_EQ(1, RemoveStartupItem(package.c_str(), "C:\\vx\\longnotify.dll", "", 256));
  DeleteFileA(backup.c_str());
  ValueDump before = DumpValues(HKEY_CURRENT_USER, RunKeyPathOf(11), kLive);
  int rows = LoadHistoryItems();
  for (int i = 0; i < rows; ++i) RestoreHistoryEvent(i);
  EXPECT_EQ("", DumpDifferences(before, DumpValues(HKEY_CURRENT_USER, RunKeyPathOf(11), kLive)));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, cutNotify.c_str(), kLive));

  // An edited block: another value's name, a file from elsewhere.
  DeleteFileA(history.c_str());
  StartupFolderScope scope;
  std::string victim = MakeFile(TempFolder("Kept Elsewhere") + "\\precious.dat", "precious");
  std::string program = MakeFile(scope.folder + "\\VxTest Edited.exe", "MZ");
  PutRunValue(11, "VxTest Edited", "C:\\edited\\e.exe");
  ASSERT_EQ(1, RemoveStartupItem("VxTest Edited", "", "", 11));
  ASSERT_EQ(1, RemoveStartupItem("VxTest Edited", program.c_str(), program.c_str(), 200));
  std::string text = ReadAll(backup);
  auto replaceLine = [&](const std::string& start, const std::string& line) {
    size_t at = text.find(start);
    ASSERT_NE(std::string::npos, at) << start;
    text.replace(at, text.find("\r\n", at) - at, line);
  };
  replaceLine("\"VxTest Edited\"=", "\"VxTest Planted\"=\"C:\\\\planted\\\\p.exe\"");
  replaceLine("; Kept file: ", "; Kept file: " + victim);
  MakeFile(backup, text);
  rows = LoadHistoryItems();
  for (int i = 0; i < rows; ++i) RestoreHistoryEvent(i);
  EXPECT_FALSE(GetRunValue(11, "VxTest Planted", nullptr, nullptr));
  EXPECT_TRUE(GetRunValue(11, "VxTest Edited", nullptr, nullptr));  // from its line instead
  EXPECT_EQ("precious", ReadAll(victim));
  EXPECT_EQ("<missing>", ReadAll(program));
  DeleteFileA(victim.c_str());
}

// History lines with empty or odd fields, a line without its end: listed or not, restoring them
// writes nothing (no empty value, no empty win.ini piece).
TEST_F(RoundTripTest, HostileHistoryLinesChangeNothing) {
  std::string lines = std::string("01/01/2020  1:00 AM\t*START_Remove\tCURRENT_RUN\tVxTest nul\0inside\t\t\r\n", 67) +
                      "x\t*START_Remove\tCURRENT_RUN\t\t\t\r\n" + "x\t*START_Remove\tWIN_LOAD\tx\t\t\r\n" +
                      "x\t*START_Remove\tGROUP_STARTUP\t" + std::string(5000, 'T') + "\t\t\r\n" + "\r\r\t\t\t\t\t\t\t\t\n" +
                      "x\t*START_Remove\tREG_AppInitDLLs\tx\t\t\r\n" + std::string(5000, 'L');
  MakeFile(BinFolder() + "\\history.txt", lines);
  ValueDump before = DumpValues(HKEY_CURRENT_USER, RunKeyPathOf(11), kLive);
  char load[64];
  GetProfileStringA("windows", "load", "", load, sizeof load);
  std::string loadBefore = load;
  int rows = LoadHistoryItems();
  EXPECT_EQ(6, rows);
  for (int i = 0; i < rows; ++i) RestoreHistoryEvent(i);
  EXPECT_EQ("", DumpDifferences(before, DumpValues(HKEY_CURRENT_USER, RunKeyPathOf(11), kLive)));
  GetProfileStringA("windows", "load", "", load, sizeof load);
  EXPECT_EQ(loadBefore, load);
}

TEST(RegsvrLine, PathsAreQuoted) {
  char line[300];
  EXPECT_LT(0, RegsvrCommand("C:\\Program Files\\Vx\\helper.dll", line, sizeof line));
  EXPECT_STREQ("regsvr32 /s \"C:\\Program Files\\Vx\\helper.dll\"", line);
  EXPECT_EQ(0, RegsvrCommand(std::string(300, 'p').c_str(), line, sizeof line));  // never run cut
}

// A helper in a folder with a blank in its name is registered again (its DllRegisterServer runs).
TEST_F(RoundTripTest, ReregisteringTakesPathsWithBlanks) {
  std::string folder = TempFolder("Reg Server Dir");
  std::string dll = folder + "\\vf no version.dll";
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\vf_no_version.dll").c_str(), dll.c_str(), FALSE));
  ReregisterDll(dll.c_str());
  std::string registered;
  for (int i = 0; i < 200 && !RawRead(HKEY_CURRENT_USER, kTestKey, "Registered", &registered, nullptr); ++i) Sleep(100);
  char longForm[MAX_PATH] = "";
  GetLongPathNameA(registered.c_str(), longForm, sizeof longForm);
  EXPECT_EQ(0, lstrcmpiA(dll.c_str(), longForm)) << registered;
  for (int i = 0; i < 50 && !DeleteFileA(dll.c_str()); ++i) Sleep(100);  // regsvr32 may still hold it
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
