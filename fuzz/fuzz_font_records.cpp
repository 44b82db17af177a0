// Font records from fuzzed bytes: added to a bank in both forms (sharing on or off), read
// back, converted both ways and turned into font handles; the face fields are unterminated
// as often as not.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <vexa/font_bank.h>
#include <vexa/text.h>

#include "platform/gdi/gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 + sizeof(BankFontRecordW)) return 0;
  SetLibraryCodePage((data[0] & 1) ? 1252 : 0);
  const std::uint32_t flags = (data[0] & 2) ? kAddFontShare : 0;
  ++data;
  --size;
  static ImageBank* bank = CreateImageBank(0, nullptr);
  BankFontRecordW wide;
  std::memcpy(&wide, data, sizeof(wide));
  BankFontRecordA narrow;
  std::memcpy(&narrow, data, sizeof(narrow));
  FontRecord16 record;
  std::memcpy(&record, data + sizeof(wide) - sizeof(record), sizeof(record));

  const int a = AddFontW(bank, flags, &wide);
  const int b = AddFont(bank, flags, &narrow);
  BankFontRecordW wideBack;
  BankFontRecordA narrowBack;
  GetFontW(bank, a, &wideBack);
  GetFont(bank, b, &narrowBack);
  SetFontSubstituteW(bank, u"Arial", (data[1] & 1) ? u"DejaVu Serif" : nullptr);
  HFONT font = CreateBankFont(bank, a);
  DeleteBankFont(font);

  LOGFONTA logA;
  LOGFONTW logW;
  FontRecord16 back;
  FontRecord16ToLogFont(&record, &logA);
  LogFontToFontRecord16(&logA, &back);
  FontRecord16ToLogFontW(&record, &logW);
  LogFontWToFontRecord16(&logW, &back);
  LogFontWToFontRecord16(&wide.font, &back);
  LogFontToFontRecord16(&narrow.font, &back);
  DeleteBankFont(CreateFontFromRecord16(&record));
  DeleteBankFont(CreateFontSubstituted(bank, &narrow.font));

  char face[40];
  GetFontSubstitute(bank, narrow.font.lfFaceName[31] ? "Arial" : narrow.font.lfFaceName, face,
                    data[2] % 40);
  // Keep the bank small between runs.
  while (DeleteFont(bank, a) > 0) {}
  while (DeleteFont(bank, b) > 0) {}
  SetLibraryCodePage(0);
  return 0;
}
