// TTdbCatalogTableObject: the engine's table object (TTdbBaseTable) as a
// session's catalog keeps it (ITdbCatalogTable), plus the record edit
// locks its cursors take.
//
// Record edit locks: a record being edited through one cursor cannot be
// edited or deleted through another until that edit ends. Locks are kept
// per table file in one process-wide registry, so cursors of different
// sessions (each with its own table object) see one another's edits; a
// refused lock is error 105 ("Record is being edited by another user").
// The registry has its own mutex, taken after anything a table takes.
//
// This header stays free of the table object's header, so the flat call
// interface's units (whose rights constants have the same names) can use it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/session/catalog_table.h"

namespace kestrel {

class TTdbBaseTable;
class TdwFileSystem;

class TTdbCatalogTableObject : public ITdbCatalogTable {
 public:
  // A closed table object for `request` on the session's data file system.
  TTdbCatalogTableObject(TdwFileSystem& fileSystem, const TTdbTableOpenRequest& request);
  ~TTdbCatalogTableObject() override;

  void Open(bool force) override;
  void Setup(bool force) override;
  void Close() override;
  bool IsSameTableName(const std::u16string& name) const override;
  bool IsTemporary() const override { return false; }
  TTdbRelationInfo GetTableInfo() const override;
  std::vector<std::u16string> GetIndexNames() const override;
  std::u16string GetIndexDescription(const std::u16string& indexName) const override;
  std::u16string GetRealIndexName(const std::u16string& indexName) const override;
  void ActivateEditLocks(bool value) override { FEditLocks = value; }
  void BeginLock(bool write) override;
  void EndLock(bool write) noexcept override;

  TTdbBaseTable& Table() { return *FTable; }

  // Takes the edit lock of recNo for `owner` (a cursor); error 105 when
  // another owner holds it. Nothing happens while edit locks are off.
  void LockRecord(std::int32_t recNo, const void* owner);
  // Gives the lock back (nothing when owner does not hold it).
  void UnlockRecord(std::int32_t recNo, const void* owner) noexcept;
  // The edit lock of recNo for `owner`'s deletion: as LockRecord, but the
  // caller holds the table's write lock, so the table object only checks
  // that no other program edits recNo (MayDeleteRecord) and takes no lock in
  // the lock file. Given back with ForgetDeleteLock.
  void LockRecordToDelete(std::int32_t recNo, const void* owner);
  void ForgetDeleteLock(std::int32_t recNo, const void* owner) noexcept;
  // Whether another owner than `owner` holds the lock of recNo.
  bool IsLockedByOther(std::int32_t recNo, const void* owner) const;
  // A record moved from oldRecNo to newRecNo: its lock moves with it, and
  // the lock of a deleted record goes.
  void RecordMoved(std::int32_t deletedRecNo, std::int32_t movedRecNo) noexcept;

 private:
  // Whether `owner` holds the edit lock of recNo in this process's registry;
  // error 105 when another owner does.
  bool HoldsLock(std::int32_t recNo, const void* owner) const;

  std::unique_ptr<TTdbBaseTable> FTable;
  bool FWithRelTables = false;  // Open opens the relation tables too
  std::string FLockKey;  // the table file, the registry's key
  bool FEditLocks = true;
};

}  // namespace kestrel
