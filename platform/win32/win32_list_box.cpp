// The list box: LISTBOX without LBS_SORT (the program sorts), LBS_NOTIFY for
// LBN_SELCHANGE, which the system raises for the user's changes only.
#include <algorithm>

#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_control.h"
#include "platform/win32/win32_controls.h"

namespace tarnwick::win32 {
namespace {

class Win32ListBox : public ControlBase<NativeListBox> {
 public:
  explicit Win32ListBox(ControlListener& listener) : ControlBase(listener) {}
  ~Win32ListBox() override {
    DestroyNow();
    if (brush_ != nullptr) DeleteObject(brush_);
  }

  bool Create(NativeParent& parent, const Rect& rect) {
    HWND hwnd = CreateChild(L"LISTBOX", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE,
                            parent, rect);
    if (hwnd == nullptr) return false;
    AttachSubclassed(hwnd);
    return true;
  }

  void OnCommand(int code) override {
    if (code == LBN_SELCHANGE) listener().OnSelectionChanged();
  }
  HBRUSH ControlColor(HDC dc) override {
    if (brush_ == nullptr) return nullptr;
    SetTextColor(dc, text_);
    SetBkColor(dc, background_);
    return brush_;
  }

  void Clear() override { SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0); }
  void InsertItem(int index, std::string_view text) override {
    int count = Count();
    index = std::clamp(index, 0, count);
    std::wstring wide = WideText(text);
    SendMessageW(hwnd_, LB_INSERTSTRING, index == count ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(wide.c_str()));
  }
  int Count() const override { return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }
  std::string ItemText(int index) const override {
    if (index < 0 || index >= Count()) return {};
    LRESULT length = SendMessageW(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = SendMessageW(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return GbkText(text);
  }
  int Selection() const override {
    LRESULT selected = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    return selected == LB_ERR ? -1 : static_cast<int>(selected);
  }
  void SetSelection(int index) override {
    // LB_SETCURSEL raises no LBN_SELCHANGE, and scrolls the item into view.
    if (index < 0 || index >= Count()) index = -1;
    SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  void SetItemSpacing(int spacing) override {
    spacing_ = std::max(0, spacing);
    ApplyItemHeight();
  }
  void SetFont(const Font& font) override {
    ControlBase::SetFont(font);
    ApplyItemHeight();  // a new font sets the list's own item height
  }
  void SetColors(Color text, Color background) override {
    text_ = ToColorRef(text);
    background_ = ToColorRef(background);
    if (brush_ != nullptr) DeleteObject(brush_);
    brush_ = CreateSolidBrush(background_);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void SetBorder(ControlBorder border) override { ApplyBorder(hwnd_, border); }
  void SetMultiColumn(bool multi_column) override {
    ChangeStyle(hwnd_, multi_column ? LBS_MULTICOLUMN | WS_HSCROLL : WS_VSCROLL,
                multi_column ? WS_VSCROLL : LBS_MULTICOLUMN | WS_HSCROLL, false);
    if (multi_column) {
      RECT client{};
      GetClientRect(hwnd_, &client);
      SendMessageW(hwnd_, LB_SETCOLUMNWIDTH, static_cast<WPARAM>(std::max(1L, client.right / 2)), 0);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
  }

 private:
  void ApplyItemHeight() {
    SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, MAKELPARAM(FontHeightOf(hwnd_) + spacing_, 0));
    InvalidateRect(hwnd_, nullptr, TRUE);
  }

  int spacing_ = 0;
  COLORREF text_ = 0;
  COLORREF background_ = 0;
  HBRUSH brush_ = nullptr;
};

}  // namespace

std::unique_ptr<NativeListBox> MakeListBox(NativeParent& parent, const Rect& rect, ControlListener& listener) {
  auto list = std::make_unique<Win32ListBox>(listener);
  if (!list->Create(parent, rect)) return nullptr;
  return list;
}

}  // namespace tarnwick::win32
