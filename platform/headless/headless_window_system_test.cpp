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

// A button pressed and dragged off before the release is not clicked; the
// pointer stays captured while the button is held. A disabled drop-down list
// cannot be opened. (What every backend does is in the contract suite.)
TEST_F(HeadlessWindowSystemTest, ADragOffOrADisabledControlClicksNothing) {
  window_->Show();
  Recorder button_listener("button", trace_), list_listener("list", trace_);
  auto button = windows_.CreateButton(*window_, {10, 10, 30, 25}, button_listener);
  windows_.PressMouse(*window_, {15, 15}, MouseButton::kLeft);
  windows_.ReleaseMouse(*window_, {200, 200}, MouseButton::kLeft);
  EXPECT_EQ(trace_.find("clicked"), std::string::npos);
  EXPECT_NE(trace_.find("button:release(190,190)"), std::string::npos);

  auto list = windows_.CreateDropDownList(*window_, {3, 40, 102, 20}, list_listener);
  list->SetItems({"a", "b"});
  list->SetEnabled(false);
  static_cast<HeadlessDropDownList*>(list.get())->UserChoose(1);
  EXPECT_EQ(list->Selection(), -1);
}

TEST_F(HeadlessWindowSystemTest, AFalseAnswerStopsTheRichEditsOwnRightClick) {
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

}  // namespace
}  // namespace tarnwick
