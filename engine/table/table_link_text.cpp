// TTdbBaseTable::DoGetLinkString: the text shown for a Link value, read from
// the linked record of the linked table. A Link column stores the record id
// of a record of its linked table (0 is NULL); the linked table lies beside
// this one and is found by its standard name, ".dat" first, then ".tdbt".
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/column_text.h"
#include "engine/base/engine_error.h"
#include "engine/index/collation.h"
#include "engine/table/base_table.h"
#include "engine/table/table_file_names.h"

namespace kestrel {

namespace {

// The linked table name that stands for the table itself.
constexpr const char16_t* kSelfLinkName = u"@";

// Columns whose values say nothing to a reader of the link.
bool IsShownInLink(TTdbColumnType type) {
  switch (type) {
    case tctRecordId: case tctLink: case tctRelation: case tctMemo: case tctWideMemo: case tctBlob:
      return false;
    default:
      return true;
  }
}

}  // namespace

TTdbBaseTable& TTdbBaseTable::LinkedTable(const TTdbColumnDef& column) {
  if (column.LinkedTable == kSelfLinkName ||
      StandardCollation().Compare(column.LinkedTable, Utf8ToUtf16(FStdName), 0) == 0)
    return *this;
  auto found = FLinkedTables.find(column.LinkedTable);
  if (found != FLinkedTables.end()) return *found->second;
  const std::string fileName =
      ResolveTableFileName(PhysicalDirectory() + Utf16ToUtf8(column.LinkedTable),
                           [this](const std::string& path) { return FFileSystem.FileExists(path); });
  if (fileName.empty() || !FFileSystem.FileExists(fileName))
    throw ETdbEngine(tdbErrTableNotFound, Utf16ToUtf8(column.LinkedTable));
  auto linked = std::make_unique<TTdbBaseTable>(FPageManager, FFileSystem, FClientHdl);
  linked->SetRights(0);
  linked->SetFileName(fileName);
  linked->SetKey(FCryptor.Key());
  if (FLockFileSystem) linked->SetSharing(FLockFileSystem, *FClock, FSessionId, FSessionName);
  linked->Open();
  linked->Setup();
  TTdbBaseTable& result = *linked;
  FLinkedTables.emplace(column.LinkedTable, std::move(linked));
  return result;
}

std::u16string TTdbBaseTable::DoGetLinkString(std::span<const std::uint8_t> record, int fieldNo) {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  if (fieldNo < 1 || fieldNo > ColumnCount() ||
      FColumnDefs[static_cast<std::size_t>(fieldNo - 1)].DataType.ColumnType() != tctLink)
    throw ETdbEngine(tdbErrFieldTypeRequired, "column " + std::to_string(fieldNo));
  const std::size_t index = static_cast<std::size_t>(fieldNo - 1);
  const TTdbValue link = ReadValue(FColumnDefs[index].DataType, FColumnDefs.ColumnBytes(record, index));
  const auto* id = std::get_if<int64_t>(&link);
  if (!id || *id == 0) return std::u16string();

  TTdbBaseTable& linked = LinkedTable(FColumnDefs[index]);
  if (linked.FRecordIdFieldNo == 0) throw ETdbEngine(tdbErrNoRecordIdColumn, linked.FStdName);
  TTdbTableLock read(linked, tltRead);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(linked.RecordSize()));
  for (std::int32_t no = linked.GetFirstRecordNo(); no > 0; no = linked.GetNextRecordNo(no)) {
    linked.ReadRecord(no, image);
    if (linked.RecordIdOf(image) != *id) continue;
    std::u16string text;
    const TTdbColumnDefs& columns = linked.Columns();
    for (std::size_t c = 0; c < columns.Count(); ++c) {
      if (!IsShownInLink(columns[c].DataType.ColumnType())) continue;
      const TTdbValue value = ReadValue(columns[c].DataType, columns.ColumnBytes(std::span<const std::uint8_t>(image), c));
      if (std::holds_alternative<std::monostate>(value)) continue;
      if (!text.empty()) text += u", ";
      text += ConvertToString(columns[c].DataType, value, TTdbTextFormats{});
    }
    return text;
  }
  throw ETdbEngine(tdbErrRecordNotFound);
}

}  // namespace kestrel
