// Internal records of the page cache: one TTdbStorage per open file of the
// process and the tile buffers (TTdbStoragePage) cached for it. Only the page
// manager, client storages and page sites use them, always under the page
// manager's critical section.
//
// Buffer states (FClientHdl): kPageClean (0) equals the file, or zero bytes
// for a tile not yet in the file; a positive value is modified by that client
// and listed in FModifiedPages; kPageInvalid (-1) must be read again before
// use. Invariants:
// - a buffer is modified exactly when it is in its storage's modified list;
// - an invalid buffer is always locked (FLocks > 0): when its last page site
//   leaves it, it goes back to the pools;
// - a locked buffer is never evicted, moved or freed;
// - at most one valid buffer holds a given first tile of a storage, and all
//   valid buffers of a storage have the storage's buffer size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/crypto/encryption.h"
#include "engine/fs/file_system.h"

namespace kestrel {

using TTdbStorageHdl = int;  // 1-based slot of an open storage

inline constexpr int kPageClean = 0;
inline constexpr int kPageInvalid = -1;

struct TTdbStoragePage {
  std::unique_ptr<std::uint8_t[]> FMemory;
  std::size_t FMemorySize = 0;  // a whole number of tiles
  TTdbStorageHdl FStorageHdl = 0;
  std::int64_t FTileNo = 0;     // first tile held
  int FClientHdl = kPageClean;  // state, see above
  int FLocks = 0;               // page sites positioned on it
};

struct TTdbStorage {
  std::string FName;
  TdwFileSystem* FFileSystem = nullptr;
  TdwFileId FFileId;
  bool FReadOnly = false;
  bool FExclusive = false;
  TdwFileHandle FFileHdl = kInvalidFileHandle;
  std::unique_ptr<TTdbEncryption> FEncryption;  // tile encryption, or null
  std::int64_t FTileCount = 0;                  // logical size in tiles
  // Tiles below this may be read from the file; tiles at or above it were cut
  // off by a page count change since the last flush and read as zero bytes.
  std::int64_t FValidTileCount = 0;
  int FPageSize = 0;    // page size of the clients, 0 until set
  int FRefCounter = 0;  // client storages using it
  // Hash of cached buffers: the chain of tile t is t mod FCachedPages.size().
  std::vector<std::vector<std::unique_ptr<TTdbStoragePage>>> FCachedPages;
  std::vector<TTdbStoragePage*> FModifiedPages;  // in order of modification
  // Bytes or the size may have changed since the last commit to disk (true
  // until the first one): a commit with nothing new syncs nothing.
  bool FUnsynced = true;
  // The file's size in bytes as this storage last set, wrote or read it; -1
  // when unknown. A flush with nothing to write and the size as it should
  // be touches neither the file nor its size.
  std::int64_t FKnownFileSize = -1;
};

}  // namespace kestrel
