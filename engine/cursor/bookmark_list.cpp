// The record-number lists of cursors.
#include "engine/cursor/bookmark_list.h"

#include <algorithm>

namespace kestrel {

void TTdbBookmarkList::Append(std::int32_t recNo) {
  if (recNo <= 0) return;
  FData.push_back(recNo);
  ++FCount;
}

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

void TTdbBookmarkList::Sort() {
  Compress();
  // Record numbers are positive 31-bit numbers, so a radix sort by digits of
  // kRadixBits bits orders them in a few linear passes; a static filter's
  // list of many thousand records is sorted on every evaluation. Passes
  // whose digit is the same for every entry are skipped.
  constexpr int kRadixBits = 11;
  constexpr std::size_t kRadix = std::size_t{1} << kRadixBits;
  if (FData.size() < 2) return;
  const std::uint32_t highest = static_cast<std::uint32_t>(*std::max_element(FData.begin(), FData.end()));
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

void TTdbBookmarkList::TrimHoles() {
  while (!FData.empty() && FData.back() == 0) FData.pop_back();
}

}  // namespace kestrel
