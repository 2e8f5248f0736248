// The container's tiles, allocation table, slots, commits and locks; the
// directories are in compound_dir.cpp. See compound_file.h for the design.
#include "engine/container/compound_file.h"

#include <algorithm>
#include <cstring>

#include "engine/base/engine_error.h"
#include "engine/fs/clock.h"

namespace kestrel {

namespace {

constexpr int kLockSleeps = 100;
constexpr std::uint32_t kLockSleepMin = 10;
constexpr std::uint32_t kLockSleepSpread = 10;
// Clean slots a file keeps after a commit; the page cache above keeps its own.
constexpr std::size_t kMaxCleanSlots = 64;

std::mutex gRegistryLock;
std::vector<std::shared_ptr<TdwCompoundFileImpl>> gOpenContainers;

[[noreturn]] void Raise(const std::string& message) { throw ETdbEngine(tdbErrException, message); }

}  // namespace

TdwCompoundFileImpl::TdwCompoundFileImpl(std::shared_ptr<TdwFileSystem> os, std::string fileName,
                                         bool readOnly, bool exclusive)
    : FOs(std::move(os)), FFileName(std::move(fileName)), FReadOnly(readOnly), FExclusive(exclusive) {
  FLocks.resize(1);
  FLockPosition = kLockAreaStart + static_cast<int>(DefaultClock().Random(kLockAreaBytes));
}

TdwCompoundFileImpl::~TdwCompoundFileImpl() {
  // Destructors never throw: a container still open here is closed without
  // committing, as an ended process would leave it.
  if (IsOpen()) FOs->CloseFile(FHandle);
}

// ---------------------------------------------------------------- registry

std::shared_ptr<TdwCompoundFileImpl> TdwCompoundFileImpl::Acquire(std::shared_ptr<TdwFileSystem> os,
                                                                  const std::string& fileName,
                                                                  bool readOnly, bool exclusive,
                                                                  bool shared, int& client) {
  std::lock_guard lock(gRegistryLock);
  if (shared)
    for (const auto& impl : gOpenContainers)
      if (impl->FFileName == fileName && impl->FOs == os) {
        if (!readOnly && impl->FReadOnly)
          Raise("Compound file \"" + fileName + "\" not open for writing.");
        client = impl->AddClient();
        return impl;
      }
  auto impl = std::make_shared<TdwCompoundFileImpl>(os, fileName, readOnly,
                                                    exclusive || os->FPhysicallyExclusive);
  impl->Open();
  client = impl->AddClient();
  gOpenContainers.push_back(impl);
  return impl;
}

void TdwCompoundFileImpl::Release(const std::shared_ptr<TdwCompoundFileImpl>& impl, int client) {
  std::lock_guard lock(gRegistryLock);
  impl->RemoveClient(client);
  for (std::size_t i = 1; i < impl->FLocks.size(); ++i)
    if (impl->FLocks[i].FUsed) return;
  std::erase(gOpenContainers, impl);
  impl->Close();
}

void TdwCompoundFileImpl::NewFile(TdwFileSystem& os, const std::string& fileName) {
  const std::string image = NewContainerImage();
  const TdwFileHandle handle = os.CreateFile(fileName);
  if (!IsValidHandle(handle)) Raise("Cannot create file " + fileName + ".");
  const auto size = static_cast<std::int64_t>(image.size());
  const bool written = os.FileWrite(handle, 0, image.data(), size) == size && os.SyncFile(handle);
  os.CloseFile(handle);
  if (!written) {
    os.DeleteFile(fileName);
    Raise("Cannot create file " + fileName + ".");
  }
}

int TdwCompoundFileImpl::AddClient() {
  std::lock_guard lock(FCriticalSection);
  for (std::size_t i = 1; i < FLocks.size(); ++i)
    if (!FLocks[i].FUsed) {
      FLocks[i] = TClientLocks{true, 0, 0};
      return static_cast<int>(i);
    }
  FLocks.push_back(TClientLocks{true, 0, 0});
  return static_cast<int>(FLocks.size() - 1);
}

void TdwCompoundFileImpl::RemoveClient(int client) {
  std::lock_guard lock(FCriticalSection);
  if (client > 0 && client < static_cast<int>(FLocks.size())) FLocks[client] = TClientLocks{};
}

// ---------------------------------------------------------------- open, close

void TdwCompoundFileImpl::Open() {
  // The byte-range locks need a handle open for writing, so a read-only
  // opener opens for writing too when it may (and never writes); with read
  // access alone only an exclusive open, which takes no locks, works.
  const int share = FExclusive ? kFmShareExclusive : kFmShareDenyNone;
  FHandle = FOs->OpenFile(FFileName, kFmOpenReadWrite | share);
  if (!IsValidHandle(FHandle) && FReadOnly) FHandle = FOs->OpenFile(FFileName, kFmOpenRead | share);
  if (!IsValidHandle(FHandle)) Raise("Cannot open file " + FFileName + ".");
  try {
    if (!TakeReadLock()) Raise("Cannot lock file " + FFileName + ".");
    FPhysicalLockType = pltRead;
    LoadMaster();
    auto root = std::make_unique<TdwVirtualFile>();
    root->FIsDirectory = true;
    root->FStartPageNo = 1;
    root->FSize = FRootSize;
    root->FName = "\\";
    FVirtualFiles.clear();
    FVirtualFiles.push_back(std::move(root));
    ReleasePhysicalLock();
  } catch (...) {
    FPhysicalLockType = pltNone;
    FOs->CloseFile(FHandle);  // also drops any byte-range lock of the handle
    FHandle = kInvalidFileHandle;
    throw;
  }
}

void TdwCompoundFileImpl::Close() {
  if (!IsOpen()) return;
  std::lock_guard lock(FCriticalSection);
  for (TClientLocks& locks : FLocks) locks = TClientLocks{};
  std::exception_ptr failure;
  try {
    Settle();
  } catch (...) {
    failure = std::current_exception();
  }
  const bool locked = FPhysicalLockType != pltNone;
  FPhysicalLockType = pltNone;
  FOs->CloseFile(FHandle);
  FHandle = kInvalidFileHandle;
  FVirtualFiles.clear();
  if (failure) std::rethrow_exception(failure);
  if (locked) Raise("Closing compound file with active lock.");
}

// ---------------------------------------------------------------- tiles

void TdwCompoundFileImpl::Damaged(const std::string& what) const {
  throw ETdbEngine(tdbErrException, "Compound file \"" + FFileName + "\" is damaged: " + what)
      .At(__builtin_FILE(), __builtin_LINE());
}

void TdwCompoundFileImpl::ReadTile(std::int32_t tile, std::uint8_t* buffer) {
  if (tile < 0 || tile >= TileCount()) Damaged("tile " + std::to_string(tile) + " lies outside it");
  std::memset(buffer, 0, kCompoundTileSize);
  const std::int64_t at = static_cast<std::int64_t>(tile) * kCompoundTileSize;
  // The lock bytes of tile 0 may be locked by other processes: never read.
  const std::int64_t firstPart = tile == 0 ? kLockAreaStart : kCompoundTileSize;
  if (FOs->FileRead(FHandle, at, buffer, firstPart) < 0)
    Raise("Cannot read compound file \"" + FFileName + "\": " + TdwFileSystem::GetErrorMessage(FOs->GetLastError()));
  if (tile == 0 &&
      FOs->FileRead(FHandle, kAllocationTableOffset, buffer + kAllocationTableOffset,
                    kCompoundTileSize - kAllocationTableOffset) < 0)
    Raise("Cannot read compound file \"" + FFileName + "\": " + TdwFileSystem::GetErrorMessage(FOs->GetLastError()));
}

void TdwCompoundFileImpl::WriteTile(std::int32_t tile, const std::uint8_t* buffer, std::int32_t startTile) {
  std::vector<std::uint8_t> header;
  if (tile == 0) {
    if (GetInt32(buffer) == 0) Raise("Fatal compound file error: Writing corrupted header tile.");
    header.assign(buffer, buffer + kCompoundTileSize);
    std::fill(header.begin() + kLockAreaStart, header.begin() + kAllocationTableOffset, 0);
    buffer = header.data();
  }
  const std::int64_t at = static_cast<std::int64_t>(tile) * kCompoundTileSize;
  if (FOs->FileWrite(FHandle, at, buffer, kCompoundTileSize) != kCompoundTileSize)
    throw ETdbEngine(tdbErrException, "Fatal compound file error: Cannot commit page " + std::to_string(tile) +
                                          " for file starting at page " + std::to_string(startTile) + ": " +
                                          TdwFileSystem::GetErrorMessage(FOs->GetLastError()));
}

std::int32_t TdwCompoundFileImpl::FatAt(std::int32_t tile) const {
  if (tile < 0 || tile >= TileCount()) Damaged("tile " + std::to_string(tile) + " lies outside it");
  return FFat[static_cast<std::size_t>(tile)];
}

void TdwCompoundFileImpl::SetFat(std::int64_t tile, std::int32_t next) {
  FFat[static_cast<std::size_t>(tile)] = next;
  FDirtyMasterTiles.insert(MasterFileSize(tile) / kCompoundTileSize);
}

void TdwCompoundFileImpl::LoadMaster() {
  std::vector<std::uint8_t> image(kCompoundTileSize);
  // Tile 0 is read before the tile count is known.
  FFat.assign(1, kTileChainEnd);
  ReadTile(0, image.data());
  if (static_cast<std::uint32_t>(GetInt32(image.data() + kHeaderMagic)) != kCompoundMagic)
    Raise("File " + FFileName + " is not a valid Orvane Compound file.");
  const std::int32_t version = GetInt32(image.data() + kHeaderVersion);
  if (version > kCompoundVersion)
    Raise("Do not support Orvane Compound file version " + std::to_string(version) + " (" + FFileName + ").");
  const std::int64_t tileCount = GetInt32(image.data() + kHeaderTileCount);
  const std::int64_t fileSize = FOs->GetFileSize(FHandle);
  if (tileCount < 2 || tileCount > kMaxTileCount || fileSize <= (tileCount - 1) * kCompoundTileSize)
    Damaged("its tile count " + std::to_string(tileCount) + " does not fit its length of " +
            std::to_string(fileSize) + " bytes");
  FRootSize = GetInt32(image.data() + kHeaderRootSize);
  if (FRootSize < kEntrySize || FRootSize % kEntrySize != 0 || FRootSize > tileCount * kCompoundTileSize)
    Damaged("the root directory's size " + std::to_string(FRootSize) + " is not a whole number of entries");
  FFreeList = GetInt32(image.data() + kHeaderFreeList);
  if (FFreeList < 0) FFreeList = kTileListEmpty;
  else if (FFreeList < 1 || FFreeList >= tileCount) Damaged("the free list starts outside it");
  FChangeCounter = GetInt32(image.data() + kHeaderChangeCounter);

  // The master chain: each next master tile is named by an entry that lies
  // in the part already read.
  const std::int64_t masterSize = MasterFileSize(tileCount);
  const std::int64_t masterTiles = TilesForSize(masterSize);
  FMasterChain.assign(1, 0);
  FFat.assign(static_cast<std::size_t>(tileCount), kTileChainEnd);
  std::vector<bool> used(static_cast<std::size_t>(tileCount), false);
  used[0] = true;
  for (std::int64_t i = 1; i < masterTiles; ++i) {
    const std::int64_t previous = FMasterChain.back();
    const std::int64_t entryAt = MasterFileSize(previous);
    if (entryAt + 4 > static_cast<std::int64_t>(image.size()))
      Damaged("the allocation table names its own tiles out of order");
    const std::int32_t next = GetInt32(image.data() + entryAt);
    if (next < 1 || next >= tileCount || used[static_cast<std::size_t>(next)])
      Damaged("the chain of the allocation table is broken at tile " + std::to_string(previous));
    used[static_cast<std::size_t>(next)] = true;
    FMasterChain.push_back(next);
    image.resize(image.size() + kCompoundTileSize);
    ReadTile(next, image.data() + image.size() - kCompoundTileSize);
  }
  for (std::int64_t tile = 0; tile < tileCount; ++tile)
    FFat[static_cast<std::size_t>(tile)] = GetInt32(image.data() + MasterFileSize(tile));
  FDirtyMasterTiles.clear();
}

void TdwCompoundFileImpl::WriteMaster() {
  if (FDirtyMasterTiles.empty()) return;
  const std::int64_t tileCount = TileCount();
  std::vector<std::uint8_t> image(static_cast<std::size_t>(FMasterChain.size()) * kCompoundTileSize, 0);
  PutInt32(image.data() + kHeaderMagic, static_cast<std::int32_t>(kCompoundMagic));
  PutInt32(image.data() + kHeaderVersion, kCompoundVersion);
  PutInt32(image.data() + kHeaderTileSize, kCompoundTileSize);
  PutInt32(image.data() + kHeaderTileCount, static_cast<std::int32_t>(tileCount));
  PutInt32(image.data() + kHeaderRootSize, FRootSize);
  PutInt32(image.data() + kHeaderFreeList, FFreeList);
  PutInt32(image.data() + kHeaderChangeCounter, FChangeCounter);
  for (std::int64_t tile = 0; tile < tileCount; ++tile)
    PutInt32(image.data() + MasterFileSize(tile), FFat[static_cast<std::size_t>(tile)]);
  for (const std::int64_t index : FDirtyMasterTiles)
    if (index < static_cast<std::int64_t>(FMasterChain.size()))
      WriteTile(FMasterChain[static_cast<std::size_t>(index)], image.data() + index * kCompoundTileSize, 0);
  FDirtyMasterTiles.clear();
}

// Appends one tile to the container (growing the master chain first when
// the table needs room for it) and links it after `last` (or makes it
// `first` of an empty chain).
void TdwCompoundFileImpl::GrowContainer(std::int32_t& last, std::int32_t& first) {
  if (TileCount() + 2 > kMaxTileCount) Raise("Compound file \"" + FFileName + "\" is full.");
  while (MasterFileSize(TileCount() + 1) > static_cast<std::int64_t>(FMasterChain.size()) * kCompoundTileSize) {
    const auto tile = static_cast<std::int32_t>(TileCount());
    FFat.push_back(kTileChainEnd);
    SetFat(FMasterChain.back(), tile);
    SetFat(tile, kTileChainEnd);
    FMasterChain.push_back(tile);
    FDirtyMasterTiles.insert(static_cast<std::int64_t>(FMasterChain.size()) - 1);
  }
  const auto tile = static_cast<std::int32_t>(TileCount());
  FFat.push_back(kTileChainEnd);
  SetFat(tile, kTileChainEnd);
  if (last >= 0) SetFat(last, tile);
  else first = tile;
  last = tile;
}

std::vector<std::int32_t> TdwCompoundFileImpl::AllocateTiles(std::int32_t last, std::int64_t count) {
  std::vector<std::int32_t> tiles;
  std::int32_t first = kTileChainEnd;
  while (count > 0 && FFreeList >= 0) {
    const std::int32_t tile = FFreeList;
    if (tile < 1 || tile >= TileCount()) Damaged("the free list leaves it");
    if (tiles.size() > static_cast<std::size_t>(TileCount())) Damaged("the free list loops");
    const std::int32_t next = FatAt(tile);
    FFreeList = next < 0 ? kTileListEmpty : next;
    if (FFreeList != kTileListEmpty && (FFreeList < 1 || FFreeList >= TileCount())) Damaged("the free list leaves it");
    if (last >= 0) SetFat(last, tile);
    last = tile;
    tiles.push_back(tile);
    --count;
  }
  for (; count > 0; --count) {
    GrowContainer(last, first);
    tiles.push_back(last);
  }
  if (last >= 0) SetFat(last, kTileChainEnd);
  FDirtyMasterTiles.insert(0);  // free list head and tile count
  return tiles;
}

// ---------------------------------------------------------------- slots

const std::vector<std::int32_t>& TdwCompoundFileImpl::Chain(TdwVirtualFile& file) {
  if (file.FChainKnown) return file.FChain;
  std::int64_t needed = TilesForSize(file.FSize);
  for (const auto& [index, slot] : file.FSlots)
    if (slot.FFlags & kSlotNew) needed = std::min(needed, index);
  if (file.FStartPageNo >= 0 && needed == 0 && file.FIsDirectory) needed = 1;
  file.FChain.clear();
  std::vector<bool> seen(static_cast<std::size_t>(TileCount()), false);
  std::int32_t tile = file.FStartPageNo;
  for (std::int64_t i = 0; i < needed; ++i) {
    if (tile < 1 || tile >= TileCount())
      Damaged("the tile chain of \"" + file.FName + "\" is shorter than its size of " +
              std::to_string(file.FSize) + " bytes or leaves the container");
    if (seen[static_cast<std::size_t>(tile)]) Damaged("the tile chain of \"" + file.FName + "\" loops");
    seen[static_cast<std::size_t>(tile)] = true;
    file.FChain.push_back(tile);
    tile = FatAt(tile);
  }
  file.FChainKnown = true;
  return file.FChain;
}

TdwTileSlot& TdwCompoundFileImpl::Slot(TdwVirtualFile& file, std::int64_t index, bool forWrite) {
  if (auto found = file.FSlots.find(index); found != file.FSlots.end()) return found->second;
  const std::vector<std::int32_t>& chain = Chain(file);
  TdwTileSlot slot;
  slot.FBuffer.assign(kCompoundTileSize, 0);
  if (index < static_cast<std::int64_t>(chain.size())) {
    slot.FTileNo = chain[static_cast<std::size_t>(index)];
    ReadTile(slot.FTileNo, slot.FBuffer.data());
  } else {
    if (!forWrite) Damaged("the tile chain of \"" + file.FName + "\" is shorter than its size");
    slot.FFlags = kSlotNew;
  }
  return file.FSlots.emplace(index, std::move(slot)).first->second;
}

std::int64_t TdwCompoundFileImpl::Read(TdwVirtualFile& file, std::int64_t pos, void* data, std::int64_t count) {
  if (pos < 0 || count < 0) return -1;
  if (pos >= file.FSize) return 0;
  count = std::min(count, file.FSize - pos);
  auto* out = static_cast<std::uint8_t*>(data);
  for (std::int64_t done = 0; done < count;) {
    const std::int64_t at = pos + done;
    const std::int64_t offset = at % kCompoundTileSize;
    const std::int64_t part = std::min(count - done, kCompoundTileSize - offset);
    TdwTileSlot& slot = Slot(file, at / kCompoundTileSize, false);
    std::memcpy(out + done, slot.FBuffer.data() + offset, static_cast<std::size_t>(part));
    done += part;
  }
  return count;
}

std::int64_t TdwCompoundFileImpl::Write(TdwVirtualFile& file, std::int64_t pos, const void* data,
                                        std::int64_t count) {
  if (pos < 0 || count < 0) return -1;
  if (pos > file.FSize) return 0;
  if (pos + count > kMaxTileCount * kCompoundTileSize) Raise("Compound file \"" + FFileName + "\" is full.");
  const auto* in = static_cast<const std::uint8_t*>(data);
  for (std::int64_t done = 0; done < count;) {
    const std::int64_t at = pos + done;
    const std::int64_t offset = at % kCompoundTileSize;
    const std::int64_t part = std::min(count - done, kCompoundTileSize - offset);
    TdwTileSlot& slot = Slot(file, at / kCompoundTileSize, true);
    std::memcpy(slot.FBuffer.data() + offset, in + done, static_cast<std::size_t>(part));
    slot.FFlags |= kSlotModified;
    done += part;
    file.FSize = std::max(file.FSize, at + part);
  }
  return count;
}

void TdwCompoundFileImpl::AllocatePending(TdwVirtualFile& file) {
  std::vector<TdwTileSlot*> pending;
  for (auto& [index, slot] : file.FSlots)
    if (slot.FFlags & kSlotNew) pending.push_back(&slot);
  if (pending.empty()) return;
  std::vector<std::int32_t>& chain = const_cast<std::vector<std::int32_t>&>(Chain(file));
  const std::int32_t last = chain.empty() ? kTileChainEnd : chain.back();
  const std::vector<std::int32_t> tiles = AllocateTiles(last, static_cast<std::int64_t>(pending.size()));
  if (chain.empty()) file.FStartPageNo = tiles.front();
  for (std::size_t i = 0; i < pending.size(); ++i) {
    pending[i]->FTileNo = tiles[i];
    pending[i]->FFlags = static_cast<std::uint8_t>((pending[i]->FFlags & ~kSlotNew) | kSlotModified);
    chain.push_back(tiles[i]);
  }
}

void TdwCompoundFileImpl::Resize(TdwVirtualFile& file, std::int64_t size) {
  if (size < 0) return;
  if (size > kMaxTileCount * kCompoundTileSize) Raise("Compound file \"" + FFileName + "\" is full.");
  if (size >= file.FSize) {
    // Grow with zero bytes: clear the tail of the last tile, then new tiles.
    if (file.FSize % kCompoundTileSize != 0) {
      TdwTileSlot& slot = Slot(file, file.FSize / kCompoundTileSize, true);
      std::fill(slot.FBuffer.begin() + file.FSize % kCompoundTileSize, slot.FBuffer.end(), 0);
      slot.FFlags |= kSlotModified;
    }
    for (std::int64_t index = TilesForSize(file.FSize); index < TilesForSize(size); ++index)
      Slot(file, index, true).FFlags |= kSlotModified;
    file.FSize = size;
    return;
  }
  AllocatePending(file);
  const std::int64_t keep = TilesForSize(size);
  for (auto it = file.FSlots.lower_bound(keep); it != file.FSlots.end();) it = file.FSlots.erase(it);
  std::vector<std::int32_t>& chain = const_cast<std::vector<std::int32_t>&>(Chain(file));
  if (static_cast<std::int64_t>(chain.size()) > keep) {
    const std::vector<std::int32_t> rest(chain.begin() + keep, chain.end());
    chain.resize(static_cast<std::size_t>(keep));
    if (keep > 0) SetFat(chain.back(), kTileChainEnd);
    else file.FStartPageNo = kTileChainEnd;
    SetFat(rest.back(), FFreeList);
    FFreeList = rest.front();
    // The container's last tiles leave it when they head the free list.
    while (FFreeList > 1 && FFreeList == TileCount() - 1) {
      const std::int32_t next = FFat.back();
      FFat.pop_back();
      FFreeList = next < 0 ? kTileListEmpty : next;
    }
    FDirtyMasterTiles.insert(0);
  }
  file.FSize = size;
  CommitAll();
  const std::int64_t length = TileCount() * kCompoundTileSize;
  if (FOs->GetFileSize(FHandle) > length && !FOs->SetFileSize(FHandle, length))
    Raise("Cannot cut compound file \"" + FFileName + "\": " + TdwFileSystem::GetErrorMessage(FOs->GetLastError()));
}

// ---------------------------------------------------------------- commit

void TdwCompoundFileImpl::WriteSlots(TdwVirtualFile& file) {
  for (auto& [index, slot] : file.FSlots)
    if (slot.FFlags & kSlotModified) {
      WriteTile(slot.FTileNo, slot.FBuffer.data(), file.FStartPageNo);
      slot.FFlags = 0;
    }
}

void TdwCompoundFileImpl::UpdateEntry(TdwVirtualFile& file) {
  if (file.FDirectory == nullptr) {
    if (FRootSize != file.FSize) FDirtyMasterTiles.insert(0);
    FRootSize = static_cast<std::int32_t>(file.FSize);
    return;
  }
  if (file.FStartPageNo == file.FEntryStart && file.FSize == file.FEntrySize) return;
  // The old first tile and size may already lie outside the container
  // (its tail was cut): they are replaced, so only the name is checked.
  TdwDirEntry entry = ReadEntry(*file.FDirectory, file.FDirIndex, false);
  entry.FFirstTile = file.FStartPageNo;
  entry.FSize = file.FSize;
  entry.FChanged = CompoundNow();
  WriteEntry(*file.FDirectory, file.FDirIndex, entry);
  file.FEntryStart = file.FStartPageNo;
  file.FEntrySize = file.FSize;
}

void TdwCompoundFileImpl::CommitAll() {
  // Tiles for the new slots, files first, then directories from the deepest
  // up, since each entry update may give its directory a new slot.
  std::vector<TdwVirtualFile*> files, directories;
  for (auto it = FVirtualFiles.rbegin(); it != FVirtualFiles.rend(); ++it)
    ((*it)->FIsDirectory ? directories : files).push_back(it->get());
  auto depth = [](const TdwVirtualFile* file) {
    int level = 0;
    for (; file->FDirectory != nullptr; file = file->FDirectory) ++level;
    return level;
  };
  std::stable_sort(directories.begin(), directories.end(),
                   [&](const TdwVirtualFile* a, const TdwVirtualFile* b) { return depth(a) > depth(b); });
  for (TdwVirtualFile* file : files) {
    AllocatePending(*file);
    UpdateEntry(*file);
  }
  for (TdwVirtualFile* directory : directories) {
    AllocatePending(*directory);
    UpdateEntry(*directory);
  }
  for (TdwVirtualFile* file : files) WriteSlots(*file);
  WriteMaster();
  for (TdwVirtualFile* directory : directories) WriteSlots(*directory);
  // Files closed while their changes waited for this commit leave now.
  std::erase_if(FVirtualFiles, [](const std::unique_ptr<TdwVirtualFile>& file) {
    return !file->FIsDirectory && file->FRefCount == 0 && file->FDirectory != nullptr;
  });
}

void TdwCompoundFileImpl::DropCleanSlots() {
  for (const auto& file : FVirtualFiles) {
    if (file->FSlots.size() <= kMaxCleanSlots) continue;
    std::erase_if(file->FSlots, [](const auto& item) { return item.second.FFlags == 0; });
  }
}

void TdwCompoundFileImpl::Sync() {
  if (FPhysicalLockType == pltWrite) CommitAll();
  if (!FReadOnly && !FOs->SyncFile(FHandle))
    Raise("Cannot write compound file \"" + FFileName + "\": " + TdwFileSystem::GetErrorMessage(FOs->GetLastError()));
}

// ---------------------------------------------------------------- locks

bool TdwCompoundFileImpl::AnyClientWrites() const {
  return std::any_of(FLocks.begin(), FLocks.end(), [](const TClientLocks& l) { return l.FWrite > 0; });
}

bool TdwCompoundFileImpl::AnyClientLocks() const {
  return std::any_of(FLocks.begin(), FLocks.end(),
                     [](const TClientLocks& l) { return l.FWrite > 0 || l.FRead > 0; });
}

bool TdwCompoundFileImpl::OtherClientLocks(int client) const {
  for (std::size_t i = 1; i < FLocks.size(); ++i)
    if (static_cast<int>(i) != client && (FLocks[i].FRead > 0 || FLocks[i].FWrite > 0)) return true;
  return false;
}

bool TdwCompoundFileImpl::TakeReadLock() {
  if (FExclusive) return true;
  TdwClock& clock = DefaultClock();
  for (int sleeps = 0;; ++sleeps) {
    for (int step = 0; step < kLockAreaBytes; ++step) {
      const int position = kLockAreaStart + (FLockPosition - kLockAreaStart + step) % kLockAreaBytes;
      if (FOs->LockFile(FHandle, position, position + 1, false) > 0) {
        FLockPosition = position;
        return true;
      }
    }
    if (sleeps == kLockSleeps) return false;
    clock.Sleep(kLockSleepMin + clock.Random(kLockSleepSpread));
  }
}

bool TdwCompoundFileImpl::TakeWriteLock() {
  if (FExclusive) return true;
  TdwClock& clock = DefaultClock();
  for (int sleeps = 0;; ++sleeps) {
    if (FOs->LockFile(FHandle, kLockAreaStart, kLockAreaStart + kLockAreaBytes, true) > 0) return true;
    if (sleeps == kLockSleeps) return false;
    clock.Sleep(kLockSleepMin + clock.Random(kLockSleepSpread));
  }
}

void TdwCompoundFileImpl::ReleasePhysicalLock() {
  if (!FExclusive) {
    if (FPhysicalLockType == pltWrite)
      FOs->UnlockFile(FHandle, kLockAreaStart, kLockAreaStart + kLockAreaBytes, true);
    else if (FPhysicalLockType == pltRead)
      FOs->UnlockFile(FHandle, FLockPosition, FLockPosition + 1, false);
  }
  FPhysicalLockType = pltNone;
}

void TdwCompoundFileImpl::CheckChangeCounter() {
  std::uint8_t bytes[4] = {};
  if (FOs->FileRead(FHandle, kHeaderChangeCounter, bytes, sizeof bytes) != sizeof bytes)
    Damaged("its header cannot be read");
  if (GetInt32(bytes) != FChangeCounter) Invalidate();
}

void TdwCompoundFileImpl::Invalidate() {
  LoadMaster();
  for (const auto& file : FVirtualFiles) {
    file->FSlots.clear();
    file->FChainKnown = false;
    file->FChain.clear();
  }
  FVirtualFiles[0]->FSize = FRootSize;
  // Parents come before their files in the list, so each entry is read
  // through a directory already brought up to date.
  for (std::size_t i = 1; i < FVirtualFiles.size(); ++i) {
    TdwVirtualFile& file = *FVirtualFiles[i];
    const TdwDirEntry entry = ReadEntry(*file.FDirectory, file.FDirIndex);
    if (entry.FName.empty() || entry.FIsDirectory != file.FIsDirectory) {
      // Removed by another process: the file stays empty here.
      file.FStartPageNo = kTileChainEnd;
      file.FSize = 0;
    } else {
      file.FStartPageNo = entry.FFirstTile;
      file.FSize = entry.FSize;
    }
    file.FEntryStart = file.FStartPageNo;
    file.FEntrySize = file.FSize;
  }
}

bool TdwCompoundFileImpl::BeginRead(int client) {
  FCriticalSection.lock();
  if (!IsOpen()) {
    FCriticalSection.unlock();
    Raise("Compound file \"" + FFileName + "\" not open.");
  }
  TClientLocks& locks = FLocks[static_cast<std::size_t>(client)];
  if (locks.FRead > 0 || locks.FWrite > 0 || (!AnyClientWrites() && FPhysicalLockType != pltNone)) {
    ++locks.FRead;
    return true;
  }
  if (AnyClientWrites() || !TakeReadLock()) {
    FCriticalSection.unlock();
    return false;
  }
  FPhysicalLockType = pltRead;
  ++locks.FRead;
  try {
    CheckChangeCounter();
  } catch (...) {
    --locks.FRead;
    ReleasePhysicalLock();
    FCriticalSection.unlock();
    throw;
  }
  return true;
}

bool TdwCompoundFileImpl::BeginWrite(int client) {
  FCriticalSection.lock();
  if (!IsOpen() || FReadOnly) {
    FCriticalSection.unlock();
    Raise("Compound file \"" + FFileName + (IsOpen() ? "\" not open for writing." : "\" not open."));
  }
  TClientLocks& locks = FLocks[static_cast<std::size_t>(client)];
  if (locks.FWrite > 0) {
    ++locks.FWrite;
    return true;
  }
  if (OtherClientLocks(client)) {
    FCriticalSection.unlock();
    return false;
  }
  if (FPhysicalLockType == pltWrite) {
    ++locks.FWrite;
    return true;
  }
  ReleasePhysicalLock();
  if (!TakeWriteLock()) {
    if (locks.FRead > 0 && TakeReadLock()) FPhysicalLockType = pltRead;
    FCriticalSection.unlock();
    return false;
  }
  FPhysicalLockType = pltWrite;
  ++locks.FWrite;
  try {
    CheckChangeCounter();
  } catch (...) {
    --locks.FWrite;
    ReleasePhysicalLock();
    FCriticalSection.unlock();
    throw;
  }
  ++FChangeCounter;
  FDirtyMasterTiles.insert(0);
  return true;
}

void TdwCompoundFileImpl::Settle() {
  if (FPhysicalLockType == pltWrite && !AnyClientWrites()) {
    CommitAll();
    DropCleanSlots();
    ReleasePhysicalLock();
    if (AnyClientLocks()) {
      if (!TakeReadLock()) Raise("Could not downgrade compound file locking");
      FPhysicalLockType = pltRead;
    }
  } else if (FPhysicalLockType == pltRead && !AnyClientLocks()) {
    DropCleanSlots();
    ReleasePhysicalLock();
  }
}

void TdwCompoundFileImpl::EndRead(int client) {
  std::lock_guard lock(FCriticalSection);  // the one entered by BeginRead is left below
  TClientLocks& locks = FLocks[static_cast<std::size_t>(client)];
  if (locks.FRead == 0) Raise("EndRead without BeginRead called.");
  --locks.FRead;
  FCriticalSection.unlock();
  Settle();
}

void TdwCompoundFileImpl::EndWrite(int client) {
  std::lock_guard lock(FCriticalSection);
  TClientLocks& locks = FLocks[static_cast<std::size_t>(client)];
  if (locks.FWrite == 0) Raise("EndWrite without BeginWrite called.");
  --locks.FWrite;
  FCriticalSection.unlock();
  Settle();
}

}  // namespace kestrel
