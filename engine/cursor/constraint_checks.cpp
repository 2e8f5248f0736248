// The checker of check constraints and foreign keys (see constraint_checks.h).
#include "engine/cursor/constraint_checks.h"

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/cursor/table_record_source.h"
#include "engine/index/collation.h"
#include "engine/index/index_definition_text.h"

namespace kestrel {

namespace {

constexpr const char16_t* kForeignKeyIndexPrefix = u"IR_";

// 0-based column indexes of the columns an index's column list ("A,B") names.
std::vector<std::size_t> ColumnsOf(const TTdbBaseTable& table, const std::u16string& columns) {
  const TTdbSortDef def = CalcIndexDefinition(table.IndexTable(), columns, false);
  std::vector<std::size_t> indexes;
  for (const TTdbSortLevel& level : def.Items) indexes.push_back(static_cast<std::size_t>(level.ColumnNo) - 1);
  return indexes;
}

TTdbValue ValueOf(const TTdbBaseTable& table, std::span<const std::uint8_t> record, std::size_t column) {
  return ReadValue(table.Columns()[column].DataType, table.Columns().ColumnBytes(record, column));
}

// A record image of `to` holding the values of `fromColumns` of `record`
// (a record of `from`) in `toColumns`; the other columns stay empty.
std::vector<std::uint8_t> KeyImage(const TTdbBaseTable& from, std::span<const std::uint8_t> record,
                                   const std::vector<std::size_t>& fromColumns, TTdbBaseTable& to,
                                   const std::vector<std::size_t>& toColumns) {
  std::vector<std::uint8_t> image(static_cast<std::size_t>(to.RecordSize()));
  for (std::size_t i = 0; i < fromColumns.size() && i < toColumns.size(); ++i)
    WriteValue(to.Columns()[toColumns[i]].DataType, to.Columns().ColumnBytes(std::span<std::uint8_t>(image), toColumns[i]),
               ValueOf(from, record, fromColumns[i]));
  return image;
}

bool AllNull(const TTdbBaseTable& table, std::span<const std::uint8_t> record, const std::vector<std::size_t>& columns) {
  for (std::size_t column : columns)
    if (!std::holds_alternative<std::monostate>(ValueOf(table, record, column))) return false;
  return true;
}

bool SameValues(const TTdbBaseTable& table, std::span<const std::uint8_t> left, std::span<const std::uint8_t> right,
                const std::vector<std::size_t>& columns) {
  for (std::size_t column : columns)
    if (ValueOf(table, left, column) != ValueOf(table, right, column)) return false;
  return true;
}

bool NamesTable(const TTdbForeignKeyDef& rule, const TTdbBaseTable& table) {
  return StandardCollation().Compare(rule.ParentTable, Utf8ToUtf16(table.StdName()), 0) == 0;
}

}  // namespace

TTdbConstraintChecks::TTdbConstraintChecks(std::shared_ptr<ITdbRelatedTables> related)
    : FRelated(std::move(related)) {}

TTdbConstraintChecks::~TTdbConstraintChecks() = default;

void TTdbConstraintChecks::Prepare(TTdbBaseTable& table) {
  if (table.CheckDefs().empty() && table.ForeignKeyDefs().empty()) return;
  try {
    Conditions(table);
  } catch (const ETdbEngine&) {
    // A condition that cannot be prepared refuses every change, with its
    // error, when the change is checked.
  }
  for (const TTdbForeignKeyDef& rule : table.ForeignKeyDefs()) {
    if (table.FindIndexOn(rule.Columns) < 0 && (table.Rights() & tarIndex) != 0)
      table.CreateIndex(kForeignKeyIndexPrefix + rule.Name, rule.Columns, false);
    IndexOn(table, rule.Columns, Utf16ToUtf8(rule.Columns));
    TTdbBaseTable& parent = Parent(table, rule);
    IndexOn(parent, rule.ParentColumns, Utf16ToUtf8(rule.ParentTable + u"." + rule.ParentColumns));
  }
}

TTdbConstraintChecks::TTableConditions& TTdbConstraintChecks::Conditions(TTdbBaseTable& table) {
  TTableConditions& entry = FTables[&table];
  if (!entry.Source)
    entry.Source = NewTableRecordSource(table, [this](int columnNo) -> const TTdbBlobData* {
      if (!FNewValues) return nullptr;
      for (const TTdbBlobData& value : *FNewValues)
        if (value.FieldNo == columnNo) return &value;
      return nullptr;
    });
  if (entry.Conditions.size() != table.CheckDefs().size()) {
    entry.Conditions.clear();
    for (const TTdbCheckDef& check : table.CheckDefs())
      entry.Conditions.push_back(std::make_unique<TTdbSqlCondition>(check.Condition));
  }
  for (auto& condition : entry.Conditions)
    if (!condition->IsPrepared()) condition->Prepare(*entry.Source);
  return entry;
}

int TTdbConstraintChecks::IndexOn(TTdbBaseTable& table, const std::u16string& columns, const std::string& what) {
  const int indexNo = table.FindIndexOn(columns);
  if (indexNo < 0) throw ETdbEngine(tdbErrNoSuitableIndex, what);
  return indexNo;
}

TTdbBaseTable& TTdbConstraintChecks::Parent(TTdbBaseTable& child, const TTdbForeignKeyDef& rule) {
  TTdbBaseTable* parent = FRelated ? FRelated->ParentTable(child, rule.ParentTable) : nullptr;
  if (!parent) throw ETdbEngine(tdbErrParentTableNotFound, Utf16ToUtf8(rule.ParentTable));
  return *parent;
}

void TTdbConstraintChecks::CheckRecord(TTdbBaseTable& table, std::span<const std::uint8_t> record,
                                       const TTdbBlobDataList& values) {
  if (!table.CheckDefs().empty()) {
    TTableConditions& entry = Conditions(table);
    struct TNewValuesScope {
      const TTdbBlobDataList*& Slot;
      ~TNewValuesScope() { Slot = nullptr; }
    } scope{FNewValues};
    FNewValues = &values;
    entry.Source->SetRecord(record);
    for (std::size_t i = 0; i < entry.Conditions.size(); ++i)
      if (entry.Conditions[i]->EvaluateTruth() == ctFalse)
        throw ETdbEngine(tdbErrConstraint, Utf16ToUtf8(table.CheckDefs()[i].Condition));
  }
  for (const TTdbForeignKeyDef& rule : table.ForeignKeyDefs()) {
    const std::vector<std::size_t> columns = ColumnsOf(table, rule.Columns);
    if (AllNull(table, record, columns)) continue;
    TTdbBaseTable& parent = Parent(table, rule);
    const std::vector<std::size_t> parentColumns = ColumnsOf(parent, rule.ParentColumns);
    const int indexNo = IndexOn(parent, rule.ParentColumns, Utf16ToUtf8(rule.ParentTable + u"." + rule.ParentColumns));
    const std::vector<std::uint8_t> key = KeyImage(table, record, columns, parent, parentColumns);
    if (!parent.HasIndexKey(indexNo, key, static_cast<int>(columns.size())))
      throw ETdbEngine(tdbErrParentRowMissing, Utf16ToUtf8(rule.Name));
  }
}

void TTdbConstraintChecks::CheckReferences(TTdbBaseTable& table, std::span<const std::uint8_t> oldRecord,
                                           std::span<const std::uint8_t> newRecord) {
  if (!FRelated) return;
  for (TTdbBaseTable* child : FRelated->ChildTables(table)) {
    for (const TTdbForeignKeyDef& rule : child->ForeignKeyDefs()) {
      if (!NamesTable(rule, table)) continue;
      const std::vector<std::size_t> parentColumns = ColumnsOf(table, rule.ParentColumns);
      if (AllNull(table, oldRecord, parentColumns)) continue;
      if (!newRecord.empty() && SameValues(table, oldRecord, newRecord, parentColumns)) continue;
      const std::vector<std::size_t> columns = ColumnsOf(*child, rule.Columns);
      const std::vector<std::uint8_t> key = KeyImage(table, oldRecord, parentColumns, *child, columns);
      // A child never opened for changes may not have its "IR_" index yet:
      // then its rows are walked.
      const int indexNo = child->FindIndexOn(rule.Columns);
      const bool referred = indexNo >= 0 ? child->HasIndexKey(indexNo, key, static_cast<int>(columns.size()))
                                         : child->HasRecordWithKey(rule.Columns, key);
      if (referred) throw ETdbEngine(tdbErrIntegrityRule, Utf16ToUtf8(rule.Name));
    }
  }
}

void TTdbConstraintChecks::Forget(const TTdbBaseTable& table) noexcept { FTables.erase(&table); }

}  // namespace kestrel
