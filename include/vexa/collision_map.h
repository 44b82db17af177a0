// The collision map of a game window: one or two large 1-bit planes over the playfield, a
// solid plane and a top-edge plane, in the bit order of collision masks (least significant
// bit first, rows of whole 16-bit words). Background objects are stamped into it from their
// images' masks; moving objects are tested against it.
//
// The map's fields live in the window object. Every x and y given here is a display
// coordinate: the map adds its scroll offsets first. Map bounds and the clip rectangle are
// inclusive playfield rectangles; nothing outside the clip rectangle is read or written.
// A null window object, a map without planes or a missing plane make every operation return
// 0 without effect.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

struct GameWindow;

// Plane flags of CreateCollisionMap.
inline constexpr int kMapSolidPlane = 0x1;    // solid plane (also the top-edge plane alone)
inline constexpr int kMapTopEdgePlane = 0x2;  // a top-edge plane of its own

// Plane number of the tests: 1 the top-edge plane, anything else the solid plane.
inline constexpr int kMapTestTopEdge = 1;

// Frees old planes and makes new ones for the playfield (left, top)-(right, bottom), widened
// to whole 16-pixel columns and to at least the back buffer's size. 1 on success (also when
// no plane is asked for); 0, with no planes, when memory runs out or the map is too large.
VEXA_API int CreateCollisionMap(GameWindow* window, int left, int top, int right, int bottom,
                                int planeFlags);
VEXA_API int FreeCollisionMap(GameWindow* window);
// Fills each plane with ones or zeros by fill bit 0 (solid) and bit 1 (top edge); a plane
// that serves as both is set when either bit asks.
VEXA_API int ClearCollisionMap(GameWindow* window, int fillBits);
// As ClearCollisionMap over the inclusive rectangle, clipped; 0 when nothing is left.
VEXA_API int FillCollisionMapRect(GameWindow* window, int left, int top, int right, int bottom,
                                  int fillBits);
// Adds (mode bit set) or erases (bit clear) the full mask of image `image` with its top-left
// corner at (x, y): bit 0 for the solid plane, bit 1 for the top-edge plane.
VEXA_API int StampMaskInMap(GameWindow* window, int image, int x, int y, int mode);
// Copies the top edge of the image's full mask (the first 6 rows from each column's first set
// pixel) into the top-edge plane.
VEXA_API int StampTopEdgeInMap(GameWindow* window, int image, int x, int y);
VEXA_API int TestPointInMap(GameWindow* window, int x, int y, int plane);
VEXA_API int TestRectInMap(GameWindow* window, int x, int y, int width, int height, int plane);
// Sets the clip rectangle (inclusive, clipped to the map), or resets it to the map with null.
VEXA_API int SetMapClip(GameWindow* window, const RECT* clip);
VEXA_API int SetMapScroll(GameWindow* window, int scrollX, int scrollY);
// Moves the planes' contents for a new horizontal scroll position (whole bytes; the rest stays
// in scroll x) and a vertical shift, and reports the strips the caller must stamp again (either
// pointer may be null). With both pointers null only the scroll offsets are stored.
VEXA_API int ScrollCollisionMap(GameWindow* window, int newScrollX, int shiftY, RECT* across,
                                RECT* down);
VEXA_API int SetFineCollision(GameWindow* window, int value);
