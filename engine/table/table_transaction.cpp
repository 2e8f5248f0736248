// TTdbBaseTable: transactions. The redo log is created by the first write of
// a transaction and every change appends its entries after it was made;
// commit deletes the log, rollback replays it backwards.
//
// Replaying is resumable: after each undone entry (or run of inserts) the
// table is flushed (with secure flushing also committed to disk) and the log
// is cut before that entry, so a replay broken off (an error, a crash) goes
// on where it stopped. An undo writes the table file after the index, memo
// and blob files. An entry whose change never reached the files, or reached
// them in part (the program died between logging it and flushing, or in the
// middle of a flush), is recognised: an insert whose record number lies
// beyond the record count is passed over, a delete whose record is still in
// its slot too, index items already gone or already there are what the step
// was to achieve. An update is undone by writing the old image back, which is
// right either way. In a B+ tree table file record numbers are record ids and
// no record moves: an insert is undone when its record is there, a delete
// when its record is not.
#include <exception>

#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/table/heap_data_file.h"
#include "engine/table/redo_log.h"
#include "engine/table/table_index_slot.h"

namespace kestrel {

namespace {

// Most inserts a replay undoes between two flushes.
constexpr std::size_t kUndoRunLength = 1000;

}  // namespace

void TTdbBaseTable::StartTransaction() {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  if (FInTransaction) throw ETdbEngine(tdbErrTransactionRunning);
  FInTransaction = true;
  FTransactionFlushed = FWriteLocks > 0;
}

void TTdbBaseTable::CreateRedoLog() {
  // The transaction's log takes the change log's file, which the last flush
  // emptied.
  if (FChangeLog && FChangeLog->HasEntries()) throw ETdbEngine(tdbErrWriteFile, FStdName);
  CloseChangeLog();
  auto log = std::make_unique<TTdbRedoLog>(FFileSystem, RedoLogFileName());
  log->Create((FRights & kRightSecureFlush) != 0);
  FRedoLog = std::move(log);
}

void TTdbBaseTable::CommitModifications() {
  std::lock_guard guard(FLockingMutex);
  if (!FInTransaction) return;
  if (FRedoLog) {
    Flush();  // the changes are on disk before the log goes
    FRedoLog->EraseCommitted((FRights & kRightSecureFlush) != 0);
    FRedoLog.reset();
  }
  FInTransaction = false;
  EndTransactionWriteLock();
  CommitRelationTables();
}

void TTdbBaseTable::EndTransactionWriteLock() {
  if (!FTransactionWriteLock) return;
  FTransactionWriteLock = false;
  EndWrite();
}

void TTdbBaseTable::UndoModifications() {
  std::lock_guard guard(FLockingMutex);
  if (!FInTransaction) return;
  // The relation tables' pairs go back with the records they belong to.
  std::exception_ptr relationError;
  try {
    UndoRelationTables();
  } catch (const ETdbEngine&) {
    relationError = std::current_exception();
  }
  UndoTableModifications();
  if (relationError) std::rethrow_exception(relationError);
}

void TTdbBaseTable::UndoTableModifications() {
  std::unique_ptr<TTdbRedoLog> log = std::move(FRedoLog);
  FInTransaction = false;
  if (!log) return;
  // The write lock goes after the log: until then nobody takes the log for
  // a dead program's.
  struct TWriteLockEnd {
    TTdbBaseTable& Table;
    ~TWriteLockEnd() { Table.EndTransactionWriteLock(); }
  } writeLockEnd{*this};
  if (!FTransactionFlushed) {
    Undo();
    log->Erase();
    return;
  }
  try {
    ReplayRedoLog(*log);
  } catch (const ETdbEngine&) {
    log->Close();  // kept on disk; the next open goes on with it
    throw;
  }
  log->Erase();
}

void TTdbBaseTable::ReplayRedoLog(TTdbRedoLog& log) {
  RegisterIndexes();
  TTdbRedoLogShape shape;
  shape.RecordSize = RecordSize();
  for (const TTdbColumnDef& column : FColumnDefs) {
    const TTdbColumnType type = column.DataType.ColumnType();
    shape.ValueKinds.push_back(type == tctWideMemo                  ? takWideMemo
                               : type == tctMemo || type == tctBlob ? takBlob
                                                                    : takInsert);
  }
  const std::vector<TTdbRedoEntry> entries = log.ReadEntries(shape);
  const bool secure = (FRights & kRightSecureFlush) != 0;
  FRollingBack = true;
  try {
    // One write lock for the whole replay; each step is flushed by hand.
    TTdbTableLock write(*this, tltWrite);
    std::size_t run = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const TTdbRedoEntry& entry = entries[i];
      UndoEntry(entry);
      // Inserts of the last records, one after another, are undone as one
      // step of up to kUndoRunLength: undoing such a run again from its start
      // passes over the records already gone, whichever of their pages
      // reached the files.
      if (++run < kUndoRunLength && i + 1 < entries.size() && entry.Kind == takInsert &&
          entries[i + 1].Kind == takInsert && entries[i + 1].RecNo == entry.RecNo - 1)
        continue;
      run = 0;
      Flush();
      // Without secure flushing the steps are committed once, at the end:
      // the cut reaches the file after the step's pages, which is all a
      // program that dies in between needs.
      log.CutTo(entry.Offset, secure);
    }
    if (!secure) CommitFiles();
  } catch (const ETdbEngine&) {
    FRollingBack = false;
    throw;
  }
  FRollingBack = false;
  FListeners.RelationChanged();
}

TTdbBlobDataList TTdbBaseTable::ValuesOf(const TTdbRedoEntry& entry) const {
  TTdbBlobDataList values;
  for (const TTdbRedoValue& logged : entry.Values) {
    TTdbBlobData value;
    value.FieldNo = logged.FieldNo;
    if (logged.Wide) {
      value.WideData.resize(logged.Bytes.size() / 2);
      for (std::size_t i = 0; i < value.WideData.size(); ++i)
        value.WideData[i] = static_cast<char16_t>(static_cast<std::uint8_t>(logged.Bytes[2 * i]) |
                                                  static_cast<std::uint8_t>(logged.Bytes[2 * i + 1]) << 8);
    } else {
      value.AnsiData = logged.Bytes;
    }
    values.push_back(std::move(value));
  }
  return values;
}

bool TTdbBaseTable::SlotHoldsLoggedRecord(const TTdbRedoEntry& entry) {
  if (!HasRecord(entry.RecNo)) return false;
  std::vector<std::uint8_t> current(static_cast<std::size_t>(RecordSize()));
  FDataFile->ReadRecord(entry.RecNo, current);
  std::vector<std::uint8_t> logged = entry.Image;
  for (int f : BlockColumns()) SetBlockIdx(current, f, 0);
  if (current != logged) return false;
  FDataFile->ReadRecord(entry.RecNo, current);
  for (const TTdbRedoValue& value : entry.Values) {
    const std::string stored =
        FColumnDefs[static_cast<std::size_t>(value.FieldNo - 1)].DataType.ColumnType() == tctMemo
            ? ReadMemoString(current, value.FieldNo)
            : ReadBlobData(current, value.FieldNo);
    if (stored != value.Bytes) return false;
  }
  return true;
}

void TTdbBaseTable::UndoEntry(const TTdbRedoEntry& entry) {
  const std::int32_t count = FDataFile->GetRecordCount();
  switch (entry.Kind) {
    case takInsert:
      if (HasRecord(entry.RecNo)) DeleteRecord(entry.RecNo);
      break;
    case takUpdate: {
      if (!HasRecord(entry.RecNo))
        throw ETdbEngine(tdbErrPlain, "The redo log \"" + RedoLogFileName() + "\" names updated record " +
                                            std::to_string(entry.RecNo) + ", which is missing");
      std::vector<std::uint8_t> image = entry.Image;
      ReplaceRecordImpl(image, ValuesOf(entry), entry.RecNo, true);
      break;
    }
    case takDelete: {
      if (entry.CountBefore > 0) {
        UndoMovedDelete(entry);
        break;
      }
      if (SlotHoldsLoggedRecord(entry)) break;  // the delete never reached the files
      std::vector<std::uint8_t> image = entry.Image;
      for (int f : BlockColumns()) SetBlockIdx(image, f, 0);
      if (StableRecordNumbers()) {
        if (!HasRecord(entry.RecNo)) AppendRecordImpl(image, ValuesOf(entry), false);
      } else if (count < entry.RecNo) {
        AppendRecordImpl(image, ValuesOf(entry), false);
      } else {
        // The record that moved into the slot goes back to the end, keeping
        // its values; the slot gets the deleted record again.
        std::vector<std::uint8_t> moved(image.size());
        FDataFile->ReadRecord(entry.RecNo, moved);
        AppendRecordImpl(moved, {}, true);
        ReplaceRecordImpl(image, ValuesOf(entry), entry.RecNo, false);
      }
      break;
    }
    default:
      break;
  }
}

void TTdbBaseTable::UndoMovedDelete(const TTdbRedoEntry& entry) {
  // Either of the table file's changes (the lowered count, the moved record
  // in the slot) may have reached the file without the other. The moved
  // record goes back to the end with its own chains, which the delete never
  // freed; the slot gets the deleted record again, keeping the chains of
  // whatever it holds now (they are the moved record's or the deleted
  // record's old ones).
  if (FDataFile->GetRecordCount() < entry.CountBefore) {
    std::vector<std::uint8_t> moved = entry.MovedImage;
    AppendRecordImpl(moved, {}, true);
  }
  if (SlotHoldsLoggedRecord(entry)) return;
  std::vector<std::uint8_t> image = entry.Image;
  ReplaceRecordImpl(image, ValuesOf(entry), entry.RecNo, false);
}

}  // namespace kestrel
