// Slotted B+ tree pages: entry access, insertion and removal, and the check
// of pages read from the file.
#include "engine/index/bplus_page.h"

#include <algorithm>
#include <cstring>

#include "engine/index/key_value_codec.h"

namespace kestrel {

void TTdbBPlusPage::Reset(uint32_t pageSize, uint32_t slack) {
  FPageSize = pageSize;
  FBytes.assign(static_cast<size_t>(pageSize) + slack, 0);
}

void TTdbBPlusPage::Initialize(bool leaf) {
  FLeaf = leaf;
  std::fill(FBytes.begin(), FBytes.end(), 0);
}

int TTdbBPlusPage::Count() const { return ReadLeU16(FBytes.data() + FPageSize - kBPlusCountSize); }

void TTdbBPlusPage::SetCount(int count) {
  WriteLeU16(FBytes.data() + FPageSize - kBPlusCountSize, static_cast<uint16_t>(count));
}

uint32_t TTdbBPlusPage::EntryStart(int i) const { return i == 0 ? ItemOffset() : EntryEnd(i - 1); }

uint32_t TTdbBPlusPage::EntryEnd(int i) const { return ReadLeU16(FBytes.data() + SlotPos(i)); }

void TTdbBPlusPage::SetEntryEnd(int i, uint32_t end) {
  WriteLeU16(FBytes.data() + SlotPos(i), static_cast<uint16_t>(end));
}

uint32_t TTdbBPlusPage::DataEnd() const {
  const int count = Count();
  return count == 0 ? ItemOffset() : EntryEnd(count - 1);
}

uint32_t TTdbBPlusPage::UsedBytes() const {
  return DataEnd() + kBPlusSlotSize * static_cast<uint32_t>(Count()) + kBPlusCountSize;
}

bool TTdbBPlusPage::CanInsert(uint32_t entrySize) const {
  return static_cast<uint64_t>(UsedBytes()) + entrySize + kBPlusSlotSize <= FPageSize;
}

bool TTdbBPlusPage::IsSound(uint32_t maxEntry) const {
  if (FPageSize < kMinBPlusPageSize || FPageSize > kMaxBPlusPageSize) return false;
  const uint32_t count = static_cast<uint32_t>(Count());
  if (ItemOffset() + kBPlusCountSize + kBPlusSlotSize * static_cast<uint64_t>(count) > FPageSize) return false;
  const uint32_t directory = FPageSize - kBPlusCountSize - kBPlusSlotSize * count;
  const uint32_t minEntry = FLeaf ? 1 : kBPlusChildSize + 1;
  uint32_t start = ItemOffset();
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t end = EntryEnd(static_cast<int>(i));
    if (end < start + minEntry || end > directory || end - start > maxEntry) return false;
    start = end;
  }
  return true;
}

void TTdbBPlusPage::InsertEntry(int i, const uint8_t* bytes, uint32_t size) {
  const int count = Count();
  const uint32_t start = EntryStart(i);
  const uint32_t end = DataEnd();
  uint8_t* data = FBytes.data();
  std::memmove(data + start + size, data + start, end - start);
  std::memcpy(data + start, bytes, size);
  // The directory grows by one slot downwards: shift the slots of entries
  // i..count-1 one place down, each end moved by `size`.
  for (int k = count; k > i; --k) SetEntryEnd(k, EntryEnd(k - 1) + size);
  SetEntryEnd(i, start + size);
  SetCount(count + 1);
}

void TTdbBPlusPage::DeleteEntry(int i) {
  const int count = Count();
  const uint32_t start = EntryStart(i);
  const uint32_t size = EntryEnd(i) - start;
  const uint32_t end = DataEnd();
  uint8_t* data = FBytes.data();
  std::memmove(data + start, data + start + size, end - start - size);
  std::memset(data + end - size, 0, size);
  for (int k = i; k < count - 1; ++k) SetEntryEnd(k, EntryEnd(k + 1) - size);
  SetEntryEnd(count - 1, 0);
  SetCount(count - 1);
}

void TTdbBPlusPage::SetEntries(const std::vector<std::vector<uint8_t>>& entries) {
  uint8_t* data = FBytes.data();
  const uint32_t offset = ItemOffset();
  std::memset(data + offset, 0, FPageSize - offset);
  uint32_t end = offset;
  for (size_t i = 0; i < entries.size(); ++i) {
    std::memcpy(data + end, entries[i].data(), entries[i].size());
    end += static_cast<uint32_t>(entries[i].size());
    SetEntryEnd(static_cast<int>(i), end);
  }
  SetCount(static_cast<int>(entries.size()));
}

uint32_t TTdbBPlusPage::Child(int k) const {
  return k == 0 ? ReadLeU32(FBytes.data() + kBPlusLeftChild)
                : ReadLeU32(FBytes.data() + EntryEnd(k - 1) - kBPlusChildSize);
}

void TTdbBPlusPage::SetChild(int k, uint32_t pageNo) {
  WriteLeU32(FBytes.data() + (k == 0 ? kBPlusLeftChild : EntryEnd(k - 1) - kBPlusChildSize), pageNo);
}

uint32_t TTdbBPlusPage::Prev() const { return ReadLeU32(FBytes.data() + kBPlusLeafPrev); }
uint32_t TTdbBPlusPage::Next() const { return ReadLeU32(FBytes.data() + kBPlusLeafNext); }
void TTdbBPlusPage::SetPrev(uint32_t pageNo) { WriteLeU32(FBytes.data() + kBPlusLeafPrev, pageNo); }
void TTdbBPlusPage::SetNext(uint32_t pageNo) { WriteLeU32(FBytes.data() + kBPlusLeafNext, pageNo); }

std::vector<std::vector<uint8_t>> TTdbBPlusPage::Entries() const {
  std::vector<std::vector<uint8_t>> entries;
  const int count = Count();
  entries.reserve(count);
  for (int i = 0; i < count; ++i) entries.emplace_back(Entry(i), Entry(i) + EntrySize(i));
  return entries;
}

}  // namespace kestrel
