// The B+ tree against a model: random inserts, deletes, finds, steps and
// sequence numbers (fixed seed) on trees of small pages, so they grow deep,
// with items from a few bytes to the largest a page takes, beside a
// std::set; after every batch the tree's walk is clean and both scans match
// the model item for item and length for length. Also: the file reopened,
// and a bulk-built tree equal to one built by inserts.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "bplus_test_items.h"
#include "engine/base/engine_error.h"
#include "engine/index/bplus_bulk.h"

namespace kestrel {
namespace {

using test::ItemBuffer;
using test::MaxPayload;
using test::TPayloadTree;

std::vector<std::string> ModelItems(const std::set<std::string>& model) { return {model.begin(), model.end()}; }

class TRandomPayloads {
 public:
  TRandomPayloads(uint32_t pageSize, uint32_t seed) : FMax(MaxPayload(pageSize)), FRandom(seed) {}

  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(FRandom); }

  // Short and long payloads alike, some at the limit; few letters, so
  // prefixes of one another are common.
  std::string Next() {
    const int shape = Pick(0, 9);
    const int length = shape < 5 ? Pick(1, 6) : (shape < 9 ? Pick(1, static_cast<int>(FMax)) : static_cast<int>(FMax));
    std::string payload;
    for (int i = 0; i < length; ++i) payload += static_cast<char>('a' + Pick(0, 3));
    return payload;
  }

 private:
  uint32_t FMax;
  std::mt19937 FRandom;
};

void ExpectAgrees(TPayloadTree& tree, const std::set<std::string>& model, const std::string& when) {
  int64_t count = 0;
  int64_t wrong = 0;
  tree.FTree.Check(count, wrong);
  ASSERT_EQ(count, static_cast<int64_t>(model.size())) << when;
  ASSERT_EQ(wrong, 0) << when;
  ASSERT_EQ(tree.FTree.ItemCount(), model.size()) << when;
  ASSERT_EQ(tree.ScanForward(), ModelItems(model)) << when;
  ASSERT_EQ(tree.ScanBackward(), ModelItems(model)) << when;
}

class BPlusModel : public ::testing::TestWithParam<uint32_t> {};

TEST_P(BPlusModel, RandomOperationsAgreeWithTheModel) {
  const uint32_t pageSize = GetParam();
  TPayloadTree tree(pageSize);
  std::set<std::string> model;
  TRandomPayloads random(pageSize, 20260611);
  const uint32_t window = tree.FWindow;

  int maxHeight = 0;
  const int batches = 50;
  const int operations = pageSize <= 512 ? 150 : 400;
  for (int batch = 0; batch < batches; ++batch) {
    // Grow, then shrink, then mix.
    const int insertShare = batch < 20 ? 75 : (batch < 35 ? 25 : 50);
    for (int op = 0; op < operations; ++op) {
      const int kind = random.Pick(0, 99);
      if (kind < insertShare) {
        const std::string payload = random.Next();
        EXPECT_EQ(tree.Insert(payload), model.insert(payload).second);
      } else if (kind < 88) {
        std::string payload = random.Next();
        if (!model.empty() && random.Pick(0, 9) < 8)
          payload = *std::next(model.begin(), random.Pick(0, static_cast<int>(model.size()) - 1));
        EXPECT_EQ(tree.Delete(payload), model.erase(payload) == 1);
      } else {
        const std::string search = random.Next();
        std::vector<uint8_t> found;
        auto it = model.lower_bound(search);
        const int result = tree.FTree.Find(ItemBuffer(search, window).data(), found);
        EXPECT_EQ(tree.FTree.CalcItemSequenceNo(ItemBuffer(search, window).data()),
                  model.empty() ? 0 : std::distance(model.begin(), it) + 1);
        if (it == model.end()) {
          EXPECT_EQ(result, ttrNone);
          continue;
        }
        ASSERT_EQ(result, ttrFound);
        ASSERT_EQ(TPayloadTree::Checked(found), *it);
        const int steps = random.Pick(1, 15);
        for (int s = 0; s < steps; ++s) {
          const auto next = std::next(it);
          const int r = tree.FTree.FindNext(tree.Padded(found).data(), found);
          if (next == model.end()) {
            EXPECT_EQ(r, ttrNone);
            break;
          }
          ASSERT_EQ(r, ttrFound);
          ASSERT_EQ(TPayloadTree::Checked(found), *next);
          it = next;
        }
        for (int s = 0; s < steps; ++s) {
          const int r = tree.FTree.FindPrev(tree.Padded(found).data(), found);
          if (it == model.begin()) {
            EXPECT_EQ(r, ttrNone);
            break;
          }
          --it;
          ASSERT_EQ(r, ttrFound);
          ASSERT_EQ(TPayloadTree::Checked(found), *it);
        }
      }
    }
    ExpectAgrees(tree, model, "batch " + std::to_string(batch));
    if (HasFatalFailure()) return;
    maxHeight = std::max<int>(maxHeight, tree.FTree.Height());
  }
  if (pageSize <= 512) {
    EXPECT_GE(maxHeight, 4) << "the tree never got deep";
  }

  // An absent item cannot be stepped from.
  std::vector<uint8_t> found;
  EXPECT_EQ(tree.FTree.FindNext(ItemBuffer("zzz", window).data(), found), ttrNotInTree);
  EXPECT_EQ(tree.FTree.FindPrev(ItemBuffer("zzz", window).data(), found), ttrNotInTree);

  // The file reopens with the same items.
  tree.FTree.Flush();
  TTdbBPlusTree reopened(tree.FStorage, kBPlusIndexHeaderOffset, test::PayloadCompare(window), window, "PROBA");
  reopened.Open();
  EXPECT_EQ(reopened.ItemCount(), model.size());
  EXPECT_EQ(reopened.PageCount(), tree.FStorage.PageCount());

  // Deleting everything leaves an empty tree; the next insert starts a new root.
  for (const std::string& payload : model) ASSERT_TRUE(tree.Delete(payload)) << payload;
  EXPECT_TRUE(tree.FTree.IsEmpty());
  EXPECT_EQ(tree.FTree.ItemCount(), 0u);
  EXPECT_EQ(tree.FTree.FindFirst(found), ttrNone);
  EXPECT_EQ(tree.FTree.FindLast(found), ttrNone);
  EXPECT_EQ(tree.FTree.Find(ItemBuffer("a", window).data(), found), ttrNone);
  EXPECT_EQ(tree.FTree.CalcItemSequenceNo(ItemBuffer("a", window).data()), 0);
  ASSERT_TRUE(tree.Insert("abc"));
  EXPECT_EQ(tree.FTree.Height(), 1);
  EXPECT_EQ(tree.ScanForward(), std::vector<std::string>{"abc"});
}

INSTANTIATE_TEST_SUITE_P(PageSizes, BPlusModel, ::testing::Values(256u, 512u, 4096u));

TEST(BPlusBulk, BulkBuiltTreeEqualsTreeBuiltByInserts) {
  const uint32_t pageSize = 256;
  TRandomPayloads random(pageSize, 77);
  std::set<std::string> sorted;
  while (sorted.size() < 1500) sorted.insert(random.Next());
  // Two sorted runs, as a large build delivers them, and a repeated item.
  std::vector<std::string> delivered(sorted.begin(), sorted.end());
  std::vector<std::string> secondRun;
  for (size_t i = 0; i < delivered.size(); i += 3) secondRun.push_back(delivered[i]);
  std::vector<std::string> firstRun;
  for (size_t i = 0; i < delivered.size(); ++i)
    if (i % 3 != 0) firstRun.push_back(delivered[i]);

  struct Case {
    const char* FLabel;
    std::vector<std::vector<std::string>> FRuns;
  } cases[] = {
      {"one sorted run", {delivered}},
      {"two sorted runs", {firstRun, secondRun}},
  };
  for (const Case& c : cases) {
    TPayloadTree bulk(pageSize);
    TPayloadTree inserted(pageSize);
    TTdbBPlusBulkBuilder builder(bulk.FTree);
    for (const auto& run : c.FRuns)
      for (const std::string& payload : run) {
        const std::vector<uint8_t> item = ItemBuffer(payload, bulk.FWindow);
        EXPECT_TRUE(builder.Add(item.data(), static_cast<uint32_t>(test::kItemLengthSize + payload.size())));
        EXPECT_TRUE(inserted.Insert(payload));
      }
    const std::vector<uint8_t> repeated = ItemBuffer(delivered[5], bulk.FWindow);
    EXPECT_FALSE(builder.Add(repeated.data(), static_cast<uint32_t>(test::kItemLengthSize + delivered[5].size())))
        << c.FLabel;
    builder.Finish();

    ExpectAgrees(bulk, sorted, c.FLabel);
    EXPECT_EQ(bulk.ScanForward(), inserted.ScanForward()) << c.FLabel;
    EXPECT_GE(bulk.FTree.Height(), 3) << c.FLabel;
    for (const std::string& probe : {delivered[0], delivered[700], delivered.back(), std::string("b")}) {
      const std::vector<uint8_t> item = ItemBuffer(probe, bulk.FWindow);
      EXPECT_EQ(bulk.FTree.CalcItemSequenceNo(item.data()), inserted.FTree.CalcItemSequenceNo(item.data()));
    }
    // The bulk-built tree takes further changes like any other.
    for (size_t i = 0; i < delivered.size(); i += 2) ASSERT_TRUE(bulk.Delete(delivered[i])) << c.FLabel;
    std::set<std::string> rest;
    for (size_t i = 1; i < delivered.size(); i += 2) rest.insert(delivered[i]);
    ExpectAgrees(bulk, rest, c.FLabel);
  }
}

}  // namespace
}  // namespace kestrel
