// Sprites: the z-ordered display list of a game window, and its redraw cycle.
//
// A sprite is a bank image (or a caller-drawn area) placed at a position by its hot spot, on a
// layer at a z value, drawn with an ink effect and optionally scaled and rotated. Changes made
// during a frame are only recorded (the "pending" fields); once per frame the caller runs
// EraseSprites, CommitSprites and DrawSprites, which restore what changed sprites covered, make
// the pending state current and draw, reporting every touched rectangle to the window's dirty
// list.
//
// Sprite records live in the window's sprite heap (SetWindowOption 1): one block per sprite,
// carved first-fit from a free list and merged with free neighbours when freed. The display
// list is sorted by layer key (ascending, unsigned) and then z (ascending, signed); among equal
// keys and z the later insertion lies in front.
//
// Every operation takes the window object first; a null window or sprite makes it do nothing
// and return 0 (or null).
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/export.h>
#include <vexa/surface_implementation.h>
#include <vexa/wintypes.h>

class cSurfaceObject;
struct GameWindow;
struct Sprite;

// ---- flags -------------------------------------------------------------------------------

inline constexpr std::uint32_t kSpriteBit0 = 0x00000001;  // the caller's bit
inline constexpr std::uint32_t kSpriteTransformChanged = 0x00000002;
inline constexpr std::uint32_t kSpriteRetained = 0x00000008;  // drawn once, left on screen
inline constexpr std::uint32_t kSpriteHidePending = 0x00000010;
inline constexpr std::uint32_t kSpriteDeletePending = 0x00000020;
inline constexpr std::uint32_t kSpriteChanged = 0x00000040;
inline constexpr std::uint32_t kSpriteHidden = 0x00000080;
inline constexpr std::uint32_t kSpriteDrawUnsaved = 0x00000200;
inline constexpr std::uint32_t kSpriteFillErase = 0x00000400;
inline constexpr std::uint32_t kSpriteFrozen = 0x00000800;
inline constexpr std::uint32_t kSpriteUncovered = 0x00001000;  // redraw: a neighbour changed
inline constexpr std::uint32_t kSpriteOwnerDrawn = 0x00002000;
inline constexpr std::uint32_t kSpriteOwnerSaved = 0x00004000;
inline constexpr std::uint32_t kSpriteSortsFirst = 0x00080000;  // layer key even
inline constexpr std::uint32_t kSpriteResample = 0x00100000;
inline constexpr std::uint32_t kSpriteSmoothRotate = 0x00200000;
inline constexpr std::uint32_t kSpriteNoHotSpot = 0x00400000;
inline constexpr std::uint32_t kSpriteScratchMark = 0x10000000;
inline constexpr std::uint32_t kSpriteDriverMode = 0x20000000;

// Ink word bits beside the effect code (bits 0-15).
inline constexpr std::uint32_t kInkTransparent = 0x10000000;
inline constexpr std::uint32_t kInkSmoothing = 0x20000000;  // touches one pixel more all round

// Owner-drawn callback codes; the mask request (code 4) passes the mask kind as value.
inline constexpr int kSpriteDraw = 0;
inline constexpr int kSpriteErase = 1;
inline constexpr int kSpriteSave = 2;
inline constexpr int kSpriteDeleting = 3;
inline constexpr int kSpriteGetMask = 4;

// (sprite, code, value) -> result; the result of the mask request is a CollisionMask pointer.
using SpriteCallback = std::intptr_t (*)(Sprite* sprite, int code, std::intptr_t value);

// ---- records -----------------------------------------------------------------------------

inline constexpr std::uint32_t kBlockFree = 1;
inline constexpr std::uint32_t kBlockUsed = 2;

// Every heap block starts with this. previous and next link the block into the free list
// (free blocks) or the display list (sprites).
struct SpriteBlock {
  std::uint32_t size;      // bytes of the block, this header included
  std::uint32_t backLink;  // bytes back to the preceding block; 0 for the first
  std::uint32_t state;     // kBlockFree or kBlockUsed
  std::uint32_t reserved;
  SpriteBlock* previous;
  SpriteBlock* next;
};

// The heap header, followed by the blocks.
struct SpriteHeap {
  SpriteBlock* firstFree;
  SpriteBlock* lastFree;
  Sprite* firstSprite;  // head of the display list (drawn first, furthest back)
  Sprite* lastSprite;
  std::uint32_t reserved;
  std::uint32_t blockBytes;  // bytes of blocks after the header
  void* index;               // the overlap search index; created on demand, freed with the heap
};

// Geometry of a sprite: the committed ("current") and the recorded ("pending") one.
struct SpriteGeometry {
  std::int32_t x, y;  // hot spot position
  std::int32_t hotSpotX, hotSpotY;
  std::int32_t width, height;
  float scaleX, scaleY;
  float angle;  // degrees, 0 <= angle < 360
  RECT rect;    // bounding box on screen, right and bottom exclusive
};

struct Sprite {
  SpriteBlock block;  // previous / next: the display-list neighbours
  std::uint32_t flags;
  std::uint16_t layerKey;  // layer * 2 + 1, or layer * 2 with kSpriteSortsFirst
  std::uint16_t reserved;
  std::int32_t z;
  SpriteGeometry current;
  SpriteGeometry pending;
  RECT saved;                  // where it was last drawn, clipped; left = top = -1 when not drawn
  std::intptr_t currentImage;  // image number, or the SpriteCallback of an owner-drawn sprite
  std::intptr_t pendingImage;
  std::uint32_t ink;
  std::uint32_t fillColor;
  EffectParam inkParameter;
  cSurfaceImplementation* saveUnder;
  cSurfaceObject* transformed;
  std::intptr_t userValue;
  std::int32_t overlapCount;
  std::int32_t overlapCapacity;
  // Sprites whose current or pending rectangle meets this one's. Only retained sprites'
  // lists are read, so only a sprite that was retained at its last rebuild keeps a list
  // (overlapComplete); the list of any other sprite stays empty.
  Sprite** overlaps;
  // The index cells this sprite is entered in (inclusive); left > right when in none.
  std::int32_t cellLeft, cellTop, cellRight, cellBottom;
  std::uint32_t visit;  // the overlap search's visit stamp
  // Place + 1 in the index's queue of sprites whose overlap list waits to be rebuilt; 0 when
  // the list is up to date.
  std::uint32_t overlapQueued;
  // 1 when the sprite keeps an overlap list (it was retained when the list was last rebuilt).
  std::uint32_t overlapComplete;
  RECT overlapArea;  // the area the overlap list was last rebuilt for
  // Entries at the front of the list that were there before the last whole-grid rebuild of
  // lists (the rest came from it); -1 when not known.
  std::int32_t overlapKept;

  Sprite* Next() const { return reinterpret_cast<Sprite*>(block.next); }
  Sprite* Previous() const { return reinterpret_cast<Sprite*>(block.previous); }
};

// One layer of the window's layer table, zero-filled when made.
struct LayerRecord {
  std::int32_t value;
  std::uint32_t effect;
  std::uint32_t parameter;
  std::uint32_t flags;  // bit 0: draw straight onto a display-driver surface
  float factors[4];     // 1, 1, 1, 0 when made
  std::uint8_t reserved[16];
};
static_assert(sizeof(LayerRecord) == 48);
inline constexpr std::uint32_t kLayerDrawStraight = 0x1;

// Where SaveDisplayRect keeps an area of the display.
struct DisplaySave {
  cSurfaceImplementation* surface;
  RECT rect;  // the clipped area saved, right and bottom exclusive
};

// ---- heap --------------------------------------------------------------------------------

// Bytes of a heap with room for `count` sprites; 0 when it would not fit 32 bits.
VEXA_API std::size_t SpriteHeapBytes(int count);
// Formats `bytes` zero-filled bytes at `heap` as an empty heap with one free block. 0 when the
// block is too small for the header and one sprite.
VEXA_API int InitSpriteHeap(SpriteHeap* heap, std::size_t bytes);
// A block of at least `bytes` bytes (first fit, split when the rest can hold a free block),
// zero-filled after its links and not on any list; null when none is free.
VEXA_API SpriteBlock* AllocateSpriteBlock(SpriteHeap* heap, std::uint32_t bytes);
// Returns a block to the free list, merged with free neighbours.
VEXA_API void FreeSpriteBlock(SpriteHeap* heap, SpriteBlock* block);

// ---- sprites -----------------------------------------------------------------------------

VEXA_API Sprite* CreateSprite(GameWindow* window, int x, int y, std::intptr_t image, int layer,
                              int z, COLORREF fillColor, std::uint32_t flags,
                              std::intptr_t userValue);
VEXA_API Sprite* CreateOwnerDrawnSprite(GameWindow* window, int left, int top, int right,
                                        int bottom, int layer, int z, COLORREF fillColor,
                                        std::uint32_t flags, std::intptr_t userValue,
                                        SpriteCallback callback);
VEXA_API int DeleteSprite(GameWindow* window, Sprite* sprite);
VEXA_API int KillSprite(GameWindow* window, Sprite* sprite);
VEXA_API Sprite* ModifySprite(GameWindow* window, Sprite* sprite, int x, int y,
                              std::intptr_t image);
VEXA_API Sprite* ModifySpriteEx(GameWindow* window, Sprite* sprite, int x, int y,
                                std::intptr_t image, float scaleX, float scaleY, int resample,
                                float angle, int smooth);
VEXA_API int SetSpriteScale(GameWindow* window, Sprite* sprite, float scaleX, float scaleY,
                            int resample);
VEXA_API int SetSpriteAngle(GameWindow* window, Sprite* sprite, float angle, int smooth);
VEXA_API Sprite* SetSpriteRect(GameWindow* window, Sprite* sprite, int left, int top, int right,
                               int bottom);
VEXA_API Sprite* SetSpriteInk(GameWindow* window, Sprite* sprite, std::uint32_t effect,
                              EffectParam parameter);
VEXA_API int ShowSprite(GameWindow* window, Sprite* sprite, int show);
VEXA_API int SetSpriteState(GameWindow* window, Sprite* sprite, int code);
// Code 32: marks the retained sprites that meet `area` for redrawing.
VEXA_API int SetSpriteState(GameWindow* window, const RECT* area, int code);
VEXA_API int SetSpriteLayer(GameWindow* window, Sprite* sprite, int layer);
VEXA_API int SpriteToBack(GameWindow* window, Sprite* sprite);
VEXA_API int SpriteToFront(GameWindow* window, Sprite* sprite);
VEXA_API int MoveSpriteBehind(GameWindow* window, Sprite* sprite, Sprite* other);
VEXA_API int MoveSpriteInFront(GameWindow* window, Sprite* sprite, Sprite* other);
VEXA_API int MoveSpriteAcross(GameWindow* window, Sprite* sprite, Sprite* other);
// Moves the run from `first` to `last` (same layer key, `first` not after `last`) just behind
// the sprite before the run / just in front of the sprite after it. The run's z values become
// consecutive: behind, they count up from the passed sprite's z and the passed sprite takes
// the z after the run; in front, the passed sprite takes the run's first z and the run counts
// up from the one after it. 1 when the run moved.
VEXA_API int MoveSpriteRunBehind(GameWindow* window, Sprite* first, Sprite* last);
VEXA_API int MoveSpriteRunInFront(GameWindow* window, Sprite* first, Sprite* last);
VEXA_API int SwapSprites(GameWindow* window, Sprite* sprite, Sprite* other);
VEXA_API int IsSpriteBehind(GameWindow* window, Sprite* sprite, Sprite* other);
VEXA_API int IsSpriteInFront(GameWindow* window, Sprite* sprite, Sprite* other);
VEXA_API Sprite* FindSpriteOfLayer(GameWindow* window, int layer, int keyBit);
VEXA_API Sprite* FindLastSpriteOfLayer(GameWindow* window, int layer, int keyBit);
VEXA_API Sprite* NextSprite(GameWindow* window, Sprite* sprite, int options);
VEXA_API Sprite* PreviousSprite(GameWindow* window, Sprite* sprite, int options);
VEXA_API int GetSpriteRect(GameWindow* window, Sprite* sprite, RECT* rect);
VEXA_API int GetSpriteScale(GameWindow* window, Sprite* sprite, float* scaleX, float* scaleY,
                            int* resample);
VEXA_API float GetSpriteAngle(GameWindow* window, Sprite* sprite, int* smooth);
VEXA_API std::uint32_t GetSpriteFlags(GameWindow* window, Sprite* sprite);
VEXA_API int GetSpriteLayer(GameWindow* window, Sprite* sprite);
VEXA_API std::intptr_t GetSpriteUserValue(GameWindow* window, Sprite* sprite);
VEXA_API std::uint32_t SetSpriteFlags(GameWindow* window, Sprite* sprite, std::uint32_t flags);
VEXA_API int SetSpriteBit0(GameWindow* window, Sprite* sprite, int value);
VEXA_API int SetLayerCount(GameWindow* window, int count);
VEXA_API LayerRecord* GetLayer(GameWindow* window, int index);
VEXA_API int SetLayerEffect(GameWindow* window, int index, std::uint32_t effect,
                            std::uint32_t parameter, std::uint32_t flags);
// Deletes every sprite (as DeleteSprite) and frees the overlap index. 1 when there was a heap.
VEXA_API int DeleteAllSprites(GameWindow* window);

// ---- redraw cycle ------------------------------------------------------------------------

VEXA_API int DrawImage(GameWindow* window, int image, int x, int y, int options, std::uint32_t ink,
                       EffectParam parameter);
VEXA_API int DrawImageSimple(GameWindow* window, int image, int x, int y, int options);
VEXA_API int SaveDisplayRect(GameWindow* window, DisplaySave* save, int left, int top, int right,
                             int bottom);
VEXA_API int RestoreDisplayRect(GameWindow* window, DisplaySave* save);
VEXA_API int FreeDisplayRect(GameWindow* window, DisplaySave* save);
VEXA_API int EraseSprites(GameWindow* window);
VEXA_API int CommitSprites(GameWindow* window);
VEXA_API int DrawSprites(GameWindow* window);
