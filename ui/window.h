// The window kind (窗口): a top-level window that owns its controls.
//
// Properties at run time: left, top, width, height (the outer frame in screen
// coordinates, as the user may have moved it), visible, and the caption
// (property 8). The frame and the other design-time settings come from
// WindowDesign. Events: 0 created (once, after the window and all its
// controls exist), 1 query close (false keeps the window open), 5 activated,
// 6 deactivated (argument: true when the activation left the program, false
// when one of its own windows took it), and the common events on its client
// area.
// The window also handles the keyboard mnemonics of its clickable controls.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control.h"

namespace tarnwick {

struct WindowDesign {
  std::string caption;  // GBK
  Rect rect;            // outer frame, screen coordinates
  // 0 none; 1 resizable; 2 fixed; 3, 4 resizable and fixed tool-window
  // frames; 5, 6 resizable and fixed frames with a sunken client edge.
  int border_style = 2;
  std::optional<Color> background;  // none: the system's window face colour
  bool control_box = true;          // system menu with the close box
  bool maximize_box = false;
  bool minimize_box = false;
  // 0 as designed, 1 centred on the screen (2 minimised and 3 maximised are
  // not used by the program and place it as designed).
  int start_position = 0;
  bool movable = true;
  bool in_taskbar = true;
  bool always_on_top = false;
  bool visible = true;  // whether Load shows it
  // false: showing, clicking or ordering it never activates it.
  bool takes_activation = true;
  // Closing this window ends the event loop with exit code 0 (the window the
  // program runs its loop on).
  bool ends_program_on_close = false;
};

class Window : public Control, public WindowListener {
 public:
  static constexpr int kCaption = 8;  // property: text
  static constexpr int kCreated = 0;
  static constexpr int kQueryClose = 1;
  static constexpr int kActivated = 5;
  static constexpr int kDeactivated = 6;

  // Creates the window, hidden. A centred start position places it at
  // ((screen width - width) / 2, (screen height - height) / 2).
  Window(Platform& platform, std::string name, const WindowDesign& design);
  ~Window() override;

  Platform& platform() const { return platform_; }
  NativeWindow& native_window() const { return *native_; }
  const WindowDesign& design() const { return design_; }

  // Creates a control of the window: Kind's constructor takes (Window&,
  // Control* parent, std::string name, const Rect&, const ControlFlags&,
  // ...). Controls are kept in creation order, which is also the Tab order
  // and the order the mnemonics search.
  template <class Kind, class... Args>
  Kind& Add(Args&&... args) {
    auto control = std::make_unique<Kind>(*this, std::forward<Args>(args)...);
    Kind& added = *control;
    controls_.push_back(std::move(control));
    return added;
  }
  // The control of that name (UTF-8), nullptr when there is none.
  Control* Find(std::string_view name) const;
  template <class Kind>
  Kind* FindAs(std::string_view name) const {
    return dynamic_cast<Kind*>(Find(name));
  }
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  // Loads the window (modeless): starts its timers, raises created, then
  // shows the window if its visible flag is set. Only the first call acts.
  void Load();
  bool loaded() const { return loaded_; }
  // Asks the window to close, as the close box does: raises query close;
  // unless the handler answered false, the window is hidden for good, its
  // timers stop and, for the program's window, the loop ends. Answers whether
  // it closed.
  bool Close();
  bool closed() const { return closed_; }
  // Moves the window in the window order without activating it, moving it
  // or sizing it.
  void SetWindowOrder(WindowOrder order = WindowOrder::kTop);
  // Makes the window the active window and brings it to the front.
  void Activate() { native_->Activate(); }

  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption);
  // The outer frame as it is now (the user may have moved the window).
  Rect outer_rect() const { return native_->OuterRect(); }
  Size ClientSize() const { return native_->ClientSize(); }
  bool IsActive() const { return native_->IsActive(); }

  Rect rect() const override { return native_ ? native_->OuterRect() : Control::rect(); }
  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;

  // The mnemonic search: the first control in creation order that is
  // visible, enabled, clickable and whose caption has "&" before the
  // character key_code stands for (letters in either case). Clicks it and
  // answers true; false when there is none.
  bool ClickMnemonic(int key_code);

 protected:
  void OnRectChanged() override;
  void OnVisibleChanged() override;

  // WindowListener (the same input also reaches the common events).
  bool OnMouse(const MouseEvent& event) override { return Control::OnMouse(event); }
  bool OnWheel(const WheelEvent& event) override { return Control::OnWheel(event); }
  bool OnKey(const KeyEvent& event) override { return Control::OnKey(event); }
  bool OnCharacter(std::uint32_t code) override { return Control::OnCharacter(code); }
  void OnFocusChanged(bool has_focus) override { Control::OnFocusChanged(has_focus); }
  void OnActivationChanged(bool active, bool to_other_program) override;
  bool OnCloseRequested() override { return Close(); }
  bool OnMnemonicKey(const KeyEvent& event) override;

 private:
  Platform& platform_;
  WindowDesign design_;
  std::string caption_;
  std::unique_ptr<NativeWindow> native_;
  std::vector<std::unique_ptr<Control>> controls_;
  bool loaded_ = false;
  bool closed_ = false;
};

// Hooks a control kind may implement to follow its window's life: the timer
// starts when the window is created and stops when it closes.
class WindowLifeFollower {
 public:
  virtual ~WindowLifeFollower() = default;
  virtual void OnWindowLoaded() {}
  virtual void OnWindowClosed() {}
};

}  // namespace tarnwick
