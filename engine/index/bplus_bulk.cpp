// Bottom-up bulk build of a B+ tree.
#include "engine/index/bplus_bulk.h"

#include "engine/base/engine_error.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {

TTdbBPlusBulkBuilder::TTdbBPlusBulkBuilder(TTdbBPlusTree& tree) : FTree(tree), FBottomUp(tree.IsEmpty()) {}

bool TTdbBPlusBulkBuilder::HasRoom(const TTdbBPlusPage& page, uint32_t entrySize) const {
  if (page.Count() == 0) return true;
  return page.UsedBytes() + entrySize + kBPlusSlotSize <= static_cast<uint64_t>(FTree.FPageSize) * kBPlusBulkFill / 100;
}

bool TTdbBPlusBulkBuilder::Add(const uint8_t* item, uint32_t size) {
  if (FBottomUp && !FLast.empty()) {
    const int order = FTree.FCompare(item, FLast.data());
    if (order == 0) return false;
    if (order < 0) {
      Finish();
      FBottomUp = false;
    }
  }
  if (!FBottomUp) return FTree.Insert(item, size);
  if (size == 0 || size > FTree.MaxItemSize()) throw ETdbEngine(tdbErrIndexInsert, FTree.FName);
  if (FTree.FPageCount + FLevels.size() + 2ull > kMaxBPlusPages) throw ETdbEngine(tdbErrCapacityReached, FTree.FName);
  const std::vector<uint8_t> entry(item, item + size);
  AppendLeaf(entry);
  ++FTree.FItemCount;
  FLast = entry;
  FLast.resize(size + FTree.FWindow, 0);
  return true;
}

void TTdbBPlusBulkBuilder::AppendLeaf(const std::vector<uint8_t>& item) {
  const uint32_t size = static_cast<uint32_t>(item.size());
  if (FLevels.empty()) {
    FLevels.emplace_back();
    FLevels[0].FPage.Reset(FTree.FPageSize, FTree.FWindow);
    FLevels[0].FPage.Initialize(true);
    FLevels[0].FPageNo = FTree.AllocatePage();
  }
  TOpenPage& leaf = FLevels[0];
  if (!HasRoom(leaf.FPage, size)) {
    const uint32_t leftNo = leaf.FPageNo;
    const uint32_t rightNo = FTree.AllocatePage();
    leaf.FPage.SetNext(rightNo);
    FTree.StorePage(leftNo, leaf.FPage);
    leaf.FPage.Initialize(true);
    leaf.FPage.SetPrev(leftNo);
    leaf.FPageNo = rightNo;
    AppendInner(1, item, rightNo, leftNo);
  }
  FLevels[0].FPage.InsertEntry(FLevels[0].FPage.Count(), item.data(), size);
}

void TTdbBPlusBulkBuilder::AppendInner(size_t level, const std::vector<uint8_t>& key, uint32_t rightPage,
                                       uint32_t leftPage) {
  std::vector<uint8_t> entry(key);
  entry.resize(key.size() + kBPlusChildSize);
  WriteLeU32(entry.data() + key.size(), rightPage);
  const uint32_t size = static_cast<uint32_t>(entry.size());
  if (FLevels.size() == level) {
    FLevels.emplace_back();
    TOpenPage& created = FLevels[level];
    created.FPage.Reset(FTree.FPageSize, FTree.FWindow);
    created.FPage.Initialize(false);
    created.FPage.SetChild(0, leftPage);
    created.FPageNo = FTree.AllocatePage();
  }
  TOpenPage& page = FLevels[level];
  if (HasRoom(page.FPage, size)) {
    page.FPage.InsertEntry(page.FPage.Count(), entry.data(), size);
    return;
  }
  // The page is closed; the key moves up and its child starts a new page.
  const uint32_t leftNo = page.FPageNo;
  const uint32_t rightNo = FTree.AllocatePage();
  FTree.StorePage(leftNo, page.FPage);
  page.FPage.Initialize(false);
  page.FPage.SetChild(0, rightPage);
  page.FPageNo = rightNo;
  AppendInner(level + 1, key, rightNo, leftNo);
}

void TTdbBPlusBulkBuilder::Finish() {
  if (!FBottomUp || FLevels.empty()) return;
  for (const TOpenPage& open : FLevels) FTree.StorePage(open.FPageNo, open.FPage);
  FTree.FHeight = static_cast<uint16_t>(FLevels.size());
  FTree.FRoot = FLevels.back().FPageNo;  // every new level starts with one separator
  FLevels.clear();
  FTree.FPath.clear();
  FTree.WriteHeader();
}

}  // namespace kestrel
