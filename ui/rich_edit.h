// The rich editor (RichEdit, 超级编辑框): a multi-line editor on the window
// system's rich edit control, used for plain text.
//
// Properties: 8 内容格式 (0 plain text, 1 RTF: RTF is not interpreted, the
// content is read and written as plain text); 9 内容 content; 10 边框 border
// (0 none, 1 sunken, 2 raised, 3 shallow sunken, 4 frame, 5 single line); 11
// background; 12 multi-line; 13 word wrap; 14 read-only; 15 hide the
// selection without focus; 16 maximum length (0 none); 17 起始选择位置
// selection start (writing it collapses the selection there); 18
// 被选择字符数 selection length (writing -1 selects from the start to the
// end); 19 selected text (read); 20 changed by the user (read).
// Positions and lengths count GBK bytes. A writable multi-line editor takes
// Tab as a character (Ctrl+Tab moves the focus on). Events: 0 content changed, 1
// selection changed (neither is used by the program).
// Creation fails quietly when the system has no rich edit control: the
// editor then holds its content but shows nothing.
#pragma once

#include <memory>

#include "ui/control.h"

namespace tarnwick {

class RichEdit : public Control {
 public:
  static constexpr int kContentFormat = 8;
  static constexpr int kContent = 9;
  static constexpr int kBorder = 10;
  static constexpr int kBackground = 11;
  static constexpr int kMultiLine = 12;
  static constexpr int kWordWrap = 13;
  static constexpr int kReadOnly = 14;
  static constexpr int kHideSelection = 15;
  static constexpr int kMaxLength = 16;
  static constexpr int kSelectionStart = 17;
  static constexpr int kSelectionLength = 18;
  static constexpr int kSelectedText = 19;
  static constexpr int kModified = 20;

  static constexpr int kContentChanged = 0;
  static constexpr int kSelectionChanged = 1;

  RichEdit(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;

  std::string content() const;
  void SetContent(std::string_view text);
  bool read_only() const { return read_only_; }
  void SetReadOnly(bool read_only);
  int selection_start() const;
  int selection_length() const;
  // Selects length bytes from start; -1 selects to the end.
  void Select(int start, int length);
  // The bottom left of the caret in the editor's own coordinates.
  Point CaretPoint() const;

  // The clipboard operations, as the standard edit messages do them.
  void Copy();
  void Cut();
  void Paste();
  void DeleteSelection();

  NativeControl* native() const override { return edit_.get(); }
  bool available() const { return edit_ != nullptr; }

 protected:
  void OnTextChanged() override { Raise(kContentChanged); }

 private:
  std::unique_ptr<NativeRichEdit> edit_;
  std::string fallback_content_;  // without a native control
  int format_ = 0;
  int border_ = 1;
  std::optional<Color> background_;
  void ApplyTabTyping();

  bool multi_line_ = true;
  bool word_wrap_ = true;
  bool read_only_ = false;
  bool hide_selection_ = true;
  int max_length_ = 0;
};

}  // namespace tarnwick
