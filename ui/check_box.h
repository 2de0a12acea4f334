// The check box (CheckBox, 选择框): a native check box with a caption
// (property 8) and its checked state (property 18). Event 0: clicked (the
// mark has already changed).
#pragma once

#include <memory>

#include "ui/control.h"

namespace tarnwick {

class CheckBox : public Control {
 public:
  static constexpr int kCaption = 8;
  static constexpr int kFont = 9;
  static constexpr int kChecked = 18;
  static constexpr int kClicked = 0;

  CheckBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;
  const std::string& caption() const { return caption_; }
  bool checked() const { return box_->IsChecked(); }
  void SetChecked(bool checked) { box_->SetChecked(checked); }

  bool IsClickable() const override { return true; }
  std::string MnemonicCaption() const override { return caption_; }
  // Toggles the mark, then raises clicked.
  void ClickByMnemonic() override { box_->Click(); }

  NativeControl* native() const override { return box_.get(); }

 protected:
  void OnClicked() override { Raise(kClicked); }

 private:
  std::unique_ptr<NativeCheckBox> box_;
  std::string caption_;
  std::optional<Font> font_;
};

}  // namespace tarnwick
