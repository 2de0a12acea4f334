// The edit box (EditBox, 编辑框): a native single-line text entry.
// Properties: 8 text; 9 border (0 none .. 5 single line); 10 text colour;
// 11 background colour; 12 font; 13 masked entry; 14 maximum length in bytes
// (0 none); 15 read-only. Event 0: the user changed the text.
#pragma once

#include <memory>
#include <optional>

#include "ui/control.h"
#include "ui/text_box_look.h"

namespace tarnwick {

class EditBox : public Control {
 public:
  static constexpr int kText = 8;
  static constexpr int kBorder = 9;
  static constexpr int kTextColor = 10;
  static constexpr int kBackground = 11;
  static constexpr int kFont = 12;
  static constexpr int kMasked = 13;
  static constexpr int kMaxLength = 14;
  static constexpr int kReadOnly = 15;

  static constexpr int kTextChanged = 0;

  EditBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;
  std::string text() const { return edit_->Text(); }
  void SetText(std::string_view text) { edit_->SetText(text); }

  NativeControl* native() const override { return edit_.get(); }

 protected:
  void OnTextChanged() override { Raise(kTextChanged); }

 private:
  std::unique_ptr<NativeEdit> edit_;
  TextBoxLook look_{{kBorder, kTextColor, kBackground, kFont}};
  bool masked_ = false;
  int max_length_ = 0;
  bool read_only_ = false;
};

}  // namespace tarnwick
