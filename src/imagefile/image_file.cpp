// CImageFile: one filter object bound to one input or output stream; the reading side,
// queries and Close.
#include <vexa/filter_impl.h>
#include <vexa/filter_manager.h>
#include <vexa/image_file.h>
#include <vexa/memory.h>
#include <vexa/stream.h>
#include <vexa/text.h>

#include "imagefile/image_file_internal.h"

CImageFile::CImageFile(CImageFilterMgr* imageManager) : manager(imageManager) {}

CImageFile::~CImageFile() {
  Close();
  ReleaseFilter();
}

void CImageFile::ReleaseFilter() {
  if (filter) filter->Release();
  filter = nullptr;
}

void CImageFile::DropInput() {
  if (input && ownsInput) input->Delete();
  input = nullptr;
  ownsInput = 0;
  formatSet = 0;
}

int CImageFile::Open(const WCHAR* name) {
  if (!name) return input ? Identify() : kImageNoStream;
  // A name while an input is open would silently read the open stream instead.
  if (input) return kImageAlreadyOpen;
  CInputBufFile* file = NewInputBufFile();
  if (!file) return kImageNoMemory;
  if (file->Create(name) != kStreamOk) {
    file->Delete();
    return kImageCannotOpen;
  }
  input = file;
  ownsInput = 1;
  return Identify();
}

int CImageFile::Open(const char* name) {
  return vexa::WithWideName(name, kImageNoMemory, [this](const WCHAR* wide) { return Open(wide); });
}

int CImageFile::OpenStream(CInputFile* stream) {
  if (input) return kImageAlreadyOpen;
  if (!stream) return kImageNoStream;
  input = stream;
  ownsInput = 0;
  return Identify();
}

int CImageFile::Identify() {
  if (!input) return kImageNoStream;
  if (filter) {
    const int position = input->Tell();
    if (!filter->CanReadFile(input)) ReleaseFilter();
    if (input->Tell() != position) input->Seek(position, kStreamSeekStart);
  }
  if (!filter && manager) filter = static_cast<CFilterImpl*>(manager->CreateFilterFromFile(input));
  int result = kImageUnknownFormat;
  if (filter) {
    result = filter->BeginRead(input);
    if (result == kImageOk) result = vexa::CheckReportedImage(filter);
    if (result != kImageOk) ReleaseFilter();
  }
  if (result != kImageOk) {
    DropInput();
    return result;
  }
  formatSet = 0;
  readPalette = nullptr;
  return kImageOk;
}

int CImageFile::SelectFilter(int index) {
  if (!manager || index < 0 || index >= manager->GetFilterCount()) return 0;
  auto* created = manager->CreateImageFilter(index);
  if (!created) return 0;
  ReleaseFilter();
  filter = created;
  return 1;
}

int CImageFile::SelectFilterByID(std::uint32_t id) {
  if (!manager) return 0;
  auto* created = static_cast<CFilterImpl*>(manager->CreateFilterFromID(id));
  if (!created) return 0;
  ReleaseFilter();
  filter = created;
  return 1;
}

int CImageFile::SetReadFormat(int width, int height, int depth, const LOGPALETTE* palette) {
  if (!filter || !input) return kImageNothingOpen;
  if (width != filter->GetWidth() || height != filter->GetHeight()) return kImageSizeDiffers;
  if (depth == 0) depth = filter->GetDepth();
  if (depth == 8 && !palette) palette = filter->GetPalette();
  const int result = filter->SetOutputFormat(depth, palette);
  if (result != kImageOk) return result;
  formatSet = 1;
  readWidth = width;
  readHeight = height;
  readDepth = depth;
  readPalette = palette;
  return kImageOk;
}

int CImageFile::Read(BYTE* pixels, int width, int height, int pitch, int depth,
                     const LOGPALETTE* palette, BYTE* alpha, int alphaPitch) {
  if (!filter || !input) return kImageNothingOpen;
  if (!pixels) return kImageBadArgument;
  // A read with another size, depth or palette than the format set would write past the
  // caller's buffer: set the format again.
  const int wantedDepth = depth == 0 ? filter->GetDepth() : depth;
  const LOGPALETTE* wantedPalette = wantedDepth == 8 && !palette ? filter->GetPalette() : palette;
  if (!formatSet || width != readWidth || height != readHeight || wantedDepth != readDepth ||
      wantedPalette != readPalette) {
    const int result = SetReadFormat(width, height, depth, palette);
    if (result != kImageOk) return result;
  }
  return filter->ReadImage(input, pixels, pitch, alpha, alpha ? alphaPitch : 0);
}

int CImageFile::SeekFrame(BYTE* pixels, int pitch, int frame) {
  if (!formatSet || !filter) return kImageNoFilter;
  if (!filter->IsAnimated()) return kImageNotSupported;
  if (!input) return kImageNothingOpen;
  const int count = filter->GetFrameCount();
  if (frame >= count) frame = count - 1;
  if (frame < 0) frame = 0;
  if (filter->GetCurrentFrame() > frame) filter->Rewind();
  while (filter->GetCurrentFrame() < frame) {
    const int before = filter->GetCurrentFrame();
    const int result = filter->ReadImage(input, pixels, pitch, nullptr, 0);
    if (result != kImageOk) return result;
    if (filter->GetCurrentFrame() <= before) return kImageNotSupported;  // would never end
  }
  return kImageOk;
}

void CImageFile::RewindIfAnimated() {
  if (filter && filter->IsAnimated()) filter->Rewind();
}

int CImageFile::Close() {
  formatSet = 0;
  readPalette = nullptr;
  void* rows = previousRows;
  FreeBlockAndClear(&rows);
  previousRows = nullptr;
  previousSize = 0;
  previousPitch = 0;
  int result = kImageOk;
  if (output) {
    if (filter) filter->EndWrite(output);
    result = FinishOutput();
  }
  if (input) {
    if (filter) filter->EndRead(input);
    DropInput();
  }
  return result;
}

int CImageFile::GetWidth() { return filter ? filter->GetWidth() : 0; }
int CImageFile::GetHeight() { return filter ? filter->GetHeight() : 0; }
int CImageFile::GetDepth() { return filter ? filter->GetDepth() : 0; }
int CImageFile::GetLineBytes() { return filter ? filter->GetLineBytes() : 0; }
int CImageFile::GetImageSize() { return filter ? filter->GetImageSize() : 0; }
LOGPALETTE* CImageFile::GetPalette() { return filter ? filter->GetPalette() : nullptr; }
int CImageFile::GetTransparentColor(COLORREF* color) {
  return filter ? filter->GetTransparentColor(color) : 0;
}
int CImageFile::HasAlpha() { return filter ? filter->HasAlpha() : 0; }
int CImageFile::GetFrameCount() { return filter ? filter->GetFrameCount() : 0; }
int CImageFile::GetCurrentFrame() { return filter ? filter->GetCurrentFrame() : 0; }
int CImageFile::GetFrameRect(RECT* rect) {
  if (!filter) return 0;
  filter->GetFrameRect(rect);
  return 1;
}
int CImageFile::IsAnimated() { return filter ? filter->IsAnimated() : 0; }
int CImageFile::GetSupportedDepths() { return filter ? filter->GetSupportedDepths() : 0; }
int CImageFile::CanSaveImage() { return filter ? filter->CanSaveImage() : 0; }
int CImageFile::CanSaveAnimation() { return filter ? filter->CanSaveAnimation() : 0; }
std::uint32_t CImageFile::GetFilterID() { return filter ? filter->GetID() : 0; }
int CImageFile::GetExtraInfo() { return filter ? filter->GetExtraInfo() : 0; }
int CImageFile::GetFrameExtraInfo(int frame) {
  return filter ? filter->GetFrameExtraInfo(frame) : 0;
}

int CImageFile::GetFilterIndex() {
  if (!filter || !manager) return -1;
  return manager->GetFilterIndex(filter->GetID());
}

const char* CImageFile::GetFilterName() {
  const int index = GetFilterIndex();
  return index < 0 ? "" : manager->GetFilterName(index);
}

const WCHAR* CImageFile::GetFilterNameW() {
  const int index = GetFilterIndex();
  return index < 0 ? u"" : manager->GetFilterNameW(index);
}
