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

TEST_F(RichEditTest, TextReadsBackWithCrLfWhateverLineBreaksWentIn) {
  edit_->SetText(Gbk("第一行\r\n第二行\nthird\rfourth"));
  EXPECT_EQ(edit_->Text(), Gbk("第一行\r\n第二行\r\nthird\r\nfourth"));
  EXPECT_FALSE(edit_->IsModified());
  EXPECT_EQ(edit_->SelectionStart(), 0);
  EXPECT_EQ(edit_->SelectionLength(), 0);
  EXPECT_EQ(listener_.trace, "");
  // Longer than the control's own default limit of 32,767 characters.
  std::string long_memo;
  while (long_memo.size() < 40000) long_memo += Gbk("一天的备忘 a memo line\r\n");
  edit_->SetText(long_memo);
  EXPECT_EQ(edit_->Text().size(), long_memo.size());
}

TEST_F(RichEditTest, SelectionsCountGbkBytesWithTwoPerLineBreak) {
  std::string text = Gbk("第一行\r\n第二行\r\nabc");
  edit_->SetText(text);
  edit_->SetSelection(0, -1);
  EXPECT_EQ(edit_->SelectionStart(), 0);
  EXPECT_EQ(edit_->SelectionLength(), static_cast<int>(text.size()));
  EXPECT_EQ(edit_->SelectedText(), text);

  edit_->SetSelection(6, 2);  // the first line break
  EXPECT_EQ(edit_->SelectionStart(), 6);
  EXPECT_EQ(edit_->SelectionLength(), 2);
  EXPECT_EQ(edit_->SelectedText(), "\r\n");

  // Inside the line break and inside 二: both move to their character's start.
  edit_->SetSelection(7, 4);
  EXPECT_EQ(edit_->SelectionStart(), 6);
  EXPECT_EQ(edit_->SelectionLength(), 4);
  EXPECT_EQ(edit_->SelectedText(), Gbk("\r\n第"));

  edit_->SetSelection(17, 1);  // "b", after two line breaks
  EXPECT_EQ(edit_->SelectedText(), "b");
  edit_->SetSelection(100, 5);  // clamped to the end: a caret there
  EXPECT_EQ(edit_->SelectionStart(), static_cast<int>(text.size()));
  EXPECT_EQ(edit_->SelectionLength(), 0);

  edit_->SetText("");
  edit_->SetSelection(0, -1);
  EXPECT_EQ(edit_->SelectionStart(), 0);
  EXPECT_EQ(edit_->SelectionLength(), 0);
  EXPECT_EQ(listener_.trace, "");
}

TEST_F(RichEditTest, ClipboardOperationsActAsTheUsersAndRespectReadOnly) {
  edit_->SetText(Gbk("abc中文"));
  edit_->SetSelection(3, 4);
  edit_->Copy();
  edit_->SetSelection(0, 0);
  edit_->Paste();
  EXPECT_EQ(edit_->Text(), Gbk("中文abc中文"));
  EXPECT_EQ(edit_->SelectionStart(), 4);
  EXPECT_TRUE(edit_->IsModified());
  EXPECT_NE(listener_.trace.find("changed"), std::string::npos);

  edit_->SetSelection(4, 3);
  edit_->Clear();
  EXPECT_EQ(edit_->Text(), Gbk("中文中文"));
  edit_->SetSelection(0, 2);
  edit_->Cut();
  EXPECT_EQ(edit_->Text(), Gbk("文中文"));

  edit_->SetText(Gbk("只读"));
  edit_->SetReadOnly(true);
  EXPECT_TRUE(edit_->IsReadOnly());
  listener_.trace.clear();
  edit_->SetSelection(0, 2);
  edit_->Cut();
  edit_->Clear();
  edit_->Paste();
  Type(L'x');
  EXPECT_EQ(edit_->Text(), Gbk("只读"));
  EXPECT_FALSE(edit_->IsModified());
  EXPECT_EQ(listener_.trace.find("changed"), std::string::npos);
  // Copying still works while read-only: the cut above did not happen, the
  // copy puts 只 on the clipboard.
  edit_->Copy();
  edit_->SetReadOnly(false);
  edit_->SetSelection(4, 0);
  edit_->Paste();
  EXPECT_EQ(edit_->Text(), Gbk("只读只"));
}

TEST_F(RichEditTest, TypingIsHeardAndSetTextIsNot) {
  edit_->SetText(Gbk("备忘"));
  edit_->SetFocus();
  edit_->SetSelection(4, 0);
  listener_.trace.clear();
  Type(L'!');
  EXPECT_EQ(edit_->Text(), Gbk("备忘!"));
  EXPECT_TRUE(edit_->IsModified());
  EXPECT_EQ(listener_.trace, "char21 changed ");
  PressEnter();
  EXPECT_EQ(edit_->Text(), Gbk("备忘!\r\n"));
  EXPECT_EQ(edit_->SelectionStart(), 7);

  // A single-line editor takes no line break from the keyboard.
  edit_->SetMultiLine(false);
  PressEnter();
  EXPECT_EQ(edit_->Text(), Gbk("备忘!\r\n"));

  listener_.trace.clear();
  edit_->SetText(Gbk("新的"));
  EXPECT_FALSE(edit_->IsModified());
  EXPECT_EQ(listener_.trace, "");
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

TEST_F(RichEditTest, MaximumLengthCountsBytesOfWhatTheUserInserts) {
  edit_->SetMaxLength(6);
  edit_->SetFocus();
  std::wstring pasted = Wide("中文ab中");
  SendMessageW(Handle(*edit_), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
  EXPECT_EQ(edit_->Text(), Gbk("中文ab"));
  EXPECT_EQ(edit_->SelectionStart(), 6);
  EXPECT_TRUE(edit_->IsModified());
  listener_.trace.clear();
  Type(L'x');
  EXPECT_EQ(edit_->Text(), Gbk("中文ab"));
  EXPECT_EQ(listener_.trace, "char78 ");
  // Replacing a selection frees its bytes.
  edit_->SetSelection(0, 2);
  Type(L'y');
  EXPECT_EQ(edit_->Text(), Gbk("y文ab"));
  // The program's text is taken whole.
  edit_->SetText(Gbk("一二三四五"));
  EXPECT_EQ(edit_->Text(), Gbk("一二三四五"));
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
