#include <vexa/compression.h>

#include "stream/zlib_session.h"

int InflateMemory(void* destination, const void* source, int destinationSize, int sourceSize) {
  if (!destination || !source || destinationSize < 0 || sourceSize < 0) {
    return kCompressionFailed;
  }
  vexa::ZlibSession session(vexa::ZlibDirection::kInflate);
  z_stream& z = session.record();
  z.next_in = static_cast<Bytef*>(const_cast<void*>(source));  // zlib only reads it
  z.avail_in = static_cast<uInt>(sourceSize);
  if (int code = session.Start(0)) return code;
  z.next_out = static_cast<Bytef*>(destination);
  z.avail_out = static_cast<uInt>(destinationSize);
  for (;;) {
    const int result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_STREAM_END) break;
    // An error, a full destination (no progress) or a source used up before the end.
    if (result != Z_OK || z.avail_in == 0) return kCompressionFailed;
  }
  int result = Z_OK;
  do result = inflate(&z, Z_FINISH);
  while (result == Z_OK);
  return result == Z_STREAM_END ? kStreamOk : kCompressionFailed;
}
