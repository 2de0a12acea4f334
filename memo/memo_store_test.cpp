// The memo store over a real engine in a temporary folder.
#include "memo/memo_store.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "engine/engine_test_util.h"
#include "testing/fault_file_system.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

class MemoStoreTest : public ::testing::Test {
 protected:
  MemoStoreTest() : store_(engine_, dir_.path().string()) {}

  void CreateAndOpen() {
    store_.CreateMemoDatabase();
    ASSERT_TRUE(store_.OpenMemoDatabase());
  }
  // Saves as the day view does: rewrite the day's record, else append.
  void Save(DateTime d, const std::string& text) {
    if (store_.FindMemoRecord(d)) {
      ASSERT_TRUE(store_.WriteMemoText(text));
    } else {
      ASSERT_TRUE(store_.AppendMemo(d, text));
    }
  }

  testing::TempDir dir_;
  DatabaseEngine engine_;
  MemoStore store_;
};

TEST(DayKeyTest, DropsTheTimeOfDayOnly) {
  EXPECT_EQ(DayKey(EncodeDate(2011, 3, 28) + 0.99998), EncodeDate(2011, 3, 28));
  EXPECT_EQ(DayKey(EncodeDate(2011, 3, 28)), EncodeDate(2011, 3, 28));
  EXPECT_EQ(DayKey(EncodeDate(1850, 1, 2) - 0.25), EncodeDate(1850, 1, 2)) << "before 1899 the fraction is the time";
}

TEST_F(MemoStoreTest, TheFileIsMemoEdbInTheFolderWithTheTwoFields) {
  EXPECT_EQ(store_.DatabasePath(), dir_.File("memo.edb"));
  EXPECT_FALSE(store_.DatabaseFileExists());
  CreateAndOpen();
  EXPECT_TRUE(store_.DatabaseFileExists());
  EXPECT_TRUE(std::filesystem::exists(dir_.File("memo.EDT")));
  const std::vector<FieldInf> fields = engine_.Fields();
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(GbkToUtf8(fields[0].name), "日期");
  EXPECT_EQ(fields[0].type, 8);
  EXPECT_EQ(GbkToUtf8(fields[1].name), "备忘");
  EXPECT_EQ(fields[1].type, 12);
  EXPECT_EQ(GbkToUtf8(engine_.CurrentPath()), dir_.File("memo.edb")) << "current once opened";
  EXPECT_FALSE(store_.IsDatabaseProtected());
}

TEST_F(MemoStoreTest, OneRecordPerDayWhateverTheTime) {
  CreateAndOpen();
  EXPECT_EQ(store_.MemoCount(), 0);
  EXPECT_FALSE(store_.FindMemoRecord(EncodeDate(2011, 5, 3)));

  Save(EncodeDate(2011, 5, 3) + 0.3, "first");
  Save(EncodeDate(2011, 5, 3) + 23.0 / 24 + 59.0 / 1440, "second");
  Save(EncodeDate(2011, 5, 4), "");
  EXPECT_EQ(store_.MemoCount(), 2);
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 3) + 0.5));
  EXPECT_EQ(store_.ReadMemoText(), "second");
  EXPECT_EQ(store_.ReadMemoDate(), EncodeDate(2011, 5, 3)) << "stored at midnight";
  Save(EncodeDate(2011, 5, 3), "");
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 3)));
  EXPECT_EQ(store_.ReadMemoText(), "") << "an empty memo keeps its record";
  EXPECT_EQ(store_.MemoCount(), 2);

  store_.ClearAllMemos();
  EXPECT_EQ(store_.MemoCount(), 0);
  EXPECT_FALSE(store_.FindMemoRecord(EncodeDate(2011, 5, 3)));
}

TEST_F(MemoStoreTest, ALongGbkMemoReadsBackByteForByte) {
  CreateAndOpen();
  std::string text;
  for (int i = 0; i < 3000; ++i) text += Gbk("备忘第") + std::to_string(i) + "\r\n";
  text += std::string("\x81\x30\x81\x30", 4);  // a four-byte code kept as it is
  ASSERT_TRUE(store_.AppendMemo(EncodeDate(2011, 5, 3), text));
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 3)));
  EXPECT_EQ(store_.ReadMemoText(), text);
}

TEST_F(MemoStoreTest, AStoredTimeOfDayMatchesNoDateAndOutOfRangeDatesClamp) {
  CreateAndOpen();
  ASSERT_TRUE(engine_.AppendRecord({FieldValue::DateTime(EncodeDate(2011, 3, 28) + 0.5), FieldValue::Text("noon")}));
  ASSERT_TRUE(engine_.AppendRecord({FieldValue::DateTime(kMaxDate + 500), FieldValue::Text("far")}));
  EXPECT_FALSE(store_.FindMemoRecord(EncodeDate(2011, 3, 28)));
  ASSERT_TRUE(store_.FindMemoRecord(kMaxDate)) << "a date above the range counts as its end";
  EXPECT_EQ(store_.ReadMemoText(), "far");
  ASSERT_TRUE(store_.AppendMemo(EncodeDate(2011, 3, 28), "day"));
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 3, 28)));
  EXPECT_EQ(store_.ReadMemoText(), "day");
}

TEST_F(MemoStoreTest, FromHereSearchesOnFromTheCurrentRecordOnly) {
  CreateAndOpen();
  ASSERT_TRUE(store_.AppendMemo(EncodeDate(2011, 5, 1), "a"));
  ASSERT_TRUE(store_.AppendMemo(EncodeDate(2011, 5, 2), "b"));
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 2)));
  EXPECT_FALSE(store_.FindMemoRecordFromHere(EncodeDate(2011, 5, 1)));
  store_.GoFirstMemo();
  EXPECT_TRUE(store_.FindMemoRecordFromHere(EncodeDate(2011, 5, 2)));
}

// Lookups of one day in a row may be answered from the last one: the answer
// and the current record are still those of a search of the records as they are.
TEST_F(MemoStoreTest, ARepeatedLookupAnswersAsASearchWould) {
  CreateAndOpen();
  for (int day = 1; day <= 3; ++day) Save(EncodeDate(2011, 5, day), std::string(1, static_cast<char>('a' + day - 1)));
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 2)));
  store_.GoFirstMemo();
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 2)));
  EXPECT_EQ(engine_.CurrentPosition(), 1);
  EXPECT_EQ(store_.ReadMemoText(), "b");

  EXPECT_FALSE(store_.FindMemoRecord(EncodeDate(2011, 5, 9)));
  ASSERT_TRUE(store_.NextMemo());
  EXPECT_FALSE(store_.FindMemoRecord(EncodeDate(2011, 5, 9)));
  EXPECT_EQ(engine_.CurrentPosition(), 0) << "the first record current after a miss";
  // Changes made through the engine itself, past the store.
  ASSERT_TRUE(engine_.AppendRecord({FieldValue::DateTime(EncodeDate(2011, 5, 9)), FieldValue::Text("nine")}));
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 9)));
  EXPECT_EQ(store_.ReadMemoText(), "nine");
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 2)));
  ASSERT_TRUE(engine_.WriteField(1, FieldValue::DateTime(EncodeDate(2011, 5, 20))));
  EXPECT_FALSE(store_.FindMemoRecord(EncodeDate(2011, 5, 2)));
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 20)));
  EXPECT_EQ(store_.ReadMemoText(), "b");
}

// The month list and the day lookups come from the store's index of dates:
// after every kind of change it must agree with a walk over the records.
TEST_F(MemoStoreTest, TheDateIndexAgreesWithAWalkOverTheRecords) {
  CreateAndOpen();
  auto agrees = [&](const std::string& when) {
    SCOPED_TRACE(when);
    std::map<std::pair<int, int>, std::vector<DateTime>> months;
    std::map<DateTime, int> first_record;
    int record = 0;
    store_.ForEachMemo([&](const WalkedMemo& memo) {
      const CivilDateTime day = DecodeDateTime(memo.date);
      months[{day.year, day.month}].push_back(memo.date);
      first_record.emplace(memo.date, record++);
    }, /*with_text=*/false);
    for (const auto& [month, dates] : months) {
      EXPECT_EQ(store_.MemoDatesInMonth(month.first, month.second), dates) << month.first << "-" << month.second;
    }
    EXPECT_TRUE(store_.MemoDatesInMonth(2011, 7).empty());
    // A stored time of day matches no date: such a record is found by no lookup.
    for (const auto& stored : first_record) {
      const DateTime date = stored.first;
      const auto day = first_record.find(DayKey(date));
      ASSERT_EQ(store_.FindMemoRecord(date), day != first_record.end()) << DateText(date);
      if (day != first_record.end()) {
        EXPECT_EQ(engine_.CurrentPosition(), day->second) << DateText(date);
      }
    }
    EXPECT_FALSE(store_.FindMemoRecord(EncodeDate(2011, 7, 4)));
  };
  // In date order, a date held twice.
  for (int day : {1, 2, 9}) Save(EncodeDate(2011, 3, day), "m");
  ASSERT_TRUE(engine_.AppendRecord({FieldValue::DateTime(EncodeDate(2011, 3, 9)), FieldValue::Text("twice")}));
  agrees("in date order");
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 3, 9)));
  EXPECT_EQ(engine_.CurrentPosition(), 2) << "the first of the two";
  ASSERT_TRUE(engine_.AppendRecord({FieldValue::DateTime(EncodeDate(2011, 3, 5)), FieldValue::Text("earlier")}));
  agrees("an earlier date appended past the store");
  // Out of date order, across a year's end and before 1899 (where the
  // fraction of a date counts back from its midnight).
  for (DateTime d : {EncodeDate(2011, 5, 25), EncodeDate(2011, 5, 3), EncodeDate(2010, 12, 31), EncodeDate(2011, 1, 1),
                     EncodeDate(2011, 5, 13), EncodeDate(1850, 2, 1), EncodeDate(1850, 1, 31)}) {
    Save(d, "m");
  }
  ASSERT_TRUE(engine_.AppendRecord({FieldValue::DateTime(EncodeDate(1850, 2, 1) - 0.25), FieldValue::Text("x")}));
  ASSERT_TRUE(engine_.AppendRecord({FieldValue::DateTime(EncodeDate(2011, 5, 31) + 0.5), FieldValue::Text("y")}));
  agrees("saved, and appended past the store");
  EXPECT_EQ(store_.MemoDatesInMonth(2011, 5).size(), 4u);
  EXPECT_EQ(store_.MemoDatesInMonth(1850, 2).size(), 2u);
  Save(EncodeDate(2011, 5, 3), "again");
  Save(EncodeDate(2011, 5, 4), "new");
  agrees("rewritten and added");
  store_.CloseMemoDatabase();
  EXPECT_TRUE(store_.MemoDatesInMonth(2011, 5).empty()) << "closed";
  ASSERT_TRUE(store_.OpenMemoDatabase());
  agrees("reopened");
  store_.ClearAllMemos();
  EXPECT_TRUE(store_.MemoDatesInMonth(2011, 5).empty()) << "cleared";
  Save(EncodeDate(2011, 5, 9), "after");
  agrees("cleared and saved");
  EXPECT_EQ(store_.MemoDatesInMonth(2011, 5), std::vector<DateTime>{EncodeDate(2011, 5, 9)});
  // Saves and records appended past the store at random, the same days
  // again and again, with a reopen now and then.
  std::mt19937 random(7);
  for (int step = 1; step <= 150; ++step) {
    const DateTime day = EncodeDate(2012, 1, 1) + static_cast<int>(random() % 70);
    if (random() % 4 == 0) {
      ASSERT_TRUE(engine_.AppendRecord({FieldValue::DateTime(day), FieldValue::Text("past")}));
    } else {
      Save(day, "saved");
    }
    if (step % 50 == 0) {
      store_.CloseMemoDatabase();
      ASSERT_TRUE(store_.OpenMemoDatabase());
    }
    if (step % 10 == 0) agrees("random step " + std::to_string(step));
  }
}

TEST_F(MemoStoreTest, WithoutAnOpenStoreEverythingFails) {
  EXPECT_FALSE(store_.OpenMemoDatabase()) << "no file";
  EXPECT_EQ(store_.MemoCount(), 0);
  EXPECT_FALSE(store_.FindMemoRecord(EncodeDate(2011, 5, 3)));
  EXPECT_FALSE(store_.AppendMemo(EncodeDate(2011, 5, 3), "x"));
  EXPECT_FALSE(store_.WriteMemoText("x"));
  EXPECT_EQ(store_.ReadMemoText(), "");
  EXPECT_FALSE(store_.IsDatabaseProtected());
}

TEST_F(MemoStoreTest, AProtectedStoreIsToldBeforeAndAfterOpening) {
  CreateAndOpen();
  ASSERT_TRUE(store_.AppendMemo(EncodeDate(2011, 5, 3), "secret"));
  ASSERT_TRUE(store_.SetDatabasePassword("pw"));
  EXPECT_TRUE(store_.IsDatabaseProtected());
  store_.CloseMemoDatabase();
  EXPECT_TRUE(store_.IsDatabaseProtected()) << "read from the file's magic";
  EXPECT_FALSE(store_.OpenMemoDatabase());
  EXPECT_FALSE(store_.OpenMemoDatabase("wrong"));
  ASSERT_TRUE(store_.OpenMemoDatabase("pw"));
  ASSERT_TRUE(store_.FindMemoRecord(EncodeDate(2011, 5, 3)));
  EXPECT_EQ(store_.ReadMemoText(), "secret");
}

TEST_F(MemoStoreTest, AnOpenStoreKeepsASecondProcessOut) {
  CreateAndOpen();
  DatabaseEngine second_engine;
  MemoStore second(second_engine, dir_.path().string());
  EXPECT_FALSE(second.OpenMemoDatabase());
  store_.CloseMemoDatabase();
  EXPECT_TRUE(second.OpenMemoDatabase());
}

TEST_F(MemoStoreTest, ADatabaseOfAnotherShapeIsRefusedUntouched) {
  const std::string path = dir_.File("memo.edb");
  ASSERT_TRUE(engine_.CreateDatabase(path, {{"a", static_cast<int>(FieldType::kText), 8},
                                            {"b", static_cast<int>(FieldType::kMemo), 0}}));
  const test_util::Bytes before = test_util::ReadBytes(path);
  EXPECT_FALSE(store_.OpenMemoDatabase());
  EXPECT_EQ(store_.MemoCount(), 0);
  EXPECT_FALSE(store_.AppendMemo(EncodeDate(2011, 5, 1), "x"));
  EXPECT_EQ(test_util::ReadBytes(path), before);

  ASSERT_TRUE(engine_.CreateDatabase(path, {{Gbk("日子"), static_cast<int>(FieldType::kDateTime), 20},
                                            {Gbk("备忘"), static_cast<int>(FieldType::kMemo), 20}}));
  const test_util::Bytes other_names = test_util::ReadBytes(path);
  EXPECT_FALSE(store_.OpenMemoDatabase()) << "the right types under another name";
  EXPECT_EQ(test_util::ReadBytes(path), other_names);
}

TEST_F(MemoStoreTest, AFailedWriteIsReportedAndLeavesTheOtherMemos) {
  testing::FaultFileSystem faults(DefaultFileSystem());
  DatabaseEngine engine(&faults);
  MemoStore store(engine, dir_.path().string());
  store.CreateMemoDatabase();
  ASSERT_TRUE(store.OpenMemoDatabase());
  ASSERT_TRUE(store.AppendMemo(EncodeDate(2011, 5, 1), "kept"));
  faults.FailNth(testing::FaultFileSystem::Operation::kWrite, 1);
  EXPECT_FALSE(store.AppendMemo(EncodeDate(2011, 5, 2), "lost"));
  ASSERT_TRUE(store.FindMemoRecord(EncodeDate(2011, 5, 1)));
  EXPECT_EQ(store.ReadMemoText(), "kept");
}

// The walk keeps its own place while lookups move the current record, and
// reads each record on its own: with the n-th file read failing (a page of
// either file, the caches cold as after a fresh open), every memo is still
// met once, in order, and only what could not be read is met as unreadable.
TEST_F(MemoStoreTest, TheWalkMeetsEveryMemoOnceWhateverFailsOrMovesMeanwhile) {
  testing::FaultFileSystem faults(DefaultFileSystem());
  DatabaseEngine engine(&faults);
  engine.SetDurableWrites(false);
  MemoStore store(engine, dir_.path().string());
  store.CreateMemoDatabase();
  ASSERT_TRUE(store.OpenMemoDatabase());
  // Enough records for the main file to span several cache pages.
  constexpr int kMemos = 3000;
  const DateTime first = EncodeDate(2000, 1, 1);
  for (int i = 0; i < kMemos; ++i) ASSERT_TRUE(store.AppendMemo(first + i, "m" + std::to_string(i)));

  MemoWalk paused = store.WalkMemos();
  std::vector<std::string> texts;
  while (!paused.done()) {
    paused.Continue([&](const WalkedMemo& memo) {
      texts.push_back(memo.text);
      return texts.size() % 1000 != 0;
    });
    store.FindMemoRecord(first + 7);  // the current record moves between steps
  }
  ASSERT_EQ(texts.size(), static_cast<std::size_t>(kMemos));
  EXPECT_EQ(texts[1000], "m1000");
  EXPECT_EQ(texts.back(), "m2999");
  EXPECT_TRUE(paused.whole());

  for (int n = 1;; ++n) {
    store.CloseMemoDatabase();
    ASSERT_TRUE(store.OpenMemoDatabase());
    MemoWalk walk = store.WalkMemos();
    faults.FailNth(testing::FaultFileSystem::Operation::kRead, n);
    int met = 0, unreadable = 0, misplaced = 0;
    walk.Continue([&](const WalkedMemo& memo) {
      if (!memo.readable) {
        ++unreadable;
      } else if (memo.date != first + met || memo.text != "m" + std::to_string(met)) {
        ++misplaced;
      }
      ++met;
      return true;
    });
    if (!faults.fired()) break;
    EXPECT_EQ(met, kMemos) << "read " << n;
    EXPECT_EQ(unreadable, 1) << "read " << n;
    EXPECT_EQ(misplaced, 0) << "read " << n;
    EXPECT_FALSE(walk.whole());
  }

  // A walk of a store cleared meanwhile ends early, and says so.
  MemoWalk cut = store.WalkMemos();
  cut.Continue([](const WalkedMemo&) { return false; });
  ASSERT_TRUE(store.ClearAllMemos());
  cut.Continue([](const WalkedMemo&) { return true; });
  EXPECT_TRUE(cut.done());
  EXPECT_FALSE(cut.whole());
}

// The copy of the memos filled a few at a time, with saves in between, ends
// as the store is: a rewrite of a memo read already and of one not yet read,
// and an append, all show.
TEST_F(MemoStoreTest, TheMemosCopiedInPiecesFollowTheSavesMadeMeanwhile) {
  CreateAndOpen();
  const DateTime first = EncodeDate(2000, 1, 1);
  std::map<DateTime, std::string> expected;
  for (int i = 0; i < 40; ++i) {
    Save(first + i, "m" + std::to_string(i));
    expected[first + i] = "m" + std::to_string(i);
  }
  auto fill_some = [&](int memos) {
    return store_.FillTexts([&memos] { return --memos > 0; });
  };
  ASSERT_TRUE(fill_some(10));
  Save(first + 3, "rewritten, read already");
  expected[first + 3] = "rewritten, read already";
  Save(first + 25, "rewritten, not yet read");
  expected[first + 25] = "rewritten, not yet read";
  ASSERT_TRUE(fill_some(10));
  Save(first + 100, "appended");
  expected[first + 100] = "appended";
  while (fill_some(7)) {
  }
  EXPECT_FALSE(store_.FillTexts([] { return true; })) << "a whole copy has nothing left to read";

  auto copy_matches = [&](const char* when) {
    const MemoTexts* texts = store_.Texts();
    ASSERT_NE(texts, nullptr);
    std::map<DateTime, std::string> copied;
    for (int i = 0; i < texts->records(); ++i) {
      copied[texts->Date(i)] = std::string(texts->Text(i));
      // The search skips a text whose signature misses its keyword's pairs.
      EXPECT_TRUE(texts->Signature(i).Covers(PairSignature::Of(texts->Text(i)))) << when << ", record " << i;
    }
    EXPECT_EQ(copied, expected) << when;
  };
  copy_matches("filled in pieces");
  Save(first + 39, "after the copy was whole");
  expected[first + 39] = "after the copy was whole";
  Save(first + 200, "appended to a whole copy");
  expected[first + 200] = "appended to a whole copy";
  copy_matches("kept up to date");

  // A search before the copy is whole reads the rest at once.
  store_.CloseMemoDatabase();
  ASSERT_TRUE(store_.OpenMemoDatabase());
  ASSERT_TRUE(fill_some(5));
  copy_matches("completed by the search");
}

}  // namespace
}  // namespace tarnwick
