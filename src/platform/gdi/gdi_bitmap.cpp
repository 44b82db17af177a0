// Bitmaps: DIB sections, compatible and monochrome bitmaps, colour <-> value rules, scan-line
// transfer (GetDIBits/SetDIBits) and colour tables.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/cpu_features.h"
#include "platform/gdi/gdi_objects.h"
#include "palette/palette_search.h"
#include "palette/palette_ops.h"
#include "pixels/pixel_format.h"

namespace plat {
namespace {

constexpr std::int64_t kMaxBitmapBytes = 0x7FFFFFFF;
constexpr COLORREF kIndexFlag = 0x01000000;

std::int64_t StrideFor(std::int64_t width, int bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

int BitCountOf(int depth) { return depth == 15 ? 16 : depth; }

void SetDefaultTable(Bitmap& b) {
  b.table.version = 0x300;
  if (b.depth == 1) {
    b.table.entryCount = 2;
    b.table.entries[1] = PALETTEENTRY{255, 255, 255, 0};
  } else if (b.depth == 8) {
    // The default palette's colours in the first and last ten entries, black between.
    const Palette* p = StockPalette();
    b.table.entryCount = 256;
    for (int i = 0; i < 10; ++i) {
      b.table.entries[i] = p->record.entries[i];
      b.table.entries[246 + i] = p->record.entries[10 + i];
    }
  }
}

}  // namespace

Bitmap::~Bitmap() {
  if (ownsBits) std::free(bits);
}

void BuildView(Bitmap& b) {
  b.view = PixelDescriptor{};
  if (b.depth < 8) return;
  PixelDescriptor& v = b.view;
  v.width = b.width;
  v.height = b.height;
  v.clipRight = b.width;
  v.clipBottom = b.height;
  v.depth = b.depth;
  v.formatIndex = vexa::FormatOfDepth(b.depth);
  v.flags = vexa::LibraryCpuFeatureWord() & kSurfaceFlagCpuMask;
  v.palette = b.depth == 8 ? &b.table : nullptr;
  v.storage = b.bits;
  v.firstRow = b.Row(0);
  v.stride = b.stride;
  v.pitch = b.topDown ? b.stride : -b.stride;
  v.bytesPerPixel = vexa::BytesPerPixel(b.depth);
  v.bottomUp = b.topDown ? 0 : 1;
  v.pixelRoutines = vexa::StandardPixelRoutines(v.formatIndex);
}

Bitmap* MakeBitmap(int width, int height, int depth, bool topDown, std::uint8_t* bits,
                   int stride) {
  if (width < 1 || height < 1) return nullptr;
  if (depth != 1 && depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32)
    return nullptr;
  const std::int64_t rowBytes = StrideFor(width, BitCountOf(depth));
  if (rowBytes * height > kMaxBitmapBytes) return nullptr;
  auto* b = new (std::nothrow) Bitmap;
  if (!b) return nullptr;
  b->kind = GdiKind::kBitmap;
  b->width = width;
  b->height = height;
  b->depth = depth;
  b->bitCount = BitCountOf(depth);
  b->topDown = topDown;
  if (bits) {
    b->bits = bits;
    b->stride = stride;
    b->ownsBits = false;
  } else {
    b->stride = static_cast<int>(rowBytes);
    b->bits = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(rowBytes * height), 1));
    if (!b->bits) {
      delete b;
      return nullptr;
    }
  }
  SetDefaultTable(*b);
  BuildView(*b);
  return b;
}

// ---- colours and values ------------------------------------------------------------------------

std::uint32_t ValueOfColour(const Bitmap& b, COLORREF colour) {
  switch (b.depth) {
    case 1:
    case 8: {
      if (colour & kIndexFlag) return (colour & 0xFF) % std::max<int>(b.table.entryCount, 1);
      const int count = b.table.entryCount;
      if (b.depth == 8)
        return static_cast<std::uint32_t>(vexa::NearestIndexWith(
            const_cast<PaletteObject*>(&b.table), colour, vexa::LibraryPaletteSearch()));
      return static_cast<std::uint32_t>(vexa::SearchPlain(b.table.entries, count, colour));
    }
    case 15: return vexa::ColorTo555(colour);
    case 16: return vexa::ColorTo565(colour);
    default: return vexa::SwapRedBlue(colour & 0xFFFFFF);
  }
}

COLORREF ColourOfValue(const Bitmap& b, std::uint32_t value) {
  switch (b.depth) {
    case 1:
    case 8: return vexa::RgbOf(b.table.entries[value & 0xFF]);
    case 15: return vexa::ColorFrom555(value);
    case 16: return vexa::ColorFrom565(value);
    default: return vexa::SwapRedBlue(value & 0xFFFFFF);
  }
}

std::uint32_t ReadValue(const Bitmap& b, int x, int y) {
  const std::uint8_t* row = b.Row(y);
  switch (b.depth) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 8: return row[x];
    case 15:
    case 16: return static_cast<std::uint32_t>(row[2 * x] | row[2 * x + 1] << 8);
    case 24: return static_cast<std::uint32_t>(row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16);
    default: {
      std::uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v;
    }
  }
}

void WriteValue(Bitmap& b, int x, int y, std::uint32_t value) {
  std::uint8_t* row = b.Row(y);
  switch (b.depth) {
    case 1: {
      const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = (value & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case 8: row[x] = static_cast<std::uint8_t>(value); break;
    case 15:
    case 16:
      row[2 * x] = static_cast<std::uint8_t>(value);
      row[2 * x + 1] = static_cast<std::uint8_t>(value >> 8);
      break;
    case 24:
      row[3 * x] = static_cast<std::uint8_t>(value);
      row[3 * x + 1] = static_cast<std::uint8_t>(value >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(value >> 16);
      break;
    default: std::memcpy(row + 4 * x, &value, 4); break;
  }
}

// ---- bitmap information records -----------------------------------------------------------------

namespace {

// What a bitmap-information record describes.
struct InfoFormat {
  int width = 0, height = 0;  // height positive
  bool topDown = false;
  int bitCount = 0;
  int depth = 0;  // 1, 8, 15, 16, 24, 32
  int stride = 0;
  int tableCount = 0;
  const std::uint8_t* table = nullptr;  // RGBQUADs or WORD indexes
};

bool ParseInfo(const BITMAPINFO* info, InfoFormat* f) {
  if (!info) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 4096 || h.biPlanes != 1) return false;
  if (h.biWidth < 1 || h.biHeight == 0 || h.biHeight == INT32_MIN) return false;
  f->width = h.biWidth;
  f->height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  f->topDown = h.biHeight < 0;
  f->bitCount = h.biBitCount;
  const auto* base = reinterpret_cast<const std::uint8_t*>(info);
  const std::uint8_t* after = base + h.biSize;
  switch (h.biBitCount) {
    case 1:
    case 8:
      if (h.biCompression != BI_RGB) return false;
      f->depth = h.biBitCount;
      if (h.biClrUsed > (1u << h.biBitCount)) return false;
      f->tableCount = h.biClrUsed ? static_cast<int>(h.biClrUsed) : 1 << h.biBitCount;
      f->table = after;
      break;
    case 16:
    case 32: {
      if (h.biCompression == BI_RGB) {
        f->depth = h.biBitCount == 16 ? 15 : 32;
        break;
      }
      if (h.biCompression != BI_BITFIELDS) return false;
      // The masks follow a 40-byte header, or sit inside a longer one at the same place.
      DWORD masks[3];
      std::memcpy(masks, base + sizeof(BITMAPINFOHEADER), sizeof(masks));
      if (h.biBitCount == 32) {
        if (masks[0] != 0xFF0000 || masks[1] != 0xFF00 || masks[2] != 0xFF) return false;
        f->depth = 32;
      } else if (masks[0] == 0xF800 && masks[1] == 0x7E0 && masks[2] == 0x1F) {
        f->depth = 16;
      } else if (masks[0] == 0x7C00 && masks[1] == 0x3E0 && masks[2] == 0x1F) {
        f->depth = 15;
      } else {
        return false;
      }
      break;
    }
    case 24:
      if (h.biCompression != BI_RGB) return false;
      f->depth = 24;
      break;
    default:
      return false;
  }
  const std::int64_t stride = StrideFor(f->width, f->bitCount);
  if (stride * f->height > kMaxBitmapBytes) return false;
  f->stride = static_cast<int>(stride);
  return true;
}

// The record's colour table as colours: RGB quads, or indexes into the context's palette.
void ReadTable(const InfoFormat& f, UINT usage, const DC* dc, PaletteObject* out) {
  out->version = 0x300;
  out->entryCount = static_cast<WORD>(f.tableCount);
  for (int i = 0; i < f.tableCount; ++i) {
    if (usage == DIB_PAL_COLORS) {
      WORD index;
      std::memcpy(&index, f.table + 2 * i, 2);
      const Palette* p = dc && dc->state.palette ? dc->state.palette : StockPalette();
      // Indexes past the palette's entries read as black.
      out->entries[i] = index < p->record.entryCount ? p->record.entries[index] : PALETTEENTRY{};
      out->entries[i].peFlags = 0;
    } else {
      RGBQUAD q;
      std::memcpy(&q, f.table + 4 * i, 4);
      out->entries[i] = PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
    }
  }
}

}  // namespace

HBITMAP CreateDIBSection(HDC handle, const BITMAPINFO* info, UINT usage, void** bits,
                         void* section, DWORD offset) {
  if (bits) *bits = nullptr;
  DC* dc = handle ? LookupDC(handle) : nullptr;
  InfoFormat f;
  if ((handle && !dc) || section || offset || usage > DIB_PAL_COLORS || !ParseInfo(info, &f))
    return nullptr;
  if (usage == DIB_PAL_COLORS && !dc) return nullptr;
  Bitmap* b = MakeBitmap(f.width, f.height, f.depth, f.topDown, nullptr, 0);
  if (!b) return nullptr;
  b->isSection = true;
  if (f.depth <= 8) ReadTable(f, usage, dc, &b->table);
  if (!Register(b)) {
    delete b;
    return nullptr;
  }
  if (bits) *bits = b->bits;
  return HandleOf<HBITMAP>(b);
}

namespace {

HBITMAP Enter(Bitmap* b) {
  if (!b) return nullptr;
  if (!Register(b)) {
    delete b;
    return nullptr;
  }
  return HandleOf<HBITMAP>(b);
}

}  // namespace

HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
  DC* dc = LookupDC(handle);
  if (!dc) return nullptr;
  const Bitmap* current = dc->state.bitmap;
  const bool screenFormat = !current || current->stock;
  const int depth = screenFormat ? ScreenBitmap()->depth : current->depth;
  Bitmap* b = MakeBitmap(width, height, depth, true, nullptr, 0);
  if (b && !screenFormat && depth == 8) b->table = current->table;
  if (b) b->table.inverseTable = nullptr;
  return Enter(b);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
  if (planes != 1 || (bitCount != 1 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
                      bitCount != 32))
    return nullptr;
  Bitmap* b = MakeBitmap(width, height, static_cast<int>(bitCount), true, nullptr, 0);
  if (b && bits) {
    // Rows given with 2-byte padding.
    const std::size_t source = static_cast<std::size_t>((width * static_cast<int>(bitCount) + 15) / 16 * 2);
    const std::size_t row = std::min<std::size_t>(source, static_cast<std::size_t>(b->stride));
    for (int y = 0; y < height; ++y)
      std::memcpy(b->Row(y), static_cast<const std::uint8_t*>(bits) + source * y, row);
  }
  return Enter(b);
}

// ---- scan-line transfer ----------------------------------------------------------------------------

namespace {

// A buffer of scan lines seen as a bitmap that does not own its memory.
struct BufferBitmap {
  Bitmap bitmap;
  ~BufferBitmap() { bitmap.ownsBits = false; }
};

void CopyLines(Bitmap& to, int toFirst, const Bitmap& from, int fromFirst, int lines) {
  const int width = std::min(to.width, from.width);
  if (to.depth >= 8 && from.depth >= 8 && !(to.depth == 8 && from.depth == 8)) {
    // Different formats, or the same one: the renderer's row converter (a copy when equal).
    from.view.pixelRoutines->convertRect(&to.view, 0, toFirst, 0, &from.view, 0, fromFirst,
                                         width, lines);
    return;
  }
  if (to.depth == 8 && from.depth == 8) {
    bool same = to.table.entryCount >= from.table.entryCount;
    for (int i = 0; same && i < from.table.entryCount; ++i)
      same = vexa::RgbOf(to.table.entries[i]) == vexa::RgbOf(from.table.entries[i]);
    if (same) {
      from.view.pixelRoutines->convertRect(&to.view, 0, toFirst, 0, &from.view, 0, fromFirst,
                                           width, lines);
      return;
    }
    std::uint8_t remap[256];
    for (int i = 0; i < 256; ++i)
      remap[i] = static_cast<std::uint8_t>(ValueOfColour(to, vexa::RgbOf(from.table.entries[i])));
    for (int y = 0; y < lines; ++y) {
      const std::uint8_t* s = from.Row(fromFirst + y);
      std::uint8_t* d = to.Row(toFirst + y);
      for (int x = 0; x < width; ++x) d[x] = remap[s[x]];
    }
    return;
  }
  // Monochrome on either side: pixel by pixel through colours.
  for (int y = 0; y < lines; ++y)
    for (int x = 0; x < width; ++x)
      WriteValue(to, x, toFirst + y,
                 ValueOfColour(to, ColourOfValue(from, ReadValue(from, x, fromFirst + y))));
}

// Sets up `buffer` over caller memory for lines [start, start + lines) of the record.
bool Describe(const InfoFormat& f, std::uint8_t* bits, UINT usage, const DC* dc,
              BufferBitmap* buffer) {
  Bitmap& b = buffer->bitmap;
  b.width = f.width;
  b.height = f.height;
  b.depth = f.depth;
  b.bitCount = f.bitCount;
  b.stride = f.stride;
  b.topDown = f.topDown;
  b.bits = bits;
  b.ownsBits = false;
  if (f.depth <= 8) ReadTable(f, usage, dc, &b.table);
  BuildView(b);
  return true;
}

// Bitmap line `line` counted from the bottom (scan-line numbering) as a row index.
int RowOfLine(int height, int line) { return height - 1 - line; }

}  // namespace

int GetDIBits(HDC handle, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage) {
  DC* dc = LookupDC(handle);
  auto* b = LookupAs<Bitmap>(bitmap, GdiKind::kBitmap);
  if (!dc || !b || !info || usage > DIB_PAL_COLORS) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER)) return 0;
  if (!bits && h.biBitCount == 0) {
    // Only the bitmap's own description is wanted.
    h.biWidth = b->width;
    h.biHeight = b->topDown ? -b->height : b->height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(b->bitCount);
    h.biCompression = b->depth == 16 ? BI_BITFIELDS : BI_RGB;
    h.biSizeImage = static_cast<DWORD>(b->stride) * static_cast<DWORD>(b->height);
    h.biClrUsed = 0;
    if (b->depth == 16) {
      const DWORD masks[3] = {0xF800, 0x7E0, 0x1F};
      std::memcpy(info->bmiColors, masks, sizeof(masks));
    }
    return 1;
  }
  InfoFormat f;
  if (!ParseInfo(info, &f) || f.width != b->width) return 0;
  if (f.depth <= 8 && usage == DIB_RGB_COLORS && b->depth == f.depth) {
    // The caller gets the bitmap's own table with its indexes.
    auto* table = const_cast<std::uint8_t*>(f.table);
    for (int i = 0; i < f.tableCount; ++i) {
      const PALETTEENTRY e = i < b->table.entryCount ? b->table.entries[i] : PALETTEENTRY{};
      const RGBQUAD q{e.peBlue, e.peGreen, e.peRed, 0};
      std::memcpy(table + 4 * i, &q, 4);
    }
  }
  h.biSizeImage = static_cast<DWORD>(f.stride) * static_cast<DWORD>(f.height);
  if (!bits) return static_cast<int>(b->height);
  if (start >= static_cast<UINT>(b->height)) return 0;
  const int count = static_cast<int>(std::min<UINT>(
      {lines, static_cast<UINT>(b->height) - start, static_cast<UINT>(f.height)}));
  if (count <= 0) return 0;
  BufferBitmap buffer;
  Describe(f, static_cast<std::uint8_t*>(bits), usage, dc, &buffer);
  // Line k of the transfer is bitmap line start + k and buffer line k, both counted from the
  // bottom; copy one line at a time since the two row orders may differ.
  for (int k = 0; k < count; ++k)
    CopyLines(buffer.bitmap, RowOfLine(f.height, k), *b,
              RowOfLine(b->height, static_cast<int>(start) + k), 1);
  return count;
}

int SetDIBits(HDC handle, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
  DC* dc = handle ? LookupDC(handle) : nullptr;
  auto* b = LookupAs<Bitmap>(bitmap, GdiKind::kBitmap);
  InfoFormat f;
  if ((handle && !dc) || !b || b->stock || !bits || usage > DIB_PAL_COLORS ||
      !ParseInfo(info, &f) || f.width != b->width)
    return 0;
  if (b->selectedIn && b->selectedIn != dc) return 0;
  if (usage == DIB_PAL_COLORS && !dc) return 0;
  if (start >= static_cast<UINT>(b->height)) return 0;
  const int count = static_cast<int>(std::min<UINT>(
      {lines, static_cast<UINT>(b->height) - start, static_cast<UINT>(f.height)}));
  if (count <= 0) return 0;
  BufferBitmap buffer;
  Describe(f, static_cast<std::uint8_t*>(const_cast<void*>(bits)), usage, dc, &buffer);
  for (int k = 0; k < count; ++k)
    CopyLines(*b, RowOfLine(b->height, static_cast<int>(start) + k), buffer.bitmap,
              RowOfLine(f.height, k), 1);
  return count;
}

UINT SetDIBColorTable(HDC handle, UINT start, UINT count, const RGBQUAD* colours) {
  DC* dc = LookupDC(handle);
  Bitmap* b = dc ? dc->state.bitmap : nullptr;
  if (!b || !b->isSection || b->depth > 8 || !colours) return 0;
  const UINT size = 1u << b->depth;
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  for (UINT i = 0; i < n; ++i)
    b->table.entries[start + i] =
        PALETTEENTRY{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
  b->table.entryCount = static_cast<WORD>(std::max<UINT>(b->table.entryCount, start + n));
  return n;
}

UINT GetDIBColorTable(HDC handle, UINT start, UINT count, RGBQUAD* colours) {
  DC* dc = LookupDC(handle);
  Bitmap* b = dc ? dc->state.bitmap : nullptr;
  if (!b || !b->isSection || b->depth > 8 || !colours) return 0;
  if (start >= b->table.entryCount) return 0;
  const UINT n = std::min<UINT>(count, b->table.entryCount - start);
  for (UINT i = 0; i < n; ++i) {
    const PALETTEENTRY e = b->table.entries[start + i];
    colours[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
  }
  return n;
}

}  // namespace plat
