#include "platform/win32/win32_window_system.h"

#include <commctrl.h>

#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_control.h"
#include "platform/win32/win32_controls.h"

namespace tarnwick::win32 {

Win32WindowSystem::Win32WindowSystem(Win32EventLoop& loop) : loop_(loop) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterWindowClasses();
  loop_.SetPreDispatchHook([](MSG& message) { return PreDispatchMessage(message); });
}

Win32WindowSystem::~Win32WindowSystem() { loop_.SetPreDispatchHook(nullptr); }

std::unique_ptr<NativeWindow> Win32WindowSystem::CreateTopLevelWindow(const WindowStyle& style, const Rect& outer,
                                                                      std::string_view caption,
                                                                      WindowListener& listener) {
  return MakeTopLevelWindow(style, outer, caption, listener, [this] { loop_.RequestSave(); });
}

std::unique_ptr<NativeSurface> Win32WindowSystem::CreateSurface(NativeParent& parent, const Rect& rect,
                                                                ControlListener& listener) {
  return MakeSurface(parent, rect, listener);
}

std::unique_ptr<NativeButton> Win32WindowSystem::CreateButton(NativeParent& parent, const Rect& rect,
                                                              ControlListener& listener) {
  return MakeButton(parent, rect, listener);
}

std::unique_ptr<NativeCheckBox> Win32WindowSystem::CreateCheckBox(NativeParent& parent, const Rect& rect,
                                                                  ControlListener& listener) {
  return MakeCheckBox(parent, rect, listener);
}

std::unique_ptr<NativeListBox> Win32WindowSystem::CreateListBox(NativeParent& parent, const Rect& rect,
                                                                ControlListener& listener) {
  return MakeListBox(parent, rect, listener);
}

std::unique_ptr<NativeEdit> Win32WindowSystem::CreateEdit(NativeParent& parent, const Rect& rect,
                                                          ControlListener& listener) {
  return MakeEdit(parent, rect, listener);
}

std::unique_ptr<NativeRichEdit> Win32WindowSystem::CreateRichEdit(NativeParent& parent, const Rect& rect,
                                                                  ControlListener& listener) {
  return MakeRichEdit(parent, rect, listener);
}

std::unique_ptr<NativeDropDownList> Win32WindowSystem::CreateDropDownList(NativeParent& parent, const Rect& rect,
                                                                          ControlListener& listener) {
  return MakeDropDownList(parent, rect, listener);
}

std::unique_ptr<NativeGroupFrame> Win32WindowSystem::CreateGroupFrame(NativeParent& parent, const Rect& rect,
                                                                      ControlListener& listener) {
  return MakeGroupFrame(parent, rect, listener);
}

Color Win32WindowSystem::GetSystemColor(SystemColor role) const {
  int index = COLOR_WINDOW;
  switch (role) {
    case SystemColor::kWindow: index = COLOR_WINDOW; break;
    case SystemColor::kWindowText: index = COLOR_WINDOWTEXT; break;
    case SystemColor::kButtonFace: index = COLOR_BTNFACE; break;
    case SystemColor::kButtonText: index = COLOR_BTNTEXT; break;
    case SystemColor::kButtonHighlight: index = COLOR_BTNHIGHLIGHT; break;
    case SystemColor::kButtonLight: index = COLOR_3DLIGHT; break;
    case SystemColor::kButtonShadow: index = COLOR_BTNSHADOW; break;
    case SystemColor::kButtonDarkShadow: index = COLOR_3DDKSHADOW; break;
    case SystemColor::kGrayText: index = COLOR_GRAYTEXT; break;
    case SystemColor::kHighlight: index = COLOR_HIGHLIGHT; break;
    case SystemColor::kHighlightText: index = COLOR_HIGHLIGHTTEXT; break;
    case SystemColor::kInfoBackground: index = COLOR_INFOBK; break;
    case SystemColor::kInfoText: index = COLOR_INFOTEXT; break;
  }
  return FromColorRef(GetSysColor(index));
}

Font Win32WindowSystem::DefaultGuiFont() const { return ChineseGuiFont(); }

std::unique_ptr<Canvas> Win32WindowSystem::CreateOffscreenCanvas(Size size) {
  return std::make_unique<Win32Canvas>(nullptr, size);
}

}  // namespace tarnwick::win32
