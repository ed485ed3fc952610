// The lists of the IE Helpers, ActiveX and Hidden Files pages, filled in this process over add-ons,
// controls and hidden files registered or placed for real: what each column shows and how it sorts.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "areas/browser.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "startup_support.h"
#include "ui/list_view.h"
#include "ui/pages/activex_page.h"
#include "ui/pages/hidden_files_page.h"
#include "ui/pages/ie_helpers_page.h"

namespace {

const char kBhoKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kExtensionKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
const char kStatsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats";
const char kCompatKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
const char kDetected[] = "Software\\Orvenn Studios\\Detected";
const char kInternational[] = "Control Panel\\International";

const char kBho[] = "{7E5A0003-0000-4000-8000-00000000B001}";
const char kToolbar[] = "{7E5A0003-0000-4000-8000-00000000C001}";
const char kExtension[] = "{7E5A0003-0000-4000-8000-00000000E001}";
const char kControl[] = "{7E5A0003-0000-4000-8000-00000000A001}";
const char kGoneControl[] = "{7E5A0003-0000-4000-8000-00000000A002}";
const char* const kIds[] = {kBho, kToolbar, kExtension, kControl, kGoneControl};
const DWORD kViews[] = {0, KEY_WOW64_32KEY, KEY_WOW64_64KEY};

std::string Sub(const char* key, const char* id) { return std::string(key) + "\\" + id; }
std::string Fixture(const char* name) { return BinFolder() + "\\" + name; }

void RegisterClass(const char* id, const char* name, const std::string& server) {
  std::string key = std::string("CLSID\\") + id;
  RawWriteString(HKEY_CLASSES_ROOT, key.c_str(), "", name);
  RawWriteString(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), "", server.c_str());
}

void PutKey(HKEY root, const std::string& key) {
  DWORD one = 1;
  RawWrite(root, key.c_str(), "VxTest", REG_DWORD, &one, 4);
}

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

class AreaPagesTest : public VxTest {
 protected:
  HWND frame = nullptr, list = nullptr;
  std::string savedPattern[2];
  bool hadPattern[2] = {};
  const char* patternNames[2] = {"sShortDate", "sTimeFormat"};

  void SetUp() override {
    VxTest::SetUp();
    RunningOnWow64 = OnWow64();
    InitCommonControls();
    ForgetSortKeys();
    for (int& d : SortDirection) d = 0;
    Clean();
    // Dates in the program's first patterns, whatever this prefix's own are.
    const char* patterns[2] = {"MM/dd/yyyy", "h:mm:ss tt"};
    for (int i = 0; i < 2; ++i) {
      hadPattern[i] = RawRead(HKEY_CURRENT_USER, kInternational, patternNames[i], &savedPattern[i], nullptr);
      RawWriteString(HKEY_CURRENT_USER, kInternational, patternNames[i], patterns[i]);
    }
    frame = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 700, 300, nullptr, nullptr, nullptr, nullptr);
    list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 680, 280, frame,
                           (HMENU)1000, nullptr, nullptr);
  }
  void TearDown() override {
    DestroyWindow(frame);
    DestroyListImages(0);
    ClearListRows();
    ClearStartupItems();
    ForgetSortKeys();
    for (int& d : SortDirection) d = 0;
    Clean();
    for (int i = 0; i < 2; ++i) {
      if (hadPattern[i]) {
        RawWriteString(HKEY_CURRENT_USER, kInternational, patternNames[i], savedPattern[i].c_str());
      } else {
        RawDeleteValue(HKEY_CURRENT_USER, kInternational, patternNames[i]);
      }
    }
    VxTest::TearDown();
  }
  static void Clean() {
    for (const char* id : kIds) {
      for (DWORD view : kViews) {
        RawDeleteTree(HKEY_LOCAL_MACHINE, Sub(kBhoKey, id).c_str(), view);
        RawDeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, id, view);
        RawDeleteTree(HKEY_LOCAL_MACHINE, Sub(kExtensionKey, id).c_str(), view);
        RawDeleteTree(HKEY_LOCAL_MACHINE, Sub(kCompatKey, id).c_str(), view);
        RawDeleteTree(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + id).c_str(), view);
      }
      RawDeleteTree(HKEY_CURRENT_USER, Sub(kStatsKey, id).c_str());
    }
  }

  int RowOf(const std::string& text) {
    LVFINDINFOA find = {};
    find.flags = LVFI_STRING;
    find.psz = text.c_str();
    return (int)SendMessageA(list, LVM_FINDITEMA, (WPARAM)-1, (LPARAM)&find);
  }
  std::vector<std::string> Row(const std::string& first, int columns) {
    std::vector<std::string> cells;
    int row = RowOf(first);
    for (int c = 0; row >= 0 && c < columns; ++c) {
      char text[260] = "";
      LVITEMA item = {};
      item.iSubItem = c;
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)&item);
      cells.push_back(text);
    }
    return cells;
  }
  using Texts = std::vector<std::string>;
};

TEST_F(AreaPagesTest, IEHelpersShowNameProgramCompanyTypeAndDateAndSortByType) {
  AddListColumns(list, &kIEHelpersList);
  RegisterClass(kBho, "Vx Page Helper", Fixture("vf_helper.dll"));
  PutKey(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBho));
  RegisterClass(kToolbar, "Vx Page Toolbar", Fixture("vf_no_version.dll"));
  RawWriteString(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbar, "");
  std::string extension = Sub(kExtensionKey, kExtension);
  RawWriteString(HKEY_LOCAL_MACHINE, extension.c_str(), "ButtonText", "Vx Page Button");
  RawWriteString(HKEY_LOCAL_MACHINE, extension.c_str(), "script", "C:\\scripts\\vx.htm");
  RawWriteString(HKEY_LOCAL_MACHINE, extension.c_str(), "HotIcon", "C:\\icons\\vx hot.ico");
  // The monitor dates a helper by its module's path as the program reduces it.
  char program[260];
  ExeFromCommand(Fixture("vf_helper.dll").c_str(), program);
  RawWriteString(HKEY_CURRENT_USER, (std::string(kDetected) + "\\IEHelper").c_str(), program, "07/04/2026 1:05 PM");

  ASSERT_GE(FillIEHelpersList(frame), 3);
  EXPECT_EQ((Texts{"Vx Page Helper", "vf_helper.dll", "Helper Company", "BHO", "07/04/2026 1:05 PM"}),
            Row("Vx Page Helper", 5));
  EXPECT_EQ((Texts{"vf_no_version.dll", "vf_no_version.dll", "", "TOOLBAR", ""}), Row("vf_no_version.dll", 5));
  EXPECT_EQ((Texts{"Vx Page Button", kExtension, "", "EXTENSION", ""}), Row("Vx Page Button", 5));
  EXPECT_TRUE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);

  // The Type column sorts by the location code: helper objects, toolbars, extensions; then back.
  SortListByColumn(list, 6040, 3);
  EXPECT_LT(RowOf("Vx Page Helper"), RowOf("vf_no_version.dll"));
  EXPECT_LT(RowOf("vf_no_version.dll"), RowOf("Vx Page Button"));
  SortListByColumn(list, 6040, 3);
  EXPECT_GT(RowOf("Vx Page Helper"), RowOf("Vx Page Button"));
  EXPECT_EQ(4, SavedSortKey(6040));
}

TEST_F(AreaPagesTest, ActiveXShowsTheStoredStateAndServersThatAreGone) {
  AddListColumns(list, &kActiveXList);
  RegisterClass(kControl, "Vx Page Control", Fixture("vf_helper.dll"));
  PutKey(HKEY_CURRENT_USER, Sub(kStatsKey, kControl) + "\\iexplore");
  DWORD flags = 0x401;
  RawWrite(HKEY_LOCAL_MACHINE, Sub(kCompatKey, kControl).c_str(), "Compatibility Flags", REG_DWORD, &flags, 4);
  RegisterClass(kGoneControl, "Vx Gone Control", "C:\\nowhere\\gone.ocx");
  PutKey(HKEY_CURRENT_USER, Sub(kStatsKey, kGoneControl) + "\\iexplore");
  char program[260];
  ExeFromCommand(Fixture("vf_helper.dll").c_str(), program);
  RawWriteString(HKEY_CURRENT_USER, (std::string(kDetected) + "\\ActiveX").c_str(), program, "01/02/2026 9:30 AM");

  ASSERT_GE(FillActiveXList(frame), 2);
  // The server's name as the disk spells it, though the control's record holds it in capitals.
  EXPECT_EQ((Texts{"Vx Page Control", "vf_helper.dll", "Helper Company", "Disabled", "01/02/2026 9:30 AM", kControl}),
            Row("Vx Page Control", 6));
  EXPECT_EQ((Texts{"Vx Gone Control", "GONE.OCX", "File Does Not Exist", "Enabled", "", kGoneControl}),
            Row("Vx Gone Control", 6));

  // The Type column reads the state stored at the fill, not the one the control was listed with.
  ClearActiveXKillBit(kControl);
  FillActiveXList(frame);
  EXPECT_EQ("Enabled", Row("Vx Page Control", 6).at(3));
}

TEST_F(AreaPagesTest, HiddenFilesShowFolderWholeTimesFilesInUseAndSystemFirst) {
  AddListColumns(list, &kHiddenList);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  std::string folder = std::string(system) + "\\vxhidden-pages";
  const char* const names[] = {"vx afternoon.dat", "vx system.dat", "vx held.dat"};
  auto path = [&](int i) { return folder + "\\" + names[i]; };
  struct Cleanup {
    std::string folder;
    const char* const* names;
    ~Cleanup() {
      NativeFolders native;
      for (int i = 0; i < 3; ++i) {
        std::string file = folder + "\\" + names[i];
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.c_str());
      }
      RemoveDirectoryA(folder.c_str());
    }
  } cleanup{folder, names};
  HANDLE held = INVALID_HANDLE_VALUE;
  {
    NativeFolders native;
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < 3; ++i) {
      MakeFile(path(i), "hidden");
      SetFileAttributesA(path(i).c_str(), FILE_ATTRIBUTE_HIDDEN | (i == 1 ? FILE_ATTRIBUTE_SYSTEM : 0));
    }
    SYSTEMTIME local = {};
    local.wYear = 2026;
    local.wMonth = 7;
    local.wDay = 4;
    local.wHour = 13;
    local.wMinute = 5;
    FILETIME localTime, time;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &time);
    HANDLE file = CreateFileA(path(0).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    // Held open with no sharing: the program cannot read its time.
    held = CreateFileA(path(2).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  EXPECT_NE(INVALID_HANDLE_VALUE, held);
  ASSERT_GT(FillHiddenList(frame), 0);
  CloseHandle(held);

  Texts afternoon = Row(names[0], 5);
  ASSERT_EQ(5u, afternoon.size());
  EXPECT_EQ(0, lstrcmpiA(folder.c_str(), afternoon[1].c_str())) << afternoon[1];
  EXPECT_EQ("07/04/2026 1:05 PM", afternoon[3]);
  EXPECT_EQ("", afternoon[4]);
  EXPECT_EQ("SYSTEM", Row(names[1], 5).at(4));
  EXPECT_EQ("File in Use", Row(names[2], 5).at(3));

  // The Type column sorts by the item's number: system files (0) before the others (1).
  SortListByColumn(list, 6052, 4);
  EXPECT_LT(RowOf(names[1]), RowOf(names[0]));
  EXPECT_LT(RowOf(names[1]), RowOf(names[2]));
}

}  // namespace
