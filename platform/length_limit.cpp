#include "platform/length_limit.h"

#include <algorithm>

namespace tarnwick {

void LengthLimit::SetMaximum(int bytes, std::string_view text) {
  maximum_ = std::max(0, bytes);
  TextSet(text);
}

void LengthLimit::TextSet(std::string_view text) {
  if (active()) {
    last_ = text;
  } else {
    last_.clear();
  }
}

bool LengthLimit::UserEdited(std::string_view now, const std::function<void(const LimitedEdit&)>& put_back) {
  if (!active()) return true;
  std::string kept(now);
  if (static_cast<int>(now.size()) > maximum_) {
    LimitedEdit limited = LimitEdit(last_, now, maximum_);
    put_back(limited);
    kept = std::move(limited.text);
  }
  if (kept == last_) return false;
  last_ = std::move(kept);
  return true;
}

}  // namespace tarnwick
