// The text and positions of an editor, as every backend maps them.
//
// The program reads an editor's text with "\r\n" line breaks and counts
// positions and lengths in GBK bytes (a double-byte character two, a line
// break two). A native editor keeps UTF-16 text with one unit per line break
// ("\n" in a Qt document, "\r" in the Windows rich edit control) and counts
// positions in those units. These functions map one onto the other, and say
// what a maximum length does to an edit, so the backends cannot differ.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Every "\r\n", lone "\r" and lone "\n" as "\r\n": line breaks as an editor
// reports them, whatever the program put in.
std::string NormalizeLineBreaks(std::string_view gbk);

// The start of the character holding byte position (a line break "\r\n" is
// one character), so a position never splits a character; positions past the
// end answer the length.
int SnapToCharacter(std::string_view gbk, int position);

// GBK text as a native editor holds it: UTF-16 with each line break ("\r\n",
// lone "\r" or lone "\n") the single unit line_break.
std::u16string ToEditorText(std::string_view gbk, char16_t line_break);
// A native editor's text as the program reads it: each line break ("\r",
// "\n", "\r\n", or the paragraph separator U+2029) as "\r\n", in GBK.
std::string FromEditorText(std::u16string_view text);

// The GBK byte position of editor position `position` (UTF-16 units, clamped
// to the text); a position inside a surrogate pair counts from the pair's start.
int EditorToGbkPosition(std::u16string_view text, int position);
// The editor position of GBK byte position `gbk_position`; a position inside
// a character (or a line break) moves to the character's start.
int GbkToEditorPosition(std::u16string_view text, int gbk_position);

// A maximum length in bytes (0: none) limits what the user puts in, typed,
// pasted or committed by an input method; it never cuts a text the program
// sets, nor the text already there when the maximum is set (Windows edit
// controls keep both whole). Over the maximum the user can still delete, and
// can insert again once the text is below it.
//
// The window-system layer applies the rule once for every backend, counting
// GBK bytes: the native control takes the user's edit, and LimitEdit cuts it.
//
// An insertion is cut to what still fits:
// the longest head of `insertion` made of whole characters that keeps the text
// within max_length once the selection is replaced. `kept_length` is the text's
// length without the selection. The rest of the insertion is dropped, as a
// Windows edit control drops what it cannot take.
std::string_view FittingInsertion(std::string_view insertion, int kept_length, int max_length);

// The same rule for a backend that only sees the text before and after a
// user's edit: the changed span is found (common head and tail, in whole
// characters), its new content cut by FittingInsertion. `caret` is the byte
// position after the kept insertion.
struct LimitedEdit {
  std::string text;
  int caret = 0;
};
LimitedEdit LimitEdit(std::string_view before, std::string_view after, int max_length);

}  // namespace tarnwick
