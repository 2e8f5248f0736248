// B-tree changes: insert with page splits, delete with merging and borrowing
// along the remembered path, the free-page list, clearing and flushing.
//
// Splits keep the root at page 1: a full root moves its contents to a new
// page and becomes the parent of the two halves. Freed pages go on a list
// (head in the header, each page holding the negated number of the next) and
// are reused before the file grows. Every change ends by invalidating the
// kept path.
#include <algorithm>
#include <cstring>

#include "engine/base/engine_error.h"
#include "engine/index/btree.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {

uint32_t TTdbBTree::AllocatePage() {
  std::vector<uint8_t> page(FGeo.FPageSize, 0);
  if (FFirstFree != 0 && FGeo.FVersion >= kFirstFreeListVersion) {
    const uint32_t pageNo = FFirstFree;
    if (pageNo > FPageCount) Damaged();
    FStorage.ReadPage(pageNo, page.data());
    const int64_t link = FGeo.IsModern() ? static_cast<int32_t>(ChildAt(page.data(), 1))
                                          : static_cast<int16_t>(ChildAt(page.data(), 1));
    if (link > 0 || -link > FPageCount || -link == pageNo) Damaged();
    FFirstFree = static_cast<uint32_t>(-link);
    return pageNo;
  }
  if (FPageCount >= FGeo.FMaxPages) throw ETdbEngine(tdbErrCapacityReached, FName);
  ++FPageCount;
  std::fill(page.begin(), page.end(), 0);
  FStorage.WritePage(FPageCount, page.data());
  return FPageCount;
}

void TTdbBTree::FreePage(uint32_t pageNo) {
  std::vector<uint8_t> page(FGeo.FPageSize, 0);
  if (FGeo.FVersion >= kFirstFreeListVersion) {
    if (FGeo.IsModern())
      WriteLeI32(page.data() + kPageLeftChild, -static_cast<int32_t>(FFirstFree));
    else
      WriteLeU16(page.data() + kPageLeftChild, static_cast<uint16_t>(-static_cast<int32_t>(FFirstFree)));
    FFirstFree = pageNo;
  }
  StorePage(pageNo, page);
}

// Refuses an insert whose splits would need more pages than the free list
// and the page limit give, before anything is changed.
void TTdbBTree::RequirePagesForInsert() {
  uint32_t needed = 0;
  for (int level = FHeight; level >= 1 && Count(FPath[level].FPage.data()) == FGeo.FCapacity; --level)
    needed += level == 1 ? 2 : 1;
  const uint32_t grow = FGeo.FMaxPages - std::min(FPageCount, FGeo.FMaxPages);
  if (needed <= grow) return;
  uint32_t available = grow;
  std::vector<uint8_t> page(FGeo.FPageSize);
  for (uint32_t free = FFirstFree; free != 0 && available < needed && FGeo.FVersion >= kFirstFreeListVersion;) {
    if (free > FPageCount) Damaged();
    FStorage.ReadPage(free, page.data());
    const int64_t link = FGeo.IsModern() ? static_cast<int32_t>(ChildAt(page.data(), 1))
                                          : static_cast<int16_t>(ChildAt(page.data(), 1));
    if (link > 0 || -link == free) Damaged();
    ++available;
    free = static_cast<uint32_t>(-link);
  }
  if (available < needed) throw ETdbEngine(tdbErrCapacityReached, FName);
}

bool TTdbBTree::Insert(const uint8_t* item) {
  std::vector<uint8_t>& entry = FEntry;
  entry.assign(FGeo.FEntrySize, 0);
  std::memcpy(entry.data() + FGeo.FChildSize, item, FGeo.FKeySize);

  if (FHeight == 0) {
    FPageCount = 0;
    FFirstFree = 0;
    const uint32_t root = AllocatePage();
    std::vector<uint8_t> page(FGeo.FPageSize, 0);
    InsertEntry(page.data(), 1, entry.data());
    StorePage(root, page);
    FHeight = 1;
    Invalidate();
    WriteHeader();
    return true;
  }
  if (!GapHolds(item) && Descend(item) > 0) return false;
  FLeafGap = 0;
  FCurrentLevel = 0;
  RequirePagesForInsert();

  const int order = FGeo.FOrder;
  int level = FHeight;
  try {
    for (;;) {
      TPathSlot& slot = FPath[level];
      uint8_t* page = slot.FPage.data();
      const int position = slot.FPos;  // the new entry's place
      const int count = Count(page);
      if (count < FGeo.FCapacity) {
        InsertEntry(page, position, entry.data());
        StorePage(slot.FPageNo, slot.FPage);
        if (level == FHeight) {
          // Only the leaf changed, and its copy is what was stored: the
          // path's pages stay current, the header stays as it was.
          return true;
        }
        break;
      }
      // Split the 2n entries and the new one: n stay, the middle one moves
      // up, n go to a new page.
      std::vector<uint8_t> combined(static_cast<size_t>(count + 1) * FGeo.FEntrySize);
      const size_t entrySize = FGeo.FEntrySize;
      std::memcpy(combined.data(), EntryAt(page, 1), (position - 1) * entrySize);
      std::memcpy(combined.data() + (position - 1) * entrySize, entry.data(), entrySize);
      std::memcpy(combined.data() + position * entrySize, EntryAt(page, position), (count - position + 1) * entrySize);
      const uint8_t* middle = combined.data() + order * entrySize;

      const uint32_t newPageNo = AllocatePage();
      std::vector<uint8_t> right(FGeo.FPageSize, 0);
      std::memcpy(right.data() + kPageLeftChild, middle, FGeo.FChildSize);  // the middle entry's child
      std::memcpy(EntryAt(right.data(), 1), middle + entrySize, order * entrySize);
      SetCount(right.data(), order);

      std::memcpy(entry.data(), middle, entrySize);
      std::memset(EntryAt(page, 1), 0, static_cast<size_t>(count) * entrySize);
      std::memcpy(EntryAt(page, 1), combined.data(), order * entrySize);
      SetCount(page, order);
      SetEntryChild(entry.data(), newPageNo);  // the moved-up entry points right
      StorePage(newPageNo, right);

      if (level == 1) {
        const uint32_t leftPageNo = AllocatePage();
        StorePage(leftPageNo, slot.FPage);
        std::vector<uint8_t> root(FGeo.FPageSize, 0);
        SetChildAt(root.data(), 1, leftPageNo);
        InsertEntry(root.data(), 1, entry.data());
        StorePage(kRootPage, root);
        ++FHeight;
        break;
      }
      StorePage(slot.FPageNo, slot.FPage);
      --level;
    }
  } catch (...) {
    Invalidate();
    throw;
  }
  Invalidate();
  WriteHeader();
  return true;
}

bool TTdbBTree::Delete(const uint8_t* item) {
  if (FHeight == 0) return false;
  const int found = Descend(item);
  if (found == 0) return false;
  try {
    TPathSlot& foundSlot = FPath[found];
    if (found < FHeight) {
      // Replace the entry by its successor, the first item of the left-most
      // leaf of its right subtree, and delete that one from the leaf.
      const int entryNo = foundSlot.FPos;
      ++foundSlot.FPos;
      DescendEdge(found + 1, ChildAt(foundSlot.FPage.data(), foundSlot.FPos), true);
      const TPathSlot& leaf = FPath[FHeight];
      std::memcpy(EntryAt(foundSlot.FPage.data(), entryNo) + FGeo.FChildSize, ItemAt(leaf.FPage.data(), 1),
                  FGeo.FKeySize);
      StorePage(foundSlot.FPageNo, foundSlot.FPage);
    }
    TPathSlot& leaf = FPath[FHeight];
    RemoveEntry(leaf.FPage.data(), leaf.FPos);
    StorePage(leaf.FPageNo, leaf.FPage);
    Rebalance(FHeight);
  } catch (...) {
    Invalidate();
    throw;
  }
  Invalidate();
  WriteHeader();
  return true;
}

void TTdbBTree::Rebalance(int level) {
  const int order = FGeo.FOrder;
  const size_t entrySize = FGeo.FEntrySize;
  while (level > 1 && Count(FPath[level].FPage.data()) < order) {
    TPathSlot& parentSlot = FPath[level - 1];
    TPathSlot& pageSlot = FPath[level];
    uint8_t* parent = parentSlot.FPage.data();
    const int childIndex = parentSlot.FPos;  // the child the path went through
    const bool siblingIsRight = childIndex == 1;
    const int separator = siblingIsRight ? 1 : childIndex - 1;
    TPathSlot& siblingSlot = FPath[0];
    siblingSlot.FStamp = 0;
    siblingSlot.FPageNo = ChildAt(parent, siblingIsRight ? 2 : childIndex - 1);
    if (siblingSlot.FPageNo == pageSlot.FPageNo) Damaged();
    LoadPage(siblingSlot.FPageNo, level, siblingSlot.FPage, level - 1);
    TPathSlot& leftSlot = siblingIsRight ? pageSlot : siblingSlot;
    TPathSlot& rightSlot = siblingIsRight ? siblingSlot : pageSlot;
    uint8_t* left = leftSlot.FPage.data();
    uint8_t* right = rightSlot.FPage.data();
    const int leftCount = Count(left);
    const int rightCount = Count(right);

    std::vector<uint8_t> moved(entrySize);
    if (leftCount + rightCount < FGeo.FCapacity) {
      // Merge: the separator (pointing to the right page's left-most child)
      // and every entry of the right page go to the left page.
      std::memcpy(moved.data(), EntryAt(parent, separator), entrySize);
      std::memcpy(moved.data(), right + kPageLeftChild, FGeo.FChildSize);
      InsertEntry(left, leftCount + 1, moved.data());
      std::memcpy(EntryAt(left, leftCount + 2), EntryAt(right, 1), rightCount * entrySize);
      SetCount(left, leftCount + 1 + rightCount);
      StorePage(leftSlot.FPageNo, leftSlot.FPage);
      FreePage(rightSlot.FPageNo);
      RemoveEntry(parent, separator);
      StorePage(parentSlot.FPageNo, parentSlot.FPage);
      --level;
      continue;
    }
    if (siblingIsRight) {
      // The old separator, taking the sibling's left-most child, goes to the
      // end of the page; the sibling's first entry moves up.
      std::memcpy(moved.data(), EntryAt(parent, separator), entrySize);
      std::memcpy(moved.data(), right + kPageLeftChild, FGeo.FChildSize);
      InsertEntry(left, leftCount + 1, moved.data());
      std::memcpy(right + kPageLeftChild, EntryAt(right, 1), FGeo.FChildSize);
      std::memcpy(EntryAt(parent, separator) + FGeo.FChildSize, ItemAt(right, 1), FGeo.FKeySize);
      RemoveEntry(right, 1);
    } else {
      // The old separator, taking the page's left-most child, goes to the
      // front of the page; the sibling's last entry moves up and its child
      // becomes the page's left-most child.
      std::memcpy(moved.data(), EntryAt(parent, separator), entrySize);
      std::memcpy(moved.data(), right + kPageLeftChild, FGeo.FChildSize);
      InsertEntry(right, 1, moved.data());
      std::memcpy(right + kPageLeftChild, EntryAt(left, leftCount), FGeo.FChildSize);
      std::memcpy(EntryAt(parent, separator) + FGeo.FChildSize, ItemAt(left, leftCount), FGeo.FKeySize);
      RemoveEntry(left, leftCount);
    }
    StorePage(leftSlot.FPageNo, leftSlot.FPage);
    StorePage(rightSlot.FPageNo, rightSlot.FPage);
    StorePage(parentSlot.FPageNo, parentSlot.FPage);
    return;
  }
  if (level == 1) CollapseRoot();
}

void TTdbBTree::CollapseRoot() {
  TPathSlot& root = FPath[1];
  if (FHeight <= 1 || Count(root.FPage.data()) > 0) return;
  const uint32_t childNo = ChildAt(root.FPage.data(), 1);
  std::vector<uint8_t> child;
  LoadPage(childNo, 2, child, 1);
  StorePage(kRootPage, child);
  FreePage(childNo);
  --FHeight;
}

void TTdbBTree::Clear() {
  FHeight = 0;
  FPageCount = 0;
  FFirstFree = 0;
  Invalidate();
  WriteHeader();
}

void TTdbBTree::Flush() {
  WriteHeader();
  if (FStorage.PageCount() != FPageCount + 1ull) FStorage.SetPageCount(FPageCount + 1ull);
  FStorage.Flush();
}

}  // namespace kestrel
