// The texts of a memo file read without its main file (a memo.EDT that came
// without its memo.edb), so that they can be copied back by hand. With no
// records to say where texts begin, every chain of used blocks that no other
// used block leads into is taken for one text: older versions of texts that
// the file no longer uses may be among them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/edbtool/structure_check.h"

namespace tarnwick::edbtool {

struct LoneMemoText {
  std::int32_t first_block = 0;
  std::string text;    // as stored (GBK)
  bool whole = true;   // false: the chain loops or leaves the file, and stops there
};

// The texts in order of their first block; false when the file is not a
// memo file (no memo header) or cannot be read.
bool ReadLoneMemoTexts(FileBytes& memo, std::vector<LoneMemoText>* texts);

}  // namespace tarnwick::edbtool
