// Long values in the memo file: chains of 512-byte blocks of up to 500 data
// bytes, and the doubly linked free list of the blocks they give back.
//
// The file may be damaged in any way, so every block number is checked
// against the file before it is touched, every chain and free-list walk stops
// at a repeated block, and the free list is only believed where its links
// agree with each other.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "engine/database_internal.h"

namespace tarnwick {

namespace {

constexpr int kDamaged = error::kMemoFileAccessFailed;

uint64_t BlockOffset(int32_t block) { return static_cast<uint64_t>(block) * kMemoBlockSize; }
static_assert(CachedFile::kPageSize % kMemoBlockSize == 0, "a memo block lies inside one cache page");

// Blocks seen on one walk; a repeat means the chain loops. Short chains (the
// usual memo fits one block) are kept inline, with no allocation.
class SeenBlocks {
 public:
  bool Insert(int32_t block) {
    if (small_count_ < kInline) {
      if (std::find(small_, small_ + small_count_, block) != small_ + small_count_) return false;
      small_[small_count_++] = block;
      return true;
    }
    if (large_.empty()) large_.insert(small_, small_ + small_count_);
    return large_.insert(block).second;
  }
  bool Contains(int32_t block) const {
    if (large_.empty()) return std::find(small_, small_ + small_count_, block) != small_ + small_count_;
    return large_.count(block) != 0;
  }

 private:
  static constexpr size_t kInline = 32;
  int32_t small_[kInline];
  size_t small_count_ = 0;
  std::unordered_set<int32_t> large_;
};

// The memo file's header fields that block allocation changes.
struct MemoHeader {
  int32_t block_count = 0;
  int32_t free_count = 0;
  int32_t first_free = 0;
  friend bool operator==(const MemoHeader&, const MemoHeader&) = default;
};

class ChainWriter {
 public:
  explicit ChainWriter(Database& db) : db_(db), file_(*db.memo) {}

  // A write that fails before anything points at its new blocks is undone:
  // the file is left as it was (see Undo).
  int Write(int32_t old_first, std::string_view value, const PointRecord& point_record, int32_t* new_first);
  // Gives the chain from first back (a chain that nothing points at).
  int Free(int32_t first);

 private:
  int WriteChain(int32_t old_first, std::string_view value, const PointRecord& point_record, int32_t* new_first);
  // Points the record at a chain; from then on the write is not undone.
  int Point(const PointRecord& point_record, int32_t first) {
    pointed_ = true;
    return point_record(first);
  }
  // Blocks taken from the end of the file count in the header only once
  // they are written, so a write cut short (a full disk) never leaves the
  // header promising blocks the file does not hold.
  int CommitGrowth();
  // Puts back the header, the free blocks taken and the file's length as
  // they were before this write; each of these rewrites bytes in place, so
  // a full disk does not stop it.
  void Undo();
  // Writes the chunks of value into blocks, from the last block back to
  // blocks[from]; see Write for why backwards.
  int WriteBlocks(const std::vector<int32_t>& blocks, std::string_view value, size_t from);
  // Rewrites an old chain of two or more blocks that keeps two or more.
  int Replace(const std::vector<int32_t>& old_chain, const SeenBlocks& old_seen, std::string_view value,
              const PointRecord& point_record, int32_t* new_first);
  // Frees blocks (no longer in any chain) and trims the file's tail when the
  // last block is among them.
  int Release(const std::vector<int32_t>& blocks);
  // Flushes file when the engine writes durably: what was written so far
  // reaches the disk before anything that depends on it.
  int Settle(CachedFile& file) { return db_.engine->DurableWrites() ? file.Flush() : 0; }
  int LockHeader();
  int ReadHeader();
  int WriteHeader() { return WriteHeader(header_); }
  int WriteHeader(const MemoHeader& header);
  int ReadBlockHeader(int32_t block, MemoBlockHeader* header);
  int WriteBlockHeader(int32_t block, const MemoBlockHeader& header);
  bool InFile(int32_t block) const { return block > 0 && block < header_.block_count; }
  int TakeBlocks(size_t needed, std::vector<int32_t>* blocks, const SeenBlocks& old_chain);
  int FreeBlocks(const std::vector<int32_t>& surplus);
  int TrimTail();

  Database& db_;
  CachedFile& file_;
  ScopedByteLock header_lock_;
  bool header_read_ = false;
  MemoHeader header_;
  // As read from the file: to undo to, and the block count the file's
  // header holds now.
  MemoHeader original_;
  uint64_t original_length_ = 0;
  int32_t counted_blocks_ = 0;
  // Free blocks taken, with their headers as they were.
  std::vector<std::pair<int32_t, MemoBlockHeader>> taken_free_;
  bool pointed_ = false;
};

int ChainWriter::LockHeader() {
  if (header_lock_.held()) return 0;
  return header_lock_.Acquire(db_, ScopedByteLock::Which::kMemo, 0);
}

int ChainWriter::ReadHeader() {
  if (header_read_) return 0;
  if (int status = LockHeader(); status != 0) return status;
  uint8_t bytes[12];
  size_t got = 0;
  if (int status = file_.Read(kBlockCountOffset, bytes, sizeof bytes, &got); status != 0) return status;
  if (got < sizeof bytes) return kDamaged;
  header_.block_count = GetInt32(bytes);
  header_.free_count = GetInt32(bytes + 4);
  header_.first_free = GetInt32(bytes + 8);
  uint64_t length = 0;
  if (int status = file_.Length(&length); status != 0) return status;
  // Blocks past the end of the file do not exist, whatever the header says.
  if (header_.block_count < 1 || static_cast<uint64_t>(header_.block_count) > length / kMemoBlockSize) {
    return kDamaged;
  }
  header_read_ = true;
  original_ = header_;
  original_length_ = length;
  counted_blocks_ = header_.block_count;
  return 0;
}

int ChainWriter::WriteHeader(const MemoHeader& header) {
  uint8_t bytes[12];
  PutInt32(bytes, header.block_count);
  PutInt32(bytes + 4, header.free_count);
  PutInt32(bytes + 8, header.first_free);
  return file_.Write(kBlockCountOffset, bytes, sizeof bytes);
}

int ChainWriter::CommitGrowth() {
  if (header_.block_count == counted_blocks_) return 0;
  uint8_t bytes[4];
  PutInt32(bytes, header_.block_count);
  if (int status = file_.Write(kBlockCountOffset, bytes, sizeof bytes); status != 0) return status;
  counted_blocks_ = header_.block_count;
  return 0;
}

// Block headers first: a process killed halfway leaves free blocks off the
// list (lost space), never a used block on it.
void ChainWriter::Undo() {
  if (!header_read_) return;
  for (const auto& [block, header] : taken_free_) WriteBlockHeader(block, header);
  if (header_ != original_ || counted_blocks_ != original_.block_count) WriteHeader(original_);
  uint64_t length = 0;
  if (file_.Length(&length) == 0 && length > original_length_) file_.Truncate(original_length_);
  header_ = original_;
  counted_blocks_ = original_.block_count;
}

int ChainWriter::ReadBlockHeader(int32_t block, MemoBlockHeader* header) {
  uint8_t bytes[kBlockHeaderSize];
  size_t got = 0;
  if (int status = file_.Read(BlockOffset(block), bytes, sizeof bytes, &got); status != 0) return status;
  if (got < sizeof bytes) return kDamaged;
  *header = ParseMemoBlockHeader(bytes);
  if (header->length < 0 || header->length > static_cast<int32_t>(kBlockDataSize)) return kDamaged;
  return 0;
}

int ChainWriter::WriteBlockHeader(int32_t block, const MemoBlockHeader& header) {
  uint8_t bytes[kBlockHeaderSize];
  PutMemoBlockHeader(bytes, header);
  return file_.Write(BlockOffset(block), bytes, sizeof bytes);
}

// Blocks for the chunks the old chain cannot hold: the free list first, then
// new blocks at the end. The free list's change is written before any of its
// blocks is used, so a later failure can only leave blocks unused, never on
// the free list and in a chain at once; the new blocks at the end are counted
// once written (CommitGrowth).
int ChainWriter::TakeBlocks(size_t needed, std::vector<int32_t>* blocks, const SeenBlocks& old_chain) {
  if (int status = ReadHeader(); status != 0) return status;
  SeenBlocks taken;
  MemoHeader updated = header_;
  while (needed > 0 && updated.first_free != 0) {
    const int32_t block = updated.first_free;
    if (!InFile(block) || old_chain.Contains(block) || !taken.Insert(block)) return kDamaged;
    MemoBlockHeader free_block;
    if (int status = ReadBlockHeader(block, &free_block); status != 0) return status;
    if (free_block.length != 0) return kDamaged;  // a used block on the free list
    taken_free_.emplace_back(block, free_block);
    blocks->push_back(block);
    updated.first_free = free_block.next;
    updated.free_count = std::max(0, updated.free_count - 1);
    --needed;
  }
  if (needed > 0) {
    if (static_cast<uint64_t>(updated.block_count) + needed > static_cast<uint64_t>(INT32_MAX)) {
      return error::kDiskFull;
    }
    while (needed-- > 0) blocks->push_back(updated.block_count++);
  }
  // The new first free block has no predecessor any more.
  if (updated.first_free != header_.first_free && updated.first_free != 0) {
    if (!InFile(updated.first_free) || taken.Contains(updated.first_free)) return kDamaged;
    MemoBlockHeader next_free;
    if (int status = ReadBlockHeader(updated.first_free, &next_free); status != 0) return status;
    if (next_free.length != 0) return kDamaged;
    taken_free_.emplace_back(updated.first_free, next_free);
    next_free.previous = 0;
    if (int status = WriteBlockHeader(updated.first_free, next_free); status != 0) return status;
  }
  const bool list_changed = updated.first_free != header_.first_free || updated.free_count != header_.free_count;
  header_ = updated;
  if (!list_changed) return 0;
  MemoHeader counted = header_;
  counted.block_count = counted_blocks_;
  return WriteHeader(counted);
}

// The surplus of the old chain joins the front of the free list. The
// header is written before the old first free block learns its new
// predecessor, so a failure in between leaves a list that is merely not
// trimmed, never one that hands out a block twice.
int ChainWriter::FreeBlocks(const std::vector<int32_t>& surplus) {
  if (int status = ReadHeader(); status != 0) return status;
  const int32_t old_first_free = header_.first_free;
  for (size_t i = 0; i < surplus.size(); ++i) {
    MemoBlockHeader freed;
    freed.previous = i == 0 ? 0 : surplus[i - 1];
    freed.next = i + 1 < surplus.size() ? surplus[i + 1] : old_first_free;
    freed.length = 0;
    if (int status = WriteBlockHeader(surplus[i], freed); status != 0) return status;
  }
  header_.first_free = surplus.front();
  header_.free_count += static_cast<int32_t>(surplus.size());
  if (int status = WriteHeader(); status != 0) return status;
  if (old_first_free != 0 && InFile(old_first_free)) {
    MemoBlockHeader follower;
    if (int status = ReadBlockHeader(old_first_free, &follower); status != 0) return status;
    if (follower.length == 0) {
      follower.previous = surplus.back();
      if (int status = WriteBlockHeader(old_first_free, follower); status != 0) return status;
    }
  }
  return 0;
}

// Free blocks at the end of the file are unlinked and cut off. The
// links are believed only where they agree with each other; a block whose
// neighbours disagree stays, and so does everything before it.
int ChainWriter::TrimTail() {
  // A read that fails is reported; a block that merely looks wrong ends the trimming.
  auto read = [&](int32_t block, MemoBlockHeader* header, bool* usable) {
    int status = ReadBlockHeader(block, header);
    *usable = status == 0;
    return status == kDamaged ? 0 : status;
  };
  int32_t last = header_.block_count - 1;
  for (; last >= 1; --last) {
    MemoBlockHeader block;
    bool usable = false;
    if (int status = read(last, &block, &usable); status != 0) return status;
    if (!usable || block.length != 0) break;
    const bool is_first = header_.first_free == last;
    MemoBlockHeader previous, next;
    if (!is_first) {
      if (block.previous == 0 || !InFile(block.previous) || block.previous == last) break;
      if (int status = read(block.previous, &previous, &usable); status != 0) return status;
      if (!usable || previous.next != last || previous.length != 0) break;
    }
    if (block.next != 0) {
      if (!InFile(block.next) || block.next == last) break;
      if (int status = read(block.next, &next, &usable); status != 0) return status;
      if (!usable || next.previous != last || next.length != 0) break;
    }
    if (is_first) {
      header_.first_free = block.next;
    } else {
      previous.next = block.next;
      if (int status = WriteBlockHeader(block.previous, previous); status != 0) return status;
    }
    if (block.next != 0) {
      next.previous = is_first ? 0 : block.previous;
      if (int status = WriteBlockHeader(block.next, next); status != 0) return status;
    }
    header_.free_count = std::max(0, header_.free_count - 1);
  }
  const int32_t new_count = last + 1;
  if (new_count == header_.block_count) return 0;
  header_.block_count = new_count;
  // The free list's fields before the lower count, each write on its own: a
  // write cut short then leaves a first free block the count still covers.
  uint8_t bytes[8];
  PutInt32(bytes, header_.free_count);
  PutInt32(bytes + 4, header_.first_free);
  if (int status = file_.Write(kBlockCountOffset + 4, bytes, sizeof bytes); status != 0) return status;
  PutInt32(bytes, header_.block_count);
  if (int status = file_.Write(kBlockCountOffset, bytes, 4); status != 0) return status;
  return file_.Truncate(BlockOffset(new_count));
}

int ChainWriter::Write(int32_t old_first, std::string_view value, const PointRecord& point_record,
                       int32_t* new_first) {
  const int status = WriteChain(old_first, value, point_record, new_first);
  if (status != 0 && !pointed_) Undo();
  return status;
}

int ChainWriter::Free(int32_t first) {
  if (int status = ReadHeader(); status != 0) return status;
  std::vector<int32_t> chain;
  SeenBlocks seen;
  for (int32_t block = first; block > 0;) {
    if (!InFile(block) || !seen.Insert(block)) return kDamaged;
    MemoBlockHeader header;
    if (int status = ReadBlockHeader(block, &header); status != 0) return status;
    if (header.length == 0) break;
    chain.push_back(block);
    block = header.next;
  }
  return chain.empty() ? 0 : Release(chain);
}

int ChainWriter::WriteChain(int32_t old_first, std::string_view value, const PointRecord& point_record,
                            int32_t* new_first) {
  // The old chain, checked whole before any byte is written.
  std::vector<int32_t> old_chain;
  SeenBlocks old_seen;
  if (old_first > 0) {
    if (int status = ReadHeader(); status != 0) return status;
    uint64_t length = 0;
    if (int status = file_.Length(&length); status != 0) return status;
    const uint64_t blocks_in_file = length / kMemoBlockSize;
    for (int32_t block = old_first; block > 0;) {
      if (static_cast<uint64_t>(block) >= blocks_in_file || old_seen.Contains(block)) return kDamaged;
      // Blocks from the header's count on are handed out as new ones, so a
      // (damaged) chain that reaches one ends before it rather than keep it.
      if (block >= header_.block_count) break;
      MemoBlockHeader header;
      if (int status = ReadBlockHeader(block, &header); status != 0) return status;
      // A used block holds 1..500 bytes; an empty one is not part of any
      // value (a write cut short can leave a chain pointing at one), so the
      // chain ends before it rather than claim a block the free list may own.
      if (header.length == 0) break;
      old_seen.Insert(block);
      old_chain.push_back(block);
      block = header.next;
    }
  }
  if (!old_chain.empty() && !point_record) return error::kUnknown;

  const size_t chunks = (value.size() + kBlockDataSize - 1) / kBlockDataSize;
  if (std::min(chunks, old_chain.size()) >= 2) return Replace(old_chain, old_seen, value, point_record, new_first);

  // At most the first block of the old chain is reused. Its one write turns
  // the old value into the new: every block it links to was written before
  // it and belonged to no value.
  std::vector<int32_t> blocks(old_chain.begin(), old_chain.begin() + std::min(chunks, old_chain.size()));
  if (chunks > blocks.size()) {
    if (int status = TakeBlocks(chunks - blocks.size(), &blocks, old_seen); status != 0) return status;
  }
  if (!blocks.empty() && blocks[0] == old_first && chunks > 1) {
    if (int status = WriteBlocks(blocks, value, 1); status != 0) return status;
    if (int status = CommitGrowth(); status != 0) return status;
    if (int status = Settle(file_); status != 0) return status;
    // The first block's write turns the record to the new value.
    pointed_ = true;
    if (int status = WriteBlocks(blocks, value, 0); status != 0) return status;
  } else {
    if (int status = WriteBlocks(blocks, value, 0); status != 0) return status;
    if (int status = CommitGrowth(); status != 0) return status;
  }
  *new_first = chunks == 0 ? 0 : blocks[0];
  // A new chain reaches the disk before the record is pointed at it.
  if (point_record && *new_first != old_first && *new_first != 0) {
    if (int status = Settle(file_); status != 0) return status;
  }

  if (old_chain.size() > chunks) {
    if (chunks == 0) {
      // The record lets go of its chain before the chain is freed, or a kill
      // in between would leave it on blocks the next value may be given.
      if (int status = Point(point_record, 0); status != 0) return status;
      if (int status = Settle(*db_.main); status != 0) return status;
    }
    if (int status = Release(std::vector<int32_t>(old_chain.begin() + chunks, old_chain.end())); status != 0) {
      return status;
    }
  }
  return 0;
}

// Written from the last chunk back to the first, so that no block ever points
// at a block not yet written: a write cut short leaves the old value or a
// chain that is whole, never one that runs into blocks someone else may be
// given later.
int ChainWriter::WriteBlocks(const std::vector<int32_t>& blocks, std::string_view value, size_t from) {
  const size_t chunks = blocks.size();
  uint8_t bytes[kMemoBlockSize];
  for (size_t i = chunks; i-- > from;) {
    ScopedByteLock block_lock;
    if (int status = block_lock.Acquire(db_, ScopedByteLock::Which::kMemo, BlockOffset(blocks[i])); status != 0) {
      return status;
    }
    const size_t length = std::min(kBlockDataSize, value.size() - i * kBlockDataSize);
    std::memset(bytes, 0, sizeof bytes);
    PutMemoBlockHeader(bytes, {i == 0 ? 0 : blocks[i - 1], i + 1 < chunks ? blocks[i + 1] : 0,
                               static_cast<int32_t>(length)});
    std::memcpy(bytes + kBlockHeaderSize, value.data() + i * kBlockDataSize, length);
    if (int status = file_.Write(BlockOffset(blocks[i]), bytes, sizeof bytes); status != 0) return status;
  }
  return 0;
}

// Rewriting two or more blocks in place takes more than one write, and a kill
// between them would leave a mixture of the two values. So the new value is
// first written as a chain of scratch blocks, which the record points at
// while the old chain's blocks are rewritten; then the record points back at
// its own blocks and the scratch chain is freed. The blocks end as an
// in-place rewrite leaves them: the record keeps its first block, surplus
// blocks are freed, missing ones come from the free list or the end of the
// file, and scratch blocks taken from the end are cut off again.
int ChainWriter::Replace(const std::vector<int32_t>& old_chain, const SeenBlocks& old_seen, std::string_view value,
                         const PointRecord& point_record, int32_t* new_first) {
  const size_t chunks = (value.size() + kBlockDataSize - 1) / kBlockDataSize;
  std::vector<int32_t> blocks(old_chain.begin(), old_chain.begin() + std::min(chunks, old_chain.size()));
  if (chunks > blocks.size()) {
    if (int status = TakeBlocks(chunks - blocks.size(), &blocks, old_seen); status != 0) return status;
  }
  std::vector<int32_t> scratch;
  if (int status = TakeBlocks(chunks, &scratch, old_seen); status != 0) return status;
  if (int status = WriteBlocks(scratch, value, 0); status != 0) return status;
  // The scratch chain lies past the new blocks of the record's own chain, so
  // the file now holds both, and the count covers both before the record
  // points at either.
  if (int status = CommitGrowth(); status != 0) return status;
  if (int status = Settle(file_); status != 0) return status;
  if (int status = Point(point_record, scratch[0]); status != 0) return status;
  if (int status = Settle(*db_.main); status != 0) return status;

  if (int status = WriteBlocks(blocks, value, 0); status != 0) return status;
  if (int status = Settle(file_); status != 0) return status;
  if (int status = Point(point_record, blocks[0]); status != 0) return status;
  if (int status = Settle(*db_.main); status != 0) return status;
  *new_first = blocks[0];

  if (int status = Release(scratch); status != 0) return status;
  if (old_chain.size() > chunks) {
    return Release(std::vector<int32_t>(old_chain.begin() + chunks, old_chain.end()));
  }
  return 0;
}

int ChainWriter::Release(const std::vector<int32_t>& blocks) {
  if (int status = FreeBlocks(blocks); status != 0) return status;
  const bool freed_last = std::find(blocks.begin(), blocks.end(), header_.block_count - 1) != blocks.end();
  return freed_last ? TrimTail() : 0;
}

}  // namespace

int ReadMemoChain(Database& db, int32_t first_block, std::string* value) {
  value->clear();
  if (first_block <= 0) return 0;
  CachedFile& file = *db.memo;
  uint64_t length = 0;
  if (int status = file.Length(&length); status != 0) return kDamaged;
  const uint64_t blocks_in_file = length / kMemoBlockSize;
  // Under the whole-file lock (or while others are denied) a byte lock is
  // only counted, and nothing here can end that cover, so each would be
  // counted and given back again with no effect: the walk skips them.
  const bool locks_covered = db.LocksCovered();
  SeenBlocks seen;
  ScopedByteLock lock;
  uint8_t buffer[kMemoBlockSize];
  for (int32_t block = first_block; block > 0;) {
    if (static_cast<uint64_t>(block) >= blocks_in_file || !seen.Insert(block)) return kDamaged;
    // Hand over hand: the next block is locked before the previous is let go.
    ScopedByteLock next_lock;
    if (!locks_covered) {
      if (next_lock.Acquire(db, ScopedByteLock::Which::kMemo, BlockOffset(block)) != 0) return kDamaged;
      lock.Release();
    }
    // A cached block is read where it lies; blocks never straddle a page.
    const uint8_t* bytes = nullptr;
    size_t got = 0;
    if (file.Peek(BlockOffset(block), kMemoBlockSize, &bytes, &got) != 0) return kDamaged;
    if (bytes == nullptr) {
      if (file.Read(BlockOffset(block), buffer, sizeof buffer, &got) != 0) return kDamaged;
      bytes = buffer;
    }
    if (got < kBlockHeaderSize) return kDamaged;
    const int32_t data_length = GetInt32(bytes + 8);
    if (data_length < 0 || data_length > static_cast<int32_t>(kBlockDataSize) ||
        got < kBlockHeaderSize + static_cast<size_t>(data_length)) {
      return kDamaged;
    }
    if (data_length == 0) break;  // a free block: the value ends before it
    value->append(reinterpret_cast<const char*>(bytes + kBlockHeaderSize), static_cast<size_t>(data_length));
    block = GetInt32(bytes + 4);
    if (!locks_covered) lock.MoveFrom(next_lock);
  }
  return 0;
}

int WriteMemoChain(Database& db, int32_t old_first_block, std::string_view value, const PointRecord& point_record,
                   int32_t* new_first_block) {
  ChainWriter writer(db);
  return writer.Write(old_first_block, value, point_record, new_first_block);
}

int FreeMemoChain(Database& db, int32_t first_block) {
  if (first_block <= 0) return 0;
  ChainWriter writer(db);
  return writer.Free(first_block);
}

}  // namespace tarnwick
