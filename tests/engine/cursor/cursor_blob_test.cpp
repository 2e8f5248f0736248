// Memo, Blob and WideMemo values through the flat interface's transfer
// calls (TdbTableSetBlob, TdbTableInitGetBlob, TdbTablePerformGetBlob) at
// table levels 5 and 6: written with an append, read back, replaced, set
// empty, values of many blocks, Blob bytes with NULs, WideMemo text beyond
// Latin-1; then the errors of the transfer calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/api/kestrel.h"
#include "engine/base/code_page.h"
#include "temp_dir.h"

namespace kestrel::test {
namespace detail {
void CreateBlobTable(const std::string& directory, int level);
}
namespace {

constexpr int kMemoField = 2;
constexpr int kBlobField = 3;
constexpr int kWideField = 4;

std::string Bytes(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
}

// A value of `size` bytes that no shorter repetition matches, with NULs.
std::string Pattern(std::size_t size, int seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + static_cast<std::size_t>(seed) * 7 + i / 251) % 256);
  return bytes;
}

class CursorBlob : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    detail::CreateBlobTable(FDir.Path(), GetParam());
    OpenSession();
  }
  // A session on the directory and a cursor on the table (FSession, FTable).
  void OpenSession() {
    FSession = static_cast<std::int16_t>(TdbCreateSession(u""));
    ASSERT_GT(FSession, 0);
    ASSERT_EQ(TdbSessOpenDb(FSession, Utf8ToUtf16(FDir.Path()).c_str(), u"", u"", 4096, 0), 0);
    const std::int32_t relation = TdbSessOpenTable(FSession, u"Blobs", u"", 0xF8FF, 1, 0);
    ASSERT_GT(relation, 0);
    FTable = static_cast<std::int16_t>(TdbTableCreate(static_cast<std::int16_t>(relation), u"test"));
    ASSERT_GT(FTable, 0);
  }
  void TearDown() override { CloseSession(); }
  void CloseSession() {
    if (FSession > 0) TdbSessDelete(FSession);
    FSession = 0;
  }

  std::int32_t Set(int fieldNo, const std::string& bytes) {
    return TdbTableSetBlob(FTable, fieldNo, bytes.data(), static_cast<std::int32_t>(bytes.size()));
  }
  // The value of a column of the cursor's record through a whole transfer.
  std::string Get(int fieldNo) {
    std::int32_t blobType = -1;
    const std::int32_t size = TdbTableInitGetBlob(FTable, fieldNo, -1, &blobType);
    if (size < 0) return "error " + std::to_string(size);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    EXPECT_EQ(TdbTablePerformGetBlob(FTable, bytes.data(), size), size);
    return bytes;
  }
  int LastError() const {
    std::int32_t code = -1;
    TdbChar message[256] = {};
    TdbSessGetLastError(FSession, &code, message, 255);
    return code;
  }

  TTempDir FDir;
  std::int16_t FSession = 0;
  std::int16_t FTable = 0;
};

struct TValues {
  const char* Name;
  std::string Memo, Blob, Wide;
};

TEST_P(CursorBlob, ValuesRoundTripThroughAppendEditAndReopen) {
  const std::string large = Pattern(200000, 1);
  const std::u16string text = u"Árvíztűrő tükörfúrógép – Ωμέγα, Москва, 東京 \U0001F600";
  std::u16string longText;
  while (longText.size() < 60000) longText += text;
  // Each step edits the record (the first appends it) and reads back
  // before and after the session is reopened.
  const std::vector<TValues> steps = {
      {"small", "Leiras", std::string("\0\1\2\0", 4), Bytes(text)},
      {"several blocks", EncodeCodePage(Utf8ToUtf16("árvíz"), kCodePageAnsi) + std::string(70000, 'x'), large,
       Bytes(longText)},
      {"replaced by shorter", "rovid", Pattern(5000, 2), Bytes(u"ő")},
      {"empty", "", "", ""},
      {"large again", std::string(150000, 'y'), Pattern(300000, 3), Bytes(longText + longText)},
  };
  bool appended = false;
  for (const TValues& step : steps) {
    SCOPED_TRACE(step.Name);
    if (!appended) {
      ASSERT_EQ(TdbTableAppend(FTable), 0);
    } else {
      ASSERT_EQ(TdbTableFirst(FTable), 1);
      ASSERT_EQ(TdbTableEdit(FTable), 0);
    }
    ASSERT_EQ(Set(kMemoField, step.Memo), 0);
    ASSERT_EQ(Set(kBlobField, step.Blob), 0);
    ASSERT_EQ(Set(kWideField, step.Wide), 0);
    // The record being written answers the values given.
    EXPECT_EQ(Get(kBlobField), step.Blob);
    ASSERT_GT(appended ? TdbTableEditConfirm(FTable) : TdbTableAppendConfirm(FTable), 0);
    appended = true;
    EXPECT_EQ(Get(kMemoField), step.Memo);
    EXPECT_EQ(Get(kBlobField), step.Blob);
    EXPECT_EQ(Get(kWideField), step.Wide);
    CloseSession();
    OpenSession();
    ASSERT_EQ(TdbTableFirst(FTable), 1);
    EXPECT_EQ(Get(kMemoField), step.Memo);
    EXPECT_EQ(Get(kBlobField), step.Blob);
    EXPECT_EQ(Get(kWideField), step.Wide);
  }
  EXPECT_EQ(TdbTableRecordCount(FTable), 1);
}

// MaxSize cuts the value; a transfer delivers the value in pieces of the
// buffer's size and ends with its last byte (an empty value with a call
// that answers 0);
// PerformGetBlob without a transfer answers -56, a second transfer on the
// same record while bytes are left -55 (another record drops the old one);
// SetBlob refuses a record not being written (-57), a column that holds no
// memo or blob (168) and a WideMemo of an odd number of bytes (49).
TEST_P(CursorBlob, TransferErrors) {
  const std::string blob = Pattern(10000, 4);
  for (const std::string& value : {blob, std::string("masik")}) {
    ASSERT_EQ(TdbTableAppend(FTable), 0);
    ASSERT_EQ(Set(kBlobField, value), 0);
    ASSERT_GT(TdbTableAppendConfirm(FTable), 0);
  }
  ASSERT_EQ(TdbTableSetRecNo(FTable, 1), 1);

  std::string buffer(20000, '\0');
  EXPECT_EQ(TdbTablePerformGetBlob(FTable, buffer.data(), 10), -56);
  std::int32_t blobType = -1;
  EXPECT_EQ(TdbTableInitGetBlob(FTable, kBlobField, 100, &blobType), 100);
  EXPECT_EQ(blobType, 0);
  EXPECT_EQ(TdbTablePerformGetBlob(FTable, buffer.data(), 20000), 100);
  EXPECT_EQ(buffer.substr(0, 100), blob.substr(0, 100));
  EXPECT_EQ(TdbTablePerformGetBlob(FTable, buffer.data(), 20000), -56);
  EXPECT_EQ(TdbTableInitGetBlob(FTable, kMemoField, -1, &blobType), 0);
  EXPECT_EQ(TdbTableInitGetBlob(FTable, kMemoField, -1, &blobType), 0);
  EXPECT_EQ(TdbTablePerformGetBlob(FTable, buffer.data(), 20000), 0);
  EXPECT_EQ(TdbTablePerformGetBlob(FTable, buffer.data(), 20000), -56);

  EXPECT_EQ(TdbTableInitGetBlob(FTable, kBlobField, -1, &blobType), 10000);
  std::string pieces;
  for (std::int32_t read = 0; (read = TdbTablePerformGetBlob(FTable, buffer.data(), 3000)) > 0;)
    pieces.append(buffer.data(), static_cast<std::size_t>(read));
  EXPECT_EQ(pieces, blob);
  EXPECT_EQ(TdbTablePerformGetBlob(FTable, buffer.data(), 3000), -56);

  EXPECT_EQ(TdbTableInitGetBlob(FTable, kBlobField, -1, &blobType), 10000);
  EXPECT_EQ(TdbTablePerformGetBlob(FTable, buffer.data(), 30), 30);
  EXPECT_EQ(TdbTableInitGetBlob(FTable, kBlobField, -1, &blobType), -55);
  EXPECT_EQ(TdbTablePerformGetBlob(FTable, buffer.data(), 30), 30);
  EXPECT_EQ(buffer.substr(0, 30), blob.substr(30, 30));
  ASSERT_EQ(TdbTableSetRecNo(FTable, 2), 2);
  EXPECT_EQ(Get(kBlobField), "masik");

  EXPECT_EQ(TdbTableInitGetBlob(FTable, 1, -1, &blobType), -100);
  EXPECT_EQ(LastError(), 168);
  EXPECT_EQ(TdbTableInitGetBlob(FTable, 9, -1, &blobType), -100);
  EXPECT_EQ(Set(kMemoField, "x"), -57);
  ASSERT_EQ(TdbTableEdit(FTable), 0);
  EXPECT_EQ(Set(1, "x"), -100);
  EXPECT_EQ(LastError(), 168);
  EXPECT_EQ(Set(kWideField, "abc"), -100);
  EXPECT_EQ(LastError(), 49);
  ASSERT_EQ(TdbTableEditCancel(FTable), 0);
  EXPECT_EQ(Get(kBlobField), "masik");
  EXPECT_EQ(Get(kWideField), "");
}

INSTANTIATE_TEST_SUITE_P(Levels, CursorBlob, ::testing::Values(5, 6),
                         [](const auto& info) { return "Level" + std::to_string(info.param); });

}  // namespace
}  // namespace kestrel::test
