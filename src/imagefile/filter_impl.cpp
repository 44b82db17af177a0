// CFilterImpl's construction, destruction and default virtual operations.
#include <vexa/filter_impl.h>
#include <vexa/memory.h>

#include "imagefile/filter_blocks.h"

CFilterImpl::CFilterImpl() = default;

CFilterImpl::~CFilterImpl() {
  vexa::FreeFilterBlock(&palette);
  vexa::FreeFilterBlock(&targetPalette);
  vexa::FreeFilterBlock(&lastSourcePalette);
  vexa::FreeFilterBlock(&remap);
  vexa::FreeFilterBlock(&colorCache);
}

void CFilterImpl::Destroy(unsigned flags) {
  this->CFilterImpl::~CFilterImpl();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

void CFilterImpl::Reserved2(int, int) {}
int CFilterImpl::GetSupportedDepths() {
  return kFilterDepth8 | kFilterDepth15 | kFilterDepth16 | kFilterDepth24 | kFilterDepth32;
}
int CFilterImpl::Reserved6() { return 1; }
void CFilterImpl::SetOption(int) {}
int CFilterImpl::SupportsImages() { return 0; }
int CFilterImpl::SupportsAnimations() { return 0; }
int CFilterImpl::CanSaveImage() { return 0; }
int CFilterImpl::CanSaveAnimation() { return 0; }
int CFilterImpl::SaveImage(COutputFile*, const BYTE*, int, int, int, int, const LOGPALETTE*,
                           const void*, int) {
  return kFilterNotSupported;
}
void CFilterImpl::EndRead(CInputFile*) {}
void CFilterImpl::EndWrite(COutputFile*) {}
int CFilterImpl::GetWidth() { return width; }
int CFilterImpl::GetHeight() { return height; }
int CFilterImpl::GetLineBytes() { return fileLineBytes; }
int CFilterImpl::GetDepth() { return depth; }
int CFilterImpl::GetImageSize() { return fileLineBytes * height; }
LOGPALETTE* CFilterImpl::GetPalette() { return palette; }
int CFilterImpl::GetTransparentColor(COLORREF*) { return 0; }
int CFilterImpl::HasAlpha() { return hasAlpha; }
int CFilterImpl::IsAnimated() { return 0; }
int CFilterImpl::GetFrameCount() { return frameCount; }
int CFilterImpl::GetCurrentFrame() { return currentFrame; }
void CFilterImpl::GetFrameRect(RECT* rect) {
  if (rect) *rect = RECT{0, 0, width, height};
}
int CFilterImpl::Reserved31() { return 0; }
int CFilterImpl::Reserved32() { return 0; }
int CFilterImpl::GetExtraInfo() { return extraInfo[1]; }
int CFilterImpl::GetFrameExtraInfo(int) { return extraInfo[0]; }
int CFilterImpl::Reserved35() { return 1; }
int CFilterImpl::Reserved36() { return 0; }
void CFilterImpl::Rewind() {}
int CFilterImpl::BeginWrite(COutputFile*, int, int, int, int, int, int, int, int, int) {
  return kFilterNotSupported;
}
int CFilterImpl::WriteRows(COutputFile*, const BYTE*, const BYTE*, int, int, int, int,
                           const LOGPALETTE*, int, int, int, int, int) {
  return kFilterNotSupported;
}
void CFilterImpl::Reserved40(int, int) {}

void CFilterImpl::ComputeLineBytes() {
  pixelBytes = (depth + 1) / 8;
  switch (depth) {
    case 1:
      lineBytes = ((width + 15) & ~15) / 8;
      break;
    case 4:
      lineBytes = ((width + 1) & ~1) / 2;
      break;
    case 15:
    case 16:
      lineBytes = width * 2;
      break;
    case 24:
      lineBytes = width * 3;
      break;
    case 32:
      lineBytes = width * 4;
      break;
    default:
      lineBytes = width;
      break;
  }
}

BOOL CFilterImpl::CreatePalette(int count) {
  // The block holds 256 entries: a larger count would make later copies of 4 + 4 x count
  // bytes run past it.
  if (count < 0 || count > 256) return 0;
  if (!vexa::EnsurePaletteBlock(&palette)) return 0;
  vexa::ClearPalette(palette);
  palette->palNumEntries = static_cast<WORD>(count);
  return 1;
}
