// Null-ended string lists converted between narrow and wide text.
//
// A converted list is one memory block (memory.h): the pointer array with its terminating null,
// then the strings, so FreeConvertedString (or FreeBlockAndClear) releases it in one call.
#pragma once

#include <vexa/wintypes.h>

namespace vexa {

// Wide copy of a narrow list (code page codePage, -1 for the library's); null for a null list
// or when memory runs out.
const WCHAR* const* ConvertListToWide(const char* const* list, int codePage);
// Narrow copy of a wide list; null for a null list or when memory runs out.
const char* const* ConvertListToNarrow(const WCHAR* const* list, int codePage);

// A list with no strings (a lone null pointer), for getters that never answer null.
extern const char* const kEmptyNarrowList[1];
extern const WCHAR* const kEmptyWideList[1];

}  // namespace vexa
