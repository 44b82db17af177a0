// InflateStream from a memory input stream into a fixed memory block: the result is 0,
// 0x40000009, or 0x40000007 when the output outgrows the block; whatever it wrote is a
// prefix of what zlib's own decoder makes of the same bytes.
//
// The block holds three output chunks and a part of a fourth, enough to reach every path
// (whole chunks, the refused chunk, the end of the data); both outputs live in buffers made
// once, so an input costs its decoding and nothing more.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/compression.h>
#include <vexa/stream.h>

namespace {

constexpr int kOutputLimit = 3 * 8192 + 1000;

// zlib's own streaming decoder over the whole input, up to limit output bytes into `out`;
// the bytes it made.
std::size_t Reference(const std::uint8_t* data, std::size_t size, std::uint8_t* out,
                      std::size_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) std::abort();
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out;
  z.avail_out = static_cast<uInt>(limit);
  inflate(&z, Z_NO_FLUSH);
  const std::size_t made = limit - z.avail_out;
  inflateEnd(&z);
  return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CInputMemFile input;
  input.Create(data, static_cast<int>(size));
  static std::vector<std::uint8_t> block(kOutputLimit);
  static std::vector<std::uint8_t> expected(kOutputLimit);
  COutputMemFile output;
  output.Create(block.data(), kOutputLimit);
  const int code = InflateStream(&output, &input, -1);
  if (code != kStreamOk && code != kCompressionFailed && code != kStreamMemoryFull) std::abort();
  const int written = output.GetSize();
  if (written < 0 || written > kOutputLimit) std::abort();
  const std::size_t made = Reference(data, size, expected.data(), kOutputLimit);
  if (static_cast<std::size_t>(written) > made) std::abort();
  if (std::memcmp(block.data(), expected.data(), written) != 0) std::abort();
  return 0;
}
