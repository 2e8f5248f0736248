// Damaged index files through the kestrel tool: a walk over a damaged index
// (B-tree of the level-5 demo table, B+ tree of a level-6 table) fails with
// the damaged-index error naming the file and never answers short or hangs;
// reindex mends every case whose definition is still readable, and
// drop-index removes an index whatever its file holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/index/bplus_format.h"
#include "engine/index/btree_format.h"
#include "engine/index/key_value_codec.h"
#include "temp_dir.h"
#include "tool_runner.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAllNames = "MEGNEV >= 'A'";
constexpr const char* kDamaged = "is corrupt and must be deleted";

uint8_t* Bytes(std::string& file, std::size_t offset) { return reinterpret_cast<uint8_t*>(file.data() + offset); }

class IndexDamage : public testing::Test {
 protected:
  TToolRun Kestrel(const std::vector<std::string>& args) { return RunKestrel(args, FDir); }
  std::string Table() const { return (FDir / "Vnd03").string(); }
  fs::path IndexFile(const std::string& index) const {
    return FDir / ("Vnd03!" + index + (FLevel6 ? ".tdbi" : ".ind"));
  }
  void MakeLevel5() { ASSERT_EQ(Kestrel({"demo", FDir.string()}).Status, 0); }
  void MakeLevel6() {
    FLevel6 = true;
    ASSERT_EQ(Kestrel({"create", Table(), "--level", "6", "--column", "KOD String(10) NOT NULL", "--column",
                       "MEGNEV String(40) NOT NULL", "--column", "LEIRAS Memo", "--index", "KOD:KOD:unique",
                       "--index", "INDMN:MEGNEV"})
                  .Status,
              0);
    std::ofstream(FDir / "in.csv", std::ios::binary) << Slurp(fs::path(VENDRIK_SOURCE_DIR) / "demo" / "vnd03.csv");
    ASSERT_EQ(Kestrel({"import", Table(), (FDir / "in.csv").string()}).Status, 0);
  }
  void Damage(const std::string& index, const std::function<void(std::string&)>& damage) {
    std::string file = Slurp(IndexFile(index));
    damage(file);
    std::ofstream(IndexFile(index), std::ios::binary | std::ios::trunc) << file;
  }
  // The index gives the damaged-index error naming its file on a walk in
  // its order and on a filter over it; never a short answer with exit 0.
  void ExpectDamaged(const std::string& index) {
    const std::string name = IndexFile(index).filename().string();
    TToolRun run = Kestrel({"export", Table(), "--index", index});
    EXPECT_EQ(run.Status, 1) << run.Out.size();
    EXPECT_NE(run.Err.find(kDamaged), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find(name), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("kestrel reindex"), std::string::npos) << run.Err;
    run = Kestrel({"count", Table(), "--filter", kAllNames});
    if (run.Status == 0) {
      EXPECT_EQ(run.Out, "498\n") << "a filter may pass over an index it cannot open";
    }
  }
  void ExpectSound() {
    TToolRun run = Kestrel({"check", Table()});
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    run = Kestrel({"export", Table(), "--index", "INDMN"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n') > 498, true);
    run = Kestrel({"count", Table(), "--filter", kAllNames});
    EXPECT_EQ(run.Out, "498\n") << run.Err;
  }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
  bool FLevel6 = false;
};

// B-tree pages (version 5): page size in the header, leaves are the pages
// without a left-most child.
uint32_t BTreePageSize(std::string& file) { return ReadLeU32(Bytes(file, kHdrPageSize)); }
// The first (or last) leaf holding more than two items: its offset.
std::size_t BTreeLeaf(std::string& file, bool last = false) {
  const uint32_t size = BTreePageSize(file);
  std::size_t found = 0;
  for (std::size_t page = 1; (page + 1) * size <= file.size(); ++page)
    if (ReadLeU32(Bytes(file, page * size + kPageLeftChild)) == 0 &&
        ReadLeU16(Bytes(file, page * size + kPageEntryCount)) > 2) {
      found = page * size;
      if (!last) break;
    }
  EXPECT_NE(found, 0u) << "no leaf";
  return found;
}

// Swaps the items (not the children) of two entries.
void SwapItems(std::string& file, std::size_t x, std::size_t y) {
  const uint32_t entry = ReadLeU16(Bytes(file, kHdrEntrySize));
  const uint32_t item = ReadLeU16(Bytes(file, kHdrKeySize));
  x += entry - item;
  y += entry - item;
  for (uint32_t i = 0; i < item; ++i) std::swap(file[x + i], file[y + i]);
}

TEST_F(IndexDamage, DamagedBTreePagesAreFoundAndReindexMendsThem) {
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"zeroed leaf",
       [](std::string& f) {
         std::fill_n(f.begin() + static_cast<std::ptrdiff_t>(BTreeLeaf(f)), BTreePageSize(f), '\0');
       }},
      {"swapped keys in a leaf",
       [](std::string& f) {
         const std::size_t leaf = BTreeLeaf(f) + kPageFirstEntry;
         SwapItems(f, leaf, leaf + ReadLeU16(Bytes(f, kHdrEntrySize)));
       }},
      {"keys swapped across the tree",
       [](std::string& f) { SwapItems(f, BTreeLeaf(f) + kPageFirstEntry, BTreeLeaf(f, true) + kPageFirstEntry); }},
      {"cut file", [](std::string& f) { f.resize(f.size() / 2); }},
      // The item count opens the description in the header page.
      {"item count", [](std::string& f) { WriteLeU32(Bytes(f, kHdrUserArea), 456); }},
  };
  MakeLevel5();
  const std::string good = Slurp(IndexFile("INDMN"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(IndexFile("INDMN"), std::ios::binary | std::ios::trunc) << good;
    Damage("INDMN", c.damage);
    ExpectDamaged("INDMN");
    TToolRun run = Kestrel({"reindex", Table(), "INDMN"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    ExpectSound();
  }
}

TEST_F(IndexDamage, DuplicatedBPlusPageEndsTheWalk) {
  MakeLevel6();
  Damage("INDMN", [](std::string& f) {
    const uint8_t* header = Bytes(f, kBPlusIndexHeaderOffset);
    const uint32_t size = ReadLeU32(header + kBPlusHdrPageSize);
    ASSERT_GE(ReadLeU16(header + kBPlusHdrHeight), 2);
    uint8_t* root = Bytes(f, ReadLeU32(header + kBPlusHdrRoot) * std::size_t{size});
    // The child of the root's first separator becomes its left-most child:
    // one page is reached twice, another not at all.
    const uint32_t end1 = ReadLeU16(root + size - kBPlusCountSize - kBPlusSlotSize);
    WriteLeU32(root + end1 - kBPlusChildSize, ReadLeU32(root + kBPlusLeftChild));
  });
  ExpectDamaged("INDMN");
  EXPECT_EQ(Kestrel({"export", Table(), "--index", "INDMN", "--reverse"}).Status, 1);
  EXPECT_EQ(Kestrel({"reindex", Table()}).Status, 0);
  ExpectSound();
}

TEST_F(IndexDamage, ZeroedHeaderPageIsDroppedNotGuessed) {
  MakeLevel5();
  Damage("INDMN", [](std::string& f) { std::fill_n(f.begin(), kProvisionalIndexPageSize, '\0'); });
  ExpectDamaged("INDMN");
  TToolRun run = Kestrel({"reindex", Table(), "INDMN"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("drop the index and create it again"), std::string::npos) << run.Err;
  run = Kestrel({"drop-index", Table(), "INDMN"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_FALSE(fs::exists(IndexFile("INDMN")));
  EXPECT_EQ(Kestrel({"check", Table()}).Status, 0);
  run = Kestrel({"export", Table(), "--index", "INDMN"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(Kestrel({"count", Table(), "--filter", kAllNames}).Out, "498\n");
}

TEST_F(IndexDamage, DropIndexRefusals) {
  MakeLevel5();
  const std::string kod = Slurp(IndexFile("KOD"));
  struct Case {
    const char* what;
    std::vector<std::string> args;
  } cases[] = {
      {"unknown index", {"drop-index", Table(), "NOPE"}},
      {"missing table", {"drop-index", (FDir / "Nincs").string(), "KOD"}},
      {"no index named", {"drop-index", Table()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TToolRun run = Kestrel(c.args);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
  }
  EXPECT_EQ(Slurp(IndexFile("KOD")), kod);
  // A sound index is dropped too; the other stays usable.
  EXPECT_EQ(Kestrel({"drop-index", Table(), "KOD"}).Status, 0);
  EXPECT_FALSE(fs::exists(IndexFile("KOD")));
  ExpectSound();
}

}  // namespace
}  // namespace kestrel
