// A small table for index tests: KOD (String, 20 characters), NEV
// (WideString, 12 characters) and SZAM (LongInt), laid out as the table level
// asks (null indicator last below level 6, first at level 6; String and
// WideString have none below level 4), with record images built by hand.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/index/index_columns.h"
#include "engine/index/index_file.h"

namespace kestrel::test {

inline constexpr int kKodLength = 20;
inline constexpr int kNevLength = 12;

class TTestTable {
 public:
  explicit TTestTable(int level, const TTdbCollation* collation = nullptr) {
    FTable.FLevel = level;
    const bool stringsNullable = level >= 4;
    uint32_t offset = 0;
    auto add = [&](const char16_t* name, uint8_t type, uint16_t valueSize, bool nullable) {
      TTdbIndexColumn column;
      column.FName = name;
      column.FColumnType = type;
      column.FOffset = offset;
      column.FHasNullByte = nullable;
      column.FSize = static_cast<uint16_t>(valueSize + (nullable ? 1 : 0));
      column.FCollation = collation;
      offset += column.FSize;
      FTable.FColumns.push_back(column);
    };
    add(u"KOD", tctString, 1 + kKodLength, stringsNullable);
    add(u"NEV", tctWideString, 2 + 2 * kNevLength, stringsNullable);
    add(u"SZAM", tctLongInt, 4, true);
    FTable.FRecordSize = offset;
  }

  const TTdbIndexTable& Table() const { return FTable; }
  TTdbIndexTable& Table() { return FTable; }

  // A record image; std::nullopt writes NULL (where the column allows it).
  std::vector<uint8_t> Record(std::optional<std::string> kod, std::optional<std::u16string> nev,
                              std::optional<int32_t> szam) const {
    std::vector<uint8_t> record(FTable.FRecordSize, 0);
    if (kod) {
      uint8_t* value = Value(record, 0, true);
      const size_t length = std::min<size_t>(kod->size(), kKodLength);
      value[0] = static_cast<uint8_t>(length);
      std::memcpy(value + 1, kod->data(), length);
    }
    if (nev) {
      uint8_t* value = Value(record, 1, true);
      const size_t length = std::min<size_t>(nev->size(), kNevLength);
      value[0] = static_cast<uint8_t>(length);
      value[1] = 0;
      for (size_t i = 0; i < length; ++i) {
        value[2 + 2 * i] = static_cast<uint8_t>((*nev)[i]);
        value[3 + 2 * i] = static_cast<uint8_t>((*nev)[i] >> 8);
      }
    }
    if (szam) {
      uint8_t* value = Value(record, 2, true);
      const uint32_t bits = static_cast<uint32_t>(*szam);
      for (int i = 0; i < 4; ++i) value[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
    return record;
  }

 private:
  // The value bytes of column `index`; sets its null indicator to "present".
  uint8_t* Value(std::vector<uint8_t>& record, size_t index, bool present) const {
    const TTdbIndexColumn& column = FTable.FColumns[index];
    uint8_t* start = record.data() + column.FOffset;
    if (!column.FHasNullByte) return start;
    if (FTable.FLevel >= 6) {
      start[0] = present ? 1 : 0;
      return start + 1;
    }
    start[column.FSize - 1] = present ? 1 : 0;
    return start;
  }

  TTdbIndexTable FTable;
};

// ASCII upper case, as the standard collation folds the test codes.
inline std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Every item of an index, walked from the first forwards.
inline std::vector<std::vector<uint8_t>> ScanIndexForward(TTdbIndexFile& index) {
  std::vector<std::vector<uint8_t>> items;
  std::vector<uint8_t> key;
  for (int r = index.Erster_Index(key); r == ttrFound; r = index.Naechster_Index(key)) items.push_back(key);
  return items;
}

// Every item of an index, walked from the last backwards, in index order.
inline std::vector<std::vector<uint8_t>> ScanIndexBackward(TTdbIndexFile& index) {
  std::vector<std::vector<uint8_t>> items;
  std::vector<uint8_t> key;
  for (int r = index.Letzter_Index(key); r == ttrFound; r = index.Vorheriger_Index(key)) items.push_back(key);
  std::reverse(items.begin(), items.end());
  return items;
}

}  // namespace kestrel::test
