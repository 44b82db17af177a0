// The harness's own proof: copying a 640 x 480 x 4 frame with memcpy beside std::copy.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bench_pairs.h"

namespace {

constexpr size_t kFrameBytes = 640 * 480 * 4;

std::vector<unsigned char>& Source() {
  static std::vector<unsigned char> bytes(kFrameBytes, 0x5A);
  return bytes;
}
std::vector<unsigned char>& Destination() {
  static std::vector<unsigned char> bytes(kFrameBytes);
  return bytes;
}

const vexabench::Registrar kRegistrar([] {
  // Identical work on both sides, so an overhead line: it shows the harness's noise.
  vexabench::RegisterOverhead("frame_copy_640x480x4", "MB/s", kFrameBytes,
                              {"vexa",
                               [] {
                                 std::memcpy(Destination().data(), Source().data(), kFrameBytes);
                                 vexabench::Keep(Destination().data());
                               }},
                              {"std::copy", [] {
                                 std::copy(Source().begin(), Source().end(), Destination().begin());
                                 vexabench::Keep(Destination().data());
                               }});
});

}  // namespace
