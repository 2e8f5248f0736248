// B+ tree changes: insert with page splits, delete with merges, the page
// allocation and free list, clearing and flushing.
//
// A page that cannot take an entry is split over its entries and the new
// one together, at the point that balances the two pages' bytes among the
// points where both pages are non-empty and fit (items are limited so that
// one always exists). A leaf split copies the right page's first item up as
// the separator; an inner split moves its middle key up. A page that falls
// below its minimum fill is merged with a neighbour when both fit into one
// page; entries are never lent between siblings. Merging leaves keeps the
// chain linked both ways.
#include <cstdlib>
#include <cstring>

#include "engine/base/engine_error.h"
#include "engine/index/bplus_tree.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {
namespace {

using TEntries = std::vector<std::vector<uint8_t>>;

// The split point s (left page entries [0, s), the right page from s, or
// from s + 1 when entry s moves up) that balances the pages' bytes; -1 when
// no point leaves both pages non-empty and within `pageSize`.
int ChooseSplit(const TEntries& entries, uint32_t itemOffset, uint32_t pageSize, bool moveUp) {
  const int count = static_cast<int>(entries.size());
  std::vector<uint64_t> prefix(count + 1, 0);  // bytes of entries [0, i) with their slots
  for (int i = 0; i < count; ++i) prefix[i + 1] = prefix[i] + entries[i].size() + kBPlusSlotSize;
  const uint64_t fixed = itemOffset + kBPlusCountSize;
  int best = -1;
  uint64_t bestDifference = UINT64_MAX;
  for (int s = 1; s < count - (moveUp ? 1 : 0); ++s) {
    const uint64_t left = fixed + prefix[s];
    const uint64_t right = fixed + prefix[count] - prefix[moveUp ? s + 1 : s];
    if (left > pageSize || right > pageSize) continue;
    const uint64_t difference = left > right ? left - right : right - left;
    if (difference < bestDifference) {
      bestDifference = difference;
      best = s;
    }
  }
  return best;
}

}  // namespace

template <typename TChange>
auto TTdbBPlusTree::Changing(TChange change) {
  const uint32_t pageCount = FPageCount;
  const uint16_t height = FHeight;
  const uint32_t root = FRoot;
  const uint32_t firstFree = FFirstFree;
  const uint32_t itemCount = FItemCount;
  try {
    return change();
  } catch (...) {
    FPageCount = pageCount;
    FHeight = height;
    FRoot = root;
    FFirstFree = firstFree;
    FItemCount = itemCount;
    FPath.clear();
    throw;
  }
}

uint32_t TTdbBPlusTree::AllocatePage() {
  if (FPageCount >= kMaxBPlusPages) throw ETdbEngine(tdbErrCapacityReached, FName);
  // The storage may hold pages past the tree's end (not yet cut by a flush).
  if (FStorage.PageCount() <= FPageCount) FStorage.SetPageCount(FPageCount + 1ull);
  return FPageCount++;
}

void TTdbBPlusTree::FreePage(uint32_t pageNo) {
  if (pageNo == FPageCount - 1) {
    --FPageCount;
    return;
  }
  std::vector<uint8_t> page(FPageSize, 0);
  WriteLeU32(page.data(), FFirstFree);
  FStorage.WritePage(pageNo, page.data());
  FFirstFree = pageNo;
}

bool TTdbBPlusTree::Insert(const uint8_t* item, uint32_t size) {
  if (size == 0 || size > MaxItemSize()) throw ETdbEngine(tdbErrIndexInsert, FName);
  // A split of every level and a new root take at most height + 1 pages.
  if (FPageCount + FHeight + 1ull > kMaxBPlusPages) throw ETdbEngine(tdbErrCapacityReached, FName);
  return Changing([&] { return InsertItem(item, size); });
}

bool TTdbBPlusTree::InsertItem(const uint8_t* item, uint32_t size) {
  const std::vector<uint8_t> entry(item, item + size);
  if (FHeight == 0) {
    FPath.resize(1);
    TLevel& root = FPath[0];
    root.FPage.Reset(FPageSize, FWindow);
    root.FPage.Initialize(true);
    root.FPage.InsertEntry(0, entry.data(), size);
    root.FPageNo = AllocatePage();
    StorePage(root.FPageNo, root.FPage);
    FRoot = root.FPageNo;
    FHeight = 1;
  } else {
    if (Descend(item)) return false;
    InsertAt(FHeight - 1, Leaf().FPos, entry);
  }
  ++FItemCount;
  WriteHeader();
  return true;
}

void TTdbBPlusTree::InsertAt(int level, int pos, const std::vector<uint8_t>& entry) {
  TLevel& slot = FPath[level];
  const uint32_t size = static_cast<uint32_t>(entry.size());
  if (slot.FPage.CanInsert(size)) {
    slot.FPage.InsertEntry(pos, entry.data(), size);
    StorePage(slot.FPageNo, slot.FPage);
    return;
  }
  TEntries entries = slot.FPage.Entries();
  entries.insert(entries.begin() + pos, entry);
  if (slot.FPage.IsLeaf())
    SplitLeaf(level, entries);
  else
    SplitInner(level, entries);
}

void TTdbBPlusTree::SplitLeaf(int level, std::vector<std::vector<uint8_t>>& entries) {
  TLevel& slot = FPath[level];
  const int split = ChooseSplit(entries, kBPlusLeafItemOffset, FPageSize, false);
  if (split < 0) Damaged();
  const uint32_t rightNo = AllocatePage();
  const uint32_t oldNext = slot.FPage.Next();
  TTdbBPlusPage right(FPageSize, FWindow);
  right.Initialize(true);
  right.SetEntries(TEntries(entries.begin() + split, entries.end()));
  right.SetPrev(slot.FPageNo);
  right.SetNext(oldNext);
  if (oldNext != 0) {
    TTdbBPlusPage neighbour(FPageSize, FWindow);
    LoadPage(oldNext, true, neighbour);
    neighbour.SetPrev(rightNo);
    StorePage(oldNext, neighbour);
  }
  StorePage(rightNo, right);
  const std::vector<uint8_t> separator = entries[split];
  entries.resize(split);
  slot.FPage.SetEntries(entries);
  slot.FPage.SetNext(rightNo);
  StorePage(slot.FPageNo, slot.FPage);
  AddSeparator(level, separator, rightNo);
}

void TTdbBPlusTree::SplitInner(int level, std::vector<std::vector<uint8_t>>& entries) {
  TLevel& slot = FPath[level];
  const int split = ChooseSplit(entries, kBPlusInnerItemOffset, FPageSize, true);
  if (split < 0) Damaged();
  const uint32_t rightNo = AllocatePage();
  const std::vector<uint8_t>& middle = entries[split];
  TTdbBPlusPage right(FPageSize, FWindow);
  right.Initialize(false);
  WriteLeU32(right.Data() + kBPlusLeftChild, ReadLeU32(middle.data() + middle.size() - kBPlusChildSize));
  right.SetEntries(TEntries(entries.begin() + split + 1, entries.end()));
  StorePage(rightNo, right);
  const std::vector<uint8_t> separator(middle.begin(), middle.end() - kBPlusChildSize);
  entries.resize(split);
  slot.FPage.SetEntries(entries);
  StorePage(slot.FPageNo, slot.FPage);
  AddSeparator(level, separator, rightNo);
}

void TTdbBPlusTree::AddSeparator(int level, const std::vector<uint8_t>& key, uint32_t rightPage) {
  std::vector<uint8_t> entry(key);
  entry.resize(key.size() + kBPlusChildSize);
  WriteLeU32(entry.data() + key.size(), rightPage);
  if (level > 0) {
    InsertAt(level - 1, FPath[level - 1].FPos, entry);
    return;
  }
  TTdbBPlusPage root(FPageSize, FWindow);
  root.Initialize(false);
  root.SetChild(0, FRoot);
  root.InsertEntry(0, entry.data(), static_cast<uint32_t>(entry.size()));
  const uint32_t rootNo = AllocatePage();
  StorePage(rootNo, root);
  FRoot = rootNo;
  ++FHeight;
  FPath.clear();  // the levels moved down; the next search rebuilds the path
}

bool TTdbBPlusTree::Delete(const uint8_t* item) {
  return Changing([&] { return DeleteItem(item); });
}

bool TTdbBPlusTree::DeleteItem(const uint8_t* item) {
  if (FHeight == 0 || !Descend(item)) return false;
  TLevel& leaf = Leaf();
  leaf.FPage.DeleteEntry(leaf.FPos - 1);
  StorePage(leaf.FPageNo, leaf.FPage);
  if (FItemCount > 0) --FItemCount;
  if (leaf.FPage.Fill() < kBPlusLeafMinFill) Rebalance(FHeight - 1);
  WriteHeader();
  return true;
}

void TTdbBPlusTree::Rebalance(int level) {
  if (level == 0) {
    RebalanceRoot();
    return;
  }
  TLevel& parent = FPath[level - 1];
  const int child = parent.FPos;
  bool merged = false;
  if (child < parent.FPage.Count()) merged = MergeChildren(level, child);
  if (!merged && child > 0) merged = MergeChildren(level, child - 1);
  if (!merged) return;
  if (level - 1 == 0)
    RebalanceRoot();
  else if (parent.FPage.Fill() < kBPlusInnerMinFill)
    Rebalance(level - 1);
}

bool TTdbBPlusTree::MergeChildren(int level, int leftChild) {
  TLevel& parent = FPath[level - 1];
  const bool leaf = level == FHeight - 1;
  const uint32_t leftNo = parent.FPage.Child(leftChild);
  const uint32_t rightNo = parent.FPage.Child(leftChild + 1);
  if (leftNo == rightNo) Damaged();
  for (int above = 0; above < level; ++above)
    if (FPath[above].FPageNo == leftNo || FPath[above].FPageNo == rightNo) Damaged();
  TTdbBPlusPage left(FPageSize, FWindow);
  TTdbBPlusPage right(FPageSize, FWindow);
  LoadPage(leftNo, leaf, left);
  LoadPage(rightNo, leaf, right);
  const uint32_t itemOffset = left.ItemOffset();
  uint64_t needed = static_cast<uint64_t>(left.UsedBytes()) + right.UsedBytes() - itemOffset - kBPlusCountSize;
  if (!leaf) needed += parent.FPage.KeySize(leftChild) + kBPlusChildSize + kBPlusSlotSize;
  if (needed > FPageSize) return false;

  TEntries entries = left.Entries();
  if (!leaf) {
    // The separator comes down, taking the right page's left-most child.
    std::vector<uint8_t> separator(parent.FPage.Key(leftChild),
                                   parent.FPage.Key(leftChild) + parent.FPage.KeySize(leftChild));
    separator.resize(separator.size() + kBPlusChildSize);
    WriteLeU32(separator.data() + separator.size() - kBPlusChildSize, right.Child(0));
    entries.push_back(std::move(separator));
  }
  for (std::vector<uint8_t>& entry : right.Entries()) entries.push_back(std::move(entry));
  left.SetEntries(entries);
  if (leaf) {
    const uint32_t next = right.Next();
    left.SetNext(next);
    if (next != 0) {
      TTdbBPlusPage neighbour(FPageSize, FWindow);
      LoadPage(next, true, neighbour);
      neighbour.SetPrev(leftNo);
      StorePage(next, neighbour);
    }
  }
  StorePage(leftNo, left);
  FreePage(rightNo);
  parent.FPage.DeleteEntry(leftChild);
  StorePage(parent.FPageNo, parent.FPage);
  return true;
}

void TTdbBPlusTree::RebalanceRoot() {
  TTdbBPlusPage root(FPageSize, FWindow);
  while (FHeight > 0) {
    LoadPage(FRoot, FHeight == 1, root);
    if (root.Count() > 0) return;
    const uint32_t oldRoot = FRoot;
    if (FHeight == 1) {
      FRoot = 0;
    } else {
      FRoot = root.Child(0);
    }
    --FHeight;
    FreePage(oldRoot);
  }
  FPath.clear();
}

void TTdbBPlusTree::Clear() {
  FHeight = 0;
  FRoot = 0;
  FFirstFree = 0;
  FPageCount = 1;
  FItemCount = 0;
  FPath.clear();
  WriteHeader();
  FStorage.SetPageCount(1);
}

void TTdbBPlusTree::Flush() {
  WriteHeader();
  if (FStorage.PageCount() != FPageCount) FStorage.SetPageCount(FPageCount);
  FStorage.Flush();
}

}  // namespace kestrel
