// Checks and reads of property values shared by the widget kinds.
#pragma once

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

// A picture with its transparent colour applied: pictures that carry alpha
// keep it; opaque ones lose the key colour (given, or the top-left pixel's).
Image WithTransparency(const Image& image, std::optional<Color> key);

}  // namespace tarnwick
