// The pieces index choice reads from condition trees.
#include <gtest/gtest.h>

#include "engine/base/code_page.h"
#include "engine/cond/cond_index_terms.h"
#include "engine/cond/sql_condition.h"

namespace kestrel {
namespace {

TEST(CondIndexTerms, ColumnsAndConstants) {
  struct Case {
    const char16_t* text;  // "<left> = <right>"
    bool leftIsColumn;
    bool rightIsConstant;
  } cases[] = {
      {u"KOD = '01'", true, true},
      {u"-KOD = 1", false, true},
      {u"KOD + 1 = UPPER('a') || 'b'", false, true},
      {u"(KOD) = :p", false, true},
      {u"KOD = RANDOM(3)", true, false},
      {u"KOD = MEGNEV", true, false},
      {u"KOD = LEN(MEGNEV)", true, false},
      {u"T.KOD = CURRENT_DATE + 1", true, true},
  };
  for (const Case& c : cases) {
    const auto tree = ParseAndOptimize(c.text);
    const TTdbBooleanFactor& factor = *tree->FBooleanTerms[0]->FBooleanFactors[0];
    EXPECT_EQ(SingleColumnOf(*factor.FExpressionLeft) != nullptr, c.leftIsColumn) << Utf16ToUtf8(c.text);
    EXPECT_EQ(IsConstantExpression(*factor.FExpressionRight), c.rightIsConstant) << Utf16ToUtf8(c.text);
  }
}

TEST(CondIndexTerms, MirroredAndInvertedOperators) {
  struct Case {
    TTdbComparisonOperator op, mirrored, inverted;
  } cases[] = {
      {tcoEqual, tcoEqual, tcoUnequal},
      {tcoUnequal, tcoUnequal, tcoEqual},
      {tcoLess, tcoGreater, tcoGreaterOrEqual},
      {tcoLessOrEqual, tcoGreaterOrEqual, tcoGreater},
      {tcoGreater, tcoLess, tcoLessOrEqual},
      {tcoGreaterOrEqual, tcoLessOrEqual, tcoLess},
      {tcoEqualNull, tcoEqualNull, tcoNone},
      {tcoIsNull, tcoNone, tcoIsNotNull},
      {tcoIsNotNull, tcoNone, tcoIsNull},
      {tcoLike, tcoNone, tcoNone},
      {tcoBetween, tcoNone, tcoNone},
      {tcoIn, tcoNone, tcoNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MirroredComparison(c.op), c.mirrored) << c.op;
    EXPECT_EQ(InvertedComparison(c.op), c.inverted) << c.op;
  }
}

TEST(CondIndexTerms, LikeBounds) {
  struct Case {
    std::u16string pattern;
    char16_t escape;
    int maxLength;
    std::u16string lower, upper;
    bool hasPrefix;
  } cases[] = {
      {u"AB%", 0, 10, u"AB", std::u16string(u"AB\0", 3), true},
      {u"A_C%", 0, 10, u"A", std::u16string(u"A\0", 2), true},
      {u"%B", 0, 10, u"", std::u16string(u"\0", 1), false},
      {u"AB", 0, 2, u"AB", u"AB", true},  // as long as the type: no room for the 0
      {u"1!%2%", u'!', 0, u"1%2", std::u16string(u"1%2\0", 4), true},
      {u"x!", u'!', 10, u"x", std::u16string(u"x\0", 2), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LikeLowerBound(c.pattern, c.escape != 0, c.escape), c.lower) << Utf16ToUtf8(c.pattern);
    EXPECT_EQ(LikeUpperBound(c.pattern, c.escape != 0, c.escape, c.maxLength), c.upper) << Utf16ToUtf8(c.pattern);
    EXPECT_EQ(LikePatternHasPrefix(c.pattern), c.hasPrefix) << Utf16ToUtf8(c.pattern);
  }
}

}  // namespace
}  // namespace kestrel
