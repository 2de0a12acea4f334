#include "ui/rich_edit.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/headless_ui.h"

namespace tarnwick {
namespace {

class RichEditTest : public testing::HeadlessUiTest {
 protected:
  RichEditTest() : window_(platform_, "main", testing::HeadlessUiTest::LargeWindow()), edit_(window_.Add<RichEdit>(nullptr, "memo", Rect{0, 264, 365, 200})) {}
  Window window_;
  RichEdit& edit_;
};

TEST_F(RichEditTest, MinusOneLengthSelectsToTheEndFromTheStart) {
  edit_.SetProperty(RichEdit::kContent, Gbk("今天下雨") + "\r\nok");
  EXPECT_TRUE(edit_.SetProperty(RichEdit::kSelectionStart, 0));
  EXPECT_TRUE(edit_.SetProperty(RichEdit::kSelectionLength, -1));
  EXPECT_EQ(std::get<int>(edit_.GetProperty(RichEdit::kSelectionLength)), 12);
  EXPECT_EQ(std::get<std::string>(edit_.GetProperty(RichEdit::kSelectedText)), Gbk("今天下雨") + "\r\nok");
  edit_.SetProperty(RichEdit::kSelectionStart, 4);  // collapses there
  EXPECT_EQ(edit_.selection_length(), 0);
  EXPECT_EQ(edit_.selection_start(), 4);
  edit_.SetProperty(RichEdit::kSelectionLength, -1);
  EXPECT_EQ(std::get<std::string>(edit_.GetProperty(RichEdit::kSelectedText)), Gbk("下雨") + "\r\nok");

  edit_.SetContent("");
  edit_.SetProperty(RichEdit::kSelectionStart, 0);
  edit_.SetProperty(RichEdit::kSelectionLength, -1);
  EXPECT_EQ(edit_.selection_length(), 0);
}

TEST_F(RichEditTest, ClipboardOperationsRespectReadOnly) {
  edit_.SetContent(Gbk("甲乙丙"));
  edit_.SetReadOnly(true);
  EXPECT_EQ(std::get<bool>(edit_.GetProperty(RichEdit::kReadOnly)), true);
  edit_.Select(2, 2);
  edit_.Copy();
  EXPECT_EQ(shell().ClipboardText(), Gbk("乙"));
  edit_.Cut();
  edit_.DeleteSelection();
  edit_.Paste();
  EXPECT_EQ(edit_.content(), Gbk("甲乙丙"));

  edit_.SetProperty(RichEdit::kReadOnly, false);
  edit_.Select(0, 2);
  edit_.Cut();
  EXPECT_EQ(edit_.content(), Gbk("乙丙"));
  EXPECT_EQ(shell().ClipboardText(), Gbk("甲"));
  edit_.Select(4, 0);
  edit_.Paste();
  EXPECT_EQ(edit_.content(), Gbk("乙丙甲"));
  edit_.Select(0, 2);
  edit_.DeleteSelection();
  EXPECT_EQ(edit_.content(), Gbk("丙甲"));
  EXPECT_EQ(shell().ClipboardText(), Gbk("甲"));
  EXPECT_TRUE(std::get<bool>(edit_.GetProperty(RichEdit::kModified)));
}

TEST_F(RichEditTest, RightPressHandlerAnsweringFalseSuppressesTheEditorsOwn) {
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

TEST_F(RichEditTest, DesignPropertiesReachTheNativeEditor) {
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

}  // namespace
}  // namespace tarnwick
