// vexa-demo: the library's main job.
#include <cstdio>

#include <vexa/vexa.h>

int main() {
  std::printf("vexa library version %d\n", GetLibraryVersion());
  std::printf("CPU feature word 0x%02X\n", static_cast<unsigned>(GetCpuFeatureWord()));
  std::printf("dispatch level %s\n", GetDispatchLevelName());
  return 0;
}
