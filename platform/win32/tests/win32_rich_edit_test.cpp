#include "platform/win32/tests/win32_test_support.h"

#include <richedit.h>

namespace tarnwick::win32::testing {
namespace {

class RichEditTest : public Win32WindowTest {
 protected:
  void SetUp() override {
    Win32WindowTest::SetUp();
    if (IsSkipped()) return;
    edit_ = windows_->CreateRichEdit(*window_, {0, 264, 365, 200}, listener_);
    ASSERT_NE(edit_, nullptr);
  }
  void TearDown() override { edit_.reset(); }

  void Type(wchar_t character) { SendMessageW(Handle(*edit_), WM_CHAR, character, 1); }
  // Enter as the keyboard gives it: the key, then its character.
  void PressEnter() {
    SendMessageW(Handle(*edit_), WM_KEYDOWN, VK_RETURN, 1);
    SendMessageW(Handle(*edit_), WM_CHAR, L'\r', 1);
    SendMessageW(Handle(*edit_), WM_KEYUP, VK_RETURN, 1);
  }

  Recorder listener_;
  std::unique_ptr<NativeRichEdit> edit_;
};

// Line breaks of every kind read back as CR LF, and a memo longer than the
// control's own default limit of 32,767 characters is taken whole.
TEST_F(RichEditTest, TextReadsBackWithCrLfWhateverItsLength) {
  edit_->SetText(Gbk("第一行\r\n第二行\nthird\rfourth"));
  EXPECT_EQ(edit_->Text(), Gbk("第一行\r\n第二行\r\nthird\r\nfourth"));
  EXPECT_FALSE(edit_->IsModified());
  EXPECT_EQ(edit_->SelectionStart(), 0);
  EXPECT_EQ(edit_->SelectionLength(), 0);
  EXPECT_EQ(listener_.trace, "");
  std::string long_memo;
  while (long_memo.size() < 40000) long_memo += Gbk("一天的备忘 a memo line\r\n");
  edit_->SetText(long_memo);
  EXPECT_EQ(edit_->Text().size(), long_memo.size());
}

TEST_F(RichEditTest, DialogNavigationLeavesEnterToTheEditorAndNeverClosesTheWindow) {
  Recorder next_listener;
  auto next = windows_->CreateButton(*window_, {0, 0, 80, 20}, next_listener);
  edit_->SetText(Gbk("备忘"));
  edit_->SetFocus();
  edit_->SetSelection(4, 0);
  HWND root = Handle(*window_);
  auto key = [&](UINT message, WPARAM code) {
    MSG queued{};
    queued.hwnd = GetFocus();
    queued.message = message;
    queued.wParam = code;
    queued.lParam = 1;
    // As the loop handles input: the window's dialog navigation first.
    if (!IsDialogMessageW(root, &queued)) {
      TranslateMessage(&queued);
      DispatchMessageW(&queued);
    }
  };
  key(WM_KEYDOWN, VK_RETURN);
  key(WM_CHAR, L'\r');
  key(WM_KEYUP, VK_RETURN);
  EXPECT_EQ(edit_->Text(), Gbk("备忘\r\n"));
  key(WM_KEYDOWN, VK_ESCAPE);
  key(WM_CHAR, 0x1B);
  key(WM_KEYUP, VK_ESCAPE);
  Pump();
  EXPECT_EQ(window_listener_.trace.find("close"), std::string::npos) << window_listener_.trace;
  EXPECT_EQ(edit_->Text(), Gbk("备忘\r\n"));
  EXPECT_EQ(edit_->SelectionLength(), 0);
  // Tab leaves the editor for the next control, inserting nothing.
  key(WM_KEYDOWN, VK_TAB);
  key(WM_CHAR, L'\t');
  key(WM_KEYUP, VK_TAB);
  EXPECT_FALSE(edit_->HasFocus());
  EXPECT_EQ(edit_->Text(), Gbk("备忘\r\n"));
}

TEST_F(RichEditTest, RightPressAnsweredFalseNeverReachesTheEditor) {
  edit_->SetText("abcdef");
  edit_->SetSelection(1, 3);
  listener_.mouse_answer = false;
  SendMessageW(Handle(*edit_), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(Handle(*edit_), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  // The editor did not see the press: the selection is as it was.
  EXPECT_EQ(edit_->SelectionStart(), 1);
  EXPECT_EQ(edit_->SelectionLength(), 3);
  EXPECT_EQ(listener_.trace, "pressL(2,2) releaseL(2,2) ");
}

}  // namespace
}  // namespace tarnwick::win32::testing
