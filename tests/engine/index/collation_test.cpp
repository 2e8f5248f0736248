// Collations: the standard collation's folding rules on 8-bit and UTF-16
// texts, prefix patterns, collation names and options, ICU locale collations
// (Hungarian letters, German ligatures, normalisation) and case mapping.
#include <gtest/gtest.h>

#include <string>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/index/collation.h"
#include "engine/index/standard_collation.h"

namespace kestrel {
namespace {

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

std::u16string WithNul(std::u16string text) {
  text.push_back(0);
  return text;
}

struct TCompareCase {
  const char* FCollation;
  std::u16string FA;
  std::u16string FB;
  int FExpected;  // sign
};

// Runs each case on UTF-16 texts and, where the texts fit Windows-1250, on
// their 8-bit form too (unless the case is marked wide-only).
void RunCases(const std::vector<TCompareCase>& cases, bool alsoAnsi) {
  for (const TCompareCase& c : cases) {
    const TTdbCollation& collation = GetCollation(Utf8ToUtf16(c.FCollation));
    const std::string label = std::string(c.FCollation) + ": " + Utf16ToUtf8(c.FA) + " / " + Utf16ToUtf8(c.FB);
    EXPECT_EQ(Sign(collation.Compare(c.FA, c.FB)), c.FExpected) << label;
    EXPECT_EQ(Sign(collation.Compare(c.FB, c.FA)), -c.FExpected) << label << " (swapped)";
    if (alsoAnsi) {
      const std::string a = EncodeCodePage(c.FA, kCodePageAnsi);
      const std::string b = EncodeCodePage(c.FB, kCodePageAnsi);
      EXPECT_EQ(Sign(collation.CompareAnsi(a, b)), c.FExpected) << label << " (8-bit)";
    }
  }
}

TEST(StandardCollation, FoldsCaseAccentsAndLigaturesAsDocumented) {
  RunCases(
      {
          {"Kestrel", u"abc", u"ABC", 0},
          {"Kestrel", u"Abc", u"\u00C1bc", -1},         // accent only breaks the tie, accented second
          {"Kestrel", u"\u00C1bc", u"Abd", -1},         // ... and never before a real difference
          {"Kestrel", u"ab", u"abc", -1},               // a prefix sorts first
          {"Kestrel", u"", u"a", -1},
          {"Kestrel", u"Stra\u00DFe", u"STRASSE", -1},  // ligature-sensitive: ß reads as an accented s
          {"Kestrel_AS", u"Stra\u00DFe", u"STRASSE", 0},  // without ligature sensitivity ß = ss
          {"Kestrel_AI", u"Abc", u"\u00C1bc", 0},
          {"Kestrel_CS", u"a", u"A", 1},
          {"Kestrel_CS", u"\u00E1", u"A", 1},           // á folds to a lower-case a
          {"Kestrel", u"x^y", u"x y", 0},               // ^ reads as a space
          {"Kestrel", u"\u007F", u"z", 1},              // DEL is the highest character
          {"Kestrel", u"\u00D7", u"X", 1},              // × stays as it is
          {"Kestrel", u"\u00E9a", u"eb", -1},           // é = e before the next letter decides
          {"Kestrel", u"\u00E9e", u"e\u00E9", 1},       // the earlier accent sorts after
          // A shared beginning is passed over: its accent still ties both
          // sides, a pending sharp s still reads as s on both.
          {"Kestrel", u"x\u00E9a", u"x\u00E9A", 0},
          {"Kestrel", u"x\u00E9ae", u"x\u00E9a\u00E9", 0},    // only the first accent counts
          {"Kestrel", u"xa\u00E9", u"x\u00E1e", -1},           // the accent after the shared part decides
          {"Kestrel_AS", u"Stra\u00DFe", u"Stra\u00DFE", 0},
          {"Kestrel_AS", u"Stra\u00DF", u"Stra\u00DFs", -1},
          {"Kestrel_AS", u"Stra\u00DFt", u"Stra\u00DFs", 1},
      },
      true);
  // Letters outside Latin-1 keep their code in UTF-16 texts: Hungarian ő and
  // ű sort after every other letter.
  RunCases(
      {
          {"Kestrel", u"\u0151", u"z", 1},
          {"Kestrel", u"\u0170", u"\u00DC", 1},
          {"Kestrel", u"o", u"\u0151", -1},
          {"Kestrel", u"\u00C6", u"A", 1},  // Æ → A, accented (not in Windows-1250)
          {"Kestrel", u"\u00D8", u"O", 1},  // Ø → O
      },
      false);
}

TEST(StandardCollation, FoldsEveryHigh8BitByteThroughTheTable) {
  // In 8-bit texts ő (0xF5 in Windows-1250) folds like õ to o, whatever the
  // code page, and Š (0x8A) to S.
  const TTdbCollation& standard = StandardCollation();
  EXPECT_EQ(Sign(standard.CompareAnsi("\xF5", "o")), 1);
  EXPECT_EQ(Sign(standard.CompareAnsi("\xF5", "p")), -1);
  EXPECT_EQ(Sign(standard.CompareAnsi("\x8A", "S")), 1);
  EXPECT_EQ(Sign(standard.CompareAnsi("\x8A", "T")), -1);
  EXPECT_EQ(Sign(standard.CompareAnsi("\xC6", "A")), 1);    // Ć in Windows-1250, folded as Æ
  EXPECT_EQ(Sign(standard.CompareAnsi("\xC6", "B")), -1);
  EXPECT_EQ(Sign(standard.CompareAnsi("\x7F", "\xFE")), 1);  // DEL above þ
  EXPECT_EQ(StandardFoldHighCharacter(0xDF), 's');
  EXPECT_EQ(StandardFoldHighCharacter(0xF7), 0xF7);  // ÷ stays
}

TEST(StandardCollation, PrefixPatternsMatchEveryTextThatBeginsWithThem) {
  const TTdbCollation& standard = StandardCollation();
  struct Case {
    std::u16string FText;
    std::u16string FPattern;
    int FExpected;
  } cases[] = {
      {u"abc", u"ab", 0},
      {u"ABC", u"ab", 0},
      {u"\u00C1bc", u"ab", 0},  // accents do not count against a pattern
      {u"ab", u"ab", 0},
      {u"a", u"ab", -1},         // shorter than the pattern
      {u"abd", u"abc", 1},
      {u"abb", u"abc", -1},
      {u"STRASSE", u"stra\u00DF", 0},  // ligatures expand against a pattern
      {u"", u"", 0},
  };
  for (const Case& c : cases) {
    const std::string label = Utf16ToUtf8(c.FText) + " / " + Utf16ToUtf8(c.FPattern);
    EXPECT_EQ(Sign(standard.Compare(c.FText, WithNul(c.FPattern), kStandardCollationOptions & ~scoLigatureSensitive)),
              c.FExpected)
        << label;
    EXPECT_EQ(Sign(standard.Compare(WithNul(c.FPattern), c.FText, kStandardCollationOptions & ~scoLigatureSensitive)),
              -c.FExpected)
        << label;
    EXPECT_EQ(Sign(standard.ComparePrefix(c.FText, c.FPattern, kStandardCollationOptions & ~scoLigatureSensitive)),
              c.FExpected)
        << label;
  }
  // Both patterns: compared as plain texts.
  EXPECT_EQ(Sign(standard.Compare(WithNul(u"ab"), WithNul(u"abc"))), -1);
  // 8-bit pattern.
  EXPECT_EQ(standard.CompareAnsi("KOD123", std::string("KOD1\0", 5)), 0);
}

TEST(CollationNames, SuffixesGiveOptions) {
  struct Case {
    std::u16string FName;
    std::u16string FBase;
    TStrCmpOptions FOptions;
  } cases[] = {
      {u"", u"Kestrel", scoLigatureSensitive | scoAccentSensitive},
      {u"Kestrel", u"Kestrel", scoLigatureSensitive | scoAccentSensitive},
      {u"Hungarian", u"Hungarian", scoAccentSensitive},
      {u"German_CS_AI", u"German", scoCaseSensitive},
      {u"german_ci_as", u"german", scoAccentSensitive},
      {u"Kestrel_CS", u"Kestrel", scoCaseSensitive | scoAccentSensitive},
      {u"Hungarian_AI", u"Hungarian", 0},
  };
  for (const Case& c : cases) {
    const TCollationName split = SplitCollationName(c.FName);
    EXPECT_EQ(split.FBaseName, c.FBase) << Utf16ToUtf8(c.FName);
    EXPECT_EQ(split.FOptions, c.FOptions) << Utf16ToUtf8(c.FName);
  }
  EXPECT_TRUE(GetCollation(u"").IsStandard());
  EXPECT_EQ(GetCollation(u"Kestrel").LocaleId(), kStandardLocaleId);
  EXPECT_EQ(&GetCollation(u"Hungarian"), &GetCollation(u"Hungarian"));  // shared
  EXPECT_EQ(GetCollation(u"Hungarian").LocaleId(), 0x040E);
  try {
    GetCollation(u"Klingonese_CS");
    FAIL() << "unknown collation accepted";
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrNoCollation);
    EXPECT_EQ(error.Message(), "Collation \"Klingonese_CS\" does not exist");
  }
}

TEST(CollationNames, IndexAndColumnNamesIgnoreCaseAccentsAndSharpS) {
  EXPECT_TRUE(IsSameName(u"Stra\u00DFe", u"STRASSE"));
  EXPECT_TRUE(IsSameName(u"\u00C1rak", u"arak"));
  EXPECT_TRUE(IsSameName(u"kod", u"KOD"));
  EXPECT_FALSE(IsSameName(u"KOD", u"KODX"));
}

TEST(IcuCollation, HungarianLettersAndOptions) {
  RunCases(
      {
          {"Hungarian", u"cza", u"csa", -1},   // cs is a letter of its own after c
          {"German", u"cza", u"csa", 1},
          {"Hungarian", u"\u00F6a", u"ob", 1},  // ö is a letter after o
          {"German", u"\u00F6a", u"ob", -1},    // in German only an accented o
          {"Hungarian", u"\u0151", u"\u00F6", 1},
          {"Hungarian", u"a", u"\u00E1", -1},   // accent-sensitive by default
          {"Hungarian_AI", u"a", u"\u00E1", 0},
          {"Hungarian", u"ABC", u"abc", 0},     // case-insensitive by default
          {"Hungarian_CS", u"ABC", u"abc", 1},
          {"German_CS_AI", u"\u00C4rger", u"Arger", 0},
          {"German_CS_AI", u"\u00E4rger", u"Arger", -1},
          {"German_AI", u"stra\u00DFe", u"STRASSE", 0},  // ß = ss at primary strength
      },
      true);
  RunCases({{"Hungarian", u"a\u0301", u"\u00E1", 0}}, false);  // normalisation on
}

TEST(IcuCollation, LigaturesAndContractionsAreReported) {
  EXPECT_TRUE(GetCollation(u"Hungarian").HasContractions());
  EXPECT_FALSE(GetCollation(u"German").HasContractions());
  EXPECT_FALSE(StandardCollation().HasContractions());
  EXPECT_FALSE(StandardCollation().HasLigatures(kStandardCollationOptions));
  EXPECT_TRUE(StandardCollation().HasLigatures(scoAccentSensitive));
  // A prefix that ends inside a contraction still matches character-wise.
  EXPECT_EQ(GetCollation(u"Hungarian").ComparePrefix(u"csiga", u"c", scoAccentSensitive), 0);
  EXPECT_NE(GetCollation(u"Hungarian").ComparePrefix(u"dio", u"c", scoAccentSensitive), 0);
}

TEST(CollationCaseMapping, KeepsLengths) {
  const TTdbCollation& collation = GetCollation(u"Hungarian");
  EXPECT_EQ(collation.Upper(u"k\u0151m\u0171ves"), u"K\u0150M\u0170VES");
  EXPECT_EQ(collation.Lower(u"\u0150SZ"), u"\u0151sz");
  EXPECT_EQ(collation.Upper(u"stra\u00DFe"), u"STRA\u00DFE");  // no expansion to SS
  EXPECT_EQ(collation.Lower(u"\u0130"), u"i");                   // one code unit stays one
  EXPECT_EQ(StandardCollation().UpperAnsi("\xF5\xFB" "abc"), "\xD5\xDB" "ABC");  // ő ű in Windows-1250
  EXPECT_EQ(StandardCollation().LowerAnsi("\xD5Z"), "\xF5z");
}

}  // namespace
}  // namespace kestrel
