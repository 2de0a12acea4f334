// The border, colours and font of the native boxes of text (the edit box and
// the list box): both kinds number these properties differently but store
// and apply them alike. Colours left unset are the system's window text on
// the window colour; an unset font is the default GUI font.
#pragma once

#include <optional>

#include "ui/drawing.h"
#include "ui/property_values.h"

namespace tarnwick {

class TextBoxLook {
 public:
  // The kind's numbers of the four properties.
  struct Numbers {
    int border, text_color, background, font;
  };

  explicit TextBoxLook(Numbers numbers) : numbers_(numbers) {}

  // Gives a newly made native box the stored border and colours.
  template <class Native>
  void ApplyTo(Native& native, const WindowSystem& windows) const {
    native.SetBorder(ControlBorderOf(border_));
    ApplyColors(native, windows);
  }

  // The value of one of the four properties; nullopt for any other number.
  std::optional<Value> Get(int number) const {
    if (number == numbers_.border) return border_;
    if (number == numbers_.text_color) return text_color_ ? Value(*text_color_) : Value();
    if (number == numbers_.background) return background_ ? Value(*background_) : Value();
    if (number == numbers_.font) return font_ ? Value(*font_) : Value();
    return std::nullopt;
  }

  // Writes one of the four properties and applies it to native: nullopt for
  // any other number, else whether the value was of the property's type.
  template <class Native>
  std::optional<bool> Set(int number, const Value& value, Native& native, const WindowSystem& windows) {
    if (number == numbers_.border) {
      if (!FitsType(value, ValueType::kInt)) return false;
      border_ = std::get<int>(value);
      native.SetBorder(ControlBorderOf(border_));
      return true;
    }
    if (number == numbers_.text_color || number == numbers_.background) {
      if (!FitsType(value, ValueType::kColor)) return false;
      (number == numbers_.text_color ? text_color_ : background_) = ColorOf(value);
      ApplyColors(native, windows);
      return true;
    }
    if (number == numbers_.font) return SetFontProperty(font_, value, native, windows);
    return std::nullopt;
  }

 private:
  template <class Native>
  void ApplyColors(Native& native, const WindowSystem& windows) const {
    native.SetColors(text_color_.value_or(windows.GetSystemColor(SystemColor::kWindowText)),
                     background_.value_or(windows.GetSystemColor(SystemColor::kWindow)));
  }

  Numbers numbers_;
  int border_ = 1;  // sunken
  std::optional<Color> text_color_, background_;
  std::optional<Font> font_;
};

}  // namespace tarnwick
