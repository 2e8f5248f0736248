// Damaged index files: headers, entry counts, child pointers, cycles and
// free lists that do not fit give errors 28 (open) or 91 (reading), never a
// crash or a hang; random byte damage is survived the same way. Also an
// index file on disk reopened.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/base/engine_error.h"
#include "engine/index/index_definition_text.h"
#include "engine/index/index_file.h"
#include "engine/index/key_value_codec.h"
#include "index_test_table.h"
#include "test_file_page_io.h"

namespace kestrel {
namespace {

using test::TTestTable;

constexpr uint32_t kPage = kMinIndexPageSize;
constexpr int kItems = 400;

// A three-level index on SZAM (items of 9 bytes, order 9) in memory.
class DamagedIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    TTdbIndexFile index(FGood, FTable.Table(), u"PROBA");
    index.SetIndexDefinition(CalcIndexDefinition(FTable.Table(), u"SZAM", false));
    index.NewStorage(kPage);
    for (int i = 0; i < kItems; ++i) index.Add_Index(Item((i * 37) % kItems, i + 1).data());
    ASSERT_EQ(index.Tree().Height(), 3);
    index.Close();
  }

  std::vector<uint8_t> Item(int32_t szam, int32_t recordNo) const {
    std::vector<uint8_t> item;
    const TTdbSortDef def = CalcIndexDefinition(FTable.Table(), u"SZAM", false);
    const TTdbIndexComparer comparer(def, FTable.Table());
    CalcIndexInfo(comparer, FTable.Record("", u"", szam).data(), recordNo, item);
    return item;
  }

  uint8_t* Page(TTdbMemoryPageIo& storage, uint32_t pageNo) { return storage.Bytes().data() + pageNo * kPage; }

  // The first child of page `pageNo`.
  uint32_t LeftChild(uint32_t pageNo) { return ReadLeU32(Page(FGood, pageNo)); }

  // Opens a damaged copy: the error number of the open (0 when it opened),
  // then runs every operation, each of which may fail only with an engine
  // error. Returns the first error number of the operations in `firstOpError`.
  int Exercise(TTdbMemoryPageIo& storage, int& firstOpError) {
    firstOpError = 0;
    TTdbIndexFile index(storage, FTable.Table(), u"PROBA");
    try {
      index.Open();
    } catch (const ETdbEngine& error) {
      EXPECT_TRUE(index.IsLost());
      return error.Number();
    }
    auto attempt = [&firstOpError](const std::function<void()>& operation) {
      try {
        operation();
      } catch (const ETdbEngine& error) {
        if (firstOpError == 0) firstOpError = error.Number();
      }
    };
    attempt([&] {
      std::vector<uint8_t> key;
      int steps = 0;
      for (int r = index.Erster_Index(key); r == ttrFound && steps < 10 * kItems; r = index.Naechster_Index(key))
        ++steps;
    });
    attempt([&] {
      std::vector<uint8_t> key;
      int steps = 0;
      for (int r = index.Letzter_Index(key); r == ttrFound && steps < 10 * kItems; r = index.Vorheriger_Index(key))
        ++steps;
    });
    attempt([&] { VisitAll(index); });
    attempt([&] {
      int64_t count = 0;
      int64_t wrong = 0;
      index.Check(count, wrong);
    });
    for (int32_t value : {0, 150, 399, 1000}) {
      attempt([&] {
        std::vector<uint8_t> key = Item(value, 0);
        index.Suche_Index(key);
      });
      attempt([&] { index.CalcItemSequenceNo(Item(value, 0).data()); });
      attempt([&] { index.Add_Index(Item(value, 9999).data()); });
      attempt([&] { index.Loesche_Index(Item(value, value + 1).data()); });
    }
    attempt([&] { index.Close(); });
    return 0;
  }

  // Hands every item to a runs walk (from below the smallest); stops a
  // walk that runs on beyond ten times the items, so a test never hangs.
  void VisitAll(TTdbIndexFile& index) {
    int64_t visited = 0;
    index.VisitRuns(Item(-1, 0), [&](const uint8_t*, int count, size_t) {
      visited += count;
      return visited < 10 * kItems;
    });
    EXPECT_LT(visited, 10 * kItems) << "the walk was not bounded";
  }

  // The error number of a runs walk over a damaged copy (0 for none).
  int VisitError(TTdbMemoryPageIo& storage) {
    TTdbIndexFile index(storage, FTable.Table(), u"PROBA");
    index.Open();
    try {
      VisitAll(index);
    } catch (const ETdbEngine& error) {
      return error.Number();
    }
    return 0;
  }

  TTestTable FTable{4};
  TTdbMemoryPageIo FGood{kPage};
};

TEST_F(DamagedIndex, UndamagedFileOpensAndPassesEveryOperation) {
  TTdbMemoryPageIo copy = FGood;
  int opError = -1;
  EXPECT_EQ(Exercise(copy, opError), 0);
  EXPECT_EQ(opError, 0);
}

TEST_F(DamagedIndex, DamagedHeadersAreRefusedOnOpen) {
  struct Case {
    const char* FLabel;
    uint32_t FOffset;
    uint32_t FValue;
    int FWidth;
  } cases[] = {
      {"version", kHdrVersion, 9, 2},
      {"old version with a signature", kHdrVersion, 3, 2},
      {"page size too small", kHdrPageSize, 100, 4},
      {"page size too large", kHdrPageSize, 0x7FFFFFFF, 4},
      {"page size not the file's", kHdrPageSize, 512, 4},
      {"entry size", kHdrEntrySize, 12, 2},
      {"key size", kHdrKeySize, 10, 2},
      {"height above 30", kHdrHeight, 31, 2},
      {"pages beyond the file", kHdrPageCount, 5000, 4},
      {"order", kHdrOrder, 8, 2},
      {"capacity", kHdrCapacity, 20, 2},
      {"free page beyond the tree", kHdrFirstFree, 5000, 4},
      {"no levels in the description", kHdrUserArea + 7, 0, 2},
      {"level count beyond the page", kHdrUserArea + 7, 0x7000, 2},
      {"item size of the description", kHdrUserArea + 9 + 5, 12, 2},
      {"column that the table lacks", kHdrUserArea + 9, 9, 2},
  };
  for (const Case& c : cases) {
    TTdbMemoryPageIo copy = FGood;
    uint8_t* header = Page(copy, 0);
    if (c.FWidth == 4)
      WriteLeU32(header + c.FOffset, c.FValue);
    else
      WriteLeU16(header + c.FOffset, static_cast<uint16_t>(c.FValue));
    int opError = 0;
    EXPECT_EQ(Exercise(copy, opError), tdbErrIndexInconsistent) << c.FLabel;
  }
  TTdbMemoryPageIo truncated = FGood;
  truncated.SetPageCount(FGood.PageCount() - 1);
  int opError = 0;
  EXPECT_EQ(Exercise(truncated, opError), tdbErrIndexInconsistent) << "truncated file";
  TTdbMemoryPageIo empty(kPage);
  EXPECT_EQ(Exercise(empty, opError), tdbErrFileNotFound);
}

TEST_F(DamagedIndex, DamagedPagesGiveReadErrors) {
  const uint32_t level2 = LeftChild(kRootPage);
  const uint32_t leaf = LeftChild(level2);
  const uint32_t pages = ReadLeU32(Page(FGood, 0) + kHdrPageCount);
  struct Case {
    const char* FLabel;
    uint32_t FPage;
    uint32_t FOffset;
    uint32_t FValue;
    int FWidth;
  } cases[] = {
      {"root count above capacity", kRootPage, kPageEntryCount, 19, 2},
      {"child beyond the tree", kRootPage, kPageLeftChild, pages + 3, 4},
      {"child 0 in an inner page", kRootPage, kPageLeftChild, 0, 4},
      {"root as its own child", kRootPage, kPageLeftChild, kRootPage, 4},
      {"cycle to the root", level2, kPageLeftChild, kRootPage, 4},
      {"child in a leaf", leaf, kPageLeftChild, 2, 4},
      {"empty inner page", level2, kPageEntryCount, 0, 2},
      {"page reached twice", kRootPage, kPageFirstEntry, level2, 4},  // entry 1's child = the left-most child
  };
  for (const Case& c : cases) {
    TTdbMemoryPageIo copy = FGood;
    uint8_t* page = Page(copy, c.FPage);
    if (c.FWidth == 4)
      WriteLeU32(page + c.FOffset, c.FValue);
    else
      WriteLeU16(page + c.FOffset, static_cast<uint16_t>(c.FValue));
    int opError = 0;
    ASSERT_EQ(Exercise(copy, opError), 0) << c.FLabel;
    EXPECT_EQ(opError, tdbErrIndexCorrupt) << c.FLabel;
    // The walk finds every one of them.
    TTdbMemoryPageIo fresh = FGood;
    std::copy(Page(copy, c.FPage), Page(copy, c.FPage) + kPage, Page(fresh, c.FPage));
    TTdbMemoryPageIo runs = fresh;
    EXPECT_EQ(VisitError(runs), tdbErrIndexCorrupt) << c.FLabel << ": runs walk";
    TTdbIndexFile check(fresh, FTable.Table(), u"PROBA");
    check.Open();
    int64_t count = 0;
    int64_t wrong = 0;
    try {
      check.Check(count, wrong);
      ADD_FAILURE() << c.FLabel << ": Check found nothing";
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), tdbErrIndexCorrupt) << c.FLabel;
      EXPECT_EQ(error.Message(), "Index \"PROBA\" is corrupt and must be deleted");
    }
  }
}

TEST_F(DamagedIndex, ItemsOutOfOrderBetweenLeavesStopStepsAndRunsWalks) {
  // The second leaf begins with the first leaf's first item, which sorts
  // before everything the walk has handed over by then.
  TTdbMemoryPageIo copy = FGood;
  const uint32_t level2 = LeftChild(kRootPage);
  const uint32_t firstLeaf = LeftChild(level2);
  const uint32_t secondLeaf = ReadLeU32(Page(copy, level2) + kPageFirstEntry);
  const uint32_t itemOffset = kPageFirstEntry + 4;
  const uint32_t itemSize = ReadLeU16(Page(copy, 0) + kHdrKeySize);
  std::copy(Page(copy, firstLeaf) + itemOffset, Page(copy, firstLeaf) + itemOffset + itemSize,
            Page(copy, secondLeaf) + itemOffset);
  TTdbMemoryPageIo stepped = copy;
  int opError = 0;
  ASSERT_EQ(Exercise(stepped, opError), 0);
  EXPECT_EQ(opError, tdbErrIndexCorrupt);
  EXPECT_EQ(VisitError(copy), tdbErrIndexCorrupt);
}

TEST_F(DamagedIndex, DamagedFreeListStopsInsertsAndChecks) {
  TTdbMemoryPageIo copy = FGood;
  TTdbIndexFile index(copy, FTable.Table(), u"PROBA");
  index.Open();
  for (int i = 0; i < kItems / 2; ++i) index.Loesche_Index(Item(i, (i * 109) % kItems + 1).data());
  for (int i = 0; i < kItems; ++i) index.Loesche_Index(Item((i * 37) % kItems, i + 1).data());
  ASSERT_NE(index.Tree().FirstFreePage(), 0u);
  index.Close();
  // The head of the free list points at a page still in use.
  WriteLeU32(Page(copy, 0) + kHdrFirstFree, kRootPage);
  TTdbIndexFile damaged(copy, FTable.Table(), u"PROBA");
  damaged.Open();
  int64_t count = 0;
  int64_t wrong = 0;
  EXPECT_THROW(damaged.Check(count, wrong), ETdbEngine);
  int error = 0;
  for (int i = 0; i < kItems && error == 0; ++i) {
    try {
      damaged.Add_Index(Item(i, 5000 + i).data());
    } catch (const ETdbEngine& e) {
      error = e.Number();
    }
  }
  EXPECT_EQ(error, tdbErrIndexCorrupt);
}

TEST_F(DamagedIndex, RandomDamageNeverCrashes) {
  std::mt19937 random(4711);
  const size_t size = FGood.Bytes().size();
  int refused = 0;
  for (int round = 0; round < 400; ++round) {
    TTdbMemoryPageIo copy = FGood;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) {
      // Damage the header in one round out of four, tree pages otherwise.
      const size_t offset = round % 4 == 0 ? random() % 64 : kPage + random() % (size - kPage);
      copy.Bytes()[offset] = static_cast<uint8_t>(random());
    }
    int opError = 0;
    if (Exercise(copy, opError) != 0 || opError != 0) ++refused;
  }
  EXPECT_GT(refused, 0);
}

TEST(IndexFileOnDisk, ReopensAndRefusesDamage) {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "kestrel_index_test";
  std::filesystem::create_directories(directory);
  const std::string path = (directory / "Vnd03!KOD.ind").string();
  std::filesystem::remove(path);
  TTestTable table(5);
  const TTdbSortDef def = CalcIndexDefinition(table.Table(), u"-KOD, SZAM", true);
  {
    test::TTestFilePageIo storage(path);
    TTdbIndexFile index(storage, table.Table(), u"KOD");
    index.SetIndexDefinition(def);
    index.NewStorage(index.CalcPageSizeForCapacity(1000));
    std::vector<uint8_t> item;
    for (int i = 0; i < 500; ++i) {
      CalcIndexInfo(index.Comparer(), table.Record("K" + std::to_string(i), u"", i).data(), i + 1, item);
      index.Add_Index(item.data());
    }
    index.Close();
  }
  {
    test::TTestFilePageIo storage(path);
    TTdbIndexFile index(storage, table.Table(), u"KOD");
    index.Open();
    EXPECT_TRUE(index.Definition().Equals(def));
    EXPECT_EQ(index.GetItemCount(), 500u);
    std::vector<uint8_t> key;
    ASSERT_EQ(index.Erster_Index(key), ttrFound);
    // "K99" sorts first in a descending index: length 3, then the characters.
    EXPECT_EQ(std::string(key.begin() + 4, key.begin() + 8), "\x03K99");
    int64_t count = 0;
    int64_t wrong = 0;
    index.Check(count, wrong);
    EXPECT_EQ(count, 500);
    EXPECT_EQ(wrong, 0);
  }
  {
    std::vector<uint8_t> height(2);
    WriteLeU16(height.data(), 31);
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    std::fseek(file, kHdrHeight, SEEK_SET);
    std::fwrite(height.data(), 1, 2, file);
    std::fclose(file);
    test::TTestFilePageIo storage(path);
    TTdbIndexFile index(storage, table.Table(), u"KOD");
    try {
      index.Open();
      FAIL();
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), tdbErrIndexInconsistent);
      EXPECT_EQ(error.Message(), "Inconsistent definition for index \"KOD\"");
    }
  }
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace kestrel
