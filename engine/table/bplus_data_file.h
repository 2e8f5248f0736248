// `TTdbBPlusDataFile`: a table file whose records are the items of one B+
// tree, ordered by their record id (the first column, a signed 32-bit
// number). Record numbers are record ids, so they stay stable when other
// records come and go; a number that is not in the file gives
// kBPlusNoRecord (the negated "Record not found").
//
// File layout (little-endian): the magic number at 0, the level at 4, the
// next record id at 6, the encryption code at 10, the tree header at 11;
// after it the rest of the table header (index names and description, kept
// by the table header code), the whole header area a multiple of 8192 bytes;
// then the tree pages, tree page p (p >= 1) at header area + p x page size.
// The tree's page 0 is the file's first page, so the tree and this file
// share that page's image; the slot of tree page 0 behind the header area
// stays unused.
//
// Pages reach the file through an ITdbIndexPageIo of 4096-byte pages (the
// page cache's adapter, which also encrypts pages of an encrypted table; the
// encryption code is only stored here).
//
// Failures throw ETdbEngine with the file name: 134 for a file that is not
// such a table file or whose header is damaged, 2 when reading a record
// fails (a damaged tree), 3 when writing fails, 30 for a record id already
// in the file, 4 for records too large for the largest page, 117 when the
// first column is not a record id. A failed change leaves every record that
// was there: replacing a record puts the old version back when the new one
// cannot be stored.
//
// Used under the table's locks, one operation at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/index/bplus_tree.h"
#include "engine/index/index_page_io.h"
#include "engine/table/table_header.h"

namespace kestrel {

inline constexpr int16_t kMaxBPlusTableLevel = 6;
inline constexpr uint32_t kBPlusTableMagicOffset = 0;
inline constexpr uint32_t kBPlusTableLevelOffset = 4;
inline constexpr uint32_t kBPlusTableNextIdOffset = 6;
inline constexpr uint32_t kBPlusTableEncryptionOffset = 10;
inline constexpr uint32_t kBPlusTableTreeOffset = 11;
// Where the rest of the table header (index names, description) begins.
inline constexpr uint32_t kBPlusTableHeaderAreaOffset = kBPlusTableTreeOffset + kBPlusHeaderSize;
// The header area is padded to a multiple of this.
inline constexpr uint32_t kBPlusTableHeaderAlign = 8192;
// The unit of the page storage and the usual tree page size.
inline constexpr uint32_t kBPlusTableUnit = 4096;
inline constexpr int32_t kBPlusNoRecord = -19;

// What a new B+ tree table file is made of; the table header code provides
// the facts of the table.
struct TTdbBPlusNewFile {
  int16_t FLevel = kMaxBPlusTableLevel;
  uint16_t FRecordSize = 0;      // bytes of one record image
  uint8_t FFirstColumnType = 0;  // must be the record id type (9)
  uint8_t FEncryptionCode = 0;
  int32_t FNextRecordId = 1;
  // The rest of the header, stored from kBPlusTableHeaderAreaOffset on.
  std::vector<uint8_t> FHeaderArea;
};

class TTdbBPlusTablePages;

// The tree page size of a B+ tree table file with records of `recordSize`
// bytes: 4096, doubled while three records would not fit a page (at most
// kMaxBPlusPageSize).
uint32_t BPlusTablePageSize(uint16_t recordSize);

class TTdbBPlusDataFile {
 public:
  // `storage` must outlive the data file; `fileName` is used in messages.
  TTdbBPlusDataFile(ITdbIndexPageIo& storage, std::string fileName);
  ~TTdbBPlusDataFile();
  TTdbBPlusDataFile(const TTdbBPlusDataFile&) = delete;
  TTdbBPlusDataFile& operator=(const TTdbBPlusDataFile&) = delete;

  // `NewFile`: writes an empty table file. The tree pages are 4096 bytes,
  // larger only when a record would not fit three to a page.
  void NewFile(const TTdbBPlusNewFile& file);
  // `Open`: checks the magic number and level, opens the tree. The record
  // size and the header area's size (a multiple of 8192) come from the table
  // header.
  void Open(uint16_t recordSize, uint32_t headerAreaSize);
  // `Close`: flushes and closes.
  void Close();
  bool IsOpen() const { return FTree != nullptr; }

  int16_t Level() const { return FLevel; }
  uint8_t EncryptionCode() const { return FEncryptionCode; }
  uint32_t HeaderAreaSize() const { return FHeaderAreaSize; }
  bool CanDelete() const { return true; }
  bool CanAppend() const;
  int32_t RecordCount() const;
  // Bytes of the file: header area and tree pages.
  int64_t StorageSize() const;

  // The stored next record id; `ObtainNewRecordId` hands it out and stores
  // the one after it; `RevokeRecordId` gives back the last id handed out.
  int32_t ReadNextRecordId() const;
  void WriteNextRecordId(int32_t recordId);
  int32_t ObtainNewRecordId();
  void RevokeRecordId(int32_t recordId);

  // Record numbers in record id order, or kBPlusNoRecord. The neighbours of
  // a number that is not in the file (a record just deleted) are the records
  // after and before where it would stand.
  int32_t GetFirstRecordNo();
  int32_t GetLastRecordNo();
  int32_t GetNextRecordNo(int32_t recordNo);
  int32_t GetPrevRecordNo(int32_t recordNo);

  // Whether record `recordNo` is in the file.
  bool HasRecord(int32_t recordNo);
  // Copies record `recordNo` into `buffer` (record size bytes): 0, or
  // kBPlusNoRecord.
  int ReadRecord(int32_t recordNo, uint8_t* buffer);
  // Replaces record `recordNo` by `buffer` (whose record id may differ):
  // 0, or kBPlusNoRecord. When the new version cannot be stored (its id is
  // another record's: 30; a write failure) the old one is put back and the
  // error thrown.
  int WriteRecord(int32_t recordNo, const uint8_t* buffer);
  // Appends `buffer`; its record number (its record id).
  int32_t InsertRecord(const uint8_t* buffer);
  // Removes record `recordNo`: 0, or kBPlusNoRecord.
  int DeleteRecord(int32_t recordNo);
  // Removes every record.
  void Clear();
  // Writes the header and the pages and fits the file to the tree.
  void Flush();
  // Re-reads the header after another program changed the file.
  void Invalidate();

  // Bytes of the header area after the fixed fields and the tree header
  // (offset from the start of the file, at least
  // kBPlusTableHeaderAreaOffset; the range must lie inside the header area).
  std::vector<uint8_t> ReadHeaderBytes(uint32_t offset, uint32_t size);
  void WriteHeaderBytes(uint32_t offset, const std::vector<uint8_t>& bytes);

  // Walks the tree (see TTdbBPlusTree::Check); throws ETdbEngine tdbErrReadFile.
  void Check(int64_t& recordCount, int64_t& wrongSortCount);

 private:
  template <typename TOperation>
  auto Guard(int errorNo, TOperation operation);
  void RequireOpen() const;
  void CheckHeaderRange(uint32_t offset, size_t size) const;
  std::vector<uint8_t> Key(int32_t recordNo) const;
  int32_t Step(int32_t recordNo, bool forward);

  ITdbIndexPageIo& FStorage;
  std::string FFileName;
  std::unique_ptr<TTdbBPlusTablePages> FPages;
  std::unique_ptr<TTdbBPlusTree> FTree;
  int16_t FLevel = -1;
  uint8_t FEncryptionCode = 0;
  uint16_t FRecordSize = 0;
  uint32_t FHeaderAreaSize = 0;
};

}  // namespace kestrel
