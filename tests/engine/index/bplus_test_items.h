// Items for B+ tree tests: a 16-bit payload length, then the payload bytes,
// compared byte-wise by payload like a length-prefixed key part. The
// comparison reads only what the length says (bounded by the window), so a
// stored item shorter than the window is read correctly.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/index/bplus_tree.h"
#include "engine/index/key_value_codec.h"

namespace kestrel::test {

inline constexpr uint32_t kItemLengthSize = 2;

// The largest payload a tree of `pageSize` takes.
inline uint32_t MaxPayload(uint32_t pageSize) { return BPlusMaxItemSize(pageSize) - kItemLengthSize; }

// The item bytes of `payload` (exactly its stored length).
inline std::vector<uint8_t> ItemBytes(const std::string& payload) {
  std::vector<uint8_t> item(kItemLengthSize + payload.size());
  WriteLeU16(item.data(), static_cast<uint16_t>(payload.size()));
  std::memcpy(item.data() + kItemLengthSize, payload.data(), payload.size());
  return item;
}

// The item in a buffer padded to `window` bytes, as callers hand items in.
inline std::vector<uint8_t> ItemBuffer(const std::string& payload, uint32_t window) {
  std::vector<uint8_t> item = ItemBytes(payload);
  item.resize(std::max<size_t>(item.size(), window), 0);
  return item;
}

inline std::string Payload(const std::vector<uint8_t>& item) {
  if (item.size() < kItemLengthSize) return "<short>";
  const size_t length = std::min<size_t>(ReadLeU16(item.data()), item.size() - kItemLengthSize);
  return std::string(reinterpret_cast<const char*>(item.data()) + kItemLengthSize, length);
}

inline TTdbItemCompare PayloadCompare(uint32_t window) {
  return [window](const uint8_t* x, const uint8_t* y) {
    const uint32_t limit = window - kItemLengthSize;
    const uint32_t lx = std::min<uint32_t>(ReadLeU16(x), limit);
    const uint32_t ly = std::min<uint32_t>(ReadLeU16(y), limit);
    const int order = std::memcmp(x + kItemLengthSize, y + kItemLengthSize, std::min(lx, ly));
    if (order != 0) return order < 0 ? -1 : 1;
    return lx < ly ? -1 : (lx > ly ? 1 : 0);
  };
}

// A tree on pages in memory, with the header at the index file's offset.
struct TPayloadTree {
  explicit TPayloadTree(uint32_t pageSize)
      : FWindow(BPlusMaxItemSize(pageSize)),
        FStorage(pageSize),
        FTree(FStorage, kBPlusIndexHeaderOffset, PayloadCompare(FWindow), FWindow, "PROBA") {
    FTree.New(pageSize);
  }

  bool Insert(const std::string& payload) {
    const std::vector<uint8_t> item = ItemBuffer(payload, FWindow);
    return FTree.Insert(item.data(), static_cast<uint32_t>(kItemLengthSize + payload.size()));
  }
  bool Delete(const std::string& payload) { return FTree.Delete(ItemBuffer(payload, FWindow).data()); }

  // Every item forward, and backward (reversed), as payloads; each delivered
  // item must have exactly its stored length.
  std::vector<std::string> ScanForward() {
    std::vector<std::string> items;
    std::vector<uint8_t> item;
    for (int r = FTree.FindFirst(item); r == ttrFound; r = FTree.FindNext(Padded(item).data(), item))
      items.push_back(Checked(item));
    return items;
  }
  std::vector<std::string> ScanBackward() {
    std::vector<std::string> items;
    std::vector<uint8_t> item;
    for (int r = FTree.FindLast(item); r == ttrFound; r = FTree.FindPrev(Padded(item).data(), item))
      items.push_back(Checked(item));
    std::reverse(items.begin(), items.end());
    return items;
  }

  std::vector<uint8_t> Padded(std::vector<uint8_t> item) const {
    item.resize(item.size() + FWindow, 0);
    return item;
  }
  static std::string Checked(const std::vector<uint8_t>& item) {
    const std::string payload = Payload(item);
    return item.size() == kItemLengthSize + payload.size() ? payload : "<wrong length>";
  }

  uint32_t FWindow;
  TTdbMemoryPageIo FStorage;
  TTdbBPlusTree FTree;
};

}  // namespace kestrel::test
