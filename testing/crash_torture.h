// Crash torture of the memo book's own flows: a writer process drives the
// whole program on the headless backend with a real store (saves of new and
// existing dates, short and long memos, clear all, setting, changing and
// removing the password, each as a user does it) and is killed with SIGKILL
// at a random moment; the store is then reopened and judged against what the
// writer had reported done, and the writer starts again on what is left.
//
// The writer keeps a journal on a pipe: before a flow touches the store it
// says what the flow will do; only once the program has shown the flow's
// success does it say "done". So every flow the journal calls done must be
// in the store after the kill, and the one flow under way at the kill may
// show either its old or its new outcome, nothing in between.
//
// Judged after each kill: the store opens with the password in force or, when
// a password change was under way, the new one; after that read-write open
// the structure check of the database tools finds nothing but lost space
// (memo blocks that an interrupted write left out of every chain, counted
// apart); every memo reported saved reads back exactly; a clear all reported
// done leaves no memo written before it. Each start falls on a new day and
// takes its daily backup, and clear all and the password flows take theirs,
// so kills land in backups too: after each, every backup listed must be
// complete and sound. POSIX only (fork, SIGKILL).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tarnwick::testing {

// What the writer was doing when it was killed.
enum class TortureFlow {
  kIdle,            // between flows (or past a flow's success, before the next began)
  kStartUp,         // starting the program, before its first flow
  kSaveNew,         // Edit/Save of a date without a memo
  kSaveExisting,    // Edit/Save of a date with a memo
  kClearAll,        // double click on the status line, answered Yes
  kPasswordSet,     // the password check box on a plain store
  kPasswordChange,  // ... on a protected store, a new password
  kPasswordRemove,  // ... on a protected store, an empty one
  kCount
};
const char* TortureFlowName(TortureFlow flow);

struct TortureOptions {
  std::string folder;  // GBK, absolute; the store is created here when missing
  int kills = 50;
  uint64_t seed = 1;
  // Kill delays, counted from the writer's first flow announcement, run from
  // 1 microsecond to this: half of them spread evenly on a log scale, half evenly.
  double longest_delay_ms = 40;
  // One kill in this many is timed from the writer's start rather than from
  // its first flow, so some land in the start-up's open.
  int start_up_kill_every = 10;
  // Details of every loss, damage or writer failure go here when set.
  std::ostream* log = nullptr;
};

// The store as the judge sees it: day of May 2011 -> memo text (GBK).
using TortureMemos = std::map<int, std::string>;

// One journal line from the writer.
struct TortureEntry {
  enum Kind { kReady, kSave, kClear, kPassword, kDone, kError };
  explicit TortureEntry(Kind kind = kReady) : kind(kind) {}
  Kind kind;
  TortureFlow flow = TortureFlow::kIdle;
  int day = 0;                        // kSave
  std::string text;                   // kSave: the memo (GBK); kError: what went wrong
  // kSave: the text as TortureText makes it; the journal holds these, not the text.
  uint64_t text_seed = 0;
  size_t text_length = 0;
  bool typed = false;
  std::optional<std::string> old_password, new_password;  // kPassword; nullopt = none
};
std::string EncodeTortureEntry(const TortureEntry& entry);
std::optional<TortureEntry> DecodeTortureEntry(const std::string& line);

// What the journal says, and what a store read back after a kill may hold.
class TortureModel {
 public:
  TortureModel() = default;
  TortureModel(TortureMemos memos, std::optional<std::string> password)
      : memos_(std::move(memos)), password_(std::move(password)) {}

  // The entries of one writer's life, in order; the flow whose intent came
  // last without its "done" is the one under way at the kill.
  void Follow(const std::vector<TortureEntry>& entries);
  const std::optional<TortureEntry>& under_way() const { return under_way_; }
  TortureFlow flow_under_way() const;
  bool started() const { return started_; }
  int flows_done() const { return flows_done_; }
  int flows_done(TortureFlow flow) const { return done_by_flow_[static_cast<int>(flow)]; }

  const TortureMemos& memos() const { return memos_; }
  const std::optional<std::string>& password() const { return password_; }
  // The memos, and the password, right before the last clear all this
  // writer reported done (none when another clear began after it).
  struct BeforeClear {
    TortureMemos memos;
    std::optional<std::string> password;
  };
  const std::optional<BeforeClear>& before_last_clear() const { return before_last_clear_; }
  // The passwords the store may open with, the one in force first.
  std::vector<std::optional<std::string>> PossiblePasswords() const;

  // Memos of found that the journal rules out, each described; empty when
  // found is the old outcome or the new outcome of the flow under way.
  // *new_outcome tells which.
  std::vector<std::string> Judge(const TortureMemos& found, bool* new_outcome) const;

  // After a kill has been judged, what was found is what the next writer
  // starts from.
  void Settle(TortureMemos found, std::optional<std::string> password);

 private:
  TortureMemos memos_;
  std::optional<std::string> password_;
  std::optional<TortureEntry> under_way_;
  std::optional<BeforeClear> before_last_clear_;
  bool started_ = false;
  int flows_done_ = 0;
  std::array<int, static_cast<int>(TortureFlow::kCount)> done_by_flow_{};
};

// The memos of the store in folder (GBK), opened read-write (so settled and
// repaired) with password; nullopt when it does not open. Records no torture
// writes (dates outside the torture's days, two of one day) go to *problems.
std::optional<TortureMemos> ReadTortureStore(const std::string& folder, const std::optional<std::string>& password,
                                             std::vector<std::string>* problems);

struct TortureReport {
  uint64_t seed = 0;
  int kills = 0;
  struct FlowOutcomes {
    int kills = 0;
    int old_outcome = 0;  // the store as before the flow (the old password)
    int new_outcome = 0;  // the flow's effect in full (the new password)
    int done = 0;         // flows of this kind the writers reported done
  };
  std::array<FlowOutcomes, static_cast<int>(TortureFlow::kCount)> by_flow{};
  int flows_done = 0;  // flows the writers reported done, over all kills
  std::map<std::string, int> opened_with;  // "none", "old", "new" (old/new only when a change was under way)
  int kills_with_recovery_record = 0;      // a password change left its recovery record
  // Lost space: memo blocks in no chain and not free, or past the header's
  // block count, as the check found them after each kill's reopen.
  int64_t lost_blocks_added = 0;  // summed over the kills that added some
  int kills_adding_lost_blocks = 0;
  int64_t lost_blocks_most = 0;   // the most seen at once
  int64_t lost_blocks_last = 0;
  // Failures of the torture.
  int open_failures = 0;     // the store opened with none of the possible passwords
  int losses = 0;            // memos the journal rules out (lost, changed, or surviving a clear)
  int damage = 0;            // check findings other than lost space
  int writer_failures = 0;   // a writer that ended by itself or reported an error
  // The backups: each new one after a kill checked to open and be sound.
  int backups_judged = 0;
  int backup_damage = 0;  // unopenable or damaged backups, too many kept, leftovers piling up
  int daily_backups_most = 0;
  int change_backups_most = 0;
  int clear_backups_compared = 0;  // backups before a clear all compared with the memos before it
  int kills_leaving_partial_backup = 0;
  std::vector<std::string> problems;  // the first few, described
  int64_t store_bytes_most = 0;       // both files, the largest seen
  double seconds = 0;
};

// Runs the torture; the store in options.folder is created when missing.
TortureReport RunCrashTorture(const TortureOptions& options);
// The report as a few lines of text.
std::string DescribeTortureReport(const TortureReport& report);

// The memo text a writer saves for (seed, length): GBK of exactly length
// bytes, ASCII and double-byte characters, with line breaks unless typed.
std::string TortureText(uint64_t seed, size_t length, bool typed);

}  // namespace tarnwick::testing
