// TTdbDataFile: the record data file of a table, the object through which the
// table object reads and writes records of its table file. It owns the
// file's client storage and the one page site every access goes through, and
// refers to the table's key holder: records are encrypted with the cryptor's
// encryption, one record as one block; the fixed header fields are not.
//
// The table file's header is read and written by the header codec through
// ReadBytes/WriteBytes; the concrete data file learns the header facts it
// needs (offsets, record size) from the table object afterwards.
//
// Errors are ETdbEngine with the file name: a failed read is error 2, a
// failed write or flush error 3. A data file is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kestrel {

class TdwCryptor;
class TdwFileSystem;
class TTdbClientStorage;
class TTdbStoragePageSite;

// Answer of the record number queries when there is no such record.
inline constexpr std::int32_t kNoRecord = -19;

class TTdbDataFile {
 public:
  // storage: the table file's client storage, open (Open or NewStorage);
  // the data file owns it. cryptor: the table's key holder, not owned; it
  // must outlive the data file.
  TTdbDataFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor);
  TTdbDataFile(const TTdbDataFile&) = delete;
  TTdbDataFile& operator=(const TTdbDataFile&) = delete;
  virtual ~TTdbDataFile();

  bool IsOpen() const;
  const std::string& FileName() const;
  TdwFileSystem& FileSystem() const;
  TTdbClientStorage& Storage() const { return *FStorage; }

  // Copies count bytes at file position pos, decrypting them as one block
  // when encrypted. Throws error 2 when the range is outside the file or
  // cannot be read.
  void ReadBytes(std::int64_t pos, void* data, std::size_t count, bool encrypted);
  // Writes count bytes at pos (growing the file when needed), encrypting a
  // copy as one block when encrypted; data is not changed. Throws error 3.
  void WriteBytes(std::int64_t pos, const void* data, std::size_t count, bool encrypted);

  // Unloads the page site and closes the storage (flushing it when this is
  // the last client). Throws error 3 when that flush fails; the file stays
  // open then.
  virtual void Close();
  // Writes the cached changes to the file. Throws error 3.
  virtual void Flush();
  // Throws away the changes not flushed.
  virtual void Undo();
  // Drops the cache after another process changed the file and reads the
  // file's state again.
  virtual void Invalidate() = 0;
  // Commits the file to stable storage. Throws error 3.
  virtual void UpdateDir();

  // Whether a record can be removed from the middle without moving another.
  virtual bool CanDelete() const = 0;
  virtual std::int32_t GetRecordCount() const = 0;
  // Bytes of the file in use (header and records).
  virtual std::int64_t GetStorageSize() const = 0;
  virtual bool CanAppend() const = 0;
  // Record numbers in physical order, or kNoRecord.
  virtual std::int32_t GetFirstRecordNo() const = 0;
  virtual std::int32_t GetNextRecordNo(std::int32_t recNo) const = 0;
  virtual std::int32_t GetPrevRecordNo(std::int32_t recNo) const = 0;
  virtual std::int32_t GetLastRecordNo() const = 0;
  // Copies record recNo into buffer (exactly the record size).
  virtual void ReadRecord(std::int32_t recNo, std::span<std::uint8_t> buffer) = 0;
  // Overwrites record recNo.
  virtual void WriteRecord(std::int32_t recNo, std::span<const std::uint8_t> buffer) = 0;
  // Appends a record and answers its record number.
  virtual std::int32_t InsertRecord(std::span<const std::uint8_t> buffer) = 0;
  virtual void DeleteRecord(std::int32_t recNo) = 0;
  // Removes every record.
  virtual void Clear() = 0;

 protected:
  TTdbStoragePageSite& Page() const { return *FPage; }
  TdwCryptor& Cryptor() const { return *FCryptor; }

 private:
  std::unique_ptr<TTdbClientStorage> FStorage;
  std::unique_ptr<TTdbStoragePageSite> FPage;
  TdwCryptor* FCryptor;
};

}  // namespace kestrel
