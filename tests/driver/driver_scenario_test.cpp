// Display-driver scenarios, each in a process of its own: a temporary folder receives a copy of
// libvexa.so, the scenario program and the driver variants a scenario needs under the file
// names the library looks for beside itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Run {
  int status = -1;
  std::string output;
};

// Runs `scenario` with the drivers (file name -> variant) in a fresh folder.
Run RunScenario(const std::string& scenario, const std::map<std::string, std::string>& drivers,
                const std::string& environment) {
  const fs::path folder =
      fs::temp_directory_path() / ("vexa-driver-" + scenario + "-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path built(VEXA_TEST_DRIVER_DIR);
  const fs::path library = fs::canonical(VEXA_LIBRARY_PATH);
  for (const char* name : {"libvexa.so", "libvexa.so.1"})
    fs::copy_file(library, folder / name, fs::copy_options::overwrite_existing);
  fs::copy_file(built / "driver_scenarios", folder / "driver_scenarios");
  fs::copy_file(built / "ref_driver.so", folder / "ref_driver.so");
  for (const auto& [file, variant] : drivers)
    fs::copy_file(built / (variant + ".so"), folder / file);
  const fs::path log = folder / "driver.log";
  const std::string command = "cd '" + folder.string() + "' && REF_DRIVER_LOG='" + log.string() +
                              "' VEXA_PLUGIN_DIR='" + VEXA_PLUGIN_DIR + "' VEXA_TEST_DATA_DIR='" +
                              VEXA_TEST_DATA_DIR + "' " + environment + " ./driver_scenarios " +
                              scenario + " 2>&1";
  Run run;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::remove_all(folder);
  return run;
}

void Expect(const std::string& scenario, const std::map<std::string, std::string>& drivers,
            const std::string& environment = "") {
  const Run run = RunScenario(scenario, drivers, environment);
  EXPECT_EQ(run.status, 0) << run.output;
}

}  // namespace

TEST(DriverLoading, MissingFileFallsBackAndIsNotRetried) { Expect("missing", {}); }

TEST(DriverLoading, RefusedOrIncompleteDriversAreUnloadedAndMarkedFailed) {
  Expect("refuse", {{"vexad3d11.so", "ref_driver_refuse"}});
  Expect("no-initialize", {{"vexad3d11.so", "ref_driver_no_initialize"}});
  Expect("no-display", {{"vexad3d11.so", "ref_driver_no_display"}});
}

TEST(DriverLoading, PrototypesKindsAndTheSmallSurfaceRule) {
  Expect("prototypes", {{"vexad3d11.so", "ref_driver"}, {"vexad3d9.so", "ref_driver"}});
}

TEST(DriverLoading, LastUnregisterKeepsTheModuleAndRefills) {
  Expect("reload", {{"vexad3d11.so", "ref_driver"}});
}

TEST(DriverSurfaces, HandOverKeysFillsNoticesAndFunctions) {
  Expect("calls", {{"vexad3d11.so", "ref_driver"}, {"vexad3d9.so", "ref_driver"}});
}

TEST(DriverSurfaces, EffectsFollowTheirSurface) {
  Expect("effects", {{"vexad3d11.so", "ref_driver"}});
}

TEST(DriverSurfaces, SpriteSceneEqualsTheSoftwarePath) {
  Expect("scene", {{"vexad3d11.so", "ref_driver"}});
}

TEST(DriverSurfaces, TransformedSpritesAreHandedOverAndEqualTheSoftwarePath) {
  Expect("transformed", {{"vexad3d11.so", "ref_driver"}});
  Expect("transformed-options", {{"vexad3d11.so", "ref_driver"}});
}

TEST(DriverSurfaces, DriverSevenIsToldWhereItsDisplayIsShown) {
  Expect("display-area", {{"vexad3d11.so", "ref_driver"},
                          {"vexad3d9.so", "ref_driver"},
                          {"vexad3d8.so", "ref_driver"}});
}

TEST(DriverSurfaces, BankAtlasPagesAndExpiry) { Expect("bank", {{"vexad3d11.so", "ref_driver"}}); }

TEST(DriverSurfaces, ImportIntoDriverTypes) { Expect("import", {{"vexad3d11.so", "ref_driver"}}); }

TEST(DriverSurfaces, DriverWindowsPresentThroughTheDisplaySurface) {
  // A window made for a driver carries SDL_WINDOW_OPENGL: SDL's offscreen video driver (with
  // EGL) can make one headless, the dummy driver cannot. The GL stack keeps allocations for
  // the life of the process: no leak report for this one.
  Expect("present", {{"vexad3d11.so", "ref_driver"}},
         "SDL_VIDEODRIVER=offscreen ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1");
}
