// Index pages held in memory.
#include <cstring>

#include "engine/base/engine_error.h"
#include "engine/index/index_page_io.h"

namespace kestrel {

void TTdbMemoryPageIo::ReadPage(uint64_t pageNo, uint8_t* page) {
  if (pageNo >= PageCount()) throw ETdbEngine(tdbErrReadFile, "memory");
  std::memcpy(page, FBytes.data() + pageNo * FPageSize, FPageSize);
}

void TTdbMemoryPageIo::WritePage(uint64_t pageNo, const uint8_t* page) {
  if (pageNo > PageCount()) throw ETdbEngine(tdbErrWriteFile, "memory");
  if (pageNo == PageCount()) FBytes.resize((pageNo + 1) * FPageSize, 0);
  std::memcpy(FBytes.data() + pageNo * FPageSize, page, FPageSize);
}

}  // namespace kestrel
