// The benchmark driver: Google Benchmark's console output, then one ratio or overhead line
// per peer.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"

namespace vexabench {
namespace {

struct CaseInfo {
  std::string unit;
  std::vector<std::string> impls;  // ours first
  std::vector<Line> lines;         // how each is read beside ours
  bool lowerIsBetter = false;      // values are costs (CPU time, a delay), not rates
};

std::vector<std::string>& CaseOrder() {
  static std::vector<std::string> order;
  return order;
}
std::map<std::string, CaseInfo>& Cases() {
  static std::map<std::string, CaseInfo> cases;
  return cases;
}

// A rate for the summary: one decimal, or four significant digits below 1 (whole objects
// such as files or shapes a second come out in millions, so small).
std::string Figure(double value) {
  char text[64];
  std::snprintf(text, sizeof text, value >= 1 ? "%.1f" : "%.4g", value);
  return text;
}

const char* LineKind(Line line) {
  switch (line) {
    case Line::kOverhead:
      return "overhead";
    case Line::kReference:
      return "reference";
    case Line::kRatio:
      break;
  }
  return "ratio";
}

// Collects each benchmark's rate (the median when repetitions are asked for).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const auto it = run.counters.find("rate");
      if (it == run.counters.end()) continue;
      const std::string name = run.run_name.function_name;
      if (run.run_type == Run::RT_Aggregate || !rates_.count(name)) rates_[name] = it->second.value;
    }
  }
  // To stdout and, when given, to `copy`.
  void PrintSummary(std::FILE* copy) const {
    std::printf("\n");
    for (const std::string& caseName : CaseOrder()) {
      const CaseInfo& info = Cases().at(caseName);
      const auto ours = rates_.find(caseName + "/" + info.impls[0]);
      if (ours == rates_.end() || ours->second <= 0) continue;
      for (size_t i = 1; i < info.impls.size(); ++i) {
        const auto peer = rates_.find(caseName + "/" + info.impls[i]);
        if (peer == rates_.end() || peer->second <= 0) continue;
        // The last field is how many times ahead ours is: for a cost, peer / ours.
        const double ahead =
            info.lowerIsBetter ? peer->second / ours->second : ours->second / peer->second;
        char line[512];
        std::snprintf(line, sizeof line, "%s %s %s %s %s %.2f\n", LineKind(info.lines[i]),
                      caseName.c_str(), info.impls[i].c_str(), Figure(ours->second).c_str(),
                      Figure(peer->second).c_str(), ahead);
        std::fputs(line, stdout);
        if (copy) std::fputs(line, copy);
      }
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

void RegisterCase(const std::string& caseName, const std::string& unit, double unitsPerIteration,
                  std::vector<Impl> impls, bool realTime) {
  CaseInfo info{unit, {}, {}};
  for (Impl& impl : impls) {
    info.impls.push_back(impl.name);
    info.lines.push_back(impl.line);
    auto run = impl.run;
    auto prepare = impl.prepare;
    benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(
        (caseName + "/" + impl.name).c_str(),
        [run, prepare, unitsPerIteration, unit](benchmark::State& state) {
          if (prepare) prepare();
          for (auto _ : state) run();
          state.counters["rate"] =
              benchmark::Counter(unitsPerIteration * static_cast<double>(state.iterations()) / 1e6,
                                 benchmark::Counter::kIsRate);
          state.SetLabel(unit);
        });
    if (realTime) b->UseRealTime();
  }
  CaseOrder().push_back(caseName);
  Cases()[caseName] = std::move(info);
}

void RegisterMeasure(const std::string& caseName, const std::string& unit,
                     std::vector<Measure> measures) {
  CaseInfo info{unit, {}, {}};
  for (Measure& m : measures) {
    info.impls.push_back(m.name);
    info.lines.push_back(Line::kRatio);
    auto measure = m.measure;
    benchmark::RegisterBenchmark((caseName + "/" + m.name).c_str(),
                                 [measure, unit](benchmark::State& state) {
                                   double value = 0;
                                   for (auto _ : state) value = measure();
                                   state.counters["rate"] = value;
                                   state.SetLabel(unit);
                                 })
        ->Iterations(1)
        ->UseRealTime();
  }
  info.lowerIsBetter = true;
  CaseOrder().push_back(caseName);
  Cases()[caseName] = std::move(info);
}

void RegisterOverhead(const std::string& caseName, const std::string& unit,
                      double unitsPerIteration, Impl ours, Impl bare) {
  bare.line = Line::kOverhead;
  RegisterCase(caseName, unit, unitsPerIteration, {std::move(ours), std::move(bare)});
}

std::vector<std::function<void()>>& Registrars() {
  static std::vector<std::function<void()>> registrars;
  return registrars;
}

Registrar::Registrar(std::function<void()> registerCases) {
  Registrars().push_back(std::move(registerCases));
}

void RunRegistrars() {
  for (auto& registerCases : Registrars()) registerCases();
}

bool KernelsAvailable() {
  cSurfaceObject* prototype = nullptr;
  if (!GetPrototype(&prototype, 32, kTypeMemory, kDriverNone)) return false;
  const PixelRoutineTable* t = prototype->implementation->pixelRoutines;
  return t && t->copyTransparent && t->copyOpaque;
}

}  // namespace vexabench

int main(int argc, char** argv) {
  // --summary_out=<file> is ours; the rest goes to Google Benchmark.
  const char* summaryPath = nullptr;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    constexpr char kOption[] = "--summary_out=";
    if (std::strncmp(argv[i], kOption, sizeof kOption - 1) == 0)
      summaryPath = argv[i] + sizeof kOption - 1;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  vexabench::RunRegistrars();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::FILE* summary = summaryPath ? std::fopen(summaryPath, "w") : nullptr;
  if (summaryPath && !summary) {
    std::perror(summaryPath);
    return 1;
  }
  vexabench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary(summary);
  if (summary) std::fclose(summary);
  benchmark::Shutdown();
  return 0;
}
