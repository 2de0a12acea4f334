#include "protect/password_settings.h"

#include "base/secret.h"
#include "base/text.h"
#include "memo/backup_taker.h"
#include "memo/idle_work.h"
#include "ui/message_box.h"

namespace tarnwick {

PasswordSettings::PasswordSettings(MemoBook& book) : book_(book), c_(book.controls()) {
  book.main_window().handlers().PasswordCheckBoxClicked = [this] { CheckBoxClicked(); };
}

void PasswordSettings::Message(const std::string& text, const std::string& title) {
  ShowMessage(book_.platform(), text, title);
}

void PasswordSettings::CheckBoxClicked() {
  if (book_.Editing()) {
    Message(Gbk("请先保存数据再设置密码！"), Gbk("注意"));
    return;
  }
  // The open store stays open until the new password is given: a cancelled
  // or wrong answer changes nothing. A closed one (the program locked, or a
  // start-up that could not open it) is opened with the answers.
  if (book_.store().IsDatabaseProtected()) {
    ChangeOrRemovePassword();
  } else {
    SetPassword();
  }
}

void PasswordSettings::SetPassword() {
  MemoStore& store = book_.store();
  if (!store.IsOpen() && !store.OpenMemoDatabase()) {
    Message(Gbk("打开数据库失败，请检查数据库文件是否存在？"), Gbk("出现错误："));
    return;
  }
  const SecretText password = AskText(book_.platform(), Gbk("输入新密码"), Gbk("请输入新的密码："), false);
  if (password.empty()) {
    // Nothing to set: the store stays open and plain, and the box shows so.
    c_.密码设置选择框.SetChecked(false);
    return;
  }
  if (!book_.backups().BeforeChange(BackupReason::kPassword)) return;
  if (!store.SetDatabasePassword(password.view())) {
    book_.backups().PasswordKept();
    Message(Gbk("加密失败"));
    KeepStoreOpen(std::nullopt);
    return;
  }
  book_.backups().PasswordChanged({}, password.view());
  Message(Gbk("加密成功，请重新输入密码进入软件"));
  store.CloseMemoDatabase();
  c_.DockStrip.SetVisible(false);
  c_.主窗口.SetVisible(true);
  // As at a locked start-up: should the unlock that follows fail or be
  // cancelled, 超级按钮1 still offers it. Going to today unlocks first.
  book_.EnterLockMode();
  book_.GoToToday();
}

// Reached by Tab while the program is still locked, the sequence leaves it
// locked with the store closed, so 解锁程序 can open it: with the new
// password after a change, with the old one otherwise.
void PasswordSettings::ChangeOrRemovePassword() {
  MemoStore& store = book_.store();
  const bool locked = book_.Locked();
  const SecretText old_password = AskText(book_.platform(), Gbk("验证原密码"), Gbk("请先输入原来的密码："), true);
  const bool right = !old_password.empty() && (store.IsOpen() ? store.IsDatabasePassword(old_password.view())
                                                               : store.OpenMemoDatabase(old_password.view()));
  if (!right) {
    Message(Gbk("打开数据库失败，可能密码有误，请重新输入"));
    return;
  }
  const std::optional<SecretText> replacement = AskReplacement();
  if (replacement && !book_.backups().BeforeChange(BackupReason::kPassword)) {
    if (locked) store.CloseMemoDatabase();
    return;
  }
  const bool set = replacement && store.SetDatabasePassword(replacement->view());
  if (!set) {
    if (replacement) {
      book_.backups().PasswordKept();
      Message(Gbk("加密失败"));
      KeepStoreOpen(old_password.view());
    }
    if (locked) store.CloseMemoDatabase();
    return;
  }
  book_.backups().PasswordChanged(old_password.view(), replacement->view());
  Message(Gbk("重置密码成功"));
  book_.status().SetTextColor(kBlack);
  book_.status().ShowCurrentCount();
  c_.DockStrip.SetVisible(false);
  c_.主窗口.SetVisible(true);
  book_.ShowMemoOf(book_.Now());
  if (locked) {
    store.CloseMemoDatabase();
  } else {
    book_.idle_work().Begin();  // the re-key dropped the search's copy of the memos
  }
  book_.GoToToday();
}

// A re-key whose undo failed too leaves the store closed, its files to be
// settled by the next open: it is opened again with the password it had, or
// the program says the store is closed and locks, offering the unlock.
void PasswordSettings::KeepStoreOpen(std::optional<std::string_view> password) {
  MemoStore& store = book_.store();
  if (store.IsOpen() || store.OpenMemoDatabase(password)) {
    // The re-key dropped the search's copy of the memos; a locked program
    // closes the store again at once.
    if (!book_.Locked()) book_.idle_work().Begin();
    return;
  }
  Message(Gbk("备忘数据库已关闭，现在不能保存备忘。\r\n请点击“解锁程序”重新打开，或者关闭本程序后重新启动。"),
          Gbk("出现错误："));
  book_.EnterLockMode();
}

std::optional<SecretText> PasswordSettings::AskReplacement() {
  const std::string title = Gbk("重置密码");
  SecretText first = AskText(book_.platform(), title,
                              Gbk("请输入新密码：\r\n注意：如果您是想取消密码，\r\n请不要输入任何字符并直接回车即可"), true);
  // Removing the password locks nobody out; a new one is typed twice.
  if (first.empty()) return std::optional<SecretText>(std::move(first));
  if (first != AskText(book_.platform(), title, Gbk("请再次输入新密码："), true)) {
    Message(Gbk("两次输入的新密码不一致，密码没有改变"));
    return std::nullopt;
  }
  return std::optional<SecretText>(std::move(first));
}

}  // namespace tarnwick
