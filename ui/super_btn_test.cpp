#include "ui/super_btn.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/ui_driver.h"
#include "testing/sample_widgets.h"
#include "ui/group_box.h"

namespace tarnwick {
namespace {

class SuperBtnTest : public testing::UiTest {
 protected:
  SuperBtnTest() : window_(platform(), "main", testing::MainSizedWindowDesign()) {}

  SuperBtn& AddTodayButton() { return testing::AddTodayStyleButton(window_); }

  Color System(SystemColor role) { return platform().windows().GetSystemColor(role); }

  Window window_;
};

TEST_F(SuperBtnTest, EachStateDrawsItsOwnColours) {
  // Created first, so a backend that focuses the first control on activation
  // focuses this one.
  auto& other = window_.Add<SuperBtn>(nullptr, "other", Rect{0, 0, 20, 20});
  SuperBtn& button = AddTodayButton();
  Show(window_);
  EXPECT_EQ(button.state(), SuperBtn::State::kNormal);
  EXPECT_EQ(driver().PixelAt(button, {3, 3}), Rgb(0, 128, 128));
  EXPECT_EQ(driver().PixelAt(button, {0, 0}), System(SystemColor::kButtonShadow));  // the flat border line
  EXPECT_TRUE(driver().ShowsTextIn(button, Rgb(255, 255, 0)));

  Hover(button, {10, 5});  // lit at once
  EXPECT_EQ(button.state(), SuperBtn::State::kLit);
  EXPECT_EQ(driver().PixelAt(button, {3, 3}), Rgb(255, 255, 0));
  EXPECT_TRUE(driver().ShowsTextIn(button, Rgb(0, 0, 0)));

  Click(button, {10, 5});
  Hover(other);  // the pointer leaves; the focus stays
  EXPECT_EQ(button.state(), SuperBtn::State::kFocused);
  EXPECT_EQ(driver().PixelAt(button, {3, 3}), Rgb(0, 128, 128));
  EXPECT_TRUE(driver().ShowsTextIn(button, Rgb(255, 255, 255)));
  EXPECT_FALSE(driver().ShowsTextIn(button, Rgb(255, 255, 0)));

  // Disabled: the normal caption colour, not the system's grey.
  button.SetDisabled(true);
  Settle();
  EXPECT_EQ(button.state(), SuperBtn::State::kDisabled);
  EXPECT_TRUE(driver().ShowsTextIn(button, Rgb(255, 255, 0)));
  EXPECT_FALSE(driver().ShowsTextIn(button, System(SystemColor::kGrayText)));
  EXPECT_FALSE(driver().ShowsTextIn(button, Rgb(255, 255, 255)));
}

// A three-dimensional button shows the focus as a push button does; the flag
// decides only for the other looks (the go-to-today button shows none).
TEST_F(SuperBtnTest, AThreeDimensionalButtonShowsTheFocusWhateverTheFlag) {
  auto& other = window_.Add<SuperBtn>(nullptr, "other", Rect{0, 0, 20, 20});
  auto& edit = window_.Add<SuperBtn>(nullptr, "edit", Rect{98, 14, 80, 60});
  edit.SetProperty(SuperBtn::kStyle, 1);
  edit.SetProperty(SuperBtn::kDrawFocus, false);
  SuperBtn& today = AddTodayButton();
  Show(window_);
  other.SetFocus();
  Settle();
  // The focus rectangle starts inside the edge; its dots fall on every other
  // pixel, from a start that is the system's.
  const Point corner{3, 3}, beside{4, 3};
  const Color unfocused = driver().PixelAt(edit, corner), unfocused_beside = driver().PixelAt(edit, beside);
  edit.SetFocus();
  Settle();
  EXPECT_TRUE(driver().PixelAt(edit, corner) != unfocused || driver().PixelAt(edit, beside) != unfocused_beside);
  const Color today_unfocused = driver().PixelAt(today, {2, 2});
  today.SetFocus();
  Settle();
  EXPECT_EQ(driver().PixelAt(today, {2, 2}), today_unfocused);
}

// The button bar's look: black captions in every state, disabled ones too;
// only a button in the system's colour scheme greys its caption.
TEST_F(SuperBtnTest, ADisabledCaptionKeepsItsColourUnlessTheSystemSchemeIsUsed) {
  auto& save = window_.Add<SuperBtn>(nullptr, "save", Rect{98, 14, 80, 60}, ControlFlags{.disabled = true});
  save.SetProperty(SuperBtn::kStyle, 1);
  save.SetProperty(SuperBtn::kNormalText, Rgb(0, 0, 0));
  save.SetProperty(SuperBtn::kLitText, Rgb(0, 0, 0));
  save.SetProperty(SuperBtn::kFocusText, Rgb(0, 0, 0));
  save.SetProperty(SuperBtn::kLitBackground, Rgb(255, 255, 128));
  save.SetCaption(Gbk("\r\n&S"));
  auto& spare = window_.Add<SuperBtn>(nullptr, "spare", Rect{200, 14, 60, 60}, ControlFlags{.disabled = true});
  spare.SetProperty(SuperBtn::kStyle, 1);
  spare.SetProperty(SuperBtn::kUseDefaultColors, true);
  spare.SetProperty(SuperBtn::kNormalText, Rgb(0, 0, 0));  // ignored in the system's scheme
  spare.SetCaption(Gbk("备用"));
  Show(window_);
  ASSERT_EQ(save.state(), SuperBtn::State::kDisabled);
  EXPECT_TRUE(driver().ShowsTextIn(save, Rgb(0, 0, 0)));
  EXPECT_EQ(driver().PixelAt(save, {40, 8}), System(SystemColor::kButtonFace)) << "no lit background";
  EXPECT_TRUE(driver().ShowsTextIn(spare, System(SystemColor::kGrayText)));
  save.SetDisabled(false);
  Settle();
  EXPECT_TRUE(driver().ShowsTextIn(save, Rgb(0, 0, 0)));
}

// The export buttons: a 48 x 48 picture above a caption of one empty line.
// The empty line takes no room, so the picture keeps its size, centred.
TEST_F(SuperBtnTest, ACaptionOfLineBreaksAloneLeavesThePictureItsSize) {
  auto& button = window_.Add<SuperBtn>(nullptr, "export", Rect{9, 14, 60, 60});
  button.SetProperty(SuperBtn::kStyle, 1);
  button.SetProperty(SuperBtn::kPlacement, static_cast<int>(SuperBtn::Placement::kImageAbove));
  auto red = std::make_shared<Image>(48, 48, Pixel{255, 0, 0, 255});
  red->at(0, 0) = Pixel{0, 0, 255, 255};  // the default transparent colour is the top-left pixel
  button.SetProperty(SuperBtn::kNormalPicture, Picture(red));
  button.SetProperty(SuperBtn::kNormalTransparent, Rgb(0, 255, 0));
  button.SetCaption("\r\n");
  Show(window_);
  // Inside the two-pixel edge 56 x 56 are left; the picture spans 6..53.
  for (Point corner : {Point{7, 7}, Point{52, 7}, Point{7, 52}, Point{52, 52}, Point{30, 30}}) {
    EXPECT_EQ(driver().PixelAt(button, corner), Rgb(255, 0, 0)) << corner.x << "," << corner.y;
  }
  EXPECT_EQ(driver().PixelAt(button, {4, 30}), System(SystemColor::kButtonFace));
  EXPECT_EQ(driver().PixelAt(button, {30, 55}), System(SystemColor::kButtonFace));

  // A caption that shows text still makes room for itself below the picture.
  button.SetCaption("\r\nX");
  Settle();
  EXPECT_NE(driver().PixelAt(button, {30, 52}), Rgb(255, 0, 0));
  EXPECT_EQ(driver().PixelAt(button, {30, 10}), Rgb(255, 0, 0));
}

TEST_F(SuperBtnTest, DefaultColoursAndTheThreeDimensionalLook) {
  auto& button = window_.Add<SuperBtn>(nullptr, "spare", Rect{0, 0, 60, 60});
  button.SetProperty(SuperBtn::kStyle, 1);
  button.SetProperty(SuperBtn::kUseDefaultColors, true);
  button.SetProperty(SuperBtn::kLitBackground, Rgb(255, 0, 0));  // ignored with the default colours
  button.SetCaption(Gbk("备用"));
  Show(window_);
  Hover(button);
  EXPECT_EQ(driver().PixelAt(button, {5, 30}), System(SystemColor::kButtonFace));
  EXPECT_TRUE(driver().ShowsTextIn(button, System(SystemColor::kButtonText)));
  // Raised edge: light outside top left, highlight inside it; dark shadow
  // outside bottom right, shadow inside it.
  EXPECT_EQ(driver().PixelAt(button, {0, 0}), System(SystemColor::kButtonLight));
  EXPECT_EQ(driver().PixelAt(button, {1, 1}), System(SystemColor::kButtonHighlight));
  EXPECT_EQ(driver().PixelAt(button, {59, 59}), System(SystemColor::kButtonDarkShadow));
  EXPECT_EQ(driver().PixelAt(button, {58, 58}), System(SystemColor::kButtonShadow));
  driver().PressButton(window_, InWindow(button, {30, 30}), MouseButton::kLeft);
  EXPECT_TRUE(button.pressed());
  EXPECT_EQ(driver().PixelAt(button, {0, 0}), System(SystemColor::kButtonShadow));  // sunken while held
  driver().ReleaseButton(window_, InWindow(button, {30, 30}), MouseButton::kLeft);
}

TEST_F(SuperBtnTest, ClickedOnlyWhenEnabledByMouseSpaceOrMnemonic) {
  auto& frame = window_.Add<GroupBox>(nullptr, "frame", Rect{0, 464, 366, 80});
  auto& edit = window_.Add<SuperBtn>(&frame, "edit", Rect{8, 14, 80, 60});
  edit.SetCaption(Gbk("\r\n&W"));
  int clicks = 0;
  edit.SetHandler(SuperBtn::kClicked, [&](const EventArgs&) { ++clicks; return true; });
  Show(window_);
  Click(edit, {40, 30});
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(edit.HasFocus());
  driver().PressKey(keys::kSpace);
  EXPECT_EQ(clicks, 2);
  driver().KeyDown('W', kKeyStateAlt);
  EXPECT_EQ(clicks, 3);

  driver().PressButton(window_, InWindow(edit, {40, 30}), MouseButton::kLeft);
  driver().ReleaseButton(window_, InWindow(edit, {100, 30}), MouseButton::kLeft);
  EXPECT_EQ(clicks, 3);  // released outside

  edit.SetDisabled(true);
  Click(edit, {40, 30});
  driver().PressKey(keys::kSpace);
  driver().KeyDown('W', kKeyStateAlt);
  EXPECT_EQ(clicks, 3);
  edit.SetDisabled(false);
  frame.SetDisabled(true);  // a disabled frame disables what it holds
  driver().KeyDown('W', kKeyStateAlt);
  Click(edit, {40, 30});
  EXPECT_EQ(clicks, 3);
}

TEST_F(SuperBtnTest, ALeftPressAnsweredFalseKeepsTheButtonFromClicking) {
  auto& button = window_.Add<SuperBtn>(nullptr, "b", Rect{0, 0, 40, 40});
  int clicks = 0;
  button.SetHandler(SuperBtn::kClicked, [&](const EventArgs&) { ++clicks; return true; });
  button.SetHandler(event::kLeftButtonDown, [&](const EventArgs&) { return false; });
  Show(window_);
  Click(button);
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(button.pressed());
}

TEST_F(SuperBtnTest, PropertiesCheckTheirTypesAndReachWhatIsShown) {
  auto& button = window_.Add<SuperBtn>(nullptr, "b", Rect{0, 0, 40, 40});
  EXPECT_FALSE(button.SetProperty(SuperBtn::kCaption, 5));
  EXPECT_FALSE(button.SetProperty(SuperBtn::kNormalText, std::string("red")));
  EXPECT_FALSE(button.SetProperty(99, 1));
  EXPECT_TRUE(button.SetProperty(SuperBtn::kToolTip, Gbk("编辑当前日期的备忘")));
  Show(window_);
  EXPECT_EQ(driver().ToolTip(button), Gbk("编辑当前日期的备忘"));
  EXPECT_TRUE(button.SetProperty(property::kDisabled, true));
  EXPECT_EQ(std::get<bool>(button.GetProperty(property::kDisabled)), true);
  EXPECT_TRUE(button.SetProperty(property::kLeft, 7));
  EXPECT_EQ(driver().ControlAt(window_, {8, 20}), &button);
  EXPECT_EQ(driver().ControlAt(window_, {5, 20}), nullptr);
}

}  // namespace
}  // namespace tarnwick
