// The header of a B+ tree table file: the fixed fields (magic, level, next
// record id, encryption code, the tree header), then the index name area of
// levels 5–6, the Int32 length of the description block and the block
// itself, padded so that the tree pages begin at a multiple of 8192 (and of
// the tree page size). The block is the one of level 5–6 heap files.
//
// Reading checks every field against the file like the heap header codec:
// 134 for a damaged header, 38 for a block that does not decrypt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/index/bplus_format.h"
#include "engine/table/header_bytes.h"
#include "engine/table/table_header.h"

namespace kestrel {

// Fixed fields of a B+ tree table file.
inline constexpr uint64_t kBPlusLevelOffset = 4;
inline constexpr uint64_t kBPlusNextRecordIdOffset = 6;
inline constexpr uint64_t kBPlusEncryptionOffset = 10;
inline constexpr uint64_t kBPlusTreeHeaderOffset = 11;
inline constexpr uint64_t kBPlusIndexAreaOffset = kBPlusTreeHeaderOffset + kBPlusHeaderSize;
// B+ tree table files have the level 5–6 description block, so levels 5 and 6.
inline constexpr int kMinBPlusTableLevel = 5;

// Reads the header of a B+ tree table file. RecordCount is the tree's item
// count; RecordsOffset is the size of the header area (where the tree pages
// begin). `cipher` may be null for a table without encryption.
TTdbTableHeader ReadBPlusTableHeader(TTdbHeaderReader& reader, const ITdbBlockCipher* cipher = nullptr);

// The header bytes from kBPlusIndexAreaOffset on (index name area, block
// length, block), padded so that kBPlusIndexAreaOffset plus their length is
// a multiple of `alignment` (a multiple of 8192). Errors as WriteTableHeader.
std::vector<uint8_t> WriteBPlusHeaderArea(const TTdbTableHeader& header, const std::string& fileName,
                                          uint32_t alignment, const ITdbBlockCipher* cipher = nullptr,
                                          const TTdbRandom& random = {});

}  // namespace kestrel
