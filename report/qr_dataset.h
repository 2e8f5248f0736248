// The report engine's view of the records it prints. A report walks a dataset
// from its first record to its end and reads fields by name as display text;
// it knows nothing else about where the records come from. The program hands
// the table component in through an adapter, the tests an in-memory dataset.
#pragma once

#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

namespace vendrik {

class IQRDataSet {
 public:
  virtual ~IQRDataSet() = default;

  // Whether the dataset is open; a closed dataset prints as an empty report.
  virtual bool Active() const = 0;

  // Moves to the first record (to the end when there is none).
  virtual void First() = 0;
  // Moves to the next record; past the last one Eof() becomes true.
  virtual void Next() = 0;
  // Whether the position is past the last record.
  virtual bool Eof() const = 0;

  // The number of records; may throw (generation then counts 1).
  virtual int RecordCount() = 0;

  // Whether the dataset has a field of that name (compared case-insensitively).
  virtual bool HasField(const QString& name) const = 0;

  // The current record's value of the field as text: the display text of a
  // plain field, the whole text of a memo field. May throw when the value
  // cannot be read; the report then prints it as empty text.
  virtual QString FieldText(const QString& name) = 0;
};

// A dataset held in memory: named fields and rows of texts. Used by tests and
// by anything that prints data that does not live in a table.
class TQRMemoryDataSet final : public IQRDataSet {
 public:
  // `fields` names the columns; every row holds one text per field.
  explicit TQRMemoryDataSet(QStringList fields, std::vector<QStringList> rows = {});

  void AddRow(QStringList row);
  // Makes reading `field` throw, to stand for a value that cannot be read.
  void SetUnreadable(const QString& field) { FUnreadable = field; }
  void SetActive(bool active) { FActive = active; }

  bool Active() const override { return FActive; }
  void First() override { FPosition = 0; }
  void Next() override;
  bool Eof() const override { return FPosition >= FRows.size(); }
  int RecordCount() override { return static_cast<int>(FRows.size()); }
  bool HasField(const QString& name) const override { return FieldIndex(name).has_value(); }
  // Throws std::runtime_error when positioned past the end or the field is
  // unknown or marked unreadable.
  QString FieldText(const QString& name) override;

 private:
  std::optional<qsizetype> FieldIndex(const QString& name) const;

  QStringList FFields;
  std::vector<QStringList> FRows;
  size_t FPosition = 0;
  bool FActive = true;
  QString FUnreadable;
};

}  // namespace vendrik
