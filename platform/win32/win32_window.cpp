// Top-level windows: the window class, styles from WindowStyle, the outer
// size mapped to the real frame, activation, close requests, window order.
#include <algorithm>

#include "platform/frame_metrics.h"

#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_control.h"
#include "platform/win32/win32_controls.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"TarnwickWindow";
constexpr wchar_t kOwnerClass[] = L"TarnwickHiddenOwner";

// Framed windows kept out of the task bar are owned by this hidden window:
// the task bar lists only unowned windows.
HWND HiddenOwner() {
  static HWND owner = CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ModuleInstance(),
                                      nullptr);
  return owner;
}

class Win32Window : public NativeWindow, public Win32Node {
 public:
  Win32Window(const WindowStyle& style, std::string_view caption, WindowListener& listener,
              std::function<void()> session_ending)
      : Win32Node(listener),
        window_listener_(listener),
        session_ending_(std::move(session_ending)),
        style_(style),
        parts_(DescribeFrame(style, caption)),
        insets_(ProgramFrameInsets(parts_)) {
    background_ = CreateSolidBrush(ToColorRef(style.background));
    background_color_ = ToColorRef(style.background);
  }
  ~Win32Window() override {
    DestroyNow();  // the window goes before the brush it paints with
    DeleteObject(background_);
  }

  bool Create(const Rect& outer, std::string_view caption) {
    styles_ = WS_CLIPCHILDREN;
    extended_ = WS_EX_CONTROLPARENT;
    bool title_bar = parts_.title_bar;
    if (!parts_.border) {
      styles_ |= WS_POPUP;
    } else {
      styles_ |= title_bar ? WS_CAPTION : WS_BORDER;
      if (parts_.resizable) styles_ |= WS_THICKFRAME;
      if (title_bar && style_.system_menu) styles_ |= WS_SYSMENU;
      if (title_bar && style_.minimize_box) styles_ |= WS_MINIMIZEBOX;
      if (title_bar && style_.maximize_box) styles_ |= WS_MAXIMIZEBOX;
      if (parts_.tool_window) extended_ |= WS_EX_TOOLWINDOW;
      if (parts_.client_edge) extended_ |= WS_EX_CLIENTEDGE;
    }
    HWND owner = nullptr;
    if (style_.in_taskbar) {
      extended_ |= WS_EX_APPWINDOW;
    } else if (!parts_.border || parts_.tool_window) {
      extended_ |= WS_EX_TOOLWINDOW;
    } else {
      owner = HiddenOwner();
    }
    if (style_.always_on_top) extended_ |= WS_EX_TOPMOST;
    if (!style_.takes_activation) extended_ |= WS_EX_NOACTIVATE;
    Rect real = RealOuter(outer);
    CreateWindowExW(extended_, kWindowClass, WideText(caption).c_str(), styles_, real.left, real.top, real.width,
                    real.height, owner, nullptr, ModuleInstance(), static_cast<Win32Node*>(this));
    if (hwnd_ == nullptr) return false;
    if (title_bar && style_.system_menu && !style_.movable) {
      DeleteMenu(GetSystemMenu(hwnd_, FALSE), SC_MOVE, MF_BYCOMMAND);
    }
    return true;
  }

  WindowListener* window_listener() override { return &window_listener_; }
  void FocusOnActivation(HWND control) override { last_focus_ = control; }
  HBRUSH background_brush() const override { return background_; }
  COLORREF background_color() const override { return background_color_; }

  void SetCaption(std::string_view caption) override { SetWindowTextOf(hwnd_, caption); }

  Rect OuterRect() const override {
    RECT window{};
    GetWindowRect(hwnd_, &window);
    Size outer = OuterSizeFor(insets_, ClientSize());
    return {window.left, window.top, outer.width, outer.height};
  }

  void SetOuterRect(const Rect& rect) override {
    Rect real = RealOuter(rect);
    SetWindowPos(hwnd_, nullptr, real.left, real.top, real.width, real.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  Size ClientSize() const override {
    RECT client{};
    GetClientRect(hwnd_, &client);
    return {client.right - client.left, client.bottom - client.top};
  }

  Point ClientOrigin() const override {
    POINT origin{0, 0};
    ClientToScreen(hwnd_, &origin);
    return {origin.x, origin.y};
  }

  void Show() override { ShowWindow(hwnd_, style_.takes_activation ? SW_SHOW : SW_SHOWNOACTIVATE); }
  void Hide() override { ShowWindow(hwnd_, SW_HIDE); }
  bool IsVisible() const override { return IsWindowVisible(hwnd_) != FALSE; }

  void SetWindowOrder(WindowOrder order) override {
    HWND after = HWND_TOP;
    switch (order) {
      case WindowOrder::kTop: after = HWND_TOP; break;
      case WindowOrder::kBottom: after = HWND_BOTTOM; break;
      case WindowOrder::kAlwaysOnTop: after = HWND_TOPMOST; break;
      case WindowOrder::kNotAlwaysOnTop: after = HWND_NOTOPMOST; break;
    }
    SetWindowPos(hwnd_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  void Activate() override {
    SetForegroundWindow(hwnd_);
    SetActiveWindow(hwnd_);
    BringWindowToTop(hwnd_);
  }
  bool IsActive() const override { return GetActiveWindow() == hwnd_; }

  void SetBackground(Color color) override {
    HBRUSH old = background_;
    background_ = CreateSolidBrush(ToColorRef(color));
    background_color_ = ToColorRef(color);
    DeleteObject(old);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }

 protected:
  LRESULT Process(UINT message, WPARAM wparam, LPARAM lparam) override {
    LRESULT result = 0;
    if (ReflectFromChild(message, wparam, lparam, result)) return result;
    switch (message) {
      case WM_CLOSE:
        // The listener decides; the window goes only when its object is destroyed.
        window_listener_.OnCloseRequested();
        return 0;
      case WM_ENDSESSION:
        if (wparam && session_ending_) session_ending_();
        return 0;
      case WM_ACTIVATE: {
        bool active = LOWORD(wparam) != WA_INACTIVE;
        bool handled = false;
        if (!active) {
          HWND focus = GetFocus();
          if (focus != nullptr && IsChild(hwnd_, focus)) last_focus_ = focus;
        } else if (HIWORD(wparam) == 0) {
          // The control that had the focus gets it back, as in a dialog; the
          // first time, the first control that Tab reaches.
          HWND focus = last_focus_ != nullptr && IsWindow(last_focus_) && IsChild(hwnd_, last_focus_)
                           ? last_focus_
                           : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
          if (focus != nullptr) {
            ::SetFocus(focus);
            handled = true;
          }
        }
        if (!handled) Default(message, wparam, lparam);
        // lparam is the window being activated: one of this process (a
        // message box, a dialog) keeps the activation in the program.
        DWORD other_process = 0;
        if (!active && lparam != 0) GetWindowThreadProcessId(reinterpret_cast<HWND>(lparam), &other_process);
        window_listener_.OnActivationChanged(active, !active && other_process != GetCurrentProcessId());
        return 0;
      }
      case WM_MOUSEACTIVATE:
        if (!style_.takes_activation) return MA_NOACTIVATE;
        break;
      case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_MOVE && !style_.movable) return 0;
        break;
      case WM_GETMINMAXINFO: {
        // Sizes are the program's, however small (the strip is 2 pixels high).
        LRESULT answer = Default(message, wparam, lparam);
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize = {1, 1};
        return answer;
      }
      case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(hwnd_, &client);
        FillRect(reinterpret_cast<HDC>(wparam), &client, background_);
        return 1;
      }
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        // The window itself is no control: it holds the focus only while
        // none of its controls does.
        return Default(message, wparam, lparam);
      case WM_KEYDOWN:
      case WM_KEYUP:
      case WM_CHAR:
      case WM_MOUSEWHEEL:
        // Keys and the wheel of the window's own client area, not those a
        // control passed up.
        if (GetFocus() != hwnd_) return Default(message, wparam, lparam);
        break;
      default:
        break;
    }
    if (HandleInput(message, wparam, lparam, result)) return result;
    return Default(message, wparam, lparam);
  }

 private:
  Rect RealOuter(const Rect& outer) const {
    Size client = ClientSizeFor(insets_, {outer.width, outer.height});
    RECT frame{0, 0, client.width, client.height};
    AdjustWindowRectEx(&frame, styles_, FALSE, extended_);
    return {outer.left, outer.top, frame.right - frame.left, frame.bottom - frame.top};
  }

  WindowListener& window_listener_;
  std::function<void()> session_ending_;
  WindowStyle style_;
  FrameParts parts_;
  FrameInsets insets_;  // the program's, around the client area
  DWORD styles_ = 0;
  DWORD extended_ = 0;
  HBRUSH background_ = nullptr;
  COLORREF background_color_ = 0;
  HWND last_focus_ = nullptr;
};

}  // namespace

void RegisterWindowClasses() {
  static bool registered = [] {
    WNDCLASSEXW window{};
    window.cbSize = sizeof(window);
    window.style = CS_DBLCLKS;
    window.lpfnWndProc = &Win32Node::ClassProcedure;
    window.hInstance = ModuleInstance();
    window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window.hIcon = LoadIconW(ModuleInstance(), MAKEINTRESOURCEW(1));
    if (window.hIcon == nullptr) window.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    window.lpszClassName = kWindowClass;
    RegisterClassExW(&window);
    WNDCLASSEXW owner{};
    owner.cbSize = sizeof(owner);
    owner.lpfnWndProc = &DefWindowProcW;
    owner.hInstance = ModuleInstance();
    owner.lpszClassName = kOwnerClass;
    RegisterClassExW(&owner);
    return true;
  }();
  (void)registered;
}

std::unique_ptr<NativeWindow> MakeTopLevelWindow(const WindowStyle& style, const Rect& outer, std::string_view caption,
                                                 WindowListener& listener, std::function<void()> session_ending) {
  RegisterWindowClasses();
  auto window = std::make_unique<Win32Window>(style, caption, listener, std::move(session_ending));
  if (!window->Create(outer, caption)) return nullptr;
  return window;
}

}  // namespace tarnwick::win32
