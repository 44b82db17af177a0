// The bank's fonts: numbering, sharing, records, substitution and the record conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <vexa/font_bank.h>
#include <vexa/text.h>

#include "platform/gdi/gdi.h"
#include "support/bank_fixture.h"

namespace {

using testsupport::NewBank;

BankFontRecordW Wide(const std::u16string& face, LONG height, LONG weight = 400) {
  BankFontRecordW r{};
  r.checksum = 0xDEAD;  // leading fields are not read on input
  r.font.lfHeight = height;
  r.font.lfWeight = weight;
  std::copy(face.begin(), face.end(), r.font.lfFaceName);
  return r;
}

std::u16string FaceOf(HFONT font) {
  LOGFONTW log{};
  plat::GetObject(font, sizeof(log), &log);
  return std::u16string(log.lfFaceName);
}

TEST(FontBank, AddShareReferenceAndDelete) {
  auto bank = NewBank();
  const BankFontRecordW arial = Wide(u"Arial", -12);
  const int a = AddFontW(bank.get(), kAddFontShare, &arial);
  ASSERT_EQ(a, 1);
  EXPECT_EQ(AddFontW(bank.get(), kAddFontShare, &arial), a);
  BankFontRecordW back{};
  ASSERT_EQ(GetFontW(bank.get(), a, &back), 1);
  EXPECT_EQ(back.refCount, 2u);
  EXPECT_EQ(back.size, 0u);
  EXPECT_NE(back.checksum, 0u);
  EXPECT_EQ(std::memcmp(&back.font, &arial.font, sizeof(LOGFONTW)), 0);
  // Without the flag, or with another font, a new number.
  EXPECT_EQ(AddFontW(bank.get(), 0, &arial), 2);
  const BankFontRecordW bold = Wide(u"Arial", -12, 700);
  EXPECT_EQ(AddFontW(bank.get(), kAddFontShare, &bold), 3);
  // The narrow form converts and shares with the wide one.
  BankFontRecordA narrow{};
  narrow.font.lfHeight = -12;
  narrow.font.lfWeight = 700;
  std::strcpy(narrow.font.lfFaceName, "Arial");
  EXPECT_EQ(AddFont(bank.get(), kAddFontShare, &narrow), 3);
  BankFontRecordA narrowBack{};
  ASSERT_EQ(GetFont(bank.get(), 3, &narrowBack), 1);
  EXPECT_STREQ(narrowBack.font.lfFaceName, "Arial");
  EXPECT_EQ(narrowBack.refCount, 2u);

  EXPECT_EQ(AddFontRef(bank.get(), a), 3);
  EXPECT_EQ(DeleteFont(bank.get(), a), 2);
  EXPECT_EQ(DeleteFont(bank.get(), a), 1);
  EXPECT_EQ(DeleteFont(bank.get(), a), 0);
  EXPECT_EQ(GetFontW(bank.get(), a, &back), 0);
  EXPECT_EQ(DeleteFont(bank.get(), a), -1);
  EXPECT_EQ(AddFontRef(bank.get(), 0), 0);
  // The freed number is taken again first.
  EXPECT_EQ(AddFontW(bank.get(), 0, &arial), a);
  EXPECT_EQ(AddFontW(nullptr, 0, &arial), 0);
}

TEST(FontBank, SubstitutionTable) {
  auto bank = NewBank();
  char16_t out[32];
  // Unmapped: the face comes back unchanged, result 0.
  EXPECT_EQ(GetFontSubstituteW(bank.get(), u"Game Face", out, 32), 0);
  EXPECT_EQ(std::u16string(out), u"Game Face");
  EXPECT_EQ(SetFontSubstituteW(bank.get(), u"Game Face", u"DejaVu Serif"), 1);
  EXPECT_EQ(GetFontSubstituteW(bank.get(), u"Game Face", out, 32), 1);
  EXPECT_EQ(std::u16string(out), u"DejaVu Serif");
  // Case-sensitive; the buffer size is respected.
  EXPECT_EQ(GetFontSubstituteW(bank.get(), u"game face", out, 32), 0);
  out[0] = u'#';
  EXPECT_EQ(GetFontSubstituteW(bank.get(), u"Game Face", out, 0), 1);
  EXPECT_EQ(out[0], u'#');
  EXPECT_EQ(GetFontSubstituteW(bank.get(), u"Game Face", out, 4), 1);
  EXPECT_EQ(std::u16string(out), u"Dej");

  // Created fonts take the replacement; the bank's own description keeps its face.
  const BankFontRecordW f = Wide(u"Game Face", -14);
  const int n = AddFontW(bank.get(), 0, &f);
  HFONT font = CreateBankFont(bank.get(), n);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(FaceOf(font), u"DejaVu Serif");
  EXPECT_EQ(DeleteBankFont(font), 1);
  EXPECT_EQ(DeleteBankFont(font), 0);
  EXPECT_EQ(CreateBankFont(bank.get(), 0), nullptr);
  EXPECT_EQ(CreateBankFont(bank.get(), 99), nullptr);
  LOGFONTA request{};
  std::strcpy(request.lfFaceName, "Game Face");
  font = CreateFontSubstituted(bank.get(), &request);
  EXPECT_EQ(FaceOf(font), u"DejaVu Serif");
  DeleteBankFont(font);

  // Narrow names: in by the library's code page, out by code page 0.
  const int previous = SetLibraryCodePage(1252);
  EXPECT_EQ(SetFontSubstitute(bank.get(), "Caf\xE9", "Se\xF1or"), 1);
  SetLibraryCodePage(previous);
  EXPECT_EQ(GetFontSubstituteW(bank.get(), u"Caf\u00E9", out, 32), 1);
  EXPECT_EQ(std::u16string(out), u"Se\u00F1or");
  char narrow[8];
  EXPECT_EQ(GetFontSubstitute(bank.get(), "Caf\xC3\xA9", narrow, 8), 1);
  EXPECT_STREQ(narrow, "Se\xC3\xB1or");
  // A small buffer never ends inside a UTF-8 character.
  EXPECT_EQ(GetFontSubstitute(bank.get(), "Caf\xC3\xA9", narrow, 4), 1);
  EXPECT_STREQ(narrow, "Se");

  // An empty replacement removes the mapping, and does nothing when there is none.
  EXPECT_EQ(SetFontSubstituteW(bank.get(), u"Game Face", u""), 1);
  EXPECT_EQ(SetFontSubstituteW(bank.get(), u"Game Face", nullptr), 0);
  EXPECT_EQ(GetFontSubstituteW(bank.get(), u"Game Face", out, 32), 0);
}

TEST(FontBank, RecordConversionsRoundTripAndSaturate) {
  FontRecord16 record{};
  record.height = -13;
  record.width = 7;
  record.escapement = 900;
  record.weight = 700;
  record.italic = 1;
  record.quality = 3;
  record.pitchAndFamily = 0x31;
  std::strcpy(record.faceName, "DejaVu Sans");
  LOGFONTW wide{};
  ASSERT_EQ(FontRecord16ToLogFontW(&record, &wide), 1);
  EXPECT_EQ(wide.lfHeight, -13);
  EXPECT_EQ(wide.lfEscapement, 900);
  EXPECT_EQ(std::u16string(wide.lfFaceName), u"DejaVu Sans");
  FontRecord16 again{};
  ASSERT_EQ(LogFontWToFontRecord16(&wide, &again), 1);
  EXPECT_EQ(std::memcmp(&record, &again, sizeof(record)), 0);
  LOGFONTA narrow{};
  ASSERT_EQ(FontRecord16ToLogFont(&record, &narrow), 1);
  ASSERT_EQ(LogFontToFontRecord16(&narrow, &again), 1);
  EXPECT_EQ(std::memcmp(&record, &again, sizeof(record)), 0);

  // Numbers saturate; unterminated faces end at 31 units plus a terminator.
  narrow.lfHeight = 100000;
  narrow.lfWidth = -100000;
  std::memset(narrow.lfFaceName, 'x', sizeof(narrow.lfFaceName));
  ASSERT_EQ(LogFontToFontRecord16(&narrow, &again), 1);
  EXPECT_EQ(again.height, 32767);
  EXPECT_EQ(again.width, -32768);
  EXPECT_EQ(std::strlen(again.faceName), 31u);
  std::memset(record.faceName, 'y', sizeof(record.faceName));
  ASSERT_EQ(FontRecord16ToLogFontW(&record, &wide), 1);
  EXPECT_EQ(std::u16string(wide.lfFaceName).size(), 31u);
  // A wide face of non-ASCII characters narrows without a split character.
  for (int i = 0; i < 31; ++i) wide.lfFaceName[i] = u'\u00E9';
  ASSERT_EQ(LogFontWToFontRecord16(&wide, &again), 1);
  EXPECT_EQ(std::strlen(again.faceName), 30u);
  EXPECT_EQ(FontRecord16ToLogFont(nullptr, &narrow), 0);

  HFONT font = CreateFontFromRecord16(&again);
  EXPECT_EQ(plat::GetObjectType(font), plat::OBJ_FONT);
  DeleteBankFont(font);
}

}  // namespace
