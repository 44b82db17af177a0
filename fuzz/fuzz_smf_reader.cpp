// The MIDI file reader over arbitrary bytes: it must read only inside the buffer, and a file it
// accepts must have a tempo map in tick order whose conversions stay finite and ordered.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/midi/smf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> exact(data, data + size);  // the sanitizer sees its end
  plat::midi::SmfInfo info;
  if (!plat::midi::ReadSmf(exact.data(), exact.size(), &info)) return 0;
  for (std::size_t i = 1; i < info.tempoMap.size(); ++i) {
    if (info.tempoMap[i].tick < info.tempoMap[i - 1].tick) std::abort();
  }
  const double length = info.LengthMs();
  if (!std::isfinite(length) || length < 0) std::abort();
  if (info.TickToMs(info.lastTick / 2) > length) std::abort();
  return 0;
}
