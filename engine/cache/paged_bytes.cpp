// Page-by-page copying between a caller's buffer and a storage.
#include "engine/cache/paged_bytes.h"

#include <algorithm>

#include "engine/cache/page_site.h"

namespace kestrel {

void ReadPagedBytes(TTdbStoragePageSite& site, std::int64_t pos, void* data, std::size_t count) {
  const std::int64_t pageSize = site.GetPageSize();
  auto* out = static_cast<std::uint8_t*>(data);
  while (count > 0) {
    const std::int64_t pageNo = pos / pageSize;
    const int offset = static_cast<int>(pos % pageSize);
    const int chunk = static_cast<int>(std::min<std::int64_t>(pageSize - offset, count));
    site.LoadPage(pageNo);
    site.CopyTo(offset, out, chunk);
    out += chunk;
    pos += chunk;
    count -= static_cast<std::size_t>(chunk);
  }
}

void WritePagedBytes(TTdbStoragePageSite& site, std::int64_t pos, const void* data,
                     std::size_t count) {
  const std::int64_t pageSize = site.GetPageSize();
  const auto* in = static_cast<const std::uint8_t*>(data);
  while (count > 0) {
    const std::int64_t pageNo = pos / pageSize;
    const int offset = static_cast<int>(pos % pageSize);
    const int chunk = static_cast<int>(std::min<std::int64_t>(pageSize - offset, count));
    site.InitPage(pageNo);
    site.CopyFrom(in, offset, chunk);
    in += chunk;
    pos += chunk;
    count -= static_cast<std::size_t>(chunk);
  }
}

}  // namespace kestrel
