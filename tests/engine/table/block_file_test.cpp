// TTdbBlockedBinaryFile's allocator against a model: random memo and blob
// writes, rewrites and frees, flushes with failing writes, undo and crashes.
// After every step every value reads back as the model says, and the blocks
// of the values and of the free list together are exactly 1..last block,
// each used once.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "block_file_fixture.h"

namespace kestrel {
namespace {

// Blocks of a value or the free list, read from the raw file image.
std::vector<std::int32_t> Chain(const std::string& raw, int blockSize, std::int32_t first,
                                std::int32_t stopAt) {
  std::vector<std::int32_t> blocks;
  for (std::int32_t b = first; b != kEndOfChain && b != stopAt && blocks.size() < 100000;) {
    blocks.push_back(b);
    std::uint32_t link = 0;
    for (int i = 0; i < 4; ++i)
      link |= std::uint32_t(std::uint8_t(raw[b * blockSize + i])) << (8 * i);
    b = static_cast<std::int32_t>(link);
  }
  return blocks;
}

struct Kind {
  bool FMemo;
  int FBlockSize;
};

class BlockFileModelTest : public BlockFileTest, public ::testing::WithParamInterface<Kind> {};

TEST_P(BlockFileModelTest, AllocatorMatchesTheModel) {
  const bool memo = GetParam().FMemo;
  const std::string name = memo ? "t.mmo" : "t.blb";
  std::unique_ptr<TTdbBlockedBinaryFile> file;
  auto open = [&](bool create) {
    if (memo) {
      file = create ? NewMemo() : OpenMemo();
    } else {
      file = create ? NewBlob(GetParam().FBlockSize) : OpenBlob();
    }
  };
  auto write = [&](std::int32_t old, const std::string& value) {
    return memo ? static_cast<TTdbMemoFile&>(*file).WriteString(old, value)
                : static_cast<TTdbBlobFile&>(*file).WriteString(old, value);
  };
  auto read = [&](std::int32_t first) {
    return memo ? static_cast<TTdbMemoFile&>(*file).ReadString(first)
                : static_cast<TTdbBlobFile&>(*file).ReadString(first);
  };
  open(true);
  file->Flush();
  file->UpdateDir();

  std::mt19937 rng(777);
  auto below = [&](std::uint32_t n) { return n == 0 ? 0u : rng() % n; };
  std::map<std::int32_t, std::string> model, flushed, synced;  // first block -> value
  int failures = 0, crashes = 0;
  for (int step = 0; step < 1200; ++step) {
    const std::uint32_t op = below(100);
    if (op < 60) {  // write a new value or rewrite one
      std::string value(below(3 * static_cast<std::uint32_t>(file->GetBlockSize())), '\0');
      for (char& ch : value) ch = static_cast<char>('a' + below(26));  // text: no 0, 13 or 26
      std::int32_t old = 0;
      if (!model.empty() && below(2)) {
        auto it = model.begin();
        std::advance(it, below(static_cast<std::uint32_t>(model.size())));
        old = it->first;
        model.erase(it);
      }
      const std::int32_t first = write(old, value);
      if (first != 0) {
        ASSERT_EQ(model.count(first), 0u) << "step " << step;
        model[first] = value;
      }
    } else if (op < 72 && !model.empty()) {  // free a value (record deleted)
      auto it = model.begin();
      std::advance(it, below(static_cast<std::uint32_t>(model.size())));
      file->FreeValue(it->first);
      model.erase(it);
    } else if (op < 84) {
      if (below(2)) FFs.FailNthWrite(1 + below(2));
      try {
        file->Flush();
      } catch (const ETdbEngine& e) {
        ASSERT_EQ(e.Number(), tdbErrWriteFile);
        ++failures;
        FFs.Disarm();
        file->Flush();
      }
      FFs.Disarm();
      flushed = model;
    } else if (op < 90) {
      file->Undo();
      model = flushed;
    } else if (op < 96) {
      file->UpdateDir();
      synced = flushed;
    } else {
      FFs.Crash();
      file.reset();
      FFs.Disarm();
      open(false);
      model = flushed = synced;
      ++crashes;
    }

    ASSERT_FALSE(file->IsDamaged()) << "step " << step;
    for (const auto& [first, value] : model) ASSERT_EQ(read(first), value) << "step " << step;
    // Partition of the blocks, checked on the flushed image.
    if (op >= 72 && op < 84) {
      const std::string raw = Raw(name);
      const int blockSize = file->GetBlockSize();
      const std::int32_t lastBlock = file->GetLastBlock();
      std::multiset<std::int32_t> seen;
      for (const auto& [first, value] : model)
        for (std::int32_t b : Chain(raw, blockSize, first, -2)) seen.insert(b);
      for (std::int32_t b : Chain(raw, blockSize, file->GetNextBlock(), lastBlock + 1))
        seen.insert(b);
      ASSERT_EQ(seen.size(), static_cast<std::size_t>(lastBlock)) << "step " << step;
      std::int32_t expected = 1;
      for (std::int32_t b : seen) ASSERT_EQ(b, expected++) << "step " << step;
    }
  }
  EXPECT_GT(failures, 0);
  EXPECT_GT(crashes, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, BlockFileModelTest,
                         ::testing::Values(Kind{true, kMemoBlockSize}, Kind{false, 512},
                                           Kind{false, 100}),
                         [](const auto& info) {
                           return std::string(info.param.FMemo ? "Memo" : "Blob") +
                                  std::to_string(info.param.FBlockSize);
                         });

}  // namespace
}  // namespace kestrel
