// Benchmarks that measure one of our routines beside its peers in the same run.
//
// A case has a name, a unit ("Mpix/s", "MB/s", "tests/s"), the amount of that unit one
// iteration processes, and implementations: the first is ours ("vexa"), the others are the
// peers. Each becomes a Google Benchmark named "<case>/<implementation>" that reports its
// rate; after the run the summary prints, for every peer,
//   ratio <case> <peer> <vexa rate> <peer rate> <vexa/peer>
// (above 1 is ahead; for a cost measured by RegisterMeasure the last field is peer/vexa, so
// that it reads the same way)
// A case that sets a wrapper beside the bare call it wraps (RegisterOverhead) is a measure
// of the wrapper's cost, not a race, and prints instead
//   overhead <case> <bare> <vexa rate> <bare rate> <vexa/bare>
// Names are single words, so that every line has the same columns. With
// --summary_out=<file> the summary lines also go to that file (the peer scripts append
// theirs, and make bench prints the file last).
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vexabench {

// How the summary reads ours beside another implementation:
//   kRatio      a race with a peer doing the same work (goal: ahead)
//   kOverhead   the bare call ours wraps, or the memory bound (memcpy): what our wrapping costs
//   kReference  shown for orientation, not a race: a peer doing other work (a bilinear
//               reduction reads 2 x 2 taps where ours filters the whole footprint)
enum class Line { kRatio, kOverhead, kReference };

// One implementation of a case: runs the work once per call. `prepare`, when given, runs
// before each timed batch, untimed (opening a device, filling its buffers).
struct Impl {
  std::string name;
  std::function<void()> run;
  std::function<void()> prepare = nullptr;
  Line line = Line::kRatio;
};

inline Impl Bare(std::string name, std::function<void()> run) {
  return Impl{std::move(name), std::move(run), nullptr, Line::kOverhead};
}
inline Impl Reference(std::string name, std::function<void()> run) {
  return Impl{std::move(name), std::move(run), nullptr, Line::kReference};
}

// `realTime`: rates are taken over wall-clock time (for work done on another thread, such as an
// audio callback), not the calling thread's CPU time.
void RegisterCase(const std::string& caseName, const std::string& unit, double unitsPerIteration,
                  std::vector<Impl> impls, bool realTime = false);
void RegisterOverhead(const std::string& caseName, const std::string& unit,
                      double unitsPerIteration, Impl ours, Impl bare);

// A case measured once per implementation as a value where less is better (CPU time, a delay)
// rather than a rate; its summary line gives both values and peer / ours, so above 1 is ahead
// there too.
struct Measure {
  std::string name;
  std::function<double()> measure;
};
void RegisterMeasure(const std::string& caseName, const std::string& unit,
                     std::vector<Measure> measures);

// Keeps a value alive so that the compiler cannot drop the work that made it.
template <typename T>
inline void Keep(T&& value) {
  benchmark::DoNotOptimize(value);
}

// True when the renderer's routines exist: the memory prototypes are filled and their
// transparent copy is installed. Cases over surfaces register only then.
bool KernelsAvailable();

// Registration: `static const vexabench::Registrar r([]{ RegisterCase(...); });`. The
// callbacks run from main, after the library has loaded and built its prototypes.
struct Registrar {
  explicit Registrar(std::function<void()> registerCases);
};
void RunRegistrars();

}  // namespace vexabench
