#include "ui/property_values.h"

namespace tarnwick {

bool FitsType(const Value& value, ValueType type) {
  bool unset = std::holds_alternative<std::monostate>(value);
  switch (type) {
    case ValueType::kBool: return std::holds_alternative<bool>(value);
    case ValueType::kInt: return std::holds_alternative<int>(value);
    case ValueType::kText: return std::holds_alternative<std::string>(value);
    case ValueType::kColor: return unset || std::holds_alternative<Color>(value);
    case ValueType::kFont: return unset || std::holds_alternative<Font>(value);
    case ValueType::kPicture: return unset || std::holds_alternative<Picture>(value);
    case ValueType::kDate: return std::holds_alternative<double>(value) || std::holds_alternative<int>(value);
  }
  return false;
}

int IntOr(const Value& value, int fallback) {
  if (const int* integer = std::get_if<int>(&value)) return *integer;
  return fallback;
}

bool BoolOr(const Value& value, bool fallback) {
  if (const bool* flag = std::get_if<bool>(&value)) return *flag;
  return fallback;
}

std::string TextOr(const Value& value, const std::string& fallback) {
  if (const std::string* text = std::get_if<std::string>(&value)) return *text;
  return fallback;
}

std::optional<Color> ColorOf(const Value& value) {
  if (const Color* color = std::get_if<Color>(&value)) return *color;
  return std::nullopt;
}

std::optional<Font> FontOf(const Value& value) {
  if (const Font* font = std::get_if<Font>(&value)) return *font;
  return std::nullopt;
}

Picture PictureOf(const Value& value) {
  if (const Picture* picture = std::get_if<Picture>(&value)) return *picture;
  return nullptr;
}

bool SetRectProperty(Rect& rect, int number, const Value& value) {
  const int* integer = std::get_if<int>(&value);
  if (integer == nullptr) return false;
  if (number == property::kLeft) rect.left = *integer;
  if (number == property::kTop) rect.top = *integer;
  if (number == property::kWidth) rect.width = *integer;
  if (number == property::kHeight) rect.height = *integer;
  return true;
}

bool SetFontProperty(std::optional<Font>& font, const Value& value, NativeControl& native,
                     const WindowSystem& windows) {
  if (!FitsType(value, ValueType::kFont)) return false;
  font = FontOf(value);
  native.SetFont(font.value_or(windows.DefaultGuiFont()));
  return true;
}

Image WithTransparency(const Image& image, std::optional<Color> key) {
  for (const Pixel& pixel : image.pixels()) {
    if (pixel.alpha != 255) return image;
  }
  return WithTransparentColor(image, key.value_or(TopLeftColor(image)));
}

}  // namespace tarnwick
