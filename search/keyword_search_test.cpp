// The keyword match and the search panel as a user lives it: results in the
// list's text order, the hints, the counts, the recount on focus, the jump.
#include "search/keyword_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "memo/memo_store_texts.h"
#include "search/keyword_search_scan.h"

#include "testing/search_panel_fixture.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;
using testing::FaultFileSystem;

// Texts of single bytes, lead bytes and trail bytes in both halves, drawn
// from an alphabet, the same on every run.
class RandomText {
 public:
  explicit RandomText(std::string alphabet) : alphabet_(std::move(alphabet)) {}
  std::string Text(std::size_t shortest, std::size_t longest) {
    std::string text;
    for (std::size_t n = shortest + Next() % (longest - shortest + 1); n > 0; --n) {
      text += alphabet_[Next() % alphabet_.size()];
    }
    return text;
  }

 private:
  std::uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 16;
  }
  std::string alphabet_;
  std::uint32_t state_ = 12345;
};

TEST(KeywordMatchTest, LettersFoldOnEveryByteAndOnlyCharacterStartsAreTried) {
  EXPECT_TRUE(KeywordMatches("xABCx", "abc"));
  EXPECT_TRUE(KeywordMatches("xabcx", "ABC"));
  EXPECT_TRUE(KeywordMatches(Gbk("今天买菜"), Gbk("买菜")));
  EXPECT_TRUE(KeywordMatches("abc", "abc")) << "the keyword fills the text";
  EXPECT_FALSE(KeywordMatches("ab", "abc"));
  EXPECT_FALSE(KeywordMatches("a[c", "a{c")) << "only letters fold";
  // 中文 is D6 D0 CE C4: D0 CE straddles the two characters.
  EXPECT_FALSE(KeywordMatches(Gbk("中文"), "\xD0\xCE"));
  // The trail byte 0x61 ('a') of a double-byte character is no character start.
  EXPECT_FALSE(KeywordMatches("\xB0\x61", "a"));
  EXPECT_FALSE(KeywordMatches("\xB0\x61" "b", "ab"));
  EXPECT_TRUE(KeywordMatches("\xB0\x61" "ab", "ab"));
  // Folding reaches the trail byte: 81 41 and 81 61 count as one character.
  EXPECT_TRUE(KeywordMatches("x\x81\x41", "\x81\x61"));
  // A lead byte at the very end is tried when enough bytes remain, and ends
  // the scan.
  EXPECT_TRUE(KeywordMatches("a\xB0", "\xB0"));
  EXPECT_FALSE(KeywordMatches("a\xB0", "\xB0\xA1"));
  EXPECT_FALSE(KeywordMatches("a\xB0", "\xB0" "a"));
}

TEST(KeywordMatchTest, AnEmptyKeywordMatchesEveryTextThatIsNotEmpty) {
  EXPECT_TRUE(KeywordMatches("x", ""));
  EXPECT_TRUE(KeywordMatches(Gbk("中"), ""));
  EXPECT_FALSE(KeywordMatches("", ""));
  EXPECT_FALSE(KeywordMatches("", "a"));
}

// The rule stepped out character by character, against the matcher on texts
// of mixed single bytes, lead bytes and trail bytes in both halves.
TEST(KeywordMatchTest, AgreesWithACharacterByCharacterScanOnRandomText) {
  auto stepped = [](std::string_view text, std::string_view keyword) {
    auto fold = [](unsigned char b) { return b >= 'A' && b <= 'Z' ? b + 32 : b; };
    if (keyword.empty()) return !text.empty();
    for (std::size_t i = 0; i + keyword.size() <= text.size();) {
      std::size_t j = 0;
      while (j < keyword.size() && fold(text[i + j]) == fold(keyword[j])) ++j;
      if (j == keyword.size()) return true;
      i += static_cast<unsigned char>(text[i]) < 0x80 ? 1 : 2;
    }
    return false;
  };
  RandomText random("aAbB[\x81\xB0\xC1\xFE");
  int matches = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = random.Text(0, 11);
    const std::string keyword = random.Text(1, 3);
    const bool expected = stepped(text, keyword);
    matches += expected;
    ASSERT_EQ(KeywordMatches(text, keyword), expected) << ::testing::PrintToString(text) << " / "
                                                       << ::testing::PrintToString(keyword);
  }
  EXPECT_GT(matches, 1000) << "the texts must match often enough to test anything";
}

// The scan over many texts end to end finds the texts the match finds: texts
// long and short (a step takes 32 bytes), keywords meeting at the ends
// of texts, letters in either case at both ends of the keyword.
TEST(KeywordMatchTest, TheScanOverTextsEndToEndFindsWhatTheMatchFinds) {
  RandomText random("aAbB[{\x81\xB0\xC1\xFE");
  int matches = 0;
  for (int round = 0; round < 2000; ++round) {
    const std::string keyword = random.Text(0, 3);
    std::string bytes;
    std::vector<uint32_t> ends;
    std::vector<std::size_t> expected, found;
    for (int i = 0; i < 20; ++i) {
      const std::size_t begin = bytes.size();
      bytes += random.Text(0, i % 5 == 0 ? 69 : 8);
      ends.push_back(static_cast<uint32_t>(bytes.size()));
      if (KeywordMatches(std::string_view(bytes).substr(begin), keyword)) expected.push_back(ends.size() - 1);
    }
    const KeywordScan scan(keyword);
    scan.Scan(bytes, ends, 0, ends.size(), [&](std::size_t i) { found.push_back(i); });
    ASSERT_EQ(found, expected) << ::testing::PrintToString(keyword) << " in " << ::testing::PrintToString(bytes);
    matches += static_cast<int>(expected.size());

    // A run of the texts alone, as the search scans those whose signatures
    // may hold the keyword; a text that holds it always may.
    const std::size_t first = static_cast<std::size_t>(round) % ends.size();
    const std::size_t last = std::min(ends.size(), first + 1 + static_cast<std::size_t>(round) % 7);
    std::vector<std::size_t> expected_in_run, found_in_run;
    for (std::size_t i : expected) {
      if (i >= first && i < last) expected_in_run.push_back(i);
      const std::size_t begin = i == 0 ? 0 : ends[i - 1];
      ASSERT_TRUE(PairSignature::Of(std::string_view(bytes).substr(begin, ends[i] - begin))
                      .Covers(PairSignature::Of(keyword)));
    }
    scan.Scan(bytes, ends, first, last, [&](std::size_t i) { found_in_run.push_back(i); });
    ASSERT_EQ(found_in_run, expected_in_run) << "texts " << first << " to " << last;
  }
  EXPECT_GT(matches, 5000) << "the texts must match often enough to test anything";
}

class KeywordSearchTest : public testing::SearchPanelTest {
 protected:
  // The user types the keyword (UTF-8) into the box, then clicks into the list.
  void ChangeKeywordThenFocusTheList(std::string_view utf8) {
    c().搜索内容编辑框.SetFocus();
    c().搜索内容编辑框.SetText(Gbk(utf8));
    c().搜索结果列表框.SetFocus();
    Settle();
  }
};

TEST_F(KeywordSearchTest, MatchesAreListedInTheListsTextOrderWithCaptionAndCount) {
  Seed({{EncodeDate(2011, 5, 3), "xABCx"},
        {EncodeDate(2011, 1, 1), "abc"},
        {EncodeDate(2011, 4, 4), "ab c"},
        {EncodeDate(2011, 3, 15), "买菜 Abc"},
        {EncodeDate(2011, 10, 1), "zabc"},
        {EncodeDate(2011, 9, 1), "abcd"}});
  Start();
  OpenSidePanels();
  EXPECT_EQ(Caption(), "包含关键词的日期有：");
  SearchFor("abc");
  EXPECT_EQ(Results(), (Strings{"2011年10月1日", "2011年1月1日", "2011年3月15日", "2011年5月3日", "2011年9月1日"}));
  EXPECT_EQ(Caption(), "包含以上关键词的备忘日期有：");
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有5天");
  SearchFor("买菜");
  EXPECT_EQ(Results(), Strings{"2011年3月15日"}) << "a new search replaces the list";
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有1天");
}

TEST_F(KeywordSearchTest, ReturnInTheKeywordBoxSearchesAndTypesNothing) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}});
  Start();
  OpenSidePanels();
  c().搜索内容编辑框.SetFocus();
  windows().TypeText("ab");
  windows().PressKey(keys::kReturn, kKeyStateShift);
  Settle();
  EXPECT_EQ(Results(), Strings{}) << "only a plain Return searches";
  windows().PressKey(keys::kReturn);
  Settle();
  EXPECT_EQ(Results(), Strings{"2011年5月3日"});
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有1天");
  EXPECT_EQ(c().搜索内容编辑框.text(), "ab");
}

TEST_F(KeywordSearchTest, NoMatchAStraddlingKeywordAndAnEmptyStoreListTheHintWithCountZero) {
  Seed({{EncodeDate(2011, 5, 3), "中文"}});
  Start();
  OpenSidePanels();
  SearchFor("xyz");
  EXPECT_EQ(Results(), Strings{"没有符合条件的日期"});
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有0天");
  c().搜索内容编辑框.SetText("\xD0\xCE");
  ClickCentre(c().搜索按钮);
  EXPECT_EQ(Results(), Strings{"没有符合条件的日期"});
  SearchFor("文");
  EXPECT_EQ(Results(), Strings{"2011年5月3日"});
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有1天");

  book().store().ClearAllMemos();
  SearchFor("文");
  EXPECT_EQ(Results(), Strings{"没有符合条件的日期"});
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有0天");
}

TEST_F(KeywordSearchTest, AnEmptyKeywordEmptiesTheListAndChangesOnlyTheCaption) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}});
  Start();
  OpenSidePanels();
  SearchFor("abc");
  ASSERT_EQ(Results(), Strings{"2011年5月3日"});
  c().搜索面板状态栏标签.SetText(Gbk("之前的话"));
  SearchFor("");
  EXPECT_EQ(Results(), Strings{});
  EXPECT_EQ(SideStatus(), "之前的话");
  EXPECT_EQ(Caption(), "包含以上关键词的备忘日期有：");
}

TEST_F(KeywordSearchTest, AnUnsavedEditIsNotSearchedWhateverTheKeyword) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}});
  Start();
  OpenSidePanels();
  ClickCentre(c().编辑按钮);
  windows().TypeText("abc");
  for (std::string_view keyword : {"abc", ""}) {
    SearchFor(keyword);
    EXPECT_EQ(Results(), Strings{"先保存数据，再搜索吧"}) << keyword;
    EXPECT_EQ(SideStatus(), "先保存当前备忘，再进行搜索吧");
    EXPECT_EQ(Caption(), "包含以上关键词的备忘日期有：");
  }
  EXPECT_EQ(EditorText(), "abc") << "the edit stays";
  ClickCentre(c().保存按钮);
  Settle();
  SearchFor("abc");
  EXPECT_EQ(Results(), (Strings{"2011年5月17日", "2011年5月3日"})) << "saved, today's memo is found too";
}

TEST_F(KeywordSearchTest, TheListRecountsAgainstTheKeywordBoxWhenItGetsTheFocus) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}, {EncodeDate(2011, 5, 4), "abd"}, {EncodeDate(2011, 5, 5), ""}});
  Start();
  OpenSidePanels();
  SearchFor("abc");
  c().搜索面板状态栏标签.SetText("x");
  c().搜索结果列表框.SetFocus();
  Settle();
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有1天") << "the box unchanged, the same count";

  ChangeKeywordThenFocusTheList("ab");
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有2天");
  EXPECT_EQ(Results(), Strings{"2011年5月3日"}) << "the list keeps the last search";

  ChangeKeywordThenFocusTheList("");
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有2天") << "every memo that is not empty";
}

TEST_F(KeywordSearchTest, TheRecountReplacesAHintInTheStatusAndFillsAnEmptyList) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}});
  Start();
  OpenSidePanels();
  ChangeKeywordThenFocusTheList("abc");
  EXPECT_EQ(Results(), Strings{"没有符合条件的日期"}) << "never searched: the no-match hint";
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有1天");

  ClickCentre(c().编辑按钮);
  SearchFor("abc");
  ASSERT_EQ(SideStatus(), "先保存当前备忘，再进行搜索吧");
  ChangeKeywordThenFocusTheList("abc");
  EXPECT_EQ(SideStatus(), "包含该关键词的备忘共有1天");
  EXPECT_EQ(Results(), Strings{"先保存数据，再搜索吧"});
}

// Tab reaches the results list behind the closed panels: nothing is written
// there. Once the panels are open, the first Down picks the first result.
TEST_F(KeywordSearchTest, TheClosedListGetsNoHintAndTheFirstDownPicksTheFirstResult) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}, {EncodeDate(2011, 5, 4), "abd"}});
  Start();
  const std::string month_count = SideStatus();
  c().搜索结果列表框.SetFocus();
  Settle();
  EXPECT_EQ(Results(), Strings{});
  EXPECT_EQ(SideStatus(), month_count);

  OpenSidePanels();
  SearchFor("ab");
  c().搜索结果列表框.SetFocus();
  windows().PressKey(keys::kDown);
  Settle();
  EXPECT_EQ(c().搜索结果列表框.selection(), 0);
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 3}));
  windows().PressKey(keys::kDown);
  Settle();
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 4}));
}

TEST_F(KeywordSearchTest, PickingAResultShowsThatDaysMemo) {
  Seed({{EncodeDate(2010, 12, 24), "平安夜 abc"}, {EncodeDate(2011, 5, 3), "abc"}});
  Start();
  OpenSidePanels();
  SearchFor("平安");
  ListBox& list = c().搜索结果列表框;
  ASSERT_EQ(Results(), Strings{"2010年12月24日"});
  Click(list, {10, 5});
  Settle();
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2010, 12, 24}));
  EXPECT_EQ(EditorText(), "平安夜 abc");
  EXPECT_EQ(MonthListItems(), Strings{"2010年12月24日"});
}

// A record that cannot be read (a failing disk read while the caches are
// cold, as after the store was opened) counts as empty; the records after it
// are still searched, by the search and by the recount.
TEST_F(KeywordSearchTest, AnUnreadableRecordCountsAsEmptyAndTheRestAreStillSearched) {
  constexpr int kMemos = 3000;  // the main file spans several cache pages
  {
    DatabaseEngine engine;
    engine.SetDurableWrites(false);
    MemoStore store(engine, folder_);
    store.CreateMemoDatabase();
    ASSERT_TRUE(store.OpenMemoDatabase());
    for (int i = 0; i < kMemos; ++i) ASSERT_TRUE(store.AppendMemo(EncodeDate(2000, 1, 1) + i, "memo"));
  }
  Start();
  OpenSidePanels();
  const std::string all = "包含该关键词的备忘共有" + std::to_string(kMemos) + "天";
  const std::string all_but_one = "包含该关键词的备忘共有" + std::to_string(kMemos - 1) + "天";
  int failures = 0;
  // The first read is the record count's, without which nothing is walked.
  for (int n = 2;; ++n) {
    book().store().CloseMemoDatabase();
    ASSERT_TRUE(book().store().OpenMemoDatabase());
    c().搜索内容编辑框.SetText("memo");
    faults_.FailNth(FaultFileSystem::Operation::kRead, n);
    ClickCentre(c().搜索按钮);
    Settle();
    if (!faults_.fired()) break;
    ++failures;
    EXPECT_EQ(SideStatus(), all_but_one) << "read " << n;
    EXPECT_EQ(c().搜索结果列表框.Count(), kMemos - 1) << "read " << n;
    faults_.FailNth(FaultFileSystem::Operation::kRead, n);
    c().搜索结果列表框.SetFocus();
    Settle();
    if (faults_.fired()) {
      EXPECT_EQ(SideStatus(), all_but_one) << "recount, read " << n;
    }
    faults_.Disarm();
    c().搜索内容编辑框.SetFocus();
  }
  EXPECT_GT(failures, 1);
  EXPECT_EQ(SideStatus(), all) << "nothing failing, every memo found";
}

}  // namespace
}  // namespace tarnwick
