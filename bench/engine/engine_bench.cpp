// The engine against SQLite on the memo book's workload: a hundred years of
// daily memos (36,500 records of a date and a 300-byte GBK memo), plain and
// enciphered, the engine holding its whole-file lock as the memo book does.
// SQLite keeps the same data in a table (date REAL, memo BLOB) without an
// index, with its default journal and synchronous=FULL.
//
// A summary at the end prints each comparison as a ratio against its target.
// TARNWICK_BENCH_RECORDS overrides the record count for a quick run.
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "bench/collecting_reporter.h"
#include "bench/memo_workload.h"
#include "engine/database.h"
#include "engine/rc4.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace bench;

constexpr int kSqliteAppendRecords = 5000;  // durable commits are slow: fewer records, per-record figures
constexpr int kRekeyRecords = 40000;        // about 20 MB in the two files
const char kPassword[] = "benchmark password";

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "engine_bench: %s (engine code %d: %s)\n", what.c_str(), LastErrorCode(),
               GbkToUtf8(LastErrorMessage()).c_str());
  std::exit(1);
}


const std::vector<FieldInf>& MemoSchema() {
  static const std::vector<FieldInf> schema = {{Gbk("日期"), 8, 20}, {Gbk("备忘"), 12, 20}};
  return schema;
}

// ---- SQLite ------------------------------------------------------------------

class Sqlite {
 public:
  explicit Sqlite(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) DieSqlite("open " + path);
    Exec("PRAGMA synchronous=FULL");
  }
  ~Sqlite() { sqlite3_close(db_); }
  Sqlite(const Sqlite&) = delete;
  Sqlite& operator=(const Sqlite&) = delete;

  void Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) DieSqlite(sql);
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) DieSqlite(sql);
    return statement;
  }
  void Insert(sqlite3_stmt* insert, double date, const std::string& memo) {
    sqlite3_bind_double(insert, 1, date);
    sqlite3_bind_blob(insert, 2, memo.data(), static_cast<int>(memo.size()), SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) DieSqlite("insert");
    sqlite3_reset(insert);
  }
  [[noreturn]] void DieSqlite(const std::string& what) {
    std::fprintf(stderr, "engine_bench: sqlite: %s: %s\n", what.c_str(), sqlite3_errmsg(db_));
    std::exit(1);
  }

 private:
  sqlite3* db_ = nullptr;
};

// ---- The data, built once -----------------------------------------------------

struct Data {
  testing::TempDir dir;
  int records = RecordTotal();
  double last_date = kFirstDate + records - 1;
  int keyword_hits = 0;
  std::vector<std::string> memos;
  std::string plain_path = dir.File("plain.edb");
  std::string secret_path = dir.File("secret.edb");
  std::string rekey_path = dir.File("rekey.edb");
  std::string sqlite_path = dir.File("memos.sqlite");

  Data() {
    for (int i = 0; i < records; ++i) {
      memos.push_back(MemoText(i));
      if (memos.back().find(Keyword()) != std::string::npos) ++keyword_hits;
    }
    FillEngine(plain_path, "", records);
    FillEngine(secret_path, kPassword, records);
    FillEngine(rekey_path, "", kRekeyRecords);
    Sqlite sqlite(sqlite_path);
    sqlite.Exec("CREATE TABLE memos (date REAL, memo BLOB)");
    sqlite.Exec("BEGIN");
    sqlite3_stmt* insert = sqlite.Prepare("INSERT INTO memos (date, memo) VALUES (?, ?)");
    for (int i = 0; i < records; ++i) sqlite.Insert(insert, kFirstDate + i, memos[i]);
    sqlite3_finalize(insert);
    sqlite.Exec("COMMIT");
  }

  // Bulk set-up: durable writes off, turned on again before measuring.
  void FillEngine(const std::string& path, const std::string& password, int count) {
    if (!CreateDatabase(path, MemoSchema())) Die("create " + path);
    if (!OpenDatabase(path)) Die("open " + path);
    if (!password.empty() && !SetPassword(password)) Die("set password");
    SetDurableWrites(false);
    for (int i = 0; i < count; ++i) {
      const std::string memo = i < records ? memos[i] : MemoText(i);
      if (!AppendRecord({FieldValue::DateTime(kFirstDate + i), FieldValue::Text(memo)})) Die("append");
    }
    SetDurableWrites(true);
    CloseDatabase();
  }

  static std::uint64_t FileBytes(const std::string& main_path) {
    const std::string memo_path = main_path.substr(0, main_path.size() - 3) + "EDT";
    return std::filesystem::file_size(main_path) + std::filesystem::file_size(memo_path);
  }
};

Data* data = nullptr;

// Opens one of the databases and takes the whole-file lock, as the memo book does.
void OpenLocked(const std::string& path, const std::string& password) {
  if (!OpenDatabase(path, {}, false, ShareMode::kDenyNone, password)) Die("open " + path);
  if (!LockDatabase()) Die("lock " + path);
}

const std::string& PasswordFor(bool enciphered) {
  static const std::string none, password = kPassword;
  return enciphered ? password : none;
}

// ---- Appending -----------------------------------------------------------------

void EngineAppend(benchmark::State& state, bool enciphered) {
  const int count = data->records;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Durable writes must not pay for the write-back of the set-up's bulk data.
    sync();
    const std::string path = data->dir.File("append" + std::to_string(round++) + ".edb");
    if (!CreateDatabase(path, MemoSchema())) Die("create");
    if (!OpenDatabase(path)) Die("open");
    if (enciphered && !SetPassword(kPassword)) Die("set password");
    state.ResumeTiming();
    for (int i = 0; i < count; ++i) {
      if (!AppendRecord({FieldValue::DateTime(kFirstDate + i), FieldValue::Text(data->memos[i])})) Die("append");
    }
    state.PauseTiming();
    CloseDatabase();
    std::filesystem::remove(path);
    std::filesystem::remove(path.substr(0, path.size() - 3) + "EDT");
    state.ResumeTiming();
  }
  state.counters["records"] = count;
  state.counters["per_record"] =
      benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void SqliteAppend(benchmark::State& state) {
  const int count = std::min(kSqliteAppendRecords, data->records);
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sync();
    const std::string path = data->dir.File("append" + std::to_string(round++) + ".sqlite");
    {
      Sqlite sqlite(path);
      sqlite.Exec("CREATE TABLE memos (date REAL, memo BLOB)");
      sqlite3_stmt* insert = sqlite.Prepare("INSERT INTO memos (date, memo) VALUES (?, ?)");
      state.ResumeTiming();
      for (int i = 0; i < count; ++i) sqlite.Insert(insert, kFirstDate + i, data->memos[i]);
      state.PauseTiming();
      sqlite3_finalize(insert);
    }
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.counters["records"] = count;
  state.counters["per_record"] =
      benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- Reading -------------------------------------------------------------------

void EngineFind(benchmark::State& state, bool enciphered) {
  OpenLocked(enciphered ? data->secret_path : data->plain_path, PasswordFor(enciphered));
  const FieldSelector date(Gbk("日期"));
  const double target = data->last_date;
  for (auto _ : state) {
    GoFirst();
    if (!SearchForward([&] { return ReadField(date).AsDateTime() == target; })) Die("last date not found");
    benchmark::DoNotOptimize(ProcessEngine().CurrentPosition());
  }
  CloseDatabase();
}

void SqliteFind(benchmark::State& state) {
  Sqlite sqlite(data->sqlite_path);
  sqlite3_stmt* find = sqlite.Prepare("SELECT rowid FROM memos WHERE date = ?");
  for (auto _ : state) {
    sqlite3_bind_double(find, 1, data->last_date);
    sqlite3_int64 rowid = 0;
    while (sqlite3_step(find) == SQLITE_ROW) rowid = sqlite3_column_int64(find, 0);
    sqlite3_reset(find);
    if (rowid != data->records) sqlite.DieSqlite("last date not found");
  }
  sqlite3_finalize(find);
}

void EngineWalk(benchmark::State& state, bool enciphered) {
  OpenLocked(enciphered ? data->secret_path : data->plain_path, PasswordFor(enciphered));
  const FieldSelector date(Gbk("日期"));
  for (auto _ : state) {
    GoFirst();
    const int count = RecordCount();
    double sum = 0;
    for (int i = 0; i < count; ++i) {
      sum += ReadField(date).AsDateTime();
      Skip();
    }
    if (count != data->records || sum == 0) Die("walk read too little");
    benchmark::DoNotOptimize(sum);
  }
  CloseDatabase();
}

void SqliteWalk(benchmark::State& state) {
  Sqlite sqlite(data->sqlite_path);
  sqlite3_stmt* walk = sqlite.Prepare("SELECT date FROM memos");
  for (auto _ : state) {
    double sum = 0;
    int rows = 0;
    while (sqlite3_step(walk) == SQLITE_ROW) {
      sum += sqlite3_column_double(walk, 0);
      ++rows;
    }
    sqlite3_reset(walk);
    if (rows != data->records) sqlite.DieSqlite("walk read too little");
    benchmark::DoNotOptimize(sum);
  }
  sqlite3_finalize(walk);
}

int EngineScanOnce() {
  const FieldSelector memo(Gbk("备忘"));
  GoFirst();
  const int count = RecordCount();
  int hits = 0;
  for (int i = 0; i < count; ++i) {
    const std::string text = ReadField(memo).AsText();
    if (std::string_view(text).find(Keyword()) != std::string_view::npos) ++hits;
    Skip();
  }
  return hits;
}

void EngineScan(benchmark::State& state, bool enciphered) {
  OpenLocked(enciphered ? data->secret_path : data->plain_path, PasswordFor(enciphered));
  for (auto _ : state) {
    if (EngineScanOnce() != data->keyword_hits) Die("keyword scan miscounted");
  }
  CloseDatabase();
}

void SqliteScan(benchmark::State& state) {
  Sqlite sqlite(data->sqlite_path);
  sqlite3_stmt* scan = sqlite.Prepare("SELECT count(*) FROM memos WHERE instr(memo, ?) > 0");
  for (auto _ : state) {
    sqlite3_bind_blob(scan, 1, Keyword().data(), static_cast<int>(Keyword().size()), SQLITE_STATIC);
    if (sqlite3_step(scan) != SQLITE_ROW) sqlite.DieSqlite("scan");
    const int hits = sqlite3_column_int(scan, 0);
    sqlite3_reset(scan);
    if (hits != data->keyword_hits) sqlite.DieSqlite("keyword scan miscounted");
  }
  sqlite3_finalize(scan);
}

// The bare RC4 keystream for as many bytes as all memos hold: what deciphering
// them must cost at the least.
void Keystream(benchmark::State& state) {
  const std::string key = kPassword;
  const Rc4 keyed(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
  const std::uint64_t total = static_cast<std::uint64_t>(data->records) * kMemoBytes;
  std::vector<std::uint8_t> buffer(4096);
  for (auto _ : state) {
    Rc4 rc4 = keyed;
    for (std::uint64_t done = 0; done < total; done += buffer.size()) {
      rc4.Keystream(buffer.data(), std::min<std::uint64_t>(buffer.size(), total - done));
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total));
}

// ---- Re-keying and memory ------------------------------------------------------

void Rekey(benchmark::State& state) {
  sync();
  OpenLocked(data->rekey_path, "");
  const std::uint64_t bytes = Data::FileBytes(data->rekey_path);
  int round = 0;
  for (auto _ : state) {
    if (!SetPassword(round++ % 2 == 0 ? "first key" : "second key")) Die("re-key");
  }
  CloseDatabase();
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

std::size_t ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return 0;
}

// The page caches' peak as the engine counts it, over two full scans of each
// database; the process's resident growth is shown beside it.
void CachePeak(benchmark::State& state) {
  double cache_peak = 0, resident_growth = 0;
  for (auto _ : state) {
    for (bool enciphered : {false, true}) {
      malloc_trim(0);
      const std::size_t resident_before = ResidentBytes();
      ResetCacheMemoryPeak();
      OpenLocked(enciphered ? data->secret_path : data->plain_path, PasswordFor(enciphered));
      EngineScanOnce();
      EngineScanOnce();
      const std::size_t resident_after = ResidentBytes();
      cache_peak = std::max(cache_peak, static_cast<double>(CacheMemoryUse().peak_bytes));
      CloseDatabase();
      resident_growth = std::max(resident_growth, static_cast<double>(resident_after) - resident_before);
    }
  }
  state.counters["cache_peak_MB"] = cache_peak / 1e6;
  state.counters["rss_growth_MB"] = resident_growth / 1e6;
}

// ---- Summary -------------------------------------------------------------------

class SummaryReporter : public CollectingReporter {
 public:
  void PrintSummary() {
    std::printf("\nSummary (%d records; engine with its whole-file lock; ratio = engine / reference).\n"
                "Targets are judged on CPU time, which other work on a shared machine disturbs least;\n"
                "real time is shown beside it.\n",
                data->records);
    std::printf("%-46s %10s %10s %10s  %s\n", "comparison", "cpu", "real", "target", "result");
    for (const char* operation : {"find", "walk", "scan"}) {
      const std::string name = operation;
      Ratio(name + " plain / SQLite", name + "/engine_plain", {name + "/sqlite"}, 1.0);
    }
    Ratio("find enciphered / plain", "find/engine_enciphered", {"find/engine_plain"}, 1.5);
    Ratio("walk enciphered / plain", "walk/engine_enciphered", {"walk/engine_plain"}, 1.5);
    Ratio("scan enciphered / (plain scan + keystream)", "scan/engine_enciphered",
          {"scan/engine_plain", "keystream/all_memos"}, 1.5);
    if (Has("rekey/20MB")) {
      const Result& rekey = result("rekey/20MB");
      const double file_megabytes = rekey.counters.at("file_MB");
      std::printf("%-46s %10.1f %10.1f %10s  %s\n", "re-key, MB/s", file_megabytes / rekey.cpu_seconds,
                  file_megabytes / rekey.seconds, ">= 100", file_megabytes / rekey.seconds >= 100 ? "met (real)" : "MISSED (real)");
    }
    if (Has("memory/engine_cache")) {
      const auto& counters = result("memory/engine_cache").counters;
      for (const char* counter : {"cache_peak_MB", "rss_growth_MB"}) {
        std::printf("%-46s %10s %10.2f %10s  %s\n", (std::string("engine cache, ") + counter).c_str(), "",
                    counters.at(counter), "< 16", counters.at(counter) < 16 ? "met" : "MISSED");
      }
    }
    std::printf("\nTimes (cpu / real, ms):\n");
    for (const char* name : {"find/engine_plain", "find/engine_enciphered", "find/sqlite", "walk/engine_plain",
                             "walk/engine_enciphered", "walk/sqlite", "scan/engine_plain", "scan/engine_enciphered",
                             "scan/sqlite", "keystream/all_memos"}) {
      if (Has(name)) std::printf("  %-28s %9.2f %9.2f\n", name, result(name).cpu_seconds * 1e3, Seconds(name) * 1e3);
    }
    std::printf("Durable appends, real time per record:\n");
    for (const char* name : {"append/engine_plain", "append/engine_enciphered", "append/sqlite"}) {
      if (Has(name)) {
        std::printf("  %-28s %9.1f us (%d records)\n", name, PerRecord(name) * 1e6,
                    static_cast<int>(result(name).counters["records"]));
      }
    }
    if (Has("append/engine_plain") && Has("append/sqlite")) {
      std::printf("  engine plain / SQLite per record: %.3f\n",
                  PerRecord("append/engine_plain") / PerRecord("append/sqlite"));
    }
  }

 private:
  double Seconds(const std::string& name) { return result(name).seconds; }
  double PerRecord(const std::string& name) { return Seconds(name) / result(name).counters["records"]; }

  // measured against the sum of the references' times.
  void Ratio(const std::string& label, const std::string& measured, const std::vector<std::string>& references,
             double limit) {
    if (!Has(measured)) return;
    double real = 0, cpu = 0;
    for (const std::string& reference : references) {
      if (!Has(reference)) return;
      real += result(reference).seconds;
      cpu += result(reference).cpu_seconds;
    }
    const double cpu_ratio = result(measured).cpu_seconds / cpu;
    char target[32];
    std::snprintf(target, sizeof target, "<= %.1f", limit);
    std::printf("%-46s %10.3f %10.3f %10s  %s\n", label.c_str(), cpu_ratio, Seconds(measured) / real, target,
                cpu_ratio <= limit ? "met" : "MISSED");
  }

};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::fprintf(stderr, "engine_bench: building %d records (engine plain, enciphered; SQLite) ...\n", RecordTotal());
  Data built;
  data = &built;

  const auto timed = [](const char* name, auto function, auto... arguments) {
    return benchmark::RegisterBenchmark(name, function, arguments...)->Unit(benchmark::kMillisecond)->UseRealTime();
  };
  timed("keystream/all_memos", Keystream);
  timed("find/engine_plain", EngineFind, false);
  timed("find/engine_enciphered", EngineFind, true);
  timed("find/sqlite", SqliteFind);
  timed("walk/engine_plain", EngineWalk, false);
  timed("walk/engine_enciphered", EngineWalk, true);
  timed("walk/sqlite", SqliteWalk);
  timed("scan/engine_plain", EngineScan, false);
  timed("scan/engine_enciphered", EngineScan, true);
  timed("scan/sqlite", SqliteScan);
  timed("rekey/20MB", Rekey)->Iterations(4);
  timed("memory/engine_cache", CachePeak)->Iterations(1);
  timed("append/engine_plain", EngineAppend, false)->Iterations(1);
  timed("append/engine_enciphered", EngineAppend, true)->Iterations(1);
  timed("append/sqlite", SqliteAppend)->Iterations(1);

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
