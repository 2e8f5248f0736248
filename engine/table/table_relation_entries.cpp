// TTdbBaseTable: the pairs of its Relation columns. Each Relation column has
// a relation table (RelationTableFileName) whose records pair the record id
// of a record of this table (Master) with the record id of a record of the
// linked table (Detail). Relation tables are opened on first use with this
// table's rights, key and sharing and stay open until Close.
//
// A change of a relation table made while this table runs a transaction
// starts the relation table's own transaction, which this table's commit
// and rollback end with it, so a rolled-back delete of a master record
// brings its pairs back. Deleting a record removes its pairs in the same
// change: before the record goes, with a step that puts them back should the
// delete fail (record_ops.cpp).
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/table/base_table.h"

namespace kestrel {

namespace {

constexpr std::size_t kMasterColumn = 0;
constexpr std::size_t kDetailColumn = 1;

std::int32_t LinkValue(const TTdbBaseTable& relation, std::span<const std::uint8_t> record, std::size_t column) {
  const TTdbColumnDefs& columns = relation.Columns();
  const TTdbValue value = ReadValue(columns[column].DataType, columns.ColumnBytes(record, column));
  return std::holds_alternative<int64_t>(value) ? static_cast<std::int32_t>(std::get<int64_t>(value)) : 0;
}

// The record numbers of the pairs of masterId (every pair when detailId is
// 0, else the pair with detailId), last first so deleting them in that
// order moves none of the others.
std::vector<std::int32_t> PairRecords(TTdbBaseTable& relation, std::int32_t masterId, std::int32_t detailId) {
  std::vector<std::int32_t> found;
  std::vector<std::uint8_t> record(static_cast<std::size_t>(relation.RecordSize()));
  for (std::int32_t no = relation.GetFirstRecordNo(); no > 0; no = relation.GetNextRecordNo(no)) {
    relation.ReadRecord(no, record);
    if (LinkValue(relation, record, kMasterColumn) != masterId) continue;
    if (detailId != 0 && LinkValue(relation, record, kDetailColumn) != detailId) continue;
    found.insert(found.begin(), no);
  }
  return found;
}

}  // namespace

bool TTdbBaseTable::HasRelationColumns() const {
  for (const TTdbColumnDef& column : FColumnDefs)
    if (column.DataType.ColumnType() == tctRelation) return true;
  return false;
}

std::int32_t TTdbBaseTable::RecordIdOf(std::span<const std::uint8_t> record) const {
  if (FRecordIdFieldNo == 0) return 0;
  const std::size_t index = static_cast<std::size_t>(FRecordIdFieldNo - 1);
  const TTdbValue value = ReadValue(FColumnDefs[index].DataType, FColumnDefs.ColumnBytes(record, index));
  return std::holds_alternative<int64_t>(value) ? static_cast<std::int32_t>(std::get<int64_t>(value)) : 0;
}

TTdbBaseTable& TTdbBaseTable::RelationTable(int fieldNo) {
  RequireActive();
  if (fieldNo < 1 || fieldNo > ColumnCount() ||
      FColumnDefs[static_cast<std::size_t>(fieldNo - 1)].DataType.ColumnType() != tctRelation)
    throw ETdbEngine(tdbErrFieldTypeRequired, "column " + std::to_string(fieldNo));
  if (FRecordIdFieldNo == 0) throw ETdbEngine(tdbErrNoRecordIdColumn, FStdName);
  auto found = FRelationTables.find(fieldNo);
  if (found != FRelationTables.end()) return *found->second;
  const TTdbColumnDef& column = FColumnDefs[static_cast<std::size_t>(fieldNo - 1)];
  auto relation = std::make_unique<TTdbBaseTable>(FPageManager, FFileSystem, FClientHdl);
  // The pairs belong to this table's records: whoever may change those
  // may change their pairs.
  relation->SetRights(ReadOnly() ? FRights : (FRights | tarAppend | tarEdit | tarDelete));
  relation->SetFileName(RelationTableFileName(column));
  relation->SetKey(FCryptor.Key());
  if (FLockFileSystem) relation->SetSharing(FLockFileSystem, *FClock, FSessionId, FSessionName);
  try {
    relation->Open();
    relation->Setup();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrRelationTableOpen, Utf16ToUtf8(column.Name));
  }
  // A relation table pairs two Link columns; anything else is not one.
  const TTdbColumnDefs& columns = relation->Columns();
  if (columns.Count() != 2 || columns[kMasterColumn].DataType.ColumnType() != tctLink ||
      columns[kDetailColumn].DataType.ColumnType() != tctLink)
    throw ETdbEngine(tdbErrRelationTableOpen, Utf16ToUtf8(column.Name));
  TTdbBaseTable& result = *relation;
  FRelationTables.emplace(fieldNo, std::move(relation));
  return result;
}

void TTdbBaseTable::OpenRelationTables() {
  std::lock_guard guard(FLockingMutex);
  for (int fieldNo = 1; fieldNo <= ColumnCount(); ++fieldNo)
    if (FColumnDefs[static_cast<std::size_t>(fieldNo - 1)].DataType.ColumnType() == tctRelation) RelationTable(fieldNo);
}

std::vector<std::int32_t> TTdbBaseTable::RelatedRecordIds(int fieldNo, std::int32_t masterId) {
  std::lock_guard guard(FLockingMutex);
  TTdbBaseTable& relation = RelationTable(fieldNo);
  TTdbTableLock read(relation, tltRead);
  std::vector<std::int32_t> ids;
  std::vector<std::uint8_t> record(static_cast<std::size_t>(relation.RecordSize()));
  for (std::int32_t no = relation.GetFirstRecordNo(); no > 0; no = relation.GetNextRecordNo(no)) {
    relation.ReadRecord(no, record);
    if (LinkValue(relation, record, kMasterColumn) == masterId) ids.push_back(LinkValue(relation, record, kDetailColumn));
  }
  return ids;
}

void TTdbBaseTable::AddRelatedRecord(int fieldNo, std::int32_t masterId, std::int32_t detailId) {
  std::lock_guard guard(FLockingMutex);
  RequireRight(tarEdit);
  if (masterId <= 0 || detailId <= 0) throw ETdbEngine(tdbErrOutOfRange, std::to_string(masterId <= 0 ? masterId : detailId));
  AppendPair(RelationTable(fieldNo), masterId, detailId);
}

void TTdbBaseTable::AppendPair(TTdbBaseTable& relation, std::int32_t masterId, std::int32_t detailId) {
  TTdbTableLock write(relation, tltWrite);
  if (!PairRecords(relation, masterId, detailId).empty()) return;
  if (FInTransaction && !relation.InTransaction()) relation.StartTransaction();
  std::vector<std::uint8_t> record(static_cast<std::size_t>(relation.RecordSize()));
  relation.InitRecord(record, false);
  const TTdbColumnDefs& columns = relation.Columns();
  WriteValue(columns[kMasterColumn].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), kMasterColumn), static_cast<int64_t>(masterId));
  WriteValue(columns[kDetailColumn].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), kDetailColumn), static_cast<int64_t>(detailId));
  relation.AppendRecord(record, {});
}

bool TTdbBaseTable::RemoveRelatedRecord(int fieldNo, std::int32_t masterId, std::int32_t detailId) {
  std::lock_guard guard(FLockingMutex);
  RequireRight(tarEdit);
  if (detailId <= 0) return false;
  TTdbBaseTable& relation = RelationTable(fieldNo);
  TTdbTableLock write(relation, tltWrite);
  const std::vector<std::int32_t> records = PairRecords(relation, masterId, detailId);
  if (records.empty()) return false;
  if (FInTransaction && !relation.InTransaction()) relation.StartTransaction();
  for (std::int32_t no : records) relation.DeleteRecord(no);
  return true;
}

std::vector<TTdbBaseTable::TRelationPair> TTdbBaseTable::RemoveRelationEntries(std::int32_t masterId) {
  std::vector<TRelationPair> removed;
  if (masterId <= 0) return removed;
  try {
    for (int fieldNo = 1; fieldNo <= ColumnCount(); ++fieldNo) {
      if (FColumnDefs[static_cast<std::size_t>(fieldNo - 1)].DataType.ColumnType() != tctRelation) continue;
      TTdbBaseTable& relation = RelationTable(fieldNo);
      TTdbTableLock write(relation, tltWrite);
      const std::vector<std::int32_t> records = PairRecords(relation, masterId, 0);
      if (records.empty()) continue;
      if (FInTransaction && !relation.InTransaction()) relation.StartTransaction();
      std::vector<std::uint8_t> record(static_cast<std::size_t>(relation.RecordSize()));
      for (std::int32_t no : records) {
        relation.ReadRecord(no, record);
        const std::int32_t detailId = LinkValue(relation, record, kDetailColumn);
        relation.DeleteRecord(no);
        removed.push_back({fieldNo, detailId});
      }
    }
  } catch (const ETdbEngine&) {
    RestoreRelationEntries(masterId, removed);
    throw;
  }
  return removed;
}

void TTdbBaseTable::RestoreRelationEntries(std::int32_t masterId, const std::vector<TRelationPair>& pairs) noexcept {
  for (const TRelationPair& pair : pairs) {
    try {
      AppendPair(RelationTable(pair.FieldNo), masterId, pair.DetailId);
    } catch (const ETdbEngine&) {
      // The relation table refused now what it held a moment ago; the
      // delete's own error is the one reported.
    }
  }
}

void TTdbBaseTable::CommitRelationTables() {
  for (auto& [fieldNo, relation] : FRelationTables)
    if (relation->InTransaction()) relation->CommitModifications();
}

void TTdbBaseTable::UndoRelationTables() {
  std::exception_ptr error;
  for (auto& [fieldNo, relation] : FRelationTables) {
    if (!relation->InTransaction()) continue;
    try {
      relation->UndoModifications();
    } catch (const ETdbEngine&) {
      if (!error) error = std::current_exception();
    }
  }
  if (error) std::rethrow_exception(error);
}

void TTdbBaseTable::CloseRelationTables() noexcept {
  for (auto& [fieldNo, relation] : FRelationTables) {
    try {
      relation->Close();
    } catch (const ETdbEngine&) {
      // Close has taken back what it could not write; the relation table's
      // next open reports its log.
    }
  }
  FRelationTables.clear();
  for (auto& [name, linked] : FLinkedTables) {
    try {
      linked->Close();
    } catch (const ETdbEngine&) {
      // Read-only: nothing of it is left to write.
    }
  }
  FLinkedTables.clear();
}

}  // namespace kestrel
