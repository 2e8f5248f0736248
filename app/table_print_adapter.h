// TTablePrintAdapter: the table component as the record report sees it. The
// print command reads the current record's code and sets the filter through
// it (IRecordPrintTable), and the report walks the filtered records and reads
// their fields as text through it (IQRDataSet). It holds no state of its own:
// everything is read from the table component when asked.
#pragma once

#include "app/data_components.h"
#include "app/record_report.h"
#include "report/qr_dataset.h"

namespace vendrik {

class TTablePrintAdapter final : public IRecordPrintTable, public IQRDataSet {
 public:
  // `table` must outlive the adapter.
  explicit TTablePrintAdapter(ITableComponent& table) : FTable(table) {}

  // IRecordPrintTable. CurrentCode is empty while the table is closed or
  // empty; the filter calls are the table component's own.
  QString CurrentCode() override;
  QString Filter() const override { return FTable.Filter(); }
  bool Filtered() const override { return FTable.Filtered(); }
  void SetFilter(const QString& filter) override { FTable.SetFilter(filter); }
  void SetFiltered(bool filtered) override { FTable.SetFiltered(filtered); }
  IQRDataSet& Records() override { return *this; }

  // IQRDataSet over the table's dataset; a component without a dataset is a
  // closed dataset. Moving and reading throw the component layer's errors.
  bool Active() const override;
  void First() override;
  void Next() override;
  bool Eof() const override;
  int RecordCount() override { return FTable.RecordCount(); }
  bool HasField(const QString& name) const override;
  // The field's value as text (a memo's whole text); throws when the table
  // has no such field.
  QString FieldText(const QString& name) override;

 private:
  // The table's dataset; throws when the component has none.
  kestrel::access::TDataSet& DataSet() const;

  ITableComponent& FTable;
};

}  // namespace vendrik
