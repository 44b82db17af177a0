// CImageFile: the writing side. Named output goes to a temporary file beside the target that
// replaces it only once everything was written, flushed and closed.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include <vexa/filter_impl.h>
#include <vexa/filter_manager.h>
#include <vexa/image_file.h>
#include <vexa/memory.h>
#include <vexa/stream.h>
#include <vexa/text.h>

#include "imagefile/image_file_internal.h"
#include "platform/file/file.h"

namespace vexa {

int CheckReportedImage(CFilterImpl* filter) {
  const std::int64_t width = filter->GetWidth();
  const std::int64_t height = filter->GetHeight();
  if (width <= 0 || height <= 0) return kImageUnknownFormat;
  if (width * height > kMaxImagePixels) return kImageNoMemory;
  if (filter->GetDepth() < 8) return kImageDepthBelow8;
  return kImageOk;
}

namespace {

int DepthBit(int depth) {
  switch (depth) {
    case 8:
      return kFilterDepth8;
    case 15:
      return kFilterDepth15;
    case 16:
      return kFilterDepth16;
    case 24:
      return kFilterDepth24;
    case 32:
      return kFilterDepth32;
    default:
      return 0;
  }
}

WCHAR* CopyWide(const std::u16string& text) {
  void* block = nullptr;
  if (!AllocBlock(&block, (text.size() + 1) * sizeof(WCHAR))) return nullptr;
  std::memcpy(block, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return static_cast<WCHAR*>(block);
}

// A file opened for a save: the handle, its buffered stream, and where it goes at the end.
struct SaveTarget {
  HFILE handle = kInvalidFile;
  COutputBufFile* stream = nullptr;
  std::u16string target;
  std::u16string temporary;  // empty when the target is written in place

  int Create(const WCHAR* name) {
    target = name;
    if (plat::IsRegularOrMissing(name)) temporary = plat::TemporaryBeside(name);
    handle = CreateNewFileW(temporary.empty() ? name : temporary.c_str());
    if (handle == kInvalidFile) return kImageCannotCreate;
    stream = new (std::nothrow) COutputBufFile;
    if (!stream || stream->Create(handle, 4096) != kStreamOk) {
      Finish(false);
      return kImageCannotCreate;
    }
    return kImageOk;
  }

  // Flushes and closes; on success the temporary replaces the target, otherwise it goes.
  int Finish(bool commit) {
    int result = kImageOk;
    if (stream) {
      if (commit && stream->Flush() != kStreamOk) result = kImageCannotCreate;
      stream->Destroy(1);
      stream = nullptr;
    }
    if (handle != kInvalidFile && !CloseFile(handle)) result = kImageCannotCreate;
    handle = kInvalidFile;
    if (!commit) result = kImageCannotCreate;
    if (!temporary.empty()) {
      if (result != kImageOk || !plat::ReplaceFile(temporary.c_str(), target.c_str())) {
        plat::RemoveFile(temporary.c_str());
        result = kImageCannotCreate;
      }
    }
    return result;
  }
};

}  // namespace
}  // namespace vexa

int CImageFile::FinishOutput() {
  int result = kImageOk;
  if (output && ownsOutput) {
    vexa::SaveTarget target;
    target.handle = outputHandle;
    target.stream = static_cast<COutputBufFile*>(output);
    if (pendingTarget) target.target = pendingTarget;
    if (pendingTemporary) target.temporary = pendingTemporary;
    result = target.Finish(true);
  }
  output = nullptr;
  ownsOutput = 0;
  outputHandle = kInvalidFile;
  FreeConvertedString(pendingTarget);
  FreeConvertedString(pendingTemporary);
  pendingTarget = pendingTemporary = nullptr;
  return result;
}

int CImageFile::StartWrite(int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8, int v9) {
  return filter->BeginWrite(output, v1, v2, v3, v4, v5, v6, v7, v8, v9);
}

int CImageFile::BeginWrite(COutputFile* stream, int v1, int v2, int v3, int v4, int v5, int v6,
                           int v7, int v8, int v9) {
  if (!filter) return kImageNoFilter;
  if (!filter->CanSaveAnimation()) return kImageNotSupported;
  if (output) FinishOutput();
  if (!stream) return kImageNoStream;
  output = stream;
  ownsOutput = 0;
  return StartWrite(v1, v2, v3, v4, v5, v6, v7, v8, v9);
}

int CImageFile::BeginWrite(const WCHAR* name, int v1, int v2, int v3, int v4, int v5, int v6,
                           int v7, int v8, int v9) {
  if (!filter) return kImageNoFilter;
  if (!filter->CanSaveAnimation()) return kImageNotSupported;
  if (!name) {
    if (!output) return kImageNoStream;
    return StartWrite(v1, v2, v3, v4, v5, v6, v7, v8, v9);
  }
  // A name while an output is open would silently write to the open stream instead.
  if (output) return kImageAlreadyOpen;
  vexa::SaveTarget target;
  const int created = target.Create(name);
  if (created != kImageOk) return created;
  output = target.stream;
  ownsOutput = 1;
  outputHandle = target.handle;
  pendingTarget = vexa::CopyWide(target.target);
  pendingTemporary = target.temporary.empty() ? nullptr : vexa::CopyWide(target.temporary);
  if (!pendingTarget || (!target.temporary.empty() && !pendingTemporary)) {
    target.Finish(false);
    output = nullptr;
    ownsOutput = 0;
    outputHandle = kInvalidFile;
    FreeConvertedString(pendingTarget);
    FreeConvertedString(pendingTemporary);
    pendingTarget = pendingTemporary = nullptr;
    return kImageNoMemory;
  }
  return StartWrite(v1, v2, v3, v4, v5, v6, v7, v8, v9);
}

int CImageFile::BeginWrite(const char* name, int v1, int v2, int v3, int v4, int v5, int v6, int v7,
                           int v8, int v9) {
  return vexa::WithWideName(name, kImageNoMemory, [&](const WCHAR* wide) {
    return BeginWrite(wide, v1, v2, v3, v4, v5, v6, v7, v8, v9);
  });
}

int CImageFile::WriteFrame(const BYTE* previous, bool keepCopy, const BYTE* rows, int width,
                           int height, int pitch, int depth, const LOGPALETTE* palette, int v1,
                           int v2, int v3, int v4) {
  if (!filter || !output) return kImageNothingOpen;
  if (!filter->CanSaveAnimation()) return kImageNotSupported;
  if (width != filter->GetWidth() || height != filter->GetHeight()) return kImageSizeDiffers;
  if (depth != filter->GetDepth()) return kImageBadDepth;
  if (!rows || width <= 0 || height <= 0) return kImageBadArgument;
  const std::int64_t rowBytes = pitch < 0 ? -static_cast<std::int64_t>(pitch) : pitch;
  const std::int64_t size = rowBytes * height;
  if (keepCopy) {
    if (filter->GetCurrentFrame() == -1) {
      void* block = previousRows;
      FreeBlockAndClear(&block);
      previousRows = nullptr;
      previousSize = 0;
    }
    // The filter walks the previous rows with this frame's pitch: lay them out for it (a
    // larger pitch would otherwise read past the block).
    if (previousRows && pitch != previousPitch && !RelayPreviousRows(pitch, height)) {
      return kImageNoMemory;
    }
    previous = previousRows;
    if (previous && pitch < 0) previous += (height - 1) * rowBytes;
  }
  const int result = filter->WriteRows(output, previous, rows, width, height, pitch, depth, palette,
                                       0, v1, v2, v3, v4);
  if (result != kImageOk || !keepCopy) return result;
  // Keep this frame for the next one. The block grows when a later frame needs more room.
  if (size > previousSize) {
    void* block = previousRows;
    if (!ReallocBlock(&block, static_cast<std::size_t>(size))) return kImageNoMemory;
    previousRows = static_cast<BYTE*>(block);
    previousSize = size;
  }
  const BYTE* lowest = pitch < 0 ? rows + static_cast<std::ptrdiff_t>(height - 1) * pitch : rows;
  std::memcpy(previousRows, lowest, static_cast<std::size_t>(size));
  previousPitch = pitch;
  return kImageOk;
}

bool CImageFile::RelayPreviousRows(int pitch, int height) {
  const std::int64_t oldRow = previousPitch < 0 ? -std::int64_t{previousPitch} : previousPitch;
  const std::int64_t newRow = pitch < 0 ? -std::int64_t{pitch} : pitch;
  void* block = nullptr;
  if (!AllocBlockZero(&block, static_cast<std::size_t>(newRow * height))) return false;
  auto* relaid = static_cast<BYTE*>(block);
  const std::int64_t rows = std::min<std::int64_t>(height, oldRow ? previousSize / oldRow : 0);
  for (std::int64_t y = 0; y < rows; ++y) {
    // Blocks hold their rows from the lowest address: bottom-up rows in reverse.
    const std::int64_t from = (previousPitch < 0 ? rows - 1 - y : y) * oldRow;
    const std::int64_t to = (pitch < 0 ? height - 1 - y : y) * newRow;
    std::memcpy(relaid + to, previousRows + from,
                static_cast<std::size_t>(std::min(oldRow, newRow)));
  }
  void* old = previousRows;
  FreeBlockAndClear(&old);
  previousRows = relaid;
  previousSize = newRow * height;
  previousPitch = pitch;
  return true;
}

int CImageFile::WriteRows(const BYTE* rows, int width, int height, int pitch, int depth,
                          const LOGPALETTE* palette, int v1, int v2, int v3, int v4) {
  return WriteFrame(nullptr, true, rows, width, height, pitch, depth, palette, v1, v2, v3, v4);
}

int CImageFile::WriteRows(const BYTE* previous, const BYTE* rows, int width, int height, int pitch,
                          int depth, const LOGPALETTE* palette, int v1, int v2, int v3, int v4) {
  return WriteFrame(previous, false, rows, width, height, pitch, depth, palette, v1, v2, v3, v4);
}

int CImageFile::SaveImage(const WCHAR* name, const BYTE* pixels, int width, int height, int depth,
                          int pitch, const LOGPALETTE* palette, const void* alphaOrKey,
                          int alphaPitch) {
  if (!filter) return kImageNoFilter;
  if (!name || !*name || !pixels || width < 1 || height < 1) return kImageBadArgument;
  const int bit = vexa::DepthBit(depth);
  if (!bit || !(filter->GetSupportedDepths() & bit)) return kImageBadDepth;
  vexa::SaveTarget target;
  const int created = target.Create(name);
  if (created != kImageOk) return created;
  const int result = filter->SaveImage(target.stream, pixels, width, height, depth, pitch, palette,
                                       alphaOrKey, alphaPitch);
  const int finished = target.Finish(result == kImageOk);
  return result != kImageOk ? result : finished;
}

int CImageFile::SaveImage(const char* name, const BYTE* pixels, int width, int height, int depth,
                          int pitch, const LOGPALETTE* palette, const void* alphaOrKey,
                          int alphaPitch) {
  return vexa::WithWideName(name, kImageNoMemory, [&](const WCHAR* wide) {
    return SaveImage(wide, pixels, width, height, depth, pitch, palette, alphaOrKey, alphaPitch);
  });
}
