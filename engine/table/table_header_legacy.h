// Header codec of table levels 1 to 4: fields one after another from
// offset 0 with 8-bit strings, old and current column entry forms, and the
// trailing password, key check, enumeration, formula, range, constraint
// and record id sections. Internal to the header codec.
#pragma once

#include <string>
#include <vector>

#include "engine/table/header_bytes.h"
#include "engine/table/table_header.h"

namespace kestrel {

inline constexpr uint64_t kLegacyRecordCountOffset12 = 6;
inline constexpr uint64_t kLegacyRecordCountOffset34 = 10;

// Offset, number of slots and byte size of the index name area.
uint64_t LegacyIndexAreaOffset(int level);
int LegacyIndexSlots(int level);
uint64_t LegacyIndexAreaSize(int level);

// Reads a level 1–4 header after the magic and level (the reader stands at
// offset 6). See ReadTableHeader for the errors.
TTdbTableHeader ReadLegacyHeader(TTdbHeaderReader& reader, TTdbTableHeader header, const ITdbBlockCipher* cipher);

std::vector<uint8_t> WriteLegacyHeader(const TTdbTableHeader& header, const std::string& fileName,
                                       const ITdbBlockCipher* cipher, const TTdbRandom& random);

void WriteLegacyIndexNames(TTdbHeaderWriter& writer, int level, const std::vector<std::u16string>& names);

}  // namespace kestrel
