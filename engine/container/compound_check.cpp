// Checking a container: every tile must belong to exactly one chain (the
// master chain, the free list, a directory or a file), every directory
// entry must name a chain of its own that fits its size, and no chain may
// leave the container or loop. Walks are bounded by the tile count, and
// each tile is claimed once, so a damaged container cannot make the check
// loop.
#include <algorithm>
#include <cstdio>

#include "engine/container/compound_file.h"

namespace kestrel {

namespace {

constexpr int kNoOwner = -1;

std::string Format(const char* pattern, long long number) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, number);
  return text;
}

}  // namespace

void TdwCompoundFileImpl::Discard() {
  if (!IsOpen()) return;
  FPhysicalLockType = pltNone;
  FOs->CloseFile(FHandle);
  FHandle = kInvalidFileHandle;
  FVirtualFiles.clear();
}

int TdwCompoundFileImpl::PerformCheck(
    const std::function<void(const std::string& owner, const std::string& message)>& onDefect) {
  const auto tileCount = static_cast<std::int32_t>(TileCount());
  std::vector<int> owner(static_cast<std::size_t>(tileCount), kNoOwner);
  std::vector<bool> chainStart(static_cast<std::size_t>(tileCount), false);
  std::vector<std::string> names;
  int defects = 0;
  auto defect = [&](const std::string& name, const std::string& message) {
    ++defects;
    onDefect(name, message);
  };
  // Claims the chain from `start` for a new owner; answers its tiles.
  auto claim = [&](const std::string& name, std::int32_t start, std::vector<std::int32_t>* tiles) {
    const int id = static_cast<int>(names.size());
    names.push_back(name);
    std::int64_t count = 0;
    for (std::int32_t tile = start; tile >= 0;) {
      if (tile >= tileCount) {
        defect(name, Format("Tile chain leaves the container at tile %lld.", tile));
        break;
      }
      const int holder = owner[static_cast<std::size_t>(tile)];
      if (holder != kNoOwner) {
        if (count == 0 && chainStart[static_cast<std::size_t>(tile)])
          defect(name, "Two directory entries use the same start page.");
        else if (count == 0)
          defect(name, "File starts within file " + names[static_cast<std::size_t>(holder)] + ".");
        else
          defect(name, Format("File shares tile %lld with file ", tile) + names[static_cast<std::size_t>(holder)] + ".");
        break;
      }
      owner[static_cast<std::size_t>(tile)] = id;
      if (count == 0) chainStart[static_cast<std::size_t>(tile)] = true;
      if (tiles) tiles->push_back(tile);
      ++count;
      tile = FFat[static_cast<std::size_t>(tile)];
    }
    return count;
  };

  names.push_back("<FAT>");
  for (const std::int32_t tile : FMasterChain) owner[static_cast<std::size_t>(tile)] = 0;
  chainStart[0] = true;
  claim("<Free list>", FFreeList, nullptr);

  // The directory tree, breadth first; a directory reached twice shares its
  // tiles and is not walked again.
  struct TPending {
    std::string FName;
    TdwDirEntry FEntry;
  };
  TdwDirEntry rootEntry;
  rootEntry.FIsDirectory = true;
  rootEntry.FSize = FRootSize;
  rootEntry.FFirstTile = 1;
  std::vector<TPending> pending{{"\\", rootEntry}};
  for (std::size_t next = 0; next < pending.size(); ++next) {
    const TPending item = pending[next];
    std::vector<std::int32_t> tiles;
    const std::int64_t count = item.FEntry.FFirstTile >= 0 ? claim(item.FName, item.FEntry.FFirstTile, &tiles) : 0;
    if (count != TilesForSize(item.FEntry.FSize)) {
      defect(item.FName, Format("File size is different for directory (%lld) and FAT ", item.FEntry.FSize) +
                             Format("(%lld).", count * kCompoundTileSize));
      continue;
    }
    if (!item.FEntry.FIsDirectory) continue;
    std::vector<std::uint8_t> content(tiles.size() * kCompoundTileSize);
    for (std::size_t i = 0; i < tiles.size(); ++i) ReadTile(tiles[i], content.data() + i * kCompoundTileSize);
    if (item.FEntry.FSize % kEntrySize != 0) {
      defect(item.FName, "Directory size is not a whole number of entries.");
      continue;
    }
    for (std::int64_t index = 0; index < item.FEntry.FSize / kEntrySize; ++index) {
      TdwDirEntry entry;
      if (!DecodeDirEntry(content.data() + index * kEntrySize, TileCount() * kCompoundTileSize, tileCount, entry)) {
        defect(item.FName, Format("Directory entry %lld is invalid.", index));
        continue;
      }
      if (entry.FName.empty()) continue;
      pending.push_back({(next == 0 ? "" : item.FName + "\\") + entry.FName, entry});
    }
  }

  // Chains no entry names: heads first (tiles no unowned tile leads to),
  // then whatever is left (loops without a head).
  std::vector<bool> isSuccessor(static_cast<std::size_t>(tileCount), false);
  for (std::int32_t tile = 0; tile < tileCount; ++tile) {
    const std::int32_t next = FFat[static_cast<std::size_t>(tile)];
    if (owner[static_cast<std::size_t>(tile)] == kNoOwner && next >= 0 && next < tileCount)
      isSuccessor[static_cast<std::size_t>(next)] = true;
  }
  int unassigned = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (std::int32_t tile = 0; tile < tileCount; ++tile) {
      if (owner[static_cast<std::size_t>(tile)] != kNoOwner) continue;
      if (pass == 0 && isSuccessor[static_cast<std::size_t>(tile)]) continue;
      const std::string name = "<UnassignedFile" + std::to_string(++unassigned) + ">";
      defect(name, Format("Tile chain starting at tile no %lld has no corresponding directory entry.", tile));
      claim(name, tile, nullptr);
    }
  return defects;
}

}  // namespace kestrel
