// What every window of the Win32 window system shares: the C++ object behind
// each HWND, the routing of input to its listener before the window class
// sees it, the notifications a parent passes on to the child they concern,
// and the operations common to all native controls.
//
// Native controls (BUTTON, LISTBOX, EDIT, COMBOBOX, the rich edit control)
// are subclassed with SetWindowSubclass; top-level windows and surfaces have
// window classes of their own. Either way the object is found from the HWND
// through a window property, and it is detached before its window is
// destroyed, so no notification reaches a listener on the way out.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32/win32_window_handle.h"
#include "platform/window_system.h"

namespace tarnwick::win32 {

// The window text of hwnd as GBK, and back.
std::string WindowTextOf(HWND hwnd);
void SetWindowTextOf(HWND hwnd, std::string_view gbk);

// The module that registers the backend's window classes.
HINSTANCE ModuleInstance();

class Win32Node : public HasWindowHandle {
 public:
  ~Win32Node() override;
  Win32Node(const Win32Node&) = delete;
  Win32Node& operator=(const Win32Node&) = delete;

  // The object behind a window of this backend; nullptr for other windows.
  static Win32Node* FromHandle(HWND hwnd);

  HWND window_handle() const override { return hwnd_; }
  ControlListener& listener() { return listener_; }

  // A top-level window answers its listener; other windows nullptr.
  virtual WindowListener* window_listener() { return nullptr; }
  // A top-level window's background brush and colour (for the controls that
  // show the parent's background); nullptr elsewhere.
  virtual HBRUSH background_brush() const { return nullptr; }
  virtual COLORREF background_color() const { return GetSysColor(COLOR_BTNFACE); }
  // A top-level window: the control to give the focus when it next becomes
  // active (a control asked for the focus while the window was hidden).
  virtual void FocusOnActivation(HWND control) { (void)control; }

  // Notifications the parent received about this window: WM_COMMAND codes
  // (BN_CLICKED, LBN_SELCHANGE, EN_CHANGE...).
  virtual void OnCommand(int code) { (void)code; }
  // WM_CTLCOLOR*: a brush to paint with (colours set into dc), or nullptr for
  // the default.
  virtual HBRUSH ControlColor(HDC dc) { (void)dc; return nullptr; }

  // For the windows that parent controls (top-level windows, group frames,
  // surfaces): passes a child's WM_COMMAND and WM_CTLCOLOR* to the child's
  // object. Answers true with the result when it was one of them.
  static bool ReflectFromChild(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

  // The window procedure of the backend's own window classes.
  static LRESULT CALLBACK ClassProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 protected:
  explicit Win32Node(ControlListener& listener) : listener_(listener) {}

  // Forgets and destroys the window now (for destructors whose members the
  // window still uses); the base destructor then has nothing left to do.
  void DestroyNow();
  // Takes over hwnd, a window of a system class, by subclassing it.
  void AttachSubclassed(HWND hwnd);
  // For a window of the backend's own classes: pass `this` as the creation
  // parameter; the object is attached at WM_NCCREATE.

  // Every message of the window. The default delivers the common input to
  // the listener (HandleInput) and passes the rest on (Default).
  virtual LRESULT Process(UINT message, WPARAM wparam, LPARAM lparam);
  // What the window class does with the message.
  LRESULT Default(UINT message, WPARAM wparam, LPARAM lparam);
  // Mouse, wheel, key, character, focus and cursor messages to the listener.
  // Answers true when the listener ate the message (result set).
  bool HandleInput(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

  HWND hwnd_ = nullptr;
  CursorShape cursor_ = CursorShape::kDefault;

 private:
  static LRESULT CALLBACK SubclassProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                            UINT_PTR id, DWORD_PTR data);
  void Detach();

  ControlListener& listener_;
  bool subclassed_ = false;
  bool tracking_leave_ = false;
  bool eat_next_character_ = false;  // the key before it was eaten
  wchar_t high_surrogate_ = 0;
};

// The next free control identifier (never IDOK or IDCANCEL, which dialog
// navigation sends on Enter and Escape).
int NextControlId();
// The system's default GUI font when it can show Chinese (a Chinese system's
// own); else a Song face of its height (Wine and systems of other languages,
// whose default GUI face has no Chinese glyphs). Controls start with it.
const Font& ChineseGuiFont();
HFONT ChineseGuiFontHandle();
// A child window of a system class, visible, with ChineseGuiFont.
HWND CreateChild(const wchar_t* window_class, DWORD style, DWORD extended_style, NativeParent& parent,
                 const Rect& rect);
// Sets or removes style bits and lets the frame be drawn again.
void ChangeStyle(HWND hwnd, DWORD add, DWORD remove, bool extended);
// Border styles of edits and list boxes.
void ApplyBorder(HWND hwnd, ControlBorder border);

// The text and background colours an edit or list box is given, answered to
// its WM_CTLCOLOR* with a brush of the background.
class ControlColors {
 public:
  ControlColors() = default;
  ~ControlColors();
  ControlColors(const ControlColors&) = delete;
  ControlColors& operator=(const ControlColors&) = delete;

  void Set(Color text, Color background);
  // The background brush with the colours set into dc; nullptr (the system's
  // colours) until Set.
  HBRUSH Apply(HDC dc) const;

 private:
  COLORREF text_ = 0;
  COLORREF background_ = 0;
  HBRUSH brush_ = nullptr;
};
// Text shown while the pointer rests on hwnd (empty: none), through the one
// tooltip control of hwnd's top-level window.
void SetToolTipOf(HWND hwnd, std::string_view gbk);
void RemoveToolTipOf(HWND hwnd);
// The text height of the font hwnd uses.
int FontHeightOf(HWND hwnd);

// Gives hwnd the focus if it is visible and enabled; a visible, enabled
// control of a hidden window gets it when the window becomes active.
void GiveFocus(HWND hwnd);

// The NativeControl operations over the HWND.
template <class Interface>
class ControlBase : public Interface, public Win32Node {
 public:
  explicit ControlBase(ControlListener& listener) : Win32Node(listener) {}

  void SetRect(const Rect& rect) override { MoveWindow(hwnd_, rect.left, rect.top, rect.width, rect.height, TRUE); }
  void SetVisible(bool visible) override { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
  void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  void SetFocus() override { GiveFocus(hwnd_); }
  bool HasFocus() const override { return GetFocus() == hwnd_; }
  void SetTabStop(bool tab_stop) override {
    ChangeStyle(hwnd_, tab_stop ? WS_TABSTOP : 0, tab_stop ? 0 : WS_TABSTOP, false);
  }
  void SetToolTip(std::string_view text) override { SetToolTipOf(hwnd_, text); }
  void SetFont(const Font& font) override;
  void SetCursor(CursorShape shape) override { cursor_ = shape; }
  void RaiseAboveSiblings() override {
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
};

void SetFontOf(HWND hwnd, const Font& font);

template <class Interface>
void ControlBase<Interface>::SetFont(const Font& font) {
  SetFontOf(hwnd_, font);
}

}  // namespace tarnwick::win32
