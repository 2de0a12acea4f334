#include "testing/crash_torture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "app/memo_program.h"
#include "base/datetime.h"
#include "base/text.h"
#include "engine/database.h"
#include "engine/file_system.h"
#include "engine/md5.h"
#include "engine/rekey_record.h"
#include "memo/backup.h"
#include "memo/day_view.h"
#include "memo/memo_store.h"
#include "platform/headless/headless_platform.h"
#include "testing/store_check.h"

namespace tarnwick::testing {

namespace {

constexpr int kYear = 2011;
constexpr int kMonth = 5;
// Few days, so that many saves rewrite a memo already there.
constexpr int kDays = 12;

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : bytes) {
    out += digits[byte >> 4];
    out += digits[byte & 15];
  }
  return out;
}

std::optional<std::string> Unhex(const std::string& hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (size_t j = i; j < i + 2; ++j) {
      const char c = hex[j];
      value <<= 4;
      if (c >= '0' && c <= '9') value |= c - '0';
      else if (c >= 'a' && c <= 'f') value |= c - 'a' + 10;
      else return std::nullopt;
    }
    out += static_cast<char>(value);
  }
  return out;
}

// "-" stands for no password, "+hex" for one (the empty one included).
std::string EncodePassword(const std::optional<std::string>& password) {
  return password ? "+" + Hex(*password) : "-";
}
std::optional<std::optional<std::string>> DecodePassword(const std::string& token) {
  if (token == "-") return std::optional<std::string>();
  if (token.empty() || token[0] != '+') return std::nullopt;
  auto bytes = Unhex(token.substr(1));
  if (!bytes) return std::nullopt;
  return std::optional<std::string>(*bytes);
}

std::string PasswordLabel(const std::optional<std::string>& password) {
  return password ? "'" + GbkToUtf8(*password) + "'" : "none";
}

std::string Abbreviated(const std::string& gbk) {
  std::string utf8 = GbkToUtf8(gbk.substr(0, 24));
  return "'" + utf8 + (gbk.size() > 24 ? "...'" : "'") + " (" + std::to_string(gbk.size()) + " bytes)";
}

// ---- The writer ------------------------------------------------------------

const char kSavedText[] = "当前编辑内容已保存";
const char kClearQuestion[] = "真的清空所有记录？";
const char kEmptyCount[] = "选择某个日期并查看当日备忘|当前数据库内共有0条记录";
const char kUnlockPrompt[] = "请输入数据库访问密码：";
const char kNewPasswordPrompt[] = "请输入新的密码：";
const char kOldPasswordPrompt[] = "请先输入原来的密码：";
const char kReplacementPrompt[] = "请输入新密码：\r\n注意：如果您是想取消密码，\r\n请不要输入任何字符并直接回车即可";
const char kReplacementAgainPrompt[] = "请再次输入新密码：";
const char kPasswordSetText[] = "加密成功，请重新输入密码进入软件";
const char kPasswordResetText[] = "重置密码成功";

// The writer's exit codes when it ends by itself.
constexpr int kWriterFailed = 3;

// Runs the whole program in the forked child until the parent kills it.
class TortureWriter {
 public:
  // now: the writer's clock, in May after the memos' days; a day of its own
  // makes its start-up take the day's backup.
  TortureWriter(std::string folder, std::optional<std::string> password, uint64_t seed, int journal_fd, DateTime now)
      : folder_(std::move(folder)), password_(std::move(password)), random_(seed), journal_fd_(journal_fd) {
    platform_.headless_loop().SetLocalNow(now);
    HeadlessDialogs& dialogs = platform_.headless_dialogs();
    dialogs.SetFailureHandler([this](const std::string& message) { Fail("unexpected dialog: " + message); });
    dialogs.SetOnShow([this](const HeadlessDialogs::Shown& shown) { Answer(shown); });
  }

  [[noreturn]] void Run() {
    Start();
    Journal(TortureEntry(TortureEntry::kReady));
    for (;;) {
      const int roll = static_cast<int>(random_() % 100);
      if (roll < 83) {
        SaveFlow();
      } else if (roll < 88) {
        ClearFlow();
      } else {
        PasswordFlow();
      }
    }
  }

 private:
  const MainWindowControls& c() { return program_->main_window().controls(); }
  HeadlessWindowSystem& windows() { return platform_.headless_windows(); }
  void Settle() { platform_.loop().ProcessPendingEvents(); }

  void Journal(const TortureEntry& entry) {
    const std::string line = EncodeTortureEntry(entry) + "\n";
    // One write of less than a pipe's atomic size: the line arrives whole or not at all.
    if (write(journal_fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) _exit(kWriterFailed);
  }

  [[noreturn]] void Fail(const std::string& what) {
    TortureEntry entry{TortureEntry::kError};
    entry.text = what.substr(0, 1500);
    Journal(entry);
    _exit(kWriterFailed);
  }

  // Dialogs the flow under way expects are answered; anything else reaches
  // the failure handler.
  void Answer(const HeadlessDialogs::Shown& shown) {
    HeadlessDialogs& dialogs = platform_.headless_dialogs();
    if (shown.kind == HeadlessDialogs::Kind::kInputBox) {
      auto found = answers_.find(shown.text);
      if (found != answers_.end()) dialogs.ExpectInputBox(shown.text, found->second);
    } else if (shown.kind == HeadlessDialogs::Kind::kMessageBox) {
      if (shown.text == success_text_) {
        // The program has told the user it worked: from here on it must hold.
        success_shown_ = true;
        Journal(TortureEntry(TortureEntry::kDone));
        dialogs.ExpectMessageBox(shown.text, MessageResult::kOk);
      } else if (shown.text == question_) {
        dialogs.ExpectMessageBox(shown.text, MessageResult::kYes);
      } else if (shown.text.starts_with(Gbk("上次修改密码没有完成"))) {
        // A kill cut a password change short; the start-up says which backups went.
        dialogs.ExpectMessageBox(shown.text, MessageResult::kOk);
      }
    }
  }

  HeadlessWindow& NativeOf(Window& window) { return static_cast<HeadlessWindow&>(window.native_window()); }

  void Click(Control& control, Point local) {
    auto* node = dynamic_cast<HeadlessNode*>(control.native());
    if (node == nullptr) Fail(control.name() + " has no native control");
    const Point origin = node->OriginInWindow();
    windows().Click(NativeOf(control.window()), {origin.x + local.x, origin.y + local.y});
    Settle();
  }
  void ClickCentre(Control& control) { Click(control, {control.width() / 2, control.height() / 2}); }
  void DoubleClickCentre(Control& control) {
    auto* node = dynamic_cast<HeadlessNode*>(control.native());
    if (node == nullptr) Fail(control.name() + " has no native control");
    const Point origin = node->OriginInWindow();
    windows().DoubleClick(NativeOf(control.window()),
                          {origin.x + control.width() / 2, origin.y + control.height() / 2});
    Settle();
  }
  void ClickDay(int day) {
    const CnMonthCalendar& calendar = c().日历.calendar();
    const int cell = calendar.grid().CellIndexOf(GregorianDate{kYear, kMonth, day});
    if (cell < 0) Fail("the calendar does not show day " + std::to_string(day));
    const Rect rect = calendar.CellRect(cell);
    Click(c().日历, {rect.left + rect.width / 2, rect.top + rect.height / 2});
  }
  void PressKey(int key, int state = 0) {
    windows().PressKey(key, state);
    Settle();
  }

  void Start() {
    program_ = std::make_unique<MemoProgram>(platform_, engine_, folder_);
    program_->Load();
    Settle();
    if (password_) {
      // Locked: 解锁程序 asks for the password.
      answers_ = {{Gbk(kUnlockPrompt), *password_}};
      ClickCentre(c().超级按钮1);
      AlignmentTick();
    }
    if (engine_.CurrentPath().empty()) Fail("the store is not open after the start-up");
    answers_.clear();
  }

  // The periodic window check gives 超级按钮1 its caption back after an unlock.
  void AlignmentTick() {
    platform_.headless_loop().AdvanceTime(200);
    Settle();
  }

  void SaveFlow() {
    const int day = 1 + static_cast<int>(random_() % kDays);
    ClickDay(day);
    const bool existing = c().备忘编辑框.content() != NoMemoHint();
    ClickCentre(c().编辑按钮);
    if (c().保存按钮.disabled()) Fail("Edit did not start editing");

    TortureEntry entry{TortureEntry::kSave};
    entry.flow = existing ? TortureFlow::kSaveExisting : TortureFlow::kSaveNew;
    entry.day = day;
    const int size_roll = static_cast<int>(random_() % 100);
    const uint64_t text_seed = random_();
    size_t length = 0;
    bool typed = false;
    if (size_roll < 3) {
      length = 0;  // an empty memo
    } else if (size_roll < 38) {
      length = 1 + random_() % 400;  // typed in
      typed = true;
    } else if (size_roll < 70) {
      length = 400 + random_() % 2600;  // pasted, a few blocks
    } else {
      length = 10000 + random_() % 50000;  // pasted, tens of KB over many blocks
    }
    const std::string text = TortureText(text_seed, length, typed);
    PressKey('A', kKeyStateCtrl);
    if (text.empty()) {
      PressKey(keys::kDelete);
    } else if (typed) {
      windows().TypeText(text);
      Settle();
    } else {
      platform_.headless_shell().SetClipboardText(text);
      PressKey('V', kKeyStateCtrl);
    }
    if (c().备忘编辑框.content() != text) Fail("the editor does not hold the text typed for day " + std::to_string(day));

    entry.text = text;
    entry.text_seed = text_seed;
    entry.text_length = length;
    entry.typed = typed;
    Journal(entry);
    ClickCentre(c().保存按钮);
    if (c().主面板状态栏标签.text() != Gbk(kSavedText) || !c().保存按钮.disabled()) {
      Fail("the save of day " + std::to_string(day) + " did not report success");
    }
    Journal(TortureEntry(TortureEntry::kDone));
  }

  void ClearFlow() {
    question_ = Gbk(kClearQuestion);
    Journal(TortureEntry(TortureEntry::kClear));
    DoubleClickCentre(c().主面板状态栏标签);
    question_.clear();
    if (c().备忘编辑框.content() != NoMemoHint() || c().主面板状态栏标签.text() != Gbk(kEmptyCount)) {
      Fail("clear all did not show an empty store");
    }
    Journal(TortureEntry(TortureEntry::kDone));
  }

  std::string NewPassword() {
    static const char* const kPasswords[] = {"alpha", "beta", "口令", "Zz9", "密码-4"};
    for (;;) {
      std::string password = Gbk(kPasswords[random_() % std::size(kPasswords)]);
      if (password != password_) return password;
    }
  }

  // The check box is reached by Tab, as the program never shows its panel.
  void ClickPasswordBox() {
    c().导出全库按钮.SetFocus();
    PressKey(keys::kTab);
    PressKey(keys::kSpace);
  }

  void PasswordFlow() {
    TortureEntry entry{TortureEntry::kPassword};
    entry.old_password = password_;
    if (!password_) {
      entry.flow = TortureFlow::kPasswordSet;
      entry.new_password = NewPassword();
      // Set, then at once locked and unlocked with the new password.
      answers_ = {{Gbk(kNewPasswordPrompt), *entry.new_password}, {Gbk(kUnlockPrompt), *entry.new_password}};
      success_text_ = Gbk(kPasswordSetText);
    } else {
      const bool remove = random_() % 2 == 0;
      entry.flow = remove ? TortureFlow::kPasswordRemove : TortureFlow::kPasswordChange;
      if (!remove) entry.new_password = NewPassword();
      const std::string replacement = entry.new_password.value_or("");
      answers_ = {{Gbk(kOldPasswordPrompt), *password_},
                  {Gbk(kReplacementPrompt), replacement},
                  {Gbk(kReplacementAgainPrompt), replacement}};
      success_text_ = Gbk(kPasswordResetText);
    }
    success_shown_ = false;
    Journal(entry);
    ClickPasswordBox();
    AlignmentTick();
    if (!success_shown_) Fail("the password flow did not report success");
    success_text_.clear();
    answers_.clear();
    password_ = entry.new_password;
    if (engine_.CurrentPath().empty()) Fail("the store is not open after the password flow");
  }

  std::string folder_;
  std::optional<std::string> password_;
  std::mt19937_64 random_;
  int journal_fd_;
  HeadlessPlatform platform_;
  DatabaseEngine engine_;
  std::unique_ptr<MemoProgram> program_;
  std::map<std::string, std::optional<std::string>> answers_;  // input box prompt -> typed (GBK)
  std::string question_;      // a Yes/No question answered Yes
  std::string success_text_;  // the message that reports the flow done
  bool success_shown_ = false;
};

// ---- The judge -------------------------------------------------------------

// The memos of the store, opened read-write (so repaired) with password;
// nullopt when it does not open. Records the store must not hold go to
// *problems.
std::optional<TortureMemos> ReadBack(const std::string& folder, const std::optional<std::string>& password,
                                     std::vector<std::string>* problems) {
  DatabaseEngine engine;
  MemoStore store(engine, folder);
  if (!store.OpenMemoDatabase(password ? std::optional<std::string_view>(*password) : std::nullopt)) {
    return std::nullopt;
  }
  TortureMemos memos;
  const int count = store.MemoCount();
  store.GoFirstMemo();
  for (int i = 0; i < count; ++i) {
    const DateTime date = store.ReadMemoDate();
    std::string text = store.ReadMemoText();
    if (LastErrorCode() != 0) {
      problems->push_back("record " + std::to_string(i + 1) + ": its memo cannot be read (" +
                          std::to_string(LastErrorCode()) + ")");
    }
    const CivilDateTime civil = DecodeDateTime(date);
    const bool ours = civil.year == kYear && civil.month == kMonth && civil.hour == 0 && civil.minute == 0 &&
                      civil.second == 0 && civil.day >= 1 && civil.day <= kDays;
    if (!ours) {
      problems->push_back("record " + std::to_string(i + 1) + " has a date no save wrote");
    } else if (!memos.emplace(civil.day, std::move(text)).second) {
      problems->push_back("day " + std::to_string(civil.day) + " has two records");
    }
    if (i + 1 < count && !store.NextMemo()) {
      problems->push_back("record " + std::to_string(i + 2) + " cannot be reached");
      break;
    }
  }
  store.CloseMemoDatabase();
  return memos;
}

uint64_t FileSize(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

void SleepMicroseconds(double microseconds) {
  timespec delay;
  delay.tv_sec = static_cast<time_t>(microseconds / 1e6);
  delay.tv_nsec = static_cast<long>(std::fmod(microseconds, 1e6) * 1000);
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &delay, &delay) == EINTR) {
  }
}

// Reads the journal pipe: whole lines into *lines, the rest kept in *partial.
// Returns false at the end of the pipe. timeout_ms < 0 waits without limit.
bool ReadJournal(int fd, int timeout_ms, std::string* partial, std::vector<std::string>* lines) {
  pollfd poll_fd{fd, POLLIN, 0};
  const int ready = poll(&poll_fd, 1, timeout_ms);
  if (ready <= 0) return ready == 0 || errno == EINTR;
  char buffer[65536];
  const ssize_t got = read(fd, buffer, sizeof buffer);
  if (got <= 0) return false;
  partial->append(buffer, static_cast<size_t>(got));
  for (size_t end; (end = partial->find('\n')) != std::string::npos;) {
    lines->push_back(partial->substr(0, end));
    partial->erase(0, end + 1);
  }
  return true;
}

// The backups after a kill: only complete ones are listed, each new one is
// sound and opens with a password the store had, their numbers stay within
// the kept ones (one more while a kill fell between a backup and the removal
// of the oldest), and the backup that a clear all reported done took holds
// the memos from before it.
void JudgeBackups(const std::string& folder, const TortureModel& model,
                  const std::set<std::optional<std::string>>& passwords_seen, std::set<std::string>* judged,
                  TortureReport* report, const std::function<void(const std::string&)>& problem) {
  StoreBackups backups(*DefaultFileSystem(), folder);
  const std::vector<BackupInfo> listed = backups.List();
  std::vector<std::optional<std::string>> passwords(passwords_seen.begin(), passwords_seen.end());
  for (const auto& password : model.PossiblePasswords()) passwords.push_back(password);
  int daily = 0, change = 0;
  const BackupInfo* newest_clear = nullptr;
  for (const BackupInfo& backup : listed) {
    ++(backup.reason == BackupReason::kDaily ? daily : change);
    if (backup.reason == BackupReason::kClearAll) newest_clear = &backup;
    if (!judged->insert(backup.name).second) continue;
    ++report->backups_judged;
    const std::string backup_folder = backups.folder() + "/" + backup.name;
    std::vector<std::string> ignored;
    std::optional<std::optional<std::string>> opened_with;
    for (const auto& password : passwords) {
      if (ReadBack(backup_folder, password, &ignored)) {
        opened_with = password;
        break;
      }
    }
    if (!opened_with) {
      ++report->backup_damage;
      problem("backup " + backup.name + " opens with no password the store had");
      continue;
    }
    for (const std::string& finding : CheckStore(backup_folder, *opened_with).damage) {
      ++report->backup_damage;
      problem("backup " + backup.name + ": damage: " + finding);
    }
  }
  report->daily_backups_most = std::max(report->daily_backups_most, daily);
  report->change_backups_most = std::max(report->change_backups_most, change);
  if (daily > kDailyBackupsKept + 1 || change > kChangeBackupsKept + 1) {
    ++report->backup_damage;
    problem(std::to_string(daily) + " daily and " + std::to_string(change) + " before-change backups kept");
  }
  std::vector<std::string> names;
  DefaultFileSystem()->ListFolder(backups.folder(), &names);
  const auto partial = std::count_if(names.begin(), names.end(), [](const std::string& name) {
    return name.size() > 8 && name.compare(name.size() - 8, 8, ".partial") == 0;
  });
  if (partial > 0) ++report->kills_leaving_partial_backup;
  if (partial > 1) {
    ++report->backup_damage;
    problem(std::to_string(partial) + " unfinished backups lie about: earlier ones were not cleared away");
  }
  if (const auto& before = model.before_last_clear(); before && model.flow_under_way() != TortureFlow::kClearAll) {
    std::vector<std::string> ignored;
    const auto held = newest_clear == nullptr
                          ? std::nullopt
                          : ReadBack(backups.folder() + "/" + newest_clear->name, before->password, &ignored);
    ++report->clear_backups_compared;
    if (!held || *held != before->memos) {
      ++report->backup_damage;
      problem("the backup before a clear all reported done does not hold the memos from before it");
    }
  }
}

}  // namespace

std::optional<TortureMemos> ReadTortureStore(const std::string& folder, const std::optional<std::string>& password,
                                             std::vector<std::string>* problems) {
  return ReadBack(folder, password, problems);
}

const char* TortureFlowName(TortureFlow flow) {
  switch (flow) {
    case TortureFlow::kIdle: return "between flows";
    case TortureFlow::kStartUp: return "start-up";
    case TortureFlow::kSaveNew: return "save of a new date";
    case TortureFlow::kSaveExisting: return "save of an existing date";
    case TortureFlow::kClearAll: return "clear all";
    case TortureFlow::kPasswordSet: return "password set";
    case TortureFlow::kPasswordChange: return "password change";
    case TortureFlow::kPasswordRemove: return "password remove";
    default: return "?";
  }
}

std::string TortureText(uint64_t seed, size_t length, bool typed) {
  uint64_t state = seed;
  std::string text;
  text.reserve(length);
  size_t since_break = 0;
  while (text.size() < length) {
    const uint64_t roll = SplitMix(state);
    const size_t left = length - text.size();
    if (!typed && since_break > 40 && roll % 23 == 0 && left >= 2) {
      text += "\r\n";
      since_break = 0;
      continue;
    }
    if (roll % 3 != 0 && left >= 2) {
      // A character of the level-one block of GB 2312 (within GBK).
      text += static_cast<char>(0xB0 + (roll >> 8) % 0x28);
      text += static_cast<char>(0xA1 + (roll >> 16) % 0x5E);
    } else {
      static const char kAscii[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ,.;:!?-";
      text += kAscii[(roll >> 8) % (sizeof kAscii - 1)];
    }
    ++since_break;
  }
  return text;
}

std::string EncodeTortureEntry(const TortureEntry& entry) {
  switch (entry.kind) {
    case TortureEntry::kReady: return "R";
    case TortureEntry::kDone: return "D";
    case TortureEntry::kClear: return "C";
    case TortureEntry::kSave:
      return std::string("S ") + (entry.flow == TortureFlow::kSaveExisting ? "X " : "N ") +
             std::to_string(entry.day) + " " + std::to_string(entry.text_seed) + " " +
             std::to_string(entry.text_length) + (entry.typed ? " T" : " P");
    case TortureEntry::kPassword: {
      const char* which = entry.flow == TortureFlow::kPasswordSet      ? "S"
                          : entry.flow == TortureFlow::kPasswordRemove ? "R"
                                                                       : "C";
      return std::string("P ") + which + " " + EncodePassword(entry.old_password) + " " +
             EncodePassword(entry.new_password);
    }
    case TortureEntry::kError: return "E " + Hex(entry.text);
  }
  return "?";
}

std::optional<TortureEntry> DecodeTortureEntry(const std::string& line) {
  std::istringstream in(line);
  std::string kind;
  in >> kind;
  TortureEntry entry;
  if (kind == "R") {
    entry.kind = TortureEntry::kReady;
  } else if (kind == "D") {
    entry.kind = TortureEntry::kDone;
  } else if (kind == "C") {
    entry.kind = TortureEntry::kClear;
    entry.flow = TortureFlow::kClearAll;
  } else if (kind == "S") {
    std::string which, typed;
    entry.kind = TortureEntry::kSave;
    if (!(in >> which >> entry.day >> entry.text_seed >> entry.text_length >> typed) ||
        (which != "N" && which != "X") || (typed != "T" && typed != "P") || entry.text_length > (1u << 20)) {
      return std::nullopt;
    }
    entry.flow = which == "X" ? TortureFlow::kSaveExisting : TortureFlow::kSaveNew;
    entry.typed = typed == "T";
    // The journal names the text by how it was made; the judge makes it again.
    entry.text = TortureText(entry.text_seed, entry.text_length, entry.typed);
  } else if (kind == "P") {
    std::string which, old_token, new_token;
    if (!(in >> which >> old_token >> new_token)) return std::nullopt;
    entry.kind = TortureEntry::kPassword;
    entry.flow = which == "S" ? TortureFlow::kPasswordSet
                 : which == "R" ? TortureFlow::kPasswordRemove
                                : TortureFlow::kPasswordChange;
    auto old_password = DecodePassword(old_token);
    auto new_password = DecodePassword(new_token);
    if (!old_password || !new_password) return std::nullopt;
    entry.old_password = *old_password;
    entry.new_password = *new_password;
  } else if (kind == "E") {
    std::string text;
    in >> text;
    entry.kind = TortureEntry::kError;
    entry.text = Unhex(text).value_or(text);
  } else {
    return std::nullopt;
  }
  return entry;
}

void TortureModel::Follow(const std::vector<TortureEntry>& entries) {
  under_way_.reset();
  before_last_clear_.reset();
  started_ = false;
  flows_done_ = 0;
  done_by_flow_ = {};
  for (const TortureEntry& entry : entries) {
    switch (entry.kind) {
      case TortureEntry::kReady: started_ = true; break;
      case TortureEntry::kSave:
      case TortureEntry::kClear:
      case TortureEntry::kPassword:
        under_way_ = entry;
        if (entry.kind == TortureEntry::kClear) before_last_clear_.reset();
        break;
      case TortureEntry::kDone:
        if (!under_way_) break;
        if (under_way_->kind == TortureEntry::kSave) memos_[under_way_->day] = under_way_->text;
        if (under_way_->kind == TortureEntry::kClear) {
          before_last_clear_ = BeforeClear{memos_, password_};
          memos_.clear();
        }
        if (under_way_->kind == TortureEntry::kPassword) password_ = under_way_->new_password;
        ++flows_done_;
        ++done_by_flow_[static_cast<int>(under_way_->flow)];
        under_way_.reset();
        break;
      case TortureEntry::kError: break;
    }
  }
}

TortureFlow TortureModel::flow_under_way() const {
  if (!started_) return TortureFlow::kStartUp;
  return under_way_ ? under_way_->flow : TortureFlow::kIdle;
}

std::vector<std::optional<std::string>> TortureModel::PossiblePasswords() const {
  std::vector<std::optional<std::string>> passwords = {password_};
  if (under_way_ && under_way_->kind == TortureEntry::kPassword && under_way_->new_password != password_) {
    passwords.push_back(under_way_->new_password);
  }
  return passwords;
}

std::vector<std::string> TortureModel::Judge(const TortureMemos& found, bool* new_outcome) const {
  *new_outcome = false;
  if (found == memos_) return {};
  const TortureEntry* flow = under_way_ ? &*under_way_ : nullptr;
  TortureMemos after = memos_;
  if (flow != nullptr && flow->kind == TortureEntry::kSave) after[flow->day] = flow->text;
  if (flow != nullptr && flow->kind == TortureEntry::kClear) after.clear();
  if (found == after) {
    *new_outcome = true;
    return {};
  }
  // Neither: name every memo that is wrong.
  std::vector<std::string> problems;
  const bool clearing = flow != nullptr && flow->kind == TortureEntry::kClear;
  for (const auto& [day, text] : memos_) {
    auto there = found.find(day);
    const bool saving_this_day = flow != nullptr && flow->kind == TortureEntry::kSave && flow->day == day;
    if (there == found.end()) {
      problems.push_back("day " + std::to_string(day) + ": the memo saved as " + Abbreviated(text) + " is gone" +
                         (clearing ? " while other memos survived the clear" : ""));
    } else if (there->second != text && !(saving_this_day && there->second == flow->text)) {
      problems.push_back("day " + std::to_string(day) + ": the memo saved as " + Abbreviated(text) + " reads " +
                         Abbreviated(there->second) +
                         (saving_this_day ? ", and not " + Abbreviated(flow->text) + " either" : ""));
    }
  }
  for (const auto& [day, text] : found) {
    if (memos_.count(day) > 0) continue;
    const bool saving_this_day = flow != nullptr && flow->kind == TortureEntry::kSave && flow->day == day;
    if (!saving_this_day || text != flow->text) {
      problems.push_back("day " + std::to_string(day) + ": a memo no save reported or began: " + Abbreviated(text));
    }
  }
  if (problems.empty()) problems.push_back("the store is neither as before nor as after the flow under way");
  return problems;
}

void TortureModel::Settle(TortureMemos found, std::optional<std::string> password) {
  memos_ = std::move(found);
  password_ = std::move(password);
  under_way_.reset();
}

TortureReport RunCrashTorture(const TortureOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  TortureReport report;
  report.seed = options.seed;
  auto problem = [&](const std::string& text) {
    if (options.log != nullptr) *options.log << "[ torture  ] " << text << "\n";
    if (report.problems.size() < 20) report.problems.push_back(text);
  };

  TortureModel model;
  {
    DatabaseEngine engine;
    MemoStore store(engine, options.folder);
    if (!store.DatabaseFileExists()) store.CreateMemoDatabase();
    std::vector<std::string> problems;
    auto memos = ReadBack(options.folder, std::nullopt, &problems);
    if (!memos || !problems.empty()) {
      ++report.open_failures;
      problem("the store to start from does not open without a password");
      return report;
    }
    model.Settle(*memos, std::nullopt);
  }
  const std::filesystem::path folder_path(GbkToUtf8(options.folder));

  std::mt19937_64 random(options.seed);
  std::uniform_real_distribution<double> log_delay(0, std::log(options.longest_delay_ms * 1000));
  std::uniform_real_distribution<double> even_delay(1, options.longest_delay_ms * 1000);
  int64_t lost_before = 0;
  std::set<std::optional<std::string>> passwords_seen = {std::nullopt};
  std::set<std::string> judged_backups;
  for (int kill_number = 0; kill_number < options.kills; ++kill_number) {
    const uint64_t writer_seed = random();
    // Half the kills spread on a log scale (many early, within a flow's first
    // writes), half evenly (so the writers get several flows done between kills).
    const double delay_us = random() % 2 == 0 ? std::exp(log_delay(random)) : even_delay(random);
    const bool from_start = options.start_up_kill_every > 0 && random() % options.start_up_kill_every == 0;
    const std::string where = "kill " + std::to_string(kill_number + 1) + " (writer seed " +
                              std::to_string(writer_seed) + ", " + std::to_string(delay_us) + " us)";

    int journal[2];
    if (pipe(journal) != 0) {
      problem("no pipe for the journal");
      break;
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
      problem("fork failed");
      break;
    }
    if (child == 0) {
      close(journal[0]);
      alarm(300);  // never outlive a parent that stopped waiting
      // A new day for each of the first writers, so their starts take the
      // day's backup; a clock that never goes back, so the newest backups
      // are the ones kept.
      const int day = kDays + 1 + std::min(kill_number, 31 - kDays - 1);
      const DateTime now = EncodeDate(kYear, kMonth, day) + (10 * 3600 + kill_number % 3600) / 86400.0;
      TortureWriter writer(options.folder, model.password(), writer_seed, journal[1], now);
      writer.Run();
    }
    close(journal[1]);
    std::string partial;
    std::vector<std::string> lines;
    bool open_pipe = true;
    if (!from_start) {
      // The delay runs from the first flow's announcement, so however fast the
      // machine, most kills land inside a flow rather than in the clicks before it.
      const auto announced = [&] {
        return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
          const auto entry = DecodeTortureEntry(line);
          return entry && (entry->kind == TortureEntry::kSave || entry->kind == TortureEntry::kClear ||
                           entry->kind == TortureEntry::kPassword);
        });
      };
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (open_pipe && !announced() && std::chrono::steady_clock::now() < deadline) {
        open_pipe = ReadJournal(journal[0], 1000, &partial, &lines);
      }
    }
    SleepMicroseconds(delay_us);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    while (open_pipe) open_pipe = ReadJournal(journal[0], -1, &partial, &lines);
    close(journal[0]);
    ++report.kills;

    std::vector<TortureEntry> entries;
    for (const std::string& line : lines) {
      auto entry = DecodeTortureEntry(line);
      if (!entry) {
        problem(where + ": an unreadable journal line: " + line.substr(0, 80));
        continue;
      }
      if (entry->kind == TortureEntry::kError) problem(where + ": the writer failed: " + entry->text);
      entries.push_back(*entry);
    }
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
      ++report.writer_failures;
      problem(where + ": the writer ended by itself (status " + std::to_string(status) + ")");
      break;
    }

    const auto problem_at = [&](const std::string& text) { problem(where + ": " + text); };
    const TortureFlow flow = [&] {
      model.Follow(entries);
      return model.flow_under_way();
    }();
    report.flows_done += model.flows_done();
    for (int i = 0; i < static_cast<int>(TortureFlow::kCount); ++i) {
      report.by_flow[i].done += model.flows_done(static_cast<TortureFlow>(i));
    }
    const int flow_index = static_cast<int>(flow);
    ++report.by_flow[flow_index].kills;

    DatabaseEngine paths_engine;
    const DatabasePaths paths = paths_engine.ResolvePaths(MemoStore(paths_engine, options.folder).DatabasePath());
    if (DefaultFileSystem()->Exists(RekeyRecordPath(paths.main))) ++report.kills_with_recovery_record;
    report.store_bytes_most = std::max<int64_t>(
        report.store_bytes_most, static_cast<int64_t>(FileSize(folder_path / "memo.edb") +
                                                     FileSize(folder_path / "memo.EDT")));

    // The old password first on even kills, the new one on odd kills, so
    // an unfinished change is settled both ways.
    std::vector<std::optional<std::string>> passwords = model.PossiblePasswords();
    if (passwords.size() == 2 && kill_number % 2 == 1) std::swap(passwords[0], passwords[1]);
    std::optional<TortureMemos> found;
    std::optional<std::string> opened_with;
    std::vector<std::string> read_problems;
    for (const auto& password : passwords) {
      found = ReadBack(options.folder, password, &read_problems);
      if (found) {
        opened_with = password;
        break;
      }
    }
    if (!found) {
      ++report.open_failures;
      std::string tried;
      for (const auto& password : passwords) tried += " " + PasswordLabel(password);
      problem(where + ", " + TortureFlowName(flow) + ": the store opens with none of the passwords" + tried);
      break;
    }
    if (model.PossiblePasswords().size() == 2) {
      ++report.opened_with[opened_with == model.password() ? "the old password" : "the new password"];
    } else {
      ++report.opened_with[opened_with ? "the password in force" : "no password"];
    }

    bool new_outcome = false;
    std::vector<std::string> wrong = model.Judge(*found, &new_outcome);
    if (flow == TortureFlow::kPasswordSet || flow == TortureFlow::kPasswordChange ||
        flow == TortureFlow::kPasswordRemove) {
      new_outcome = opened_with != model.password();
    }
    (new_outcome ? report.by_flow[flow_index].new_outcome : report.by_flow[flow_index].old_outcome)++;
    wrong.insert(wrong.end(), read_problems.begin(), read_problems.end());
    for (const std::string& text : wrong) problem(where + ", " + TortureFlowName(flow) + ": lost: " + text);
    report.losses += static_cast<int>(wrong.size());

    const StoreCheck check = CheckStore(options.folder, opened_with);
    for (const std::string& finding : check.damage) {
      problem(where + ", " + TortureFlowName(flow) + ": damage: " + finding);
    }
    report.damage += static_cast<int>(check.damage.size());
    const bool cleared = found->empty() && !model.memos().empty();
    const int64_t added = check.lost_blocks - (cleared ? 0 : lost_before);
    if (added > 0 && check.lost_blocks > 0) {
      report.lost_blocks_added += added;
      ++report.kills_adding_lost_blocks;
    }
    lost_before = check.lost_blocks;
    report.lost_blocks_most = std::max(report.lost_blocks_most, check.lost_blocks);
    report.lost_blocks_last = check.lost_blocks;

    for (const TortureEntry& entry : entries) {
      if (entry.kind != TortureEntry::kPassword) continue;
      passwords_seen.insert(entry.old_password);
      passwords_seen.insert(entry.new_password);
    }
    JudgeBackups(options.folder, model, passwords_seen, &judged_backups, &report, problem_at);
    passwords_seen.insert(opened_with);
    model.Settle(std::move(*found), opened_with);
  }
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return report;
}

std::string DescribeTortureReport(const TortureReport& report) {
  std::ostringstream out;
  out << "crash torture, seed " << report.seed << ": " << report.kills << " SIGKILLs in " << report.seconds
      << " s; " << report.flows_done << " flows reported done by the writers\n";
  for (int i = 0; i < static_cast<int>(TortureFlow::kCount); ++i) {
    const auto& outcomes = report.by_flow[i];
    if (outcomes.kills == 0 && outcomes.done == 0) continue;
    out << "  killed during " << TortureFlowName(static_cast<TortureFlow>(i)) << ": " << outcomes.kills;
    if (i >= static_cast<int>(TortureFlow::kSaveNew)) {
      out << " (found as before " << outcomes.old_outcome << ", as after " << outcomes.new_outcome << "); "
          << outcomes.done << " reported done";
    }
    out << "\n";
  }
  out << "  reopened with:";
  for (const auto& [label, count] : report.opened_with) out << " " << label << " " << count << ";";
  out << " " << report.kills_with_recovery_record << " kills left a password change's recovery record\n";
  out << "  lost-space blocks: " << report.lost_blocks_added << " added by " << report.kills_adding_lost_blocks
      << " kills, at most " << report.lost_blocks_most << " at once, " << report.lost_blocks_last
      << " at the end; largest store " << report.store_bytes_most << " bytes\n";
  out << "  backups: " << report.backups_judged << " judged, at most " << report.daily_backups_most << " daily and "
      << report.change_backups_most << " before-change at once; " << report.clear_backups_compared
      << " compared with the memos before their clear all; " << report.kills_leaving_partial_backup
      << " kills left an unfinished one (never listed); damage " << report.backup_damage << "\n";
  out << "  losses " << report.losses << ", damage " << report.damage << ", open failures " << report.open_failures
      << ", writer failures " << report.writer_failures << "\n";
  return out.str();
}

}  // namespace tarnwick::testing
