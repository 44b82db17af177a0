// CInputBufFile driven by arbitrary operations over a memory-backed file of known bytes.
// Every byte it delivers must be the file's byte at the stream's position, and its
// position must stay inside its range: buffer, direct chunks, seeks and ranges together.
// The file is made once and shared by every input (nothing writes to it).
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/stream.h>

namespace {

constexpr int kFileSize = 50000;
// Operations one input may run: enough for every path, few enough that long inputs stay cheap.
constexpr int kMaxOperations = 64;

std::uint8_t ByteAt(int offset) { return static_cast<std::uint8_t>((offset * 7) ^ (offset >> 9)); }

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  int Next(int bytes) {
    int value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | (at < size ? data[at++] : 0);
    return value;
  }
  bool More() const { return at < size; }
};

// The file's bytes, and a descriptor of a memory-backed file holding them.
const std::vector<std::uint8_t>& FileBytes() {
  static const std::vector<std::uint8_t> bytes = [] {
    std::vector<std::uint8_t> made(kFileSize);
    for (int i = 0; i < kFileSize; ++i) made[i] = ByteAt(i);
    return made;
  }();
  return bytes;
}

int SharedFile() {
  static const int fd = [] {
    const int made = memfd_create("ops", MFD_CLOEXEC);
    if (made < 0) std::abort();
    if (write(made, FileBytes().data(), kFileSize) != kFileSize) std::abort();
    return made;
  }();
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = SharedFile();
  const std::uint8_t* file = FileBytes().data();
  Reader ops{data, size};
  const int start = ops.Next(2) % kFileSize;
  const int length = ops.Next(2) % (kFileSize - start + 1);
  CInputBufFile in;
  if (in.Create(fd, start, length) != kStreamOk) std::abort();
  const int end = length ? start + length : kFileSize;
  static std::vector<std::uint8_t> buffer(40000);
  for (int n = 0; n < kMaxOperations && ops.More(); ++n) {
    const int before = in.Tell();
    switch (ops.Next(1) % 4) {
      case 0: {
        const int want = ops.Next(2) % 40000;
        int count = -1;
        const int code = in.Read(buffer.data(), want, &count);
        if (count < 0 || count > want || in.Tell() != before + count) std::abort();
        if ((code == kStreamOk) != (count == want)) std::abort();
        if (count > 0 && std::memcmp(buffer.data(), file + start + before, count) != 0) {
          std::abort();
        }
        break;
      }
      case 1: {
        BYTE b = 0;
        if (in.ReadByte(&b) == kStreamOk && b != ByteAt(start + before)) std::abort();
        break;
      }
      default: {
        const int origin = ops.Next(1) % 4;
        const int offset = static_cast<std::int16_t>(ops.Next(2)) * 3;
        if (in.Seek(offset, origin) != in.Tell()) std::abort();
        break;
      }
    }
    if (in.Tell() < 0 || start + in.Tell() > end) std::abort();
  }
  in.Detach();
  return 0;
}
