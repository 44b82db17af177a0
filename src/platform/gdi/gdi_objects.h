// Objects behind the handles of the device interface, and the handle table (internal to the
// gdi folder and the window service that hands it framebuffers).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <vexa/palette.h>
#include <vexa/pixel_routines.h>
#include <vexa/wintypes.h>

#include "platform/gdi/gdi.h"
#include "platform/palette/palette_handle.h"

namespace plat {

enum class GdiKind : std::uint8_t {
  kNone = 0,
  kDC,
  kBitmap,
  kPen,
  kBrush,
  kRegion,
  kPalette,
  kFont
};

struct GdiObject {
  virtual ~GdiObject() = default;
  GdiKind kind = GdiKind::kNone;
  std::uint64_t handle = 0;  // the handle's number (kind, generation, slot)
  int holders = 0;           // contexts (and saved states) that have it selected
  bool stock = false;
  bool deleted = false;  // DeleteObject done; freed when the last holder lets go
};

// ---- regions: disjoint rectangles in bands ---------------------------------------------------

// A region's rectangles are sorted by top, then left; rectangles of one band share top and
// bottom, do not touch, and two vertically adjacent bands never have the same spans (they
// are merged). The form is canonical: equal regions have equal lists.
using RectList = std::vector<RECT>;

RectList CombineRects(const RectList& a, const RectList& b, int mode);
int RegionTypeOf(const RectList& rects);
RECT BoundsOf(const RectList& rects);                           // all zero for an empty list
RectList RectRegion(int left, int top, int right, int bottom);  // empty when degenerate

struct Region : GdiObject {
  RectList rects;
};

struct Pen : GdiObject {
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct Brush : GdiObject {
  UINT style = BS_SOLID;
  COLORREF color = 0;
  std::uintptr_t hatch = 0;
};

struct Palette : GdiObject {
  PaletteHandle record{};
};

// A logical font. What it stands for (face file, pixel sizes, synthetic styles) is resolved
// on first use under the text lock (gdi_font.h) and kept here.
struct FontMatch;
struct Font : GdiObject {
  ~Font() override;
  LOGFONTW log{};
  std::shared_ptr<const FontMatch> match;  // null until resolved; shared by equal fonts
};

// A bitmap: its pixels, and for 1 and 8 bits its colour table. `view` describes the pixels
// to the renderer's row routines (not for 1 bit); its palette is `table`.
struct Bitmap : GdiObject {
  ~Bitmap() override;
  int width = 0, height = 0;
  int bitCount = 0;  // 1, 8, 16, 24, 32 as stored
  int depth = 0;     // 1, 8, 15, 16, 24, 32
  int stride = 0;
  bool topDown = false;
  bool isSection = false;
  bool ownsBits = true;
  std::uint8_t* bits = nullptr;  // lowest address of the pixels
  PaletteObject table{};         // colour table (entryCount used entries)
  PixelDescriptor view{};
  struct DC* selectedIn = nullptr;  // the memory context it is selected into

  std::uint8_t* Row(int y) const {
    return bits + static_cast<std::ptrdiff_t>(topDown ? y : height - 1 - y) * stride;
  }
};

// The colour <-> stored value rules of a bitmap. At 8 (and 1) bits a colour maps to the
// nearest table entry by the library's palette search, a PALETTEINDEX colour to its index
// (through the context's palette when `palette` is given, else directly).
std::uint32_t ValueOfColor(const Bitmap& bitmap, COLORREF color);
COLORREF ColorOfValue(const Bitmap& bitmap, std::uint32_t value);
std::uint32_t ReadValue(const Bitmap& bitmap, int x, int y);
void WriteValue(Bitmap& bitmap, int x, int y, std::uint32_t value);
// Describes `bits` (already allocated or borrowed) to the row routines; depth 1 gets no view.
void BuildView(Bitmap& bitmap);
// A bitmap object of a format on caller memory (not owned) or on fresh zeroed memory (bits
// null); null when the size is unusable.
Bitmap* MakeBitmap(int width, int height, int depth, bool topDown, std::uint8_t* bits, int stride);

enum class DCKind : std::uint8_t { kMemory, kScreen, kWindow };

// What a context draws with; copied by SaveDC.
struct DCState {
  Bitmap* bitmap = nullptr;
  Pen* pen = nullptr;
  Brush* brush = nullptr;
  Font* font = nullptr;
  Palette* palette = nullptr;
  POINT windowOrigin{0, 0};
  bool hasClip = false;
  RectList clip;  // device pixels
  int rop2 = R2_COPYPEN;
  int bkMode = OPAQUE;
  COLORREF bkColor = 0xFFFFFF;
  COLORREF textColor = 0;
  UINT textAlign = 0;
  POINT position{0, 0};
  int stretchMode = BLACKONWHITE;
  int polyFillMode = ALTERNATE;
};

struct DC : GdiObject {
  DCKind dcKind = DCKind::kMemory;
  HWND window = nullptr;
  DCState state;
  std::vector<DCState> saved;
  // Device pixels drawn since the last flush (windows only).
  RECT dirty{0, 0, 0, 0};
  bool hasDirty = false;
};

// ---- the handle table --------------------------------------------------------------------

// Enters a new object (the table owns it from then on) and returns its handle number; 0
// when the table is full.
std::uint64_t Register(GdiObject* object);
// The live (not deleted) object of a handle when it has that kind; null otherwise.
GdiObject* Lookup(const void* handle, GdiKind kind);
template <class T>
T* LookupAs(const void* handle, GdiKind kind) {
  return static_cast<T*>(Lookup(handle, kind));
}
inline DC* LookupDC(HDC dc) { return LookupAs<DC>(dc, GdiKind::kDC); }
// Handle of an object, as a pointer type.
template <class H>
H HandleOf(const GdiObject* object) {
  return object ? reinterpret_cast<H>(static_cast<std::uintptr_t>(object->handle)) : nullptr;
}
// Takes and drops a holder reference; the last drop of a deleted object frees it.
void Hold(GdiObject* object);
void LetGo(GdiObject* object);
// Removes a non-stock object: frees it now or when its last holder lets go.
void Retire(GdiObject* object);

// The stock objects.
Bitmap* StockBitmap();  // 1 x 1 monochrome
Pen* StockPen(int which);
Brush* StockBrush(int which);
Palette* StockPalette();
Font* StockFont(int which);  // null for indexes that name no font

// Hold/let go of every object of a state.
void HoldState(DCState& state);
void LetGoState(DCState& state);

// A context on a bitmap that the caller keeps (windows and the screen); the bitmap is held.
DC* NewContextOn(DCKind kind, HWND window, Bitmap* bitmap);
void FreeContext(DC* dc);

// The screen's memory bitmap (made on first use).
Bitmap* ScreenBitmap();
int ScreenWidth();
int ScreenHeight();

// ---- drawing helpers shared by the drawing files --------------------------------------------

// The device rectangles a context may draw into now (its clip region within its bitmap).
RectList DrawableClip(const DC& dc);
// Marks device pixels of a window context as drawn.
void MarkDirty(DC& dc, const RECT& box);

// Clamps a coordinate to the range every shape computes exactly in.
int ClampCoordinate(std::int64_t value);

}  // namespace plat
