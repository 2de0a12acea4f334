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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/e2e/x_session.h"
#include "base/text.h"
#include "bench/memo_store_workload.h"
#include "bench/startup/start_figures.h"
#include "testing/temp_dir.h"

namespace {

using tarnwick::e2e::Child;
using Clock = std::chrono::steady_clock;

constexpr int kStarts = 5;

using tarnwick::bench::Figures;
using tarnwick::bench::Start;

// The memo book's store of the common workload, written once.
const std::filesystem::path& PreparedStore() {
  static tarnwick::testing::TempDir folder;
  static const bool written = tarnwick::bench::FillMemoStore(
      tarnwick::Utf8ToGbk(folder.path().string()), tarnwick::bench::RecordTotal());
  if (!written) std::fprintf(stderr, "startup_bench: the store could not be written\n");
  return folder.path();
}

// One fresh process of `program`, placed in a folder of its own first, with
// a copy of the prepared store when given, so each start is the same.
bool StartOnce(const std::string& display, const std::filesystem::path& program, Start& start,
               const std::filesystem::path* store = nullptr) {
  tarnwick::testing::TempDir folder;
  if (store) {
    for (const char* name : {"memo.edb", "memo.EDT"}) std::filesystem::copy_file(*store / name, folder.path() / name);
  }
  std::filesystem::path copy = folder.path() / program.filename();
  // A hard link where it can be: a fresh copy of the binary would still be
  // on its way to the disk while the program starts.
  std::error_code linked;
  std::filesystem::create_hard_link(program, copy, linked);
  if (linked) std::filesystem::copy_file(program, copy);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  auto began = Clock::now();
  Child child = Child::Start({copy.string()}, folder.path(),
                             {"DISPLAY=" + display, "TARNWICK_EXIT_AFTER_FIRST_PAINT=1", "QT_QPA_PLATFORM=xcb"}, out[1]);
  close(out[1]);
  std::string said;
  while (said.find("painted") == std::string::npos) {
    pollfd fd{out[0], POLLIN, 0};
    if (poll(&fd, 1, 30000) <= 0) break;
    char buffer[64];
    ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    said.append(buffer, static_cast<size_t>(got));
  }
  start.seconds = std::chrono::duration<double>(Clock::now() - began).count();
  close(out[0]);
  auto code = child.Wait(std::chrono::seconds(10));
  start.peak_kib = child.peak_resident_kib();
  start.cpu_seconds = child.cpu_seconds();
  return said.find("painted") != std::string::npos && code == 0;
}

Figures reference, memo_book;

void Measure() {
  static bool measured = false;
  if (measured) return;
  measured = true;
  tarnwick::e2e::XSession session;
  if (!session.Start()) return;
  std::vector<Start> ref_starts, memo_starts;
  for (int i = 0; i < kStarts; ++i) {
    Start ref, memo;
    if (!StartOnce(session.display(), TARNWICK_MINIMAL_WINDOW, ref)) return;
    if (!StartOnce(session.display(), TARNWICK_PROGRAM, memo, &PreparedStore())) return;
    ref_starts.push_back(ref);
    memo_starts.push_back(memo);
  }
  reference = tarnwick::bench::MedianOf(ref_starts);
  memo_book = tarnwick::bench::MedianOf(memo_starts);
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
