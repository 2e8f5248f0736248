// `TTdbBPlusBulkBuilder`: fills an empty B+ tree from items delivered in
// ascending order, bottom-up: leaves are filled one after the other up to
// kBPlusBulkFill percent and chained, and each new leaf's first item goes up
// as the separator to the inner level above (which is built the same way).
// An item that does not sort after the one before (a later sorted run of a
// large build) ends the bottom-up part; it and all further items go through
// the ordinary insert. Either way each item is stored with its given length.
//
// The tree must not be used by anything else until Finish() has run.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/index/bplus_tree.h"

namespace kestrel {

// Fill of the pages a bulk build writes, leaving room for later inserts.
inline constexpr uint32_t kBPlusBulkFill = 90;

class TTdbBPlusBulkBuilder {
 public:
  // `tree` must be open; when it is not empty every item is inserted.
  explicit TTdbBPlusBulkBuilder(TTdbBPlusTree& tree);

  // Adds the first `size` bytes of `item` (which, like every item handed to
  // the tree, has the comparison's window readable). False when an equal
  // item is already stored. Throws as TTdbBPlusTree::Insert.
  bool Add(const uint8_t* item, uint32_t size);
  // Writes the pages still open and the tree header.
  void Finish();

 private:
  struct TOpenPage {
    uint32_t FPageNo = 0;
    TTdbBPlusPage FPage;
  };

  bool HasRoom(const TTdbBPlusPage& page, uint32_t entrySize) const;
  void AppendLeaf(const std::vector<uint8_t>& item);
  // Adds separator `key` with right child `rightPage` to inner level
  // `level`; `leftPage` becomes the left-most child of a new level.
  void AppendInner(size_t level, const std::vector<uint8_t>& key, uint32_t rightPage, uint32_t leftPage);

  TTdbBPlusTree& FTree;
  bool FBottomUp;
  std::vector<TOpenPage> FLevels;  // index 0 the leaf level
  std::vector<uint8_t> FLast;      // the last item appended, with the window
};

}  // namespace kestrel
