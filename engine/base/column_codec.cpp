// Encoding, decoding and comparison of column values in record images.
#include "engine/base/column_codec.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <string>

#include "engine/base/code_page.h"
#include "engine/base/date_time_value.h"
#include "engine/base/engine_error.h"
#include "engine/base/little_endian.h"

namespace kestrel {

namespace {

constexpr uint8_t kIndicatorNull = 0;
constexpr uint8_t kIndicatorPresent = 1;

enum TValueKind : size_t { vkNull, vkInteger, vkDouble, vkText, vkDate, vkTime, vkTimeStamp, vkGuid, vkBlock, vkBytes };

void CheckSpan(const TTdbDataType& type, size_t size) {
  if (size != static_cast<size_t>(type.DataSize())) throw ETdbEngine(tdbErrInvalidParameter, "column bytes");
}

[[noreturn]] void Refuse(const TTdbValue& value) {
  static const char* const kTexts[] = {
      "",
      "Cannot assign integer.",
      "Cannot assign double.",
      "Cannot assign Unicode string.",
      "Cannot assign date.",
      "Cannot assign time.",
      "Cannot assign time stamp.",
      "Cannot assign GUID.",
      "Cannot assign integer.",
      "Cannot assign bytes.",
  };
  static_assert(std::size(kTexts) == std::variant_size_v<TTdbValue>);
  throw ETdbEngine(tdbErrPlain, kTexts[value.index()]);
}

void CheckRange(const TTdbDataType& type, int64_t value) {
  if (value < type.MinInteger() || value > type.MaxInteger())
    throw ETdbEngine(tdbErrValueRange, std::to_string(value), type.TypeName(),
                     std::to_string(type.MinInteger()), std::to_string(type.MaxInteger()));
}

int32_t CheckedTimeOfDayMs(int64_t ticks) {
  if (ticks < 0 || ticks >= kTicksPerDay)
    throw ETdbEngine(tdbErrInvalidTime, MillisecondsText(ticks / kTicksPerMillisecond));
  return static_cast<int32_t>(ticks / kTicksPerMillisecond);
}

void CheckDate(int32_t packed) {
  if (!IsValidPackedDate(packed)) throw ETdbEngine(tdbErrInvalidDate, PackedDateText(packed));
}

int64_t ReadInteger(const TTdbDataType& type, const uint8_t* p) {
  switch (type.ColumnType()) {
    case tctInt16: return LoadLE<int16_t>(p);
    case tctByte: return p[0];
    case tctBoolean: return p[0] != 0 ? 1 : 0;
    case tctEnum: return static_cast<int8_t>(p[0]);
    case tctInt64: return LoadLE<int64_t>(p);
    default: return LoadLE<int32_t>(p);
  }
}

void WriteInteger(const TTdbDataType& type, uint8_t* p, int64_t value) {
  switch (type.ColumnType()) {
    case tctInt16: StoreLE<int16_t>(p, static_cast<int16_t>(value)); break;
    case tctByte:
    case tctBoolean:
    case tctEnum: p[0] = static_cast<uint8_t>(value); break;
    case tctInt64: StoreLE<int64_t>(p, value); break;
    default: StoreLE<int32_t>(p, static_cast<int32_t>(value)); break;
  }
}

std::u16string ReadText(const TTdbDataType& type, const uint8_t* p) {
  switch (type.ColumnType()) {
    case tctChar:
      return p[0] == 0 ? std::u16string() : DecodeCodePage(std::string(1, static_cast<char>(p[0])), kCodePageAnsi);
    case tctString: {
      int length = type.LengthPrefixSize() == 1 ? p[0] : LoadLE<uint16_t>(p);
      length = std::min(length, type.MaxLength());
      const char* chars = reinterpret_cast<const char*>(p + type.LengthPrefixSize());
      return DecodeCodePage(std::string_view(chars, static_cast<size_t>(length)), kCodePageAnsi);
    }
    default: {  // WideString
      int length = std::clamp<int>(LoadLE<int16_t>(p), 0, type.MaxLength());
      std::u16string text(static_cast<size_t>(length), u'\0');
      for (int i = 0; i < length; ++i) text[i] = LoadLE<char16_t>(p + 2 + 2 * i);
      return text;
    }
  }
}

void WriteText(const TTdbDataType& type, uint8_t* p, const std::u16string& text) {
  switch (type.ColumnType()) {
    case tctChar: {
      const std::string bytes = EncodeCodePage(std::u16string_view(text).substr(0, 1), kCodePageAnsi);
      p[0] = bytes.empty() ? 0 : static_cast<uint8_t>(bytes[0]);
      break;
    }
    case tctString: {
      std::string bytes = EncodeCodePage(text, kCodePageAnsi);
      if (bytes.size() > static_cast<size_t>(type.MaxLength())) bytes.resize(static_cast<size_t>(type.MaxLength()));
      if (type.LengthPrefixSize() == 1)
        p[0] = static_cast<uint8_t>(bytes.size());
      else
        StoreLE<uint16_t>(p, static_cast<uint16_t>(bytes.size()));
      std::copy(bytes.begin(), bytes.end(), p + type.LengthPrefixSize());
      break;
    }
    default: {  // WideString; a cut never splits a surrogate pair
      size_t length = std::min(text.size(), static_cast<size_t>(type.MaxLength()));
      if (length < text.size() && length > 0 && (text[length - 1] & 0xFC00) == 0xD800) --length;
      StoreLE<int16_t>(p, static_cast<int16_t>(length));
      for (size_t i = 0; i < length; ++i) StoreLE<char16_t>(p + 2 + 2 * i, text[i]);
      break;
    }
  }
}

TTdbGuid ReadGuid(const uint8_t* p) {
  TTdbGuid guid;
  guid.Data1 = LoadLE<uint32_t>(p);
  guid.Data2 = LoadLE<uint16_t>(p + 4);
  guid.Data3 = LoadLE<uint16_t>(p + 6);
  std::copy(p + 8, p + 16, guid.Data4.begin());
  return guid;
}

void WriteGuid(uint8_t* p, const TTdbGuid& guid) {
  StoreLE<uint32_t>(p, guid.Data1);
  StoreLE<uint16_t>(p + 4, guid.Data2);
  StoreLE<uint16_t>(p + 6, guid.Data3);
  std::copy(guid.Data4.begin(), guid.Data4.end(), p + 8);
}

// Whether a type without indicator holds its NULL value.
bool HoldsNullValue(const TTdbDataType& type, const uint8_t* p) {
  switch (type.ColumnType()) {
    case tctDate:
    case tctLink:
    case tctMemo:
    case tctWideMemo:
    case tctBlob: return LoadLE<int32_t>(p) == 0;
    case tctEnum: return p[0] == 0;
    case tctDateTime: return LoadLE<int32_t>(p) == 0 && LoadLE<int32_t>(p + 4) == 0;
    case tctRelation: return true;
    default: return false;
  }
}

void WriteNullValue(const TTdbDataType& type, uint8_t* p) {
  std::fill(p, p + type.ValueSize(), uint8_t{0});
}

void WriteKind(const TTdbDataType& type, uint8_t* p, const TTdbValue& value) {
  const TTdbColumnType code = type.ColumnType();
  switch (code) {
    case tctInt16: case tctByte: case tctBoolean: case tctRecordId: case tctLink:
    case tctLongInt: case tctInt64: {
      const int64_t* number = std::get_if<int64_t>(&value);
      if (!number) Refuse(value);
      CheckRange(type, *number);
      WriteInteger(type, p, *number);
      return;
    }
    case tctEnum: {
      const int64_t* number = std::get_if<int64_t>(&value);
      if (!number) Refuse(value);
      if (*number < 1 || *number > type.MaxInteger()) throw ETdbEngine(tdbErrPlain, "Enum overflow");
      WriteInteger(type, p, *number);
      return;
    }
    case tctFloat: {
      double number = 0;
      if (const double* d = std::get_if<double>(&value))
        number = *d;
      else if (const int64_t* i = std::get_if<int64_t>(&value))
        number = static_cast<double>(*i);
      else
        Refuse(value);
      StoreLE<double>(p, number);
      return;
    }
    case tctChar: case tctString: case tctWideString: {
      const std::u16string* text = std::get_if<std::u16string>(&value);
      if (!text) Refuse(value);
      WriteText(type, p, *text);
      return;
    }
    case tctDate: {
      const TTdbDate* date = std::get_if<TTdbDate>(&value);
      if (!date) Refuse(value);
      CheckDate(date->Packed);
      StoreLE<int32_t>(p, date->Packed);
      return;
    }
    case tctTime: {
      const TTdbTime* time = std::get_if<TTdbTime>(&value);
      if (!time) Refuse(value);
      const int32_t ms = CheckedTimeOfDayMs(time->Ticks);
      if (type.Precision() <= kMinutePrecision)
        StoreLE<int16_t>(p, static_cast<int16_t>(time->Ticks / kTicksPerMinute));
      else
        StoreLE<int32_t>(p, ms);
      return;
    }
    case tctDateTime: {
      const TTdbTimeStamp* stamp = std::get_if<TTdbTimeStamp>(&value);
      if (!stamp) Refuse(value);
      CheckDate(stamp->Date);
      CheckedTimeOfDayMs(int64_t{stamp->Milliseconds} * kTicksPerMillisecond);
      StoreLE<int32_t>(p, stamp->Date);
      StoreLE<int32_t>(p + 4, stamp->Milliseconds);
      return;
    }
    case tctGuid: {
      const TTdbGuid* guid = std::get_if<TTdbGuid>(&value);
      if (!guid) Refuse(value);
      WriteGuid(p, *guid);
      return;
    }
    case tctMemo: case tctWideMemo: case tctBlob: {
      int64_t block = 0;
      if (const TTdbBlockRef* ref = std::get_if<TTdbBlockRef>(&value))
        block = ref->Block;
      else if (const int64_t* i = std::get_if<int64_t>(&value))
        block = *i;
      else
        Refuse(value);
      CheckRange(type, block);
      StoreLE<int32_t>(p, static_cast<int32_t>(block));
      return;
    }
    default:
      Refuse(value);
  }
}

template <typename T>
int Order(const T& left, const T& right) {
  return left < right ? kCompareLess : (right < left ? kCompareGreater : kCompareEqual);
}

}  // namespace

bool IsNullValue(const TTdbDataType& type, std::span<const uint8_t> column) {
  CheckSpan(type, column.size());
  if (!type.Nullable()) return false;
  if (type.HasNullByte()) return column[static_cast<size_t>(type.NullByteOffset())] == kIndicatorNull;
  return HoldsNullValue(type, column.data() + type.ValueOffset());
}

void SetNullValue(const TTdbDataType& type, std::span<uint8_t> column) {
  CheckSpan(type, column.size());
  if (!type.Nullable()) throw ETdbEngine(tdbErrNullNotAccepted, type.TypeName());
  if (type.HasNullByte())
    column[static_cast<size_t>(type.NullByteOffset())] = kIndicatorNull;
  else
    WriteNullValue(type, column.data());
}

TTdbValue ReadValue(const TTdbDataType& type, std::span<const uint8_t> column) {
  if (IsNullValue(type, column)) return std::monostate{};
  const uint8_t* p = column.data() + type.ValueOffset();
  switch (type.ColumnType()) {
    case tctInt16: case tctByte: case tctBoolean: case tctEnum: case tctRecordId: case tctLink:
    case tctLongInt: case tctInt64:
      return ReadInteger(type, p);
    case tctFloat: return LoadLE<double>(p);
    case tctChar: case tctString: case tctWideString: return ReadText(type, p);
    case tctDate: return TTdbDate{LoadLE<int32_t>(p)};
    case tctTime:
      if (type.Precision() <= kMinutePrecision) return TTdbTime{int64_t{LoadLE<int16_t>(p)} * kTicksPerMinute};
      return TTdbTime{int64_t{LoadLE<int32_t>(p)} * kTicksPerMillisecond};
    case tctDateTime: return TTdbTimeStamp{LoadLE<int32_t>(p), LoadLE<int32_t>(p + 4)};
    case tctGuid: return ReadGuid(p);
    case tctMemo: case tctWideMemo: case tctBlob: return TTdbBlockRef{LoadLE<int32_t>(p)};
    default: return std::monostate{};
  }
}

void WriteValue(const TTdbDataType& type, std::span<uint8_t> column, const TTdbValue& value) {
  CheckSpan(type, column.size());
  if (std::holds_alternative<std::monostate>(value)) {
    SetNullValue(type, column);
    return;
  }
  WriteKind(type, column.data() + type.ValueOffset(), value);
  if (type.HasNullByte()) column[static_cast<size_t>(type.NullByteOffset())] = kIndicatorPresent;
}

int CompareValues(const TTdbDataType& type, const TTdbValue& left, const TTdbValue& right,
                  const TTdbTextComparer& comparer) {
  const TTdbColumnType code = type.ColumnType();
  if (code == tctMemo || code == tctWideMemo || code == tctBlob || code == tctRelation)
    throw ETdbEngine(tdbErrPlain, "Cannot compare these types");
  if (std::holds_alternative<std::monostate>(left) || std::holds_alternative<std::monostate>(right))
    return kCompareUnknown;
  const bool numeric = (left.index() == vkInteger || left.index() == vkDouble) &&
                       (right.index() == vkInteger || right.index() == vkDouble);
  if (left.index() != right.index() && !numeric) throw ETdbEngine(tdbErrPlain, "Cannot compare these types");
  switch (left.index()) {
    case vkInteger:
      if (right.index() == vkInteger) return Order(std::get<int64_t>(left), std::get<int64_t>(right));
      [[fallthrough]];
    case vkDouble: {
      auto asDouble = [](const TTdbValue& v) {
        return v.index() == vkInteger ? static_cast<double>(std::get<int64_t>(v)) : std::get<double>(v);
      };
      const double a = asDouble(left), b = asDouble(right);
      if (a != a || b != b) return kCompareUnknown;  // NaN orders with nothing
      return Order(a, b);
    }
    case vkText: {
      const auto& a = std::get<std::u16string>(left);
      const auto& b = std::get<std::u16string>(right);
      const int result = comparer ? comparer(a, b) : a.compare(b);
      return result < 0 ? kCompareLess : (result > 0 ? kCompareGreater : kCompareEqual);
    }
    case vkDate: return Order(std::get<TTdbDate>(left).Packed, std::get<TTdbDate>(right).Packed);
    case vkTime: return Order(std::get<TTdbTime>(left).Ticks, std::get<TTdbTime>(right).Ticks);
    case vkTimeStamp: {
      const auto& a = std::get<TTdbTimeStamp>(left);
      const auto& b = std::get<TTdbTimeStamp>(right);
      return Order(std::pair(a.Date, a.Milliseconds), std::pair(b.Date, b.Milliseconds));
    }
    case vkGuid: return Order(std::get<TTdbGuid>(left), std::get<TTdbGuid>(right));
    default: break;
  }
  throw ETdbEngine(tdbErrPlain, "Cannot compare these types");
}

}  // namespace kestrel
