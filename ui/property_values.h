// Checks and reads of property values shared by the widget kinds.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "ui/control.h"

namespace tarnwick {

enum class ValueType { kBool, kInt, kText, kColor, kFont, kPicture, kDate };

// Whether value may be stored in a property of that type. Colours, fonts and
// pictures also accept monostate (back to the default); a date accepts a
// double or an int.
bool FitsType(const Value& value, ValueType type);

int IntOr(const Value& value, int fallback);
bool BoolOr(const Value& value, bool fallback);
std::string TextOr(const Value& value, const std::string& fallback = {});
std::optional<Color> ColorOf(const Value& value);
std::optional<Font> FontOf(const Value& value);
Picture PictureOf(const Value& value);

// Writes one of the common geometry properties (left, top, width, height)
// into rect. False, leaving rect alone, for a value that is not an integer.
bool SetRectProperty(Rect& rect, int number, const Value& value);

// Stores a font property and gives the native control that font, or the
// default GUI font when the property is unset. False, changing nothing, for a
// value that is not a font.
bool SetFontProperty(std::optional<Font>& font, const Value& value, NativeControl& native,
                     const WindowSystem& windows);

// The own properties (8 to kLast) of a kind that keeps them all as values,
// each of the fixed type that type_of gives.
template <int kLast>
class PropertyTable {
 public:
  using TypeOf = ValueType (*)(int number);
  explicit PropertyTable(TypeOf type_of) : type_of_(type_of) {}

  static constexpr bool Holds(int number) { return number >= property::kFirstOwn && number <= kLast; }
  Value& operator[](int number) { return values_[number - property::kFirstOwn]; }
  const Value& operator[](int number) const { return values_[number - property::kFirstOwn]; }
  // Stores value when it fits the property's type; false, changing nothing,
  // otherwise.
  bool Store(int number, const Value& value) {
    if (!FitsType(value, type_of_(number))) return false;
    (*this)[number] = value;
    return true;
  }

 private:
  TypeOf type_of_;
  std::array<Value, kLast - property::kFirstOwn + 1> values_;
};

// A picture with its transparent colour applied: pictures that carry alpha
// keep it; opaque ones lose the key colour (given, or the top-left pixel's).
Image WithTransparency(const Image& image, std::optional<Color> key);

}  // namespace tarnwick
