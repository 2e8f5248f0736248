// The functions of conditions: argument checks, result types and results.
#include "engine/cond/sql_function_eval.h"

#include <algorithm>
#include <cmath>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cond/cond_literals.h"
#include "engine/cond/cond_operations.h"
#include "engine/cond/cond_record_source.h"

namespace kestrel {

namespace {

// Argument kinds: N number, I integer, S string, D date or time stamp,
// T time or time stamp, A anything. Lower case marks optional arguments.
struct TSignature {
  TFunctionId FId;
  const char* FArguments;
};

constexpr TSignature kSignatures[] = {
    {sftAbs, "N"}, {sftCeiling, "N"}, {sftChar_Length, "S"}, {sftChr, "I"}, {sftCurrent_Date, ""},
    {sftCurrent_Time, ""}, {sftCurrent_Timestamp, ""}, {sftDigitStr, "N"}, {sftExchange, "SSS"},
    {sftExp, "N"}, {sftFillStr, "SSI"}, {sftFloor, "N"}, {sftFrac, "N"}, {sftInt, "N"}, {sftLen, "S"},
    {sftLog, "N"}, {sftLower, "S"}, {sftTrimLeading, "Ss"}, {sftNTimes, "SI"}, {sftRandom, "I"},
    {sftRealVal, "S"}, {sftRound, "NI"}, {sftTrimTrailing, "S"}, {sftSqrt, "N"}, {sftStr, "Niiaaa"},
    {sftSubString, "SIi"}, {sftTrim, "S"}, {sftUpper, "S"}, {sftSin, "N"}, {sftCos, "N"}, {sftArcTan, "N"},
    {sftAscii, "S"}, {sftPos, "SS"}, {sftScan, "SSi"}, {sftLeftStr, "SI"}, {sftRightStr, "SI"},
    {sftHexStr, "Ii"}, {sftYear, "D"}, {sftMonth, "D"}, {sftWeek, "D"}, {sftDay, "D"}, {sftDayOfWeek, "D"},
    {sftWeekDayNo, "D"}, {sftHour, "T"}, {sftMinute, "T"}, {sftSecond, "T"}, {sftMillisecond, "T"},
    {sftCombineDateTime, "DT"}, {sftMakeTime, "IIii"}, {sftMakeDate, "III"}, {sftMakeDateTime, "IIIiiii"},
    {sftTimeStr, "T"}, {sftDateStr, "D"}, {sftDateTimeStr, "D"}, {sftNewGuid, ""},
};

const char* SignatureOf(TFunctionId id) {
  for (const TSignature& signature : kSignatures)
    if (signature.FId == id) return signature.FArguments;
  return nullptr;
}

bool Fits(char kind, int type) {
  if (type == cctNull) return true;
  switch (kind | 0x20) {
    case 'n': return IsNumericType(type);
    case 'i': return IsIntegerType(type);
    case 's': return IsStringType(type);
    case 'd': return type == cctDate || type == cctDateTime;
    case 't': return type == cctTime || type == cctDateTime;
    default: return true;
  }
}

const char* KindName(char kind) {
  switch (kind | 0x20) {
    case 'n': return "DOUBLE";
    case 'i': return "Integer";
    case 's': return "String";
    case 'd': return "Date";
    case 't': return "Time";
    default: return "";
  }
}

TCondDataType GeneratedStringType() {
  TCondDataType type = MakeStringType(cctWideString, kMaxWideStringLength);
  type.FNullable = true;
  return type;
}

TCondDataType Nullable(int columnType) { return MakeType(columnType, true); }

// The type of the first argument with the largest length of its kind.
TCondDataType LongestOf(const TCondDataType& type) {
  TCondDataType result = type;
  result.FMaxLength = type.FColumnType == cctWideString || type.FColumnType == cctWideMemo ? kMaxWideStringLength
                                                                                           : kMaxAnsiStringLength;
  result.FNullable = true;
  return result;
}

std::u16string Text(const std::string& ascii) { return Utf8ToUtf16(ascii); }

int64_t Days(const TCondValue& value) { return DateToDays(value.FDate); }

// ISO weekday of a day count: 1 = Monday (0001-01-01 was a Monday).
int IsoWeekday(int64_t days) { return static_cast<int>(days % 7) + 1; }

int IsoWeek(int64_t days) {
  const int64_t thursday = days - (IsoWeekday(days) - 1) + 3;
  int year, month, day;
  UnpackDate(DaysToDate(thursday), year, month, day);
  return static_cast<int>((thursday - DateToDays(PackDate(year, 1, 1))) / 7 + 1);
}

void Now(TdwClock& clock, int32_t& packedDate, int32_t& milliseconds) {
  const TdwLocalTime local = clock.LocalNow();
  packedDate = PackDate(local.FYear, local.FMonth, local.FDay);
  milliseconds = ((local.FHour * 60 + local.FMinute) * 60 + local.FSecond) * 1000 + local.FMillisecond;
}

std::u16string NumberText(const TCondValue& value) {
  return value.FKind == cvkFloat ? FloatToText(value.FFloat) : Text(std::to_string(value.FInteger));
}

std::u16string Trim(std::u16string_view text, char16_t trim, bool leading, bool trailing) {
  size_t first = 0;
  size_t last = text.size();
  if (leading)
    while (first < last && text[first] == trim) ++first;
  if (trailing)
    while (last > first && text[last - 1] == trim) --last;
  return std::u16string(text.substr(first, last - first));
}

// Index of `part` in `text` from `from` (0-based) as a 1-based position, 0
// when it does not occur; an empty part never occurs.
int64_t Position(std::u16string_view part, std::u16string_view text, int64_t from) {
  if (part.empty() || from < 0 || from > static_cast<int64_t>(text.size())) return 0;
  const size_t found = text.find(part, static_cast<size_t>(from));
  return found == std::u16string_view::npos ? 0 : static_cast<int64_t>(found) + 1;
}

// The text of `length` characters cut out of `text` at 0-based `start`,
// clamped to the text.
std::u16string Slice(std::u16string_view text, int64_t start, int64_t length) {
  if (start < 0 || start >= static_cast<int64_t>(text.size()) || length <= 0) return u"";
  return std::u16string(text.substr(static_cast<size_t>(start), static_cast<size_t>(std::min<int64_t>(
                                                                     length, text.size() - start))));
}

std::u16string Repeat(std::u16string_view piece, int64_t totalLength) {
  std::u16string result;
  if (piece.empty()) return result;
  const int64_t limit = std::min<int64_t>(totalLength, kMaxAnsiStringLength);
  while (static_cast<int64_t>(result.size()) < limit) result += piece[result.size() % piece.size()];
  return result;
}

double Round(double value, int64_t digits) {
  digits = std::clamp<int64_t>(digits, -308, 308);
  const double scale = std::pow(10.0, static_cast<double>(digits));
  const double scaled = value * scale;
  if (!std::isfinite(scaled)) return value;
  return std::round(scaled) / scale;
}

std::u16string Str(const std::vector<TCondValue>& args) {
  std::u16string text;
  if (args.size() >= 3 && args[2].FKind == cvkInteger) {
    char buffer[400];
    const int decimals = static_cast<int>(std::clamp<int64_t>(args[2].FInteger, 0, 30));
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, ValueAsFloat(args[0]));
    text = Text(buffer);
    for (char16_t& c : text)
      if (c == u',') c = u'.';  // whatever the C locale says
  } else {
    text = NumberText(args[0]);
  }
  if (args.size() >= 2 && args[1].FKind == cvkInteger) {
    const int64_t width = std::min<int64_t>(args[1].FInteger, kMaxAnsiStringLength);
    if (width > static_cast<int64_t>(text.size())) text.insert(0, static_cast<size_t>(width - text.size()), u' ');
  }
  return text;
}

}  // namespace

bool IsNullPropagating(const TTdbFunction& function) { return function.FDef->FId != sftExchange; }

TCondDataType FunctionResultType(const TTdbFunction& function, const TSqlErrorPosition& position) {
  const TFunctionId id = function.FDef->FId;
  const char* signature = SignatureOf(id);
  if (!signature) throw ETdbCompilerError(position, tdbErrNotSupported, Utf16ToUtf8(function.FDef->FName));
  for (size_t i = 0; i < function.FArguments.size(); ++i) {
    const TCondDataType& type = function.FArguments[i]->FDataType;
    const char kind = signature[i];
    if (!Fits(kind, type.FColumnType))
      throw ETdbCompilerError(position, tdbErrTypeMismatch, SqlTypeName(type) + "->" + KindName(kind));
  }
  const TCondDataType first = function.FArguments.empty() ? NullType() : function.FArguments[0]->FDataType;
  switch (id) {
    case sftChar_Length:
    case sftLen:
    case sftAscii:
    case sftPos:
    case sftScan:
    case sftYear:
    case sftMonth:
    case sftWeek:
    case sftDay:
    case sftDayOfWeek:
    case sftWeekDayNo:
    case sftHour:
    case sftMinute:
    case sftSecond:
    case sftMillisecond: return Nullable(cctLongInt);
    case sftInt:
    case sftRandom: return Nullable(cctInt64);
    case sftChr: {
      TCondDataType type = MakeStringType(cctWideString, 1);
      type.FNullable = true;
      return type;
    }
    case sftCurrent_Date:
    case sftMakeDate: return Nullable(cctDate);
    case sftCurrent_Time:
    case sftMakeTime: return Nullable(cctTime);
    case sftCurrent_Timestamp:
    case sftCombineDateTime:
    case sftMakeDateTime: return Nullable(cctDateTime);
    case sftDigitStr:
    case sftStr:
    case sftHexStr:
    case sftTimeStr:
    case sftDateStr:
    case sftDateTimeStr: return GeneratedStringType();
    case sftExchange:
    case sftFillStr:
    case sftNTimes: return first.FColumnType == cctNull ? GeneratedStringType() : LongestOf(first);
    case sftLower:
    case sftUpper:
    case sftTrimLeading:
    case sftTrimTrailing:
    case sftTrim:
    case sftSubString:
    case sftLeftStr:
    case sftRightStr: {
      TCondDataType type = first.FColumnType == cctNull ? GeneratedStringType() : first;
      type.FNullable = true;
      return type;
    }
    case sftNewGuid: return Nullable(cctGuid);
    default: return Nullable(cctFloat);
  }
}

void CalculateFunction(const TTdbFunction& function, const std::vector<TCondValue>& args,
                       const TCondDataType& resultType, TCondValue& result, TdwClock& clock) {
  auto integer = [&](size_t i, int64_t otherwise) {
    return i < args.size() && args[i].FKind == cvkInteger ? args[i].FInteger : otherwise;
  };
  auto number = [&](size_t i) { return ValueAsFloat(args[i]); };
  auto setFloat = [&](double value) {
    if (std::isfinite(value)) result = TCondValue::Float(value);
    else result.SetNull();
  };
  auto string = [&](size_t i) -> const std::u16string& { return args[i].FString; };
  const int32_t time = !args.empty() && (args[0].FKind == cvkTime || args[0].FKind == cvkDateTime) ? args[0].FTime : 0;
  int year = 0, month = 0, day = 0;
  if (!args.empty() && (args[0].FKind == cvkDate || args[0].FKind == cvkDateTime))
    UnpackDate(args[0].FDate, year, month, day);

  switch (function.FDef->FId) {
    case sftAbs: return setFloat(std::fabs(number(0)));
    case sftCeiling:
    case sftFloor: {
      const double value = function.FDef->FId == sftCeiling ? std::ceil(number(0)) : std::floor(number(0));
      if (value < INT32_MIN || value > INT32_MAX) return result.SetNull();
      return setFloat(value);
    }
    case sftChar_Length:
    case sftLen: result = TCondValue::Integer(static_cast<int64_t>(string(0).size())); return;
    case sftChr: {
      const int64_t code = integer(0, 0);
      if (code < 0 || code > 0xFFFF) return result.SetNull();
      result = TCondValue::String(std::u16string(1, static_cast<char16_t>(code)));
      return;
    }
    case sftCurrent_Date:
    case sftCurrent_Time:
    case sftCurrent_Timestamp: {
      int32_t date, millis;
      Now(clock, date, millis);
      if (function.FDef->FId == sftCurrent_Date) result = TCondValue::Date(date);
      else if (function.FDef->FId == sftCurrent_Time) result = TCondValue::Time(millis);
      else result = TCondValue::DateTime(date, millis);
      return;
    }
    case sftDigitStr: {
      const double value = std::trunc(std::fabs(number(0)));
      result = TCondValue::String(value < 1e18 ? Text(std::to_string(static_cast<int64_t>(value))) : FloatToText(value));
      return;
    }
    case sftExchange: {
      if (args[0].IsNull()) return result.SetNull();
      if (args[1].IsNull() || args[2].IsNull() || string(1).empty()) {
        result = args[0];
        return;
      }
      std::u16string text;
      const std::u16string& s = string(0);
      for (size_t i = 0; i < s.size();) {
        if (s.compare(i, string(1).size(), string(1)) == 0) {
          text += string(2);
          i += string(1).size();
        } else {
          text += s[i++];
        }
        if (text.size() > kMaxAnsiStringLength) break;
      }
      result = TCondValue::String(std::move(text));
      return;
    }
    case sftExp: return setFloat(std::exp(number(0)));
    case sftFillStr: {
      std::u16string text = string(0);
      const int64_t length = std::min<int64_t>(integer(2, 0), kMaxAnsiStringLength);
      if (static_cast<int64_t>(text.size()) < length && !string(1).empty())
        text += Repeat(string(1), length - static_cast<int64_t>(text.size()));
      result = TCondValue::String(std::move(text));
      return;
    }
    case sftFrac: return setFloat(number(0) - std::trunc(number(0)));
    case sftInt: {
      const double value = std::trunc(number(0));
      if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0))
        throw ETdbEngine(tdbErrValueRange, Utf16ToUtf8(FloatToText(number(0))), "BigInt", "-9223372036854775808",
                         "9223372036854775807");
      result = TCondValue::Integer(static_cast<int64_t>(value));
      return;
    }
    case sftLog: return number(0) > 0 ? setFloat(std::log(number(0))) : result.SetNull();
    case sftLower:
    case sftUpper:
      result = TCondValue::String(CollationOf(resultType).MapCase(
          string(0), function.FDef->FId == sftUpper,
          IsAnsiStringType(resultType.FColumnType) ? resultType.FCodePage : 0));
      return;
    case sftTrimLeading:
    case sftTrimTrailing:
    case sftTrim: {
      const char16_t trim = args.size() > 1 && !string(1).empty() ? string(1)[0] : u' ';
      const TFunctionId id = function.FDef->FId;
      result = TCondValue::String(Trim(string(0), trim, id != sftTrimTrailing, id != sftTrimLeading));
      return;
    }
    case sftNTimes: {
      const int64_t times = std::clamp<int64_t>(integer(1, 0), 0, kMaxAnsiStringLength);
      result = TCondValue::String(Repeat(string(0), times * static_cast<int64_t>(string(0).size())));
      return;
    }
    case sftRandom: {
      const int64_t limit = integer(0, 0);
      result = TCondValue::Integer(limit > 0 ? static_cast<int64_t>(clock.RandomBits() % static_cast<uint64_t>(limit)) : 0);
      return;
    }
    case sftRealVal: {
      TCondValue value;
      if (!ParseEngineNumber(string(0), value)) throw ETdbEngine(tdbErrInvalidNumber, Utf16ToUtf8(string(0)));
      result = TCondValue::Float(ValueAsFloat(value));
      return;
    }
    case sftRound: return setFloat(Round(number(0), integer(1, 0)));
    case sftSqrt: return number(0) >= 0 ? setFloat(std::sqrt(number(0))) : result.SetNull();
    case sftStr: result = TCondValue::String(Str(args)); return;
    case sftSubString: {
      const int64_t start = integer(1, 0);
      const int64_t count = args.size() > 2 ? integer(2, 0) : INT64_MAX;
      result = TCondValue::String(start < 1 ? u"" : Slice(string(0), start - 1, count));
      return;
    }
    case sftSin: return setFloat(std::sin(number(0)));
    case sftCos: return setFloat(std::cos(number(0)));
    case sftArcTan: return setFloat(std::atan(number(0)));
    case sftAscii: result = TCondValue::Integer(string(0).empty() ? 0 : string(0)[0]); return;
    case sftPos: result = TCondValue::Integer(Position(string(0), string(1), 0)); return;
    case sftScan: result = TCondValue::Integer(Position(string(0), string(1), integer(2, 1) - 1)); return;
    case sftLeftStr: result = TCondValue::String(Slice(string(0), 0, integer(1, 0))); return;
    case sftRightStr: {
      const int64_t length = std::min<int64_t>(integer(1, 0), static_cast<int64_t>(string(0).size()));
      result = TCondValue::String(Slice(string(0), static_cast<int64_t>(string(0).size()) - length, length));
      return;
    }
    case sftHexStr: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%0*llX", static_cast<int>(std::clamp<int64_t>(integer(1, 1), 1, 16)),
                    static_cast<unsigned long long>(integer(0, 0)));
      result = TCondValue::String(Text(buffer));
      return;
    }
    case sftYear: result = TCondValue::Integer(year); return;
    case sftMonth: result = TCondValue::Integer(month); return;
    case sftDay: result = TCondValue::Integer(day); return;
    case sftWeek: result = TCondValue::Integer(IsoWeek(Days(args[0]))); return;
    case sftDayOfWeek: result = TCondValue::Integer(IsoWeekday(Days(args[0])) % 7 + 1); return;  // 1 = Sunday
    case sftWeekDayNo: result = TCondValue::Integer(IsoWeekday(Days(args[0]))); return;         // 1 = Monday
    case sftHour: result = TCondValue::Integer(time / 3600000); return;
    case sftMinute: result = TCondValue::Integer(time / 60000 % 60); return;
    case sftSecond: result = TCondValue::Integer(time / 1000 % 60); return;
    case sftMillisecond: result = TCondValue::Integer(time % 1000); return;
    case sftCombineDateTime: result = TCondValue::DateTime(args[0].FDate, args[1].FTime); return;
    case sftMakeDate:
    case sftMakeTime:
    case sftMakeDateTime: {
      const bool hasDate = function.FDef->FId != sftMakeTime;
      const size_t t = hasDate ? 3 : 0;  // the first time argument
      const int64_t y = integer(0, 0), mo = integer(1, 0), d = integer(2, 0);
      const int64_t h = integer(t, 0), mi = integer(t + 1, 0), s = integer(t + 2, 0), ms = integer(t + 3, 0);
      const std::string fields = hasDate ? std::to_string(y) + "-" + std::to_string(mo) + "-" + std::to_string(d)
                                         : std::to_string(h) + ":" + std::to_string(mi) + ":" + std::to_string(s);
      if (hasDate && !(y >= 1 && y <= 9999 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 &&
                       IsValidDate(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d))))
        throw ETdbEngine(tdbErrInvalidDate, fields);
      if (function.FDef->FId != sftMakeDate &&
          !(h >= 0 && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 59 && ms >= 0 && ms <= 999))
        throw ETdbEngine(tdbErrInvalidTime, fields);
      const int32_t millis = static_cast<int32_t>(((h * 60 + mi) * 60 + s) * 1000 + ms);
      const int32_t date = hasDate ? PackDate(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d)) : 0;
      if (function.FDef->FId == sftMakeDate) result = TCondValue::Date(date);
      else if (function.FDef->FId == sftMakeTime) result = TCondValue::Time(millis);
      else result = TCondValue::DateTime(date, millis);
      return;
    }
    case sftTimeStr: result = TCondValue::String(TimeToText(time)); return;
    case sftDateStr: result = TCondValue::String(DateToText(args[0].FDate)); return;
    case sftDateTimeStr:
      result = TCondValue::String(DateToText(args[0].FDate) + u" " +
                                  TimeToText(args[0].FKind == cvkDateTime ? args[0].FTime : 0));
      return;
    case sftNewGuid: {
      result.FKind = cvkGuid;
      for (size_t i = 0; i < 16; i += 8) {
        const uint64_t bits = clock.RandomBits();
        for (size_t k = 0; k < 8; ++k) result.FGuid[i + k] = static_cast<uint8_t>(bits >> (8 * k));
      }
      result.FGuid[7] = static_cast<uint8_t>((result.FGuid[7] & 0x0F) | 0x40);  // version 4
      result.FGuid[8] = static_cast<uint8_t>((result.FGuid[8] & 0x3F) | 0x80);
      return;
    }
    default: result.SetNull(); return;
  }
}

}  // namespace kestrel
