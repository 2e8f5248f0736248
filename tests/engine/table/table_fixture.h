// Shared fixture of the table object tests: a page manager on the
// fault-injecting file system in a fresh directory, the classification
// table made through the engine's own creation path (KOD String(10) NOT
// NULL, MEGNEV String(40) NOT NULL, LEIRAS Memo; unique index KOD on KOD,
// index INDMN on MEGNEV), and helpers to build and read its records. With
// FBPlus set, the table is made at level 6 with the record id column "_XXX"
// first, as a B+ tree table file; the helpers find the columns either way.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/cache/page_manager.h"
#include "engine/fs/clock.h"
#include "engine/index/index_file.h"
#include "engine/table/base_table.h"
#include "engine/table/table_check.h"
#include "fault_file_system.h"
#include "temp_dir.h"

namespace kestrel::test {

inline constexpr int kKod = 1, kMegnev = 2, kLeiras = 3;

// One record of the classification table as plain values.
struct TRow {
  std::string Kod, Megnev, Leiras;
  bool operator==(const TRow&) const = default;
};

inline void PrintTo(const TRow& row, std::ostream* out) {
  *out << "{" << row.Kod << ", " << row.Megnev << ", " << row.Leiras.size() << " bytes}";
}

// Records an accessor's notifications as text.
class TRecordingListener : public IRelationListener {
 public:
  void RecordDeleted(std::int32_t recNo, std::int32_t moved) override {
    Events.push_back("deleted " + std::to_string(recNo) + " " + std::to_string(moved));
  }
  void RecordChanged(std::int32_t recNo) override { Events.push_back("changed " + std::to_string(recNo)); }
  void RelationChanged() override { Events.push_back("relation changed"); }
  void RelationEmptied() override { Events.push_back("emptied"); }
  void CanDropIndex(int, bool&) override {}
  void IndexRemoved(int indexNo) override { Events.push_back("index removed " + std::to_string(indexNo)); }
  std::vector<std::string> Events;
};

// The kind of table file a parameterised test runs on.
struct TFileKind {
  int Level;
  bool BPlus;
};

inline std::string FileKindName(const ::testing::TestParamInfo<TFileKind>& info) {
  return "Level" + std::to_string(info.param.Level) + (info.param.BPlus ? "BPlusFile" : "");
}

class TableFixture : public ::testing::Test {
 public:
  void SetUp() override { FPageManager.RegisterClient(1, 4096); }

  std::unique_ptr<TTdbBaseTable> NewTable() { return std::make_unique<TTdbBaseTable>(FPageManager, FFs, 1); }

  // Creates the classification table (and its indexes) and leaves it open;
  // `prepare` sets what else the new file needs (a key, an encryption).
  std::unique_ptr<TTdbBaseTable> Create(int level = 5, bool indexes = true,
                                        const std::function<void(TTdbBaseTable&)>& prepare = {}) {
    auto table = NewTable();
    table->SetFileName("Vnd03.dat");
    if (FBPlus) level = kMaxTableLevel;
    table->SetLevel(level);
    if (prepare) prepare(*table);
    if (FBPlus) table->AddColumn(NewColumnDef(kBPlusRecordIdName, TTdbDataType::Make(tctRecordId, false, level)));
    table->AddColumn(NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, false, 10, u"", level)));
    table->AddColumn(NewColumnDef(u"MEGNEV", TTdbDataType::MakeString(tctString, false, 40, u"", level)));
    table->AddColumn(NewColumnDef(u"LEIRAS", TTdbDataType::Make(tctMemo, level >= 4, level)));
    table->NewFile();
    table->Setup();
    if (indexes) {
      table->CreateIndex(u"KOD", u"KOD", true);
      table->CreateIndex(u"INDMN", u"MEGNEV", false);
    }
    return table;
  }

  // A table at `level` in `fileName` with a record id "Id", a String(10)
  // "Name" and the Relation column "R" (field 3) to table "Other", holding
  // `records` records (ids 1..records), left open.
  std::unique_ptr<TTdbBaseTable> MakeRelationOwner(int level, const std::string& fileName, int records) {
    auto table = NewTable();
    table->SetFileName(fileName);
    table->SetLevel(level);
    table->AddColumn(NewColumnDef(u"Id", TTdbDataType::Make(tctRecordId, false, level)));
    table->AddColumn(NewColumnDef(u"Name", TTdbDataType::MakeString(tctString, true, 10, u"", level)));
    TTdbColumnDef relation = NewColumnDef(u"R", TTdbDataType::Make(tctRelation, true, level));
    relation.LinkedTable = u"Other";
    table->AddColumn(std::move(relation));
    table->NewFile();
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
    for (int i = 0; i < records; ++i) {
      table->InitRecord(record, true);
      table->AppendRecord(record, {});
    }
    return table;
  }

  std::unique_ptr<TTdbBaseTable> Open(TTdbRights rights = kNewTableRights) {
    auto table = NewTable();
    table->SetRights(rights);
    table->SetFileName("Vnd03.dat");
    table->Open();
    table->Setup();
    return table;
  }

  // The table opened by session `session` with every right and its lock
  // file on `lockFiles`, as another program would open it.
  std::unique_ptr<TTdbBaseTable> OpenShared(const std::shared_ptr<TdwFileSystem>& lockFiles, std::int64_t session) {
    auto table = NewTable();
    table->SetRights(kAccessRightsMask);
    table->SetFileName("Vnd03.dat");
    table->SetSharing(lockFiles, DefaultClock(), session, u"s" + Utf8ToUtf16(std::to_string(session)));
    table->Open();
    table->Setup();
    return table;
  }

  // Columns before KOD: the record id of a B+ tree table file.
  static int Shift(const TTdbBaseTable& table) {
    return table.Columns()[0].DataType.ColumnType() == tctRecordId ? 1 : 0;
  }
  // A new image; in a B+ tree table file with record id `recordId` (0: the
  // append hands one out).
  static std::vector<std::uint8_t> Image(TTdbBaseTable& table, const TRow& row, std::int32_t recordId = 0) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    table.InitRecord(record, false);
    const TTdbColumnDefs& columns = table.Columns();
    const std::size_t shift = static_cast<std::size_t>(Shift(table));
    if (shift > 0)
      WriteValue(columns[0].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 0),
                 static_cast<int64_t>(recordId));
    WriteValue(columns[shift].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), shift),
               Utf8ToUtf16(row.Kod));
    WriteValue(columns[shift + 1].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), shift + 1),
               Utf8ToUtf16(row.Megnev));
    return record;
  }
  static TTdbBlobDataList Memo(const TRow& row, int shift = 0) {
    return {TTdbBlobData{kLeiras + shift, EncodeCodePage(Utf8ToUtf16(row.Leiras), kCodePageAnsi), {}}};
  }
  static TTdbBlobDataList Memo(const TTdbBaseTable& table, const TRow& row) { return Memo(row, Shift(table)); }
  static std::int32_t Append(TTdbBaseTable& table, const TRow& row) {
    std::vector<std::uint8_t> record = Image(table, row);
    return table.AppendRecord(record, Memo(table, row));
  }
  // The record `recNo` with the values of `row` (keeping its record id).
  static void Replace(TTdbBaseTable& table, std::int32_t recNo, const TRow& row) {
    std::vector<std::uint8_t> record = Image(table, row, recNo);
    table.ReplaceRecord(record, Memo(table, row), recNo);
  }
  // The text of column fieldNo, counted without the record id column.
  static std::string Text(TTdbBaseTable& table, std::span<const std::uint8_t> record, int fieldNo) {
    const TTdbColumnDefs& columns = table.Columns();
    const std::size_t i = static_cast<std::size_t>(fieldNo - 1 + Shift(table));
    const TTdbValue value = ReadValue(columns[i].DataType, columns.ColumnBytes(record, i));
    return std::holds_alternative<std::u16string>(value) ? Utf16ToUtf8(std::get<std::u16string>(value)) : "";
  }
  static TRow Row(TTdbBaseTable& table, std::int32_t recNo) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    table.ReadRecord(recNo, record);
    return {Text(table, record, kKod), Text(table, record, kMegnev),
            Utf16ToUtf8(DecodeCodePage(table.ReadMemoString(record, kLeiras + Shift(table)), kCodePageAnsi))};
  }
  // The records in record number order.
  static std::vector<TRow> Rows(TTdbBaseTable& table) {
    std::vector<TRow> rows;
    for (std::int32_t r = table.GetFirstRecordNo(); r > 0; r = table.GetNextRecordNo(r)) rows.push_back(Row(table, r));
    return rows;
  }
  // Record numbers in the order of an index.
  static std::vector<std::int32_t> IndexOrder(TTdbBaseTable& table, int indexNo) {
    std::vector<std::int32_t> order;
    std::vector<std::uint8_t> item;
    for (int result = table.FindFirstIndexInfo(indexNo, item); result == ttrFound;
         result = table.FindNextIndexInfo(indexNo, item))
      order.push_back(ItemRecordNo(item.data()));
    return order;
  }
  static std::vector<std::string> Check(TTdbBaseTable& table) { return CheckTable(table); }
  static int ErrorOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const ETdbEngine& e) {
      return e.Number();
    }
    return 0;
  }
  std::string Raw(const std::string& name) { return ReadWholeFile(FDir.File(name)); }
  // Removes every file of the directory (a fresh start inside one test).
  void RemoveAllFiles() {
    for (const auto& entry : std::filesystem::directory_iterator(FDir.Path()))
      std::filesystem::remove(entry.path());
  }

  bool FBPlus = false;
  TTempDir FDir;
  TFaultFileSystem FFs{FDir.Path()};
  TTdbPageManager FPageManager;
};

}  // namespace kestrel::test
