// `TTdbBPlusPage`: one slotted B+ tree page (inner or leaf) held in memory:
// reading and changing its entries, its children or leaf links, and the
// check a page read from the file passes before it is used.
//
// Invariants of a checked page: the entry count leaves room for the
// directory; the directory's end offsets rise strictly from the item offset
// and stop before the directory; no entry is larger than the tree allows
// (so a split always finds a place); an inner entry holds a key and a child.
// The buffer is longer than the page by a zeroed slack, so a comparison that
// reads a fixed window from any entry stays inside it, whatever the entry's
// bytes say.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/index/bplus_format.h"

namespace kestrel {

class TTdbBPlusPage {
 public:
  // An empty page image of `pageSize` bytes plus `slack` zero bytes.
  TTdbBPlusPage(uint32_t pageSize = 0, uint32_t slack = 0) { Reset(pageSize, slack); }

  void Reset(uint32_t pageSize, uint32_t slack);
  // Formats an empty page: no entries, children or links 0.
  void Initialize(bool leaf);
  // Whether the image is a sound page of its kind (see above); `maxEntry`
  // is the largest entry allowed, directory slot excluded.
  bool IsSound(uint32_t maxEntry) const;

  uint8_t* Data() { return FBytes.data(); }
  const uint8_t* Data() const { return FBytes.data(); }
  uint32_t PageSize() const { return FPageSize; }
  uint32_t Slack() const { return static_cast<uint32_t>(FBytes.size()) - FPageSize; }
  bool IsLeaf() const { return FLeaf; }
  void SetLeaf(bool leaf) { FLeaf = leaf; }
  uint32_t ItemOffset() const { return FLeaf ? kBPlusLeafItemOffset : kBPlusInnerItemOffset; }

  int Count() const;
  // Entry `i` (0-based): its start, size and bytes.
  uint32_t EntryStart(int i) const;
  uint32_t EntryEnd(int i) const;
  uint32_t EntrySize(int i) const { return EntryEnd(i) - EntryStart(i); }
  const uint8_t* Entry(int i) const { return FBytes.data() + EntryStart(i); }
  // The end of the entry data (the item offset when empty).
  uint32_t DataEnd() const;
  // Bytes in use: entry data, directory and count.
  uint32_t UsedBytes() const;
  // Percent of the page in use.
  uint32_t Fill() const { return UsedBytes() * 100 / FPageSize; }
  // Whether an entry of `entrySize` bytes (directory slot excluded) fits.
  bool CanInsert(uint32_t entrySize) const;

  // Inserts `size` bytes as entry `i` (0..Count()); the caller checked
  // CanInsert.
  void InsertEntry(int i, const uint8_t* bytes, uint32_t size);
  void DeleteEntry(int i);
  // Replaces the whole content by `entries` (each the bytes of one entry);
  // links and left-most child stay.
  void SetEntries(const std::vector<std::vector<uint8_t>>& entries);

  // Inner pages: child k (0..Count()): the left-most for k = 0, else the
  // one stored after separator k - 1; the separator key of entry i.
  uint32_t Child(int k) const;
  void SetChild(int k, uint32_t pageNo);
  const uint8_t* Key(int i) const { return Entry(i); }
  uint32_t KeySize(int i) const { return EntrySize(i) - kBPlusChildSize; }

  // Leaf pages: neighbour links (0 at the ends).
  uint32_t Prev() const;
  uint32_t Next() const;
  void SetPrev(uint32_t pageNo);
  void SetNext(uint32_t pageNo);

  // Every entry as bytes (for splits and merges).
  std::vector<std::vector<uint8_t>> Entries() const;

 private:
  uint32_t SlotPos(int i) const { return FPageSize - kBPlusCountSize - kBPlusSlotSize * (i + 1); }
  void SetCount(int count);
  void SetEntryEnd(int i, uint32_t end);

  std::vector<uint8_t> FBytes;
  uint32_t FPageSize = 0;
  bool FLeaf = true;
};

}  // namespace kestrel
