#include "memo/lifecycle.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>

#include "base/secret.h"
#include "base/text.h"
#include "memo/backup.h"
#include "memo/backup_taker.h"
#include "memo/failure_cause.h"
#include "memo/idle_work.h"
#include "memo/lone_store_file.h"
#include "tools/edbtool/engine_files.h"
#include "ui/message_box.h"

namespace tarnwick {
namespace {

std::string OpenFailedAtStartUp() {
  return Gbk("数据库打开失败，请检查数据库文件是否存在？或者重启计算机后再试一次");
}

Control& ControlNamed(MainWindow& window, std::string_view name) {
  Control* control = window.Find(name);
  if (control == nullptr) throw std::logic_error("the main window has no control " + std::string(name));
  return *control;
}

}  // namespace

Lifecycle::Lifecycle(MemoBook& book)
    : book_(book), c_(book.controls()), side_panel_toggle_(ControlNamed(book.main_window(), "搜索面板按钮")) {
  MainWindowHandlers& h = book.main_window().handlers();
  h.StartUp = [this] { StartUp(); };
  h.QueryShutDown = [this] { return QueryShutDown(); };
  h.HideIntoDockStrip = [this](bool to_other_program) {
    // The program's own message boxes and dialogs take the activation too;
    // the window hides only when the user turns to another program.
    if (to_other_program) HideIntoDockStrip();
  };
  h.ComeBackFromDockStrip = [this](int, int, int) { ComeBackFromDockStrip(); };
  book.store().engine().SetPasswordPromptHook(
      [this](const PasswordPromptRequest& request) { return AskPassword(request.retry_line); });
  book.platform().loop().SetSaveRequestHandler([this] { SaveBeforeTheSystemEnds(); });
  book.platform().loop().SetDisplayLostHandler([this] { DisplayLost(); });
}

Lifecycle::~Lifecycle() {
  book_.platform().loop().SetSaveRequestHandler({});
  book_.platform().loop().SetDisplayLostHandler({});
  if (listening_) book_.platform().shell().ListenForLaterCopies(CopyCallName(), {});
}

void Lifecycle::StartUp() {
  MemoStore& store = book_.store();
  const CivilDateTime today = DecodeDateTime(book_.Now());
  const bool protected_store = store.IsDatabaseProtected();
  if (store.HeldByAnotherProcess()) {
    EndAsSecondCopy();
    return;
  }
  TellOfRescueFiles();
  if (protected_store) {
    book_.EnterLockMode();
    c_.DockStrip.Load();
    c_.密码设置选择框.SetChecked(true);
    // The calendar is all a locked window shows: today's month, not the
    // date stored with the layout.
    c_.日历.calendar().SetDate(today.year, today.month, today.day);
    c_.日历.SetFocus();
    return;
  }
  c_.DockStrip.Load();
  c_.日历.calendar().SetDate(today.year, today.month, today.day);
  c_.主面板状态栏标签.SetBackground(kTeal);
  // Docked at the top edge, 300 pixels in from the right edge of the screen.
  Window& window = c_.主窗口;
  window.SetProperty(property::kTop, 0);
  window.SetProperty(property::kLeft,
                     book_.platform().loop().ScreenSize().width - window.outer_rect().width - 300);
  c_.日历.SetFocus();
  if (store.DatabaseFileExists() && !HoldsNoBytes(store.engine().file_system(), store.DatabasePath())) {
    OpenExistingStore();
  } else {
    CreateMissingStore();
  }
}

void Lifecycle::OpenExistingStore() {
  MemoStore& store = book_.store();
  if (!store.OpenMemoDatabase()) {
    if (store.HeldByAnotherProcess()) {
      EndAsSecondCopy();
      return;
    }
    const int code = LastErrorCode();
    if (code == error::kMemoFileOfAnotherDatabase) {
      ShowMessage(book_.platform(), MismatchedFilesText());
    } else if (code == error::kMemoFileReadFailed && MemoFileMissing()) {
      ShowMessage(book_.platform(), MemoFileMissingText());
    } else if (std::optional<std::string> damage;
               (CauseOf(code, true) == FailureCause::kDamaged || code == error::kMemoFileVersion) &&
               (damage = DamagedStoreText())) {
      ShowMessage(book_.platform(), *damage);
    } else if (code == error::kInvalidFile && LastErrorMessage() != ErrorMessage(code)) {
      // A link or special file where the store's own file should be: named.
      ShowMessage(book_.platform(), Gbk("数据库打开失败：") + LastErrorMessage());
    } else {
      ShowMessage(book_.platform(), OpenFailedAtStartUp());
    }
    return;
  }
  book_.status().ShowDatabaseCount();
  book_.ShowMemoOf(book_.Now());
  BeginHoldingTheStore();
}

bool Lifecycle::MemoFileMissing() {
  FileSystem& files = book_.store().engine().file_system();
  return !files.Exists(files.MatchNameIgnoringCase(book_.store().folder() + kPathSeparator + "memo.EDT"));
}

// memo.edb holds records whose texts were in the memo file: the store is
// damaged, and the engine left memo.edb as it was.
std::string Lifecycle::MemoFileMissingText() {
  const std::string& folder = book_.store().folder();
  std::string text = Gbk("备忘数据库已损坏：备忘内容文件 memo.EDT 不见了，memo.edb 中的备忘都无法读取。memo.edb 已原样保留。"
                         "\r\n请把 memo.EDT 放回数据文件夹：\r\n") +
                     folder;
  return text + NewestBackupHint();
}

// memo.EDT was made with another memo book (a copy put back from elsewhere,
// a restore cut short by hand): its texts would show under this one's dates.
std::string Lifecycle::MismatchedFilesText() {
  return Gbk("memo.edb 和 memo.EDT 来自两个不同的备忘录（两者的创建时间不同），不能一起打开；两个文件都留在数据文件夹中，没有删除。"
             "\r\n请把与 memo.edb 同属一个备忘录的 memo.EDT 放回数据文件夹：\r\n") +
         book_.store().folder() + NewestBackupHint();
}

std::string Lifecycle::NewestBackupHint() {
  StoreBackups backups(book_.store().engine().file_system(), book_.store().folder());
  if (const std::optional<BackupInfo> newest = backups.NewestSoundBackup({})) {
    return Gbk("\r\n或者用最近的备份恢复：\r\n") + backups.RestoreCommand(newest->name);
  }
  return {};
}

// The store's files are there but do not open as a memo book: when the
// structure check finds them damaged (and not merely unreadable for a
// moment), it says how much it finds wrong, and the newest sound backup is
// named with the command that puts it back.
std::optional<std::string> Lifecycle::DamagedStoreText() {
  const std::string& folder = book_.store().folder();
  FileSystem& files = book_.store().engine().file_system();
  edbtool::CheckOptions options;
  options.max_findings = 0;
  edbtool::CheckReport report;
  if (edbtool::CheckStoreFiles(files, book_.store().DatabasePath(),
                               files.MatchNameIgnoringCase(folder + kPathSeparator + "memo.EDT"), {}, options,
                               &report) != 0 ||
      report.sound()) {
    return std::nullopt;
  }
  StoreBackups backups(files, folder);
  return tarnwick::DamagedStoreText(Gbk("备忘数据库已损坏，无法打开"), report.finding_count, backups);
}

// Another running copy holds the store: this one would show an empty memo
// book whose saves all fail, so it says where the memos are and ends.
void Lifecycle::EndAsSecondCopy() {
  ShowMessage(book_.platform(), Gbk("备忘录已经在另一个窗口中打开了，请在那个窗口中继续使用。本程序将自动退出"));
  // Then "that window" comes forward, even from its strip.
  book_.platform().shell().CallListeningCopy(CopyCallName());
  EndProcess();
}

std::string Lifecycle::CopyCallName() const {
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a of the store's folder
  for (unsigned char byte : book_.store().folder()) hash = (hash ^ byte) * 1099511628211u;
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
  return name;
}

// The store is open: its idle work begins, and later copies that find it
// taken call this copy.
void Lifecycle::BeginHoldingTheStore() {
  book_.idle_work().Begin();
  listening_ = book_.platform().shell().ListenForLaterCopies(CopyCallName(), [this] { ComeForwardForALaterCopy(); });
}

// A later copy found the store taken and told its user to go on here.
void Lifecycle::ComeForwardForALaterCopy() {
  if (c_.DockStrip.visible()) {
    ComeBackFromDockStrip();
  } else {
    c_.主窗口.SetVisible(true);
  }
  c_.主窗口.Activate();
}

void Lifecycle::CreateMissingStore() {
  MemoStore& store = book_.store();
  std::string question = Gbk("数据库文件未找到！是否重新创建一个新的数据库？");
  // A copy whose own folder cannot be written keeps the store elsewhere:
  // where, the user learns before it is made.
  if (book_.FolderInsteadOfPrograms()) {
    question += Gbk("\r\n\r\n本程序所在的文件夹不能写入，新的数据库将建在：\r\n") + store.folder();
  }
  MessageResult answer = ShowMessage(book_.platform(), question, Gbk("请确认："), MessageButtons::kYesNo);
  if (answer != MessageResult::kYes) {
    ShowMessage(book_.platform(), Gbk("抱歉，没有数据库支持本软件无法执行，程序将自动退出"));
    EndProcess();
    return;
  }
  if (!SetAsideLoneFiles()) return;
  store.CreateMemoDatabase();
  c_.DockStrip.SetVisible(false);
  if (!store.OpenMemoDatabase()) {
    ShowMessage(book_.platform(), OpenFailedAtStartUp());
    return;
  }
  book_.status().ShowDatabaseCount();
  book_.ShowMemoOf(book_.Now());
  BeginHoldingTheStore();
}

// A memo file (or a main file in another letter case) found where the new
// store goes holds someone's memos: it is renamed aside, never written over,
// and the user told where it went. False when it could not be: nothing is
// created then.
bool Lifecycle::SetAsideLoneFiles() {
  std::vector<std::string> set_aside;
  const FileStatus status = SetAsideLoneStoreFiles(book_.store().engine().file_system(), book_.store().folder(),
                                                   DecodeDateTime(book_.Now()), &set_aside);
  if (status != 0) {
    ShowMessage(book_.platform(),
                Gbk("数据文件夹中已有一个不成对的备忘数据库文件，它无法改名保存，为免覆盖其中的备忘，没有创建新的数据库。"),
                Gbk("出现错误："));
    return false;
  }
  if (!set_aside.empty()) {
    std::string names;
    for (const std::string& path : set_aside) names += "\r\n" + path;
    ShowMessage(book_.platform(), Gbk("数据文件夹中已有一个不成对的备忘数据库文件，为免新数据库覆盖其中的备忘，已改名保存为：") +
                                      names + Gbk("\r\n其中的备忘内容可以用 edbtool memos 命令列出。"));
  }
  return true;
}

void Lifecycle::EnterLockMode() {
  Window& window = c_.主窗口;
  window.SetProperty(property::kWidth, MainWindow::kNormalWidth);
  window.SetProperty(property::kHeight, MainWindow::kLockedHeight);
  window.SetCaption(Gbk(MainWindow::kLockedCaption));
  c_.超级按钮1.SetCaption(Gbk(MainWindow::kUnlockCaption));
  HoldControlsWhileLocked();
}

void Lifecycle::HoldControlsWhileLocked() {
  if (!held_.empty()) return;
  const std::initializer_list<Control*> inputs = {
      &c_.备忘编辑框, &c_.编辑按钮, &c_.保存按钮, &c_.主面板状态栏标签, &side_panel_toggle_, &c_.本月备忘列表框,
      &c_.搜索内容编辑框, &c_.搜索按钮, &c_.搜索结果列表框, &c_.导出以上按钮, &c_.导出全库按钮};
  for (Control* control : inputs) {
    if (control->disabled()) continue;
    control->SetDisabled(true);
    held_.push_back(control);
  }
}

void Lifecycle::ReleaseControlsAfterUnlock() {
  for (Control* control : held_) control->SetDisabled(false);
  held_.clear();
}

void Lifecycle::RestoreWindowSize() {
  c_.主窗口.SetProperty(property::kWidth, MainWindow::kNormalWidth);
  c_.主窗口.SetProperty(property::kHeight, MainWindow::kNormalHeight);
}

bool Lifecycle::UnlockProgram() {
  c_.DockStrip.SetVisible(false);
  c_.主窗口.SetVisible(true);
  const std::optional<SecretText> password = AskPassword({});
  MemoStore& store = book_.store();
  const bool opened =
      !password || password->empty() ? store.OpenMemoDatabase() : store.OpenMemoDatabase(password->view());
  if (!opened && store.HeldByAnotherProcess()) {
    EndAsSecondCopy();
    return false;
  }
  if (!opened) {
    ShowMessage(book_.platform(), LastErrorCode() == error::kMemoFileOfAnotherDatabase
                                      ? MismatchedFilesText()
                                      : Gbk("数据库打开失败，请检查数据库文件是否存在？或者密码有误？"));
    return false;
  }
  ReleaseControlsAfterUnlock();
  book_.status().ShowCurrentCount();
  RestoreWindowSize();
  c_.DockStrip.SetVisible(false);
  c_.主窗口.SetVisible(true);
  if (!book_.ShowMemoOf(book_.Now())) book_.status().SetBackground(kSilver);
  BeginHoldingTheStore();
  return true;
}

std::optional<SecretText> Lifecycle::AskPassword(const std::string& retry_line) {
  InputBoxRequest request;
  request.title = Gbk("密码输入");
  request.prompt = Gbk("请输入数据库访问密码：");
  if (!retry_line.empty()) request.prompt = retry_line + "\r\n" + request.prompt;
  request.masked = true;
  request.confirm_caption = Gbk("确认(&O)");
  request.cancel_caption = Gbk("取消(&C)");
  return book_.platform().dialogs().ShowInputBox(request);
}

bool Lifecycle::QueryShutDown() {
  if (ending_) return true;
  if (book_.Editing()) {
    ShowMessage(book_.platform(), Gbk("关闭程序前请主动保存当前备忘。\r\n本次程序已为您自动保存了"), Gbk("注意："));
    if (!book_.SaveCurrentMemo() && !MayEndAfterAFailedSave()) return false;
  }
  c_.DockStrip.Close();
  book_.store().CloseMemoDatabase();
  book_.backups().ProgramEnding();
  return true;
}

// The text goes to the rescue file and the close goes on once the user knows
// where. When even that cannot be written the window stays, with the text,
// once per edit: a second close of the same edit ends.
bool Lifecycle::MayEndAfterAFailedSave() {
  if (const std::optional<std::string> path = KeepInRescueFile()) {
    ShowMessage(book_.platform(), Gbk("当前编辑的备忘已另存到文件：\r\n") + *path +
                                      Gbk("\r\n下次启动时会提醒您把它复制回备忘录。"));
    return true;
  }
  if (close_refused_at_ == book_.EditingChanges()) return true;
  close_refused_at_ = book_.EditingChanges();
  ShowMessage(book_.platform(), Gbk("当前编辑的备忘也无法另存到文件。\r\n请先把编辑框中的文字复制到别处保存，再次关闭程序时将不再保存。"));
  c_.DockStrip.SetVisible(false);
  c_.主窗口.SetVisible(true);
  return false;
}

std::optional<std::string> Lifecycle::KeepInRescueFile() {
  return book_.rescue().Keep(book_.currentDate, book_.Now(), c_.备忘编辑框.content());
}

void Lifecycle::TellOfRescueFiles() {
  const std::vector<std::string> files = book_.rescue().Existing();
  if (files.empty()) return;
  std::string text = Gbk("上次未能保存的备忘保存在文件：");
  for (const std::string& path : files) text += "\r\n" + path;
  ShowMessage(book_.platform(), text + Gbk("\r\n请打开它，把需要的文字复制回备忘录后，删除该文件。"));
}

// The session or the system ends, or the program was told to end: what is
// being edited is saved at once, without the question a close asks and
// without any message, as no one may be there to answer it; an edit that
// cannot be saved goes to the rescue file.
void Lifecycle::SaveBeforeTheSystemEnds() {
  if (book_.Editing() && book_.WriteCurrentMemo()) KeepInRescueFile();
}

// No window is left to save through: the text goes to the rescue file.
void Lifecycle::DisplayLost() {
  if (book_.Editing()) KeepInRescueFile();
}

// Ends the program before its loop has run: the main window closes without
// its shut-down (nothing is open), which ends the loop with exit code 0.
void Lifecycle::EndProcess() {
  ending_ = true;
  c_.DockStrip.Close();
  c_.主窗口.Close();
}

void Lifecycle::HideIntoDockStrip() {
  Window& window = c_.主窗口;
  const Rect frame = window.outer_rect();
  if (frame.top != 0) return;
  window.SetVisible(false);
  c_.DockStrip.SetVisible(true);
  c_.DockStrip.SetProperty(property::kLeft, frame.left);
  c_.DockStrip.SetProperty(property::kTop, 0);
  c_.DockStrip.SetWindowOrder(WindowOrder::kTop);
}

void Lifecycle::ComeBackFromDockStrip() {
  c_.DockStrip.SetVisible(false);
  c_.主窗口.SetVisible(true);
  book_.status().ShowReturnCount();
}

}  // namespace tarnwick
