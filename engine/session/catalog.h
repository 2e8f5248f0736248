// TTdbCatalog: the open database of one session and its relations (open
// tables) in slots 1 to 254.
//
// Invariants:
// - While a database is open the session's services hold its data and lock
//   file systems and the session is registered with the page manager with
//   its cache size; closing undoes all three.
// - A slot holds at most one open table; FUsers counts the cursors on it. A
//   table enters or leaves a slot only under the relation-list lock
//   (FRelationListSync), which is also what a visitor of all tables takes.
// - No two open tables answer IsSameTableName for the same name.
// Every operation but ForEachTable is called from the session's thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "engine/session/catalog_table.h"
#include "engine/session/database_location.h"
#include "engine/table/relation.h"

namespace kestrel {

class TTdbServices;

inline constexpr int kMaxRelations = 254;

// Attribute bits of a database open.
inline constexpr int kDbAttrReadOnly = 0x01;
inline constexpr int kDbAttrExclusive = 0x02;
inline constexpr int kDbAttrSecureFlush = 0x04;
inline constexpr int kDbAttrSharedReadOnly = 0x08;

enum TTdbManagementLevel { tmlUnmanaged, tmlManaged };

// Extensions of table files, tried in this order for a name without one.
inline constexpr const char* kTableExtensionClassic = ".dat";
inline constexpr const char* kTableExtensionLevel6 = ".tdbt";

class TTdbCatalog {
 public:
  // Table objects come from the factory that tableFactories answers when a
  // table is opened.
  TTdbCatalog(TTdbServices& services, int sessHdl, TTdbTableFactorySource tableFactories);
  TTdbCatalog(const TTdbCatalog&) = delete;
  TTdbCatalog& operator=(const TTdbCatalog&) = delete;
  // Closes the database if one is open.
  ~TTdbCatalog();

  // Opens the database at location (see ResolveDatabaseLocation). Throws
  // ETdbEngine: 37 for a missing location or a container that cannot be
  // opened (a missing container is created unless the database is opened
  // read-only), 141 or 3 when the control file cannot be
  // written to a database that is not opened read-only, 187 when a database
  // is open already. A failure leaves the catalog closed.
  void OpenDatabase(const std::u16string& location, const std::u16string& password, int cacheSizeKB,
                    int attributes);
  // Closes every table and the database. Never throws; the first failure of
  // a table's close is recorded in the session's last-error record.
  void CloseDatabase() noexcept;

  bool IsOpen() const { return !FDirectory.empty(); }
  TTdbDatabaseType DatabaseType() const { return FDatabaseType; }
  TTdbManagementLevel ManagementLevel() const { return FManagementLevel; }
  const std::string& Directory() const { return FDirectory; }
  int Attributes() const { return FAttributes; }

  // Opens a table and answers its slot. Name resolution: a name with an
  // extension is that file; otherwise name.dat, and name.tdbt when no .dat
  // exists; relative names lie in the database directory. Rights are
  // adjusted to the database's attributes; an empty key means the database
  // key. withRelTables: the relation tables of the table's Relation columns
  // are opened with it (154 naming the column when one cannot be, unless
  // force). Throws ETdbEngine: 94 no free slot, 35 already open, 37 missing
  // file, 187 no table objects, and the table's own open errors.
  int OpenTable(const std::u16string& tableName, const std::u16string& key, std::uint16_t rights,
                bool force, bool withRelTables = false);
  // Slot of the open table named `name`, 0 when none.
  int FindTable(const std::u16string& name) const;
  // The table in a slot; null for an empty or out-of-range slot.
  ITdbCatalogTable* Table(int rltnIdx) const;
  // Cursor bookkeeping of a slot.
  void AddUser(int rltnIdx);
  void RemoveUser(int rltnIdx);
  // Locks sets of tables. relations holds slot numbers: at most
  // kMaxRelations entries are looked at, a negative entry ends the list
  // early and 0 is skipped. Every table named gets one read (write) lock,
  // waiting for each; they are taken in the order of the tables' file names,
  // not in the order given, so sessions and programs that lock overlapping
  // sets never wait for each other in a circle. On the first refusal the
  // locks already taken are given back and the error passes on (104; 49 for
  // a slot without a table, before anything is locked).
  void AcquireReadLocks(std::span<const std::int16_t> relations);
  void AcquireWriteLocks(std::span<const std::int16_t> relations);
  // Give back one read (write) lock of each table named, read as above.
  void ReleaseReadLocks(std::span<const std::int16_t> relations) noexcept;
  void ReleaseWriteLocks(std::span<const std::int16_t> relations) noexcept;

  // Closes every table no cursor uses.
  void CloseUnneededTables() noexcept;
  // Calls visit(slot, table) for every open table, holding the relation-list
  // lock (the unlock thread's way in). Thread-safe.
  void ForEachTable(const std::function<void(int, ITdbCatalogTable&)>& visit) const;

  // The rights word a table is opened with in a database of `attributes`.
  static std::uint16_t AdjustRights(std::uint16_t rights, int attributes);
  // The table file a name resolves to in `directory` (UTF-8, full path).
  std::string ResolveTableFile(const std::u16string& tableName) const;

 private:
  struct TSlot {
    std::unique_ptr<ITdbCatalogTable> FTable;
    int FUsers = 0;
  };

  int FindFreeSlot() const;
  // The tables named by relations (see AcquireReadLocks), in lock order;
  // a slot without a table raises 49 when strict, else it is passed over.
  std::vector<ITdbCatalogTable*> TablesToLock(std::span<const std::int16_t> relations, bool strict) const;
  void AcquireLocks(std::span<const std::int16_t> relations, bool write);
  void ReleaseLocks(std::span<const std::int16_t> relations, bool write) noexcept;
  // Takes the table out of its slot and closes it.
  void CloseSlot(int rltnIdx) noexcept;

  TTdbServices& FServices;
  int FSessHdl;
  TTdbTableFactorySource FTableFactories;
  std::string FDirectory;  // empty while closed; the container file of a single-file database
  TTdbDatabaseType FDatabaseType = dbtDirectory;
  std::u16string FDatabaseKey;
  int FCacheSizeKB = 0;
  int FAttributes = 0;
  TTdbManagementLevel FManagementLevel = tmlUnmanaged;
  std::array<TSlot, kMaxRelations + 1> FSlots;  // slot 0 unused
  mutable std::mutex FRelationListSync;
};

}  // namespace kestrel
