// The page storage an index file is written on: a narrow interface so the
// tree does not depend on how pages reach the disk. The table object adapts
// the page cache's client storage to it; tests use TTdbMemoryPageIo or a
// plain file.
//
// Pages are numbered from 0 (the header page). The page size may change
// while a file is opened (the header is first read with a small size).
// Implementations throw ETdbEngine (2 read, 3 write) on I/O failures and are
// used by one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrel {

class ITdbIndexPageIo {
 public:
  virtual ~ITdbIndexPageIo() = default;

  virtual uint32_t PageSize() const = 0;
  // Changes the page size; pages are then addressed in the new size.
  virtual void SetPageSize(uint32_t pageSize) = 0;
  // Whole pages in the storage.
  virtual uint64_t PageCount() const = 0;
  // Reads page `pageNo` (< PageCount()) into `page` (PageSize() bytes).
  virtual void ReadPage(uint64_t pageNo, uint8_t* page) = 0;
  // Writes page `pageNo` (<= PageCount(); PageCount() appends).
  virtual void WritePage(uint64_t pageNo, const uint8_t* page) = 0;
  // Cuts or extends (with zero pages) the storage to `pageCount` pages.
  virtual void SetPageCount(uint64_t pageCount) = 0;
  // Makes written pages durable.
  virtual void Flush() = 0;
};

// Pages held in memory; for tests and temporary indexes.
class TTdbMemoryPageIo final : public ITdbIndexPageIo {
 public:
  explicit TTdbMemoryPageIo(uint32_t pageSize = 4096) : FPageSize(pageSize) {}

  uint32_t PageSize() const override { return FPageSize; }
  void SetPageSize(uint32_t pageSize) override { FPageSize = pageSize; }
  uint64_t PageCount() const override { return FPageSize == 0 ? 0 : FBytes.size() / FPageSize; }
  void ReadPage(uint64_t pageNo, uint8_t* page) override;
  void WritePage(uint64_t pageNo, const uint8_t* page) override;
  void SetPageCount(uint64_t pageCount) override { FBytes.resize(pageCount * FPageSize, 0); }
  void Flush() override {}

  // The stored bytes (tests damage them on purpose).
  std::vector<uint8_t>& Bytes() { return FBytes; }

 private:
  uint32_t FPageSize;
  std::vector<uint8_t> FBytes;
};

}  // namespace kestrel
