#include "stream/zlib_session.h"

#include <algorithm>
#include <new>

#include <vexa/compression.h>

namespace vexa {

ZlibSession::~ZlibSession() {
  if (!started_) return;
  if (direction_ == ZlibDirection::kDeflate) {
    deflateEnd(&stream_);
  } else {
    inflateEnd(&stream_);
  }
}

int ZlibSession::Start(int level) {
  const int result = direction_ == ZlibDirection::kDeflate
                         ? deflateInit_(&stream_, level, kZlibInterfaceVersion, sizeof(z_stream))
                         : inflateInit_(&stream_, kZlibInterfaceVersion, sizeof(z_stream));
  if (result == Z_MEM_ERROR) return kStreamOutOfMemory;
  if (result != Z_OK) return kCompressionFailed;
  started_ = true;
  return kStreamOk;
}

ZlibBuffers::ZlibBuffers(std::size_t inputSize, std::size_t outputSize)
    : input(new (std::nothrow) Bytef[inputSize]), output(new (std::nothrow) Bytef[outputSize]) {}

int DeflateLevel(int level) {
  return level == -1 ? Z_DEFAULT_COMPRESSION : std::clamp(level, 0, 9);
}

}  // namespace vexa
