// The shared list machinery on a real list view in this process: kept sort keys, the comparison rules,
// column widths and the date keys.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/settings.h"
#include "platform/text.h"
#include "startup/items.h"
#include "test_support.h"
#include "ui/list_view.h"

namespace {

const char* kOptions = "Software\\Orvenn Studios\\Vandrelix\\Options";

// What the test's rows show: one text per column and the disabled flag, by table index.
struct Source {
  std::string text[5];
  int disabled;
};
std::vector<Source> source;

template <int C> void Cell(int item, char* out, size_t cap) { CopyText(out, cap, source[item].text[C].c_str()); }
int Disabled(int item) { return source[item].disabled; }

const ListColumn kColumns[] = {
    {627, 0.35, Cell<0>, nullptr}, {628, 0.25, Cell<1>, nullptr}, {699, 0.22, Cell<2>, nullptr},
    {714, 0.15, Cell<3>, nullptr}, {912, 0.01, Cell<4>, nullptr},
};
const PageList kStartupPage = {6026, kColumns, 5, nullptr, nullptr, Disabled};
const PageList kDelayPage = {6055, kColumns, 4, nullptr, nullptr, nullptr};

class ListViewTest : public VxTest {
 protected:
  HWND frame = nullptr, list = nullptr;
  void SetUp() override {
    VxTest::SetUp();
    InitCommonControls();
    ClearStartupItems();
    ForgetSortKeys();
    for (int& d : SortDirection) d = 0;
    source.clear();
    frame = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 500, 300, nullptr, nullptr, nullptr, nullptr);
    list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 420, 200, frame,
                           (HMENU)1000, nullptr, nullptr);
  }
  void TearDown() override {
    DestroyWindow(frame);
    DestroyListImages(0);
    ClearListRows();
    ClearStartupItems();
    ForgetSortKeys();
    for (int& d : SortDirection) d = 0;
    VxTest::TearDown();
  }
  // One item per row; the table only has to hold as many items as the list has rows.
  void RemoveColumns() {
    while (SendMessageA(list, LVM_DELETECOLUMN, 0, 0)) {
    }
  }
  void Fill(const std::vector<Source>& rows, const PageList& pageList = kStartupPage) {
    source = rows;
    ClearStartupItems();
    for (size_t i = 0; i < rows.size(); ++i) {
      char title[16] = "row", empty[4] = "";
      AddStartupItem(title, empty, empty, empty, 11, 0);
    }
    AddListColumns(list, &pageList);
    ASSERT_EQ((int)rows.size(), FillList(list, &pageList));
  }
  std::vector<std::string> Order(int column = 0) {
    std::vector<std::string> texts;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; ++row) {
      char text[260] = "";
      LVITEMA item = {};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)&item);
      texts.push_back(text);
    }
    return texts;
  }
  using Texts = std::vector<std::string>;
};

TEST_F(ListViewTest, RowsKeepTheFillOrderAndCarryTheirItemIndex) {
  Fill({{{"b"}, 0}, {{"a"}, 0}, {{"c"}, 0}});
  EXPECT_EQ((Texts{"b", "a", "c"}), Order());
  for (int row = 0; row < 3; ++row) EXPECT_EQ(row, RowItemIndex(list, row));
  SelectOnlyRow(list, 2);
  EXPECT_EQ(2, SelectedRow(list));
  EXPECT_EQ(2, SelectedItemIndex(list));
  EXPECT_EQ(1, SelectedRowCount(list));
}

TEST_F(ListViewTest, WholeTextsSortWithDisabledRowsLastEitherWay) {
  // The disabled "a" must follow the enabled "zzzzz": a "zzz" prefix would put it first.
  Fill({{{"abd"}, 0}, {{"ab"}, 0}, {{"zzzzz"}, 0}, {{"b"}, 1}, {{"abc"}, 0}, {{"a"}, 1}, {{"AB"}, 0}});
  SortListByColumn(list, 6026, 0);
  Texts ascending = Order();
  EXPECT_EQ((Texts{"abc", "abd", "zzzzz", "a", "b"}), Texts(ascending.begin() + 2, ascending.end()));
  EXPECT_EQ(1, SortDirection[0]);
  SortListByColumn(list, 6026, 0);
  Texts descending = Order();
  EXPECT_EQ((Texts{"zzzzz", "abd", "abc"}), Texts(descending.begin(), descending.begin() + 3));
  EXPECT_EQ((Texts{"b", "a"}), Texts(descending.end() - 2, descending.end()));
  EXPECT_EQ(0, SortDirection[0]);
}

TEST_F(ListViewTest, LocationCodesCompareAsTextAndDatesAsTime) {
  Fill({{{"x", "", "", "2", "07/04/2026 1:05 PM"}, 0},
        {{"y", "", "", "10", "07/04/2026 0:30 AM"}, 1},
        {{"z", "", "", "1", "12/31/2025 11:59 PM"}, 0}});
  SortListByColumn(list, 6026, 3);
  EXPECT_EQ((Texts{"z", "x", "y"}), Order());  // "1", "2"; the disabled row last
  SortListByColumn(list, 6026, 4);             // no disabled rule for the date
  EXPECT_EQ((Texts{"z", "y", "x"}), Order());
}

TEST_F(ListViewTest, SortingUsesTheKeysOfTheFill) {
  Fill({{{"b"}, 0}, {{"a"}, 0}, {{"c"}, 0}});
  // What the rows were made from changes after the fill; the order does not follow until a new fill.
  source[0].text[0] = "0";
  source[0].disabled = 1;
  SortListByColumn(list, 6026, 0);
  EXPECT_EQ((Texts{"a", "b", "c"}), Order());
}

TEST_F(ListViewTest, TheChosenColumnSortsTheNextFillAndDirectionsAreShared) {
  RawWriteString(HKEY_CURRENT_USER, kOptions, "SortStartup", "2");
  Fill({{{"r1", "b"}, 0}, {{"r2", "c"}, 0}, {{"r3", "a"}, 0}});
  EXPECT_EQ((Texts{"r3", "r1", "r2"}), Order());  // the saved key: column 1, ascending
  EXPECT_EQ(2, SavedSortKey(6026));
  SortListByColumn(list, 6026, 0);  // ascending, and column 0 is remembered in memory only
  EXPECT_EQ(1, SavedSortKey(6026));
  std::string stored;
  ASSERT_TRUE(RawRead(HKEY_CURRENT_USER, kOptions, "SortStartup", &stored, nullptr));
  EXPECT_STREQ("2", stored.c_str());
  ASSERT_EQ(1, SortDirection[0]);
  RemoveColumns();
  Fill({{{"r1", "b"}, 0}, {{"r3", "a"}, 0}, {{"r2", "c"}, 0}});
  EXPECT_EQ((Texts{"r3", "r2", "r1"}), Order());  // column 0 with its flag, now descending

  // Another page's list uses the same flag for its column 0.
  RemoveColumns();
  Fill({{{"p"}, 0}, {{"q"}, 0}}, kDelayPage);
  SortListByColumn(list, 6055, 0);
  EXPECT_EQ((Texts{"q", "p"}), Order());
}

TEST_F(ListViewTest, DelaysCompareAsNumbers) {
  Fill({{{"a", "", "", "300"}, 0}, {{"b", "", "", "5"}, 0}, {{"c", "", "", "40"}, 0}}, kDelayPage);
  SortListByColumn(list, 6055, 3);
  EXPECT_EQ((Texts{"b", "c", "a"}), Order());
  SortListByColumn(list, 6055, 3);
  EXPECT_EQ((Texts{"a", "c", "b"}), Order());
}

TEST_F(ListViewTest, ColumnWidthsFollowTheirFractionUnlessOneWasSaved) {
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Column16026", "123");
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Column26026", "0");
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Column36026", "wide");
  AddListColumns(list, &kStartupPage);
  int usable = 420 - GetSystemMetrics(SM_CYVSCROLL);
  EXPECT_EQ((int)(0.35 * usable), (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
  EXPECT_EQ(123, (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0));
  EXPECT_EQ((int)(0.22 * usable), (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, 2, 0));
  EXPECT_EQ((int)(0.15 * usable), (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, 3, 0));
  EXPECT_EQ(0, AddListColumn(nullptr, 0, "x", 6026, 0.5));
}

TEST_F(ListViewTest, FileIconsAreAddedWithTheFallbackForMissingFiles) {
  ASSERT_NE(nullptr, CreateListImages(list, 0));
  EXPECT_EQ(1, ImageList_GetImageCount(ListImageList[0]));  // the program icon
  std::string withIcon = "\"" + BinFolder() + "\\vf_with_icon.exe\" /x";
  EXPECT_EQ(1, AddFileIcon(withIcon.c_str(), 0, 0));
  EXPECT_EQ(2, AddFileIcon("C:\\nowhere\\missing.exe", 0, 0));
  EXPECT_EQ(3, ImageList_GetImageCount(ListImageList[0]));
  EXPECT_EQ(0, AddFileIcon(withIcon.c_str(), 0, 2));  // no such slot
  EXPECT_EQ(0, DestroyListImages(2));
}

TEST(SortableDateKey, MakesTwelveDigitsInTimeOrder) {
  const struct {
    const char* date;
    const char* key;
  } cases[] = {
      {"07/04/2026 1:05 PM", "202607041305"},   // a one-digit hour, afternoon
      {"07/04/2026 12:30 AM", "202607041230"},  // 12 in the morning half keeps 12 (this program's noon)
      {"07/04/2026 0:30 AM", "202607040030"},   // and midnight is written 0
      {"12/31/2025 11:59 PM", "202512312359"},
      {"7/14/2026 9:07 AM", "202607140907"},    // a one-digit month
      {"12/07/2026 10:00", "202612071000"},     // a 24-hour time
      {"07/04/2026 1", "202607041"},            // cut short: what is there, nothing past the end
      {"1/1/26 1:00", " "},                     // shorter than 12 characters
      {"", " "},
  };
  for (const auto& c : cases) {
    char key[16];
    SortableDateKey(c.date, key);
    EXPECT_STREQ(c.key, key) << c.date;
  }
  char early[16], late[16];
  SortableDateKey("07/04/2026 0:30 AM", early);
  SortableDateKey("07/04/2026 12:30 AM", late);
  EXPECT_LT(strcmp(early, late), 0);
  SortableDateKey("07/04/2026 1:05 PM", early);
  SortableDateKey("07/05/2026 0:10 AM", late);
  EXPECT_LT(strcmp(early, late), 0);
}

}  // namespace
