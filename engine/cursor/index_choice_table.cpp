// The table object's side of index choice.
#include "engine/cursor/index_choice_table.h"

#include "engine/base/engine_error.h"
#include "engine/cond/record_image_source.h"
#include "engine/index/index_file.h"
#include "engine/table/base_table.h"

namespace kestrel {

const TTdbIndexTable& TTdbIndexChoiceTable::IndexTable() const { return FTable.IndexTable(); }

int TTdbIndexChoiceTable::LastIndexNo() const { return FTable.LastIndexNo(); }

const TTdbSortDef* TTdbIndexChoiceTable::OpenIndexDefinition(TTdbIndexNo indexNo) {
  if (!FTable.HasIndex(indexNo)) return nullptr;
  try {
    return &FTable.GetIndexFile(indexNo).Definition();
  } catch (const ETdbEngine&) {
    return nullptr;  // a lost or damaged index helps no condition
  }
}

bool TTdbIndexChoiceTable::CanIndexColumnType(uint8_t columnType) const { return IsIndexableColumnType(columnType); }

TTdbIndexNo TTdbIndexChoiceTable::CreateTempIndex(TTdbSortDef def) {
  const int indexNo = FTable.CreateTempIndex(std::move(def));
  return indexNo < 0 ? kNoIndex : static_cast<TTdbIndexNo>(indexNo);
}

bool TTdbIndexChoiceTable::WriteRangeBound(std::span<uint8_t> record, int columnNo, const TCondValue* value,
                                           bool highest) const {
  return FRecords.WriteRangeBound(record, columnNo, value, highest);
}

}  // namespace kestrel
