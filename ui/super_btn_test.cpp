#include "ui/super_btn.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/headless_ui.h"
#include "ui/group_box.h"

namespace tarnwick {
namespace {

class SuperBtnTest : public testing::HeadlessUiTest {
 protected:
  SuperBtnTest() : window_(platform_, "main", Design()) {}

  static WindowDesign Design() {
    WindowDesign design;
    design.rect = {0, 0, 371, 596};
    return design;
  }

  // Like 超级按钮1: flat, border, no focus rectangle, no images, its own colours.
  SuperBtn& AddTodayButton() {
    auto& button = window_.Add<SuperBtn>(nullptr, "today", Rect{125, 244, 57, 18});
    button.SetProperty(SuperBtn::kStyle, 0);
    button.SetProperty(SuperBtn::kDrawBorder, true);
    button.SetProperty(SuperBtn::kDrawFocus, false);
    button.SetProperty(SuperBtn::kCaption, Gbk("转到今日"));
    button.SetProperty(SuperBtn::kNormalText, Rgb(255, 255, 0));
    button.SetProperty(SuperBtn::kNormalBackground, Rgb(0, 128, 128));
    button.SetProperty(SuperBtn::kLitText, Rgb(0, 0, 0));
    button.SetProperty(SuperBtn::kLitBackground, Rgb(255, 255, 0));
    button.SetProperty(SuperBtn::kFocusText, Rgb(255, 255, 255));
    button.SetProperty(SuperBtn::kFocusBackground, Rgb(0, 128, 128));
    return button;
  }

  // The colour of the caption as last drawn.
  static Color CaptionColor(const SuperBtn& button) {
    Color color{};
    int texts = 0;
    for (const DrawOp& op : SurfaceOf(button).last_paint_ops()) {
      if (op.kind == DrawOp::Kind::kText) {
        color = op.color;
        ++texts;
      }
    }
    EXPECT_EQ(texts, 1);
    return color;
  }

  Window window_;
};

TEST_F(SuperBtnTest, EachStateDrawsItsOwnColours) {
  SuperBtn& button = AddTodayButton();
  auto& other = window_.Add<SuperBtn>(nullptr, "other", Rect{0, 0, 20, 20});
  window_.Load();
  Settle();
  HeadlessSurface& surface = SurfaceOf(button);
  EXPECT_EQ(button.state(), SuperBtn::State::kNormal);
  EXPECT_EQ(surface.PixelAt(3, 3), Rgb(0, 128, 128));
  EXPECT_EQ(surface.PixelAt(0, 0), Rgb(128, 128, 128));  // the flat border line
  EXPECT_EQ(CaptionColor(button), Rgb(255, 255, 0));
  auto texts = [&] {
    for (const DrawOp& op : surface.last_paint_ops()) {
      if (op.kind == DrawOp::Kind::kText) return op;
    }
    return DrawOp{};
  }();
  EXPECT_EQ(texts.text, Gbk("转到今日"));
  EXPECT_TRUE(texts.flags & text_flags::kMnemonic);

  Hover(button, {10, 5});  // lit at once
  EXPECT_EQ(button.state(), SuperBtn::State::kLit);
  EXPECT_EQ(surface.PixelAt(3, 3), Rgb(255, 255, 0));
  EXPECT_EQ(CaptionColor(button), Rgb(0, 0, 0));

  Click(button, {10, 5});
  Hover(other);  // the pointer leaves; the focus stays
  EXPECT_EQ(button.state(), SuperBtn::State::kFocused);
  EXPECT_EQ(surface.PixelAt(3, 3), Rgb(0, 128, 128));
  EXPECT_EQ(CaptionColor(button), Rgb(255, 255, 255));
  for (const DrawOp& op : surface.last_paint_ops()) EXPECT_NE(op.kind, DrawOp::Kind::kFocusRect);

  button.SetDisabled(true);
  Settle();
  EXPECT_EQ(button.state(), SuperBtn::State::kDisabled);
  EXPECT_EQ(CaptionColor(button), Rgb(128, 128, 128));
}

TEST_F(SuperBtnTest, DefaultColoursAndTheThreeDimensionalLook) {
  auto& button = window_.Add<SuperBtn>(nullptr, "spare", Rect{0, 0, 60, 60});
  button.SetProperty(SuperBtn::kStyle, 1);
  button.SetProperty(SuperBtn::kUseDefaultColors, true);
  button.SetProperty(SuperBtn::kLitBackground, Rgb(255, 0, 0));  // ignored with the default colours
  button.SetCaption(Gbk("备用"));
  window_.Load();
  Hover(button);
  HeadlessSurface& surface = SurfaceOf(button);
  EXPECT_EQ(surface.PixelAt(30, 30), Rgb(212, 208, 200));
  EXPECT_EQ(CaptionColor(button), Rgb(0, 0, 0));
  EXPECT_EQ(surface.PixelAt(0, 0), Rgb(212, 208, 200));    // raised edge: light outside top left
  EXPECT_EQ(surface.PixelAt(1, 1), Rgb(255, 255, 255));    // highlight inside it
  EXPECT_EQ(surface.PixelAt(59, 59), Rgb(64, 64, 64));     // dark shadow bottom right
  EXPECT_EQ(surface.PixelAt(58, 58), Rgb(128, 128, 128));  // shadow inside it
  windows().PressMouse(NativeOf(window_), InWindow(button, {30, 30}), MouseButton::kLeft);
  EXPECT_TRUE(button.pressed());
  EXPECT_EQ(surface.PixelAt(0, 0), Rgb(128, 128, 128));  // sunken while held
}

TEST_F(SuperBtnTest, ClickedOnlyWhenEnabledByMouseSpaceOrMnemonic) {
  auto& frame = window_.Add<GroupBox>(nullptr, "frame", Rect{0, 464, 366, 80});
  auto& edit = window_.Add<SuperBtn>(&frame, "edit", Rect{8, 14, 80, 60});
  edit.SetCaption(Gbk("\r\n&W"));
  int clicks = 0;
  edit.SetHandler(SuperBtn::kClicked, [&](const EventArgs&) { ++clicks; return true; });
  window_.Load();
  Click(edit, {40, 30});
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(edit.HasFocus());
  windows().PressKey(keys::kSpace);
  EXPECT_EQ(clicks, 2);
  windows().KeyDown('W', kKeyStateAlt);
  EXPECT_EQ(clicks, 3);

  windows().PressMouse(NativeOf(window_), InWindow(edit, {40, 30}), MouseButton::kLeft);
  windows().ReleaseMouse(NativeOf(window_), InWindow(edit, {100, 30}), MouseButton::kLeft);
  EXPECT_EQ(clicks, 3);  // released outside

  edit.SetDisabled(true);
  Click(edit, {40, 30});
  windows().PressKey(keys::kSpace);
  windows().KeyDown('W', kKeyStateAlt);
  EXPECT_EQ(clicks, 3);
  edit.SetDisabled(false);
  frame.SetDisabled(true);  // a disabled frame disables what it holds
  windows().KeyDown('W', kKeyStateAlt);
  Click(edit, {40, 30});
  EXPECT_EQ(clicks, 3);
}

TEST_F(SuperBtnTest, ALeftPressAnsweredFalseKeepsTheButtonFromClicking) {
  auto& button = window_.Add<SuperBtn>(nullptr, "b", Rect{0, 0, 40, 40});
  int clicks = 0;
  button.SetHandler(SuperBtn::kClicked, [&](const EventArgs&) { ++clicks; return true; });
  button.SetHandler(event::kLeftButtonDown, [&](const EventArgs&) { return false; });
  window_.Load();
  Click(button);
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(button.pressed());
}

TEST_F(SuperBtnTest, PicturesPerStateAndTheGeneratedDisabledImage) {
  // A 16 x 16 icon-like picture: transparent corners, opaque blue body.
  auto picture = std::make_shared<Image>(16, 16, Pixel{0, 0, 255, 255});
  picture->at(0, 0).alpha = 0;
  auto& button = window_.Add<SuperBtn>(nullptr, "icon", Rect{0, 0, 80, 60});
  button.SetProperty(SuperBtn::kStyle, 1);
  button.SetProperty(SuperBtn::kNormalPicture, Picture(picture));
  button.SetCaption("W");
  button.SetProperty(SuperBtn::kPlacement, 0);
  window_.Load();
  Settle();
  HeadlessSurface& surface = SurfaceOf(button);
  Rect image_rect, text_rect;
  for (const DrawOp& op : surface.last_paint_ops()) {
    if (op.kind == DrawOp::Kind::kImage) image_rect = op.rect;
    if (op.kind == DrawOp::Kind::kText) text_rect = op.rect;
  }
  EXPECT_EQ(image_rect.width, 16);
  EXPECT_LE(image_rect.right(), text_rect.left);  // image left, text right
  EXPECT_EQ(surface.PixelAt(image_rect.left + 8, image_rect.top + 8), Rgb(0, 0, 255));

  Image disabled = button.PictureOf(SuperBtn::State::kDisabled);
  EXPECT_EQ(disabled.at(0, 0).alpha, 0);
  EXPECT_EQ(disabled.at(5, 5), (Pixel{142, 142, 142, 255}));  // 128 + luminance(blue) 29 / 2
  button.SetDisabled(true);
  Settle();
  EXPECT_EQ(surface.PixelAt(image_rect.left + 8, image_rect.top + 8), Rgb(142, 142, 142));

  button.SetProperty(SuperBtn::kPlacement, 1);
  Settle();
  for (const DrawOp& op : surface.last_paint_ops()) {
    if (op.kind == DrawOp::Kind::kImage) image_rect = op.rect;
    if (op.kind == DrawOp::Kind::kText) text_rect = op.rect;
  }
  EXPECT_LE(image_rect.bottom(), text_rect.top);  // image above, text below

  // An opaque picture loses its top-left colour (the default transparent colour).
  auto opaque = std::make_shared<Image>(4, 4, Pixel{255, 0, 255, 255});
  opaque->at(2, 2) = Pixel{0, 255, 0, 255};
  button.SetProperty(SuperBtn::kNormalPicture, Picture(opaque));
  Image normal = button.PictureOf(SuperBtn::State::kNormal);
  EXPECT_EQ(normal.at(0, 0).alpha, 0);
  EXPECT_EQ(normal.at(2, 2).alpha, 255);
  EXPECT_EQ(button.PictureOf(SuperBtn::State::kLit), normal);  // no lit picture: the normal one
}

TEST_F(SuperBtnTest, PropertiesCheckTheirTypesAndTheTooltipReachesTheSurface) {
  auto& button = window_.Add<SuperBtn>(nullptr, "b", Rect{0, 0, 40, 40});
  EXPECT_FALSE(button.SetProperty(SuperBtn::kCaption, 5));
  EXPECT_FALSE(button.SetProperty(SuperBtn::kNormalText, std::string("red")));
  EXPECT_FALSE(button.SetProperty(99, 1));
  EXPECT_TRUE(button.SetProperty(SuperBtn::kToolTip, Gbk("编辑当前日期的备忘")));
  EXPECT_EQ(SurfaceOf(button).tooltip(), Gbk("编辑当前日期的备忘"));
  EXPECT_TRUE(button.SetProperty(property::kDisabled, true));
  EXPECT_EQ(std::get<bool>(button.GetProperty(property::kDisabled)), true);
  EXPECT_TRUE(button.SetProperty(property::kLeft, 7));
  EXPECT_EQ(SurfaceOf(button).rect().left, 7);
}

}  // namespace
}  // namespace tarnwick
