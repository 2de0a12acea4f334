// The group box (GroupBox, 分组框): a framed container with a caption
// (property 8). Controls created with it as parent are positioned inside it
// and move and hide with it.
#pragma once

#include <memory>

#include "ui/control.h"

namespace tarnwick {

class GroupBox : public Control {
 public:
  static constexpr int kCaption = 8;

  GroupBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;
  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption);

  NativeControl* native() const override { return frame_.get(); }
  NativeParent* native_parent() const override { return frame_.get(); }

 private:
  std::unique_ptr<NativeGroupFrame> frame_;
  std::string caption_;
};

}  // namespace tarnwick
