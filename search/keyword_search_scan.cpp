#include "search/keyword_search_scan.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace tarnwick {
namespace {

unsigned char Fold(unsigned char b) { return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + ('a' - 'A')) : b; }
bool IsLetter(unsigned char b) { return Fold(b) >= 'a' && Fold(b) <= 'z'; }

}  // namespace

KeywordScan::KeywordScan(std::string_view keyword) : keyword_(keyword) {
  if (keyword_.empty()) return;
  const auto first = static_cast<unsigned char>(keyword_.front());
  const auto last = static_cast<unsigned char>(keyword_.back());
  // A byte ORed with 0x20 equals a lower-case letter exactly when it is
  // that letter in either case.
  first_ = Fold(first);
  last_ = Fold(last);
  first_fold_ = IsLetter(first) ? 0x20 : 0;
  last_fold_ = IsLetter(last) ? 0x20 : 0;
}

// A byte below 0x80 always ends a character (alone, or as the trail of a
// double-byte one), and from there on the bytes of 0x80 and above pair up:
// `at` starts a character when an even number of them lie between it and
// the last byte below 0x80 before it, or the text's start.
bool KeywordScan::MatchesAt(const unsigned char* bytes, std::size_t begin, std::size_t end, std::size_t at) const {
  const std::size_t length = keyword_.size();
  if (at < begin || at + length > end) return false;
  for (std::size_t j = 0; j < length; ++j) {
    if (Fold(bytes[at + j]) != Fold(static_cast<unsigned char>(keyword_[j]))) return false;
  }
  std::size_t run = at;
  while (run > begin && bytes[run - 1] >= 0x80) --run;
  return (at - run) % 2 == 0;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The scan's steps of 32 bytes: every place in a step where the keyword's
// first and last bytes both sit (folded) is a candidate. Answers where the
// steps ended; the rest is scanned a byte at a time.
template <typename Candidate>
__attribute__((target("avx2"))) std::size_t KeywordScan::ScanAvx2(const unsigned char* bytes, std::size_t from,
                                                                  std::size_t last_start, std::size_t length,
                                                                  const std::size_t& next,
                                                                  Candidate& candidate) const {
  const __m256i first = _mm256_set1_epi8(static_cast<char>(first_));
  const __m256i last = _mm256_set1_epi8(static_cast<char>(last_));
  const __m256i first_fold = _mm256_set1_epi8(static_cast<char>(first_fold_));
  const __m256i last_fold = _mm256_set1_epi8(static_cast<char>(last_fold_));
  std::size_t at = from;
  for (; at + 32 <= last_start + 1; at += 32) {
    if (at + 32 <= next) continue;
    const __m256i head =
        _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + at)), first_fold);
    const __m256i tail =
        _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + at + length - 1)), last_fold);
    auto mask = static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(head, first), _mm256_cmpeq_epi8(tail, last))));
    for (; mask != 0; mask &= mask - 1) candidate(at + static_cast<std::size_t>(__builtin_ctz(mask)));
  }
  return at;
}
#endif

void KeywordScan::Scan(std::string_view text, const std::vector<uint32_t>& ends, std::size_t first,
                       std::size_t last, const std::function<void(std::size_t)>& found) const {
  auto begin_of = [&ends](std::size_t i) -> std::size_t { return i == 0 ? 0 : ends[i - 1]; };
  if (first >= last) return;
  if (keyword_.empty()) {
    for (std::size_t i = first; i < last; ++i) {
      if (ends[i] > begin_of(i)) found(i);
    }
    return;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t start = begin_of(first);
  const std::size_t size = ends[last - 1];
  const std::size_t length = keyword_.size();
  if (size < start + length) return;
  std::size_t record = first;  // the text the scan is in
  std::size_t next = start;    // where the scan goes on
  // A candidate at `at`: its text is looked up, and after a match the scan
  // goes on with the next text.
  auto candidate = [&](std::size_t at) {
    if (at < next) return;
    while (record < last && ends[record] <= at) ++record;
    if (record == last) return;
    if (MatchesAt(bytes, begin_of(record), ends[record], at)) {
      found(record);
      next = ends[record];
    }
  };
  const std::size_t last_start = size - length;  // the last place the keyword fits
  std::size_t at = start;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (__builtin_cpu_supports("avx2")) at = ScanAvx2(bytes, start, last_start, length, next, candidate);
#endif
  for (; at <= last_start; ++at) {
    if ((bytes[at] | first_fold_) == first_ && (bytes[at + length - 1] | last_fold_) == last_) candidate(at);
  }
}

}  // namespace tarnwick
