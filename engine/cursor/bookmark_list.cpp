// The record-number lists of cursors.
#include "engine/cursor/bookmark_list.h"

#include <algorithm>
#include <bit>

namespace kestrel {

std::int32_t TTdbBookmarkList::Delete(std::int32_t recNo) {
  const std::int32_t index = Find(recNo);
  if (index < 0) return -1;
  FData[static_cast<std::size_t>(index)] = 0;
  --FCount;
  TrimHoles();
  return index;
}

void TTdbBookmarkList::Replace(std::int32_t oldRecNo, std::int32_t newRecNo) {
  if (oldRecNo <= 0 || newRecNo <= 0) return;
  std::replace(FData.begin(), FData.end(), oldRecNo, newRecNo);
}

std::int32_t TTdbBookmarkList::Find(std::int32_t recNo) const {
  if (recNo <= 0) return -1;
  const auto it = std::find(FData.begin(), FData.end(), recNo);
  return it == FData.end() ? -1 : static_cast<std::int32_t>(it - FData.begin());
}

std::int32_t TTdbBookmarkList::LiveBefore(std::int32_t index) const {
  const std::size_t end = std::min(FData.size(), static_cast<std::size_t>(std::max(index, 0)));
  return static_cast<std::int32_t>(std::count_if(FData.begin(), FData.begin() + static_cast<std::ptrdiff_t>(end),
                                                 [](std::int32_t r) { return r > 0; }));
}

std::int32_t TTdbBookmarkList::IndexOfLive(std::int32_t n) const {
  if (n < 1) return -1;
  for (std::size_t i = 0; i < FData.size(); ++i)
    if (FData[i] > 0 && --n == 0) return static_cast<std::int32_t>(i);
  return -1;
}

std::int32_t TTdbBookmarkList::FindNext(std::int32_t index) const {
  for (std::int32_t i = std::max(index + 1, 0); i < Size(); ++i)
    if (GetItem(i) > 0) return i;
  return -1;
}

std::int32_t TTdbBookmarkList::FindPrev(std::int32_t index) const {
  for (std::int32_t i = std::min(index, Size()) - 1; i >= 0; --i)
    if (GetItem(i) > 0) return i;
  return -1;
}

void TTdbBookmarkList::Clear() {
  FData.clear();
  FCount = 0;
}

void TTdbBookmarkList::Compress() { std::erase(FData, 0); }

namespace {

// A list whose record numbers are many for their span is sorted through a
// bitmap: a bit set for each number, then the bits read out in order, which
// costs a pass over the list and one over the span's words instead of the
// radix sort's passes. False, with `data` unchanged, when a number occurs
// twice (the bitmap would lose it) or the span is too wide for its count.
bool SortDenseNumbers(std::vector<std::int32_t>& data, std::uint32_t highest) {
  constexpr std::size_t kWordBits = 64;
  constexpr std::size_t kWordsPerEntryAtMost = 2;
  const std::size_t words = highest / kWordBits + 1;
  if (words > kWordsPerEntryAtMost * data.size()) return false;
  std::vector<std::uint64_t> bits(words, 0);
  for (std::int32_t r : data) {
    const auto n = static_cast<std::uint32_t>(r);
    const std::uint64_t bit = std::uint64_t{1} << (n % kWordBits);
    if (bits[n / kWordBits] & bit) return false;
    bits[n / kWordBits] |= bit;
  }
  std::size_t out = 0;
  for (std::size_t w = 0; w < words; ++w)
    for (std::uint64_t word = bits[w]; word != 0; word &= word - 1)
      data[out++] = static_cast<std::int32_t>(w * kWordBits + static_cast<std::size_t>(std::countr_zero(word)));
  return true;
}

}  // namespace

void TTdbBookmarkList::Sort() {
  // Holes out and the highest number found in one pass.
  std::uint32_t highest = 0;
  std::size_t live = 0;
  for (const std::int32_t r : FData) {
    if (r == 0) continue;
    FData[live++] = r;
    highest = std::max(highest, static_cast<std::uint32_t>(r));
  }
  FData.resize(live);
  if (FData.size() < 2) return;
  if (SortDenseNumbers(FData, highest)) return;
  // Record numbers are positive 31-bit numbers, so a radix sort by digits of
  // kRadixBits bits orders them in a few linear passes; a static filter's
  // list of many thousand records is sorted on every evaluation. Passes
  // whose digit is the same for every entry are skipped.
  constexpr int kRadixBits = 11;
  constexpr std::size_t kRadix = std::size_t{1} << kRadixBits;
  std::vector<std::int32_t> sorted(FData.size());
  for (int shift = 0; shift < 32 && (highest >> shift) != 0; shift += kRadixBits) {
    std::vector<std::size_t> start(kRadix + 1, 0);
    for (std::int32_t r : FData) ++start[((static_cast<std::uint32_t>(r) >> shift) & (kRadix - 1)) + 1];
    if (std::find(start.begin(), start.end(), FData.size()) != start.end()) continue;
    for (std::size_t d = 1; d <= kRadix; ++d) start[d] += start[d - 1];
    for (std::int32_t r : FData) sorted[start[(static_cast<std::uint32_t>(r) >> shift) & (kRadix - 1)]++] = r;
    FData.swap(sorted);
  }
}

std::vector<std::int32_t> TTdbBookmarkList::Items() const {
  std::vector<std::int32_t> items;
  items.reserve(static_cast<std::size_t>(FCount));
  for (std::int32_t r : FData)
    if (r > 0) items.push_back(r);
  return items;
}

void TTdbBookmarkList::Assign(const std::vector<std::int32_t>& items) {
  Clear();
  for (std::int32_t r : items) Append(r);
}

void TTdbRecordNoBits::AppendTo(TTdbBookmarkList& list) const {
  for (std::size_t w = 0; w < FWords.size(); ++w)
    for (std::uint64_t word = FWords[w]; word != 0; word &= word - 1)
      list.Append(static_cast<std::int32_t>(w * 64 + static_cast<std::size_t>(std::countr_zero(word))));
}

void TTdbBookmarkList::TrimHoles() {
  while (!FData.empty() && FData.back() == 0) FData.pop_back();
}

}  // namespace kestrel
