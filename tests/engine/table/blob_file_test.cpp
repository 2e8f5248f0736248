// TTdbBlobFile: block counts by size, type markers, block sizes from the
// header, encrypted blocks, and sizes or chains that do not fit (error 113).
#include <gtest/gtest.h>

#include "block_file_fixture.h"
#include "test_encryption.h"

namespace kestrel {
namespace {

using BlobFileTest = BlockFileTest;

std::string Bytes(std::size_t size, int seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 13);
  return bytes;
}

TEST_F(BlobFileTest, SizesAndTheirBlocks) {
  auto blob = NewBlob(512);
  struct Case {
    std::size_t size;
    std::int32_t blocks;
  } cases[] = {{1, 1}, {504, 1}, {505, 2}, {504 + 508, 2}, {504 + 508 + 1, 3}, {5000, 10}};
  for (const Case& c : cases) {
    const std::int32_t last = blob->GetLastBlock();
    const std::string value = Bytes(c.size, static_cast<int>(c.size));
    const std::int32_t first = blob->WriteString(0, value);
    EXPECT_EQ(blob->GetLastBlock() - last, c.blocks) << c.size;
    EXPECT_EQ(blob->ReadString(first), value) << c.size;
    EXPECT_EQ(blob->CalcBlobLength(first), static_cast<std::int64_t>(c.size));
  }
  EXPECT_EQ(blob->WriteData(0, nullptr, 0), 0);
  EXPECT_EQ(blob->ReadString(0), "");
}

TEST_F(BlobFileTest, TypeMarker) {
  auto blob = NewBlob(512);
  EXPECT_EQ(blob->ReadBlobType(blob->WriteString(0, std::string("\x01\x02rest", 6))), 0x0201);
  EXPECT_EQ(blob->ReadBlobType(blob->WriteString(0, "x")), 0);
  EXPECT_EQ(blob->ReadBlobType(0), 0);
}

TEST_F(BlobFileTest, BlockSizeComesFromTheHeader) {
  {
    auto blob = NewBlob(1024);
    blob->WriteString(0, Bytes(3000, 1));
    blob->Close();
  }
  EXPECT_EQ(Int32At(Raw("t.blb"), kBlockFileBlockSizeOffset), 1024);
  auto blob = OpenBlob();
  EXPECT_EQ(blob->GetBlockSize(), 1024);
  EXPECT_EQ(blob->ReadString(1), Bytes(3000, 1));
  blob->Close();
  Patch("t.blb", kBlockFileBlockSizeOffset, 0);  // 0 reads as 4096
  EXPECT_EQ(OpenBlob()->GetBlockSize(), 4096);
}

TEST_F(BlobFileTest, BadBlockSizesAreDamage) {
  for (std::int32_t blockSize : {-1, 8, 11, 65769}) {
    NewBlob(512)->Close();
    Patch("t.blb", kBlockFileBlockSizeOffset, blockSize);
    auto blob = OpenBlob();
    EXPECT_TRUE(blob->IsDamaged()) << blockSize;
    EXPECT_EQ(ErrorOf([&] { blob->ReadString(1); }), tdbErrBlobDamaged) << blockSize;
    EXPECT_EQ(ErrorOf([&] { blob->WriteString(0, "x"); }), tdbErrBlobDamaged) << blockSize;
  }
  EXPECT_EQ(ErrorOf([&] { NewBlob(8); }), tdbErrInvalidParameter);
}

TEST_F(BlobFileTest, DamagedValuesGiveError113) {
  struct Case {
    const char* what;
    std::int64_t pos;  // in the 3-block value 1..3 of 512-byte blocks
    std::int32_t value;
    bool linksBroken;  // freeing the value (by its links) fails too
  } cases[] = {
      {"size larger than the file", 512 + kBlobSizeOffset, 100000, false},
      {"negative size", 512 + kBlobSizeOffset, -5, false},
      {"size larger than the chain", 512 + kBlobSizeOffset, 1600, false},  // chain ends early
      {"link beyond the file", 2 * 512, 9, true},
      {"cycle", 2 * 512, 1, true},
  };
  for (const Case& c : cases) {
    {
      auto blob = NewBlob(512);
      ASSERT_EQ(blob->WriteString(0, Bytes(1200, 3)), 1);
      blob->WriteString(0, "tail");  // block 4, so that the file has room
      blob->Close();
    }
    Patch("t.blb", c.pos, c.value);
    const std::string before = Raw("t.blb");
    auto blob = OpenBlob();
    EXPECT_EQ(ErrorOf([&] { blob->ReadString(1); }), tdbErrBlobDamaged) << c.what;
    EXPECT_EQ(ErrorOf([&] { blob->CalcBlobLength(1); }),
              c.value == 1600 || c.linksBroken ? 0 : tdbErrBlobDamaged)
        << c.what;
    EXPECT_EQ(blob->ReadString(4), "tail") << c.what;
    if (c.linksBroken) {
      blob->Close();
      blob = OpenBlob();  // not yet known as damaged: the free meets the broken link
      EXPECT_EQ(ErrorOf([&] { blob->WriteString(1, "new"); }), tdbErrBlobDamaged) << c.what;
    }
    blob->Close();
    EXPECT_TRUE(Raw("t.blb") == before) << c.what;  // reading changed nothing
  }
}

TEST_F(BlobFileTest, OlderLevelsFreeByTheStoredSize) {
  auto blob = NewBlob(512);
  blob->SetVersion(3);
  const std::int32_t first = blob->WriteString(0, Bytes(1500, 1));
  blob->FreeValue(first);
  EXPECT_EQ(blob->GetNextBlock(), first);
  EXPECT_EQ(blob->WriteString(0, Bytes(1500, 2)), first);
  EXPECT_EQ(blob->GetLastBlock(), 3);
}

TEST_F(BlobFileTest, BlocksAreEncryptedButNotTheHeader) {
  TdwCryptor cryptor;
  cryptor.SetEncryption(std::make_unique<test::TAddOneEncryption>());
  auto blob = std::make_unique<TTdbBlobFile>(Storage("e.blb"), cryptor, "Vnd03");
  blob->NewFile(512);
  const std::string value = Bytes(700, 9);
  const std::int32_t first = blob->WriteString(0, value);
  blob->Flush();
  const std::string raw = Raw("e.blb");
  EXPECT_EQ(Int32At(raw, kBlockFileLastBlockOffset), 2);
  EXPECT_EQ(Int32At(raw, 512 + kBlobSizeOffset), 700 + 0x01010101);  // every byte plus one
  EXPECT_EQ(blob->ReadString(first), value);
}

}  // namespace
}  // namespace kestrel
