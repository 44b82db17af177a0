// vexa-demo: the library's main job.
//
//   vexa-demo                 library version, CPU features, dispatch level, prototypes
//   vexa-demo gallery [--out FILE] [--check | --update] [--sums FILE]
//                             renders the gallery (gallery.png); --check compares every tile's
//                             checksum with the checked-in values, --update rewrites them
//   vexa-demo bench           the renderer's benchmarks beside their peers, briefly, as a table
//   vexa-demo dialog [--save] [--kinds N] [FILE]
//                             the image open (or save) dialog over the library's plug-ins;
//                             prints the choice, or why no dialog could be shown
//   vexa-demo game [--headless] [--frames N] [--seed S] [--sprites N] [--scripted]
//                  [--check | --update] [--out DIR] [--assets DIR] [--plugins DIR]
//                  [--driver 5|6|7] [--shots F1,F2,...] [--compare DIR]
//                             the demo game: arrows move the ship, Esc quits; headless it
//                             plays an input track and writes game.png and game.wav;
//                             --driver draws it through a display driver, --shots writes
//                             frames, --compare checks them against a software run's
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <vexa/vexa.h>

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#endif

#include "dialog.h"
#include "gallery.h"
#include "game.h"
#include "image_export.h"

#ifndef VEXA_DEMO_SUMS
#define VEXA_DEMO_SUMS "gallery.sums"
#endif

namespace {

// Under AddressSanitizer: the game unloads libraries that carry thread-local storage (SDL drops
// libudev when its video subsystem quits, the JPEG plug-in takes libjpeg with it). The leak
// checker of this toolchain then walks stale dynamic-TLS entries at exit and crashes before
// reporting. Pinning those libraries keeps their entries valid, so the leak check runs in full.
void PinThreadLocalLibraries() {
#if defined(__SANITIZE_ADDRESS__)
  for (const char* name : {"libudev.so.1", "libjpeg.so.62"}) dlopen(name, RTLD_NOW | RTLD_NODELETE);
#endif
}

int PrintInfo() {
  std::printf("vexa library version %d\n", GetLibraryVersion());
  std::printf("CPU feature word 0x%02X\n", static_cast<unsigned>(GetCpuFeatureWord()));
  std::printf("dispatch level %s\n", GetDispatchLevelName());
  std::printf("screen mode code %d\n", GetScreenModeCode());
  std::printf("prototype slots:\n");
  static const char* kTypes[] = {"memory", "DIB section", "DIB section with DC"};
  for (int type = 0; type < 3; ++type) {
    for (int depth : {8, 15, 16, 24, 32}) {
      cSurfaceObject* prototype = nullptr;
      GetPrototype(&prototype, depth, type, kDriverNone);
      std::printf("  %-20s %2d bit  kind %d  %s\n", kTypes[type], depth,
                  prototype->GetImplementation()->GetKind(),
                  prototype->IsValid() ? "filled" : "empty");
    }
  }
  return 0;
}

std::map<std::string, unsigned> ReadSums(const std::string& path) {
  std::map<std::string, unsigned> sums;
  std::ifstream in(path);
  std::string name;
  std::string value;
  while (in >> name >> value) sums[name] = static_cast<unsigned>(std::stoul(value, nullptr, 16));
  return sums;
}

int RunGallery(int argc, char** argv) {
  std::string out = "gallery.png", sumsPath = VEXA_DEMO_SUMS;
  bool check = false, update = false;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--check"))
      check = true;
    else if (!std::strcmp(argv[i], "--update"))
      update = true;
    else if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
      out = argv[++i];
    else if (!std::strcmp(argv[i], "--sums") && i + 1 < argc)
      sumsPath = argv[++i];
  }
  demo::Gallery gallery;
  if (!gallery.Render()) {
    std::fprintf(stderr, "vexa-demo: the gallery canvas could not be made\n");
    return 1;
  }
  if (!demo::SavePng(gallery.Canvas(), out)) {
    std::fprintf(stderr, "vexa-demo: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("gallery written to %s (%zu tiles)\n", out.c_str(), gallery.Tiles().size());
  if (update) {
    std::ofstream sums(sumsPath);
    for (const demo::Tile& tile : gallery.Tiles()) {
      sums << tile.name << ' ' << std::hex << gallery.TileChecksum(tile) << std::dec << '\n';
    }
    std::printf("checksums written to %s\n", sumsPath.c_str());
  }
  if (!check) return 0;
  const auto expected = ReadSums(sumsPath);
  int failures = 0;
  for (const demo::Tile& tile : gallery.Tiles()) {
    const auto it = expected.find(tile.name);
    const unsigned actual = gallery.TileChecksum(tile);
    if (it == expected.end() || it->second != actual) {
      if (it == expected.end()) {
        std::printf("MISMATCH %s: %08x, no checksum recorded\n", tile.name.c_str(), actual);
      } else {
        std::printf("MISMATCH %s: %08x, expected %08x\n", tile.name.c_str(), actual, it->second);
      }
      ++failures;
    }
  }
  if (expected.size() != gallery.Tiles().size()) {
    std::printf("MISMATCH tile count: %zu rendered, %zu checksums\n", gallery.Tiles().size(),
                expected.size());
    ++failures;
  }
  std::printf("%d passed, %d failed\n", static_cast<int>(gallery.Tiles().size()) - failures,
              failures);
  return failures ? 1 : 0;
}

// Runs the benchmark program built beside the demo over the renderer's cases with a short
// measuring time and prints its ratio lines as a table.
int RunBench() {
#ifdef VEXA_BENCH_PATH
  const std::string command =
      std::string("'") + VEXA_BENCH_PATH +
      "' --benchmark_min_time=0.05 "
      "--benchmark_filter='^(kernels|blit_call|stretch|rotate30|mask)' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return 1;
  std::printf("%-34s %-22s %12s %12s %8s\n", "case", "peer", "vexa", "peer", "ratio");
  char line[512];
  int rows = 0;
  while (std::fgets(line, sizeof line, pipe)) {
    char name[128], peer[128];
    double ours = 0, theirs = 0, ratio = 0;
    if (std::sscanf(line, "ratio %127s %127s %lf %lf %lf", name, peer, &ours, &theirs, &ratio) ==
        5) {
      std::printf("%-34s %-22s %12.1f %12.1f %8.2f\n", name, peer, ours, theirs, ratio);
      ++rows;
    }
  }
  const int status = pclose(pipe);
  return (rows > 0 && status == 0) ? 0 : 1;
#else
  std::fprintf(stderr, "vexa-demo: this build has no benchmarks (configure without sanitizers)\n");
  return 1;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  PinThreadLocalLibraries();
  if (argc > 1 && !std::strcmp(argv[1], "gallery")) return RunGallery(argc, argv);
  if (argc > 1 && !std::strcmp(argv[1], "bench")) return RunBench();
  if (argc > 1 && !std::strcmp(argv[1], "dialog")) return demo::RunDialog(argc, argv);
  if (argc > 1 && !std::strcmp(argv[1], "game")) return demo::RunGameCommand(argc, argv);
  if (argc > 1) {
    std::fprintf(
        stderr,
        "usage: vexa-demo [gallery [--out FILE] [--check|--update] [--sums FILE] | bench |\n"
        "                 dialog [--save] [--kinds N] [FILE] |\n"
        "                 game [--headless] [--frames N] [--seed S] [--sprites N] [--check]\n"
        "                      [--driver 5|6|7] [--shots F1,F2,...] [--compare DIR]]\n");
    return 2;
  }
  return PrintInfo();
}
