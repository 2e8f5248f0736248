// Code page and UTF conversions: Hungarian letters, unmappable characters,
// undefined bytes, ICU code pages, malformed UTF-8.
#include <gtest/gtest.h>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"

namespace kestrel {
namespace {

TEST(CodePage, Windows1250HungarianRoundTrip) {
  const std::u16string text = u"Kőműves ÁÉÍÓÖŐÚÜŰ áéíóöőúüű";
  const std::string bytes = EncodeCodePage(text, kCodePageAnsi);
  ASSERT_EQ(bytes.size(), text.size());
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xF5);  // ő
  EXPECT_EQ(DecodeCodePage(bytes, kCodePageAnsi), text);
}

TEST(CodePage, MissingCharactersBecomeQuestionMarks) {
  struct Case {
    int codePage;
    std::u16string text;
    std::string bytes;
  } cases[] = {
      {1250, u"a\u4E2Db", "a?b"},
      {1250, std::u16string(u"a\0\u0151", 3), std::string("a\0\xF5", 3)},  // NUL stays NUL
      {1252, u"\u0151", "?"},            // ő is not in 1252
      {1251, u"\u0416x\u0151", "\xC6x?"},  // Cyrillic through ICU
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeCodePage(c.text, c.codePage), c.bytes) << c.codePage;
}

TEST(CodePage, EveryByteSurvivesRoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  for (int cp : {1250, 1252}) EXPECT_EQ(EncodeCodePage(DecodeCodePage(all, cp), cp), all) << cp;
}

TEST(CodePage, UnknownCodePage) {
  EXPECT_FALSE(IsSupportedCodePage(99999));
  EXPECT_THROW(DecodeCodePage("x", 99999), ETdbEngine);
}

TEST(Utf, RoundTripAndMalformed) {
  const std::string utf8 = "Épít\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace kestrel
