// The push button (Button, 按钮): a native button with a caption (property
// 8), an optional icon shown with it (property 9, a picture) and a font
// (property 10). Event 0: clicked.
//
// A button too narrow for its icon and caption shows the icon alone and
// names itself in its tooltip, rather than showing a clipped caption.
#pragma once

#include <memory>

#include "ui/control.h"

namespace tarnwick {

class Button : public Control {
 public:
  static constexpr int kCaption = 8;
  static constexpr int kIcon = 9;
  static constexpr int kFont = 10;
  static constexpr int kClicked = 0;

  Button(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;
  const std::string& caption() const { return caption_; }

  bool IsClickable() const override { return true; }
  std::string MnemonicCaption() const override { return caption_; }
  void ClickByMnemonic() override { button_->Click(); }

  NativeControl* native() const override { return button_.get(); }

 protected:
  void OnClicked() override { Raise(kClicked); }
  void OnRectChanged() override { Arrange(); }

 private:
  // Shows the caption, or the icon alone with the caption as its tooltip.
  void Arrange();
  bool CaptionFits() const;

  std::unique_ptr<NativeButton> button_;
  std::string caption_;
  Picture icon_;
  std::optional<Font> font_;
};

}  // namespace tarnwick
