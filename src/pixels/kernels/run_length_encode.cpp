// Entries 12 and 13: measuring and writing the run-length form (see run_length_form.h). The
// 15- and 16-bit tables share them: both compare 16-bit stored values.
#include <cstring>

#include "pixels/kernels/kernel_formats.h"
#include "pixels/kernels/kernel_routines.h"
#include "pixels/kernels/run_length_form.h"

namespace vexa {
namespace {

std::uint32_t LoadPixel(const std::uint8_t* p, int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1:
      return *p;
    case 2:
      return LoadU16(p);
    case 3:
      return LoadU24(p);
    default:
      return LoadU32(p);
  }
}

// The pairs of one row, handed to `emit(skip, copy, firstOpaqueColumn)` with long runs split
// at 255 as the form requires.
template <class Emit>
void RowPairs(const std::uint8_t* row, int width, int bytesPerPixel, std::uint32_t key,
              Emit&& emit) {
  int x = 0;
  while (x < width) {
    int skip = 0;
    while (x + skip < width && LoadPixel(row + (x + skip) * bytesPerPixel, bytesPerPixel) == key)
      ++skip;
    int copy = 0;
    while (x + skip + copy < width &&
           LoadPixel(row + (x + skip + copy) * bytesPerPixel, bytesPerPixel) != key)
      ++copy;
    const int firstOpaque = x + skip;
    x += skip + copy;
    while (skip > 255) {
      emit(255, 0, firstOpaque);
      skip -= 255;
    }
    int piece = copy > 255 ? 255 : copy;
    emit(skip, piece, firstOpaque);
    for (int done = piece; done < copy; done += piece) {
      piece = copy - done > 255 ? 255 : copy - done;
      emit(0, piece, firstOpaque + done);
    }
  }
}

struct FormSizes {
  std::uint64_t runBytes = 0;
  std::uint64_t pixelBytes = 0;
  std::uint64_t tableBytes = 0;
  std::uint64_t Total() const { return kRunLengthSizeBytes + tableBytes + runBytes + pixelBytes; }
};

FormSizes Measure(int bytesPerPixel, const std::uint8_t* firstRow, int width, int rows, int pitch,
                  std::uint32_t key) {
  FormSizes sizes;
  sizes.tableBytes = kRunLengthRowEntryBytes * static_cast<std::uint64_t>(rows > 0 ? rows : 0);
  const std::uint8_t* row = firstRow;
  for (int r = 0; r < rows; ++r, row += pitch) {
    RowPairs(row, width, bytesPerPixel, key, [&](int, int copy, int) {
      sizes.runBytes += 2;
      sizes.pixelBytes +=
          static_cast<std::uint64_t>(copy) * static_cast<std::uint64_t>(bytesPerPixel);
    });
  }
  return sizes;
}

void WriteU32(std::uint8_t* p, std::uint64_t v) {
  const auto w = static_cast<std::uint32_t>(v);
  std::memcpy(p, &w, 4);
}

}  // namespace

std::uint32_t MeasureRunLengthForm(int bytesPerPixel, std::uint8_t* header,
                                   const std::uint8_t* firstRow, int width, int rows, int pitch,
                                   std::uint32_t key) {
  const FormSizes sizes = Measure(bytesPerPixel, firstRow, width, rows, pitch, key);
  if (sizes.Total() > 0xFFFFFFFFu) return 0;
  if (header) {
    WriteU32(header + kRunLengthSizeBytes, sizes.tableBytes);
    WriteU32(header + kRunLengthSizeBytes + 4, sizes.tableBytes + sizes.runBytes);
  }
  return static_cast<std::uint32_t>(sizes.Total());
}

std::uint32_t EncodeRunLengthForm(int bytesPerPixel, std::uint8_t* block,
                                  const std::uint8_t* firstRow, int width, int rows, int pitch,
                                  std::uint32_t key) {
  const FormSizes sizes = Measure(bytesPerPixel, firstRow, width, rows, pitch, key);
  if (sizes.Total() > 0xFFFFFFFFu) return 0;
  WriteU32(block, sizes.Total());
  std::uint8_t* table = block + kRunLengthSizeBytes;
  std::uint64_t runOffset = sizes.tableBytes;
  std::uint64_t pixelOffset = sizes.tableBytes + sizes.runBytes;
  const std::uint8_t* row = firstRow;
  for (int r = 0; r < rows; ++r, row += pitch) {
    WriteU32(table + kRunLengthRowEntryBytes * static_cast<std::size_t>(r), runOffset);
    WriteU32(table + kRunLengthRowEntryBytes * static_cast<std::size_t>(r) + 4, pixelOffset);
    RowPairs(row, width, bytesPerPixel, key, [&](int skip, int copy, int firstOpaque) {
      std::uint8_t* runs = table + runOffset;
      runs[0] = static_cast<std::uint8_t>(skip);
      runs[1] = static_cast<std::uint8_t>(copy);
      runOffset += 2;
      const auto bytes = static_cast<std::size_t>(copy) * static_cast<std::size_t>(bytesPerPixel);
      if (bytes) std::memcpy(table + pixelOffset, row + firstOpaque * bytesPerPixel, bytes);
      pixelOffset += bytes;
    });
  }
  return static_cast<std::uint32_t>(sizes.Total());
}

namespace {

template <int kBytes>
std::uint32_t MeasureEntry(const PixelDescriptor*, std::uint8_t* header,
                           const std::uint8_t* firstRow, int width, int rows, int pitch,
                           std::uint32_t key) {
  return MeasureRunLengthForm(kBytes, header, firstRow, width, rows, pitch, key);
}
template <int kBytes>
std::uint32_t EncodeEntry(const PixelDescriptor*, std::uint8_t* block, const std::uint8_t* firstRow,
                          int width, int rows, int pitch, std::uint32_t key) {
  return EncodeRunLengthForm(kBytes, block, firstRow, width, rows, pitch, key);
}

}  // namespace

void InstallRunLengthRoutines(PixelRoutineTableSet& tables) {
  tables[kFormat8].measureRunLength = MeasureEntry<1>;
  tables[kFormat8].encodeRunLength = EncodeEntry<1>;
  for (int f : {kFormat15, kFormat16}) {
    tables[f].measureRunLength = MeasureEntry<2>;
    tables[f].encodeRunLength = EncodeEntry<2>;
  }
  tables[kFormat24].measureRunLength = MeasureEntry<3>;
  tables[kFormat24].encodeRunLength = EncodeEntry<3>;
  tables[kFormat32].measureRunLength = MeasureEntry<4>;
  tables[kFormat32].encodeRunLength = EncodeEntry<4>;
}

}  // namespace vexa
