// ITdbConstraintChecker: what the table object asks before a change about
// the check constraints and foreign keys of its header. Candidate keys need
// no checker: their unique indexes are the table's own (table_constraints.cpp).
//
// Check conditions are written in the condition language and foreign keys
// reach other tables, both of which lie above the table layer; the owner of
// the table (the tool, a session) installs a checker that can do both. A
// table whose header holds check constraints or foreign keys refuses every
// change while no checker is installed (error 187), so no change passes
// unchecked.
//
// Every operation is called with the table's mutex and at least its upgrade
// lock held, before the change touches a file, and never while a rollback
// replays the redo log. Errors are ETdbEngine and end the change with
// nothing written.
#pragma once

#include <cstdint>
#include <span>

#include "engine/table/relation.h"

namespace kestrel {

class TTdbBaseTable;

class ITdbConstraintChecker {
 public:
  virtual ~ITdbConstraintChecker() = default;
  // After the table's indexes are set up (Setup without force): prepares
  // its check conditions, finds or creates the index of each foreign key
  // and reaches each parent table and its index. Errors 6 (no suitable
  // index), 184 (parent table), and those of preparing a condition.
  virtual void Prepare(TTdbBaseTable& table) = 0;
  // Before an append or a replace: every check constraint of `record`
  // (167 with the condition's text for the first one that is false) and the
  // parent row of every foreign key (179 with the key's name). `values` are
  // the memo, blob and wide memo values the change stores: a column they
  // name reads as its new value, the others through their block numbers in
  // `record` (those of the values the change keeps; 0 for an empty one).
  virtual void CheckRecord(TTdbBaseTable& table, std::span<const std::uint8_t> record,
                           const TTdbBlobDataList& values) = 0;
  // Before a delete (newRecord empty) or a replace of `oldRecord`: rows of
  // other tables whose foreign keys refer to the record's key when that key
  // goes or changes (180 with the foreign key's name).
  virtual void CheckReferences(TTdbBaseTable& table, std::span<const std::uint8_t> oldRecord,
                               std::span<const std::uint8_t> newRecord) = 0;
  // The table closes: drops what was kept for it.
  virtual void Forget(const TTdbBaseTable& table) noexcept = 0;
};

}  // namespace kestrel
