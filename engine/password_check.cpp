// The password check of an open: the header read through the given
// password's key, or through the answers to the engine's prompt.
#include <algorithm>

#include "base/secret.h"
#include "base/text.h"
#include "engine/cipher_file.h"
#include "engine/md5.h"
#include "engine/open_checks.h"

namespace tarnwick {

// The prompt's texts; from the second showing on it says how many tries are left.
PasswordPromptRequest MakePasswordPrompt(int wrong_answers) {
  PasswordPromptRequest request;
  request.title = Gbk("密码输入");
  request.prompt = Gbk("请输入数据库访问密码：");
  request.confirm_button = Gbk("确认(&O)");
  request.cancel_button = Gbk("取消(&C)");
  if (wrong_answers > 0) {
    request.retry_line = Gbk("密码错误，您还有 " + std::to_string(3 - wrong_answers) + " 次重新输入的机会。");
  }
  request.wrong_answers = wrong_answers;
  return request;
}

int ReadHeaderWithPassword(Database& db, std::string* password, bool ask, const PasswordPromptHook& hook) {
  CachedFile& main = *db.main;
  size_t got = 0;
  if (FileStatus status = main.Read(0, db.header, kHeaderSize, &got); status != 0) return status;
  if (got < kHeaderSize) return error::kNotDatabaseFile;

  const FileHeader first_read = ParseFileHeader(db.header);
  if (!first_read.plain_magic && !first_read.protected_magic) return error::kNotDatabaseFile;
  if (first_read.plain_magic) {
    if (!ask && !password->empty()) return error::kWrongPassword;
    if (ask) password->clear();
  } else if (!ask) {
    std::string check_text = CheckText(*password);
    WipeOnExit wipe_check_text(check_text);
    if (password->empty() || !CheckBlockMatches(db.header + kCheckBlockOffset, check_text)) {
      return error::kWrongPassword;
    }
  } else {
    int wrong_answers = 0;
    for (;;) {
      if (!hook) return error::kWrongPassword;
      std::optional<SecretText> answer = hook(MakePasswordPrompt(wrong_answers));
      if (!answer) return error::kWrongPassword;
      main.cipher().SetPassword(answer->view());
      main.Forget();
      if (FileStatus status = main.Read(0, db.header, kHeaderSize, &got); status != 0) return status;
      if (got < kHeaderSize) return error::kNotDatabaseFile;
      std::string check_text = CheckText(answer->view());
      WipeOnExit wipe_check_text(check_text);
      if (!answer->empty() && CheckBlockMatches(db.header + kCheckBlockOffset, check_text)) {
        password->assign(answer->view());
        break;
      }
      if (++wrong_answers >= 3) return error::kWrongPassword;
    }
  }
  return 0;
}

}  // namespace tarnwick
