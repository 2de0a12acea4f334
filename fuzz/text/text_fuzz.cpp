// Feeds arbitrary bytes through the text conversions and the date reader.
// Beyond not crashing, checks the promises the rest of the program leans on:
// decoding is stable under re-encoding, and UTF-8 and UTF-16 agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnwick;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // As GBK: both decodings re-encode to the same text, which decodes back to
  // exactly what it came from.
  const std::u16string utf16 = GbkToUtf16(bytes);
  const std::string utf8 = GbkToUtf8(bytes);
  const std::string encoded = Utf16ToGbk(utf16);
  Check(Utf8ToGbk(utf8) == encoded);
  Check(GbkToUtf16(encoded) == utf16);
  Check(GbkToUtf8(encoded) == utf8);

  std::size_t characters = 0;
  for (std::size_t pos = 0; pos < bytes.size(); pos += GbkCharLength(bytes, pos)) ++characters;
  Check(characters <= utf16.size());

  // As UTF-8 and as UTF-16 input.
  const std::string from_utf8 = Utf8ToGbk(bytes);
  Check(Utf8ToGbk(GbkToUtf8(from_utf8)) == from_utf8);
  const std::u16string units(reinterpret_cast<const char16_t*>(data), size / 2);
  const std::string from_utf16 = Utf16ToGbk(units);
  Check(Utf16ToGbk(GbkToUtf16(from_utf16)) == from_utf16);

  Check(GbkEqualsIgnoringCase(bytes, GbkToUpperAscii(bytes)));

  // Whatever TextToDate accepts is a real date that writes back to a text
  // it reads as the same value.
  const DateTime value = TextToDate(bytes);
  if (value != kEmptyDate) {
    const CivilDateTime civil = DecodeDateTime(value);
    Check(IsValidDate(civil.year, civil.month, civil.day));
    Check(TextToDate(DateText(value)) == value);
  }
  return 0;
}
