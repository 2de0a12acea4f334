// The picture box (PicBox, 图片框): shows one picture inside its rectangle.
// Properties: 8 picture; 9 border (0 none .. 5 single line); 10 placement (0
// scaled down to fit, keeping its proportions, and centred; 1 stretched over
// the box; 2 at the top left, unscaled; 3 centred, unscaled); 11 background
// colour. No events are handled.
#pragma once

#include <optional>

#include "ui/self_drawn_control.h"

namespace tarnwick {

class PicBox : public SelfDrawnControl {
 public:
  static constexpr int kPicture = 8;
  static constexpr int kBorder = 9;
  static constexpr int kPlacement = 10;
  static constexpr int kBackground = 11;

  PicBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;
  // Where the picture lands inside the box (empty without a picture).
  Rect PictureRect() const;

 protected:
  void Paint(Canvas& canvas, const Rect& dirty) override;

 private:
  Rect Inner() const;

  Picture picture_;
  int border_ = 0;
  int placement_ = 0;
  std::optional<Color> background_;
};

}  // namespace tarnwick
