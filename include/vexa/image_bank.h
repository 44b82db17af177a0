// The image bank: a game's images (and beside them their collision masks, display-driver
// copies, sounds and fonts) under 1-based numbers. The bank is also the application context
// of the thread that created it.
//
// Callers never hold pointers to pixels: they hold numbers, add references and release them.
// Each image is one self-contained heap block: a 16-byte entry header, a 40-byte image header
// and its pixels, stored plain, run-length encoded or LZ4-compressed. Surfaces over images are
// built on demand (GetImageSurface). Identical images can share one number (de-duplication by
// a checksum).
//
// Bank data is untrusted: games ship it. Every operation that reads supplied pixels, packet
// data, compressed or run-length blocks checks its sizes and fails with 0, leaving the bank as
// it was, instead of reading or writing outside a block.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

class cSurfaceImplementation;
class cSurfaceObject;
struct CollisionMask;
struct PaletteObject;

// ---- lists -------------------------------------------------------------------------------

enum BankListIndex : int {
  kListImages = 0,
  kListSounds = 1,
  kListMasks = 2,         // full collision masks, under the image's number
  kListTopEdgeMasks = 3,  // top-edge collision masks, under the image's number
  kListDriverSurfaces = 4,
  kListFonts = 5,
};
inline constexpr int kBankListCount = 6;
inline constexpr std::uint32_t kListSlotStep = 256;  // initial capacity and growth unit
inline constexpr std::uint32_t kListBusy = 0x1;      // bit of the list's flag word

// Every entry starts with this header; the entry is one heap block.
struct BankEntryHeader {
  std::uint32_t headerSize;  // bytes of all headers, this one included
  std::uint32_t dataSize;    // bytes of data after the headers
  std::uint32_t refCount;    // 1 when created
  std::uint32_t checksum;    // 16-bit checksum used to find duplicates; 0 when not computed
};
static_assert(sizeof(BankEntryHeader) == 16);

// A list: this header, then `capacity` slot pointers (null = free). Number n lives in slot
// n - 1; number 0 never names an entry.
struct BankList {
  std::uint32_t count;     // the highest number in use
  std::uint32_t capacity;  // number of slots, a multiple of 256
  std::uint32_t flags;     // bit 0: busy (MarkListBusy)
  std::uint32_t freeHint;  // the lowest slot index that may be free

  BankEntryHeader** Slots() { return reinterpret_cast<BankEntryHeader**>(this + 1); }
  BankEntryHeader* const* Slots() const {
    return reinterpret_cast<BankEntryHeader* const*>(this + 1);
  }
};
static_assert(sizeof(BankList) == 16);

// ---- image entries -----------------------------------------------------------------------

// Image flags (ImageEntryHeader::flags).
inline constexpr std::uint32_t kImageCompressed = 0x08;     // a 32-bit size, then one LZ4 block
inline constexpr std::uint32_t kImageAlphaPlane = 0x10;     // an alpha plane follows the pixels
inline constexpr std::uint32_t kImageSwapRedBlue = 0x20;    // with 0x08: stored as red-green-blue
inline constexpr std::uint32_t kImageRunLength = 0x40;      // pixels in the run-length form
inline constexpr std::uint32_t kImageAlphaInPixels = 0x80;  // with 0x08: 4-byte pixels + alpha

struct ImageEntryHeader {
  BankEntryHeader entry;           // headerSize 56
  std::int32_t width;              // 16
  std::int32_t height;             // 20
  std::uint32_t format;            // 24: mode code of the stored pixels (3, 4, 6, 7, 8)
  std::uint32_t flags;             // 28: image flags above
  std::int32_t hotSpotX;           // 32
  std::int32_t hotSpotY;           // 36
  std::int32_t actionPointX;       // 40
  std::int32_t actionPointY;       // 44
  std::uint32_t transparentColor;  // 48: 0x00BBGGRR
  std::uint32_t reserved;          // 52: 0

  std::uint8_t* Data() { return reinterpret_cast<std::uint8_t*>(this) + sizeof(*this); }
  const std::uint8_t* Data() const {
    return reinterpret_cast<const std::uint8_t*>(this) + sizeof(*this);
  }
};
static_assert(sizeof(ImageEntryHeader) == 56);
static_assert(offsetof(ImageEntryHeader, width) == 16);
static_assert(offsetof(ImageEntryHeader, format) == 24);
static_assert(offsetof(ImageEntryHeader, flags) == 28);
static_assert(offsetof(ImageEntryHeader, hotSpotX) == 32);
static_assert(offsetof(ImageEntryHeader, actionPointY) == 44);
static_assert(offsetof(ImageEntryHeader, transparentColor) == 48);
static_assert(offsetof(ImageEntryHeader, reserved) == 52);

// A display-driver surface of an image (list 4, no data). It holds a pointer, so its size is
// that of this record on the platform.
inline constexpr std::uint32_t kDriverSurfaceNeverExpires = 0x1;
struct DriverSurfaceEntry {
  BankEntryHeader entry;
  cSurfaceImplementation* surface;
  std::uint32_t flags;        // bit 0: never expire
  std::uint32_t lastUseTime;  // milliseconds, the bank's clock
  std::uint32_t lastUseFrame;
};

// A font (list 5): the entry header, a 32-bit field, then the wide logical font description.
// The checksum covers the 64 bytes from offset 16.
struct FontEntry {
  BankEntryHeader entry;  // headerSize 112
  std::uint32_t value;
  LOGFONTW font;
};
static_assert(sizeof(FontEntry) == 112);
static_assert(offsetof(FontEntry, font) == 20);

// What GetImageInfo reports (32 bytes, packed).
struct ImageInfo {
  std::uint32_t checksum;
  std::uint32_t refCount;
  std::uint32_t dataSize;
  std::uint16_t width;
  std::uint16_t height;
  std::uint8_t format;
  std::uint8_t flags;
  std::uint8_t unused[2];  // not written
  std::int16_t hotSpotX;
  std::int16_t hotSpotY;
  std::int16_t actionPointX;
  std::int16_t actionPointY;
  std::uint32_t transparentColor;
};
static_assert(sizeof(ImageInfo) == 32);
static_assert(offsetof(ImageInfo, width) == 12);
static_assert(offsetof(ImageInfo, format) == 16);
static_assert(offsetof(ImageInfo, hotSpotX) == 20);
static_assert(offsetof(ImageInfo, transparentColor) == 28);

// Where AddImageFromDIB places the image: hot spot and action point.
struct ImagePlacement {
  std::int16_t hotSpotX;
  std::int16_t hotSpotY;
  std::int16_t actionPointX;
  std::int16_t actionPointY;
};
static_assert(sizeof(ImagePlacement) == 8);

// AddImage flags. Bits 0-3: mode code of the supplied pixels (0: the bank's own; 2 and 5 are
// 4-bit forms, expanded to 8 bits).
inline constexpr std::uint32_t kAddFormatMask = 0xF;
inline constexpr std::uint32_t kAddDeduplicate = 0x20;
inline constexpr std::uint32_t kAddCompress = 0x40;         // store LZ4-compressed
inline constexpr std::uint32_t kAddRunLength = 0x80;        // store run-length encoded
inline constexpr std::uint32_t kAddPackets8 = 0x100;        // packet-encoded 1-byte pixels
inline constexpr std::uint32_t kAddPackets16 = 0x200;       // packet-encoded 2-byte pixels
inline constexpr std::uint32_t kAddPackets24 = 0x400;       // packet-encoded 3-byte pixels
inline constexpr std::uint32_t kAddCompressedForm = 0x800;  // data is the compressed stored form
inline constexpr std::uint32_t kAddAlphaPlane = 0x1000;     // an alpha plane follows the pixels
inline constexpr std::uint32_t kAddSwapRedBlue = 0x2000;    // image flag 0x20 for 0x800 data
inline constexpr std::uint32_t kAddSizedData = 0x4000;      // a 32-bit byte count leads the data
inline constexpr std::uint32_t kAddAlphaInPixels = 0x8000;  // image flag 0x80 for 0x800 data
inline constexpr std::uint32_t kAddAppend = 0x10000;

// GetImageSurface modes.
inline constexpr int kImageSurfaceInPlace = 0;
inline constexpr int kImageSurfacePlain = 1;   // run-length images copied to plain pixels
inline constexpr int kImageSurfaceDriver = 2;  // the driver surface on a driver-backed bank

// ---- the bank ----------------------------------------------------------------------------

// Format word bits that ask for display-driver-backed images (bit 6 also atlas packing).
inline constexpr std::uint16_t kBankFormatMask = 0x000F;
inline constexpr std::uint16_t kBankDriverBits = 0x00D0;
inline constexpr std::uint16_t kBankAtlasPacking = 0x0040;
inline constexpr std::uint16_t kBankSettingDestroying = 0x0001;
inline constexpr std::uint32_t kPaletteModeNone = 4;
inline constexpr int kAtlasPageCount = 8;

struct GameWindow;
// ---- sound channels and music ------------------------------------------------------------

inline constexpr int kSoundChannelCount = 48;

// One sample channel. Every field is pointer-sized: `sound` holds a number of list 1 or, above
// 0xFFFF, a name pointer.
struct SoundChannel {
  std::intptr_t sound;      // 0 when the channel is empty
  void* name;               // private copy of a played file's name (narrow or wide), or null
  std::uintptr_t flags;     // low 16 bits: the play's flags; 0x40 narrow name, 0x80 wide name,
                            // 0x10000 reserved
  void* object;             // the CSound in the channel, or null
  std::intptr_t volume;     // 0 to 100
  std::intptr_t pan;        // -100 to 100
  std::intptr_t frequency;  // Hz, 0 for the data's own rate
};

// The music slot.
struct MusicRecord {
  std::intptr_t device;  // -1 while no music is open
  std::intptr_t sound;
  std::uintptr_t flags;
  HWND notifyWindow;
  std::intptr_t loopsLeft;
  std::intptr_t paused;
  std::intptr_t position;  // saved by a pause, milliseconds
  void* name;
};

inline constexpr std::uintptr_t kChannelNarrowName = 0x40;
inline constexpr std::uintptr_t kChannelWideName = 0x80;
inline constexpr std::uintptr_t kChannelReserved = 0x10000;

struct ImageBank {
  std::uint32_t ownerValue;
  std::uint16_t formatWord;   // bits 0-3 the mode code of the bank's pixels
  std::uint16_t settingWord;  // the host's value; bit 0 also set while being destroyed
  std::uint32_t paletteMode;  // 4 without a palette
  PaletteObject* palette;     // counted reference
  BankList* lists[kBankListCount];
  cSurfaceObject* workSurface;  // 1 x 1 in the bank's depth (the bank palette at 8 bits)
  std::uint32_t frameCounter;
  std::uint32_t frameTime;  // milliseconds, when the current frame began
  cSurfaceObject* atlasPages[kAtlasPageCount];
  std::int32_t cleanupCursor;               // index into list 4
  std::int32_t destroying;                  // guards DestroyImageBank against re-entry
  struct FontSubstitutes* fontSubstitutes;  // face-name substitution table (font_bank.h)
  GameWindow* windows;                      // the context's game windows, newest first
  void* displayObject;                      // the vertical-blank source, made on demand
  HPALETTE paletteHandle;                   // the handle the palette was last set or selected with
  std::int32_t masterVolume;                // 0 to 100, the samples' master volume
  std::int32_t masterPan;                   // -100 to 100
  std::int32_t channelCount;                // sample channels in use, at most kSoundChannelCount
  SoundChannel channels[kSoundChannelCount];
  MusicRecord music;
};

// ---- bank and lists ----------------------------------------------------------------------

// A new bank with the palette taken from `paletteSource`'s entries (null: the calling thread's
// default palette), in the library's default format; it joins the calling thread's list of
// application contexts. Null when memory runs out.
VEXA_API ImageBank* CreateImageBank(std::uint32_t ownerValue, const LOGPALETTE* paletteSource);
// Releases every list, the atlas pages, the palette and the work surface, leaves the calling
// thread's list of application contexts and frees the bank. Null and re-entrant calls do
// nothing.
VEXA_API void DestroyImageBank(ImageBank* bank);
// Stores a format word and returns it: format 0 takes the library default, 3, 4, 6, 7 and 8
// stay, others become 3; the driver bits stay only when the display driver is available.
VEXA_API int SetImageBankFormat(ImageBank* bank, int formatWord);
// The palette mode; 4 for a null bank.
VEXA_API int GetPaletteMode(ImageBank* bank);

// The entry block of `number` in `list`, or null.
VEXA_API BankEntryHeader* GetEntry(ImageBank* bank, int list, int number);
// The highest number in use in the list, 0 when it does not exist.
VEXA_API int GetEntryCount(ImageBank* bank, int list);
// Frees every entry of the list and the list (list 0 also frees lists 2, 3 and 4). 1 when a
// list was freed.
VEXA_API int FreeList(ImageBank* bank, int list);
// Sets / clears the busy bit of a list and takes / drops one count of the library lock count.
// 1 when the bit changed.
VEXA_API int MarkListBusy(ImageBank* bank, int list);
VEXA_API int UnmarkListBusy(ImageBank* bank, int list);

// ---- images ------------------------------------------------------------------------------

// Adds an image and returns its number, or 0. `data` holds the supplied pixels in the form
// the flags give (null: an image of zero pixels, stored plain); `palette` is the palette of
// 8-bit (or 4-bit) supplied pixels, null for the bank's.
VEXA_API int AddImage(ImageBank* bank, int width, int height, int hotSpotX, int hotSpotY,
                      int actionPointX, int actionPointY, COLORREF transparentColor,
                      std::uint32_t flags, const void* data, const LOGPALETTE* palette);
// Adds the image of a packed device-independent bitmap (header, colour table, bits).
VEXA_API int AddImageFromDIB(ImageBank* bank, const ImagePlacement* placement,
                             const BITMAPINFO* bitmap, COLORREF transparentColor,
                             std::uint32_t flags);
// The plain form: transparent colour 0, de-duplication.
VEXA_API int AddImageFromDIB(ImageBank* bank, const ImagePlacement* placement,
                             const BITMAPINFO* bitmap);
// The new reference count, 0 when there is no such image.
VEXA_API int AddImageRef(ImageBank* bank, int number);
// The remaining reference count, 0 when the image was freed (with its masks and driver
// surface), -1 for a bad number.
VEXA_API int DeleteImage(ImageBank* bank, int number);
VEXA_API int GetImageInfo(ImageBank* bank, int number, ImageInfo* info);
// The information with size, hot spot and action point scaled (truncated) and then rotated
// by `angle` degrees about the hot spot. 0, with `info` untouched, for a NaN or infinite angle
// or scale, or a scale that takes a size out of the int range.
VEXA_API int GetImageTransformedInfo(ImageBank* bank, int number, float angle, float scaleX,
                                     float scaleY, ImageInfo* info);
// Bytes of pixels (and, with 0x1000, of the alpha plane) of an image of the format in the
// flags' low 4 bits; 0 for a format without a layout or a size that does not fit 31 bits.
VEXA_API int GetImageDataSize(int width, int height, std::uint32_t flags);
// Gives `surface` a surface over the image (see the modes); 1, or 0 with `surface` unchanged.
VEXA_API int GetImageSurface(ImageBank* bank, int number, cSurfaceObject* surface, int mode);
// The image's display-driver surface, created on demand (flags: bit 0 never expires, bit 1
// asked for an effect object: never on an atlas page); null on banks that are not
// driver-backed or when the driver makes nothing. The surface stays the bank's.
VEXA_API cSurfaceImplementation* GetImageDriverSurface(ImageBank* bank, int number,
                                                       std::uint32_t flags);
VEXA_API int ReleaseImageDriverSurface(ImageBank* bank, int number);
// Copies every cached driver surface's content again from its image (a driver that lost its
// surfaces' contents asks for this); returns how many were refilled.
VEXA_API int RefillImageDriverSurfaces(ImageBank* bank);
// Releases the image's masks (lists 3 then 2); 1 when the image exists.
VEXA_API int DeleteImageMasks(ImageBank* bank, int number);

// ---- collision masks of images -----------------------------------------------------------

// Builds the collision mask of image `number` (flag bit 0: the top-edge kind, kept in list 3;
// otherwise the full mask, list 2) with the image's hot spot, and stores it under the image's
// number, replacing one already there. The mask header, owned by the bank, or null.
VEXA_API CollisionMask* BuildImageMask(ImageBank* bank, int number, std::uint32_t flags);
// The stored mask of that kind, built when there is none.
VEXA_API CollisionMask* GetImageMask(ImageBank* bank, int number, std::uint32_t flags);
