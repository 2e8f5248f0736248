// TTdbBPlusTableFile: the record data file of a B+ tree table file, the
// TTdbDataFile face of TTdbBPlusDataFile. Its records are the items of one
// B+ tree keyed by their record id, which is also their record number: a
// record keeps its number for its whole life, numbers have gaps, and a
// record is removed from the middle without moving another (CanDelete).
//
// The header's fixed fields in page 0 belong to the tree's header image, so
// the next record id and the index name area are changed through this
// class, never with WriteBytes. Records are not encrypted (the tables made
// and opened here are not); see the table object. Each flush is whole or
// absent after the program dies in it: the file's units go through a
// TTdbBPlusJournal.
#pragma once

#include <memory>
#include <string>

#include "engine/table/bplus_data_file.h"
#include "engine/table/data_file.h"

namespace kestrel {

class TTdbBPlusJournal;
class TTdbIndexPageStorage;

class TTdbBPlusTableFile final : public TTdbDataFile {
 public:
  TTdbBPlusTableFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor);
  ~TTdbBPlusTableFile() override;

  // Writes a new, empty file (TTdbBPlusDataFile::NewFile).
  void NewFile(const TTdbBPlusNewFile& file);
  // Opens the tree once the header is read: records of recordSize bytes,
  // the tree pages after headerAreaSize bytes. Error 134 when they do not fit.
  void Attach(std::uint16_t recordSize, std::uint32_t headerAreaSize);
  TTdbBPlusDataFile& Tree() const { return *FFile; }
  // The journal file that keeps each flush whole (empty name: none), synced
  // with secure flushing.
  void SetJournal(std::string journalName, bool secure);

  // Writes the journal, the tree's pages, then (secure: after committing
  // the file) deletes the journal.
  void Flush() override;
  void Undo() override;
  void Invalidate() override;

  bool CanDelete() const override { return true; }
  std::int32_t GetRecordCount() const override { return FFile->RecordCount(); }
  std::int64_t GetStorageSize() const override { return FFile->StorageSize(); }
  bool CanAppend() const override { return FFile->CanAppend(); }
  std::int32_t GetFirstRecordNo() const override { return FFile->GetFirstRecordNo(); }
  std::int32_t GetNextRecordNo(std::int32_t recNo) const override { return FFile->GetNextRecordNo(recNo); }
  std::int32_t GetPrevRecordNo(std::int32_t recNo) const override { return FFile->GetPrevRecordNo(recNo); }
  std::int32_t GetLastRecordNo() const override { return FFile->GetLastRecordNo(); }
  // Whether record recNo is in the file.
  bool HasRecord(std::int32_t recNo) const;

  // A record that is not there: error 19 (read, delete) or 3 (write).
  void ReadRecord(std::int32_t recNo, std::span<std::uint8_t> buffer) override;
  void WriteRecord(std::int32_t recNo, std::span<const std::uint8_t> buffer) override;
  // The record's id is its number; error 30 when the id is in use.
  std::int32_t InsertRecord(std::span<const std::uint8_t> buffer) override;
  void DeleteRecord(std::int32_t recNo) override;
  void Clear() override;

 private:
  void CheckBuffer(std::size_t size) const;

  std::unique_ptr<TTdbIndexPageStorage> FPages;
  std::unique_ptr<TTdbBPlusJournal> FJournal;
  std::unique_ptr<TTdbBPlusDataFile> FFile;
};

}  // namespace kestrel
