#include <gtest/gtest.h>

#include <string>

#include <vexa/memory.h>
#include <vexa/text.h>

#include "platform/text/codepage.h"

namespace {

TEST(CodePage, Utf8RoundTripsEveryPlane) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  const std::u16string wide = plat::DecodeNarrow(text, plat::kCodePageSystem);
  EXPECT_EQ(wide, std::u16string(u"a\u00E9\u20AC\U0001F600z"));
  EXPECT_EQ(plat::EncodeNarrow(wide, plat::kCodePageSystem), text);
}

TEST(CodePage, InvalidUtf8BecomesReplacementWithoutOverrun) {
  struct Case {
    std::string in;
    std::u16string out;
  } cases[] = {
      {"\x80", u"\uFFFD"},              // stray continuation byte
      {"\xC3", u"\uFFFD"},              // truncated at the end
      {"\xE2\x82", u"\uFFFD"},          // truncated three-byte form
      {"\xC0\xAF", u"\uFFFD"},          // overlong '/'
      {"\xED\xA0\x80", u"\uFFFD"},      // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD"},  // above U+10FFFF
      {"\xC3"
       "A",
       u"\uFFFD"
       "A"},  // the breaking byte starts the next character
      {"\xFF\xFE", u"\uFFFD\uFFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plat::DecodeNarrow(c.in, plat::kCodePageSystem), c.out)
        << "input size " << c.in.size();
  }
}

TEST(CodePage, LoneSurrogatesEncodeAsReplacement) {
  const std::u16string lone = {u'x', char16_t(0xD800), u'y', char16_t(0xDC00)};
  EXPECT_EQ(plat::EncodeNarrow(lone, plat::kCodePageSystem), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
  EXPECT_EQ(plat::EncodeNarrow(lone, plat::kCodePageWestern), "x?y?");
}

TEST(CodePage, Western1252MapsItsHighRow) {
  EXPECT_EQ(plat::DecodeNarrow("\x80\x9F\xE9", plat::kCodePageWestern), u"\u20AC\u0178\u00E9");
  EXPECT_EQ(plat::EncodeNarrow(u"\u20AC\u0178\u00E9\u4E2D", plat::kCodePageWestern),
            "\x80\x9F\xE9?");
}

TEST(CodePage, LibrarySettingIsUsedForMinusOneAndSetterReturnsPrevious) {
  ASSERT_EQ(GetLibraryCodePage(), 0);
  EXPECT_EQ(SetLibraryCodePage(1252), 0);
  EXPECT_EQ(SetLibraryCodePage(4242), 1252) << "unsupported pages are refused";
  EXPECT_EQ(GetLibraryCodePage(), 1252);

  WCHAR* wide = ConvertToWide("\x80", -1);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide[0], 0x20AC);
  EXPECT_EQ(wide[1], 0);
  char* narrow = ConvertToNarrow(wide, 0);
  EXPECT_STREQ(narrow, "\xE2\x82\xAC");
  EXPECT_GE(GetBlockSize(narrow), 3u * 1 + 3);
  FreeConvertedString(wide);
  FreeConvertedString(narrow);

  EXPECT_EQ(SetLibraryCodePage(0), 1252);
  EXPECT_EQ(ConvertToWide(nullptr, -1), nullptr);
  EXPECT_EQ(ConvertToNarrow(nullptr, -1), nullptr);
}

TEST(MemoryBlocks, AllocateReallocateAndClear) {
  void* block = nullptr;
  ASSERT_EQ(AllocBlockZero(&block, 100), 1);
  EXPECT_EQ(GetBlockSize(block), 100u);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(static_cast<unsigned char*>(block)[i], 0);
  static_cast<unsigned char*>(block)[99] = 7;
  ASSERT_EQ(ReallocBlock(&block, 5000), 1);
  EXPECT_EQ(GetBlockSize(block), 5000u);
  EXPECT_EQ(static_cast<unsigned char*>(block)[99], 7) << "contents survive growth";
  FreeBlockAndClear(&block);
  EXPECT_EQ(block, nullptr);
  FreeBlockAndClear(&block);  // null is ignored

  void* huge = reinterpret_cast<void*>(1);
  EXPECT_EQ(AllocBlock(&huge, SIZE_MAX - 4), 0);
  EXPECT_EQ(huge, nullptr) << "a failed allocation clears the out pointer";
  EXPECT_EQ(GetBlockSize(nullptr), 0u);
}

}  // namespace
