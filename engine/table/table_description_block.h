// The table description block of level 5–6 heap table files (also used by
// B+ tree table files): check string, password, collation, capacity, record
// size, record id index, user types, column entries and constraints, and
// the level 5–6 index name area. Shared by the header codec and the data
// file classes; the block is handled here in its decrypted form.
#pragma once

#include <string>
#include <vector>

#include "engine/table/header_bytes.h"
#include "engine/table/table_header.h"

namespace kestrel {

inline constexpr int kCheckStringLength = 40;
inline constexpr int kPasswordFieldLength = 40;
inline constexpr int kUnicodeIndexSlots = 50;
inline constexpr int kUnicodeIndexSlotSize = 90;
inline constexpr int kUnicodeIndexNameMax = 44;
inline constexpr uint64_t kUnicodeIndexAreaSize = 2 + kUnicodeIndexSlots * kUnicodeIndexSlotSize;

// Reads the index name area at the reader's position.
std::vector<std::u16string> ReadUnicodeIndexNames(TTdbHeaderReader& reader);
void WriteUnicodeIndexNames(TTdbHeaderWriter& writer, const std::vector<std::u16string>& names);

// Parses a decrypted description block into `header` (level set). Raises
// 38 for a check string that is not there, 134 for anything damaged.
void ReadDescriptionBlock(TTdbHeaderReader& block, TTdbTableHeader& header);

// Reads the Int32 length and the stored description block at the reader's
// position, decrypts it with `cipher` when the header's encryption method
// (already set) calls for it, and parses it into `header`. Returns the
// block's length. Raises 38 when an encrypted block comes without a cipher,
// else as ReadDescriptionBlock.
int32_t ReadStoredDescriptionBlock(TTdbHeaderReader& reader, const ITdbBlockCipher* cipher,
                                   TTdbTableHeader& header);

// The unpadded description block of `header`.
std::vector<uint8_t> WriteDescriptionBlock(const TTdbTableHeader& header, const std::string& fileName,
                                           const TTdbRandom& random);

// 40 random lower-case letters.
std::u16string RandomCheckString(const TTdbRandom& random);

// Raises 134 unless the column count, record size and capacity are in range.
void CheckTableLimits(const TTdbHeaderReader& reader, int columnCount, int recordSize, int32_t capacity);

// Makes an empty random source usable: it then draws from DefaultClock().
TTdbRandom RandomOrDefault(const TTdbRandom& random);

}  // namespace kestrel
