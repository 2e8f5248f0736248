// Conversions between column types (column_conversion.h): the matrix of
// families and the conversion that follows it.
#include "engine/base/column_conversion.h"

#include <cmath>
#include <string>

#include "engine/base/code_page.h"
#include "engine/base/date_time_value.h"
#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

enum TFamily { fmInteger, fmFloat, fmText, fmDate, fmTime, fmDateTime, fmGuid, fmBlob, fmRelation };

TFamily FamilyOf(TTdbColumnType code) {
  switch (code) {
    case tctFloat: return fmFloat;
    case tctChar: case tctString: case tctWideString: case tctMemo: case tctWideMemo: return fmText;
    case tctDate: return fmDate;
    case tctTime: return fmTime;
    case tctDateTime: return fmDateTime;
    case tctGuid: return fmGuid;
    case tctBlob: return fmBlob;
    case tctRelation: return fmRelation;
    default: return fmInteger;
  }
}

enum TWay : char { wyNever = '-', wyImplicit = 'I', wyExplicit = 'E' };

// kMatrix[from][to], rows and columns in TFamily order.
constexpr const char* kMatrix[] = {
    "IIE------",  // integer
    "EIE------",  // Float
    "EEIEEEEE-",  // text
    "--EI-I---",  // Date
    "--E-I----",  // Time
    "--EEEI---",  // DateTime
    "--E---I--",  // Guid
    "--E----I-",  // Blob
    "---------",  // Relation
};

TWay WayOf(const TTdbDataType& from, const TTdbDataType& to) {
  return static_cast<TWay>(kMatrix[FamilyOf(from.ColumnType())][FamilyOf(to.ColumnType())]);
}

[[noreturn]] void Refuse(const char* text) { throw ETdbEngine(tdbErrPlain, text); }

// The source value checked against its type's kind.
void CheckKind(const TTdbDataType& type, const TTdbValue& value) {
  bool ok = false;
  switch (FamilyOf(type.ColumnType())) {
    case fmInteger: ok = std::holds_alternative<int64_t>(value); break;
    case fmFloat: ok = std::holds_alternative<double>(value) || std::holds_alternative<int64_t>(value); break;
    case fmText: ok = std::holds_alternative<std::u16string>(value); break;
    case fmDate: ok = std::holds_alternative<TTdbDate>(value); break;
    case fmTime: ok = std::holds_alternative<TTdbTime>(value); break;
    case fmDateTime: ok = std::holds_alternative<TTdbTimeStamp>(value); break;
    case fmGuid: ok = std::holds_alternative<TTdbGuid>(value); break;
    case fmBlob: ok = std::holds_alternative<TTdbBytes>(value); break;
    case fmRelation: break;
  }
  if (!ok) Refuse(GetterRefusal(type.ColumnType()));
}

int64_t IntegerOfType(const TTdbDataType& type, int64_t value, const std::string& valueText) {
  if (type.ColumnType() == tctEnum) {
    if (value < 1 || value > type.MaxInteger()) Refuse("Enum overflow");
  } else if (value < type.MinInteger() || value > type.MaxInteger()) {
    throw ETdbEngine(tdbErrValueRange, valueText, type.TypeName(), std::to_string(type.MinInteger()),
                     std::to_string(type.MaxInteger()));
  }
  return value;
}

// The conversion of an allowed pair; `value` is of `from`'s kind.
TTdbValue Convert(const TTdbDataType& from, const TTdbValue& value, const TTdbDataType& to,
                  const TTdbTextFormats& formats) {
  const TFamily source = FamilyOf(from.ColumnType());
  const TFamily target = FamilyOf(to.ColumnType());
  if (target == fmText) return ConvertFromString(to, ConvertToString(from, value, formats), formats);
  if (source == fmText) return ConvertFromString(to, std::get<std::u16string>(value), formats);
  switch (target) {
    case fmInteger: {
      if (const int64_t* number = std::get_if<int64_t>(&value)) return IntegerOfType(to, *number, std::to_string(*number));
      const double number = std::get<double>(value);
      const std::string text = Utf16ToUtf8(ConvertToString(from, value, TTdbTextFormats{}));
      // Outside these bounds llround cannot answer; the range check refuses them.
      if (!std::isfinite(number) || std::fabs(number) >= 9.2e18)
        throw ETdbEngine(tdbErrValueRange, text, to.TypeName(), std::to_string(to.MinInteger()),
                         std::to_string(to.MaxInteger()));
      return IntegerOfType(to, std::llround(number), text);
    }
    case fmFloat:
      if (const int64_t* number = std::get_if<int64_t>(&value)) return static_cast<double>(*number);
      return value;
    case fmDate:
      if (source == fmDateTime) return TTdbDate{std::get<TTdbTimeStamp>(value).Date};
      return value;
    case fmTime:
      if (source == fmDateTime) return TTdbTime{std::get<TTdbTimeStamp>(value).Milliseconds * kTicksPerMillisecond};
      return value;
    case fmDateTime:
      if (source == fmDate) return TTdbTimeStamp{std::get<TTdbDate>(value).Packed, 0};
      return value;
    default: return value;  // Guid, Blob
  }
}

bool Allowed(TWay way, bool explicitly) { return way == wyImplicit || (way == wyExplicit && explicitly); }

}  // namespace

bool CanConvertTo(const TTdbDataType& from, const TTdbDataType& to, bool explicitly) {
  return Allowed(WayOf(from, to), explicitly);
}

bool CanConvertFrom(const TTdbDataType& to, const TTdbDataType& from, bool explicitly) {
  return CanConvertTo(from, to, explicitly);
}

TTdbValue ConvertTo(const TTdbDataType& from, const TTdbValue& value, const TTdbDataType& to, bool explicitly,
                    const TTdbTextFormats& formats) {
  if (std::holds_alternative<std::monostate>(value)) return value;
  if (!CanConvertTo(from, to, explicitly)) Refuse(SetterRefusal(from.ColumnType()));
  CheckKind(from, value);
  return Convert(from, value, to, formats);
}

TTdbValue ConvertFrom(const TTdbDataType& to, const TTdbDataType& from, const TTdbValue& value, bool explicitly,
                      const TTdbTextFormats& formats) {
  if (std::holds_alternative<std::monostate>(value)) return value;
  if (!CanConvertFrom(to, from, explicitly)) Refuse(GetterRefusal(to.ColumnType()));
  CheckKind(from, value);
  return Convert(from, value, to, formats);
}

}  // namespace kestrel
