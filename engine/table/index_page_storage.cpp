// TTdbIndexPageStorage: index pages as byte ranges of a client storage.
#include "engine/table/index_page_storage.h"

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_site.h"
#include "engine/cache/paged_bytes.h"

namespace kestrel {

TTdbIndexPageStorage::TTdbIndexPageStorage(TTdbClientStorage& storage)
    : FStorage(storage), FSite(storage.CreatePageSite()) {}

TTdbIndexPageStorage::~TTdbIndexPageStorage() = default;

uint64_t TTdbIndexPageStorage::PageCount() const {
  if (FPageSize == 0) return 0;
  return static_cast<uint64_t>(FStorage.GetSize()) / FPageSize;
}

void TTdbIndexPageStorage::ReadPage(uint64_t pageNo, uint8_t* page) {
  if (pageNo >= PageCount()) throw ETdbEngine(tdbErrReadFile, FStorage.Name());
  try {
    ReadPagedBytes(*FSite, static_cast<std::int64_t>(pageNo * FPageSize), page, FPageSize);
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrReadFile, FStorage.Name());
  }
}

void TTdbIndexPageStorage::WritePage(uint64_t pageNo, const uint8_t* page) {
  try {
    WritePagedBytes(*FSite, static_cast<std::int64_t>(pageNo * FPageSize), page, FPageSize);
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FStorage.Name());
  }
}

void TTdbIndexPageStorage::SetPageCount(uint64_t pageCount) {
  const uint64_t bytes = pageCount * FPageSize;
  const uint64_t storagePage = static_cast<uint64_t>(FStorage.GetPageSize());
  try {
    FSite->UnloadPage();
    FStorage.SetPageCount(static_cast<std::int64_t>((bytes + storagePage - 1) / storagePage));
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FStorage.Name());
  }
}

void TTdbIndexPageStorage::Flush() {
  try {
    FStorage.Flush();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FStorage.Name());
  }
}

}  // namespace kestrel
