// Validates a database's two files byte by byte, without the engine's open
// (which would repair what it finds) and without trusting any number in them.
//
// Promises: never reads outside the files, never allocates more than the
// files' sizes justify, and ends on any input: memo chains and the free list
// are followed with a visited map, so loops and cross-links are findings,
// not hangs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/secret.h"

namespace tarnwick::edbtool {

// The plain bytes of one database file (deciphered, when it is protected).
class FileBytes {
 public:
  virtual ~FileBytes() = default;
  virtual std::uint64_t Size() = 0;
  // Up to count bytes at offset into out; fewer only at the end of the file.
  // False on a read error.
  virtual bool Read(std::uint64_t offset, std::size_t count, std::string& out) = 0;
};

struct CheckOptions {
  // The check text the header's check block must hold (32 hex characters,
  // compared without regard to case); empty for a file without password.
  std::string expected_check_text;  // a secret: wiped with the options
  CheckOptions() = default;
  CheckOptions(const CheckOptions&) = default;
  CheckOptions& operator=(const CheckOptions&) = default;
  ~CheckOptions() { WipeText(expected_check_text); }
  // Findings beyond this many are counted but not kept.
  std::size_t max_findings = 1000;
};

struct CheckReport {
  std::vector<std::string> findings;  // UTF-8, one line each
  std::size_t finding_count = 0;      // may exceed findings.size()
  std::int64_t records = 0;           // records examined
  std::int64_t memo_blocks = 0;       // blocks in the memo file, block 0 included
  std::int64_t used_blocks = 0;
  std::int64_t free_blocks = 0;
  // Space an interrupted write can leave behind, each also a finding: blocks
  // in no chain and not on the free list, and whole blocks past the
  // header's block count.
  std::int64_t lost_blocks = 0;
  std::int64_t blocks_beyond_count = 0;
  bool sound() const { return finding_count == 0; }
};

// memo is null when the memo file does not exist.
CheckReport CheckDatabase(FileBytes& main, FileBytes* memo, const CheckOptions& options);

}  // namespace tarnwick::edbtool
