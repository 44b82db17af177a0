// Collision queries over a game window's sprites.
//
// Every query first compares bounding boxes and then, when the window's fine-collision flag is
// on (SetFineCollision), tests the collision masks of the sprites' images pixel by pixel, each
// mask placed, scaled and turned as the sprite is drawn. Queries never change a sprite; masks
// are built on first use and kept in the image bank.
//
// Placement as drawn:
// - A scaled, unturned sprite shows mask column hotSpotX + floor(dx / scaleX) at an offset dx
//   from its position (rows alike), so pixels left of or above the hot spot are not pulled
//   towards it.
// - A sprite turned by exactly 90, 180 or 270 degrees is drawn by a quarter turn that lands one
//   pixel up (90), up and left (180) or left (270) of where the general rotation formula puts
//   it; its mask is placed there too, so that point, rectangle, pair and map tests answer what
//   the screen shows.
// - Pair tests compare the two sprites' drawn pixels; a scaled sprite's mask is never sampled
//   at a coarser step than it is drawn.
#pragma once

#include <cstdint>

#include <vexa/collision_mask.h>
#include <vexa/export.h>
#include <vexa/sprite.h>

// Sprite flags read by the queries.
inline constexpr std::uint32_t kSpriteCollides = 0x00000001;    // found by the queries
inline constexpr std::uint32_t kSpriteBoxOnly = 0x00000100;     // its mask is never used
inline constexpr std::uint32_t kSpriteHasTopEdge = 0x00020000;  // top-edge mask in top-edge queries

// Query options.
inline constexpr int kCollideSkipTopEdge = 0x01;  // with kCollideTopEdge: skip, don't test
inline constexpr int kCollideAnySprite = 0x04;    // point and rectangle: ignore kSpriteCollides
inline constexpr int kCollideTopEdge = 0x08;      // even layer keys, top-edge masks
inline constexpr int kCollideFeet = 0x10;         // FilterCollidingSprites: the bottom 6 rows
inline constexpr int kCollideFromArray = 0x20;    // FindAllCollidingSprites: filter the array
inline constexpr int kCollideOnlyThis = 0x40;     // FindSpriteAtPoint: test the start sprite only

// Mask kinds of GetSpriteMask (bit 0).
inline constexpr int kSpriteMaskFull = 0;
inline constexpr int kSpriteMaskTopEdge = 1;

// One entry of a result or candidate array; an entry with a null sprite ends the array. No
// capacity is passed: a result array needs room for one entry per sprite that can be found
// (every sprite in the display list, or every candidate passed) plus the end.
struct SpriteHit {
  Sprite* sprite;
  std::intptr_t userValue;
};

// The mask of image `image` (0: the current image) of the sprite: an owner-drawn sprite's
// callback is asked with code kSpriteGetMask and the kind as value. Null when there is none.
VEXA_API CollisionMask* GetSpriteMask(GameWindow* window, Sprite* sprite, std::intptr_t image,
                                      int kind);
// The mask of the sprite's pending image.
VEXA_API CollisionMask* GetSpritePendingMask(GameWindow* window, Sprite* sprite, int kind);

// The first sprite after `start` (or from the back of the display list with null), on `layer`
// (-1: any), whose current rectangle holds (x, y) and whose drawn pixel there is solid. With
// kCollideOnlyThis the start sprite alone is tested (always by its mask): the result is then
// the value 1 (as a pointer) on a hit and null otherwise.
VEXA_API Sprite* FindSpriteAtPoint(GameWindow* window, Sprite* start, int layer, int x, int y,
                                   int options);
// As FindSpriteAtPoint for the rectangle (x, y, width, height). The box comparison is
// inclusive: a sprite whose right or bottom edge equals the rectangle's left or top passes it.
VEXA_API Sprite* FindSpriteInRect(GameWindow* window, Sprite* start, int layer, int x, int y,
                                  int width, int height, int options);

// The first sprite in display order that `sprite` would touch if it were drawn at (x, y) with
// `image` (0: its current image), `angle` and the scales. With bottomRows > 0 only its last
// bottomRows rows take part. Only sprites of its own layer and key bit are found.
VEXA_API Sprite* FindCollidingSprite(GameWindow* window, Sprite* sprite, std::intptr_t image, int x,
                                     int y, float angle, float scaleX, float scaleY, int bottomRows,
                                     int options);
// Every sprite touched, in display order, written to `results` (may be null) and counted.
// With kCollideFromArray the candidates are the entries already in `results`, which is
// filtered in place.
VEXA_API int FindAllCollidingSprites(GameWindow* window, Sprite* sprite, SpriteHit* results,
                                     std::intptr_t image, int x, int y, float angle, float scaleX,
                                     float scaleY, int options);
// As FindAllCollidingSprites over the entries of `candidates`, kept in their order; `results`
// may be `candidates` itself.
VEXA_API int FilterCollidingSprites(GameWindow* window, Sprite* sprite, SpriteHit* results,
                                    const SpriteHit* candidates, std::intptr_t image, int x, int y,
                                    float angle, float scaleX, float scaleY, int options);

// 1 when `sprite`, drawn at (x, y) with `image` (0: the current one), the angle and scales,
// touches a set pixel of the collision map's plane (kMapTestTopEdge: the top-edge plane,
// anything else the solid plane). (x, y) are display coordinates.
VEXA_API int TestSpriteInMap(GameWindow* window, Sprite* sprite, std::intptr_t image, int x, int y,
                             float angle, float scaleX, float scaleY, int bottomRows, int plane);
