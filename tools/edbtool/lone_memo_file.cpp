#include "tools/edbtool/lone_memo_file.h"

#include <unordered_set>

#include "engine/database_format.h"

namespace tarnwick::edbtool {

bool ReadLoneMemoTexts(FileBytes& memo, std::vector<LoneMemoText>* texts) {
  texts->clear();
  std::string bytes;
  if (!memo.Read(0, kMemoHeaderSize, bytes) || bytes.size() < kMemoHeaderSize) return false;
  if (!ParseMemoFileHeader(reinterpret_cast<const uint8_t*>(bytes.data())).magic) return false;
  // Every block the file holds, whatever the header's count says: a count
  // written short must not hide a text.
  const std::uint64_t block_count = memo.Size() / kMemoBlockSize;
  std::vector<MemoBlockHeader> blocks(block_count);
  std::vector<bool> led_into(block_count, false);
  for (std::uint64_t block = 1; block < block_count; ++block) {
    if (!memo.Read(block * kMemoBlockSize, kBlockHeaderSize, bytes)) return false;
    blocks[block] = ParseMemoBlockHeader(reinterpret_cast<const uint8_t*>(bytes.data()));
  }
  auto used = [&](std::int64_t block) {
    return block > 0 && static_cast<std::uint64_t>(block) < block_count && blocks[block].length > 0 &&
           static_cast<std::size_t>(blocks[block].length) <= kBlockDataSize;
  };
  for (std::uint64_t block = 1; block < block_count; ++block) {
    if (used(block) && used(blocks[block].next)) led_into[blocks[block].next] = true;
  }
  for (std::uint64_t first = 1; first < block_count; ++first) {
    if (!used(first) || led_into[first]) continue;
    LoneMemoText found;
    found.first_block = static_cast<std::int32_t>(first);
    std::unordered_set<std::int64_t> seen;
    for (std::int64_t block = static_cast<std::int64_t>(first); block != 0; block = blocks[block].next) {
      if (!used(block) || !seen.insert(block).second) {
        found.whole = false;
        break;
      }
      if (!memo.Read(block * kMemoBlockSize + kBlockHeaderSize, blocks[block].length, bytes)) return false;
      found.text += bytes;
    }
    texts->push_back(std::move(found));
  }
  return true;
}

}  // namespace tarnwick::edbtool
