// ITdbCatalogTable: what a session's catalog needs from an open table.
//
// The catalog keeps its open tables behind this interface; the table object
// implements it. Tables come from the factory the catalog's factory source
// answers (the call interface's SetTableFactory); while it answers none,
// opening a table that exists fails with engine error 187 ("This feature is not supported: %s").
//
// Contract of every operation: failures are thrown as ETdbEngine with the
// engine error number and its arguments; the catalog records them in the
// session's last-error record and maps them to result codes (38 wrong key →
// -12, 94 → -2, others → -1). Operations are called from the session's
// thread, and the catalog's relation-list lock is held whenever a table
// enters or leaves a slot.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {

class TTdbServices;

// What a table tells about itself (the flat interface's table information).
struct TTdbRelationInfo {
  std::u16string FFileName;  // full path of the table file
  int FLevel = 0;            // table level 1..6
  std::u16string FCollationName;
  int FEncryptionMethod = 0;  // TTdbEncryptionMethod
  std::int32_t FCapacity = 0;
};

// How the catalog asks for a table: everything the table object is given
// before it opens.
struct TTdbTableOpenRequest {
  std::string FFileName;      // full path of the table file (UTF-8)
  std::uint16_t FRights = 0;  // rights word, already adjusted to the database
  std::u16string FKey;        // table key (the database key when none was given)
  int FRltnIdx = 0;           // catalog slot 1..254
  int FSessHdl = 1;           // the session, as the page cache's client
  // The directory of a directory database (empty for a single-file one):
  // where the table's relatives are looked for after its own directory.
  std::string FDatabaseDirectory;
  // Whether Open also opens the relation tables of the table's Relation
  // columns (error 154 naming the column when one cannot be, unless Force).
  bool FWithRelTables = false;
};

class ITdbCatalogTable {
 public:
  virtual ~ITdbCatalogTable();

  // Opens every file of the table. Force: a missing or unopenable memo or
  // blob file does not make the open fail. Error 115 (no write access) makes
  // the catalog try once more with the four right bits cleared; 38 is a wrong
  // key. A failed open leaves nothing open.
  virtual void Open(bool force) = 0;
  // Opens the indexes and prepares constraints after the open. A failure
  // without Force makes the catalog close the table.
  virtual void Setup(bool force) = 0;
  // Gives back every lock, flushes and closes every file. Must not throw
  // for a table that is closed already.
  virtual void Close() = 0;

  // Whether `name` names this table (the standard table name: the file name
  // with ".dat" or ".tdbt" removed), compared as table names are compared.
  virtual bool IsSameTableName(const std::u16string& name) const = 0;
  // A temporary table is closed as soon as its last cursor goes.
  virtual bool IsTemporary() const = 0;

  virtual TTdbRelationInfo GetTableInfo() const = 0;
  // Names of the table's indexes in index-number order.
  virtual std::vector<std::u16string> GetIndexNames() const = 0;
  // Stored description text of the named index; ETdbEngine tdbErrIndexNotFound when the table
  // has no such index.
  virtual std::u16string GetIndexDescription(const std::u16string& indexName) const = 0;
  // Stored name of an index given by its name or an alias; ETdbEngine tdbErrIndexNotFound
  // when there is none.
  virtual std::u16string GetRealIndexName(const std::u16string& indexName) const = 0;
  // Switches the use of record edit locks.
  virtual void ActivateEditLocks(bool value) = 0;
  // Takes one read lock of the table (write: one write lock), waiting as
  // the table's own operations do; ETdbEngine 104 when it cannot be had.
  virtual void BeginLock(bool write) = 0;
  // Gives back one lock that BeginLock took.
  virtual void EndLock(bool write) noexcept = 0;
};

// Makes a closed table object for an open request.
using TTdbTableFactory = std::function<std::unique_ptr<ITdbCatalogTable>(
    TTdbServices& services, const TTdbTableOpenRequest& request)>;

// Answers the factory of table objects installed at the time of the call
// (empty when none). Must be thread-safe.
using TTdbTableFactorySource = TTdbTableFactory (*)();

}  // namespace kestrel
