// The keyword search over many memos at once: texts laid end to end are
// scanned in one pass for the keyword's first and last bytes, 32 bytes a
// step where the processor has the instructions for it, and only the places
// where both sit are compared in full. It finds exactly the texts KeywordMatches finds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class KeywordScan {
 public:
  // keyword: GBK.
  explicit KeywordScan(std::string_view keyword);

  // Calls found(i), in ascending order, for every text i in [first, last) of
  // bytes that holds the keyword as KeywordMatches tells it; text i is
  // bytes[ends[i - 1], ends[i]) (from 0 for the first).
  void Scan(std::string_view bytes, const std::vector<uint32_t>& ends, std::size_t first, std::size_t last,
            const std::function<void(std::size_t)>& found) const;

 private:
  template <typename Candidate>
  std::size_t ScanAvx2(const unsigned char* bytes, std::size_t from, std::size_t last_start, std::size_t length,
                       const std::size_t& next, Candidate& candidate) const;
  // Whether the keyword lies at `at` in text [begin, end), at a character start.
  bool MatchesAt(const unsigned char* bytes, std::size_t begin, std::size_t end, std::size_t at) const;

  std::string keyword_;
  unsigned char first_;       // folded
  unsigned char last_;        // folded
  unsigned char first_fold_;  // 0x20 when the first byte is a letter: ORed in before comparing
  unsigned char last_fold_;
};

}  // namespace tarnwick
