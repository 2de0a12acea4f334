// What a start-up benchmark measures of one process start, the medians over
// several starts, and how they are reported against a reference program.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <string>
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

// One program of a measurement, and where its medians go.
struct Contender {
  std::function<bool(Start&)> start;
  Figures* figures;
};

// Starts the programs in turn, `starts` times each, so that a change in
// machine load touches all alike, and keeps their medians; false when a
// start failed.
inline bool MeasureInTurn(int starts, const std::vector<Contender>& contenders) {
  std::vector<std::vector<Start>> measured(contenders.size());
  for (int i = 0; i < starts; ++i) {
    for (std::size_t c = 0; c < contenders.size(); ++c) {
      Start one;
      if (!contenders[c].start(one)) return false;
      measured[c].push_back(one);
    }
  }
  for (std::size_t c = 0; c < contenders.size(); ++c) *contenders[c].figures = MedianOf(measured[c]);
  return true;
}

// The ratios of `figures` to `to`, as counters named "time" + suffix and so on.
inline void ReportRatios(benchmark::State& state, const Figures& figures, const Figures& to,
                         const std::string& suffix) {
  if (!to.ok) return;
  state.counters["time" + suffix] = figures.median_seconds / to.median_seconds;
  state.counters["memory" + suffix] = double(figures.median_peak_kib) / double(to.median_peak_kib);
  state.counters["cpu" + suffix] = figures.median_cpu_seconds / to.median_cpu_seconds;
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
  if (reference != nullptr) ReportRatios(state, figures, *reference, "_ratio");
}

}  // namespace tarnwick::bench
