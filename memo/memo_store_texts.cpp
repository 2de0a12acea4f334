#include "memo/memo_store_texts.h"

#include <algorithm>

#include "base/text.h"

namespace tarnwick {

PairSignature PairSignature::Of(std::string_view text) {
  PairSignature signature;
  if (text.empty()) return signature;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  uint32_t previous = kEveryByteLetterFold[bytes[0]];
  for (std::size_t i = 1; i < text.size(); ++i) {
    const uint32_t current = kEveryByteLetterFold[bytes[i]];
    // The pair's 16 bits spread by a multiplication; the top 9 name the bit.
    const uint32_t bit = ((previous << 8 | current) * 0x9E3779B1u) >> 23;
    signature.bits_[bit >> 6] |= uint64_t{1} << (bit & 63);
    previous = current;
  }
  return signature;
}

std::string_view MemoTexts::Text(int record) const {
  const Chunk& chunk = chunks_[static_cast<std::size_t>(record / kRecordsPerChunk)];
  const std::size_t inside = static_cast<std::size_t>(record - chunk.first_record);
  const uint32_t begin = inside == 0 ? 0 : chunk.ends[inside - 1];
  return std::string_view(chunk.bytes).substr(begin, chunk.ends[inside] - begin);
}

bool MemoTexts::Readable(int record) const {
  return !std::binary_search(unreadable_.begin(), unreadable_.end(), record);
}

void MemoTexts::Add(DateTime date, std::string_view text, bool readable) {
  const int record = records();
  if (record % kRecordsPerChunk == 0) {
    // A full chunk grows no more but by a rewrite: it keeps only what it holds.
    if (!chunks_.empty()) chunks_.back().bytes.shrink_to_fit();
    chunks_.push_back(Chunk{record, {}, {}});
    chunks_.back().ends.reserve(kRecordsPerChunk);
  }
  Chunk& chunk = chunks_.back();
  chunk.bytes.append(text);
  chunk.ends.push_back(static_cast<uint32_t>(chunk.bytes.size()));
  dates_.push_back(date);
  signatures_.push_back(PairSignature::Of(text));
  if (!readable) unreadable_.push_back(record);
}

void MemoTexts::Replace(int record, std::string_view text) {
  Chunk& chunk = chunks_[static_cast<std::size_t>(record / kRecordsPerChunk)];
  const std::size_t inside = static_cast<std::size_t>(record - chunk.first_record);
  const uint32_t begin = inside == 0 ? 0 : chunk.ends[inside - 1];
  const uint32_t old_length = chunk.ends[inside] - begin;
  chunk.bytes.replace(begin, old_length, text);
  const int64_t change = static_cast<int64_t>(text.size()) - old_length;
  for (std::size_t i = inside; i < chunk.ends.size(); ++i) chunk.ends[i] = static_cast<uint32_t>(chunk.ends[i] + change);
  signatures_[static_cast<std::size_t>(record)] = PairSignature::Of(text);
  const auto unreadable = std::lower_bound(unreadable_.begin(), unreadable_.end(), record);
  if (unreadable != unreadable_.end() && *unreadable == record) unreadable_.erase(unreadable);
}

void MemoTexts::Reserve(int records) {
  dates_.reserve(static_cast<std::size_t>(records));
  signatures_.reserve(static_cast<std::size_t>(records));
  chunks_.reserve(static_cast<std::size_t>(records / kRecordsPerChunk + 1));
}

void MemoTexts::Clear() {
  std::vector<Chunk>().swap(chunks_);
  std::vector<DateTime>().swap(dates_);
  std::vector<PairSignature>().swap(signatures_);
  std::vector<int>().swap(unreadable_);
}

std::size_t MemoTexts::MemoryInUse() const {
  std::size_t bytes = dates_.capacity() * sizeof(DateTime) + chunks_.capacity() * sizeof(Chunk) +
                      signatures_.capacity() * sizeof(PairSignature) + unreadable_.capacity() * sizeof(int);
  for (const Chunk& chunk : chunks_) bytes += chunk.bytes.capacity() + chunk.ends.capacity() * sizeof(uint32_t);
  return bytes;
}

}  // namespace tarnwick
