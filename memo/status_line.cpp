#include "memo/status_line.h"

#include "base/text.h"

namespace tarnwick {

std::string StatusLine::CountText(std::string_view prefix) {
  return Gbk(prefix) + std::to_string(store_.MemoCount()) + Gbk("条记录");
}

void StatusLine::Show(std::string text, Color background) {
  label_.SetBackground(background);
  label_.SetText(std::move(text));
}

void StatusLine::ShowDatabaseCount() { Show(CountText("选择某个日期并查看当日备忘|当前数据库内共有"), kTeal); }

void StatusLine::ShowCurrentCount() { label_.SetText(CountText("选择某个日期并查看当日备忘|当前有")); }

void StatusLine::ShowReturnCount() { Show(CountText("选择日期或编辑当日备忘|当前有"), kTeal); }

void StatusLine::ShowEditing() { Show(Gbk("编辑完毕后，不要忘记保存哦~"), kTeal); }

void StatusLine::ShowSaved() { Show(Gbk("当前编辑内容已保存"), kTeal); }

void StatusLine::ShowUnsavedWarning() {
  Show(Gbk("注意：信息尚未保存，请点击<保存>按钮后再进行其他操作！"), kYellow);
}

void StatusLine::ShowDailyBackupFailed() {
  Show(Gbk("注意：今日的自动备份未能完成，请检查磁盘空间或文件夹权限"), kYellow);
}

void StatusLine::ShowNotSavedYet() { label_.SetText(Gbk("还没保存呢")); }

}  // namespace tarnwick
