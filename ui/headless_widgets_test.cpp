// The headless backend's own inspection aids on the widgets: the recording
// canvas's drawing calls, the native controls' recorded settings, scripted
// dialogs (the file dialog), recorded shell requests and the test clock. What a user sees and
// does is tested on every backend by the widgets' own tests.
#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/headless_ui.h"
#include "testing/sample_widgets.h"
#include "ui/button.h"
#include "ui/check_box.h"
#include "ui/common_dlg.h"
#include "ui/edit_box.h"
#include "ui/group_box.h"
#include "ui/hyper_linker.h"
#include "ui/label.h"
#include "ui/list_box.h"
#include "ui/pic_box.h"
#include "ui/rich_edit.h"
#include "ui/super_btn.h"
#include "ui/timer.h"
#include "ui/window.h"

namespace tarnwick {
namespace {

class HeadlessControlTest : public testing::HeadlessUiTest {
 protected:
  HeadlessControlTest() : window_(platform_, "main", LargeWindow()) {}
  Window window_;
};

TEST_F(HeadlessControlTest, CommonPropertiesCheckTypesAndReachTheNativeControl) {
  auto& edit = window_.Add<EditBox>(nullptr, "edit", Rect{7, 20, 95, 20});
  EXPECT_FALSE(edit.SetProperty(property::kLeft, std::string("1")));
  EXPECT_FALSE(edit.SetProperty(property::kVisible, 1));
  EXPECT_TRUE(edit.SetProperty(property::kWidth, 120));
  EXPECT_TRUE(edit.SetProperty(property::kTag, std::string("t")));
  EXPECT_TRUE(edit.SetProperty(property::kVisible, false));
  EXPECT_EQ(NodeOf(edit)->rect(), (Rect{7, 20, 120, 20}));
  EXPECT_FALSE(NodeOf(edit)->visible_flag());
  EXPECT_EQ(std::get<std::string>(edit.GetProperty(property::kTag)), "t");
  EXPECT_EQ(std::get<int>(edit.GetProperty(property::kCursor)), 0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(edit.GetProperty(42)));
  edit.SetHandler(0, [](const EventArgs&) { return true; });
  EXPECT_TRUE(edit.HasHandler(0));
  edit.SetHandler(0, nullptr);
  EXPECT_FALSE(edit.HasHandler(0));
}


class HeadlessSuperBtnTest : public testing::HeadlessUiTest {
 protected:
  HeadlessSuperBtnTest() : window_(platform_, "main", testing::MainSizedWindowDesign()) {}

  SuperBtn& AddTodayButton() { return testing::AddTodayStyleButton(window_); }

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

// One caption call per paint, in the state's colour, with mnemonic
// processing, and no focus rectangle (the colours as seen: super_btn_test).
TEST_F(HeadlessSuperBtnTest, OneCaptionCallPerStateAndNoFocusRectangle) {
  SuperBtn& button = AddTodayButton();
  auto& other = window_.Add<SuperBtn>(nullptr, "other", Rect{0, 0, 20, 20});
  window_.Load();
  Settle();
  HeadlessSurface& surface = SurfaceOf(button);
  EXPECT_EQ(CaptionColor(button), Rgb(255, 255, 0));
  auto texts = [&] {
    for (const DrawOp& op : surface.last_paint_ops()) {
      if (op.kind == DrawOp::Kind::kText) return op;
    }
    return DrawOp{};
  }();
  EXPECT_EQ(texts.text, Gbk("转到今日"));
  EXPECT_TRUE(texts.flags & text_flags::kMnemonic);

  Hover(button, {10, 5});
  EXPECT_EQ(CaptionColor(button), Rgb(0, 0, 0));
  Click(button, {10, 5});
  Hover(other);
  EXPECT_EQ(button.state(), SuperBtn::State::kFocused);
  EXPECT_EQ(CaptionColor(button), Rgb(255, 255, 255));
  for (const DrawOp& op : surface.last_paint_ops()) EXPECT_NE(op.kind, DrawOp::Kind::kFocusRect);
  button.SetDisabled(true);
  Settle();
  EXPECT_EQ(CaptionColor(button), Rgb(255, 255, 0)) << "disabled, in its normal caption colour";
}




TEST_F(HeadlessSuperBtnTest, PicturesPerStateAndTheGeneratedDisabledImage) {
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

class HeadlessListBoxTest : public testing::HeadlessUiTest {
 protected:
  HeadlessListBoxTest() : window_(platform_, "main", testing::HeadlessUiTest::LargeWindow()) {}
  Window window_;
};



TEST_F(HeadlessListBoxTest, DesignPropertiesReachTheNativeList) {
  auto& list = window_.Add<ListBox>(nullptr, "list", Rect{0, 0, 131, 438});
  list.SetProperty(ListBox::kTextColor, Rgb(0, 0, 0));
  list.SetProperty(ListBox::kBackground, Rgb(128, 255, 128));
  list.SetProperty(ListBox::kItemSpacing, 40000);
  auto& native = static_cast<HeadlessListBox&>(*list.native());
  EXPECT_EQ(native.background(), Rgb(128, 255, 128));
  EXPECT_EQ(native.spacing(), 32767);
  EXPECT_EQ(native.border(), ControlBorder::kSunken);
  EXPECT_FALSE(list.SetProperty(ListBox::kBackground, 3));
  EXPECT_TRUE(list.SetProperty(ListBox::kBackground, Value()));
  EXPECT_EQ(native.background(), Rgb(255, 255, 255));
}


class HeadlessRichEditTest : public testing::HeadlessUiTest {
 protected:
  HeadlessRichEditTest() : window_(platform_, "main", testing::HeadlessUiTest::LargeWindow()), edit_(window_.Add<RichEdit>(nullptr, "memo", Rect{0, 264, 365, 200})) {}
  Window window_;
  RichEdit& edit_;
};



TEST_F(HeadlessRichEditTest, RightPressHandlerAnsweringFalseSuppressesTheEditorsOwn) {
  window_.Load();
  auto& native = static_cast<HeadlessRichEdit&>(*edit_.native());
  std::vector<int> arguments;
  edit_.SetHandler(event::kRightButtonDown, [&](const EventArgs& args) {
    arguments = {ArgInt(args, 0), ArgInt(args, 1), ArgInt(args, 2)};
    return false;
  });
  Click(edit_, {30, 40}, MouseButton::kRight, kKeyStateCtrl);
  EXPECT_EQ(arguments, (std::vector<int>{30, 40, kKeyStateCtrl}));
  EXPECT_EQ(native.own_right_clicks(), 0);
  edit_.SetHandler(event::kRightButtonDown, [](const EventArgs&) { return true; });
  Click(edit_, {30, 40}, MouseButton::kRight);
  EXPECT_EQ(native.own_right_clicks(), 1);
}

TEST_F(HeadlessRichEditTest, DesignPropertiesReachTheNativeEditor) {
  edit_.SetProperty(RichEdit::kBackground, Rgb(255, 255, 128));
  edit_.SetProperty(RichEdit::kReadOnly, true);
  edit_.SetProperty(RichEdit::kHideSelection, true);
  EXPECT_FALSE(edit_.SetProperty(RichEdit::kMaxLength, -5));
  auto& native = static_cast<HeadlessRichEdit&>(*edit_.native());
  EXPECT_EQ(native.background(), Rgb(255, 255, 128));
  EXPECT_TRUE(native.IsReadOnly());
  EXPECT_TRUE(native.word_wrap());
  EXPECT_EQ(native.border(), ControlBorder::kSunken);
  window_.Load();
  edit_.SetFocus();
  windows().TypeText("x");
  EXPECT_EQ(edit_.content(), "");  // read-only: typing changes nothing
}


class HeadlessLabelTest : public testing::HeadlessUiTest {
 protected:
  HeadlessLabelTest() : window_(platform_, "main", LargeWindow()) {}

  static std::vector<DrawOp> Texts(const Control& control) {
    std::vector<DrawOp> texts;
    for (const DrawOp& op : SurfaceOf(control).last_paint_ops()) {
      if (op.kind == DrawOp::Kind::kText) texts.push_back(op);
    }
    return texts;
  }

  Window window_;
};

TEST_F(HeadlessLabelTest, StatusLineDrawsOneCentredLineOnItsColoursWithTheBorder) {
  Label& status = testing::AddStatusStyleLabel(window_, Gbk("A&B|当前数据库内共有3条记录"));
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

TEST_F(HeadlessLabelTest, DefaultsEffectsWrapAndDoubleClick) {
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

TEST_F(HeadlessLabelTest, BackgroundPictureIsStretchedOverTheLabel) {
  auto line = std::make_shared<Image>(415, 7, Pixel{10, 20, 30, 255});
  auto& separator = window_.Add<Label>(nullptr, "line", Rect{8, 48, 128, 4});
  separator.SetProperty(Label::kPicture, Picture(line));
  window_.Load();
  Settle();
  EXPECT_EQ(SurfaceOf(separator).PixelAt(127, 3), Rgb(10, 20, 30));
  EXPECT_TRUE(Texts(separator).empty());
}

TEST_F(HeadlessLabelTest, PictureBoxFitsItsPictureKeepingProportions) {
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


class HeadlessComponentsTest : public testing::HeadlessUiTest {
 protected:
  HeadlessComponentsTest() : window_(platform_, "main", LargeWindow()) {}
  Window window_;
};

TEST_F(HeadlessComponentsTest, GroupBoxCaptionAndEditColoursReachTheNativeControls) {
  auto& frame = window_.Add<GroupBox>(nullptr, "frame", Rect{512, 2, 144, 462});
  frame.SetCaption(Gbk("请输入搜索关键词："));
  auto& keyword = window_.Add<EditBox>(&frame, "keyword", Rect{7, 20, 95, 20});
  keyword.SetProperty(EditBox::kTextColor, Rgb(255, 255, 255));
  keyword.SetProperty(EditBox::kBackground, Rgb(0, 0, 128));
  window_.Load();
  EXPECT_EQ(static_cast<HeadlessGroupFrame&>(*frame.native()).caption(), Gbk("请输入搜索关键词："));
  auto& native = static_cast<HeadlessEdit&>(*keyword.native());
  EXPECT_EQ(native.background(), Rgb(0, 0, 128));
  EXPECT_EQ(native.text_color(), Rgb(255, 255, 255));
}

TEST_F(HeadlessComponentsTest, HyperlinkOpensItsTargetWithTheShellOrTheHtmlProgram) {
  auto& mail = window_.Add<HyperLinker>(nullptr, "mail", Rect{144, 56, 88, 24});
  mail.SetProperty(HyperLinker::kCaption, Gbk("我的电子信箱"));
  mail.SetProperty(HyperLinker::kLinkKind, 0);
  window_.Load();
  Click(mail);  // empty address: nothing at all
  EXPECT_TRUE(shell().shell_opened().empty());

  mail.SetProperty(HyperLinker::kMailAddress, std::string("memo@tarnwick.invalid"));
  Click(mail);
  ASSERT_EQ(shell().shell_opened().size(), 1u);
  EXPECT_EQ(shell().shell_opened()[0], "mailto:memo@tarnwick.invalid");
  EXPECT_EQ(mail.CurrentColor(), Rgb(128, 0, 0));  // opened once: the second colour

  auto& web = window_.Add<HyperLinker>(nullptr, "web", Rect{144, 24, 112, 24});
  web.SetProperty(HyperLinker::kWebAddress, std::string("http://tarnwick.invalid/"));
  EXPECT_EQ(web.CurrentColor(), Rgb(0, 0, 255));
  shell().SetShellOpenSucceeds(false);
  shell().SetHtmlOpenCommand("\"C:\\browser.exe\" -nohome \"%1\" -x");
  EXPECT_TRUE(web.Open());
  ASSERT_EQ(shell().command_lines().size(), 1u);
  EXPECT_EQ(shell().command_lines()[0], "\"C:\\browser.exe\" -nohome  http://tarnwick.invalid/");

  EXPECT_EQ(HtmlFallbackCommandLine("browser %1", "t"), "browser  t");
  EXPECT_EQ(HtmlFallbackCommandLine("browser", "t"), "browser t");
  shell().SetHtmlOpenCommand("");
  EXPECT_FALSE(web.Open());
}

TEST_F(HeadlessComponentsTest, TimerRunsFromCreationUntilTheWindowCloses) {
  auto& timer = window_.Add<Timer>(nullptr, "align", Rect{248, 288, 26, 26});
  timer.SetProperty(Timer::kInterval, 200);
  int ticks = 0;
  timer.SetHandler(Timer::kTick, [&](const EventArgs&) {
    ++ticks;
    loop().Sleep(500);  // a slow handler: ticks must not pile up
    return true;
  });
  loop().AdvanceTime(1000);
  EXPECT_EQ(ticks, 0);  // not before the window is created
  window_.Load();
  loop().AdvanceTime(200);
  EXPECT_EQ(ticks, 1);
  loop().AdvanceTime(200);
  EXPECT_EQ(ticks, 2);  // once, though 700 ms passed since the last tick
  timer.SetProperty(Timer::kInterval, 0);
  loop().AdvanceTime(1000);
  EXPECT_EQ(ticks, 2);
  timer.SetInterval(100);
  loop().AdvanceTime(100);
  EXPECT_EQ(ticks, 3);
  window_.Close();
  loop().AdvanceTime(1000);
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(timer.running());
}

TEST_F(HeadlessComponentsTest, SaveDialogWithFilterAndDefaultExtension) {
  auto& dialog = window_.Add<CommonDlg>(nullptr, "dialog", Rect{104, 432, 26, 26});
  dialog.SetProperty(CommonDlg::kKind, 1);
  dialog.SetProperty(CommonDlg::kFilter, Gbk("文本文件(*.txt)|*.txt"));
  dialog.SetProperty(CommonDlg::kDefaultExtension, std::string("txt"));
  dialogs().ExpectFileDialog(std::string("/tmp/export"));
  dialogs().ExpectFileDialog(std::nullopt);
  EXPECT_TRUE(dialog.Show());
  EXPECT_EQ(std::get<std::string>(dialog.GetProperty(CommonDlg::kFileName)), "/tmp/export.txt");
  const auto& request = dialogs().shown()[0].file_request;
  EXPECT_EQ(request.kind, FileDialogKind::kSave);
  EXPECT_EQ(request.filter, Gbk("文本文件(*.txt)|*.txt"));
  EXPECT_FALSE(dialog.Show());
  EXPECT_EQ(dialog.file_name(), "/tmp/export.txt");  // kept when cancelled
  dialog.SetProperty(CommonDlg::kKind, 2);
  EXPECT_FALSE(dialog.Show());  // no colour dialog, and no dialog shown
  EXPECT_EQ(dialogs().shown().size(), 2u);
}




class HeadlessWindowTest : public ::testing::Test {
 protected:
  HeadlessWindowTest() {
    design_.caption = Gbk("Tarnwick V2.8 beta  ");
    design_.rect = {50, 50, 371, 596};
    design_.start_position = 1;
    design_.ends_program_on_close = true;
  }
  HeadlessWindow& native(Window& window) { return static_cast<HeadlessWindow&>(window.native_window()); }

  HeadlessPlatform platform_;
  WindowDesign design_;
};


TEST_F(HeadlessWindowTest, QueryCloseAnsweringFalseKeepsTheWindowAndTheProgram) {
  Window window(platform_, "main", design_);
  window.Load();
  bool allow = false;
  window.SetHandler(Window::kQueryClose, [&](const EventArgs&) { return allow; });
  platform_.headless_windows().RequestClose(native(window));
  EXPECT_FALSE(window.closed());
  EXPECT_TRUE(window.native_window().IsVisible());
  EXPECT_FALSE(platform_.headless_loop().quit_code());
  allow = true;
  EXPECT_TRUE(window.Close());
  EXPECT_FALSE(window.native_window().IsVisible());
  EXPECT_EQ(platform_.headless_loop().quit_code(), 0);
}

TEST_F(HeadlessWindowTest, RunTimePropertiesAndWindowOrder) {
  Window window(platform_, "main", design_);
  window.Load();
  EXPECT_EQ(std::get<std::string>(window.GetProperty(Window::kCaption)), Gbk("Tarnwick V2.8 beta  "));
  EXPECT_TRUE(window.SetProperty(property::kWidth, 664));
  EXPECT_EQ(window.outer_rect(), (Rect{454, 214, 664, 596}));  // left and top kept
  EXPECT_EQ(window.ClientSize(), (Size{658, 568}));
  EXPECT_FALSE(window.SetProperty(property::kHeight, std::string("x")));
  native(window).SetOuterRect({30, -20, 664, 596});  // the user drags it
  EXPECT_EQ(std::get<int>(window.GetProperty(property::kTop)), -20);
  EXPECT_EQ(window.top(), -20);
  EXPECT_TRUE(window.SetProperty(property::kVisible, false));
  EXPECT_FALSE(window.native_window().IsVisible());

  WindowDesign strip_design;
  strip_design.rect = {50, 0, 370, 2};
  strip_design.border_style = 0;
  strip_design.control_box = false;
  strip_design.visible = false;
  strip_design.takes_activation = false;
  Window strip(platform_, "DockStrip", strip_design);
  std::string trace;
  strip.SetHandler(Window::kActivated, [&](const EventArgs&) { trace += "activated "; return true; });
  strip.Load();
  EXPECT_FALSE(strip.native_window().IsVisible());
  strip.SetVisible(true);
  strip.SetWindowOrder(WindowOrder::kAlwaysOnTop);
  EXPECT_EQ(trace, "");
  EXPECT_EQ(platform_.headless_windows().ZOrder().front(), &native(strip));
  EXPECT_EQ(strip.rect(), (Rect{50, 0, 370, 2}));
}

TEST_F(HeadlessWindowTest, DeactivationAndClientMouseEventsWithTheirArguments) {
  Window window(platform_, "main", design_);
  std::string trace;
  window.SetHandler(Window::kDeactivated, [&](const EventArgs&) { trace += "deactivated "; return true; });
  window.SetHandler(event::kLeftButtonDown, [&](const EventArgs& args) {
    trace += "down(" + std::to_string(ArgInt(args, 0)) + "," + std::to_string(ArgInt(args, 1)) + "," +
             std::to_string(ArgInt(args, 2)) + ") ";
    return true;
  });
  window.Load();
  platform_.headless_windows().PressMouse(native(window), {7, 9}, MouseButton::kLeft, kKeyStateShift);
  platform_.headless_windows().ActivateOtherApplication();
  EXPECT_EQ(trace, "down(7,9,2) deactivated ");
  EXPECT_EQ(window.BoundEvents(), (std::vector<int>{event::kLeftButtonDown, Window::kDeactivated}));
}


}  // namespace
}  // namespace tarnwick
