// The environment every test program starts in, whoever runs it (ctest, make, by hand):
// SDL's headless video and audio drivers unless the caller chose others, and the
// sanitizer options the suite was written for. ctest cannot carry more than one variable
// into discovered tests, so the programs set them themselves.
#include <cstdlib>

extern "C" {
// Read by AddressSanitizer at start-up, before ASAN_OPTIONS (which still overrides it).
// Allocation tests ask for impossible sizes and expect a null answer, not an abort.
__attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "detect_leaks=1:allocator_may_return_null=1";
}
}

namespace {

struct HeadlessDefaults {
  HeadlessDefaults() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
  }
};

const HeadlessDefaults kHeadlessDefaults;

}  // namespace
