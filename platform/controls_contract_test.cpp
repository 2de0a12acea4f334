// The native controls' contract, alike on every backend: what they report to
// their listeners, what the program's own changes do not report, and how
// texts, positions and maximum lengths count GBK bytes.
#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/backend_driver.h"

namespace tarnwick::testing {
namespace {

using ControlsContractTest = BackendContractTest;

// A control inside a group frame notifies its own listener, not the frame's.
TEST_F(ControlsContractTest, ButtonsAndCheckBoxesClickOnlyWhenEnabled) {
  TraceRecorder frame_listener("frame", trace_), button_listener("button", trace_), check_listener("check", trace_);
  auto frame = windows().CreateGroupFrame(window(), {0, 0, 200, 40}, frame_listener);
  frame->SetCaption(Gbk("本月备忘日期列表："));
  auto button = windows().CreateButton(*frame, {10, 10, 80, 25}, button_listener);
  auto check = windows().CreateCheckBox(window(), {10, 50, 120, 24}, check_listener);
  button->SetCaption(Gbk("搜索(&W)"));
  check->SetCaption(Gbk("备忘是否加密？"));
  button_listener.record_focus = check_listener.record_focus = false;
  driver().Settle();
  trace_.clear();

  driver().Click(window(), {40, 20});
  button->Click();
  EXPECT_EQ(trace_, "button:clicked button:clicked ");
  trace_.clear();
  button->SetEnabled(false);
  driver().Click(window(), {40, 20});
  button->Click();
  EXPECT_EQ(trace_, "");

  // The mark has toggled by the time the click is heard.
  check->SetChecked(true);
  check->SetChecked(false);
  EXPECT_EQ(trace_, "") << "the program's own change is no click";
  driver().Click(window(), {20, 62});
  EXPECT_TRUE(check->IsChecked());
  check->Click();
  EXPECT_FALSE(check->IsChecked());
  EXPECT_EQ(trace_, "check:clicked check:clicked ");
  // Space clicks the check box that has the focus.
  trace_.clear();
  check->SetFocus();
  driver().PressKey(keys::kSpace);
  EXPECT_TRUE(check->IsChecked());
  EXPECT_NE(trace_.find("check:clicked"), std::string::npos) << trace_;
}

// Items stay where the program puts them; only the user's choices are
// reported, and a press the listener refuses never reaches the list.
TEST_F(ControlsContractTest, ListsReportOnlyTheUsersSelection) {
  TraceRecorder list_listener("list", trace_);
  auto list = windows().CreateListBox(window(), {5, 22, 131, 200}, list_listener);
  list->InsertItem(0, Gbk("2011年9月1日"));
  list->InsertItem(0, Gbk("2011年10月1日"));  // before, although it sorts after
  list->InsertItem(2, Gbk("本月无备忘"));
  ASSERT_EQ(list->Count(), 3);
  EXPECT_EQ(list->ItemText(0), Gbk("2011年10月1日"));
  EXPECT_EQ(list->ItemText(2), Gbk("本月无备忘"));
  EXPECT_EQ(list->ItemText(3), "");
  EXPECT_EQ(list->ItemText(-1), "");
  EXPECT_EQ(list->Selection(), -1);
  list->SetSelection(2);
  EXPECT_EQ(list->Selection(), 2);
  list->SetSelection(7);
  EXPECT_EQ(list->Selection(), -1);
  list->SetSelection(2);
  driver().Settle();
  EXPECT_EQ(trace_, "");

  list_listener.mouse_answer = false;
  driver().Click(window(), {10, 25});  // on the first item
  EXPECT_EQ(list->Selection(), 2);
  EXPECT_EQ(trace_.find("selchange"), std::string::npos) << trace_;
  list_listener.mouse_answer = true;
  driver().Click(window(), {10, 25});
  EXPECT_EQ(list->Selection(), 0);
  EXPECT_NE(trace_.find("list:selchange"), std::string::npos) << trace_;
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->Selection(), -1);

  TraceRecorder drop_listener("drop", trace_);
  auto drop = windows().CreateDropDownList(window(), {200, 10, 100, 20}, drop_listener);
  drop->SetItems({Gbk("一月"), Gbk("二月"), Gbk("三月")});
  EXPECT_EQ(drop->Count(), 3);
  EXPECT_EQ(drop->ItemText(1), Gbk("二月"));
  EXPECT_EQ(drop->ItemText(3), "");
  EXPECT_EQ(drop->Selection(), -1);
  drop->SetSelection(5);
  EXPECT_EQ(drop->Selection(), -1);
  drop->SetSelection(0);
  drop->SetFocus();
  driver().Settle();
  trace_.clear();
  // The user steps to the next month with the keyboard.
  driver().PressKey(keys::kDown);
  EXPECT_EQ(drop->Selection(), 1);
  EXPECT_EQ(trace_, "drop:selchange ");
  trace_.clear();
  drop->SetItems({"2010", "2011"});
  EXPECT_EQ(drop->Selection(), -1);
  EXPECT_EQ(drop->ItemText(0), "2010");
  EXPECT_EQ(trace_, "");
}

TEST_F(ControlsContractTest, RichEditPositionsCountGbkBytesAndTheClipboardActsAsTheUsers) {
  TraceRecorder edit_listener("edit", trace_);
  auto edit = windows().CreateRichEdit(window(), {0, 264, 365, 200}, edit_listener);
  ASSERT_NE(edit, nullptr);
  const std::string text = Gbk("中文a") + "\nb";
  edit->SetText(text);
  EXPECT_EQ(edit->Text(), Gbk("中文a\r\nb")) << "line breaks read as CR LF";
  EXPECT_FALSE(edit->IsModified());
  EXPECT_EQ(edit->SelectionStart(), 0) << "the caret starts at the beginning";
  edit->SetSelection(0, -1);
  EXPECT_EQ(edit->SelectionLength(), 8);
  edit->SetSelection(3, 1);  // inside 文: moved to its start, whole characters kept
  EXPECT_EQ(edit->SelectionStart(), 2);
  EXPECT_EQ(edit->SelectedText(), Gbk("文"));
  edit->SetSelection(5, 2);  // the line break
  EXPECT_EQ(edit->SelectedText(), "\r\n");
  edit->SetSelection(100, 5);  // clamped: a caret at the end
  EXPECT_EQ(edit->SelectionStart(), 8);
  EXPECT_EQ(edit->SelectionLength(), 0);
  edit->SetSelection(2, 3);
  edit->Copy();
  EXPECT_EQ(platform().shell().ClipboardText(), Gbk("文a"));

  // Read-only: selecting and copying still work, changing does not.
  edit->SetReadOnly(true);
  EXPECT_TRUE(edit->IsReadOnly());
  edit->Cut();
  edit->Clear();
  edit->Paste();
  EXPECT_EQ(edit->Text(), Gbk("中文a\r\nb"));
  EXPECT_FALSE(edit->IsModified());
  EXPECT_EQ(trace_, "");

  edit->SetReadOnly(false);
  edit->Clear();  // deletes without touching the clipboard
  EXPECT_EQ(edit->Text(), Gbk("中\r\nb"));
  edit->SetSelection(0, 0);
  edit->Paste();
  EXPECT_EQ(edit->Text(), Gbk("文a中\r\nb"));
  EXPECT_EQ(edit->SelectionStart(), 3);
  edit->SetSelection(0, 2);
  edit->Cut();
  EXPECT_EQ(edit->Text(), Gbk("a中\r\nb"));
  EXPECT_EQ(platform().shell().ClipboardText(), Gbk("文"));
  EXPECT_TRUE(edit->IsModified());
  EXPECT_NE(trace_.find("edit:changed"), std::string::npos);

  // A character outside GBK survives as its GB18030 code.
  platform().shell().SetClipboardText(Utf8ToGbk("😀"));
  edit->SetSelection(0, -1);
  edit->Paste();
  EXPECT_EQ(GbkToUtf8(edit->Text()), "😀");

  trace_.clear();
  edit->SetText("");
  EXPECT_FALSE(edit->IsModified());
  edit->SetSelection(0, -1);
  EXPECT_EQ(edit->SelectionLength(), 0);
  EXPECT_EQ(trace_, "") << "the program's text is no change of the user's";
}

TEST_F(ControlsContractTest, TypingIsHeardAndASingleLineEditorTakesNoLineBreak) {
  TraceRecorder line_listener("line", trace_), rich_listener("rich", trace_);
  auto line = windows().CreateEdit(window(), {7, 20, 95, 20}, line_listener);
  auto rich = windows().CreateRichEdit(window(), {0, 264, 365, 200}, rich_listener);
  line->SetText(Gbk("关键词"));
  EXPECT_EQ(line->Text(), Gbk("关键词"));
  // (Where the caret stands after the program's text is the system's own:
  // Windows puts it first, Qt last.)
  line->SetText("");
  line->SetFocus();
  driver().Settle();
  trace_.clear();
  driver().TypeText(Gbk("中"));
  EXPECT_EQ(line->Text(), Gbk("中"));
  EXPECT_EQ(trace_, "line:changed ");
  line->SetMasked(true);
  driver().TypeText("a");
  EXPECT_EQ(line->Text(), Gbk("中a")) << "masked, still read as typed";
  // Return reaches the edit's listener, which may eat it, and types nothing.
  line_listener.record_keys = true;
  line_listener.key_answer = false;
  trace_.clear();
  driver().PressKey(keys::kReturn);
  EXPECT_EQ(trace_, "line:down13 ");
  EXPECT_EQ(line->Text(), Gbk("中a"));
  line_listener.record_keys = false;

  rich->SetText(Gbk("备忘"));
  rich->SetFocus();
  rich->SetSelection(4, 0);
  driver().Settle();
  trace_.clear();
  driver().TypeText("!");
  EXPECT_EQ(rich->Text(), Gbk("备忘!"));
  EXPECT_TRUE(rich->IsModified());
  EXPECT_EQ(trace_, "rich:changed ");
  driver().PressKey(keys::kReturn);
  EXPECT_EQ(rich->Text(), Gbk("备忘!\r\n"));
  rich->SetMultiLine(false);
  driver().PressKey(keys::kReturn);
  EXPECT_EQ(rich->Text(), Gbk("备忘!\r\n"));

  // Tab types a tab into an editor that types tabs, Shift+Tab too; Ctrl+Tab
  // leaves it. Otherwise Tab leaves.
  rich->SetTypesTab(true);
  driver().PressKey(keys::kTab);
  driver().PressKey(keys::kTab, kKeyStateShift);
  EXPECT_EQ(rich->Text(), Gbk("备忘!\r\n\t\t"));
  EXPECT_TRUE(rich->HasFocus());
  driver().PressKey(keys::kTab, kKeyStateCtrl);
  EXPECT_TRUE(line->HasFocus());
  rich->SetFocus();
  driver().Settle();
  driver().PressKey(keys::kTab, kKeyStateCtrl | kKeyStateShift);
  EXPECT_TRUE(line->HasFocus());
  rich->SetFocus();
  driver().Settle();
  rich->SetTypesTab(false);
  driver().PressKey(keys::kTab);
  EXPECT_TRUE(line->HasFocus());
  EXPECT_EQ(rich->Text(), Gbk("备忘!\r\n\t\t"));

  // The menu keys reach the listener; a menu for the caret opens below it.
  rich->SetFocus();
  driver().Settle();
  rich->SetSelection(0, 0);
  const Point first = rich->CaretPoint();
  rich->SetSelection(9, 0);
  const Point last = rich->CaretPoint();
  EXPECT_GT(first.y, 0);
  EXPECT_GT(last.y, first.y) << "the second line";
  EXPECT_GT(last.x, first.x) << "after two tabs";
  EXPECT_LT(last.y, 200);
  rich_listener.record_keys = true;
  rich_listener.key_answer = false;
  trace_.clear();
  driver().PressKey(keys::kApps);
  driver().PressKey(keys::kF10, kKeyStateShift);
  EXPECT_NE(trace_.find("rich:down93 "), std::string::npos) << trace_;
  EXPECT_NE(trace_.find("rich:down121 "), std::string::npos) << trace_;
}

// A maximum length limits what the user puts in, typed or pasted, in whole
// characters; a text the program sets is kept whole.
TEST_F(ControlsContractTest, MaximumLengthCutsTheUsersInsertionsOnly) {
  TraceRecorder line_listener("line", trace_);
  auto line = windows().CreateEdit(window(), {0, 0, 100, 20}, line_listener);
  line->SetMaxLength(5);
  line->SetText("abcdef");
  EXPECT_EQ(line->Text(), "abcdef");
  line->SetFocus();
  driver().Settle();
  trace_.clear();
  driver().TypeText("x");
  EXPECT_EQ(line->Text(), "abcdef");
  EXPECT_EQ(trace_, "") << "nothing went in, so nothing changed";
  line->SetText("");
  driver().TypeText("ab" + Gbk("中文字"));  // room for one double-byte character and one byte
  EXPECT_EQ(line->Text(), "ab" + Gbk("中"));
  EXPECT_EQ(trace_, "line:changed line:changed line:changed ") << "nothing of 文 and 字 went in";
  driver().TypeText("z");
  EXPECT_EQ(line->Text(), "ab" + Gbk("中") + "z");

  TraceRecorder rich_listener("rich", trace_);
  auto rich = windows().CreateRichEdit(window(), {0, 30, 300, 100}, rich_listener);
  rich->SetMaxLength(6);
  rich->SetText("abcdefgh");
  EXPECT_EQ(rich->Text(), "abcdefgh");
  // Over the maximum, the user can still delete; a paste over a selection
  // goes in only as far as the room the deletion made.
  rich->SetSelection(1, 4);
  platform().shell().SetClipboardText(Gbk("你好"));
  rich->Paste();
  EXPECT_EQ(rich->Text(), "a" + Gbk("你") + "fgh");
  EXPECT_EQ(rich->SelectionStart(), 3);
  EXPECT_TRUE(rich->IsModified());
  rich->SetSelection(1, 2);
  platform().shell().SetClipboardText("1\r\n2");
  rich->Paste();  // two bytes of room: the line break would be split, so only "1"
  EXPECT_EQ(rich->Text(), "a1fgh");
  rich->SetFocus();
  rich->SetSelection(5, 0);
  driver().Settle();
  driver().TypeText(Gbk("好"));  // one byte of room: not half a character
  EXPECT_EQ(rich->Text(), "a1fgh");
  driver().TypeText("!");
  EXPECT_EQ(rich->Text(), "a1fgh!");
}

}  // namespace
}  // namespace tarnwick::testing
