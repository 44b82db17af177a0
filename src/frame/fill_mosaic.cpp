// CFillMosaic: a tile repeated from an origin.
//
// Along each axis the rectangle is cut into pieces: the first piece starts at the phase
// (where the origin puts the rectangle's corner inside the tile) and runs to the tile's edge;
// the others are whole tiles from the tile's start, the last one cut. The pieces drawn are
// the first piece, the column below it, the row right of it, then the grid of whole tiles.
// Only pieces that meet the surface's clip rectangle are blitted, so rectangles of any size
// cost no more than the visible tiles.
#include <vexa/fill_style.h>

#include <algorithm>

#include <vexa/blit.h>
#include <vexa/surface_object.h>

#include "render/fill_bands.h"

namespace {

// The pieces along one axis, k = 0 being the first piece.
struct Axis {
  long long start;  // the rectangle's first pixel
  long long end;    // exclusive
  int phase;        // tile position of the first piece
  int tileSize;
  long long firstEnd;

  Axis(int from, int to, long long position, int size) : start(from), end(to), tileSize(size) {
    long long p = position % size;
    if (p < 0) p += size;  // a negative position wraps like a positive one
    phase = static_cast<int>(p);
    firstEnd = std::min<long long>(end, start + (size - phase));
  }
  long long PieceStart(long long k) const { return k == 0 ? start : firstEnd + (k - 1) * tileSize; }
  long long PieceEnd(long long k) const {
    return k == 0 ? firstEnd : std::min<long long>(end, firstEnd + k * tileSize);
  }
  int SourceOf(long long k) const { return k == 0 ? phase : 0; }
  // The first and last piece (from 1) meeting [from, to); empty when last < first.
  void Visible(long long from, long long to, long long* first, long long* last) const {
    from = std::max(from, firstEnd);
    to = std::min(to, end);
    if (to <= from) {
      *first = 1;
      *last = 0;
      return;
    }
    *first = 1 + (from - firstEnd) / tileSize;
    *last = 1 + (to - 1 - firstEnd) / tileSize;
  }
  bool FirstVisible(long long from, long long to) const {
    return std::max(from, start) < std::min(to, firstEnd);
  }
};

int Tile(cSurfaceObject* tile, cSurfaceObject* surface, int left, int top, int right, int bottom,
         long long originX, long long originY, int mode, std::uint32_t effect,
         EffectParam parameter) {
  if (!tile || !surface) return 0;
  const int tw = tile->GetWidth(), th = tile->GetHeight();
  if (tw < 1 || th < 1) return 0;  // no tile to repeat
  if (right <= left || bottom <= top) return 1;
  const Axis ax(left, right, left + originX, tw);
  const Axis ay(top, bottom, top + originY, th);

  RECT clip;
  surface->GetClipRect(&clip);
  auto piece = [&](long long kx, long long ky) {
    const long long x = ax.PieceStart(kx), y = ay.PieceStart(ky);
    tile->Blit(surface, static_cast<int>(x), static_cast<int>(y), ax.SourceOf(kx), ay.SourceOf(ky),
               static_cast<int>(ax.PieceEnd(kx) - x), static_cast<int>(ay.PieceEnd(ky) - y), mode,
               effect, parameter, 0);
  };
  const bool firstColumn = ax.FirstVisible(clip.left, clip.right);
  const bool firstRow = ay.FirstVisible(clip.top, clip.bottom);
  long long x0, x1, y0, y1;
  ax.Visible(clip.left, clip.right, &x0, &x1);
  ay.Visible(clip.top, clip.bottom, &y0, &y1);
  if (firstColumn && firstRow) piece(0, 0);
  if (firstColumn)
    for (long long ky = y0; ky <= y1; ++ky) piece(0, ky);
  if (firstRow)
    for (long long kx = x0; kx <= x1; ++kx) piece(kx, 0);
  for (long long ky = y0; ky <= y1; ++ky)
    for (long long kx = x0; kx <= x1; ++kx) piece(kx, ky);
  return 1;
}

}  // namespace

CFillMosaic::CFillMosaic(cSurfaceObject* tileSurface, int x, int y)
    : tile(tileSurface), originX(x), originY(y) {}

CFillMosaic::CFillMosaic(const CFillMosaic& other)
    : CFillData(other), tile(other.tile), originX(other.originX), originY(other.originY) {}

CFillData* CFillMosaic::Destroy(unsigned flags) {
  this->CFillMosaic::~CFillMosaic();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
  return this;
}

std::uint32_t CFillMosaic::SetOrigin(int x, int y) {
  originX = x;
  originY = y;
  return vexa::PackOrigin(x, y);
}

int CFillMosaic::FillRect(cSurfaceObject* surface, int left, int top, int right, int bottom, int) {
  return Tile(tile, surface, left, top, right, bottom, originX, originY, kModeOpaque, kEffectNone,
              0);
}

int CFillMosaic::FillRectBlend(cSurfaceObject* surface, int left, int top, int right, int bottom,
                               int mode, std::uint32_t modulation, int) {
  const bool modulated = modulation != kNoModulation;
  return Tile(tile, surface, left, top, right, bottom, originX, originY, mode,
              modulated ? (kEffectNone | kEffectParamIsRGBA) : kEffectNone,
              modulated ? modulation : 0);
}
