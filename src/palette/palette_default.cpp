#include "palette/palette_default.h"

#include <mutex>

namespace vexa {
namespace {

// Built-in colours of the default palette as 0xRRGGBB.
constexpr std::uint32_t kDefaultColors[256] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0,
    0xA6CAF0, 0xFFA700, 0xD78700, 0xB36B07, 0x8B4F07, 0x673707, 0x432307, 0x27002F, 0x3B003F,
    0x4F004F, 0x630057, 0x730057, 0x83005B, 0x970057, 0xA7004F, 0xB70047, 0xCB003B, 0xCF002F,
    0xD3001F, 0xDB0013, 0xDF0007, 0xE30000, 0xE71300, 0xEF2300, 0xF33300, 0xF74300, 0xFF5700,
    0xFF6300, 0xFF6F00, 0xFF7F00, 0xFF8B00, 0xFF9700, 0xFFA300, 0xFFAF00, 0xFFBF00, 0xFFCB00,
    0xFFD700, 0xFFE300, 0xFFEF00, 0xFFFF01, 0xEFFF00, 0xDFFF00, 0xCFFF00, 0xBFFF00, 0xAFFF00,
    0x9FFF00, 0x8FFF00, 0x7FFF00, 0x6FFF00, 0x5FFF00, 0x4FFF00, 0x3FFF00, 0x2FFF00, 0x1FFF00,
    0x0FFF00, 0x01FF00, 0x00F300, 0x00E700, 0x00DF00, 0x00D300, 0x00C700, 0x00BF00, 0x00B300,
    0x00A700, 0x009B00, 0x008F00, 0x008300, 0x007B00, 0x006F00, 0x006300, 0x005B00, 0x005300,
    0x005B07, 0x00670B, 0x007313, 0x007B1F, 0x008727, 0x009337, 0x009B43, 0x00A753, 0x00B363,
    0x00BB73, 0x00C787, 0x00D39F, 0x00DFB3, 0x00E7CB, 0x00F3E3, 0x01FFFF, 0x00E7FB, 0x00D3F7,
    0x00BBF3, 0x00A7EF, 0x0093E7, 0x007FE3, 0x006FDF, 0x005BDB, 0x004BD7, 0x0037D3, 0x0027CF,
    0x0017CB, 0x0007C7, 0x0000C3, 0x0F00BF, 0x1B00BB, 0x3300B3, 0x4B00AB, 0x5F00A3, 0x6F009B,
    0x7F0093, 0x8B0087, 0x83006B, 0x7B0053, 0x8B0063, 0x9B0073, 0xAB0087, 0xBB009B, 0xCB00B3,
    0xDB00CB, 0xEB00E3, 0xFF01FF, 0xFF00F3, 0xFF00E7, 0xFF00DB, 0xFF00CF, 0xFF00C7, 0xFF00BB,
    0xFF00AF, 0xFF00A3, 0xFF009B, 0xFF008F, 0xFF0083, 0xFF0077, 0xFF006B, 0xFF0063, 0xFF0057,
    0xFF004B, 0xFF003F, 0xFF0037, 0xFF002B, 0xFF001F, 0xFF0013, 0xFF0007, 0xFF0001, 0xFEFEFE,
    0xEFEFEF, 0xDFDFDF, 0xCFCFCF, 0xBFBFBF, 0xAFAFAF, 0x9F9F9F, 0x8F8F8F, 0x7F7F7F, 0x6F6F6F,
    0x5F5F5F, 0x4F4F4F, 0x3F3F3F, 0x2F2F2F, 0x1F1F1F, 0x0F0F0F, 0x080000, 0xFFF3E7, 0xF7E3D3,
    0xEFD7BF, 0xE7C7AB, 0xDFBB9B, 0xD7AF8B, 0xCFA37B, 0xC7976B, 0xBF8B5F, 0xB77F4F, 0xAF7743,
    0xA76B37, 0x9F632F, 0x975723, 0x8F4F1B, 0x874713, 0x080000, 0xFB0000, 0xEF0007, 0xE3000F,
    0xD70017, 0xCF001B, 0xC30023, 0xB70027, 0xAB002B, 0xA3002F, 0x97002F, 0x8B0033, 0x830033,
    0x770033, 0x6B0033, 0x5F002F, 0x57002F, 0x0000BF, 0x000097, 0x000073, 0x00005B, 0x00003F,
    0x080000, 0xFF003B, 0xFF1F63, 0xFF438F, 0xFF639F, 0xFF87BF, 0xFFA7CF, 0xFFCBFF, 0x874713,
    0x733B0F, 0x63330B, 0x532B0B, 0x432307, 0x331B07, 0x1F0F00, 0x0F0700, 0x080000, 0x87C3D3,
    0x67ABBF, 0x4B9BAF, 0x2F879B, 0x1B738B, 0x0B6377, 0x005367, 0x003F4F, 0x002F3B, 0xFF01FF,
    0x080000, 0x080000, 0x080000, 0x080000, 0x080000, 0x080000, 0x080000, 0x080000, 0x080000,
    0x080000, 0x080000, 0x080000, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
    0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

constexpr std::uint32_t kDefaultColors16[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

constexpr PALETTEENTRY EntryOf(std::uint32_t rgb, BYTE flags) {
  return PALETTEENTRY{static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8),
                      static_cast<BYTE>(rgb), flags};
}

bool IsStaticIndex(int i) { return i < kStaticLowCount || i >= kStaticHighFirst; }

LOGPALETTE256 BuiltInDefault() {
  LOGPALETTE256 record{};
  record.palVersion = kLogPaletteVersion;
  record.palNumEntries = 256;
  for (int i = 0; i < 256; ++i)
    record.palPalEntry[i] = EntryOf(kDefaultColors[i], IsStaticIndex(i) ? 0 : kNoCollapseFlag);
  return record;
}

LogPalette16 BuiltInDefault16() {
  LogPalette16 record{};
  record.palVersion = kLogPaletteVersion;
  record.palNumEntries = 16;
  for (int i = 0; i < 16; ++i) record.palPalEntry[i] = EntryOf(kDefaultColors16[i], 0);
  return record;
}

// The records and the display's source, shared by all threads.
struct DefaultPalettes {
  std::mutex lock;
  LOGPALETTE256 record = BuiltInDefault();
  LogPalette16 record16 = BuiltInDefault16();
  SystemPaletteSource source{};
  bool hasSource = false;
};

DefaultPalettes& Defaults() {
  // Never destroyed: threads may still register while the process shuts down.
  static DefaultPalettes* const defaults = new DefaultPalettes;
  return *defaults;
}

void ReadClearingFlags(const SystemPaletteSource& source, int first, int count, PALETTEENTRY* out) {
  source.readEntries(source.context, first, count, out);
  for (int i = 0; i < count; ++i) out[i].peFlags = 0;
}

}  // namespace

void SetSystemPaletteSource(const SystemPaletteSource* source) {
  DefaultPalettes& d = Defaults();
  std::lock_guard<std::mutex> guard(d.lock);
  d.hasSource =
      source != nullptr && source->colorCount != nullptr && source->readEntries != nullptr;
  d.source = d.hasSource ? *source : SystemPaletteSource{};
}

void CaptureSystemPalette() {
  DefaultPalettes& d = Defaults();
  std::lock_guard<std::mutex> guard(d.lock);
  d.record.palVersion = kLogPaletteVersion;
  d.record.palNumEntries = 256;
  d.record16.palVersion = kLogPaletteVersion;
  d.record16.palNumEntries = 16;
  if (!d.hasSource) return;
  const int colors = d.source.colorCount(d.source.context);
  if (colors == 16) {
    ReadClearingFlags(d.source, 0, 16, d.record16.palPalEntry);
  } else if (colors == 256) {
    ReadClearingFlags(d.source, 0, kStaticLowCount, d.record.palPalEntry);
    ReadClearingFlags(d.source, kStaticHighFirst, 256 - kStaticHighFirst,
                      d.record.palPalEntry + kStaticHighFirst);
  }
}

LOGPALETTE256 DefaultLogPalette() {
  DefaultPalettes& d = Defaults();
  std::lock_guard<std::mutex> guard(d.lock);
  return d.record;
}

LogPalette16 DefaultLogPalette16() {
  DefaultPalettes& d = Defaults();
  std::lock_guard<std::mutex> guard(d.lock);
  return d.record16;
}

void ResetDefaultLogPalettes() {
  DefaultPalettes& d = Defaults();
  std::lock_guard<std::mutex> guard(d.lock);
  d.record = BuiltInDefault();
  d.record16 = BuiltInDefault16();
}

}  // namespace vexa
