// The benchmarks' common workload: a hundred years of daily memos, each a
// date and a 300-byte GBK memo, every 100th holding the keyword 灯塔.
// TARNWICK_BENCH_RECORDS overrides the record count for a quick run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text.h"

namespace tarnwick::bench {

inline constexpr double kFirstDate = 36526;  // 2000-01-01
inline constexpr std::size_t kMemoBytes = 300;

inline int RecordTotal() {
  const char* text = std::getenv("TARNWICK_BENCH_RECORDS");
  const int records = text ? std::atoi(text) : 0;
  return records > 0 ? records : 36500;
}

inline const std::string& Keyword() {
  static const std::string keyword = Gbk("灯塔");
  return keyword;
}

// 150 double-byte characters of the first GBK level, varied by record; every
// 100th memo holds the keyword.
inline std::string MemoText(int index) {
  std::string text;
  text.reserve(kMemoBytes);
  std::uint32_t state = 2166136261u ^ static_cast<std::uint32_t>(index);
  while (text.size() < kMemoBytes) {
    state = state * 1664525u + 1013904223u;
    text += static_cast<char>(0xB0 + (state >> 8) % 39);
    text += static_cast<char>(0xA1 + (state >> 16) % 94);
  }
  if (index % 100 == 37) text.replace(120, Keyword().size(), Keyword());
  return text;
}

}  // namespace tarnwick::bench
