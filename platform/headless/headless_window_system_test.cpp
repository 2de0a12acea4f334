#include "platform/headless/headless_window_system.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "platform/headless/headless_platform.h"

namespace tarnwick {
namespace {

// Writes what it hears into a shared trace, and answers as told.
class Recorder : public WindowListener {
 public:
  Recorder(std::string name, std::string& trace) : name_(std::move(name)), trace_(trace) {}
  bool OnMouse(const MouseEvent& event) override {
    const char* actions[] = {"move", "press", "release", "double"};
    trace_ += name_ + ":" + actions[static_cast<int>(event.action)] + "(" + std::to_string(event.position.x) + "," +
              std::to_string(event.position.y) + ") ";
    return mouse_answer;
  }
  void OnMouseLeave() override { trace_ += name_ + ":leave "; }
  bool OnWheel(const WheelEvent& event) override {
    trace_ += name_ + ":wheel" + std::to_string(event.delta) + " ";
    return true;
  }
  bool OnKey(const KeyEvent& event) override {
    trace_ += name_ + (event.down ? ":down" : ":up") + std::to_string(event.key_code) + " ";
    return true;
  }
  void OnFocusChanged(bool has_focus) override { trace_ += name_ + (has_focus ? ":focus " : ":blur "); }
  void OnClicked() override { trace_ += name_ + ":clicked "; }
  void OnSelectionChanged() override { trace_ += name_ + ":selchange "; }
  void OnTextChanged() override { trace_ += name_ + ":changed "; }
  void OnActivationChanged(bool active, bool to_other_program) override {
    trace_ += name_ + (active ? ":active " : to_other_program ? ":inactive(other) " : ":inactive ");
  }
  bool OnCloseRequested() override {
    trace_ += name_ + ":close ";
    return true;
  }
  bool OnMnemonicKey(const KeyEvent& event) override {
    trace_ += name_ + ":mnemonic" + std::string(1, static_cast<char>(event.key_code)) + " ";
    return mnemonic_answer;
  }
  void OnPaint(Canvas& canvas, const Rect& dirty) override {
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, paint_color);
    if (record_paint) trace_ += name_ + ":paint(" + std::to_string(dirty.left) + "," + std::to_string(dirty.top) + "," +
              std::to_string(dirty.width) + "," + std::to_string(dirty.height) + ") ";
  }

  bool mouse_answer = true;
  bool mnemonic_answer = false;
  bool record_paint = false;
  Color paint_color = Rgb(0, 0, 0);

 private:
  std::string name_;
  std::string& trace_;
};

class HeadlessWindowSystemTest : public ::testing::Test {
 protected:
  HeadlessWindowSystemTest()
      : windows_(platform_.headless_windows()),
        window_listener_("win", trace_),
        window_(Make(windows_.CreateTopLevelWindow(WindowStyle{}, {50, 50, 371, 596}, "main", window_listener_))) {}

  static std::unique_ptr<HeadlessWindow> Make(std::unique_ptr<NativeWindow> window) {
    return std::unique_ptr<HeadlessWindow>(static_cast<HeadlessWindow*>(window.release()));
  }

  HeadlessPlatform platform_;
  HeadlessWindowSystem& windows_;
  std::string trace_;
  Recorder window_listener_;
  std::unique_ptr<HeadlessWindow> window_;
};

TEST_F(HeadlessWindowSystemTest, FixedFrameWithTitleLeavesTheClientAreaTheLayoutNeeds) {
  EXPECT_EQ(window_->ClientSize(), (Size{365, 568}));
  EXPECT_EQ(window_->ClientOrigin(), (Point{53, 75}));
  window_->SetOuterRect({0, 0, 664, 695});
  EXPECT_EQ(window_->ClientSize(), (Size{658, 667}));

  Recorder strip_listener("strip", trace_);
  WindowStyle strip_style;
  strip_style.frame = FrameStyle::kNone;
  strip_style.system_menu = false;
  auto strip = windows_.CreateTopLevelWindow(strip_style, {50, 0, 370, 2}, "", strip_listener);
  EXPECT_EQ(strip->ClientSize(), (Size{370, 2}));

  // The title bar is part of the frame made at creation: a caption set
  // later does not add one (nor does emptying it take one away).
  WindowStyle bare_style;
  bare_style.system_menu = false;
  auto bare = windows_.CreateTopLevelWindow(bare_style, {0, 0, 100, 100}, "", strip_listener);
  bare->SetCaption("now titled");
  EXPECT_EQ(bare->ClientSize(), (Size{94, 94}));
  auto titled = windows_.CreateTopLevelWindow(bare_style, {0, 0, 100, 100}, "titled", strip_listener);
  titled->SetCaption("");
  EXPECT_EQ(titled->ClientSize(), (Size{94, 72}));
}

TEST_F(HeadlessWindowSystemTest, ActivationMovesBetweenWindowsAndFocusFollows) {
  Recorder edit_listener("edit", trace_);
  auto edit = windows_.CreateEdit(*window_, {0, 0, 50, 20}, edit_listener);
  edit->SetFocus();  // before the window is active: takes effect on activation
  EXPECT_EQ(trace_, "");
  window_->Show();
  EXPECT_EQ(trace_, "win:active edit:focus ");
  EXPECT_TRUE(edit->HasFocus());

  trace_.clear();
  Recorder strip_listener("strip", trace_);
  WindowStyle no_activate;
  no_activate.takes_activation = false;
  auto strip = windows_.CreateTopLevelWindow(no_activate, {0, 0, 10, 2}, "", strip_listener);
  strip->Show();
  strip->SetWindowOrder(WindowOrder::kAlwaysOnTop);
  EXPECT_EQ(trace_, "");  // showing and ordering it never activates it
  EXPECT_TRUE(window_->IsActive());
  EXPECT_EQ(windows_.ZOrder().front(), strip.get());

  windows_.ActivateOtherApplication();
  EXPECT_EQ(trace_, "edit:blur win:inactive(other) ");
  EXPECT_FALSE(edit->HasFocus());
  trace_.clear();
  windows_.ActivateByUser(*window_);
  EXPECT_EQ(trace_, "win:active edit:focus ");

  // The program's own boxes take the activation and give it back.
  trace_.clear();
  platform_.headless_dialogs().SetOnShow([&](const HeadlessDialogs::Shown&) { trace_ += "box "; });
  platform_.headless_dialogs().ExpectMessageBox("", MessageResult::kOk);
  platform_.dialogs().ShowMessageBox({});
  EXPECT_EQ(trace_, "edit:blur win:inactive box win:active edit:focus ");
  trace_.clear();
  platform_.headless_dialogs().ExpectPopupMenu("");
  platform_.dialogs().ShowPopupMenu(*window_, {{"a"}}, {0, 0});
  EXPECT_EQ(trace_, "box ") << "a popup menu leaves the activation where it is";

  trace_.clear();
  window_->Hide();
  EXPECT_EQ(trace_, "edit:blur win:inactive(other) ");
}

TEST_F(HeadlessWindowSystemTest, MouseGoesToTheTopmostShownControlInItsOwnCoordinates) {
  window_->Show();
  Recorder group_listener("group", trace_), surface_listener("surface", trace_), over_listener("over", trace_);
  auto group = windows_.CreateGroupFrame(*window_, {10, 100, 100, 80}, group_listener);
  auto surface = windows_.CreateSurface(*group, {5, 10, 50, 50}, surface_listener);
  auto over = windows_.CreateSurface(*window_, {0, 0, 40, 40}, over_listener);
  auto under = windows_.CreateSurface(*window_, {0, 0, 40, 40}, surface_listener);
  over->RaiseAboveSiblings();
  trace_.clear();

  windows_.MoveMouse(*window_, {20, 115});
  windows_.MoveMouse(*window_, {12, 102});
  windows_.MoveMouse(*window_, {5, 5});
  EXPECT_EQ(trace_, "surface:move(5,5) surface:leave group:move(2,2) group:leave over:move(5,5) ");

  trace_.clear();
  group->SetVisible(false);  // hides its children too
  windows_.MoveMouse(*window_, {20, 115});
  EXPECT_EQ(trace_, "over:leave win:move(20,115) ");
}

TEST_F(HeadlessWindowSystemTest, ButtonsClickOnlyWhenEnabledAndInsideOnRelease) {
  window_->Show();
  Recorder button_listener("button", trace_), check_listener("check", trace_);
  auto button = windows_.CreateButton(*window_, {10, 10, 30, 25}, button_listener);
  auto check = windows_.CreateCheckBox(*window_, {10, 50, 100, 24}, check_listener);

  windows_.Click(*window_, {15, 15});
  EXPECT_NE(trace_.find("button:clicked"), std::string::npos);
  EXPECT_TRUE(button->HasFocus());

  trace_.clear();
  windows_.PressMouse(*window_, {15, 15}, MouseButton::kLeft);
  windows_.ReleaseMouse(*window_, {200, 200}, MouseButton::kLeft);  // dragged off: no click
  EXPECT_EQ(trace_.find("clicked"), std::string::npos);
  EXPECT_NE(trace_.find("button:release(190,190)"), std::string::npos);  // captured while held

  trace_.clear();
  button->SetEnabled(false);
  windows_.Click(*window_, {15, 15});
  button->Click();
  EXPECT_EQ(trace_.find("clicked"), std::string::npos);

  windows_.Click(*window_, {20, 60});
  EXPECT_TRUE(check->IsChecked());
  windows_.PressKey(keys::kSpace);  // the check box has the focus now
  EXPECT_FALSE(check->IsChecked());
  std::size_t first = trace_.find("check:clicked");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(trace_.find("check:clicked", first + 1), std::string::npos);  // once by mouse, once by Space
}

TEST_F(HeadlessWindowSystemTest, ListenerAnsweringFalseStopsTheControlsOwnProcessing) {
  window_->Show();
  Recorder edit_listener("edit", trace_);
  auto edit = windows_.CreateRichEdit(*window_, {0, 0, 100, 100}, edit_listener);
  auto* headless = static_cast<HeadlessRichEdit*>(edit.get());
  windows_.Click(*window_, {5, 5}, MouseButton::kRight);
  EXPECT_EQ(headless->own_right_clicks(), 1);
  edit_listener.mouse_answer = false;
  windows_.Click(*window_, {5, 5}, MouseButton::kRight);
  EXPECT_EQ(headless->own_right_clicks(), 1);
}

TEST_F(HeadlessWindowSystemTest, ListBoxReportsOnlyTheUsersSelectionChanges) {
  window_->Show();
  Recorder list_listener("list", trace_);
  auto list = windows_.CreateListBox(*window_, {0, 0, 100, 200}, list_listener);
  list->SetItemSpacing(1);  // 13-pixel items with the 12-pixel default font
  list->InsertItem(0, "b");
  list->InsertItem(0, "a");
  list->InsertItem(2, "c");
  list->SetSelection(1);
  EXPECT_EQ(trace_, "win:active ");
  windows_.Click(*window_, {5, 27});
  EXPECT_EQ(list->Selection(), 2);
  EXPECT_NE(trace_.find("list:selchange"), std::string::npos);
  EXPECT_EQ(list->ItemText(2), "c");
  EXPECT_EQ(list->ItemText(3), "");
  trace_.clear();
  windows_.Click(*window_, {5, 150});  // below the last item
  EXPECT_EQ(list->Selection(), 2);
  EXPECT_EQ(trace_.find("selchange"), std::string::npos);
}

TEST_F(HeadlessWindowSystemTest, DropDownListReportsTheUsersChoiceOnly) {
  window_->Show();
  Recorder list_listener("list", trace_);
  auto list = windows_.CreateDropDownList(*window_, {3, 4, 102, 20}, list_listener);
  auto* headless = static_cast<HeadlessDropDownList*>(list.get());
  list->SetItems({"a", "b"});
  list->SetSelection(0);
  trace_.clear();
  headless->UserChoose(1);
  EXPECT_EQ(trace_, "list:selchange ");
  EXPECT_EQ(list->Selection(), 1);
  list->SetEnabled(false);
  headless->UserChoose(0);  // a disabled list cannot be opened
  EXPECT_EQ(list->Selection(), 1);
  list->SetItems({"c"});
  EXPECT_EQ(list->Selection(), -1);
  EXPECT_EQ(list->ItemText(0), "c");
  EXPECT_EQ(list->ItemText(1), "");
}

TEST_F(HeadlessWindowSystemTest, RichEditSelectionAndClipboardCountBytes) {
  Recorder edit_listener("edit", trace_);
  auto edit = windows_.CreateRichEdit(*window_, {0, 0, 100, 100}, edit_listener);
  std::string text = "a" + Gbk("中文") + "b\nc";
  edit->SetText(text);
  EXPECT_EQ(edit->Text(), "a" + Gbk("中文") + "b\r\nc");
  edit->SetSelection(0, -1);
  EXPECT_EQ(edit->SelectionLength(), 9);
  edit->SetSelection(2, 2);  // starts inside 中: moves to its start, keeps whole characters
  EXPECT_EQ(edit->SelectedText(), Gbk("中"));
  edit->Copy();
  EXPECT_EQ(platform_.shell().ClipboardText(), Gbk("中"));

  edit->SetReadOnly(true);
  edit->Cut();
  edit->Clear();
  edit->Paste();
  EXPECT_EQ(edit->Text(), "a" + Gbk("中文") + "b\r\nc");
  EXPECT_FALSE(edit->IsModified());

  edit->SetReadOnly(false);
  edit->SetSelection(3, 2);  // 文
  edit->Cut();
  EXPECT_EQ(edit->Text(), "a" + Gbk("中") + "b\r\nc");
  EXPECT_EQ(platform_.shell().ClipboardText(), Gbk("文"));
  edit->SetSelection(0, 1);
  edit->Paste();
  EXPECT_EQ(edit->Text(), Gbk("文中") + "b\r\nc");
  EXPECT_EQ(edit->SelectionStart(), 2);
  edit->SetSelection(0, 2);
  edit->Clear();
  EXPECT_EQ(edit->Text(), Gbk("中") + "b\r\nc");
  EXPECT_EQ(platform_.shell().ClipboardText(), Gbk("文"));
  EXPECT_TRUE(edit->IsModified());

  edit->SetText("");
  edit->SetSelection(0, -1);
  EXPECT_EQ(edit->SelectionLength(), 0);
}

// A maximum length limits what the user puts in, typed or pasted, in whole
// characters; a text the program sets is kept whole.
TEST_F(HeadlessWindowSystemTest, MaximumLengthCutsTheUsersInsertionsOnly) {
  window_->Show();
  Recorder line_listener("line", trace_);
  auto line = windows_.CreateEdit(*window_, {0, 0, 100, 20}, line_listener);
  line->SetMaxLength(5);
  line->SetText("abcdef");
  EXPECT_EQ(line->Text(), "abcdef");
  line->SetFocus();
  trace_.clear();
  windows_.TypeText("x");
  EXPECT_EQ(line->Text(), "abcdef");
  EXPECT_EQ(trace_, "") << "nothing went in, so nothing changed";
  line->SetText("ab");
  windows_.TypeText(Gbk("中文字"));  // room for one double-byte character and one byte
  EXPECT_EQ(line->Text(), "ab" + Gbk("中"));
  EXPECT_EQ(trace_, "line:changed ");
  windows_.TypeText("z");
  EXPECT_EQ(line->Text(), "ab" + Gbk("中") + "z");

  Recorder rich_listener("rich", trace_);
  auto rich = windows_.CreateRichEdit(*window_, {0, 30, 100, 100}, rich_listener);
  rich->SetMaxLength(6);
  rich->SetText("abcdefgh");
  EXPECT_EQ(rich->Text(), "abcdefgh");
  // Over the maximum, the user can still delete; a paste over a selection
  // goes in only as far as the room the deletion made.
  rich->SetSelection(1, 4);
  platform_.shell().SetClipboardText(Gbk("你好"));
  rich->Paste();
  EXPECT_EQ(rich->Text(), "a" + Gbk("你") + "fgh");
  EXPECT_EQ(rich->SelectionStart(), 3);
  rich->SetSelection(1, 2);
  platform_.shell().SetClipboardText("1\r\n2");
  rich->Paste();  // two bytes of room: the line break would be split, so only "1"
  EXPECT_EQ(rich->Text(), "a1fgh");
  rich->SetFocus();
  rich->SetSelection(5, 0);
  windows_.TypeText(Gbk("好"));  // one byte of room: not half a character
  EXPECT_EQ(rich->Text(), "a1fgh");
  windows_.TypeText("!");
  EXPECT_EQ(rich->Text(), "a1fgh!");
}

// Posted tasks keep the Windows order: what a handler posts runs before the
// next input, also between the characters of one TypeText; paints and timer
// ticks wait until the input is done.
TEST_F(HeadlessWindowSystemTest, TasksPostedByInputRunBeforeTheNextInput) {
  struct Typist : ControlListener {
    Typist(EventLoop& loop, std::string& trace) : loop(loop), trace(trace) {}
    bool OnCharacter(std::uint32_t code) override {
      char typed = static_cast<char>(code);
      trace += typed;
      loop.Post([this, typed] { trace += static_cast<char>(typed - 'a' + 'A'); });
      return true;
    }
    EventLoop& loop;
    std::string& trace;
  } typist(platform_.loop(), trace_);
  Recorder painter("surface", trace_);
  painter.record_paint = true;
  window_->Show();
  auto edit = windows_.CreateEdit(*window_, {0, 0, 100, 20}, typist);
  auto surface = windows_.CreateSurface(*window_, {0, 30, 10, 10}, painter);
  platform_.loop().ProcessPendingEvents();
  int ticks = 0;
  platform_.loop().StartTimer(10, [&] { trace_ += std::to_string(++ticks); });
  platform_.loop().Sleep(10);
  edit->SetFocus();
  surface->InvalidateAll();
  trace_.clear();
  windows_.TypeText("abc");
  EXPECT_EQ(trace_, "aAbBcCsurface:paint(0,0,10,10) 1");
  EXPECT_EQ(edit->Text(), "abc");
}

TEST_F(HeadlessWindowSystemTest, KeysTabAndMnemonics) {
  window_->Show();
  Recorder a_listener("a", trace_), b_listener("b", trace_), c_listener("c", trace_);
  auto group = windows_.CreateGroupFrame(*window_, {0, 0, 200, 200}, a_listener);
  auto a = windows_.CreateButton(*group, {0, 0, 10, 10}, a_listener);
  auto b = windows_.CreateButton(*window_, {0, 50, 10, 10}, b_listener);
  auto c = windows_.CreateButton(*group, {0, 20, 10, 10}, c_listener);
  b->SetTabStop(false);
  a->SetFocus();
  windows_.PressKey(keys::kTab);
  EXPECT_TRUE(c->HasFocus());
  windows_.PressKey(keys::kTab);
  EXPECT_TRUE(a->HasFocus());  // b is not a tab stop; wraps around
  windows_.PressKey(keys::kTab, kKeyStateShift);
  EXPECT_TRUE(c->HasFocus());

  trace_.clear();
  windows_.KeyDown('W', kKeyStateAlt);
  EXPECT_EQ(trace_, "win:mnemonicW c:down87 ");  // not consumed: the focused control sees it
  trace_.clear();
  window_listener_.mnemonic_answer = true;
  windows_.KeyDown('W', kKeyStateAlt);
  windows_.KeyDown('W', kKeyStateAlt | kKeyStateCtrl);
  EXPECT_EQ(trace_, "win:mnemonicW c:down87 ");
}

TEST_F(HeadlessWindowSystemTest, SurfacesPaintTheirInvalidRegionWhenEventsAreProcessed) {
  Recorder surface_listener("surface", trace_);
  surface_listener.record_paint = true;
  auto surface = windows_.CreateSurface(*window_, {0, 0, 20, 10}, surface_listener);
  auto* headless = static_cast<HeadlessSurface*>(surface.get());
  platform_.loop().ProcessPendingEvents();
  EXPECT_EQ(trace_, "");  // the window is hidden: nothing is painted yet
  window_->Show();
  platform_.loop().ProcessPendingEvents();
  EXPECT_EQ(trace_, "win:active surface:paint(0,0,20,10) ");
  EXPECT_EQ(headless->PixelAt(19, 9), Rgb(0, 0, 0));

  trace_.clear();
  surface_listener.paint_color = Rgb(255, 0, 0);
  surface->Invalidate({2, 2, 3, 3});
  surface->Invalidate({10, 5, 100, 100});
  platform_.loop().ProcessPendingEvents();
  EXPECT_EQ(trace_, "surface:paint(2,2,18,8) ");
  EXPECT_EQ(headless->PixelAt(1, 1), Rgb(0, 0, 0));  // outside the dirty region: kept
  EXPECT_EQ(headless->PixelAt(2, 2), Rgb(255, 0, 0));
  EXPECT_EQ(headless->paint_count(), 2);
}

TEST_F(HeadlessWindowSystemTest, WheelGoesToTheFocusedControlAndCloseOnlyAsks) {
  window_->Show();
  Recorder list_listener("list", trace_);
  auto list = windows_.CreateListBox(*window_, {0, 0, 100, 200}, list_listener);
  trace_.clear();
  windows_.TurnWheel(-120);
  EXPECT_EQ(trace_, "win:wheel-120 ");
  list->SetFocus();
  trace_.clear();
  windows_.TurnWheel(240, kKeyStateCtrl);
  EXPECT_EQ(trace_, "list:wheel240 ");
  // From an entry, the turn goes by the pointer: over the list, the list's;
  // over the entry or outside every control, the entry's.
  Recorder edit_listener("edit", trace_);
  auto edit = windows_.CreateEdit(*window_, {200, 0, 100, 20}, edit_listener);
  edit->SetFocus();
  windows_.MoveMouse(*window_, {50, 50});
  trace_.clear();
  windows_.TurnWheel(120);
  windows_.MoveMouse(*window_, {210, 10});
  windows_.TurnWheel(-120);
  windows_.MoveMouse(*window_, {250, 300});
  windows_.TurnWheel(120);
  EXPECT_EQ(trace_,
            "list:wheel120 list:leave edit:move(10,10) edit:wheel-120 edit:leave win:move(250,300) edit:wheel120 ");
  trace_.clear();
  windows_.RequestClose(*window_);
  EXPECT_EQ(trace_, "win:close ");
  EXPECT_TRUE(window_->IsVisible());
}

}  // namespace
}  // namespace tarnwick
