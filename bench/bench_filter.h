// TBenchFilter: a filter condition of the condition layer, prepared over a
// table described by its columns and evaluated record by record; the
// caller's reader hands it the text of a column of the current record.
//
// Only standard types appear here: the condition layer's headers and the
// table layer's headers both define the largest string lengths, so no unit
// may include both; this one includes only the former.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vendrik::bench {

struct TBenchFilterColumn {
  std::u16string Name;
  int ColumnType = 0;  // the table format's type code
  bool Nullable = true;
  int MaxLength = 0;  // 0 for memo columns
  int CodePage = 0;   // of 8-bit texts
};

class TBenchFilter {
 public:
  // Reads column fieldNo (1-based) of the current record into text; false
  // for NULL.
  using TReader = std::function<bool(int fieldNo, std::u16string& text)>;

  // Parses and prepares `condition`; throws the condition layer's errors.
  TBenchFilter(const std::u16string& condition, std::vector<TBenchFilterColumn> columns, TReader reader);
  ~TBenchFilter();
  TBenchFilter(const TBenchFilter&) = delete;
  TBenchFilter& operator=(const TBenchFilter&) = delete;

  // Whether the current record satisfies the condition.
  bool Evaluate();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace vendrik::bench
