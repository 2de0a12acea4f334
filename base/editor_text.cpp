#include "base/editor_text.h"

#include <algorithm>
#include <vector>

#include "base/text.h"

namespace tarnwick {
namespace {

bool IsBreakUnit(char16_t unit) { return unit == u'\r' || unit == u'\n' || unit == u'\u2029'; }

// Byte length of the character at pos, "\r\n" counting as one character.
int CharacterLength(std::string_view gbk, std::size_t pos) {
  if (gbk[pos] == '\r' && pos + 1 < gbk.size() && gbk[pos + 1] == '\n') return 2;
  return static_cast<int>(GbkCharLength(gbk, pos));
}

// The start of every character, then the length.
std::vector<int> CharacterBounds(std::string_view gbk) {
  std::vector<int> bounds;
  for (std::size_t at = 0; at < gbk.size(); at += CharacterLength(gbk, at)) bounds.push_back(static_cast<int>(at));
  bounds.push_back(static_cast<int>(gbk.size()));
  return bounds;
}

// UTF-16 units of the editor character at index, and its GBK bytes.
struct EditorCharacter {
  int units = 1;
  int bytes = 0;
};

EditorCharacter EditorCharacterAt(std::u16string_view text, std::size_t index) {
  char16_t unit = text[index];
  if (unit == u'\r' && index + 1 < text.size() && text[index + 1] == u'\n') return {2, 2};
  if (IsBreakUnit(unit)) return {1, 2};
  bool pair = unit >= 0xD800 && unit <= 0xDBFF && index + 1 < text.size() && text[index + 1] >= 0xDC00 &&
              text[index + 1] <= 0xDFFF;
  if (unit < 0x80) return {1, 1};
  int units = pair ? 2 : 1;
  return {units, static_cast<int>(Utf16ToGbk(text.substr(index, units)).size())};
}

}  // namespace

std::string NormalizeLineBreaks(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size());
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    if (gbk[i] == '\r') {
      out += "\r\n";
      if (i + 1 < gbk.size() && gbk[i + 1] == '\n') ++i;
    } else if (gbk[i] == '\n') {
      out += "\r\n";
    } else {
      out.push_back(gbk[i]);
    }
  }
  return out;
}

int SnapToCharacter(std::string_view gbk, int position) {
  int at = 0;
  while (at < static_cast<int>(gbk.size())) {
    int length = CharacterLength(gbk, at);
    if (at + length > position) return at;
    at += length;
  }
  return static_cast<int>(gbk.size());
}

std::u16string ToEditorText(std::string_view gbk, char16_t line_break) {
  std::u16string wide = GbkToUtf16(NormalizeLineBreaks(gbk));
  std::u16string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == u'\r' && i + 1 < wide.size() && wide[i + 1] == u'\n') {
      out.push_back(line_break);
      ++i;
    } else {
      out.push_back(wide[i]);
    }
  }
  return out;
}

std::string FromEditorText(std::u16string_view text) {
  std::u16string wide;
  wide.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsBreakUnit(text[i])) {
      wide.push_back(text[i]);
      continue;
    }
    wide += u"\r\n";
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
  }
  return Utf16ToGbk(wide);
}

int EditorToGbkPosition(std::u16string_view text, int position) {
  std::size_t end = static_cast<std::size_t>(std::clamp(position, 0, static_cast<int>(text.size())));
  int bytes = 0;
  for (std::size_t i = 0; i < end;) {
    EditorCharacter character = EditorCharacterAt(text, i);
    if (i + character.units > end) break;
    bytes += character.bytes;
    i += character.units;
  }
  return bytes;
}

int GbkToEditorPosition(std::u16string_view text, int gbk_position) {
  int bytes = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    EditorCharacter character = EditorCharacterAt(text, i);
    if (bytes + character.bytes > gbk_position) break;
    bytes += character.bytes;
    i += character.units;
  }
  return static_cast<int>(i);
}

std::string_view FittingInsertion(std::string_view insertion, int kept_length, int max_length) {
  if (max_length <= 0) return insertion;
  int room = max_length - kept_length;
  if (room <= 0) return {};
  if (static_cast<int>(insertion.size()) <= room) return insertion;
  return insertion.substr(0, SnapToCharacter(insertion, room));
}

LimitedEdit LimitEdit(std::string_view before, std::string_view after, int max_length) {
  std::vector<int> old_bounds = CharacterBounds(before);
  std::vector<int> new_bounds = CharacterBounds(after);
  auto character = [](std::string_view text, const std::vector<int>& bounds, std::size_t index) {
    return text.substr(bounds[index], bounds[index + 1] - bounds[index]);
  };
  std::size_t old_count = old_bounds.size() - 1;
  std::size_t new_count = new_bounds.size() - 1;
  std::size_t head = 0;
  while (head < old_count && head < new_count &&
         character(before, old_bounds, head) == character(after, new_bounds, head)) {
    ++head;
  }
  std::size_t tail = 0;
  while (tail < old_count - head && tail < new_count - head &&
         character(before, old_bounds, old_count - 1 - tail) == character(after, new_bounds, new_count - 1 - tail)) {
    ++tail;
  }
  int start = new_bounds[head];
  std::string_view inserted = after.substr(start, new_bounds[new_count - tail] - start);
  std::string_view kept_tail = after.substr(new_bounds[new_count - tail]);
  int kept_length = start + static_cast<int>(kept_tail.size());
  std::string_view fitting = FittingInsertion(inserted, kept_length, max_length);
  LimitedEdit edit;
  edit.text.reserve(kept_length + fitting.size());
  edit.text.append(after.substr(0, start)).append(fitting).append(kept_tail);
  edit.caret = start + static_cast<int>(fitting.size());
  return edit;
}

}  // namespace tarnwick
