// The memo book's life cycle: the start-up with a protected, an existing or
// a missing store; the locked state and the unlock; hiding into DockStrip
// at the top edge of the screen and coming back; the shut-down with its
// automatic save. Binds the main window's created, query close and
// deactivated events and DockStrip's left button.
#pragma once

#include <optional>
#include <string>

#include "base/secret.h"
#include "memo/memo_book.h"

namespace tarnwick {

class Lifecycle {
 public:
  static constexpr int kUnlockedHeight = 596;
  static constexpr int kLockedHeight = 290;
  static constexpr int kWidth = 371;

  explicit Lifecycle(MemoBook& book);

  void EnterLockMode();
  void UnlockProgram();
  void RestoreWindowSize();

 private:
  void StartUp();
  void OpenExistingStore();
  void CreateMissingStore();
  // The memo of today, found from the current record on, in the editor;
  // answers whether there is one.
  bool ShowTodaysMemoFromHere();
  bool QueryShutDown();
  void HideIntoDockStrip();
  void ComeBackFromDockStrip();
  void EndProcess();
  // The program's password dialog: the typed text, or nullopt on cancel.
  std::optional<SecretText> AskPassword(const std::string& retry_line);

  MemoBook& book_;
  const MainWindowControls& c_;
  bool ending_ = false;
  // The shut-down's save failed once and the close was refused.
  bool close_refused_ = false;
};

}  // namespace tarnwick
