// TTdbIndexChoiceTable: a table object as index choice sees it. A static
// filter asks it which index, and which range of that index, holds every
// record its condition can select, and then walks only that range.
//
// The table's own indexes are offered (opened on first use; one that
// cannot be opened is passed over), temporary ones included. When the
// session allows it, a temporary index is made for a condition no index
// serves (TTdbBaseTable::CreateTempIndex); otherwise, or when it cannot be
// made, the condition is evaluated on every record.
#pragma once

#include "engine/cond/cond_index_choice.h"

namespace kestrel {

class TTdbBaseTable;
class TCondRecordImageSource;

class TTdbIndexChoiceTable final : public ITdbIndexChoiceTable {
 public:
  // `records` is the source the condition was prepared against; both must
  // outlive this object. `autoCreateIndexes`: the session's setting.
  TTdbIndexChoiceTable(TTdbBaseTable& table, const TCondRecordImageSource& records, bool autoCreateIndexes)
      : FTable(table), FRecords(records), FAutoCreateIndexes(autoCreateIndexes) {}

  const TTdbIndexTable& IndexTable() const override;
  int LastIndexNo() const override;
  const TTdbSortDef* OpenIndexDefinition(TTdbIndexNo indexNo) override;
  bool CanIndexColumnType(uint8_t columnType) const override;
  bool AutoCreateIndexes() const override { return FAutoCreateIndexes; }
  TTdbIndexNo CreateTempIndex(TTdbSortDef def) override;
  bool WriteRangeBound(std::span<uint8_t> record, int columnNo, const TCondValue* value,
                       bool highest) const override;

 private:
  TTdbBaseTable& FTable;
  const TCondRecordImageSource& FRecords;
  bool FAutoCreateIndexes;
};

}  // namespace kestrel
