// Text conversions: Windows-1250 with the Hungarian letters, UTF-16, and the
// line ends of memo text.
#include "access/text_codec.h"

#include <gtest/gtest.h>

namespace kestrel::access {
namespace {

TEST(TextCodecTest, Cp1250RoundTripsTheHungarianLetters) {
  struct Case {
    std::string Utf8;
    std::string Cp1250;
  };
  const Case cases[] = {
      {"árvíztűrő tükörfúrógép", "\xE1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p"},
      {"ÁRVÍZTŰRŐ TÜKÖRFÚRÓGÉP", "\xC1RV\xCDZT\xDBR\xD5 T\xDCK\xD6RF\xDAR\xD3G\xC9P"},
      {"Fordítás – kisebb munkák", "Ford\xEDt\xE1s \x96 kisebb munk\xE1k"},
      {"„idézet” €", "\x84id\xE9zet\x94 \x80"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToCp1250(c.Utf8), c.Cp1250) << c.Utf8;
    EXPECT_EQ(Cp1250ToUtf8(c.Cp1250), c.Utf8) << c.Utf8;
  }
}

TEST(TextCodecTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1250("ñ日"), "??");
  EXPECT_EQ(Utf8ToCp1250("\xFF"), "?") << "malformed UTF-8";
  // What the fields refuse before writing such text.
  struct Case {
    const char* Text;
    const char* First;
  };
  const Case cases[] = {
      {"Árvíztűrő tükörfúrógép €", ""}, {"", ""}, {"abc ñ日", "ñ"}, {"a\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {"a\xFF" "b", "\xFF"},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstCharOutsideCp1250(c.Text), c.First) << c.Text;
}

TEST(TextCodecTest, Utf16RoundTripsIncludingSurrogatePairs) {
  const std::string text = "Kód őű 😀";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
  EXPECT_EQ(Utf8ToUtf16("ő"), std::u16string(u"\u0151"));
}

TEST(TextCodecTest, MemoLineEnds) {
  struct Case {
    std::string Stored;
    std::string Shown;
    std::string StoredAgain;
  };
  const Case cases[] = {
      {"a\r\nb\r\n", "a\nb\n", "a\r\nb\r\n"},
      {"a\rb", "a\nb", "a\r\nb"},
      {"\r\n\r\n", "\n\n", "\r\n\r\n"},
      {"no line end", "no line end", "no line end"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToLfLineEnds(c.Stored), c.Shown);
    EXPECT_EQ(ToCrLfLineEnds(c.Shown), c.StoredAgain);
  }
}

}  // namespace
}  // namespace kestrel::access
