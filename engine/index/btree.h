// `TTdbBTree`: a classic B-tree of fixed-size index items on an index page
// storage. Items live in inner and leaf pages alike; page 1 is always the
// root; every page but the root holds n..2n entries and all leaves are at the
// same depth (the height).
//
// The tree keeps the path of its last search: for each level the page (a copy)
// and a position. Above the current level the position is the child index the
// search went down through (1..count+1); at the current level it is the entry
// (1..count). Stepping forward and back moves along this path in place; the
// tree descends from the root again only when the item given is not the one at
// the path's position, or when the tree was changed since (a change stamp).
// An insert that fits its leaf changes only that page, in the path's copy
// and in the file alike, so it keeps the copies (a later descent copies only
// pages it does not hold) and forgets only the position; any other change
// renews the stamp. An insert right after a search for a neighbouring item
// (the unique check before it) takes the leaf gap that search found, once
// two compares show the item belongs there, instead of descending again.
//
// The file is untrusted: the header is checked against the values computed
// from it (order, capacity, page size, height <= 30, pages inside the file),
// and every page against its level (entry count within capacity, children
// inside the tree and not on the path above, leaves without children). A
// violation throws ETdbEngine tdbErrReadIndex with the tree's name and changes nothing.
//
// One operation at a time: the path is shared by all callers of one tree.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/index/btree_format.h"
#include "engine/index/index_page_io.h"

namespace kestrel {

// Three-way comparison of two items (record number + key parts).
using TTdbItemCompare = std::function<int(const uint8_t* x, const uint8_t* y)>;
// Receives `count` consecutive items in index order, the k-th (from 0) at
// first + k * stride; answers false to end the walk.
using TTdbItemRunVisitor = std::function<bool(const uint8_t* first, int count, size_t stride)>;

// Results of the find and step operations.
enum TTdbTreeResult : int {
  ttrFound = 0,      // an item was delivered
  ttrNone = 1,       // there is no such item
  ttrNotInTree = -1  // the given item is not in the tree (next, previous), or the tree is empty (find)
};

class TTdbBTree {
 public:
  // `name` is used in error messages (the index or file name).
  TTdbBTree(ITdbIndexPageIo& io, uint16_t version, TTdbItemCompare compare, std::string name);

  // Creates an empty tree: the header page (with signature and version from
  // version 4 on) and no tree pages. Throws ETdbEngine tdbErrInvalidIndexSpec for a page size or
  // key size the version cannot hold.
  void New(uint32_t pageSize, uint16_t keySize);
  // Reads and checks the header page. Throws ETdbEngine tdbErrReadIndex for a damaged
  // header (the storage's page size is left at the tree's page size only
  // on success).
  void Open();
  // Re-reads the header after another program changed the file.
  void Update() { Open(); }

  const TTdbBTreeGeometry& Geometry() const { return FGeo; }
  uint16_t Version() const { return FGeo.FVersion; }
  uint16_t Height() const { return FHeight; }
  uint32_t PageCount() const { return FPageCount; }
  uint32_t FirstFreePage() const { return FFirstFree; }

  // The header page image; the index file keeps its description in the user
  // area (from Geometry().UserAreaOffset()) and stores it with WriteHeader.
  std::vector<uint8_t>& HeaderPage() { return FHeader; }
  void WriteHeader();

  // Lower bound: the first item not sorting before `item`.
  int Find(const uint8_t* item, std::vector<uint8_t>& found);
  int FindFirst(std::vector<uint8_t>& first);
  int FindLast(std::vector<uint8_t>& last);
  // The item after / before `item`, which must be in the tree.
  int FindNext(const uint8_t* item, std::vector<uint8_t>& next);
  int FindPrev(const uint8_t* item, std::vector<uint8_t>& prev);

  // Inserts `item` (KeySize bytes). False when an equal item (same key parts
  // and record number) is already present; the tree is then unchanged.
  // Reuses the kept path when it ends at the gap the item belongs in.
  // Throws ETdbEngine tdbErrCapacityReached when the page limit is reached.
  bool Insert(const uint8_t* item);
  // Deletes `item`. False when it is not present.
  bool Delete(const uint8_t* item);
  // Empties the tree (height, page count and free list 0).
  void Clear();
  // Writes the header, fits the storage to the tree's pages and flushes it.
  void Flush();

  // Walks the items from the first not sorting before `from` in index order
  // and hands them to `visit` in runs: the rest of a leaf, or one item of an
  // inner page. Each page is read once into the kept path and no item is
  // copied, so a long range costs a page load per page and a call per run.
  // Where `checkOrder`, every run must sort after the one before it, and
  // within itself from first to last (the first after `from`); the walk
  // loads at most PageCount() + Height() pages. Afterwards no position is
  // kept. Throws ETdbEngine tdbErrReadIndex for a damaged tree.
  void VisitRuns(const uint8_t* from, bool checkOrder, const TTdbItemRunVisitor& visit);

  // 1-based position of the first item not sorting before `item` (0 for an
  // empty tree): exact up to 1000 pages, above that estimated from the root
  // (the caller clamps it to the item count).
  int64_t CalcItemSequenceNo(const uint8_t* item);

  // Walks the whole tree: the number of items and of places where an item
  // does not sort after its predecessor. Also checks that no page is reached
  // twice and that the free list stays inside the file. Throws ETdbEngine tdbErrReadIndex
  // for a damaged tree.
  void Check(int64_t& itemCount, int64_t& wrongSortCount);

 private:
  struct TPathSlot {
    uint32_t FPageNo = 0;
    uint64_t FStamp = 0;  // FChangeStamp when the copy was made
    uint16_t FPos = 0;
    std::vector<uint8_t> FPage;
  };

  // Page fields.
  int Count(const uint8_t* page) const;
  void SetCount(uint8_t* page, int count) const;
  uint32_t ChildAt(const uint8_t* page, int k) const;  // k = 1..count+1
  void SetChildAt(uint8_t* page, int k, uint32_t child) const;
  void SetEntryChild(uint8_t* entry, uint32_t child) const;
  uint8_t* EntryAt(uint8_t* page, int e) const;        // e = 1..count
  const uint8_t* EntryAt(const uint8_t* page, int e) const;
  const uint8_t* ItemAt(const uint8_t* page, int e) const { return EntryAt(page, e) + FGeo.FChildSize; }
  void InsertEntry(uint8_t* page, int e, const uint8_t* entry) const;
  void RemoveEntry(uint8_t* page, int e) const;

  [[noreturn]] void Damaged(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE()) const;
  void ReadHeaderFields();
  // Reads page `pageNo` of tree level `level` into `page` and checks it;
  // `slots` are the path levels above (for cycle detection).
  void LoadPage(uint32_t pageNo, int level, std::vector<uint8_t>& page, int ancestorLevels);
  void LoadSlot(int level, uint32_t pageNo);
  void StorePage(uint32_t pageNo, const std::vector<uint8_t>& page);
  // Entries of `page` sorting before `item`; `equal` when the next one equals it.
  int LowerBound(const uint8_t* page, const uint8_t* item, bool& equal) const;

  // Search from the root; the level where `item` was found, or 0 (then the
  // leaf slot's position is the child index where it would go).
  int Descend(const uint8_t* item);
  void DescendEdge(int fromLevel, uint32_t pageNo, bool leftMost);
  bool PositionHolds(const uint8_t* item) const;
  // Whether the kept path is current from the root to the leaf and `item`
  // sorts strictly between the items around the leaf gap FLeafGap, so it
  // goes there; the leaf slot's position is then set to the gap.
  bool GapHolds(const uint8_t* item);
  int Deliver(std::vector<uint8_t>& out);
  int ClimbForward();
  int ClimbBackward();
  void Invalidate() { ++FChangeStamp; FCurrentLevel = 0; }

  uint32_t AllocatePage();
  void RequirePagesForInsert();
  void FreePage(uint32_t pageNo);
  void Rebalance(int level);
  void CollapseRoot();

  // In-order walk below `pageNo` (tree level `level`).
  void Walk(uint32_t pageNo, int level, std::vector<bool>& visited,
            const std::function<void(const uint8_t*)>& visit);

  ITdbIndexPageIo& FStorage;
  TTdbItemCompare FCompare;
  std::string FName;
  TTdbBTreeGeometry FGeo;
  uint16_t FHeight = 0;
  uint32_t FPageCount = 0;
  uint32_t FFirstFree = 0;
  std::vector<uint8_t> FHeader;
  std::vector<uint8_t> FHeaderCheck;  // the stored header, read to compare
  std::array<TPathSlot, kMaxBTreeHeight + 1> FPath;  // slot 0: scratch
  int FCurrentLevel = 0;                             // level of the current entry, 0 = none
  uint16_t FLeafGap = 0;  // where the last descent that found nothing would insert (leaf position), 0 = none
  std::vector<uint8_t> FEntry;  // the entry an insert carries up
  std::vector<uint8_t> FRunLast;  // VisitRuns: the last item of the run before
  uint64_t FChangeStamp = 1;
};

}  // namespace kestrel
