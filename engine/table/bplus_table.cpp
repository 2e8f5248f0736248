// TTdbBaseTable and B+ tree table files: opening and making one, and the
// record numbers it hands out. In a B+ tree table file a record's number is
// its record id (the first column, a RecordId without null indicator), so a
// new record needs its id before it is stored, and an id belongs to one
// record only.
#include <chrono>
#include <thread>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/base/little_endian.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager_error.h"
#include "engine/table/base_table.h"
#include "engine/table/bplus_journal.h"
#include "engine/table/bplus_table_file.h"
#include "engine/table/bplus_table_header.h"

namespace kestrel {

namespace {

constexpr const char* kEncryptedBPlusFeature = "Encrypted B+ tree table files";

}  // namespace

TTdbBPlusTableFile* TTdbBaseTable::BPlusFile() const { return dynamic_cast<TTdbBPlusTableFile*>(FDataFile.get()); }

bool TTdbBaseTable::StableRecordNumbers() const { return BPlusFile() != nullptr; }

bool TTdbBaseTable::HasRecord(std::int32_t recNo) const {
  if (!Active()) return false;
  if (const TTdbBPlusTableFile* bplus = BPlusFile()) return bplus->HasRecord(recNo);
  return recNo >= 1 && recNo <= FDataFile->GetRecordCount();
}

std::string TTdbBaseTable::BPlusJournalFileName() const {
  return PhysicalDirectory() + Name() + kBPlusJournalExtension;
}

void TTdbBaseTable::RestoreBPlusJournal() {
  // A journal also lies there while a live program flushes the table. That
  // program holds the table file open, so the restore cannot open it
  // exclusively; the journal goes when the flush ends. So a journal is put
  // back only once the file can be had alone, and a journal that vanishes
  // meanwhile belonged to a flush that got through.
  const std::string journal = BPlusJournalFileName();
  constexpr int kAttempts = 100;  // 20 ms apart: about 2 s for a flush to end
  for (int attempt = 1;; ++attempt) {
    if (!TTdbBPlusJournal::IsPresent(FFileSystem, journal)) return;
    try {
      TTdbBPlusJournal::Restore(FFileSystem, journal, FFileName);
      return;
    } catch (const ETdbEngine& e) {
      if (!TTdbBPlusJournal::IsPresent(FFileSystem, journal)) return;
      if (attempt < kAttempts && e.Number() == tdbErrNoWriteAccess) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        continue;
      }
      throw ETdbEngine(tdbErrPlain, "Table \"" + FullName() +
                                        "\" was left by a program that ended while writing it, and putting it "
                                        "back needs write access with no other program using the table (" +
                                        e.Message() + "). Open the table once with write access.");
    }
  }
}

void TTdbBaseTable::RestoreDeadFlush() {
  // With the write lock just taken from the lock file: a live program keeps
  // the write lock while it flushes, so a journal seen now is one a program
  // left when it died (or failed) in a flush. The programs that keep the
  // table open hold the file, so it is written shared; they read it again
  // once this write lock's change is counted.
  const std::string journal = BPlusJournalFileName();
  if (!TTdbBPlusJournal::IsPresent(FFileSystem, journal)) return;
  try {
    TTdbBPlusJournal::Restore(FFileSystem, journal, FFileName, true);
  } catch (const ETdbEngine& e) {
    if (!TTdbBPlusJournal::IsPresent(FFileSystem, journal)) return;
    throw ETdbEngine(tdbErrPlain, "Table \"" + FullName() +
                                      "\" was left by a program that ended while writing it, and putting it "
                                      "back needs write access (" +
                                      e.Message() + "). Open the table once with write access.");
  }
  // The cache of this process may still hold the units just put back (other
  // sessions here keep the file open): they are dropped first.
  try {
    auto storage = NewClientStorage(FFileName);
    storage->Open(ReadOnly(), false);
    storage->Invalidate();
    storage->Close();
  } catch (const ETdbPageManager&) {
    // Nobody here holds the file: nothing is cached.
  }
  if (Active()) ReloadFiles(true);
}

void TTdbBaseTable::OpenBPlusHeader(std::span<const std::uint8_t> prefix, std::uint64_t fileSize,
                                    ITdbByteSource* more) {
  // The pages of the tree are stored as they are, so an encrypted table's
  // records could not be kept secret here: such files are refused.
  if (prefix.size() > kBPlusEncryptionOffset &&
      EncryptionMethodFromCode(prefix[kBPlusEncryptionOffset]) != emNone)
    throw ETdbEngine(tdbErrLevelFeature, FFileName, kEncryptedBPlusFeature);
  FCryptor.SetEncryptionMethod(emNone);
  if (!FCryptor.Initialize()) throw ETdbEngine(tdbErrCredentials);
  TTdbHeaderReader reader(prefix, fileSize, more, FFileName);
  FHeader = ReadBPlusTableHeader(reader, nullptr);
  if (FHeader.Password != FCryptor.Password()) throw ETdbEngine(tdbErrCredentials);
  const TTdbColumnDefs& columns = FHeader.Columns;
  if (columns.Count() == 0 || columns[0].DataType.ColumnType() != tctRecordId ||
      columns[0].DataType.HasNullByte() || FHeader.RecordSize() > kMaxBPlusRecordSize)
    throw ETdbEngine(tdbErrUnknownVersion, FFileName);
  FLevel = FHeader.Level;
  FCapacity = FHeader.Capacity;
  FCollationName = FHeader.CollationName;
  FColumnDefs = FHeader.Columns;
  FHasConstraints = !FHeader.KeyDefs.empty() || !FHeader.CheckDefs.empty() || !FHeader.ForeignKeyDefs.empty();
  BPlusFile()->Attach(static_cast<std::uint16_t>(FHeader.RecordSize()),
                      static_cast<std::uint32_t>(FHeader.RecordsOffset));
  BPlusFile()->SetJournal(ReadOnly() ? std::string() : BPlusJournalFileName(), (FRights & kRightSecureFlush) != 0);
}

void TTdbBaseTable::CheckNewBPlusFile() const {
  if (FCryptor.EncryptionMethod() != emNone) throw ETdbEngine(tdbErrLevelFeature, FFileName, kEncryptedBPlusFeature);
}

void TTdbBaseTable::NewBPlusDataFile(std::unique_ptr<TTdbClientStorage> storage) {
  auto file = std::make_unique<TTdbBPlusTableFile>(std::move(storage), FCryptor);
  file->SetJournal(BPlusJournalFileName(), (FRights & kRightSecureFlush) != 0);
  const auto recordSize = static_cast<std::uint16_t>(RecordSize());
  const std::uint32_t alignment =
      std::max(static_cast<std::uint32_t>(kHeaderAlignment), BPlusTablePageSize(recordSize));
  TTdbBPlusNewFile facts;
  facts.FLevel = static_cast<std::int16_t>(FLevel);
  facts.FRecordSize = recordSize;
  facts.FFirstColumnType = static_cast<std::uint8_t>(FColumnDefs[0].DataType.ColumnType());
  facts.FEncryptionCode = EncryptionCodeOf(emNone);
  facts.FNextRecordId = std::max(FHeader.NextRecordId, 1);
  facts.FHeaderArea = WriteBPlusHeaderArea(FHeader, FFileName, alignment);
  file->NewFile(facts);
  FHeader.NextRecordId = facts.FNextRecordId;
  FHeader.RecordsOffset = file->Tree().HeaderAreaSize();
  FDataFile = std::move(file);
}

std::int32_t TTdbBaseTable::RecordNoForAppend(std::span<std::uint8_t> buffer) {
  const TTdbDataType& type = FColumnDefs[0].DataType;
  const std::span<std::uint8_t> column = FColumnDefs.ColumnBytes(buffer, 0);
  const TTdbValue value = ReadValue(type, column);
  std::int32_t id = std::holds_alternative<int64_t>(value) ? static_cast<std::int32_t>(std::get<int64_t>(value)) : 0;
  if (id < 1 && !FRollingBack) {
    // A record without an id gets the next one, as a prepared record would.
    id = std::max(ReadNextRecordId(), 1);
    WriteNextRecordId(id + 1);
    WriteValue(type, column, static_cast<int64_t>(id));
  }
  if (id < 1) throw ETdbEngine(tdbErrInvalidParameter, Utf16ToUtf8(FColumnDefs[0].Name));
  if (HasRecord(id)) throw ETdbEngine(tdbErrNotUnique, Utf16ToUtf8(FColumnDefs[0].Name));
  // An explicit id: the ids handed out later follow it.
  if (!FRollingBack && id >= ReadNextRecordId()) WriteNextRecordId(id + 1);
  return id;
}

}  // namespace kestrel
