#include "search/keyword_search.h"

#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "base/text.h"
#include "search/keyword_search_scan.h"

namespace tarnwick {

// Candidates for the first byte are found by a byte search, not by stepping
// through every character; whether a candidate starts a character follows
// from the last byte below 0x80 before it: such a byte always ends a
// character (alone or as a trail byte), and from there on the bytes of 0x80
// and above pair up into characters.
bool KeywordMatches(std::string_view text, std::string_view keyword) {
  if (keyword.empty()) return !text.empty();
  if (keyword.size() > text.size()) return false;
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  const auto* k = reinterpret_cast<const unsigned char*>(keyword.data());
  const std::size_t length = keyword.size();
  const std::size_t last = text.size() - length;
  const unsigned char first = kEveryByteLetterFold[k[0]];
  const bool first_is_letter = first >= 'a' && first <= 'z';
  std::size_t run_start = 0;  // a character start; no byte below 0x80 in [run_start, scanned)
  std::size_t scanned = 0;
  for (std::size_t p = 0; p <= last; ++p) {
    if (first_is_letter) {
      while (p <= last && kEveryByteLetterFold[t[p]] != first) ++p;
      if (p > last) return false;
    } else {
      const void* hit = std::memchr(t + p, first, last - p + 1);
      if (hit == nullptr) return false;
      p = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - t);
    }
    std::size_t j = 1;
    while (j < length && kEveryByteLetterFold[t[p + j]] == kEveryByteLetterFold[k[j]]) ++j;
    if (j < length) continue;
    // Only a whole match asks where characters start, so runs of double-byte
    // text are scanned back once per match, not once per candidate byte.
    for (std::size_t i = p; i > scanned; --i) {
      if (t[i - 1] < 0x80) {
        run_start = i;
        break;
      }
    }
    scanned = p;
    if ((p - run_start) % 2 == 0) return true;
  }
  return false;
}

const std::string& SaveFirstHint() {
  static const std::string hint = Gbk("先保存数据，再搜索吧");
  return hint;
}

const std::string& NoMatchHint() {
  static const std::string hint = Gbk("没有符合条件的日期");
  return hint;
}

KeywordSearch::KeywordSearch(MemoBook& book) : book_(book), c_(book.controls()) {
  MainWindowHandlers& h = book.main_window().handlers();
  h.SearchClicked = [this] { Search(); };
  // Return in the keyword box searches, as a click on the search button does.
  h.KeywordKeyPressed = [this](int key_code, int key_state) {
    if (key_code != keys::kReturn || key_state != 0) return true;
    Search();
    return false;
  };
  h.SearchResultGotFocus = [this] { Recount(); };
}

void KeywordSearch::SetExportRunning(bool running) {
  export_running_ = running;
  if (running) return;
  if (search_waiting_) Search();
  if (recount_waiting_) Recount();
}

void KeywordSearch::Search() {
  if (export_running_) {
    search_waiting_ = true;
    return;
  }
  search_waiting_ = false;
  ListBox& list = c_.搜索结果列表框;
  list.Clear();
  c_.标签5.SetText(Gbk("包含以上关键词的备忘日期有："));
  if (book_.Editing()) {
    list.AddItem(SaveFirstHint());
    c_.搜索面板状态栏标签.SetText(Gbk("先保存当前备忘，再进行搜索吧"));
    return;
  }
  const std::string keyword = c_.搜索内容编辑框.text();
  if (keyword.empty()) return;
  const int count = CountMatches(keyword, &list);
  if (list.Count() == 0) list.AddItem(NoMatchHint());
  ShowCount(count);
}

void KeywordSearch::Recount() {
  if (export_running_) {
    recount_waiting_ = true;
    return;
  }
  recount_waiting_ = false;
  // The list is reached by Tab while the panels are closed too; unseen, it
  // gets no hint and the month's count line stays.
  if (!book_.main_window().SidePanelsShown()) return;
  const int count = CountMatches(c_.搜索内容编辑框.text(), nullptr);
  ListBox& list = c_.搜索结果列表框;
  if (list.Count() == 0) list.AddItem(NoMatchHint());
  ShowCount(count);
}

// An unreadable memo counts as empty; the rest are still searched.
int KeywordSearch::CountMatches(const std::string& keyword, ListBox* list) {
  int count = 0;
  auto match = [&](DateTime date) {
    if (list != nullptr) list->AddItem(DateText(date));
    ++count;
  };
  const MemoTexts* texts = book_.store().Texts();
  if (texts == nullptr) {
    book_.store().ForEachMemo([&](const WalkedMemo& memo) {
      if (KeywordMatches(memo.text, keyword)) match(memo.date);
    });
    return count;
  }
  const KeywordScan scan(keyword);
  const PairSignature wanted = PairSignature::Of(keyword);
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (const MemoTexts::Chunk& chunk : texts->chunks()) {
    // The runs of texts that may hold the keyword, their bytes asked for
    // ahead: they lie scattered, and each would otherwise wait on memory.
    runs.clear();
    auto may_hold = [&](std::size_t i) { return texts->Signature(chunk.first_record + static_cast<int>(i)).Covers(wanted); };
    for (std::size_t first = 0; first < chunk.ends.size();) {
      if (!may_hold(first)) {
        ++first;
        continue;
      }
      std::size_t last = first + 1;
      while (last < chunk.ends.size() && may_hold(last)) ++last;
      runs.emplace_back(first, last);
      for (std::size_t at = first == 0 ? 0 : chunk.ends[first - 1]; at < chunk.ends[last - 1]; at += 64) {
        __builtin_prefetch(chunk.bytes.data() + at);
      }
      first = last;
    }
    const auto found = [&](std::size_t i) { match(texts->Date(chunk.first_record + static_cast<int>(i))); };
    for (const auto& [first, last] : runs) scan.Scan(chunk.bytes, chunk.ends, first, last, found);
  }
  return count;
}

void KeywordSearch::ShowCount(int count) {
  c_.搜索面板状态栏标签.SetText(Gbk("包含该关键词的备忘共有") + std::to_string(count) + Gbk("天"));
}

}  // namespace tarnwick
