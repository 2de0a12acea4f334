// The list box: LISTBOX without LBS_SORT (the program sorts), LBS_NOTIFY for
// LBN_SELCHANGE, which the system raises for the user's changes only.
#include <algorithm>
#include <vector>

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
  HBRUSH ControlColor(HDC dc) override { return colors_.Apply(dc); }

  void Clear() override {
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    column_width_ = 0;
  }
  void InsertItem(int index, std::string_view text) override {
    int count = Count();
    index = std::clamp(index, 0, count);
    std::wstring wide = WideText(text);
    SendMessageW(hwnd_, LB_INSERTSTRING, index == count ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(wide.c_str()));
    if (multi_column_) WidenColumns(wide);
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
    colors_.Set(text, background);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void SetBorder(ControlBorder border) override { ApplyBorder(hwnd_, border); }
  void SetToolTip(std::string_view text) override {
    tool_tip_ = text;
    ControlBase::SetToolTip(text);
  }
  void SetMultiColumn(bool multi_column) override {
    if (multi_column == multi_column_) return;
    multi_column_ = multi_column;
    // A list box reads LBS_MULTICOLUMN only when it is created: make it anew
    // in the same place, with the same items, selection, font and focus.
    HWND old = hwnd_;
    HWND parent = GetParent(old);
    RECT area{};
    GetWindowRect(old, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    auto style = static_cast<DWORD>(GetWindowLongPtrW(old, GWL_STYLE));
    style = multi_column ? (style | LBS_MULTICOLUMN | WS_HSCROLL) & ~static_cast<DWORD>(WS_VSCROLL)
                         : (style & ~static_cast<DWORD>(LBS_MULTICOLUMN | WS_HSCROLL)) | WS_VSCROLL;
    auto extended = static_cast<DWORD>(GetWindowLongPtrW(old, GWL_EXSTYLE));
    HWND made = CreateWindowExW(extended, L"LISTBOX", L"", style, area.left, area.top, area.right - area.left,
                                area.bottom - area.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(GetDlgCtrlID(old))), ModuleInstance(),
                                nullptr);
    if (made == nullptr) return;
    std::vector<std::string> items;
    for (int index = 0; index < Count(); ++index) items.push_back(ItemText(index));
    int selection = Selection();
    bool focused = GetFocus() == old;
    LPARAM font = static_cast<LPARAM>(SendMessageW(old, WM_GETFONT, 0, 0));
    SetWindowPos(made, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);  // the same place in Tab order
    DestroyNow();
    column_width_ = 0;
    SendMessageW(made, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    AttachSubclassed(made);
    for (const std::string& item : items) InsertItem(Count(), item);
    SetSelection(selection);
    ApplyItemHeight();
    if (!tool_tip_.empty()) ControlBase::SetToolTip(tool_tip_);
    if (focused) ::SetFocus(made);
  }

 private:
  void ApplyItemHeight() {
    SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, MAKELPARAM(FontHeightOf(hwnd_) + spacing_, 0));
    InvalidateRect(hwnd_, nullptr, TRUE);
  }

  // Columns as wide as the widest item so far.
  void WidenColumns(const std::wstring& item) {
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, item.c_str(), static_cast<int>(item.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    if (extent.cx + 8 > column_width_) {
      column_width_ = extent.cx + 8;
      SendMessageW(hwnd_, LB_SETCOLUMNWIDTH, static_cast<WPARAM>(column_width_), 0);
    }
  }

  bool multi_column_ = false;
  int column_width_ = 0;
  std::string tool_tip_;
  int spacing_ = 0;
  ControlColors colors_;
};

}  // namespace

std::unique_ptr<NativeListBox> MakeListBox(NativeParent& parent, const Rect& rect, ControlListener& listener) {
  auto list = std::make_unique<Win32ListBox>(listener);
  if (!list->Create(parent, rect)) return nullptr;
  return list;
}

}  // namespace tarnwick::win32
