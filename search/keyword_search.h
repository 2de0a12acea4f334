// The keyword search panel: 搜索按钮 lists in 搜索结果列表框 the date of every
// memo that contains the keyword of 搜索内容编辑框, and 搜索面板状态栏标签
// reports how many there are; when the results list gets the focus, the
// matches are counted again against the keyword box as it is then. The jump
// from a listed date belongs to the month overview.
//
// Promises:
// - A search reads the memos in file order from the store's copy of them in
//   memory, skipping those whose signature of byte pairs shows they cannot
//   hold the keyword; there is no index of words.
//   The list sorts its items itself, as text.
// - While the day view holds an unsaved edit, a search lists only a hint.
// - A search never runs inside an export: it waits for the export's end.
// - Failures of the store are not reported: an unreadable memo reads as
//   empty and the memos after it are still searched; no open store counts
//   as no match.
#pragma once

#include <string>
#include <string_view>

#include "memo/memo_book.h"

namespace tarnwick {

// Whether keyword occurs in text at the start of a character (a byte below
// 0x80 is a character; a byte from 0x80 leads a two-byte character), the
// letters A-Z and a-z counting as equal on every byte compared. An empty
// keyword occurs in every text that is not empty. Both are GBK.
bool KeywordMatches(std::string_view text, std::string_view keyword);

// The list's hint items (GBK).
const std::string& SaveFirstHint();
const std::string& NoMatchHint();

class KeywordSearch {
 public:
  explicit KeywordSearch(MemoBook& book);

  void Search();
  void Recount();
  // While an export runs, a search or recount asked for waits, and runs
  // when the export has ended.
  void SetExportRunning(bool running);

 private:
  // Walks every record; each match adds 1 and, with list, its date text.
  int CountMatches(const std::string& keyword, ListBox* list);
  void ShowCount(int count);

  MemoBook& book_;
  const MainWindowControls& c_;
  bool export_running_ = false;
  bool search_waiting_ = false;
  bool recount_waiting_ = false;
};

}  // namespace tarnwick
