// B+ tree scenarios: the item size limit, leaves that are left empty (a
// hand-built tree) and never reach a caller, merges that keep the leaf chain
// linked both ways, under-filled leaves that stay, and freed pages.
#include <gtest/gtest.h>

#include "bplus_test_items.h"
#include "engine/base/engine_error.h"

namespace kestrel {
namespace {

using test::ItemBuffer;
using test::ItemBytes;
using test::MaxPayload;
using test::TPayloadTree;

constexpr uint32_t kPage = 256;

TTdbBPlusPage ReadPage(TTdbMemoryPageIo& storage, uint32_t pageNo, bool leaf) {
  TTdbBPlusPage page(kPage);
  storage.ReadPage(pageNo, page.Data());
  page.SetLeaf(leaf);
  return page;
}

TEST(BPlusTree, ItemsTooLargeForThreeToAPageAreRefusedAndChangeNothing) {
  TPayloadTree tree(kPage);
  const std::string longest(MaxPayload(kPage), 'x');
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(tree.Insert(std::to_string(100 + i) + longest.substr(3)));
  ASSERT_TRUE(tree.Insert(longest));
  ASSERT_GE(tree.FTree.Height(), 3);
  const std::vector<uint8_t> before = tree.FStorage.Bytes();

  struct Case {
    const char* FLabel;
    uint32_t FSize;
  } cases[] = {{"one byte over the limit", BPlusMaxItemSize(kPage) + 1}, {"empty", 0}, {"page size", kPage}};
  const std::vector<uint8_t> big = ItemBuffer(std::string(kPage, 'y'), kPage + 8);
  for (const Case& c : cases) {
    try {
      tree.FTree.Insert(big.data(), c.FSize);
      ADD_FAILURE() << c.FLabel << ": accepted";
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), tdbErrIndexInsert) << c.FLabel;
    }
    EXPECT_EQ(tree.FStorage.Bytes(), before) << c.FLabel;
  }
  EXPECT_EQ(tree.FTree.ItemCount(), 41u);
}

// Writes a leaf or inner page of payloads; inner entries get the children
// after the left-most one.
void WritePage(TTdbMemoryPageIo& storage, uint32_t pageNo, bool leaf, const std::vector<std::string>& payloads,
               uint32_t first, const std::vector<uint32_t>& children = {}) {
  TTdbBPlusPage page(kPage);
  page.Initialize(leaf);
  std::vector<std::vector<uint8_t>> entries;
  for (size_t i = 0; i < payloads.size(); ++i) {
    std::vector<uint8_t> entry = ItemBytes(payloads[i]);
    if (!leaf) {
      entry.resize(entry.size() + kBPlusChildSize);
      WriteLeU32(entry.data() + entry.size() - kBPlusChildSize, children[i]);
    }
    entries.push_back(entry);
  }
  page.SetEntries(entries);
  WriteLeU32(page.Data(), first);  // previous leaf, or left-most child
  storage.WritePage(pageNo, page.Data());
}

void SetNextLeaf(TTdbMemoryPageIo& storage, uint32_t pageNo, uint32_t next) {
  WriteLeU32(storage.Bytes().data() + pageNo * kPage + kBPlusLeafNext, next);
}

// Height 3 with empty leaves at both ends and in the middle, each the only
// child of its parent (so no merge could remove it):
//   root 6: child 7 | "a" 8 | "d" 9 | "f" 10
//   7: leaf 5 (empty);  8: leaf 1 ("a", "b") | "c" leaf 2 (empty);
//   9: leaf 3 ("d", "e");  10: leaf 4 (empty)
// chained 5 - 1 - 2 - 3 - 4.
class EmptyLeaves : public ::testing::Test {
 protected:
  void SetUp() override {
    TTdbMemoryPageIo& storage = FTree.FStorage;
    WritePage(storage, 1, true, {"a", "b"}, 5);
    WritePage(storage, 2, true, {}, 1);
    WritePage(storage, 3, true, {"d", "e"}, 2);
    WritePage(storage, 4, true, {}, 3);
    WritePage(storage, 5, true, {}, 0);
    SetNextLeaf(storage, 5, 1);
    SetNextLeaf(storage, 1, 2);
    SetNextLeaf(storage, 2, 3);
    SetNextLeaf(storage, 3, 4);
    WritePage(storage, 6, false, {"a", "d", "f"}, 7, {8, 9, 10});
    WritePage(storage, 7, false, {}, 5);
    WritePage(storage, 8, false, {"c"}, 1, {2});
    WritePage(storage, 9, false, {}, 3);
    WritePage(storage, 10, false, {}, 4);
    uint8_t* header = storage.Bytes().data() + kBPlusIndexHeaderOffset;
    WriteLeU32(header + kBPlusHdrPageCount, 11);
    WriteLeU16(header + kBPlusHdrHeight, 3);
    WriteLeU32(header + kBPlusHdrRoot, 6);
    WriteLeU32(header + kBPlusHdrItemCount, 4);
    FTree.FTree.Open();
  }

  std::vector<uint8_t> Item(const std::string& payload) const { return ItemBuffer(payload, FTree.FWindow); }

  TPayloadTree FTree{kPage};
};

TEST_F(EmptyLeaves, SearchesAndStepsPassOverEmptyLeaves) {
  TTdbBPlusTree& tree = FTree.FTree;
  std::vector<uint8_t> found;
  EXPECT_EQ(FTree.ScanForward(), (std::vector<std::string>{"a", "b", "d", "e"}));
  EXPECT_EQ(FTree.ScanBackward(), (std::vector<std::string>{"a", "b", "d", "e"}));

  struct Case {
    const char* FSearch;
    int FResult;
    const char* FFound;
    int64_t FSequenceNo;
  } cases[] = {
      {"", ttrFound, "a", 1},                           // the search goes down to the empty first leaf
      {"bb", ttrFound, "d", 3},                         // past the end of a leaf, over an empty one
      {"c", ttrFound, "d", 3},                          // into the empty middle leaf
      {"e", ttrFound, "e", 4},  {"f", ttrNone, "", 5},  // into the empty last leaf
      {"zz", ttrNone, "", 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tree.Find(Item(c.FSearch).data(), found), c.FResult) << c.FSearch;
    if (c.FResult == ttrFound) {
      EXPECT_EQ(test::Payload(found), c.FFound) << c.FSearch;
    }
    EXPECT_EQ(tree.CalcItemSequenceNo(Item(c.FSearch).data()), c.FSequenceNo) << c.FSearch;
  }
  EXPECT_EQ(tree.FindNext(Item("b").data(), found), ttrFound);
  EXPECT_EQ(test::Payload(found), "d");
  EXPECT_EQ(tree.FindPrev(Item("d").data(), found), ttrFound);
  EXPECT_EQ(test::Payload(found), "b");
  EXPECT_EQ(tree.FindNext(Item("e").data(), found), ttrNone);
  EXPECT_EQ(tree.FindPrev(Item("a").data(), found), ttrNone);
  EXPECT_EQ(tree.FindNext(Item("c").data(), found), ttrNotInTree);

  int64_t count = 0;
  int64_t wrong = 0;
  tree.Check(count, wrong);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(wrong, 0);
}

TEST_F(EmptyLeaves, EmptyLeavesTakeItemsAndEmptiedLeavesStayHidden) {
  TTdbBPlusTree& tree = FTree.FTree;
  ASSERT_TRUE(FTree.Insert("c"));
  ASSERT_TRUE(FTree.Insert("g"));
  ASSERT_TRUE(FTree.Insert("0"));
  EXPECT_EQ(FTree.ScanForward(), (std::vector<std::string>{"0", "a", "b", "c", "d", "e", "g"}));
  for (const char* payload : {"d", "e", "0", "g"}) ASSERT_TRUE(FTree.Delete(payload)) << payload;
  EXPECT_EQ(FTree.ScanForward(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(FTree.ScanBackward(), (std::vector<std::string>{"a", "b", "c"}));
  for (const char* payload : {"a", "b", "c"}) ASSERT_TRUE(FTree.Delete(payload)) << payload;
  std::vector<uint8_t> found;
  EXPECT_EQ(tree.FindFirst(found), ttrNone);
  EXPECT_EQ(tree.FindLast(found), ttrNone);
  EXPECT_EQ(tree.Find(Item("").data(), found), ttrNone);
  EXPECT_EQ(tree.ItemCount(), 0u);
  int64_t count = 0;
  int64_t wrong = 0;
  tree.Check(count, wrong);
  EXPECT_EQ(count, 0);
}

// Items of one size, so the leaves' contents are easy to follow: with 256-byte
// pages a leaf holds 4 items of 50 bytes, an inner page 4 separators; ten
// items inserted in order make a tree of height 2. A variant sorts right
// after its item.
constexpr int kFixedItems = 10;
std::string Fixed(int n, char variant = '.') {
  std::string payload = std::to_string(1000 + n);
  payload.resize(47, '.');
  return payload + variant;
}

TEST(BPlusTree, LeafMergeRelinksTheNextLeaf) {
  TPayloadTree tree(kPage);
  for (int i = 0; i < kFixedItems; ++i) ASSERT_TRUE(tree.Insert(Fixed(i)));
  ASSERT_EQ(tree.FTree.Height(), 2);
  // Empty the second leaf from the left until it merges with its right
  // neighbour, whose next leaf must then point back to the merged page.
  std::vector<uint8_t> found;
  ASSERT_EQ(tree.FTree.FindFirst(found), ttrFound);
  const TTdbBPlusPage root = ReadPage(tree.FStorage, tree.FTree.RootPage(), false);
  const uint32_t second = root.Child(1);
  const TTdbBPlusPage before = ReadPage(tree.FStorage, second, true);
  const uint32_t pagesBefore = tree.FTree.PageCount();
  for (int e = 0; e < before.Count(); ++e) {
    std::vector<uint8_t> item(before.Entry(e), before.Entry(e) + before.EntrySize(e));
    ASSERT_TRUE(tree.FTree.Delete(tree.Padded(item).data()));
  }
  const TTdbBPlusPage rootAfter = ReadPage(tree.FStorage, tree.FTree.RootPage(), false);
  EXPECT_EQ(rootAfter.Count(), root.Count() - 1) << "no merge happened";
  const TTdbBPlusPage merged = ReadPage(tree.FStorage, rootAfter.Child(1), true);
  ASSERT_NE(merged.Next(), 0u);
  EXPECT_EQ(ReadPage(tree.FStorage, merged.Next(), true).Prev(), rootAfter.Child(1));
  EXPECT_TRUE(tree.FTree.FirstFreePage() != 0 || tree.FTree.PageCount() < pagesBefore) << "the page was not freed";

  std::vector<std::string> expected;
  for (int i = 0; i < kFixedItems; ++i) expected.push_back(Fixed(i));
  const int firstLeafCount = ReadPage(tree.FStorage, root.Child(0), true).Count();
  expected.erase(expected.begin() + firstLeafCount, expected.begin() + firstLeafCount + before.Count());
  EXPECT_EQ(tree.ScanForward(), expected);
  EXPECT_EQ(tree.ScanBackward(), expected);
  int64_t count = 0;
  int64_t wrong = 0;
  tree.FTree.Check(count, wrong);
  EXPECT_EQ(count, static_cast<int64_t>(expected.size()));
}

TEST(BPlusTree, UnderfilledLeafBetweenFullNeighboursStays) {
  TPayloadTree tree(kPage);
  // The neighbours of the second leaf are filled to 4 items; then the
  // second leaf keeps one item, and no merge fits.
  for (int i = 0; i < kFixedItems; ++i) ASSERT_TRUE(tree.Insert(Fixed(i)));
  const TTdbBPlusPage root = ReadPage(tree.FStorage, tree.FTree.RootPage(), false);
  ASSERT_GE(root.Count(), 2);
  const uint32_t middle = root.Child(1);
  for (int child : {0, 2}) {
    TTdbBPlusPage neighbour = ReadPage(tree.FStorage, root.Child(child), true);
    const std::string first =
        test::Payload(std::vector<uint8_t>(neighbour.Entry(0), neighbour.Entry(0) + neighbour.EntrySize(0)));
    for (char variant = 'a'; neighbour.Count() < 4; ++variant) {
      ASSERT_TRUE(tree.Insert(first.substr(0, 47) + variant));
      neighbour = ReadPage(tree.FStorage, root.Child(child), true);
    }
  }
  ASSERT_EQ(ReadPage(tree.FStorage, tree.FTree.RootPage(), false).Count(), root.Count());
  TTdbBPlusPage page = ReadPage(tree.FStorage, middle, true);
  std::vector<std::string> kept;
  while (page.Count() > 1) {
    std::vector<uint8_t> item(page.Entry(0), page.Entry(0) + page.EntrySize(0));
    ASSERT_TRUE(tree.FTree.Delete(tree.Padded(item).data()));
    page = ReadPage(tree.FStorage, middle, true);
  }
  EXPECT_LT(page.Fill(), kBPlusLeafMinFill);
  EXPECT_EQ(ReadPage(tree.FStorage, tree.FTree.RootPage(), false).Child(1), middle) << "the leaf was merged";
  int64_t count = 0;
  int64_t wrong = 0;
  tree.FTree.Check(count, wrong);
  EXPECT_EQ(wrong, 0);
  std::vector<uint8_t> item(page.Entry(0), page.Entry(0) + page.EntrySize(0));
  std::vector<uint8_t> found;
  EXPECT_EQ(tree.FTree.Find(tree.Padded(item).data(), found), ttrFound);
  EXPECT_EQ(found, item);
  EXPECT_EQ(tree.ScanForward().size(), static_cast<size_t>(count));
}

}  // namespace
}  // namespace kestrel
