// Start-up time and peak memory of the Windows program under Wine on a store
// of 36,500 memos (bench/memo_workload.h), against a minimal Win32 program
// that shows one empty window, measured as bench/startup measures the Linux
// program: from the fork to the moment the first painted window reached the
// screen (each program reports it, app/windows/first_paint_probe.h), the
// median of kStarts fresh processes, the two programs alternating, on one
// private X display. The wine server is started once beforehand and kept
// running, as the system a Windows program starts on is already up. The
// program is measured as it ships, stripped (scripts/package-windows.sh):
// Wine reads the sections of the debugging information too.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/e2e/x_session.h"
#include "bench/startup/timed_start.h"
#include "testing/temp_dir.h"

namespace {

using tarnwick::e2e::Child;

constexpr int kStarts = 5;

using tarnwick::bench::Figures;
using tarnwick::bench::Start;

std::vector<std::string> WineEnvironment(const std::string& display) {
  return {"DISPLAY=" + display, "WINEPREFIX=" TARNWICK_WINE_PREFIX, "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=mscoree,mshtml=", "TARNWICK_EXIT_AFTER_FIRST_PAINT=1"};
}

// One start of the program or of the reference under Wine on the X display.
bool StartOnce(const std::string& display, const std::filesystem::path& program, Start& start,
               const std::filesystem::path* seed = nullptr) {
  return tarnwick::bench::StartOnce({"wine"}, program, WineEnvironment(display), start, seed);
}

Figures reference, memo_book;

void Measure() {
  static bool measured = false;
  if (measured) return;
  measured = true;
  tarnwick::e2e::XSession session;
  if (!session.Start()) return;
  static tarnwick::testing::TempDir shipped;
  const std::string program = shipped.File("tarnwick.exe");
  if (tarnwick::e2e::RunCommand({"x86_64-w64-mingw32-strip", "-o", program, TARNWICK_WINDOWS_PROGRAM}, "")
          .exit_code != 0) {
    return;
  }
  tarnwick::e2e::RunCommand({"env", "WINEPREFIX=" TARNWICK_WINE_PREFIX, "wineboot", "-i"}, session.display(),
                            std::chrono::seconds(180));
  Child server = Child::Start({"wineserver", "-p", "-f"}, std::filesystem::temp_directory_path(),
                              {"WINEPREFIX=" TARNWICK_WINE_PREFIX});
  // One start of each first, so neither pays for the other's first loading.
  Start warm;
  StartOnce(session.display(), TARNWICK_MINIMAL_WINDOW, warm);
  StartOnce(session.display(), program, warm, &tarnwick::bench::PreparedStore());
  tarnwick::bench::MeasureInTurn(
      kStarts, {{[&](Start& start) { return StartOnce(session.display(), TARNWICK_MINIMAL_WINDOW, start); },
                 &reference},
                {[&](Start& start) {
                   return StartOnce(session.display(), program, start, &tarnwick::bench::PreparedStore());
                 },
                 &memo_book}});
  tarnwick::e2e::RunCommand({"env", "WINEPREFIX=" TARNWICK_WINE_PREFIX, "wineserver", "-k"}, "",
                            std::chrono::seconds(20));
}

void Report(benchmark::State& state, const Figures& figures) {
  Measure();
  tarnwick::bench::ReportFigures(state, figures, &figures == &memo_book ? &reference : nullptr,
                "no X display, Wine or mingw-w64 strip, or a program did not paint its window");
}

void BM_MinimalWin32WindowFirstPaintUnderWine(benchmark::State& state) { Report(state, reference); }
void BM_TarnwickExeFirstPaintUnderWine(benchmark::State& state) { Report(state, memo_book); }

BENCHMARK(BM_MinimalWin32WindowFirstPaintUnderWine)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TarnwickExeFirstPaintUnderWine)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
