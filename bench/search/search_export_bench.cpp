// The search panel, the exports and the password settings of the whole
// program on the headless backend, over the stores of the common workload
// (bench/memo_workload.h: 3,650, 36,500 and 365,000 daily memos of 300
// bytes, and 36,500 of 2,000 bytes with pasted texts among them, every
// 100th holding the keyword), plain and enciphered.
//
// Budgets: a search at most 16 ms plain at every size, and at most twice a
// plain in-memory substring scan of the same memo bytes (measured here, the
// floor a search cannot go below) on the usual store of 36,500 memos;
// enciphered at most 1.5 times the plain search plus the keystream for the
// bytes of both store files; an export of every memo at least 50 MB/s of
// output; the password set, changed and removed are timed and shown beside
// the size of the store. The memory the store keeps (the engine's caches
// and the store's own) is reported against the size of its files.
// Each store is written once per run, on first use; --benchmark_filter
// picks sizes (for example 36500x300B).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/memo_program.h"
#include "base/text.h"
#include "bench/collecting_reporter.h"
#include "bench/memo_store_workload.h"
#include "engine/rc4.h"
#include "memo/idle_work.h"
#include "platform/headless/headless_platform.h"
#include "search/keyword_search.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace bench;

const char kPassword[] = "benchmark password";

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "search_export_bench: %s\n", what.c_str());
  std::exit(1);
}


std::uint64_t StoreBytes(const std::string& folder) {
  return std::filesystem::file_size(folder + "/memo.edb") + std::filesystem::file_size(folder + "/memo.EDT");
}

// A store in its own folder, filled in bulk.
void FillStore(const std::string& folder, const StoreShape& shape, const std::string& password) {
  if (!FillMemoStore(folder, shape, password)) Die("filling the store in " + folder);
}

// The whole program on the headless backend over the store in folder,
// started (and unlocked, when the store is protected).
class Program {
 public:
  Program(const std::string& folder, const std::string& password, int records) {
    platform_.headless_loop().SetLocalNow(kFirstDate + 5000);
    platform_.headless_dialogs().SetFailureHandler([](const std::string& message) { Die(message); });
    program_ = std::make_unique<MemoProgram>(platform_, engine_, folder);
    program_->Load();
    Settle();
    if (!password.empty()) {
      dialogs().ExpectInputBox({}, password);
      program_->book().UnlockProgram();
      Settle();
    }
    if (program_->book().store().MemoCount() != records) Die("the program did not open its store");
  }
  MemoProgram& program() { return *program_; }
  MainWindowHandlers& handlers() { return program_->main_window().handlers(); }
  const MainWindowControls& controls() { return program_->main_window().controls(); }
  HeadlessDialogs& dialogs() { return platform_.headless_dialogs(); }
  void Settle() { platform_.loop().ProcessPendingEvents(); }
  // Lets the alignment tick run (it gives 超级按钮1 its caption back after an unlock).
  void Tick() { platform_.headless_loop().AdvanceTime(200); }
  // Lets the clock run, a millisecond at a time, until the idle work after
  // the open (the day's backup, reading the memos) is done; the longest and
  // the total time the steps took, in real milliseconds.
  void SitIdle(double* longest_ms, double* total_ms) {
    *longest_ms = *total_ms = 0;
    HeadlessEventLoop& loop = platform_.headless_loop();
    loop.AdvanceTime(IdleWork::kSettleMs - 1);
    while (program_->book().idle_work().Busy()) {
      const auto start = std::chrono::steady_clock::now();
      loop.AdvanceTime(1);
      const double step = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      *longest_ms = std::max(*longest_ms, step);
      *total_ms += step;
    }
  }

 private:
  HeadlessPlatform platform_;
  DatabaseEngine engine_;
  std::unique_ptr<MemoProgram> program_;
};

// The stores of one shape, written on first use and kept for the run.
struct Stores {
  const StoreShape* shape;
  std::string plain, secret;
  std::vector<std::string> memos;  // the plain memo bytes, for the reference scan
  int keyword_hits = 0;
};

testing::TempDir* scratch = nullptr;

Stores& StoresOf(const StoreShape& shape) {
  static std::map<std::string, Stores> all;
  Stores& stores = all[shape.name];
  if (stores.shape == nullptr) {
    stores.shape = &shape;
    std::fprintf(stderr, "search_export_bench: writing the stores %s ...\n", shape.name);
    stores.plain = scratch->File(std::string(shape.name) + "-plain");
    stores.secret = scratch->File(std::string(shape.name) + "-secret");
    FillStore(stores.plain, shape, "");
    FillStore(stores.secret, shape, kPassword);
    for (int i = 0; i < shape.records; ++i) {
      stores.memos.push_back(MemoText(shape, i));
      stores.keyword_hits += KeywordMatches(stores.memos.back(), Keyword());
    }
  }
  return stores;
}

const std::string& Folder(Stores& stores, bool enciphered) { return enciphered ? stores.secret : stores.plain; }

double Milliseconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

// What the store keeps in memory, in the engine's caches and of its own,
// against the size of its files.
void ReportMemory(benchmark::State& state, Program& program, const std::string& folder) {
  MemoStore& store = program.program().book().store();
  state.counters["engine_cache_MB"] = static_cast<double>(store.engine().CacheMemoryUse().current_bytes) / 1e6;
  state.counters["store_own_MB"] = static_cast<double>(store.MemoryInUse()) / 1e6;
  state.counters["kept_MB"] = state.counters["engine_cache_MB"] + state.counters["store_own_MB"];
  state.counters["store_MB"] = static_cast<double>(StoreBytes(folder)) / 1e6;
}

void Search(benchmark::State& state, const StoreShape* shape, bool enciphered) {
  Stores& stores = StoresOf(*shape);
  {
    Program program(Folder(stores, enciphered), enciphered ? kPassword : "", shape->records);
    program.controls().搜索内容编辑框.SetText(Keyword());
    // The first search after opening also reads every memo into the store's
    // memory; it is timed apart, the searches after it in the loop.
    const auto start = std::chrono::steady_clock::now();
    program.handlers().SearchClicked();
    state.counters["first_search_ms"] = Milliseconds(std::chrono::steady_clock::now() - start);
    for (auto _ : state) {
      program.handlers().SearchClicked();
      if (program.controls().搜索结果列表框.Count() != stores.keyword_hits) Die("the search found the wrong number of memos");
    }
    ReportMemory(state, program, Folder(stores, enciphered));
  }

  // Opened again and left idle: the memos are read in slices meanwhile, and
  // the first search finds them read.
  Program idle(Folder(stores, enciphered), enciphered ? kPassword : "", shape->records);
  idle.controls().搜索内容编辑框.SetText(Keyword());
  double longest_slice_ms = 0, idle_work_ms = 0;
  idle.SitIdle(&longest_slice_ms, &idle_work_ms);
  state.counters["idle_slice_longest_ms"] = longest_slice_ms;
  state.counters["idle_work_ms"] = idle_work_ms;
  const auto after_idle = std::chrono::steady_clock::now();
  idle.handlers().SearchClicked();
  state.counters["first_search_after_idle_ms"] = Milliseconds(std::chrono::steady_clock::now() - after_idle);
  if (idle.controls().搜索结果列表框.Count() != stores.keyword_hits) Die("the search after idling found the wrong number");
}

// The floor under a search: a plain substring scan of the same memo bytes,
// each memo a string in memory.
void SubstringScan(benchmark::State& state, const StoreShape* shape) {
  Stores& stores = StoresOf(*shape);
  const std::string_view keyword = Keyword();
  for (auto _ : state) {
    int hits = 0;
    for (const std::string& memo : stores.memos) hits += std::string_view(memo).find(keyword) != std::string_view::npos;
    if (hits != stores.keyword_hits) Die("the substring scan found the wrong number of memos");
  }
}

// The engine's walk reading every memo, matching nothing.
void ReadEveryMemo(benchmark::State& state, const StoreShape* shape, bool enciphered) {
  Stores& stores = StoresOf(*shape);
  Program program(Folder(stores, enciphered), enciphered ? kPassword : "", shape->records);
  MemoStore& store = program.program().book().store();
  std::size_t expected = 0;
  for (const std::string& memo : stores.memos) expected += memo.size();
  for (auto _ : state) {
    std::size_t bytes = 0;
    store.GoFirstMemo();
    store.engine().SearchForward([&] {
      bytes += store.ReadMemoText().size();
      return false;
    });
    if (bytes != expected) Die("the walk read too little");
  }
}

// The RC4 keystream for as many bytes as the enciphered store's files hold.
void Keystream(benchmark::State& state, const StoreShape* shape) {
  const std::string key = kPassword;
  const Rc4 keyed(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
  const std::uint64_t total = StoreBytes(StoresOf(*shape).secret);
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

void ExportAll(benchmark::State& state, const StoreShape* shape, bool enciphered) {
  Stores& stores = StoresOf(*shape);
  Program program(Folder(stores, enciphered), enciphered ? kPassword : "", shape->records);
  const std::string path = scratch->File(enciphered ? "secret.txt" : "plain.txt");
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    program.dialogs().ExpectFileDialog(Utf8ToGbk(path));
    program.dialogs().ExpectMessageBox(Gbk("数据库导出完毕！"), MessageResult::kOk);
    program.handlers().ExportAllClicked();
    state.PauseTiming();
    bytes = std::filesystem::file_size(path);
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["output_MB"] = static_cast<double>(bytes) / 1e6;
}

// Set, change and remove through the check box, each with its boxes answered
// at once: the whole sequence the user waits for, the unlock after setting
// and the move to today included. On a store of its own, of the usual size.
void PasswordSettingsCycle(benchmark::State& state) {
  const std::string folder = scratch->File("settings");
  FillStore(folder, kStoreShapes[1], "");
  Program program(folder, "", kStoreShapes[1].records);
  HeadlessDialogs& dialogs = program.dialogs();
  double set_ms = 0, change_ms = 0, remove_ms = 0;
  auto timed = [&](double& total) {
    const auto start = std::chrono::steady_clock::now();
    program.handlers().PasswordCheckBoxClicked();
    program.Settle();
    total += Milliseconds(std::chrono::steady_clock::now() - start);
    if (dialogs.pending() != 0) Die("a password sequence ended early");
  };
  for (auto _ : state) {
    dialogs.ExpectInputBox({}, "first");
    dialogs.ExpectMessageBox(Gbk("加密成功，请重新输入密码进入软件"), MessageResult::kOk);
    dialogs.ExpectInputBox({}, "first");
    timed(set_ms);
    program.Tick();
    dialogs.ExpectInputBox({}, "first");
    dialogs.ExpectInputBox({}, "second");
    dialogs.ExpectInputBox({}, "second");
    dialogs.ExpectMessageBox(Gbk("重置密码成功"), MessageResult::kOk);
    timed(change_ms);
    dialogs.ExpectInputBox({}, "second");
    dialogs.ExpectInputBox({}, "");
    dialogs.ExpectMessageBox(Gbk("重置密码成功"), MessageResult::kOk);
    timed(remove_ms);
  }
  const double rounds = static_cast<double>(state.iterations());
  state.counters["set_ms"] = set_ms / rounds;
  state.counters["change_ms"] = change_ms / rounds;
  state.counters["remove_ms"] = remove_ms / rounds;
  state.counters["store_MB"] = static_cast<double>(StoreBytes(folder)) / 1e6;
}

class SummaryReporter : public bench::CollectingReporter {
 public:
  void PrintSummary() {
    std::printf("\nSummary (headless program; cpu and real time, ms unless said).\n");
    std::printf("%-48s %10s %10s %14s  %s\n", "figure", "cpu", "real", "budget", "result");
    for (const StoreShape& shape : kStoreShapes) {
      const std::string at = std::string("/") + shape.name;
      if (!Has("search" + at + "/plain")) continue;
      std::printf("%s:\n", shape.name);
      const std::string plain = "search" + at + "/plain", enciphered = "search" + at + "/enciphered";
      Budget("  search plain", Ms(plain, true), Ms(plain, false), 16, false);
      for (const std::string& name : {plain, enciphered}) {
        if (Has(name)) {
          const std::string kind = name.substr(name.rfind('/') + 1);
          std::printf("%-48s %10s %10.2f\n", ("  (first search after opening, " + kind + ")").c_str(), "",
                      result(name).counters["first_search_ms"]);
          std::printf("%-48s %10s %10.2f\n", ("  (first search after sitting idle, " + kind + ")").c_str(), "",
                      result(name).counters["first_search_after_idle_ms"]);
          std::printf("%-48s %10s %10.2f\n", ("  (idle work: longest slice, " + kind + ")").c_str(), "",
                      result(name).counters["idle_slice_longest_ms"]);
          std::printf("%-48s %10s %10.2f\n", ("  (idle work: all slices, " + kind + ")").c_str(), "",
                      result(name).counters["idle_work_ms"]);
        }
      }
      const std::string scan = "substring_scan" + at;
      if (Has(scan)) {
        const double ratio = Ms(plain, true) / Ms(scan, true);
        std::printf("%-48s %10.2f %10.2f\n", "  (plain substring scan of the memo bytes)", Ms(scan, true), Ms(scan, false));
        std::printf("%-48s %10.2f %10.2f %14s  %s\n", "  search plain / substring scan", ratio,
                    Ms(plain, false) / Ms(scan, false), &shape == &kStoreShapes[1] ? "<= 2.0" : "",
                    &shape == &kStoreShapes[1] ? (ratio <= 2 ? "met" : "MISSED") : "");
      }
      const std::string keystream = "keystream" + at;
      if (Has(enciphered) && Has(keystream)) {
        const double cpu_limit = 1.5 * (Ms(plain, true) + Ms(keystream, true));
        Budget("  search enciphered", Ms(enciphered, true), Ms(enciphered, false), cpu_limit, false);
        std::printf("%-48s %10.2f %10.2f\n", "  (keystream of both files)", Ms(keystream, true), Ms(keystream, false));
      }
      for (const char* kind : {"/plain", "/enciphered"}) {
        const std::string walk = "read_every_memo" + at + kind;
        if (Has(walk)) std::printf("%-48s %10.2f %10.2f\n", ("  (engine walk reading every memo" + std::string(kind) + ")").c_str(), Ms(walk, true), Ms(walk, false));
      }
      for (const char* kind : {"/plain", "/enciphered"}) {
        const std::string name = "export_all" + at + kind;
        if (!Has(name)) continue;
        const double megabytes = result(name).counters["output_MB"];
        Budget("  export all" + std::string(kind) + ", MB/s (" + Format(megabytes) + " MB)",
               megabytes / result(name).cpu_seconds, megabytes / result(name).seconds, 50, true);
      }
      for (const char* kind : {"/plain", "/enciphered"}) {
        const std::string name = "search" + at + kind;
        if (!Has(name)) continue;
        auto& counters = result(name).counters;
        std::printf("  memory kept after searching%-11s %6.1f MB (engine caches %.1f, store's own %.1f) against a "
                    "store of %.1f MB (%.2f)\n",
                    kind, counters["kept_MB"], counters["engine_cache_MB"], counters["store_own_MB"],
                    counters["store_MB"], counters["kept_MB"] / counters["store_MB"]);
      }
    }
    if (Has("password/set_change_remove")) {
      auto& counters = result("password/set_change_remove").counters;
      const double megabytes = counters["store_MB"];
      std::printf("Password settings on a %.1f MB store (real time, the whole sequence):\n", megabytes);
      for (const char* step : {"set_ms", "change_ms", "remove_ms"}) {
        std::printf("  %-10s %9.1f ms  %7.1f MB/s of store\n", step, counters[step],
                    megabytes / (counters[step] / 1e3));
      }
    }
  }

 private:
  static std::string Format(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
  }
  // Judged on CPU time, which other work on a shared machine disturbs least.
  void Budget(const std::string& label, double cpu, double real, double limit, bool at_least) {
    const bool met = at_least ? cpu >= limit : cpu <= limit;
    std::printf("%-48s %10.2f %10.2f %14s  %s\n", label.c_str(), cpu, real,
                ((at_least ? ">= " : "<= ") + Format(limit)).c_str(), met ? "met" : "MISSED");
  }
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  testing::TempDir folder;
  scratch = &folder;

  const auto timed = [](const std::string& name, auto function, auto... arguments) {
    return benchmark::RegisterBenchmark(name.c_str(), function, arguments...)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  };
  for (const StoreShape& shape : kStoreShapes) {
    const std::string at = std::string("/") + shape.name;
    timed("substring_scan" + at, SubstringScan, &shape);
    timed("keystream" + at, Keystream, &shape);
    for (bool enciphered : {false, true}) {
      const char* kind = enciphered ? "/enciphered" : "/plain";
      timed("read_every_memo" + at + kind, ReadEveryMemo, &shape, enciphered)->Iterations(2);
      timed("search" + at + kind, Search, &shape, enciphered);
      timed("export_all" + at + kind, ExportAll, &shape, enciphered)->Iterations(3);
    }
  }
  timed("password/set_change_remove", PasswordSettingsCycle)->Iterations(3);

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
