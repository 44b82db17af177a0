// The library's default logical palettes and the capture of the screen's system palette.
//
// The default 256-entry record holds the library's built-in colours; its entries 0-9 and
// 246-255 are the 20 static system colours. The 16-colour record holds the standard 16
// colours. On a palette display the screen's own entries replace these at every palette
// registration of a thread; the display backend supplies them through a
// SystemPaletteSource. Screens of this library are true-colour, so by default there is no
// source and the built-in values stand.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

namespace vexa {

// A logical palette record with room for 16 entries.
struct LogPalette16 {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[16];
};
static_assert(sizeof(LogPalette16) == 4 + 16 * 4);

inline constexpr WORD kLogPaletteVersion = 0x300;
// Entries 10-245 of the default palette (and of handles made from palettes) carry this flag.
inline constexpr BYTE kNoCollapseFlag = 4;
inline constexpr int kStaticLowCount = 10;    // entries 0-9
inline constexpr int kStaticHighFirst = 246;  // entries 246-255

// What a palette display backend offers: the size of the screen's system palette and its
// entries. Both functions receive `context`.
struct SystemPaletteSource {
  // 16 or 256 on a palette display; any other value means the screen has no system palette.
  int (*colorCount)(void* context);
  // Copies `count` system palette entries starting at `first` into `out`.
  void (*readEntries)(void* context, int first, int count, PALETTEENTRY* out);
  void* context;
};

// Installs the display's palette source (copied); null removes it. Later registrations use it.
void SetSystemPaletteSource(const SystemPaletteSource* source);

// Sets both records' headers and, when the installed source reports a palette display,
// copies the screen's entries into them with their flag bytes cleared: all 16 entries of a
// 16-colour display into the 16-colour record, entries 0-9 and 246-255 of a 256-colour display
// into the default record.
void CaptureSystemPalette();

// Copies of the current records.
LOGPALETTE256 DefaultLogPalette();
LogPalette16 DefaultLogPalette16();

// Puts the built-in values back (both records), as at load.
void ResetDefaultLogPalettes();

}  // namespace vexa
