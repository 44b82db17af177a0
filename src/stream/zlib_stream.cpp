// DeflateStream and InflateStream: zlib streams between the library's streams, in fixed
// chunks so that data of any size passes through small buffers.
#include <algorithm>
#include <cstdint>
#include <typeinfo>

#include <vexa/compression.h>

#include "stream/zlib_session.h"

namespace {

using vexa::ZlibBuffers;
using vexa::ZlibDirection;
using vexa::ZlibSession;

// The bytes to read: size, or the input's whole size for -1. Negative when invalid.
std::int64_t InputBytes(CInputFile* input, int size) {
  return size == -1 ? input->GetSize() : size;
}

// Feeds the next chunk of input to zlib once it has used up the previous one.
int FeedInput(CInputFile* input, z_stream& z, Bytef* chunk, std::int64_t& remaining) {
  if (z.avail_in != 0 || remaining == 0) return kStreamOk;
  const int n = static_cast<int>(std::min<std::int64_t>(vexa::kZlibInputChunk, remaining));
  if (int code = input->ReadExact(chunk, n)) return code;
  z.next_in = chunk;
  z.avail_in = static_cast<uInt>(n);
  remaining -= n;
  return kStreamOk;
}

// Runs one zlib call into the whole output buffer and writes what it produced.
template <typename Step>
int StepAndWrite(COutputFile* output, z_stream& z, Bytef* out, int outSize, Step step, int* result,
                 int* produced) {
  z.next_out = out;
  z.avail_out = static_cast<uInt>(outSize);
  *result = step(&z);
  *produced = outSize - static_cast<int>(z.avail_out);
  return *produced > 0 ? output->Write(out, *produced) : kStreamOk;
}

// Memory to memory: a memory input inflated straight into the fixed block of a memory output,
// in one zlib call, without the work buffers. The outcome is the chunked loop's: the same
// bytes written, the same result, and the input left where the chunked reads leave it (after
// the last whole chunk they took). When the block fills before the stream ends, nothing is
// committed and the answer is false: the chunked loop then runs from the start and fails
// where it always did.
enum class InPlace { kDone, kNotTaken };

InPlace InflateInPlace(COutputFile* output, CInputFile* input, std::int64_t size, int* code) {
  if (typeid(*output) != typeid(COutputMemFile) || typeid(*input) != typeid(CInputMemFile))
    return InPlace::kNotTaken;
  auto* out = static_cast<COutputMemFile*>(output);
  auto* in = static_cast<CInputMemFile*>(input);
  const int start = in->Tell();
  int room = 0;
  Bytef* target = out->FixedRoom(&room);
  if (room <= 0 || !in->GetBuffer() || size > in->GetSize() - start) return InPlace::kNotTaken;
  ZlibSession session(ZlibDirection::kInflate);
  if (int failed = session.Start(0)) {
    *code = failed;
    return InPlace::kDone;
  }
  z_stream& z = session.record();
  z.next_in = in->GetBuffer() + start;
  z.avail_in = static_cast<uInt>(size);
  z.next_out = target;
  z.avail_out = static_cast<uInt>(room);
  const int result = inflate(&z, Z_NO_FLUSH);
  const int produced = room - static_cast<int>(z.avail_out);
  if (result != Z_STREAM_END && result != Z_DATA_ERROR && z.avail_out == 0)
    return InPlace::kNotTaken;  // the block is full: the chunked loop decides
  out->Commit(produced);
  const std::int64_t used = static_cast<std::int64_t>(size) - z.avail_in;
  const std::int64_t chunks =
      std::max<std::int64_t>(1, (used + vexa::kZlibInputChunk - 1) / vexa::kZlibInputChunk);
  in->Seek(start + static_cast<int>(std::min(chunks * vexa::kZlibInputChunk, size)),
           kStreamSeekStart);
  *code = result == Z_STREAM_END ? kStreamOk : kCompressionFailed;
  return InPlace::kDone;
}

}  // namespace

int DeflateStream(COutputFile* output, CInputFile* input, int size, int level) {
  if (!output || !input) return kCompressionFailed;
  ZlibBuffers buffers(vexa::kZlibInputChunk, vexa::kDeflateOutputSize);
  if (!buffers) return kStreamOutOfMemory;
  ZlibSession session(ZlibDirection::kDeflate);
  if (int code = session.Start(vexa::DeflateLevel(level))) return code;
  z_stream& z = session.record();
  std::int64_t remaining = InputBytes(input, size);
  if (remaining < 0) return kCompressionFailed;
  int result = Z_OK, produced = 0;
  while (remaining > 0 || z.avail_in > 0) {
    if (int code = FeedInput(input, z, buffers.input.get(), remaining)) return code;
    if (int code = StepAndWrite(
            output, z, buffers.output.get(), vexa::kDeflateOutputSize,
            [](z_stream* s) { return deflate(s, Z_NO_FLUSH); }, &result, &produced)) {
      return code;
    }
    if (result != Z_OK) return kCompressionFailed;
  }
  do {
    if (int code = StepAndWrite(
            output, z, buffers.output.get(), vexa::kDeflateOutputSize,
            [](z_stream* s) { return deflate(s, Z_FINISH); }, &result, &produced)) {
      return code;
    }
    if (result != Z_OK && result != Z_STREAM_END) return kCompressionFailed;
  } while (result != Z_STREAM_END && produced > 0);
  return kStreamOk;
}

int InflateStream(COutputFile* output, CInputFile* input, int size) {
  if (!output || !input) return kCompressionFailed;
  std::int64_t remaining = InputBytes(input, size);
  if (remaining < 0) return kCompressionFailed;
  int inPlaceCode = kStreamOk;
  if (remaining > 0 && InflateInPlace(output, input, remaining, &inPlaceCode) == InPlace::kDone)
    return inPlaceCode;
  ZlibBuffers buffers(vexa::kZlibInputChunk, vexa::kInflateOutputSize);
  if (!buffers) return kStreamOutOfMemory;
  ZlibSession session(ZlibDirection::kInflate);
  if (int code = session.Start(0)) return code;
  z_stream& z = session.record();
  int result = Z_OK, produced = 0;
  bool outputFull = false;
  for (;;) {
    if (int code = FeedInput(input, z, buffers.input.get(), remaining)) return code;
    // Out of input before the end of the stream: truncated, unless zlib still holds output
    // that did not fit last time.
    if (z.avail_in == 0 && !outputFull) return kCompressionFailed;
    if (int code = StepAndWrite(
            output, z, buffers.output.get(), vexa::kInflateOutputSize,
            [](z_stream* s) { return inflate(s, Z_NO_FLUSH); }, &result, &produced)) {
      return code;
    }
    if (result == Z_STREAM_END) break;
    if (result != Z_OK) return kCompressionFailed;
    outputFull = z.avail_out == 0;
  }
  // The end of the stream ends the work, even when input bytes are left unread.
  do {
    if (int code = StepAndWrite(
            output, z, buffers.output.get(), vexa::kInflateOutputSize,
            [](z_stream* s) { return inflate(s, Z_FINISH); }, &result, &produced)) {
      return code;
    }
  } while (produced > 0);
  return kStreamOk;
}
