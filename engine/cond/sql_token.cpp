// The keyword table and the display names of the SQL tokens.
#include "engine/cond/sql_token.h"

#include <array>

namespace kestrel {

namespace {

struct TKeyword {
  std::u16string_view FText;
  TSqlTokenType FType;
};

// ASCENDING and DESCENDING are synonyms of ASC and DESC; NUMERIC yields the
// NULL token, as the engine has always read it.
constexpr TKeyword kKeywords[] = {
      {u"ACTION", sqltAction},
      {u"ADD", sqltAdd},
      {u"ALL", sqltAll},
      {u"ALTER", sqltAlter},
      {u"AND", sqltAnd},
      {u"ANY", sqltAny},
      {u"AS", sqltAs},
      {u"ASC", sqltAsc},
      {u"ASCENDING", sqltAsc},
      {u"AT", sqltAt},
      {u"BETWEEN", sqltBetween},
      {u"BOTH", sqltBoth},
      {u"BY", sqltBy},
      {u"CASCADE", sqltCascade},
      {u"CASE", sqltCase},
      {u"CHECK", sqltCheck},
      {u"COLLATE", sqltCollate},
      {u"COLUMN", sqltColumn},
      {u"CONSTRAINT", sqltConstraint},
      {u"CONTAINING", sqltContaining},
      {u"CONTAINS", sqltContains},
      {u"CORRESPONDING", sqltCorresponding},
      {u"CREATE", sqltCreate},
      {u"CROSS", sqltCross},
      {u"DAT", sqltDat},
      {u"DEFAULT", sqltDefault},
      {u"DELETE", sqltDelete},
      {u"DESC", sqltDesc},
      {u"DESCENDING", sqltDesc},
      {u"DICTIONARY", sqltDictionary},
      {u"DIV", sqltDiv},
      {u"DISTINCT", sqltDistinct},
      {u"DROP", sqltDrop},
      {u"ENCRYPTION", sqltEncryption},
      {u"ELSE", sqltElse},
      {u"END", sqltEnd},
      {u"ESCAPE", sqltEscape},
      {u"EXCEPT", sqltExcept},
      {u"EXISTS", sqltExists},
      {u"FALSE", sqltFalse},
      {u"FOR", sqltFor},
      {u"FOREIGN", sqltForeign},
      {u"FROM", sqltFrom},
      {u"FULL", sqltFull},
      {u"FULLTEXTINDEX", sqltFulltextIndex},
      {u"GROUP", sqltGroup},
      {u"HAS", sqltHas},
      {u"HAVING", sqltHaving},
      {u"IN", sqltIn},
      {u"INDEX", sqltIndex},
      {u"INNER", sqltInner},
      {u"INSERT", sqltInsert},
      {u"INTERSECT", sqltIntersect},
      {u"INTO", sqltInto},
      {u"IS", sqltIs},
      {u"JOIN", sqltJoin},
      {u"KEY", sqltKey},
      {u"LEADING", sqltLeading},
      {u"LEFT", sqltLeft},
      {u"LEVEL", sqltLevel},
      {u"LIKE", sqltLike},
      {u"MOD", sqltMod},
      {u"MODIFY", sqltModify},
      {u"NO", sqltNo},
      {u"NOT", sqltNot},
      {u"NULL", sqltNull},
      {u"NUMERIC", sqltNull},
      {u"ON", sqltOn},
      {u"OR", sqltOr},
      {u"ORDER", sqltOrder},
      {u"OUTER", sqltOuter},
      {u"PASSWORD", sqltPassword},
      {u"PRECISION", sqltPrecision},
      {u"PRIMARY", sqltPrimary},
      {u"REFERENCES", sqltReferences},
      {u"RENAME", sqltRename},
      {u"RIGHT", sqltRight},
      {u"SELECT", sqltSelect},
      {u"SET", sqltSet},
      {u"SOME", sqltSome},
      {u"TABLE", sqltTable},
      {u"THEN", sqltThen},
      {u"TO", sqltTo},
      {u"TOP", sqltTop},
      {u"TRAILING", sqltTrailing},
      {u"TRUE", sqltTrue},
      {u"UNION", sqltUnion},
      {u"UNIQUE", sqltUnique},
      {u"UPDATE", sqltUpdate},
      {u"VALUES", sqltValues},
      {u"WHEN", sqltWhen},
      {u"WHERE", sqltWhere},};

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

}  // namespace

TSqlTokenType KeywordTokenType(std::u16string_view name) {
  for (const TKeyword& keyword : kKeywords) {
    if (keyword.FText.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) same = AsciiUpper(name[i]) == keyword.FText[i];
    if (same) return keyword.FType;
  }
  return sqltIdentifier;
}

std::u16string TokenDisplayName(TSqlTokenType type) {
  switch (type) {
    case sqltDataType: return u"<data type>";
    case sqltEndOfStatement: return u"<end of statement>";
    case sqltIdentifier: return u"<identifier>";
    case sqltReference: return u"<name of table, index, column etc.>";
    case sqltString: return u"<string>";
    case sqltNumber: return u"<number>";
    case sqltLeftParenthesis: return u"(";
    case sqltRightParenthesis: return u")";
    case sqltComma: return u",";
    case sqltSemicolon: return u";";
    case sqltAsterisk: return u"*";
    case sqltDot: return u".";
    case sqltEqual: return u"=";
    case sqltNotEqual: return u"!=";
    case sqltPlus: return u"+";
    case sqltMinus: return u"-";
    case sqltDivisor: return u"/";
    case sqltMod: return u"%";
    case sqltExclamationMark: return u"!";
    case sqltGreater: return u">";
    case sqltEqualOrGreater: return u">=";
    case sqltLess: return u"<";
    case sqltEqualOrLess: return u"<=";
    case sqltPipe: return u"|";
    case sqltParameter: return u":";
    default: break;
  }
  // The first keyword of a type is its own spelling (ASC before ASCENDING).
  for (const TKeyword& keyword : kKeywords)
    if (keyword.FType == type) return std::u16string(keyword.FText);
  return u"?";
}

}  // namespace kestrel
