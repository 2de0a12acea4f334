// Windows and native controls on Win32.
//
// Each native control is the system's own window class (BUTTON, LISTBOX,
// EDIT, COMBOBOX, the rich edit control), subclassed so that its listener
// sees mouse, key, character and focus input before the control does.
// Top-level windows and owner-drawn surfaces have window classes of their
// own; a surface paints through a Win32Canvas (a memory DC) and copies it to
// the screen. Texts are GBK at the interface and UTF-16 at the wide-character
// functions.
//
// Frame metrics (platform/frame_metrics.h): the client area is the outer
// size less the program's insets (3 pixels each side, 25 above with a title
// bar); the real outer size comes from AdjustWindowRectEx for the window's
// styles, so the client area is exact whatever the system's frame metrics.
// OuterRect answers the program's outer size at the window's real position.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>

#include "platform/win32/win32_event_loop.h"
#include "platform/window_system.h"

namespace tarnwick::win32 {

class Win32WindowSystem : public WindowSystem {
 public:
  // Hooks PreDispatchMessage into the loop, which must outlive this object.
  explicit Win32WindowSystem(Win32EventLoop& loop);
  ~Win32WindowSystem() override;
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

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
  Win32EventLoop& loop_;
};

// What the window system takes from the queue before it is dispatched:
// Alt+letter or digit goes to the window's OnMnemonicKey (consumed when it
// answers true; the native controls never act on their own ampersand
// captions), Tab goes to the focused control's listener and then moves the
// focus in creation order, a control's children after it (whatever the
// window order), and the wheel goes to the control with the keyboard focus.
// Answers true when the message was consumed.
bool PreDispatchMessage(MSG& message);

// Windows, parents and controls made here implement HasWindowHandle
// (win32_window_handle.h): WindowHandleOf finds their HWND.

}  // namespace tarnwick::win32
