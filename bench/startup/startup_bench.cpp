// Start-up time and peak memory of the memo book on a store of 36,500 memos
// (bench/memo_workload.h) against a minimal Qt Widgets program that shows
// one empty window, both measured in this run on one private X display. A
// start is timed from the fork to the moment the first painted window
// reached the screen (the programs report it themselves, see
// app/first_paint_probe.h); the peak resident set comes from the ended child.
// Each figure is the median of kStarts fresh processes, the two programs
// alternating so that a change in machine load touches both alike. The
// processor time of each process is reported beside it: on a busy machine
// it says what waiting for a processor hides in the wall time.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/e2e/x_session.h"
#include "bench/startup/timed_start.h"

namespace {

constexpr int kStarts = 15;

using tarnwick::bench::Figures;
using tarnwick::bench::Start;

// One start of the memo book or of the reference on the X display.
bool StartOnce(const std::string& display, const std::filesystem::path& program, Start& start,
               const std::filesystem::path* store = nullptr) {
  return tarnwick::bench::StartOnce(
      {}, program, {"DISPLAY=" + display, "TARNWICK_EXIT_AFTER_FIRST_PAINT=1", "QT_QPA_PLATFORM=xcb"}, start, store);
}

Figures reference, memo_book;

void Measure() {
  static bool measured = false;
  if (measured) return;
  measured = true;
  tarnwick::e2e::XSession session;
  if (!session.Start()) return;
  tarnwick::bench::MeasureInTurn(
      kStarts, [&](Start& start) { return StartOnce(session.display(), TARNWICK_MINIMAL_WINDOW, start); },
      [&](Start& start) {
        return StartOnce(session.display(), TARNWICK_PROGRAM, start, &tarnwick::bench::PreparedStore());
      },
      &reference, &memo_book);
}

void Report(benchmark::State& state, const Figures& figures) {
  Measure();
  tarnwick::bench::ReportFigures(state, figures, &figures == &memo_book ? &reference : nullptr,
                "no X display, or a program did not paint its window");
}

void BM_MinimalQtWindowFirstPaint(benchmark::State& state) { Report(state, reference); }
void BM_TarnwickFirstPaint(benchmark::State& state) { Report(state, memo_book); }

BENCHMARK(BM_MinimalQtWindowFirstPaint)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TarnwickFirstPaint)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
