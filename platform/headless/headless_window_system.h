// The headless window system: windows and native controls as plain objects
// in memory, with the behaviour of the standard controls the program relies
// on, and the user's input simulated by the test.
//
// Every simulated user action (MoveMouse, Click, PressKey, TypeText, ...)
// delivers its input and then processes pending events, as a real user's
// next action comes after the program has caught up.
//
// Frame metrics: the real frame is the program's own (ProgramFrameInsets in
// platform/frame_metrics.h), so 371 x 596 with a title bar gives the
// 365 x 568 the layout needs.
// Sibling controls stack in creation order, later ones on top, until
// RaiseAboveSiblings.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_canvas.h"
#include "platform/headless/headless_event_loop.h"
#include "platform/headless/headless_shell.h"
#include "platform/frame_metrics.h"
#include "platform/length_limit.h"
#include "platform/window_system.h"

namespace tarnwick {

class HeadlessWindowSystem;
class HeadlessWindow;

enum class HeadlessKind { kWindow, kSurface, kButton, kCheckBox, kListBox, kEdit, kRichEdit, kDropDownList, kGroupFrame };

// What every headless window and control shares: place in the tree, state,
// and the listener.
class HeadlessNode {
 public:
  HeadlessNode(HeadlessWindowSystem& system, HeadlessKind kind, HeadlessNode* parent, const Rect& rect,
               ControlListener* listener);
  virtual ~HeadlessNode();
  HeadlessNode(const HeadlessNode&) = delete;
  HeadlessNode& operator=(const HeadlessNode&) = delete;

  HeadlessKind kind() const { return kind_; }
  HeadlessNode* parent_node() const { return parent_; }
  HeadlessWindow* top_window() const;
  // Relative to the parent's client area (screen coordinates for a window).
  const Rect& rect() const { return rect_; }
  bool visible_flag() const { return visible_; }
  bool enabled_flag() const { return enabled_; }
  // Visible itself and every ancestor up to a visible window.
  bool IsShown() const;
  // Enabled itself and every ancestor.
  bool IsEnabledDeep() const;
  bool tab_stop() const { return tab_stop_; }
  const std::string& tooltip() const { return tooltip_; }
  const Font& font() const { return font_; }
  CursorShape cursor() const { return cursor_; }
  ControlListener* listener() const { return listener_; }
  // Children from bottom to top of the stacking order.
  const std::vector<HeadlessNode*>& child_nodes() const { return children_; }
  // Where this node's client (0, 0) lies in its window's client area.
  Point OriginInWindow() const;
  // Creation order, across the whole system.
  int serial() const { return serial_; }
  // Whether the node has the keyboard focus: it is its window's focus and
  // the window is active.
  bool HasFocusNow() const;
  // Whether a click or Tab can give it the focus.
  virtual bool CanTakeFocus() const { return kind_ != HeadlessKind::kGroupFrame && kind_ != HeadlessKind::kWindow; }

 protected:
  friend class HeadlessWindowSystem;
  void RaiseNode();

  HeadlessWindowSystem& system_;
  HeadlessKind kind_;
  HeadlessNode* parent_;
  Rect rect_;
  ControlListener* listener_;
  bool visible_ = true;
  bool enabled_ = true;
  bool tab_stop_ = true;
  std::string tooltip_;
  Font font_;
  CursorShape cursor_ = CursorShape::kDefault;
  std::vector<HeadlessNode*> children_;
  int serial_;
};

// The NativeControl operations, shared by every headless control kind.
template <class Interface>
class HeadlessControl : public Interface, public HeadlessNode {
 public:
  HeadlessControl(HeadlessWindowSystem& system, HeadlessKind kind, HeadlessNode* parent, const Rect& rect,
                  ControlListener& listener)
      : HeadlessNode(system, kind, parent, rect, &listener) {}
  void SetRect(const Rect& rect) override { Resized(rect); }
  void SetVisible(bool visible) override { visible_ = visible; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  void SetFocus() override;
  bool HasFocus() const override { return HasFocusNow(); }
  void SetTabStop(bool tab_stop) override { tab_stop_ = tab_stop; }
  void SetToolTip(std::string_view text) override { tooltip_ = std::string(text); }
  void SetFont(const Font& font) override { font_ = font; }
  void SetCursor(CursorShape shape) override { cursor_ = shape; }
  void RaiseAboveSiblings() override { RaiseNode(); }

 protected:
  virtual void Resized(const Rect& rect) { rect_ = rect; }
};

class HeadlessSurface : public HeadlessControl<NativeSurface> {
 public:
  HeadlessSurface(HeadlessWindowSystem& system, HeadlessNode* parent, const Rect& rect, ControlListener& listener);
  void SetAccessible(const AccessibleDescription& description) override { accessible_ = description; }
  const AccessibleDescription& accessible() const { return accessible_; }
  void Invalidate(const Rect& rect) override;
  void InvalidateAll() override;
  void Update() override;
  void SetTakesFocus(bool takes_focus) override { takes_focus_ = takes_focus; }
  bool CanTakeFocus() const override { return takes_focus_; }

  // Paints the invalid region if the surface is shown; answers whether it did.
  bool PaintIfInvalid();
  // The surface's pixels as last painted.
  Color PixelAt(int x, int y) const;
  const Image& pixels() const { return backing_; }
  // The drawing calls of the last paint, and the region it was asked for.
  const std::vector<DrawOp>& last_paint_ops() const { return last_ops_; }
  const Rect& last_dirty() const { return last_dirty_; }
  int paint_count() const { return paint_count_; }
  bool has_invalid() const { return invalid_.has_value(); }

 protected:
  void Resized(const Rect& rect) override;

 private:
  Image backing_;
  std::optional<Rect> invalid_;
  std::vector<DrawOp> last_ops_;
  Rect last_dirty_;
  int paint_count_ = 0;
  bool takes_focus_ = false;
  AccessibleDescription accessible_;
};

class HeadlessButton : public HeadlessControl<NativeButton> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetCaption(std::string_view caption) override { caption_ = std::string(caption); }
  void SetIcon(const Image& icon) override { icon_ = icon; }
  void Click() override;
  const std::string& caption() const { return caption_; }
  const Image& icon() const { return icon_; }
  bool pressed() const { return pressed_; }

 private:
  friend class HeadlessWindowSystem;
  std::string caption_;
  Image icon_;
  bool pressed_ = false;
};

class HeadlessCheckBox : public HeadlessControl<NativeCheckBox> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetCaption(std::string_view caption) override { caption_ = std::string(caption); }
  void SetChecked(bool checked) override { checked_ = checked; }
  bool IsChecked() const override { return checked_; }
  void Click() override;
  const std::string& caption() const { return caption_; }

 private:
  friend class HeadlessWindowSystem;
  std::string caption_;
  bool checked_ = false;
  bool pressed_ = false;
};

class HeadlessListBox : public HeadlessControl<NativeListBox> {
 public:
  using HeadlessControl::HeadlessControl;
  void Clear() override;
  void InsertItem(int index, std::string_view text) override;
  int Count() const override { return static_cast<int>(items_.size()); }
  std::string ItemText(int index) const override;
  int Selection() const override { return selection_; }
  void SetSelection(int index) override;
  void SetItemSpacing(int spacing) override { spacing_ = spacing; }
  void SetColors(Color text, Color background) override { text_color_ = text; background_ = background; }
  void SetBorder(ControlBorder border) override { border_ = border; }
  void SetMultiColumn(bool multi_column) override { multi_column_ = multi_column; }

  const std::vector<std::string>& items() const { return items_; }
  int item_height() const { return HeadlessCanvas::FontHeight(font_) + spacing_; }
  // The item under a point of the client area, -1 for none.
  int ItemAt(Point point) const;
  Color text_color() const { return text_color_; }
  Color background() const { return background_; }
  ControlBorder border() const { return border_; }
  bool multi_column() const { return multi_column_; }
  int spacing() const { return spacing_; }

 private:
  std::vector<std::string> items_;
  int selection_ = -1;
  int spacing_ = 0;
  Color text_color_ = Rgb(0, 0, 0);
  Color background_ = Rgb(255, 255, 255);
  ControlBorder border_ = ControlBorder::kSunken;
  bool multi_column_ = false;
};

class HeadlessEdit : public HeadlessControl<NativeEdit> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetText(std::string_view text) override;
  std::string Text() const override { return text_; }
  void SetColors(Color text, Color background) override { text_color_ = text; background_ = background; }
  void SetBorder(ControlBorder border) override { border_ = border; }
  void SetMasked(bool masked) override { masked_ = masked; }
  void SetMaxLength(int bytes) override { limit_.SetMaximum(bytes, text_); }
  void SetReadOnly(bool read_only) override { read_only_ = read_only; }

  // As the user types at the end of the text, within the maximum length.
  void TypeText(std::string_view text);

  Color text_color() const { return text_color_; }
  Color background() const { return background_; }
  ControlBorder border() const { return border_; }
  bool masked() const { return masked_; }
  bool read_only() const { return read_only_; }

 private:
  friend class HeadlessWindowSystem;
  std::string text_;
  Color text_color_ = Rgb(0, 0, 0);
  Color background_ = Rgb(255, 255, 255);
  ControlBorder border_ = ControlBorder::kSunken;
  bool masked_ = false;
  bool read_only_ = false;
  LengthLimit limit_;
};

class HeadlessRichEdit : public HeadlessControl<NativeRichEdit> {
 public:
  HeadlessRichEdit(HeadlessWindowSystem& system, HeadlessNode* parent, const Rect& rect, ControlListener& listener,
                   Shell& shell);
  void SetText(std::string_view text) override;
  std::string Text() const override { return text_; }
  void SetReadOnly(bool read_only) override { read_only_ = read_only; }
  bool IsReadOnly() const override { return read_only_; }
  void SetBackground(Color background) override { background_ = background; }
  void SetBorder(ControlBorder border) override { border_ = border; }
  void SetMultiLine(bool multi_line) override { multi_line_ = multi_line; }
  void SetTypesTab(bool types_tab) override { types_tab_ = types_tab; }
  void SetWordWrap(bool word_wrap) override { word_wrap_ = word_wrap; }
  void SetHideSelection(bool hide) override { hide_selection_ = hide; }
  void SetMaxLength(int bytes) override { limit_.SetMaximum(bytes, text_); }
  void SetSelection(int start, int length) override;
  int SelectionStart() const override { return selection_start_; }
  int SelectionLength() const override { return selection_length_; }
  std::string SelectedText() const override;
  // Laid out in cells of kCharacterWidth per byte and kLineHeight per line,
  // without wrapping.
  Point CaretPoint() const override;
  void Copy() override;
  void Cut() override;
  void Paste() override;
  void Clear() override;
  bool IsModified() const override { return modified_; }

  // As the user types: replaces the selection with text (GBK) unless
  // read-only, within the maximum length.
  void TypeText(std::string_view text);
  Color background() const { return background_; }
  ControlBorder border() const { return border_; }
  static constexpr int kCharacterWidth = 6;
  static constexpr int kLineHeight = 12;
  bool multi_line() const { return multi_line_; }
  bool word_wrap() const { return word_wrap_; }
  bool hide_selection() const { return hide_selection_; }
  int max_length() const { return limit_.maximum(); }
  // Right-button presses the control processed itself (none were answered
  // false by its listener).
  int own_right_clicks() const { return own_right_clicks_; }

 private:
  friend class HeadlessWindowSystem;
  void ReplaceSelection(std::string_view text);

  Shell& shell_;
  std::string text_;
  int selection_start_ = 0;
  int selection_length_ = 0;
  bool read_only_ = false;
  Color background_ = Rgb(255, 255, 255);
  ControlBorder border_ = ControlBorder::kSunken;
  bool multi_line_ = true;
  bool types_tab_ = false;
  bool word_wrap_ = true;
  bool hide_selection_ = true;
  LengthLimit limit_;
  bool modified_ = false;
  int own_right_clicks_ = 0;
};

class HeadlessDropDownList : public HeadlessControl<NativeDropDownList> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetItems(const std::vector<std::string>& items) override;
  int Count() const override { return static_cast<int>(items_.size()); }
  std::string ItemText(int index) const override;
  int Selection() const override { return selection_; }
  void SetSelection(int index) override;
  const std::vector<std::string>& items() const { return items_; }
  // The user opens the list and picks the item at index: it is selected,
  // the listener hears of it, and pending events are processed.
  void UserChoose(int index);

 private:
  friend class HeadlessWindowSystem;
  std::vector<std::string> items_;
  int selection_ = -1;
};

class HeadlessGroupFrame : public HeadlessControl<NativeGroupFrame> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetCaption(std::string_view caption) override { caption_ = std::string(caption); }
  const std::string& caption() const { return caption_; }

 private:
  std::string caption_;
};

class HeadlessWindow : public NativeWindow, public HeadlessNode {
 public:
  HeadlessWindow(HeadlessWindowSystem& system, const WindowStyle& style, const Rect& outer,
                 std::string_view caption, WindowListener& listener);
  ~HeadlessWindow() override;

  void SetCaption(std::string_view caption) override { caption_ = std::string(caption); }
  Rect OuterRect() const override { return rect_; }
  void SetOuterRect(const Rect& rect) override { rect_ = rect; }
  Size ClientSize() const override;
  Point ClientOrigin() const override;
  void Show() override;
  void Hide() override;
  bool IsVisible() const override { return visible_; }
  void SetWindowOrder(WindowOrder order) override;
  void Activate() override;
  bool IsActive() const override;
  void SetBackground(Color color) override { style_.background = color; }

  const std::string& caption() const { return caption_; }
  const WindowStyle& style() const { return style_; }
  bool has_title_bar() const { return frame_.title_bar; }
  FrameInsets insets() const { return ProgramFrameInsets(frame_); }
  bool always_on_top() const { return style_.always_on_top; }
  WindowListener& window_listener() const { return *window_listener_; }
  // The control that has (or will have, on activation) the keyboard focus.
  HeadlessNode* focus() const { return focus_; }

 private:
  friend class HeadlessWindowSystem;
  WindowStyle style_;
  FrameParts frame_;  // decided at creation
  std::string caption_;
  WindowListener* window_listener_;
  HeadlessNode* focus_ = nullptr;
};

class HeadlessWindowSystem : public WindowSystem {
 public:
  HeadlessWindowSystem(HeadlessEventLoop& loop, Shell& shell);
  ~HeadlessWindowSystem() override;

  std::unique_ptr<NativeWindow> CreateTopLevelWindow(const WindowStyle& style, const Rect& outer,
                                                     std::string_view caption, WindowListener& listener) override;
  std::unique_ptr<NativeSurface> CreateSurface(NativeParent& parent, const Rect& rect,
                                               ControlListener& listener) override;
  std::unique_ptr<NativeButton> CreateButton(NativeParent& parent, const Rect& rect,
                                             ControlListener& listener) override;
  std::unique_ptr<NativeCheckBox> CreateCheckBox(NativeParent& parent, const Rect& rect,
                                                 ControlListener& listener) override;
  std::unique_ptr<NativeListBox> CreateListBox(NativeParent& parent, const Rect& rect,
                                               ControlListener& listener) override;
  std::unique_ptr<NativeEdit> CreateEdit(NativeParent& parent, const Rect& rect, ControlListener& listener) override;
  std::unique_ptr<NativeRichEdit> CreateRichEdit(NativeParent& parent, const Rect& rect,
                                                 ControlListener& listener) override;
  std::unique_ptr<NativeDropDownList> CreateDropDownList(NativeParent& parent, const Rect& rect,
                                                         ControlListener& listener) override;
  std::unique_ptr<NativeGroupFrame> CreateGroupFrame(NativeParent& parent, const Rect& rect,
                                                     ControlListener& listener) override;
  // The classic scheme: button face (212, 208, 200), shadow (128, 128, 128),
  // highlight white, dark shadow (64, 64, 64), window white, text black,
  // grey text (128, 128, 128), selection (10, 36, 106), tooltip (255, 255, 225).
  Color GetSystemColor(SystemColor role) const override;
  // "宋体" (GBK), 12 pixels.
  Font DefaultGuiFont() const override;
  std::unique_ptr<Canvas> CreateOffscreenCanvas(Size size) override;

  // Simulated user input. Points are in the window's client coordinates.
  void MoveMouse(HeadlessWindow& window, Point client);
  void PressMouse(HeadlessWindow& window, Point client, MouseButton button, int key_state = 0);
  void ReleaseMouse(HeadlessWindow& window, Point client, MouseButton button, int key_state = 0);
  // Move, press and release at one point.
  void Click(HeadlessWindow& window, Point client, MouseButton button = MouseButton::kLeft, int key_state = 0);
  // The system's sequence: press, release, double click, release.
  void DoubleClick(HeadlessWindow& window, Point client, int key_state = 0);
  // Moves the pointer off every window (the control under it gets its leave).
  void MoveMouseAway();
  // The wheel turns: delivered to the focused control of the active window,
  // or, while that is an edit or a rich edit, to the control of that window
  // under the pointer.
  void TurnWheel(int delta, int key_state = 0);
  // Keys go to the focused control of the active window (or the window).
  void KeyDown(int key_code, int key_state = 0);
  void KeyUp(int key_code, int key_state = 0);
  void PressKey(int key_code, int key_state = 0);
  // Types each character of GBK text into the focused control; tasks posted
  // while handling one character run before the next is delivered.
  void TypeText(std::string_view text);
  // The user clicks the window's title bar (activates it).
  void ActivateByUser(HeadlessWindow& window);
  // The user switches to another program: the active window loses activation.
  void ActivateOtherApplication();
  // One of the program's dialogs opens and takes the activation from the
  // active window, as on the real systems; closing it gives the activation
  // back to that window (when it is still shown and nothing else took it).
  void DialogShown();
  void DialogClosed();
  // The user clicks the close box.
  void RequestClose(HeadlessWindow& window);
  // Paints every shown surface with an invalid region; answers whether any.
  bool PaintInvalidSurfaces();

  // Inspection.
  // The deepest shown control at a point of the window's client area (the
  // window itself when none), or nullptr outside the client area.
  HeadlessNode* NodeAt(HeadlessWindow& window, Point client) const;
  HeadlessWindow* active_window() const { return active_; }
  // The control with the keyboard focus, nullptr when none.
  HeadlessNode* focused() const;
  // Top-level windows, topmost first (the always-on-top band before the rest).
  std::vector<HeadlessWindow*> ZOrder() const;
  const std::vector<HeadlessWindow*>& windows() const { return windows_; }
  HeadlessEventLoop& loop() { return loop_; }

 private:
  friend class HeadlessNode;
  friend class HeadlessWindow;
  template <class Interface>
  friend class HeadlessControl;

  HeadlessNode* ParentNode(NativeParent& parent) const;
  int NextSerial() { return next_serial_++; }
  void Forget(HeadlessNode* node);
  void FocusNode(HeadlessNode* node);
  // A loss to no window at all counts as the activation leaving the program
  // unless to_other_program is false (one of its dialogs took it).
  void SetActive(HeadlessWindow* window, bool to_other_program = true);
  void BringToTop(HeadlessWindow* window);
  void DispatchMouse(HeadlessWindow& window, Point client, MouseAction action, MouseButton button, int key_state);
  void NativeMouse(HeadlessNode& node, const MouseEvent& event);
  void SetHover(HeadlessNode* node);
  void MoveFocusByTab(bool backwards);
  // A typed character: the control's listener first, then the control.
  void DeliverCharacter(HeadlessNode& target, std::string_view character);
  HeadlessNode* KeyTarget() const;
  HeadlessNode* WheelTarget() const;
  void Settle() { loop_.ProcessPendingEvents(); }

  HeadlessEventLoop& loop_;
  Shell& shell_;
  std::vector<HeadlessWindow*> windows_;
  std::vector<HeadlessWindow*> z_order_;  // topmost first, bands unsorted
  std::vector<HeadlessSurface*> surfaces_;
  HeadlessWindow* active_ = nullptr;
  // The window each open dialog took the activation from, innermost last.
  std::vector<HeadlessWindow*> dialog_openers_;
  HeadlessNode* hover_ = nullptr;
  HeadlessNode* capture_ = nullptr;
  int next_serial_ = 1;
};

template <class Interface>
void HeadlessControl<Interface>::SetFocus() {
  system_.FocusNode(this);
}

}  // namespace tarnwick
