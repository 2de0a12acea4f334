// Changing a database's password so that a kill, an I/O error or a power cut
// at any moment leaves files that open with the old password or the new one
// and lose nothing, and so that no file ever holds key material.
//
// The files keep their format. A change works through three files beside the
// main file, named after it: the recovery record ("-rekey" appended) and
// complete copies of the main file and the memo file under the new key
// ("-rekey-main", "-rekey-memo"), headers included. In order, each step
// flushed before the next begins:
//   1. the record is created empty and held open exclusively to the end, so
//      that no open removes the copies of a change under way;
//   2. the copies are written and flushed;
//   3. the record is written whole: the copies' lengths and digests. This is
//      the point of no return;
//   4. the copies are copied over the files in place (every open handle, lock
//      and share mode on them stays valid) and the files flushed;
//   5. the record is emptied, then the copies and the record are removed.
//
// The next open settles what a kill or a power cut left: a whole record means
// whole copies, which are copied over the files again (the password is not
// needed for that; the open then goes on under the new one). A record empty or
// incomplete means the files were never touched; it goes with the copies. An
// I/O error before step 3 removes the copies and leaves the files as they
// were. One in step 4, or in emptying the record (which is then written whole
// again first), puts the old bytes back from the copies (the new key's
// keystream off, the old one's on, the old header restored) and then empties
// the record; if even that fails, the record stays and the next open finishes
// the change. Only a failure to remove the emptied record or the copies leaves
// the change standing: they go at the next open.
//
// So what lies beside the store during a change is the store's own kind of
// file (enciphered under the new password, or plain when it is removed) and a
// record of lengths and digests of those copies: never a password, a key, a
// keystream or a check text. A record of the earlier layout, which held key
// material, is refused rather than guessed at.
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
// The copy of the main file (index 0) or the memo file (1) a change writes.
std::string RekeyCopyPath(const std::string& main_path, int index);

// Bytes read and written per step, for the changes that start afterwards; a
// multiple of 4096 (tests make it small so that faults meet many steps).
void SetRekeyPieceBytes(uint64_t bytes);
uint64_t RekeyPieceBytes();

struct RekeyTargets {
  File* main = nullptr;
  File* memo = nullptr;  // none when the database has no memo file
};

// Rewrites both files from old_key to new_key (either may be nullptr, the
// empty password's) with their header for new_key, through the copies and
// the record beside main_path. durable: flush each step before the next.
//
// On failure the files are put back under old_key and the failure's status
// is returned. If even that fails, *record_left is set: the record stays for
// the next open to finish the change, and the files must not be written
// through these handles meanwhile (the copies would overwrite what they wrote).
FileStatus RekeyWithRecord(FileSystem& file_system, const std::string& main_path, const RekeyTargets& files,
                           const std::shared_ptr<CipherKey>& old_key, const std::shared_ptr<CipherKey>& new_key,
                           bool durable, bool* record_left);

// Called by a read-write open before it reads anything: settles a change
// that a kill or a power cut left beside main_path (see above). A whole
// record is applied only when the files it would overwrite and its copies all
// start with the store's own magic. Returns 0, or an error when the files
// cannot be settled (the record then stays); with kInvalidFile, *refused (when
// given) names the link or special file found where a file was expected.
int FinishInterruptedRekey(FileSystem& file_system, int lock_wait_ms, const std::string& main_path, bool durable,
                           std::string* refused = nullptr);

// Called instead by a read-only open, which writes nothing: 0 when the files
// read as they are (no record, or a void one), kRekeyFailed when a whole
// record says a change was cut short after its point of no return (only a
// read-write open can finish it), kLockFailed while a change is under way.
int CheckForInterruptedRekey(FileSystem& file_system, int lock_wait_ms, const std::string& main_path,
                             std::string* refused = nullptr);

// Replaces both files with whole other ones (a backup put back) through the
// same copies and record, so that the next open finishes a replacement cut
// short once the record is whole, and drops it before: never a main file of
// one store beside the memo file of another. sources.main and sources.memo
// are read to their ends (sources.memo null: targets.memo is left as it is).
// On a failure before the record is whole the files are untouched; after it,
// *record_left is set and the next open finishes the replacement.
FileStatus ReplaceWithRecord(FileSystem& file_system, const std::string& main_path, const RekeyTargets& targets,
                             const RekeyTargets& sources, bool durable, bool* record_left);

}  // namespace tarnwick
