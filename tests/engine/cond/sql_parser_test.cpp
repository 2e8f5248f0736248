// Scanner and parser of conditions: the trees they build (checked through
// the text they write back) and their errors with texts and positions.
#include <gtest/gtest.h>

#include "engine/base/code_page.h"
#include "engine/cond/sql_condition.h"
#include "engine/cond/sql_parser.h"

namespace kestrel {
namespace {

std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }

std::u16string Written(std::u16string_view text, bool local = false, char16_t separator = u'.') {
  return GetSqlText(*ParseAndOptimize(text, local, separator));
}

TEST(SqlParser, WritesBackWhatItRead) {
  struct Case {
    std::u16string text;
    std::u16string written;
  } cases[] = {
      {u"KOD >= '01' And MEGNEV <> 'x'", u"KOD >= '01' AND MEGNEV <> 'x'"},
      {u"kod >= '01' and megnev != 'x' oR A<B", u"kod >= '01' AND megnev <> 'x' OR A < B"},
      {u"\"and\" = [and] AND $or = 1", u"\"and\" = \"and\" AND \"or\" = 1"},
      {u"'It''s' = \"A\"\"B\"", u"'It''s' = \"A\"\"B\""},
      {u"A - B - C = 1", u"A - B - C = 1"},
      {u"A / B * C DIV D MOD E % F = 1", u"A / B * C DIV D MOD E MOD F = 1"},
      {u"KOD-1 = 2", u"KOD-1 = 2"},
      {u"KOD - 1 = 2", u"KOD - 1 = 2"},
      {u"-A = +1.5e3", u"-A = +1.5e3"},
      {u"(A = 1) OR B = 2", u"A = 1 OR B = 2"},
      {u"(A + 1) = 2", u"(A + 1) = 2"},
      {u"((A) + 1) > 2", u"((A) + 1) > 2"},
      {u"(((A = 1)))", u"A = 1"},
      {u"NOT (A = 1)", u"NOT A = 1"},
      {u"NOT (NOT (A = 1 OR B = 2))", u"A = 1 OR B = 2"},
      {u"A = 1 AND (B = 2 OR C = 3)", u"A = 1 AND (B = 2 OR C = 3)"},
      {u"A NOT LIKE 'x%'", u"NOT A LIKE 'x%'"},
      {u"NOT A NOT IN (1, 2)", u"A IN (1, 2)"},
      {u"A NOT BETWEEN 1 AND 5 AND B = 1", u"NOT A BETWEEN 1 AND 5 AND B = 1"},
      {u"A IS NOT NULL OR A IS NUMERIC", u"A IS NOT NULL OR A IS NULL"},
      {u"A LIKE '1!%%' ESCAPE '!'", u"A LIKE '1!%%' ESCAPE '!'"},
      {u"A HAS 'x'", u"A HAS 'x'"},
      {u"A = 1 -- comment\n AND B = 2 /* c */ // more", u"A = 1 AND B = 2"},
      {u"A = 1;", u"A = 1"},
      {u"T.KOD = 1 AND \"C:\\data\\Vnd03.dat\".KOD = 2", u"T.KOD = 1 AND Vnd03.KOD = 2"},
      {u"A || B = 'x'", u"A + B = 'x'"},
      {u"upper(A) = lower('X') AND length(A) = 1", u"UPPER(A) = LOWER('X') AND LENGTH(A) = 1"},
      {u"CURRENT_DATE > A AND today = A", u"CURRENT_DATE > A AND TODAY = A"},
      {u"year(D) = 1 AND Year = 2", u"Year(D) = 1 AND \"Year\" = 2"},
      {u"COUNT(*) > 1 AND NewGuid() = G", u"COUNT(*) > 1 AND NewGuid() = G"},
      {u"date '2024-01-31' = D AND Time '12:00' = T AND TIMESTAMP '1.1.2000 1:00' = S",
       u"DATE '2024-01-31' = D AND TIME '12:00' = T AND TIMESTAMP '1.1.2000 1:00' = S"},
      {u"A = TRUE OR B = false OR C = NULL", u"A = TRUE OR B = FALSE OR C = NULL"},
      {u"A = :Param AND :x = B", u"A = :Param AND :x = B"},
      {u"ÄÖÜäöüß = 1", u"ÄÖÜäöüß = 1"},
      {u"[Építés] = 1", u"\"Építés\" = 1"},
  };
  for (const Case& c : cases) {
    std::u16string written;
    EXPECT_NO_THROW(written = Written(c.text)) << U8(c.text);
    EXPECT_EQ(U8(written), U8(c.written)) << U8(c.text);
  }
}

TEST(SqlParser, LocalDecimalSeparatorInsideNumbers) {
  // With a comma as decimal separator "1,5" is one number, as the engine
  // has always read it; a comma that ends a number is given back.
  EXPECT_EQ(U8(Written(u"A IN (1,5 ,2)", true, u',')), "A IN (1.5, 2)");
  EXPECT_EQ(U8(Written(u"A IN (1,5)", false, u',')), "A IN (1, 5)");
  try {
    Written(u"A IN (1,5,2)", true, u',');
    ADD_FAILURE() << "1,5,2 read as a list";
  } catch (const ESqlParser& error) {
    EXPECT_EQ(error.Message(), "\"1,5,2\" is not a valid number");
  }
}

TEST(SqlParser, TreeOfTheApplicationsFilter) {
  const auto tree = ParseAndOptimize(u"KOD >= '01' And MEGNEV <> 'x'");
  ASSERT_EQ(tree->FBooleanTerms.size(), 1u);
  const auto& factors = tree->FBooleanTerms[0]->FBooleanFactors;
  ASSERT_EQ(factors.size(), 2u);
  struct Expected {
    const char16_t* column;
    TTdbComparisonOperator op;
    const char16_t* literal;
  } expected[] = {{u"KOD", tcoGreaterOrEqual, u"01"}, {u"MEGNEV", tcoUnequal, u"x"}};
  for (size_t i = 0; i < 2; ++i) {
    const TTdbBooleanFactor& factor = *factors[i];
    EXPECT_FALSE(factor.FIsNot);
    EXPECT_EQ(factor.FComparisonOperator, expected[i].op);
    const TTdbSimpleFactor* left = factor.FExpressionLeft->SingleFactor();
    const TTdbSimpleFactor* right = factor.FExpressionRight->SingleFactor();
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left->FType, sftColumn);
    EXPECT_EQ(left->FColumnNameOrLiteral, expected[i].column);
    EXPECT_EQ(right->FType, sftLiteral);
    EXPECT_EQ(right->FLiteralKind, slkString);
    EXPECT_EQ(right->FColumnNameOrLiteral, expected[i].literal);
  }
}

TEST(SqlParser, BetweenBoundsAndNullSafeEquality) {
  auto tree = ParseAndOptimize(u"A BETWEEN 1 AND 5");
  const TTdbBooleanFactor& between = *tree->FBooleanTerms[0]->FBooleanFactors[0];
  EXPECT_EQ(between.FComparisonOperator, tcoBetween);
  EXPECT_EQ(between.FExpressionRightEx->SingleFactor()->FColumnNameOrLiteral, u"1");  // lower bound
  EXPECT_EQ(between.FExpressionRight->SingleFactor()->FColumnNameOrLiteral, u"5");    // upper bound

  for (const char16_t* text : {u"X = Y OR X IS NULL AND Y IS NULL", u"NOT X <> Y OR Y IS NULL AND X IS NULL",
                               u"A = 1 AND (X + 1 = Y OR Y IS NULL AND X + 1 IS NULL)"}) {
    tree = ParseAndOptimize(text);
    bool found = false;
    for (const auto& factor : tree->FBooleanTerms[0]->FBooleanFactors)
      found = found || (factor->FComparisonOperator == tcoEqualNull && !factor->FIsNot);
    EXPECT_TRUE(found) << U8(text);
  }
  // Under NOT the rewrite would turn UNKNOWN into TRUE, so it is not made.
  for (const char16_t* text : {u"NOT (X = Y OR X IS NULL AND Y IS NULL)", u"X = Y OR X IS NULL AND Z IS NULL",
                               u"X = Y OR X IS NULL AND Y IS NOT NULL", u"X = Y OR X IS NULL OR Y IS NULL"}) {
    tree = ParseAndOptimize(text);
    EXPECT_EQ(U8(GetSqlText(*tree)).find("IS NULL") != std::string::npos, true) << U8(text);
    for (const auto& term : tree->FBooleanTerms)
      for (const auto& factor : term->FBooleanFactors) EXPECT_NE(factor->FComparisonOperator, tcoEqualNull);
  }
}

struct ErrorCase {
  std::u16string text;
  int number;
  const char* message;
  int pos;
  int lineNo = 1;
  int charNo = 0;  // 0: same as pos
};

void ExpectParserError(const ErrorCase& c) {
  try {
    ParseAndOptimize(c.text);
    ADD_FAILURE() << "no error for " << U8(c.text);
  } catch (const ESqlParser& error) {
    EXPECT_EQ(error.Number(), c.number) << U8(c.text);
    EXPECT_EQ(error.Message(), c.message) << U8(c.text);
    EXPECT_EQ(error.ErrorPos(), c.pos) << U8(c.text);
    EXPECT_EQ(error.ErrorLineNo(), c.lineNo) << U8(c.text);
    EXPECT_EQ(error.ErrorCharNo(), c.charNo ? c.charNo : c.pos) << U8(c.text);
    EXPECT_STREQ(error.UnitName(), "SQL command");
  }
}

TEST(SqlParser, ScannerErrors) {
  const ErrorCase cases[] = {
      {u"KOD = 'abc", 56, "\"'\" expected but \"<end of statement>\" found", 7},
      {u"KOD = \"abc", 56, "\"\"\" expected but \"<end of statement>\" found", 7},
      {u"KOD = [abc", 56, "\"]\" expected but \"<end of statement>\" found", 7},
      {u"KOD # 1", 45, "The character \"#\" is not allowed here", 5},
      {u"KOD = 12abc", 45, "The character \"a\" is not allowed here", 9},
      {u"KOD = 1-2", 45, "The character \"-\" is not allowed here", 8},
      {u"KOD = ?", 45, "The character \"?\" is not allowed here", 7},
      {u"KOD = :1", 45, "The character \":\" is not allowed here", 7},
      {u"KOD = :", 45, "The character \":\" is not allowed here", 7},
      {u"KOD = $", 45, "The character \"$\" is not allowed here", 7},
      {u"_A = 1", 45, "The character \"_\" is not allowed here", 1},
      {u"Kőd = 1", 45, "The character \"ő\" is not allowed here", 2},
      {u"A = 1 |", 45, "The character \"|\" is not allowed here", 7},
      {u"A = 1 |x", 45, "The character \"|\" is not allowed here", 7},
      {u"A = 1 AND\nB = 2 AND\n  C ? 1", 45, "The character \"?\" is not allowed here", 25, 3, 5},
      {u"A = 1 AND\r\n\tB # 2", 45, "The character \"#\" is not allowed here", 15, 2, 4},
  };
  for (const ErrorCase& c : cases) ExpectParserError(c);
}

TEST(SqlParser, SyntaxErrors) {
  const ErrorCase cases[] = {
      {u"", 56, "\"<identifier>\" expected but \"<end of statement>\" found", 1},
      {u"KOD = 'a' And", 56, "\"<identifier>\" expected but \"<end of statement>\" found", 14},
      {u"KOD 'a'", 56, "\"=\" expected but \"a\" found", 5},
      {u"KOD", 56, "\"=\" expected but \"<end of statement>\" found", 4},
      // Text left over after a complete condition is an error, so a
      // mistyped joining word never applies half a filter.
      {u"KOD = 'a' Adn MEGNEV = 'b'", 56, "\"<end of statement>\" expected but \"Adn\" found", 11},
      {u"KOD = 'a'; x", 56, "\"<end of statement>\" expected but \"x\" found", 12},
      {u"KOD = 'a')", 56, "\"<end of statement>\" expected but \")\" found", 10},
      {u"KOD LIKE 'a' ESCAPE 'ab'", 25, "Syntax error in expression \"ab\"", 21},
      {u"KOD LIKE 'a' ESCAPE x", 25, "Syntax error in expression \"x\"", 21},
      {u"KOD = 1.2.3", 46, "\"1.2.3\" is not a valid number", 7},
      {u"KOD = 12:30", 46, "\"12:30\" is not a valid number", 7},
      {u"KOD = 1E", 46, "\"1E\" is not a valid number", 7},
      {u"LEN(A, B) = 1", 56, "\")\" expected but \",\" found", 6},
      {u"ROUND(A) = 1", 56, "\",\" expected but \")\" found", 8},
      {u"DATE 1 = A", 56, "\"<string>\" expected but \"1\" found", 6},
      {u"A IS 1", 56, "\"NULL\" expected but \"1\" found", 6},
      {u"A BETWEEN 1 OR 2", 56, "\"AND\" expected but \"OR\" found", 13},
      {u"A IN 1", 56, "\"(\" expected but \"1\" found", 6},
      {u"A IN (1 2)", 56, "\")\" expected but \"2\" found", 9},
      {u"CASE WHEN A = 1 THEN 1 END = 1", 56, "\"<identifier>\" expected but \"CASE\" found", 1},
      {u"A = ALL (SELECT B FROM T)", 56, "\"<identifier>\" expected but \"ALL\" found", 5},
      {u"EXISTS (SELECT 1)", 56, "\"<identifier>\" expected but \"EXISTS\" found", 1},
      {u"and = 1", 56, "\"<identifier>\" expected but \"and\" found", 1},
      {u"A = - - 1", 56, "\"<identifier>\" expected but \"-\" found", 7},
      {u"T. = 1", 56, "\"<identifier>\" expected but \"=\" found", 4},
      {u"NOT NOT A = 1", 56, "\"<identifier>\" expected but \"NOT\" found", 5},
      // Both readings of the parenthesis fail: the error further on is shown.
      {u"(KOD = 'a' AND MEGNEV = )", 56, "\"<identifier>\" expected but \")\" found", 25},
      {u"(A + ) = 1", 56, "\"<identifier>\" expected but \")\" found", 6},
      {u"(A) = ", 56, "\"<identifier>\" expected but \"<end of statement>\" found", 7},
  };
  for (const ErrorCase& c : cases) ExpectParserError(c);
}

TEST(SqlParser, UnexpectedTokenKeepsTheFoundTokenAndItsLine) {
  try {
    ParseAndOptimize(u"KOD = '01'\nAnd MEGNEV <> 'x'\nOder N = 1");
    ADD_FAILURE();
  } catch (const ETdbSqlUnexpectedToken& error) {
    EXPECT_EQ(error.FoundToken(), "Oder");
    EXPECT_EQ(error.ErrorLine(), u"Oder N = 1");
    EXPECT_EQ(error.ErrorLineNo(), 3);
    EXPECT_EQ(error.ErrorCharNo(), 1);
    EXPECT_EQ(error.ErrorPos(), 30);
  }
}

TEST(SqlParser, NestingIsCapped) {
  auto nested = [](int depth, std::u16string_view inner) {
    return std::u16string(depth, u'(') + std::u16string(inner) + std::u16string(depth, u')');
  };
  EXPECT_NO_THROW(ParseAndOptimize(nested(kMaxNestingDepth - 2, u"A = 1")));
  EXPECT_NO_THROW(ParseAndOptimize(nested(kMaxNestingDepth - 2, u"A") + u" = 1"));
  for (const std::u16string& text : {nested(kMaxNestingDepth - 1, u"A = 1"), nested(5000, u"A = 1"),
                                     u"A = " + nested(5000, u"1"), u"A = " + std::u16string(5000, u'(')}) {
    try {
      ParseAndOptimize(text);
      ADD_FAILURE() << "no error at length " << text.size();
    } catch (const ESqlParser& error) {
      EXPECT_EQ(error.Number(), 60);
      EXPECT_EQ(error.Message(), "The expression is too long or contains too many nested levels");
    }
  }
  // Long flat lists are no nesting.
  std::u16string flat = u"A = 0";
  for (int i = 1; i < 5000; ++i) flat += u" OR A = 1 AND B = 2 + 3 + 4";
  EXPECT_EQ(ParseAndOptimize(flat)->FBooleanTerms.size(), 5000u);
}

TEST(SqlParser, CloneCopiesTheSyntax) {
  const auto tree = ParseAndOptimize(u"A = 1 AND (B LIKE 'x!%' ESCAPE '!' OR C IN (1, UPPER(D))) AND E BETWEEN 1 AND 2");
  EXPECT_EQ(GetSqlText(*tree->Clone()), GetSqlText(*tree));
}

}  // namespace
}  // namespace kestrel
