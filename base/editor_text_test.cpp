#include "base/editor_text.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tarnwick {
namespace {

TEST(EditorText, LineBreaksBecomeOneUnitAndReadBackAsCrLf) {
  std::string gbk = Gbk("第一行\r\n二\rthree\nfour");
  EXPECT_EQ(ToEditorText(gbk, u'\r'), u"第一行\r二\rthree\rfour");
  EXPECT_EQ(ToEditorText(gbk, u'\n'), u"第一行\n二\nthree\nfour");
  EXPECT_EQ(FromEditorText(u"第一行\r二\nthree\u2029four\r\nfive"), Gbk("第一行\r\n二\r\nthree\r\nfour\r\nfive"));
  EXPECT_EQ(NormalizeLineBreaks("a\rb\nc\r\n\n"), "a\r\nb\r\nc\r\n\r\n");
}

TEST(EditorText, PositionsMapBetweenUnitsAndGbkBytes) {
  // 你 (2 bytes), a, break (2 bytes), 😀 (two units, four bytes), b
  std::u16string text = u"你a\r\U0001F600b";
  const int units[] = {0, 1, 2, 3, 5, 6};
  const int bytes[] = {0, 2, 3, 5, 9, 10};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(EditorToGbkPosition(text, units[i]), bytes[i]) << units[i];
    EXPECT_EQ(GbkToEditorPosition(text, bytes[i]), units[i]) << bytes[i];
  }
  // Inside a character: to its start, in both directions.
  EXPECT_EQ(GbkToEditorPosition(text, 1), 0);
  EXPECT_EQ(GbkToEditorPosition(text, 4), 2);
  EXPECT_EQ(GbkToEditorPosition(text, 7), 3);
  EXPECT_EQ(EditorToGbkPosition(text, 4), 5);
  // Out of range: clamped.
  EXPECT_EQ(EditorToGbkPosition(text, 99), 10);
  EXPECT_EQ(GbkToEditorPosition(text, 99), 6);
  EXPECT_EQ(EditorToGbkPosition(text, -3), 0);
  // A "\r\n" pair in the editor's text is one break of two bytes.
  EXPECT_EQ(EditorToGbkPosition(u"a\r\nb", 3), 3);
  EXPECT_EQ(GbkToEditorPosition(u"a\r\nb", 3), 3);
}

TEST(EditorText, SnapNeverSplitsACharacterOrABreak) {
  std::string gbk = Gbk("a你\r\nb");
  EXPECT_EQ(SnapToCharacter(gbk, 2), 1);
  EXPECT_EQ(SnapToCharacter(gbk, 4), 3);
  EXPECT_EQ(SnapToCharacter(gbk, 5), 5);
  EXPECT_EQ(SnapToCharacter(gbk, 40), 6);
}

TEST(EditorText, MaximumLengthKeepsTheWholeCharactersThatFit) {
  std::string chinese = Gbk("你好");
  EXPECT_EQ(FittingInsertion(chinese, 0, 0), chinese);  // no maximum
  EXPECT_EQ(FittingInsertion(chinese, 1, 5), chinese);
  EXPECT_EQ(FittingInsertion(chinese, 2, 5), Gbk("你"));  // three bytes of room: one character
  EXPECT_EQ(FittingInsertion(chinese, 4, 5), "");           // one byte: not half a character
  EXPECT_EQ(FittingInsertion("ab", 7, 5), "");              // already over: nothing goes in
  EXPECT_EQ(FittingInsertion("x\r\ny", 2, 4), "x");         // nor half a line break
}

TEST(EditorText, LimitedEditCutsOnlyWhatTheUserInserted) {
  // Pasting "12345" between "ab" and "cd" with a maximum of 6.
  LimitedEdit edit = LimitEdit("abcd", "ab12345cd", 6);
  EXPECT_EQ(edit.text, "ab12cd");
  EXPECT_EQ(edit.caret, 4);
  // Replacing a selection: "bc" of "abcd" by "你好吗".
  edit = LimitEdit("abcd", Gbk("a你好吗d"), 6);
  EXPECT_EQ(edit.text, Gbk("a你好d"));
  EXPECT_EQ(edit.caret, 5);
  // Characters that share a lead byte are compared whole, never by halves.
  ASSERT_EQ(Gbk("呢")[0], Gbk("你")[0]);
  edit = LimitEdit(Gbk("你"), Gbk("呢你"), 3);
  EXPECT_EQ(edit.text, Gbk("你"));
  EXPECT_EQ(edit.caret, 0);
  // A deletion from a text the program set over the limit stays as the user made it.
  edit = LimitEdit("abcdefgh", "abcdfgh", 4);
  EXPECT_EQ(edit.text, "abcdfgh");
}

}  // namespace
}  // namespace tarnwick
