// A console reporter that also keeps each benchmark's times per iteration
// (real and CPU) and its counters, for a summary printed after the table.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace tarnwick::bench {

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  struct Result {
    double seconds = 0;      // real time per iteration
    double cpu_seconds = 0;  // CPU time per iteration
    std::map<std::string, double> counters;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations <= 0) continue;
      Result& result = results_[run.run_name.function_name];
      result.seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      result.cpu_seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
      for (const auto& [name, counter] : run.counters) result.counters[name] = counter.value;
    }
  }

 protected:
  bool Has(const std::string& name) const { return results_.count(name) != 0; }
  Result& result(const std::string& name) { return results_[name]; }
  // Milliseconds per iteration, CPU or real.
  double Ms(const std::string& name, bool cpu) {
    return (cpu ? results_[name].cpu_seconds : results_[name].seconds) * 1e3;
  }

 private:
  std::map<std::string, Result> results_;
};

}  // namespace tarnwick::bench
