// A table for index-choice tests: column definitions, rows stored as record
// images through the column codecs, B-tree (or, at level 6, B+ tree) indexes
// on memory pages built with the index builder, and the table side of index
// choice. Walk() visits the items between two range items the way the
// cursor does; BruteForce() evaluates a condition on every record.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/base/column_codec.h"
#include "engine/cond/cond_index_choice.h"
#include "engine/cond/record_image_source.h"
#include "engine/cond/sql_condition.h"
#include "engine/index/index_builder.h"
#include "engine/index/index_definition_text.h"
#include "engine/index/index_file.h"
#include "engine/index/index_page_io.h"
#include "engine/table/column_definition.h"

namespace kestrel::test {

inline constexpr uint32_t kChoiceIndexPageSize = 1024;

class TChoiceTable final : public ITdbIndexChoiceTable {
 public:
  TChoiceTable(int level, const std::vector<TTdbColumnDef>& columns) {
    for (const TTdbColumnDef& column : columns) FColumns.Add(column);
    FIndexTable.FLevel = level;
    FIndexTable.FRecordSize = static_cast<uint32_t>(FColumns.RecordSize());
    for (const TTdbColumnDef& column : FColumns) {
      TTdbIndexColumn indexColumn;
      indexColumn.FName = column.Name;
      indexColumn.FColumnType = column.DataType.ColumnType();
      indexColumn.FOffset = static_cast<uint32_t>(column.Position);
      indexColumn.FSize = static_cast<uint16_t>(column.Size);
      indexColumn.FHasNullByte = column.DataType.HasNullByte();
      if (IsStringColumnType(indexColumn.FColumnType)) indexColumn.FCollation = &GetCollation(column.DataType.CollationName());
      FIndexTable.FColumns.push_back(indexColumn);
    }
    FSource = std::make_unique<TCondRecordImageSource>(FColumns, FIndexTable, u"T");
  }

  // Appends a row; monostate values are NULL.
  void AddRow(const std::vector<TTdbValue>& values) {
    std::vector<uint8_t> record(FIndexTable.FRecordSize, 0);
    for (size_t i = 0; i < values.size(); ++i) WriteValue(FColumns[i].DataType, FColumns.ColumnBytes(std::span<uint8_t>(record), i), values[i]);
    FRecords.push_back(std::move(record));
  }
  int32_t RecordCount() const { return static_cast<int32_t>(FRecords.size()); }

  // Adds an index on `spec` ("KOD, -SZAM") built from the rows.
  TTdbIndexNo AddIndex(std::u16string_view spec) {
    return AddIndexDef(CalcIndexDefinition(FIndexTable, spec, false));
  }

  TCondRecordImageSource& Records() { return *FSource; }
  const TTdbColumnDefs& Columns() const { return FColumns; }
  TTdbIndexFile& Index(TTdbIndexNo indexNo) { return *FIndexes.at(static_cast<size_t>(indexNo))->FFile; }

  void SetAutoCreate(bool on) { FAutoCreate = on; }
  void SetTempIndexFails(bool fails) { FTempIndexFails = fails; }
  // Definitions CreateTempIndex was asked for.
  const std::vector<TTdbSortDef>& TempRequests() const { return FTempRequests; }

  // Record numbers of the items from `lower` up to `upper`, in index order.
  std::vector<int32_t> Walk(TTdbIndexNo indexNo, const std::vector<uint8_t>& lower, const std::vector<uint8_t>& upper) {
    TTdbIndexFile& index = Index(indexNo);
    std::vector<int32_t> found;
    std::vector<uint8_t> key = lower;
    for (int result = index.Suche_Index(key); result == ttrFound; result = index.Naechster_Index(key)) {
      if (index.Comparer().Compare(key.data(), upper.data()) > 0) break;
      found.push_back(ItemRecordNo(key.data()));
    }
    return found;
  }

  // The records the condition selects among `recordNos` (all when empty).
  std::set<int32_t> Select(TTdbSqlCondition& condition, const std::vector<int32_t>& recordNos) {
    std::set<int32_t> selected;
    for (int32_t recNo : recordNos) {
      FSource->SetRecord(FRecords.at(static_cast<size_t>(recNo) - 1));
      if (condition.Evaluate()) selected.insert(recNo);
    }
    return selected;
  }
  std::set<int32_t> BruteForce(TTdbSqlCondition& condition) {
    std::vector<int32_t> all;
    for (int32_t recNo = 1; recNo <= RecordCount(); ++recNo) all.push_back(recNo);
    return Select(condition, all);
  }

  // ITdbIndexChoiceTable
  const TTdbIndexTable& IndexTable() const override { return FIndexTable; }
  int LastIndexNo() const override { return static_cast<int>(FIndexes.size()) - 1; }
  const TTdbSortDef* OpenIndexDefinition(TTdbIndexNo indexNo) override {
    if (indexNo < 0 || static_cast<size_t>(indexNo) >= FIndexes.size()) return nullptr;
    return &FIndexes[static_cast<size_t>(indexNo)]->FFile->Definition();
  }
  bool CanIndexColumnType(uint8_t columnType) const override { return IsIndexableColumnType(columnType); }
  bool AutoCreateIndexes() const override { return FAutoCreate; }
  TTdbIndexNo CreateTempIndex(TTdbSortDef def) override {
    FTempRequests.push_back(def);
    if (FTempIndexFails) return kNoIndex;
    return AddIndexDef(std::move(def));
  }
  bool WriteRangeBound(std::span<uint8_t> record, int columnNo, const TCondValue* value, bool highest) const override {
    return FSource->WriteRangeBound(record, columnNo, value, highest);
  }

 private:
  struct TIndex {
    TTdbMemoryPageIo FStorage{kChoiceIndexPageSize};
    std::unique_ptr<TTdbIndexFile> FFile;
  };

  TTdbIndexNo AddIndexDef(TTdbSortDef def) {
    auto index = std::make_unique<TIndex>();
    index->FFile = std::make_unique<TTdbIndexFile>(index->FStorage, FIndexTable, u"I" + std::u16string(1, u'0' + FIndexes.size()));
    index->FFile->SetIndexDefinition(std::move(def));
    index->FFile->NewStorage(kChoiceIndexPageSize);
    BuildIndexFromRecords(*index->FFile, RecordCount(),
                          [this](int32_t recNo, std::vector<uint8_t>& record) { record = FRecords.at(static_cast<size_t>(recNo) - 1); },
                          {});
    FIndexes.push_back(std::move(index));
    return static_cast<TTdbIndexNo>(FIndexes.size() - 1);
  }

  TTdbColumnDefs FColumns;
  TTdbIndexTable FIndexTable;
  std::unique_ptr<TCondRecordImageSource> FSource;
  std::vector<std::vector<uint8_t>> FRecords;
  std::vector<std::unique_ptr<TIndex>> FIndexes;
  bool FAutoCreate = false;
  bool FTempIndexFails = false;
  std::vector<TTdbSortDef> FTempRequests;
};

}  // namespace kestrel::test
