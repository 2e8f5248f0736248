// Field objects: reading and writing one column of the current record.
#include "access/field.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "access/dataset.h"
#include "access/db_error.h"
#include "access/text_codec.h"

namespace kestrel::access {
namespace {

constexpr int kMillisecondsPerSecond = 1000;
constexpr int kSecondsPerMinute = 60;
constexpr int kMinutesPerHour = 60;

// Parses a whole decimal integer; false for anything else.
bool ParseInteger(const std::string& text, std::int64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && end == text.c_str() + text.size();
}

// In an editing state, refuses text with a character Windows-1250 cannot
// store, before anything is written: the stored byte would be '?' and the
// typed character lost. Search keys (set-key state) keep the '?' and match
// nothing.
void CheckCp1250(const TDataSet& dataSet, const std::string& fieldName, const std::string& text) {
  if (dataSet.State() != TDataSetState::dsEdit && dataSet.State() != TDataSetState::dsInsert) return;
  const std::string refused = FirstCharOutsideCp1250(text);
  if (!refused.empty())
    throw EDatabaseError(FormatText("Field '%s' cannot store the character \"%s\": it is not in the Windows-1250 code page",
                                    {fieldName, refused}));
}

[[noreturn]] void NotValid(const std::string& text, const char* kind) {
  throw EDatabaseError(FormatText("'%s' is not a valid %s", {text, kind}));
}

std::string DateText(std::int32_t packed) {
  int year = 0, month = 0, day = 0;
  UnpackDate(packed, year, month, day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::string TimeText(std::int32_t ms) {
  const int seconds = ms / kMillisecondsPerSecond;
  char text[24];
  if (ms % kMillisecondsPerSecond != 0)
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", seconds / 3600, seconds / 60 % 60, seconds % 60,
                  ms % kMillisecondsPerSecond);
  else
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

bool ParseDate(const std::string& text, std::int32_t& packed) {
  int year = 0, month = 0, day = 0, used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 ||
      used != static_cast<int>(text.size()) || year < 1 || month < 1 || month > 12 || day < 1 || day > 31)
    return false;
  packed = PackDate(year, month, day);
  return true;
}

bool ParseTime(const std::string& text, std::int32_t& ms) {
  int hours = 0, minutes = 0, seconds = 0, millis = 0, used = 0;
  const int read = std::sscanf(text.c_str(), "%2d:%2d:%2d%n.%3d%n", &hours, &minutes, &seconds, &used, &millis, &used);
  if (read < 3 || used != static_cast<int>(text.size()) || hours > 23 || minutes > 59 || seconds > 59) return false;
  ms = ((hours * kMinutesPerHour + minutes) * kSecondsPerMinute + seconds) * kMillisecondsPerSecond + millis;
  return true;
}

}  // namespace

TField::TField(TDataSet& dataSet, const TFieldDef& def) : FDataSet(dataSet), FDef(def) {}

std::span<const std::uint8_t> TField::ReadImage() const { return FDataSet.FieldImage(); }

std::span<std::uint8_t> TField::WriteImage() { return FDataSet.FieldWriteImage(*this); }

void TField::Changed() { FDataSet.FieldChanged(*this); }

void TField::CannotAccess(const char* kind) const {
  throw EDatabaseError(FormatText("Cannot access field '%s' as type %s", {FDef.Name, kind}));
}

bool TField::IsNull() const {
  const auto image = ReadImage();
  return image.empty() || ColumnIsNull(FDef.Layout, image);
}

std::int64_t TField::AsInteger() const { CannotAccess("Integer"); }
void TField::SetAsInteger(std::int64_t) { CannotAccess("Integer"); }
double TField::AsFloat() const { CannotAccess("Float"); }
void TField::SetAsFloat(double) { CannotAccess("Float"); }
bool TField::AsBoolean() const { CannotAccess("Boolean"); }
void TField::SetAsBoolean(bool) { CannotAccess("Boolean"); }

void TField::Clear() {
  if (FDef.Required) throw EDatabaseError(FormatText("Field '%s' must have a value", {FDef.Name}));
  if (IsBlob()) {
    FDataSet.WriteBlob(*this, std::string());
  } else {
    ColumnSetNull(FDef.Layout, WriteImage());
  }
  Changed();
}

// ---- Strings ----------------------------------------------------------------

std::string TTdbStringField::AsString() const {
  const auto image = ReadImage();
  return image.empty() ? std::string() : Cp1250ToUtf8(ReadAnsi(FDef.Layout, image));
}

void TTdbStringField::SetAsString(const std::string& text) {
  CheckCp1250(FDataSet, FDef.Name, text);
  WriteAnsi(FDef.Layout, WriteImage(), Utf8ToCp1250(text));
  Changed();
}

std::int64_t TTdbStringField::AsInteger() const {
  const std::string text = AsString();
  std::int64_t value = 0;
  if (!ParseInteger(text, value)) NotValid(text, "integer value");
  return value;
}

std::string TTdbWideStringField::AsString() const {
  const auto image = ReadImage();
  return image.empty() ? std::string() : Utf16ToUtf8(ReadWide(FDef.Layout, image));
}

void TTdbWideStringField::SetAsString(const std::string& text) {
  WriteWide(FDef.Layout, WriteImage(), Utf8ToUtf16(text));
  Changed();
}

// ---- Numbers ----------------------------------------------------------------

std::string TIntegerField::AsString() const { return IsNull() ? std::string() : std::to_string(AsInteger()); }

void TIntegerField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  std::int64_t value = 0;
  if (!ParseInteger(text, value)) NotValid(text, "integer value");
  SetAsInteger(value);
}

std::int64_t TIntegerField::AsInteger() const {
  const auto image = ReadImage();
  return image.empty() ? 0 : ReadInteger(FDef.Layout, image);
}

void TIntegerField::SetAsInteger(std::int64_t value) {
  WriteInteger(FDef.Layout, WriteImage(), value);
  Changed();
}

TAutoIncField::TAutoIncField(TDataSet& dataSet, const TFieldDef& def) : TIntegerField(dataSet, def) {
  FDef.ReadOnly = true;
}

std::string TFloatField::AsString() const {
  if (IsNull()) return std::string();
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", AsFloat());
  return text;
}

void TFloatField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) NotValid(text, "floating point value");
  SetAsFloat(value);
}

double TFloatField::AsFloat() const {
  const auto image = ReadImage();
  return image.empty() ? 0 : ReadFloat(FDef.Layout, image);
}

void TFloatField::SetAsFloat(double value) {
  WriteFloat(FDef.Layout, WriteImage(), value);
  Changed();
}

std::string TBooleanField::AsString() const {
  if (IsNull()) return std::string();
  return AsBoolean() ? "True" : "False";
}

void TBooleanField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
  } else if (text == "True" || text == "true") {
    SetAsBoolean(true);
  } else if (text == "False" || text == "false") {
    SetAsBoolean(false);
  } else {
    NotValid(text, "boolean value");
  }
}

bool TBooleanField::AsBoolean() const {
  const auto image = ReadImage();
  return !image.empty() && ReadInteger(FDef.Layout, image) != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  WriteInteger(FDef.Layout, WriteImage(), value ? 1 : 0);
  Changed();
}

// ---- Dates and GUIDs --------------------------------------------------------

TDateTimeValue TDateTimeField::AsDateTime() const {
  const auto image = ReadImage();
  return image.empty() ? TDateTimeValue() : ReadDateTime(FDef.Layout, image);
}

void TDateTimeField::SetAsDateTime(TDateTimeValue value) {
  WriteDateTime(FDef.Layout, WriteImage(), value);
  Changed();
}

std::string TDateTimeField::AsString() const {
  if (IsNull()) return std::string();
  const TDateTimeValue value = AsDateTime();
  switch (FDef.DataType) {
    case TFieldType::ftDate: return DateText(value.Date);
    case TFieldType::ftTime: return TimeText(value.Milliseconds);
    default: return DateText(value.Date) + " " + TimeText(value.Milliseconds);
  }
}

void TDateTimeField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  TDateTimeValue value;
  bool valid = false;
  switch (FDef.DataType) {
    case TFieldType::ftDate:
      valid = ParseDate(text, value.Date);
      break;
    case TFieldType::ftTime:
      valid = ParseTime(text, value.Milliseconds);
      break;
    default: {
      const std::size_t blank = text.find(' ');
      valid = blank != std::string::npos && ParseDate(text.substr(0, blank), value.Date) &&
              ParseTime(text.substr(blank + 1), value.Milliseconds);
    }
  }
  if (!valid) NotValid(text, FDef.DataType == TFieldType::ftTime ? "time" : "date");
  SetAsDateTime(value);
}

std::string TGuidField::AsString() const {
  if (IsNull()) return std::string();
  const TGuidBytes g = ReadGuid(FDef.Layout, ReadImage());
  char text[40];
  std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[3],
                g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
  return text;
}

void TGuidField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  unsigned v[16];
  int used = 0;
  if (text.size() != 38 ||
      std::sscanf(text.c_str(), "{%2x%2x%2x%2x-%2x%2x-%2x%2x-%2x%2x-%2x%2x%2x%2x%2x%2x}%n", &v[3], &v[2], &v[1], &v[0],
                  &v[5], &v[4], &v[7], &v[6], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15],
                  &used) != 16 ||
      used != 38)
    NotValid(text, "GUID");
  TGuidBytes guid{};
  for (std::size_t i = 0; i < guid.size(); ++i) guid[i] = static_cast<std::uint8_t>(v[i]);
  WriteGuid(FDef.Layout, WriteImage(), guid);
  Changed();
}

// ---- Memos and blobs --------------------------------------------------------

bool TTdbBlobField::IsNull() const {
  const auto image = ReadImage();
  return image.empty() || ReadInteger(FDef.Layout, image) == 0;
}

std::string TTdbBlobField::AsBytes() const {
  if (ReadImage().empty()) return std::string();
  return FDataSet.ReadBlob(*this);
}

void TTdbBlobField::SetAsBytes(const std::string& bytes) {
  WriteImage();
  FDataSet.WriteBlob(*this, bytes);
  Changed();
}

std::string TMemoField::AsString() const { return ToLfLineEnds(Cp1250ToUtf8(AsBytes())); }

void TMemoField::SetAsString(const std::string& text) {
  CheckCp1250(FDataSet, FDef.Name, text);
  SetAsBytes(Utf8ToCp1250(ToCrLfLineEnds(ToLfLineEnds(text))));
}

std::string TWideMemoField::AsString() const {
  const std::string bytes = AsBytes();
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  return ToLfLineEnds(Utf16ToUtf8(text));
}

void TWideMemoField::SetAsString(const std::string& text) {
  const std::u16string wide = Utf8ToUtf16(ToCrLfLineEnds(ToLfLineEnds(text)));
  std::string bytes(wide.size() * 2, '\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
  }
  SetAsBytes(bytes);
}

std::unique_ptr<TField> CreateField(TDataSet& dataSet, const TFieldDef& def) {
  switch (def.DataType) {
    case TFieldType::ftString: return std::make_unique<TTdbStringField>(dataSet, def);
    case TFieldType::ftWideString: return std::make_unique<TTdbWideStringField>(dataSet, def);
    case TFieldType::ftSmallint: case TFieldType::ftInteger: case TFieldType::ftWord:
      return std::make_unique<TIntegerField>(dataSet, def);
    case TFieldType::ftAutoInc: return std::make_unique<TAutoIncField>(dataSet, def);
    case TFieldType::ftLargeint: return std::make_unique<TTdbLargeIntField>(dataSet, def);
    case TFieldType::ftFloat: return std::make_unique<TFloatField>(dataSet, def);
    case TFieldType::ftBoolean: return std::make_unique<TBooleanField>(dataSet, def);
    case TFieldType::ftDate: case TFieldType::ftTime: case TFieldType::ftDateTime:
      return std::make_unique<TDateTimeField>(dataSet, def);
    case TFieldType::ftGuid: return std::make_unique<TGuidField>(dataSet, def);
    case TFieldType::ftMemo: return std::make_unique<TMemoField>(dataSet, def);
    case TFieldType::ftWideMemo: return std::make_unique<TWideMemoField>(dataSet, def);
    case TFieldType::ftBlob: return std::make_unique<TTdbBlobField>(dataSet, def);
    case TFieldType::ftUnknown: break;
  }
  throw EDatabaseError(FormatText("Field '%s' is of an unknown type", {def.Name}));
}

}  // namespace kestrel::access
