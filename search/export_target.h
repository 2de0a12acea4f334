// Where an export must not write: over one of the memo store's files the
// store would lose its memos, and over a file of a backup that backup would
// be gone while still listed.
//
// Promises:
// - A file is recognised by what it is, not by how it is named: a symbolic
//   or hard link to a store file, a path through a linked data folder, and
//   a name differing from the store's only in letter case are all refused.
// - Nothing may be written into the backups folder or any folder in it,
//   whether the file is there yet or not.
#pragma once

#include <string>

#include "memo/memo_store.h"

namespace tarnwick {

// Whether writing path (GBK) would overwrite the store or one of its backups.
bool WouldOverwriteTheStore(MemoStore& store, const std::string& path);

}  // namespace tarnwick
