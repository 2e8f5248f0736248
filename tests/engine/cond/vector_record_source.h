// A record source over rows held in memory, for the condition tests: a list
// of columns (name and type) and a list of rows of values; the current row
// is chosen with SetRow. Column names compare without regard to ASCII case.
#pragma once

#include <string>
#include <vector>

#include "engine/cond/cond_record_source.h"

namespace kestrel::test {

class TVectorRecordSource : public ICondRecordSource {
 public:
  struct TColumn {
    std::u16string FName;
    TCondDataType FType;
  };

  // The table's name, matched by "table.column" references.
  explicit TVectorRecordSource(std::u16string tableName = u"T") : FTableName(std::move(tableName)) {}

  int AddColumn(std::u16string name, TCondDataType type) {
    FColumns.push_back({std::move(name), std::move(type)});
    return static_cast<int>(FColumns.size()) - 1;
  }
  void AddRow(std::vector<TCondValue> row) { FRows.push_back(std::move(row)); }
  size_t RowCount() const { return FRows.size(); }
  void SetRow(size_t row) { FCurrent = row; }

  bool FindColumn(std::u16string_view tableName, std::u16string_view columnName,
                  TCondColumnInfo& info) const override {
    if (!tableName.empty() && !SameName(tableName, FTableName)) return false;
    for (size_t i = 0; i < FColumns.size(); ++i) {
      if (SameName(FColumns[i].FName, columnName)) {
        info.FFieldNo = static_cast<int>(i);
        info.FDataType = FColumns[i].FType;
        return true;
      }
    }
    return false;
  }

  void ReadColumn(int fieldNo, TCondValue& value) const override { value = FRows.at(FCurrent).at(fieldNo); }

 private:
  static bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      const char16_t x = (a[i] >= u'a' && a[i] <= u'z') ? a[i] - 32 : a[i];
      const char16_t y = (b[i] >= u'a' && b[i] <= u'z') ? b[i] - 32 : b[i];
      if (x != y) return false;
    }
    return true;
  }

  std::u16string FTableName;
  std::vector<TColumn> FColumns;
  std::vector<std::vector<TCondValue>> FRows;
  size_t FCurrent = 0;
};

}  // namespace kestrel::test
