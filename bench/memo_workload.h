// The benchmarks' common workload: daily memos from 2000-01-01, each a date
// and a GBK memo, every 100th holding the keyword 灯塔. The usual store is a
// hundred years of 300-byte memos; the cost curves also run over a tenth and
// ten times that, and over a century of 2,000-byte memos among which some
// pasted texts of 20 to 60 KB lie.
// TARNWICK_BENCH_RECORDS overrides the usual record count for a quick run.
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

// A store the benchmarks run over: how many memos, and how long an ordinary one is.
struct StoreShape {
  const char* name;
  int records;
  std::size_t memo_bytes;
  // Every this many memos one is a pasted text of 20 to 60 KB (0: none).
  int pasted_every = 0;
};

inline constexpr StoreShape kStoreShapes[] = {
    {"3650x300B", 3650, 300},
    {"36500x300B", 36500, 300},
    {"365000x300B", 365000, 300},
    {"36500x2000B", 36500, 2000, 730},
};

// `bytes` double-byte characters' worth of the first GBK level, varied by
// record; every 100th memo holds the keyword.
inline std::string MemoText(int index, std::size_t bytes) {
  std::string text;
  text.reserve(bytes);
  std::uint32_t state = 2166136261u ^ static_cast<std::uint32_t>(index);
  while (text.size() < bytes) {
    state = state * 1664525u + 1013904223u;
    text += static_cast<char>(0xB0 + (state >> 8) % 39);
    text += static_cast<char>(0xA1 + (state >> 16) % 94);
  }
  if (index % 100 == 37) text.replace(120, Keyword().size(), Keyword());
  return text;
}

inline std::string MemoText(int index) { return MemoText(index, kMemoBytes); }

// The memo of record `index` in a store of `shape`.
inline std::string MemoText(const StoreShape& shape, int index) {
  if (shape.pasted_every > 0 && index % shape.pasted_every == shape.pasted_every / 2) {
    return MemoText(index, 20000 + static_cast<std::size_t>(index) * 7919 % 40001);
  }
  return MemoText(index, shape.memo_bytes);
}

}  // namespace tarnwick::bench
