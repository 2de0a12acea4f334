// The rich edit control in plain-text mode: "RichEdit20W" from RICHED20.DLL,
// or "RICHEDIT" from RICHED32.DLL when that is all the system has.
//
// Positions: version 2.0 keeps one "\r" per line break and counts it as one
// position; version 1.0 keeps "\r\n" and counts two. Either way the text is
// read in the form the positions count (EM_GETTEXTEX or WM_GETTEXT) and
// mapped to GBK byte positions through base/editor_text.
#include <richedit.h>

#include <algorithm>

#include "base/editor_text.h"
#include "platform/length_limit.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_control.h"
#include "platform/win32/win32_controls.h"

namespace tarnwick::win32 {
namespace {

// Far above any memo, and above the control's own default of 32,767.
constexpr LPARAM kNoLimit = 0x7FFFFFF0;

std::u16string_view Units(const std::wstring& text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

struct RichEditLibrary {
  const wchar_t* window_class = nullptr;
  bool version2 = false;
};

const RichEditLibrary& LoadRichEdit() {
  static RichEditLibrary library = [] {
    if (LoadLibraryW(L"RICHED20.DLL") != nullptr) return RichEditLibrary{RICHEDIT_CLASSW, true};
    if (LoadLibraryW(L"RICHED32.DLL") != nullptr) return RichEditLibrary{L"RICHEDIT", false};
    return RichEditLibrary{};
  }();
  return library;
}

class Win32RichEdit : public ControlBase<NativeRichEdit> {
 public:
  explicit Win32RichEdit(ControlListener& listener) : ControlBase(listener) {}
  ~Win32RichEdit() override { DestroyNow(); }

  bool Create(NativeParent& parent, const Rect& rect) {
    const RichEditLibrary& library = LoadRichEdit();
    if (library.window_class == nullptr) return false;
    version2_ = library.version2;
    HWND hwnd = CreateChild(library.window_class,
                            WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE,
                            parent, rect);
    if (hwnd == nullptr) return false;
    AttachSubclassed(hwnd);
    if (version2_) SendMessageW(hwnd_, EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE, 0);
    SendMessageW(hwnd_, EM_SETEVENTMASK, 0, ENM_CHANGE);
    SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, kNoLimit);
    return true;
  }

  void OnCommand(int code) override {
    if (code != EN_CHANGE || programmatic_) return;
    bool changed = !limit_.active() || limit_.UserEdited(Text(), [this](const LimitedEdit& kept) {
      Replace(kept.text);
      SendMessageW(hwnd_, EM_SETMODIFY, TRUE, 0);
      Select(kept.caret, kept.caret);
    });
    if (changed) listener().OnTextChanged();
  }

  void SetText(std::string_view text) override {
    Replace(text);
    SendMessageW(hwnd_, EM_SETSEL, 0, 0);
    SendMessageW(hwnd_, EM_SETMODIFY, FALSE, 0);
    if (limit_.active()) limit_.TextSet(Text());
  }
  std::string Text() const override { return FromEditorText(Units(EditorText())); }
  void SetReadOnly(bool read_only) override { SendMessageW(hwnd_, EM_SETREADONLY, read_only ? TRUE : FALSE, 0); }
  bool IsReadOnly() const override { return (GetWindowLongPtrW(hwnd_, GWL_STYLE) & ES_READONLY) != 0; }
  void SetBackground(Color background) override {
    SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ToColorRef(background)));
  }
  void SetBorder(ControlBorder border) override { ApplyBorder(hwnd_, border); }
  void SetMultiLine(bool multi_line) override { multi_line_ = multi_line; }
  void SetTypesTab(bool types_tab) override { types_tab_ = types_tab; }
  void SetWordWrap(bool word_wrap) override {
    // A null target device wraps at the window's width; 1 means no wrapping.
    SendMessageW(hwnd_, EM_SETTARGETDEVICE, 0, word_wrap ? 0 : 1);
    ChangeStyle(hwnd_, word_wrap ? 0 : WS_HSCROLL | ES_AUTOHSCROLL, word_wrap ? WS_HSCROLL | ES_AUTOHSCROLL : 0, false);
  }
  void SetHideSelection(bool hide) override {
    SendMessageW(hwnd_, EM_SETOPTIONS, hide ? ECOOP_AND : ECOOP_OR, hide ? ~static_cast<LPARAM>(ECO_NOHIDESEL) : ECO_NOHIDESEL);
    if (GetFocus() != hwnd_) SendMessageW(hwnd_, EM_HIDESELECTION, hide ? TRUE : FALSE, 0);
  }
  void SetMaxLength(int bytes) override {
    limit_.SetMaximum(bytes, Text());
    // Characters are at least a byte each: the system's character limit
    // never cuts what the byte limit keeps.
    SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, NativeLimit());
  }

  void SetSelection(int start, int length) override {
    std::wstring text = EditorText();
    int total = EditorToGbkPosition(Units(text), static_cast<int>(text.size()));
    start = std::clamp(start, 0, total);
    int end = length < 0 ? total : std::clamp(start + std::max(0, length), start, total);
    Select(start, end);
  }
  int SelectionStart() const override {
    CHARRANGE range = Range();
    return EditorToGbkPosition(Units(EditorText()), range.cpMin);
  }
  int SelectionLength() const override {
    CHARRANGE range = Range();
    std::wstring text = EditorText();
    return EditorToGbkPosition(Units(text), range.cpMax) - EditorToGbkPosition(Units(text), range.cpMin);
  }
  std::string SelectedText() const override {
    CHARRANGE range = Range();
    std::wstring text = EditorText();
    auto from = static_cast<std::size_t>(std::clamp<LONG>(range.cpMin, 0, static_cast<LONG>(text.size())));
    auto to = static_cast<std::size_t>(std::clamp<LONG>(range.cpMax, static_cast<LONG>(from), static_cast<LONG>(text.size())));
    return FromEditorText(Units(text).substr(from, to - from));
  }
  Point CaretPoint() const override {
    POINT caret{};
    GetCaretPos(&caret);
    // The caret's line is as high as the text's font.
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return {caret.x, caret.y + metrics.tmHeight};
  }
  void Copy() override { SendMessageW(hwnd_, WM_COPY, 0, 0); }
  void Cut() override {
    if (!IsReadOnly()) SendMessageW(hwnd_, WM_CUT, 0, 0);
  }
  void Paste() override {
    if (!IsReadOnly()) SendMessageW(hwnd_, EM_PASTESPECIAL, CF_UNICODETEXT, 0);
  }
  void Clear() override {
    if (!IsReadOnly()) SendMessageW(hwnd_, WM_CLEAR, 0, 0);
  }
  bool IsModified() const override { return SendMessageW(hwnd_, EM_GETMODIFY, 0, 0) != 0; }

 protected:
  LRESULT Process(UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_GETDLGCODE: {
        // Asked without the message, so the control never enters its dialog
        // mode (where Escape closes the parent window and Enter may go to a
        // default button). Tab and Escape are the dialog navigation's: Tab
        // moves the focus on (unless the editor types tabs, when Ctrl+Tab
        // does), Escape does nothing; reaching the editor by Tab does not
        // select its whole text.
        LRESULT code = Default(message, wparam, 0);
        code &= ~static_cast<LRESULT>(DLGC_HASSETSEL);
        auto* queued = reinterpret_cast<MSG*>(lparam);
        bool typed_tab = types_tab_ && queued != nullptr &&
                         (queued->message == WM_KEYDOWN || queued->message == WM_CHAR) &&
                         queued->wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0;
        if (typed_tab) {
          code |= DLGC_WANTTAB;
        } else if (queued != nullptr && (queued->message == WM_KEYDOWN || queued->message == WM_CHAR) &&
            (queued->wParam == VK_TAB || queued->wParam == VK_ESCAPE)) {
          code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
        } else if (queued != nullptr && multi_line_) {
          code |= DLGC_WANTMESSAGE;  // Enter makes a new line
        }
        return code;
      }
      case WM_KEYDOWN:
      case WM_CHAR:
        // A single-line editor takes no line break from the keyboard.
        if (!multi_line_ && (wparam == VK_RETURN || (message == WM_CHAR && wparam == L'\n'))) {
          LRESULT ignored = 0;
          HandleInput(message, wparam, lparam, ignored);
          return 0;
        }
        break;
      default:
        break;
    }
    return Win32Node::Process(message, wparam, lparam);
  }

 private:
  // The text in the form the control's positions count.
  std::wstring EditorText() const {
    if (version2_) {
      GETTEXTLENGTHEX length_request{GTL_NUMCHARS | GTL_PRECISE, 1200};
      LRESULT length = SendMessageW(hwnd_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length_request), 0);
      if (length < 0) length = 0;
      std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
      GETTEXTEX request{};
      request.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
      request.flags = GT_DEFAULT;
      request.codepage = 1200;  // UTF-16
      LRESULT copied = SendMessageW(hwnd_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                                    reinterpret_cast<LPARAM>(text.data()));
      text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, length)));
      return text;
    }
    int length = GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<std::size_t>(std::max(0, length)) + 1, L'\0');
    int copied = GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(0, copied)));
    return text;
  }

  void Replace(std::string_view text) {
    std::u16string units = ToEditorText(text, u'\r');
    std::wstring wide(units.begin(), units.end());
    if (!version2_) {
      std::string crlf = NormalizeLineBreaks(text);
      wide = WideText(crlf);
    }
    programmatic_ = true;
    // The program's text is taken whole, whatever the user's limit.
    SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, kNoLimit);
    SetWindowTextW(hwnd_, wide.c_str());
    SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, NativeLimit());
    programmatic_ = false;
  }

  LPARAM NativeLimit() const { return limit_.active() ? limit_.maximum() : kNoLimit; }

  void Select(int start, int end) {
    std::wstring text = EditorText();
    CHARRANGE range{GbkToEditorPosition(Units(text), start), GbkToEditorPosition(Units(text), end)};
    SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
  }

  CHARRANGE Range() const {
    CHARRANGE range{0, 0};
    SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    if (range.cpMax < range.cpMin) std::swap(range.cpMin, range.cpMax);
    return range;
  }

  bool version2_ = true;
  bool programmatic_ = false;
  bool multi_line_ = true;
  bool types_tab_ = false;
  LengthLimit limit_;
};

}  // namespace

std::unique_ptr<NativeRichEdit> MakeRichEdit(NativeParent& parent, const Rect& rect, ControlListener& listener) {
  auto edit = std::make_unique<Win32RichEdit>(listener);
  if (!edit->Create(parent, rect)) return nullptr;
  return edit;
}

}  // namespace tarnwick::win32
