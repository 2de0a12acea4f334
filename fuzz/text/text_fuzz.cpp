// Feeds arbitrary bytes through the text conversions, the editor mappings and
// the date reader. Beyond not crashing, checks the promises the rest of the
// program leans on: decoding is stable under re-encoding, UTF-8 and UTF-16
// agree, well-formed Unicode survives a trip through GBK/GB18030 unchanged,
// editor positions stay inside their texts, and length limits hold.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/editor_text.h"
#include "base/text.h"
#include "fuzz/shared/check.h"

namespace {

bool WellFormedUtf16(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

void CheckEditorMappings(std::string_view gbk, std::uint8_t knob) {
  const std::string normalized = tarnwick::NormalizeLineBreaks(gbk);
  FUZZ_CHECK(tarnwick::NormalizeLineBreaks(normalized) == normalized);
  const int length = static_cast<int>(gbk.size());
  for (int position : {-1, 0, knob % (length + 1), length / 2, length, length + 3}) {
    const int snapped = tarnwick::SnapToCharacter(gbk, position);
    FUZZ_CHECK(snapped >= 0 && snapped <= length);
    if (position >= 0 && position <= length) FUZZ_CHECK(snapped <= position);
  }

  const std::u16string editor = tarnwick::ToEditorText(gbk, (knob & 1) ? u'\r' : u'\n');
  const int units = static_cast<int>(editor.size());
  const std::string read_back = tarnwick::FromEditorText(editor);
  for (int position : {-2, 0, knob % (units + 1), units, units + 5}) {
    const int byte_position = tarnwick::EditorToGbkPosition(editor, position);
    FUZZ_CHECK(byte_position >= 0 && byte_position <= static_cast<int>(read_back.size()));
    const int back = tarnwick::GbkToEditorPosition(editor, byte_position);
    FUZZ_CHECK(back >= 0 && back <= units);
  }
}

void CheckLengthLimits(std::string_view before, std::string_view after, int max_length) {
  const tarnwick::LimitedEdit edit = tarnwick::LimitEdit(before, after, max_length);
  FUZZ_CHECK(edit.caret >= 0 && edit.caret <= static_cast<int>(edit.text.size()));
  if (max_length == 0) {
    FUZZ_CHECK(edit.text == after);
    return;
  }
  // The edit may keep what was already there, but never adds beyond the limit.
  FUZZ_CHECK(edit.text.size() <= std::max<std::size_t>(max_length, before.size()));
  const int kept = static_cast<int>(before.size() / 2);
  const std::string_view fitting = tarnwick::FittingInsertion(after, kept, max_length);
  FUZZ_CHECK(after.substr(0, fitting.size()) == fitting);
  if (kept >= max_length) FUZZ_CHECK(fitting.empty());
  else FUZZ_CHECK(kept + static_cast<int>(fitting.size()) <= max_length || fitting.size() == after.size());
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
  FUZZ_CHECK(Utf8ToGbk(utf8) == encoded);
  FUZZ_CHECK(GbkToUtf16(encoded) == utf16);
  FUZZ_CHECK(GbkToUtf8(encoded) == utf8);

  std::size_t characters = 0;
  for (std::size_t pos = 0; pos < bytes.size(); pos += GbkCharLength(bytes, pos)) ++characters;
  FUZZ_CHECK(characters <= utf16.size());

  // As UTF-8 and as UTF-16 input.
  const std::string from_utf8 = Utf8ToGbk(bytes);
  FUZZ_CHECK(Utf8ToGbk(GbkToUtf8(from_utf8)) == from_utf8);
  const std::u16string units(reinterpret_cast<const char16_t*>(data), size / 2);
  const std::string from_utf16 = Utf16ToGbk(units);
  FUZZ_CHECK(Utf16ToGbk(GbkToUtf16(from_utf16)) == from_utf16);
  // Nothing typed is lost: every well-formed text, whatever GBK lacks, comes
  // back unit for unit (through the GB18030 four-byte codes).
  if (WellFormedUtf16(units)) FUZZ_CHECK(GbkToUtf16(from_utf16) == units);

  FUZZ_CHECK(GbkEqualsIgnoringCase(bytes, GbkToUpperAscii(bytes)));

  const std::uint8_t knob = size > 0 ? data[0] : 0;
  CheckEditorMappings(bytes, knob);
  // The editor trip keeps valid GBK text except for its line breaks (a
  // paragraph separator is one too).
  if (utf16.find(u'\u2029') == std::u16string::npos) FUZZ_CHECK(FromEditorText(ToEditorText(encoded, u'\r')) == NormalizeLineBreaks(encoded));
  const std::size_t split = size == 0 ? 0 : knob % (size + 1);
  CheckLengthLimits(bytes.substr(0, split), bytes.substr(split), (knob & 3) == 0 ? 0 : knob / 4);

  // A date-time as a record stores it (any eight bytes, NaN and infinities
  // included) shows as a real date and time of day.
  if (size >= sizeof(double)) {
    double stored;
    std::memcpy(&stored, data, sizeof stored);
    const CivilDateTime shown = DecodeDateTime(ClampDateTime(stored));
    FUZZ_CHECK(IsValidDate(shown.year, shown.month, shown.day));
    FUZZ_CHECK(shown.hour >= 0 && shown.hour < 24 && shown.minute >= 0 && shown.minute < 60 && shown.second >= 0 &&
          shown.second < 60);
    FUZZ_CHECK(!DateText(stored).empty());
    FUZZ_CHECK(DayOfWeek(stored) >= 0 && DayOfWeek(stored) < 7);
  }

  // Whatever TextToDate accepts is a real date that writes back to a text
  // it reads as the same value.
  const DateTime value = TextToDate(bytes);
  if (value != kEmptyDate) {
    const CivilDateTime civil = DecodeDateTime(value);
    FUZZ_CHECK(IsValidDate(civil.year, civil.month, civil.day));
    FUZZ_CHECK(TextToDate(DateText(value)) == value);
  }
  return 0;
}
