// What the end-to-end tests of the area pages share: the real VandrelixEx.exe opened at a page by its
// switch, the page's list, its picture, and the program told to quit.
#pragma once
#include <string>
#include <vector>

#include "area_support.h"
#include "ui_driver.h"

class AreaPageE2E : public VxTest {
 protected:
  ProgramRun run;
  HWND sheet = nullptr, page = nullptr, list = nullptr;

  // Starts the program with a page switch and waits for the page's list to hold a row with `text`
  // in `column`.
  void Open(const char* pageSwitch, const std::string& text, int column = 0) {
    ASSERT_TRUE(run.Start(pageSwitch));
    sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    page = CurrentPage(sheet);
    list = PageList(page);
    ASSERT_NE(nullptr, list);
    ASSERT_GE(WaitForRow(list, text, column), 0) << text;
  }

  // The sheet as it is now, beside the build folder as <name>-p64.bmp or <name>-p32.bmp.
  void SavePicture(const char* name) {
    std::string picture = BinFolder() + "\\..\\" + name + (OnWow64() ? "-p64" : "-p32") + ".bmp";
    EXPECT_TRUE(SaveWindowPicture(sheet, picture));
  }

  // The row whose text in `column` is `text` in any letter case (Wine reports some program files of a
  // process in capitals), or -1.
  int FindRowAnyCase(const std::string& text, int column = 0) {
    int count = RowCount(list);
    for (int row = 0; row < count; ++row)
      if (lstrcmpiA(CellText(list, row, column).c_str(), text.c_str()) == 0) return row;
    return -1;
  }

  // The pages of `wanted` are on the sheet in this order (others may stand between them).
  bool TabsInOrder(const std::vector<std::string>& wanted) {
    size_t next = 0;
    for (const std::string& title : TabTitles(sheet))
      if (next < wanted.size() && title == wanted[next]) ++next;
    return next == wanted.size();
  }

  void Quit() {
    ProgramRun quit;
    ASSERT_TRUE(quit.Start("-Q"));
    EXPECT_EQ(0u, quit.WaitExit(20000));
    EXPECT_EQ(0u, run.WaitExit(20000));
  }
};
