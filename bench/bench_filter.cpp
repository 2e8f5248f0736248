// A filter condition over a described table (see bench_filter.h).
#include "bench/bench_filter.h"

#include "engine/cond/sql_condition.h"

namespace vendrik::bench {

using namespace kestrel;

namespace {

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char16_t x = a[i] >= u'a' && a[i] <= u'z' ? a[i] - u'a' + u'A' : a[i];
    const char16_t y = b[i] >= u'a' && b[i] <= u'z' ? b[i] - u'a' + u'A' : b[i];
    if (x != y) return false;
  }
  return true;
}

// The condition layer's view of the current record: columns by name, texts
// through the reader.
class TRecordSource final : public ICondRecordSource {
 public:
  TRecordSource(std::vector<TBenchFilterColumn> columns, TBenchFilter::TReader reader)
      : FColumns(std::move(columns)), FReader(std::move(reader)) {}

  bool FindColumn(std::u16string_view tableName, std::u16string_view columnName,
                  TCondColumnInfo& info) const override {
    if (!tableName.empty()) return false;
    for (std::size_t i = 0; i < FColumns.size(); ++i) {
      if (!SameName(FColumns[i].Name, columnName)) continue;
      info.FFieldNo = static_cast<int>(i) + 1;
      info.FDataType = TCondDataType();
      info.FDataType.FColumnType = FColumns[i].ColumnType;
      info.FDataType.FNullable = FColumns[i].Nullable;
      info.FDataType.FMaxLength = FColumns[i].MaxLength;
      info.FDataType.FCodePage = FColumns[i].CodePage;
      return true;
    }
    return false;
  }

  void ReadColumn(int fieldNo, TCondValue& value) const override {
    value.FKind = FReader(fieldNo, value.FString) ? cvkString : cvkNull;
  }

 private:
  std::vector<TBenchFilterColumn> FColumns;
  TBenchFilter::TReader FReader;
};

}  // namespace

struct TBenchFilter::TImpl {
  TImpl(const std::u16string& condition, std::vector<TBenchFilterColumn> columns, TReader reader)
      : Source(std::move(columns), std::move(reader)), Condition(condition) {}
  TRecordSource Source;
  TTdbSqlCondition Condition;
};

TBenchFilter::TBenchFilter(const std::u16string& condition, std::vector<TBenchFilterColumn> columns,
                           TReader reader)
    : FImpl(std::make_unique<TImpl>(condition, std::move(columns), std::move(reader))) {
  FImpl->Condition.Prepare(FImpl->Source);
}

TBenchFilter::~TBenchFilter() = default;

bool TBenchFilter::Evaluate() { return FImpl->Condition.Evaluate(); }

}  // namespace vendrik::bench
