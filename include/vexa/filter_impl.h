// CFilterImpl: the base class of every image filter object.
//
// An image filter plug-in (filter_plugin.h) derives its filter objects from this class,
// overrides what its format needs and keeps the image description in the fields below, which
// the library reads through the accessor operations. The order of the virtual operations and
// of the fields is the contract with compiled plug-ins: it never changes. Slot 0 is
// Destroy(flags): the destructor, which frees the five owned blocks, and with bit 0 also the
// object's memory.
//
// Palettes are logical palette records (LOGPALETTE): version 0x300, entry count, then red,
// green, blue, flags per entry; comparisons ignore the flags. Palette blocks are made for 256
// entries (1028 bytes) whatever the count, zero-filled.
//
// Rows hold 15-bit pixels as 0RRRRRGGGGGBBBBB, 16-bit pixels as RRRRRGGGGGGBBBBB, and 24- and
// 32-bit pixels as the bytes blue, green, red (and a fourth byte, 0 when the converter writes
// it).
//
// Error codes shared with the image file object: 8 the operation is not supported, 14 a bad
// argument; SetOutputFormat answers 1 when memory runs out.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

class CInputFile;
class COutputFile;

inline constexpr int kFilterNotSupported = 8;
inline constexpr int kFilterBadArgument = 14;

// A cache slot of the 5-6-5 colour cache that has not been computed yet.
inline constexpr BYTE kColorCacheEmpty = 253;

// Bits of GetSupportedDepths.
enum FilterDepthBits : int {
  kFilterDepth8 = 0x04,
  kFilterDepth15 = 0x08,
  kFilterDepth16 = 0x10,
  kFilterDepth24 = 0x20,
  kFilterDepth32 = 0x40,
};

class VEXA_API CFilterImpl {
 public:
  CFilterImpl();
  ~CFilterImpl();
  CFilterImpl(const CFilterImpl&) = delete;
  CFilterImpl& operator=(const CFilterImpl&) = delete;

  virtual void Destroy(unsigned flags);            // 0
  virtual void Release() = 0;                      // 1: destroys the filter object
  virtual void Reserved2(int first, int second);   // 2: does nothing
  virtual std::uint32_t GetID() = 0;               // 3: the filter identifier
  virtual int Reserved4() = 0;                     // 4
  virtual int GetSupportedDepths();                // 5: FilterDepthBits of SaveImage; 0x7C
  virtual int Reserved6();                         // 6: 1
  virtual void SetOption(int option);              // 7: does nothing
  virtual int CanReadFile(CInputFile* input) = 0;  // 8
  virtual int SupportsImages();                    // 9: 0
  virtual int SupportsAnimations();                // 10: 0
  virtual int CanSaveImage();                      // 11: 0
  virtual int CanSaveAnimation();                  // 12: 0
  // 13: reads the header: width, height, depth, hasAlpha, palette, frameCount. 0 or an error.
  virtual int BeginRead(CInputFile* input) = 0;
  // 14: reads the next frame at outputDepth; alpha is null (alphaPitch 0) when not wanted.
  virtual int ReadImage(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha,
                        int alphaPitch) = 0;
  // 15: writes a whole image. alphaOrKey points at the alpha plane when alphaPitch is not 0,
  // else at a 32-bit transparent colour. Default: 8.
  virtual int SaveImage(COutputFile* output, const BYTE* pixels, int width, int height, int depth,
                        int pitch, const LOGPALETTE* palette, const void* alphaOrKey,
                        int alphaPitch);
  virtual void EndRead(CInputFile* input);                            // 16: does nothing
  virtual void EndWrite(COutputFile* output);                         // 17: does nothing
  virtual int GetWidth();                                             // 18
  virtual int GetHeight();                                            // 19
  virtual int GetLineBytes();                                         // 20: fileLineBytes
  virtual int GetDepth();                                             // 21
  virtual int GetImageSize();                                         // 22: fileLineBytes x height
  virtual LOGPALETTE* GetPalette();                                   // 23: may be null
  virtual int GetTransparentColor(COLORREF* color);                   // 24: 0
  virtual int HasAlpha();                                             // 25
  virtual int SetOutputFormat(int depth, const LOGPALETTE* palette);  // 26
  virtual int IsAnimated();                                           // 27: 0
  virtual int GetFrameCount();                                        // 28
  virtual int GetCurrentFrame();                                      // 29
  virtual void GetFrameRect(RECT* rect);                              // 30: 0, 0, width, height
  virtual int Reserved31();                                           // 31: 0
  virtual int Reserved32();                                           // 32: 0
  virtual int GetExtraInfo();                                         // 33: extraInfo[1]
  virtual int GetFrameExtraInfo(int frame);                           // 34: extraInfo[0]
  virtual int Reserved35();                                           // 35: 1
  virtual int Reserved36();                                           // 36: 0
  virtual void Rewind();                                              // 37: does nothing
  // 38: starts writing an animation; the nine values come unchanged from the caller. 8.
  virtual int BeginWrite(COutputFile* output, int v1, int v2, int v3, int v4, int v5, int v6,
                         int v7, int v8, int v9);
  // 39: writes one frame; previous is the last frame's rows or null; the five values come
  // unchanged from the caller. 8.
  virtual int WriteRows(COutputFile* output, const BYTE* previous, const BYTE* rows, int width,
                        int height, int pitch, int depth, const LOGPALETTE* palette, int v1, int v2,
                        int v3, int v4, int v5);
  virtual void Reserved40(int first, int second);  // 40: does nothing

  // pixelBytes = (depth + 1) / 8 and lineBytes from width and depth.
  void ComputeLineBytes();
  // Makes the palette (256 entries, version 0x300) or clears the existing one, and stores
  // count. 0 when memory runs out or count is outside 0..256.
  BOOL CreatePalette(int count);
  // Converts count pixels from depth to outputDepth.
  void ConvertRow(BYTE* destination, const BYTE* source, int count);
  // The index of the entry nearest to (red, green, blue) by the sum of absolute differences;
  // the lowest index among equals; 0 for an empty palette.
  static int FindNearestColor(const LOGPALETTE* palette, int red, int green, int blue);
  // Prepares the remap table or colour cache for the current depths and palettes; 0 when
  // memory runs out.
  BOOL BuildConversion();

  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t depth = 0;          // of the file's image data: 1, 4, 8, 15, 16, 24 or 32
  std::int32_t lineBytes = 0;      // unpadded row at depth (ComputeLineBytes)
  std::int32_t fileLineBytes = 0;  // row size as the plug-in reports it
  std::int32_t pixelBytes = 0;     // (depth + 1) / 8
  std::int32_t hasAlpha = 0;
  std::int32_t reserved[3] = {0, 0, 0};  // for the plug-in
  std::int32_t frameCount = 1;
  std::int32_t currentFrame = -1;      // the frame last read or written; -1 before the first
  std::int32_t extraInfo[2] = {0, 0};  // answered by slots 34 and 33
  LOGPALETTE* palette = nullptr;       // the file's palette (a palette block), owned
  std::int32_t convert = 0;            // rows need conversion (or remapping)
  std::int32_t paletteChanged = 0;     // target palette replaced since the tables were built
  std::int32_t outputDepth = 0;
  std::int32_t outputPixelBytes = 0;
  LOGPALETTE* targetPalette = nullptr;      // copy of the 8-bit output palette, owned
  LOGPALETTE* lastSourcePalette = nullptr;  // source palette the remap was built for, owned
  BYTE* remap = nullptr;                    // 256 bytes: source index -> target index
  BYTE* colorCache = nullptr;               // 65536 bytes: 5-6-5 colour -> target index
};

// Bytes of a palette block: the record with 256 entries.
inline constexpr int kPaletteBlockSize = 4 + 256 * 4;
