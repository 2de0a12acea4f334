// Changing a database's password so that a kill or an I/O error at any moment
// leaves files that open with the old password or the new one and lose
// nothing.
//
// The files keep their format; the state of an unfinished re-key lives in a
// recovery record beside the main file (its path with "-rekey" appended),
// which programs that know nothing of it never read. The re-key walks the
// files in windows. Before a window is rewritten, its bytes as they stand are
// copied into the record together with where the boundary between the two
// keys lies, and the record is flushed; then the window is rewritten under the
// other key and flushed. The record has two slots used in turn, each sealed by
// a digest, so a torn write to the record leaves the previous slot in force.
//
// Whoever opens the files next with either password finds the record, puts
// the last window's copy back, and moves the boundary to that password's side:
// forward to finish the re-key, backward to undo it. The header's magic and
// check block are then written for that side, the files flushed, and the
// record removed. A record that is incomplete or damaged was never flushed
// whole before the files were touched (or the re-key had finished), so it is
// simply removed.
//
// The record never holds a password. For each side that has one it holds a
// digest by which that side's key is recognised, and the other side's key
// material (cipher_file.h) sealed under a keystream derived from this side's
// material and a random nonce, so either password unlocks the other key and
// nothing else does. A side without a password can seal nothing: when a
// password is set on a plain database or removed from a protected one, the
// protected side's key material stands in the record unsealed until the
// re-key ends (the files themselves are then partly plain anyway).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/cipher_file.h"
#include "engine/database.h"
#include "engine/file_system.h"

namespace tarnwick {

// The recovery record beside a main file.
std::string RekeyRecordPath(const std::string& main_path);

// Bytes rewritten between two flushes of the record and the files, for the
// re-keys that start afterwards; a multiple of 4096 (tests make it small).
void SetRekeyWindowBytes(uint64_t bytes);
uint64_t RekeyWindowBytes();

struct RekeyTargets {
  File* main = nullptr;
  File* memo = nullptr;  // none when the database has no memo file
};

// Rewrites both files from old_key to new_key (either may be nullptr, the
// empty password's) and writes the header for new_key, under a recovery
// record at record_path. durable: flush the record before touching the files
// and the files before the record moves on or goes.
//
// On failure the files are put back under old_key and the failure's status
// is returned. If even that fails, *record_left is set: the record stays for
// the next open to settle, and the files must not be written through these
// handles meanwhile (the record's copy of the last window would overwrite
// what they wrote).
FileStatus RekeyWithRecord(FileSystem& file_system, const std::string& record_path, const RekeyTargets& files,
                           const std::shared_ptr<CipherKey>& old_key, const std::shared_ptr<CipherKey>& new_key,
                           bool durable, bool* record_left);

// Called by an open before it reads anything. When a recovery record lies
// beside main_path, brings the files to the side of the password the open was
// given (with ask, the "?" password: the plain side when there is one, else
// the side of an answer to the prompt hook, three tries) and removes the
// record; then *password is that side's password and *ask is false.
// Returns 0, error::kWrongPassword when the password is neither side's, or a
// file error (the record then stays).
int FinishInterruptedRekey(FileSystem& file_system, int lock_wait_ms, const std::string& main_path, bool durable,
                           std::string* password, bool* ask, const PasswordPromptHook& hook);

}  // namespace tarnwick
