// `TTdbBPlusTree`: a B+ tree of items of varying length on an index page
// storage. Inner pages hold separator keys and children, leaves hold the
// items and are chained both ways; all leaves are at the same depth (the
// height). Each item is stored with the length it was inserted with.
//
// Invariants: the items of child k of an inner page sort at or after
// separator k - 1 and before separator k; the leaf chain visits the leaves
// in key order, the previous link of every leaf naming the leaf before it.
// A leaf may be empty (when no neighbour could take it in); every search and
// step passes over empty leaves along the chain, so callers never see one.
// Items equal under the comparison are stored once.
//
// The header (page count, height, root, free list head, page size, item
// count) lies at a caller-given offset in page 0; the rest of page 0 belongs
// to the caller (HeaderPage/WriteHeader). New pages are taken from the end
// of the file; a freed last page shortens the file, any other freed page goes
// on the free list (its first four bytes name the next one).
//
// The file is untrusted: the header is checked on opening (page size, page
// count inside the storage, height, root), every page on loading (slotted
// layout, entry sizes, children and links inside the file, no page twice on
// one path) and chain walks are bounded by the page count. A violation
// throws ETdbEngine tdbErrReadIndex with the tree's name and changes nothing.
//
// Items handed to the tree (to insert, find, step from or delete) must have
// the comparison's window readable, whatever their length.
//
// One operation at a time: the search path is shared by all callers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/index/bplus_format.h"
#include "engine/index/bplus_page.h"
#include "engine/index/btree.h"
#include "engine/index/index_page_io.h"

namespace kestrel {

class TTdbBPlusTree {
 public:
  // `headerOffset` is where the tree header lies in page 0. `compare` may
  // read up to `compareWindow` bytes from the start of any item or key it is
  // given (an index definition's item size), whatever their stored length.
  // `name` is used in error messages.
  TTdbBPlusTree(ITdbIndexPageIo& io, uint32_t headerOffset, TTdbItemCompare compare, uint32_t compareWindow,
                std::string name);

  // Creates an empty tree of `pageSize` bytes: page 0 zeroed but for the
  // header, the storage cut to that one page. Throws ETdbEngine tdbErrInvalidIndexSpec for a page
  // size outside 256..65536 or one whose header does not fit.
  void New(uint32_t pageSize);
  // Reads and checks the header. Throws ETdbEngine tdbErrReadIndex for a damaged header.
  void Open();
  // Re-reads the header after another program changed the file.
  void Update() { Open(); }
  // Sets the comparison's window (known to an index file only once it has
  // read its definition from the opened file).
  void SetCompareWindow(uint32_t compareWindow) {
    FWindow = compareWindow;
    FPath.clear();
  }

  uint16_t Version() const { return kBPlusTreeVersion; }
  uint32_t HeaderSize() const { return kBPlusHeaderSize; }
  uint32_t HeaderOffset() const { return FOffset; }
  uint16_t Height() const { return FHeight; }
  bool IsEmpty() const { return FHeight == 0; }
  uint32_t PageSize() const { return FPageSize; }
  uint32_t PageCount() const { return FPageCount; }
  uint32_t RootPage() const { return FRoot; }
  uint32_t FirstFreePage() const { return FFirstFree; }
  uint32_t ItemCount() const { return FItemCount; }
  // The largest item Insert takes.
  uint32_t MaxItemSize() const { return BPlusMaxItemSize(FPageSize); }

  // The page 0 image; the caller's fields live outside the tree header.
  std::vector<uint8_t>& HeaderPage() { return FHeader; }
  // Writes the tree fields into the image and the image to page 0.
  void WriteHeader();

  // Lower bound: the first item not sorting before `item`. Results are
  // TTdbTreeResult values; an empty tree answers ttrNone to all of them.
  int Find(const uint8_t* item, std::vector<uint8_t>& found);
  int FindFirst(std::vector<uint8_t>& first);
  int FindLast(std::vector<uint8_t>& last);
  // The item after / before `item`, which must be in the tree (else
  // ttrNotInTree).
  int FindNext(const uint8_t* item, std::vector<uint8_t>& next);
  int FindPrev(const uint8_t* item, std::vector<uint8_t>& prev);
  // Whether an item equal to `item` is stored; if so it is copied to `found`.
  bool Contains(const uint8_t* item, std::vector<uint8_t>& found);

  // Stores the first `size` bytes of `item`. False when an equal item is
  // already stored (the tree is then unchanged). Throws ETdbEngine tdbErrIndexInsert for an
  // empty item or one larger than MaxItemSize(), 171 when the file cannot
  // grow; nothing is changed then.
  bool Insert(const uint8_t* item, uint32_t size);
  // Removes the item equal to `item`; false when there is none.
  bool Delete(const uint8_t* item);
  // Removes every item; the storage is cut to page 0.
  void Clear();
  // Writes the header, fits the storage to the page count and flushes it.
  void Flush();

  // 1-based position of the first item not sorting before `item` (item count
  // + 1 when it sorts after all); 0 for an empty tree. Only the descent
  // compares keys; the items before are counted by the leaf chain's entry
  // counts.
  int64_t CalcItemSequenceNo(const uint8_t* item);

  // Walks the whole tree: the number of items and of adjacent pairs (across
  // leaves too) where the later does not sort after the earlier. Checks that
  // no page is reached twice, that the leaves are at one depth and chained in
  // order both ways, and that the free list stays inside the file. Throws
  // ETdbEngine tdbErrReadIndex for a damaged tree.
  void Check(int64_t& itemCount, int64_t& wrongSortCount);

 private:
  friend class TTdbBPlusBulkBuilder;

  struct TLevel {
    uint32_t FPageNo = 0;
    int FPos = 0;  // inner: the child taken; leaf: entries not after the item
    TTdbBPlusPage FPage;
  };

  [[noreturn]] void Damaged(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE()) const;
  uint32_t MaxEntry(bool leaf) const { return MaxItemSize() + (leaf ? 0 : kBPlusChildSize); }
  void ReadHeaderFields(const uint8_t* h);
  // Reads page `pageNo` as a leaf or an inner page and checks it.
  void LoadPage(uint32_t pageNo, bool leaf, TTdbBPlusPage& page) const;
  void StorePage(uint32_t pageNo, const TTdbBPlusPage& page);
  // Entries of `page` not sorting after `item` (the child to descend to).
  int UpperBound(const TTdbBPlusPage& page, const uint8_t* item) const;
  // Entries of `page` sorting before `item`.
  int LowerBound(const TTdbBPlusPage& page, const uint8_t* item) const;

  // Loads the path from the root to the leaf where `item` belongs; true when
  // the leaf holds an equal item (at FPos - 1).
  bool Descend(const uint8_t* item);
  // Loads the path along the left-most or right-most children.
  void DescendEdge(bool leftMost);
  TLevel& Leaf() { return FPath[FHeight - 1]; }
  // Moves the leaf slot along the chain to the next (previous) non-empty
  // leaf; false at the end of the chain.
  bool StepLeaf(bool forward);
  int Deliver(const TTdbBPlusPage& leaf, int entry, std::vector<uint8_t>& out) const;

  // Runs a change; when it fails the header fields are put back as they
  // were (the pages it wrote are the storage's to undo).
  template <typename TChange>
  auto Changing(TChange change);
  uint32_t AllocatePage();
  void FreePage(uint32_t pageNo);
  bool InsertItem(const uint8_t* item, uint32_t size);
  bool DeleteItem(const uint8_t* item);
  // Inserts `entry` at position `pos` of the page on path level `level`,
  // splitting it (and its parents) when it does not fit.
  void InsertAt(int level, int pos, const std::vector<uint8_t>& entry);
  void SplitLeaf(int level, std::vector<std::vector<uint8_t>>& entries);
  void SplitInner(int level, std::vector<std::vector<uint8_t>>& entries);
  // Hands separator `key` with right child `rightPage` to the level above
  // `level` (a new root when `level` is the root).
  void AddSeparator(int level, const std::vector<uint8_t>& key, uint32_t rightPage);
  void Rebalance(int level);
  void RebalanceRoot();
  bool MergeChildren(int level, int leftChild);

  void WalkSubtree(uint32_t pageNo, int depth, std::vector<bool>& visited, std::vector<uint32_t>& leaves);

  ITdbIndexPageIo& FStorage;
  uint32_t FOffset;
  TTdbItemCompare FCompare;
  uint32_t FWindow;
  std::string FName;
  uint32_t FPageSize = kDefaultBPlusPageSize;
  uint32_t FPageCount = 1;
  uint16_t FHeight = 0;
  uint32_t FRoot = 0;
  uint32_t FFirstFree = 0;
  uint32_t FItemCount = 0;
  std::vector<uint8_t> FHeader;
  std::vector<uint8_t> FHeaderCheck;  // the stored header, read to compare
  std::vector<TLevel> FPath;  // index 0 the root level, FHeight - 1 the leaf level
};

}  // namespace kestrel
