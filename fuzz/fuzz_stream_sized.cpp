// The sized readers over a memory-backed file holding arbitrary bytes: they are run one
// after another (chosen by the first byte) until one fails. Each must answer one of the
// four stream result codes, never read past its block, never allocate more than the file
// holds, and leave the block null on failure. One memory-backed file is made once and
// refilled for each input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <vexa/memory.h>
#include <vexa/stream.h>

namespace {

bool IsStreamResult(int code) {
  return code == kStreamOk || code == kStreamEndOfFile || code == kStreamReadError ||
         code == kStreamOutOfMemory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const int fd = memfd_create("sized", MFD_CLOEXEC);
  static std::size_t held = 0;  // the file's length now
  if (fd < 0) return 0;
  if (pwrite(fd, data + 1, size - 1, 0) != static_cast<ssize_t>(size - 1)) std::abort();
  if (size - 1 < held && ftruncate(fd, static_cast<off_t>(size - 1)) != 0) std::abort();
  held = size - 1;
  lseek(fd, 0, SEEK_SET);
  for (unsigned choice = data[0];; choice /= 3) {
    const off_t before = lseek(fd, 0, SEEK_CUR);
    void* block = reinterpret_cast<void*>(1);
    char* text = reinterpret_cast<char*>(1);
    int code = kStreamOk;
    std::size_t length = 0;
    switch (choice % 3) {
      case 0:
        code = ReadSizedBlock(fd, &block);
        break;
      case 1:
        code = ReadSizedBlock16(fd, &block);
        break;
      default:
        code = ReadSizedString16(fd, &text);
        block = text;
        if (code == kStreamOk) length = std::strlen(text);  // must find the added zero
        break;
    }
    if (!IsStreamResult(code)) std::abort();
    if (code != kStreamOk) {
      if (block != nullptr) std::abort();
      break;
    }
    const std::size_t blockSize = GetBlockSize(block);
    if (blockSize > size || length > blockSize) std::abort();
    if (static_cast<std::size_t>(lseek(fd, 0, SEEK_CUR) - before) > size) std::abort();
    FreeBlockAndClear(&block);
  }
  return 0;
}
