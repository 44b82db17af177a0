// Fonts of the image bank (list 5) and the bank's face-name substitution table.
//
// Fonts live under 1-based numbers with reference counts and de-duplication like images. The
// substitution table maps a face name a game asks for to the one to use; it compares names by
// their UTF-16 code units (case-sensitive). Three forms of a font description are exchanged:
// LOGFONTW, LOGFONTA and the compact stored form FontRecord16.
//
// Face fields may arrive unterminated: at most 32 units are read, and at most 31 plus a
// terminator are written (a narrow face never ends inside a UTF-8 character). Numbers narrowed
// to 16 bits saturate. Font handles the create functions return belong to the caller, who
// deletes them with DeleteBankFont.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/image_bank.h>
#include <vexa/wintypes.h>

#pragma pack(push, 1)
// LOGFONTA with 16-bit numbers (50 bytes, packed).
struct FontRecord16 {
  std::int16_t height, width, escapement, orientation, weight;
  BYTE italic, underline, strikeOut, charSet;
  BYTE outPrecision, clipPrecision, quality, pitchAndFamily;
  char faceName[kLfFaceSize];
};
#pragma pack(pop)
static_assert(sizeof(FontRecord16) == 50);

// Caller font records: three leading fields (ignored on input; filled from the entry on
// output), then the font description.
struct BankFontRecordW {
  std::uint32_t checksum, refCount, size;
  LOGFONTW font;
};
struct BankFontRecordA {
  std::uint32_t checksum, refCount, size;
  LOGFONTA font;
};
static_assert(sizeof(BankFontRecordW) == 104);
static_assert(sizeof(BankFontRecordA) == 72);

// AddFont flag: an identical font already in the bank gets another reference instead.
inline constexpr std::uint32_t kAddFontShare = 0x100;

// A new font entry (or, with kAddFontShare, an identical existing one): its number, 0 on
// failure. The narrow form converts the face with the library's code page.
VEXA_API int AddFontW(ImageBank* bank, std::uint32_t flags, const BankFontRecordW* record);
VEXA_API int AddFont(ImageBank* bank, std::uint32_t flags, const BankFontRecordA* record);
// The new reference count (0: no such font).
VEXA_API int AddFontRef(ImageBank* bank, int number);
// The remaining reference count; the entry goes at 0. -1: no such font; 0 for a null bank.
VEXA_API int DeleteFont(ImageBank* bank, int number);
// 1 with the record filled, 0 when there is no such font.
VEXA_API int GetFont(ImageBank* bank, int number, BankFontRecordA* out);
VEXA_API int GetFontW(ImageBank* bank, int number, BankFontRecordW* out);

// Font handles: a bank font after face substitution (null for number 0 or no such font), a
// description after face substitution, and a compact record as it stands.
VEXA_API HFONT CreateBankFont(ImageBank* bank, int number);
VEXA_API HFONT CreateFontSubstituted(ImageBank* bank, const LOGFONTA* font);
VEXA_API HFONT CreateFontSubstitutedW(ImageBank* bank, const LOGFONTW* font);
VEXA_API HFONT CreateFontFromRecord16(const FontRecord16* record);
// Deletes a font handle from the create functions; 0 for a handle that is no live font.
VEXA_API int DeleteBankFont(HFONT font);

// Sets or replaces the replacement of a face; an empty or null replacement removes it. 1 when
// the table changed, 0 otherwise. Narrow names come in by the library's code page.
VEXA_API int SetFontSubstitute(ImageBank* bank, const char* face, const char* replacement);
VEXA_API int SetFontSubstituteW(ImageBank* bank, const WCHAR* face, const WCHAR* replacement);
// 1 with the replacement in `out`; 0 with the face itself in `out` (unless `out` is `face`).
// `size` counts characters (bytes for the narrow form, which writes code page 0); nothing is
// written for a size of 0 or less.
VEXA_API int GetFontSubstitute(ImageBank* bank, const char* face, char* out, int size);
VEXA_API int GetFontSubstituteW(ImageBank* bank, const WCHAR* face, WCHAR* out, int size);

// Conversions; 0 for a null argument. The wide forms convert the face with code page 0.
VEXA_API int FontRecord16ToLogFont(const FontRecord16* record, LOGFONTA* out);
VEXA_API int LogFontToFontRecord16(const LOGFONTA* font, FontRecord16* out);
VEXA_API int FontRecord16ToLogFontW(const FontRecord16* record, LOGFONTW* out);
VEXA_API int LogFontWToFontRecord16(const LOGFONTW* font, FontRecord16* out);
