// Damaged headers: thousands of corrupted images of every level (fixed
// seed) each either read as a consistent header or fail with a header
// error (124, 134, 38); nothing else may escape and nothing may be read
// outside the image (the sanitizer build checks that part).
#include <gtest/gtest.h>

#include <random>

#include "engine/base/engine_error.h"
#include "engine/table/table_header.h"
#include "header_samples.h"

namespace kestrel {
namespace {

using TBytes = std::vector<uint8_t>;

constexpr int kMutationsPerImage = 1000;

// The meaningful part of an image: up to its last non-zero byte.
size_t UsedLength(const TBytes& image) {
  size_t end = image.size();
  while (end > 0 && image[end - 1] == 0) --end;
  return end;
}

void Mutate(TBytes& image, size_t used, std::mt19937& random) {
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  static const int64_t kExtremes[] = {0, 1, -1, 2, 44, 45, 50, 51, 1000, 1001, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF};
  switch (random() % 4) {
    case 0: {  // flip some bytes
      const int count = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < count; ++i) image[pick(used)] ^= static_cast<uint8_t>(1 + random() % 255);
      break;
    }
    case 1: {  // an extreme Int16 or Int32 somewhere
      const size_t at = pick(used);
      const int64_t value = kExtremes[pick(std::size(kExtremes))];
      const size_t width = random() % 2 ? 2 : 4;
      for (size_t i = 0; i < width && at + i < image.size(); ++i) image[at + i] = static_cast<uint8_t>(value >> (8 * i));
      break;
    }
    case 2:  // cut short
      image.resize(pick(used + 1));
      break;
    default: {  // move a block of bytes
      const size_t from = pick(used), to = pick(used), length = 1 + pick(64);
      for (size_t i = 0; i < length && from + i < image.size() && to + i < image.size(); ++i)
        image[to + i] = image[from + i];
      break;
    }
  }
}

// The invariants of a header that was read.
void ExpectConsistent(const TTdbTableHeader& header, size_t fileSize) {
  ASSERT_GE(header.RecordCount, 0);
  ASSERT_LE(header.RecordsOffset, fileSize);
  ASSERT_GE(header.Columns.Count(), 1u);
  ASSERT_LE(header.Columns.Count(), 1000u);
  ASSERT_GE(header.RecordSize(), 1);
  ASSERT_LE(header.RecordSize(), 32767);
  ASSERT_LE(header.IndexNames.size(), static_cast<size_t>(MaxIndexNames(header.Level)));
  int position = 0;
  for (const TTdbColumnDef& column : header.Columns) {
    ASSERT_EQ(column.Position, position);
    ASSERT_EQ(column.Size, column.DataType.DataSize());
    position += column.Size;
  }
  if (header.Level <= 4) {
    ASSERT_LE(header.RecordsOffset + uint64_t(header.RecordCount) * uint64_t(header.RecordSize()), fileSize);
  }
}

// What was read writes back to a header that reads the same.
void ExpectStableRewrite(const TTdbTableHeader& header, const ITdbBlockCipher* cipher) {
  TBytes rewritten;
  try {
    rewritten = WriteTableHeader(header, "m.dat", cipher, test::FixedRandom());
  } catch (const ETdbEngine&) {
    return;  // a value the writer refuses for new tables (a name too long for its field, ...)
  }
  TTdbHeaderReader reader(rewritten, rewritten.size(), nullptr, "m.dat");
  TTdbTableHeader again = ReadTableHeader(reader, cipher);
  again.RecordsOffset = header.RecordsOffset;
  again.StoredRecordCount = header.StoredRecordCount;
  again.RecordCount = header.RecordCount;
  again.RecordCountLowered = header.RecordCountLowered;
  ASSERT_EQ(again, header);
}

TEST(TableHeaderMutation, CorruptedHeadersFailCleanlyOrReadConsistently) {
  std::mt19937 random(20260101);
  const test::TXorCipher cipher(0x5A);
  int opened = 0, failed = 0;
  for (int level = kMinTableLevel; level <= kMaxTableLevel; ++level) {
    for (bool encrypted : {false, true}) {
      if (encrypted && level < 4) continue;
      TTdbTableHeader sample = test::SampleHeader(level);
      sample.RecordCount = 2;
      if (encrypted) {
        sample.EncryptionMethod = emRijndael;
        if (level == 4) sample.Password = u"_en:rj_";
      }
      TBytes original = WriteTableHeader(sample, "m.dat", encrypted ? &cipher : nullptr, test::FixedRandom());
      const size_t used = UsedLength(original);
      original.resize(original.size() + 2 * static_cast<size_t>(sample.RecordSize()), 0x11);
      for (int i = 0; i < kMutationsPerImage; ++i) {
        TBytes image = original;
        Mutate(image, used, random);
        SCOPED_TRACE(testing::Message() << "level " << level << " mutation " << i);
        try {
          TTdbHeaderReader reader(image, image.size(), nullptr, "m.dat");
          const TTdbTableHeader header = ReadTableHeader(reader, encrypted ? &cipher : nullptr);
          ExpectConsistent(header, image.size());
          ExpectStableRewrite(header, encrypted ? &cipher : nullptr);
          ++opened;
        } catch (const ETdbEngine& e) {
          ASSERT_TRUE(e.Number() == 134 || e.Number() == 124 || e.Number() == 38) << e.Number() << " " << e.Message();
          if (e.Number() == 134) {
            ASSERT_FALSE(e.Args().empty());
            EXPECT_EQ(e.Args()[0], "m.dat");
          }
          ++failed;
        }
      }
    }
  }
  // Both outcomes occur: the run exercises the checks and the readers.
  EXPECT_GT(opened, 100);
  EXPECT_GT(failed, 100);
}

}  // namespace
}  // namespace kestrel
