#include "ui/label.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/headless_ui.h"
#include "ui/pic_box.h"

namespace tarnwick {
namespace {

class LabelTest : public testing::HeadlessUiTest {
 protected:
  LabelTest() : window_(platform_, "main", LargeWindow()) {}

  static std::vector<DrawOp> Texts(const Control& control) {
    std::vector<DrawOp> texts;
    for (const DrawOp& op : SurfaceOf(control).last_paint_ops()) {
      if (op.kind == DrawOp::Kind::kText) texts.push_back(op);
    }
    return texts;
  }

  Window window_;
};

TEST_F(LabelTest, StatusLineDrawsOneCentredLineOnItsColoursWithTheBorder) {
  auto& status = window_.Add<Label>(nullptr, "status", Rect{0, 544, 365, 24});
  status.SetProperty(Label::kBorder, 5);
  status.SetProperty(Label::kHorizontalAlign, 1);
  status.SetProperty(Label::kVerticalAlign, 1);
  status.SetProperty(Label::kTextColor, Rgb(0, 0, 0));
  status.SetProperty(Label::kBackground, Rgb(0, 128, 128));
  status.SetText(Gbk("A&B|当前数据库内共有3条记录"));
  window_.Load();
  Settle();
  HeadlessSurface& surface = SurfaceOf(status);
  EXPECT_EQ(surface.PixelAt(0, 0), Rgb(0, 0, 0));  // single line border
  EXPECT_EQ(surface.PixelAt(364, 23), Rgb(0, 0, 0));
  EXPECT_EQ(surface.PixelAt(5, 5), Rgb(0, 128, 128));
  auto texts = Texts(status);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, Gbk("A&B|当前数据库内共有3条记录"));
  EXPECT_EQ(texts[0].rect, (Rect{1, 1, 363, 22}));
  EXPECT_EQ(texts[0].flags, text_flags::kCenter | text_flags::kSingleLine | text_flags::kVerticalCenter);
  EXPECT_FALSE(texts[0].flags & text_flags::kMnemonic);  // the ampersand is shown as it is

  // Writing a colour or the text repaints at once, with nothing else to do.
  status.SetBackground(Rgb(255, 255, 0));
  status.SetTextColor(Rgb(255, 0, 0));
  Settle();
  EXPECT_EQ(surface.PixelAt(5, 5), Rgb(255, 255, 0));
  EXPECT_EQ(Texts(status)[0].color, Rgb(255, 0, 0));
  EXPECT_EQ(status.background(), Rgb(255, 255, 0));
}

TEST_F(LabelTest, DefaultsEffectsWrapAndDoubleClick) {
  auto& hint = window_.Add<Label>(nullptr, "hint", Rect{18, 57, 95, 16});
  hint.SetText(Gbk("打\"√\"代表加密"));
  hint.SetProperty(Label::kVerticalAlign, 1);
  int double_clicks = 0;
  hint.SetHandler(event::kDoubleClick, [&](const EventArgs&) { ++double_clicks; return true; });
  window_.Load();
  Settle();
  EXPECT_EQ(SurfaceOf(hint).PixelAt(1, 1), Rgb(212, 208, 200));  // the window face
  EXPECT_EQ(Texts(hint)[0].color, Rgb(0, 0, 0));
  EXPECT_EQ(Texts(hint)[0].flags, text_flags::kSingleLine | text_flags::kVerticalCenter);
  DoubleClick(hint);
  EXPECT_EQ(double_clicks, 1);

  hint.SetProperty(Label::kEffect, 2);
  hint.SetProperty(Label::kWordWrap, true);
  Settle();
  auto texts = Texts(hint);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].color, Rgb(0, 0, 0));
  EXPECT_EQ(texts[0].rect, (Rect{1, 1, 95, 16}));  // the shadow, one pixel off
  EXPECT_EQ(texts[1].flags, text_flags::kWordWrap);
  EXPECT_FALSE(hint.SetProperty(Label::kText, 4));
}

TEST_F(LabelTest, BackgroundPictureIsStretchedOverTheLabel) {
  auto line = std::make_shared<Image>(415, 7, Pixel{10, 20, 30, 255});
  auto& separator = window_.Add<Label>(nullptr, "line", Rect{8, 48, 128, 4});
  separator.SetProperty(Label::kPicture, Picture(line));
  window_.Load();
  Settle();
  EXPECT_EQ(SurfaceOf(separator).PixelAt(127, 3), Rgb(10, 20, 30));
  EXPECT_TRUE(Texts(separator).empty());
}

TEST_F(LabelTest, PictureBoxFitsItsPictureKeepingProportions) {
  auto about = std::make_shared<Image>(149, 121, Pixel{200, 0, 0, 255});
  auto& box = window_.Add<PicBox>(nullptr, "about", Rect{16, 16, 120, 80});
  box.SetProperty(PicBox::kPicture, Picture(about));
  EXPECT_EQ(box.PictureRect(), (Rect{11, 0, 98, 80}));
  window_.Load();
  Settle();
  EXPECT_EQ(SurfaceOf(box).PixelAt(60, 40), Rgb(200, 0, 0));
  EXPECT_EQ(SurfaceOf(box).PixelAt(5, 40), Rgb(212, 208, 200));
  box.SetProperty(PicBox::kPlacement, 1);
  EXPECT_EQ(box.PictureRect(), (Rect{0, 0, 120, 80}));
}

}  // namespace
}  // namespace tarnwick
