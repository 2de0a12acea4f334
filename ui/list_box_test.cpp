#include "ui/list_box.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/ui_driver.h"
#include "ui/group_box.h"

namespace tarnwick {
namespace {

TEST(ListBoxTextOrderTest, DigitsOneByOneCaseIgnoredDatesBeforeChinese) {
  EXPECT_TRUE(ListBoxTextLess(Gbk("2011年10月1日"), Gbk("2011年9月1日")));
  EXPECT_FALSE(ListBoxTextLess(Gbk("2011年9月1日"), Gbk("2011年10月1日")));
  EXPECT_TRUE(ListBoxTextLess(Gbk("2011年5月03日"), Gbk("2011年5月13日")));
  EXPECT_TRUE(ListBoxTextLess(Gbk("2011年5月31日"), Gbk("没有找到")));
  EXPECT_TRUE(ListBoxTextLess("-x", "0"));  // symbols before digits
  EXPECT_TRUE(ListBoxTextLess("9", "a"));   // digits before letters
  EXPECT_TRUE(ListBoxTextLess("Z", Gbk("啊")));
  EXPECT_FALSE(ListBoxTextLess("abc", "ABC"));
  EXPECT_FALSE(ListBoxTextLess("ABC", "abc"));
  EXPECT_TRUE(ListBoxTextLess("ab", "abc"));
  EXPECT_TRUE(ListBoxTextLess(Gbk("啊"), Gbk("吧")));  // GBK order of Chinese
}

class ListBoxTest : public testing::UiTest {
 protected:
  ListBoxTest() : window_(platform(), "main", LargeWindow()) {}
  Window window_;
};

TEST_F(ListBoxTest, SortedListAnswersSortedPositionsAndKeepsValues) {
  auto& frame = window_.Add<GroupBox>(nullptr, "frame", Rect{368, 2, 144, 462});
  auto& list = window_.Add<ListBox>(&frame, "list", Rect{5, 22, 131, 438});
  list.SetProperty(ListBox::kSorted, true);
  EXPECT_EQ(list.AddItem(Gbk("2011年9月1日"), 9), 0);
  EXPECT_EQ(list.AddItem(Gbk("2011年10月1日"), 10), 0);
  EXPECT_EQ(list.AddItem(Gbk("2011年没有记录！"), 0), 2);
  EXPECT_EQ(list.AddItem(Gbk("2011年10月1日"), 11), 1);  // after its equal
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.ItemText(0), Gbk("2011年10月1日"));
  EXPECT_EQ(list.ItemText(2), Gbk("2011年9月1日"));
  EXPECT_EQ(list.ItemValue(0), 10);
  EXPECT_EQ(list.ItemValue(1), 11);
  EXPECT_EQ(list.ItemValue(2), 9);
  EXPECT_EQ(list.ItemText(4), "");
  EXPECT_EQ(list.ItemValue(-1), 0);
  EXPECT_EQ(std::get<std::string>(list.GetProperty(ListBox::kItems)),
            Gbk("2011年10月1日\r\n2011年10月1日\r\n2011年9月1日\r\n2011年没有记录！"));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.selection(), -1);

  auto& plain = window_.Add<ListBox>(nullptr, "plain", Rect{0, 0, 100, 100});
  EXPECT_EQ(plain.AddItem("b"), 0);
  EXPECT_EQ(plain.AddItem("a"), 1);  // unsorted: at the end
}

TEST_F(ListBoxTest, SelectionChangedOnlyForTheUserAndGotFocus) {
  // Takes the focus first where the window's activation focuses a control.
  window_.Add<ListBox>(nullptr, "first", Rect{200, 10, 131, 200});
  auto& list = window_.Add<ListBox>(nullptr, "list", Rect{10, 10, 131, 200});
  // Items of font height + 20: the third lies at y 80 whatever the font.
  list.SetProperty(ListBox::kItemSpacing, 20);
  std::string trace;
  list.SetHandler(ListBox::kSelectionChanged, [&](const EventArgs&) {
    trace += "changed" + std::to_string(list.selection()) + " ";
    return true;
  });
  list.SetHandler(event::kGotFocus, [&](const EventArgs&) { trace += "focus "; return true; });
  for (const char* item : {"a", "b", "c"}) list.AddItem(item);
  Show(window_);
  list.SetSelection(1);
  EXPECT_EQ(std::get<int>(list.GetProperty(ListBox::kSelection)), 1);
  EXPECT_EQ(trace, "");
  Click(list, {5, 80});
  EXPECT_EQ(trace, "focus changed2 ");
  EXPECT_TRUE(list.HasFocus());
  EXPECT_TRUE(list.SetProperty(ListBox::kSelection, -1));
  EXPECT_EQ(list.selection(), -1);
  EXPECT_EQ(trace, "focus changed2 ");
}

}  // namespace
}  // namespace tarnwick
