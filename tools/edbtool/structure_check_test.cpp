#include "tools/edbtool/structure_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace tarnwick::edbtool {
namespace {

class MemoryBytes : public FileBytes {
 public:
  explicit MemoryBytes(std::string data) : data_(std::move(data)) {}
  std::uint64_t Size() override { return data_.size(); }
  bool Read(std::uint64_t offset, std::size_t count, std::string& out) override {
    out = offset >= data_.size() ? std::string() : data_.substr(offset, count);
    return true;
  }

 private:
  std::string data_;
};

std::string Le32(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

std::string Padded(std::string bytes, std::size_t size) {
  bytes.resize(size, '\0');
  return bytes;
}

// Names of the memo book's schema in GBK: 日期, 备忘.
const std::string kDateName = "\xC8\xD5\xC6\xDA";
const std::string kMemoName = "\xB1\xB8\xCD\xFC";
// 40666.0 (2011-05-03) as a little-endian double.
const std::string kDateBytes = std::string("\x00\x00\x00\x00\x40\xDB\xE3\x40", 8);

std::string MainHeader(const char* magic, std::int32_t count, std::int32_t next_id, std::int32_t record_length) {
  return Padded(std::string(magic) + Le32(0x00010000) + std::string(8, '\0') + Le32(count) + Le32(next_id) +
                    Le32(record_length),
                112);
}

std::string Descriptor(const std::string& name, int type, int offset, int width = 0) {
  return Padded(Padded(name, 20) + Le32(type) + Le32(offset) + Le32(width), 72);
}

std::string MemoSchema() { return Le32(2) + Descriptor(kDateName, 8, 4) + Descriptor(kMemoName, 12, 12); }

std::string Record(std::int32_t id, std::int32_t first_block) { return Le32(id) + kDateBytes + Le32(first_block); }

std::string MemoHeader(std::int32_t blocks, std::int32_t free_count, std::int32_t first_free) {
  return Padded("WEDT" + Le32(0x00010000) + std::string(8, '\0') + Le32(blocks) + Le32(free_count) + Le32(first_free),
                512);
}

std::string Block(std::int32_t previous, std::int32_t next, std::int32_t length, char fill = 'a') {
  return Padded(Le32(previous) + Le32(next) + Le32(length) + std::string(length > 0 ? length : 0, fill), 512);
}

// Two records: id 1 with a two-block memo (blocks 1, 3), id 2 with an empty
// memo; block 2 is the one free block.
struct SoundFiles {
  std::string main = MainHeader("WEDB", 2, 3, 16) + MemoSchema() + Record(1, 1) + Record(2, 0);
  std::string memo = MemoHeader(4, 1, 2) + Block(0, 3, 500) + Block(0, 0, 0) + Block(1, 0, 20);
};

CheckReport Check(const std::string& main, const std::string* memo, const std::string& check_text = "") {
  MemoryBytes main_bytes(main);
  MemoryBytes memo_bytes(memo ? *memo : std::string());
  CheckOptions options;
  options.expected_check_text = check_text;
  return CheckDatabase(main_bytes, memo ? &memo_bytes : nullptr, options);
}

std::string Joined(const CheckReport& report) {
  std::string text;
  for (const auto& finding : report.findings) text += finding + "\n";
  return text;
}

void Put32(std::string& bytes, std::size_t offset, std::uint32_t value) { bytes.replace(offset, 4, Le32(value)); }

TEST(StructureCheck, SoundFilesHaveNoFindings) {
  SoundFiles files;
  const CheckReport report = Check(files.main, &files.memo);
  EXPECT_TRUE(report.sound()) << Joined(report);
  EXPECT_EQ(report.records, 2);
  EXPECT_EQ(report.memo_blocks, 4);
  EXPECT_EQ(report.used_blocks, 2);
  EXPECT_EQ(report.free_blocks, 1);

  // A fresh schema: 260-byte main file, one-block memo file.
  const std::string empty_main = MainHeader("WEDB", 0, 1, 16) + MemoSchema();
  ASSERT_EQ(empty_main.size(), 260u);
  const std::string empty_memo = MemoHeader(1, 0, 0);
  EXPECT_TRUE(Check(empty_main, &empty_memo).sound());
}

TEST(StructureCheck, ChainDamage) {
  {  // block 3 leads back to block 1
    SoundFiles files;
    Put32(files.memo, 3 * 512 + 4, 1);
    const std::string findings = Joined(Check(files.main, &files.memo));
    EXPECT_NE(findings.find("record 0 (id 1), field '备忘': chain loops: block 3 leads back to block 1"),
              std::string::npos)
        << findings;
  }
  {  // a block that points to itself
    SoundFiles files;
    Put32(files.memo, 1 * 512 + 4, 1);
    const CheckReport report = Check(files.main, &files.memo);
    EXPECT_NE(Joined(report).find("chain loops: block 1 leads back to block 1"), std::string::npos);
    EXPECT_NE(Joined(report).find("1 blocks neither in a chain nor free (lost): 3"), std::string::npos);
    EXPECT_EQ(report.lost_blocks, 1);
    EXPECT_EQ(report.blocks_beyond_count, 0);
  }
  {  // two whole blocks past the header's block count, left by a cut that never came
    SoundFiles files;
    files.memo.append(2 * 512, '\0');
    const CheckReport report = Check(files.main, &files.memo);
    EXPECT_NE(Joined(report).find("memo file: 2 blocks beyond the header's block count"), std::string::npos)
        << Joined(report);
    EXPECT_EQ(report.blocks_beyond_count, 2);
    EXPECT_EQ(report.lost_blocks, 0);
  }
  {  // record 2 shares block 3 with record 1
    SoundFiles files;
    Put32(files.main, 260 + 16 + 12, 3);
    const std::string findings = Joined(Check(files.main, &files.memo));
    EXPECT_NE(findings.find("record 1 (id 2), field '备忘': chain block 3 also belongs to the chain of record 0"),
              std::string::npos)
        << findings;
  }
  {  // a used block with a bad back link and a length beyond 500
    SoundFiles files;
    Put32(files.memo, 3 * 512 + 0, 2);
    Put32(files.memo, 3 * 512 + 8, 501);
    const std::string findings = Joined(Check(files.main, &files.memo));
    EXPECT_NE(findings.find("chain block 3 points back to 2, expected 1"), std::string::npos) << findings;
    EXPECT_NE(findings.find("chain block 3 holds 501 data bytes"), std::string::npos) << findings;
  }
  {  // the chain runs into the free list
    SoundFiles files;
    Put32(files.memo, 1 * 512 + 4, 2);
    const std::string findings = Joined(Check(files.main, &files.memo));
    EXPECT_NE(findings.find("free list block 2 is in use by the chain of record 0"), std::string::npos) << findings;
  }
}

TEST(StructureCheck, TruncatedMemoFile) {
  SoundFiles files;
  files.memo.resize(3 * 512 + 100);  // block 3 gone, a partial block left
  const CheckReport report = Check(files.main, &files.memo);
  const std::string findings = Joined(report);
  EXPECT_NE(findings.find("memo file: 100 bytes of a partial block at the end"), std::string::npos) << findings;
  EXPECT_NE(findings.find("memo file: holds 3 whole blocks, the header counts 4 (truncated)"), std::string::npos);
  EXPECT_NE(findings.find("chain block 3 (after block 1) is outside the memo file's blocks 1 to 2"),
            std::string::npos);
  EXPECT_FALSE(report.sound());

  files.memo.resize(20);
  EXPECT_NE(Joined(Check(files.main, &files.memo)).find("memo file: 20 bytes, shorter than its 32-byte header"),
            std::string::npos);
  EXPECT_NE(Joined(Check(files.main, nullptr)).find("memo file: missing"), std::string::npos);
}

TEST(StructureCheck, FreeListDamage) {
  {  // a two-block free list whose second block leads back to the first
    std::string main = MainHeader("WEDB", 1, 2, 16) + MemoSchema() + Record(1, 0);
    std::string memo = MemoHeader(3, 2, 1) + Block(0, 2, 0) + Block(1, 1, 0);
    const std::string findings = Joined(Check(main, &memo));
    EXPECT_NE(findings.find("memo file: free list loops: block 2 leads back to block 1"), std::string::npos)
        << findings;
  }
  {  // the count disagrees with the list, a free block holds data
    SoundFiles files;
    Put32(files.memo, 20, 2);
    Put32(files.memo, 2 * 512 + 8, 7);
    const std::string findings = Joined(Check(files.main, &files.memo));
    EXPECT_NE(findings.find("memo file: free count 2 but the free list holds 1 blocks"), std::string::npos)
        << findings;
    EXPECT_NE(findings.find("memo file: free block 2 holds length 7, expected 0"), std::string::npos);
  }
  {  // first free block out of range
    SoundFiles files;
    Put32(files.memo, 24, 9);
    const std::string findings = Joined(Check(files.main, &files.memo));
    EXPECT_NE(findings.find("memo file: first free block 9 is not 0 to 3"), std::string::npos) << findings;
    EXPECT_NE(findings.find("free list block 9 (first) is outside blocks 1 to 3"), std::string::npos);
    EXPECT_NE(findings.find("(lost): 2"), std::string::npos);
  }
}

TEST(StructureCheck, MainFileDamage) {
  {
    SoundFiles files;
    files.main.resize(260 + 16 + 5);  // the second record cut short
    const std::string findings = Joined(Check(files.main, &files.memo));
    EXPECT_NE(findings.find("main file: holds 1 whole records, the header counts 2 (truncated)"), std::string::npos)
        << findings;
    EXPECT_NE(findings.find("main file: 5 bytes of a partial record at the end"), std::string::npos);
  }
  {  // an extra whole record beyond the count, repeated and too-high ids
    SoundFiles files;
    Put32(files.main, 260 + 16, 1);
    Put32(files.main, 20, 1);
    files.main += Record(3, 0);
    const std::string findings = Joined(Check(files.main, &files.memo));
    EXPECT_NE(findings.find("main file: 1 whole records beyond the header's record count 2"), std::string::npos)
        << findings;
    EXPECT_NE(findings.find("record 1 (id 1): id repeats an earlier record's"), std::string::npos);
    EXPECT_NE(findings.find("record 0 (id 1): id is not below"), std::string::npos) << findings;
  }
  {  // descriptor damage: the records cannot be laid out, so they are not read
    SoundFiles files;
    Put32(files.main, 116 + 72 + 20, 13);
    const CheckReport report = Check(files.main, &files.memo);
    const std::string findings = Joined(report);
    EXPECT_NE(findings.find("main file: field 2: type 13 is not 1 to 12"), std::string::npos) << findings;
    EXPECT_NE(findings.find("records not examined"), std::string::npos);
    EXPECT_EQ(report.records, 0);
  }
  {  // offsets and record length that disagree; a name without its zero
    SoundFiles files;
    Put32(files.main, 116 + 72 + 24, 13);
    Put32(files.main, 24, 20);
    files.main.replace(116, 17, std::string(17, 'A'));
    const std::string findings = Joined(Check(files.main, &files.memo));
    EXPECT_NE(findings.find("main file: field 2: offset 13, expected 12"), std::string::npos) << findings;
    EXPECT_NE(findings.find("record length 20, the fields need 16"), std::string::npos);
    EXPECT_NE(findings.find("field 1: name has no terminating zero"), std::string::npos);
  }
  {
    SoundFiles files;
    EXPECT_NE(Joined(Check(files.main.substr(0, 100), &files.memo)).find("shorter than the 112-byte header"),
              std::string::npos);
    files.main[1] = 'X';
    const CheckReport report = Check(files.main, &files.memo);
    ASSERT_EQ(report.finding_count, 1u);
    EXPECT_EQ(report.findings[0], "main file: magic is not WEDB or WCDB; not a database file");
  }
}

TEST(StructureCheck, PasswordCheckBlock) {
  SoundFiles files;
  EXPECT_TRUE(Check(files.main, &files.memo).sound());
  files.main[28] = 'x';
  EXPECT_NE(Joined(Check(files.main, &files.memo)).find("check block is not zero in an unprotected file"),
            std::string::npos);

  const std::string check_text = "0123456789abcdef0123456789abcdef";
  files.main.replace(0, 4, "WCDB");
  files.main.replace(28, 32, check_text);
  EXPECT_TRUE(Check(files.main, &files.memo, "0123456789ABCDEF0123456789ABCDEF").sound());
  EXPECT_NE(Joined(Check(files.main, &files.memo, std::string(32, 'f'))).find("does not match the password"),
            std::string::npos);
}

// Whatever the bytes, the check ends and reads nothing outside the files.
TEST(StructureCheck, RandomDamageNeverHangsOrCrashes) {
  std::mt19937 random(12345);
  const SoundFiles files;
  int unsound = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string main = files.main;
    std::string memo = files.memo;
    for (int flips = 1 + round % 4; flips > 0; --flips) {
      std::string& target = random() % 2 ? main : memo;
      const std::size_t at = random() % target.size();
      target[at] = static_cast<char>(random() % 3 == 0 ? 0xFF : random() % 8);
    }
    if (round % 7 == 0) memo.resize(random() % memo.size());
    if (round % 11 == 0) main.resize(random() % main.size());
    const CheckReport report = Check(main, &memo);
    if (!report.sound()) ++unsound;
    EXPECT_LE(report.findings.size(), report.finding_count);
  }
  EXPECT_GT(unsound, 2000);
}

}  // namespace
}  // namespace tarnwick::edbtool
