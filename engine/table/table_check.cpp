// CheckTable: records, their values, and every index against the records.
#include "engine/table/table_check.h"

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/index/index_file.h"
#include "engine/index/index_key.h"
#include "engine/table/base_table.h"

namespace kestrel {

namespace {

class TProblems {
 public:
  explicit TProblems(std::size_t limit) : FLimit(limit) {}
  void Add(std::string text) {
    if (FLines.size() < FLimit) FLines.push_back(std::move(text));
  }
  bool Full() const { return FLines.size() >= FLimit; }
  std::vector<std::string> Take() { return std::move(FLines); }

 private:
  std::size_t FLimit;
  std::vector<std::string> FLines;
};

std::int64_t LengthPrefix(const TTdbDataType& type, std::span<const std::uint8_t> column) {
  std::int64_t value = 0;
  for (int b = type.LengthPrefixSize() - 1; b >= 0; --b) value = value << 8 | column[type.ValueOffset() + b];
  return value;
}

void CheckRecords(TTdbBaseTable& table, TProblems& problems) {
  const TTdbColumnDefs& columns = table.Columns();
  std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
  std::int32_t walked = 0;
  for (std::int32_t recNo = table.GetFirstRecordNo(); recNo > 0 && !problems.Full();
       recNo = table.GetNextRecordNo(recNo)) {
    const std::string where = "record " + std::to_string(recNo);
    ++walked;
    try {
      table.ReadRecord(recNo, record);
    } catch (const ETdbEngine& e) {
      problems.Add(where + ": " + e.Message());
      continue;
    }
    for (std::size_t i = 0; i < columns.Count(); ++i) {
      const TTdbDataType& type = columns[i].DataType;
      const std::span<const std::uint8_t> bytes =
          columns.ColumnBytes(std::span<const std::uint8_t>(record), i);
      const int fieldNo = static_cast<int>(i) + 1;
      const std::string column = where + ", column " + Utf16ToUtf8(columns[i].Name);
      try {
        switch (type.ColumnType()) {
          case tctString:
          case tctWideString:
            if (!IsNullValue(type, bytes) && LengthPrefix(type, bytes) > type.MaxLength())
              problems.Add(column + ": text longer than the column");
            break;
          case tctMemo:
            table.ReadMemoString(record, fieldNo);
            break;
          case tctBlob:
          case tctWideMemo:
            table.ReadBlobData(record, fieldNo);
            break;
          default:
            break;
        }
      } catch (const ETdbEngine& e) {
        problems.Add(column + ": " + e.Message());
      }
    }
  }
  if (!problems.Full() && walked != table.RecordCount())
    problems.Add("table file: " + std::to_string(walked) + " records found, " +
                 std::to_string(table.RecordCount()) + " counted");
}

void CheckIndex(TTdbBaseTable& table, int indexNo, TProblems& problems) {
  const std::string name = "index " + Utf16ToUtf8(table.IndexName(indexNo));
  TTdbIndexFile* file = nullptr;
  try {
    file = &table.GetIndexFile(indexNo);
  } catch (const ETdbEngine& e) {
    problems.Add(name + ": " + e.Message());
    return;
  }
  try {
    std::int64_t itemCount = 0, wrongSort = 0;
    file->Check(itemCount, wrongSort);
    if (wrongSort > 0) problems.Add(name + ": " + std::to_string(wrongSort) + " items out of order");
    if (itemCount != table.RecordCount())
      problems.Add(name + ": " + std::to_string(itemCount) + " items for " +
                   std::to_string(table.RecordCount()) + " records");
    if (file->GetItemCount() != static_cast<std::uint32_t>(itemCount))
      problems.Add(name + ": the header counts " + std::to_string(file->GetItemCount()) + " items");
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize())), item, found;
    for (std::int32_t recNo = table.GetFirstRecordNo(); recNo > 0 && !problems.Full();
         recNo = table.GetNextRecordNo(recNo)) {
      table.ReadRecord(recNo, record);
      CalcIndexInfo(file->Comparer(), record.data(), recNo, item);
      found = item;
      if (file->Suche_Index(found) != ttrFound || file->Comparer().Compare(found.data(), item.data()) != 0)
        problems.Add(name + ": no item for record " + std::to_string(recNo));
    }
  } catch (const ETdbEngine& e) {
    problems.Add(name + ": " + e.Message());
  }
}

}  // namespace

std::vector<std::string> CheckTable(TTdbBaseTable& table, std::size_t maxProblems) {
  TProblems problems(maxProblems);
  TTdbTableLock read(table, tltRead);
  CheckRecords(table, problems);
  for (int no = 0; no <= table.LastIndexNo() && !problems.Full(); ++no)
    if (table.HasIndex(no)) CheckIndex(table, no, problems);
  return problems.Take();
}

}  // namespace kestrel
