// kestrel update, delete and drop: changing a table from the shell.
//
// update TABLE --set COL=VALUE ... [--filter COND] [--dry-run] and delete
// TABLE --filter COND [--dry-run] first collect the numbers of the records
// the condition selects (all records without one), then change them in one
// transaction under one write lock: any failure undoes every change, so the
// table holds all of them or none. Deleting moves the table's last record
// into the freed slot, so records go from the highest number down: every
// record that moves is then one the condition did not select. --dry-run
// reports the count and changes nothing. drop TABLE removes the table's
// files after opening it exclusively, so no other program has it open.
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cond/sql_condition.h"
#include "engine/cursor/table_record_source.h"
#include "engine/fs/file_system.h"
#include "engine/table/relation.h"
#include "tools/command.h"
#include "tools/csv.h"
#include "tools/table_spec.h"
#include "tools/tool_table.h"

namespace kestrel::tool {

namespace {

constexpr const char* kUpdateUsage = "usage: kestrel update TABLE --set COL=VALUE ... [--filter COND] [--dry-run]";
constexpr const char* kDeleteUsage = "usage: kestrel delete TABLE --filter COND [--dry-run]";

struct TChangeArgs {
  std::string Table;
  std::vector<std::pair<std::string, TCsvField>> Sets;
  std::string Filter;
  bool Filtered = false;
  bool DryRun = false;
};

// A --set value: COL=VALUE with VALUE as a CSV field: empty for NULL, "" for
// the empty text, "text" in quotes read as a quoted field.
std::pair<std::string, TCsvField> ParseSet(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0)
    throw std::runtime_error("--set takes COL=VALUE, not " + QuoteValue(text));
  TCsvField field{text.substr(equals + 1), false};
  if (field.Text.size() >= 2 && field.Text.front() == '"' && field.Text.back() == '"') {
    std::vector<TCsvField> fields;
    int line = 0;
    TCsvReader reader(TCsvText{field.Text});
    if (!reader.Next(fields, line) || fields.size() != 1)
      throw std::runtime_error("--set " + QuoteValue(text) + ": a quoted value is one CSV field");
    field = fields[0];
  }
  return {text.substr(0, equals), field};
}

TChangeArgs ParseChangeArgs(const std::vector<std::string>& args, bool takesSet, const char* usage) {
  TChangeArgs parsed;
  if (args.empty() || args[0].rfind("--", 0) == 0) throw std::runtime_error(usage);
  parsed.Table = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--set" && takesSet && hasValue) {
      parsed.Sets.push_back(ParseSet(args[++i]));
    } else if (args[i] == "--filter" && hasValue && !parsed.Filtered) {
      parsed.Filter = args[++i];
      parsed.Filtered = true;
    } else if (args[i] == "--dry-run" && !parsed.DryRun) {
      parsed.DryRun = true;
    } else {
      throw std::runtime_error(usage);
    }
  }
  if (takesSet && parsed.Sets.empty()) throw std::runtime_error(usage);
  if (!takesSet && !parsed.Filtered)
    throw std::runtime_error("delete needs --filter COND; --filter \"1 = 1\" deletes every record");
  return parsed;
}

// The numbers of the records that satisfy `filter` (every record for "").
std::vector<std::int32_t> SelectedRecords(TTdbBaseTable& table, const std::string& filter) {
  const std::unique_ptr<TCondRecordImageSource> source = NewTableRecordSource(table);
  TTdbSqlCondition condition(Utf8ToUtf16(filter));
  try {
    condition.Prepare(*source);
  } catch (const ETdbEngine& e) {
    throw std::runtime_error("filter " + QuoteValue(filter) + ": " + e.Message());
  }
  std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
  std::vector<std::int32_t> selected;
  TTdbTableLock read(table, tltRead);
  for (std::int32_t recNo = table.GetFirstRecordNo(); recNo > 0; recNo = table.GetNextRecordNo(recNo)) {
    table.ReadRecord(recNo, record);
    source->SetRecord(record);
    if (condition.Evaluate()) selected.push_back(recNo);
  }
  return selected;
}

// Runs `change` on every selected record in one transaction; any failure
// undoes them all and throws "record N: ...".
void ChangeInTransaction(TTdbBaseTable& table, const std::vector<std::int32_t>& records,
                         const std::function<void(std::int32_t)>& change) {
  table.StartTransaction();
  try {
    TTdbTableLock write(table, tltWrite);
    for (std::int32_t recNo : records) {
      try {
        change(recNo);
      } catch (const ETdbEngine& e) {
        throw std::runtime_error("record " + std::to_string(recNo) + ": " + e.Message() + "; nothing was changed");
      } catch (const std::runtime_error& e) {
        throw std::runtime_error("record " + std::to_string(recNo) + ": " + e.what() + "; nothing was changed");
      }
    }
  } catch (...) {
    table.UndoModifications();
    throw;
  }
  table.CommitModifications();
}

std::string Records(std::size_t count) { return std::to_string(count) + (count == 1 ? " record" : " records"); }

}  // namespace

int RunUpdate(const std::vector<std::string>& args) {
  return RunGuarded("update", [&] {
    const TChangeArgs parsed = ParseChangeArgs(args, true, kUpdateUsage);
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(parsed.Table, tarEdit | kRightExclusive);
    std::vector<std::string> names;
    for (const auto& set : parsed.Sets) names.push_back(set.first);
    const std::vector<int> fieldNos = MatchColumns(table.Columns(), names);
    const std::vector<std::int32_t> records = SelectedRecords(table, parsed.Filter);
    if (parsed.DryRun) {
      std::printf("%s would be updated\n", Records(records.size()).c_str());
      return 0;
    }
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    ChangeInTransaction(table, records, [&](std::int32_t recNo) {
      table.ReadRecord(recNo, record);
      TTdbBlobDataList blobs;
      for (std::size_t i = 0; i < fieldNos.size(); ++i)
        SetFieldText(table, record, fieldNos[i], parsed.Sets[i].second, blobs);
      table.ReplaceRecord(record, blobs, recNo);
    });
    table.Close();
    std::printf("%s updated\n", Records(records.size()).c_str());
    return 0;
  });
}

int RunDelete(const std::vector<std::string>& args) {
  return RunGuarded("delete", [&] {
    const TChangeArgs parsed = ParseChangeArgs(args, false, kDeleteUsage);
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(parsed.Table, tarDelete | kRightExclusive);
    std::vector<std::int32_t> records = SelectedRecords(table, parsed.Filter);
    if (parsed.DryRun) {
      std::printf("%s would be deleted\n", Records(records.size()).c_str());
      return 0;
    }
    std::sort(records.rbegin(), records.rend());
    ChangeInTransaction(table, records, [&](std::int32_t recNo) { table.DeleteRecord(recNo); });
    table.Close();
    std::printf("%s deleted\n", Records(records.size()).c_str());
    return 0;
  });
}

int RunDrop(const std::vector<std::string>& args) {
  return RunGuarded("drop", [&] {
    if (args.size() != 1) throw std::runtime_error("usage: kestrel drop TABLE");
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(args[0], kNewTableRights);
    const std::vector<std::string> files = table.GetFileNames();
    table.Close();
    std::string removed;
    for (const std::string& file : files) {
      if (!tool.FileSystem().FileExists(file)) continue;
      if (!tool.FileSystem().DeleteFile(file)) throw std::runtime_error("cannot remove " + file);
      removed += " " + file;
    }
    std::printf("removed%s\n", removed.c_str());
    return 0;
  });
}

}  // namespace kestrel::tool
