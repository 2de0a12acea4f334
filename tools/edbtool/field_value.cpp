#include "tools/edbtool/field_value.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/datetime.h"
#include "base/text.h"

namespace tarnwick::edbtool {

namespace {

ParsedArgument Refuse(std::string error) { return ParsedArgument{std::nullopt, std::move(error)}; }

ParsedArgument Accept(ArgumentValue value) { return ParsedArgument{std::move(value), {}}; }

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseReal(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

ParsedArgument IntegerInRange(std::string_view text, std::int64_t low, std::int64_t high, const char* kind) {
  const auto value = ParseInteger(text);
  if (!value || *value < low || *value > high) {
    return Refuse("'" + std::string(text) + "' is not " + kind + " (" + std::to_string(low) + " to " +
                  std::to_string(high) + ")");
  }
  ArgumentValue result;
  result.integer = *value;
  return Accept(result);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

ParsedArgument ParseFieldValue(int type, int width, std::string_view text) {
  switch (type) {
    case 1: return IntegerInRange(text, 0, 255, "a byte");
    case 2: return IntegerInRange(text, -32768, 32767, "a short integer");
    case 3:
      return IntegerInRange(text, std::numeric_limits<std::int32_t>::min(),
                            std::numeric_limits<std::int32_t>::max(), "an integer");
    case 4:
      return IntegerInRange(text, std::numeric_limits<std::int64_t>::min(),
                            std::numeric_limits<std::int64_t>::max(), "a long integer");
    case 9:
      // A 32-bit value: either sign convention is accepted, stored as the same 4 bytes.
      return IntegerInRange(text, std::numeric_limits<std::int32_t>::min(),
                            std::numeric_limits<std::uint32_t>::max(), "a 32-bit value");
    case 5:
    case 6: {
      const auto value = ParseReal(text);
      if (!value) return Refuse("'" + std::string(text) + "' is not a number");
      if (type == 5 && std::isfinite(*value) && std::fabs(*value) > std::numeric_limits<float>::max()) {
        return Refuse("'" + std::string(text) + "' is too large for a single float");
      }
      ArgumentValue result;
      result.kind = ArgumentValue::Kind::kReal;
      result.real = *value;
      return Accept(result);
    }
    case 7: {
      ArgumentValue result;
      result.kind = ArgumentValue::Kind::kBoolean;
      if (text == "true") {
        result.boolean = true;
      } else if (text != "false") {
        return Refuse("'" + std::string(text) + "' is not a boolean (true or false)");
      }
      return Accept(result);
    }
    case 8: {
      ArgumentValue result;
      result.kind = ArgumentValue::Kind::kReal;
      if (const auto days = ParseReal(text)) {
        if (!std::isfinite(*days)) return Refuse("'" + std::string(text) + "' is not a date-time");
        result.real = *days;
        return Accept(result);
      }
      const std::string gbk = Utf8ToGbk(text);
      const DateTime date = TextToDate(gbk);
      // TextToDate answers kEmptyDate for anything it cannot read; only the
      // text of that very date may legitimately give it.
      if (date == kEmptyDate && gbk != DateText(kEmptyDate)) {
        return Refuse("'" + std::string(text) + "' is neither a number of days nor a date such as 2011年5月3日");
      }
      result.real = date;
      return Accept(result);
    }
    case 10:
    case 12: {
      ArgumentValue result;
      result.kind = ArgumentValue::Kind::kBytes;
      result.bytes = Utf8ToGbk(text);
      if (type == 10 && result.bytes.size() > static_cast<std::size_t>(width)) {
        return Refuse("the text takes " + std::to_string(result.bytes.size()) + " bytes in GBK; the field holds " +
                      std::to_string(width));
      }
      return Accept(result);
    }
    case 11: {
      if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') || text.size() % 2 != 0) {
        return Refuse("'" + std::string(text) + "' is not a byte string (0x followed by pairs of hex digits)");
      }
      ArgumentValue result;
      result.kind = ArgumentValue::Kind::kBytes;
      for (std::size_t i = 2; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return Refuse("'" + std::string(text) + "' holds a character that is not a hex digit");
        result.bytes += static_cast<char>(high * 16 + low);
      }
      return Accept(result);
    }
    default:
      return Refuse("unknown field type " + std::to_string(type));
  }
}

}  // namespace tarnwick::edbtool
