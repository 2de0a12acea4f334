// The memo book's user actions on the headless backend over the common
// workload (bench/memo_workload.h: 36,500 daily memos), plain and enciphered: a day
// click, saves of an existing and of a new date, a jump from the month list,
// a wheel step, go to today, opening the side panels. Each action includes
// the notifications it posts. The budget of each is one frame at 60 Hz
// (16 ms); the ratio to it is reported as the counter frame_ratio.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/memo_program.h"
#include "base/text.h"
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

// A folder holding the store, written once per kind and kept for the run;
// empty when it could not be written.
const std::string& PreparedFolder(bool enciphered) {
  static testing::TempDir dir;
  static std::string folders[2];
  if (folders[enciphered].empty()) {
    const std::string folder = Utf8ToGbk(dir.File(enciphered ? "enciphered" : "plain"));
    if (bench::FillMemoStore(folder, bench::RecordTotal(), enciphered ? kPassword : "")) folders[enciphered] = folder;
  }
  return folders[enciphered];
}

// The running program over the prepared store, unlocked when enciphered,
// showing 2011-05-17 (the headless clock's today).
class RunningBook {
 public:
  explicit RunningBook(bool enciphered) {
    platform_.headless_loop().SetLocalNow(EncodeDate(2011, 5, 17) + 10.0 / 24);
    if (enciphered) platform_.headless_dialogs().ExpectInputBox({}, std::string(kPassword));
    program_ = std::make_unique<MemoProgram>(platform_, engine_, PreparedFolder(enciphered));
    program_->Load();
    Settle();
    if (enciphered) {
      Click(controls().超级按钮1);
      Settle();
    }
    // The window check's first tick gives 超级按钮1 back its go-to-today caption.
    platform_.headless_loop().AdvanceTime(200);
    if (controls().编辑按钮.disabled() || book().store().MemoCount() < bench::RecordTotal()) failed_ = true;
  }

  bool failed() const { return failed_; }
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

  HeadlessPlatform platform_;
  DatabaseEngine engine_;
  std::unique_ptr<MemoProgram> program_;
  bool failed_ = false;
};

// Two days of the shown month, clicked in turn: DateChanged and DayClicked,
// two month-list rebuilds and two lookups each.
void BM_DayClick(benchmark::State& state) {
  RunningBook book(state.range(0));
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  int turn = 0;
  for (auto _ : state) book.ClickDay(2011, 5, 3 + (turn++ % 2) * 10);
  ReportFrame(state);
}

void BM_SaveExistingDate(benchmark::State& state) {
  RunningBook book(state.range(0));
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  book.ClickDay(2011, 5, 3);
  int turn = 0;
  for (auto _ : state) book.Save(Gbk("改写的备忘 ") + std::to_string(turn++));
  ReportFrame(state);
}

// Every save appends: each iteration first makes a date without a memo current.
void BM_SaveNewDate(benchmark::State& state) {
  RunningBook book(state.range(0));
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  DateTime next = bench::kFirstDate + bench::RecordTotal();
  for (auto _ : state) {
    book.book().currentDate = next++;
    book.Save(Gbk("新的一天"));
  }
  ReportFrame(state);
}

void BM_MonthListJump(benchmark::State& state) {
  RunningBook book(state.range(0));
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

void BM_WheelStep(benchmark::State& state) {
  RunningBook book(state.range(0));
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  book.controls().日历.SetFocus();
  int turn = 0;
  for (auto _ : state) {
    book.windows().TurnWheel((turn++ / 6) % 2 ? 120 : -120);
    book.Settle();
  }
  ReportFrame(state);
}

void BM_GoToToday(benchmark::State& state) {
  RunningBook book(state.range(0));
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  for (auto _ : state) {
    book.Click(book.controls().超级按钮1);
    book.Settle();
  }
  ReportFrame(state);
}

// Opening the side panels rebuilds the month list; the close between two
// openings is timed as well (it only narrows the window).
void BM_OpenSidePanels(benchmark::State& state) {
  RunningBook book(state.range(0));
  if (book.failed()) return state.SkipWithError("the program did not start on its store");
  Control* toggle = book.controls().主窗口.Find("搜索面板按钮");
  for (auto _ : state) {
    book.Click(*toggle);
    book.Settle();
  }
  ReportFrame(state);
}

#define MEMO_BENCH(name) BENCHMARK(name)->ArgName("enciphered")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)
MEMO_BENCH(BM_DayClick);
MEMO_BENCH(BM_SaveExistingDate);
MEMO_BENCH(BM_SaveNewDate);
MEMO_BENCH(BM_MonthListJump);
MEMO_BENCH(BM_WheelStep);
MEMO_BENCH(BM_GoToToday);
MEMO_BENCH(BM_OpenSidePanels);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
