// The on-disk layout of B-tree index files: header page fields, tree page
// fields and the sizes derived from them, for index file versions 1 to 6.
//
// Version 4 and above: page 0 starts with a signature and the version, the
// tree header follows at offset 6 and the index description at 30; child page
// numbers are 32-bit. Versions 1 to 3: no signature, the tree header at 0 and
// the description at 14; child page numbers are 16-bit, and only version 3
// keeps a free-page list (its head in the last two bytes of page 0).
#pragma once

#include <cstdint>

namespace kestrel {

inline constexpr uint32_t kBTreeSignature = 0x00E537AF;
inline constexpr uint32_t kBPlusTreeSignature = 0xA66678C9;

inline constexpr uint16_t kFirstSignedIndexVersion = 4;  // signature, 32-bit fields
inline constexpr uint16_t kFirstFreeListVersion = 3;
inline constexpr uint16_t kMaxBTreeVersion = 6;

inline constexpr uint32_t kMinIndexPageSize = 256;
inline constexpr uint32_t kMaxIndexPageSize = 16 * 1024 * 1024;
inline constexpr uint32_t kMaxOldIndexPageSize = 16 * 1024;
inline constexpr uint32_t kProvisionalIndexPageSize = 4096;
inline constexpr uint32_t kMaxIndexPages = 1073741822;
inline constexpr uint32_t kMaxOldIndexPages = 32766;
inline constexpr int kMaxBTreeHeight = 30;
inline constexpr uint32_t kRootPage = 1;

// Header page, version >= 4.
inline constexpr uint32_t kHdrSignature = 0;
inline constexpr uint32_t kHdrVersion = 4;
inline constexpr uint32_t kHdrTreeOffset = 6;  // the tree's fields start here
inline constexpr uint32_t kHdrPageSize = 6;
inline constexpr uint32_t kHdrKeySize = 10;
inline constexpr uint32_t kHdrEntrySize = 12;
inline constexpr uint32_t kHdrHeight = 14;
inline constexpr uint32_t kHdrPageCount = 16;
inline constexpr uint32_t kHdrOrder = 20;
inline constexpr uint32_t kHdrCapacity = 22;
inline constexpr uint32_t kHdrFirstFree = 24;
inline constexpr uint32_t kHdrUserArea = 30;

// Header page, versions 1 to 3 (16-bit fields).
inline constexpr uint32_t kOldHdrPageSize = 0;
inline constexpr uint32_t kOldHdrKeySize = 2;
inline constexpr uint32_t kOldHdrEntrySize = 4;
inline constexpr uint32_t kOldHdrHeight = 6;
inline constexpr uint32_t kOldHdrPageCount = 8;
inline constexpr uint32_t kOldHdrOrder = 10;
inline constexpr uint32_t kOldHdrCapacity = 12;
inline constexpr uint32_t kOldHdrUserArea = 14;
inline constexpr uint32_t kOldHdrFirstFreeFromEnd = 2;  // offset page size - 2

// Tree pages: the left-most child, the entry count, then the entries (child
// right of the entry, then the item).
inline constexpr uint32_t kPageLeftChild = 0;
inline constexpr uint32_t kPageEntryCount = 4;     // version >= 4 (2 in versions 1-3)
inline constexpr uint32_t kPageFirstEntry = 6;     // version >= 4 (4 in versions 1-3)

// Field widths and sizes of one index file version.
struct TTdbBTreeGeometry {
  uint16_t FVersion = kMaxBTreeVersion;
  uint32_t FPageSize = 0;
  uint16_t FKeySize = 0;    // one item: record number + key parts
  uint16_t FChildSize = 4;  // child page number in a tree page
  uint16_t FDataStart = 6;  // first entry in a tree page
  uint16_t FEntrySize = 0;  // child + item
  uint16_t FOrder = 0;      // n: pages hold n..2n entries (the root 0..2n)
  uint16_t FCapacity = 0;   // 2n
  uint32_t FMaxPages = kMaxIndexPages;
  uint32_t FMaxPageSize = kMaxIndexPageSize;

  // Fills the derived fields from version, page size and key size.
  static TTdbBTreeGeometry Make(uint16_t version, uint32_t pageSize, uint16_t keySize);
  bool IsModern() const { return FVersion >= kFirstSignedIndexVersion; }
  uint32_t UserAreaOffset() const { return IsModern() ? kHdrUserArea : kOldHdrUserArea; }
};

// `CalcPageSize`: the page size of a new index with items of `maxKeySize`
// bytes for a table of `capacity` records.
uint32_t CalcIndexPageSize(uint16_t version, uint32_t maxKeySize, int64_t capacity);

}  // namespace kestrel
