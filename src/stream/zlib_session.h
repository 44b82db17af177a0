// A zlib stream record that ends itself, and the work buffers of the stream wrappers.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <memory>

namespace vexa {

// The interface version the wrappers ask zlib for. zlib accepts any version of the same
// major number; the record size it checks is that of this platform's z_stream.
inline constexpr char kZlibInterfaceVersion[] = "1.2.8";

// zlib's chunk sizes for the stream wrappers.
inline constexpr int kZlibInputChunk = 8192;
inline constexpr int kDeflateOutputSize = 8192 + 8192 / 4 + 12;
inline constexpr int kInflateOutputSize = 8192;

enum class ZlibDirection { kDeflate, kInflate };

// Owns one z_stream from a successful Start until destruction.
class ZlibSession {
 public:
  explicit ZlibSession(ZlibDirection direction) : direction_(direction) {}
  ZlibSession(const ZlibSession&) = delete;
  ZlibSession& operator=(const ZlibSession&) = delete;
  ~ZlibSession();

  // Initialises zlib (level is used for deflate only). 0, 0x40000000 for a memory error,
  // 0x40000009 for any other failure.
  int Start(int level);
  z_stream& record() { return stream_; }

 private:
  ZlibDirection direction_;
  z_stream stream_{};
  bool started_ = false;
};

// Input and output work buffers of the stream wrappers; empty when memory ran out.
struct ZlibBuffers {
  ZlibBuffers(std::size_t inputSize, std::size_t outputSize);
  explicit operator bool() const { return input && output; }
  std::unique_ptr<Bytef[]> input;
  std::unique_ptr<Bytef[]> output;
};

// The deflate level zlib is given: -1 stays zlib's default, the rest is clamped to 0..9.
int DeflateLevel(int level);

}  // namespace vexa
