// The maximum length of an edit in GBK bytes, kept alike on every backend.
// What the user puts in (typed, pasted, committed by an input method) is cut
// to the whole characters that fit; a text the program sets, and the text
// there when the maximum is set, are kept whole (base/editor_text.h states
// the rule).
//
// The backend lets its native control take the user's edit, reports the
// text the edit left, and puts back what this answers; it sets no native
// limit of its own, since native controls count UTF-16 units, not bytes.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/editor_text.h"

namespace tarnwick {

class LengthLimit {
 public:
  // bytes 0: no limit. text: the control's text now.
  void SetMaximum(int bytes, std::string_view text);
  int maximum() const { return maximum_; }
  // Without a limit nothing is kept, and edits stand as the user made them.
  bool active() const { return maximum_ > 0; }

  // The program set the text.
  void TextSet(std::string_view text);

  // The user's edit left the control holding `now`. When that is over the
  // maximum, the edit is cut and put_back is handed the text to show and
  // the caret (byte position) to place. Answers whether the text differs
  // from before the edit, that is whether a change is to be reported.
  bool UserEdited(std::string_view now, const std::function<void(const LimitedEdit&)>& put_back);

 private:
  int maximum_ = 0;
  std::string last_;  // the text before the next edit, kept while active
};

}  // namespace tarnwick
