// The bytes of a container: a new one, the chains of a file as it grows and
// shrinks, the master chain growing past tile 0, and what the header of a
// foreign or newer file gets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/base/engine_error.h"
#include "engine/container/compound_file_intf.h"
#include "engine/container/compound_tools.h"
#include "engine/fs/os_file_system.h"
#include "temp_dir.h"

namespace kestrel {
namespace {

using test::ReadWholeFile;
using test::TTempDir;
using test::WriteWholeFile;

std::int32_t Int32At(const std::string& bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return INT32_MIN;
  return GetInt32(reinterpret_cast<const std::uint8_t*>(bytes.data() + at));
}

// The allocation table's entry of `tile`, found through the master chain.
std::int32_t FatEntry(const std::string& bytes, std::int32_t tile) {
  const std::int64_t at = kAllocationTableOffset + 4 * static_cast<std::int64_t>(tile);
  std::int32_t masterTile = 0;
  for (std::int64_t i = 0; i < at / kCompoundTileSize && masterTile >= 0; ++i) masterTile = FatEntry(bytes, masterTile);
  if (masterTile < 0) return INT32_MIN;
  return Int32At(bytes, static_cast<std::size_t>(masterTile) * kCompoundTileSize + at % kCompoundTileSize);
}

class CompoundFormatTest : public ::testing::Test {
 protected:
  TTempDir FDir;
  std::string FName = FDir.File("db.tdbd");

  std::unique_ptr<TdwCompoundFileIntf> NewContainer() {
    auto container = std::make_unique<TdwCompoundFileIntf>(FName);
    container->NewFile();
    container->Open();
    return container;
  }
  // Writes `size` bytes of `fill` as the whole content of `name`.
  static void WriteFile(TdwCompoundFileIntf& container, const std::string& name, std::int64_t size, char fill) {
    const TdwFileHandle handle = container.CreateFile(name);
    ASSERT_TRUE(IsValidHandle(handle));
    const std::string data(static_cast<std::size_t>(size), fill);
    ASSERT_EQ(container.FileWrite(handle, 0, data.data(), size), size);
    container.CloseFile(handle);
  }
  // The tiles of a contained file's chain, read from the container's bytes.
  std::vector<std::int32_t> ChainOf(const std::string& name) {
    const std::string bytes = ReadWholeFile(FName);
    const std::int32_t tileCount = Int32At(bytes, kHeaderTileCount);
    // Find the entry in the root directory (tile 1).
    const std::int32_t rootSize = Int32At(bytes, kHeaderRootSize);
    for (std::int32_t at = kCompoundTileSize; at < kCompoundTileSize + rootSize; at += kEntrySize) {
      if (std::string(bytes.c_str() + at) != name) continue;
      std::vector<std::int32_t> chain;
      for (std::int32_t tile = Int32At(bytes, at + kEntryFirstTile); tile >= 0 && chain.size() <= static_cast<std::size_t>(tileCount);
           tile = FatEntry(bytes, tile))
        chain.push_back(tile);
      return chain;
    }
    return {};
  }
  int Defects() {
    return CheckCompoundFile(std::make_shared<TdwOSFileSystem>(), FName, [](const std::string& owner, const std::string& message) {
      ADD_FAILURE() << owner << ": " << message;
    });
  }
};

TEST_F(CompoundFormatTest, NewContainerBytes) {
  NewContainer()->Close();
  const std::string bytes = ReadWholeFile(FName);
  ASSERT_EQ(bytes.size(), 8192u + 109u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x81\x75\xE4\x39", 4));
  struct Field {
    std::size_t at;
    std::int32_t value;
  } fields[] = {
      {kHeaderVersion, 1},          {kHeaderTileSize, 8192},        {kHeaderTileCount, 2},
      {kHeaderRootSize, 109},       {kHeaderFreeList, INT32_MIN},   {kHeaderChangeCounter, 0},
      {kAllocationTableOffset, -1}, {kAllocationTableOffset + 4, -1},
  };
  for (const Field& f : fields) EXPECT_EQ(Int32At(bytes, f.at), f.value) << "offset " << f.at;
  // Everything else of tile 0 up to the table, and the free entry, is zero
  // but the entry's first tile (-1).
  for (std::size_t at = kHeaderSize; at < kAllocationTableOffset; ++at) ASSERT_EQ(bytes[at], 0) << at;
  for (std::size_t at = 8192; at < 8192 + kEntryFirstTile; ++at) ASSERT_EQ(bytes[at], 0) << at;
  EXPECT_EQ(Int32At(bytes, 8192 + kEntryFirstTile), -1);

  TdwCompoundFileIntf container(FName);
  container.Open();
  TdwFindFileRec rec;
  EXPECT_NE(container.FindFirstFile("*", 0, rec), 0) << "an empty root";
  container.Close();
  EXPECT_EQ(Defects(), 0);
}

TEST_F(CompoundFormatTest, ChainsGrowAndShrink) {
  {
    auto container = NewContainer();
    WriteFile(*container, "a", 10000, 'a');
  }
  EXPECT_EQ(ChainOf("a"), (std::vector<std::int32_t>{2, 3}));
  EXPECT_EQ(Defects(), 0);

  struct Case {
    const char* what;
    bool fileAfter;  // a file "b" holds the tile after "a"'s chain
    std::int32_t freeList;
    std::int32_t tileCount;
  } cases[] = {
      {"the last tile leaves the container", false, INT32_MIN, 3},
      {"a tile before another file's goes to the free list", true, 3, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      auto container = NewContainer();
      WriteFile(*container, "a", 10000, 'a');
      if (c.fileAfter) WriteFile(*container, "b", 100, 'b');
      const TdwFileHandle handle = container->OpenFile("a", kFmOpenReadWrite | kFmShareDenyNone);
      ASSERT_TRUE(container->SetFileSize(handle, 100));
      container->CloseFile(handle);
    }
    const std::string bytes = ReadWholeFile(FName);
    EXPECT_EQ(Int32At(bytes, kHeaderFreeList), c.freeList);
    EXPECT_EQ(Int32At(bytes, kHeaderTileCount), c.tileCount);
    EXPECT_LE(bytes.size(), static_cast<std::size_t>(c.tileCount) * 8192);
    EXPECT_EQ(ChainOf("a"), (std::vector<std::int32_t>{2}));
    EXPECT_EQ(Defects(), 0);
    if (c.fileAfter) {
      // The freed tile is the next one a chain gets.
      auto container = std::make_unique<TdwCompoundFileIntf>(FName);
      container->Open();
      WriteFile(*container, "c", 5000, 'c');
      container->Close();
      EXPECT_EQ(ChainOf("c"), (std::vector<std::int32_t>{3}));
      EXPECT_EQ(Int32At(ReadWholeFile(FName), kHeaderFreeList), INT32_MIN);
    }
  }
}

TEST_F(CompoundFormatTest, MasterChainGrowsPastTileZero) {
  // Tile 0 holds the entries of 1792 tiles; a file of 2000 tiles needs a
  // second master tile, which is the tile count at the moment it is needed.
  constexpr std::int64_t kTiles = 2000;
  {
    auto container = NewContainer();
    WriteFile(*container, "big", kTiles * 8192, 'x');
  }
  const std::string bytes = ReadWholeFile(FName);
  const std::int32_t tileCount = Int32At(bytes, kHeaderTileCount);
  EXPECT_EQ(tileCount, 2 + kTiles + 1);
  const std::int32_t secondMaster = Int32At(bytes, kAllocationTableOffset);
  EXPECT_EQ(secondMaster, 1792) << "appended when the table outgrew tile 0";
  // The entry of tile 1792 is the first Int32 of the master's second tile.
  EXPECT_EQ(Int32At(bytes, std::size_t{1792} * 8192), -1);
  EXPECT_EQ(ChainOf("big").size(), static_cast<std::size_t>(kTiles));
  EXPECT_EQ(Defects(), 0);

  TdwCompoundFileIntf container(FName);
  container.Open();
  const TdwFileHandle handle = container.OpenFile("big", kFmOpenRead | kFmShareDenyNone);
  std::string tail(100, '\0');
  EXPECT_EQ(container.FileRead(handle, kTiles * 8192 - 50, tail.data(), 100), 50);
  EXPECT_EQ(tail.substr(0, 50), std::string(50, 'x'));
}

TEST_F(CompoundFormatTest, ForeignHeadersAreRefused) {
  std::string image = NewContainerImage();
  struct Case {
    std::size_t at;
    std::int32_t value;
    std::string message;
  } cases[] = {
      {kHeaderMagic, 0x12345678, "File " + FName + " is not a valid Orvane Compound file."},
      {kHeaderVersion, 2, "Do not support Orvane Compound file version 2 (" + FName + ")."},
  };
  for (const Case& c : cases) {
    std::string bytes = image;
    PutInt32(reinterpret_cast<std::uint8_t*>(bytes.data() + c.at), c.value);
    WriteWholeFile(FName, bytes);
    TdwCompoundFileIntf container(FName);
    try {
      container.Open();
      ADD_FAILURE() << "opened: " << c.message;
    } catch (const ETdbEngine& error) {
      EXPECT_NE(error.Message().find(c.message), std::string::npos) << error.Message();
    }
    EXPECT_EQ(ReadWholeFile(FName), bytes) << "nothing written";
  }
}

}  // namespace
}  // namespace kestrel
