// Push button, check box and group frame: the BUTTON class in its three
// styles. Clicks arrive as BN_CLICKED through the parent.
#include <cstring>

#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_control.h"
#include "platform/win32/win32_controls.h"

namespace tarnwick::win32 {
namespace {

// An icon with the picture's alpha, for BM_SETIMAGE.
HICON IconFromImage(const Image& image) {
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof(header);
  header.bV5Width = image.width();
  header.bV5Height = -image.height();  // rows top to bottom
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (colour == nullptr) return nullptr;
  auto* out = static_cast<std::uint32_t*>(bits);
  for (const Pixel& pixel : image.pixels()) {
    *out++ = (static_cast<std::uint32_t>(pixel.alpha) << 24) | (static_cast<std::uint32_t>(pixel.red) << 16) |
             (static_cast<std::uint32_t>(pixel.green) << 8) | pixel.blue;
  }
  HBITMAP mask = CreateBitmap(image.width(), image.height(), 1, 1, nullptr);
  ICONINFO info{TRUE, 0, 0, mask, colour};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(colour);
  return icon;
}

// What a click of either kind of button does: the parent hears BN_CLICKED,
// as from the user.
void NotifyClicked(HWND button) {
  SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

class Win32Button : public ControlBase<NativeButton> {
 public:
  explicit Win32Button(ControlListener& listener) : ControlBase(listener) {}
  ~Win32Button() override {
    DestroyNow();
    if (icon_ != nullptr) DestroyIcon(icon_);
  }

  bool Create(NativeParent& parent, const Rect& rect) {
    HWND hwnd = CreateChild(L"BUTTON", BS_PUSHBUTTON | BS_MULTILINE | WS_TABSTOP, 0, parent, rect);
    if (hwnd == nullptr) return false;
    AttachSubclassed(hwnd);
    return true;
  }

  void OnCommand(int code) override {
    if (code == BN_CLICKED) listener().OnClicked();
  }
  void SetCaption(std::string_view caption) override { SetWindowTextOf(hwnd_, caption); }
  void SetIcon(const Image& icon) override {
    HICON made = icon.empty() ? nullptr : IconFromImage(icon);
    SendMessageW(hwnd_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(made));
    if (icon_ != nullptr) DestroyIcon(icon_);
    icon_ = made;
  }
  void Click() override {
    if (IsWindowEnabled(hwnd_)) NotifyClicked(hwnd_);
  }

 private:
  HICON icon_ = nullptr;
};

class Win32CheckBox : public ControlBase<NativeCheckBox> {
 public:
  using ControlBase::ControlBase;

  bool Create(NativeParent& parent, const Rect& rect) {
    HWND hwnd = CreateChild(L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, parent, rect);
    if (hwnd == nullptr) return false;
    AttachSubclassed(hwnd);
    return true;
  }

  void OnCommand(int code) override {
    if (code == BN_CLICKED) listener().OnClicked();
  }
  void SetCaption(std::string_view caption) override { SetWindowTextOf(hwnd_, caption); }
  void SetChecked(bool checked) override { SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }
  bool IsChecked() const override { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void Click() override {
    if (!IsWindowEnabled(hwnd_)) return;
    SetChecked(!IsChecked());
    NotifyClicked(hwnd_);
  }
};

// A group frame parents controls: their notifications come to it and are
// passed on to them; its inside shows the window's background.
class Win32GroupFrame : public ControlBase<NativeGroupFrame> {
 public:
  using ControlBase::ControlBase;

  bool Create(NativeParent& parent, const Rect& rect) {
    HWND hwnd = CreateChild(L"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent, rect);
    if (hwnd == nullptr) return false;
    AttachSubclassed(hwnd);
    return true;
  }

  void SetCaption(std::string_view caption) override {
    SetWindowTextOf(hwnd_, caption);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void SetTabStop(bool) override {}  // never reached by Tab itself; its controls are

 protected:
  LRESULT Process(UINT message, WPARAM wparam, LPARAM lparam) override {
    LRESULT result = 0;
    if (ReflectFromChild(message, wparam, lparam, result)) return result;
    if (message == WM_ERASEBKGND) {
      Win32Node* root = FromHandle(GetAncestor(hwnd_, GA_ROOT));
      RECT client{};
      GetClientRect(hwnd_, &client);
      HBRUSH brush = root != nullptr && root->background_brush() != nullptr ? root->background_brush()
                                                                            : GetSysColorBrush(COLOR_BTNFACE);
      FillRect(reinterpret_cast<HDC>(wparam), &client, brush);
      return 1;
    }
    return Win32Node::Process(message, wparam, lparam);
  }
};

}  // namespace

std::unique_ptr<NativeButton> MakeButton(NativeParent& parent, const Rect& rect, ControlListener& listener) {
  auto button = std::make_unique<Win32Button>(listener);
  if (!button->Create(parent, rect)) return nullptr;
  return button;
}

std::unique_ptr<NativeCheckBox> MakeCheckBox(NativeParent& parent, const Rect& rect, ControlListener& listener) {
  auto check_box = std::make_unique<Win32CheckBox>(listener);
  if (!check_box->Create(parent, rect)) return nullptr;
  return check_box;
}

std::unique_ptr<NativeGroupFrame> MakeGroupFrame(NativeParent& parent, const Rect& rect, ControlListener& listener) {
  auto frame = std::make_unique<Win32GroupFrame>(listener);
  if (!frame->Create(parent, rect)) return nullptr;
  return frame;
}

}  // namespace tarnwick::win32
