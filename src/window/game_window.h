// The window object: everything the library keeps about one game window. The window helpers,
// the sprite manager, the collision map and the redraw cycle all work on this one record, so
// its field order is fixed (checked below) and new fields only ever go at the end. The
// creation record, the flag and state bits and the failure values are public
// (<vexa/game_window.h>).
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/game_window.h>
#include <vexa/wintypes.h>

struct ImageBank;
class cSurfaceObject;
class cSurfaceImplementation;

// Defined by the sprite layer, which sits above the windows.
struct SpriteHeap;
struct LayerRecord;

// ---- dirty rectangles ---------------------------------------------------------------------

inline constexpr int kDirtyRectCapacity = 513;

struct DirtyRectList {
  std::int32_t count;
  RECT rects[kDirtyRectCapacity];
};
static_assert(sizeof(DirtyRectList) == 8212, "dirty-rectangle block size");

// Lists rectangles that overlap neither one another nor any rectangle listed already: the list
// ends as AddDirtyRect would leave it, one rectangle at a time, without comparing them.
// Rectangles must have left < right and top < bottom; others are skipped.
void AppendDirtyRects(GameWindow* window, const RECT* rects, int count);

// ---- the window object --------------------------------------------------------------------

struct GameWindow {
  ImageBank* context;
  HWND window;
  HWND creationParent;
  HWND mdiClient;
  HDC dc;
  HPALETTE selectedPalette;  // the context palette selected into `dc`, or null
  HPALETTE previousPalette;  // what `dc` held before the first selection
  std::uint16_t flags;
  std::uint16_t state;
  std::uint16_t sizingGuard;  // set while the size handler resizes the window itself

  // Back buffer and sprite display.
  HDC backBufferDC;              // 0 when none
  std::int32_t backBufferBound;  // -1 while a back buffer is attached, else 0
  HPALETTE backBufferPrevPalette;
  cSurfaceObject* backBuffer;
  cSurfaceImplementation* backBufferImpl;
  cSurfaceObject* background;
  cSurfaceImplementation* backgroundImpl;

  // Collision map.
  std::uint16_t fineCollision;
  std::uint16_t planeRowBytes;
  std::int32_t scrollX;
  std::int32_t mapLeft, mapRight, mapTop, mapBottom;  // right and bottom inclusive
  std::uint8_t* planeMemory;
  std::int32_t solidPlaneOffset, topEdgePlaneOffset;  // -1: no such plane
  std::int32_t planeSize;

  DirtyRectList* dirtyRects;  // kind-1 windows only
  std::int32_t backBufferWidth, backBufferHeight;

  std::int32_t maxClientWidth, maxClientHeight;
  std::int32_t nonClientWidth, nonClientHeight;
  HBRUSH backgroundBrush;
  HCURSOR cursor;
  HCURSOR savedCursor;  // during a wait
  std::int32_t waitCount;
  HMENU menu;
  std::int32_t menuValue;
  HPEN pen;
  std::int32_t penWidth;
  COLORREF penColor;
  std::int32_t penIndex;
  COLORREF backColor;

  std::int32_t clipLeft, clipTop, clipRight, clipBottom;  // map clip, inclusive
  std::int32_t scrollY;
  SpriteHeap* spriteHeap;
  std::int32_t backColorIndex;
  std::int32_t layerCount;
  LayerRecord* layers;
  cSurfaceObject* layerSurface;

  std::int32_t backgroundMode;    // 2: opaque
  std::int32_t rasterOp;          // 13: copy pen
  std::uint32_t lastPresentTime;  // milliseconds of the platform clock
  std::int32_t kind;
  void* workBlock;
  std::uint32_t workBlockSize;
  GameWindow* next;  // the context's window list
};

namespace game_window_layout {
// Field order is part of the record's contract with the sprite layer.
#define VEXA_GW_AFTER(a, b) static_assert(offsetof(GameWindow, a) < offsetof(GameWindow, b))
VEXA_GW_AFTER(context, window);
VEXA_GW_AFTER(window, creationParent);
VEXA_GW_AFTER(creationParent, mdiClient);
VEXA_GW_AFTER(mdiClient, dc);
VEXA_GW_AFTER(dc, selectedPalette);
VEXA_GW_AFTER(selectedPalette, previousPalette);
VEXA_GW_AFTER(previousPalette, flags);
VEXA_GW_AFTER(flags, state);
VEXA_GW_AFTER(state, sizingGuard);
VEXA_GW_AFTER(sizingGuard, backBufferDC);
VEXA_GW_AFTER(backBufferDC, backBufferBound);
VEXA_GW_AFTER(backBufferBound, backBufferPrevPalette);
VEXA_GW_AFTER(backBufferPrevPalette, backBuffer);
VEXA_GW_AFTER(backBuffer, backBufferImpl);
VEXA_GW_AFTER(backBufferImpl, background);
VEXA_GW_AFTER(background, backgroundImpl);
VEXA_GW_AFTER(backgroundImpl, fineCollision);
VEXA_GW_AFTER(fineCollision, planeRowBytes);
VEXA_GW_AFTER(planeRowBytes, scrollX);
VEXA_GW_AFTER(scrollX, mapLeft);
VEXA_GW_AFTER(mapLeft, mapRight);
VEXA_GW_AFTER(mapRight, mapTop);
VEXA_GW_AFTER(mapTop, mapBottom);
VEXA_GW_AFTER(mapBottom, planeMemory);
VEXA_GW_AFTER(planeMemory, solidPlaneOffset);
VEXA_GW_AFTER(solidPlaneOffset, topEdgePlaneOffset);
VEXA_GW_AFTER(topEdgePlaneOffset, planeSize);
VEXA_GW_AFTER(planeSize, dirtyRects);
VEXA_GW_AFTER(dirtyRects, backBufferWidth);
VEXA_GW_AFTER(backBufferWidth, backBufferHeight);
VEXA_GW_AFTER(backBufferHeight, maxClientWidth);
VEXA_GW_AFTER(maxClientWidth, maxClientHeight);
VEXA_GW_AFTER(maxClientHeight, nonClientWidth);
VEXA_GW_AFTER(nonClientWidth, nonClientHeight);
VEXA_GW_AFTER(nonClientHeight, backgroundBrush);
VEXA_GW_AFTER(backgroundBrush, cursor);
VEXA_GW_AFTER(cursor, savedCursor);
VEXA_GW_AFTER(savedCursor, waitCount);
VEXA_GW_AFTER(waitCount, menu);
VEXA_GW_AFTER(menu, menuValue);
VEXA_GW_AFTER(menuValue, pen);
VEXA_GW_AFTER(pen, penWidth);
VEXA_GW_AFTER(penWidth, penColor);
VEXA_GW_AFTER(penColor, penIndex);
VEXA_GW_AFTER(penIndex, backColor);
VEXA_GW_AFTER(backColor, clipLeft);
VEXA_GW_AFTER(clipLeft, clipTop);
VEXA_GW_AFTER(clipTop, clipRight);
VEXA_GW_AFTER(clipRight, clipBottom);
VEXA_GW_AFTER(clipBottom, scrollY);
VEXA_GW_AFTER(scrollY, spriteHeap);
VEXA_GW_AFTER(spriteHeap, backColorIndex);
VEXA_GW_AFTER(backColorIndex, layerCount);
VEXA_GW_AFTER(layerCount, layers);
VEXA_GW_AFTER(layers, layerSurface);
VEXA_GW_AFTER(layerSurface, backgroundMode);
VEXA_GW_AFTER(backgroundMode, rasterOp);
VEXA_GW_AFTER(rasterOp, lastPresentTime);
VEXA_GW_AFTER(lastPresentTime, kind);
VEXA_GW_AFTER(kind, workBlock);
VEXA_GW_AFTER(workBlock, workBlockSize);
VEXA_GW_AFTER(workBlockSize, next);
#undef VEXA_GW_AFTER
static_assert(alignof(GameWindow) == alignof(void*), "natural alignment");
}  // namespace game_window_layout

// ---- failure values -----------------------------------------------------------------------

// The failure values of creation (kGameWindowNoContext, kGameWindowNotCreated) count as
// "no window" everywhere, like null.
inline bool IsValidWindowObject(const GameWindow* window) {
  return reinterpret_cast<std::uintptr_t>(window) > kGameWindowNotCreated;
}

// ---- sprite storage -----------------------------------------------------------------------

// The sprite layer tells the window layer how its storage is built and released, since the
// window option that sizes it and the teardown of a window sit below the sprites.
struct SpriteStorageHooks {
  // A new heap for `count` sprites (header and one free block), or null when the size
  // overflows or memory runs out.
  SpriteHeap* (*build)(std::uint32_t count);
  // Deletes every sprite of the window and frees its heap (spriteHeap becomes null); also
  // drops the background and layer surfaces the redraw cycle made.
  void (*release)(GameWindow* window);
};
// Installs the hooks (null removes them). Without hooks option 1 answers 0.
void SetSpriteStorageHooks(const SpriteStorageHooks* hooks);
const SpriteStorageHooks* GetSpriteStorageHooks();
