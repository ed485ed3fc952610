// The frame's placement helpers, the item menu and the Startup Programs list, in this process against
// the real registry and files.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string.h>

#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"
#include "startup_support.h"
#include "ui/item_menu.h"
#include "ui/pages/startup_page.h"
#include "ui/sheet.h"

namespace {

const char* kProduct = "Software\\Orvenn Studios\\Vandrelix";

HWND MakeDialogWindow(int width, int height) {
  return CreateWindowExA(0, "Static", "", WS_POPUP, 5, 5, width, height, nullptr, nullptr, nullptr, nullptr);
}

RECT PlaceOf(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}

class PlacementTest : public VxTest {};

TEST_F(PlacementTest, CentresAcrossAndOneThirdDown) {
  HWND window = MakeDialogWindow(300, 120);
  CenterWindow(window);
  RECT r = PlaceOf(window);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 300) / 2, r.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 120) / 3, r.top);
  EXPECT_EQ(300, r.right - r.left);
  DestroyWindow(window);
}

TEST_F(PlacementTest, RestoresSavedPlacesWithinTheScreen) {
  HWND window = MakeDialogWindow(200, 100);
  RawWriteString(HKEY_CURRENT_USER, kProduct, "xTest", "40");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "yTest", "60");
  RestoreDialogPlace(window, "xTest", "yTest");
  EXPECT_EQ(40, PlaceOf(window).left);
  EXPECT_EQ(60, PlaceOf(window).top);
  RawWriteString(HKEY_CURRENT_USER, kProduct, "xTest", "99999");
  RestoreDialogPlace(window, "xTest", "yTest");
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2, PlaceOf(window).left);
  // A place kept while the window was minimised lies left of and above every screen.
  RawWriteString(HKEY_CURRENT_USER, kProduct, "xTest", "-32000");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "yTest", "-32000");
  RestoreDialogPlace(window, "xTest", "yTest");
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2, PlaceOf(window).left);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2, PlaceOf(window).top);
  RawDeleteValue(HKEY_CURRENT_USER, kProduct, "yTest");
  RestoreDialogPlace(window, "xTest", "yTest");
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 200) / 2, PlaceOf(window).left);
  DestroyWindow(window);
}

TEST_F(PlacementTest, KeepsPlaceAndSizeAndBringsThemBack) {
  HWND window = MakeDialogWindow(220, 140);
  SetWindowPos(window, nullptr, 70, 80, 260, 150, SWP_NOZORDER | SWP_NOACTIVATE);
  SaveDialogPlace(window, "xTest", "yTest", "dxTest", "dyTest");
  const char* names[] = {"xTest", "yTest", "dxTest", "dyTest"};
  const char* expected[] = {"70", "80", "260", "150"};
  for (int i = 0; i < 4; ++i) {
    std::string text;
    ASSERT_TRUE(RawRead(HKEY_CURRENT_USER, kProduct, names[i], &text, nullptr)) << names[i];
    EXPECT_STREQ(expected[i], text.c_str());
  }
  SetWindowPos(window, nullptr, 0, 0, 100, 50, SWP_NOZORDER | SWP_NOACTIVATE);
  RestoreDialogPlaceAndSize(window, "xTest", "yTest", "dxTest", "dyTest");
  RECT r = PlaceOf(window);
  EXPECT_EQ(70, r.left);
  EXPECT_EQ(80, r.top);
  EXPECT_EQ(260, r.right - r.left);
  EXPECT_EQ(150, r.bottom - r.top);
  // A size that was never kept leaves the window its own rather than none.
  RawDeleteValue(HKEY_CURRENT_USER, kProduct, "dyTest");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "xTest", "99999");
  RestoreDialogPlaceAndSize(window, "xTest", "yTest", "dxTest", "dyTest");
  r = PlaceOf(window);
  EXPECT_EQ(0, r.left);
  EXPECT_EQ(260, r.right - r.left);
  RawWriteString(HKEY_CURRENT_USER, kProduct, "xTest", "-32000");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "yTest", "-32000");
  RestoreDialogPlaceAndSize(window, "xTest", "yTest", "dxTest", "dyTest");
  r = PlaceOf(window);
  EXPECT_EQ(0, r.left);
  EXPECT_EQ(0, r.top);
  DestroyWindow(window);
}

TEST_F(PlacementTest, LowerUnitsPlaceTheirDialogsThroughTheHook) {
  HWND window = MakeDialogWindow(200, 100);
  PlaceDialog(window, nullptr);  // no hook: stays
  EXPECT_EQ(5, PlaceOf(window).left);
  PlaceDialogHook = PlaceDialogBySettings;
  const char* names[] = {"xTest", "yTest", "dxTest", "dyTest"};
  RawWriteString(HKEY_CURRENT_USER, kProduct, "xTest", "33");
  RawWriteString(HKEY_CURRENT_USER, kProduct, "yTest", "44");
  PlaceDialog(window, names);
  EXPECT_EQ(33, PlaceOf(window).left);
  PlaceDialog(window, nullptr);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 200) / 2, PlaceOf(window).left);
  KeepDialogPlace(window, names);
  std::string kept;
  ASSERT_TRUE(RawRead(HKEY_CURRENT_USER, kProduct, "dxTest", &kept, nullptr));
  EXPECT_STREQ("200", kept.c_str());
  PlaceDialogHook = nullptr;
  DestroyWindow(window);
}

// The entries of an item's menu, separators as "-", greyed ones marked "(grey)".
std::vector<std::string> MenuEntries(int pageId, int item) {
  std::vector<std::string> entries;
  HMENU menu = BuildItemMenu(pageId, item);
  if (!menu) return entries;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[256] = "";
    UINT state = GetMenuState(menu, i, MF_BYPOSITION);
    if (state & MF_SEPARATOR) {
      entries.push_back("-");
      continue;
    }
    GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    entries.push_back(std::string(text) + ((state & MF_GRAYED) ? " (grey)" : ""));
  }
  DestroyMenu(menu);
  return entries;
}

class StartupPageTest : public StartupTest {
 protected:
  HWND frame = nullptr, list = nullptr;
  void SetUp() override {
    StartupTest::SetUp();
    InitCommonControls();
    frame = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 700, 300, nullptr, nullptr, nullptr, nullptr);
    list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 680, 280, frame,
                           (HMENU)IDC_STARTUP_LIST, nullptr, nullptr);
    AddListColumns(list, &kStartupList);
  }
  void TearDown() override {
    DestroyWindow(frame);
    DestroyListImages(0);
    ClearListRows();
    StartupTest::TearDown();
  }
  std::vector<std::string> Row(const char* title) {
    std::vector<std::string> cells;
    LVFINDINFOA find = {};
    find.flags = LVFI_STRING;
    find.psz = title;
    int row = (int)SendMessageA(list, LVM_FINDITEMA, (WPARAM)-1, (LPARAM)&find);
    if (row < 0) return cells;
    for (int c = 0; c < 5; ++c) {
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

TEST_F(StartupPageTest, ColumnsShowTitleCommandCompanyTypeAndDate) {
  std::string bin = BinFolder();
  ASSERT_TRUE(PutRunValue(11, "VxTest Icon", ("\"" + bin + "\\vf_with_icon.exe\" /x").c_str()));
  ASSERT_TRUE(PutRunValue(11, "VxTest Gone", "C:\\nowhere\\gone.exe -q"));
  ASSERT_TRUE(PutRunValue(11, "VxTest Dll", ("rundll32.exe " + bin + "\\vf_operating_system.dll,Entry").c_str()));
  ASSERT_TRUE(PutRunValue(11, "VxTest Parked", ("\"" + bin + "\\vf_with_icon.exe\" /p").c_str()));
  ASSERT_EQ(1, ToggleStartupItem("VxTest Parked", "", "", 11));
  char program[260];
  ExeFromCommand((bin + "\\vf_operating_system.dll,Entry").c_str(), program);
  RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Detected\\Startup", program, "07/04/2026 1:05 PM");

  // A shortcut in the user's Startup folder (its item's flag says "the user's folder").
  char startup[MAX_PATH] = "";
  ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, startup));
  std::string link = std::string(startup) + "\\VxTest Link.lnk";
  ASSERT_EQ(1, CreateShortcut(link.c_str(), (bin + "\\vf_with_icon.exe").c_str(), "", "VxTest Link"));

  int rows = FillStartupList(frame);
  DeleteFileA(link.c_str());
  ASSERT_GE(rows, 5);
  EXPECT_EQ((Texts{"VxTest Link", "vf_with_icon.exe", "Icon Company", "STARTUP_FOLDER", ""}), Row("VxTest Link"));
  EXPECT_EQ((Texts{"VxTest Icon", "vf_with_icon.exe /x", "Icon Company", "HKCU_RUN", ""}), Row("VxTest Icon"));
  EXPECT_EQ((Texts{"VxTest Gone", "gone.exe -q", "File Does Not Exist", "HKCU_RUN", ""}), Row("VxTest Gone"));
  EXPECT_EQ((Texts{"VxTest Dll", "RunDLL32.exe vf_operating_system.dll,Entry", "Fixture Corporation", "HKCU_RUN",
                   "07/04/2026 1:05 PM"}),
            Row("VxTest Dll"));
  EXPECT_EQ("   Disabled", Row("VxTest Parked").at(3));
  EXPECT_TRUE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
}

TEST_F(StartupPageTest, TheItemMenuFollowsTheItemsPlaceAndState) {
  ASSERT_TRUE(PutRunValue(11, "VxTest Menu", "C:\\nowhere\\menu.exe"));
  ASSERT_TRUE(PutRunValue(11, "VxTest Off", "C:\\nowhere\\off.exe"));
  ASSERT_EQ(1, ToggleStartupItem("VxTest Off", "", "", 11));
  ScanStartupPrograms(1);
  char empty[4] = "", title[32] = "Winlogon Userinit", file[64] = "C:\\nowhere\\userinit.exe";
  ASSERT_EQ(1, AddStartupItem(title, file, empty, empty, 250, 0));
  int run = FindItem("VxTest Menu"), parked = FindItem("VxTest Off"), winlogon = StartupItemCount - 1;
  ASSERT_GE(run, 0);
  ASSERT_GE(parked, 0);
  Texts tail = {"-"};
  if (IsWindows8()) tail.push_back("Restart Windows for Repair in Safe Mode");
  for (const char* entry : {"QOVA &Info...", "Vandrelix &Log", "Vandrelix Help"}) tail.push_back(entry);
  Texts common = {"Info...", "Explore Program Folder", "Open Program Properties...", "&Add"};
  Texts runEntries = common;
  for (const char* entry : {"&Move to Delayed Start Program List", "-", "&Remove", "&Disable", "Delete &File on Reboot"})
    runEntries.push_back(entry);
  runEntries.insert(runEntries.end(), tail.begin(), tail.end());
  EXPECT_EQ(runEntries, MenuEntries(6026, run));
  EXPECT_EQ("&Enable", MenuEntries(6026, parked).at(7));
  Texts winlogonEntries = common;
  winlogonEntries.insert(winlogonEntries.end(), tail.begin(), tail.end());
  EXPECT_EQ(winlogonEntries, MenuEntries(6026, winlogon));

  // A note beside the program adds its entry after the file's properties.
  char note[260];
  NoteFilePath("C:\\nowhere\\menu.exe", note);
  MakeFile(note, "remember");
  EXPECT_EQ("&View Note...", MenuEntries(6026, run).at(3));
  DeleteFileA(note);
  EXPECT_TRUE(MenuEntries(6026, StartupItemCount).empty());
  EXPECT_TRUE(MenuEntries(6061, run).empty());  // that page brings its own row
}

// Every page's menu, entry by entry, and the common tail each one ends with.
TEST_F(StartupPageTest, EveryPagesMenuEndsWithTheCommonTail) {
  char empty[4] = "", title[32] = "VxTest Any", file[64] = "C:\\nowhere\\any.exe";
  ASSERT_EQ(1, AddStartupItem(title, file, empty, empty, 300, 0));
  int item = StartupItemCount - 1;
  const char* kInfo = "Info...";
  const char* kExplore = "Explore Program Folder";
  const char* kProperties = "Open Program Properties...";
  const struct {
    int pageId;
    Texts entries;
    bool withLog;
  } kCases[] = {
      {6028, {"&View...", "Remove &Unchecked", "Remove &Checked"}, false},
      {6029, {kInfo, kExplore, kProperties, "&Refresh", "&Kill Task", "Delete &File on Reboot"}, true},
      {6038, {kInfo, kExplore, kProperties}, true},
      {6039, {kInfo, kExplore, kProperties, "&Remove", "Delete &File on Reboot"}, true},
      {6040, {kInfo, kExplore, kProperties, "&Remove", "Delete &File on Reboot"}, true},
      {6041, {"&Restore", "&Clear File", "Close"}, true},
      {6042, {kInfo, "&Add", "&Remove"}, true},
      {6052,
       {kInfo, kExplore, kProperties, "&Refresh", "&Delete", "Delete &File on Reboot", "&View using NotePad"},
       true},
      {6055,
       {kInfo, kExplore, kProperties, "&Add", "&Launch Program", "&Delay Start Options...", "-", "&Remove",
        "&Restore Program to Windows Startup List"},
       true},
      {6056, {}, true},
  };
  for (const auto& c : kCases) {
    Texts want = c.entries;
    want.push_back("-");
    if (IsWindows8()) want.push_back("Restart Windows for Repair in Safe Mode");
    want.push_back("QOVA &Info...");
    if (c.withLog) want.push_back("Vandrelix &Log");
    want.push_back("Vandrelix Help");
    EXPECT_EQ(want, MenuEntries(c.pageId, item)) << c.pageId;
  }
}

// Delete at restart is for the program a startup command names, never for the command's text.
TEST_F(StartupPageTest, DeleteAtRestartQueuesTheProgramOfTheCommand) {
  const char* session = "System\\CurrentControlSet\\Control\\Session Manager";
  std::string saved;
  DWORD type = 0;
  bool had = RawRead(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", &saved, &type);
  std::string quoted = MakeFile(BinFolder() + "\\vx doomed startup.exe");
  std::string bare = MakeFile(BinFolder() + "\\vx_doomed_bare.exe");
  const struct {
    const char* name;
    std::string command;
    const char* queued;  // upper case, as the system keeps it; null: refused, nothing queued
  } kCases[] = {
      {"VxTest Doomed Quoted", "\"" + quoted + "\" /min", "\\VX DOOMED STARTUP.EXE"},
      {"VxTest Doomed Bare", bare + " /min -x", "\\VX_DOOMED_BARE.EXE"},
      {"VxTest Doomed Missing", "\"C:\\nowhere\\missing.exe\" /min", nullptr},
  };
  for (const auto& c : kCases) ASSERT_TRUE(PutRunValue(11, c.name, c.command.c_str()));
  ScanStartupPrograms(1);
  CopyText(ApplicationTitle, "VxTest Reboot");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    int item = FindItem(c.name);
    ASSERT_GE(item, 0);
    RawDeleteValue(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations");
    WindowCatch box;
    CatchWindow("VxTest Reboot", c.queued ? IDYES : IDOK, &box);
    EXPECT_EQ(c.queued ? 1 : 0, DeleteItemFileOnRestart(nullptr, item));
    WaitCatch();
    EXPECT_TRUE(box.seen);
    std::string pending;
    bool queued = RawRead(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", &pending, nullptr);
    if (!c.queued) {
      // Refused, saying so, before any question.
      EXPECT_NE(std::string::npos, box.texts.find("File Does Not Exist")) << box.texts;
      EXPECT_FALSE(queued) << pending;
      continue;
    }
    // The program's path alone, ended by the list's zero (Wine queues any text, arguments and all).
    CharUpperBuffA(&pending[0], (DWORD)pending.size());
    size_t at = pending.find(c.queued);
    ASSERT_NE(std::string::npos, at) << pending;
    EXPECT_EQ('\0', pending.c_str()[at + strlen(c.queued)]) << pending;
    EXPECT_EQ(std::string::npos, pending.find('"')) << pending;
  }
  if (had) RawWrite(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", type, saved.data(), (DWORD)saved.size());
  else RawDeleteValue(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations");
  DeleteFileA(quoted.c_str());
  DeleteFileA(bare.c_str());
}

}  // namespace
