// The table component seen through the record report's interfaces.
#include "app/table_print_adapter.h"

#include <stdexcept>

#include "access/dataset.h"

namespace vendrik {
namespace {

const char* const kCodeField = "KOD";

}  // namespace

kestrel::access::TDataSet& TTablePrintAdapter::DataSet() const {
  kestrel::access::TDataSet* dataSet = FTable.DataSet();
  if (dataSet == nullptr) throw std::logic_error("the table component has no dataset");
  return *dataSet;
}

QString TTablePrintAdapter::CurrentCode() {
  kestrel::access::TDataSet* dataSet = FTable.DataSet();
  if (dataSet == nullptr || !dataSet->Active() || dataSet->IsEmpty()) return QString();
  return QString::fromStdString(dataSet->FieldByName(kCodeField).AsString());
}

bool TTablePrintAdapter::Active() const {
  const kestrel::access::TDataSet* dataSet = FTable.DataSet();
  return dataSet != nullptr && dataSet->Active();
}

void TTablePrintAdapter::First() { DataSet().First(); }

void TTablePrintAdapter::Next() { DataSet().Next(); }

bool TTablePrintAdapter::Eof() const { return DataSet().Eof(); }

bool TTablePrintAdapter::HasField(const QString& name) const {
  const kestrel::access::TDataSet* dataSet = FTable.DataSet();
  return dataSet != nullptr && dataSet->FindField(name.toStdString()) != nullptr;
}

QString TTablePrintAdapter::FieldText(const QString& name) {
  return QString::fromStdString(DataSet().FieldByName(name.toStdString()).AsString());
}

}  // namespace vendrik
