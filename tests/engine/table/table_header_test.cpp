// Table header codec: round trips at every level, encrypted headers and
// wrong keys, the record offset of levels 5–6, the byte source for headers
// longer than the first read, in-place positions and refusals on writing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/base/engine_error.h"
#include "engine/base/little_endian.h"
#include "engine/table/table_header.h"
#include "header_samples.h"

namespace kestrel {
namespace {

using test::AsRead;
using test::FixedRandom;
using test::SampleHeader;
using test::TXorCipher;

TTdbTableHeader Read(const std::vector<uint8_t>& image, const ITdbBlockCipher* cipher = nullptr) {
  TTdbHeaderReader reader(image, image.size(), nullptr, "t.dat");
  return ReadTableHeader(reader, cipher);
}

int ErrorNumber(const std::vector<uint8_t>& image, const ITdbBlockCipher* cipher = nullptr) {
  try {
    Read(image, cipher);
  } catch (const ETdbEngine& e) {
    return e.Number();
  }
  return 0;
}

// A field beyond the file is damage; debug builds name the check that found it.
TEST(TableHeader, DamageNamesItsCheckInDebugBuilds) {
  const std::vector<uint8_t> bytes = {1, 2};
  TTdbHeaderReader reader(bytes, bytes.size(), nullptr, "t.dat");
  try {
    reader.I32();
    ADD_FAILURE() << "no damage reported";
  } catch (const ETdbEngine& e) {
    EXPECT_EQ(e.Number(), tdbErrUnknownVersion);
#ifdef NDEBUG
    EXPECT_EQ(e.SourceLocation(), "");
#else
    EXPECT_NE(e.SourceLocation().find("header_bytes.cpp:"), std::string::npos) << e.SourceLocation();
#endif
  }
}

TEST(TableHeader, RoundTripAtEveryLevel) {
  for (int level = kMinTableLevel; level <= kMaxTableLevel; ++level) {
    SCOPED_TRACE(level);
    const TTdbTableHeader header = SampleHeader(level);
    const std::vector<uint8_t> image = WriteTableHeader(header, "t.dat", nullptr, FixedRandom());
    const TTdbTableHeader read = Read(image);
    EXPECT_EQ(read, AsRead(header, image.size()));
    EXPECT_EQ(WriteTableHeader(read, "t.dat", nullptr, FixedRandom()), image) << "rewrite is byte for byte";
    EXPECT_EQ(TableFileKind(image), tfkHeap);
  }
}

TEST(TableHeader, UnicodeRecordsBeginOnAnAlignedOffsetWithRoomToSpare) {
  for (int level : {5, 6}) {
    const std::vector<uint8_t> image = WriteTableHeader(SampleHeader(level), "t.tdbt", nullptr, FixedRandom());
    const int32_t blockLength = LoadLE<int32_t>(image.data() + kUnicodeBlockLengthOffset);
    EXPECT_EQ(image.size(), kUnicodeBlockOffset + static_cast<size_t>(blockLength));
    EXPECT_EQ(image.size() % kHeaderAlignment, 0u);
    // The unpadded block ends at least 8192 bytes before the records.
    size_t end = image.size();
    while (end > kUnicodeBlockOffset && image[end - 1] == 0) --end;
    EXPECT_GE(image.size() - end, 8192u);
    EXPECT_LT(image.size() - end, 16384u + 8192u);
  }
}

TEST(TableHeader, EncryptedHeadersNeedTheRightKey) {
  const TXorCipher right(0x5A), wrong(0x33);
  for (int level : {4, 5, 6}) {
    SCOPED_TRACE(level);
    TTdbTableHeader header = SampleHeader(level);
    header.EncryptionMethod = emBlowfish;
    if (level == 4) header.Password = u"_en:bf_";
    const std::vector<uint8_t> image = WriteTableHeader(header, "t.dat", &right, FixedRandom());
    EXPECT_EQ(Read(image, &right), AsRead(header, image.size()));
    EXPECT_EQ(ErrorNumber(image, &wrong), 38);
    if (level == 4) {
      // Without a key the level-4 header reads but says it is unverified.
      const TTdbTableHeader unverified = Read(image);
      EXPECT_FALSE(unverified.KeyVerified);
      EXPECT_EQ(unverified.EncryptionMethod, emBlowfish);
    } else {
      EXPECT_EQ(ErrorNumber(image), 38);
      EXPECT_EQ(image[kUnicodeEncryptionOffset], 5);
    }
  }
}

TEST(TableHeader, EncryptionMethodsByLevel) {
  struct Case {
    int level;
    TdwEncryptionMethod method;
    std::u16string password;
    int error;
  } cases[] = {
      {3, emClassic5, u"x", 117}, {2, emBlowfish, u"", 117}, {4, emClassic1, u"x", 117},
      {6, emClassic5, u"x", 117}, {3, emClassic1, u"", 186},  {6, emRijndael, u"", 186},  // no cipher
  };
  for (const Case& c : cases) {
    TTdbTableHeader header = SampleHeader(c.level);
    header.EncryptionMethod = c.method;
    header.Password = c.password;
    try {
      WriteTableHeader(header, "t.dat");
      ADD_FAILURE() << c.level;
    } catch (const ETdbEngine& e) {
      EXPECT_EQ(e.Number(), c.error) << c.level << " " << e.Message();
    }
  }
  // Below level 4 the password is stored in upper case; classic keys read
  // as protection until the table object checks the key.
  TTdbTableHeader header = SampleHeader(3);
  header.EncryptionMethod = emClassic1;
  header.Password = u"titok12345xyz";
  const TTdbTableHeader read = Read(WriteTableHeader(header, "t.dat"));
  EXPECT_EQ(read.Password, u"TITOK12345");
  EXPECT_EQ(read.EncryptionMethod, emProtection);
}

TEST(TableHeader, PasswordTransformationIsItsOwnInverse) {
  EXPECT_EQ(TransformPassword16(u"ab"), (std::u16string{static_cast<char16_t>(~u'b'), static_cast<char16_t>(~u'a')}));
  EXPECT_EQ(TransformPassword16(TransformPassword16(u"jelszó")), u"jelszó");
  EXPECT_EQ(TransformPassword8("ab"), (std::string{static_cast<char>(~'b'), static_cast<char>(~'a')}));
}

// Hands out the file behind a prefix in pieces and counts the calls.
class TCountingSource : public ITdbByteSource {
 public:
  explicit TCountingSource(const std::vector<uint8_t>& file) : FFile(file) {}
  void ReadAt(uint64_t offset, std::span<uint8_t> dest) override {
    ++FCalls;
    ASSERT_LE(offset + dest.size(), FFile.size());
    std::copy_n(FFile.begin() + static_cast<ptrdiff_t>(offset), dest.size(), dest.begin());
  }
  int FCalls = 0;

 private:
  const std::vector<uint8_t>& FFile;
};

TEST(TableHeader, ReadsBeyondTheFirstBytesThroughTheSource) {
  for (int level : {4, 6}) {
    const TTdbTableHeader header = SampleHeader(level);
    const std::vector<uint8_t> image = WriteTableHeader(header, "t.dat", nullptr, FixedRandom());
    TCountingSource source(image);
    TTdbHeaderReader reader(std::span<const uint8_t>(image.data(), 100), image.size(), &source, "t.dat");
    EXPECT_EQ(ReadTableHeader(reader), AsRead(header, image.size()));
    EXPECT_GE(source.FCalls, 1);
  }
}

TEST(TableHeader, FixedPositions) {
  struct Case {
    int level;
    uint64_t recordCount;
    uint64_t indexArea;
  } cases[] = {{1, 6, 14}, {2, 6, 14}, {3, 10, 18}, {4, 10, 22}, {5, 7, 23}, {6, 7, 23}};
  for (const Case& c : cases) {
    TTdbTableHeader header = SampleHeader(c.level);
    header.RecordCount = 0x01020304;
    header.NextRecordId = 0x0A0B0C0D;
    std::vector<uint8_t> image = WriteTableHeader(header, "t.dat", nullptr, FixedRandom());
    EXPECT_EQ(LoadLE<int32_t>(image.data() + RecordCountOffset(c.level)), 0x01020304) << c.level;
    EXPECT_EQ(LoadLE<int16_t>(image.data() + IndexNameAreaOffset(c.level)),
              static_cast<int16_t>(header.IndexNames.size()));
    const TTdbTableHeader positions = AsRead(header, image.size());
    EXPECT_EQ(LoadLE<int32_t>(image.data() + NextRecordIdOffset(positions)), 0x0A0B0C0D) << c.level;
    // The in-place index name area is what the header holds.
    const std::vector<uint8_t> area = WriteIndexNameArea(c.level, header.IndexNames, "t.dat");
    EXPECT_TRUE(std::equal(area.begin(), area.end(), image.begin() + static_cast<ptrdiff_t>(IndexNameAreaOffset(c.level))));
  }
}

TEST(TableHeader, RecordCountIsLoweredOnlyBelowLevel5) {
  for (int level = kMinTableLevel; level <= kMaxTableLevel; ++level) {
    TTdbTableHeader header = SampleHeader(level);
    header.RecordCount = 5;
    std::vector<uint8_t> image = WriteTableHeader(header, "t.dat", nullptr, FixedRandom());
    image.resize(image.size() + 3 * static_cast<size_t>(header.RecordSize()) + 1);  // 3 complete records
    const TTdbTableHeader read = Read(image);
    EXPECT_EQ(read.StoredRecordCount, 5);
    EXPECT_EQ(read.RecordCount, level <= 4 ? 3 : 5) << level;
    EXPECT_EQ(read.RecordCountLowered, level <= 4) << level;
  }
}

TEST(TableHeader, WritingRefusesWhatTheLevelCannotHold) {
  struct Case {
    const char* what;
    std::function<void(TTdbTableHeader&)> change;
    int level;
    int error;
  } cases[] = {
      {"Int64 at level 2", [](TTdbTableHeader& h) { h.Columns.Add(NewColumnDef(u"X", TTdbDataType::Make(tctInt64, false, 2))); }, 2, 117},
      {"two index names at level 1", [](TTdbTableHeader& h) { h.IndexNames.push_back(u"MASIK"); }, 1, 67},
      {"51 index names", [](TTdbTableHeader& h) { h.IndexNames.assign(51, u"I"); }, 6, 67},
      {"index name of 45 characters", [](TTdbTableHeader& h) { h.IndexNames = {std::u16string(45, u'x')}; }, 6, 176},
      {"column name of 41 characters at level 3", [](TTdbTableHeader& h) {
         h.Columns.Add(NewColumnDef(std::u16string(41, u'x'), TTdbDataType::Make(tctInt16, false, 3)));
       }, 3, 49},
      {"column of another level", [](TTdbTableHeader& h) { h.Columns.Add(NewColumnDef(u"X", TTdbDataType::Make(tctInt16, false, 5))); }, 6, 49},
      {"no columns", [](TTdbTableHeader& h) { h.Columns = {}; }, 6, 59},
  };
  for (const Case& c : cases) {
    TTdbTableHeader header = SampleHeader(c.level);
    c.change(header);
    try {
      WriteTableHeader(header, "t.dat");
      ADD_FAILURE() << c.what;
    } catch (const ETdbEngine& e) {
      EXPECT_EQ(e.Number(), c.error) << c.what;
    }
  }
}

}  // namespace
}  // namespace kestrel
