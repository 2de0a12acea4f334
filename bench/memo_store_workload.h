// The common workload written as the memo book's store, for the benchmarks
// that run the program itself.
#pragma once

#include <filesystem>
#include <string>

#include "bench/memo_workload.h"
#include "memo/memo_store.h"

namespace tarnwick::bench {

// A new store in folder (created when missing) holding the memos of shape,
// one a day from kFirstDate, enciphered with password unless it is empty.
// False when the engine refused a step.
inline bool FillMemoStore(const std::string& folder, const StoreShape& shape, const std::string& password = {}) {
  std::filesystem::create_directories(folder);
  DatabaseEngine engine;
  MemoStore store(engine, folder);
  store.CreateMemoDatabase();
  if (!store.OpenMemoDatabase()) return false;
  if (!password.empty() && !store.SetDatabasePassword(password)) return false;
  engine.SetDurableWrites(false);  // written once, before any clock runs
  for (int i = 0; i < shape.records; ++i) {
    if (!store.AppendMemo(kFirstDate + i, MemoText(shape, i))) return false;
  }
  engine.SetDurableWrites(true);
  store.CloseMemoDatabase();
  return true;
}

// The usual store: RecordTotal() memos of kMemoBytes.
inline bool FillMemoStore(const std::string& folder, int records, const std::string& password = {}) {
  return FillMemoStore(folder, StoreShape{"usual", records, kMemoBytes}, password);
}

}  // namespace tarnwick::bench
