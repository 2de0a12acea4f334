#include "ui/rich_edit.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/ui_driver.h"

namespace tarnwick {
namespace {

class RichEditTest : public testing::UiTest {
 protected:
  RichEditTest() : window_(platform(), "main", LargeWindow()), edit_(window_.Add<RichEdit>(nullptr, "memo", Rect{0, 264, 365, 200})) {}
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
  EXPECT_EQ(platform().shell().ClipboardText(), Gbk("乙"));
  edit_.Cut();
  edit_.DeleteSelection();
  edit_.Paste();
  EXPECT_EQ(edit_.content(), Gbk("甲乙丙"));

  edit_.SetProperty(RichEdit::kReadOnly, false);
  edit_.Select(0, 2);
  edit_.Cut();
  EXPECT_EQ(edit_.content(), Gbk("乙丙"));
  EXPECT_EQ(platform().shell().ClipboardText(), Gbk("甲"));
  edit_.Select(4, 0);
  edit_.Paste();
  EXPECT_EQ(edit_.content(), Gbk("乙丙甲"));
  edit_.Select(0, 2);
  edit_.DeleteSelection();
  EXPECT_EQ(edit_.content(), Gbk("丙甲"));
  EXPECT_EQ(platform().shell().ClipboardText(), Gbk("甲"));
  EXPECT_TRUE(std::get<bool>(edit_.GetProperty(RichEdit::kModified)));
}

TEST_F(RichEditTest, RightPressHandlerGetsItsArgumentsAndReadOnlyRefusesTyping) {
  // Without a border the editor's client area is its whole rectangle on
  // every system, so the press lands where the arguments say.
  edit_.SetProperty(RichEdit::kBorder, 0);
  edit_.SetProperty(RichEdit::kReadOnly, true);
  Show(window_);
  std::vector<int> arguments;
  edit_.SetHandler(event::kRightButtonDown, [&](const EventArgs& args) {
    arguments = {ArgInt(args, 0), ArgInt(args, 1), ArgInt(args, 2)};
    return false;
  });
  Click(edit_, {30, 40}, MouseButton::kRight, kKeyStateCtrl);
  EXPECT_EQ(arguments, (std::vector<int>{30, 40, kKeyStateCtrl}));
  edit_.SetFocus();
  driver().TypeText("x");
  EXPECT_EQ(edit_.content(), "");  // read-only: typing changes nothing
  edit_.SetReadOnly(false);
  driver().TypeText(Gbk("雨") + "x");
  EXPECT_EQ(edit_.content(), Gbk("雨") + "x");
}

}  // namespace
}  // namespace tarnwick
