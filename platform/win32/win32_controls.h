// The makers of each kind of window and control, one source file per kind
// (win32_window.cpp, win32_surface.cpp, win32_buttons.cpp, ...), used by
// Win32WindowSystem. Each answers nullptr when the system cannot make it.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "platform/window_system.h"

namespace tarnwick::win32 {

// The window classes of top-level windows and their hidden owner (once per
// process; surfaces register theirs when the first is made).
void RegisterWindowClasses();

// session_ending runs when the window hears that the session ends
// (WM_ENDSESSION); the system ends the process once it returns.
std::unique_ptr<NativeWindow> MakeTopLevelWindow(const WindowStyle& style, const Rect& outer, std::string_view caption,
                                                 WindowListener& listener, std::function<void()> session_ending);
std::unique_ptr<NativeSurface> MakeSurface(NativeParent& parent, const Rect& rect, ControlListener& listener);
std::unique_ptr<NativeButton> MakeButton(NativeParent& parent, const Rect& rect, ControlListener& listener);
std::unique_ptr<NativeCheckBox> MakeCheckBox(NativeParent& parent, const Rect& rect, ControlListener& listener);
std::unique_ptr<NativeGroupFrame> MakeGroupFrame(NativeParent& parent, const Rect& rect, ControlListener& listener);
std::unique_ptr<NativeListBox> MakeListBox(NativeParent& parent, const Rect& rect, ControlListener& listener);
std::unique_ptr<NativeEdit> MakeEdit(NativeParent& parent, const Rect& rect, ControlListener& listener);
std::unique_ptr<NativeRichEdit> MakeRichEdit(NativeParent& parent, const Rect& rect, ControlListener& listener);
std::unique_ptr<NativeDropDownList> MakeDropDownList(NativeParent& parent, const Rect& rect,
                                                     ControlListener& listener);

}  // namespace tarnwick::win32
