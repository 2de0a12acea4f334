// Values typed on the command line, read for a field of a given type.
//
// Everything is checked before it reaches the database: a number out of the
// field's range, a text longer than a text field's width or a date that is
// not a calendar date is refused rather than cut or wrapped silently.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::edbtool {

struct ArgumentValue {
  enum class Kind { kInteger, kReal, kBoolean, kBytes };
  Kind kind = Kind::kInteger;
  std::int64_t integer = 0;  // types 1 to 4 and 9
  double real = 0;           // types 5, 6 and 8
  bool boolean = false;      // type 7
  std::string bytes;         // types 10 and 12 (GBK text), 11 (raw bytes)
};

struct ParsedArgument {
  std::optional<ArgumentValue> value;
  std::string error;  // why the text does not fit the field, when value is empty
};

// text is UTF-8 as typed; width is the text field's width (type 10 only).
ParsedArgument ParseFieldValue(int type, int width, std::string_view text);

}  // namespace tarnwick::edbtool
