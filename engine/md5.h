// The MD5 message digest (RFC 1321), used only to derive the password's
// check text; not for security.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

std::array<uint8_t, 16> Md5(std::string_view bytes);

// The check text of a password: the 16 digest bytes in reverse order (the last
// first), each as two lower-case hexadecimal digits, high digit first.
std::string CheckText(std::string_view password);

}  // namespace tarnwick
