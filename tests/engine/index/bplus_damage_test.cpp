// Damaged B+ tree files: header fields, page layouts (counts, directory
// offsets, entry sizes), children and leaf links outside the file, cycles in
// the tree and the leaf chain, and random byte damage give error 91, never a
// crash or a hang (run under the sanitizers).
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "bplus_test_items.h"
#include "engine/base/engine_error.h"

namespace kestrel {
namespace {

using test::ItemBuffer;
using test::TPayloadTree;

constexpr uint32_t kPage = 256;
constexpr int kItems = 300;

std::string Payload(int n) { return std::to_string(10000 + n) + std::string(n % 37, 'k'); }

class DamagedBPlus : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < kItems; ++i) ASSERT_TRUE(FGood.Insert(Payload((i * 37) % kItems)));
    FGood.FTree.Flush();
    ASSERT_GE(FGood.FTree.Height(), 3);
  }

  uint8_t* Page(TTdbMemoryPageIo& storage, uint32_t pageNo) { return storage.Bytes().data() + pageNo * kPage; }
  TTdbBPlusPage ReadPage(uint32_t pageNo, bool leaf) {
    TTdbBPlusPage page(kPage);
    FGood.FStorage.ReadPage(pageNo, page.Data());
    page.SetLeaf(leaf);
    return page;
  }
  uint32_t Root() const { return FGood.FTree.RootPage(); }
  // The first leaf, reached through left-most children.
  uint32_t FirstLeaf() {
    uint32_t pageNo = Root();
    for (int level = 1; level < FGood.FTree.Height(); ++level) pageNo = ReadPage(pageNo, false).Child(0);
    return pageNo;
  }

  // Opens a damaged copy and runs every operation, each of which may fail
  // only with error 91 (4 for an insert refused). Returns the error of the
  // open (0 when it opened) and, in `firstOpError`, the first error of the
  // operations.
  int Exercise(TTdbMemoryPageIo& storage, int& firstOpError) {
    firstOpError = 0;
    const uint32_t window = FGood.FWindow;
    TTdbBPlusTree tree(storage, kBPlusIndexHeaderOffset, test::PayloadCompare(window), window, "PROBA");
    try {
      tree.Open();
    } catch (const ETdbEngine& error) {
      return error.Number();
    }
    auto attempt = [&firstOpError](const std::function<void()>& operation) {
      try {
        operation();
      } catch (const ETdbEngine& error) {
        EXPECT_EQ(error.Number(), tdbErrReadIndex);
        if (firstOpError == 0) firstOpError = error.Number();
      }
    };
    auto padded = [window](std::vector<uint8_t> item) {
      item.resize(item.size() + window, 0);
      return item;
    };
    attempt([&] {
      std::vector<uint8_t> item;
      int steps = 0;
      for (int r = tree.FindFirst(item); r == ttrFound && steps < 10 * kItems;
           r = tree.FindNext(padded(item).data(), item))
        ++steps;
    });
    attempt([&] {
      std::vector<uint8_t> item;
      int steps = 0;
      for (int r = tree.FindLast(item); r == ttrFound && steps < 10 * kItems;
           r = tree.FindPrev(padded(item).data(), item))
        ++steps;
    });
    attempt([&] {
      int64_t count = 0;
      int64_t wrong = 0;
      tree.Check(count, wrong);
    });
    for (int n : {0, 150, 299, 1000}) {
      const std::vector<uint8_t> item = ItemBuffer(Payload(n), window);
      const uint32_t size = static_cast<uint32_t>(test::kItemLengthSize + Payload(n).size());
      attempt([&] {
        std::vector<uint8_t> found;
        tree.Find(item.data(), found);
      });
      attempt([&] { tree.CalcItemSequenceNo(item.data()); });
      attempt([&] { tree.Delete(item.data()); });
      attempt([&] { tree.Insert(item.data(), size); });
      attempt([&] { tree.Insert(ItemBuffer(Payload(n) + "x", window).data(), size + 1); });
    }
    attempt([&] { tree.Flush(); });
    return 0;
  }

  TPayloadTree FGood{kPage};
};

TEST_F(DamagedBPlus, UndamagedFilePassesEveryOperation) {
  TTdbMemoryPageIo copy = FGood.FStorage;
  int opError = -1;
  EXPECT_EQ(Exercise(copy, opError), 0);
  EXPECT_EQ(opError, 0);
}

TEST_F(DamagedBPlus, DamagedHeadersAreRefusedOnOpen) {
  const uint32_t pages = FGood.FTree.PageCount();
  struct Case {
    const char* FLabel;
    uint32_t FField;
    uint32_t FValue;
    int FWidth;
  } cases[] = {
      {"page size too small", kBPlusHdrPageSize, 100, 4},
      {"page size too large", kBPlusHdrPageSize, 0x7FFFFFFF, 4},
      {"page size not the file's", kBPlusHdrPageSize, 512, 4},
      {"page count beyond the file", kBPlusHdrPageCount, pages + 1, 4},
      {"page count 0", kBPlusHdrPageCount, 0, 4},
      {"height beyond the limit", kBPlusHdrHeight, 1000, 2},
      {"height beyond the pages", kBPlusHdrHeight, static_cast<uint32_t>(pages), 2},
      {"root 0", kBPlusHdrRoot, 0, 4},
      {"root outside the file", kBPlusHdrRoot, pages, 4},
      {"free list outside the file", kBPlusHdrFirstFree, pages + 5, 4},
  };
  for (const Case& c : cases) {
    TTdbMemoryPageIo copy = FGood.FStorage;
    uint8_t* field = Page(copy, 0) + kBPlusIndexHeaderOffset + c.FField;
    if (c.FWidth == 4)
      WriteLeU32(field, c.FValue);
    else
      WriteLeU16(field, static_cast<uint16_t>(c.FValue));
    int opError = 0;
    EXPECT_EQ(Exercise(copy, opError), tdbErrReadIndex) << c.FLabel;
  }
  TTdbMemoryPageIo empty(kPage);
  int opError = 0;
  EXPECT_EQ(Exercise(empty, opError), tdbErrReadIndex) << "empty file";
}

TEST_F(DamagedBPlus, DamagedPagesGiveReadErrors) {
  const uint32_t root = Root();
  const uint32_t firstLeaf = FirstLeaf();
  const TTdbBPlusPage leaf = ReadPage(firstLeaf, true);
  const uint32_t secondLeaf = leaf.Next();
  const uint32_t slot1 = kPage - kBPlusCountSize - kBPlusSlotSize;  // end of entry 1
  const uint32_t slot2 = slot1 - kBPlusSlotSize;
  struct Case {
    const char* FLabel;
    uint32_t FPageNo;
    std::function<void(uint8_t*)> FDamage;
    bool FMustFail = true;  // else the damage may also go unnoticed
  } cases[] = {
      {"entry count beyond the page", firstLeaf, [](uint8_t* p) { WriteLeU16(p + kPage - 2, 200); }},
      {"entry count reaching into the entries", root, [](uint8_t* p) { WriteLeU16(p + kPage - 2, 100); }},
      {"end offset before the item offset", firstLeaf, [&](uint8_t* p) { WriteLeU16(p + slot1, 3); }},
      {"end offsets falling", firstLeaf, [&](uint8_t* p) { WriteLeU16(p + slot2, ReadLeU16(p + slot1) - 1); }},
      {"end offset inside the directory", firstLeaf, [&](uint8_t* p) { WriteLeU16(p + slot1, kPage - 3); }},
      {"end offset beyond the page", firstLeaf, [&](uint8_t* p) { WriteLeU16(p + slot1, 0xFFFF); }},
      {"inner entry without a key", root, [&](uint8_t* p) { WriteLeU16(p + slot1, kBPlusInnerItemOffset + 4); }},
      {"left-most child outside the file", root, [](uint8_t* p) { WriteLeU32(p, 0x7FFFFFF0); }},
      {"left-most child 0", root, [](uint8_t* p) { WriteLeU32(p, 0); }},
      {"child is the page itself", root, [&](uint8_t* p) { WriteLeU32(p, root); }},
      {"child is the root", ReadPage(root, false).Child(0), [&](uint8_t* p) { WriteLeU32(p, root); }},
      {"child stored in an entry outside the file", root,
       [&](uint8_t* p) { WriteLeU32(p + ReadLeU16(p + slot1) - 4, 0xFFFFFFFF); }},
      {"next leaf outside the file", firstLeaf, [](uint8_t* p) { WriteLeU32(p + kBPlusLeafNext, 0x10000); }},
      {"leaf chain in a circle", secondLeaf, [&](uint8_t* p) { WriteLeU32(p + kBPlusLeafNext, firstLeaf); }},
      {"leaf chain back to itself", firstLeaf, [&](uint8_t* p) { WriteLeU32(p + kBPlusLeafPrev, secondLeaf); }},
      {"string length beyond the item", firstLeaf, [](uint8_t* p) { WriteLeU16(p + kBPlusLeafItemOffset, 0xFFFF); },
       false},
      {"page overwritten", firstLeaf, [](uint8_t* p) { std::memset(p, 0xFF, kPage); }},
  };
  for (const Case& c : cases) {
    TTdbMemoryPageIo copy = FGood.FStorage;
    c.FDamage(Page(copy, c.FPageNo));
    int opError = 0;
    const int openError = Exercise(copy, opError);
    EXPECT_EQ(openError, 0) << c.FLabel;
    if (c.FMustFail) {
      EXPECT_EQ(opError, tdbErrReadIndex) << c.FLabel;
    }
  }
}

TEST_F(DamagedBPlus, FreeListInACircleIsFoundByCheck) {
  // Free a few pages by deleting, then close the list on itself.
  for (int i = 0; i < kItems / 2; ++i) ASSERT_TRUE(FGood.Delete(Payload(i)));
  ASSERT_NE(FGood.FTree.FirstFreePage(), 0u);
  FGood.FTree.Flush();
  TTdbMemoryPageIo copy = FGood.FStorage;
  const uint32_t head = FGood.FTree.FirstFreePage();
  WriteLeU32(Page(copy, head), head);
  int opError = 0;
  EXPECT_EQ(Exercise(copy, opError), 0);
  EXPECT_EQ(opError, tdbErrReadIndex);
}

TEST_F(DamagedBPlus, RandomDamageNeverCrashes) {
  std::mt19937 random(4711);
  const size_t bytes = FGood.FStorage.Bytes().size();
  for (int round = 0; round < 300; ++round) {
    TTdbMemoryPageIo copy = FGood.FStorage;
    const int flips = std::uniform_int_distribution<int>(1, 12)(random);
    for (int f = 0; f < flips; ++f) {
      const size_t at = std::uniform_int_distribution<size_t>(0, bytes - 1)(random);
      copy.Bytes()[at] = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(random));
    }
    int opError = 0;
    const int openError = Exercise(copy, opError);
    EXPECT_TRUE(openError == 0 || openError == tdbErrReadIndex) << "round " << round;
  }
}

}  // namespace
}  // namespace kestrel
