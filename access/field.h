// Field objects of a dataset. A field reads and writes one column of the
// dataset's current record buffer (the record image the engine exchanges)
// through the column codec; it never holds a value of its own. Text values
// are UTF-8. Memo and blob values are not in the record image: the field
// asks its dataset for them (TDataSet::ReadBlob / WriteBlob), which reads
// them only when a field is asked.
//
// Field classes by column type: TTdbStringField (Char, String: 8-bit
// Windows-1250 text), TTdbWideStringField (WideString), TIntegerField
// (Int16, Byte, LongInt, Enum, Link), TAutoIncField (RecordId, read-only),
// TTdbLargeIntField (Int64), TFloatField, TBooleanField, TDateTimeField
// (Date, Time, DateTime), TGuidField, TMemoField (Memo: 8-bit text stored
// with CR LF, given to the program with LF), TWideMemoField (UTF-16LE text,
// line ends as for memos) and TTdbBlobField (bytes).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "access/column_codec.h"

namespace kestrel::access {

class TDataSet;

enum class TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftDate, ftTime, ftDateTime,
  ftAutoInc, ftBlob, ftMemo, ftWideString, ftWideMemo, ftLargeint, ftGuid,
};

// The definition a field is made from: a column of the dataset.
struct TFieldDef {
  std::string Name;
  int FieldNo = 0;  // 1-based column number
  TFieldType DataType = TFieldType::ftUnknown;
  int Size = 0;       // characters of a string field
  int Precision = 0;  // of a float or time column
  bool Required = false;
  bool ReadOnly = false;
  TColumnLayout Layout;
};

class TField {
 public:
  // The field belongs to `dataSet`, which must outlive it.
  TField(TDataSet& dataSet, const TFieldDef& def);
  virtual ~TField() = default;
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  TDataSet& DataSet() const { return FDataSet; }
  const std::string& FieldName() const { return FDef.Name; }
  int FieldNo() const { return FDef.FieldNo; }
  TFieldType DataType() const { return FDef.DataType; }
  int Size() const { return FDef.Size; }
  const TColumnLayout& Layout() const { return FDef.Layout; }
  bool Required() const { return FDef.Required; }
  bool ReadOnly() const { return FDef.ReadOnly; }
  void SetReadOnly(bool value) { FDef.ReadOnly = value; }
  // Whether the value lives outside the record image (memo, blob).
  virtual bool IsBlob() const { return false; }

  // Whether the current record has no value here (also when there is no
  // current record).
  virtual bool IsNull() const;
  // The value as text; "" for NULL.
  virtual std::string AsString() const = 0;
  // Sets the value from text; throws EDatabaseError for text the type cannot
  // take, or when the dataset is not in an editing state.
  virtual void SetAsString(const std::string& text) = 0;
  virtual std::int64_t AsInteger() const;
  virtual void SetAsInteger(std::int64_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  // Makes the value NULL; a required field refuses with "Field '%s' must
  // have a value".
  void Clear();

 protected:
  // The record image of the buffer the field reads now (empty when the
  // dataset has no current record).
  std::span<const std::uint8_t> ReadImage() const;
  // The record image the field writes, after the dataset's checks.
  std::span<std::uint8_t> WriteImage();
  // Tells the dataset that the value changed.
  void Changed();
  [[noreturn]] void CannotAccess(const char* kind) const;

  TDataSet& FDataSet;
  TFieldDef FDef;
};

class TTdbStringField : public TField {
 public:
  using TField::TField;
  std::string AsString() const override;
  // Stores the text in Windows-1250, cut to the field's size.
  void SetAsString(const std::string& text) override;
  std::int64_t AsInteger() const override;
  void SetAsInteger(std::int64_t value) override { SetAsString(std::to_string(value)); }
};

class TTdbWideStringField : public TField {
 public:
  using TField::TField;
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
};

class TIntegerField : public TField {
 public:
  using TField::TField;
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  std::int64_t AsInteger() const override;
  void SetAsInteger(std::int64_t value) override;
  double AsFloat() const override { return static_cast<double>(AsInteger()); }
};

class TAutoIncField : public TIntegerField {
 public:
  TAutoIncField(TDataSet& dataSet, const TFieldDef& def);
};

class TTdbLargeIntField : public TIntegerField {
 public:
  using TIntegerField::TIntegerField;
};

class TFloatField : public TField {
 public:
  using TField::TField;
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  std::int64_t AsInteger() const override { return static_cast<std::int64_t>(AsFloat()); }
  void SetAsInteger(std::int64_t value) override { SetAsFloat(static_cast<double>(value)); }
};

class TBooleanField : public TField {
 public:
  using TField::TField;
  // "True" or "False"; "" for NULL.
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  std::int64_t AsInteger() const override { return AsBoolean() ? 1 : 0; }
};

// Text forms: Date "yyyy-mm-dd", Time "hh:mm:ss" (".zzz" when there are
// milliseconds), DateTime both separated by a blank.
class TDateTimeField : public TField {
 public:
  using TField::TField;
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  TDateTimeValue AsDateTime() const;
  void SetAsDateTime(TDateTimeValue value);
};

// Text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" of the GUID's fields.
class TGuidField : public TField {
 public:
  using TField::TField;
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
};

class TTdbBlobField : public TField {
 public:
  using TField::TField;
  bool IsBlob() const override { return true; }
  bool IsNull() const override;
  // The stored bytes.
  std::string AsBytes() const;
  void SetAsBytes(const std::string& bytes);
  std::string AsString() const override { return AsBytes(); }
  void SetAsString(const std::string& text) override { SetAsBytes(text); }
};

class TMemoField : public TTdbBlobField {
 public:
  using TTdbBlobField::TTdbBlobField;
  // The text with LF line ends.
  std::string AsString() const override;
  // Stores the text in Windows-1250 with CR LF line ends.
  void SetAsString(const std::string& text) override;
};

class TWideMemoField : public TTdbBlobField {
 public:
  using TTdbBlobField::TTdbBlobField;
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
};

// The field object for a definition, of the class its type asks for.
std::unique_ptr<TField> CreateField(TDataSet& dataSet, const TFieldDef& def);

}  // namespace kestrel::access
