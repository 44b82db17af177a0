// Fill styles: small objects that paint a rectangle of a public surface object with one
// colour (CFillFlat), a two-colour gradient in bands (CFillDir) or a tiled image
// (CFillMosaic). The drawing primitives paint a shape's box with a style and cut it to the
// shape; callers also fill whole surfaces with them.
//
// Rectangles are in the surface object's coordinates (its origin is subtracted before the
// implementation is called), left and top inclusive, right and bottom exclusive. A width or
// height of INT_MAX given to Fill or FillBlend means the surface's own. Modulation is an RGBA
// value 0xAARRGGBB, or -1 (0xFFFFFFFF) for none. avoidBlack keeps a fill from producing pure
// black, which surfaces use as their default transparent colour.
//
// The virtual operations are in a fixed order (callers and derived classes use the table by
// slot); slot 0 is Destroy(flags), whose bit 0 also frees the object. Objects belong to the
// caller and are copyable.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

class cSurfaceObject;

inline constexpr std::uint32_t kNoModulation = 0xFFFFFFFFu;

// The four corner colours a display driver fills a gradient with: top-left, top-right,
// bottom-right, bottom-left.
struct FillCornerColours {
  COLORREF corner[4];
};
static_assert(sizeof(FillCornerColours) == 16);

class VEXA_API CFillData {
 public:
  CFillData() = default;
  CFillData(const CFillData& other);
  CFillData& operator=(const CFillData&) = default;

  /* 0 */ virtual CFillData* Destroy(unsigned flags);
  // Stores the pattern's origin where the style has one; returns (y << 16) | (x & 0xFFFF),
  // or 0 for styles without an origin.
  /* 1 */ virtual std::uint32_t SetOrigin(int x, int y);
  // FillRect from (0, 0) to (width, height).
  /* 2 */ virtual int Fill(cSurfaceObject* surface, int width, int height, int avoidBlack);
  /* 3 */ virtual int FillRect(cSurfaceObject* surface, int left, int top, int right, int bottom,
                               int avoidBlack) = 0;
  // FillRectBlend from (0, 0) to (width, height).
  /* 4 */ virtual int FillBlend(cSurfaceObject* surface, int width, int height, int mode,
                                std::uint32_t modulation, int avoidBlack);
  /* 5 */ virtual int FillRectBlend(cSurfaceObject* surface, int left, int top, int right,
                                    int bottom, int mode, std::uint32_t modulation,
                                    int avoidBlack) = 0;

 protected:
  ~CFillData() = default;
};

// One colour. Black is stored as 0x000008.
class VEXA_API CFillFlat : public CFillData {
 public:
  explicit CFillFlat(COLORREF colour);
  CFillFlat(const CFillFlat& other);
  CFillFlat& operator=(const CFillFlat&) = default;
  ~CFillFlat() = default;

  CFillData* Destroy(unsigned flags) override;
  int FillRect(cSurfaceObject* surface, int left, int top, int right, int bottom,
               int avoidBlack) override;
  int FillRectBlend(cSurfaceObject* surface, int left, int top, int right, int bottom, int mode,
                    std::uint32_t modulation, int avoidBlack) override;

  COLORREF colour;
};

// A linear gradient from colour 1 to colour 2, top to bottom (vertical) or left to right, in
// as many bands as the largest channel difference. Black is stored as 0x000008. Display-driver
// surfaces fill it themselves from the corner colours; other surfaces paint solid bands
// through their device context (none: the fill answers 0).
class VEXA_API CFillDir : public CFillData {
 public:
  CFillDir(COLORREF colour1, COLORREF colour2, int vertical, int originX, int originY);
  CFillDir(const CFillDir& other);
  CFillDir& operator=(const CFillDir&) = default;
  ~CFillDir() = default;

  CFillData* Destroy(unsigned flags) override;
  std::uint32_t SetOrigin(int x, int y) override;
  // The whole surface with the bands shifted by the origin along the gradient.
  int Fill(cSurfaceObject* surface, int width, int height, int avoidBlack) override;
  int FillRect(cSurfaceObject* surface, int left, int top, int right, int bottom,
               int avoidBlack) override;
  // Blended only on surfaces whose driver fills with an effect; elsewhere as FillRect.
  int FillRectBlend(cSurfaceObject* surface, int left, int top, int right, int bottom, int mode,
                    std::uint32_t modulation, int avoidBlack) override;

  std::int32_t originX;
  std::int32_t originY;
  COLORREF colour1;
  COLORREF colour2;
  std::int32_t vertical;
};

// A tile surface (not owned) repeated from an origin.
class VEXA_API CFillMosaic : public CFillData {
 public:
  CFillMosaic(cSurfaceObject* tile, int originX, int originY);
  CFillMosaic(const CFillMosaic& other);
  CFillMosaic& operator=(const CFillMosaic&) = default;
  ~CFillMosaic() = default;

  CFillData* Destroy(unsigned flags) override;
  std::uint32_t SetOrigin(int x, int y) override;
  // Opaque copies of the tile; no tile (or one smaller than 1 x 1): 0.
  int FillRect(cSurfaceObject* surface, int left, int top, int right, int bottom,
               int avoidBlack) override;
  // Copies in the given mode, modulated through effect 0 with an RGBA parameter.
  int FillRectBlend(cSurfaceObject* surface, int left, int top, int right, int bottom, int mode,
                    std::uint32_t modulation, int avoidBlack) override;

  cSurfaceObject* tile;
  std::int32_t originX;
  std::int32_t originY;
};
