// The memo book's user actions on the headless backend over the stores of
// the common workload (bench/memo_workload.h: 3,650, 36,500 and 365,000
// daily memos of 300 bytes, and 36,500 of 2,000 bytes with pasted texts
// among them), plain and enciphered: a day click, saves of an existing and
// of a new date, a jump from the month list, a wheel step, go to today,
// opening the side panels. Each action includes the notifications it posts.
// The budget of each is one frame at 60 Hz (16 ms); the ratio to it is
// reported as the counter frame_ratio, and a table of every action against
// the store's size follows the run. Each store is written once per run, on
// first use (--benchmark_filter=36500x300B runs one size only).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "app/memo_program.h"
#include "base/text.h"
#include "bench/collecting_reporter.h"
#include "bench/memo_store_workload.h"
#include "platform/headless/headless_platform.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

constexpr double kFrameSeconds = 16e-3;
const char kPassword[] = "benchmark";

void ReportFrame(benchmark::State& state) {
  state.counters["frame_ratio"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFrameSeconds,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Which store a benchmark runs over.
struct Store {
  const bench::StoreShape* shape;
  bool enciphered;
};

// A folder holding the store, written on first use and kept for the run;
// empty when it could not be written.
const std::string& PreparedFolder(const Store& store) {
  static testing::TempDir dir;
  static std::map<std::pair<std::string, bool>, std::string> folders;
  std::string& folder = folders[{store.shape->name, store.enciphered}];
  if (folder.empty()) {
    const std::string path = Utf8ToGbk(dir.File(std::string(store.shape->name) + (store.enciphered ? "-enciphered" : "-plain")));
    std::fprintf(stderr, "memo_bench: writing the store %s%s ...\n", store.shape->name,
                 store.enciphered ? ", enciphered" : "");
    if (bench::FillMemoStore(path, *store.shape, store.enciphered ? kPassword : "")) folder = path;
  }
  return folder;
}

// The running program over the prepared store, unlocked when enciphered,
// showing 2011-05-17 (the headless clock's today).
class RunningBook {
 public:
  explicit RunningBook(const Store& store) : records_(store.shape->records) {
    platform_.headless_loop().SetLocalNow(EncodeDate(2011, 5, 17) + 10.0 / 24);
    if (store.enciphered) platform_.headless_dialogs().ExpectInputBox({}, std::string(kPassword));
    program_ = std::make_unique<MemoProgram>(platform_, engine_, PreparedFolder(store));
    program_->Load();
    Settle();
    if (store.enciphered) {
      Click(controls().超级按钮1);
      Settle();
    }
    // The window check's first tick gives 超级按钮1 back its go-to-today caption.
    platform_.headless_loop().AdvanceTime(200);
    if (controls().编辑按钮.disabled() || book().store().MemoCount() < records_) failed_ = true;
  }

  bool failed() const { return failed_; }
  int records() const { return records_; }
  MemoBook& book() { return program_->book(); }
  const MainWindowControls& controls() { return program_->main_window().controls(); }
  HeadlessWindowSystem& windows() { return platform_.headless_windows(); }
  void Settle() { platform_.loop().ProcessPendingEvents(); }

  void Click(Control& control) { windows().Click(Native(), Centre(control)); }
  void ClickDay(int year, int month, int day) {
    const CnMonthCalendar& calendar = controls().日历.calendar();
    Rect cell = calendar.CellRect(calendar.grid().CellIndexOf(GregorianDate{year, month, day}));
    Point origin = Origin(controls().日历);
    windows().Click(Native(), {origin.x + cell.left + cell.width / 2, origin.y + cell.top + cell.height / 2});
    Settle();
  }
  void Save(const std::string& text) {
    Click(controls().编辑按钮);
    controls().备忘编辑框.SetContent(text);
    Click(controls().保存按钮);
    Settle();
  }
  HeadlessWindow& Native() { return static_cast<HeadlessWindow&>(controls().主窗口.native_window()); }

 private:
  static Point Origin(const Control& control) {
    return dynamic_cast<HeadlessNode*>(control.native())->OriginInWindow();
  }
  static Point Centre(const Control& control) {
    Point origin = Origin(control);
    return {origin.x + control.width() / 2, origin.y + control.height() / 2};
  }

  int records_;
  HeadlessPlatform platform_;
  DatabaseEngine engine_;
  std::unique_ptr<MemoProgram> program_;
  bool failed_ = false;
};

// Two days of the shown month, clicked in turn: DateChanged and DayClicked,
// two month-list rebuilds and two lookups each.
void BM_DayClick(benchmark::State& state, Store store) {
  RunningBook book(store);
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  int turn = 0;
  for (auto _ : state) book.ClickDay(2011, 5, 3 + (turn++ % 2) * 10);
  ReportFrame(state);
}

void BM_SaveExistingDate(benchmark::State& state, Store store) {
  RunningBook book(store);
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  book.ClickDay(2011, 5, 3);
  int turn = 0;
  for (auto _ : state) book.Save(Gbk("改写的备忘 ") + std::to_string(turn++));
  ReportFrame(state);
}

// Every save appends: each iteration first makes a date without a memo current.
void BM_SaveNewDate(benchmark::State& state, Store store) {
  RunningBook book(store);
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  DateTime next = bench::kFirstDate + book.records();
  for (auto _ : state) {
    book.book().currentDate = next++;
    book.Save(Gbk("新的一天"));
  }
  ReportFrame(state);
}

void BM_MonthListJump(benchmark::State& state, Store store) {
  RunningBook book(store);
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  ListBox& list = book.controls().本月备忘列表框;
  list.SetFocus();
  int turn = 0;
  for (auto _ : state) {
    list.SetSelection(turn++ % list.Count());
    list.Raise(ListBox::kSelectionChanged);
    book.Settle();
  }
  ReportFrame(state);
}

void BM_WheelStep(benchmark::State& state, Store store) {
  RunningBook book(store);
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  book.controls().日历.SetFocus();
  int turn = 0;
  for (auto _ : state) {
    book.windows().TurnWheel((turn++ / 6) % 2 ? 120 : -120);
    book.Settle();
  }
  ReportFrame(state);
}

void BM_GoToToday(benchmark::State& state, Store store) {
  RunningBook book(store);
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  for (auto _ : state) {
    book.Click(book.controls().超级按钮1);
    book.Settle();
  }
  ReportFrame(state);
}

// Opening the side panels rebuilds the month list; the close between two
// openings is timed as well (it only narrows the window).
void BM_OpenSidePanels(benchmark::State& state, Store store) {
  RunningBook book(store);
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  Control* toggle = book.controls().主窗口.Find("搜索面板按钮");
  for (auto _ : state) {
    book.Click(*toggle);
    book.Settle();
  }
  ReportFrame(state);
}

constexpr std::pair<const char*, void (*)(benchmark::State&, Store)> kActions[] = {
    {"day_click", BM_DayClick},           {"save_existing_date", BM_SaveExistingDate},
    {"save_new_date", BM_SaveNewDate},    {"month_list_jump", BM_MonthListJump},
    {"wheel_step", BM_WheelStep},         {"go_to_today", BM_GoToToday},
    {"open_side_panels", BM_OpenSidePanels},
};

// Every action against every store: CPU milliseconds per action, which a
// shared machine disturbs least, and the worst against the frame.
class CostTable : public bench::CollectingReporter {
 public:
  void Print() {
    for (bool enciphered : {false, true}) {
      std::printf("\nCPU ms per action, %s stores (budget %.0f ms):\n%-20s", enciphered ? "enciphered" : "plain",
                  kFrameSeconds * 1e3, "action");
      for (const bench::StoreShape& shape : bench::kStoreShapes) std::printf(" %12s", shape.name);
      std::printf("\n");
      for (const auto& [action, function] : kActions) {
        std::printf("%-20s", action);
        for (const bench::StoreShape& shape : bench::kStoreShapes) {
          const std::string name = Name(action, shape, enciphered);
          if (Has(name)) {
            worst_ = std::max(worst_, Ms(name, true));
            std::printf(" %12.3f", Ms(name, true));
          } else {
            std::printf(" %12s", "-");
          }
        }
        std::printf("\n");
      }
    }
    std::printf("\nSlowest action: %.3f ms CPU, %.2f of a frame: %s\n", worst_, worst_ / (kFrameSeconds * 1e3),
                worst_ <= kFrameSeconds * 1e3 ? "within the frame" : "OVER THE FRAME");
  }
  static std::string Name(const std::string& action, const bench::StoreShape& shape, bool enciphered) {
    return action + "/" + shape.name + (enciphered ? "/enciphered" : "/plain");
  }

 private:
  double worst_ = 0;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (const bench::StoreShape& shape : bench::kStoreShapes) {
    for (bool enciphered : {false, true}) {
      for (const auto& [action, function] : kActions) {
        benchmark::RegisterBenchmark(CostTable::Name(action, shape, enciphered).c_str(), function,
                                     Store{&shape, enciphered})
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.2);
      }
    }
  }
  CostTable table;
  benchmark::RunSpecifiedBenchmarks(&table);
  table.Print();
  benchmark::Shutdown();
  return 0;
}
