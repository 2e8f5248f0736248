// Byte ranges of a client storage's file read and written through one page
// site, page after page, for file formats whose records and blocks do not
// line up with pages (record slots, memo and blob blocks).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrel {

class TTdbStoragePageSite;

// Copies count bytes from file position pos. Throws ETdbPageManager when the
// range reaches beyond the storage's page count or a tile cannot be read.
void ReadPagedBytes(TTdbStoragePageSite& site, std::int64_t pos, void* data, std::size_t count);
// Copies count bytes to file position pos, growing the storage when the range
// lies beyond its end, and marks every page touched modified.
void WritePagedBytes(TTdbStoragePageSite& site, std::int64_t pos, const void* data,
                     std::size_t count);

}  // namespace kestrel
