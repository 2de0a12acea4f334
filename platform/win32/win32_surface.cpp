// The owner-drawn surface: a child window of its own class whose listener
// paints into a memory-DC canvas that WM_PAINT then copies to the screen.
#include <algorithm>
#include <memory>

#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_control.h"
#include "platform/win32/win32_controls.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kSurfaceClass[] = L"TarnwickSurface";

void RegisterSurfaceClass() {
  static bool registered = [] {
    WNDCLASSEXW surface{};
    surface.cbSize = sizeof(surface);
    surface.style = CS_DBLCLKS;
    surface.lpfnWndProc = &Win32Node::ClassProcedure;
    surface.hInstance = ModuleInstance();
    surface.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    surface.lpszClassName = kSurfaceClass;
    return RegisterClassExW(&surface) != 0;
  }();
  (void)registered;
}

class Win32Surface : public ControlBase<NativeSurface> {
 public:
  explicit Win32Surface(ControlListener& listener) : ControlBase(listener) {}
  ~Win32Surface() override { DestroyNow(); }

  bool Create(NativeParent& parent, const Rect& rect) {
    HWND parent_window = WindowHandleOf(&parent);
    if (parent_window == nullptr) return false;
    CreateWindowExW(0, kSurfaceClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP,
                    rect.left, rect.top, rect.width, rect.height, parent_window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId())), ModuleInstance(),
                    static_cast<Win32Node*>(this));
    return hwnd_ != nullptr;
  }

  void Invalidate(const Rect& rect) override {
    RECT area{rect.left, rect.top, rect.right(), rect.bottom()};
    InvalidateRect(hwnd_, &area, FALSE);
  }
  void InvalidateAll() override { InvalidateRect(hwnd_, nullptr, FALSE); }
  void Update() override { UpdateWindow(hwnd_); }
  void SetTakesFocus(bool takes_focus) override { takes_focus_ = takes_focus; }
  // Kept for the window's accessible name (its caption); the parts are not
  // offered to screen readers on Windows yet.
  void SetAccessible(const AccessibleDescription& description) override {
    SetWindowTextW(hwnd_, WideText(description.name).c_str());
  }

 protected:
  LRESULT Process(UINT message, WPARAM wparam, LPARAM lparam) override {
    LRESULT result = 0;
    if (ReflectFromChild(message, wparam, lparam, result)) return result;
    switch (message) {
      case WM_PAINT:
        Paint();
        return 0;
      case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
      case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
        if (message == WM_LBUTTONDOWN && takes_focus_ && GetFocus() != hwnd_) ::SetFocus(hwnd_);
        // Until the release, every mouse message comes here.
        SetCapture(hwnd_);
        break;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP:
        if ((wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0 && GetCapture() == hwnd_) ReleaseCapture();
        break;
      case WM_MOUSEWHEEL:
        // The turn is this surface's alone: not passed on to the parent.
        HandleInput(message, wparam, lparam, result);
        return 0;
      default:
        break;
    }
    if (HandleInput(message, wparam, lparam, result)) return result;
    return Default(message, wparam, lparam);
  }

 private:
  void Paint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd_, &paint);
    RECT client{};
    GetClientRect(hwnd_, &client);
    Size size{client.right, client.bottom};
    Rect dirty{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right - paint.rcPaint.left,
               paint.rcPaint.bottom - paint.rcPaint.top};
    dirty = dirty.Intersect({0, 0, size.width, size.height});
    if (!dirty.empty()) {
      // One buffer for the life of the size: the pixels outside the dirty
      // rectangle stay as the last paint left them.
      if (buffer_ == nullptr || buffer_->size() != size) buffer_ = CreatePaintCanvas(dc, size);
      if (buffer_ != nullptr) {
        buffer_->SetClip(dirty);
        listener().OnPaint(*buffer_, dirty);
        buffer_->ResetClip();
        buffer_->CopyTo(dc, dirty);
      }
    }
    EndPaint(hwnd_, &paint);
  }

  std::unique_ptr<Win32Canvas> buffer_;
  bool takes_focus_ = false;
};

}  // namespace

std::unique_ptr<NativeSurface> MakeSurface(NativeParent& parent, const Rect& rect, ControlListener& listener) {
  RegisterSurfaceClass();
  auto surface = std::make_unique<Win32Surface>(listener);
  if (!surface->Create(parent, rect)) return nullptr;
  return surface;
}

}  // namespace tarnwick::win32
