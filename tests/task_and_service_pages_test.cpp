// The lists of the Scheduled Tasks, Services and Active Tasks pages on a real list view in this
// process, over items as their areas list them and real program files: the texts each row shows and
// the order each column sorts in.
#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include <string>
#include <vector>

#include "area_support.h"
#include "areas/program_facts.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"
#include "ui/item_menu.h"
#include "ui/list_view.h"
#include "ui/pages/active_tasks_page.h"
#include "ui/pages/scheduled_tasks_page.h"
#include "ui/pages/services_page.h"

namespace {

class TaskAndServicePagesTest : public VxTest {
 protected:
  HWND frame = nullptr, list = nullptr;
  std::string folder;
  void SetUp() override {
    VxTest::SetUp();
    InitCommonControls();
    ClearStartupItems();
    ForgetProgramFacts();
    ForgetSortKeys();
    for (int& d : SortDirection) d = 0;
    frame = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 800, 300, nullptr, nullptr, nullptr, nullptr);
    list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 780, 200, frame,
                           (HMENU)1000, nullptr, nullptr);
    folder = BinFolder() + "\\area_pages_test";
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  void TearDown() override {
    DestroyWindow(frame);
    DestroyListImages(0);
    ClearListRows();
    ClearStartupItems();
    ForgetProgramFacts();
    ForgetSortKeys();
    for (int& d : SortDirection) d = 0;
    for (const std::string& file : files) DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
    VxTest::TearDown();
  }
  void Add(const std::string& title, const std::string& file, const std::string& command,
           const std::string& description, int code, int flag = 0) {
    std::vector<char> t(title.begin(), title.end()), f(file.begin(), file.end()), c(command.begin(), command.end()),
        d(description.begin(), description.end());
    for (auto* text : {&t, &f, &c, &d}) text->push_back('\0');
    ASSERT_GE(AddStartupItem(t.data(), f.data(), c.data(), d.data(), code, flag), 0);
  }
  // A file of `size` bytes in the test's folder.
  std::string FileOfSize(const char* name, DWORD size) {
    std::string path = folder + "\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::vector<char> bytes(size, 'x');
    DWORD written = 0;
    WriteFile(file, bytes.data(), size, &written, nullptr);
    CloseHandle(file);
    files.push_back(path);
    return path;
  }
  void Fill(const PageList* pageList) {
    AddListColumns(list, pageList);
    FillList(list, pageList);
  }
  std::string Text(int row, int column) {
    char text[260] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)&item);
    return text;
  }
  std::vector<std::string> Column(int column) {
    std::vector<std::string> texts;
    int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < rows; ++row) texts.push_back(Text(row, column));
    return texts;
  }
  std::vector<std::string> files;
};

TEST_F(TaskAndServicePagesTest, ScheduledTasksShowTheirRunsAndSortThemInTimeOrder) {
  std::string program = FixturePath("vx_sleeper.exe");
  Add("Late.job", program, "12/31/2026  11:00 PM", "Never", 800);
  Add("Noon.job", program, "01/01/2027  12:15 PM", "01/01/2026  9:00 AM", 800);
  Add("Midnight.job", program, "01/01/2027  12:30 AM", "12/31/2025  10:00 PM", 800);
  Add("Never.job", folder + "\\gone.exe", "Never", "Never", 800);
  Add("Morning.job", program, "01/01/2027  9:00 AM", "Never", 800);
  Fill(&kScheduledTasksList);
  EXPECT_EQ((std::vector<std::string>{"Late", "Noon", "Midnight", "Never", "Morning"}), Column(0));
  EXPECT_EQ("vx_sleeper.exe", Text(0, 1));
  EXPECT_EQ("Orvenn Studios Test Fixtures", Text(0, 2));
  EXPECT_EQ("File Does Not Exist", Text(3, 2));
  EXPECT_EQ("12/31/2026  11:00 PM", Text(0, 3));
  EXPECT_EQ("Never", Text(0, 4));

  // Next Run Time: the header's own column, in time order across a year's end and noon.
  SortListByColumn(list, 6039, 3);
  EXPECT_EQ((std::vector<std::string>{"Never", "Late", "Midnight", "Morning", "Noon"}), Column(0));
  SortListByColumn(list, 6039, 3);
  EXPECT_EQ((std::vector<std::string>{"Noon", "Morning", "Midnight", "Late", "Never"}), Column(0));
  // Last Run Time.
  SortListByColumn(list, 6039, 4);
  EXPECT_EQ("Midnight", Column(0)[3]);
  EXPECT_EQ("Noon", Column(0)[4]);
}

TEST_F(TaskAndServicePagesTest, ActiveTasksSortSizesAndProcessIdsAsNumbers) {
  Add("Small", FileOfSize("small.exe", 9000), "", "", 600, 100);
  Add("Large", FileOfSize("large.exe", 120000), "", "", 600, 3);
  Add("Bare", "bare.exe", "", "", 600, 7);  // a program named without its folder gets no row
  Add("Middle", FileOfSize("middle.exe", 10000), "", "", 600, 20);
  Fill(&kActiveTasksList);
  EXPECT_EQ((std::vector<std::string>{"small.exe", "large.exe", "middle.exe"}), Column(0));
  // The rows after the one left out carry their own texts.
  EXPECT_EQ((std::vector<std::string>{"Small", "Large", "Middle"}), Column(1));
  EXPECT_EQ((std::vector<std::string>{"9,000", "120,000", "10,000"}), Column(4));
  EXPECT_EQ((std::vector<std::string>{"100", "3", "20"}), Column(5));

  SortListByColumn(list, 6029, 4);
  EXPECT_EQ((std::vector<std::string>{"9,000", "10,000", "120,000"}), Column(4));
  SortListByColumn(list, 6029, 5);
  EXPECT_EQ((std::vector<std::string>{"3", "20", "100"}), Column(5));
}

TEST_F(TaskAndServicePagesTest, ServicesShowTheHostAndTheCompanyTheirProgramHas) {
  std::string program = FixturePath("vx_service.exe");
  Add("VxTest Own", program, "Manual", "", 700);
  Add("VxTest Hosted", folder + "\\hosted.dll", "Automatic", "", 701);
  Add("VxTest Plain", FixturePath("vf_no_version.dll"), "Disabled", "", 700);
  Fill(&kServicesList);
  EXPECT_EQ((std::vector<std::string>{"vx_service.exe", "svchost.exe hosted.dll", "vf_no_version.dll"}), Column(1));
  EXPECT_EQ((std::vector<std::string>{"Orvenn Studios Test Fixtures", "File Does Not Exist", " "}), Column(2));
  EXPECT_EQ((std::vector<std::string>{" ", " ", " "}), Column(3));  // no such services: no state
  EXPECT_EQ((std::vector<std::string>{"Manual", "Automatic", "Disabled"}), Column(4));
}

// Delete File on Reboot, from the menu of a task's row: asked first, then the row's own file is queued.
TEST_F(TaskAndServicePagesTest, DeleteFileOnRebootAsksThenQueuesTheRowsFile) {
  const char* session = "System\\CurrentControlSet\\Control\\Session Manager";
  std::string saved;
  DWORD type = 0;
  bool had = RawRead(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", &saved, &type);
  OptionSet[OPT_CloudData] = 0;
  strcpy(ApplicationTitle, "VxTest Reboot");
  Add("First.job", FileOfSize("first.exe", 10), "Never", "Never", 800);
  Add("Second.job", FileOfSize("second.exe", 10), "Never", "Never", 800);
  auto pending = [&] {
    std::string text;
    RawRead(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", &text, nullptr);
    return text;
  };

  WindowCatch no;
  CatchWindow("VxTest Reboot", IDNO, &no);
  EXPECT_EQ(1, HandleSharedItemCommand(frame, 6039, 1144, 1));
  WaitCatch();
  ASSERT_TRUE(no.seen);
  EXPECT_NE(std::string::npos, no.texts.find("Is this known Adware or Spyware?")) << no.texts;
  EXPECT_EQ(std::string::npos, pending().find("second.exe"));

  WindowCatch yes;
  CatchWindow("VxTest Reboot", IDYES, &yes);
  EXPECT_EQ(1, HandleSharedItemCommand(frame, 6039, 1144, 1));
  WaitCatch();
  ASSERT_TRUE(yes.seen);
  EXPECT_NE(std::string::npos, pending().find("second.exe"));
  EXPECT_EQ(std::string::npos, pending().find("first.exe"));
  if (had) RawWrite(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations", type, saved.data(), (DWORD)saved.size());
  else RawDeleteValue(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations");
}

}  // namespace
