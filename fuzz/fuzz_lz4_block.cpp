// DecompressBlock over arbitrary bytes: the first two bytes choose the destination size, the
// rest is the LZ4 block. Only 0 or 0x40000009 may come back, with no write past the
// destination.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <vexa/compression.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int destinationSize = data[0] | (data[1] << 8);
  std::vector<std::uint8_t> destination(destinationSize);
  std::uint8_t spare = 0;
  std::uint8_t* out = destinationSize ? destination.data() : &spare;
  const int code = DecompressBlock(out, data + 2, destinationSize, static_cast<int>(size - 2));
  if (code != kStreamOk && code != kCompressionFailed) std::abort();
  return 0;
}
