// Comparison and arithmetic of condition values (see cond_operations.h).
#include "engine/cond/cond_operations.h"

#include <cmath>

#include "engine/base/engine_error.h"
#include "engine/cond/cond_record_source.h"

namespace kestrel {

namespace {

template <typename T>
TCondCompareResult Order(const T& a, const T& b) {
  return a < b ? ccrLess : b < a ? ccrGreater : ccrEqual;
}

bool IsWide(int columnType) { return columnType == cctWideString || columnType == cctWideMemo; }

// Date and date-time values as (date, time) pairs.
std::pair<int32_t, int32_t> Moment(const TCondValue& value) {
  return {value.FDate, value.FKind == cvkDateTime ? value.FTime : 0};
}

}  // namespace

const ICondCollation& CollationOf(const TCondDataType& type) {
  return type.FCollation ? *type.FCollation : DefaultCondCollation();
}

TCondCompareResult CompareValues(const TCondValue& left, const TCondValue& right, const TCondDataType& leftType) {
  if (left.IsNull() || right.IsNull()) return ccrNull;
  switch (left.FKind) {
    case cvkInteger:
      if (right.FKind == cvkInteger) return Order(left.FInteger, right.FInteger);
      return Order(ValueAsFloat(left), ValueAsFloat(right));
    case cvkFloat: return Order(left.FFloat, ValueAsFloat(right));
    case cvkString: {
      const int order = CollationOf(leftType).Compare(left.FString, right.FString);
      return order < 0 ? ccrLess : order > 0 ? ccrGreater : ccrEqual;
    }
    case cvkDate:
    case cvkDateTime: return Order(Moment(left), Moment(right));
    case cvkTime: return Order(left.FTime, right.FTime);
    case cvkGuid: {
      // By the GUID's parts: the 32-bit number, the two 16-bit numbers, then
      // the last eight bytes from the end.
      auto key = [](const TCondValue& v) {
        const auto& g = v.FGuid;
        std::array<uint32_t, 11> parts{};
        parts[0] = g[0] | g[1] << 8 | g[2] << 16 | static_cast<uint32_t>(g[3]) << 24;
        parts[1] = g[4] | g[5] << 8;
        parts[2] = g[6] | g[7] << 8;
        parts[3] = g[8] | g[9] << 8;
        for (int i = 0; i < 6; ++i) parts[4 + i] = g[15 - i];
        return parts;
      };
      return Order(key(left), key(right));
    }
    case cvkNull: break;
  }
  return ccrNull;
}

bool GetResultDataType(TTdbDataBinaryOperator op, const TCondDataType& left, const TCondDataType& right,
                       TCondDataType& result) {
  const int a = left.FColumnType;
  const int b = right.FColumnType;
  const bool nullable = left.FNullable || right.FNullable;
  if (a == cctNull || b == cctNull) {
    result = a == cctNull ? right : left;
    result.FNullable = true;
    return true;
  }
  if (IsNumericType(a) && IsNumericType(b) && a != cctBoolean && b != cctBoolean) {
    const bool integers = IsIntegerType(a) && IsIntegerType(b);
    if (op == dboDiv || op == dboMod) {
      if (!integers) return false;
      result = MakeType(cctInt64, nullable);
    } else {
      result = MakeType(integers && op != dboDivide ? cctInt64 : cctFloat, nullable);
    }
    return true;
  }
  if (op == dboPlus && IsStringType(a) && IsStringType(b)) {
    const bool wide = IsWide(a) || IsWide(b);
    const int limit = wide ? kMaxWideStringLength : kMaxAnsiStringLength;
    const bool unlimited = left.FMaxLength == 0 || right.FMaxLength == 0;
    result = left;
    result.FColumnType = wide ? cctWideString : cctString;
    result.FCodePage = wide ? 0 : (left.FCodePage ? left.FCodePage : right.FCodePage);
    result.FMaxLength = unlimited ? 0 : std::min(limit, left.FMaxLength + right.FMaxLength);
    result.FNullable = nullable;
    return true;
  }
  if (a == cctDate && IsIntegerType(b) && b != cctBoolean && (op == dboPlus || op == dboMinus)) {
    result = MakeType(cctDate, nullable);
    return true;
  }
  if (a == cctDate && b == cctDate && op == dboMinus) {
    result = MakeType(cctInt64, nullable);
    return true;
  }
  return false;
}

TCalcStatus NegateValue(TCondValue& value) {
  if (value.FKind == cvkFloat) {
    value.FFloat = -value.FFloat;
  } else if (value.FKind == cvkInteger) {
    if (__builtin_sub_overflow(int64_t{0}, value.FInteger, &value.FInteger)) return TCalcStatus::Overflow;
  }
  return TCalcStatus::Ok;
}

TCalcStatus CalculateValues(TTdbDataBinaryOperator op, const TCondValue& left, const TCondValue& right,
                            const TCondDataType& resultType, TCondValue& result) {
  if (left.IsNull() || right.IsNull()) {
    result.SetNull();
    return TCalcStatus::Ok;
  }
  switch (resultType.FColumnType) {
    case cctInt64: {
      if (left.FKind == cvkDate) {  // date - date
        result = TCondValue::Integer(DateToDays(left.FDate) - DateToDays(right.FDate));
        return TCalcStatus::Ok;
      }
      const int64_t a = left.FInteger;
      const int64_t b = right.FInteger;
      int64_t r = 0;
      bool overflow = false;
      switch (op) {
        case dboPlus: overflow = __builtin_add_overflow(a, b, &r); break;
        case dboMinus: overflow = __builtin_sub_overflow(a, b, &r); break;
        case dboMultiply: overflow = __builtin_mul_overflow(a, b, &r); break;
        case dboDiv:
        case dboMod:
          if (b == 0) throw ETdbEngine(tdbErrDivisionByZero);
          if (a == INT64_MIN && b == -1) overflow = op == dboDiv;  // the remainder is 0
          else r = op == dboDiv ? a / b : a % b;
          break;
        default: break;
      }
      if (overflow) return TCalcStatus::Overflow;
      result = TCondValue::Integer(r);
      return TCalcStatus::Ok;
    }
    case cctFloat: {
      const double a = ValueAsFloat(left);
      const double b = ValueAsFloat(right);
      double r = 0;
      switch (op) {
        case dboPlus: r = a + b; break;
        case dboMinus: r = a - b; break;
        case dboMultiply: r = a * b; break;
        case dboDivide:
          if (b == 0) throw ETdbEngine(tdbErrDivisionByZero);
          r = a / b;
          break;
        default: break;
      }
      if (!std::isfinite(r)) return TCalcStatus::Overflow;
      result = TCondValue::Float(r);
      return TCalcStatus::Ok;
    }
    case cctDate: {
      int64_t days = 0;
      const bool overflow = op == dboPlus ? __builtin_add_overflow(DateToDays(left.FDate), right.FInteger, &days)
                                          : __builtin_sub_overflow(DateToDays(left.FDate), right.FInteger, &days);
      if (overflow || days < 0 || days > DateToDays(PackDate(9999, 12, 31))) return TCalcStatus::Overflow;
      result = TCondValue::Date(DaysToDate(days));
      return TCalcStatus::Ok;
    }
    default: {  // string concatenation
      std::u16string joined = left.FString + right.FString;
      if (resultType.FMaxLength > 0 && joined.size() > static_cast<size_t>(resultType.FMaxLength))
        joined.resize(resultType.FMaxLength);
      result = TCondValue::String(std::move(joined));
      return TCalcStatus::Ok;
    }
  }
}

}  // namespace kestrel
