// Windows and native controls on Qt Widgets.
//
// Each native control is the matching Qt widget (QPushButton, QCheckBox,
// QListWidget, QLineEdit, QPlainTextEdit, QComboBox, QGroupBox); owner-drawn
// surfaces are plain widgets that paint through a QtCanvas into an off-screen
// pixmap and copy the invalid rectangles to the screen.
//
// Frame metrics (platform/frame_metrics.h): whatever the window manager
// draws (or nothing, on a bare X server), the client area is always the outer
// size less the program's frame insets, so the layout's client area is exact;
// the outer position is the frame's (the window manager's) top left.
#pragma once

#include <QObject>
#include <QWidget>
#include <memory>

#include "platform/window_system.h"

namespace tarnwick::qt {

// What a native parent (window or group frame) offers to the controls made in it.
class QtParent {
 public:
  virtual ~QtParent() = default;
  virtual QWidget* container() = 0;
};

// The Qt widget behind a window or group frame made by this backend; nullptr
// for anything else.
QWidget* ContainerOf(NativeParent* parent);

class QtWindowSystem : public WindowSystem {
 public:
  QtWindowSystem();
  ~QtWindowSystem() override;

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

  Color GetSystemColor(SystemColor role) const override;
  Font DefaultGuiFont() const override;
  std::unique_ptr<Canvas> CreateOffscreenCanvas(Size size) override;

 private:
  // Routes Alt+key to the window's mnemonic handler and the wheel to the
  // control with the keyboard focus, for every window of the program.
  std::unique_ptr<QObject> router_;
};

}  // namespace tarnwick::qt
