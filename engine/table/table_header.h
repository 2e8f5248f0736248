// The header of a table file: what it holds in memory (TTdbTableHeader) and
// its codec for every table level 1 to 6.
//
// Reading works on bytes: the caller hands a TTdbHeaderReader over the first
// bytes of the file (more come through its ITdbByteSource), and gets the
// parsed header back or an ETdbEngine. Every count, length and size is
// checked against its field and the file before it is used; a damaged
// header raises 134 with the file name, a wrong key 38. Writing produces the
// complete header image up to the first record. Nothing here touches a
// file; the table object decides what to write back (RecordCountLowered).
//
// Layouts, all little-endian:
//  - levels 5–6: fixed fields to offset 4525, the Int32 length N of the
//    description block at 4525, the block (encrypted as one piece), records
//    from 4529 + N, a multiple of 8192;
//  - levels 1–4: fields one after another, records right after them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/table/column_definition.h"
#include "engine/table/encryption_method.h"
#include "engine/table/header_bytes.h"

namespace kestrel {

inline constexpr uint32_t kHeapTableMagic = 0xFF57AA64;
inline constexpr uint32_t kBPlusTableMagic = 20012002;
inline constexpr int32_t kDefaultCapacity = 10000000;
inline constexpr size_t kRecordIdIndexVectorSize = 50;

// Fixed offsets of heap table files.
inline constexpr uint64_t kLevelOffset = 4;
inline constexpr uint64_t kUnicodeEncryptionOffset = 6;
inline constexpr uint64_t kUnicodeRecordCountOffset = 7;
inline constexpr uint64_t kUnicodeNextRecordIdOffset = 15;
inline constexpr uint64_t kUnicodeIndexAreaOffset = 23;
inline constexpr uint64_t kUnicodeBlockLengthOffset = 4525;
inline constexpr uint64_t kUnicodeBlockOffset = 4529;
inline constexpr uint64_t kHeaderAlignment = 8192;

enum TTdbTableFileKind : uint8_t { tfkHeap, tfkBPlusTree };

struct TTdbCandidateKeyDef {
  bool Primary = false;
  std::u16string Name;
  std::u16string Columns;
  bool operator==(const TTdbCandidateKeyDef&) const = default;
};

struct TTdbCheckDef {
  std::u16string Name;
  std::u16string Condition;
  bool operator==(const TTdbCheckDef&) const = default;
};

// Actions of foreign keys: tiaReject, tiaSetNull, tiaSetDefault, tiaCascade.
struct TTdbForeignKeyDef {
  std::u16string Name;
  std::u16string Columns;
  std::u16string ParentTable;
  std::u16string ParentColumns;
  uint8_t UpdateAction = 0;
  uint8_t DeleteAction = 0;
  bool operator==(const TTdbForeignKeyDef&) const = default;
};

struct TTdbTypeDef {
  std::u16string Name;
  int16_t TypeCode = 0;
  int16_t SuperTypeCode = 0;
  bool operator==(const TTdbTypeDef&) const = default;
};

// Encrypts or decrypts one block of a table in place (the description block
// of levels 5–6, the key check string of level 4). Supplied by the key
// holder of the table.
class ITdbBlockCipher {
 public:
  virtual ~ITdbBlockCipher() = default;
  virtual void EncryptBlock(std::span<uint8_t> block) const = 0;
  virtual void DecryptBlock(std::span<uint8_t> block) const = 0;
};

// Random numbers for the check strings; returns any 32-bit value.
using TTdbRandom = std::function<uint32_t()>;

struct TTdbTableHeader {
  int Level = 6;
  TdwEncryptionMethod EncryptionMethod = emNone;
  int32_t RecordCount = 0;
  int32_t NextRecordId = 0;
  std::vector<std::u16string> IndexNames;
  std::u16string CollationName;  // empty: the standard collation
  int32_t Capacity = kDefaultCapacity;
  // The password field's value (transformed back when read): empty, the key
  // or password, or a method marker ("_en:td_", ...) below level 5.
  std::u16string Password;
  std::u16string RecordIdIndexSpec;  // levels 5–6
  uint8_t UniqueIdInfo = 0;          // levels 5–6, stored when RecordIdIndexSpec is not empty
  std::array<uint8_t, kRecordIdIndexVectorSize> RecordIdIndexVector{};  // levels 1–4
  std::vector<TTdbTypeDef> Types;  // level 6
  TTdbColumnDefs Columns;
  std::vector<TTdbCandidateKeyDef> KeyDefs;
  std::vector<TTdbCheckDef> CheckDefs;
  std::vector<TTdbForeignKeyDef> ForeignKeyDefs;

  // Filled by reading.
  uint64_t RecordsOffset = 0;     // file offset of record 1
  int32_t StoredRecordCount = 0;  // the record count as the file holds it
  // Levels 1–4: the file holds fewer complete records than the header
  // says; RecordCount is lowered. The table object writes RecordCount back
  // at RecordCountOffset(Level) only when it has the table open for writing.
  bool RecordCountLowered = false;
  // Whether the key check of the header could be made (a level 1–4 table
  // with a key-based method read without a cipher is not verified).
  bool KeyVerified = true;

  int RecordSize() const { return Columns.RecordSize(); }
  bool operator==(const TTdbTableHeader&) const = default;
};

// The kind of table file that begins with `firstBytes` (at least 4 bytes):
// the B+ tree magic gives tfkBPlusTree, everything else tfkHeap (whose
// reading then fails with 124 unless the heap magic is there).
TTdbTableFileKind TableFileKind(std::span<const uint8_t> firstBytes);

// Reads the header of a heap table file. Raises ETdbEngine tdbErrOldVersion without the
// heap magic, 134 for a damaged header or a level outside 1..6, 38 for a
// description block that does not decrypt (wrong or missing key) or a
// failed level-4 key check. `cipher` may be null for tables without
// encryption.
TTdbTableHeader ReadTableHeader(TTdbHeaderReader& reader, const ITdbBlockCipher* cipher = nullptr);

// The complete header image of `header` for its level, up to record 1 (the
// padding of levels 5–6 included). Random check strings come from `random`
// (a fresh generator when empty). Raises ETdbEngine tdbErrLevelFeature for an encryption
// method the level does not have, 186 for a method that needs a key and no
// cipher or password, 134 for columns that do not fit the level or add up
// to no valid record size, 49 for names too long for their fields.
std::vector<uint8_t> WriteTableHeader(const TTdbTableHeader& header, const std::string& fileName,
                                      const ITdbBlockCipher* cipher = nullptr, const TTdbRandom& random = {});

// The index name area of a level as written in place (count and slots).
std::vector<uint8_t> WriteIndexNameArea(int level, const std::vector<std::u16string>& names,
                                        const std::string& fileName);

// Fixed positions for in-place updates.
uint64_t RecordCountOffset(int level);
uint64_t IndexNameAreaOffset(int level);
// Levels 5–6: 15; levels 1–4: the 4 bytes before record 1 (the header must
// have a record id column there; 0 otherwise).
uint64_t NextRecordIdOffset(const TTdbTableHeader& header);

// Maximal number of index names at a level.
int MaxIndexNames(int level);

// The password field transformation: characters in reverse order, each one
// complemented (16-bit characters from level 5, 8-bit bytes below). It is
// its own inverse.
std::u16string TransformPassword16(std::u16string_view password);
std::string TransformPassword8(std::string_view password);

}  // namespace kestrel
