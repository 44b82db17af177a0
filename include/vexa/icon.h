// Icons and cursors made from surfaces (cSurfaceObject::MakeIcon).
#pragma once

#include <vexa/export.h>
#include <vexa/wintypes.h>

// Frees an icon or cursor; 0 for null.
VEXA_API BOOL DestroyIconHandle(HICON icon);

// Describes an icon or cursor: isIcon 1 for an icon, 0 for a cursor; the hot spot (the
// centre of an icon); the size. Null outputs are skipped. 0 for a null handle.
VEXA_API BOOL GetIconHandleInfo(HICON icon, BOOL* isIcon, POINT* hotSpot, SIZE* size);
