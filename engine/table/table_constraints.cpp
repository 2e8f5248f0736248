// TTdbBaseTable: candidate keys, check constraints and foreign keys.
//
// Candidate keys are kept by unique indexes of the table's own: at Setup
// each key gets the index of its name, else an index that already orders by
// its columns uniquely, else a new automatic index (rebuilt from the
// records whenever its file is missing), so the uniqueness check of every
// append and replace covers it. Check constraints and foreign keys are
// checked by the installed ITdbConstraintChecker before a change touches a
// file; the table answers its questions about indexes (FindIndexOn,
// HasIndexKey) and, for a table without a fitting index, walks its records
// (HasRecordWithKey).
#include <algorithm>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/index/btree.h"
#include "engine/index/collation.h"
#include "engine/index/index_definition_text.h"
#include "engine/index/index_key.h"
#include "engine/index/index_names.h"
#include "engine/table/heap_data_file.h"
#include "engine/table/table_index_slot.h"

namespace kestrel {

namespace {

// Constraints are stored in the headers of level 4 and above.
constexpr int kFirstConstraintLevel = 4;
constexpr const char16_t* kPrimaryKeyIndexName = u"sys_Primary";
constexpr const char16_t* kUniqueKeyIndexPrefix = u"sys_Unique";

// The number of columns an index's column list ("A,B") names.
int SpecColumnCount(std::u16string_view columns) {
  return static_cast<int>(std::count(columns.begin(), columns.end(), u',')) + 1;
}

void RequireNamed(const std::u16string& name, const std::u16string& text, const char* what) {
  if (name.empty() || text.empty())
    throw ETdbEngine(tdbErrPlain, std::string("A ") + what + " needs a name and a text (\"" + Utf16ToUtf8(name) +
                                      "\", \"" + Utf16ToUtf8(text) + "\")");
}

}  // namespace

void TTdbBaseTable::SetConstraints(std::vector<TTdbCandidateKeyDef> keys, std::vector<TTdbCheckDef> checks,
                                   std::vector<TTdbForeignKeyDef> foreignKeys) {
  if (Active()) throw ETdbEngine(tdbErrTableInUse, FStdName);
  FNewKeyDefs = std::move(keys);
  FNewCheckDefs = std::move(checks);
  FNewForeignKeyDefs = std::move(foreignKeys);
}

std::u16string TTdbBaseTable::KeyIndexName(const TTdbCandidateKeyDef& key, std::size_t position) {
  if (!key.Name.empty()) return key.Name;
  return key.Primary ? std::u16string(kPrimaryKeyIndexName)
                     : kUniqueKeyIndexPrefix + Utf8ToUtf16(std::to_string(position));
}

void TTdbBaseTable::CheckNewConstraints() const {
  const bool any = !FNewKeyDefs.empty() || !FNewCheckDefs.empty() || !FNewForeignKeyDefs.empty();
  if (any && FLevel < kFirstConstraintLevel)
    throw ETdbEngine(tdbErrLevelFeature, FFileName, "candidate keys, check constraints and foreign keys");
  std::vector<std::u16string> names;
  const auto addName = [&names](const std::u16string& name) {
    if (std::find(names.begin(), names.end(), name) != names.end())
      throw ETdbEngine(tdbErrDuplicateIdentifier, Utf16ToUtf8(name));
    names.push_back(name);
  };
  int primaryKeys = 0;
  for (std::size_t i = 0; i < FNewKeyDefs.size(); ++i) {
    const TTdbCandidateKeyDef& key = FNewKeyDefs[i];
    primaryKeys += key.Primary ? 1 : 0;
    addName(KeyIndexName(key, i));
    CalcIndexDefinition(FIndexTable, key.Columns, true);
  }
  if (primaryKeys > 1) throw ETdbEngine(tdbErrPlain, "A table has at most one primary key");
  for (const TTdbCheckDef& check : FNewCheckDefs) {
    RequireNamed(check.Name, check.Condition, "check constraint");
    addName(check.Name);
  }
  for (const TTdbForeignKeyDef& rule : FNewForeignKeyDefs) {
    RequireNamed(rule.Name, rule.Columns, "foreign key");
    RequireNamed(rule.ParentTable, rule.ParentColumns, "foreign key's parent");
    addName(rule.Name);
    CalcIndexDefinition(FIndexTable, rule.Columns, false);
    if (SpecColumnCount(rule.Columns) != SpecColumnCount(rule.ParentColumns)) throw ETdbEngine(tdbErrColumnCountMismatch);
  }
}

void TTdbBaseTable::SetupKeyIndexes() {
  FKeyIndexNos.assign(FHeader.KeyDefs.size(), -1);
  FPrimIndexNo = -1;
  for (std::size_t i = 0; i < FHeader.KeyDefs.size(); ++i) {
    const TTdbCandidateKeyDef& key = FHeader.KeyDefs[i];
    const std::u16string name = KeyIndexName(key, i);
    TTdbSortDef def = CalcIndexDefinition(FIndexTable, key.Columns, true);
    def.CalcSize(FLevel);
    int number = -1;
    for (int no = 0; no <= FLastIndexNo && number < 0; ++no)
      if (HasIndex(no) && GetIndexKind(FIndexFiles[no]->Name, FLevel) == tikUser &&
          StandardCollation().Compare(FIndexFiles[no]->Name, name, 0) == 0)
        number = no;
    if (number < 0) {
      number = InitIndex(name, &def);
      // The key's index is kept by the table, whatever its name says.
      Slot(number).Kind = tikConstraint;
    }
    FKeyIndexNos[i] = number;
    if (key.Primary) FPrimIndexNo = number;
  }
}

int TTdbBaseTable::KeyIndexNo(std::size_t key) const {
  return key < FKeyIndexNos.size() ? FKeyIndexNos[key] : -1;
}

int TTdbBaseTable::FindIndexOn(std::u16string_view columns) {
  std::lock_guard guard(FLockingMutex);
  const TTdbSortDef wanted = CalcIndexDefinition(FIndexTable, columns, false);
  for (int no = 0; no <= FLastIndexNo; ++no) {
    if (!HasIndex(no)) continue;
    try {
      if (!CheckIndexOpen(no)) continue;
    } catch (const ETdbEngine&) {
      continue;
    }
    const TTdbSortDef& def = Slot(no).File->Definition();
    if (def.IsCalculated || def.LevelCount() < wanted.LevelCount()) continue;
    bool same = true;
    for (int level = 0; level < wanted.LevelCount() && same; ++level)
      same = def.Items[level].ColumnNo == wanted.Items[level].ColumnNo && !def.Items[level].Descending;
    if (same) return no;
  }
  return -1;
}

bool TTdbBaseTable::HasIndexKey(int indexNo, std::span<const std::uint8_t> record, int levelCount,
                                std::int32_t exceptRecNo) {
  std::lock_guard guard(FLockingMutex);
  if (record.size() != static_cast<std::size_t>(RecordSize())) throw ETdbEngine(tdbErrInvalidParameter, "Buffer");
  CheckIndexOpen(indexNo);
  TTdbTableLock read(*this, tltRead);
  TTdbIndexFile& file = *Slot(indexNo).File;
  std::vector<std::uint8_t> item, found;
  kestrel::CalcIndexInfo(file.Comparer(), record.data(), 0, item);
  CompleteIndexInfo(file.Comparer(), item, levelCount, false);
  SetItemRecordNo(item.data(), 0);
  found = item;
  int result = file.Suche_Index(found);
  while (result == ttrFound && file.Comparer().FindSortKeyDiff(found.data(), item.data()) >= levelCount) {
    if (ItemRecordNo(found.data()) != exceptRecNo) return true;
    result = file.Naechster_Index(found);
  }
  return false;
}

bool TTdbBaseTable::HasRecordWithKey(std::u16string_view columns, std::span<const std::uint8_t> record) {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  if (record.size() != static_cast<std::size_t>(RecordSize())) throw ETdbEngine(tdbErrInvalidParameter, "Buffer");
  TTdbSortDef def = CalcIndexDefinition(FIndexTable, columns, false);
  def.CalcSize(FLevel);
  const TTdbIndexComparer comparer(def, FIndexTable);
  const int levelCount = def.LevelCount();
  std::vector<std::uint8_t> wanted, item, stored(static_cast<std::size_t>(RecordSize()));
  kestrel::CalcIndexInfo(comparer, record.data(), 0, wanted);
  TTdbTableLock read(*this, tltRead);
  for (std::int32_t recNo = FDataFile->GetFirstRecordNo(); recNo > 0; recNo = FDataFile->GetNextRecordNo(recNo)) {
    FDataFile->ReadRecord(recNo, stored);
    kestrel::CalcIndexInfo(comparer, stored.data(), recNo, item);
    if (comparer.FindSortKeyDiff(item.data(), wanted.data()) >= levelCount) return true;
  }
  return false;
}

void TTdbBaseTable::CheckConstraintsBeforeChange(std::span<const std::uint8_t> record, std::int32_t recNo,
                                                 const TTdbBlobDataList& values) {
  if (!FConstraintChecker) return;
  std::vector<std::uint8_t> stored;
  if (recNo > 0) {
    stored.resize(static_cast<std::size_t>(RecordSize()));
    FDataFile->ReadRecord(recNo, stored);
  }
  if (!record.empty()) {
    // The caller's block numbers mean nothing: the record is checked with
    // the memo values the change stores (new ones from `values`, the
    // others kept from the stored record, empty for a new one).
    // A new value that is not empty gets a block number that is not 0, so
    // the column does not read as NULL; the checker reads such a column
    // from `values`, never through that number.
    constexpr std::int32_t kNewValueMark = 1;
    std::vector<std::uint8_t> checked(record.begin(), record.end());
    for (int fieldNo : BlockColumns()) {
      const auto named = std::find_if(values.begin(), values.end(),
                                      [fieldNo](const TTdbBlobData& value) { return value.FieldNo == fieldNo; });
      std::int32_t block = stored.empty() ? 0 : GetBlockIdx(stored, fieldNo);
      if (named != values.end()) block = named->AnsiData.empty() && named->WideData.empty() ? 0 : kNewValueMark;
      SetBlockIdx(checked, fieldNo, block);
    }
    FConstraintChecker->CheckRecord(*this, checked, values);
  }
  if (recNo <= 0) return;
  FConstraintChecker->CheckReferences(*this, stored, record);
}

}  // namespace kestrel
