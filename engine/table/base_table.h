// TTdbBaseTable: the engine's open table. It owns every file of the table
// (table file, memo file, blob file, index files), the table's key holder and
// the redo log of a running transaction, and it is the only way in which the
// engine reads or changes records: every change keeps the table file, the
// memo and blob files and all indexes consistent with one another and tells
// every registered accessor what happened.
//
// Life: construct (closed) → SetRights / SetFileName / SetKey → Open → Setup
// → record and index operations → Close. A new table is described with the
// setters (SetLevel, AddColumn, ...) and made with NewFile.
//
// Errors are ETdbEngine with the engine error numbers; the flat call
// interface turns them into results. A failed Open leaves the table closed
// with no file open; a failed change leaves the files as they were before it.
//
// Locks: the table keeps nesting counters for its read, upgrade, write and
// exclusive locks; every operation takes and gives them back in pairs (see
// TTdbTableLock). Changes reach the files when the outermost write lock is
// given up (a flush), never in the middle of a nested change. FLockingMutex
// (re-entrant) guards the counters and the files.
//
// Shared use (table_sharing.cpp): a table given a lock-file file system with
// SetSharing, and opened neither exclusively nor shared read-only, logs in to
// its lock file (engine/locking) while it opens. The Begin operations then
// take the table lock in the file when the counters start from nothing, and
// read the table again when another program changed it since; the lock in
// the file is given back lazily by the unlock thread once no counter needs
// it (FUnlockAction is what the file shows). Record edit locks, record moves
// and exclusive use go through the lock file as well.
//
// Indexes: numbered 0..LastIndexNo in the order of the header's index names;
// registered at Setup, opened on first use (CheckIndexOpen). A user index
// whose file cannot be opened is marked lost (error 95 from then on); an
// automatic index is rebuilt from the records instead. At level 6 index
// storages encrypt whole tiles with the table's cryptor, and indexes with a
// variable-size definition are B+ trees.
//
// Record numbers: heap slots 1..RecordCount, or, in a B+ tree table file
// (bplus_table.cpp), record ids with gaps that never change; walk them with
// GetFirstRecordNo / GetNextRecordNo and test them with HasRecord.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/crypto/cryptor.h"
#include "engine/index/index_columns.h"
#include "engine/index/sort_def.h"
#include "engine/locking/lock_file.h"
#include "engine/locking/unlock_thread.h"
#include "engine/table/blob_file.h"
#include "engine/table/column_definition.h"
#include "engine/table/constraint_checker.h"
#include "engine/table/relation.h"
#include "engine/table/table_header.h"

namespace kestrel {

class TdwFileSystem;
class TTdbPageManager;
class TTdbClientStorage;
class TTdbDataFile;
class TTdbHeapDataFile;
class TTdbBPlusTableFile;
class TTdbMemoFile;
class TTdbBlobFile;
class TTdbIndexFile;
class TTdbIndexPageStorage;
class TTdbRedoLog;
struct TTdbRedoEntry;

// Levels at which tables are made here.
inline constexpr int kMinCreateLevel = 2;
// A new level-6 table is a B+ tree table file when its first column is a
// record id of this name and its records are at most this long.
inline constexpr const char16_t* kBPlusRecordIdName = u"_XXX";
inline constexpr int kMaxBPlusRecordSize = 16384;
// The first level whose index storages take the table's cryptor.
inline constexpr int kFirstEncryptedIndexLevel = 6;
// Index numbers available below level 4 and from level 4 on.
inline constexpr int kMaxIndexesOldLevels = 15;
inline constexpr int kFirstLevelWithManyIndexes = 4;
// Directory entries are committed on every this many flushes.
inline constexpr int kFlushesPerDirUpdate = 1000;
// A non-nullable Date of a new record: 1 January of year 1, packed.
inline constexpr std::int32_t kFirstDatePacked = 545;
// Column names of new tables: 1 to this many characters (the header keeps
// 40 at every level).
inline constexpr std::size_t kMaxColumnNameLength = 40;
inline constexpr const char* kRedoLogExtension = ".tra";
// Added to an index file's name for the new file a rebuild writes.
inline constexpr const char* kRebuildExtension = ".new";
inline constexpr const char* kRedoLogExtensionLevel6 = ".tdbr";
// Columns of the relation table of a Relation column: the record id of this
// table's record and the record id of the related record.
inline constexpr const char16_t* kRelationMasterColumn = u"Master";
inline constexpr const char16_t* kRelationDetailColumn = u"Detail";

class TTdbBaseTable : public ITdbUnlockable {
 public:
  // fileSystem: where the table's files live (names are relative to its
  // base or absolute). clientHdl: the session number in the page cache.
  TTdbBaseTable(TTdbPageManager& pageManager, TdwFileSystem& fileSystem, int clientHdl = 1);
  TTdbBaseTable(const TTdbBaseTable&) = delete;
  TTdbBaseTable& operator=(const TTdbBaseTable&) = delete;
  // Closes an active table; an error of that close is lost (call Close).
  ~TTdbBaseTable() override;

  // --- Lifecycle -----------------------------------------------------------
  void SetRights(TTdbRights rights) { FRights = rights; }
  // Sets the table file's path and derives StdName.
  void SetFileName(const std::string& fileName);
  void SetKey(const std::u16string& key) { FCryptor.SetKey(key); }
  const std::u16string& Key() const { return FCryptor.Key(); }
  // The public encryption method: the one read from the header of an open
  // table, or the one set for a new table. Setting it maps temClassic to
  // emClassic1 below level 5 and to emClassic5 from level 5 (NewFile maps
  // again by the level it creates), temDefault and temNone to emNone.
  TTdbEncryptionMethod EncryptionMethod() const;
  void SetEncryptionMethod(TTdbEncryptionMethod method);
  // The key holder's own method.
  TdwEncryptionMethod CryptorMethod() const { return FCryptor.EncryptionMethod(); }

  // Opens the table file, the memo and blob files, checks the first record
  // and recovers an unfinished transaction from the redo log. force: open
  // without a memo or blob file that cannot be opened. Errors: 37 no table
  // file, 115 access denied, 1 other open failures, 117 a level not
  // supported here or an encrypted B+ tree table file, 124/134/38 header and key checks, 31 memo, 111 blob,
  // 135 a redo log that cannot be replayed (the log is kept). A read-only
  // open that finds the log of an unfinished transaction rolls it back when
  // the files may be written, and answers 135 saying so when they may not.
  void Open(bool force = false);
  // Registers the indexes named in the header and opens them (an index that
  // cannot be opened stays registered, marked lost).
  void Setup(bool force = false);
  // Rolls back a running transaction, removes the temporary indexes no
  // accessor walks when the table can be had exclusively, flushes, closes
  // every file and leaves the table closed. Throws error 3
  // (after closing) when changes could not be written, now or at an earlier
  // flush that was not yet reported.
  void Close();

  // --- Creating a table (closed table; then NewFile) ---------------------
  void SetLevel(int level) { FLevel = level; }
  void SetCapacity(std::int32_t capacity) { FCapacity = capacity; }
  void SetCollationName(const std::u16string& name) { FCollationName = name; }
  // Appends a column; positions follow the columns in order. Link and
  // Relation columns name their linked table in LinkedTable, Enum columns
  // carry their value names in the data type.
  void AddColumn(TTdbColumnDef column);
  // Creates the table file and, when columns need them, the memo and blob
  // files, and leaves the table open with the rights 271. A table that
  // calls for it (WantsBPlusFile) gets a B+ tree table file. Error 173 for a
  // column name that is empty or longer than kMaxColumnNameLength, 49 for a
  // negative capacity, 117 for a level outside 2..6, for an encrypted B+
  // tree table file and for an encryption method the
  // level does not have (classic from level 4, fast and stronger below level
  // 4), 186 for a key the method cannot use, 72 when the table file exists, file errors with the
  // table's Name; 135 for an Enum column without valid value names (1 to 127,
  // not empty, no line break, at most 40 characters, 20 below level 5) and a
  // Link or Relation column without a linked table, 71 for an Enum value
  // named twice. Every Relation column gets its relation table
  // (RelationTableFileName). On failure every file made is removed again.
  void NewFile();
  // Creates user index `name` on `spec`, fills it from the records
  // and lists it in the header. Needs tarIndex (160). Errors: 176 an empty
  // or reserved name, 22 a name in use, 98/61/11 a bad spec, 32 a Memo, Blob
  // or WideMemo column in `spec`, 67 no free index number, 30 a unique
  // index over records with equal keys (nothing is left behind then).
  int CreateIndex(const std::u16string& name, const std::u16string& spec, bool unique);
  // Creates, fills and lists a temporary index (kind tikTemporary) with the
  // definition `def`, for a condition no index of the table serves. Named
  // "tmp001".."tmp099" above level 3, "<table name>.$01".."$99" up to level
  // 3: the first number whose name no index of the table has and whose file
  // does not exist. Answers the index number, or -1 when it is not made: a
  // closed table, no tarIndex (a read-only table), only read locks held
  // with a lock file (an upgrade would be refused), no free name, or any
  // failure (nothing is left behind then). Never throws. Other programs
  // see it like an index CreateIndex made; a Close that can have the table
  // exclusively removes it.
  int CreateTempIndex(TTdbSortDef def) noexcept;

  // --- Properties ----------------------------------------------------------
  bool Active() const;
  bool ReadOnly() const { return (FRights & kAccessRightsMask) == 0; }
  bool Exclusive() const { return (FRights & kRightExclusive) != 0; }
  TTdbRights Rights() const { return FRights; }
  const std::string& FileName() const { return FFileName; }
  std::string FullName() const;
  std::string Name() const;
  const std::string& StdName() const { return FStdName; }
  // Directory of the table file with a trailing '/', or "".
  std::string PhysicalDirectory() const;
  int Level() const { return FLevel; }
  int RecordSize() const { return FColumnDefs.RecordSize(); }
  std::int32_t RecordCount() const;
  const TTdbColumnDefs& Columns() const { return FColumnDefs; }
  int ColumnCount() const { return static_cast<int>(FColumnDefs.Count()); }
  bool HasMemo() const { return FHasMemo; }
  bool HasBlob() const { return FHasBlob; }
  int RecordIdFieldNo() const { return FRecordIdFieldNo; }
  // Whether the table file is a B+ tree table file: record numbers are then
  // record ids, they have gaps, and a deletion moves no other record.
  bool StableRecordNumbers() const;
  // Whether recNo is the number of a record of the table.
  bool HasRecord(std::int32_t recNo) const;
  std::int32_t Capacity() const { return FCapacity; }
  const std::u16string& CollationName() const { return FCollationName; }
  // The columns as the index layer sees them.
  const TTdbIndexTable& IndexTable() const { return FIndexTable; }
  std::string MemoFileName() const;
  std::string BlobFileName() const;
  std::string RedoLogFileName() const;
  // Every file of the table that exists now (table, memo, blob, indexes).
  std::vector<std::string> GetFileNames() const;
  // The relation table of a Relation column: <column name>.rel in the
  // table's directory below level 6, <table>!rel_<column name>.tdbt at 6.
  std::string RelationTableFileName(const TTdbColumnDef& column) const;
  // The relation tables of every Relation column, in column order.
  std::vector<std::string> RelationTableFileNames() const;

  // --- Relation entries (table_relation_entries.cpp) -----------------------
  // The pairs of a Relation column (fieldNo, 1-based) live in its relation
  // table, opened on first use with this table's rights, key and sharing,
  // and kept open until Close. Inside a transaction of this table its
  // changes join the transaction: commit and rollback reach them too.
  // Errors: 162 when fieldNo is not a Relation column, 64 when this table
  // has no record id column, 154 naming the column when its relation table
  // cannot be opened, 160 without the right a change needs, and the
  // relation table's own errors.
  //
  // Opens the relation table of every Relation column now instead of on
  // first use (a session's open asks for it); errors as above.
  void OpenRelationTables();

  // The record ids related to the record with id masterId, in the order
  // the pairs are stored.
  std::vector<std::int32_t> RelatedRecordIds(int fieldNo, std::int32_t masterId);
  // Relates detailId to masterId; a pair already there is not added again.
  void AddRelatedRecord(int fieldNo, std::int32_t masterId, std::int32_t detailId);
  // Removes the pair; answers whether it was there.
  bool RemoveRelatedRecord(int fieldNo, std::int32_t masterId, std::int32_t detailId);

  // --- Link values as text (table_link_text.cpp) ---------------------------
  // The text shown for the Link column fieldNo (1-based) of `record`: the
  // values of the linked record (the record of the linked table whose record
  // id the column holds), column by column as text in ISO formats, NULLs and
  // the record id, Link, Relation, Memo, WideMemo and Blob columns left out,
  // joined by ", ". A NULL link is the empty text. The linked table lies
  // beside this one ("@" names this table itself); it is opened read-only on
  // first use with this table's key and sharing and stays open until Close.
  // Errors: 162 when fieldNo is not a Link column, 88 naming the linked
  // table when it does not exist, 64 when it has no record id column, 19
  // when no record has the id, and the linked table's own open errors.
  std::u16string DoGetLinkString(std::span<const std::uint8_t> record, int fieldNo);

  // --- Indexes -------------------------------------------------------------
  int FirstIndexNo() const { return 0; }
  int LastIndexNo() const { return FLastIndexNo; }
  int IndexCount() const { return FLastIndexNo + 1; }
  // Whether number indexNo holds an index.
  bool HasIndex(int indexNo) const;
  const std::u16string& IndexName(int indexNo) const;
  // The number of index `name` (compared as index names are); error 36.
  int GetIndexNo(std::u16string_view name) const;
  // Opens the index on first use; answers whether it is open. A lost index
  // raises the error of its failed open again (95 when none is known).
  bool CheckIndexOpen(int indexNo);
  // The open index file (CheckIndexOpen first); error 95 when lost.
  TTdbIndexFile& GetIndexFile(int indexNo);
  // The index item of a record image with record number recNo.
  void CalcIndexInfo(int indexNo, std::span<const std::uint8_t> record, std::int32_t recNo,
                     std::vector<std::uint8_t>& item);
  // The first and last items of an index and the steps from `item` to its
  // neighbours, in index order (results are TTdbTreeResult values). A
  // nearest-key search is TTdbIndexFile::Suche_Index.
  int FindFirstIndexInfo(int indexNo, std::vector<std::uint8_t>& item);
  int FindNextIndexInfo(int indexNo, std::vector<std::uint8_t>& item);
  int FindPrevIndexInfo(int indexNo, std::vector<std::uint8_t>& item);
  int FindLastIndexInfo(int indexNo, std::vector<std::uint8_t>& item);
  // Registers an index (file not opened): the lowest free number, 67 when
  // none. def: the definition of a new or automatic index, or null.
  int InitIndex(const std::u16string& name, const TTdbSortDef* def);
  // Creates index indexNo's file anew and fills it from the records, with
  // the definition its file holds (135 when even that cannot be read; the
  // index must then be dropped and created again). The new file is written beside the old one and replaces it once it
  // is whole, so a failed or killed rebuild leaves the old file. Needs the
  // write lock, which it takes.
  void RebuildIndex(int indexNo);
  // Drops user or temporary index indexNo: removes it from the header's
  // index names, then deletes its file, so a drop broken off leaves at most
  // a stray file. Works on a lost or damaged index. Needs tarIndex (160) and
  // the table exclusively; 187 for an index a key or link of the table
  // keeps, 116 while a cursor walks it.
  void DeleteIndex(int indexNo);
  // The index name temporary index `number` (1..99) gets at this table's level.
  std::u16string TempIndexName(int number) const;
  // Rewrites the header's index name area from the user and temporary
  // indexes in number order.
  void WriteIndNames();

  // --- Locks (in pairs) ----------------------------------------------------
  // With a lock file, a lock that must come from the file and is refused
  // (at once when wait is false, else after the lock file's waiting) is
  // error 104 and changes nothing; so is an upgrade or write lock asked for
  // while the table holds only read locks.
  void BeginRead(bool wait = true);
  void EndRead();
  void BeginUpgrade(bool wait = true);
  void EndUpgrade();
  // Error 3 (once) when an earlier flush failed; in a transaction the first
  // write lock creates the redo log.
  void BeginWrite(bool wait = true);
  // Giving up the outermost write lock flushes; a failed flush is kept for
  // the next BeginWrite and for Close.
  void EndWrite();
  // Error 103 while another program or session has the table open.
  void BeginExclusive();
  void EndExclusive();
  int ReadLocks() const { return FReadLocks; }
  int WriteLocks() const { return FWriteLocks; }

  // --- Shared use (table_sharing.cpp) --------------------------------------
  // Before Open: log in to the table's lock file on lockFileSystem as the
  // session sessionId (never 0; error 107 at Open otherwise) named
  // sessionName. Without this call the table has no lock file.
  void SetSharing(std::shared_ptr<TdwFileSystem> lockFileSystem, TdwClock& clock, std::int64_t sessionId,
                  std::u16string sessionName);
  bool HasLockFile() const { return FLockFile != nullptr; }
  // Record edit locks of this table object's cursors: at most one record in
  // the lock file. False (nothing changed) when another program or session
  // edits recNo, holds the write lock, or this object holds another record.
  // Without a lock file every record is granted and counted.
  bool LockEditRecord(std::int32_t recNo);
  void UnlockEditRecord(std::int32_t recNo);
  // Whether recNo may be deleted as far as edit locks go: no other program
  // or session edits it, and this object holds no lock on another record.
  // The caller holds the write lock, under which nobody can take a new edit
  // lock: so the lock file is read, never written, and not even read again
  // while the write lock it showed free of foreign edit locks is still held.
  bool MayDeleteRecord(std::int32_t recNo);
  // Reads the table again when another program changed it; answers whether
  // it did.
  bool CheckUpdate();
  // Called by the unlock thread: gives back a lock no counter needs, 10 ms
  // or more after the last End call. Never waits for FLockingMutex. A write
  // lock whose changes still need a flush is kept while an operation of the
  // owning thread holds a counter: the flush would change the files and the
  // table's in-memory state under that operation.
  void CheckUnlock(std::uint64_t ticks) noexcept override;
  // Users of the lock file; without one, one user and no locks.
  TTdbLockUsage GetUsage();
  // Live sessions in the lock file; 0 without one.
  int NetUsers();

  // --- Files ---------------------------------------------------------------
  // Writes every change to the files (and, with secure flushing or in a
  // transaction, commits them to disk; otherwise every 1000th flush starts
  // writing them back without waiting). Error 3.
  void Flush();
  // Throws away every change not yet flushed.
  void Undo();
  // Called by a record change when it is complete: under an outer write
  // lock (a batch of changes, a transaction), once the page cache holds
  // nothing but modified buffers beyond its limit, flushes (the redo log
  // first), so that memory stays bounded by the cache, not by the batch. A
  // failed flush is kept for the next BeginWrite and for Close.
  void FlushWhenCacheFull() noexcept;
  // Drops cached pages and reads the files' state again (another program
  // changed them); with a lock file replays the record moves other programs
  // logged (accessors get RecordDeleted) and catches up with the change
  // count. Accessors get RelationChanged. Does nothing while a reload runs.
  // A failed reload leaves the change count where it was, so the next lock
  // tries again.
  void UpdateTable();

  // --- Records -------------------------------------------------------------
  // Reads record recNo (error 19 when there is no such record).
  void ReadRecord(std::int32_t recNo, std::span<std::uint8_t> buffer);
  std::int32_t GetFirstRecordNo() const;
  std::int32_t GetNextRecordNo(std::int32_t recNo) const;
  std::int32_t GetPrevRecordNo(std::int32_t recNo) const;
  std::int32_t GetLastRecordNo() const;
  // A new, empty record: zeros, non-nullable Date 545 and DateTime 545/0;
  // with preset and a RecordId column, a new record id.
  void InitRecord(std::span<std::uint8_t> buffer, bool preset);
  // Appends the record with the values of blobs (the buffer's own memo and
  // blob numbers are ignored). Answers the new record number. Errors: 43
  // a value its column cannot hold (CheckRecordImage), 160 without tarAppend, 171 full, 30 not unique, 95 a lost index, 4 an index
  // insert; nothing stays behind on failure.
  std::int32_t AppendRecord(std::span<std::uint8_t> buffer, const TTdbBlobDataList& blobs);
  // Replaces record recNo by buffer; blobs rewrites the values it names,
  // the other memo and blob columns keep their stored values (the buffer's
  // block numbers are ignored). The stored record is read again under the
  // write lock: its index items are the ones replaced and its chains the
  // ones freed, last, after everything else succeeded. On return buffer
  // holds the stored image. Errors: 43 as for AppendRecord, 160 without
  // tarEdit (even when nothing changes), 19, 30, 95, 4/5 an index change (record and items restored).
  void ReplaceRecord(std::span<std::uint8_t> buffer, const TTdbBlobDataList& blobs, std::int32_t recNo);
  // Deletes record recNo: in a heap file the last record moves into its
  // slot (accessors get RecordDeleted(recNo, moved)); a B+ tree table file
  // moves nothing (moved 0). Memo and blob chains of the stored
  // record are freed last. Errors: 160 without tarDelete, 19, 5/4 an index
  // change (everything restored).
  void DeleteRecord(std::int32_t recNo);

  // Memo, blob and wide memo values of a record image; a block number of 0
  // is the empty value. fieldNo is 1-based.
  std::string ReadMemoString(std::span<const std::uint8_t> record, int fieldNo);
  std::string ReadBlobData(std::span<const std::uint8_t> record, int fieldNo);
  std::u16string ReadBlobDataWide(std::span<const std::uint8_t> record, int fieldNo);
  std::int32_t GetBlockIdx(std::span<const std::uint8_t> record, int fieldNo) const;
  void SetBlockIdx(std::span<std::uint8_t> record, int fieldNo, std::int32_t block) const;

  // Record ids: the next id is handed out from the header when a record is
  // prepared (64 without a RecordId column, 160 without tarAppend).
  void SetAutoNum(std::span<std::uint8_t> buffer);
  // Gives an id back when it is the last one handed out.
  void CancelAutoNum(std::int32_t recordId);
  // A record inserted with an explicit id: the next id follows it.
  void AdjustRecordId(std::span<const std::uint8_t> buffer);
  std::int32_t ReadNextRecordId();

  // --- Transactions --------------------------------------------------------
  // From now on every change is logged in the redo log (created by the
  // first write). Error 183 when one runs already.
  void StartTransaction();
  bool InTransaction() const { return FInTransaction; }
  // Ends the transaction keeping its changes: flushes and deletes the log.
  void CommitModifications();
  // Ends the transaction undoing its changes: changes that never left the
  // cache are dropped (the files stay byte for byte as they were), others
  // are undone from the log. A log that cannot be replayed is kept and
  // reported (52).
  void UndoModifications();

  // --- Constraints (table_constraints.cpp) ---------------------------------
  // The candidate keys, check constraints and foreign keys of a new table
  // (before NewFile; stored at level 4 and above, 117 below). Key and
  // foreign-key columns are index specifications ("A,B"). NewFile refuses a
  // key or foreign key on columns the table lacks (98), a check or foreign
  // key without name or text (135), a name used twice (71), and parent
  // columns that do not pair with the columns (57).
  void SetConstraints(std::vector<TTdbCandidateKeyDef> keys, std::vector<TTdbCheckDef> checks,
                      std::vector<TTdbForeignKeyDef> foreignKeys);
  const std::vector<TTdbCandidateKeyDef>& KeyDefs() const { return FHeader.KeyDefs; }
  const std::vector<TTdbCheckDef>& CheckDefs() const { return FHeader.CheckDefs; }
  const std::vector<TTdbForeignKeyDef>& ForeignKeyDefs() const { return FHeader.ForeignKeyDefs; }
  // The name of candidate key `key`'s index: its own name, or "sys_Primary"
  // for a primary key and "sys_Unique<position>" for another without one.
  static std::u16string KeyIndexName(const TTdbCandidateKeyDef& key, std::size_t position);
  // The index number of candidate key `key` after Setup; -1 when none.
  int KeyIndexNo(std::size_t key) const;
  int PrimIndexNo() const { return FPrimIndexNo; }
  // Installs the checker of check constraints and foreign keys (before
  // Setup); null removes it.
  void SetConstraintChecker(std::shared_ptr<ITdbConstraintChecker> checker) { FConstraintChecker = std::move(checker); }
  // The number of an index whose first levels are `columns` (column names
  // separated by commas) in that order, ascending; -1 when there is none.
  // Indexes that cannot be opened are passed over.
  int FindIndexOn(std::u16string_view columns);
  // Whether index indexNo holds an item of a record other than exceptRecNo
  // whose first levelCount levels equal those of `record`'s item.
  bool HasIndexKey(int indexNo, std::span<const std::uint8_t> record, int levelCount, std::int32_t exceptRecNo = 0);
  // Whether a record holds in `columns` (column names separated by commas)
  // the values `record` holds there, compared as an index on those columns
  // compares them (collation, NULLs). Walks every record under a read lock,
  // for a table that has no such index.
  bool HasRecordWithKey(std::u16string_view columns, std::span<const std::uint8_t> record);

  // --- Accessors -----------------------------------------------------------
  TTdbRelationListeners& Listeners() { return FListeners; }

  // --- Removing every record (table_clear.cpp) -----------------------------
  // Removes every record: the table file goes back to an empty one (record
  // ids go on where they were), the memo and blob files and every index are
  // emptied, and so are the relation tables of the Relation columns. Every
  // accessor gets RelationEmptied. Answers the number of records removed. A
  // program killed at any point leaves the old table or the empty one; the
  // next open finishes or undoes what it left. Errors, with nothing changed:
  // 160 without tarDelete (a read-only table), 183 inside a transaction, 103
  // while another program or table object has the table or one of its
  // relation tables open, 95 for an index whose definition cannot be read,
  // file errors. Takes the table exclusively and the write lock.
  std::int32_t ClearDat();

 private:
  struct TIndexSlot;

  // Whether a new table with these definitions is a B+ tree table file:
  // level 6, a first column of type RecordId named kBPlusRecordIdName, and
  // records of at most kMaxBPlusRecordSize bytes.
  bool WantsBPlusFile() const;
  // Constraints (table_constraints.cpp): checks of new definitions, the
  // indexes of candidate keys at Setup, and the checks before a change.
  void CheckNewConstraints() const;
  void SetupKeyIndexes();
  // Before an append (recNo 0), a replace of recNo by `record`, or a delete
  // of recNo (`record` empty), with the upgrade lock held.
  void CheckConstraintsBeforeChange(std::span<const std::uint8_t> record, std::int32_t recNo,
                                    const TTdbBlobDataList& values = {});
  // Link, Relation and Enum details of new columns (table_relation_columns.cpp).
  void CheckNewColumnDetails() const;
  // Creates the relation table of every Relation column; adds each file
  // made to `made`.
  void CreateRelationTables(std::vector<std::string>& made);

  // Opening steps (base_table.cpp).
  void OpenFiles(bool force);
  void OpenDataFile();
  // The first bytes of the open table file's header (up to
  // kHeaderPrefixSize), read the same way on opening and on re-reading it.
  std::vector<std::uint8_t> ReadHeaderPrefix(std::int64_t fileSize);
  // B+ tree table files (bplus_table.cpp): the header read with the key and
  // the tree opened behind it (error 117 for an encrypted one, 134 when the
  // first column is not a record id without null indicator); a new file.
  void OpenBPlusHeader(std::span<const std::uint8_t> prefix, std::uint64_t fileSize, ITdbByteSource* more);
  void NewBPlusDataFile(std::unique_ptr<TTdbClientStorage> storage);
  // The journal that keeps each flush of a B+ tree table file whole; one left
  // by a program that died in a flush puts the table file back before it is
  // read (with write access, also for a read-only open; without it a clear
  // error).
  std::string BPlusJournalFileName() const;
  void RestoreBPlusJournal();
  // Under the write lock just taken from the lock file: puts back the
  // journal a dead program's flush left, while other programs keep the
  // table open (the cache is read again when the table is open).
  void RestoreDeadFlush();
  // ClearDat's steps (table_clear.cpp): the journal's name, the files that
  // are replaced, writing their empty versions beside them, opening the
  // replaced files; and, on opening, finishing or undoing an emptying left
  // by a dead program (before anything is read).
  std::string ClearJournalFileName() const;
  std::vector<std::string> ClearTargets() const;
  void WriteEmptyFiles();
  void ReopenClearedFiles();
  void FinishClearLeftBehind();
  // Refusals of a new B+ tree table file, before any file is made.
  void CheckNewBPlusFile() const;
  // The B+ tree table file, or null for a heap table file.
  TTdbBPlusTableFile* BPlusFile() const;
  // B+ tree table file, under the write lock: the number of an appended
  // record, its id (handed out and stored in buffer when it has none, the
  // next id raised past an explicit one). Error 30 for an id in use.
  std::int32_t RecordNoForAppend(std::span<std::uint8_t> buffer);
  // Reads the table file's header again (with the table's key), as it is
  // on disk now.
  TTdbTableHeader ReadStoredHeader();
  // Reads the header with the table's key (table_encryption.cpp): sets the
  // cryptor's method from the header, initializes it and checks the key.
  // Error 38 for a key that does not fit; the header errors otherwise.
  TTdbTableHeader ReadHeaderWithKey(std::span<const std::uint8_t> prefix, std::uint64_t fileSize,
                                    ITdbByteSource* more);
  // The header image of a new table with its key (table_encryption.cpp);
  // fills FHeader from it. Errors 117 and 186 as NewFile.
  std::vector<std::uint8_t> NewHeaderImage();
  void ComputeColumnSummary();
  void BuildIndexTable();
  void CheckFirstRecord();
  void OpenBlockFiles(bool force);
  // Rolls back the transaction of the redo log left behind, if any.
  void RecoverRedoLog();
  // A read-only open that meets a redo log: recovers with write access, then
  // opens read-only again; a clear error (135) when the files cannot be
  // opened for writing.
  void RecoverWithWriteAccess(bool force);
  void CloseFiles() noexcept;
  // cryptor: the tile encryption of the storage (index files of level-6
  // tables); null for the files that encrypt their own records and blocks.
  std::unique_ptr<TTdbClientStorage> NewClientStorage(const std::string& name,
                                                      const TdwCryptor* cryptor = nullptr) const;
  TTdbHeapDataFile& Heap() const;
  void RequireActive() const;
  void RequireRight(TTdbRights right) const;
  void RequireChangeable() const;
  [[noreturn]] void RaiseOpenError(const std::exception_ptr& error, const std::string& fileName) const;

  // Indexes (table_indexes.cpp).
  std::string IndexFileName(const std::u16string& indexName) const;
  // Opens the slot's file; a damaged one (or, with checkItemCount, one
  // whose item count is not the record count) is error 95 with the file's
  // name.
  void OpenIndexSlot(TIndexSlot& slot, bool checkItemCount = true);
  // Throws ETdbEngine tdbErrIndexCorrupt when the index's item count is not
  // the record count.
  void CheckIndexItemCount(const TIndexSlot& slot) const;
  // The definition in the header page of a slot's file that does not open;
  // none when that cannot be read either. Leaves the slot closed.
  std::optional<TTdbSortDef> ReadStoredDefinition(TIndexSlot& slot);
  void CreateIndexSlotFile(TIndexSlot& slot, const TTdbSortDef& def);
  void FillIndex(TIndexSlot& slot);
  void CloseIndexSlot(TIndexSlot& slot) noexcept;
  TIndexSlot& Slot(int indexNo) const;
  bool IsAutomatic(const TIndexSlot& slot) const;
  // DeleteIndex without its checks of rights, kind and accessors: takes the
  // table exclusively (103 when another program or session has it open),
  // unlists the index, then deletes its file.
  void RemoveIndex(int indexNo);
  // Close's part: removes every temporary index no accessor walks when the
  // table can be had exclusively now, and every stray temporary index file
  // (StrayTempIndexFiles); otherwise they stay for the next close that can.
  // Nothing for a read-only table. Never throws.
  void DropTemporaryIndexes() noexcept;
  // The existing files named as this table's temporary indexes 1..99 whose
  // index is neither registered nor listed in the header: left by a program
  // killed while it made the index, before it listed the name.
  std::vector<std::string> StrayTempIndexFiles();
  // Re-reads an open index's header after its storage was undone.
  void RefreshIndexes() noexcept;

  // Record changes (record_ops.cpp). keepBlocks: the image's block numbers
  // are stored as they are (rollback re-inserting a moved record); freeOld:
  // the stored record's chains of rewritten columns are freed.
  std::int32_t AppendRecordImpl(std::span<std::uint8_t> buffer, const TTdbBlobDataList& blobs,
                                bool keepBlocks);
  void ReplaceRecordImpl(std::span<std::uint8_t> buffer, const TTdbBlobDataList& blobs, std::int32_t recNo,
                         bool freeOld);
  void RegisterIndexes();
  void CheckUnique(std::span<const std::uint8_t> record, std::int32_t recNo);
  // Numbers of the indexes a change keeps: all (the error that made one
  // lost, when there is one) or, with skipLost, those that can be opened.
  std::vector<int> ChangedIndexes(bool skipLost);
  std::int32_t StoreValue(std::span<std::uint8_t> record, int fieldNo, const TTdbBlobData& value,
                          std::int32_t oldBlock);
  void FreeValue(int fieldNo, std::int32_t block);
  // Flushes a change made under the outermost write lock. When the flush
  // fails, takeBack undoes the change in the cache, that state is flushed
  // (kept for a later flush when this fails too), and error 3 is raised.
  void FlushChangeOrTakeBack(const std::function<void()>& takeBack);
  // Flushes the chains a written change freed; when that fails they are
  // dropped from the cache (left allocated) and nothing is reported.
  void FlushFreedValues() noexcept;
  std::vector<struct TTdbRedoValue> ReadValuesForLog(std::span<const std::uint8_t> record,
                                                     const std::vector<int>& fieldNos);
  bool IsBlockColumn(int fieldNo) const;
  std::vector<int> BlockColumns() const;
  // Adds (remove = false) or deletes the record's item in one index; error
  // 4 or 5 with the index name.
  void ChangeIndexItem(int indexNo, std::span<const std::uint8_t> record, std::int32_t recNo, bool remove);
  void WriteNextRecordId(std::int32_t id);

  // Shared use (table_sharing.cpp).
  void LogInToLockFile();
  void LogOutOfLockFile() noexcept;
  // Ends every counter and edit lock and gives the lock in the file back
  // (counting a change when it was an upgrade or write lock).
  void ReleaseSharedLocks() noexcept;
  void AdjustLockLevel();
  // Whether lowering the lock now would flush beside an operation that
  // holds a counter (FLockingMutex held).
  bool FlushWouldMeetOperation() const;
  // One End call in kEarlyReleaseOdds gives back what the counters no longer
  // need at once, and pauses when that was anything.
  void EarlyRelease();
  bool HasTableChanged() const;
  void ReplayRecordMoves();
  // A deletion moved record fromRecNo into the hole toRecNo (equal when the
  // last record was deleted): edit locks follow it and other programs learn it.
  void NoteRecordMove(std::int32_t fromRecNo, std::int32_t toRecNo);
  // Reads the files' state again: the data file's, every open index's, the
  // memo and blob files'; with newIndexes also the index names, registering
  // the indexes another program added (or all again when it removed one).
  void ReloadFiles(bool newIndexes);
  // Whether a redo log that no live program owns lies beside the table: asked
  // with a table lock just taken from the lock file. A live program keeps the
  // write lock from the first change of its transaction to its end, so a log
  // seen then belongs to a program that died in its transaction. So does the
  // journal of a B+ tree table file's flush.
  bool DeadTransactionLeft();
  // Under the write lock just taken from the lock file: puts back a dead
  // program's cut-short flush of a B+ tree table file, then rolls back the
  // transaction a dead program left in the redo log (error 135 for a table
  // opened read-only).
  void RollBackDeadTransaction();
  // A read or upgrade lock just taken from the lock file met a dead
  // program's transaction: gives that lock back, rolls the transaction back
  // under the write lock, which then stands for the lock asked for.
  void RollBackBeforeReading(bool wait);
  void MarkUnlockTime();

  // The change log of changes outside a user transaction
  // (table_change_log.cpp). ChangeLog: the log a change writes its entries
  // to (the transaction's, else the change log, opened on first use; none
  // while rolling back). WriteChangeLog: before a flush writes pages.
  // ClearChangeLog: once the flush wrote (and when secure, committed) them.
  // CloseChangeLog: deletes an empty log, keeps one with entries on disk.
  TTdbRedoLog* ChangeLog();
  void WriteChangeLog();
  void ClearChangeLog();
  void CloseChangeLog();
  // Commits every file's data to disk (fsync).
  void CommitFiles();
  // Starts writing every file's data to disk without waiting; the files stay
  // uncommitted, so the next CommitFiles syncs them.
  void StartFilesWriteBack() noexcept;

  // Transactions (table_transaction.cpp).
  void CreateRedoLog();
  // Gives back the write lock the transaction held for itself.
  void EndTransactionWriteLock();
  void ReplayRedoLog(TTdbRedoLog& log);
  void UndoEntry(const TTdbRedoEntry& entry);
  TTdbBlobDataList ValuesOf(const TTdbRedoEntry& entry) const;
  bool SlotHoldsLoggedRecord(const TTdbRedoEntry& entry);
  void UndoMovedDelete(const TTdbRedoEntry& entry);

  TTdbPageManager& FPageManager;
  TdwFileSystem& FFileSystem;
  int FClientHdl;
  std::string FFileName;
  std::string FStdName;
  TTdbRights FRights = 0;
  int FLevel = 0;
  std::int32_t FCapacity = kDefaultCapacity;
  std::u16string FCollationName;
  TTdbColumnDefs FColumnDefs;
  TTdbTableHeader FHeader;
  TTdbIndexTable FIndexTable;
  bool FHasMemo = false;
  bool FHasBlob = false;
  int FRecordIdFieldNo = 0;
  // Check constraints or foreign keys in the header: changes need FConstraintChecker.
  bool FHasConstraints = false;
  std::vector<TTdbCandidateKeyDef> FNewKeyDefs;
  std::vector<TTdbCheckDef> FNewCheckDefs;
  std::vector<TTdbForeignKeyDef> FNewForeignKeyDefs;
  std::vector<int> FKeyIndexNos;  // candidate key → index number
  int FPrimIndexNo = -1;
  std::shared_ptr<ITdbConstraintChecker> FConstraintChecker;
  std::vector<std::uint8_t> FRecBuffer;

  TdwCryptor FCryptor;
  std::unique_ptr<TTdbDataFile> FDataFile;
  std::unique_ptr<TTdbMemoFile> FMemo;
  std::unique_ptr<TTdbBlobFile> FBlob;
  std::vector<std::unique_ptr<TIndexSlot>> FIndexFiles;  // index number → slot (null: empty)
  int FLastIndexNo = -1;

  std::unique_ptr<TTdbRedoLog> FRedoLog;
  std::unique_ptr<TTdbRedoLog> FChangeLog;  // changes outside a user transaction
  bool FInTransaction = false;
  bool FRollingBack = false;
  // Whether changes of the running transaction may have reached the files
  // (a flush since it started, or a write lock held when it started).
  bool FTransactionFlushed = false;
  int FFlushCounter = 0;
  bool FUpdating = false;
  int FWriteError = 0;
  // Changes made under a write lock may still wait in memory: set when a
  // write lock is taken, cleared by a flush that completes once no write
  // lock is held any more. Giving up the lock file's write lock flushes
  // only while it is set.
  bool FFlushDue = false;

  std::recursive_mutex FLockingMutex;
  int FReadLocks = 0;
  int FUpgradeLocks = 0;
  int FWriteLocks = 0;
  int FExclusiveLocks = 0;

  // Shared use.
  std::shared_ptr<TdwFileSystem> FLockFileSystem;
  TdwClock* FClock = nullptr;
  std::int64_t FSessionId = 0;
  std::u16string FSessionName;
  std::unique_ptr<TTdbLockFile> FLockFile;
  // The unlock thread reads these three before it tries FLockingMutex.
  std::atomic<TTdbTableLockType> FUnlockAction = tltNone;  // the lock the lock file shows
  std::atomic<bool> FUnlockActive = false;
  std::atomic<std::uint64_t> FUnlockTime = 0;
  int FEditLocks = 0;
  std::int32_t FEditRecNo = 0;  // the record of FEditLocks
  // The lock file showed no other session's edit lock while this object has
  // held its write lock there (cleared when the write lock is given back).
  bool FNoForeignEditLocks = false;
  bool FHijackPending = false;
  // With a lock file a transaction holds one write lock of its own from its
  // first change to its end, so no other program reads its changes or
  // takes its redo log for a dead program's.
  bool FTransactionWriteLock = false;

  TTdbRelationListeners FListeners;

  // Relation tables (table_relation_entries.cpp).
  struct TRelationPair {
    int FieldNo;
    std::int32_t DetailId;
  };
  TTdbBaseTable& RelationTable(int fieldNo);
  void AppendPair(TTdbBaseTable& relation, std::int32_t masterId, std::int32_t detailId);
  void UndoTableModifications();
  // The record id of a stored record image; 0 without one.
  std::int32_t RecordIdOf(std::span<const std::uint8_t> record) const;
  // Removes every pair of the record with id masterId from every relation
  // table and answers them, so a failed delete can put them back.
  std::vector<TRelationPair> RemoveRelationEntries(std::int32_t masterId);
  void RestoreRelationEntries(std::int32_t masterId, const std::vector<TRelationPair>& pairs) noexcept;
  bool HasRelationColumns() const;
  void CommitRelationTables();
  void UndoRelationTables();
  void CloseRelationTables() noexcept;
  std::map<int, std::unique_ptr<TTdbBaseTable>> FRelationTables;  // by field number
  // The linked table of a Link column, opened for DoGetLinkString.
  TTdbBaseTable& LinkedTable(const TTdbColumnDef& column);
  std::map<std::u16string, std::unique_ptr<TTdbBaseTable>> FLinkedTables;  // by linked table name
};

// Takes one lock of a table for a scope and gives it back at its end.
class TTdbTableLock {
 public:
  TTdbTableLock(TTdbBaseTable& table, TTdbTableLockType type);
  TTdbTableLock(const TTdbTableLock&) = delete;
  TTdbTableLock& operator=(const TTdbTableLock&) = delete;
  ~TTdbTableLock();

 private:
  TTdbBaseTable& FTable;
  TTdbTableLockType FType;
};

}  // namespace kestrel
