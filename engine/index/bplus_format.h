// The on-disk layout of B+ trees with items of varying length: the tree
// header (at a caller-given offset in page 0) and the slotted tree pages.
//
// A slotted page keeps its entries contiguously from the item offset upward
// in key order; the last two bytes hold the entry count c, and below them a
// directory of c 16-bit end offsets grows downwards (the end of entry i is at
// page size - 2 - 2i, i = 1..c). Entry i + 1 begins where entry i ends.
// Inner pages start with the left-most child, and each entry is a separator
// key followed by the child holding the items not smaller than it; leaf pages
// start with the previous and next leaf and hold the items themselves.
#pragma once

#include <cstdint>

namespace kestrel {

// Tree header fields, relative to the tree's header offset in page 0.
inline constexpr uint32_t kBPlusHdrPageCount = 0;  // pages of the file, page 0 included
inline constexpr uint32_t kBPlusHdrHeight = 4;     // 0 = empty tree
inline constexpr uint32_t kBPlusHdrRoot = 6;
inline constexpr uint32_t kBPlusHdrFirstFree = 10;  // 0 = none
inline constexpr uint32_t kBPlusHdrPageSize = 14;
inline constexpr uint32_t kBPlusHdrItemCount = 18;
inline constexpr uint32_t kBPlusHeaderSize = 22;  // the user area follows
inline constexpr uint16_t kBPlusTreeVersion = 6;

// Where the tree header lies in an index file (after signature and version).
inline constexpr uint32_t kBPlusIndexHeaderOffset = 6;

// Page sizes: entry offsets are 16-bit, so a page is at most 64 KiB.
inline constexpr uint32_t kMinBPlusPageSize = 256;
inline constexpr uint32_t kMaxBPlusPageSize = 65536;
inline constexpr uint32_t kDefaultBPlusPageSize = 4096;
// More pages than a 32-bit signed page count can hold are refused.
inline constexpr uint32_t kMaxBPlusPages = 0x7FFFFFFF;
// A height beyond this is a damaged header (even 3-item pages reach it only
// with far more pages than a file can hold).
inline constexpr uint16_t kMaxBPlusHeight = 40;

// Slotted page fields.
inline constexpr uint32_t kBPlusInnerItemOffset = 4;
inline constexpr uint32_t kBPlusLeafItemOffset = 8;
inline constexpr uint32_t kBPlusLeftChild = 0;
inline constexpr uint32_t kBPlusLeafPrev = 0;
inline constexpr uint32_t kBPlusLeafNext = 4;
inline constexpr uint32_t kBPlusChildSize = 4;
inline constexpr uint32_t kBPlusSlotSize = 2;
inline constexpr uint32_t kBPlusCountSize = 2;

// Fill (percent of the page in use) below which a leaf, respectively an
// inner page, is merged with a neighbour when the two fit into one page.
inline constexpr uint32_t kBPlusLeafMinFill = 30;
inline constexpr uint32_t kBPlusInnerMinFill = 50;

// The largest item a tree of `pageSize` stores: at least three such items
// (as separators, with their child pointers) fit into one inner page, so a
// page split always leaves both halves non-empty and within the page.
inline constexpr uint32_t BPlusMaxItemSize(uint32_t pageSize) {
  return (pageSize - kBPlusInnerItemOffset - kBPlusCountSize) / 3 - kBPlusChildSize - kBPlusSlotSize;
}

}  // namespace kestrel
