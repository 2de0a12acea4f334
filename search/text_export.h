// The two exports of the search panel: 导出全库按钮 writes every memo and
// 导出以上按钮 the memos of the dates listed in 搜索结果列表框, to a text file
// the user names in the save dialog (通用对话框). 搜索面板状态栏标签 says why nothing
// was exported; a message box says when it is done or what failed.
//
// Promises:
// - Entries follow the record order (export all) or the list order (export
//   listed); the list's hint items are no dates and write nothing, and a list
//   of hints only counts as empty.
// - The window processes its pending events after each entry; the walk
//   keeps its place even when a handler moves the store's current record
//   meanwhile. No export starts inside another (the click is refused), and
//   a search asked for meanwhile waits for the export's end.
// - The store's own files and its backups' are never chosen as the export
//   file, by whatever name they are reached.
// - A file that cannot be opened or written, or a memo left out because it
//   could not be read, is reported, naming the file, instead of the
//   completion message.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "memo/memo_book.h"
#include "search/export_file.h"
#include "search/keyword_search.h"

namespace tarnwick {

class TextExport {
 public:
  // search waits while an export runs.
  TextExport(MemoBook& book, KeywordSearch& search);

  void ExportAll();
  void ExportListed();

 private:
  // Marks an export as running, for as long as it lives.
  class Running;

  // The save dialog; the opened file, or nullptr after a cancel (said in the
  // status line), a store file chosen or a failed open (said in a message box).
  std::unique_ptr<ExportFile> ChooseFile();
  // The listed items that are dates, in list order.
  std::vector<std::string> ListedDates() const;
  // Closes the file and tells the user how it went: a failed write or a
  // memo left out is a failure, never a completion.
  void Finish(ExportFile& file, bool every_memo, const std::string& done_message);
  void ProcessPendingEvents();

  MemoBook& book_;
  KeywordSearch& search_;
  const MainWindowControls& c_;
  bool running_ = false;
};

}  // namespace tarnwick
