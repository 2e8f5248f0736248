// B-tree searches: descent, lower bound, first and last, stepping along the
// kept path, sequence numbers and the consistency walk.
#include <cmath>
#include <cstring>

#include "engine/base/engine_error.h"
#include "engine/index/btree.h"

namespace kestrel {
namespace {

constexpr uint32_t kExactSequencePageLimit = 1000;
constexpr double kEstimatedFill = 1.5;  // average entries per page, in orders

}  // namespace

int TTdbBTree::Descend(const uint8_t* item) {
  uint32_t pageNo = kRootPage;
  for (int level = 1; level <= FHeight; ++level) {
    LoadSlot(level, pageNo);
    TPathSlot& slot = FPath[level];
    bool equal = false;
    const int before = LowerBound(slot.FPage.data(), item, equal);
    slot.FPos = static_cast<uint16_t>(before + 1);
    if (equal) {
      FCurrentLevel = level;
      return level;
    }
    if (level == FHeight) {
      FLeafGap = slot.FPos;
      break;
    }
    pageNo = ChildAt(slot.FPage.data(), before + 1);
  }
  FCurrentLevel = 0;
  return 0;
}

bool TTdbBTree::GapHolds(const uint8_t* item) {
  if (FHeight == 0 || FLeafGap == 0) return false;
  for (int level = 1; level <= FHeight; ++level) {
    const TPathSlot& slot = FPath[level];
    if (slot.FStamp != FChangeStamp || slot.FPage.empty()) return false;
    if (level == 1 ? slot.FPageNo != kRootPage
                   : ChildAt(FPath[level - 1].FPage.data(), FPath[level - 1].FPos) != slot.FPageNo)
      return false;
    if (level < FHeight && (slot.FPos < 1 || slot.FPos > Count(slot.FPage.data()) + 1)) return false;
  }
  TPathSlot& leaf = FPath[FHeight];
  const int count = Count(leaf.FPage.data());
  const int gap = FLeafGap;
  if (gap > count + 1) return false;
  // The neighbours in key order: inside the leaf, or else the separators
  // of the nearest ancestors the path passed on that side.
  const uint8_t* before = nullptr;
  const uint8_t* after = nullptr;
  if (gap > 1) before = ItemAt(leaf.FPage.data(), gap - 1);
  for (int level = FHeight - 1; level >= 1 && !before; --level)
    if (FPath[level].FPos > 1) before = ItemAt(FPath[level].FPage.data(), FPath[level].FPos - 1);
  if (gap <= count) after = ItemAt(leaf.FPage.data(), gap);
  for (int level = FHeight - 1; level >= 1 && !after; --level)
    if (FPath[level].FPos <= Count(FPath[level].FPage.data()))
      after = ItemAt(FPath[level].FPage.data(), FPath[level].FPos);
  if ((before && FCompare(before, item) >= 0) || (after && FCompare(item, after) >= 0)) return false;
  leaf.FPos = static_cast<uint16_t>(gap);
  return true;
}

void TTdbBTree::DescendEdge(int fromLevel, uint32_t pageNo, bool leftMost) {
  for (int level = fromLevel; level <= FHeight; ++level) {
    LoadSlot(level, pageNo);
    TPathSlot& slot = FPath[level];
    const int count = Count(slot.FPage.data());
    if (level == FHeight) {
      slot.FPos = static_cast<uint16_t>(leftMost ? 1 : count);
      FCurrentLevel = count > 0 ? level : 0;
      return;
    }
    slot.FPos = static_cast<uint16_t>(leftMost ? 1 : count + 1);
    pageNo = ChildAt(slot.FPage.data(), slot.FPos);
  }
}

bool TTdbBTree::PositionHolds(const uint8_t* item) const {
  if (FCurrentLevel < 1 || FCurrentLevel > FHeight) return false;
  for (int level = 1; level <= FCurrentLevel; ++level)
    if (FPath[level].FStamp != FChangeStamp) return false;
  const TPathSlot& slot = FPath[FCurrentLevel];
  return slot.FPos >= 1 && slot.FPos <= Count(slot.FPage.data()) &&
         std::memcmp(ItemAt(slot.FPage.data(), slot.FPos), item, FGeo.FKeySize) == 0;
}

int TTdbBTree::Deliver(std::vector<uint8_t>& out) {
  const TPathSlot& slot = FPath[FCurrentLevel];
  const uint8_t* item = ItemAt(slot.FPage.data(), slot.FPos);
  out.assign(item, item + FGeo.FKeySize);
  return ttrFound;
}

// From the last entry of a page: the first ancestor entry to the right.
int TTdbBTree::ClimbForward() {
  for (int level = FCurrentLevel - 1; level >= 1; --level) {
    TPathSlot& slot = FPath[level];
    if (slot.FPos <= Count(slot.FPage.data())) {
      FCurrentLevel = level;
      return ttrFound;
    }
  }
  return ttrNone;
}

// From the first entry of a page: the first ancestor entry to the left.
int TTdbBTree::ClimbBackward() {
  for (int level = FCurrentLevel - 1; level >= 1; --level) {
    TPathSlot& slot = FPath[level];
    if (slot.FPos > 1) {
      --slot.FPos;
      FCurrentLevel = level;
      return ttrFound;
    }
  }
  return ttrNone;
}

int TTdbBTree::Find(const uint8_t* item, std::vector<uint8_t>& found) {
  if (FHeight == 0) return ttrNotInTree;
  if (Descend(item) > 0) return Deliver(found);
  TPathSlot& leaf = FPath[FHeight];
  const int count = Count(leaf.FPage.data());
  if (count == 0) return ttrNone;
  FCurrentLevel = FHeight;
  if (leaf.FPos <= count) return Deliver(found);
  leaf.FPos = static_cast<uint16_t>(count);
  if (ClimbForward() != ttrFound) return ttrNone;
  return Deliver(found);
}

int TTdbBTree::FindFirst(std::vector<uint8_t>& first) {
  if (FHeight == 0) return ttrNone;
  DescendEdge(1, kRootPage, true);
  return FCurrentLevel == 0 ? ttrNone : Deliver(first);
}

int TTdbBTree::FindLast(std::vector<uint8_t>& last) {
  if (FHeight == 0) return ttrNone;
  DescendEdge(1, kRootPage, false);
  return FCurrentLevel == 0 ? ttrNone : Deliver(last);
}

int TTdbBTree::FindNext(const uint8_t* item, std::vector<uint8_t>& next) {
  if (FHeight == 0) return ttrNotInTree;
  if (!PositionHolds(item) && Descend(item) == 0) return ttrNotInTree;
  const int level = FCurrentLevel;
  TPathSlot& slot = FPath[level];
  if (level < FHeight) {
    ++slot.FPos;  // the child right of the entry
    DescendEdge(level + 1, ChildAt(slot.FPage.data(), slot.FPos), true);
    return Deliver(next);
  }
  if (slot.FPos < Count(slot.FPage.data())) {
    ++slot.FPos;
    return Deliver(next);
  }
  if (ClimbForward() != ttrFound) {
    FCurrentLevel = level;
    return ttrNone;
  }
  return Deliver(next);
}

int TTdbBTree::FindPrev(const uint8_t* item, std::vector<uint8_t>& prev) {
  if (FHeight == 0) return ttrNotInTree;
  if (!PositionHolds(item) && Descend(item) == 0) return ttrNotInTree;
  const int level = FCurrentLevel;
  TPathSlot& slot = FPath[level];
  if (level < FHeight) {
    DescendEdge(level + 1, ChildAt(slot.FPage.data(), slot.FPos), false);  // the child left of the entry
    return Deliver(prev);
  }
  if (slot.FPos > 1) {
    --slot.FPos;
    return Deliver(prev);
  }
  if (ClimbBackward() != ttrFound) {
    FCurrentLevel = level;
    return ttrNone;
  }
  return Deliver(prev);
}

void TTdbBTree::VisitRuns(const uint8_t* from, bool checkOrder, const TTdbItemRunVisitor& visit) {
  if (FHeight == 0) return;
  const int found = Descend(from);
  // The next item to hand over: entry FPos of level `level`.
  int level = found > 0 ? found : FHeight;
  uint64_t loads = FHeight;
  const uint64_t loadLimit = static_cast<uint64_t>(FPageCount) + FHeight;
  bool first = true;
  // Hands over entries FPos..last of `slot`; false when the walk ends.
  const auto deliver = [&](TPathSlot& slot, int last) {
    const int count = last - slot.FPos + 1;
    const uint8_t* start = ItemAt(slot.FPage.data(), slot.FPos);
    const uint8_t* end = ItemAt(slot.FPage.data(), last);
    if (checkOrder) {
      if (first ? FCompare(start, from) < 0 : FCompare(FRunLast.data(), start) >= 0) Damaged();
      if (count > 1 && FCompare(start, end) >= 0) Damaged();
    }
    first = false;
    FRunLast.assign(end, end + FGeo.FKeySize);
    slot.FPos = static_cast<uint16_t>(last);
    return visit(start, count, FGeo.FEntrySize);
  };
  for (;;) {
    TPathSlot& slot = FPath[level];
    const int count = Count(slot.FPage.data());
    if (level < FHeight) {
      if (!deliver(slot, slot.FPos)) break;
      // On with the subtree right of that item, from its first leaf item.
      ++slot.FPos;
      loads += FHeight - level;
      if (loads > loadLimit) Damaged();
      DescendEdge(level + 1, ChildAt(slot.FPage.data(), slot.FPos), true);
      level = FHeight;
      continue;
    }
    if (slot.FPos >= 1 && slot.FPos <= count && !deliver(slot, count)) break;
    // Up to the nearest ancestor item right of this leaf.
    level = 0;
    for (int up = FHeight - 1; up >= 1 && level == 0; --up)
      if (FPath[up].FPos <= Count(FPath[up].FPage.data())) level = up;
    if (level == 0) break;
  }
  FCurrentLevel = 0;
  FLeafGap = 0;
}

void TTdbBTree::Walk(uint32_t pageNo, int level, std::vector<bool>& visited,
                     const std::function<void(const uint8_t*)>& visit) {
  if (pageNo >= visited.size() || visited[pageNo]) Damaged();
  visited[pageNo] = true;
  std::vector<uint8_t> page;
  LoadPage(pageNo, level, page, 0);
  const int count = Count(page.data());
  const bool leaf = level == FHeight;
  for (int e = 1; e <= count; ++e) {
    if (!leaf) Walk(ChildAt(page.data(), e), level + 1, visited, visit);
    visit(ItemAt(page.data(), e));
  }
  if (!leaf) Walk(ChildAt(page.data(), count + 1), level + 1, visited, visit);
}

void TTdbBTree::Check(int64_t& itemCount, int64_t& wrongSortCount) {
  itemCount = 0;
  wrongSortCount = 0;
  std::vector<bool> visited(static_cast<size_t>(FPageCount) + 1, false);
  if (FHeight > 0) {
    std::vector<uint8_t> previous;
    Walk(kRootPage, 1, visited, [&](const uint8_t* item) {
      if (!previous.empty() && FCompare(previous.data(), item) >= 0) ++wrongSortCount;
      previous.assign(item, item + FGeo.FKeySize);
      ++itemCount;
    });
  }
  if (FGeo.FVersion < kFirstFreeListVersion) return;
  std::vector<uint8_t> page(FGeo.FPageSize);
  for (uint32_t free = FFirstFree; free != 0;) {
    if (free > FPageCount || visited[free]) Damaged();
    visited[free] = true;
    FStorage.ReadPage(free, page.data());
    const int64_t link = FGeo.IsModern() ? static_cast<int32_t>(ChildAt(page.data(), 1))
                                          : static_cast<int16_t>(ChildAt(page.data(), 1));
    if (link > 0) Damaged();
    free = static_cast<uint32_t>(-link);
  }
}

int64_t TTdbBTree::CalcItemSequenceNo(const uint8_t* item) {
  if (FHeight == 0) return 0;
  LoadSlot(1, kRootPage);
  bool equal = false;
  if (FPageCount > kExactSequencePageLimit) {
    const uint8_t* root = FPath[1].FPage.data();
    const int rootCount = Count(root);
    if (rootCount == 0) return 1;
    const int before = LowerBound(root, item, equal);
    return static_cast<int64_t>(std::nearbyint(static_cast<double>(FPageCount) * kEstimatedFill * FGeo.FOrder *
                                               before / rootCount)) +
           1;
  }
  // Exact: every entry before the search position and every subtree left of it.
  std::vector<bool> visited(static_cast<size_t>(FPageCount) + 1, false);
  int64_t before = 0;
  const auto count = [&before](const uint8_t*) { ++before; };
  uint32_t pageNo = kRootPage;
  std::vector<uint8_t> page;
  for (int level = 1; level <= FHeight; ++level) {
    if (visited[pageNo]) Damaged();
    visited[pageNo] = true;
    LoadPage(pageNo, level, page, 0);
    const int position = LowerBound(page.data(), item, equal);
    before += position;
    if (level == FHeight) break;
    for (int k = 1; k <= position; ++k) Walk(ChildAt(page.data(), k), level + 1, visited, count);
    pageNo = ChildAt(page.data(), position + 1);
  }
  return before + 1;
}

}  // namespace kestrel
