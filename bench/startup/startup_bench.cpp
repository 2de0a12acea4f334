// Start-up time and peak memory of the memo book on a store of 36,500 memos
// (bench/memo_workload.h) against a minimal Qt Widgets program that shows
// one empty window, and against the floor: the same window painting the
// texts the memo book's first window shows (today's month and memo), which
// no program showing them starts below. All are measured in this run on one
// private X display. A
// start is timed from the fork to the moment the first painted window
// reached the screen (the programs report it themselves, see
// app/first_paint_probe.h); the peak resident set comes from the ended child.
// Each figure is the median of kStarts fresh processes, the two programs
// alternating so that a change in machine load touches both alike. The
// processor time of each process is reported beside it: on a busy machine
// it says what waiting for a processor hides in the wall time.
#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/e2e/x_session.h"
#include "base/datetime.h"
#include "bench/startup/timed_start.h"
#include "ui/calendar/lunar_month_grid.h"

namespace {

constexpr int kStarts = 15;

using tarnwick::bench::Figures;
using tarnwick::bench::Start;

// One start of the memo book or of the reference on the X display.
bool StartOnce(const std::string& display, const std::filesystem::path& program, Start& start,
               const std::filesystem::path* seed = nullptr) {
  return tarnwick::bench::StartOnce(
      {}, program, {"DISPLAY=" + display, "TARNWICK_EXIT_AFTER_FIRST_PAINT=1", "QT_QPA_PLATFORM=xcb"}, start, seed);
}

// A folder holding texts.txt for the floor: the texts of today's month as
// the calendar shows them, then today's memo of the prepared store.
const std::filesystem::path& PreparedTexts() {
  static tarnwick::testing::TempDir folder;
  static const bool written = [] {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const tarnwick::GregorianDate today{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    const auto grid = tarnwick::BuildMonthGrid(today, tarnwick::kGregorianMonthView);
    if (!grid) return false;
    std::ofstream texts(folder.File("texts.txt"), std::ios::binary);
    for (int weekday = 1; weekday <= 7; ++weekday) texts << tarnwick::GbkToUtf8(tarnwick::WeekdayName(weekday)) << '\n';
    for (const auto& cell : grid->cells) {
      texts << tarnwick::GbkToUtf8(cell.lunar_text) << '\n' << cell.day_text << '\n';
    }
    texts << tarnwick::GbkToUtf8(grid->footer_text) << '\n';
    const int index = static_cast<int>(tarnwick::EncodeDate(today.year, today.month, today.day) - tarnwick::bench::kFirstDate);
    if (index >= 0 && index < tarnwick::bench::RecordTotal()) texts << tarnwick::GbkToUtf8(tarnwick::bench::MemoText(index));
    return bool(texts.flush());
  }();
  if (!written) std::fprintf(stderr, "start-up benchmark: the texts could not be written\n");
  return folder.path();
}

Figures reference, text_floor, memo_book;

void Measure() {
  static bool measured = false;
  if (measured) return;
  measured = true;
  tarnwick::e2e::XSession session;
  if (!session.Start()) return;
  tarnwick::bench::MeasureInTurn(
      kStarts,
      {{[&](Start& start) { return StartOnce(session.display(), TARNWICK_MINIMAL_WINDOW, start); }, &reference},
       {[&](Start& start) { return StartOnce(session.display(), TARNWICK_TEXT_WINDOW, start, &PreparedTexts()); },
        &text_floor},
       {[&](Start& start) {
          return StartOnce(session.display(), TARNWICK_PROGRAM, start, &tarnwick::bench::PreparedStore());
        },
        &memo_book}});
}

void Report(benchmark::State& state, const Figures& figures) {
  Measure();
  tarnwick::bench::ReportFigures(state, figures, &figures == &reference ? nullptr : &reference,
                                 "no X display, or a program did not paint its window");
  if (&figures == &memo_book) tarnwick::bench::ReportRatios(state, figures, text_floor, "_to_floor");
}

void BM_MinimalQtWindowFirstPaint(benchmark::State& state) { Report(state, reference); }
void BM_TextFloorFirstPaint(benchmark::State& state) { Report(state, text_floor); }
void BM_TarnwickFirstPaint(benchmark::State& state) { Report(state, memo_book); }

BENCHMARK(BM_MinimalQtWindowFirstPaint)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextFloorFirstPaint)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TarnwickFirstPaint)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
