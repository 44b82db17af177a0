// The bounding box of a rotated image, and where its hot spot and action point land.
//
// Angles are in degrees; positive angles turn the image counter-clockwise on the screen (y
// grows downwards).
#pragma once

#include <vexa/export.h>
#include <vexa/wintypes.h>

// `rect` holds (0, 0, width, height) of the image; on return right and bottom are the width
// and height of the rotated image's bounding box (left and top stay 0). The hot spot (null:
// (0, 0), not written) is moved to its position in the rotated image, and the action point
// (or null) is turned about the hot spot the same way. Each corner (x, y) relative to the hot
// spot turns to (x cos + y sin, y cos - x sin), truncated to integers. Angles of 90, 180 and
// 270 degrees (after reduction into [0, 360)) use exact sines and cosines. Returns `rect`;
// null, with nothing written, when it is null or the angle is NaN or infinite.
VEXA_API RECT* GetRotatedRect(RECT* rect, POINT* hotSpot, POINT* actionPoint, float angle);
