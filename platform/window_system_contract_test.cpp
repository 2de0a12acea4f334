// The windows' contract, alike on every backend: frames and client areas,
// activation and the keyboard focus (what the program's own dialogs do to
// them), where the wheel and the keys go, painting, and close requests.
#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/backend_driver.h"

namespace tarnwick::testing {
namespace {

using WindowSystemContractTest = BackendContractTest;

bool Covered(const std::vector<Rect>& rects, Point point) {
  for (const Rect& rect : rects) {
    if (rect.Contains(point)) return true;
  }
  return false;
}

TEST_F(WindowSystemContractTest, EveryFrameLeavesTheClientAreaTheLayoutNeeds) {
  EXPECT_EQ(window().ClientSize(), (Size{365, 568}));
  EXPECT_EQ(window().OuterRect(), (Rect{50, 50, 371, 596}));
  window().SetOuterRect({10, 0, 664, 695});
  EXPECT_EQ(window().ClientSize(), (Size{658, 667}));
  EXPECT_EQ(window().OuterRect(), (Rect{10, 0, 664, 695}));
  window().SetOuterRect({10, 0, 371, 290});
  EXPECT_EQ(window().ClientSize(), (Size{365, 262}));

  TraceRecorder other_listener("other", trace_);
  WindowStyle strip;
  strip.frame = FrameStyle::kNone;
  strip.system_menu = false;
  strip.in_taskbar = false;
  strip.always_on_top = true;
  strip.takes_activation = false;
  auto dock = windows().CreateTopLevelWindow(strip, {50, 0, 370, 2}, "", other_listener);
  EXPECT_EQ(dock->ClientSize(), (Size{370, 2}));
  EXPECT_EQ(dock->OuterRect(), (Rect{50, 0, 370, 2}));
  EXPECT_FALSE(dock->IsVisible()) << "created hidden";
  WindowStyle tool;
  tool.frame = FrameStyle::kFixedTool;
  tool.system_menu = false;
  auto palette = windows().CreateTopLevelWindow(tool, {0, 0, 200, 100}, "tool", other_listener);
  EXPECT_EQ(palette->ClientSize(), (Size{194, 78}));
  WindowStyle sunken;
  sunken.frame = FrameStyle::kFixedSunken;
  auto framed = windows().CreateTopLevelWindow(sunken, {0, 0, 200, 100}, "", other_listener);
  EXPECT_EQ(framed->ClientSize(), (Size{190, 68}));
}

// The focus asked for a control of a hidden window arrives when it is
// shown; the program's own message box takes the activation and gives it
// back, focus and all, without the window hearing that it left the program.
TEST_F(WindowSystemContractTest, DialogsTakeTheActivationAndGiveItBack) {
  TraceRecorder edit_listener("edit", trace_);
  auto edit = windows().CreateEdit(window(), {10, 10, 100, 20}, edit_listener);
  edit->SetFocus();
  driver().Settle();
  ASSERT_TRUE(window().IsActive());
  ASSERT_TRUE(edit->HasFocus());
  trace_.clear();

  bool active_while_shown = true;
  bool focus_while_shown = true;
  driver().AnswerNextMessageBox(MessageResult::kYes, [&] {
    active_while_shown = window().IsActive();
    focus_while_shown = edit->HasFocus();
  });
  MessageBoxRequest request;
  request.title = Gbk("信息：");
  request.text = Gbk("数据库不存在，是否创建？");
  request.buttons = MessageButtons::kYesNo;
  EXPECT_EQ(platform().dialogs().ShowMessageBox(request), MessageResult::kYes);
  driver().Settle();
  EXPECT_FALSE(active_while_shown);
  EXPECT_FALSE(focus_while_shown);
  EXPECT_TRUE(window().IsActive());
  EXPECT_TRUE(edit->HasFocus());
  EXPECT_EQ(trace_.find("inactive(other)"), std::string::npos) << trace_;
  std::size_t inactive = trace_.find("win:inactive "), blur = trace_.find("edit:blur ");
  ASSERT_NE(inactive, std::string::npos) << trace_;
  ASSERT_NE(blur, std::string::npos) << trace_;
  EXPECT_NE(trace_.find("win:active ", inactive), std::string::npos) << trace_;
  EXPECT_NE(trace_.find("edit:focus ", blur), std::string::npos) << trace_;
}

TEST_F(WindowSystemContractTest, AWindowThatTakesNoActivationLeavesItWhereItIs) {
  TraceRecorder strip_listener("strip", trace_);
  strip_listener.record_mouse = true;
  WindowStyle strip;
  strip.frame = FrameStyle::kNone;
  strip.system_menu = false;
  strip.in_taskbar = false;
  strip.takes_activation = false;
  auto dock = windows().CreateTopLevelWindow(strip, {50, 0, 370, 2}, "", strip_listener);
  dock->Show();
  dock->SetWindowOrder(WindowOrder::kAlwaysOnTop);
  dock->SetWindowOrder(WindowOrder::kNotAlwaysOnTop);
  dock->SetWindowOrder(WindowOrder::kTop);
  driver().Settle();
  EXPECT_TRUE(dock->IsVisible()) << "changing the order must not hide the window";
  EXPECT_FALSE(dock->IsActive());
  EXPECT_TRUE(window().IsActive());
  EXPECT_EQ(dock->OuterRect(), (Rect{50, 0, 370, 2}));
  driver().Click(*dock, {100, 1});
  EXPECT_NE(trace_.find("strip:pressL(100,1)"), std::string::npos) << trace_;
  EXPECT_EQ(trace_.find("win:inactive"), std::string::npos) << trace_;
  dock->Hide();
  EXPECT_FALSE(dock->IsVisible());
}

// A turn goes to the control with the focus wherever the pointer is; from a
// text entry, a turn over another control is that control's.
TEST_F(WindowSystemContractTest, TheWheelGoesToTheFocusOrFromAnEntryToTheControlUnderThePointer) {
  TraceRecorder focused_listener("focused", trace_), other_listener("other", trace_), edit_listener("edit", trace_);
  auto focused = windows().CreateSurface(window(), {0, 0, 100, 100}, focused_listener);
  auto other = windows().CreateListBox(window(), {100, 0, 100, 100}, other_listener);
  auto edit = windows().CreateEdit(window(), {0, 200, 100, 20}, edit_listener);
  focused->SetTakesFocus(true);
  focused->SetFocus();
  driver().Settle();
  trace_.clear();
  driver().TurnWheel(window(), {150, 50}, 120);
  EXPECT_EQ(trace_, "focused:wheel120 ");

  edit->SetFocus();
  driver().Settle();
  trace_.clear();
  driver().TurnWheel(window(), {150, 50}, -120);
  driver().TurnWheel(window(), {50, 400}, 240);
  EXPECT_EQ(trace_, "other:wheel-120 edit:wheel240 ") << "outside every control the entry keeps it";
  EXPECT_TRUE(edit->HasFocus());
}

// Tab moves the focus in the order of creation, into group frames, a
// surface's controls before the surface, skipping what is no tab stop; Alt+key goes to the window before any control.
TEST_F(WindowSystemContractTest, TabOrderAndMnemonicKeys) {
  TraceRecorder a_listener("a", trace_), b_listener("b", trace_), c_listener("c", trace_);
  auto group = windows().CreateGroupFrame(window(), {0, 0, 200, 200}, a_listener);
  auto a = windows().CreateButton(*group, {10, 20, 60, 25}, a_listener);
  auto b = windows().CreateButton(window(), {0, 250, 60, 25}, b_listener);
  auto c = windows().CreateEdit(*group, {10, 60, 60, 20}, c_listener);
  b->SetTabStop(false);
  a->SetFocus();
  driver().Settle();
  driver().PressKey(keys::kTab);
  EXPECT_TRUE(c->HasFocus());
  driver().PressKey(keys::kTab);
  EXPECT_TRUE(a->HasFocus()) << "b is no tab stop; the order wraps around";
  driver().PressKey(keys::kTab, kKeyStateShift);
  EXPECT_TRUE(c->HasFocus());

  // A surface comes after the controls inside it.
  TraceRecorder d_listener("d", trace_);
  auto surface = windows().CreateSurface(window(), {0, 300, 100, 60}, d_listener);
  surface->SetTakesFocus(true);
  auto inside = windows().CreateDropDownList(*surface, {2, 2, 60, 22}, d_listener);
  c->SetFocus();
  driver().Settle();
  driver().PressKey(keys::kTab);
  EXPECT_TRUE(inside->HasFocus());
  driver().PressKey(keys::kTab);
  EXPECT_TRUE(surface->HasFocus());
  driver().PressKey(keys::kTab, kKeyStateShift);
  EXPECT_TRUE(inside->HasFocus());
  c->SetFocus();
  driver().Settle();

  // Not taken by the window, the key goes on to the control, and types
  // nothing (Alt+key makes no character).
  c_listener.record_keys = true;
  trace_.clear();
  driver().PressKey('W', kKeyStateAlt);
  std::size_t mnemonic = trace_.find("win:mnemonic87 ");
  ASSERT_NE(mnemonic, std::string::npos) << trace_;
  EXPECT_NE(trace_.find("c:down87 ", mnemonic), std::string::npos) << trace_;
  EXPECT_EQ(trace_.find("c:char"), std::string::npos) << trace_;
  EXPECT_EQ(trace_.find("c:changed"), std::string::npos) << trace_;
  trace_.clear();
  window_listener_.mnemonic_answer = true;
  driver().PressKey('W', kKeyStateAlt);
  EXPECT_NE(trace_.find("win:mnemonic87 "), std::string::npos) << trace_;
  EXPECT_EQ(trace_.find("c:down87"), std::string::npos) << "taken by the window: " << trace_;
}

TEST_F(WindowSystemContractTest, SurfacesPaintTheirInvalidRegionAndHearInputFirst) {
  TraceRecorder surface_listener("surface", trace_);
  auto surface = windows().CreateSurface(window(), {0, 0, 100, 100}, surface_listener);
  driver().Settle();
  ASSERT_FALSE(surface_listener.painted.empty()) << "a shown surface paints";
  surface_listener.painted.clear();
  surface->Invalidate({2, 2, 3, 3});
  surface->Invalidate({50, 50, 10, 10});
  surface->Update();
  EXPECT_TRUE(Covered(surface_listener.painted, {2, 2}));
  EXPECT_TRUE(Covered(surface_listener.painted, {59, 59}));
  EXPECT_FALSE(Covered(surface_listener.painted, {1, 1}));
  EXPECT_FALSE(Covered(surface_listener.painted, {90, 90}));

  surface_listener.record_mouse = true;
  surface->SetTakesFocus(true);
  trace_.clear();
  driver().Click(window(), {5, 7});
  EXPECT_TRUE(surface->HasFocus());
  EXPECT_EQ(trace_, "surface:focus surface:pressL(5,7) surface:releaseL(5,7) ");
  surface_listener.record_keys = true;
  trace_.clear();
  driver().TypeText(Gbk("中"));
  EXPECT_EQ(trace_, "surface:charD6D0 ");
  // A key the listener eats gives no character either.
  surface_listener.key_answer = false;
  trace_.clear();
  driver().PressKey('A');
  EXPECT_EQ(trace_, "surface:down65 ");
}

TEST_F(WindowSystemContractTest, CloseRequestsOnlyAskTheListener) {
  driver().RequestClose(window());
  EXPECT_EQ(trace_, "win:close ");
  EXPECT_TRUE(window().IsVisible());
}

}  // namespace
}  // namespace tarnwick::testing
