// The drop-down list: COMBOBOX with CBS_DROPDOWNLIST. CBN_SELCHANGE comes
// from the user's choices only; CB_SETCURSEL raises nothing.
#include <algorithm>

#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_control.h"
#include "platform/win32/win32_controls.h"

namespace tarnwick::win32 {
namespace {

// The window of a drop-down list also holds its dropped list.
constexpr int kDroppedHeight = 300;

class Win32DropDownList : public ControlBase<NativeDropDownList> {
 public:
  using ControlBase::ControlBase;

  bool Create(NativeParent& parent, const Rect& rect) {
    HWND hwnd = CreateChild(L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, parent,
                            {rect.left, rect.top, rect.width, rect.height + kDroppedHeight});
    if (hwnd == nullptr) return false;
    AttachSubclassed(hwnd);
    FitSelectionField(rect.height);
    return true;
  }

  void OnCommand(int code) override {
    if (code == CBN_SELCHANGE) listener().OnSelectionChanged();
  }

  void SetRect(const Rect& rect) override {
    MoveWindow(hwnd_, rect.left, rect.top, rect.width, rect.height + kDroppedHeight, TRUE);
    FitSelectionField(rect.height);
  }

  void SetItems(const std::vector<std::string>& items) override {
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
    SendMessageW(hwnd_, CB_INITSTORAGE, items.size(), static_cast<LPARAM>(items.size() * 16));
    for (const std::string& item : items) {
      std::wstring wide = WideText(item);
      SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  int Count() const override { return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }
  std::string ItemText(int index) const override {
    if (index < 0 || index >= Count()) return {};
    LRESULT length = SendMessageW(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied =
        SendMessageW(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == CB_ERR ? 0 : static_cast<std::size_t>(copied));
    return GbkText(text);
  }
  int Selection() const override {
    LRESULT selected = SendMessageW(hwnd_, CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? -1 : static_cast<int>(selected);
  }
  void SetSelection(int index) override {
    if (index < 0 || index >= Count()) index = -1;
    SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }

 private:
  // The closed box is as high as the layout's rectangle: the window of a
  // closed drop-down list is its selection field plus the field's edges.
  void FitSelectionField(int height) {
    // The edges differ between systems and themes (and what CB_GETITEMHEIGHT
    // answers need not be what CB_SETITEMHEIGHT took): measure, set, and
    // correct by what the box showed. A field smaller than its font stays at
    // the smallest the system allows.
    LRESULT field = SendMessageW(hwnd_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    if (field == CB_ERR) return;
    for (int attempt = 0; attempt < 3; ++attempt) {
      RECT box{};
      GetWindowRect(hwnd_, &box);
      int closed = box.bottom - box.top;
      if (closed == height) return;
      field = std::max<LRESULT>(1, field + height - closed);
      SendMessageW(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
  }
};

}  // namespace

std::unique_ptr<NativeDropDownList> MakeDropDownList(NativeParent& parent, const Rect& rect,
                                                     ControlListener& listener) {
  auto list = std::make_unique<Win32DropDownList>(listener);
  if (!list->Create(parent, rect)) return nullptr;
  return list;
}

}  // namespace tarnwick::win32
