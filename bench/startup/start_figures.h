// What a start-up benchmark measures of one process start, the medians over
// several starts, and how they are reported against a reference program.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace tarnwick::bench {

struct Start {
  double seconds = 0;
  double cpu_seconds = 0;  // the whole life of the process, to its exit
  long peak_kib = 0;
};

struct Figures {
  double median_seconds = 0;
  double median_cpu_seconds = 0;
  long median_peak_kib = 0;
  bool ok = false;
};

inline Figures MedianOf(std::vector<Start> starts) {
  Figures figures;
  auto median = [&starts](auto member) {
    std::sort(starts.begin(), starts.end(), [member](auto& a, auto& b) { return a.*member < b.*member; });
    return starts[starts.size() / 2].*member;
  };
  figures.median_seconds = median(&Start::seconds);
  figures.median_cpu_seconds = median(&Start::cpu_seconds);
  figures.median_peak_kib = median(&Start::peak_kib);
  figures.ok = true;
  return figures;
}

// Starts the reference and the program in turn, `starts` times each, so that
// a change in machine load touches both alike, and keeps their medians; false
// when a start failed.
inline bool MeasureInTurn(int starts, const std::function<bool(Start&)>& start_reference,
                          const std::function<bool(Start&)>& start_program, Figures* reference, Figures* program) {
  std::vector<Start> reference_starts, program_starts;
  for (int i = 0; i < starts; ++i) {
    Start one_reference, one_program;
    if (!start_reference(one_reference) || !start_program(one_program)) return false;
    reference_starts.push_back(one_reference);
    program_starts.push_back(one_program);
  }
  *reference = MedianOf(reference_starts);
  *program = MedianOf(program_starts);
  return true;
}

// One iteration timed by hand with the median time; the program's figures
// also carry their ratios to the reference's when `reference` is given.
inline void ReportFigures(benchmark::State& state, const Figures& figures, const Figures* reference,
                          const char* failure) {
  for (auto _ : state) {
    if (!figures.ok) {
      state.SkipWithError(failure);
      break;
    }
    state.SetIterationTime(figures.median_seconds);
  }
  state.counters["peak_rss_MiB"] = figures.median_peak_kib / 1024.0;
  state.counters["cpu_ms"] = figures.median_cpu_seconds * 1000;
  if (reference != nullptr && reference->ok) {
    state.counters["time_ratio"] = figures.median_seconds / reference->median_seconds;
    state.counters["memory_ratio"] = double(figures.median_peak_kib) / double(reference->median_peak_kib);
    state.counters["cpu_ratio"] = figures.median_cpu_seconds / reference->median_cpu_seconds;
  }
}

}  // namespace tarnwick::bench
