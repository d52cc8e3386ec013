// SPDX-License-Identifier: Apache-2.0
// Ratios of benchmarks measured in the same run: after the usual table,
// each candidate's median and fastest repetition over its baseline's.
// Repetitions run in random interleaving by default, so that both sides of
// a pair see the same machine: on a shared machine the load drifts over
// seconds, and a pair measured one after the other drifts with it.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace chip_bench {

struct Ratio {
  std::string candidate;  // benchmark names as given to ->Name()
  std::string baseline;
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::vector<Ratio> ratios) : ratios_(std::move(ratios)) {}

  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      if (run.run_type == Run::RT_Aggregate && !run.error_occurred) {
        times_[run.run_name.function_name][run.aggregate_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-44s %-28s %8s %8s\n", "candidate", "over baseline", "median", "fastest");
    for (const Ratio &ratio : ratios_) {
      std::printf("%-44s %-28s %7.2fx %7.2fx\n", ratio.candidate.c_str(), ratio.baseline.c_str(),
                  of(ratio, "median"), of(ratio, "min"));
    }
  }

 private:
  // 0 when either side did not run (filtered out or skipped).
  double of(const Ratio &ratio, const char *statistic) const {
    const double candidate = time(ratio.candidate, statistic);
    const double baseline = time(ratio.baseline, statistic);
    return candidate > 0 && baseline > 0 ? candidate / baseline : 0.0;
  }
  double time(const std::string &name, const char *statistic) const {
    const auto found = times_.find(name);
    if (found == times_.end()) return 0.0;
    const auto value = found->second.find(statistic);
    return value == found->second.end() ? 0.0 : value->second;
  }

  std::vector<Ratio> ratios_;
  std::map<std::string, std::map<std::string, double>> times_;
};

// The fastest repetition: other load on the machine only ever adds time, so
// the minimum is the steadiest figure of what the code itself costs.
inline double fastest(const std::vector<double> &times) {
  double best = times.empty() ? 0.0 : times[0];
  for (const double t : times) best = t < best ? t : best;
  return best;
}

// Runs the registered benchmarks (each with its repetitions, aggregates
// only) and prints the ratios. Random interleaving is on unless the command
// line says otherwise.
inline int run_with_ratios(int argc, char **argv, std::vector<Ratio> ratios) {
  std::vector<char *> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  bool given = false;
  for (int i = 1; i < argc; ++i) {
    given = given || std::string(argv[i]).rfind("--benchmark_enable_random_interleaving", 0) == 0;
  }
  if (!given) args.insert(args.begin() + 1, interleave.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  RatioReporter reporter(std::move(ratios));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace chip_bench
