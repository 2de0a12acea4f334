// JSON pieces for dump's one-object-per-line output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::edbtool {

// A JSON string literal, quotes included, for UTF-8 text. Control characters,
// the quote and the backslash are escaped; everything else passes as it is.
std::string JsonString(std::string_view utf8);

// The shortest decimal text that reads back as the same value ("40666",
// "0.5", "1e+20"). NaN and infinities, which JSON cannot hold, become null.
std::string JsonNumber(double value);
std::string JsonNumber(float value);

// "0x" followed by two lower-case hex digits per byte.
std::string HexBytes(std::string_view bytes);

}  // namespace tarnwick::edbtool
