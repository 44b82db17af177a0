// A 5 x 7 bitmap font for the gallery's labels (upper-case letters, digits, a few signs),
// drawn pixel by pixel through the public surface interface.
#pragma once

#include <string_view>

#include <vexa/surface_object.h>

namespace demo {

inline constexpr int kGlyphWidth = 6;   // 5 columns and a gap
inline constexpr int kGlyphHeight = 8;  // 7 rows and a gap

// Draws `text` with its top-left corner at (x, y), magnified `scale` times; lower-case
// letters are drawn as capitals, unknown characters as blanks. Returns the width drawn.
int DrawText(cSurfaceObject& surface, int x, int y, std::string_view text, COLORREF color,
             int scale = 1);

}  // namespace demo
