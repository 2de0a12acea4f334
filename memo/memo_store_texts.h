// Every memo of the store held in memory, for the walks that read them all
// again and again (keyword search and its recount): the texts lie end to
// end in chunks of records, so that a search is one pass over bytes rather
// than a read through the engine per record, and a rewritten memo moves
// only its own chunk. The store fills it when first asked and keeps it up to
// date with its own writes; nothing else changes it. Beside each text lies
// its signature of byte pairs, so that a search need read only the texts
// that may hold its keyword.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"

namespace tarnwick {

// The pairs of neighbouring bytes a text holds, the letters A-Z read as
// a-z, each pair setting one of 512 bits. A text that holds a keyword of
// two bytes or more holds each of its pairs, so its signature covers the
// keyword's; most texts that do not hold it miss one of its bits.
class PairSignature {
 public:
  static PairSignature Of(std::string_view text);
  bool Covers(const PairSignature& wanted) const {
    uint64_t missing = 0;
    for (std::size_t i = 0; i < bits_.size(); ++i) missing |= wanted.bits_[i] & ~bits_[i];
    return missing == 0;
  }

 private:
  std::array<uint64_t, 8> bits_{};
};

class MemoTexts {
 public:
  static constexpr int kRecordsPerChunk = 256;

  // The memos of records first_record.. on, their texts end to end.
  struct Chunk {
    int first_record = 0;
    std::string bytes;
    std::vector<uint32_t> ends;  // where each record's text ends in bytes
  };

  int records() const { return static_cast<int>(dates_.size()); }
  const std::vector<Chunk>& chunks() const { return chunks_; }
  DateTime Date(int record) const { return dates_[static_cast<std::size_t>(record)]; }
  std::string_view Text(int record) const;
  const PairSignature& Signature(int record) const { return signatures_[static_cast<std::size_t>(record)]; }
  // A record that could not be read is held with an empty text and the date 0.
  bool Readable(int record) const;
  bool whole() const { return unreadable_.empty(); }

  // Room for this many records in all.
  void Reserve(int records);
  // The next record.
  void Add(DateTime date, std::string_view text, bool readable = true);
  void Replace(int record, std::string_view text);
  // Lets go of every record and of the memory they took.
  void Clear();
  // Bytes taken: texts, their places and dates.
  std::size_t MemoryInUse() const;

 private:
  std::vector<Chunk> chunks_;
  std::vector<DateTime> dates_;
  std::vector<PairSignature> signatures_;
  std::vector<int> unreadable_;  // ascending
};

}  // namespace tarnwick
