// Copying, writing back and comparing condition trees. Only the syntax is
// copied; prepared types and values are not.
#include "engine/cond/sql_syntax.h"

#include "engine/cond/sql_scanner.h"

namespace kestrel {

namespace {

template <typename T>
std::unique_ptr<T> CloneOf(const std::unique_ptr<T>& node) {
  return node ? node->Clone() : nullptr;
}

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

std::u16string Quoted(std::u16string_view text, char16_t quote) {
  std::u16string result(1, quote);
  for (char16_t c : text) {
    result += c;
    if (c == quote) result += c;
  }
  result += quote;
  return result;
}

// A name that the scanner reads back as the same identifier is written as it
// is; every other name is delimited.
std::u16string NameText(std::u16string_view name) {
  bool plain = !name.empty() && IsSqlNameStart(name[0]);
  for (char16_t c : name) plain = plain && IsSqlNameChar(c);
  if (plain && KeywordTokenType(name) == sqltIdentifier) {
    const TSqlFunctionDef* def = FindSqlFunction(name);
    const std::u16string upper = [&] {
      std::u16string s(name);
      for (char16_t& c : s) c = AsciiUpper(c);
      return s;
    }();
    if (!def && upper != u"DATE" && upper != u"TIME" && upper != u"TIMESTAMP") return std::u16string(name);
  }
  return Quoted(name, u'"');
}

const char16_t* OperatorText(TTdbDataBinaryOperator op) {
  switch (op) {
    case dboPlus: return u" + ";
    case dboMinus: return u" - ";
    case dboMultiply: return u" * ";
    case dboDivide: return u" / ";
    case dboDiv: return u" DIV ";
    case dboMod: return u" MOD ";
    case dboNone: break;
  }
  return u"";
}

const char16_t* ComparisonText(TTdbComparisonOperator op) {
  switch (op) {
    case tcoEqual: return u" = ";
    case tcoUnequal: return u" <> ";
    case tcoLess: return u" < ";
    case tcoLessOrEqual: return u" <= ";
    case tcoGreater: return u" > ";
    case tcoGreaterOrEqual: return u" >= ";
    case tcoLike: return u" LIKE ";
    case tcoHas: return u" HAS ";
    default: break;
  }
  return u" ? ";
}

std::u16string FactorText(const TTdbSimpleFactor& factor) {
  std::u16string text = factor.FSign == sfsMinus ? u"-" : factor.FSign == sfsPlus ? u"+" : u"";
  switch (factor.FType) {
    case sftLiteral:
      switch (factor.FLiteralKind) {
        case slkNull: return text + u"NULL";
        case slkNumber:
        case slkBoolean: return text + factor.FColumnNameOrLiteral;
        case slkString: return text + Quoted(factor.FColumnNameOrLiteral, u'\'');
        case slkDate: return text + u"DATE " + Quoted(factor.FColumnNameOrLiteral, u'\'');
        case slkTime: return text + u"TIME " + Quoted(factor.FColumnNameOrLiteral, u'\'');
        case slkTimeStamp: return text + u"TIMESTAMP " + Quoted(factor.FColumnNameOrLiteral, u'\'');
      }
      break;
    case sftColumn:
      if (!factor.FTableName.empty()) text += NameText(factor.FTableName) + u".";
      return text + NameText(factor.FColumnNameOrLiteral);
    case sftParameter: return text + factor.FParameterName;
    case sftExpression: return text + u"(" + GetSqlText(*factor.FExpression) + u")";
    case sftFunction: {
      const TTdbFunction& function = *factor.FSqlFunction;
      text += std::u16string(function.FDef->FName);
      if (function.FDef->FMaxArgs == 0 && !function.FDef->FIsDataFunction) return text;
      text += u"(";
      if (function.FIsCountAll) text += u"*";
      for (size_t i = 0; i < function.FArguments.size(); ++i) {
        if (i > 0) text += u", ";
        text += GetSqlText(*function.FArguments[i]);
      }
      return text + u")";
    }
    case sftUnknown:
    case sftOuterReference: break;
  }
  return text;
}

std::u16string TermText(const TTdbTerm& term) {
  std::u16string text;
  for (const TTdbTermItem& item : term.FFactors) text += OperatorText(item.FOperator) + FactorText(*item.FFactor);
  return text;
}

bool SameFactor(const TTdbSimpleFactor& a, const TTdbSimpleFactor& b) {
  if (a.FSign != b.FSign || a.FType != b.FType) return false;
  switch (a.FType) {
    case sftLiteral:
      return a.FLiteralKind == b.FLiteralKind && a.FColumnNameOrLiteral == b.FColumnNameOrLiteral;
    case sftColumn:
      return SameName(a.FTableName, b.FTableName) && SameName(a.FColumnNameOrLiteral, b.FColumnNameOrLiteral);
    case sftParameter: return SameName(a.FParameterName, b.FParameterName);
    case sftExpression: return SameSyntax(*a.FExpression, *b.FExpression);
    case sftFunction: {
      const TTdbFunction& fa = *a.FSqlFunction;
      const TTdbFunction& fb = *b.FSqlFunction;
      if (fa.FDef->FId != fb.FDef->FId || fa.FIsCountAll != fb.FIsCountAll ||
          fa.FArguments.size() != fb.FArguments.size())
        return false;
      for (size_t i = 0; i < fa.FArguments.size(); ++i)
        if (!SameSyntax(*fa.FArguments[i], *fb.FArguments[i])) return false;
      return true;
    }
    case sftUnknown:
    case sftOuterReference: break;
  }
  return false;
}

}  // namespace

std::unique_ptr<TTdbFunction> TTdbFunction::Clone() const {
  auto copy = std::make_unique<TTdbFunction>();
  copy->FDef = FDef;
  copy->FIsCountAll = FIsCountAll;
  for (const auto& argument : FArguments) copy->FArguments.push_back(argument->Clone());
  return copy;
}

std::unique_ptr<TTdbSimpleFactor> TTdbSimpleFactor::Clone() const {
  auto copy = std::make_unique<TTdbSimpleFactor>();
  copy->FSign = FSign;
  copy->FTextPos = FTextPos;
  copy->FType = FType;
  copy->FColumnNameOrLiteral = FColumnNameOrLiteral;
  copy->FTableName = FTableName;
  copy->FLiteralKind = FLiteralKind;
  copy->FLiteralSize = FLiteralSize;
  if (FLiteralKind == slkNumber) copy->FLiteralValue = FLiteralValue;  // the parser's value
  copy->FParameterName = FParameterName;
  copy->FExpression = CloneOf(FExpression);
  copy->FSqlFunction = CloneOf(FSqlFunction);
  return copy;
}

std::unique_ptr<TTdbTerm> TTdbTerm::Clone() const {
  auto copy = std::make_unique<TTdbTerm>();
  for (const TTdbTermItem& item : FFactors) copy->FFactors.push_back({item.FOperator, item.FFactor->Clone(), {}});
  return copy;
}

std::unique_ptr<TTdbExpression> TTdbExpression::Clone() const {
  auto copy = std::make_unique<TTdbExpression>();
  copy->FTextPos = FTextPos;
  for (const TTdbExpressionItem& item : FTerms) copy->FTerms.push_back({item.FOperator, item.FTerm->Clone(), {}});
  return copy;
}

TTdbSimpleFactor* TTdbExpression::SingleFactor() const {
  if (FTerms.size() != 1 || FTerms[0].FTerm->FFactors.size() != 1) return nullptr;
  return FTerms[0].FTerm->FFactors[0].FFactor.get();
}

std::unique_ptr<TTdbSqlValueSet> TTdbSqlValueSet::Clone() const {
  auto copy = std::make_unique<TTdbSqlValueSet>();
  for (const auto& value : FValues) copy->FValues.push_back(value->Clone());
  return copy;
}

std::unique_ptr<TTdbBooleanFactor> TTdbBooleanFactor::Clone() const {
  auto copy = std::make_unique<TTdbBooleanFactor>();
  copy->FIsNot = FIsNot;
  copy->FComparisonOperator = FComparisonOperator;
  copy->FExpressionLeft = CloneOf(FExpressionLeft);
  copy->FExpressionRight = CloneOf(FExpressionRight);
  copy->FExpressionRightEx = CloneOf(FExpressionRightEx);
  copy->FValueSet = CloneOf(FValueSet);
  copy->FSearchCondition = CloneOf(FSearchCondition);
  copy->FHasLikeEscape = FHasLikeEscape;
  copy->FLikeEscapeChar = FLikeEscapeChar;
  copy->FTextPos = FTextPos;
  return copy;
}

std::unique_ptr<TTdbBooleanTerm> TTdbBooleanTerm::Clone() const {
  auto copy = std::make_unique<TTdbBooleanTerm>();
  for (const auto& factor : FBooleanFactors) copy->FBooleanFactors.push_back(factor->Clone());
  return copy;
}

std::unique_ptr<TTdbSearchCondition> TTdbSearchCondition::Clone() const {
  auto copy = std::make_unique<TTdbSearchCondition>();
  for (const auto& term : FBooleanTerms) copy->FBooleanTerms.push_back(term->Clone());
  return copy;
}

std::u16string GetSqlText(const TTdbExpression& node) {
  std::u16string text;
  for (const TTdbExpressionItem& item : node.FTerms) text += OperatorText(item.FOperator) + TermText(*item.FTerm);
  return text;
}

std::u16string GetSqlText(const TTdbBooleanFactor& node) {
  std::u16string text = node.FIsNot ? u"NOT " : u"";
  if (node.FSearchCondition) return text + u"(" + GetSqlText(*node.FSearchCondition) + u")";
  const std::u16string left = GetSqlText(*node.FExpressionLeft);
  switch (node.FComparisonOperator) {
    case tcoIsNull: return text + left + u" IS NULL";
    case tcoIsNotNull: return text + left + u" IS NOT NULL";
    case tcoEqualNull: {
      const std::u16string right = GetSqlText(*node.FExpressionRight);
      return text + u"(" + left + u" = " + right + u" OR " + left + u" IS NULL AND " + right + u" IS NULL)";
    }
    case tcoBetween:
      return text + left + u" BETWEEN " + GetSqlText(*node.FExpressionRightEx) + u" AND " +
             GetSqlText(*node.FExpressionRight);
    case tcoIn: {
      text += left + u" IN (";
      for (size_t i = 0; i < node.FValueSet->FValues.size(); ++i) {
        if (i > 0) text += u", ";
        text += GetSqlText(*node.FValueSet->FValues[i]);
      }
      return text + u")";
    }
    default: break;
  }
  text += left + ComparisonText(node.FComparisonOperator) + GetSqlText(*node.FExpressionRight);
  if (node.FHasLikeEscape) text += u" ESCAPE " + Quoted(std::u16string(1, node.FLikeEscapeChar), u'\'');
  return text;
}

std::u16string GetSqlText(const TTdbSearchCondition& node) {
  std::u16string text;
  for (size_t i = 0; i < node.FBooleanTerms.size(); ++i) {
    if (i > 0) text += u" OR ";
    const auto& factors = node.FBooleanTerms[i]->FBooleanFactors;
    for (size_t j = 0; j < factors.size(); ++j) {
      if (j > 0) text += u" AND ";
      text += GetSqlText(*factors[j]);
    }
  }
  return text;
}

bool SameSyntax(const TTdbExpression& a, const TTdbExpression& b) {
  if (a.FTerms.size() != b.FTerms.size()) return false;
  for (size_t i = 0; i < a.FTerms.size(); ++i) {
    const TTdbTerm& ta = *a.FTerms[i].FTerm;
    const TTdbTerm& tb = *b.FTerms[i].FTerm;
    if (a.FTerms[i].FOperator != b.FTerms[i].FOperator || ta.FFactors.size() != tb.FFactors.size()) return false;
    for (size_t j = 0; j < ta.FFactors.size(); ++j)
      if (ta.FFactors[j].FOperator != tb.FFactors[j].FOperator ||
          !SameFactor(*ta.FFactors[j].FFactor, *tb.FFactors[j].FFactor))
        return false;
  }
  return true;
}

}  // namespace kestrel
