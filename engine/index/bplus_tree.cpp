// B+ tree header, page loading with its checks, searches, stepping along the
// leaf chain, sequence numbers and the consistency walk.
#include "engine/index/bplus_tree.h"

#include <cstring>

#include "engine/base/engine_error.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {

TTdbBPlusTree::TTdbBPlusTree(ITdbIndexPageIo& io, uint32_t headerOffset, TTdbItemCompare compare,
                             uint32_t compareWindow, std::string name)
    : FStorage(io),
      FOffset(headerOffset),
      FCompare(std::move(compare)),
      FWindow(compareWindow),
      FName(std::move(name)) {}

void TTdbBPlusTree::Damaged(const char* file, unsigned line) const {
  throw ETdbEngine(tdbErrReadIndex, FName).At(file, line);
}

void TTdbBPlusTree::New(uint32_t pageSize) {
  if (pageSize < kMinBPlusPageSize || pageSize > kMaxBPlusPageSize || FOffset + kBPlusHeaderSize > pageSize)
    throw ETdbEngine(tdbErrInvalidIndexSpec, FName);
  FStorage.SetPageSize(pageSize);
  FPageSize = pageSize;
  FHeader.assign(pageSize, 0);
  FPageCount = 1;
  FHeight = 0;
  FRoot = 0;
  FFirstFree = 0;
  FItemCount = 0;
  FPath.clear();
  WriteHeader();
  FStorage.SetPageCount(1);
}

void TTdbBPlusTree::ReadHeaderFields(const uint8_t* h) {
  FPageCount = ReadLeU32(h + kBPlusHdrPageCount);
  FHeight = ReadLeU16(h + kBPlusHdrHeight);
  FRoot = ReadLeU32(h + kBPlusHdrRoot);
  FFirstFree = ReadLeU32(h + kBPlusHdrFirstFree);
  FPageSize = ReadLeU32(h + kBPlusHdrPageSize);
  FItemCount = ReadLeU32(h + kBPlusHdrItemCount);
}

void TTdbBPlusTree::Open() {
  FPath.clear();
  auto refuse = [this] {
    FStorage.SetPageSize(kMinBPlusPageSize);
    FHeight = 0;
    Damaged();
  };
  if (FOffset + kBPlusHeaderSize > kMinBPlusPageSize) Damaged();
  FStorage.SetPageSize(kMinBPlusPageSize);
  if (FStorage.PageCount() < 1) refuse();
  std::vector<uint8_t> first(kMinBPlusPageSize);
  FStorage.ReadPage(0, first.data());
  const uint32_t pageSize = ReadLeU32(first.data() + FOffset + kBPlusHdrPageSize);
  if (pageSize < kMinBPlusPageSize || pageSize > kMaxBPlusPageSize) refuse();
  FStorage.SetPageSize(pageSize);
  const uint64_t storagePages = FStorage.PageCount();
  if (storagePages < 1) refuse();
  std::vector<uint8_t> header(pageSize);
  FStorage.ReadPage(0, header.data());
  ReadHeaderFields(header.data() + FOffset);
  const bool sound = FPageSize == pageSize && FPageCount >= 1 && FPageCount <= storagePages &&
                     FPageCount <= kMaxBPlusPages && FHeight <= kMaxBPlusHeight && FFirstFree < FPageCount &&
                     (FHeight == 0 || (FRoot >= 1 && FRoot < FPageCount && FHeight <= FPageCount - 1));
  if (!sound) refuse();
  FHeader = std::move(header);
}

void TTdbBPlusTree::WriteHeader() {
  uint8_t* h = FHeader.data() + FOffset;
  WriteLeU32(h + kBPlusHdrPageCount, FPageCount);
  WriteLeU16(h + kBPlusHdrHeight, FHeight);
  WriteLeU32(h + kBPlusHdrRoot, FRoot);
  WriteLeU32(h + kBPlusHdrFirstFree, FFirstFree);
  WriteLeU32(h + kBPlusHdrPageSize, FPageSize);
  WriteLeU32(h + kBPlusHdrItemCount, FItemCount);
  // A header that did not change is not written again, so a flush after
  // no change writes nothing.
  if (FStorage.PageCount() > 0) {
    FHeaderCheck.resize(FHeader.size());
    FStorage.ReadPage(0, FHeaderCheck.data());
    if (FHeaderCheck == FHeader) return;
  }
  FStorage.WritePage(0, FHeader.data());
}

void TTdbBPlusTree::LoadPage(uint32_t pageNo, bool leaf, TTdbBPlusPage& page) const {
  if (pageNo < 1 || pageNo >= FPageCount) Damaged();
  if (page.PageSize() != FPageSize || page.Slack() != FWindow) page.Reset(FPageSize, FWindow);
  FStorage.ReadPage(pageNo, page.Data());
  page.SetLeaf(leaf);
  if (!page.IsSound(MaxEntry(leaf))) Damaged();
  auto inside = [&](uint32_t link, bool zeroAllowed) {
    return (zeroAllowed && link == 0) || (link >= 1 && link < FPageCount && link != pageNo);
  };
  if (leaf) {
    if (!inside(page.Prev(), true) || !inside(page.Next(), true)) Damaged();
    return;
  }
  for (int k = 0; k <= page.Count(); ++k)
    if (!inside(page.Child(k), false)) Damaged();
}

void TTdbBPlusTree::StorePage(uint32_t pageNo, const TTdbBPlusPage& page) { FStorage.WritePage(pageNo, page.Data()); }

int TTdbBPlusTree::UpperBound(const TTdbBPlusPage& page, const uint8_t* item) const {
  int lo = -1;
  int hi = page.Count();
  while (lo + 1 < hi) {
    const int mid = (lo + hi) / 2;
    if (FCompare(item, page.Entry(mid)) < 0)
      hi = mid;
    else
      lo = mid;
  }
  return hi;
}

int TTdbBPlusTree::LowerBound(const TTdbBPlusPage& page, const uint8_t* item) const {
  int lo = 0;
  int hi = page.Count();
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (FCompare(page.Entry(mid), item) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

bool TTdbBPlusTree::Descend(const uint8_t* item) {
  FPath.resize(FHeight);
  uint32_t pageNo = FRoot;
  for (int level = 0; level < FHeight; ++level) {
    for (int above = 0; above < level; ++above)
      if (FPath[above].FPageNo == pageNo) Damaged();
    TLevel& slot = FPath[level];
    const bool leaf = level == FHeight - 1;
    LoadPage(pageNo, leaf, slot.FPage);
    slot.FPageNo = pageNo;
    slot.FPos = UpperBound(slot.FPage, item);
    if (!leaf) pageNo = slot.FPage.Child(slot.FPos);
  }
  const TLevel& leaf = Leaf();
  return leaf.FPos > 0 && FCompare(leaf.FPage.Entry(leaf.FPos - 1), item) == 0;
}

void TTdbBPlusTree::DescendEdge(bool leftMost) {
  FPath.resize(FHeight);
  uint32_t pageNo = FRoot;
  for (int level = 0; level < FHeight; ++level) {
    for (int above = 0; above < level; ++above)
      if (FPath[above].FPageNo == pageNo) Damaged();
    TLevel& slot = FPath[level];
    const bool leaf = level == FHeight - 1;
    LoadPage(pageNo, leaf, slot.FPage);
    slot.FPageNo = pageNo;
    slot.FPos = leftMost ? 0 : slot.FPage.Count();
    if (!leaf) pageNo = slot.FPage.Child(slot.FPos);
  }
}

bool TTdbBPlusTree::StepLeaf(bool forward) {
  TLevel& leaf = Leaf();
  for (uint32_t steps = 0;; ++steps) {
    const uint32_t pageNo = forward ? leaf.FPage.Next() : leaf.FPage.Prev();
    if (pageNo == 0) return false;
    if (steps >= FPageCount) Damaged();  // the chain runs in a circle
    LoadPage(pageNo, true, leaf.FPage);
    leaf.FPageNo = pageNo;
    if (leaf.FPage.Count() > 0) {
      leaf.FPos = forward ? 0 : leaf.FPage.Count();
      return true;
    }
  }
}

int TTdbBPlusTree::Deliver(const TTdbBPlusPage& leaf, int entry, std::vector<uint8_t>& out) const {
  out.assign(leaf.Entry(entry), leaf.Entry(entry) + leaf.EntrySize(entry));
  return ttrFound;
}

int TTdbBPlusTree::Find(const uint8_t* item, std::vector<uint8_t>& found) {
  if (FHeight == 0) return ttrNone;
  if (Descend(item)) return Deliver(Leaf().FPage, Leaf().FPos - 1, found);
  if (Leaf().FPos < Leaf().FPage.Count()) return Deliver(Leaf().FPage, Leaf().FPos, found);
  return StepLeaf(true) ? Deliver(Leaf().FPage, 0, found) : ttrNone;
}

bool TTdbBPlusTree::Contains(const uint8_t* item, std::vector<uint8_t>& found) {
  if (FHeight == 0 || !Descend(item)) return false;
  Deliver(Leaf().FPage, Leaf().FPos - 1, found);
  return true;
}

int TTdbBPlusTree::FindFirst(std::vector<uint8_t>& first) {
  if (FHeight == 0) return ttrNone;
  DescendEdge(true);
  if (Leaf().FPage.Count() == 0 && !StepLeaf(true)) return ttrNone;
  return Deliver(Leaf().FPage, 0, first);
}

int TTdbBPlusTree::FindLast(std::vector<uint8_t>& last) {
  if (FHeight == 0) return ttrNone;
  DescendEdge(false);
  if (Leaf().FPage.Count() == 0 && !StepLeaf(false)) return ttrNone;
  return Deliver(Leaf().FPage, Leaf().FPage.Count() - 1, last);
}

int TTdbBPlusTree::FindNext(const uint8_t* item, std::vector<uint8_t>& next) {
  if (FHeight == 0) return ttrNone;
  if (!Descend(item)) return ttrNotInTree;
  if (Leaf().FPos < Leaf().FPage.Count()) return Deliver(Leaf().FPage, Leaf().FPos, next);
  return StepLeaf(true) ? Deliver(Leaf().FPage, 0, next) : ttrNone;
}

int TTdbBPlusTree::FindPrev(const uint8_t* item, std::vector<uint8_t>& prev) {
  if (FHeight == 0) return ttrNone;
  if (!Descend(item)) return ttrNotInTree;
  if (Leaf().FPos >= 2) return Deliver(Leaf().FPage, Leaf().FPos - 2, prev);
  return StepLeaf(false) ? Deliver(Leaf().FPage, Leaf().FPage.Count() - 1, prev) : ttrNone;
}

int64_t TTdbBPlusTree::CalcItemSequenceNo(const uint8_t* item) {
  if (FHeight == 0) return 0;
  Descend(item);
  int64_t before = LowerBound(Leaf().FPage, item);
  TTdbBPlusPage page(FPageSize, FWindow);
  uint32_t pageNo = Leaf().FPage.Prev();
  for (uint32_t steps = 0; pageNo != 0; ++steps) {
    if (steps >= FPageCount) Damaged();
    LoadPage(pageNo, true, page);
    before += page.Count();
    pageNo = page.Prev();
  }
  return before + 1;
}

void TTdbBPlusTree::WalkSubtree(uint32_t pageNo, int depth, std::vector<bool>& visited, std::vector<uint32_t>& leaves) {
  if (pageNo >= visited.size() || visited[pageNo]) Damaged();
  visited[pageNo] = true;
  const bool leaf = depth == FHeight - 1;
  TTdbBPlusPage page(FPageSize, FWindow);
  LoadPage(pageNo, leaf, page);
  if (leaf) {
    leaves.push_back(pageNo);
    return;
  }
  for (int k = 0; k <= page.Count(); ++k) WalkSubtree(page.Child(k), depth + 1, visited, leaves);
}

void TTdbBPlusTree::Check(int64_t& itemCount, int64_t& wrongSortCount) {
  itemCount = 0;
  wrongSortCount = 0;
  std::vector<bool> visited(FPageCount, false);
  if (FHeight > 0) {
    std::vector<uint32_t> leaves;
    WalkSubtree(FRoot, 0, visited, leaves);
    TTdbBPlusPage page(FPageSize, FWindow);
    std::vector<uint8_t> previous;
    for (size_t k = 0; k < leaves.size(); ++k) {
      LoadPage(leaves[k], true, page);
      if (page.Prev() != (k > 0 ? leaves[k - 1] : 0) || page.Next() != (k + 1 < leaves.size() ? leaves[k + 1] : 0))
        Damaged();
      for (int e = 0; e < page.Count(); ++e) {
        // The previous item is copied into a buffer with the comparison's
        // window, as the stored one may be shorter.
        if (!previous.empty() && FCompare(previous.data(), page.Entry(e)) >= 0) ++wrongSortCount;
        previous.assign(page.Entry(e), page.Entry(e) + page.EntrySize(e));
        previous.resize(previous.size() + FWindow, 0);
        ++itemCount;
      }
    }
  }
  std::vector<uint8_t> freePage(FPageSize);
  for (uint32_t pageNo = FFirstFree; pageNo != 0;) {
    if (pageNo >= FPageCount || visited[pageNo]) Damaged();
    visited[pageNo] = true;
    FStorage.ReadPage(pageNo, freePage.data());
    pageNo = ReadLeU32(freePage.data());
  }
}

}  // namespace kestrel
