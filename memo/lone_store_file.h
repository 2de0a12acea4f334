// A data folder holding one of the store's two files without the other (a
// copy or a sync that brought only one): a new store made there would write
// over it, and with it every memo text it holds. Before a store is created,
// such a file is renamed aside in the same folder, where nothing overwrites
// it and the database tool can still read it.
#pragma once

#include <string>
#include <vector>

#include "base/datetime.h"
#include "engine/file_system.h"

namespace tarnwick {

// Whether path names a file of no bytes: made, but power was lost before
// anything written to it reached the disk. It holds nothing to keep.
bool HoldsNoBytes(FileSystem& files, const std::string& path);

// Renames every file of one or more bytes that creating memo.edb and memo.EDT in folder (GBK)
// would overwrite, letter case ignored as the engine resolves them, to
// memo-lone-YYYYMMDD-HHMMSS.edb / .EDT (".2" and on added to a name taken);
// *set_aside receives the new paths. 0, or the failing code of the first
// rename (files renamed before it stay renamed and listed).
FileStatus SetAsideLoneStoreFiles(FileSystem& files, const std::string& folder, const CivilDateTime& now,
                                  std::vector<std::string>* set_aside);

}  // namespace tarnwick
