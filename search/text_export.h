// The two exports of the search panel: 导出全库按钮 writes every memo and
// 导出以上按钮 the memos of the dates listed in 搜索结果列表框, to a text file
// the user names in the save dialog (通用对话框). 搜索面板状态栏标签 says why nothing
// was exported; a message box says when it is done or what failed.
//
// Promises:
// - Entries follow the record order (export all) or the list order (export
//   listed); a list item that is not the date text of a record (a hint)
//   writes nothing.
// - The window processes its pending events after each entry; the walk
//   keeps its place even when a handler moves the store's current record
//   meanwhile.
// - A file that cannot be opened or written is reported, naming it, instead
//   of the completion message.
#pragma once

#include <optional>
#include <string>

#include "memo/memo_book.h"
#include "search/export_file.h"

namespace tarnwick {

class TextExport {
 public:
  explicit TextExport(MemoBook& book);

  void ExportAll();
  void ExportListed();

 private:
  // The save dialog; the opened file, or nullptr after a cancel (said in the
  // status line) or a failed open (said in a message box).
  std::unique_ptr<ExportFile> ChooseFile();
  // The current record's entry; a record that cannot be read leaves the
  // export incomplete.
  void WriteEntry(ExportFile& file);
  // Closes the file and tells the user how it went: a failed write or a
  // record left out is a failure, never a completion.
  void Finish(ExportFile& file, const std::string& done_message);
  void ProcessPendingEvents();

  MemoBook& book_;
  const MainWindowControls& c_;
  // Cleared when the export leaves out what it should have written.
  bool complete_ = true;
};

}  // namespace tarnwick
