// Result codes of the system's reads and writes, shared by the streams and the plain file
// functions.
#pragma once

#include <cerrno>

#include <vexa/stream.h>

#include "platform/file/file.h"

namespace vexa {

// 0 when all size bytes were written; 0x40000004 when the device is full or took fewer
// bytes; 0x40000003 for any other failure.
inline int WriteResult(const plat::FileIo& io, long long size) {
  if (io.error == 0 && io.bytes == size) return kStreamOk;
  if (io.error == ENOSPC || io.error == EDQUOT) return kStreamDiskFull;
  return kStreamWriteError;
}

// 0 when all size bytes came; 0x40000002 when the file ended first; 0x40000001 when the
// system failed.
inline int ReadResult(const plat::FileIo& io, long long size) {
  if (io.error != 0) return kStreamReadError;
  return io.bytes == size ? kStreamOk : kStreamEndOfFile;
}

}  // namespace vexa
