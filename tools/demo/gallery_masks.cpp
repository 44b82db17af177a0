// Collision masks: each sprite with its mask overlaid (full and top-edge kinds), and pairs of
// sprites placed close together, labelled with what the pixel-exact overlap test answers.
#include <memory>
#include <string>
#include <vector>

#include <vexa/blit.h>
#include <vexa/collision_mask.h>

#include "gallery.h"

namespace demo {
namespace {

constexpr int kZoom = 2;

// A mask of the surface as a block that owns its header and bits.
std::vector<std::uint8_t> BuildMaskOf(cSurfaceObject& surface, std::uint32_t flags) {
  cSurfaceImplementation* s = surface.GetImplementation();
  std::vector<std::uint8_t> block(static_cast<size_t>(s->BuildMask(nullptr, flags)));
  if (!block.empty()) s->BuildMask(reinterpret_cast<CollisionMask*>(block.data()), flags);
  return block;
}

const CollisionMask* Header(const std::vector<std::uint8_t>& block) {
  return reinterpret_cast<const CollisionMask*>(block.data());
}

// The mask as red pixels on the black colour key.
std::unique_ptr<cSurfaceObject> MaskOverlay(const std::vector<std::uint8_t>& block) {
  const CollisionMask* mask = Header(block);
  auto overlay = MakeSurface(32, mask->width, mask->height);
  overlay->FillColor(0);
  for (int y = 0; y < mask->height; ++y) {
    for (int x = 0; x < mask->width; ++x) {
      if (TestMaskPoint(MaskBits(mask), x, y, mask->width, mask->height)) {
        overlay->SetPixelColor(x, y, 0x000000FF);
      }
    }
  }
  return overlay;
}

void DrawMasked(Gallery& gallery, cSurfaceObject& sprite, std::uint32_t flags, int x, int y,
                const std::string& name) {
  cSurfaceObject& canvas = gallery.Canvas();
  const int w = sprite.GetWidth() * kZoom, h = sprite.GetHeight() * kZoom;
  auto background = MakeBackground(32, w, h);
  background->Blit(&canvas, x, y, 0, 0, w, h, kModeOpaque, 0, 0, 0);
  sprite.StretchBlit(&canvas, x, y, w, h, kModeTransparent, 0, 0, 0);
  const auto block = BuildMaskOf(sprite, flags);
  if (!block.empty()) {
    auto overlay = MaskOverlay(block);
    overlay->StretchBlit(&canvas, x, y, w, h, kModeTransparent, kEffectSemiTransparent, 48, 0);
  }
  gallery.AddTile(name, x, y, w, h);
}

void DrawPair(Gallery& gallery, cSurfaceObject& sprite, int offsetX, int offsetY, int x, int y,
              const std::string& name) {
  cSurfaceObject& canvas = gallery.Canvas();
  const int w = 32 + 40, h = 32 + 24;
  auto background = MakeBackground(32, w, h);
  background->Blit(&canvas, x, y, 0, 0, w, h, kModeOpaque, 0, 0, 0);
  sprite.Blit(&canvas, x + 4, y + 4, 0, 0, 32, 32, kModeTransparent, 0, 0, 0);
  sprite.Blit(&canvas, x + 4 + offsetX, y + 4 + offsetY, 0, 0, 32, 32, kModeTransparent,
              kEffectSemiTransparent, 40, 0);
  const auto block = BuildMaskOf(sprite, 0);
  const CollisionMask* mask = Header(block);
  const int hit = TestMaskOverlap(MaskBits(mask), MaskBits(mask), 0, 0, mask->width, mask->height,
                                  offsetX, offsetY, mask->width, mask->height);
  gallery.Label(x, y + h + 2, hit ? "HIT" : "MISS", hit ? 0x006060FF : 0x0060FF60);
  gallery.AddTile(name, x, y, w, h);
}

}  // namespace

void DrawMaskSection(Gallery& gallery) {
  int y = gallery.NextRow();
  gallery.Label(8, y, "COLLISION MASKS (RED OVERLAY) AND PIXEL-EXACT OVERLAP");
  y += 14;
  auto keySprite = MakeSprite(false);
  auto alphaSprite = MakeSprite(true);
  DrawMasked(gallery, *keySprite, 0, 8, y, "mask-key-full");
  DrawMasked(gallery, *keySprite, kMaskTopEdge, 8 + 72, y, "mask-key-top-edge");
  DrawMasked(gallery, *alphaSprite, 0, 8 + 144, y, "mask-alpha-full");
  int x = 8 + 230;
  const int offsets[][2] = {{30, 0}, {26, 4}, {20, 20}, {16, 16}};  // miss, hit, touch, hit
  for (const auto& o : offsets) {
    DrawPair(gallery, *keySprite, o[0], o[1], x, y,
             "mask-pair-" + std::to_string(o[0]) + "-" + std::to_string(o[1]));
    x += 84;
  }
  gallery.Advance(y + 64 + 16 - gallery.NextRow());
}

}  // namespace demo
