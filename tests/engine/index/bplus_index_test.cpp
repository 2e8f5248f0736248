// Index files of level-6 tables with a variable-size definition: kept in a
// B+ tree whose items have their actual length. A model run through the index
// file (deep trees on small pages), the file reopened as a B+ tree, a bulk
// build equal to single inserts, and damaged B+ index files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <set>

#include "engine/base/engine_error.h"
#include "engine/index/index_builder.h"
#include "engine/index/index_definition_text.h"
#include "engine/index/index_file.h"
#include "engine/index/key_value_codec.h"
#include "index_test_table.h"

namespace kestrel {
namespace {

using test::ScanIndexBackward;
using test::ScanIndexForward;
using test::TTestTable;
using test::Upper;

constexpr uint32_t kSmallPage = kMinBPlusPageSize;
constexpr int kLevel = 6;

// A model element: the key as the standard collation orders these texts
// (the code without regard to case, then the name), the record number, and
// the bytes the index stores (the item cut to its actual length).
struct TModelItem {
  std::string FKodUpper;
  std::u16string FNev;
  int32_t FRecordNo;
  std::vector<uint8_t> FStored;
  std::vector<uint8_t> FItem;  // the full item buffer

  bool operator<(const TModelItem& other) const {
    return std::tie(FKodUpper, FNev, FRecordNo) < std::tie(other.FKodUpper, other.FNev, other.FRecordNo);
  }
};

class TVarIndex {
 public:
  TVarIndex() : FIndex(FStorage, FTable.Table(), u"PROBA") {
    FIndex.SetIndexDefinition(CalcIndexDefinition(FTable.Table(), u"KOD, NEV", false));
    FIndex.NewStorage(kSmallPage);
  }

  TModelItem Make(const std::string& kod, const std::u16string& nev, int32_t recordNo) const {
    TModelItem model{Upper(kod), nev, recordNo, {}, {}};
    const uint32_t used = CalcIndexInfo(FIndex.Comparer(), FTable.Record(kod, nev, 1).data(), recordNo, model.FItem);
    model.FStored.assign(model.FItem.begin(), model.FItem.begin() + kIndexRecordNoSize + used);
    return model;
  }

  std::vector<std::vector<uint8_t>> ScanForward() { return ScanIndexForward(FIndex); }
  std::vector<std::vector<uint8_t>> ScanBackward() { return ScanIndexBackward(FIndex); }

  TTestTable FTable{kLevel};
  TTdbMemoryPageIo FStorage{kSmallPage};
  TTdbIndexFile FIndex;
};

std::vector<std::vector<uint8_t>> Stored(const std::set<TModelItem>& model) {
  std::vector<std::vector<uint8_t>> items;
  for (const TModelItem& m : model) items.push_back(m.FStored);
  return items;
}

class TRandomKeys {
 public:
  explicit TRandomKeys(uint32_t seed) : FRandom(seed) {}
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(FRandom); }
  std::string Kod() {
    static const char kLetters[] = "aBcD";
    std::string kod;
    for (int i = Pick(0, 2) == 0 ? Pick(0, test::kKodLength) : Pick(0, 3); i > 0; --i) kod += kLetters[Pick(0, 3)];
    return kod;
  }
  std::u16string Nev() {
    std::u16string nev;
    for (int i = Pick(0, test::kNevLength); i > 0; --i) nev += static_cast<char16_t>(u'0' + Pick(0, 3));
    return nev;
  }

 private:
  std::mt19937 FRandom;
};

TEST(BPlusIndexFile, RandomOperationsAgreeWithTheModel) {
  TVarIndex f;
  ASSERT_NE(f.FIndex.BPlusTree(), nullptr);
  std::set<TModelItem> model;
  TRandomKeys random(4242);
  auto randomItem = [&] { return f.Make(random.Kod(), random.Nev(), random.Pick(1, 400)); };
  int maxHeight = 0;
  for (int batch = 0; batch < 40; ++batch) {
    const int insertShare = batch < 20 ? 75 : (batch < 30 ? 25 : 50);
    for (int op = 0; op < 120; ++op) {
      const int kind = random.Pick(0, 99);
      if (kind < insertShare) {
        const TModelItem item = randomItem();
        EXPECT_EQ(f.FIndex.Add_Index(item.FItem.data()), model.insert(item).second);
      } else if (kind < 90) {
        TModelItem item = randomItem();
        if (!model.empty() && random.Pick(0, 9) < 8)
          item = *std::next(model.begin(), random.Pick(0, static_cast<int>(model.size()) - 1));
        EXPECT_EQ(f.FIndex.Loesche_Index(item.FItem.data()), model.erase(item) == 1);
      } else {
        const TModelItem search = f.Make(random.Kod(), random.Nev(), 0);
        std::vector<uint8_t> key = search.FItem;
        const auto it = model.lower_bound(search);
        const int found = f.FIndex.Suche_Index(key);
        if (it == model.end()) {
          EXPECT_NE(found, ttrFound);
          continue;
        }
        ASSERT_EQ(found, ttrFound);
        EXPECT_EQ(key, it->FStored);
        EXPECT_EQ(f.FIndex.CalcItemSequenceNo(search.FItem.data()), std::distance(model.begin(), it) + 1);
      }
    }
    int64_t count = 0;
    int64_t wrong = 0;
    f.FIndex.Check(count, wrong);
    ASSERT_EQ(count, static_cast<int64_t>(model.size())) << "batch " << batch;
    ASSERT_EQ(wrong, 0) << "batch " << batch;
    ASSERT_EQ(f.FIndex.GetItemCount(), model.size()) << "batch " << batch;
    ASSERT_EQ(f.ScanForward(), Stored(model)) << "batch " << batch;
    ASSERT_EQ(f.ScanBackward(), Stored(model)) << "batch " << batch;
    maxHeight = std::max<int>(maxHeight, f.FIndex.BPlusTree()->Height());
  }
  EXPECT_GE(maxHeight, 4) << "the tree never got deep";

  // Reopened, the file is recognised as a B+ tree with its definition.
  f.FIndex.Close();
  TTdbIndexFile reopened(f.FStorage, f.FTable.Table(), u"PROBA");
  reopened.Open();
  ASSERT_NE(reopened.BPlusTree(), nullptr);
  EXPECT_TRUE(reopened.Definition().IsVarSize);
  EXPECT_EQ(reopened.Definition().FSize, f.FIndex.Definition().FSize);
  EXPECT_EQ(reopened.GetItemCount(), model.size());
  EXPECT_EQ(ReadLeU32(f.FStorage.Bytes().data() + kHdrSignature), kBPlusTreeSignature);
  std::vector<uint8_t> key;
  ASSERT_EQ(reopened.Erster_Index(key), model.empty() ? ttrNone : ttrFound);
  if (!model.empty()) {
    EXPECT_EQ(key, model.begin()->FStored);
  }
}

TEST(BPlusIndexFile, BulkBuildEqualsSingleInserts) {
  TTestTable table(kLevel);
  TRandomKeys random(99);
  std::vector<std::vector<uint8_t>> records;
  for (int i = 0; i < 1500; ++i) records.push_back(table.Record(random.Kod(), random.Nev(), 1));
  auto read = [&records](int32_t recordNo, std::vector<uint8_t>& record) { record = records.at(recordNo - 1); };

  for (uint64_t batchBytes : {kIndexBuildBatchKeyBytes, uint64_t{900}}) {
    TVarIndex bulk;
    BuildIndexFromRecords(bulk.FIndex, static_cast<int32_t>(records.size()), read, {}, batchBytes);
    TVarIndex single;
    std::vector<uint8_t> item;
    for (size_t i = 0; i < records.size(); ++i) {
      CalcIndexInfo(single.FIndex.Comparer(), records[i].data(), static_cast<int32_t>(i + 1), item);
      ASSERT_TRUE(single.FIndex.Add_Index(item.data()));
    }
    const auto scanned = bulk.ScanForward();
    EXPECT_EQ(scanned, single.ScanForward()) << batchBytes;
    EXPECT_EQ(bulk.ScanBackward(), scanned) << batchBytes;
    EXPECT_EQ(bulk.FIndex.GetItemCount(), records.size());
    EXPECT_EQ(bulk.FIndex.BPlusTree()->ItemCount(), records.size());
    ASSERT_FALSE(scanned.empty());
    EXPECT_LT(scanned.front().size(), bulk.FIndex.GetIndSize()) << "items are stored with their actual length";
    int64_t count = 0;
    int64_t wrong = 0;
    bulk.FIndex.Check(count, wrong);
    EXPECT_EQ(count, static_cast<int64_t>(records.size()));
    EXPECT_EQ(wrong, 0);
  }
}

TEST(BPlusIndexFile, UpdateRereadsAfterAnotherWriter) {
  TVarIndex f;
  for (int i = 0; i < 50; ++i) f.FIndex.Add_Index(f.Make("k" + std::to_string(i), u"1", i + 1).FItem.data());
  f.FIndex.Flush();
  TTdbIndexFile other(f.FStorage, f.FTable.Table(), u"PROBA");
  other.Open();
  for (int i = 50; i < 400; ++i) other.Add_Index(f.Make("k" + std::to_string(i), u"2", i + 1).FItem.data());
  other.Close();
  f.FIndex.Update();
  EXPECT_EQ(f.FIndex.GetItemCount(), 400u);
  EXPECT_EQ(f.ScanForward().size(), 400u);
  EXPECT_EQ(f.FIndex.BPlusTree()->ItemCount(), 400u);
}

TEST(BPlusIndexFile, DamagedFilesGiveErrors) {
  TVarIndex f;
  TRandomKeys random(5);
  for (int i = 0; i < 300; ++i) f.FIndex.Add_Index(f.Make(random.Kod(), random.Nev(), i + 1).FItem.data());
  f.FIndex.Close();
  TTdbMemoryPageIo good = f.FStorage;
  uint8_t* header = good.Bytes().data() + kBPlusIndexHeaderOffset;
  const uint32_t pageSize = ReadLeU32(header + kBPlusHdrPageSize);
  const uint32_t rootNo = ReadLeU32(header + kBPlusHdrRoot);

  struct Case {
    const char* FLabel;
    std::function<void(uint8_t* file)> FDamage;
    int FOpenError;  // 0: opens, then reading fails with 95
  } cases[] = {
      {"unknown tree version", [](uint8_t* file) { WriteLeU16(file + kHdrVersion, 5); }, tdbErrIndexInconsistent},
      {"page count beyond the file",
       [](uint8_t* file) { WriteLeU32(file + kBPlusIndexHeaderOffset + kBPlusHdrPageCount, 100000); },
       tdbErrIndexInconsistent},
      {"page size", [](uint8_t* file) { WriteLeU32(file + kBPlusIndexHeaderOffset + kBPlusHdrPageSize, 17); },
       tdbErrIndexInconsistent},
      {"description", [](uint8_t* file) { std::memset(file + kBPlusIndexHeaderOffset + kBPlusHeaderSize, 0xEE, 40); },
       tdbErrIndexInconsistent},
      {"root entry count", [&](uint8_t* file) { WriteLeU16(file + (rootNo + 1) * pageSize - kBPlusCountSize, 0xFFFF); },
       0},
  };
  for (const Case& c : cases) {
    TTdbMemoryPageIo copy = good;
    c.FDamage(copy.Bytes().data());
    TTdbIndexFile index(copy, f.FTable.Table(), u"PROBA");
    try {
      index.Open();
      EXPECT_EQ(c.FOpenError, 0) << c.FLabel << ": opened";
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), c.FOpenError) << c.FLabel;
      EXPECT_TRUE(index.IsLost()) << c.FLabel;
      continue;
    }
    std::vector<uint8_t> key;
    try {
      index.Erster_Index(key);
      ADD_FAILURE() << c.FLabel << ": read";
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), tdbErrIndexCorrupt) << c.FLabel;
    }
  }
}

TEST(BPlusIndexFile, NewFilePageTakesTheLongestItem) {
  TTestTable table(kLevel);
  TTdbMemoryPageIo storage(kSmallPage);
  TTdbIndexFile index(storage, table.Table(), u"PROBA");
  TTdbSortDef def = CalcIndexDefinition(table.Table(), u"NEV, KOD", false);
  index.SetIndexDefinition(def);
  EXPECT_EQ(index.CalcPageSizeForCapacity(1000000), kDefaultBPlusPageSize);
  index.NewStorage(kSmallPage);
  ASSERT_NE(index.BPlusTree(), nullptr);
  EXPECT_GE(index.BPlusTree()->MaxItemSize(), index.GetIndSize());
}

TEST(BPlusIndexFile, ItemTooLargeForTheLargestPageIsRefusedWithError4) {
  // A name column so wide that its longest key cannot fit three to the
  // largest page: short names are indexed, a long one is refused.
  constexpr uint16_t kChars = 12000;
  TTdbIndexTable table;
  table.FLevel = kLevel;
  TTdbIndexColumn column;
  column.FName = u"NEV";
  column.FColumnType = tctWideString;
  column.FHasNullByte = true;
  column.FSize = 1 + 2 + 2 * kChars;
  table.FColumns.push_back(column);
  table.FRecordSize = column.FSize;
  auto record = [&](size_t length) {
    std::vector<uint8_t> bytes(table.FRecordSize, 0);
    bytes[0] = 1;
    WriteLeU16(bytes.data() + 1, static_cast<uint16_t>(length));
    for (size_t i = 0; i < length; ++i) bytes[3 + 2 * i] = static_cast<uint8_t>('a' + i % 26);
    return bytes;
  };
  TTdbMemoryPageIo storage(kSmallPage);
  TTdbIndexFile index(storage, table, u"NEVEK");
  index.SetIndexDefinition(CalcIndexDefinition(table, u"NEV", false));
  index.NewStorage(index.CalcPageSizeForCapacity(100));
  ASSERT_EQ(index.BPlusTree()->PageSize(), kMaxBPlusPageSize);

  std::vector<uint8_t> item;
  CalcIndexInfo(index.Comparer(), record(10).data(), 1, item);
  ASSERT_TRUE(index.Add_Index(item.data()));
  const std::vector<uint8_t> before = storage.Bytes();
  CalcIndexInfo(index.Comparer(), record(kChars).data(), 2, item);
  try {
    index.Add_Index(item.data());
    ADD_FAILURE() << "a key of " << kChars << " characters was stored";
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrIndexInsert);
  }
  EXPECT_EQ(storage.Bytes(), before);
  EXPECT_EQ(index.GetItemCount(), 1u);
  CalcIndexInfo(index.Comparer(), record(9000).data(), 3, item);
  EXPECT_TRUE(index.Add_Index(item.data())) << "a key that fits three to a page";
  EXPECT_EQ(index.GetItemCount(), 2u);
}

}  // namespace
}  // namespace kestrel
