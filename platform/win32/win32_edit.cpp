// The single-line edit: EDIT with ES_AUTOHSCROLL. EN_CHANGE reaches the
// listener only for the user's edits; a maximum length counts GBK bytes.
#include "base/editor_text.h"
#include "platform/length_limit.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_control.h"
#include "platform/win32/win32_controls.h"

namespace tarnwick::win32 {
namespace {

class Win32Edit : public ControlBase<NativeEdit> {
 public:
  explicit Win32Edit(ControlListener& listener) : ControlBase(listener) {}
  ~Win32Edit() override {
    DestroyNow();
  }

  bool Create(NativeParent& parent, const Rect& rect) {
    HWND hwnd = CreateChild(L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, parent, rect);
    if (hwnd == nullptr) return false;
    AttachSubclassed(hwnd);
    return true;
  }

  void OnCommand(int code) override {
    if (code != EN_CHANGE || programmatic_) return;
    bool changed = limit_.UserEdited(Text(), [this](const LimitedEdit& kept) {
      Replace(kept.text);
      std::wstring shown = WideText(kept.text);
      int caret = GbkToEditorPosition(std::u16string_view(reinterpret_cast<const char16_t*>(shown.data()), shown.size()),
                                      kept.caret);
      SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(caret), caret);
    });
    if (changed) listener().OnTextChanged();
  }
  HBRUSH ControlColor(HDC dc) override { return colors_.Apply(dc); }

  void SetText(std::string_view text) override {
    Replace(text);
    limit_.TextSet(Text());
  }
  std::string Text() const override { return WindowTextOf(hwnd_); }
  void SetColors(Color text, Color background) override {
    colors_.Set(text, background);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void SetBorder(ControlBorder border) override { ApplyBorder(hwnd_, border); }
  void SetMasked(bool masked) override {
    SendMessageW(hwnd_, EM_SETPASSWORDCHAR, masked ? L'*' : 0, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void SetMaxLength(int bytes) override {
    limit_.SetMaximum(bytes, Text());
    // The system counts characters; a character is at least one byte, so
    // its limit never cuts what the byte limit keeps.
    SendMessageW(hwnd_, EM_LIMITTEXT, static_cast<WPARAM>(limit_.maximum()), 0);
  }
  void SetReadOnly(bool read_only) override { SendMessageW(hwnd_, EM_SETREADONLY, read_only ? TRUE : FALSE, 0); }

 protected:
  LRESULT Process(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_GETDLGCODE) {
      // Return comes to the edit and its listener: the dialog navigation
      // would only look for a default button, which no window here has.
      LRESULT code = Default(message, wparam, lparam);
      auto* queued = reinterpret_cast<MSG*>(lparam);
      if (queued != nullptr && (queued->message == WM_KEYDOWN || queued->message == WM_CHAR) &&
          queued->wParam == VK_RETURN) {
        code |= DLGC_WANTMESSAGE;
      }
      return code;
    }
    if (message == WM_CHAR && (wparam == L'\r' || wparam == L'\n')) {
      // The line takes no break, and the system's edit would beep at it.
      LRESULT ignored = 0;
      HandleInput(message, wparam, lparam, ignored);
      return 0;
    }
    return Win32Node::Process(message, wparam, lparam);
  }

 private:
  void Replace(std::string_view text) {
    programmatic_ = true;
    SetWindowTextOf(hwnd_, text);
    programmatic_ = false;
  }

  LengthLimit limit_;
  bool programmatic_ = false;
  ControlColors colors_;
};

}  // namespace

std::unique_ptr<NativeEdit> MakeEdit(NativeParent& parent, const Rect& rect, ControlListener& listener) {
  auto edit = std::make_unique<Win32Edit>(listener);
  if (!edit->Create(parent, rect)) return nullptr;
  return edit;
}

}  // namespace tarnwick::win32
