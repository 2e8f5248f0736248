// Conversions of text and values to a type (see cond_convert.h).
#include "engine/cond/cond_convert.h"

#include <cmath>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

bool SameAsciiNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char16_t x = (a[i] >= u'a' && a[i] <= u'z') ? a[i] - 32 : a[i];
    const char16_t y = (b[i] >= u'a' && b[i] <= u'z') ? b[i] - 32 : b[i];
    if (x != y) return false;
  }
  return true;
}

TCondConversion Failed(int number, std::vector<std::string> arguments) {
  TCondConversion result;
  result.FOk = false;
  result.FErrorNumber = number;
  result.FErrorArguments = std::move(arguments);
  return result;
}

TCondConversion Converted(TCondValue value) {
  TCondConversion result;
  result.FValue = std::move(value);
  return result;
}

// The range of the integer column types.
void IntegerRange(int columnType, int64_t& low, int64_t& high) {
  switch (columnType) {
    case cctInt16: low = -32768, high = 32767; return;
    case cctByte: low = 0, high = 255; return;
    case cctBoolean: low = 0, high = 1; return;
    case cctEnum: low = -128, high = 127; return;
    case cctRecordId:
    case cctLink: low = 0, high = INT32_MAX; return;
    case cctLongInt: low = INT32_MIN, high = INT32_MAX; return;
    default: low = INT64_MIN, high = INT64_MAX; return;
  }
}

std::u16string ValueText(const TCondValue& value, int columnType) {
  switch (value.FKind) {
    case cvkInteger:
      if (columnType == cctBoolean) return value.FInteger ? u"True" : u"False";
      return Utf8ToUtf16(std::to_string(value.FInteger));
    case cvkFloat: return FloatToText(value.FFloat);
    case cvkString: return value.FString;
    case cvkDate: return DateToText(value.FDate);
    case cvkTime: return TimeToText(value.FTime);
    case cvkDateTime: return DateToText(value.FDate) + u" " + TimeToText(value.FTime);
    case cvkGuid: return GuidToText(value.FGuid);
    case cvkNull: break;
  }
  return u"";
}

}  // namespace

void ThrowConversionError(const TCondConversion& conversion, const TSqlErrorPosition* position) {
  const std::vector<std::string>& args = conversion.FErrorArguments;
  const int number = conversion.FErrorNumber;
  if (args.size() == 4) {
    if (position) throw ETdbCompilerError(*position, number, args[0], args[1], args[2], args[3]);
    throw ETdbEngine(number, args[0], args[1], args[2], args[3]);
  }
  const std::string argument = args.empty() ? std::string() : args[0];
  if (position) throw ETdbCompilerError(*position, number, argument);
  throw ETdbEngine(number, argument);
}

TCondConversion ConvertText(std::u16string_view text, const TCondDataType& type,
                            const TCondLocalFormats* localFormats) {
  const std::string quoted = Utf16ToUtf8(text);
  const int code = type.FColumnType;
  if (IsStringType(code)) {
    std::u16string value(text);
    if (IsAnsiStringType(code)) {
      // Characters the code page lacks become "?", as they would in a column.
      const int codePage = type.FCodePage ? type.FCodePage : kStandardLiteralCodePage;
      value = DecodeCodePage(EncodeCodePage(value, codePage), codePage);
    }
    if (type.FMaxLength > 0 && value.size() > static_cast<size_t>(type.FMaxLength)) value.resize(type.FMaxLength);
    return Converted(TCondValue::String(std::move(value)));
  }
  TCondValue value;
  switch (code) {
    case cctFloat:
      if (!ParseEngineNumber(text, value) && !(localFormats && ParseLocalNumber(text, *localFormats, value)))
        return Failed(tdbErrInvalidNumber, {quoted});
      return Converted(TCondValue::Float(ValueAsFloat(value)));
    case cctBoolean:
      if (SameAsciiNoCase(text, u"True") || SameAsciiNoCase(text, u"Ja")) return Converted(TCondValue::Integer(1));
      if (SameAsciiNoCase(text, u"False") || SameAsciiNoCase(text, u"Nein")) return Converted(TCondValue::Integer(0));
      return Failed(tdbErrTypeMismatch, {"\"" + quoted + "\"->Boolean"});
    case cctDate:
      if (!(localFormats && ParseLocalDate(text, *localFormats, value.FDate)) && !ParseEngineDate(text, value.FDate))
        return Failed(tdbErrInvalidDate, {quoted});
      return Converted(TCondValue::Date(value.FDate));
    case cctTime:
      if (!(localFormats && ParseLocalTime(text, *localFormats, value.FTime)) && !ParseEngineTime(text, value.FTime))
        return Failed(tdbErrInvalidTime, {quoted});
      return Converted(TCondValue::Time(value.FTime));
    case cctDateTime:
      if (!(localFormats && ParseLocalTimeStamp(text, *localFormats, value.FDate, value.FTime)) &&
          !ParseEngineTimeStamp(text, value.FDate, value.FTime))
        return Failed(tdbErrInvalidTimestamp, {quoted});
      return Converted(TCondValue::DateTime(value.FDate, value.FTime));
    case cctGuid:
      value.FKind = cvkGuid;
      if (!ParseGuid(text, value.FGuid)) return Failed(tdbErrInvalidNumber, {quoted});
      return Converted(value);
    case cctEnum: {
      int64_t number;
      if (ParseEngineInteger(text, number)) return Converted(TCondValue::Integer(number));
      for (size_t i = 0; i < type.FEnumNames.size(); ++i)
        if (SameAsciiNoCase(type.FEnumNames[i], text)) return Converted(TCondValue::Integer(static_cast<int64_t>(i) + 1));
      return Failed(tdbErrUnknownIdentifier, {quoted});
    }
    default:
      if (IsIntegerType(code)) {
        int64_t number;
        if (!ParseEngineInteger(text, number)) return Failed(tdbErrInvalidNumber, {quoted});
        return Converted(TCondValue::Integer(number));
      }
      return Failed(tdbErrTypeMismatch, {"\"" + quoted + "\"->" + SqlTypeName(type)});
  }
}

TCondConversion ConvertValue(const TCondValue& value, const TCondDataType& from, const TCondDataType& to) {
  if (value.IsNull()) return Converted(TCondValue());
  const int target = to.FColumnType;
  if (IsStringType(target)) return ConvertText(ValueText(value, from.FColumnType), to, nullptr);
  if (value.FKind == cvkString) return ConvertText(value.FString, to, nullptr);
  const std::string mismatch = SqlTypeName(from) + "->" + SqlTypeName(to);
  if (target == cctFloat && (value.FKind == cvkInteger || value.FKind == cvkFloat))
    return Converted(TCondValue::Float(ValueAsFloat(value)));
  if (IsIntegerType(target) && (value.FKind == cvkInteger || value.FKind == cvkFloat)) {
    int64_t low, high;
    IntegerRange(target, low, high);
    const double number = value.FKind == cvkFloat ? std::trunc(value.FFloat) : 0;
    // high + 1 is exact as a double for every range (2^63 for Int64).
    const bool inRange = value.FKind == cvkInteger ? value.FInteger >= low && value.FInteger <= high
                                                   : number >= static_cast<double>(low) &&
                                                         number < static_cast<double>(high) + 1.0;
    if (!inRange) {
      TCondDataType named = to;  // the type's plain name, without " NOT NULL"
      named.FNullable = true;
      return Failed(tdbErrValueRange, {Utf16ToUtf8(ValueText(value, from.FColumnType)), SqlTypeName(named),
                                       std::to_string(low), std::to_string(high)});
    }
    return Converted(TCondValue::Integer(value.FKind == cvkInteger ? value.FInteger : static_cast<int64_t>(number)));
  }
  if (target == cctDateTime && value.FKind == cvkDate) return Converted(TCondValue::DateTime(value.FDate, 0));
  if (target == cctDateTime && value.FKind == cvkDateTime) return Converted(value);
  if (target == cctDate && (value.FKind == cvkDate || value.FKind == cvkDateTime))
    return Converted(TCondValue::Date(value.FDate));
  if (target == cctTime && (value.FKind == cvkTime || value.FKind == cvkDateTime))
    return Converted(TCondValue::Time(value.FTime));
  if (target == cctGuid && value.FKind == cvkGuid) return Converted(value);
  return Failed(tdbErrTypeMismatch, {mismatch});
}

}  // namespace kestrel
