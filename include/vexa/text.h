// The library's code page and narrow/wide string conversion.
//
// Narrow text is in the library's code page: 0 (the system code page, UTF-8 on Linux) at
// start, or 1252 (Western). Wide text is UTF-16. Conversion functions take a code page,
// where -1 means the library's setting. Converted strings are memory blocks (memory.h);
// release them with FreeConvertedString.
#pragma once

#include <vexa/export.h>
#include <vexa/wintypes.h>

// Replaces the library's code page; returns the previous one. An unsupported code page is
// refused and the setting kept (the current value is returned).
VEXA_API int SetLibraryCodePage(int codePage);
VEXA_API int GetLibraryCodePage();

// A new wide copy of text (room for length + 1 characters); null for null text. When the copy
// cannot be allocated the result is an empty string, or null if not even that can be.
VEXA_API WCHAR* ConvertToWide(const char* text, int codePage);
// A new narrow copy of text in a block of 3 x length + 3 bytes; null for null text.
VEXA_API char* ConvertToNarrow(const WCHAR* text, int codePage);
VEXA_API void FreeConvertedString(void* text);

// Length of a null-terminated wide string, in characters.
VEXA_API int WideLength(const WCHAR* text);
