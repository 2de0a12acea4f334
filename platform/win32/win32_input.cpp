#include "platform/win32/win32_input.h"

#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_control.h"
#include "platform/win32/win32_window_system.h"

namespace tarnwick::win32 {

int KeyStateNow() {
  int state = 0;
  if (GetKeyState(VK_CONTROL) < 0) state |= kKeyStateCtrl;
  if (GetKeyState(VK_SHIFT) < 0) state |= kKeyStateShift;
  if (GetKeyState(VK_MENU) < 0) state |= kKeyStateAlt;
  return state;
}

int MouseKeyState(WPARAM wparam) {
  int state = 0;
  if (wparam & MK_CONTROL) state |= kKeyStateCtrl;
  if (wparam & MK_SHIFT) state |= kKeyStateShift;
  if (GetKeyState(VK_MENU) < 0) state |= kKeyStateAlt;
  return state;
}

std::optional<MouseEvent> MouseEventOf(UINT message, WPARAM wparam, LPARAM lparam) {
  MouseEvent event;
  switch (message) {
    case WM_MOUSEMOVE: event.action = MouseAction::kMove; break;
    case WM_LBUTTONDOWN: event.action = MouseAction::kPress, event.button = MouseButton::kLeft; break;
    case WM_LBUTTONUP: event.action = MouseAction::kRelease, event.button = MouseButton::kLeft; break;
    case WM_LBUTTONDBLCLK: event.action = MouseAction::kDoubleClick, event.button = MouseButton::kLeft; break;
    case WM_RBUTTONDOWN: event.action = MouseAction::kPress, event.button = MouseButton::kRight; break;
    case WM_RBUTTONUP: event.action = MouseAction::kRelease, event.button = MouseButton::kRight; break;
    case WM_RBUTTONDBLCLK: event.action = MouseAction::kDoubleClick, event.button = MouseButton::kRight; break;
    case WM_MBUTTONDOWN: event.action = MouseAction::kPress, event.button = MouseButton::kMiddle; break;
    case WM_MBUTTONUP: event.action = MouseAction::kRelease, event.button = MouseButton::kMiddle; break;
    case WM_MBUTTONDBLCLK: event.action = MouseAction::kDoubleClick, event.button = MouseButton::kMiddle; break;
    default: return std::nullopt;
  }
  event.position = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  event.key_state = MouseKeyState(wparam);
  return event;
}

std::optional<std::uint32_t> CharacterCode(std::wstring_view character) {
  if (character.empty()) return std::nullopt;
  wchar_t first = character.front();
  if (first < 0x20 && first != L'\t' && first != L'\r' && first != L'\b') return std::nullopt;
  if (first == 0x7F) return std::nullopt;  // Ctrl+Backspace
  std::string gbk = GbkText(character);
  std::uint32_t code = 0;
  for (unsigned char byte : gbk) code = (code << 8) | byte;
  return code;
}

namespace {

// The edit and rich edit classes, whose focus the wheel must not move.
bool IsTextEntry(HWND hwnd) {
  wchar_t name[32] = {};
  GetClassNameW(hwnd, name, 32);
  return _wcsicmp(name, L"Edit") == 0 || _wcsnicmp(name, L"RichEdit", 8) == 0;
}

// The tab stops under parent in Tab order: creation order (control
// identifiers count up), each control's own children before it (a surface's
// keys act on what its lists have set up). The window
// order that dialog navigation follows would move a control raised above
// its siblings to the front.
void CollectTabStops(HWND parent, std::vector<HWND>& order) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  std::sort(children.begin(), children.end(),
            [](HWND a, HWND b) { return GetDlgCtrlID(a) < GetDlgCtrlID(b); });
  for (HWND child : children) {
    if (!IsWindowVisible(child) || !IsWindowEnabled(child)) continue;  // nor anything inside it
    CollectTabStops(child, order);
    if (GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP) order.push_back(child);
  }
}

// The control Tab (or Shift+Tab) moves the focus to from focus; nullptr
// when its window has no tab stop.
HWND NextTabStop(HWND focus, bool backwards) {
  std::vector<HWND> order;
  HWND root = GetAncestor(focus, GA_ROOT);
  CollectTabStops(root, order);
  if (order.empty()) return nullptr;
  auto at = order.end();
  for (HWND inside = focus; inside != nullptr && inside != root && at == order.end(); inside = GetParent(inside)) {
    at = std::find(order.begin(), order.end(), inside);
  }
  if (at == order.end()) return backwards ? order.back() : order.front();
  std::size_t index = static_cast<std::size_t>(at - order.begin());
  return order[(index + (backwards ? order.size() - 1 : 1)) % order.size()];
}

}  // namespace

bool PreDispatchMessage(MSG& message) {
  switch (message.message) {
    case WM_MOUSEWHEEL: {
      // The wheel belongs to the control with the keyboard focus, wherever
      // the pointer is (some systems send it to the window under the pointer);
      // but while the focus is in a text entry, a turn over another control
      // of its window goes to that control, and the focus stays.
      HWND focus = GetFocus();
      if (focus == nullptr || Win32Node::FromHandle(focus) == nullptr) return false;
      HWND target = focus;
      if (IsTextEntry(focus)) {
        HWND under = WindowFromPoint({GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)});
        HWND root = GetAncestor(focus, GA_ROOT);
        if (under != nullptr && under != root && GetAncestor(under, GA_ROOT) == root &&
            Win32Node::FromHandle(under) != nullptr) {
          target = under;
        }
      }
      message.hwnd = target;
      return false;
    }
    case WM_KEYDOWN: {
      // Tab moves the focus in the program's own order, not dialog
      // navigation's; the control's listener hears it first, as every other
      // key, and may keep the focus where it is by eating it.
      if (message.wParam != VK_TAB) return false;
      Win32Node* node = Win32Node::FromHandle(message.hwnd);
      if (node == nullptr) return false;
      LRESULT wanted = SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message));
      if (wanted & (DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;  // the control's own Tab
      if (!node->listener().OnKey({true, VK_TAB, KeyStateNow()})) return true;
      HWND next = NextTabStop(message.hwnd, GetKeyState(VK_SHIFT) < 0);
      if (next == nullptr) return false;
      // As dialog navigation does: an edit reached by Tab has its text selected.
      if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(next, EM_SETSEL, 0, -1);
      ::SetFocus(next);
      return true;
    }
    case WM_SYSKEYDOWN: {
      if ((HIWORD(message.lParam) & KF_ALTDOWN) == 0) return false;
      if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_SHIFT) < 0) return false;
      int key = static_cast<int>(message.wParam);
      if (key == VK_MENU || key == VK_SHIFT || key == VK_CONTROL) return false;
      Win32Node* root = Win32Node::FromHandle(GetAncestor(message.hwnd, GA_ROOT));
      WindowListener* listener = root == nullptr ? nullptr : root->window_listener();
      if (listener == nullptr) return false;
      return listener->OnMnemonicKey({true, key, kKeyStateAlt});
    }
    case WM_SYSCHAR: {
      // The program handles mnemonics itself: neither dialog navigation nor
      // the window's menu acts on Alt+letter or digit.
      wchar_t typed = static_cast<wchar_t>(message.wParam);
      bool letter_or_digit = (typed >= L'0' && typed <= L'9') || (typed >= L'A' && typed <= L'Z') ||
                             (typed >= L'a' && typed <= L'z');
      return letter_or_digit && Win32Node::FromHandle(GetAncestor(message.hwnd, GA_ROOT)) != nullptr;
    }
    default:
      return false;
  }
}

}  // namespace tarnwick::win32
