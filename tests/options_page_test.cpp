// The Options page in this process: the sheet runs on a thread of its own, as the program runs it, and
// the test clicks its controls from outside and reads the options held in memory.
#include <objbase.h>

#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/delay.h"
#include "startup/items.h"
#include "startup_support.h"
#include "ui/pages/options_page.h"
#include "ui/patrol_dialog.h"
#include "ui/sheet.h"
#include "ui_driver.h"

namespace {

const char kMenuKey[] = "exefile\\shell\\Vandrelix QOVA";
const char kDelay[] = "Software\\Orvenn Studios\\Vandrelix\\Delay";

class OptionsPageTest : public StartupTest {
 protected:
  std::thread ui;
  HWND sheet = nullptr, page = nullptr;

  void SetUp() override {
    StartupTest::SetUp();
    RemoveCompanionEntries();
    ExplorerMenuHook = SetExplorerMenu;
    ui = std::thread([] {
      CoInitialize(nullptr);
      OpenPropertySheet(nullptr, 6033);
      CoUninitialize();
    });
    sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    page = CurrentPage(sheet);
    ASSERT_NE(nullptr, page);
    ASSERT_TRUE(WaitUntil([&] { return CurrentPageId == 6033; }));
  }

  void TearDown() override {
    // Whatever a failed test left open is closed, then the sheet.
    for (HWND open; (open = WaitForDialog(GetCurrentProcessId(), "", 0)) != nullptr;) {
      PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
      WaitUntil([&] { return !IsWindow(open); }, 5000);
    }
    if (sheet) PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    if (ui.joinable()) ui.join();
    ExplorerMenuHook = nullptr;
    RemoveCompanionEntries();
    StartupTest::TearDown();
  }

  void RemoveCompanionEntries() {
    for (int code : {1, 11}) RawDeleteValue(RunRootOf(code), RunKeyPathOf(code), "Vandrelix", KEY_WOW64_64KEY);
  }

  bool Checked(int control) { return SendMessageA(GetDlgItem(page, control), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  // A click as the mouse gives it; the page may answer with a question, so nothing waits for it here.
  void Click(int control) { ASSERT_TRUE(PressButton(page, control)); }
  HWND Question(const char* text) { return WaitForDialog(GetCurrentProcessId(), text); }
};

TEST_F(OptionsPageTest, EachCheckBoxChangesItsOptionInMemory) {
  struct {
    int control;
    int option;
    const char* question;  // shown when the box is ticked
  } boxes[] = {
      {IDC_OPT_UNINSTALL, OPT_RealtimeUninstall, nullptr},
      {IDC_OPT_SOUND, OPT_Sound, nullptr},
      {IDC_OPT_HISTORY, OPT_History, nullptr},
      {IDC_OPT_HIDE_TAZZIK, OPT_HideTazzik, "Taskbar icon will be hidden"},
      {IDC_OPT_LOCK_FILE_TYPES, OPT_LockFileTypes, nullptr},
      {IDC_OPT_CONFIRM_EXIT, OPT_ConfirmExit, nullptr},
      {IDC_OPT_QOVA_FORMAT, OPT_QovaFormat, "QOVA Info data collection sends"},
      {IDC_OPT_CLOUD_DATA, OPT_CloudData, nullptr},
  };
  for (const auto& box : boxes) {
    int start = OptionSet[box.option] != 0;
    EXPECT_EQ(start, Checked(box.control)) << box.control;
    for (int pass = 0; pass < 2; ++pass) {
      int want = pass == 0 ? !start : start;
      Click(box.control);
      if (want && box.question) {
        HWND question = Question(box.question);
        ASSERT_NE(nullptr, question) << box.control;
        ASSERT_TRUE(AnswerDialog(question, IDOK));
      }
      EXPECT_TRUE(WaitUntil([&] { return (OptionSet[box.option] != 0) == want; }, 5000))
          << box.control << " pass " << pass;
      EXPECT_EQ(want, Checked(box.control)) << box.control;
    }
  }
  // Unticking asks nothing.
  EXPECT_EQ(nullptr, WaitForDialog(GetCurrentProcessId(), "", 0));

  // The original tray icon: kept in memory as 159, back to 101.
  ASSERT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_OPT_TRAY_ICON)));  // the NT family shows it
  int tray = TrayIconChoice();
  Click(IDC_OPT_TRAY_ICON);
  EXPECT_TRUE(WaitUntil([&] { return TrayIconChoice() == (tray == 101 ? 159 : 101); }, 5000));
  Click(IDC_OPT_TRAY_ICON);
  EXPECT_TRUE(WaitUntil([&] { return TrayIconChoice() == tray; }, 5000));
  // The restart-file watch belongs to the older Windows family.
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_OPT_WININIT)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_OPT_WININIT_LABEL)));
}

TEST_F(OptionsPageTest, ExplorerIntegrationWritesAndRemovesTheMenuEntry) {
  std::string command = "\"" + BinFolder() + "\\vandrelix.exe\" %1";
  EXPECT_TRUE(Checked(IDC_OPT_EXPLORER_MENU));  // the option starts on
  // Off, on, off: the entry under HKEY_CLASSES_ROOT follows the box each time.
  for (int want : {0, 1, 0}) {
    Click(IDC_OPT_EXPLORER_MENU);
    ASSERT_TRUE(WaitUntil([&] { return OptionSet[OPT_ExplorerMenu] == want; }, 5000)) << want;
    ASSERT_TRUE(WaitForProgramIdle(page));
    EXPECT_EQ(want != 0, RawKeyExists(HKEY_CLASSES_ROOT, kMenuKey)) << want;
    if (!want) continue;
    std::string text, run;
    ASSERT_TRUE(RawRead(HKEY_CLASSES_ROOT, kMenuKey, "", &text, nullptr));
    EXPECT_STREQ("Vandrelix QOVA Info...", text.c_str());
    ASSERT_TRUE(RawRead(HKEY_CLASSES_ROOT, (std::string(kMenuKey) + "\\command").c_str(), "", &run, nullptr));
    EXPECT_STREQ(command.c_str(), run.c_str());
  }
}

TEST_F(OptionsPageTest, CompanionStartsForAllUsersOrTheCurrentUser) {
  EXPECT_FALSE(Checked(IDC_OPT_AUTOSTART));
  struct {
    int answer;  // IDC_TYPE_ALL, IDC_TYPE_USER, or 0 for Cancel
    int code;    // where the entry is written
  } cases[] = {{IDC_TYPE_ALL, 1}, {IDC_TYPE_USER, 11}, {0, 0}};
  const std::string expected = "\"" + BinFolder() + "\\vandrelix.exe\" -expressboot";
  for (const auto& c : cases) {
    Click(IDC_OPT_AUTOSTART);
    HWND question = Question("Startup Program Type");
    ASSERT_NE(nullptr, question);
    if (c.answer) {
      CheckRadioButton(question, IDC_TYPE_ALL, IDC_TYPE_USER, c.answer);
      ASSERT_TRUE(AnswerDialog(question, IDOK));
    } else {
      ASSERT_TRUE(AnswerDialog(question, IDCANCEL));
    }
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(question); }, 5000));
    ASSERT_TRUE(WaitForProgramIdle(page));
    if (!c.answer) {
      // Cancelled: nothing written, and the box says so.
      EXPECT_FALSE(GetRunValue(1, "Vandrelix", nullptr, nullptr));
      EXPECT_FALSE(GetRunValue(11, "Vandrelix", nullptr, nullptr));
      EXPECT_TRUE(WaitUntil([&] { return !Checked(IDC_OPT_AUTOSTART); }, 5000));
      continue;
    }
    std::string data;
    ASSERT_TRUE(WaitUntil([&] { return GetRunValue(c.code, "Vandrelix", &data, nullptr); }, 5000)) << c.code;
    EXPECT_STREQ(expected.c_str(), data.c_str());
    EXPECT_FALSE(GetRunValue(c.code == 1 ? 11 : 1, "Vandrelix", nullptr, nullptr));
    EXPECT_TRUE(Checked(IDC_OPT_AUTOSTART));
    // Unticked: the entry goes.
    Click(IDC_OPT_AUTOSTART);
    EXPECT_TRUE(WaitUntil([&] { return !GetRunValue(c.code, "Vandrelix", nullptr, nullptr); }, 5000)) << c.code;
    EXPECT_TRUE(WaitUntil([&] { return !Checked(IDC_OPT_AUTOSTART); }, 5000));
  }
}

// The patrol switches, by mouse command and by the Space key: the time chosen, no watch, cancel.
TEST_F(OptionsPageTest, PatrolSwitchesSetTheirTimes) {
  struct Step {
    bool keyboard;
    int minutes;  // 0: no watch; -1: cancel
    int expected;
  };
  struct {
    int control;
    int option;
    const char* caption;
    std::vector<Step> steps;
  } switches[] = {
      {IDC_OPT_START_PAGE, OPT_StartPage, "Patrol Time for Default Internet Pages",
       {{false, 5, 5}, {true, 0, 0}, {false, -1, 0}}},
      {IDC_OPT_HOSTS_FILE, OPT_HostFile, "Patrol Time for checking HOST file", {{true, 30, 30}}},
  };
  HWND previous = GetDlgItem(page, IDC_OPT_CLOUD_DATA);
  for (const auto& s : switches) {
    HWND control = GetDlgItem(page, s.control);
    // Reached with Tab from the control before it.
    EXPECT_EQ(control, GetNextDlgTabItem(page, previous, FALSE)) << s.control;
    previous = control;
    for (const Step& step : s.steps) {
      if (step.keyboard) {
        PostMessageA(control, WM_KEYUP, VK_SPACE, 0);
      } else {
        PostMessageA(page, WM_COMMAND, s.control, 0);  // as the bitmap button sends it when clicked
      }
      HWND dialog = Question(s.caption);
      ASSERT_NE(nullptr, dialog) << s.caption;
      if (step.minutes > 0) {
        SendDlgItemMessageA(dialog, IDC_PATROL_TIME, CB_SELECTSTRING, (WPARAM)-1,
                            (LPARAM)std::to_string(step.minutes).c_str());
        CheckRadioButton(dialog, IDC_PATROL_OFF, IDC_PATROL_ON, IDC_PATROL_ON);
      } else if (step.minutes == 0) {
        CheckRadioButton(dialog, IDC_PATROL_OFF, IDC_PATROL_ON, IDC_PATROL_OFF);
      }
      ASSERT_TRUE(AnswerDialog(dialog, step.minutes < 0 ? IDCANCEL : IDOK));
      ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000));
      ASSERT_TRUE(WaitForProgramIdle(page));
      EXPECT_EQ(step.expected, OptionSet[s.option]) << s.caption << " " << step.minutes;
      // The switch shows its state: the "on" picture while watched.
      HANDLE shown = (HANDLE)SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0);
      EXPECT_EQ((HANDLE)SharedBitmapOf(step.expected > 0 ? 156 : 154), shown) << s.caption;
    }
  }
}

// Each area page's Monitor button sets the companion's patrol time of its area: a time, then cancel.
TEST_F(OptionsPageTest, EachAreaPagesMonitorSetsItsPatrolTime) {
  const struct {
    int index;  // the page's tab on the NT family
    int pageId;
    int option;
    const char* caption;
  } pages[] = {
      {0, 6026, OPT_Start, "Patrol Time for Startup Programs"},
      {1, 6040, OPT_IEHelpers, "Patrol Time for IE Helpers"},
      {2, 6039, OPT_Tasks, "Patrol Time for Tasks"},
      {3, 6038, OPT_Services, "Patrol Time for Windows Services"},
      {6, 6056, OPT_ActiveX, "Patrol Time for ActiveX Controls"},
  };
  for (const auto& p : pages) {
    OptionSet[p.option] = 0;
    SendMessageA(sheet, PSM_SETCURSEL, p.index, 0);
    ASSERT_TRUE(WaitUntil([&] { return CurrentPageId == p.pageId; })) << p.caption;
    HWND shown = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
    for (int minutes : {30, -1}) {
      PostMessageA(shown, WM_COMMAND, 1135, 0);
      HWND dialog = Question(p.caption);
      ASSERT_NE(nullptr, dialog) << p.caption;
      if (minutes > 0) {
        SendDlgItemMessageA(dialog, IDC_PATROL_TIME, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)"30");
        CheckRadioButton(dialog, IDC_PATROL_OFF, IDC_PATROL_ON, IDC_PATROL_ON);
      }
      ASSERT_TRUE(AnswerDialog(dialog, minutes < 0 ? IDCANCEL : IDOK));
      ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000));
      ASSERT_TRUE(WaitForProgramIdle(shown));
      EXPECT_EQ(30, OptionSet[p.option]) << p.caption << " " << minutes;
    }
    OptionSet[p.option] = 0;
  }
}

TEST_F(OptionsPageTest, RestoreAllDelayedAndExportSayWhatTheyDid) {
  RawWriteString(HKEY_CURRENT_USER, kDelay, "C:\\user\\vxtest.exe", "11");
  RawWriteString(HKEY_CURRENT_USER, (std::string(kDelay) + "\\Title").c_str(), "C:\\user\\vxtest.exe",
                 "VxTest Delayed");
  Click(IDC_OPT_RESTORE_DELAYED);
  HWND told = Question("Programs returned from the delayed start list to the Windows startup list: 1");
  ASSERT_NE(nullptr, told);
  std::string data;
  EXPECT_TRUE(GetRunValue(11, "VxTest Delayed", &data, nullptr));
  EXPECT_STREQ("C:\\user\\vxtest.exe", data.c_str());
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kDelay, "C:\\user\\vxtest.exe"));
  ASSERT_TRUE(AnswerDialog(told, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(told); }, 5000));
  // None left: the page says so instead.
  Click(IDC_OPT_RESTORE_DELAYED);
  told = Question("No program is waiting in the delayed start list.");
  ASSERT_NE(nullptr, told);
  ASSERT_TRUE(AnswerDialog(told, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(told); }, 5000));

  // The settings export names the file it wrote.
  RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "VxTest", "exported");
  Click(IDC_OPT_EXPORT);
  told = Question("Your Vandrelix data and settings have been saved as the following file");
  ASSERT_NE(nullptr, told);
  // The message names the file on a line of its own.
  std::string texts = DialogTexts(told);
  size_t end = texts.find("-Vandrelix.reg");
  ASSERT_NE(std::string::npos, end) << texts;
  size_t start = texts.rfind('\n', end) + 1;
  std::string path = texts.substr(start, end + 14 - start);
  EXPECT_EQ(0, lstrcmpiA((BinFolder() + "\\").c_str(), path.substr(0, BinFolder().size() + 1).c_str())) << path;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
  CloseHandle(file);
  ASSERT_TRUE(AnswerDialog(told, IDOK));
  DeleteFileA(path.c_str());
}

}  // namespace
