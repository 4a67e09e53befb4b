#include "bench/BenchCompare.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace tintwise::bench {

namespace {

std::vector<std::shared_ptr<TComparison>> &Comparisons() {
  static std::vector<std::shared_ptr<TComparison>> list;
  return list;
}

// Collects the median of every benchmark while the console shows the usual table.
class TMedianReporter : public benchmark::ConsoleReporter {
public:
  TMedianReporter() : ConsoleReporter(OO_None) {} // plain text: the log is read by scripts
  std::map<std::string, double> MediansMs;

  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs)
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        MediansMs[run.run_name.function_name] =
            run.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
            benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
};

void Register(const std::string &name, const std::shared_ptr<TComparison> &c, bool ours) {
  benchmark::RegisterBenchmark(name.c_str(), [c, ours](benchmark::State &state) {
    for (auto _ : state) {
      if (c->Setup) {
        state.PauseTiming();
        c->Setup();
        state.ResumeTiming();
      }
      if (ours)
        c->Ours();
      else
        c->Other();
    }
  })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(0.2)
      ->Repetitions(9)
      ->ReportAggregatesOnly(true);
}

} // namespace

void AddComparison(TComparison comparison) {
  auto c = std::make_shared<TComparison>(std::move(comparison));
  Comparisons().push_back(c);
  Register(c->Name + "/ours", c, true);
  Register(c->Name + "/" + c->Anchor, c, false);
}

int RunComparisons(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 2;
  TMedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::fflush(stdout);
  for (const auto &c : Comparisons()) {
    const auto ours = reporter.MediansMs.find(c->Name + "/ours");
    const auto other = reporter.MediansMs.find(c->Name + "/" + c->Anchor);
    if (ours == reporter.MediansMs.end() || other == reporter.MediansMs.end())
      continue; // filtered out
    std::printf("%s ours=%.3f ms %s=%.3f ms ratio=%.3f\n", c->Name.c_str(), ours->second, c->Anchor.c_str(),
                other->second, ours->second / other->second);
  }
  return 0;
}

} // namespace tintwise::bench
