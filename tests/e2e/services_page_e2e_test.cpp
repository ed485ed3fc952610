// The Services page of the real VandrelixEx.exe over real services of the service manager: their rows,
// the Microsoft filter, and a state changed from outside seen when the page is shown again.
#include "e2e/area_page_e2e.h"

namespace {

enum { kTitle = 0, kCommand = 1, kCompany = 2, kStatus = 3, kStartup = 4 };
const int kMicrosoftFilter = 1015;

class ServicesPageE2E : public AreaPageE2E {
 protected:
  void SetUp() override {
    AreaPageE2E::SetUp();
    RemoveTestServices();
  }
  void TearDown() override {
    RemoveTestServices();
    AreaPageE2E::TearDown();
  }
  std::string Cell(const char* title, int column) {
    int row = FindRow(list, title);
    return row < 0 ? "(absent)" : CellText(list, row, column);
  }
};

TEST_F(ServicesPageE2E, RowsFilterAndStatesChangedFromOutside) {
  ASSERT_TRUE(InstallService("VxTestPage", "VxTest Page Service", ServiceCommand("vx_service.exe", "VxTestPage")));
  ASSERT_TRUE(
      InstallService("VxTestPageMs", "VxTest Page Microsoft", ServiceCommand("vx_service_ms.exe", "VxTestPageMs")));
  ASSERT_TRUE(StartServiceAndWait("VxTestPage"));
  Open("-SERVICE", "VxTest Page Microsoft");
  EXPECT_TRUE(TabsInOrder({" Startup Programs ", " Scheduled Tasks 1.0", " Services ", " Active Tasks "}));

  EXPECT_EQ("vx_service.exe --service VxTestPage", Cell("VxTest Page Service", kCommand));
  EXPECT_EQ("Orvenn Studios Test Fixtures", Cell("VxTest Page Service", kCompany));
  EXPECT_EQ("Running", Cell("VxTest Page Service", kStatus));
  EXPECT_EQ("Manual", Cell("VxTest Page Service", kStartup));
  EXPECT_EQ("Microsoft Corporation", Cell("VxTest Page Microsoft", kCompany));
  EXPECT_EQ("Stopped", Cell("VxTest Page Microsoft", kStatus));
  // Shared-host services read "svchost.exe " and their library.
  bool hosted = false;
  for (const std::string& command : ColumnTexts(list, kCommand)) hosted |= command.compare(0, 12, "svchost.exe ") == 0;
  EXPECT_TRUE(hosted);
  SavePicture("services-page");

  // Only services of other companies while the box is checked.
  ASSERT_TRUE(PressButton(page, kMicrosoftFilter));
  EXPECT_TRUE(WaitUntil([&] { return FindRow(list, "VxTest Page Microsoft") < 0; }));
  EXPECT_GE(FindRow(list, "VxTest Page Service"), 0);
  ASSERT_TRUE(PressButton(page, kMicrosoftFilter));
  EXPECT_GE(WaitForRow(list, "VxTest Page Microsoft"), 0);

  // Changed from outside: the page reads the states again when it is shown again.
  ASSERT_TRUE(StopServiceAndWait("VxTestPage"));
  ASSERT_TRUE(StartServiceAndWait("VxTestPageMs"));
  ASSERT_NE(nullptr, ShowPage(sheet, " Startup Programs "));
  page = ShowPage(sheet, " Services ");
  ASSERT_NE(nullptr, page);
  list = PageList(page);
  EXPECT_TRUE(WaitUntil([&] { return Cell("VxTest Page Service", kStatus) == "Stopped"; }))
      << Cell("VxTest Page Service", kStatus);
  EXPECT_EQ("Running", Cell("VxTest Page Microsoft", kStatus));
  Quit();
}

}  // namespace
