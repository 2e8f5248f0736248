// Byte layout of a single-file database container: a file of 8192-byte
// tiles holding a small file system of its own.
//
// Tile n occupies the file bytes n * 8192 .. n * 8192 + 8191. All numbers
// are little-endian.
// - Tile 0 starts with the header (kHeader* offsets); bytes 768..777 carry
//   the byte-range locks between processes and are never read (bytes
//   768..1023 are skipped when tile 0 is read and written as zero). From
//   byte 1024 on follows the tile allocation table: at 1024 + 4 * n the
//   number of the tile after tile n in its chain, negative when tile n ends
//   it. Header and table are the master file, a chain from tile 0 that
//   grows into further tiles when the table outgrows tile 0.
// - Every tile belongs to exactly one chain: the master chain, a directory,
//   a file, or the free list (chained through the same table).
// - A directory's content is an array of 109-byte entries (kEntry*
//   offsets); an empty name marks a free entry. The root directory starts
//   in tile 1; its size is in the header.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace kestrel {

inline constexpr std::uint32_t kCompoundMagic = 0x39E47581;
inline constexpr std::int32_t kCompoundVersion = 1;
inline constexpr int kCompoundTileSize = 8192;

// Header fields (Int32 each).
inline constexpr int kHeaderMagic = 0;
inline constexpr int kHeaderVersion = 4;
inline constexpr int kHeaderTileSize = 8;
inline constexpr int kHeaderTileCount = 12;
inline constexpr int kHeaderRootSize = 16;
inline constexpr int kHeaderFreeList = 20;
inline constexpr int kHeaderChangeCounter = 24;
inline constexpr int kHeaderSize = 28;
// The lock bytes and the unread rest before the allocation table.
inline constexpr int kLockAreaStart = 768;
inline constexpr int kLockAreaBytes = 10;
inline constexpr int kAllocationTableOffset = 1024;

// Chain ends: -1 ends a chain; any negative value ends the free list, which
// is marked empty with kTileListEmpty.
inline constexpr std::int32_t kTileChainEnd = -1;
inline constexpr std::int32_t kTileListEmpty = static_cast<std::int32_t>(0x80000000u);

// Directory entry fields.
inline constexpr int kEntrySize = 109;
inline constexpr int kEntryName = 0;
inline constexpr int kEntryNameBytes = 80;  // NUL-terminated, at most 79 characters
inline constexpr int kEntryAttributes = 80;
inline constexpr int kEntryFileSize = 81;
inline constexpr int kEntryCreated = 89;
inline constexpr int kEntryChanged = 97;
inline constexpr int kEntryFirstTile = 105;
inline constexpr std::uint8_t kEntryAttrDirectory = 0x01;
inline constexpr int kMaxEntryNameLength = kEntryNameBytes - 1;

// A container never grows beyond this many tiles (the table's numbers are
// Int32 and positions must stay far from overflow).
inline constexpr std::int64_t kMaxTileCount = 0x7FFFFFF0;

inline std::int32_t GetInt32(const std::uint8_t* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[i];
  return static_cast<std::int32_t>(value);
}

inline void PutInt32(std::uint8_t* bytes, std::int32_t value) {
  auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i, bits >>= 8) bytes[i] = static_cast<std::uint8_t>(bits & 0xFF);
}

inline std::int64_t GetInt64(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[i];
  return static_cast<std::int64_t>(value);
}

inline void PutInt64(std::uint8_t* bytes, std::int64_t value) {
  auto bits = static_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i, bits >>= 8) bytes[i] = static_cast<std::uint8_t>(bits & 0xFF);
}

inline double GetDouble(const std::uint8_t* bytes) {
  const std::int64_t bits = GetInt64(bytes);
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void PutDouble(std::uint8_t* bytes, double value) {
  std::int64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  PutInt64(bytes, bits);
}

// Bytes of the master file for a container of `tileCount` tiles.
inline std::int64_t MasterFileSize(std::int64_t tileCount) {
  return kAllocationTableOffset + 4 * tileCount;
}

// Tiles a content of `size` bytes occupies.
inline std::int64_t TilesForSize(std::int64_t size) {
  return (size + kCompoundTileSize - 1) / kCompoundTileSize;
}

// One directory entry as read from or written to its 109 bytes.
struct TdwDirEntry {
  std::string FName;  // empty: a free entry
  bool FIsDirectory = false;
  std::int64_t FSize = 0;
  double FCreated = 0;
  double FChanged = 0;
  std::int32_t FFirstTile = kTileChainEnd;
};

// Writes an entry's 109 bytes (the name cut to 79 characters).
void EncodeDirEntry(const TdwDirEntry& entry, std::uint8_t* bytes);
// Reads an entry. A free entry comes back with an empty name and nothing
// else checked; otherwise answers false when the name lacks its NUL, or the
// size is negative or above `maxSize`, or the first tile is neither
// negative nor a tile in 1..tileCount-1.
bool DecodeDirEntry(const std::uint8_t* bytes, std::int64_t maxSize, std::int64_t tileCount,
                    TdwDirEntry& entry);

// The bytes of a new, empty container: the header (tile count 2, root size
// one entry, empty free list, change counter 0), the table with tiles 0 and
// 1 ending their chains, and one free root entry in tile 1; 8192 + 109 bytes.
std::string NewContainerImage();

// Whether two names inside a container are equal (ASCII case ignored).
bool SameEntryName(const std::string& a, const std::string& b);
// Whether `name` matches a pattern of '*' and '?' (ASCII case ignored); a
// pattern that begins with '*' matches every name that is not empty.
bool EntryNameMatches(const std::string& name, const std::string& pattern);

// The platform's date-time value (days since 30 December 1899) of now.
double CompoundNow();

}  // namespace kestrel
