// The in-memory dataset: rows of texts under named fields.
#include <stdexcept>

#include "report/qr_dataset.h"

namespace vendrik {

TQRMemoryDataSet::TQRMemoryDataSet(QStringList fields, std::vector<QStringList> rows)
    : FFields(std::move(fields)) {
  for (QStringList& row : rows) AddRow(std::move(row));
}

void TQRMemoryDataSet::AddRow(QStringList row) {
  while (row.size() < FFields.size()) row.append(QString());
  FRows.push_back(std::move(row));
}

void TQRMemoryDataSet::Next() {
  if (FPosition < FRows.size()) ++FPosition;
}

std::optional<qsizetype> TQRMemoryDataSet::FieldIndex(const QString& name) const {
  for (qsizetype i = 0; i < FFields.size(); ++i)
    if (FFields[i].compare(name, Qt::CaseInsensitive) == 0) return i;
  return std::nullopt;
}

QString TQRMemoryDataSet::FieldText(const QString& name) {
  const std::optional<qsizetype> index = FieldIndex(name);
  if (!index) throw std::runtime_error("Field '" + name.toStdString() + "' not found");
  if (Eof()) throw std::runtime_error("No current record");
  if (!FUnreadable.isEmpty() && name.compare(FUnreadable, Qt::CaseInsensitive) == 0)
    throw std::runtime_error("Field '" + name.toStdString() + "' cannot be read");
  return FRows[FPosition][*index];
}

}  // namespace vendrik
