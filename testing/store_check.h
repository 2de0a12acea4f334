// The structure check of the database tools over a memo book's store as it
// lies, for tests that cut the program short: findings split into damage and
// lost space (memo blocks an interrupted write left out of every chain, which
// the next writes reuse or the tools can reclaim).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/edbtool/structure_check.h"

namespace tarnwick::testing {

struct StoreCheck {
  edbtool::CheckReport report;
  std::vector<std::string> damage;  // findings other than lost space
  int64_t lost_blocks = 0;
};

// Checks the store in folder (GBK) with its password (none: plain). A recovery
// record or a copy of a password change still lying there is damage too: an
// open settles them.
StoreCheck CheckStore(const std::string& folder, const std::optional<std::string>& password);

}  // namespace tarnwick::testing
