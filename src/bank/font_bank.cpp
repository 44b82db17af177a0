// Fonts of the image bank, the face-name substitution table and the font record conversions.
#include <vexa/font_bank.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <string_view>

#include <vexa/text.h>

#include "bank/bank_checksum.h"
#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "platform/gdi/gdi.h"
#include "platform/text/codepage.h"

struct FontSubstitutes {
  // std::u16string orders by code unit values: the table's order.
  std::map<std::u16string, std::u16string> faces;
};

namespace vexa {

void FreeFontSubstitutes(ImageBank& bank) {
  delete bank.fontSubstitutes;
  bank.fontSubstitutes = nullptr;
}

}  // namespace vexa

using namespace vexa;

namespace {

constexpr std::uint32_t kFontHeaderSize = sizeof(FontEntry);
constexpr std::size_t kNumbersAndFlags = offsetof(LOGFONTA, lfFaceName);
static_assert(offsetof(LOGFONTW, lfFaceName) == kNumbersAndFlags);

bool IsUtf8(int codePage) {
  return codePage == plat::kCodePageSystem || codePage == plat::kCodePageUtf8;
}

// A face of at most 32 units, terminated or not.
std::u16string_view FaceView(const WCHAR* face) {
  return std::u16string_view(
      face, static_cast<std::size_t>(std::find(face, face + kLfFaceSize, u'\0') - face));
}
std::string_view FaceView(const char* face) {
  return std::string_view(
      face, static_cast<std::size_t>(std::find(face, face + kLfFaceSize, '\0') - face));
}

// Writes at most `capacity` - 1 code units and a terminator, never half a surrogate pair.
void WriteWide(std::u16string_view text, WCHAR* out, std::size_t capacity) {
  if (capacity == 0) return;
  std::size_t n = std::min(text.size(), capacity - 1);
  if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] < 0xDC00) --n;
  std::copy_n(text.begin(), n, out);
  std::fill(out + n, out + capacity, u'\0');
}

// Writes at most `capacity` - 1 bytes and a terminator, never half a UTF-8 character.
void WriteNarrow(std::string_view text, int codePage, char* out, std::size_t capacity) {
  if (capacity == 0) return;
  std::size_t n = std::min(text.size(), capacity - 1);
  if (IsUtf8(codePage) && n < text.size())
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  std::memcpy(out, text.data(), n);
  std::memset(out + n, 0, capacity - n);
}

void NarrowFace(const WCHAR* face, int codePage, char* out) {
  WriteNarrow(plat::EncodeNarrow(FaceView(face), codePage), codePage, out, kLfFaceSize);
}
void WideFace(const char* face, int codePage, WCHAR* out) {
  WriteWide(plat::DecodeNarrow(FaceView(face), codePage), out, kLfFaceSize);
}

LOGFONTW Widen(const LOGFONTA& font, int codePage) {
  LOGFONTW wide{};
  std::memcpy(&wide, &font, kNumbersAndFlags);
  WideFace(font.lfFaceName, codePage, wide.lfFaceName);
  return wide;
}
LOGFONTA Narrow(const LOGFONTW& font, int codePage) {
  LOGFONTA narrow{};
  std::memcpy(&narrow, &font, kNumbersAndFlags);
  NarrowFace(font.lfFaceName, codePage, narrow.lfFaceName);
  return narrow;
}

std::int16_t Saturate(LONG v) {
  return static_cast<std::int16_t>(std::clamp<LONG>(v, INT16_MIN, INT16_MAX));
}

FontEntry* FindFont(const ImageBank* bank, int number) {
  BankEntryHeader* e = FindEntry(bank, kListFonts, number);
  if (!e || e->headerSize != kFontHeaderSize) return nullptr;
  return reinterpret_cast<FontEntry*>(e);
}

// The entry's checksum: the reserved field and the font's narrow form (code page 0), 64 bytes.
std::uint32_t FontChecksum(const FontEntry& entry) {
  std::uint8_t bytes[4 + sizeof(LOGFONTA)];
  std::memcpy(bytes, &entry.value, 4);
  const LOGFONTA narrow = Narrow(entry.font, plat::kCodePageSystem);
  std::memcpy(bytes + 4, &narrow, sizeof(narrow));
  return BankChecksum(bytes, sizeof(bytes));
}

const std::u16string* Replacement(const ImageBank* bank, std::u16string_view face) {
  if (!bank || !bank->fontSubstitutes) return nullptr;
  auto& faces = bank->fontSubstitutes->faces;
  auto it = faces.find(std::u16string(face));
  return it == faces.end() ? nullptr : &it->second;
}

HFONT CreateWithSubstitute(const ImageBank* bank, LOGFONTW font) {
  if (const std::u16string* r = Replacement(bank, FaceView(font.lfFaceName)))
    WriteWide(*r, font.lfFaceName, kLfFaceSize);
  return plat::CreateFontIndirectW(&font);
}

std::u16string NarrowName(const char* text) {
  return text ? plat::DecodeNarrow(text, GetLibraryCodePage()) : std::u16string();
}

}  // namespace

int AddFontW(ImageBank* bank, std::uint32_t flags, const BankFontRecordW* record) {
  if (!bank || !record) return 0;
  BankEntryHeader* block = nullptr;
  const int number = AddEntry(*bank, kListFonts, kFontHeaderSize, 0, kAddEntryZeroFill, &block);
  if (!number) return 0;
  auto* entry = reinterpret_cast<FontEntry*>(block);
  entry->value = 0;
  std::memcpy(&entry->font, &record->font, sizeof(LOGFONTW));
  entry->entry.checksum = FontChecksum(*entry);
  if (flags & kAddFontShare) return MergeDuplicate(*bank, kListFonts, number);
  return number;
}

int AddFont(ImageBank* bank, std::uint32_t flags, const BankFontRecordA* record) {
  if (!bank || !record) return 0;
  BankFontRecordW wide{};
  wide.font = Widen(record->font, GetLibraryCodePage());
  return AddFontW(bank, flags, &wide);
}

int AddFontRef(ImageBank* bank, int number) {
  FontEntry* font = FindFont(bank, number);
  return font ? static_cast<int>(++font->entry.refCount) : 0;
}

int DeleteFont(ImageBank* bank, int number) {
  if (!bank) return 0;
  if (!FindFont(bank, number)) return -1;
  return ReleaseEntry(*bank, kListFonts, number);
}

int GetFontW(ImageBank* bank, int number, BankFontRecordW* out) {
  const FontEntry* font = FindFont(bank, number);
  if (!font || !out) return 0;
  out->checksum = font->entry.checksum;
  out->refCount = font->entry.refCount;
  out->size = font->entry.dataSize;
  out->font = font->font;
  return 1;
}

int GetFont(ImageBank* bank, int number, BankFontRecordA* out) {
  BankFontRecordW wide{};
  if (!out || !GetFontW(bank, number, &wide)) return 0;
  out->checksum = wide.checksum;
  out->refCount = wide.refCount;
  out->size = wide.size;
  out->font = Narrow(wide.font, GetLibraryCodePage());
  return 1;
}

HFONT CreateBankFont(ImageBank* bank, int number) {
  const FontEntry* font = FindFont(bank, number);
  return font ? CreateWithSubstitute(bank, font->font) : nullptr;
}

HFONT CreateFontSubstitutedW(ImageBank* bank, const LOGFONTW* font) {
  if (!font) return nullptr;
  LOGFONTW copy = *font;
  WriteWide(FaceView(font->lfFaceName), copy.lfFaceName, kLfFaceSize);
  return CreateWithSubstitute(bank, copy);
}

HFONT CreateFontSubstituted(ImageBank* bank, const LOGFONTA* font) {
  if (!font) return nullptr;
  return CreateWithSubstitute(bank, Widen(*font, GetLibraryCodePage()));
}

HFONT CreateFontFromRecord16(const FontRecord16* record) {
  LOGFONTW font{};
  if (!FontRecord16ToLogFontW(record, &font)) return nullptr;
  return plat::CreateFontIndirectW(&font);
}

int DeleteBankFont(HFONT font) {
  if (plat::GetObjectType(font) != plat::OBJ_FONT) return 0;
  return plat::DeleteObject(font);
}

int SetFontSubstituteW(ImageBank* bank, const WCHAR* face, const WCHAR* replacement) {
  if (!bank || !face) return 0;
  const std::u16string key(face);
  if (!replacement || !*replacement) {
    if (!bank->fontSubstitutes) return 0;
    return bank->fontSubstitutes->faces.erase(key) ? 1 : 0;
  }
  if (!bank->fontSubstitutes) {
    bank->fontSubstitutes = new (std::nothrow) FontSubstitutes;
    if (!bank->fontSubstitutes) return 0;
  }
  bank->fontSubstitutes->faces[key] = replacement;
  return 1;
}

int SetFontSubstitute(ImageBank* bank, const char* face, const char* replacement) {
  if (!face) return 0;
  const std::u16string wideFace = NarrowName(face), wideReplacement = NarrowName(replacement);
  return SetFontSubstituteW(bank, wideFace.c_str(), wideReplacement.c_str());
}

int GetFontSubstituteW(ImageBank* bank, const WCHAR* face, WCHAR* out, int size) {
  if (!face) return 0;
  const std::u16string_view asked(face);
  const std::u16string* r = Replacement(bank, asked);
  if (out && size > 0) {
    if (r)
      WriteWide(*r, out, static_cast<std::size_t>(size));
    else if (out != face)
      WriteWide(std::u16string(asked), out, static_cast<std::size_t>(size));
  }
  return r ? 1 : 0;
}

int GetFontSubstitute(ImageBank* bank, const char* face, char* out, int size) {
  if (!face) return 0;
  const std::u16string* r = Replacement(bank, NarrowName(face));
  if (out && size > 0) {
    if (r)
      WriteNarrow(plat::EncodeNarrow(*r, plat::kCodePageSystem), plat::kCodePageSystem, out,
                  static_cast<std::size_t>(size));
    else if (out != face)
      WriteNarrow(plat::EncodeNarrow(NarrowName(face), plat::kCodePageSystem),
                  plat::kCodePageSystem, out, static_cast<std::size_t>(size));
  }
  return r ? 1 : 0;
}

int FontRecord16ToLogFont(const FontRecord16* record, LOGFONTA* out) {
  if (!record || !out) return 0;
  *out = LOGFONTA{record->height,         record->width,
                  record->escapement,     record->orientation,
                  record->weight,         record->italic,
                  record->underline,      record->strikeOut,
                  record->charSet,        record->outPrecision,
                  record->clipPrecision,  record->quality,
                  record->pitchAndFamily, {}};
  WriteNarrow(FaceView(record->faceName), GetLibraryCodePage(), out->lfFaceName, kLfFaceSize);
  return 1;
}

int LogFontToFontRecord16(const LOGFONTA* font, FontRecord16* out) {
  if (!font || !out) return 0;
  *out = FontRecord16{Saturate(font->lfHeight),
                      Saturate(font->lfWidth),
                      Saturate(font->lfEscapement),
                      Saturate(font->lfOrientation),
                      Saturate(font->lfWeight),
                      font->lfItalic,
                      font->lfUnderline,
                      font->lfStrikeOut,
                      font->lfCharSet,
                      font->lfOutPrecision,
                      font->lfClipPrecision,
                      font->lfQuality,
                      font->lfPitchAndFamily,
                      {}};
  WriteNarrow(FaceView(font->lfFaceName), GetLibraryCodePage(), out->faceName, kLfFaceSize);
  return 1;
}

int FontRecord16ToLogFontW(const FontRecord16* record, LOGFONTW* out) {
  LOGFONTA narrow{};
  if (!out || !FontRecord16ToLogFont(record, &narrow)) return 0;
  *out = Widen(narrow, plat::kCodePageSystem);
  return 1;
}

int LogFontWToFontRecord16(const LOGFONTW* font, FontRecord16* out) {
  if (!font || !out) return 0;
  const LOGFONTA narrow = Narrow(*font, plat::kCodePageSystem);
  return LogFontToFontRecord16(&narrow, out);
}
