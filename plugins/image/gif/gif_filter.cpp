// The GIF image filter, over giflib.
//
// Images are composited on the logical screen, which starts transparent, with all four
// disposal methods (none, keep, restore to transparent, restore to the previous picture). A
// frame is shown after each image that has a delay: images without one build up a frame with
// the images after them. When no image has a delay, a file with a loop extension shows each
// image as a frame (it is meant as an animation), any other file all images as one picture. The
// image is 8-bit with the global colour table when no frame has a local one, else 24-bit;
// transparent pixels and uncovered screen make an alpha plane. Slot 33 answers the loop count
// (0 forever, -1 when the file has none) and slot 34 the delay of a frame in 1/100 s.
//
// Saves 8-bit stills (SaveImage: the palette as the global table; the colour key, when it is
// a palette colour, as the transparent index) and 8-bit animations. The values passed through
// the image file object are: BeginWrite (width, height, depth 8, loop count (0 forever, -1
// none), v5 transparent index (-1 none), the rest unused); WriteRows (ignored, ignored,
// ignored, delay in 1/100 s, ignored). The first frame's palette is the global table; a later
// frame with another palette gets a local table.
#include <gif_lib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <vexa/filter_impl.h>
#include <vexa/filter_plugin.h>
#include <vexa/stream.h>

#include "../common/filter_support.h"

namespace {

using filters::kBadDepth;
using filters::kOk;
using filters::kOutOfMemory;
using filters::kWriteFailed;

constexpr std::uint32_t kGifID = FilterID("GIF ");

constexpr int kNotGif = filters::kNotOurs;
// Frames decoded over the whole file, in pixels: bounds the work of a file of many frames.
constexpr std::int64_t kMaxDecodedPixels = std::int64_t{1} << 30;

int ReadFromStream(GifFileType* gif, GifByteType* data, int length) {
  auto* input = static_cast<CInputFile*>(gif->UserData);
  int count = 0;
  input->Read(data, length, &count);
  return count;
}

int WriteToStream(GifFileType* gif, const GifByteType* data, int length) {
  auto* output = static_cast<COutputFile*>(gif->UserData);
  return output->Write(data, length) == kStreamOk ? length : 0;
}

struct FrameInfo {
  int left, top, width, height;  // clipped to the screen
  int disposal;
  int transparent;  // index or -1
  int delay;
  bool interlaced;
};

class GifFilter final : public CFilterImpl {
 public:
  ~GifFilter() {
    CloseDecoder();
    CloseEncoder();
  }
  void Release() override { delete this; }
  std::uint32_t GetID() override { return kGifID; }
  int Reserved4() override { return 0; }
  int GetSupportedDepths() override { return kFilterDepth8; }
  int CanReadFile(CInputFile* input) override;
  int SupportsImages() override { return 1; }
  int SupportsAnimations() override { return 1; }
  int CanSaveImage() override { return 1; }
  int CanSaveAnimation() override { return 1; }
  int BeginRead(CInputFile* input) override;
  int ReadImage(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) override;
  void EndRead(CInputFile*) override { CloseDecoder(); }
  int IsAnimated() override { return frameCount > 1; }
  void Rewind() override {
    CloseDecoder();
    currentFrame = -1;
    currentImage_ = -1;
  }
  int GetExtraInfo() override { return loopCount_; }
  int GetFrameExtraInfo(int frame) override {
    return frame >= 0 && frame < static_cast<int>(frameEnds_.size())
               ? frames_[frameEnds_[frame]].delay
               : 0;
  }
  int SaveImage(COutputFile* output, const BYTE* pixels, int width, int height, int depth,
                int pitch, const LOGPALETTE* palette, const void* alphaOrKey,
                int alphaPitch) override;
  int BeginWrite(COutputFile* output, int w, int h, int d, int loops, int transparent, int, int,
                 int, int) override;
  int WriteRows(COutputFile* output, const BYTE* previous, const BYTE* rows, int w, int h,
                int pitch, int d, const LOGPALETTE* palette, int, int, int, int delay,
                int) override;
  void EndWrite(COutputFile*) override { CloseEncoder(); }

 private:
  int Scan(GifFileType* gif);
  int DecodeNextFrame();
  int DecodeNextImage();
  void CloseDecoder() {
    if (decoder_) DGifCloseFile(decoder_, nullptr);
    decoder_ = nullptr;
  }
  void CloseEncoder() {
    if (encoder_) EGifCloseFile(encoder_, nullptr);
    encoder_ = nullptr;
  }
  int PutFrame(GifFileType* gif, const BYTE* rows, int w, int h, int pitch,
               const LOGPALETTE* palette, int delay, int transparent, bool local);

  CInputFile* input_ = nullptr;
  int start_ = 0;  // stream position of the file's first byte
  GifFileType* decoder_ = nullptr;
  std::vector<FrameInfo> frames_;  // one per image
  std::vector<int> frameEnds_;     // per frame: the index of its last image
  int currentImage_ = -1;          // the image last drawn
  bool empty_ = false;             // a screen without images
  int loopCount_ = -1;
  PALETTEENTRY global_[256] = {};
  int globalCount_ = 0;
  std::vector<BYTE> indexes_;  // 8-bit images: the screen's indexes
  std::vector<BYTE> colors_;   // 24-bit images: the screen's blue, green, red
  std::vector<BYTE> alpha_;    // the screen's coverage
  std::vector<BYTE> saved_;    // the picture before a "restore to previous" frame
  // Writing.
  GifFileType* encoder_ = nullptr;
  int transparentIndex_ = -1;
  int loops_ = -1;
  bool wroteScreen_ = false;
  PALETTEENTRY written_[256] = {};
  int writtenCount_ = 0;
};

bool IsGifStart(CInputFile* input) {
  BYTE start[6];
  if (!input || input->ReadExact(start, 6) != kStreamOk) return false;
  return std::memcmp(start, "GIF87a", 6) == 0 || std::memcmp(start, "GIF89a", 6) == 0;
}

int GifFilter::CanReadFile(CInputFile* input) { return IsGifStart(input); }

GraphicsControlBlock NoControl() {
  GraphicsControlBlock gcb{};
  gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
  gcb.TransparentColor = NO_TRANSPARENT_COLOR;
  return gcb;
}

// Walks the file once without decoding pixels: frames, their placement and controls, the
// loop count, and whether any frame has a local colour table.
int GifFilter::Scan(GifFileType* gif) {
  bool localTables = false;
  bool imagesSeen = false;
  GraphicsControlBlock control = NoControl();
  std::int64_t decoded = 0;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return frames_.empty() ? kNotGif : kOk;
    if (type == TERMINATE_RECORD_TYPE) {
      // A screen without images shows as one empty (transparent) frame.
      if (frames_.empty()) frames_.push_back(FrameInfo{0, 0, 0, 0, 0, -1, 0, false});
      break;
    }
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return frames_.empty() ? kNotGif : kOk;
      bool netscape = false;
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        DGifExtensionToGCB(block[0], block + 1, &control);
      } else if (code == APPLICATION_EXT_FUNC_CODE && block && block[0] == 11) {
        netscape = std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 ||
                   std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0;
      }
      while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return frames_.empty() ? kNotGif : kOk;
        if (netscape && block && block[0] >= 3 && block[1] == 1) {
          loopCount_ = block[2] | block[3] << 8;
          netscape = false;
        }
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) return frames_.empty() ? kNotGif : kOk;
    imagesSeen = true;
    const GifImageDesc& d = gif->Image;
    if (d.ColorMap) localTables = true;
    FrameInfo f{};
    f.left = std::min(d.Left, width);
    f.top = std::min(d.Top, height);
    f.width = std::max(0, std::min(d.Left + d.Width, width) - f.left);
    f.height = std::max(0, std::min(d.Top + d.Height, height) - f.top);
    f.disposal = control.DisposalMode;
    f.transparent = control.TransparentColor;
    f.delay = control.DelayTime;
    f.interlaced = d.Interlace;
    decoded += static_cast<std::int64_t>(d.Width) * d.Height;
    if (decoded > kMaxDecodedPixels) return kOutOfMemory;
    if (!d.ColorMap && !gif->SColorMap) return frames_.empty() ? kNotGif : kOk;
    // Skip the compressed pixels.
    int codeSize = 0;
    GifByteType* code = nullptr;
    if (DGifGetCode(gif, &codeSize, &code) == GIF_ERROR) return frames_.empty() ? kNotGif : kOk;
    while (code) {
      if (DGifGetCodeNext(gif, &code) == GIF_ERROR) break;
    }
    frames_.push_back(f);
    control = NoControl();
  }
  if (frames_.empty()) return kNotGif;
  empty_ = frames_.size() == 1 && frames_[0].width == 0 && !imagesSeen;
  depth = localTables || !gif->SColorMap ? 24 : 8;
  bool anyDelay = false;
  for (const FrameInfo& f : frames_) anyDelay = anyDelay || f.delay > 0;
  frameEnds_.clear();
  for (int i = 0; i < static_cast<int>(frames_.size()); ++i) {
    const bool eachImage = !anyDelay && loopCount_ >= 0;
    if (eachImage || frames_[i].delay > 0 || i + 1 == static_cast<int>(frames_.size())) {
      frameEnds_.push_back(i);
    }
  }
  return kOk;
}

int GifFilter::BeginRead(CInputFile* input) {
  CloseDecoder();
  frames_.clear();
  loopCount_ = -1;
  if (!input) return kNotGif;
  input_ = input;
  start_ = input->Tell();
  int error = 0;
  GifFileType* gif = DGifOpen(input, ReadFromStream, &error);
  if (!gif) return kNotGif;
  width = gif->SWidth;
  height = gif->SHeight;
  if (width <= 0 || height <= 0) {
    DGifCloseFile(gif, nullptr);
    return kNotGif;
  }
  if (filters::TooLarge(width, height)) {
    DGifCloseFile(gif, nullptr);
    return kOutOfMemory;
  }
  globalCount_ = 0;
  if (gif->SColorMap) {
    globalCount_ = std::min(gif->SColorMap->ColorCount, 256);
    for (int i = 0; i < globalCount_; ++i) {
      const GifColorType c = gif->SColorMap->Colors[i];
      global_[i] = {c.Red, c.Green, c.Blue, 0};
    }
  }
  const int result = Scan(gif);
  DGifCloseFile(gif, nullptr);
  if (result != kOk) return result;
  frameCount = static_cast<int>(frameEnds_.size());
  currentFrame = -1;
  currentImage_ = -1;
  // Transparency, or screen the first frame leaves uncovered, or frames cleared away: alpha.
  const FrameInfo& first = frames_[0];
  hasAlpha = first.left > 0 || first.top > 0 || first.width < width || first.height < height;
  for (const FrameInfo& f : frames_) {
    if (f.transparent >= 0 || f.disposal == DISPOSE_BACKGROUND) hasAlpha = 1;
  }
  if (depth == 8) {
    if (!CreatePalette(globalCount_)) return kOutOfMemory;
    std::memcpy(reinterpret_cast<LOGPALETTE256*>(palette)->palPalEntry, global_,
                sizeof(PALETTEENTRY) * static_cast<std::size_t>(globalCount_));
  }
  ComputeLineBytes();
  fileLineBytes = lineBytes;
  return input->Seek(start_, kStreamSeekStart) == start_ ? kOk : kNotGif;
}

// Draws the images of the next frame.
int GifFilter::DecodeNextFrame() {
  if (!decoder_) currentImage_ = -1;
  const int next = currentFrame + 1;
  if (next >= frameCount) return kNotGif;
  while (currentImage_ < frameEnds_[next]) {
    const int result = DecodeNextImage();
    if (result != kOk) return result;
  }
  currentFrame = next;
  return kOk;
}

// Decodes the next image onto the screen, after the previous image's disposal.
int GifFilter::DecodeNextImage() {
  const std::size_t area = static_cast<std::size_t>(width) * height;
  if (!decoder_) {
    if (input_->Seek(start_, kStreamSeekStart) != start_) return kNotGif;
    int error = 0;
    decoder_ = DGifOpen(input_, ReadFromStream, &error);
    if (!decoder_) return kNotGif;
    try {
      indexes_.assign(depth == 8 ? area : 0, 0);
      colors_.assign(depth == 24 ? area * 3 : 0, 0);
      alpha_.assign(area, 0);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    currentImage_ = -1;
  }
  const int next = currentImage_ + 1;
  if (next >= static_cast<int>(frames_.size())) return kNotGif;
  // The previous image's disposal.
  if (currentImage_ >= 0) {
    const FrameInfo& p = frames_[currentImage_];
    if (p.disposal == DISPOSE_BACKGROUND) {
      for (int y = p.top; y < p.top + p.height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * width;
        std::fill_n(alpha_.begin() + row + p.left, p.width, 0);
        if (depth == 8) std::fill_n(indexes_.begin() + row + p.left, p.width, 0);
        if (depth == 24) std::fill_n(colors_.begin() + (row + p.left) * 3, p.width * 3, 0);
      }
    } else if (p.disposal == DISPOSE_PREVIOUS && !saved_.empty()) {
      const std::size_t colorBytes = depth == 8 ? area : area * 3;
      std::memcpy(depth == 8 ? indexes_.data() : colors_.data(), saved_.data(), colorBytes);
      std::memcpy(alpha_.data(), saved_.data() + colorBytes, area);
    }
  }
  const FrameInfo& f = frames_[next];
  if (f.disposal == DISPOSE_PREVIOUS) {
    const std::size_t colorBytes = depth == 8 ? area : area * 3;
    saved_.resize(colorBytes + area);
    std::memcpy(saved_.data(), depth == 8 ? indexes_.data() : colors_.data(), colorBytes);
    std::memcpy(saved_.data() + colorBytes, alpha_.data(), area);
  }
  if (empty_) {
    currentImage_ = next;
    return kOk;
  }
  // Find the frame's image record.
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(decoder_, &type) == GIF_ERROR) return kNotGif;
    if (type == TERMINATE_RECORD_TYPE) return kNotGif;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(decoder_, &code, &block) == GIF_ERROR) return kNotGif;
      while (block) {
        if (DGifGetExtensionNext(decoder_, &block) == GIF_ERROR) return kNotGif;
      }
      continue;
    }
    if (type == IMAGE_DESC_RECORD_TYPE) break;
  }
  if (DGifGetImageDesc(decoder_) == GIF_ERROR) return kNotGif;
  const GifImageDesc& d = decoder_->Image;
  const ColorMapObject* map = d.ColorMap ? d.ColorMap : decoder_->SColorMap;
  if (!map) return kNotGif;
  if (d.Width <= 0 || d.Height <= 0) {
    // Nothing to draw: skip the image's data.
    int codeSize = 0;
    GifByteType* code = nullptr;
    if (DGifGetCode(decoder_, &codeSize, &code) == GIF_ERROR) return kNotGif;
    while (code) {
      if (DGifGetCodeNext(decoder_, &code) == GIF_ERROR) return kNotGif;
    }
    currentImage_ = next;
    return kOk;
  }
  std::vector<GifPixelType> line(static_cast<std::size_t>(std::max(d.Width, 1)));
  // Interlaced images arrive in four passes of rows.
  static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  const int passes = d.Interlace ? 4 : 1;
  int result = kOk;
  for (int pass = 0; pass < passes && result == kOk; ++pass) {
    const int first = d.Interlace ? kStart[pass] : 0;
    const int step = d.Interlace ? kStep[pass] : 1;
    for (int row = first; row < d.Height; row += step) {
      if (DGifGetLine(decoder_, line.data(), d.Width) == GIF_ERROR) {
        // A damaged frame keeps the rows it has.
        result = next == 0 ? kNotGif : kOk;
        pass = passes;
        break;
      }
      const int y = d.Top + row;
      if (y < 0 || y >= height) continue;
      for (int x = 0; x < d.Width; ++x) {
        const int sx = d.Left + x;
        if (sx >= width) break;
        const int index = line[static_cast<std::size_t>(x)];
        if (index == f.transparent) continue;
        if (index >= map->ColorCount) {
          // A colour the table does not have: the frame is damaged.
          result = kNotGif;
          pass = passes;
          row = d.Height;
          break;
        }
        const std::size_t at = static_cast<std::size_t>(y) * width + sx;
        alpha_[at] = 255;
        if (depth == 8) {
          indexes_[at] = static_cast<BYTE>(index);
        } else {
          const GifColorType c =
              index < map->ColorCount ? map->Colors[index] : GifColorType{0, 0, 0};
          colors_[at * 3] = c.Blue;
          colors_[at * 3 + 1] = c.Green;
          colors_[at * 3 + 2] = c.Red;
        }
      }
    }
  }
  currentImage_ = next;
  return result;
}

int GifFilter::ReadImage(CInputFile*, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) {
  if (!input_ || !pixels || frames_.empty()) return kNotGif;
  if (outputDepth == 0) SetOutputFormat(depth == 8 ? 24 : depth, nullptr);
  const int result = DecodeNextFrame();
  if (result != kOk) return result;
  for (int y = 0; y < height; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * width;
    ConvertRow(pixels + static_cast<std::ptrdiff_t>(y) * pitch,
               depth == 8 ? indexes_.data() + row : colors_.data() + row * 3, width);
    if (alpha)
      std::memcpy(alpha + static_cast<std::ptrdiff_t>(y) * alphaPitch, alpha_.data() + row, width);
  }
  return kOk;
}

// ---- saving -------------------------------------------------------------------------------

ColorMapObject* MapOf(const LOGPALETTE* palette, int* count) {
  *count = palette ? std::min<int>(palette->palNumEntries, 256) : 0;
  int size = 2;
  while (size < *count) size *= 2;
  GifColorType colors[256] = {};
  const auto* e = palette ? reinterpret_cast<const LOGPALETTE256*>(palette)->palPalEntry : nullptr;
  for (int i = 0; i < *count; ++i) colors[i] = {e[i].peRed, e[i].peGreen, e[i].peBlue};
  return GifMakeMapObject(size, colors);
}

int GifFilter::PutFrame(GifFileType* gif, const BYTE* rows, int w, int h, int pitch,
                        const LOGPALETTE* palette, int delay, int transparent, bool local) {
  GraphicsControlBlock gcb = NoControl();
  gcb.DisposalMode = DISPOSE_DO_NOT;
  gcb.DelayTime = delay;
  gcb.TransparentColor = transparent;
  GifByteType extension[4];
  EGifGCBToExtension(&gcb, extension);
  if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR) return kWriteFailed;
  int count = 0;
  ColorMapObject* map = local ? MapOf(palette, &count) : nullptr;
  const int put = EGifPutImageDesc(gif, 0, 0, w, h, false, map);
  if (map) GifFreeMapObject(map);
  if (put == GIF_ERROR) return kWriteFailed;
  for (int y = 0; y < h; ++y) {
    auto* row = const_cast<GifPixelType*>(rows + static_cast<std::ptrdiff_t>(y) * pitch);
    if (EGifPutLine(gif, row, w) == GIF_ERROR) return kWriteFailed;
  }
  return kOk;
}

// The palette index of the colour key, or -1 when no entry has exactly that colour.
int KeyIndex(const LOGPALETTE* palette, const void* key) {
  if (!palette || !key) return -1;
  COLORREF color = 0;
  std::memcpy(&color, key, sizeof color);
  const auto* e = reinterpret_cast<const LOGPALETTE256*>(palette)->palPalEntry;
  for (int i = 0; i < std::min<int>(palette->palNumEntries, 256); ++i) {
    if ((static_cast<COLORREF>(e[i].peRed) | e[i].peGreen << 8 | e[i].peBlue << 16) ==
        (color & 0xFFFFFF)) {
      return i;
    }
  }
  return -1;
}

int GifFilter::SaveImage(COutputFile* output, const BYTE* pixels, int w, int h, int d, int pitch,
                         const LOGPALETTE* pal, const void* alphaOrKey, int alphaPitch) {
  if (!output || !pixels || w <= 0 || h <= 0 || w > 65535 || h > 65535) return kFilterBadArgument;
  if (d != 8) return kBadDepth;
  int error = 0;
  GifFileType* gif = EGifOpen(output, WriteToStream, &error);
  if (!gif) return kOutOfMemory;
  int count = 0;
  ColorMapObject* map = MapOf(pal, &count);
  int result = map ? kOk : kOutOfMemory;
  EGifSetGifVersion(gif, true);
  if (result == kOk && EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_ERROR) result = kWriteFailed;
  if (map) GifFreeMapObject(map);
  if (result == kOk) {
    result = PutFrame(gif, pixels, w, h, pitch, pal, 0, alphaPitch ? -1 : KeyIndex(pal, alphaOrKey),
                      false);
  }
  if (EGifCloseFile(gif, &error) == GIF_ERROR && result == kOk) result = kWriteFailed;
  return result;
}

int GifFilter::BeginWrite(COutputFile* output, int w, int h, int d, int loops, int transparent, int,
                          int, int, int) {
  CloseEncoder();
  if (!output || w <= 0 || h <= 0 || w > 65535 || h > 65535) return kFilterBadArgument;
  if (d != 8) return kBadDepth;
  int error = 0;
  encoder_ = EGifOpen(output, WriteToStream, &error);
  if (!encoder_) return kOutOfMemory;
  EGifSetGifVersion(encoder_, true);
  width = w;
  height = h;
  depth = d;
  loops_ = loops;
  transparentIndex_ = transparent >= 0 && transparent < 256 ? transparent : -1;
  wroteScreen_ = false;
  currentFrame = -1;
  return kOk;
}

int GifFilter::WriteRows(COutputFile*, const BYTE*, const BYTE* rows, int w, int h, int pitch,
                         int d, const LOGPALETTE* pal, int, int, int, int delay, int) {
  if (!encoder_) return kFilterNotSupported;
  if (!rows || w != width || h != height || d != 8) return kFilterBadArgument;
  bool local = false;
  if (!wroteScreen_) {
    int count = 0;
    ColorMapObject* map = MapOf(pal, &count);
    if (!map) return kOutOfMemory;
    const int put = EGifPutScreenDesc(encoder_, w, h, 8, 0, map);
    GifFreeMapObject(map);
    if (put == GIF_ERROR) return kWriteFailed;
    if (loops_ >= 0) {
      const GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
      const GifByteType loop[] = {1, GifByteType(loops_ & 0xFF), GifByteType((loops_ >> 8) & 0xFF)};
      if (EGifPutExtensionLeader(encoder_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
          EGifPutExtensionBlock(encoder_, sizeof app, app) == GIF_ERROR ||
          EGifPutExtensionBlock(encoder_, sizeof loop, loop) == GIF_ERROR ||
          EGifPutExtensionTrailer(encoder_) == GIF_ERROR) {
        return kWriteFailed;
      }
    }
    writtenCount_ = pal ? std::min<int>(pal->palNumEntries, 256) : 0;
    if (pal)
      std::memcpy(written_, reinterpret_cast<const LOGPALETTE256*>(pal)->palPalEntry,
                  4 * writtenCount_);
    wroteScreen_ = true;
  } else if (pal) {
    const int count = std::min<int>(pal->palNumEntries, 256);
    local = count != writtenCount_ ||
            std::memcmp(written_, reinterpret_cast<const LOGPALETTE256*>(pal)->palPalEntry,
                        4 * count) != 0;
  }
  const int result = PutFrame(encoder_, rows, w, h, pitch, pal, delay, transparentIndex_, local);
  if (result == kOk) ++currentFrame;
  return result;
}

}  // namespace

VEXA_PLUGIN_ENTRY void* CreateFilter(std::uint32_t) {
  return static_cast<CFilterImpl*>(new (std::nothrow) GifFilter);
}
VEXA_PLUGIN_ENTRY int CanReadFile(CInputFile* input) { return IsGifStart(input); }
VEXA_PLUGIN_ENTRY std::uint32_t GetFilterID() { return kGifID; }
VEXA_PLUGIN_ENTRY const char* GetFilterName() { return "GIF"; }
VEXA_PLUGIN_ENTRY const char* const* GetFilterExts() {
  static const char* const kExts[] = {"gif", nullptr};
  return kExts;
}
