#include "ui/rich_edit.h"

#include "ui/drawing.h"
#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {

RichEdit::RichEdit(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), ControlKind::kRichEdit, rect, flags) {
  edit_ = platform().windows().CreateRichEdit(ParentForNative(), rect, listener());
  if (edit_ == nullptr) return;
  AttachNative(*edit_);
  edit_->SetBorder(ControlBorderOf(border_));
  edit_->SetBackground(platform().windows().GetSystemColor(SystemColor::kWindow));
  edit_->SetMultiLine(multi_line_);
  edit_->SetWordWrap(word_wrap_);
  edit_->SetHideSelection(hide_selection_);
  ApplyTabTyping();
}

// What is written in a multi-line editor may hold tabs; while the text cannot
// change, Tab moves on as everywhere else.
void RichEdit::ApplyTabTyping() {
  if (edit_) edit_->SetTypesTab(multi_line_ && !read_only_);
}

std::string RichEdit::content() const { return edit_ ? edit_->Text() : fallback_content_; }

void RichEdit::SetContent(std::string_view text) {
  if (edit_) edit_->SetText(text);
  else fallback_content_ = std::string(text);
}

void RichEdit::SetReadOnly(bool read_only) {
  read_only_ = read_only;
  if (edit_) edit_->SetReadOnly(read_only);
  ApplyTabTyping();
}

int RichEdit::selection_start() const { return edit_ ? edit_->SelectionStart() : 0; }
int RichEdit::selection_length() const { return edit_ ? edit_->SelectionLength() : 0; }

Point RichEdit::CaretPoint() const { return edit_ ? edit_->CaretPoint() : Point{}; }

void RichEdit::Select(int start, int length) {
  if (edit_) edit_->SetSelection(start, length);
}

void RichEdit::Copy() {
  if (edit_) edit_->Copy();
}
void RichEdit::Cut() {
  if (edit_) edit_->Cut();
}
void RichEdit::Paste() {
  if (edit_) edit_->Paste();
}
void RichEdit::DeleteSelection() {
  if (edit_) edit_->Clear();
}

Value RichEdit::GetProperty(int number) const {
  switch (number) {
    case kContentFormat: return format_;
    case kContent: return content();
    case kBorder: return border_;
    case kBackground: return background_ ? Value(*background_) : Value();
    case kMultiLine: return multi_line_;
    case kWordWrap: return word_wrap_;
    case kReadOnly: return read_only_;
    case kHideSelection: return hide_selection_;
    case kMaxLength: return max_length_;
    case kSelectionStart: return selection_start();
    case kSelectionLength: return selection_length();
    case kSelectedText: return edit_ ? edit_->SelectedText() : std::string();
    case kModified: return edit_ ? edit_->IsModified() : false;
    default: return Control::GetProperty(number);
  }
}

bool RichEdit::SetProperty(int number, const Value& value) {
  switch (number) {
    case kContentFormat:
    case kBorder:
    case kMaxLength:
    case kSelectionStart:
    case kSelectionLength: {
      if (!FitsType(value, ValueType::kInt)) return false;
      int integer = std::get<int>(value);
      if (number == kContentFormat) format_ = integer;
      if (number == kBorder) {
        border_ = integer;
        if (edit_) edit_->SetBorder(ControlBorderOf(integer));
      }
      if (number == kMaxLength) {
        if (integer < 0) return false;
        max_length_ = integer;
        if (edit_) edit_->SetMaxLength(integer);
      }
      if (number == kSelectionStart) Select(integer, 0);
      if (number == kSelectionLength) Select(selection_start(), integer);
      return true;
    }
    case kContent:
      if (!FitsType(value, ValueType::kText)) return false;
      SetContent(std::get<std::string>(value));
      return true;
    case kBackground:
      if (!FitsType(value, ValueType::kColor)) return false;
      background_ = ColorOf(value);
      if (edit_) edit_->SetBackground(background_.value_or(platform().windows().GetSystemColor(SystemColor::kWindow)));
      return true;
    case kMultiLine:
    case kWordWrap:
    case kReadOnly:
    case kHideSelection: {
      if (!FitsType(value, ValueType::kBool)) return false;
      bool flag = std::get<bool>(value);
      if (number == kMultiLine) {
        multi_line_ = flag;
        if (edit_) edit_->SetMultiLine(flag);
        ApplyTabTyping();
      }
      if (number == kWordWrap) {
        word_wrap_ = flag;
        if (edit_) edit_->SetWordWrap(flag);
      }
      if (number == kReadOnly) SetReadOnly(flag);
      if (number == kHideSelection) {
        hide_selection_ = flag;
        if (edit_) edit_->SetHideSelection(flag);
      }
      return true;
    }
    default:
      return Control::SetProperty(number, value);
  }
}

}  // namespace tarnwick
