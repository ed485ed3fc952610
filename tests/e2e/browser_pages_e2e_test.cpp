// The IE Helpers and ActiveX pages of the real VandrelixEx.exe, used from outside the program over add-ons
// and controls registered for real; the registry is checked afterwards with plain Win32 calls.
#include <string>
#include <vector>

#include "area_support.h"
#include "startup_support.h"
#include "ui_driver.h"

namespace {

const char kBhoKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kExtensionKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
const char kStatsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats";
const char kCompatKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
const char kPending[] = "System\\CurrentControlSet\\Control\\Session Manager";

const char kBho[] = "{7E5A0002-0000-4000-8000-00000000B001}";
const char kToolbar[] = "{7E5A0002-0000-4000-8000-00000000C001}";
const char kExtension[] = "{7E5A0002-0000-4000-8000-00000000E001}";
const char kUsedControl[] = "{7E5A0002-0000-4000-8000-00000000A001}";
const char kCompatControl[] = "{7E5A0002-0000-4000-8000-00000000A002}";
const char* const kIds[] = {kBho, kToolbar, kExtension, kUsedControl, kCompatControl};
const DWORD kViews[] = {0, KEY_WOW64_32KEY, KEY_WOW64_64KEY};

enum { kName = 0, kProgram = 1, kCompany = 2, kType = 3, kClassId = 5 };

std::string Sub(const char* key, const char* id) { return std::string(key) + "\\" + id; }

void RegisterClass(const char* id, const char* name, const std::string& server, DWORD view = 0) {
  std::string key = std::string("CLSID\\") + id;
  RawWriteString(HKEY_CLASSES_ROOT, key.c_str(), "", name, view);
  RawWriteString(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), "", server.c_str(), view);
}

void PutKey(HKEY root, const std::string& key, DWORD view = 0) {
  DWORD one = 1;
  RawWrite(root, key.c_str(), "VxTest", REG_DWORD, &one, 4, view);
}

DWORD Flags(const char* id) {
  std::string data;
  if (!RawRead(HKEY_LOCAL_MACHINE, Sub(kCompatKey, id).c_str(), "Compatibility Flags", &data, nullptr) ||
      data.size() != 4)
    return 0xDEADBEEF;
  return *(const DWORD*)data.data();
}

class BrowserPagesE2E : public VxTest {
 protected:
  ProgramRun run;
  HWND sheet = nullptr, page = nullptr, list = nullptr;
  std::string module;  // a copy of the add-on fixture, so its unregistering is seen apart from others'

  void SetUp() override {
    VxTest::SetUp();
    Clean();
    ClearHistory();
    // Removal reports go to a port nobody listens on, never out of the machine.
    RawWriteString(HKEY_LOCAL_MACHINE, "Software\\Orvenn Studios\\Vandrelix", "cloudremoved", "http://127.0.0.1:1/c?");
    module = TempFolder("vx page helper") + "\\vx page bho.dll";
    DeleteFileA((module + ".unregistered").c_str());
    CopyFileA(FixturePath("vf_helper.dll").c_str(), module.c_str(), FALSE);
  }
  void TearDown() override {
    Clean();
    ClearHistory();
    DeleteFileA((module + ".unregistered").c_str());
    DeleteFileA(module.c_str());
    RemoveDirectoryA((BinFolder() + "\\vx page helper").c_str());
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

  // Starts the program at a page and waits for its list to hold `row` in its first column.
  void Open(const char* arguments, const char* row) {
    ASSERT_TRUE(run.Start(arguments));
    sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    page = CurrentPage(sheet);
    list = PageList(page);
    ASSERT_NE(nullptr, list);
    ASSERT_GE(WaitForRow(list, row), 0) << row;
  }

  std::string Cell(const char* name, int column) {
    int row = FindRow(list, name);
    return row < 0 ? "(absent)" : CellText(list, row, column);
  }

  HWND Question(const char* part) { return WaitForDialog(run.info.dwProcessId, part); }

  void SavePicture(const char* name) {
    std::string picture = BinFolder() + "\\..\\" + name + (OnWow64() ? "-p64" : "-p32") + ".bmp";
    EXPECT_TRUE(SaveWindowPicture(sheet, picture));
  }

  void Quit() {
    ProgramRun quit;
    ASSERT_TRUE(quit.Start("-Q"));
    EXPECT_EQ(0u, quit.WaitExit(20000));
    EXPECT_EQ(0u, run.WaitExit(20000));
  }
};

TEST_F(BrowserPagesE2E, IEHelpersListsEachKindAndRemovesTheChosenHelperFromEveryView) {
  // The helper object in every registry view there is, the toolbar and the extension once.
  for (DWORD view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    RegisterClass(kBho, "Vx Page Helper", module, view);
    PutKey(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBho), view);
  }
  RegisterClass(kToolbar, "Vx Page Toolbar", FixturePath("vf_no_version.dll"));
  RawWriteString(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbar, "");
  std::string extension = Sub(kExtensionKey, kExtension);
  RawWriteString(HKEY_LOCAL_MACHINE, extension.c_str(), "ButtonText", "Vx Page Button");
  RawWriteString(HKEY_LOCAL_MACHINE, extension.c_str(), "script", "C:\\scripts\\vx page.htm");

  Open("-BHO", "Vx Page Button");
  std::vector<std::string> tabs = TabTitles(sheet);
  ASSERT_GE(tabs.size(), 2u);
  EXPECT_EQ(" IE Helpers ", tabs[1]);
  EXPECT_EQ(" IE Helpers ", WindowText(page));
  int row = FindRow(list, "Vx Page Helper");
  ASSERT_GE(row, 0);
  EXPECT_LT(FindRow(list, "Vx Page Helper", kName, 1), 0) << "one row for both views";
  EXPECT_EQ("vx page bho.dll", CellText(list, row, kProgram));
  EXPECT_EQ("Helper Company", CellText(list, row, kCompany));
  EXPECT_EQ("BHO", CellText(list, row, kType));
  // A toolbar whose server has no product name is named by the server's file.
  EXPECT_EQ("TOOLBAR", Cell("vf_no_version.dll", kType));
  EXPECT_EQ("EXTENSION", Cell("Vx Page Button", kType));
  EXPECT_EQ(kExtension, Cell("Vx Page Button", kProgram));
  SavePicture("ie-helpers-page");

  // An extension has no file of its own to delete at the next restart: the page says so.
  std::string pendingBefore;
  RawRead(HKEY_LOCAL_MACHINE, kPending, "PendingFileRenameOperations", &pendingBefore, nullptr);
  int button = FindRow(list, "Vx Page Button");
  ASSERT_TRUE(SelectRows(list, {button}));
  ASSERT_TRUE(RightClickRow(list, button));
  ASSERT_TRUE(ChooseMenuKey('F'));
  HWND notice = Question("File Does Not Exist");
  ASSERT_NE(nullptr, notice);
  ASSERT_TRUE(AnswerDialog(notice, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(notice); }));
  std::string pendingAfter;
  RawRead(HKEY_LOCAL_MACHINE, kPending, "PendingFileRenameOperations", &pendingAfter, nullptr);
  EXPECT_EQ(pendingBefore, pendingAfter);

  // Remove asks with the helper's name, and No leaves everything as it was.
  row = FindRow(list, "Vx Page Helper");
  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(PressButton(page, 1003));
  HWND question = Question("You have chosen to remove Vx Page Helper from the Windows registry");
  ASSERT_NE(nullptr, question);
  ASSERT_TRUE(AnswerDialog(question, IDNO));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(question); }));
  ASSERT_TRUE(WaitForProgramIdle(list));
  EXPECT_GE(FindRow(list, "Vx Page Helper"), 0);
  EXPECT_TRUE(HistoryEvents().empty());

  row = FindRow(list, "Vx Page Helper");
  ASSERT_TRUE(SelectRows(list, {row}));
  ASSERT_TRUE(PressButton(page, 1003));
  question = Question("You have chosen to remove Vx Page Helper");
  ASSERT_NE(nullptr, question);
  ASSERT_TRUE(AnswerDialog(question, IDYES));
  EXPECT_TRUE(WaitUntil([&] { return FindRow(list, "Vx Page Helper") < 0; }));
  EXPECT_GE(FindRow(list, "Vx Page Button"), 0);
  EXPECT_GE(FindRow(list, "vf_no_version.dll"), 0);
  Quit();

  // Seen from outside once the program has ended: no key in any view, the module unregistered.
  for (DWORD view : kViews) EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, Sub(kBhoKey, kBho).c_str(), view)) << view;
  EXPECT_TRUE(RawValueExists(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbar));
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, extension.c_str()));
  EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesA((module + ".unregistered").c_str()) != INVALID_FILE_ATTRIBUTES; }))
      << "regsvr32 /u did not reach " << module;
  // This edition starts with the change history off (options stay as at start until the product page
  // reloads them), and with it off a removal records nothing.
  EXPECT_TRUE(HistoryEvents().empty());
}

TEST_F(BrowserPagesE2E, ActiveXKillBitIsSetAndClearedAndListAllShowsCompatibilityControls) {
  RegisterClass(kUsedControl, "Vx Page Control", FixturePath("vf_helper.dll"));
  PutKey(HKEY_CURRENT_USER, Sub(kStatsKey, kUsedControl) + "\\iexplore");
  // Known only to the compatibility settings, and disabled there.
  RegisterClass(kCompatControl, "Vx Compat Control", FixturePath("vf_two_translations.dll"));
  DWORD flags = 0x401;
  RawWrite(HKEY_LOCAL_MACHINE, Sub(kCompatKey, kCompatControl).c_str(), "Compatibility Flags", REG_DWORD, &flags, 4);

  Open("-ACTIVEX", "Vx Page Control");
  EXPECT_EQ(" ActiveX ", WindowText(page));
  EXPECT_EQ("vf_helper.dll", Cell("Vx Page Control", kProgram));
  EXPECT_EQ("Helper Company", Cell("Vx Page Control", kCompany));
  EXPECT_EQ("Enabled", Cell("Vx Page Control", kType));
  EXPECT_EQ(kUsedControl, Cell("Vx Page Control", kClassId));
  EXPECT_LT(FindRow(list, "Vx Compat Control"), 0);

  // Disable asks first; the Type column follows what is stored.
  ASSERT_TRUE(SelectRows(list, {FindRow(list, "Vx Page Control")}));
  ASSERT_TRUE(PressButton(page, 11));
  HWND question = Question("Disabling an ActiveX control may cause some applications to fail");
  ASSERT_NE(nullptr, question);
  ASSERT_TRUE(AnswerDialog(question, IDYES));
  EXPECT_TRUE(WaitUntil([&] { return Cell("Vx Page Control", kType) == "Disabled"; })) << Cell("Vx Page Control", kType);
  EXPECT_EQ(0x400u, Flags(kUsedControl));

  ASSERT_TRUE(SelectRows(list, {FindRow(list, "Vx Page Control")}));
  ASSERT_TRUE(PressButton(page, 10));
  EXPECT_TRUE(WaitUntil([&] { return Cell("Vx Page Control", kType) == "Enabled"; })) << Cell("Vx Page Control", kType);
  EXPECT_EQ(0u, Flags(kUsedControl));

  // Every control with compatibility settings, and back to those the browser has used.
  ASSERT_TRUE(PressButton(page, 1171));
  ASSERT_GE(WaitForRow(list, "Vx Compat Control"), 0);
  EXPECT_EQ("Disabled", Cell("Vx Compat Control", kType));
  EXPECT_GE(FindRow(list, "Vx Page Control"), 0);
  SavePicture("activex-page");
  ASSERT_TRUE(SelectRows(list, {FindRow(list, "Vx Compat Control")}));
  ASSERT_TRUE(PressButton(page, 10));
  EXPECT_TRUE(WaitUntil([&] { return Cell("Vx Compat Control", kType) == "Enabled"; }));
  EXPECT_EQ(0x1u, Flags(kCompatControl));  // only the kill bit goes
  ASSERT_TRUE(PressButton(page, 1171));
  EXPECT_TRUE(WaitUntil([&] { return FindRow(list, "Vx Compat Control") < 0; }));
  EXPECT_GE(FindRow(list, "Vx Page Control"), 0);
  Quit();
}

}  // namespace
