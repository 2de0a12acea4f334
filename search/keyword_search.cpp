#include "search/keyword_search.h"

#include <array>

#include "base/text.h"

namespace tarnwick {
namespace {

// Each byte with A-Z turned into a-z.
constexpr std::array<unsigned char, 256> FoldTable() {
  std::array<unsigned char, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
  return table;
}
constexpr std::array<unsigned char, 256> kFold = FoldTable();

}  // namespace

bool KeywordMatches(std::string_view text, std::string_view keyword) {
  if (keyword.empty()) return !text.empty();
  if (keyword.size() > text.size()) return false;
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  const auto* k = reinterpret_cast<const unsigned char*>(keyword.data());
  const std::size_t length = keyword.size();
  const std::size_t last = text.size() - length;
  const unsigned char first = kFold[k[0]];
  for (std::size_t i = 0; i <= last;) {
    const unsigned char b = t[i];
    if (kFold[b] == first) {
      std::size_t j = 1;
      while (j < length && kFold[t[i + j]] == kFold[k[j]]) ++j;
      if (j == length) return true;
    }
    i += b < 0x80 ? 1 : 2;
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
  h.SearchResultGotFocus = [this] { Recount(); };
}

void KeywordSearch::Search() {
  ListBox& list = c_.搜索结果列表框;
  list.Clear();
  c_.标签5.SetText(Gbk("包含以上关键词的备忘日期有："));
  if (!c_.保存按钮.disabled()) {
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
  const int count = CountMatches(c_.搜索内容编辑框.text(), nullptr);
  ListBox& list = c_.搜索结果列表框;
  if (list.Count() == 0) list.AddItem(NoMatchHint());
  ShowCount(count);
}

int KeywordSearch::CountMatches(const std::string& keyword, ListBox* list) {
  MemoStore& store = book_.store();
  store.GoFirstMemo();
  int count = 0;
  for (int n = store.MemoCount(); n > 0; --n) {
    if (KeywordMatches(store.ReadMemoText(), keyword)) {
      if (list != nullptr) list->AddItem(DateText(store.ReadMemoDate()));
      ++count;
    }
    store.NextMemo();
  }
  return count;
}

void KeywordSearch::ShowCount(int count) {
  c_.搜索面板状态栏标签.SetText(Gbk("包含该关键词的备忘共有") + std::to_string(count) + Gbk("天"));
}

}  // namespace tarnwick
