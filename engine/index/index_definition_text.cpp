// Index spec texts: parsing, writing back, checking.
#include "engine/index/index_definition_text.h"

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"

namespace kestrel {
namespace {

constexpr char16_t kDescendingMark = u'-';
constexpr char16_t kSizeMark = u':';
constexpr char16_t kQuotedNameMark = u'$';
constexpr char16_t kProceduralMark = u'@';
constexpr int kFirstVarSizeLevel = 6;
constexpr int kFirstSqlExpressionLevel = 5;
constexpr uint16_t kRelationKeySize = 4;

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

bool IsDigits(std::u16string_view text) {
  if (text.empty()) return false;
  for (char16_t c : text)
    if (c < u'0' || c > u'9') return false;
  return true;
}

[[noreturn]] void InvalidSpec(std::u16string_view spec) {
  throw ETdbEngine(tdbErrInvalidIndexSpec, Utf16ToUtf8(spec));
}

// Splits at commas outside brackets and quotes.
std::vector<std::u16string_view> SplitItems(std::u16string_view text) {
  std::vector<std::u16string_view> items;
  int depth = 0;
  char16_t quote = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == u'\'' || c == u'"') {
      quote = c;
    } else if (c == u'(' || c == u'[' || c == u'{') {
      ++depth;
    } else if ((c == u')' || c == u']' || c == u'}') && depth > 0) {
      --depth;
    } else if (c == u',' && depth == 0) {
      items.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  items.push_back(text.substr(start));
  return items;
}

int FindColumn(const TTdbIndexTable& table, std::u16string_view name) {
  for (size_t i = 0; i < table.FColumns.size(); ++i) {
    const std::u16string& columnName = table.FColumns[i].FName;
    const bool same = table.FCaseSensitiveNames
                          ? columnName == name
                          : StandardCollation().Compare(columnName, name, kStandardCollationOptions) == 0;
    if (same) return static_cast<int>(i) + 1;
  }
  if (IsDigits(name) && name.size() <= 5) {
    int number = 0;
    for (char16_t c : name) number = number * 10 + (c - u'0');
    if (number >= 1 && number <= static_cast<int>(table.FColumns.size())) return number;
  }
  return 0;
}

TTdbSortLevel ParseLevel(const TTdbIndexTable& table, std::u16string_view item, std::u16string_view spec) {
  item = Trim(item);
  TTdbSortLevel level;
  if (!item.empty() && item.front() == kDescendingMark) {
    level.Descending = true;
    item = Trim(item.substr(1));
  }
  const size_t colon = item.rfind(kSizeMark);
  if (colon != std::u16string_view::npos && IsDigits(Trim(item.substr(colon + 1)))) item = Trim(item.substr(0, colon));
  if (!item.empty() && item.front() == kQuotedNameMark) item.remove_prefix(1);
  if (item.size() >= 2 && item.front() == u'{' && item.back() == u'}') item = item.substr(1, item.size() - 2);
  if (item.empty()) InvalidSpec(spec);
  const int columnNo = FindColumn(table, item);
  if (columnNo == 0) InvalidSpec(spec);
  const TTdbIndexColumn& column = *table.Column(columnNo);
  level.ColumnType = column.FColumnType;
  level.ColumnNo = static_cast<uint16_t>(columnNo);
  level.Size = column.FSize;
  return level;
}

void CheckItemSize(const TTdbSortDef& def, const TTdbIndexTable& table) {
  if (def.FSize <= kIndexRecordNoSize || def.FSize > GetMaxIndSize(table.FLevel))
    throw ETdbEngine(tdbErrIndexDataTooLarge, Utf16ToUtf8(CalcSpecification(def, table, true, false, false, false)));
}

TTdbSortDef CalculatedDefinition(const TTdbIndexTable& table, std::u16string_view spec, bool unique,
                                 const TTdbPrepareIndexExpression& prepare) {
  if (spec.size() < 2 || spec.back() != u')') InvalidSpec(spec);
  std::u16string_view expression = spec.substr(1, spec.size() - 2);
  bool procedural = table.FLevel < kFirstSqlExpressionLevel;
  if (!expression.empty() && expression.front() == kProceduralMark) {
    if (table.FLevel >= kFirstSqlExpressionLevel) procedural = true;
    expression.remove_prefix(1);
  }
  if (Trim(expression).empty() || !prepare ||
      static_cast<int>(expression.size()) > GetMaxIndexExpressionLength(table.FLevel))
    InvalidSpec(spec);
  TTdbSortDef def;
  def.IsCalculated = true;
  def.IsUnique = unique;
  def.IsProcedural = procedural;
  def.FSource = std::u16string(expression);
  def.FCalculation = prepare(expression, procedural);
  if (!def.FCalculation) InvalidSpec(spec);
  def.Items.push_back({def.FCalculation->ResultType(), 0, def.FCalculation->ResultSize(), false});
  def.IsVarSize = table.FLevel >= kFirstVarSizeLevel && IsStringColumnType(def.Items[0].ColumnType);
  def.CalcSize(table.FLevel);
  CheckItemSize(def, table);
  return def;
}

}  // namespace

TTdbSortDef CalcIndexDefinition(const TTdbIndexTable& table, std::u16string_view spec, bool unique,
                                const TTdbPrepareIndexExpression& prepare) {
  const std::u16string_view text = Trim(spec);
  if (!text.empty() && text.front() == u'(') return CalculatedDefinition(table, text, unique, prepare);

  TTdbSortDef def;
  def.IsUnique = unique;
  def.FSource = std::u16string(text);
  for (std::u16string_view item : SplitItems(text)) {
    def.Items.push_back(ParseLevel(table, item, spec));
    if (def.LevelCount() > GetMaxIndLevelCount(table.FLevel)) throw ETdbEngine(tdbErrTooManyLevels);
  }
  if (table.FLevel >= kFirstVarSizeLevel)
    for (const TTdbSortLevel& level : def.Items)
      if (IsStringColumnType(level.ColumnType)) def.IsVarSize = true;
  def.CalcSize(table.FLevel);
  CheckItemSize(def, table);
  return def;
}

std::u16string CalcSpecification(const TTdbSortDef& def, const TTdbIndexTable& table, bool readable,
                                  bool fieldNumbers, bool withSize, bool reverse) {
  if (def.IsCalculated) {
    std::u16string text = u"(";
    if (def.IsProcedural && table.FLevel >= kFirstSqlExpressionLevel) text += kProceduralMark;
    return text + def.FSource + u")";
  }
  std::u16string text;
  for (const TTdbSortLevel& level : def.Items) {
    if (!text.empty()) text += u", ";
    if (level.Descending != reverse) text += kDescendingMark;
    const TTdbIndexColumn* column = table.Column(level.ColumnNo);
    if (fieldNumbers || column == nullptr) {
      if (!readable) text += kQuotedNameMark;
      text += Utf8ToUtf16(std::to_string(level.ColumnNo));
    } else if (readable) {
      text += column->FName;
    } else {
      text += u"${" + column->FName + u"}";
    }
    if (withSize) text += kSizeMark + Utf8ToUtf16(std::to_string(level.Size));
  }
  return text;
}

void CheckIndexDefinition(const TTdbSortDef& def, const TTdbIndexTable& table) {
  if (!def.IsCalculated) {
    for (int i = 0; i < def.LevelCount(); ++i) {
      const TTdbSortLevel& level = def.Items[i];
      const TTdbIndexColumn* column = table.Column(level.ColumnNo);
      if (column == nullptr || column->FOffset + column->FSize > table.FRecordSize)
        throw ETdbEngine(tdbErrInvalidIndexSpec, "Level " + std::to_string(i + 1));
      const std::string columnName = Utf16ToUtf8(column->FName);
      if (level.ColumnType == tctRelationKey) {
        if (level.Size != kRelationKeySize) throw ETdbEngine(tdbErrInvalidIndexSpec, columnName);
        continue;
      }
      if (!IsIndexableColumnType(column->FColumnType) || level.ColumnType != column->FColumnType)
        throw ETdbEngine(tdbErrInvalidIndexSpec, columnName);
      const bool isString = level.ColumnType == tctString || level.ColumnType == tctWideString;
      if (isString ? (level.Size == 0 || level.Size > column->FSize) : level.Size != column->FSize)
        throw ETdbEngine(tdbErrInvalidIndexSpec, columnName);
    }
  }
  CheckItemSize(def, table);
}

}  // namespace kestrel
