// TTdbConstraintChecks: the checker of check constraints and foreign keys
// that the owner of a table installs (ITdbConstraintChecker).
//
// Check conditions are prepared once per table against a record source over
// its record images; a condition that is FALSE for a record refuses it (167
// with the condition's text), an UNKNOWN one (a NULL compared) lets it pass.
// A foreign key with any column not NULL needs a parent row with equal
// values in the parent's columns (179); a parent row whose key other rows
// still refer to can neither go nor change its key (180): every action is
// taken as "reject". Those rows are found through the child's index on its
// foreign key columns, or, when the child has none (it was never opened for
// changes, so its "IR_" index was not made), by walking the child. The
// tables on the other side of a foreign key come from an ITdbRelatedTables
// the owner supplies.
//
// One checker may serve several tables of one thread; it keeps prepared
// conditions per table until the table tells it to Forget.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/cond/record_image_source.h"
#include "engine/cond/sql_condition.h"
#include "engine/table/base_table.h"

namespace kestrel {

// How the checker reaches the tables on the other side of foreign keys.
class ITdbRelatedTables {
 public:
  virtual ~ITdbRelatedTables() = default;
  // The open parent table `name` (a standard table name) of a foreign key
  // of `child`; null when it cannot be found or opened.
  virtual TTdbBaseTable* ParentTable(TTdbBaseTable& child, const std::u16string& name) = 0;
  // The open tables whose foreign keys may name `parent` (more do no harm).
  virtual std::vector<TTdbBaseTable*> ChildTables(TTdbBaseTable& parent) = 0;
};

class TTdbConstraintChecks final : public ITdbConstraintChecker {
 public:
  explicit TTdbConstraintChecks(std::shared_ptr<ITdbRelatedTables> related);
  ~TTdbConstraintChecks() override;

  void Prepare(TTdbBaseTable& table) override;
  void CheckRecord(TTdbBaseTable& table, std::span<const std::uint8_t> record,
                   const TTdbBlobDataList& values) override;
  void CheckReferences(TTdbBaseTable& table, std::span<const std::uint8_t> oldRecord,
                       std::span<const std::uint8_t> newRecord) override;
  void Forget(const TTdbBaseTable& table) noexcept override;

 private:
  struct TTableConditions {
    std::unique_ptr<TCondRecordImageSource> Source;
    std::vector<std::unique_ptr<TTdbSqlCondition>> Conditions;
  };

  // The table's conditions, prepared (errors of preparing are thrown).
  TTableConditions& Conditions(TTdbBaseTable& table);
  TTdbBaseTable& Parent(TTdbBaseTable& child, const TTdbForeignKeyDef& rule);
  // The index of `table` on `columns`, 6 naming `what` when there is none.
  static int IndexOn(TTdbBaseTable& table, const std::u16string& columns, const std::string& what);

  std::shared_ptr<ITdbRelatedTables> FRelated;
  std::map<const TTdbBaseTable*, TTableConditions> FTables;
  // The new memo values of the record CheckRecord checks; null otherwise.
  const TTdbBlobDataList* FNewValues = nullptr;
};

}  // namespace kestrel
