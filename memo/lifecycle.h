// The memo book's life cycle: the start-up with a protected, an existing or
// a missing store; the locked state and the unlock; hiding into DockStrip
// at the top edge of the screen and coming back; the shut-down with its
// automatic save. Binds the main window's created, query close and
// deactivated events and DockStrip's left button.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/secret.h"
#include "memo/memo_book.h"

namespace tarnwick {

class Lifecycle {
 public:
  explicit Lifecycle(MemoBook& book);
  ~Lifecycle();
  Lifecycle(const Lifecycle&) = delete;
  Lifecycle& operator=(const Lifecycle&) = delete;

  // The locked size and caption, and 超级按钮1 offering the unlock.
  void EnterLockMode();
  // Asks the password and opens the store with it; true when it opened.
  bool UnlockProgram();
  void RestoreWindowSize();

 private:
  void StartUp();
  void OpenExistingStore();
  bool MemoFileMissing();
  std::string MemoFileMissingText();
  std::optional<std::string> DamagedStoreText();
  std::string MismatchedFilesText();
  std::string NewestBackupHint();
  void CreateMissingStore();
  bool SetAsideLoneFiles();
  bool QueryShutDown();
  // The save at closing failed and said why: true when the text was kept in
  // the rescue file (the user is told where) or the close was refused once
  // already for this edit.
  bool MayEndAfterAFailedSave();
  void SaveBeforeTheSystemEnds();
  void DisplayLost();
  // The editor's text in the rescue file; its path, or nullopt.
  std::optional<std::string> KeepInRescueFile();
  void TellOfRescueFiles();
  void HideIntoDockStrip();
  void ComeBackFromDockStrip();
  void BeginHoldingTheStore();
  void ComeForwardForALaterCopy();
  // The name this copy listens under for later copies on the same store.
  std::string CopyCallName() const;
  void EndProcess();
  void EndAsSecondCopy();
  // While locked only the calendar, the unlock and the password box take
  // input: every other control of the window is disabled, so no mnemonic,
  // Tab or click reaches the editor, the buttons or the side panels.
  void HoldControlsWhileLocked();
  void ReleaseControlsAfterUnlock();
  // The program's password dialog: the typed text, or nullopt on cancel.
  std::optional<SecretText> AskPassword(const std::string& retry_line);

  MemoBook& book_;
  const MainWindowControls& c_;
  Control& side_panel_toggle_;  // 搜索面板按钮
  bool ending_ = false;
  bool listening_ = false;  // for later copies
  std::vector<Control*> held_;  // disabled by the lock, enabled again by the unlock
  // A close was refused after its save failed, at this count of the book's
  // EditingChanges; a further close before the next edit or save ends.
  std::optional<uint64_t> close_refused_at_;
};

}  // namespace tarnwick
