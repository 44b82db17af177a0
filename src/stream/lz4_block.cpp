// CompressBlock and DecompressBlock: single LZ4 blocks with no framing of their own.
#include <lz4.h>
#include <lz4hc.h>

#include <memory>
#include <new>

#include <vexa/compression.h>

namespace {

// The LZ4 mode of a caller's level: 0 for the fast compressor, else the high-compression
// level.
int HighCompressionLevel(int level) {
  if (level == 0 || level == 1) return 0;
  if (level == -1) return 9;
  if (level == 9) return 10;
  return level + 3;
}

}  // namespace

int CompressBlock(COutputFile* output, const void* source, int sourceSize, int level) {
  if (!output || sourceSize < 0 || (!source && sourceSize > 0)) return kCompressionFailed;
  const int bound = LZ4_compressBound(sourceSize);
  if (bound <= 0) return kCompressionFailed;
  const std::unique_ptr<char[]> packed(new (std::nothrow) char[bound]);
  if (!packed) return kStreamOutOfMemory;
  const auto* src = static_cast<const char*>(source);
  const int hc = HighCompressionLevel(level);
  const int packedSize = hc == 0 ? LZ4_compress_default(src, packed.get(), sourceSize, bound)
                                 : LZ4_compress_HC(src, packed.get(), sourceSize, bound, hc);
  if (packedSize <= 0) return kCompressionFailed;
  return output->Write(packed.get(), packedSize);
}

int DecompressBlock(void* destination, const void* source, int destinationSize, int sourceSize) {
  // An empty destination needs no address: the only block that fits it is the empty one.
  if ((!destination && destinationSize > 0) || !source || destinationSize < 0 || sourceSize < 0) {
    return kCompressionFailed;
  }
  // Zero bytes out is a success: CompressBlock turns an empty input into a one-byte block,
  // which must come back as the empty input. Malformed blocks give a negative count.
  const int n = LZ4_decompress_safe(static_cast<const char*>(source),
                                    static_cast<char*>(destination), sourceSize, destinationSize);
  return n >= 0 ? kStreamOk : kCompressionFailed;
}
