// TTdbMemoFile: block counts, line breaks, reuse of freed blocks, limits,
// and damaged chains that must end in error 112 without hanging.
#include <gtest/gtest.h>

#include "block_file_fixture.h"

namespace kestrel {
namespace {

using MemoFileTest = BlockFileTest;

TEST_F(MemoFileTest, TextsAndTheirBlocks) {
  auto memo = NewMemo();
  struct Case {
    std::string text;
    std::int32_t blocks;  // blocks the value adds to the file
  } cases[] = {
      {std::string(251, 'a'), 1},
      {std::string(252, 'b'), 2},  // the terminator needs a block of its own
      {std::string(600, 'c'), 3},
  };
  for (const Case& c : cases) {
    const std::int32_t last = memo->GetLastBlock();
    const std::int32_t first = memo->WriteString(0, c.text);
    EXPECT_EQ(first, last + 1);
    EXPECT_EQ(memo->GetLastBlock() - last, c.blocks) << c.text.size();
    EXPECT_EQ(memo->ReadString(first), c.text);
    EXPECT_EQ(memo->CalcMemoLength(first), static_cast<std::int64_t>(c.text.size()));
  }
  EXPECT_EQ(memo->WriteString(0, ""), 0);
  EXPECT_EQ(memo->ReadString(0), "");
}

TEST_F(MemoFileTest, LineBreaksAreStoredAsOneByte) {
  auto memo = NewMemo();
  const std::int32_t first = memo->WriteString(0, "A\r\nB");
  memo->Flush();
  EXPECT_EQ(Raw("t.mmo").substr(first * kMemoBlockSize + 4, 4), std::string("A\rB\0", 4));
  EXPECT_EQ(memo->ReadMemo(first, -1, false), "A\r\nB");
  EXPECT_EQ(memo->ReadMemo(first, -1, true), "A B");
  EXPECT_EQ(memo->CalcMemoLength(first), 4);
  const std::int32_t other = memo->WriteString(0, "x\ny\rz\n\r");
  EXPECT_EQ(memo->ReadString(other), "x\r\ny\r\nz\r\n\r\n");
  EXPECT_EQ(memo->ReadMemo(other, 3, false), "x\r\n");
  EXPECT_EQ(memo->ReadMemo(other, 2, false), "x\r");
}

TEST_F(MemoFileTest, RewritingReusesTheFreedBlocks) {
  auto memo = NewMemo();
  const std::int32_t first = memo->WriteString(0, std::string(700, 'a'));
  const std::int32_t last = memo->GetLastBlock();
  EXPECT_EQ(memo->WriteString(first, "short"), first);
  EXPECT_EQ(memo->GetLastBlock(), last);
  EXPECT_EQ(memo->WriteString(0, std::string(400, 'b')), first + 1);  // from the free list
  EXPECT_EQ(memo->GetLastBlock(), last);
  memo->FreeValue(first);
  memo->Close();
  auto reopened = OpenMemo();
  EXPECT_EQ(reopened->GetNextBlock(), first);
  EXPECT_EQ(reopened->ReadString(first + 1), std::string(400, 'b'));
}

TEST_F(MemoFileTest, OlderLevelsFreeUpToTheTerminator) {
  auto memo = NewMemo();
  memo->SetVersion(4);
  const std::int32_t first = memo->WriteString(0, std::string(300, 'a'));
  memo->FreeValue(first);
  EXPECT_EQ(memo->GetNextBlock(), first);
  EXPECT_EQ(memo->WriteString(0, std::string(300, 'b')), first);
  EXPECT_EQ(memo->GetLastBlock(), 2);
}

TEST_F(MemoFileTest, DamagedChainsGiveError112) {
  struct Case {
    const char* what;
    std::int64_t patchBlock;  // block whose link is patched, of the 3-block value 1..3
    std::int32_t link;
  } cases[] = {
      {"link beyond the file", 1, 50},
      {"link to the header", 2, 0},
      {"cycle", 2, 1},
      {"end without terminator", 2, kEndOfChain},
  };
  for (const Case& c : cases) {
    {
      auto memo = NewMemo();
      ASSERT_EQ(memo->WriteString(0, std::string(600, 'x')), 1);
      memo->Close();
    }
    Patch("t.mmo", c.patchBlock * kMemoBlockSize, c.link);
    const std::string before = Raw("t.mmo");
    auto memo = OpenMemo();
    EXPECT_FALSE(memo->IsDamaged());
    EXPECT_EQ(ErrorOf([&] { memo->ReadString(1); }), tdbErrMemoDamaged) << c.what;
    EXPECT_EQ(ErrorOf([&] { memo->CalcMemoLength(1); }), tdbErrMemoDamaged) << c.what;
    EXPECT_TRUE(memo->IsDamaged());
    EXPECT_EQ(ErrorOf([&] { memo->WriteString(0, "new"); }), tdbErrMemoDamaged) << c.what;
    memo->Close();
    EXPECT_TRUE(Raw("t.mmo") == before) << c.what;  // nothing changed
  }
}

TEST_F(MemoFileTest, BrokenFreeListFailsTheNextWriteAndAppendsFromThenOn) {
  {
    auto memo = NewMemo();
    const std::int32_t first = memo->WriteString(0, std::string(600, 'x'));
    memo->WriteString(0, "keep");
    memo->FreeValue(first);  // free list: 1 -> 2 -> 3 -> 5 (no free block)
    memo->Close();
  }
  Patch("t.mmo", 2 * kMemoBlockSize, 77);  // the second free block points beyond the file
  auto memo = OpenMemo();
  EXPECT_EQ(ErrorOf([&] { memo->WriteString(0, std::string(600, 'y')); }), tdbErrMemoDamaged);
  EXPECT_TRUE(memo->IsDamaged());
  EXPECT_EQ(memo->GetNextBlock(), memo->GetLastBlock() + 1);
  EXPECT_EQ(memo->ReadString(4), "keep");  // reads go on
  memo->Undo();                            // the table object undoes the failed write
  EXPECT_EQ(memo->GetNextBlock(), 1);
  EXPECT_TRUE(memo->IsDamaged());  // writes stay refused
  EXPECT_EQ(ErrorOf([&] { memo->WriteString(0, "z"); }), tdbErrMemoDamaged);
}

TEST_F(MemoFileTest, HeaderThatDoesNotFitTheFileMarksItDamaged) {
  struct Case {
    std::int64_t pos;
    std::int32_t value;
  } cases[] = {{kBlockFileLastBlockOffset, 40},
               {kBlockFileLastBlockOffset, -2},
               {kBlockFileNextFreeOffset, 0}};
  for (const Case& c : cases) {
    NewMemo()->Close();
    Patch("t.mmo", c.pos, c.value);
    auto memo = OpenMemo();
    EXPECT_TRUE(memo->IsDamaged()) << c.pos << " " << c.value;
    EXPECT_EQ(ErrorOf([&] { memo->WriteString(0, "a"); }), tdbErrMemoDamaged);
    memo->Empty();  // a fresh, consistent file
    EXPECT_FALSE(memo->IsDamaged());
    EXPECT_EQ(memo->WriteString(0, "a"), 1);
  }
}

TEST_F(MemoFileTest, TooManyBlocksGiveError156) {
  NewMemo()->Close();
  Patch("t.mmo", kBlockFileNextFreeOffset, kMaxBlockNo + 1);
  auto memo = OpenMemo();
  EXPECT_EQ(ErrorOf([&] { memo->WriteString(0, "a"); }), tdbErrMemoBlobTooLarge);
}

TEST_F(MemoFileTest, MissingFileAndUnreadableHeader) {
  auto memo = std::make_unique<TTdbMemoFile>(Storage("none.mmo"), FCryptor, "Vnd03");
  EXPECT_THROW(memo->Open(false, false), ETdbPMStorageNotFound);
  NewMemo()->Close();
  auto again = std::make_unique<TTdbMemoFile>(Storage("t.mmo"), FCryptor, "Vnd03");
  FFs.FailNthRead(1);
  EXPECT_EQ(ErrorOf([&] { again->Open(false, false); }), tdbErrReadFile);
  EXPECT_FALSE(again->IsOpen());
}

}  // namespace
}  // namespace kestrel
