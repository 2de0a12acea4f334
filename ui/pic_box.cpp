#include "ui/pic_box.h"

#include <algorithm>

#include "ui/drawing.h"
#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {

PicBox::PicBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : SelfDrawnControl(window, parent, std::move(name), ControlKind::kPicBox, rect, flags) {}

Value PicBox::GetProperty(int number) const {
  switch (number) {
    case kPicture: return picture_ ? Value(picture_) : Value();
    case kBorder: return border_;
    case kPlacement: return placement_;
    case kBackground: return background_ ? Value(*background_) : Value();
    default: return Control::GetProperty(number);
  }
}

bool PicBox::SetProperty(int number, const Value& value) {
  switch (number) {
    case kPicture:
      if (!FitsType(value, ValueType::kPicture)) return false;
      picture_ = PictureOf(value);
      break;
    case kBorder:
    case kPlacement:
      if (!FitsType(value, ValueType::kInt)) return false;
      (number == kBorder ? border_ : placement_) = std::get<int>(value);
      break;
    case kBackground:
      if (!FitsType(value, ValueType::kColor)) return false;
      background_ = ColorOf(value);
      break;
    default:
      return Control::SetProperty(number, value);
  }
  Repaint();
  return true;
}

Rect PicBox::Inner() const {
  Rect whole{0, 0, width(), height()};
  switch (border_) {
    case 1: case 2: case 4: return whole.Inset(2);
    case 3: case 5: return whole.Inset(1);
    default: return whole;
  }
}

Rect PicBox::PictureRect() const {
  if (!picture_ || picture_->empty()) return {};
  Rect inner = Inner();
  int w = picture_->width(), h = picture_->height();
  switch (placement_) {
    case 1:
      return inner;
    case 2:
      return {inner.left, inner.top, w, h};
    case 3:
      return {inner.left + (inner.width - w) / 2, inner.top + (inner.height - h) / 2, w, h};
    default: {
      if (w > inner.width || h > inner.height) {
        // Scale down by the tighter side so the whole picture shows.
        if (static_cast<long long>(w) * inner.height > static_cast<long long>(h) * inner.width) {
          h = std::max(1, static_cast<int>(static_cast<long long>(h) * inner.width / w));
          w = inner.width;
        } else {
          w = std::max(1, static_cast<int>(static_cast<long long>(w) * inner.height / h));
          h = inner.height;
        }
      }
      return {inner.left + (inner.width - w) / 2, inner.top + (inner.height - h) / 2, w, h};
    }
  }
}

void PicBox::Paint(Canvas& canvas, const Rect& dirty) {
  (void)dirty;
  Rect whole{0, 0, width(), height()};
  canvas.FillRect(whole, background_.value_or(SystemColorOf(SystemColor::kButtonFace)));
  Rect inner = DrawBorder(canvas, whole, border_ >= 1 && border_ <= 5 ? static_cast<BorderStyle>(border_)
                                                                       : BorderStyle::kNone,
                          platform().windows());
  if (!picture_ || picture_->empty()) return;
  canvas.SetClip(inner);
  canvas.DrawImage(*picture_, PictureRect());
  canvas.ResetClip();
}

}  // namespace tarnwick
