#include "search/text_export.h"

#include "base/text.h"
#include "ui/message_box.h"

namespace tarnwick {
namespace {

std::string ErrorTitle() { return Gbk("出现错误："); }

}  // namespace

TextExport::TextExport(MemoBook& book) : book_(book), c_(book.controls()) {
  MainWindowHandlers& h = book.main_window().handlers();
  h.ExportAllClicked = [this] { ExportAll(); };
  h.ExportListedClicked = [this] { ExportListed(); };
}

std::unique_ptr<ExportFile> TextExport::ChooseFile() {
  CommonDlg& dialog = c_.通用对话框;
  dialog.SetProperty(CommonDlg::kKind, 1);
  dialog.SetProperty(CommonDlg::kFilter, Gbk("文本文件(.txt)|txt"));
  dialog.SetProperty(CommonDlg::kDefaultExtension, std::string("txt"));
  if (!dialog.Show()) {
    c_.搜索面板状态栏标签.SetText(Gbk("请输入一个导出文件名！"));
    return nullptr;
  }
  const std::string path = dialog.file_name();
  std::unique_ptr<ExportFile> file = ExportFile::Open(book_.store().engine().file_system(), path);
  if (file == nullptr) ShowMessage(book_.platform(), Gbk("导出文件无法打开：\r\n") + path, ErrorTitle());
  return file;
}

void TextExport::WriteEntry(ExportFile& file) {
  MemoStore& store = book_.store();
  const DateTime date = store.ReadMemoDate();
  if (LastErrorCode() != error::kOk) complete_ = false;
  const std::string text = store.ReadMemoText();
  if (LastErrorCode() != error::kOk) complete_ = false;
  file.Write(date, text);
}

void TextExport::Finish(ExportFile& file, const std::string& done_message) {
  const bool complete = complete_;
  complete_ = true;
  if (file.Close() && complete) {
    ShowMessage(book_.platform(), done_message);
  } else {
    ShowMessage(book_.platform(), Gbk("导出文件写入失败，内容不完整：\r\n") + c_.通用对话框.file_name(), ErrorTitle());
  }
}

void TextExport::ProcessPendingEvents() { book_.platform().loop().ProcessPendingEvents(); }

void TextExport::ExportAll() {
  MemoStore& store = book_.store();
  if (store.MemoCount() == 0) {
    c_.搜索面板状态栏标签.SetText(Gbk("没有记录，无需导出"));
    return;
  }
  std::unique_ptr<ExportFile> file = ChooseFile();
  if (file == nullptr) return;
  DatabaseEngine& engine = store.engine();
  store.GoFirstMemo();
  for (int n = store.MemoCount(); n > 0; --n) {
    WriteEntry(*file);
    if (!store.NextMemo()) complete_ = false;
    const int position = engine.CurrentPosition();
    ProcessPendingEvents();
    // A day picked meanwhile looks its record up; the walk goes on from
    // where it was.
    if (engine.CurrentPosition() != position && position >= 0) {
      store.GoFirstMemo();
      engine.Skip(position);
    }
  }
  Finish(*file, Gbk("数据库导出完毕！"));
}

void TextExport::ExportListed() {
  ListBox& list = c_.搜索结果列表框;
  if (list.Count() == 0) {
    c_.搜索面板状态栏标签.SetText(Gbk("没有搜索结果，无需导出"));
    return;
  }
  std::unique_ptr<ExportFile> file = ChooseFile();
  if (file == nullptr) return;
  MemoStore& store = book_.store();
  const int items = list.Count();
  for (int i = 0; i < items; ++i) {
    const std::string item = list.ItemText(i);
    store.GoFirstMemo();
    if (store.engine().SearchForward([&] { return DateText(store.ReadMemoDate()) == item; })) WriteEntry(*file);
    ProcessPendingEvents();
  }
  Finish(*file, Gbk("符合条件记录导出完毕！"));
}

}  // namespace tarnwick
