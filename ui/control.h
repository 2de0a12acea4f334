// The control model: what every control of a window shares.
//
// A control has a name (its name in the window layout, UTF-8 as written in
// the source), a kind, a parent (the window, or a group box), a rectangle
// relative to the parent, three creation flags, properties addressed by
// number and events addressed by number. Properties 0 to 7 are common to all
// kinds; a kind's own properties follow from 8. A kind's own events are
// numbered from 0; the common events, raised from the window system's input
// before the control itself processes it, are negative.
//
// Handlers answer a boolean. For the mouse and key events (and the window's
// query close) false stops further processing; true, or a handler that has
// nothing to say, leaves processing unchanged. Everything runs on the one
// user-interface thread; a handler runs to its end before the next event.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "base/datetime.h"
#include "platform/platform.h"

namespace tarnwick {

class Window;

enum class ControlKind {
  kWindow,
  kSuperBtn,
  kRichEdit,
  kLabel,
  kGroupBox,
  kListBox,
  kEditBox,
  kButton,
  kCheckBox,
  kPicBox,
  kHyperLinker,
  kTimer,
  kCommonDlg,
  kCnMonthCalendar,
};

// Common property numbers.
namespace property {
inline constexpr int kLeft = 0;      // 左边
inline constexpr int kTop = 1;       // 顶边
inline constexpr int kWidth = 2;     // 宽度
inline constexpr int kHeight = 3;    // 高度
inline constexpr int kTag = 4;       // 标记, text
inline constexpr int kVisible = 5;   // 可视
inline constexpr int kDisabled = 6;  // 禁止
inline constexpr int kCursor = 7;    // 鼠标指针, integer (CursorShape)
inline constexpr int kFirstOwn = 8;
}  // namespace property

// Common event numbers and their arguments.
namespace event {
inline constexpr int kLeftButtonDown = -1;   // x, y, key state
inline constexpr int kLeftButtonUp = -2;     // x, y, key state
inline constexpr int kDoubleClick = -3;      // x, y, key state
inline constexpr int kRightButtonDown = -4;  // x, y, key state
inline constexpr int kRightButtonUp = -5;    // x, y, key state
inline constexpr int kMouseMove = -6;        // x, y, key state
inline constexpr int kGotFocus = -7;         // none
inline constexpr int kLostFocus = -8;        // none
inline constexpr int kKeyDown = -9;          // key code, key state
inline constexpr int kKeyUp = -10;           // key code, key state
inline constexpr int kCharacter = -11;       // character code
// Whole notches (120 per notch, positive away from the user), key state.
// Smaller turns add up until they make a notch; a turn the other way drops
// what had added up.
inline constexpr int kWheelScrolled = -12;
}  // namespace event

// A picture property: shared, immutable decoded pixels; null for none.
using Picture = std::shared_ptr<const Image>;

// A property value or an event argument. std::monostate is "not set": for
// colour and picture properties it means the default (the system colour, no
// picture).
using Value = std::variant<std::monostate, bool, int, double, std::string, Color, Font, Picture>;

using EventArgs = std::vector<Value>;

// Argument accessors that tolerate a missing or differently typed argument
// (they answer 0, false or empty).
int ArgInt(const EventArgs& args, std::size_t index);
bool ArgBool(const EventArgs& args, std::size_t index);
std::string ArgText(const EventArgs& args, std::size_t index);

// A handler answers false to stop further processing (mouse and key events,
// query close); true otherwise.
using EventHandler = std::function<bool(const EventArgs& args)>;

struct ControlFlags {
  bool visible = true;
  bool disabled = false;
  bool tab_stop = true;  // reachable with the Tab key
};

class Control : protected ControlListener {
 public:
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  ~Control() override;

  const std::string& name() const { return name_; }
  ControlKind kind() const { return kind_; }
  Window& window() const { return window_; }
  // The group box holding the control; nullptr when its parent is the window.
  Control* parent() const { return parent_; }
  Platform& platform() const;

  // Properties by number. Reading an unknown number answers monostate;
  // writing one, or a value of the wrong type, answers false and changes
  // nothing. Writing takes effect at once. Reading text yields a copy.
  virtual Value GetProperty(int number) const;
  virtual bool SetProperty(int number, const Value& value);

  // The common properties, typed.
  virtual Rect rect() const { return rect_; }
  void SetRect(const Rect& rect);
  int left() const { return rect().left; }
  int top() const { return rect().top; }
  int width() const { return rect().width; }
  int height() const { return rect().height; }
  const std::string& tag() const { return tag_; }
  void SetTag(std::string tag) { tag_ = std::move(tag); }
  bool visible() const { return visible_; }
  void SetVisible(bool visible);
  bool disabled() const { return disabled_; }
  void SetDisabled(bool disabled);
  CursorShape cursor() const { return cursor_; }
  void SetCursor(CursorShape cursor);
  bool tab_stop() const { return tab_stop_; }

  // Visible itself and every group box above it.
  bool IsVisibleInWindow() const;
  // Not disabled, nor any group box above it.
  bool IsEnabledInWindow() const;

  // Binds the handler of an event (one per event; a new one replaces it; an
  // empty function unbinds).
  void SetHandler(int event_number, EventHandler handler);
  bool HasHandler(int event_number) const;
  // Numbers of the events that have a handler, ascending.
  std::vector<int> BoundEvents() const;
  // Raises an event now: runs its handler, if any. Answers the handler's
  // answer, true when there is none.
  bool Raise(int event_number, const EventArgs& args = {});
  // Raises an event after the current handler has returned (a posted
  // message). Nothing happens if the control is gone by then.
  void PostEvent(int event_number, EventArgs args = {});
  // Runs task after the current handler, unless the control is gone by then.
  void Post(std::function<void()> task);

  // Keyboard focus.
  void SetFocus();
  bool HasFocus() const;
  // Draws the control above the siblings it overlaps.
  void BringToFront();

  // Keyboard mnemonics: a clickable kind (buttons, image buttons, check
  // boxes) answers true and gives its caption; ClickByMnemonic acts as the
  // user's click.
  virtual bool IsClickable() const { return false; }
  virtual std::string MnemonicCaption() const { return {}; }
  virtual void ClickByMnemonic() {}

  // The native control behind it; nullptr for components that are invisible
  // at run time (timer, file dialog).
  virtual NativeControl* native() const { return nullptr; }
  // What the control's children are created in: a group box's frame, a
  // self-drawn control's surface; nullptr for other kinds.
  virtual NativeParent* native_parent() const { return nullptr; }

 protected:
  Control(Window& window, Control* parent, std::string name, ControlKind kind, const Rect& rect,
          const ControlFlags& flags);

  // Where a native control of this control is created.
  NativeParent& ParentForNative() const;
  // Called once by each kind after it made its native control: applies the
  // common state (rectangle, visibility, enabled, Tab, font default).
  void AttachNative(NativeControl& native);
  // State changes the kind may want to follow (the native control is
  // already updated when it exists).
  virtual void OnRectChanged() {}
  virtual void OnVisibleChanged() {}
  virtual void OnEnabledChanged() {}

  // The window system's input, turned into the common events. Kinds that
  // process input themselves override the Handle* methods, which run only
  // when the handler did not answer false.
  bool OnMouse(const MouseEvent& event) override;
  bool OnWheel(const WheelEvent& event) override;
  bool OnKey(const KeyEvent& event) override;
  bool OnCharacter(std::uint32_t code) override;
  void OnFocusChanged(bool has_focus) override;
  virtual void HandleMouse(const MouseEvent& event) { (void)event; }
  virtual void HandleKey(const KeyEvent& event) { (void)event; }

  ControlListener& listener() { return *this; }

 private:
  friend class Window;

  Window& window_;
  Control* parent_;
  std::string name_;
  // The part of a notch the wheel has turned so far.
  int wheel_rest_ = 0;
  ControlKind kind_;
  Rect rect_;
  std::string tag_;
  bool visible_;
  bool disabled_;
  bool tab_stop_;
  CursorShape cursor_ = CursorShape::kDefault;
  NativeControl* native_ = nullptr;
  std::map<int, EventHandler> handlers_;
  // Shared with posted tasks so they can tell whether the control is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tarnwick
