// TTdbBookmarkList: a list of record numbers in a chosen order, the order
// of a static filter or of a selection of marked records.
//
// Invariants: FData holds live entries (record numbers > 0) and holes (0);
// FCount is the number of live entries; the last slot is never a hole
// (trailing holes are trimmed at once). A deleted entry leaves a hole, so
// the list positions of the other entries do not move until Compress or
// Sort, and a walker standing on a deleted entry can step on from its
// position.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kestrel {

class TTdbBookmarkList {
 public:
  // Number of live entries.
  std::int32_t Count() const { return FCount; }
  // Number of slots, holes included.
  std::int32_t Size() const { return static_cast<std::int32_t>(FData.size()); }
  std::int32_t GetItem(std::int32_t index) const { return FData[static_cast<std::size_t>(index)]; }

  // Adds recNo at the end (nothing for recNo <= 0). Inline: a static
  // filter appends every record of a range.
  void Append(std::int32_t recNo) {
    if (recNo <= 0) return;
    FData.push_back(recNo);
    ++FCount;
  }
  // Removes recNo (leaves a hole); answers its slot or -1.
  std::int32_t Delete(std::int32_t recNo);
  // Replaces every entry oldRecNo by newRecNo.
  void Replace(std::int32_t oldRecNo, std::int32_t newRecNo);
  // Slot of recNo, -1 when absent or recNo <= 0.
  std::int32_t Find(std::int32_t recNo) const;
  // Number of live entries before slot `index`.
  std::int32_t LiveBefore(std::int32_t index) const;
  // Slot of the n-th (1-based) live entry, -1 when there is none.
  std::int32_t IndexOfLive(std::int32_t n) const;
  // First/last live slot, and the next/previous live slot after/before
  // `index` (which may be a hole); -1 when none.
  std::int32_t FindFirst() const { return FindNext(-1); }
  std::int32_t FindLast() const { return FindPrev(Size()); }
  std::int32_t FindNext(std::int32_t index) const;
  std::int32_t FindPrev(std::int32_t index) const;

  void Clear();
  // Removes the holes.
  void Compress();
  // Compresses and orders the entries by record number.
  void Sort();
  // The live entries in order.
  std::vector<std::int32_t> Items() const;
  // Replaces the content by `items` (every entry > 0).
  void Assign(const std::vector<std::int32_t>& items);

 private:
  void TrimHoles();

  std::vector<std::int32_t> FData;
  std::int32_t FCount = 0;
};

// Record numbers gathered in any order, each once, as the bits of a bitmap
// that reads them out ascending: a static filter that walks another order
// than record numbers gets its list ordered without a sort.
class TTdbRecordNoBits {
 public:
  // Room for the numbers up to `highest` at first; larger ones widen it.
  explicit TTdbRecordNoBits(std::int32_t highest) : FWords(static_cast<std::size_t>(std::max(highest, 0)) / 64 + 1) {}

  // Adds recNo (nothing for recNo <= 0; a number already there stays once).
  void Add(std::int32_t recNo) {
    if (recNo <= 0) return;
    const auto n = static_cast<std::uint32_t>(recNo);
    if (n / 64 >= FWords.size()) FWords.resize(n / 64 + 1, 0);
    FWords[n / 64] |= std::uint64_t{1} << (n % 64);
  }
  // Appends the numbers to `list`, ascending.
  void AppendTo(TTdbBookmarkList& list) const;

 private:
  std::vector<std::uint64_t> FWords;
};

}  // namespace kestrel
