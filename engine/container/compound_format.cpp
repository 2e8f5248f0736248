// Directory entries, the image of a new container and name matching.
#include "engine/container/compound_format.h"

#include <algorithm>
#include <chrono>

#include "engine/fs/clock.h"

namespace kestrel {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Seconds between 30 December 1899 and 1 January 1970.
constexpr double kEpochOffsetDays = 25569.0;
constexpr double kSecondsPerDay = 86400.0;

}  // namespace

void EncodeDirEntry(const TdwDirEntry& entry, std::uint8_t* bytes) {
  std::memset(bytes, 0, kEntrySize);
  const std::size_t length = std::min<std::size_t>(entry.FName.size(), kMaxEntryNameLength);
  std::memcpy(bytes + kEntryName, entry.FName.data(), length);
  bytes[kEntryAttributes] = entry.FIsDirectory ? kEntryAttrDirectory : 0;
  PutInt64(bytes + kEntryFileSize, entry.FSize);
  PutDouble(bytes + kEntryCreated, entry.FCreated);
  PutDouble(bytes + kEntryChanged, entry.FChanged);
  PutInt32(bytes + kEntryFirstTile, entry.FFirstTile);
}

bool DecodeDirEntry(const std::uint8_t* bytes, std::int64_t maxSize, std::int64_t tileCount,
                    TdwDirEntry& entry) {
  entry = TdwDirEntry();
  if (bytes[kEntryName] == 0) return true;
  const void* end = std::memchr(bytes + kEntryName, 0, kEntryNameBytes);
  if (end == nullptr) return false;
  entry.FName.assign(reinterpret_cast<const char*>(bytes + kEntryName),
                     static_cast<const std::uint8_t*>(end) - (bytes + kEntryName));
  entry.FIsDirectory = (bytes[kEntryAttributes] & kEntryAttrDirectory) != 0;
  entry.FSize = GetInt64(bytes + kEntryFileSize);
  entry.FCreated = GetDouble(bytes + kEntryCreated);
  entry.FChanged = GetDouble(bytes + kEntryChanged);
  entry.FFirstTile = GetInt32(bytes + kEntryFirstTile);
  if (entry.FSize < 0 || entry.FSize > maxSize) return false;
  if (entry.FFirstTile < 0) entry.FFirstTile = kTileChainEnd;
  else if (entry.FFirstTile < 1 || entry.FFirstTile >= tileCount) return false;
  return true;
}

std::string NewContainerImage() {
  std::string image(kCompoundTileSize + kEntrySize, '\0');
  auto* bytes = reinterpret_cast<std::uint8_t*>(image.data());
  PutInt32(bytes + kHeaderMagic, static_cast<std::int32_t>(kCompoundMagic));
  PutInt32(bytes + kHeaderVersion, kCompoundVersion);
  PutInt32(bytes + kHeaderTileSize, kCompoundTileSize);
  PutInt32(bytes + kHeaderTileCount, 2);
  PutInt32(bytes + kHeaderRootSize, kEntrySize);
  PutInt32(bytes + kHeaderFreeList, kTileListEmpty);
  PutInt32(bytes + kHeaderChangeCounter, 0);
  PutInt32(bytes + kAllocationTableOffset, kTileChainEnd);
  PutInt32(bytes + kAllocationTableOffset + 4, kTileChainEnd);
  EncodeDirEntry(TdwDirEntry(), bytes + kCompoundTileSize);
  return image;
}

bool SameEntryName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool EntryNameMatches(const std::string& name, const std::string& pattern) {
  if (name.empty()) return false;
  if (!pattern.empty() && pattern[0] == '*') {
    if (pattern.find_first_not_of('*') == std::string::npos) return true;
  }
  // Iterative wildcard match with one back-tracking point per '*'.
  std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

double CompoundNow() {
  const auto since = DefaultClock().Now().time_since_epoch();
  const double seconds = std::chrono::duration<double>(since).count();
  return kEpochOffsetDays + seconds / kSecondsPerDay;
}

}  // namespace kestrel
