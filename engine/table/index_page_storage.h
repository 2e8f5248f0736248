// TTdbIndexPageStorage: the page interface of index files (ITdbIndexPageIo)
// over a client storage of the page cache. The tree's page size is its own:
// pages are byte ranges of the storage, read and written through one page
// site in the storage's fixed page size, so any tree page size fits and the
// cache tiles stay the file system's. The page count is derived from the
// storage's logical size, which the cache keeps in whole tiles; pages beyond
// the tree's own count read as zero bytes.
//
// Errors: a failed read is ETdbEngine tdbErrReadFile, a failed write or flush 3, both with
// the file name. Used by one thread at a time, under the table's locks.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/index/index_page_io.h"

namespace kestrel {

class TTdbClientStorage;
class TTdbStoragePageSite;

// Page size of the client storage under an index file.
inline constexpr int kIndexStoragePageSize = 4096;

class TTdbIndexPageStorage final : public ITdbIndexPageIo {
 public:
  // storage: open (Open or NewStorage) and not owned; it must outlive this.
  explicit TTdbIndexPageStorage(TTdbClientStorage& storage);
  ~TTdbIndexPageStorage() override;

  uint32_t PageSize() const override { return FPageSize; }
  void SetPageSize(uint32_t pageSize) override { FPageSize = pageSize; }
  uint64_t PageCount() const override;
  void ReadPage(uint64_t pageNo, uint8_t* page) override;
  void WritePage(uint64_t pageNo, const uint8_t* page) override;
  void SetPageCount(uint64_t pageCount) override;
  void Flush() override;

 private:
  TTdbClientStorage& FStorage;
  std::unique_ptr<TTdbStoragePageSite> FSite;
  uint32_t FPageSize = kIndexStoragePageSize;
};

}  // namespace kestrel
