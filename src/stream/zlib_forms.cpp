// The memory and file forms of the zlib wrappers: streams built around the caller's blocks
// and handles, then DeflateStream or InflateStream.
#include <vexa/compression.h>

namespace {

// Output handles are written through a small buffer.
constexpr int kFileOutputBuffer = 4096;

// Runs work over an output stream on the caller's handle. The final flush is checked: a
// write that fails there fails the operation instead of vanishing in the destructor.
template <typename Work>
int ToFile(HFILE file, Work work) {
  if (file == kInvalidFile) return kStreamWriteError;
  COutputBufFile output;
  output.Create(file, kFileOutputBuffer);
  const int code = work(&output);
  const int flushed = output.Flush();
  return code != kStreamOk ? code : flushed;
}

// Runs work over an input stream on the caller's handle, from its current offset. The
// handle is left just after the bytes the work consumed, not after the stream's read-ahead.
template <typename Work>
int FromFile(HFILE file, Work work) {
  // An input stream accepts -1 as "no file" and reads nothing; here that would make an
  // empty success of a missing input.
  if (file == kInvalidFile) return kStreamReadError;
  CInputBufFile input;
  if (int code = input.Attach(file)) return code;
  const int code = work(&input);
  input.Detach();
  return code;
}

template <typename Work>
int FromMemory(const void* data, int size, Work work) {
  CInputMemFile input;
  input.Create(data, size);
  return work(&input);
}

}  // namespace

int DeflateMemoryToFile(HFILE output, const void* data, int size, int level) {
  return ToFile(output, [&](COutputFile* out) {
    return FromMemory(data, size,
                      [&](CInputFile* in) { return DeflateStream(out, in, size, level); });
  });
}

int DeflateFileToFile(HFILE output, HFILE input, int size, int level) {
  return ToFile(output, [&](COutputFile* out) {
    return FromFile(input, [&](CInputFile* in) { return DeflateStream(out, in, size, level); });
  });
}

int InflateMemoryToFile(HFILE output, const void* data, int size) {
  return ToFile(output, [&](COutputFile* out) {
    return FromMemory(data, size, [&](CInputFile* in) { return InflateStream(out, in, size); });
  });
}

int InflateFileToFile(HFILE output, HFILE input, int size) {
  return ToFile(output, [&](COutputFile* out) {
    return FromFile(input, [&](CInputFile* in) { return InflateStream(out, in, size); });
  });
}

int InflateFileToMemory(void* destination, HFILE input, int size, int destinationSize) {
  if (!destination || destinationSize < 0) return kStreamMemoryFull;
  COutputMemFile output;
  output.Create(destination, destinationSize);
  return FromFile(input, [&](CInputFile* in) { return InflateStream(&output, in, size); });
}
