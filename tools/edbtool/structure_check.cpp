#include "tools/edbtool/structure_check.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_set>

#include "base/text.h"
#include "engine/database.h"
#include "engine/database_format.h"

namespace tarnwick::edbtool {

namespace {

constexpr std::size_t kRecordBatchBytes = 1 << 16;

const std::uint8_t* Bytes(const std::string& bytes) { return reinterpret_cast<const std::uint8_t*>(bytes.data()); }

std::int32_t Int32At(const std::string& bytes, std::size_t at) { return GetInt32(Bytes(bytes) + at); }

bool AllZero(const std::string& bytes, std::size_t from, std::size_t to) {
  return std::all_of(bytes.begin() + from, bytes.begin() + to, [](char c) { return c == 0; });
}

std::string Quoted(const std::string& gbk) { return "'" + GbkToUtf8(gbk) + "'"; }

struct Field {
  std::string name;  // GBK
  int type = 0;
  int offset = 0;
  int size = 0;
};

class Checker {
 public:
  Checker(FileBytes& main, FileBytes* memo, const CheckOptions& options, CheckReport& report)
      : main_(main), memo_(memo), options_(options), report_(report) {}

  void Run() {
    if (!CheckMainHeader()) return;
    if (!CheckDescriptors()) return;
    const bool has_memo_fields =
        std::any_of(fields_.begin(), fields_.end(), [](const Field& f) { return f.type == 11 || f.type == 12; });
    if (has_memo_fields) {
      if (memo_ == nullptr) {
        Find("memo file: missing, though fields of type 11 or 12 need it");
      } else {
        memo_usable_ = CheckMemoHeader();
      }
    }
    CheckRecords();
    if (memo_usable_) {
      CheckFreeList();
      CheckLostBlocks();
    }
  }

 private:
  void Find(std::string text) {
    ++report_.finding_count;
    if (report_.findings.size() < options_.max_findings) report_.findings.push_back(std::move(text));
  }

  bool ReadMain(std::uint64_t offset, std::size_t count, std::string& out) {
    if (!main_.Read(offset, count, out)) {
      Find("main file: read error at offset " + std::to_string(offset));
      return false;
    }
    return true;
  }

  bool CheckMainHeader() {
    main_size_ = main_.Size();
    std::string header;
    if (!ReadMain(0, kHeaderSize, header)) return false;
    if (header.size() < kHeaderSize) {
      Find("main file: " + std::to_string(header.size()) + " bytes, shorter than the 112-byte header");
      return false;
    }
    const FileHeader parsed = ParseFileHeader(Bytes(header));
    if (!parsed.plain_magic && !parsed.protected_magic) {
      Find("main file: magic is not WEDB or WCDB; not a database file");
      return false;
    }
    version_ = parsed.version;
    created_ = parsed.created;
    if (version_ != kFormatVersion) Find("main file: header: format version " + std::to_string(version_) + " is not 65536");
    record_count_ = parsed.record_count;
    const std::int32_t next_id = parsed.next_record_id;
    record_length_ = parsed.record_length;
    if (record_count_ < 0) Find("main file: header: negative record count " + std::to_string(record_count_));
    if (next_id < 1) Find("main file: header: next record id " + std::to_string(next_id) + " is below 1");
    next_id_ = next_id;
    if (record_length_ <= 0) {
      Find("main file: header: record length " + std::to_string(record_length_) + " is not above 0");
    }

    // Check block: 32 hex characters and 4 zeros when protected, 36 zeros when not.
    if (!parsed.protected_magic) {
      if (!AllZero(header, 28, 64)) Find("main file: header: password check block is not zero in an unprotected file");
    } else {
      const std::string check_text = header.substr(28, 32);
      const bool hex = std::all_of(check_text.begin(), check_text.end(),
                                   [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
      if (!hex || !AllZero(header, 60, 64)) {
        Find("main file: header: password check block is not 32 hex characters and 4 zeros");
      } else if (!options_.expected_check_text.empty() &&
                 !CheckBlockMatches(Bytes(header) + kCheckBlockOffset, options_.expected_check_text)) {
        Find("main file: header: password check text does not match the password");
      }
    }
    if (!AllZero(header, 64, 112)) Find("main file: header: bytes 64 to 111 are not zero");
    return true;
  }

  bool CheckDescriptors() {
    std::string count_bytes;
    if (!ReadMain(kFieldCountOffset, 4, count_bytes)) return false;
    if (count_bytes.size() < 4) {
      Find("main file: ends before the field count");
      return false;
    }
    const std::int32_t field_count = Int32At(count_bytes, 0);
    if (field_count < 1) {
      Find("main file: field count " + std::to_string(field_count) + " is below 1");
      return false;
    }
    record_start_ = kDescriptorsOffset + kDescriptorSize * static_cast<std::uint64_t>(field_count);
    if (record_start_ > main_size_) {
      Find("main file: " + std::to_string(field_count) + " field descriptors do not fit in the file");
      return false;
    }
    std::string table;
    if (!ReadMain(kDescriptorsOffset, record_start_ - kDescriptorsOffset, table)) return false;

    bool usable = true;
    int expected_offset = 4;
    for (std::int32_t i = 0; i < field_count; ++i) {
      const std::size_t base = kDescriptorSize * i;
      const std::string where = "main file: field " + std::to_string(i + 1);
      FieldDescriptor descriptor = ParseFieldDescriptor(Bytes(table) + base);
      if (!descriptor.name_terminated) Find(where + ": name has no terminating zero within 17 bytes");
      Field field;
      field.name = std::move(descriptor.name);
      if (field.name.size() > kMaxFieldNameLength || !IsValidName(field.name)) {
        Find(where + ": invalid name " + Quoted(field.name));
      }
      for (const Field& earlier : fields_) {
        if (NamesEqual(earlier.name, field.name)) Find(where + ": name " + Quoted(field.name) + " repeats");
      }
      if (!AllZero(table, base + kFieldNameBytes, base + 20)) Find(where + ": bytes 17 to 19 are not zero");
      field.type = descriptor.type;
      field.offset = descriptor.offset;
      const std::int32_t width = descriptor.width;
      if (field.type < 1 || field.type > 12) {
        Find(where + ": type " + std::to_string(field.type) + " is not 1 to 12");
        usable = false;
      } else if (field.type == 10 && (width < 1 || width > kMaxTextWidth)) {
        Find(where + ": text width " + std::to_string(width) + " is not 1 to 1024");
        if (width < 1) usable = false;
      } else if (field.type != 10 && width != 0) {
        Find(where + ": width " + std::to_string(width) + " given for a field that is not text");
      }
      field.size = FieldTypeSize(field.type, width);
      if (field.offset != expected_offset) {
        Find(where + ": offset " + std::to_string(field.offset) + ", expected " + std::to_string(expected_offset));
      }
      if (!AllZero(table, base + 32, base + kDescriptorSize)) Find(where + ": bytes 32 to 71 are not zero");
      if (field.offset < 4 || field.size <= 0 ||
          static_cast<std::int64_t>(field.offset) + field.size > record_length_) {
        Find(where + ": lies outside the record");
        usable = false;
      }
      if (field.size > 0 && expected_offset < (1 << 20)) expected_offset += field.size;
      fields_.push_back(field);
    }
    if (usable && record_length_ != expected_offset) {
      Find("main file: header: record length " + std::to_string(record_length_) + ", the fields need " +
           std::to_string(expected_offset));
    }
    if (record_length_ <= 0) return false;
    if (!usable) Find("main file: records not examined, the field table is unusable");
    fields_usable_ = usable;
    return true;
  }

  bool CheckMemoHeader() {
    memo_size_ = memo_->Size();
    std::string header;
    if (!memo_->Read(0, kMemoBlockSize, header)) {
      Find("memo file: read error at offset 0");
      return false;
    }
    if (header.size() < kMemoHeaderSize) {
      Find("memo file: " + std::to_string(header.size()) + " bytes, shorter than its 32-byte header");
      return false;
    }
    const MemoFileHeader parsed = ParseMemoFileHeader(Bytes(header));
    if (!parsed.magic) {
      Find("memo file: magic is not WEDT");
      return false;
    }
    if (parsed.version != version_) {
      Find("memo file: version " + std::to_string(parsed.version) + " differs from the main file's " +
           std::to_string(version_));
    }
    if (CreationStampsDiffer(created_, parsed.created)) {
      Find("memo file: its creation stamp differs from the main file's; the two files are from different databases"
           " (memo books), not one store");
    }
    const std::int32_t block_count = parsed.block_count;
    header_free_count_ = parsed.free_count;
    first_free_ = parsed.first_free;
    if (!AllZero(header, 28, header.size())) Find("memo file: bytes 28 to 511 of block 0 are not zero");
    if (block_count < 1) {
      Find("memo file: block count " + std::to_string(block_count) + " is below 1");
      return false;
    }
    if (header_free_count_ < 0 || header_free_count_ > block_count - 1) {
      Find("memo file: free count " + std::to_string(header_free_count_) + " is not 0 to " +
           std::to_string(block_count - 1));
    }
    if (first_free_ < 0 || first_free_ > block_count - 1) {
      Find("memo file: first free block " + std::to_string(first_free_) + " is not 0 to " +
           std::to_string(block_count - 1));
    }
    const std::uint64_t whole_blocks = memo_size_ / kMemoBlockSize;
    if (memo_size_ % kMemoBlockSize != 0) {
      Find("memo file: " + std::to_string(memo_size_ % kMemoBlockSize) + " bytes of a partial block at the end");
    }
    if (whole_blocks < static_cast<std::uint64_t>(block_count)) {
      Find("memo file: holds " + std::to_string(whole_blocks) + " whole blocks, the header counts " +
           std::to_string(block_count) + " (truncated)");
    } else if (whole_blocks > static_cast<std::uint64_t>(block_count)) {
      report_.blocks_beyond_count = static_cast<std::int64_t>(whole_blocks - block_count);
      Find("memo file: " + std::to_string(whole_blocks - block_count) + " blocks beyond the header's block count " +
           std::to_string(block_count));
    }
    block_count_ = static_cast<std::int64_t>(std::min<std::uint64_t>(whole_blocks, block_count));
    if (block_count_ < 1) block_count_ = 1;
    report_.memo_blocks = block_count_;
    owner_.assign(block_count_, kUnowned);
    return true;
  }

  // Reads the link part of a block: previous, next, length.
  bool ReadBlockLinks(std::int64_t block, MemoBlockHeader& links) {
    std::string bytes;
    if (!memo_->Read(static_cast<std::uint64_t>(block) * kMemoBlockSize, kBlockHeaderSize, bytes) ||
        bytes.size() < kBlockHeaderSize) {
      Find("memo file: block " + std::to_string(block) + " cannot be read");
      return false;
    }
    links = ParseMemoBlockHeader(Bytes(bytes));
    return true;
  }

  // The words findings use for one list of blocks: a value's chain or the free list.
  struct ListWords {
    std::string list;     // the list itself
    std::string member;   // one of its blocks, before the block's number
    const char* outside;  // after a block outside the file, before the last block's number
    const char* taken;    // after a block another list holds, before that list
  };

  // Follows a list of blocks from first, marking each with mark, and hands
  // each block's links to check_links. Stops at a block outside the memo
  // file, one met again (a loop) or one another list holds, so it ends on
  // any input. Returns how many blocks it marked.
  template <typename CheckLinks>
  std::int64_t FollowBlocks(std::int32_t first, std::uint32_t mark, const ListWords& words, CheckLinks check_links) {
    std::int64_t marked = 0;
    std::int32_t block = first;
    std::int32_t previous_block = 0;
    while (block != 0) {
      if (block < 0 || block >= block_count_) {
        Find(words.list + " block " + std::to_string(block) +
             (previous_block == 0 ? " (first)" : " (after block " + std::to_string(previous_block) + ")") +
             words.outside + std::to_string(block_count_ - 1));
        break;
      }
      std::uint32_t& owner = owner_[block];
      if (owner == mark) {
        Find(words.list + " loops: block " + std::to_string(previous_block) + " leads back to block " +
             std::to_string(block));
        break;
      }
      if (owner != kUnowned) {
        Find(words.list + " block " + std::to_string(block) + words.taken + OwnerText(owner));
        break;
      }
      owner = mark;
      ++marked;
      MemoBlockHeader links;
      if (!ReadBlockLinks(block, links)) break;
      if (links.previous != previous_block) {
        Find(words.member + " " + std::to_string(block) + " points back to " + std::to_string(links.previous) +
             ", expected " + std::to_string(previous_block));
      }
      check_links(block, links);
      previous_block = block;
      block = links.next;
    }
    return marked;
  }

  void CheckChain(std::int32_t first, const std::string& where) {
    if (first == 0) return;
    if (!memo_usable_) return;  // the memo file's own finding says why
    chain_owners_.push_back(where);
    const auto chain = static_cast<std::uint32_t>(chain_owners_.size());
    const ListWords words{where + ": chain", where + ": chain block", " is outside the memo file's blocks 1 to ",
                          " also belongs to "};
    report_.used_blocks += FollowBlocks(first, chain, words, [&](std::int32_t block, const MemoBlockHeader& links) {
      if (links.length < 1 || links.length > static_cast<std::int32_t>(kBlockDataSize)) {
        Find(words.member + " " + std::to_string(block) + " holds " + std::to_string(links.length) +
             " data bytes, not 1 to 500");
      }
    });
  }

  std::string OwnerText(std::uint32_t owner) const {
    if (owner == kFreeList) return "the free list";
    return "the chain of " + chain_owners_[owner - 1];
  }

  void CheckRecords() {
    if (!fields_usable_) return;
    const std::uint64_t area = main_size_ - record_start_;
    const std::uint64_t whole = area / record_length_;
    const std::uint64_t tail = area % record_length_;
    const auto count = static_cast<std::uint64_t>(std::max<std::int32_t>(record_count_, 0));
    if (whole < count) {
      Find("main file: holds " + std::to_string(whole) + " whole records, the header counts " + std::to_string(count) +
           " (truncated)");
    } else if (whole > count) {
      Find("main file: " + std::to_string(whole - count) + " whole records beyond the header's record count " +
           std::to_string(count));
    }
    if (tail != 0) Find("main file: " + std::to_string(tail) + " bytes of a partial record at the end");

    const std::uint64_t examined = std::min(whole, count);
    const std::size_t per_batch = std::max<std::size_t>(1, kRecordBatchBytes / record_length_);
    std::unordered_set<std::int32_t> seen_ids;
    std::string batch;
    for (std::uint64_t first = 0; first < examined; first += per_batch) {
      const std::uint64_t in_batch = std::min<std::uint64_t>(per_batch, examined - first);
      if (!ReadMain(record_start_ + first * record_length_, in_batch * record_length_, batch)) return;
      if (batch.size() < in_batch * record_length_) {
        Find("main file: short read in the record area");
        return;
      }
      for (std::uint64_t i = 0; i < in_batch; ++i) {
        CheckRecord(first + i, batch, i * record_length_, seen_ids);
      }
    }
    report_.records = static_cast<std::int64_t>(examined);
  }

  void CheckRecord(std::uint64_t index, const std::string& batch, std::size_t base,
                   std::unordered_set<std::int32_t>& seen_ids) {
    const std::int32_t id = Int32At(batch, base);
    const std::string where = "record " + std::to_string(index) + " (id " + std::to_string(id) + ")";
    if (id == 0) {
      Find(where + ": id 0 is neither a record id nor a deleted mark");
    } else if (id > 0) {
      if (id >= next_id_ && next_id_ >= 1) {
        Find(where + ": id is not below the header's next record id " + std::to_string(next_id_));
      }
      if (!seen_ids.insert(id).second) Find(where + ": id repeats an earlier record's");
    }
    for (const Field& field : fields_) {
      if (field.type != 11 && field.type != 12) continue;
      CheckChain(Int32At(batch, base + field.offset), where + ", field " + Quoted(field.name));
    }
  }

  void CheckFreeList() {
    const ListWords words{"memo file: free list", "memo file: free block", " is outside blocks 1 to ", " is in use by "};
    const std::int64_t listed =
        FollowBlocks(first_free_, kFreeList, words, [&](std::int32_t block, const MemoBlockHeader& links) {
          if (links.length != 0) {
            Find(words.member + " " + std::to_string(block) + " holds length " + std::to_string(links.length) +
                 ", expected 0");
          }
        });
    report_.free_blocks = listed;
    if (listed != header_free_count_) {
      Find("memo file: free count " + std::to_string(header_free_count_) + " but the free list holds " +
           std::to_string(listed) + " blocks");
    }
  }

  void CheckLostBlocks() {
    std::int64_t lost = 0;
    std::string examples;
    for (std::int64_t block = 1; block < block_count_; ++block) {
      if (owner_[block] != kUnowned) continue;
      if (++lost <= 10) examples += (examples.empty() ? "" : ", ") + std::to_string(block);
    }
    report_.lost_blocks = lost;
    if (lost > 0) {
      Find("memo file: " + std::to_string(lost) + " blocks neither in a chain nor free (lost): " + examples +
           (lost > 10 ? ", ..." : ""));
    }
  }

  static constexpr std::uint32_t kUnowned = 0;
  static constexpr std::uint32_t kFreeList = 0xFFFFFFFF;

  FileBytes& main_;
  FileBytes* memo_;
  const CheckOptions& options_;
  CheckReport& report_;

  std::uint64_t main_size_ = 0;
  std::uint32_t version_ = 0;
  double created_ = 0;
  std::int32_t record_count_ = 0;
  std::int32_t next_id_ = 1;
  std::int32_t record_length_ = 0;
  std::uint64_t record_start_ = 0;
  std::vector<Field> fields_;
  bool fields_usable_ = false;

  bool memo_usable_ = false;
  std::uint64_t memo_size_ = 0;
  std::int64_t block_count_ = 0;
  std::int32_t header_free_count_ = 0;
  std::int32_t first_free_ = 0;
  // Per block: kUnowned, kFreeList, or the 1-based number of the chain that holds it.
  std::vector<std::uint32_t> owner_;
  std::vector<std::string> chain_owners_;
};

}  // namespace

CheckReport CheckDatabase(FileBytes& main, FileBytes* memo, const CheckOptions& options) {
  CheckReport report;
  Checker(main, memo, options, report).Run();
  return report;
}

}  // namespace tarnwick::edbtool
