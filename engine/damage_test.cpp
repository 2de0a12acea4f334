// Damaged files: the engine refuses them or reports the damage, never hangs,
// crashes or touches bytes outside what it reads.
#include <gtest/gtest.h>

#include <random>

#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace test_util;

class DamageTest : public ::testing::Test {
 protected:
  DamageTest() : main_path_(dir_.File("memo.edb")), memo_path_(dir_.File("memo.EDT")) {
    engine_.SetDurableWrites(false);
    EXPECT_TRUE(engine_.CreateDatabase(main_path_, MemoSchema()));
  }
  void Open() { ASSERT_TRUE(engine_.OpenDatabase(main_path_)) << LastErrorCode(); }
  bool Append(double date, const std::string& memo) {
    return engine_.AppendRecord({FieldValue::DateTime(date), FieldValue::Text(memo)});
  }
  int OpenError() {
    EXPECT_FALSE(engine_.OpenDatabase(main_path_));
    return LastErrorCode();
  }

  testing::TempDir dir_;
  std::string main_path_;
  std::string memo_path_;
  DatabaseEngine engine_;
};

TEST_F(DamageTest, BrokenMemoChainsEndWithAnError) {
  Open();
  ASSERT_TRUE(Append(1, MemoText(1000, 1)));  // blocks 1 and 2
  ASSERT_TRUE(Append(2, "intact"));           // block 3
  const Bytes memo_before = ReadBytes(memo_path_);
  struct Case {
    const char* what;
    size_t offset;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      {"loop back to the first block", 1024 + 4, Int32Bytes(1)},
      {"loop onto itself", 512 + 4, Int32Bytes(1)},
      {"next block beyond the file", 1024 + 4, Int32Bytes(4000)},
      {"next block far beyond any offset", 1024 + 4, Int32Bytes(0x7FFFFFFF)},
      {"data length above 500", 512 + 8, Int32Bytes(501)},
      {"negative data length", 1024 + 8, Int32Bytes(-1)},
  };
  for (const Case& c : cases) {
    WriteBytes(memo_path_, memo_before);
    Patch(memo_path_, c.offset, c.bytes);
    engine_.GoFirst();
    EXPECT_EQ(engine_.ReadField(2), FieldValue::Text("")) << c.what;
    EXPECT_EQ(LastErrorCode(), error::kMemoFileAccessFailed) << c.what;
    const Bytes damaged = ReadBytes(memo_path_);
    EXPECT_FALSE(engine_.WriteField(2, FieldValue::Text(MemoText(2000, 3)))) << c.what;
    EXPECT_EQ(LastErrorCode(), error::kMemoFileAccessFailed) << c.what;
    EXPECT_EQ(ReadBytes(memo_path_), damaged) << c.what << ": nothing written";
    // The other record is unaffected.
    engine_.Skip();
    EXPECT_EQ(engine_.ReadField(2).AsText(), "intact") << c.what;
  }
  // A record pointing outside the memo file.
  WriteBytes(memo_path_, memo_before);
  Patch(main_path_, 260 + 12, Int32Bytes(123456));
  engine_.GoFirst();
  engine_.ReadField(2);
  EXPECT_EQ(LastErrorCode(), error::kMemoFileAccessFailed);
}

TEST_F(DamageTest, ALoopingFreeListEndsWithAnError) {
  Open();
  ASSERT_TRUE(Append(1, MemoText(400, 1)));   // block 1
  ASSERT_TRUE(Append(2, MemoText(1000, 2)));  // blocks 2, 3
  engine_.GoFirst();
  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text("")));  // block 1 is free
  EXPECT_EQ(Slice(ReadBytes(memo_path_), 16, 12), Hex("04 00 00 00  01 00 00 00  01 00 00 00"));
  // The free block points at itself both ways.
  Patch(memo_path_, 512, Concat({Int32Bytes(1), Int32Bytes(1)}));
  // Freeing block 3 (the last) trims the tail through the damaged list.
  ASSERT_TRUE(engine_.Skip());
  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text("x")));
  EXPECT_EQ(engine_.ReadField(2).AsText(), "x");
  // Taking blocks meets the loop: refused, without hanging.
  EXPECT_FALSE(Append(3, MemoText(1500, 3)));
  EXPECT_EQ(LastErrorCode(), error::kMemoFileAccessFailed);
  EXPECT_EQ(engine_.RecordCount(), 2);
  engine_.GoFirst();
  EXPECT_EQ(engine_.ReadField(2).AsText(), "");
  engine_.Skip();
  EXPECT_EQ(engine_.ReadField(2).AsText(), "x");
}

// A kill between the writes that link blocks into the free list or out of it
// leaves back links and the free count behind the forward links: a read-write
// open sets them right, a read-only open leaves the files alone.
TEST_F(DamageTest, AnOpenSetsTheFreeListsBackLinksAndCountRight) {
  Open();
  ASSERT_TRUE(Append(1, MemoText(1500, 1)));  // blocks 1, 2, 3
  ASSERT_TRUE(Append(2, "keep"));             // block 4
  engine_.GoFirst();
  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text("short")));  // frees 2 and 3
  engine_.CloseDatabase();
  Patch(memo_path_, 20, Int32Bytes(4));        // the free count says 4
  Patch(memo_path_, 1536, Int32Bytes(0));      // block 3 does not point back to block 2
  const Bytes damaged = ReadBytes(memo_path_);

  OpenOptions read_only;
  read_only.read_only = true;
  ASSERT_TRUE(engine_.OpenDatabase(main_path_, read_only));
  engine_.CloseDatabase();
  EXPECT_EQ(ReadBytes(memo_path_), damaged);

  Open();
  Bytes memo = ReadBytes(memo_path_);
  EXPECT_EQ(Slice(memo, 16, 12), Hex("05 00 00 00  02 00 00 00  02 00 00 00"));
  EXPECT_EQ(Slice(memo, 1024, 12), Hex("00 00 00 00  03 00 00 00  00 00 00 00"));
  EXPECT_EQ(Slice(memo, 1536, 12), Hex("02 00 00 00  00 00 00 00  00 00 00 00"));
  // Both free blocks are handed out again, and the file does not grow.
  ASSERT_TRUE(Append(3, MemoText(700, 3)));
  EXPECT_EQ(ReadBytes(memo_path_).size(), 2560u);
  EXPECT_EQ(engine_.ReadField(2).AsText(), MemoText(700, 3));

  // A list that loops is left as it is.
  engine_.GoFirst();
  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text("")));  // block 1 is free
  engine_.CloseDatabase();
  Patch(memo_path_, 512, Concat({Int32Bytes(1), Int32Bytes(1)}));
  const Bytes looping = ReadBytes(memo_path_);
  Open();
  EXPECT_EQ(ReadBytes(memo_path_), looping);
}

// Blocks from the header's block count on are the ones handed out next, so a
// damaged chain running into one ends before it: a rewrite must not be given
// a block its own old chain, or another, still points at.
TEST_F(DamageTest, AChainRunningPastTheBlockCountIsRewrittenWhole) {
  Open();
  ASSERT_TRUE(Append(1, MemoText(900, 1)));  // blocks 1 and 2
  Patch(memo_path_, 16, Int32Bytes(2));      // the header counts blocks 0 and 1 only
  engine_.GoFirst();
  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text(MemoText(950, 2))));
  ASSERT_TRUE(Append(2, MemoText(600, 3)));
  engine_.GoFirst();
  EXPECT_EQ(engine_.ReadField(2).AsText(), MemoText(950, 2));
  engine_.Skip();
  EXPECT_EQ(engine_.ReadField(2).AsText(), MemoText(600, 3));
}

TEST_F(DamageTest, AUsedBlockOnTheFreeListIsNotHandedOut) {
  Open();
  ASSERT_TRUE(Append(1, MemoText(400, 1)));  // block 1
  ASSERT_TRUE(Append(2, "keep"));            // block 2
  Patch(memo_path_, 16, Hex("03 00 00 00  01 00 00 00  02 00 00 00"));  // block 2 claimed free
  EXPECT_FALSE(Append(3, "new"));
  EXPECT_EQ(LastErrorCode(), error::kMemoFileAccessFailed);
  engine_.GoFirst();
  engine_.Skip();
  EXPECT_EQ(engine_.ReadField(2).AsText(), "keep");
}

TEST_F(DamageTest, DamagedHeadersAndDescriptorsAreRefused) {
  const Bytes main_before = ReadBytes(main_path_);
  const Bytes memo_before = ReadBytes(memo_path_);
  struct Case {
    const char* what;
    bool memo_file;
    size_t offset;
    Bytes bytes;
    int code;
  };
  const std::vector<Case> cases = {
      {"magic", false, 0, Hex("57 45 44 43"), error::kNotDatabaseFile},
      {"newer version", false, 4, Hex("00 00 02 00"), error::kVersionTooHigh},
      {"negative count", false, 16, Int32Bytes(-1), error::kNotDatabaseFile},
      {"next id 0", false, 20, Int32Bytes(0), error::kNotDatabaseFile},
      {"record length 0", false, 24, Int32Bytes(0), error::kNotDatabaseFile},
      {"record length disagrees", false, 24, Int32Bytes(20), error::kNotDatabaseFile},
      {"no fields", false, 112, Int32Bytes(0), error::kNotDatabaseFile},
      {"more fields than the file holds", false, 112, Int32Bytes(3), error::kNotDatabaseFile},
      {"field count whose size overflows", false, 112, Int32Bytes(0x40000000), error::kNotDatabaseFile},
      {"largest field count", false, 112, Int32Bytes(0x7FFFFFFF), error::kNotDatabaseFile},
      {"name without a zero", false, 116, Bytes(17, 'a'), error::kNotDatabaseFile},
      {"type 13", false, 116 + 20, Int32Bytes(13), error::kNotDatabaseFile},
      {"type 0", false, 116 + 20, Int32Bytes(0), error::kNotDatabaseFile},
      {"negative offset", false, 116 + 24, Int32Bytes(-4), error::kNotDatabaseFile},
      {"field beyond the record", false, 188 + 24, Int32Bytes(14), error::kNotDatabaseFile},
      {"field offset near the 32-bit limit", false, 188 + 24, Int32Bytes(0x7FFFFFFE), error::kNotDatabaseFile},
      // Inside the record and adding up, yet overwriting each other's bytes.
      {"memo field over the date's last bytes", false, 188 + 24, Int32Bytes(8), error::kNotDatabaseFile},
      {"date field over the record id", false, 116 + 24, Int32Bytes(0), error::kNotDatabaseFile},
      {"text of width 0", false, 116 + 20, Concat({Int32Bytes(10), Int32Bytes(4), Int32Bytes(0)}),
       error::kNotDatabaseFile},
      {"text wider than 1024", false, 116 + 20, Concat({Int32Bytes(10), Int32Bytes(4), Int32Bytes(0x7FFFFFF0)}),
       error::kNotDatabaseFile},
      {"memo magic", true, 0, Hex("57 45 44 55"), error::kMemoFileReadFailed},
      {"memo version", true, 4, Hex("00 00 02 00"), error::kMemoFileVersion},
      {"memo block count 0", true, 16, Int32Bytes(0), error::kMemoFileReadFailed},
      {"memo free count too high", true, 20, Int32Bytes(1), error::kMemoFileReadFailed},
      {"memo first free outside", true, 24, Int32Bytes(7), error::kMemoFileReadFailed},
  };
  for (const Case& c : cases) {
    WriteBytes(main_path_, main_before);
    WriteBytes(memo_path_, memo_before);
    Patch(c.memo_file ? memo_path_ : main_path_, c.offset, c.bytes);
    EXPECT_EQ(OpenError(), c.code) << c.what;
  }
  WriteBytes(main_path_, main_before);
  Resize(main_path_, 100);
  EXPECT_EQ(OpenError(), error::kNotDatabaseFile) << "short header";
  WriteBytes(main_path_, main_before);
  Resize(memo_path_, 20);
  EXPECT_EQ(OpenError(), error::kMemoFileReadFailed) << "short memo header";
  EXPECT_EQ(ReadBytes(main_path_), main_before);
}

// A kill between the creation's two files leaves a main file of nothing but
// its header: the open finishes the creation. Records without their memo
// file are damage, and the open leaves the main file as it found it.
TEST_F(DamageTest, AMissingMemoFileIsMadeForAnEmptyMainFileAndIsDamageBesideRecords) {
  const Bytes created = ReadBytes(memo_path_);
  std::filesystem::remove(memo_path_);
  EXPECT_FALSE(engine_.OpenDatabase(main_path_, {.read_only = true}));
  EXPECT_FALSE(std::filesystem::exists(memo_path_)) << "a read-only open writes nothing";
  Open();
  EXPECT_EQ(ReadBytes(memo_path_), created) << "the memo file the creation would have made";
  ASSERT_TRUE(Append(1, "saved after"));
  engine_.CloseDatabase();
  const Bytes with_record = ReadBytes(main_path_);
  std::filesystem::remove(memo_path_);
  for (const Bytes& main : {with_record, Concat({with_record, Bytes(3, 'x')})}) {
    WriteBytes(main_path_, main);
    EXPECT_EQ(OpenError(), error::kMemoFileReadFailed);
    EXPECT_EQ(ReadBytes(main_path_), main) << "nothing repaired";
    EXPECT_FALSE(std::filesystem::exists(memo_path_)) << "no empty memo file made beside records";
  }
  // The count says no record, yet one was written: an append cut short or damage.
  WriteBytes(main_path_, with_record);
  Patch(main_path_, 16, Int32Bytes(0));
  EXPECT_EQ(OpenError(), error::kMemoFileReadFailed);
  EXPECT_FALSE(std::filesystem::exists(memo_path_));
}

TEST_F(DamageTest, FieldsStoredInAnotherOrderStillOpen) {
  Open();
  ASSERT_TRUE(Append(45000, "memo"));
  engine_.CloseDatabase();
  // The memo field's pointer first, then the date: nothing overlaps.
  Patch(main_path_, 116 + 24, Int32Bytes(8));
  Patch(main_path_, 188 + 24, Int32Bytes(4));
  Open();
  engine_.GoFirst();
  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text("rewritten")));
  ASSERT_TRUE(engine_.WriteField(1, FieldValue::DateTime(45001)));
  EXPECT_EQ(engine_.ReadField(2).AsText(), "rewritten");
  EXPECT_EQ(engine_.ReadField(1).AsDateTime(), 45001);
}

// Random damage anywhere in either file: whatever the engine says, it must
// not crash or hang (the sanitizer runs make this check reads and writes too).
TEST_F(DamageTest, RandomDamageNeverCrashes) {
  Open();
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(Append(40000 + i, MemoText(300 + 400 * i, i)));
  engine_.GoFirst();
  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text("")));  // a free list too
  engine_.CloseDatabase();
  const Bytes main_before = ReadBytes(main_path_);
  const Bytes memo_before = ReadBytes(memo_path_);
  std::mt19937 random(20240601);
  int opened = 0;
  for (int round = 0; round < 300; ++round) {
    Bytes main = main_before;
    Bytes memo = memo_before;
    for (int flips = 1 + round % 4; flips > 0; --flips) {
      Bytes& target = random() % 2 ? main : memo;
      target[random() % target.size()] = static_cast<uint8_t>(random());
    }
    WriteBytes(main_path_, main);
    WriteBytes(memo_path_, memo);
    if (!engine_.OpenDatabase(main_path_)) continue;
    ++opened;
    int count = engine_.RecordCount();
    engine_.GoFirst();
    for (int i = 0; i < count; ++i) {
      engine_.ReadField(1);
      engine_.ReadField(2);
      engine_.Skip();
    }
    engine_.GoFirst();
    engine_.WriteField(2, FieldValue::Text(MemoText(700, round)));
    Append(1, MemoText(1200, round));
    engine_.CloseDatabase();
  }
  EXPECT_GT(opened, 100);
}

}  // namespace
}  // namespace tarnwick
