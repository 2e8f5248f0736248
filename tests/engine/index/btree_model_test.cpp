// The B-tree index file against a model: random inserts, deletes, finds and
// steps (fixed seed, smallest page size, so trees are many levels deep) on
// an index file beside a std::multiset of (key, record number); after every
// batch the tree's walk is clean and every count and scan matches the model.
// The runs walk hands over the same items as stepping, whole or stopped.
// Also: bulk builds equal single inserts, stepping stays on the kept path,
// freed pages are reused, sequence numbers.
#include <gtest/gtest.h>

#include <algorithm>
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

constexpr uint32_t kSmallPage = kMinIndexPageSize;

// A model element: the key as the standard collation sees plain ASCII texts
// (NULL first, then the number; the code without regard to case), the
// record number, and the item bytes the index should hold.
struct TModelItem {
  std::optional<int32_t> FSzam;
  std::string FKodUpper;
  int32_t FRecordNo;
  std::vector<uint8_t> FItem;

  bool operator<(const TModelItem& other) const {
    return std::tie(FSzam, FKodUpper, FRecordNo) < std::tie(other.FSzam, other.FKodUpper, other.FRecordNo);
  }
};

class TIndexFixture {
 public:
  explicit TIndexFixture(int level, std::u16string_view spec = u"SZAM, KOD", bool unique = false)
      : FTable(level), FIndex(FStorage, FTable.Table(), u"PROBA") {
    FIndex.SetIndexDefinition(CalcIndexDefinition(FTable.Table(), spec, unique));
    FIndex.NewStorage(kSmallPage);
  }

  TModelItem Make(std::optional<int32_t> szam, const std::string& kod, int32_t recordNo) const {
    // Below level 4 a key's null indicator is 0 and NULL reads as its value bytes (0).
    const std::optional<int32_t> modelSzam = FTable.Table().FLevel < 4 && !szam ? std::optional<int32_t>(0) : szam;
    TModelItem model{modelSzam, Upper(kod), recordNo, {}};
    CalcIndexInfo(FIndex.Comparer(), FTable.Record(kod, u"", szam).data(), recordNo, model.FItem);
    return model;
  }

  std::vector<std::vector<uint8_t>> ScanForward() { return ScanIndexForward(FIndex); }

  std::vector<std::vector<uint8_t>> ScanBackward() { return ScanIndexBackward(FIndex); }

  TTestTable FTable;
  TTdbMemoryPageIo FStorage{kSmallPage};
  TTdbIndexFile FIndex;
};

std::vector<std::vector<uint8_t>> ModelItems(const std::multiset<TModelItem>& model) {
  std::vector<std::vector<uint8_t>> items;
  for (const TModelItem& m : model) items.push_back(m.FItem);
  return items;
}

class BTreeModel : public ::testing::TestWithParam<int> {};

TEST_P(BTreeModel, RandomOperationsAgreeWithTheModel) {
  TIndexFixture f(GetParam());
  ASSERT_LE(f.FIndex.Tree().Geometry().FOrder, 4) << "the page should be small enough for deep trees";
  std::multiset<TModelItem> model;
  std::mt19937 random(20240611);
  auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  auto randomKod = [&] {
    static const char kLetters[] = "aBcD";
    std::string kod;
    for (int i = pick(0, 3); i > 0; --i) kod += kLetters[pick(0, 3)];
    return kod;
  };
  auto randomItem = [&] {
    const std::optional<int32_t> szam = pick(0, 19) == 0 ? std::nullopt : std::optional<int32_t>(pick(-5, 25));
    return f.Make(szam, randomKod(), pick(1, 300));
  };

  int maxHeight = 0;
  for (int batch = 0; batch < 60; ++batch) {
    // Grow during the first batches, then shrink, then mix.
    const int insertShare = batch < 25 ? 75 : (batch < 40 ? 25 : 50);
    for (int op = 0; op < 120; ++op) {
      const int kind = pick(0, 99);
      if (kind < insertShare) {
        const TModelItem item = randomItem();
        const bool present = model.find(item) != model.end();
        EXPECT_EQ(f.FIndex.Add_Index(item.FItem.data()), !present);
        if (!present) model.insert(item);
      } else if (kind < 90) {
        TModelItem item = randomItem();
        if (!model.empty() && pick(0, 9) < 7) item = *std::next(model.begin(), pick(0, int(model.size()) - 1));
        const auto it = model.find(item);
        EXPECT_EQ(f.FIndex.Loesche_Index(item.FItem.data()), it != model.end());
        if (it != model.end()) model.erase(it);
      } else {
        TModelItem search = randomItem();
        search.FRecordNo = 0;
        CalcIndexInfo(f.FIndex.Comparer(), f.FTable.Record(search.FKodUpper, u"", search.FSzam).data(), 0,
                      search.FItem);
        std::vector<uint8_t> key = search.FItem;
        auto it = model.lower_bound(search);
        // The runs walk from there, stopped after a few items, hands over
        // the model's next items; the searches and steps below then start
        // from the position it left.
        const size_t wanted = static_cast<size_t>(pick(1, 40));
        std::vector<std::vector<uint8_t>> visited;
        f.FIndex.VisitRuns(key, [&](const uint8_t* first, int count, size_t stride) {
          for (int k = 0; k < count && visited.size() < wanted; ++k)
            visited.emplace_back(first + k * stride, first + k * stride + f.FIndex.GetIndSize());
          return visited.size() < wanted;
        });
        std::vector<std::vector<uint8_t>> expected;
        for (auto m = it; m != model.end() && expected.size() < wanted; ++m) expected.push_back(m->FItem);
        EXPECT_EQ(visited, expected);
        const int found = f.FIndex.Suche_Index(key);
        if (it == model.end()) {
          EXPECT_NE(found, ttrFound);
          continue;
        }
        ASSERT_EQ(found, ttrFound);
        EXPECT_EQ(key, it->FItem);
        EXPECT_EQ(f.FIndex.CalcItemSequenceNo(search.FItem.data()), std::distance(model.begin(), it) + 1);
        // Step forward and back from there.
        const int steps = pick(1, 12);
        for (int s = 0; s < steps; ++s) {
          const auto next = std::next(it);
          const int r = f.FIndex.Naechster_Index(key);
          if (next == model.end()) {
            EXPECT_EQ(r, ttrNone);
            break;
          }
          ASSERT_EQ(r, ttrFound);
          EXPECT_EQ(key, next->FItem);
          it = next;
        }
        for (int s = 0; s < steps; ++s) {
          const int r = f.FIndex.Vorheriger_Index(key);
          if (it == model.begin()) {
            EXPECT_EQ(r, ttrNone);
            break;
          }
          --it;
          ASSERT_EQ(r, ttrFound);
          EXPECT_EQ(key, it->FItem);
        }
      }
    }
    int64_t count = 0;
    int64_t wrong = 0;
    f.FIndex.Check(count, wrong);
    ASSERT_EQ(count, static_cast<int64_t>(model.size())) << "batch " << batch;
    ASSERT_EQ(wrong, 0) << "batch " << batch;
    ASSERT_EQ(f.FIndex.GetItemCount(), model.size()) << "batch " << batch;
    ASSERT_EQ(f.ScanForward(), ModelItems(model)) << "batch " << batch;
    ASSERT_EQ(f.ScanBackward(), ModelItems(model)) << "batch " << batch;
    std::vector<std::vector<uint8_t>> visited;
    std::vector<uint8_t> firstItem;
    if (f.FIndex.Erster_Index(firstItem) != ttrFound) continue;
    f.FIndex.VisitRuns(firstItem, [&](const uint8_t* first, int count, size_t stride) {
      for (int k = 0; k < count; ++k)
        visited.emplace_back(first + k * stride, first + k * stride + f.FIndex.GetIndSize());
      return true;
    });
    ASSERT_EQ(visited, ModelItems(model)) << "batch " << batch;
    maxHeight = std::max<int>(maxHeight, f.FIndex.Tree().Height());
  }
  EXPECT_GE(maxHeight, 4) << "the tree never got deep";

  // Everything deleted: an empty root page of height 1.
  for (const TModelItem& item : model) EXPECT_TRUE(f.FIndex.Loesche_Index(item.FItem.data()));
  EXPECT_EQ(f.FIndex.Tree().Height(), 1);
  EXPECT_EQ(f.FIndex.GetItemCount(), 0u);
  std::vector<uint8_t> key;
  EXPECT_EQ(f.FIndex.Erster_Index(key), ttrNone);

  // The file written out reopens with the same items.
  f.FIndex.Add_Index(f.Make(1, "x", 1).FItem.data());
  f.FIndex.Close();
  f.FIndex.Open();
  EXPECT_EQ(f.FIndex.GetItemCount(), 1u);
  EXPECT_EQ(f.ScanForward().size(), 1u);
}

// A table's append searches for the key (record number 0) to check that it
// is unique and then inserts the item, which reuses the gap that search
// found. Few distinct keys and small pages put many of those gaps at the
// edges of leaves, where the neighbours are separators of the pages above.
TEST_P(BTreeModel, InsertsRightAfterASearchForTheirKeyKeepTheOrder) {
  TIndexFixture f(GetParam());
  std::multiset<TModelItem> model;
  std::mt19937 random(20261211);
  auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  for (int n = 0; n < 1500; ++n) {
    const std::string kod(1, static_cast<char>('A' + pick(0, 25)));
    const int32_t szam = pick(0, 40);
    const TModelItem item = f.Make(szam, kod, pick(1, 400));
    std::vector<uint8_t> key;
    CalcIndexInfo(f.FIndex.Comparer(), f.FTable.Record(kod, u"", szam).data(), 0, key);
    f.FIndex.Suche_Index(key);
    const bool present = model.count(item) > 0;
    ASSERT_EQ(f.FIndex.Add_Index(item.FItem.data()), !present) << n;
    if (!present) model.insert(item);
  }
  int64_t count = 0;
  int64_t wrong = 0;
  f.FIndex.Check(count, wrong);
  EXPECT_EQ(count, static_cast<int64_t>(model.size()));
  EXPECT_EQ(wrong, 0);
  EXPECT_GE(f.FIndex.Tree().Height(), 3);
  EXPECT_EQ(f.ScanForward(), ModelItems(model));
  EXPECT_EQ(f.ScanBackward(), ModelItems(model));
}

INSTANTIATE_TEST_SUITE_P(TableLevels, BTreeModel, ::testing::Values(2, 3, 4, 5));

TEST(BTreeIndex, EdgeCases) {
  TIndexFixture f(4);
  std::vector<uint8_t> key;
  EXPECT_EQ(f.FIndex.Erster_Index(key), ttrNone);
  key = f.Make(1, "a", 0).FItem;
  EXPECT_EQ(f.FIndex.Suche_Index(key), ttrNotInTree);  // empty tree

  const TModelItem only = f.Make(5, "abc", 3);
  ASSERT_TRUE(f.FIndex.Add_Index(only.FItem.data()));
  // The same item again: nothing changes, no error, the count stays.
  const std::vector<uint8_t> before = f.FStorage.Bytes();
  EXPECT_FALSE(f.FIndex.Add_Index(f.Make(5, "ABC", 3).FItem.data()));
  EXPECT_EQ(f.FStorage.Bytes(), before);
  EXPECT_EQ(f.FIndex.GetItemCount(), 1u);
  // Deleting a missing item leaves the count alone.
  EXPECT_FALSE(f.FIndex.Loesche_Index(f.Make(5, "abc", 4).FItem.data()));
  EXPECT_EQ(f.FIndex.GetItemCount(), 1u);

  key = f.Make(9, "", 0).FItem;  // greater than every key
  EXPECT_EQ(f.FIndex.Suche_Index(key), ttrNone);
  key = f.Make(std::nullopt, "", 0).FItem;  // smaller than every key
  EXPECT_EQ(f.FIndex.Suche_Index(key), ttrFound);
  EXPECT_EQ(key, only.FItem);
  key = f.Make(5, "abc", 0).FItem;  // a search key finds the first duplicate
  EXPECT_EQ(f.FIndex.Suche_Index(key), ttrFound);
  EXPECT_EQ(key, only.FItem);
  key = f.Make(5, "abd", 3).FItem;  // stepping from an item that is not there
  EXPECT_EQ(f.FIndex.Naechster_Index(key), ttrNotInTree);

  EXPECT_TRUE(f.FIndex.Loesche_Index(only.FItem.data()));
  EXPECT_EQ(f.FIndex.Tree().Height(), 1);
  EXPECT_EQ(f.FIndex.Tree().PageCount(), 1u);
  EXPECT_EQ(f.FIndex.GetItemCount(), 0u);
  key = only.FItem;
  EXPECT_EQ(f.FIndex.Suche_Index(key), ttrNone);  // an empty root page: a plain lower bound
}

TEST(BTreeIndex, ThePageLimitRefusesInsertsThatWouldSplit) {
  // An old (version 2) file whose header already counts the most pages such
  // a file may have: inserts fit until a page would have to split.
  TIndexFixture f(2, u"SZAM");
  const uint16_t capacity = f.FIndex.Tree().Geometry().FCapacity;
  for (int i = 0; i < capacity; ++i) ASSERT_TRUE(f.FIndex.Add_Index(f.Make(i, "", i + 1).FItem.data()));
  f.FIndex.Close();
  f.FStorage.SetPageCount(kMaxOldIndexPages + 1);
  WriteLeU16(f.FStorage.Bytes().data() + kOldHdrPageCount, static_cast<uint16_t>(kMaxOldIndexPages));
  f.FIndex.Open();
  const std::vector<uint8_t> before = f.FStorage.Bytes();
  try {
    f.FIndex.Add_Index(f.Make(capacity, "", 999).FItem.data());
    FAIL() << "the split was allowed";
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrCapacityReached);
    EXPECT_EQ(error.Message(), "The maximimum capacity for \"PROBA\" is reached");
  }
  EXPECT_EQ(f.FStorage.Bytes(), before);
  EXPECT_EQ(f.FIndex.GetItemCount(), capacity);
  // A delete makes room in the page again.
  ASSERT_TRUE(f.FIndex.Loesche_Index(f.Make(0, "", 1).FItem.data()));
  EXPECT_TRUE(f.FIndex.Add_Index(f.Make(capacity, "", 999).FItem.data()));
}

TEST(BTreeIndex, UpdateSeesChangesOfAnotherWriter) {
  TIndexFixture f(4, u"SZAM");
  for (int i = 0; i < 100; ++i) f.FIndex.Add_Index(f.Make(i, "", i + 1).FItem.data());
  std::vector<uint8_t> key;
  ASSERT_EQ(f.FIndex.Erster_Index(key), ttrFound);  // a kept path on the old pages
  {
    TTdbIndexFile other(f.FStorage, f.FTable.Table(), u"PROBA");
    other.Open();
    for (int i = 0; i < 100; ++i) other.Loesche_Index(f.Make(i, "", i + 1).FItem.data());
    for (int i = 0; i < 300; ++i) other.Add_Index(f.Make(-i, "", 1000 + i).FItem.data());
    other.Flush();
  }
  f.FIndex.Update();
  EXPECT_EQ(f.FIndex.GetItemCount(), 300u);
  EXPECT_EQ(f.FIndex.Naechster_Index(key), ttrNotInTree);  // the old item is gone
  EXPECT_EQ(f.ScanForward().size(), 300u);
}

TEST(BTreeIndex, DefinitionsTheTableLevelCannotHoldAreRefused) {
  TTestTable table(5);
  TTdbMemoryPageIo storage(kSmallPage);
  TTdbIndexFile index(storage, table.Table(), u"PROBA");
  TTdbSortDef def = CalcIndexDefinition(table.Table(), u"KOD", false);
  def.IsVarSize = true;
  try {
    index.SetIndexDefinition(def);
    FAIL();
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrLevelFeature);
    EXPECT_EQ(error.Message(), "\"PROBA\" uses a feature that is not supported by tables of this level: Variable size");
  }
  TTestTable old(3);
  TTdbIndexFile oldIndex(storage, old.Table(), u"PROBA");
  def.IsVarSize = false;
  def.Items.assign(11, def.Items[0]);
  try {
    oldIndex.SetIndexDefinition(def);
    FAIL();
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrTooManyLevels);
  }
}

TEST(BTreeIndex, FreedPagesAreReusedBeforeTheFileGrows) {
  TIndexFixture f(4);
  std::vector<TModelItem> items;
  for (int i = 0; i < 1500; ++i) items.push_back(f.Make(i % 50, "k" + std::to_string(i), i + 1));
  for (const TModelItem& item : items) f.FIndex.Add_Index(item.FItem.data());
  for (size_t i = 0; i < items.size(); i += 3) f.FIndex.Loesche_Index(items[i].FItem.data());
  for (size_t i = 1; i < items.size(); i += 3) f.FIndex.Loesche_Index(items[i].FItem.data());
  ASSERT_NE(f.FIndex.Tree().FirstFreePage(), 0u);
  const uint32_t pages = f.FIndex.Tree().PageCount();
  for (size_t i = 0; i < items.size() && f.FIndex.Tree().FirstFreePage() != 0; i += 3) {
    f.FIndex.Add_Index(items[i].FItem.data());
    ASSERT_EQ(f.FIndex.Tree().PageCount(), pages);
  }
  int64_t count = 0;
  int64_t wrong = 0;
  f.FIndex.Check(count, wrong);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(count, f.FIndex.GetItemCount());
  // Flushing fits the storage to the tree.
  f.FIndex.Flush();
  EXPECT_EQ(f.FStorage.PageCount(), f.FIndex.Tree().PageCount() + 1ull);
}

TEST(BTreeIndex, BulkBuildEqualsSingleInserts) {
  TTestTable table(4);
  std::mt19937 random(77);
  std::vector<std::vector<uint8_t>> records;
  for (int i = 0; i < 2500; ++i)
    records.push_back(table.Record("k" + std::to_string(random() % 400), u"", static_cast<int32_t>(random() % 30)));
  auto read = [&records](int32_t recordNo, std::vector<uint8_t>& record) { record = records.at(recordNo - 1); };

  for (uint64_t batchBytes : {kIndexBuildBatchKeyBytes, uint64_t{700}}) {
    TIndexFixture bulk(4);
    std::vector<std::pair<int64_t, int64_t>> progress;
    BuildIndexFromRecords(bulk.FIndex, static_cast<int32_t>(records.size()), read,
                          [&progress](int64_t done, int64_t total) { progress.emplace_back(done, total); }, batchBytes);
    TIndexFixture single(4);
    std::vector<uint8_t> item;
    for (size_t i = 0; i < records.size(); ++i) {
      CalcIndexInfo(single.FIndex.Comparer(), records[i].data(), static_cast<int32_t>(i + 1), item);
      ASSERT_TRUE(single.FIndex.Add_Index(item.data()));
    }
    EXPECT_EQ(bulk.ScanForward(), single.ScanForward());
    EXPECT_EQ(bulk.FIndex.GetItemCount(), records.size());
    int64_t count = 0;
    int64_t wrong = 0;
    bulk.FIndex.Check(count, wrong);
    EXPECT_EQ(count, static_cast<int64_t>(records.size()));
    EXPECT_EQ(wrong, 0);
    const std::vector<std::pair<int64_t, int64_t>> expected = {{0, 2500}, {1000, 2500}, {2000, 2500}, {2500, 2500}};
    EXPECT_EQ(progress, expected);
  }
}

TEST(BTreeIndex, BulkBuildReportsRecordErrors) {
  TIndexFixture f(4);
  const std::vector<uint8_t> record = f.FTable.Record("a", u"", 1);
  auto read = [&record](int32_t recordNo, std::vector<uint8_t>& out) {
    if (recordNo == 3) throw ETdbEngine(tdbErrReadFile, "Vnd03");
    out = record;
  };
  try {
    BuildIndexFromRecords(f.FIndex, 5, read, {});
    FAIL();
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrReadFile);
  }
  EXPECT_EQ(f.FIndex.GetItemCount(), 0u);  // the first batch never reached the tree
  auto shortRecord = [](int32_t, std::vector<uint8_t>& out) { out.assign(3, 0); };
  try {
    BuildIndexFromRecords(f.FIndex, 5, shortRecord, {});
    FAIL();
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrNoText);
  }
}

// Items of 4-byte record number + 4-byte key, compared by key then record
// number, with a counter of comparisons.
struct TCountingTree {
  TTdbMemoryPageIo FStorage{kSmallPage};
  int64_t FComparisons = 0;
  TTdbBTree FTree{FStorage, 4,
                  [this](const uint8_t* x, const uint8_t* y) {
                    ++FComparisons;
                    const auto kx = std::make_pair(ReadLeI32(x + 4), ReadLeI32(x));
                    const auto ky = std::make_pair(ReadLeI32(y + 4), ReadLeI32(y));
                    return kx < ky ? -1 : (ky < kx ? 1 : 0);
                  },
                  "proba"};

  static std::vector<uint8_t> Item(int32_t key, int32_t recordNo) {
    std::vector<uint8_t> item(8);
    WriteLeI32(item.data(), recordNo);
    WriteLeI32(item.data() + 4, key);
    return item;
  }
};

TEST(BTreeIndex, SteppingStaysOnThePathUntilTheTreeChanges) {
  TCountingTree t;
  t.FTree.New(kSmallPage, 8);
  for (int i = 0; i < 3000; ++i) t.FTree.Insert(TCountingTree::Item((i * 7919) % 3000, 1).data());
  ASSERT_GE(t.FTree.Height(), 3);
  std::vector<uint8_t> item;
  ASSERT_EQ(t.FTree.FindFirst(item), ttrFound);
  t.FComparisons = 0;
  int delivered = 1;
  while (t.FTree.FindNext(std::vector<uint8_t>(item).data(), item) == ttrFound) ++delivered;
  EXPECT_EQ(delivered, 3000);
  EXPECT_EQ(t.FComparisons, 0) << "a forward scan descended from the root";
  while (t.FTree.FindPrev(std::vector<uint8_t>(item).data(), item) == ttrFound) --delivered;
  EXPECT_EQ(delivered, 1);
  EXPECT_EQ(t.FComparisons, 0) << "a backward scan descended from the root";

  // Two scans sharing the tree: each step from the other's position searches
  // again and still delivers the right successor.
  std::vector<uint8_t> a;
  std::vector<uint8_t> b = TCountingTree::Item(1500, 1);
  ASSERT_EQ(t.FTree.FindFirst(a), ttrFound);
  for (int step = 1; step <= 200; ++step) {
    ASSERT_EQ(t.FTree.FindNext(std::vector<uint8_t>(a).data(), a), ttrFound);
    ASSERT_EQ(t.FTree.FindNext(std::vector<uint8_t>(b).data(), b), ttrFound);
    EXPECT_EQ(a, TCountingTree::Item(step, 1));
    EXPECT_EQ(b, TCountingTree::Item(1500 + step, 1));
  }

  // After a change the next step searches again and still finds the successor.
  std::vector<uint8_t> current = TCountingTree::Item(1000, 1);
  ASSERT_EQ(t.FTree.Find(current.data(), item), ttrFound);
  t.FTree.Insert(TCountingTree::Item(1000, 2).data());
  t.FComparisons = 0;
  ASSERT_EQ(t.FTree.FindNext(current.data(), item), ttrFound);
  EXPECT_GT(t.FComparisons, 0);
  EXPECT_EQ(item, TCountingTree::Item(1000, 2));
}

TEST(BTreeIndex, SequenceNumbersAreExactForSmallTreesAndClampedForLargeOnes) {
  TIndexFixture f(4, u"SZAM");
  constexpr int kItems = 10000;
  for (int i = 1; i <= kItems; ++i) f.FIndex.Add_Index(f.Make(i, "", i).FItem.data());
  ASSERT_GT(f.FIndex.Tree().PageCount(), 1000u);  // estimated
  const int64_t beyond = f.FIndex.CalcItemSequenceNo(f.Make(kItems + 1, "", 0).FItem.data());
  EXPECT_EQ(beyond, kItems);  // the estimate is clamped to the item count
  const int64_t middle = f.FIndex.CalcItemSequenceNo(f.Make(kItems / 2, "", 0).FItem.data());
  EXPECT_GE(middle, 1);
  EXPECT_LE(middle, kItems);

  TIndexFixture small(4, u"SZAM");
  for (int i = 1; i <= 300; ++i) small.FIndex.Add_Index(small.Make(i * 2, "", i).FItem.data());
  EXPECT_EQ(small.FIndex.CalcItemSequenceNo(small.Make(0, "", 0).FItem.data()), 1);
  EXPECT_EQ(small.FIndex.CalcItemSequenceNo(small.Make(101, "", 0).FItem.data()), 51);
  EXPECT_EQ(small.FIndex.CalcItemSequenceNo(small.Make(600, "", 0).FItem.data()), 300);
}

TEST(BTreeIndex, PageSizesGrowWithItemsAndCapacity) {
  EXPECT_EQ(CalcIndexPageSize(4, 31, 1000), 4096u);
  EXPECT_EQ(CalcIndexPageSize(4, 200, 1000), 8192u);    // at least 39 entries per page
  EXPECT_EQ(CalcIndexPageSize(4, 5000, 10), 262144u);
  EXPECT_EQ(CalcIndexPageSize(2, 5000, 10), kMaxOldIndexPageSize);  // old files stop at 16 KiB
  EXPECT_GT(CalcIndexPageSize(2, 31, 10000000), 4096u);  // 32766 pages must hold twice the capacity
}

}  // namespace
}  // namespace kestrel
