// The lunar conversions and the month grid against their time budgets
// (Gregorian to lunar 1 us, lunar to Gregorian 10 us, a grid 20 us), and the
// indexed Gregorian to lunar conversion against the plain walk over the
// years from 1901 that it replaces. Ratios are printed after the runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/calendar/lunar_month_grid.h"

namespace tarnwick {
namespace {

// Two to three days of every month of the selectable range.
const std::vector<GregorianDate>& SampleDates() {
  static const std::vector<GregorianDate> dates = [] {
    std::vector<GregorianDate> result;
    for (int year = 1901; year <= 2048; ++year) {
      for (int month = 1; month <= 12; ++month) {
        for (int day = 1 + (year * 12 + month) % 28; day <= 28; day += 9) {
          if (IsSelectableDate(year, month, day)) result.push_back({year, month, day});
        }
      }
    }
    return result;
  }();
  return dates;
}

// The conversion written as a walk from lunar 1901, month by month.
std::optional<LunarDate> GregorianToLunarByWalking(const GregorianDate& date) {
  int n = 0;  // days from 1901-01-01
  for (int year = 1901; year < date.year; ++year) n += (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 ? 366 : 365;
  for (int month = 1; month < date.month; ++month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    n += kDays[month - 1] + (month == 2 && date.year % 4 == 0 && (date.year % 100 != 0 || date.year % 400 == 0));
  }
  n += date.day - 1;
  if (n <= 48) return n <= 18 ? LunarDate{1900, 11, n + 11, false} : LunarDate{1900, 12, n - 18, false};
  n -= 49;
  int year = 1901;
  while (n >= DaysInLunarYear(year)) n -= DaysInLunarYear(year++);
  const int leap_month = LunarLeapMonth(year);
  for (int month = 1; month <= 12; ++month) {
    if (n < DaysInLunarMonth(year, month)) return LunarDate{year, month, n + 1, false};
    n -= DaysInLunarMonth(year, month);
    if (month == leap_month) {
      if (n < DaysInLunarMonth(year, month, true)) return LunarDate{year, month, n + 1, true};
      n -= DaysInLunarMonth(year, month, true);
    }
  }
  return std::nullopt;
}

void BM_GregorianToLunar(benchmark::State& state) {
  const auto& dates = SampleDates();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(GregorianToLunar(dates[i]));
    if (++i == dates.size()) i = 0;
  }
}
BENCHMARK(BM_GregorianToLunar);

void BM_GregorianToLunarByWalking(benchmark::State& state) {
  const auto& dates = SampleDates();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(GregorianToLunarByWalking(dates[i]));
    if (++i == dates.size()) i = 0;
  }
}
BENCHMARK(BM_GregorianToLunarByWalking);

void BM_LunarToGregorian(benchmark::State& state) {
  std::vector<LunarDate> lunar_dates;
  for (const GregorianDate& date : SampleDates()) lunar_dates.push_back(*GregorianToLunar(date));
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(LunarToGregorian(lunar_dates[i]));
    if (++i == lunar_dates.size()) i = 0;
  }
}
BENCHMARK(BM_LunarToGregorian);

void BM_BuildMonthGrid(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const auto& dates = SampleDates();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildMonthGrid(dates[i], mode));
    if (++i == dates.size()) i = 0;
  }
}
BENCHMARK(BM_BuildMonthGrid)->Arg(kGregorianMonthView)->Arg(kLunarMonthView);

// Prints, after the usual table, each result against its budget.
class BudgetReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      nanoseconds_[run.benchmark_name()] = run.GetAdjustedRealTime() * Scale(run.time_unit);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const struct {
      const char* name;
      double budget_ns;
    } budgets[] = {{"BM_GregorianToLunar", 1000},
                   {"BM_LunarToGregorian", 10000},
                   {"BM_BuildMonthGrid/1", 20000},
                   {"BM_BuildMonthGrid/0", 20000}};
    for (const auto& budget : budgets) {
      const auto found = nanoseconds_.find(budget.name);
      if (found == nanoseconds_.end()) continue;
      std::printf("%-22s %9.1f ns  budget %6.0f ns  ratio %.3f\n", budget.name, found->second, budget.budget_ns,
                  found->second / budget.budget_ns);
    }
    const auto indexed = nanoseconds_.find("BM_GregorianToLunar");
    const auto walking = nanoseconds_.find("BM_GregorianToLunarByWalking");
    if (indexed != nanoseconds_.end() && walking != nanoseconds_.end()) {
      std::printf("walking the years / indexed: %.1f\n", walking->second / indexed->second);
    }
  }

 private:
  static double Scale(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond: return 1e9;
      case benchmark::kMillisecond: return 1e6;
      case benchmark::kMicrosecond: return 1e3;
      default: return 1;
    }
  }

  std::map<std::string, double> nanoseconds_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tarnwick::BudgetReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
