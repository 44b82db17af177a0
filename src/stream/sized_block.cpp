// Readers of length-prefixed blocks: a little-endian length field, then that many bytes.
//
// The length field comes from the file and is not trusted: on a regular file a length
// beyond the bytes the file still holds fails with 0x40000002 before anything is
// allocated; on pipes and devices, whose length is unknown, the block grows with the data
// that actually arrives, so a bogus field cannot make the reader allocate gigabytes.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include <vexa/memory.h>
#include <vexa/stream.h>

#include "platform/file/file.h"
#include "stream/file_codes.h"

namespace {

// How much more memory a block of unknown-length input takes at a time.
constexpr std::int64_t kGrowthStep = 1 << 20;

int ReadLength(HFILE file, int fieldBytes, std::int64_t* length) {
  BYTE field[4] = {};
  const plat::FileIo io = plat::ReadFile(file, field, static_cast<std::size_t>(fieldBytes));
  if (int code = vexa::ReadResult(io, fieldBytes)) return code;
  std::uint32_t value = 0;
  for (int i = fieldBytes - 1; i >= 0; --i) value = (value << 8) | field[i];
  *length = value;
  return kStreamOk;
}

// Reads length bytes into a new block of length + extra zeroed bytes when the input's size
// is unknown, allocating only as the data arrives.
int ReadGrowing(HFILE file, std::int64_t length, std::int64_t extra, void** out) {
  void* block = nullptr;
  std::int64_t done = 0;
  while (done < length) {
    const std::int64_t step = std::min(kGrowthStep, length - done);
    if (!ReallocBlock(&block, static_cast<std::size_t>(done + step))) {
      FreeBlockAndClear(&block);
      return kStreamOutOfMemory;
    }
    const plat::FileIo io =
        plat::ReadFile(file, static_cast<BYTE*>(block) + done, static_cast<std::size_t>(step));
    if (int code = vexa::ReadResult(io, step)) {
      FreeBlockAndClear(&block);
      return code;
    }
    done += step;
  }
  if (!ReallocBlock(&block, static_cast<std::size_t>(length + extra))) {
    FreeBlockAndClear(&block);
    return kStreamOutOfMemory;
  }
  std::memset(static_cast<BYTE*>(block) + length, 0, static_cast<std::size_t>(extra));
  *out = block;
  return kStreamOk;
}

int ReadSized(HFILE file, int fieldBytes, std::int64_t extra, void** out) {
  if (!out) return kStreamReadError;
  *out = nullptr;
  std::int64_t length = 0;
  if (int code = ReadLength(file, fieldBytes, &length)) return code;
  // Sizes are 32-bit signed: a longer block cannot be read whatever the file holds.
  if (length > INT_MAX - extra) return kStreamEndOfFile;
  const std::int64_t left = plat::BytesLeft(file);
  if (left < 0) return ReadGrowing(file, length, extra, out);
  if (length > left) return kStreamEndOfFile;
  void* block = nullptr;
  if (!AllocBlockZero(&block, static_cast<std::size_t>(length + extra))) return kStreamOutOfMemory;
  if (int code = ReadFileExact(file, block, static_cast<int>(length))) {
    FreeBlockAndClear(&block);
    return code;
  }
  *out = block;
  return kStreamOk;
}

}  // namespace

int ReadSizedBlock(HFILE file, void** block) { return ReadSized(file, 4, 0, block); }

int ReadSizedBlock16(HFILE file, void** block) { return ReadSized(file, 2, 0, block); }

int ReadSizedString16(HFILE file, char** text) {
  void* block = nullptr;
  const int code = ReadSized(file, 2, 1, text ? &block : nullptr);
  if (text) *text = static_cast<char*>(block);
  return code;
}
