#include "search/text_export.h"

#include <optional>
#include <unordered_map>

#include "base/text.h"
#include "search/export_target.h"
#include "search/keyword_search.h"
#include "ui/message_box.h"

namespace tarnwick {
namespace {

std::string ErrorTitle() { return Gbk("出现错误："); }

}  // namespace

class TextExport::Running {
 public:
  explicit Running(TextExport& owner) : owner_(owner) {
    owner_.running_ = true;
    owner_.search_.SetExportRunning(true);
  }
  ~Running() {
    owner_.running_ = false;
    owner_.search_.SetExportRunning(false);
  }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  TextExport& owner_;
};

TextExport::TextExport(MemoBook& book, KeywordSearch& search) : book_(book), search_(search), c_(book.controls()) {
  MainWindowHandlers& h = book.main_window().handlers();
  h.ExportAllClicked = [this] { ExportAll(); };
  h.ExportListedClicked = [this] { ExportListed(); };
}

std::unique_ptr<ExportFile> TextExport::ChooseFile() {
  CommonDlg& dialog = c_.通用对话框;
  dialog.SetProperty(CommonDlg::kKind, 1);
  dialog.SetProperty(CommonDlg::kFilter, Gbk("文本文件(.txt)|*.txt"));
  dialog.SetProperty(CommonDlg::kDefaultExtension, std::string("txt"));
  if (!dialog.Show()) {
    c_.搜索面板状态栏标签.SetText(Gbk("请输入一个导出文件名！"));
    return nullptr;
  }
  const std::string path = dialog.file_name();
  if (WouldOverwriteTheStore(book_.store(), path)) {
    ShowMessage(book_.platform(),
                Gbk("此文件属于备忘数据库（memo.edb、memo.EDT）或其备份，不能用作导出文件，请另选一个文件名：\r\n") + path,
                ErrorTitle());
    return nullptr;
  }
  std::unique_ptr<ExportFile> file = ExportFile::Open(book_.store().engine().file_system(), path);
  if (file == nullptr) ShowMessage(book_.platform(), Gbk("导出文件无法打开：\r\n") + path, ErrorTitle());
  return file;
}

std::vector<std::string> TextExport::ListedDates() const {
  const ListBox& list = c_.搜索结果列表框;
  std::vector<std::string> dates;
  for (int i = 0; i < list.Count(); ++i) {
    std::string item = list.ItemText(i);
    if (item != SaveFirstHint() && item != NoMatchHint()) dates.push_back(std::move(item));
  }
  return dates;
}

void TextExport::Finish(ExportFile& file, bool every_memo, const std::string& done_message) {
  const std::string& path = c_.通用对话框.file_name();
  if (!file.Close()) {
    ShowMessage(book_.platform(), Gbk("导出文件写入失败，内容不完整：\r\n") + path, ErrorTitle());
  } else if (!every_memo) {
    ShowMessage(book_.platform(), Gbk("有备忘未能导出，导出文件内容不完整：\r\n") + path, ErrorTitle());
  } else {
    ShowMessage(book_.platform(), done_message);
  }
}

void TextExport::ProcessPendingEvents() { book_.platform().loop().ProcessPendingEvents(); }

void TextExport::ExportAll() {
  if (running_) return;
  MemoStore& store = book_.store();
  if (store.MemoCount() == 0) {
    c_.搜索面板状态栏标签.SetText(Gbk("没有记录，无需导出"));
    return;
  }
  Running running(*this);
  std::unique_ptr<ExportFile> file = ChooseFile();
  if (file == nullptr) return;
  MemoWalk walk = store.WalkMemos();
  while (!walk.done()) {
    walk.Continue([&](const WalkedMemo& memo) {
      if (memo.readable) file->Write(memo.date, memo.text);
      return false;
    });
    ProcessPendingEvents();
  }
  Finish(*file, walk.whole(), Gbk("数据库导出完毕！"));
}

// One walk finds the first record of each listed date; the entries are then
// written in list order.
void TextExport::ExportListed() {
  if (running_) return;
  const std::vector<std::string> dates = ListedDates();
  if (dates.empty()) {
    c_.搜索面板状态栏标签.SetText(Gbk("没有搜索结果，无需导出"));
    return;
  }
  Running running(*this);
  std::unique_ptr<ExportFile> file = ChooseFile();
  if (file == nullptr) return;
  std::unordered_map<std::string, std::optional<WalkedMemo>> found;
  for (const std::string& date : dates) found.emplace(date, std::nullopt);
  std::size_t missing = found.size();
  MemoWalk walk = book_.store().WalkMemos();
  walk.Continue([&](const WalkedMemo& memo) {
    if (!memo.readable) return true;
    auto entry = found.find(DateText(memo.date));
    if (entry != found.end() && !entry->second) {
      entry->second = memo;
      --missing;
    }
    return missing > 0;
  });
  for (const std::string& date : dates) {
    const std::optional<WalkedMemo>& memo = found[date];
    if (memo) file->Write(memo->date, memo->text);
    ProcessPendingEvents();
  }
  Finish(*file, missing == 0, Gbk("符合条件记录导出完毕！"));
}

}  // namespace tarnwick
