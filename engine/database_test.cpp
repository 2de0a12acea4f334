// The engine's operations, checked through the bytes they leave in the files.
#include "engine/database.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/text.h"

#include "engine/engine_test_util.h"
#include "testing/fault_file_system.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace test_util;

class DatabaseTest : public ::testing::Test {
 protected:
  DatabaseTest() : main_path_(dir_.File("memo.edb")), memo_path_(dir_.File("memo.EDT")) {
    engine_.SetDurableWrites(false);
  }

  void CreateMemoBook() { ASSERT_TRUE(engine_.CreateDatabase(main_path_, MemoSchema())) << LastErrorCode(); }
  void OpenMemoBook(OpenOptions options = {}) {
    ASSERT_TRUE(engine_.OpenDatabase(dir_.File("memo"), options)) << LastErrorCode();
  }
  bool Append(double date, const std::string& memo) {
    return engine_.AppendRecord({FieldValue::DateTime(date), FieldValue::Text(memo)});
  }

  testing::TempDir dir_;
  std::string main_path_;
  std::string memo_path_;
  DatabaseEngine engine_;
};

TEST_F(DatabaseTest, CreatingTheMemoSchemaWritesTheFormatsBytes) {
  CreateMemoBook();
  Bytes main = ReadBytes(main_path_);
  ASSERT_EQ(main.size(), 260u);
  const Bytes expected_head = Hex("57 45 44 42  00 00 01 00");
  const Bytes expected_rest = Concat({
      Hex("00 00 00 00  01 00 00 00  10 00 00 00"),  // count 0, next id 1, record length 16
      Zeros(36 + 48),                                // check block and reserved
      Hex("02 00 00 00"),                            // two fields
      Hex("C8 D5 C6 DA"), Zeros(13 + 3), Hex("08 00 00 00  04 00 00 00  00 00 00 00"), Zeros(40),
      Hex("B1 B8 CD FC"), Zeros(13 + 3), Hex("0C 00 00 00  0C 00 00 00  00 00 00 00"), Zeros(40),
  });
  EXPECT_EQ(Slice(main, 0, 8), expected_head);
  EXPECT_EQ(Slice(main, 16, 244), expected_rest);
  // The creation time is a date-time in whole seconds.
  double created;
  std::memcpy(&created, main.data() + 8, 8);
  EXPECT_NE(created, 0);
  EXPECT_NEAR(std::round(created * 86400) - created * 86400, 0, 1e-3);

  Bytes memo = ReadBytes(memo_path_);
  ASSERT_EQ(memo.size(), 512u);
  EXPECT_EQ(Slice(memo, 0, 8), Hex("57 45 44 54  00 00 01 00"));
  EXPECT_EQ(Slice(memo, 8, 8), Slice(main, 8, 8));
  EXPECT_EQ(Slice(memo, 16, 496), Concat({Hex("01 00 00 00"), Zeros(492)}));
}

TEST_F(DatabaseTest, TheCreationDateIsTheFileLayersLocalDate) {
  testing::FaultFileSystem clock;
  DatabaseEngine engine(&clock);
  clock.SetLocalDateTime({2011, 5, 3, 13, 30, 0});  // 40666.5625
  ASSERT_TRUE(engine.CreateDatabase(main_path_, MemoSchema()));
  EXPECT_EQ(Slice(ReadBytes(main_path_), 8, 8), Hex("00 00 00 00 52 DB E3 40"));
  EXPECT_EQ(Slice(ReadBytes(memo_path_), 8, 8), Hex("00 00 00 00 52 DB E3 40"));
  clock.SetLocalDateTime({1999, 12, 31, 23, 59, 59});  // 36525 + 86399 / 86400
  ASSERT_TRUE(engine.CreateDatabase(main_path_, MemoSchema()));
  EXPECT_EQ(Slice(ReadBytes(main_path_), 8, 8), Hex("37 BA E7 FF BF D5 E1 40"));
  EXPECT_EQ(Slice(ReadBytes(memo_path_), 8, 8), Hex("37 BA E7 FF BF D5 E1 40"));
}

TEST_F(DatabaseTest, CreateRefusesBadDefinitions) {
  const std::string path = dir_.File("t.edb");
  struct Case {
    std::vector<FieldInf> fields;
    int code;
  };
  const std::string sixteen = "abcdefghijklmnop";
  const std::vector<Case> cases = {
      {{}, error::kNoFields},
      {{{"", 3, 0}, {"a", 3, 0}}, error::kNoFields},
      {{{"1abc", 3, 0}}, error::kInvalidFieldName},
      {{{"a b", 3, 0}}, error::kInvalidFieldName},
      {{{".a", 3, 0}}, error::kInvalidFieldName},
      {{{sixteen + "q", 3, 0}}, error::kInvalidFieldName},
      {{{"\xA3\xB1x", 3, 0}}, error::kInvalidFieldName},  // full-width digit first
      {{{"\xA1\xA3", 3, 0}}, error::kInvalidFieldName},   // full-width punctuation
      {{{"a", 0, 0}}, error::kInvalidFieldType},
      {{{"a", 13, 0}}, error::kInvalidFieldType},
      {{{"a", 10, 0}}, error::kInvalidFieldSize},
      {{{"a", 10, 1025}}, error::kInvalidFieldSize},
      {{{"Name", 3, 0}, {"nAME", 4, 0}}, error::kDuplicateFieldName},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(engine_.CreateDatabase(path, c.fields));
    EXPECT_EQ(LastErrorCode(), c.code) << (c.fields.empty() ? "" : c.fields[0].name);
  }
  EXPECT_FALSE(engine_.CreateDatabase("", MemoSchema()));
  EXPECT_EQ(LastErrorCode(), error::kFileNotFound);
  EXPECT_FALSE(std::filesystem::exists(path));

  // Accepted: 16 bytes, GBK, full-width letters, a digit after the first character;
  // a definition with an empty name ends the list.
  ASSERT_TRUE(engine_.CreateDatabase(path, {{sixteen, 3, 0}, {"\xA3\xC1" "1_x", 10, 1024}, {"", 3, 0}, {"z", 99, 0}}));
  ASSERT_TRUE(engine_.OpenDatabase(path));
  std::vector<FieldInf> fields = engine_.Fields();
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[1].width, 1024);
  // No long-value field, no memo file.
  EXPECT_FALSE(std::filesystem::exists(dir_.File("t.EDT")));
}

TEST_F(DatabaseTest, DefaultExtensionAndNamesMatchedWithoutRegardToCase) {
  ASSERT_TRUE(engine_.CreateDatabase(dir_.File("Diary"), MemoSchema()));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("Diary.EDB")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("Diary.EDT")));
  ASSERT_TRUE(engine_.CreateDatabase(dir_.File("notes."), MemoSchema()));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("notes.EDB")));

  CreateMemoBook();  // memo.edb and memo.EDT
  ASSERT_TRUE(engine_.OpenDatabase(dir_.File("MEMO")));
  EXPECT_EQ(engine_.CurrentPath(), main_path_);
  EXPECT_TRUE(engine_.AppendRecord({FieldValue::DateTime(1), FieldValue::Text("x")}));
  // No stray files were created for the other spellings.
  int files = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir_.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 6);
}

TEST_F(DatabaseTest, ResolvedPathsFollowTheOpenRulesWithoutTouchingFiles) {
  ASSERT_TRUE(engine_.CreateDatabase(dir_.File("Diary"), MemoSchema()));
  DatabasePaths paths = engine_.ResolvePaths(dir_.File("DIARY"));
  EXPECT_EQ(paths.main, dir_.File("Diary.EDB"));
  EXPECT_EQ(paths.memo, dir_.File("Diary.EDT"));
  paths = engine_.ResolvePaths(dir_.File("diary.edb"));
  EXPECT_EQ(paths.main, dir_.File("Diary.EDB"));
  EXPECT_EQ(paths.memo, dir_.File("Diary.EDT"));
  // Names that match nothing keep their spelling; a dot in a folder is no extension.
  std::filesystem::create_directory(dir_.File("v1.2"));
  paths = engine_.ResolvePaths(dir_.File("v1.2/Notes."));
  EXPECT_EQ(paths.main, dir_.File("v1.2/Notes.EDB"));
  EXPECT_EQ(paths.memo, dir_.File("v1.2/Notes.EDT"));
  paths = engine_.ResolvePaths(dir_.File("v1.2/book.dat"));
  EXPECT_EQ(paths.main, dir_.File("v1.2/book.dat"));
  EXPECT_EQ(paths.memo, dir_.File("v1.2/book.EDT"));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.File("v1.2")));
  paths = engine_.ResolvePaths("");
  EXPECT_EQ(paths.main, "");
  EXPECT_EQ(paths.memo, "");
  // Relative names are made absolute.
  EXPECT_EQ(engine_.ResolvePaths("memo").main, (std::filesystem::current_path() / "memo.EDB").string());
}

TEST_F(DatabaseTest, MemoChainsReuseTheirBlocksAndTrimTheTail) {
  CreateMemoBook();
  OpenMemoBook();
  const std::string thousand = MemoText(1000, 1);
  ASSERT_TRUE(Append(40000, thousand));
  Bytes memo = ReadBytes(memo_path_);
  ASSERT_EQ(memo.size(), 1536u);
  EXPECT_EQ(Slice(memo, 16, 12), Hex("03 00 00 00  00 00 00 00  00 00 00 00"));
  EXPECT_EQ(Slice(memo, 512, 12), Hex("00 00 00 00  02 00 00 00  F4 01 00 00"));
  EXPECT_EQ(Slice(memo, 1024, 12), Hex("01 00 00 00  00 00 00 00  F4 01 00 00"));
  EXPECT_EQ(Slice(ReadBytes(main_path_), 260, 16),
            Hex("01 00 00 00  00 00 00 00 00 88 E3 40  01 00 00 00"));  // id 1, 40000.0, block 1

  const std::string six_hundred = MemoText(600, 2);
  ASSERT_TRUE(engine_.WriteField(kMemoName, FieldValue::Text(six_hundred)));
  memo = ReadBytes(memo_path_);
  ASSERT_EQ(memo.size(), 1536u);
  EXPECT_EQ(Slice(memo, 1024, 12), Hex("01 00 00 00  00 00 00 00  64 00 00 00"));
  EXPECT_EQ(engine_.ReadField(kMemoName).AsText(), six_hundred);

  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text("0123456789")));
  memo = ReadBytes(memo_path_);
  ASSERT_EQ(memo.size(), 1024u);
  EXPECT_EQ(Slice(memo, 16, 12), Hex("02 00 00 00  00 00 00 00  00 00 00 00"));
  EXPECT_EQ(Slice(memo, 512, 22), Concat({Hex("00 00 00 00  00 00 00 00  0A 00 00 00"), Hex("30313233343536373839")}));
  EXPECT_EQ(engine_.ReadField(kMemoName).AsText(), "0123456789");
}

TEST_F(DatabaseTest, FreedBlocksInTheMiddleAreRecycledThroughTheFreeList) {
  CreateMemoBook();
  OpenMemoBook();
  ASSERT_TRUE(Append(1, MemoText(1500, 1)));  // blocks 1, 2, 3
  ASSERT_TRUE(Append(2, MemoText(400, 2)));   // block 4
  engine_.GoFirst();
  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text("short")));  // frees 2 and 3
  Bytes memo = ReadBytes(memo_path_);
  EXPECT_EQ(Slice(memo, 16, 12), Hex("05 00 00 00  02 00 00 00  02 00 00 00"));
  EXPECT_EQ(Slice(memo, 1024, 12), Hex("00 00 00 00  03 00 00 00  00 00 00 00"));  // block 2: first free
  EXPECT_EQ(Slice(memo, 1536, 12), Hex("02 00 00 00  00 00 00 00  00 00 00 00"));  // block 3: last free
  // A new 700-byte memo takes blocks 2 and 3 again; the file does not grow.
  ASSERT_TRUE(Append(3, MemoText(700, 3)));
  memo = ReadBytes(memo_path_);
  EXPECT_EQ(memo.size(), 2560u);
  EXPECT_EQ(Slice(memo, 16, 12), Hex("05 00 00 00  00 00 00 00  00 00 00 00"));
  EXPECT_EQ(Slice(memo, 1024, 12), Hex("00 00 00 00  03 00 00 00  F4 01 00 00"));
  engine_.GoFirst();
  EXPECT_EQ(engine_.ReadField(2).AsText(), "short");
  ASSERT_TRUE(engine_.Skip());
  EXPECT_EQ(engine_.ReadField(2).AsText(), MemoText(400, 2));
  ASSERT_TRUE(engine_.Skip());
  EXPECT_EQ(engine_.ReadField(2).AsText(), MemoText(700, 3));
}

TEST_F(DatabaseTest, EmptyMemoAndZeroBytes) {
  CreateMemoBook();
  OpenMemoBook();
  ASSERT_TRUE(Append(1, ""));
  EXPECT_EQ(Slice(ReadBytes(main_path_), 272, 4), Hex("00 00 00 00"));
  EXPECT_EQ(engine_.ReadField(2), FieldValue::Text(""));
  EXPECT_EQ(ReadBytes(memo_path_).size(), 512u);
  ASSERT_TRUE(engine_.WriteField(2, FieldValue::Text(std::string("ab\0cd", 5))));
  EXPECT_EQ(engine_.ReadField(2).AsText(), "ab");
  // A memo whose stored bytes hold a zero still reads up to it.
  Patch(memo_path_, 512 + 8, Hex("05 00 00 00  61 62 00 63 64"));
  EXPECT_EQ(engine_.ReadField(2).AsText(), "ab");
}

TEST_F(DatabaseTest, ClearAllKeepsTheNextRecordId) {
  CreateMemoBook();
  OpenMemoBook();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Append(i, MemoText(800, i)));
  ASSERT_TRUE(engine_.ClearAllRecords());
  EXPECT_EQ(engine_.RecordCount(), 0);
  EXPECT_EQ(engine_.CurrentPosition(), 0);
  EXPECT_EQ(ReadBytes(main_path_).size(), 260u);
  Bytes memo = ReadBytes(memo_path_);
  EXPECT_EQ(memo.size(), 512u);
  EXPECT_EQ(Slice(memo, 16, 12), Hex("01 00 00 00  00 00 00 00  00 00 00 00"));
  ASSERT_TRUE(Append(9, "again"));
  EXPECT_EQ(Slice(ReadBytes(main_path_), 16, 8), Hex("01 00 00 00  05 00 00 00"));
  EXPECT_EQ(Slice(ReadBytes(main_path_), 260, 4), Hex("04 00 00 00"));
}

TEST_F(DatabaseTest, RecordIdReadsTheCurrentRecordsId) {
  EXPECT_EQ(engine_.RecordId(), 0);
  EXPECT_EQ(LastErrorCode(), error::kNoCurrentDatabase);
  CreateMemoBook();
  OpenMemoBook();
  EXPECT_EQ(engine_.RecordId(), 0);  // an empty database has no record 0
  EXPECT_EQ(LastErrorCode(), error::kNoCurrentRecord);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Append(i, "x"));
  ASSERT_TRUE(engine_.ClearAllRecords());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Append(i, "y"));
  // Ids written by hand: the stored id is what counts, not the position.
  Patch(main_path_, 260 + 16, Int32Bytes(-9));
  EXPECT_EQ(engine_.RecordId(), 6);  // the appended record is current
  engine_.GoFirst();
  std::vector<int32_t> ids;
  for (int i = 0; i < 3; ++i, engine_.Skip()) {
    ids.push_back(engine_.RecordId());
    EXPECT_EQ(LastErrorCode(), 0);
  }
  EXPECT_EQ(ids, (std::vector<int32_t>{4, -9, 6}));
  EXPECT_EQ(engine_.RecordId(), 0);  // one beyond the last record
  EXPECT_EQ(LastErrorCode(), error::kNoCurrentRecord);
  engine_.GoFirst();
  engine_.Skip(-1);
  EXPECT_EQ(engine_.RecordId(), 0);
  EXPECT_EQ(LastErrorCode(), error::kNoCurrentRecord);

  // During a search: the record under examination, whatever the file says meanwhile.
  engine_.GoFirst();
  ids.clear();
  EXPECT_TRUE(engine_.SearchForward([&] {
    if (engine_.CurrentPosition() == 2) Patch(main_path_, 260 + 32, Int32Bytes(77));
    ids.push_back(engine_.RecordId());
    return ids.size() == 3;
  }));
  EXPECT_EQ(ids, (std::vector<int32_t>{4, -9, 6}));
  EXPECT_EQ(engine_.RecordId(), 77);

  // Through the password's key.
  ASSERT_TRUE(engine_.SetPassword("key"));
  engine_.GoFirst();
  EXPECT_EQ(engine_.RecordId(), 4);
}

TEST_F(DatabaseTest, OpenRepairsTheRecordArea) {
  CreateMemoBook();
  OpenMemoBook();
  ASSERT_TRUE(Append(1, "a"));
  ASSERT_TRUE(Append(2, "b"));
  engine_.CloseDatabase();
  // Half a record at the tail is cut off.
  Patch(main_path_, 292, Hex("01 02 03 04 05 06 07"));
  OpenMemoBook();
  EXPECT_EQ(engine_.RecordCount(), 2);
  EXPECT_EQ(ReadBytes(main_path_).size(), 292u);
  engine_.CloseDatabase();

  // A count above the records present: refused read-only, lowered read-write.
  Patch(main_path_, 16, Hex("05 00 00 00"));
  OpenOptions read_only;
  read_only.read_only = true;
  EXPECT_FALSE(engine_.OpenDatabase(main_path_, read_only));
  EXPECT_EQ(LastErrorCode(), error::kFileSizeWrong);
  EXPECT_EQ(Slice(ReadBytes(main_path_), 16, 4), Hex("05 00 00 00"));
  OpenMemoBook();
  EXPECT_EQ(engine_.RecordCount(), 2);
  EXPECT_EQ(Slice(ReadBytes(main_path_), 16, 4), Hex("02 00 00 00"));
  engine_.Skip();
  EXPECT_EQ(engine_.ReadField(2).AsText(), "b");
  engine_.CloseDatabase();

  // The memo file's block count follows its length in the same way.
  Patch(memo_path_, 16, Hex("09 00 00 00"));
  EXPECT_FALSE(engine_.OpenDatabase(main_path_, read_only));
  EXPECT_EQ(LastErrorCode(), error::kMemoFileDamaged);
  OpenMemoBook();
  EXPECT_EQ(Slice(ReadBytes(memo_path_), 16, 4), Hex("03 00 00 00"));
}

TEST_F(DatabaseTest, SkipStopsOneBeyondEachEnd) {
  CreateMemoBook();
  OpenMemoBook();
  EXPECT_FALSE(engine_.Skip());
  EXPECT_EQ(LastErrorCode(), error::kPastLastRecord);
  EXPECT_FALSE(engine_.Skip(-1));
  EXPECT_EQ(LastErrorCode(), error::kBeforeFirstRecord);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Append(i, ""));
  engine_.GoFirst();
  EXPECT_TRUE(engine_.Skip(2));
  EXPECT_EQ(engine_.CurrentPosition(), 2);
  EXPECT_TRUE(engine_.Skip());
  EXPECT_EQ(engine_.CurrentPosition(), 3);
  EXPECT_FALSE(engine_.Skip());
  EXPECT_EQ(LastErrorCode(), error::kPastLastRecord);
  EXPECT_TRUE(engine_.ReadField(1).AsDateTime() == 0);
  EXPECT_EQ(LastErrorCode(), error::kSeekFailed);
  EXPECT_FALSE(engine_.WriteField(1, FieldValue::DateTime(5)));
  EXPECT_EQ(LastErrorCode(), error::kNoCurrentRecord);
  EXPECT_TRUE(engine_.Skip(-10));
  EXPECT_EQ(engine_.CurrentPosition(), -1);
  EXPECT_FALSE(engine_.Skip(-1));
  EXPECT_EQ(LastErrorCode(), error::kBeforeFirstRecord);
  engine_.ReadField(1);
  EXPECT_EQ(LastErrorCode(), error::kNoCurrentRecord);
  EXPECT_TRUE(engine_.Skip(100));
  EXPECT_EQ(engine_.CurrentPosition(), 3);
}

TEST_F(DatabaseTest, DateTimesAreClampedOnReading) {
  CreateMemoBook();
  OpenMemoBook();
  ASSERT_TRUE(Append(3000000, ""));
  EXPECT_EQ(engine_.ReadField(1).AsDateTime(), 2958465);
  ASSERT_TRUE(engine_.WriteField(1, FieldValue::DateTime(-1e9)));
  EXPECT_EQ(engine_.ReadField(1).AsDateTime(), -657434);
  ASSERT_TRUE(engine_.WriteField(1, FieldValue::DateTime(std::nan(""))));
  EXPECT_EQ(engine_.ReadField(1).AsDateTime(), -657434);
  ASSERT_TRUE(engine_.WriteField(1, FieldValue::Text("40000.5")));  // converted to the field's kind
  EXPECT_EQ(engine_.ReadField(1), FieldValue::DateTime(40000.5));
}

TEST_F(DatabaseTest, EveryFieldTypeStoresItsBytes) {
  const std::string path = dir_.File("all.edb");
  ASSERT_TRUE(engine_.CreateDatabase(path, {{"b", 1, 0}, {"s", 2, 0}, {"i", 3, 0}, {"l", 4, 0}, {"f", 5, 0},
                                            {"d", 6, 0}, {"o", 7, 0}, {"t", 8, 0}, {"r", 9, 0}, {"x", 10, 5},
                                            {"y", 11, 0}, {"m", 12, 0}}));
  ASSERT_TRUE(engine_.OpenDatabase(path));
  const std::string blob("\x00\x01\x00\x02", 4);
  ASSERT_TRUE(engine_.AppendRecord({FieldValue::Integer(0x1FF), FieldValue::Integer(-2), FieldValue::Integer(-3),
                                    FieldValue::Integer(int64_t{1} << 40), FieldValue::Float(1.5),
                                    FieldValue::Float(-2.25), FieldValue::Boolean(true), FieldValue::DateTime(2.5),
                                    FieldValue::Integer(7), FieldValue::Text("abcdefg"), FieldValue::Bytes(blob),
                                    FieldValue::Text("memo")}));
  Bytes main = ReadBytes(path);
  // 4 + 1 + 2 + 4 + 8 + 4 + 8 + 1 + 8 + 4 + 5 + 4 + 4 = 57 bytes a record.
  EXPECT_EQ(Slice(main, 24, 4), Hex("39 00 00 00"));
  const size_t start = 116 + 12 * 72;
  ASSERT_EQ(main.size(), start + 57);
  EXPECT_EQ(Slice(main, start, 57),
            Concat({Hex("01 00 00 00"), Hex("FF"), Hex("FE FF"), Hex("FD FF FF FF"),
                    Hex("00 00 00 00 00 01 00 00"), Hex("00 00 C0 3F"), Hex("00 00 00 00 00 00 02 C0"), Hex("01"),
                    Hex("00 00 00 00 00 00 04 40"), Hex("07 00 00 00"), Hex("61 62 63 64 65"), Hex("01 00 00 00"),
                    Hex("02 00 00 00")}));
  EXPECT_EQ(engine_.ReadField("B"), FieldValue::Integer(255));
  EXPECT_EQ(engine_.ReadField("s"), FieldValue::Integer(-2));
  EXPECT_EQ(engine_.ReadField("i"), FieldValue::Integer(-3));
  EXPECT_EQ(engine_.ReadField("l"), FieldValue::Integer(int64_t{1} << 40));
  EXPECT_EQ(engine_.ReadField("f"), FieldValue::Float(1.5));
  EXPECT_EQ(engine_.ReadField("d"), FieldValue::Float(-2.25));
  EXPECT_EQ(engine_.ReadField("o"), FieldValue::Boolean(true));
  EXPECT_EQ(engine_.ReadField("t"), FieldValue::DateTime(2.5));
  EXPECT_EQ(engine_.ReadField("r"), FieldValue::Integer(7));
  EXPECT_EQ(engine_.ReadField("x"), FieldValue::Text("abcde"));
  EXPECT_EQ(engine_.ReadField("y"), FieldValue::Bytes(blob));  // byte strings keep zero bytes
  EXPECT_EQ(engine_.ReadField("m"), FieldValue::Text("memo"));
  ASSERT_TRUE(engine_.WriteField("x", FieldValue::Text("z")));
  EXPECT_EQ(Slice(ReadBytes(path), start + 44, 5), Hex("7A 00 00 00 00"));
  ASSERT_TRUE(engine_.WriteField("o", FieldValue::Integer(5)));
  EXPECT_EQ(Slice(ReadBytes(path), start + 31, 1), Hex("01"));
}

TEST_F(DatabaseTest, NamingSelectingAndClosing) {
  CreateMemoBook();
  ASSERT_TRUE(engine_.CreateDatabase(dir_.File("other.edb"), MemoSchema()));
  OpenOptions bad_alias;
  bad_alias.alias = "9lives";
  EXPECT_FALSE(engine_.OpenDatabase(main_path_, bad_alias));
  EXPECT_EQ(LastErrorCode(), error::kInvalidAlias);
  OpenOptions aliased;
  aliased.alias = "Book";
  ASSERT_TRUE(engine_.OpenDatabase(main_path_, aliased));
  EXPECT_FALSE(engine_.OpenDatabase(dir_.File("Memo.EDB")));
  EXPECT_EQ(LastErrorCode(), error::kAlreadyOpen);
  ASSERT_TRUE(engine_.OpenDatabase(dir_.File("other")));
  EXPECT_EQ(engine_.CurrentPath(), dir_.File("other.edb"));
  ASSERT_TRUE(engine_.SelectDatabase("book"));
  EXPECT_EQ(engine_.CurrentPath(), main_path_);
  ASSERT_TRUE(engine_.SelectDatabase("OTHER"));
  EXPECT_EQ(engine_.CurrentPath(), dir_.File("other.edb"));
  ASSERT_TRUE(engine_.SelectDatabase(main_path_));
  EXPECT_EQ(engine_.CurrentPath(), main_path_);
  EXPECT_FALSE(engine_.SelectDatabase("nothing"));
  EXPECT_EQ(LastErrorCode(), error::kNamedDatabaseNotOpen);

  engine_.CloseDatabase("nothing");  // does nothing
  engine_.CloseDatabase("other");
  EXPECT_EQ(engine_.CurrentPath(), main_path_);
  engine_.CloseDatabase();
  EXPECT_EQ(engine_.RecordCount(), 0);
  EXPECT_EQ(LastErrorCode(), error::kNoCurrentDatabase);
  EXPECT_FALSE(engine_.AppendRecord({}));
  EXPECT_EQ(LastErrorCode(), error::kNoCurrentDatabase);
  EXPECT_TRUE(engine_.ReadField(1).empty());
  EXPECT_EQ(LastErrorCode(), error::kNoCurrentDatabase);
  EXPECT_EQ(LastErrorMessage(), Gbk("未指定当前数据库或者指定数据库未打开"));
  // Closed means closed: it opens again.
  OpenMemoBook();
  EXPECT_TRUE(engine_.ReadField("nope").empty());
  EXPECT_EQ(LastErrorCode(), error::kNoSuchField);
  EXPECT_EQ(LastErrorMessage(), Gbk("指定字段不存在"));
  EXPECT_EQ(ErrorMessage(error::kNoFields), Gbk("字段数目必须大于 0 "));
}

TEST_F(DatabaseTest, EachThreadHasItsOwnLastErrorCode) {
  EXPECT_FALSE(engine_.SelectDatabase("none"));
  int other_thread_code = 1;
  std::thread([&] {
    other_thread_code = LastErrorCode();
    DatabaseEngine engine;
    EXPECT_FALSE(engine.OpenDatabase(""));
  }).join();
  EXPECT_EQ(other_thread_code, 0);
  EXPECT_EQ(LastErrorCode(), error::kNamedDatabaseNotOpen);
}

// A field of many records read at once gives what ReadField gives on each,
// whether the records are read one at a time under their own locks or many
// at a time under the whole-file lock, and leaves the current record.
TEST_F(DatabaseTest, AFieldOfManyRecordsReadsAsEachRecordsOwn) {
  CreateMemoBook();
  OpenMemoBook();
  // More records than one piece of the covered read holds.
  constexpr int kRecords = 5000;
  for (int day = 0; day < kRecords; ++day) ASSERT_TRUE(Append(40000 + day + (day % 7) / 8.0, "m"));
  std::vector<double> one_by_one;
  engine_.GoFirst();
  for (int i = 0; i < kRecords; ++i, engine_.Skip()) one_by_one.push_back(engine_.ReadField(kDateName).AsDateTime());
  engine_.GoFirst();
  engine_.Skip(3);
  for (bool covered : {false, true}) {
    SCOPED_TRACE(covered ? "under the whole-file lock" : "record by record");
    if (covered) {
      ASSERT_TRUE(engine_.LockDatabase());
    }
    std::vector<double> dates{-1.0};
    ASSERT_TRUE(engine_.ReadDatesOfRecords(kDateName, 17, kRecords + 10, dates));
    ASSERT_EQ(dates.size(), static_cast<std::size_t>(kRecords - 17 + 1)) << "appended, up to the record count";
    EXPECT_EQ(dates.front(), -1.0);
    EXPECT_TRUE(std::equal(dates.begin() + 1, dates.end(), one_by_one.begin() + 17));
    EXPECT_EQ(engine_.CurrentPosition(), 3);
  }
  std::vector<double> dates;
  EXPECT_FALSE(engine_.ReadDatesOfRecords(kMemoName, 0, 1, dates)) << "not a date field";
  EXPECT_EQ(LastErrorCode(), error::kReadFieldFailed);
}

TEST_F(DatabaseTest, SearchForwardExaminesEachRecordFromTheCurrentOne) {
  CreateMemoBook();
  OpenMemoBook();
  for (int day = 0; day < 10; ++day) ASSERT_TRUE(Append(40000 + day, "day" + std::to_string(day)));
  engine_.GoFirst();
  int calls = 0;
  auto is_day = [&](double day) {
    return [&, day] {
      ++calls;
      return engine_.ReadField(kDateName).AsDateTime() == day;
    };
  };
  ASSERT_TRUE(engine_.SearchForward(is_day(40004)));
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(engine_.CurrentPosition(), 4);
  EXPECT_EQ(engine_.ReadField(kMemoName).AsText(), "day4");
  // From here on; a failed search restores the position.
  calls = 0;
  EXPECT_FALSE(engine_.SearchForward(is_day(40001)));
  EXPECT_EQ(calls, 6);
  EXPECT_EQ(engine_.CurrentPosition(), 4);
  // The condition may read long values of the record under examination.
  engine_.GoFirst();
  ASSERT_TRUE(engine_.SearchForward([&] { return engine_.ReadField(2).AsText() == "day7"; }));
  EXPECT_EQ(engine_.CurrentPosition(), 7);
  // A condition cannot close the database under the search.
  engine_.GoFirst();
  EXPECT_FALSE(engine_.SearchForward([&] {
    engine_.CloseDatabase();
    return false;
  }));
  EXPECT_EQ(engine_.RecordCount(), 10);
  // Nothing to examine past the end.
  engine_.Skip(100);
  calls = 0;
  EXPECT_FALSE(engine_.SearchForward(is_day(40000)));
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace tarnwick
