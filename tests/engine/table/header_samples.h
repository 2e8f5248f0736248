// Sample table headers for the header tests: for each level a table with
// every column type and section the level can store, built through the
// engine's own column definition API; and a block cipher for encrypted
// headers.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/table/table_header.h"

namespace kestrel::test {

// XORs every byte with a key byte: enough to tell right and wrong keys apart.
class TXorCipher : public ITdbBlockCipher {
 public:
  explicit TXorCipher(uint8_t key) : FKey(key) {}
  void EncryptBlock(std::span<uint8_t> block) const override {
    for (uint8_t& b : block) b ^= FKey;
  }
  void DecryptBlock(std::span<uint8_t> block) const override { EncryptBlock(block); }

 private:
  uint8_t FKey;
};

// A fixed random source so that written images are reproducible.
inline TTdbRandom FixedRandom(uint32_t seed = 1) {
  auto state = std::make_shared<uint32_t>(seed);
  return [state] { return *state = *state * 1103515245u + 12345u; };
}

inline TTdbTableHeader SampleHeader(int level) {
  TTdbTableHeader header;
  header.Level = level;
  header.RecordCount = 0;
  header.NextRecordId = 17;
  header.IndexNames = level == 1 ? std::vector<std::u16string>{u"KOD"} : std::vector<std::u16string>{u"KOD", u"INDMN"};
  if (level >= 3) header.CollationName = level >= 5 ? u"Hungarian_CI" : u"HUN";
  if (level >= 4) header.Capacity = 5000;
  const bool old = level < 4;
  auto add = [&](const char16_t* name, const TTdbDataType& type, uint32_t options = 0) {
    header.Columns.Add(NewColumnDef(name, type, options));
  };
  add(u"KOD", TTdbDataType::MakeString(tctString, false, 10, u"", level));
  add(u"MEGNEV", TTdbDataType::MakeString(tctString, !old, 60, level >= 5 ? u"Hungarian" : u"", level));
  add(u"LEIRAS", TTdbDataType::MakeString(tctMemo, true, 0, u"", level));
  add(u"N", TTdbDataType::Make(tctInt16, true, level), old || level == 4 ? kColumnOptionRange : 0);
  if (level <= 4) {
    TTdbColumnDef n = header.Columns[3];
    n.Range = TTdbRangeBounds{-1.5, 100};
    header.Columns.Replace(3, n);
  }
  add(u"F", TTdbDataType::MakeFloat(true, 2, level), kColumnOptionRecompute);
  {
    TTdbColumnDef f = header.Columns[4];
    f.Calculation = level >= 5 ? u"@N * 2" : u"N*2";
    header.Columns.Replace(4, f);
  }
  add(u"D", TTdbDataType::Make(tctDate, true, level));
  add(u"T", TTdbDataType::MakeDateTime(tctTime, true, old ? 3 : 4, true, level));
  add(u"E", TTdbDataType::MakeEnum(true, {u"kicsi", u"nagy", u"óriás"}, level));
  add(u"B", TTdbDataType::Make(tctBoolean, true, level));
  add(u"ID", TTdbDataType::Make(tctRecordId, false, level));
  {
    TTdbColumnDef link = NewColumnDef(u"L", TTdbDataType::Make(tctLink, true, level));
    link.LinkedTable = u"Masik";
    header.Columns.Add(link);
  }
  if (level >= 3) add(u"LI", TTdbDataType::Make(tctLongInt, true, level));
  if (level >= 4) {
    add(u"DT", TTdbDataType::Make(tctDateTime, true, level));
    add(u"W", TTdbDataType::MakeString(tctWideString, true, 5, u"", level));
    add(u"I64", TTdbDataType::Make(tctInt64, true, level));
    add(u"G", TTdbDataType::Make(tctGuid, true, level));
    add(u"BL", TTdbDataType::Make(tctBlob, true, level));
    add(u"WM", TTdbDataType::MakeString(tctWideMemo, true, 0, u"", level));
    add(u"BY", TTdbDataType::Make(tctByte, false, level));
    add(u"C", TTdbDataType::Make(tctChar, true, level));
    TTdbColumnDef relation = NewColumnDef(u"R", TTdbDataType::Make(tctRelation, true, level));
    relation.LinkedTable = u"Kapcsolat";
    header.Columns.Add(relation);
    header.KeyDefs = {{true, u"PK", u"KOD"}, {false, u"UQ", u"MEGNEV;N"}};
    header.CheckDefs = {{u"CHK", u"N >= 0"}};
    header.ForeignKeyDefs = {{u"FK", u"L", u"Masik", u"ID", 1, 3}};
  }
  if (level >= 5) {
    header.RecordIdIndexSpec = u"ID";
    header.UniqueIdInfo = 1;
  } else {
    for (size_t i = 0; i < header.RecordIdIndexVector.size(); ++i)
      header.RecordIdIndexVector[i] = static_cast<uint8_t>(i * 7 + 1);
  }
  if (level == 6) header.Types = {{u"Money", 3, 3}};
  return header;
}

// What reading the image of `header` should give back.
inline TTdbTableHeader AsRead(TTdbTableHeader header, size_t imageSize) {
  header.RecordsOffset = imageSize;
  header.StoredRecordCount = header.RecordCount;
  return header;
}

}  // namespace kestrel::test
