// InflateMemory over arbitrary bytes: the first two bytes choose the destination size, the
// rest is the zlib stream. It must return 0 or 0x40000009, never write past the
// destination, and a success must agree with zlib's own one-shot decoder.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/compression.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int destinationSize = data[0] | (data[1] << 8);
  const std::uint8_t* source = data + 2;
  const int sourceSize = static_cast<int>(size - 2);
  // An exact-size heap block, so the address sanitizer sees any write past its end.
  std::vector<std::uint8_t> destination(destinationSize);
  std::uint8_t spare = 0;
  std::uint8_t* out = destinationSize ? destination.data() : &spare;
  const int code = InflateMemory(out, source, destinationSize, sourceSize);
  if (code != kStreamOk && code != kCompressionFailed) std::abort();
  if (code == kStreamOk) {
    std::vector<std::uint8_t> reference(destinationSize + 1);
    uLongf produced = reference.size();
    if (uncompress(reference.data(), &produced, source, sourceSize) != Z_OK) std::abort();
    if (produced > static_cast<uLongf>(destinationSize)) std::abort();
    if (std::memcmp(reference.data(), out, produced) != 0) std::abort();
  }
  return 0;
}
