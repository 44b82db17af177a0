// Narrow/wide text conversion for the library's code pages.
//
// Wide text is UTF-16. Narrow text is UTF-8 for code page 0 (the system code page on
// Linux) and 65001, or Windows-1252 for code page 1252. Decoding never fails: invalid UTF-8
// and lone surrogates become U+FFFD; characters 1252 cannot show become '?'.
#pragma once

#include <string>
#include <string_view>

namespace plat {

inline constexpr int kCodePageSystem = 0;
inline constexpr int kCodePageWestern = 1252;
inline constexpr int kCodePageUtf8 = 65001;
inline constexpr int kCodePageLibrary = -1;  // "use the library's setting"

// True for the code pages the conversions support.
bool IsSupportedCodePage(int codePage);

std::u16string DecodeNarrow(std::string_view text, int codePage);
std::string EncodeNarrow(std::u16string_view text, int codePage);

}  // namespace plat
