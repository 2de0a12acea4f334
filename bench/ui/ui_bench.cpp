// The calendar widget and the main window against their time budgets, on
// the headless backend: selecting a new date on the calendar and drawing it
// (grid rebuilt, picture redrawn, the posted notification delivered), and
// creating the whole main window with every control and picture. Each has a
// budget of 1 ms; the ratio to it is reported as the counter budget_ratio.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/headless/headless_platform.h"
#include "ui/calendar/cn_month_calendar.h"
#include "ui/main_window.h"

namespace tarnwick {
namespace {

constexpr double kBudgetSeconds = 1e-3;

void ReportBudget(benchmark::State& state) {
  state.counters["budget_ratio"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBudgetSeconds,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

class CountingOwner : public CnMonthCalendarOwner {
 public:
  void DateChanged() override { ++date_changes; }
  long date_changes = 0;
};

// A new date every time, walking through the months of several years so
// that each selection rebuilds a different grid.
void BM_CalendarNewDateBuildAndDraw(benchmark::State& state) {
  HeadlessPlatform platform;
  WindowListener listener;
  auto window = platform.windows().CreateTopLevelWindow(WindowStyle{}, {0, 0, 371, 596}, "", listener);
  window->Show();
  CountingOwner owner;
  CnMonthCalendar calendar(platform, *window, {0, 0}, owner, CnMonthCalendar::Options{});
  HeadlessCanvas screen(calendar.size());
  const Rect whole{0, 0, calendar.size().width, calendar.size().height};
  int step = 0;
  for (auto _ : state) {
    int year = 1990 + (step / 12) % 40;
    int month = 1 + step % 12;
    int day = 1 + step % 28;
    ++step;
    calendar.SetDate(year, month, day);
    platform.loop().ProcessPendingEvents();
    calendar.Paint(screen, whole);
    screen.ClearOps();
    benchmark::DoNotOptimize(screen.pixels());
  }
  if (owner.date_changes != step) state.SkipWithError("a notification went missing");
  ReportBudget(state);
}
BENCHMARK(BM_CalendarNewDateBuildAndDraw);

// The same with the hover: moving between two cells repaints two cells and
// the footer, not the grid.
void BM_CalendarHoverRepaint(benchmark::State& state) {
  HeadlessPlatform platform;
  WindowListener listener;
  auto window = platform.windows().CreateTopLevelWindow(WindowStyle{}, {0, 0, 371, 596}, "", listener);
  window->Show();
  CnMonthCalendarOwner owner;
  CnMonthCalendar::Options options;
  options.initial_date = GregorianDate{2011, 5, 17};
  CnMonthCalendar calendar(platform, *window, {0, 0}, owner, options);
  auto& windows = platform.headless_windows();
  auto& native = static_cast<HeadlessWindow&>(*window);
  Rect a = calendar.CellRect(20);
  Rect b = calendar.CellRect(21);
  bool flip = false;
  for (auto _ : state) {
    Rect cell = flip ? a : b;
    flip = !flip;
    windows.MoveMouse(native, {cell.left + 10, cell.top + 10});
  }
  ReportBudget(state);
}
BENCHMARK(BM_CalendarHoverRepaint);

void BM_MainWindowCreation(benchmark::State& state) {
  HeadlessPlatform platform;
  for (auto _ : state) {
    auto main = std::make_unique<MainWindow>(platform);
    benchmark::DoNotOptimize(main.get());
    state.PauseTiming();
    main.reset();
    platform.loop().ProcessPendingEvents();
    state.ResumeTiming();
  }
  ReportBudget(state);
}
BENCHMARK(BM_MainWindowCreation);

// Creation, loading (created, shown) and the first paint of every surface.
void BM_MainWindowCreateLoadAndPaint(benchmark::State& state) {
  HeadlessPlatform platform;
  for (auto _ : state) {
    auto main = std::make_unique<MainWindow>(platform);
    main->Load();
    platform.loop().ProcessPendingEvents();
    benchmark::DoNotOptimize(main.get());
    state.PauseTiming();
    main.reset();
    platform.loop().ProcessPendingEvents();
    state.ResumeTiming();
  }
  ReportBudget(state);
}
BENCHMARK(BM_MainWindowCreateLoadAndPaint);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
