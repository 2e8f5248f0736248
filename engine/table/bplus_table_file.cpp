// TTdbBPlusTableFile: the data file interface over the B+ tree table file.
#include "engine/table/bplus_table_file.h"

#include <vector>

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"
#include "engine/table/bplus_journal.h"
#include "engine/table/index_page_storage.h"

namespace kestrel {

TTdbBPlusTableFile::TTdbBPlusTableFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor)
    : TTdbDataFile(std::move(storage), cryptor),
      FPages(std::make_unique<TTdbIndexPageStorage>(Storage())),
      FJournal(std::make_unique<TTdbBPlusJournal>(*FPages, Storage().FileSystem())),
      FFile(std::make_unique<TTdbBPlusDataFile>(*FJournal, FileName())) {}

TTdbBPlusTableFile::~TTdbBPlusTableFile() = default;

void TTdbBPlusTableFile::NewFile(const TTdbBPlusNewFile& file) { FFile->NewFile(file); }

void TTdbBPlusTableFile::Attach(std::uint16_t recordSize, std::uint32_t headerAreaSize) {
  FFile->Open(recordSize, headerAreaSize);
}

void TTdbBPlusTableFile::SetJournal(std::string journalName, bool secure) {
  FJournal->SetFile(std::move(journalName), secure);
}

void TTdbBPlusTableFile::Flush() {
  FJournal->Begin();
  if (FFile->IsOpen()) FFile->Flush();
  TTdbDataFile::Flush();
  // The journal may go only once the pages it would put back are on disk.
  if (FJournal->Written() && FJournal->Secure()) Storage().UpdateDir();
  FJournal->End();
}

void TTdbBPlusTableFile::Undo() {
  TTdbDataFile::Undo();
  FJournal->Reset();
  // The tree's header image and pages are read again from what is left.
  if (FFile->IsOpen()) FFile->Invalidate();
}

void TTdbBPlusTableFile::Invalidate() {
  Storage().Invalidate();
  FJournal->Reset();
  if (FFile->IsOpen()) FFile->Invalidate();
}

bool TTdbBPlusTableFile::HasRecord(std::int32_t recNo) const { return FFile->IsOpen() && FFile->HasRecord(recNo); }

void TTdbBPlusTableFile::CheckBuffer(std::size_t size) const {
  if (!FFile->IsOpen()) throw ETdbEngine(tdbErrReadFile, FileName());
  if (size < 4) throw ETdbEngine(tdbErrInvalidParameter, "Buffer");
}

void TTdbBPlusTableFile::ReadRecord(std::int32_t recNo, std::span<std::uint8_t> buffer) {
  CheckBuffer(buffer.size());
  if (FFile->ReadRecord(recNo, buffer.data()) != 0) throw ETdbEngine(tdbErrRecordNotFound);
}

void TTdbBPlusTableFile::WriteRecord(std::int32_t recNo, std::span<const std::uint8_t> buffer) {
  CheckBuffer(buffer.size());
  if (FFile->WriteRecord(recNo, buffer.data()) != 0) throw ETdbEngine(tdbErrWriteFile, FileName());
}

std::int32_t TTdbBPlusTableFile::InsertRecord(std::span<const std::uint8_t> buffer) {
  CheckBuffer(buffer.size());
  if (!FFile->CanAppend()) throw ETdbEngine(tdbErrCapacityReached, FileName());
  return FFile->InsertRecord(buffer.data());
}

void TTdbBPlusTableFile::DeleteRecord(std::int32_t recNo) {
  if (!FFile->IsOpen()) throw ETdbEngine(tdbErrReadFile, FileName());
  if (FFile->DeleteRecord(recNo) != 0) throw ETdbEngine(tdbErrRecordNotFound);
}

void TTdbBPlusTableFile::Clear() { FFile->Clear(); }

}  // namespace kestrel
