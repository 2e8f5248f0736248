// TTdbBaseTable: the change log, which makes every change outside a user
// transaction whole or absent when the program dies while writing it.
//
// A change outside a transaction is logged like a transaction's change, in a
// log of the same name (so an open after a crash rolls it back like any
// unfinished transaction, under the same sharing rules). A flush writes the
// collected entries before any page, and empties the log once every page is
// written: a program that dies in between leaves a log that undoes exactly
// the changes whose pages may be half written. With secure flushing the log
// is synced before the pages and emptied (synced) after they are committed,
// so the same holds after a power loss.
//
// The log stays open between changes and is emptied, not deleted, so a
// change costs one write and one cut of the log. It is opened with an
// exclusive sharing lock, which tells any other program that its owner is
// alive. A table with a lock file keeps it only while it holds the write
// lock in the lock file (which it keeps for a while after a change, so
// changes in a row share one log) and deletes it, emptied, before it gives
// that lock back: other programs write the table between this program's
// write locks and make their own logs of the same name, and one that takes
// a lock and finds a log takes it for a dead program's.
#include "engine/base/engine_error.h"
#include "engine/table/base_table.h"
#include "engine/table/redo_log.h"

namespace kestrel {

TTdbRedoLog* TTdbBaseTable::ChangeLog() {
  if (FRollingBack) return nullptr;
  if (FInTransaction) return FRedoLog.get();
  if (!FChangeLog) {
    auto log = std::make_unique<TTdbRedoLog>(FFileSystem, RedoLogFileName());
    log->Create((FRights & kRightSecureFlush) != 0);
    // Open again to hold the file with an exclusive sharing lock.
    log->Close();
    if (!log->OpenExisting()) throw ETdbEngine(tdbErrWriteFile, log->FileName());
    FChangeLog = std::move(log);
  }
  return FChangeLog.get();
}

void TTdbBaseTable::WriteChangeLog() {
  if (FChangeLog && FChangeLog->HasEntries()) FChangeLog->Write((FRights & kRightSecureFlush) != 0);
}

void TTdbBaseTable::ClearChangeLog() {
  if (!FChangeLog || !FChangeLog->HasEntries()) return;
  // With secure flushing the cut is synced: a log that an operating system
  // crash brought back with its entries would take the committed change back.
  FChangeLog->CutTo(kRedoLogHeaderSize, (FRights & kRightSecureFlush) != 0);
}

void TTdbBaseTable::CloseChangeLog() {
  if (!FChangeLog) return;
  std::unique_ptr<TTdbRedoLog> log = std::move(FChangeLog);
  // A log with entries protects pages that may be half written: it stays
  // on disk and the next open rolls them back.
  if (log->HasEntries()) {
    log->Close();
    return;
  }
  log->Erase();
}

}  // namespace kestrel
