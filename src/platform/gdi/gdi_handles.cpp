// The handle table, stock objects, selection and deletion.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/screen.h"

namespace plat {
namespace {

// Handle numbers: bits 0-23 slot + 1, 24-39 generation, 40-47 kind. Never 0, never an
// address anyone could have (so a pointer passed by mistake names no slot).
constexpr std::uint64_t kSlotBits = 24;
constexpr std::uint64_t kSlotLimit = (std::uint64_t{1} << kSlotBits) - 2;

struct Slot {
  GdiObject* object = nullptr;
  std::uint16_t generation = 1;
};

struct Table {
  std::mutex lock;
  std::vector<Slot> slots;
  std::vector<std::uint32_t> free;
  int live = 0;
};

Table& TheTable() {
  static Table* table = new Table;  // lives as long as the process; objects may outlive users
  return *table;
}

bool Decode(std::uint64_t h, std::uint32_t* slot, std::uint16_t* generation, GdiKind* kind) {
  const std::uint64_t index = h & ((std::uint64_t{1} << kSlotBits) - 1);
  if (index == 0 || (h >> 48) != 0) return false;
  *slot = static_cast<std::uint32_t>(index - 1);
  *generation = static_cast<std::uint16_t>(h >> kSlotBits);
  *kind = static_cast<GdiKind>((h >> 40) & 0xFF);
  return true;
}

// Frees the object and its slot; the table lock is held.
void FreeLocked(Table& t, GdiObject* object) {
  std::uint32_t slot;
  std::uint16_t generation;
  GdiKind kind;
  if (Decode(object->handle, &slot, &generation, &kind) && slot < t.slots.size() &&
      t.slots[slot].object == object) {
    t.slots[slot].object = nullptr;
    ++t.slots[slot].generation;
    if (t.slots[slot].generation == 0) t.slots[slot].generation = 1;
    t.free.push_back(slot);
    --t.live;
  }
}

void Destroy(GdiObject* object) {
  if (object->kind == GdiKind::kDC) {
    FreeContext(static_cast<DC*>(object));
    return;
  }
  delete object;
}

template <class T, class Init>
T* MakeStock(GdiKind kind, Init init) {
  auto* object = new T;
  object->kind = kind;
  object->stock = true;
  init(*object);
  Register(object);
  return object;
}

}  // namespace

std::uint64_t Register(GdiObject* object) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  std::uint32_t slot;
  if (!t.free.empty()) {
    slot = t.free.back();
    t.free.pop_back();
  } else {
    if (t.slots.size() >= kSlotLimit) return 0;
    t.slots.push_back(Slot{});
    slot = static_cast<std::uint32_t>(t.slots.size() - 1);
  }
  t.slots[slot].object = object;
  object->handle = (std::uint64_t{slot} + 1) |
                   (std::uint64_t{t.slots[slot].generation} << kSlotBits) |
                   (static_cast<std::uint64_t>(object->kind) << 40);
  ++t.live;
  return object->handle;
}

GdiObject* Lookup(const void* handle, GdiKind kind) {
  std::uint32_t slot;
  std::uint16_t generation;
  GdiKind handleKind;
  if (!Decode(reinterpret_cast<std::uintptr_t>(handle), &slot, &generation, &handleKind))
    return nullptr;
  if (kind != GdiKind::kNone && handleKind != kind) return nullptr;
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  if (slot >= t.slots.size()) return nullptr;
  const Slot& s = t.slots[slot];
  if (!s.object || s.generation != generation || s.object->deleted) return nullptr;
  return s.object;
}

void Hold(GdiObject* object) {
  if (!object || object->stock) return;
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  ++object->holders;
}

void LetGo(GdiObject* object) {
  if (!object || object->stock) return;
  Table& t = TheTable();
  {
    std::lock_guard<std::mutex> guard(t.lock);
    if (object->holders > 0) --object->holders;
    if (object->holders > 0 || !object->deleted) return;
    FreeLocked(t, object);
  }
  Destroy(object);
}

void Retire(GdiObject* object) {
  if (!object || object->stock) return;
  Table& t = TheTable();
  {
    std::lock_guard<std::mutex> guard(t.lock);
    object->deleted = true;
    if (object->holders > 0) return;
    FreeLocked(t, object);
  }
  Destroy(object);
}

int LiveObjectCount() {
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  return t.live;
}

// ---- stock objects ---------------------------------------------------------------------------

Bitmap* StockBitmap() {
  static Bitmap* bitmap = [] {
    Bitmap* b = MakeBitmap(1, 1, 1, true, nullptr, 0);
    b->stock = true;
    Register(b);
    return b;
  }();
  return bitmap;
}

// White, light grey, grey, dark grey and black: the stock brushes' colours.
constexpr COLORREF kStockGreys[5] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};

Brush* StockBrush(int which) {
  static Brush* brushes[6] = {};
  static std::once_flag once;
  std::call_once(once, [] {
    for (int i = 0; i < 6; ++i) {
      brushes[i] = MakeStock<Brush>(GdiKind::kBrush, [i](Brush& b) {
        b.style = i == NULL_BRUSH ? BS_NULL : BS_SOLID;
        b.color = i < 5 ? kStockGreys[i] : 0;
      });
    }
  });
  return (which >= 0 && which < 6) ? brushes[which] : nullptr;
}

Pen* StockPen(int which) {
  static Pen* pens[3] = {};
  static std::once_flag once;
  std::call_once(once, [] {
    for (int i = 0; i < 3; ++i) {
      pens[i] = MakeStock<Pen>(GdiKind::kPen, [i](Pen& p) {
        p.style = i == 2 ? PS_NULL : PS_SOLID;
        p.color = i == 0 ? 0xFFFFFF : 0;
      });
    }
  });
  const int index = which - WHITE_PEN;
  return (index >= 0 && index < 3) ? pens[index] : nullptr;
}

// The default palette: the 20 static colours of a palette display.
Palette* StockPalette() {
  static Palette* palette = MakeStock<Palette>(GdiKind::kPalette, [](Palette& p) {
    constexpr std::uint8_t kColors[20][3] = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    p.record.version = 0x300;
    p.record.entryCount = 20;
    for (int i = 0; i < 20; ++i)
      p.record.entries[i] = PALETTEENTRY{kColors[i][0], kColors[i][1], kColors[i][2], 0};
  });
  return palette;
}

HGDIOBJ GetStockObject(int which) {
  if (which >= WHITE_BRUSH && which <= NULL_BRUSH) return HandleOf<HBRUSH>(StockBrush(which));
  if (which >= WHITE_PEN && which <= NULL_PEN) return HandleOf<HPEN>(StockPen(which));
  if (which == DEFAULT_PALETTE) return HandleOf<HPALETTE>(StockPalette());
  return HandleOf<HFONT>(StockFont(which));
}

// ---- generic object calls --------------------------------------------------------------------

BOOL DeleteObject(HGDIOBJ handle) {
  GdiObject* object = Lookup(handle, GdiKind::kNone);
  if (!object || object->kind == GdiKind::kDC) return 0;
  Retire(object);
  return 1;
}

int GetObjectType(HGDIOBJ handle) {
  GdiObject* object = Lookup(handle, GdiKind::kNone);
  if (!object) return 0;
  switch (object->kind) {
    case GdiKind::kDC:
      return static_cast<DC*>(object)->dcKind == DCKind::kMemory ? OBJ_MEMDC : OBJ_DC;
    case GdiKind::kBitmap:
      return OBJ_BITMAP;
    case GdiKind::kPen:
      return OBJ_PEN;
    case GdiKind::kBrush:
      return OBJ_BRUSH;
    case GdiKind::kRegion:
      return OBJ_REGION;
    case GdiKind::kPalette:
      return OBJ_PAL;
    case GdiKind::kFont:
      return OBJ_FONT;
    default:
      return 0;
  }
}

int GetObject(HGDIOBJ handle, int size, void* out) {
  GdiObject* object = Lookup(handle, GdiKind::kNone);
  if (!object) return 0;
  auto give = [&](const void* record, int bytes) {
    if (!out) return bytes;
    if (size < bytes) return 0;
    std::memcpy(out, record, static_cast<std::size_t>(bytes));
    return bytes;
  };
  switch (object->kind) {
    case GdiKind::kBitmap: {
      const auto* b = static_cast<Bitmap*>(object);
      BITMAP record{0,
                    b->width,
                    b->height,
                    b->stride,
                    1,
                    static_cast<WORD>(b->bitCount),
                    b->isSection ? b->bits : nullptr};
      return give(&record, sizeof(record));
    }
    case GdiKind::kPen: {
      const auto* p = static_cast<Pen*>(object);
      LOGPEN record{static_cast<UINT>(p->style), POINT{p->width, 0}, p->color};
      return give(&record, sizeof(record));
    }
    case GdiKind::kBrush: {
      const auto* b = static_cast<Brush*>(object);
      LOGBRUSH record{b->style, b->color, b->hatch};
      return give(&record, sizeof(record));
    }
    case GdiKind::kPalette: {
      const WORD count = static_cast<Palette*>(object)->record.entryCount;
      return give(&count, sizeof(count));
    }
    case GdiKind::kFont:
      return give(&static_cast<Font*>(object)->log, sizeof(LOGFONTW));
    default:
      return 0;
  }
}

namespace {

// Swaps one selected object of a context for another, moving the holder references, and answers
// the previous object's handle. The handle is taken before the reference goes: letting go frees
// an object that was deleted while selected.
template <class H, class T>
H Swap(T*& slot, T* replacement) {
  T* previous = slot;
  const H previousHandle = HandleOf<H>(previous);
  Hold(replacement);
  slot = replacement;
  LetGo(previous);
  return previousHandle;
}

}  // namespace

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
  DC* dc = LookupDC(handle);
  GdiObject* o = dc ? Lookup(object, GdiKind::kNone) : nullptr;
  if (!o) return nullptr;
  DCState& s = dc->state;
  switch (o->kind) {
    case GdiKind::kPen:
      return Swap<HPEN>(s.pen, static_cast<Pen*>(o));
    case GdiKind::kBrush:
      return Swap<HBRUSH>(s.brush, static_cast<Brush*>(o));
    case GdiKind::kFont:
      return Swap<HFONT>(s.font, static_cast<Font*>(o));
    case GdiKind::kBitmap: {
      auto* b = static_cast<Bitmap*>(o);
      if (dc->dcKind != DCKind::kMemory) return nullptr;
      // A bitmap goes into one memory context at a time (the stock one into any).
      if (!b->stock && b->selectedIn && b->selectedIn != dc) return nullptr;
      Bitmap* previous = s.bitmap;
      if (previous && previous->selectedIn == dc) previous->selectedIn = nullptr;
      if (!b->stock) b->selectedIn = dc;
      return Swap<HBITMAP>(s.bitmap, b);
    }
    case GdiKind::kRegion: {
      const int type = SelectClipRgn(handle, static_cast<HRGN>(object));
      return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(type));
    }
    default:
      return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC handle, int type) {
  DC* dc = LookupDC(handle);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN:
      return HandleOf<HPEN>(dc->state.pen);
    case OBJ_BRUSH:
      return HandleOf<HBRUSH>(dc->state.brush);
    case OBJ_FONT:
      return HandleOf<HFONT>(dc->state.font);
    case OBJ_BITMAP:
      return HandleOf<HBITMAP>(dc->state.bitmap);
    case OBJ_PAL:
      return HandleOf<HPALETTE>(dc->state.palette);
    default:
      return nullptr;
  }
}

void HoldState(DCState& s) {
  Hold(s.bitmap);
  Hold(s.pen);
  Hold(s.brush);
  Hold(s.font);
  Hold(s.palette);
}

void LetGoState(DCState& s) {
  LetGo(s.bitmap);
  LetGo(s.pen);
  LetGo(s.brush);
  LetGo(s.font);
  LetGo(s.palette);
  s.bitmap = nullptr;
  s.pen = nullptr;
  s.brush = nullptr;
  s.font = nullptr;
  s.palette = nullptr;
}

// ---- palettes ---------------------------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE* record) {
  if (!record) return nullptr;
  auto* p = new (std::nothrow) Palette;
  if (!p) return nullptr;
  p->kind = GdiKind::kPalette;
  p->record.version = record->palVersion;
  p->record.entryCount = std::min<WORD>(record->palNumEntries, 256);
  std::copy_n(record->palPalEntry, p->record.entryCount, p->record.entries);
  if (!Register(p)) {
    delete p;
    return nullptr;
  }
  return HandleOf<HPALETTE>(p);
}

UINT GetPaletteEntries(HPALETTE handle, UINT start, UINT count, PALETTEENTRY* out) {
  auto* p = LookupAs<Palette>(handle, GdiKind::kPalette);
  if (!p) return 0;
  if (!out) return p->record.entryCount;
  if (start >= p->record.entryCount) return 0;
  const UINT copied = std::min<UINT>(count, p->record.entryCount - start);
  std::copy_n(p->record.entries + start, copied, out);
  return copied;
}

UINT SetPaletteEntries(HPALETTE handle, UINT start, UINT count, const PALETTEENTRY* in) {
  auto* p = LookupAs<Palette>(handle, GdiKind::kPalette);
  if (!p || !in || p->stock || start >= p->record.entryCount) return 0;
  const UINT copied = std::min<UINT>(count, p->record.entryCount - start);
  std::copy_n(in, copied, p->record.entries + start);
  return copied;
}

UINT GetNearestPaletteIndex(HPALETTE handle, COLORREF color) {
  auto* p = LookupAs<Palette>(handle, GdiKind::kPalette);
  if (!p || p->record.entryCount == 0) return CLR_INVALID;
  UINT best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < p->record.entryCount; ++i) {
    const PALETTEENTRY e = p->record.entries[i];
    const int dr = e.peRed - static_cast<int>(color & 0xFF);
    const int dg = e.peGreen - static_cast<int>((color >> 8) & 0xFF);
    const int db = e.peBlue - static_cast<int>((color >> 16) & 0xFF);
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<UINT>(i);
    }
  }
  return best;
}

HPALETTE SelectPalette(HDC handle, HPALETTE palette, BOOL) {
  DC* dc = LookupDC(handle);
  auto* p = dc ? LookupAs<Palette>(palette, GdiKind::kPalette) : nullptr;
  if (!p) return nullptr;
  return Swap<HPALETTE>(dc->state.palette, p);
}

UINT RealizePalette(HDC handle) { return LookupDC(handle) ? 0 : GDI_ERROR; }

UINT GetSystemPaletteEntries(HDC, UINT, UINT, PALETTEENTRY*) { return 0; }

// The older handle calls of the palette objects go through the same table.
HPALETTE CreatePaletteHandle(const LOGPALETTE* record) { return CreatePalette(record); }

void DeletePaletteHandle(HPALETTE handle) {
  if (handle) DeleteObject(handle);
}

int GetPaletteHandleEntries(HPALETTE handle, int first, int count, PALETTEENTRY* out) {
  if (!out || first < 0 || count <= 0) return 0;
  return static_cast<int>(
      GetPaletteEntries(handle, static_cast<UINT>(first), static_cast<UINT>(count), out));
}

}  // namespace plat
