// The cursor tests' fixture: creating the classification table and reading
// record images.
#include "cursor_fixture.h"

#include <filesystem>
#include <memory>
#include <variant>

#include "engine/api/handles.h"
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/cursor/cursor.h"

namespace kestrel {

// Declared here: the table object's header cannot share a unit with the
// session's (their rights constants share names).
namespace test::detail {
void CreateTable(const std::string& directory, const std::vector<TRow>& rows, bool bplus = false);
}

namespace test {

namespace {

constexpr int kLevel = 5;
const TTdbDataType& KodType() {
  static const TTdbDataType type = TTdbDataType::MakeString(tctString, false, 10, u"", kLevel);
  return type;
}
const TTdbDataType& MegnevType() {
  static const TTdbDataType type = TTdbDataType::MakeString(tctString, false, 40, u"", kLevel);
  return type;
}

}  // namespace

void CreateClassification(const std::string& directory, const std::vector<TRow>& rows, bool bplus) {
  detail::CreateTable(directory, rows, bplus);
}

void CursorFixture::TearDown() { CloseSession(); }

void CursorFixture::CloseSession() {
  if (FSession > 0) TdbSessDelete(FSession);
  FSession = 0;
}

void CursorFixture::Open(const std::vector<TRow>& rows, const std::string& subdirectory) {
  FDatabaseDir = subdirectory.empty() ? FDir.Path() : FDir.File(subdirectory);
  std::filesystem::create_directories(FDatabaseDir);
  CreateClassification(FDatabaseDir, rows, FBPlus);
  const std::u16string location = Utf8ToUtf16(FDatabaseDir);
  FSession = static_cast<std::int16_t>(TdbCreateSession(u""));
  ASSERT_GT(FSession, 0);
  ASSERT_EQ(TdbSessOpenDb(FSession, location.c_str(), u"", u"", 4096, 0), 0);
  const std::int32_t relation = TdbSessOpenTable(FSession, u"Vnd03", u"", 0xF8FF, 1, 0);
  ASSERT_GT(relation, 0) << Utf16ToUtf8(LastError().second);
  FRelation = static_cast<std::int16_t>(relation);
  FTable = NewCursor();
  FRecordSize = TdbTableGetRecordSize(FTable);
}

std::int16_t CursorFixture::NewCursor() {
  const std::int32_t table = TdbTableCreate(FRelation, u"test");
  EXPECT_GT(table, 0) << Utf16ToUtf8(LastError().second);
  return static_cast<std::int16_t>(table);
}

std::vector<std::uint8_t> CursorFixture::Image(const std::string& kod, const std::string& megnev) const {
  std::vector<std::uint8_t> record(static_cast<std::size_t>(FRecordSize));
  TTdbFieldSpec spec;
  TdbTableGetFieldSpec(FTable, KodField(), &spec);
  WriteValue(KodType(), std::span<std::uint8_t>(record).subspan(spec.InternalPosition, spec.InternalSize),
             Utf8ToUtf16(kod));
  TdbTableGetFieldSpec(FTable, KodField() + 1, &spec);
  WriteValue(MegnevType(), std::span<std::uint8_t>(record).subspan(spec.InternalPosition, spec.InternalSize),
             Utf8ToUtf16(megnev));
  return record;
}

namespace {

std::string Text(std::int16_t table, const std::vector<std::uint8_t>& record, int fieldNo, const TTdbDataType& type) {
  TTdbFieldSpec spec;
  TdbTableGetFieldSpec(table, fieldNo, &spec);
  const TTdbValue value =
      ReadValue(type, std::span<const std::uint8_t>(record).subspan(spec.InternalPosition, spec.InternalSize));
  const auto* text = std::get_if<std::u16string>(&value);
  return text ? Utf16ToUtf8(*text) : "";
}

}  // namespace

std::string CursorFixture::Kod(const std::vector<std::uint8_t>& record) const {
  return Text(FTable, record, KodField(), KodType());
}

std::string CursorFixture::Megnev(const std::vector<std::uint8_t>& record) const {
  return Text(FTable, record, KodField() + 1, MegnevType());
}

std::string CursorFixture::CurrentKod(std::int16_t table) {
  std::vector<std::uint8_t> record(static_cast<std::size_t>(FRecordSize));
  if (TdbTableGetRecord(table, record.data(), FRecordSize) != 0) return "";
  return Kod(record);
}

std::int32_t CursorFixture::Position(std::int16_t table) {
  const std::shared_ptr<TTdbCursorEntry> entry = TTdbHandleTables::Instance().Cursor(table);
  auto* cursor = entry ? dynamic_cast<TTdbCursor*>(entry->FCursor.get()) : nullptr;
  return cursor ? cursor->Position() : -100;
}

std::pair<int, std::u16string> CursorFixture::LastError() const {
  std::int32_t code = -1;
  TdbChar message[256] = {};
  TdbSessGetLastError(FSession, &code, message, 255);
  return {code, message};
}

std::vector<std::string> CursorFixture::Walk(std::int16_t table) {
  std::vector<std::string> kods;
  if (TdbTableFirst(table) < 0) return kods;
  do kods.push_back(CurrentKod(table));
  while (TdbTableMoveBy(table, 1) == 0);
  return kods;
}

}  // namespace test
}  // namespace kestrel
