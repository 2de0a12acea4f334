#include "platform/win32/win32_control.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_input.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kNodeProperty[] = L"Tarnwick.Node";
constexpr wchar_t kToolTipProperty[] = L"Tarnwick.ToolTip";
constexpr UINT_PTR kSubclassId = 0x54617277;  // any number of our own

LPCWSTR CursorResource(CursorShape shape) {
  switch (shape) {
    case CursorShape::kIBeam: return IDC_IBEAM;
    case CursorShape::kHand: return IDC_HAND;
    case CursorShape::kWait: return IDC_WAIT;
    case CursorShape::kCross: return IDC_CROSS;
    default: return IDC_ARROW;
  }
}

}  // namespace

std::string WindowTextOf(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(std::max(0, length)) + 1, L'\0');
  int copied = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(0, copied)));
  return GbkText(text);
}

void SetWindowTextOf(HWND hwnd, std::string_view gbk) { SetWindowTextW(hwnd, WideText(gbk).c_str()); }

HINSTANCE ModuleInstance() { return GetModuleHandleW(nullptr); }

Win32Node::~Win32Node() { DestroyNow(); }

void Win32Node::DestroyNow() {
  if (hwnd_ == nullptr) return;
  HWND hwnd = hwnd_;
  RemoveToolTipOf(hwnd);
  Detach();
  DestroyWindow(hwnd);
}

void Win32Node::Detach() {
  if (hwnd_ == nullptr) return;
  RemovePropW(hwnd_, kNodeProperty);
  if (subclassed_) RemoveWindowSubclass(hwnd_, &Win32Node::SubclassProcedure, kSubclassId);
  subclassed_ = false;
  hwnd_ = nullptr;
}

Win32Node* Win32Node::FromHandle(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  return static_cast<Win32Node*>(GetPropW(hwnd, kNodeProperty));
}

void Win32Node::AttachSubclassed(HWND hwnd) {
  hwnd_ = hwnd;
  SetPropW(hwnd, kNodeProperty, this);
  subclassed_ = SetWindowSubclass(hwnd, &Win32Node::SubclassProcedure, kSubclassId,
                                  reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

LRESULT CALLBACK Win32Node::SubclassProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                              DWORD_PTR data) {
  auto* node = reinterpret_cast<Win32Node*>(data);
  if (node == nullptr || node->hwnd_ != hwnd) return DefSubclassProc(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // Destroyed by the system (its parent went first): forget the window.
    node->Detach();
    return DefSubclassProc(hwnd, message, wparam, lparam);
  }
  return node->Process(message, wparam, lparam);
}

LRESULT CALLBACK Win32Node::ClassProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* node = static_cast<Win32Node*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    if (node != nullptr) {
      node->hwnd_ = hwnd;
      SetPropW(hwnd, kNodeProperty, node);
    }
  }
  Win32Node* node = FromHandle(hwnd);
  if (node == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    node->Detach();
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return node->Process(message, wparam, lparam);
}

LRESULT Win32Node::Default(UINT message, WPARAM wparam, LPARAM lparam) {
  if (subclassed_) return DefSubclassProc(hwnd_, message, wparam, lparam);
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT Win32Node::Process(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (HandleInput(message, wparam, lparam, result)) return result;
  return Default(message, wparam, lparam);
}

bool Win32Node::HandleInput(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  result = 0;
  if (auto mouse = MouseEventOf(message, wparam, lparam)) {
    if (message == WM_MOUSEMOVE && !tracking_leave_) {
      TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd_, 0};
      tracking_leave_ = TrackMouseEvent(&track) != FALSE;
    }
    return !listener_.OnMouse(*mouse);
  }
  switch (message) {
    case WM_MOUSELEAVE:
      tracking_leave_ = false;
      listener_.OnMouseLeave();
      return false;
    case WM_MOUSEWHEEL: {
      POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      ScreenToClient(hwnd_, &at);
      WheelEvent wheel{GET_WHEEL_DELTA_WPARAM(wparam), {at.x, at.y}, MouseKeyState(GET_KEYSTATE_WPARAM(wparam))};
      return !listener_.OnWheel(wheel);
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
      KeyEvent key{down, static_cast<int>(wparam), KeyStateNow()};
      bool eaten = !listener_.OnKey(key);
      // A key the listener ate gives no character either.
      if (down) eat_next_character_ = eaten;
      return eaten;
    }
    case WM_CHAR: {
      if (eat_next_character_) {
        eat_next_character_ = false;
        return true;
      }
      auto unit = static_cast<wchar_t>(wparam);
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        high_surrogate_ = unit;
        return false;
      }
      std::wstring character;
      if (unit >= 0xDC00 && unit <= 0xDFFF && high_surrogate_ != 0) character.push_back(high_surrogate_);
      high_surrogate_ = 0;
      character.push_back(unit);
      if (auto code = CharacterCode(character)) return !listener_.OnCharacter(*code);
      return false;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      // The class takes the focus first (a caret, a focus rectangle).
      result = Default(message, wparam, lparam);
      listener_.OnFocusChanged(message == WM_SETFOCUS);
      return true;
    case WM_SETCURSOR:
      if (cursor_ != CursorShape::kDefault && reinterpret_cast<HWND>(wparam) == hwnd_ &&
          LOWORD(lparam) == HTCLIENT) {
        ::SetCursor(LoadCursorW(nullptr, CursorResource(cursor_)));
        result = TRUE;
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool Win32Node::ReflectFromChild(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND: {
      Win32Node* child = FromHandle(reinterpret_cast<HWND>(lparam));
      if (lparam == 0 || child == nullptr) return false;
      child->OnCommand(HIWORD(wparam));
      result = 0;
      return true;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto dc = reinterpret_cast<HDC>(wparam);
      auto child_window = reinterpret_cast<HWND>(lparam);
      Win32Node* child = FromHandle(child_window);
      if (child == nullptr) return false;
      if (HBRUSH brush = child->ControlColor(dc)) {
        result = reinterpret_cast<LRESULT>(brush);
        return true;
      }
      if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
        // Check boxes and group frames show their window's background.
        Win32Node* root = FromHandle(GetAncestor(child_window, GA_ROOT));
        if (root != nullptr && root->background_brush() != nullptr) {
          SetBkColor(dc, root->background_color());
          result = reinterpret_cast<LRESULT>(root->background_brush());
          return true;
        }
      }
      return false;
    }
    default:
      return false;
  }
}

namespace {

bool ShowsChinese(HGDIOBJ font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  WORD glyph = 0xFFFF;
  const wchar_t zhong = 0x4E2D;  // 中
  DWORD found = GetGlyphIndicesW(dc, &zhong, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return found != GDI_ERROR && glyph != 0xFFFF;
}

bool StockFontShowsChinese() {
  static const bool shows = ShowsChinese(GetStockObject(DEFAULT_GUI_FONT));
  return shows;
}

}  // namespace

const Font& ChineseGuiFont() {
  static const Font font = [] {
    Font described = DefaultGuiFontDescription();
    if (StockFontShowsChinese()) return described;
    Font song;
    song.face = GbkText(L"\u5B8B\u4F53");  // 宋体, resolved to an installed Chinese face
    song.height = described.height > 0 ? described.height : 12;
    song.charset = GB2312_CHARSET;
    return song;
  }();
  return font;
}

HFONT ChineseGuiFontHandle() {
  static const HFONT handle = StockFontShowsChinese() ? static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))
                                                      : FontHandle(ChineseGuiFont());
  return handle;
}

int NextControlId() {
  static int next = 0x1000;
  return next++;
}

HWND CreateChild(const wchar_t* window_class, DWORD style, DWORD extended_style, NativeParent& parent,
                 const Rect& rect) {
  HWND parent_window = WindowHandleOf(&parent);
  if (parent_window == nullptr) return nullptr;
  HWND hwnd = CreateWindowExW(extended_style, window_class, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style,
                              rect.left, rect.top, rect.width, rect.height, parent_window,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId())), ModuleInstance(),
                              nullptr);
  if (hwnd != nullptr) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(ChineseGuiFontHandle()), FALSE);
  return hwnd;
}

void ChangeStyle(HWND hwnd, DWORD add, DWORD remove, bool extended) {
  int index = extended ? GWL_EXSTYLE : GWL_STYLE;
  auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, index));
  DWORD changed = (style | add) & ~remove;
  if (changed == style) return;
  SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(changed));
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void ApplyBorder(HWND hwnd, ControlBorder border) {
  constexpr DWORD kAllExtended = WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
  DWORD extended = 0;
  DWORD style = 0;
  switch (border) {
    case ControlBorder::kNone: break;
    case ControlBorder::kSunken: extended = WS_EX_CLIENTEDGE; break;
    case ControlBorder::kShallowSunken: extended = WS_EX_STATICEDGE; break;
    case ControlBorder::kRaised: extended = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE; break;
    case ControlBorder::kFrame: extended = WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE; break;
    case ControlBorder::kSingleLine: style = WS_BORDER; break;
  }
  auto old_style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
  SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>((old_style & ~WS_BORDER) | style));
  ChangeStyle(hwnd, extended, kAllExtended & ~extended, true);
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

ControlColors::~ControlColors() {
  if (brush_ != nullptr) DeleteObject(brush_);
}

void ControlColors::Set(Color text, Color background) {
  text_ = ToColorRef(text);
  background_ = ToColorRef(background);
  if (brush_ != nullptr) DeleteObject(brush_);
  brush_ = CreateSolidBrush(background_);
}

HBRUSH ControlColors::Apply(HDC dc) const {
  if (brush_ == nullptr) return nullptr;
  SetTextColor(dc, text_);
  SetBkColor(dc, background_);
  return brush_;
}

namespace {

TTTOOLINFOW ToolInfo(HWND root, HWND hwnd) {
  TTTOOLINFOW info{};
  // The size every version of the tooltip control accepts.
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = root;
  info.uId = reinterpret_cast<UINT_PTR>(hwnd);
  return info;
}

}  // namespace

void SetToolTipOf(HWND hwnd, std::string_view gbk) {
  HWND root = GetAncestor(hwnd, GA_ROOT);
  if (root == nullptr) return;
  auto tip = static_cast<HWND>(GetPropW(root, kToolTipProperty));
  if (tip == nullptr) {
    if (gbk.empty()) return;
    tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, root, nullptr,
                          ModuleInstance(), nullptr);
    if (tip == nullptr) return;
    SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, 400);  // lets "\r\n" break lines
    SendMessageW(tip, WM_SETFONT, reinterpret_cast<WPARAM>(ChineseGuiFontHandle()), FALSE);
    SetPropW(root, kToolTipProperty, tip);
  }
  TTTOOLINFOW info = ToolInfo(root, hwnd);
  SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  if (gbk.empty()) return;
  std::wstring text = WideText(gbk);
  info.lpszText = text.data();
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void RemoveToolTipOf(HWND hwnd) {
  HWND root = GetAncestor(hwnd, GA_ROOT);
  if (root == nullptr || root == hwnd) {
    if (root != nullptr) RemovePropW(root, kToolTipProperty);  // goes with its owner
    return;
  }
  auto tip = static_cast<HWND>(GetPropW(root, kToolTipProperty));
  if (tip == nullptr) return;
  TTTOOLINFOW info = ToolInfo(root, hwnd);
  SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

int FontHeightOf(HWND hwnd) {
  HDC dc = GetDC(hwnd);
  auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font != nullptr ? font : ChineseGuiFontHandle());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return metrics.tmHeight;
}

void SetFontOf(HWND hwnd, const Font& font) {
  HFONT handle = nullptr;
  if (font.face.empty()) {
    // The default face, at the height asked for (0: the default height).
    Font chosen = ChineseGuiFont();
    if (font.height > 0) chosen.height = font.height;
    chosen.weight = font.weight;
    chosen.italic = font.italic;
    chosen.underline = font.underline;
    handle = chosen == ChineseGuiFont() ? ChineseGuiFontHandle() : FontHandle(chosen);
  } else {
    handle = FontHandle(font);
  }
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
}

}  // namespace tarnwick::win32

namespace tarnwick::win32 {

void GiveFocus(HWND hwnd) {
  if (!IsWindowEnabled(hwnd)) return;
  if (IsWindowVisible(hwnd)) {
    ::SetFocus(hwnd);
    return;
  }
  HWND root = GetAncestor(hwnd, GA_ROOT);
  bool shown_itself = (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
  Win32Node* window = Win32Node::FromHandle(root);
  if (shown_itself && window != nullptr && root != hwnd && !IsWindowVisible(root)) window->FocusOnActivation(hwnd);
}

}  // namespace tarnwick::win32
