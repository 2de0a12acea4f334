#include "ui/label.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/ui_driver.h"
#include "testing/sample_widgets.h"

namespace tarnwick {
namespace {

class LabelTest : public testing::UiTest {
 protected:
  LabelTest() : window_(platform(), "main", LargeWindow()) {}
  Window window_;
};

TEST_F(LabelTest, StatusLineDrawsOnItsColoursWithTheBorderAndRepaintsAtOnce) {
  Label& status = testing::AddStatusStyleLabel(window_, Gbk("A&B|当前数据库内共有3条记录"));
  int double_clicks = 0;
  status.SetHandler(event::kDoubleClick, [&](const EventArgs&) { ++double_clicks; return true; });
  Show(window_);
  EXPECT_EQ(driver().PixelAt(status, {0, 0}), Rgb(0, 0, 0));  // single line border
  EXPECT_EQ(driver().PixelAt(status, {364, 23}), Rgb(0, 0, 0));
  EXPECT_EQ(driver().PixelAt(status, {5, 5}), Rgb(0, 128, 128));
  EXPECT_TRUE(driver().ShowsTextIn(status, Rgb(0, 0, 0)));

  // Writing a colour or the text repaints at once, with nothing else to do.
  status.SetBackground(Rgb(255, 255, 0));
  status.SetTextColor(Rgb(255, 0, 0));
  EXPECT_EQ(driver().PixelAt(status, {5, 5}), Rgb(255, 255, 0));
  EXPECT_TRUE(driver().ShowsTextIn(status, Rgb(255, 0, 0)));
  EXPECT_FALSE(driver().ShowsTextIn(status, Rgb(0, 0, 0)));
  EXPECT_EQ(status.background(), Rgb(255, 255, 0));

  DoubleClick(status, {20, 10});
  EXPECT_EQ(double_clicks, 1);
}

}  // namespace
}  // namespace tarnwick
