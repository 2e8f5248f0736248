// Column values to and from text in the session's formats (column_text.h).
// Every reader takes the whole text or refuses it; nothing is guessed from
// a prefix.
#include "engine/base/column_text.h"

#include <unicode/datefmt.h>
#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>

#include <charconv>
#include <cstdio>
#include <memory>

#include "engine/base/code_page.h"
#include "engine/base/date_time_value.h"
#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

constexpr char16_t kTimeFractionSeparator = u'.';
// Seconds are written from this precision on, milliseconds from the next.
constexpr int kSecondsPrecision = 3;
constexpr int kMillisecondsPrecision = 4;

bool IsIntegerCode(TTdbColumnType code) {
  switch (code) {
    case tctInt16: case tctByte: case tctBoolean: case tctEnum: case tctRecordId: case tctLink:
    case tctLongInt: case tctInt64: return true;
    default: return false;
  }
}

bool IsTextCode(TTdbColumnType code) {
  return code == tctChar || code == tctString || code == tctWideString || code == tctMemo || code == tctWideMemo;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

[[noreturn]] void RefuseValue(const TTdbDataType& type) {
  throw ETdbEngine(tdbErrPlain, GetterRefusal(type.ColumnType()));
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  const icu::UnicodeString left(false, a.data(), static_cast<int32_t>(a.size()));
  const icu::UnicodeString right(false, b.data(), static_cast<int32_t>(b.size()));
  return left.caseCompare(right, U_FOLD_CASE_DEFAULT) == 0;
}

// Digits only, within `maxDigits`; false for anything else.
bool ParseDigits(std::u16string_view text, size_t maxDigits, int& value) {
  if (text.empty() || text.size() > maxDigits) return false;
  value = 0;
  for (char16_t c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - u'0');
  }
  return true;
}

// ---- Numbers ----

int64_t IntegerFromText(const TTdbDataType& type, std::u16string_view text) {
  const std::string utf8 = Utf16ToUtf8(text);
  std::string_view digits = utf8;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.remove_prefix(1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
    throw ETdbEngine(tdbErrInvalidNumber, utf8);
  const char* first = utf8.data() + (utf8[0] == '+' ? 1 : 0);
  int64_t value = 0;
  const auto result = std::from_chars(first, utf8.data() + utf8.size(), value);
  if (result.ec != std::errc() || value < type.MinInteger() || value > type.MaxInteger())
    throw ETdbEngine(tdbErrValueRange, utf8, type.TypeName(), std::to_string(type.MinInteger()),
                     std::to_string(type.MaxInteger()));
  return value;
}

// [sign] digits [separator digits] [e [sign] digits]; no "inf" or "nan", and
// no "." when the decimal separator is another character.
double FloatFromText(std::u16string_view text, char16_t decimalSeparator) {
  std::string plain;
  bool digits = false;
  bool ok = true;
  for (char16_t c : text) {
    if (c == decimalSeparator)
      c = u'.';
    else if (c == u'.')
      ok = false;
    if (IsDigit(c))
      digits = true;
    else if (c != u'.' && c != u'-' && c != u'+' && c != u'e' && c != u'E')
      ok = false;
    if (!ok) break;
    plain += static_cast<char>(c);
  }
  const char* first = plain.data() + (plain.size() > 1 && plain[0] == '+' ? 1 : 0);
  double value = 0;
  const auto result = std::from_chars(first, plain.data() + plain.size(), value);
  if (!ok || !digits || result.ec != std::errc() || result.ptr != plain.data() + plain.size())
    throw ETdbEngine(tdbErrInvalidNumber, Utf16ToUtf8(text));
  return value;
}

std::u16string FloatText(double value, char16_t decimalSeparator) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  std::u16string out = Ascii(std::string(text, result.ptr));
  for (char16_t& c : out)
    if (c == u'.') c = decimalSeparator;
  return out;
}

// ---- Dates and times ----

struct TDateLayout {
  char16_t Separator;
  const char* Order;
  bool LongYear;   // four digits when written
  bool PadDay;     // two digits for day and month
  bool PadMonth;
};

TDateLayout LayoutOf(const TTdbTextFormats& formats) {
  switch (formats.FDateFormat) {
    case tdfDayMonthYear: return {u'.', "DMY", true, true, true};
    case tdfShortDayMonth: return {u'.', "DMY", false, false, true};
    case tdfMonthDayUs: return {u'/', "MDY", false, false, false};
    case tdfIso: return {u'-', "YMD", true, true, true};
    default: return {formats.FDateSeparator, formats.FDateOrder, true, true, true};
  }
}

std::u16string DateText(int32_t packed, const TTdbTextFormats& formats) {
  const TDateLayout layout = LayoutOf(formats);
  const TTdbCivilDate date = UnpackDate(packed);
  std::u16string text;
  for (const char* field = layout.Order; *field; ++field) {
    if (!text.empty()) text += layout.Separator;
    char part[8];
    if (*field == 'Y')
      std::snprintf(part, sizeof part, layout.LongYear ? "%04d" : "%02d", layout.LongYear ? date.Year : date.Year % 100);
    else if (*field == 'M')
      std::snprintf(part, sizeof part, layout.PadMonth ? "%02d" : "%d", date.Month);
    else
      std::snprintf(part, sizeof part, layout.PadDay ? "%02d" : "%d", date.Day);
    text += Ascii(part);
  }
  return text;
}

bool ParseDate(std::u16string_view text, const TTdbTextFormats& formats, int32_t& packed) {
  const TDateLayout layout = LayoutOf(formats);
  std::u16string compact;
  for (char16_t c : text)
    if (c != u' ') compact += c;
  // Platform short dates often end with the separator ("2024. 01. 31.").
  if (formats.FDateFormat == tdfPlatform && !compact.empty() && compact.back() == layout.Separator)
    compact.pop_back();
  TTdbCivilDate date;
  std::u16string_view rest = compact;
  for (const char* field = layout.Order; *field; ++field) {
    const size_t end = field[1] ? rest.find(layout.Separator) : rest.size();
    if (end == std::u16string_view::npos) return false;
    const std::u16string_view part = rest.substr(0, end);
    rest = field[1] ? rest.substr(end + 1) : std::u16string_view();
    int value = 0;
    if (!ParseDigits(part, *field == 'Y' ? 4 : 2, value)) return false;
    if (*field == 'Y')
      date.Year = part.size() <= 2 ? value + (value < kTwoDigitYearPivot ? 2000 : 1900) : value;
    else if (*field == 'M')
      date.Month = value;
    else
      date.Day = value;
  }
  if (!IsValidCivilDate(date)) return false;
  packed = PackDate(date);
  return true;
}

std::u16string TimeText(int64_t milliseconds, int precision, const TTdbTextFormats& formats) {
  char text[32];
  const int hours = static_cast<int>(milliseconds / 3600000);
  const int minutes = static_cast<int>(milliseconds / 60000 % 60);
  const int seconds = static_cast<int>(milliseconds / 1000 % 60);
  const int millis = static_cast<int>(milliseconds % 1000);
  const char separator = static_cast<char>(formats.FTimeSeparator < 0x80 ? formats.FTimeSeparator : u':');
  if (precision < kSecondsPrecision)
    std::snprintf(text, sizeof text, "%02d%c%02d", hours, separator, minutes);
  else if (precision < kMillisecondsPrecision)
    std::snprintf(text, sizeof text, "%02d%c%02d%c%02d", hours, separator, minutes, separator, seconds);
  else
    std::snprintf(text, sizeof text, "%02d%c%02d%c%02d%c%03d", hours, separator, minutes, separator, seconds,
                  static_cast<char>(kTimeFractionSeparator), millis);
  return Ascii(text);
}

// hours:minutes[:seconds[.fraction]] with one or two digits per field and
// one to three digits of fraction (after "." or the decimal separator).
bool ParseTime(std::u16string_view text, const TTdbTextFormats& formats, int32_t& milliseconds) {
  std::u16string_view parts[3];
  size_t count = 0;
  for (std::u16string_view rest = text;;) {
    if (count == 3) return false;
    const size_t end = rest.find(formats.FTimeSeparator);
    parts[count++] = rest.substr(0, end);
    if (end == std::u16string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  if (count < 2) return false;
  std::u16string_view seconds = parts[2];
  int fraction = 0;
  const size_t cut = seconds.find_first_not_of(u"0123456789");
  if (count == 3 && cut != std::u16string_view::npos) {
    if (seconds[cut] != kTimeFractionSeparator && seconds[cut] != formats.FDecimalSeparator) return false;
    const std::u16string_view digits = seconds.substr(cut + 1);
    if (!ParseDigits(digits, 3, fraction)) return false;
    for (size_t n = digits.size(); n < 3; ++n) fraction *= 10;
    seconds = seconds.substr(0, cut);
  }
  int hours = 0, minutes = 0, secs = 0;
  if (!ParseDigits(parts[0], 2, hours) || !ParseDigits(parts[1], 2, minutes)) return false;
  if (count == 3 && !ParseDigits(seconds, 2, secs)) return false;
  if (hours > 23 || minutes > 59 || secs > 59) return false;
  milliseconds = ((hours * 60 + minutes) * 60 + secs) * 1000 + fraction;
  return true;
}

// ---- GUIDs and bytes ----

std::u16string GuidText(const TTdbGuid& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return Ascii(text);
}

int HexDigit(char16_t c) {
  if (IsDigit(c)) return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// `count` hexadecimal digits as a number; false for anything else.
bool ParseHex(std::u16string_view text, size_t count, uint64_t& value) {
  if (text.size() != count) return false;
  value = 0;
  for (char16_t c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    value = value * 16 + static_cast<uint64_t>(digit);
  }
  return true;
}

TTdbGuid GuidFromText(std::u16string_view text) {
  std::u16string_view inner = text;
  if (inner.size() == 38 && inner.front() == u'{' && inner.back() == u'}') inner = inner.substr(1, 36);
  TTdbGuid guid;
  uint64_t part = 0;
  bool ok = inner.size() == 36 && inner[8] == u'-' && inner[13] == u'-' && inner[18] == u'-' && inner[23] == u'-';
  if (ok && (ok = ParseHex(inner.substr(0, 8), 8, part))) guid.Data1 = static_cast<uint32_t>(part);
  if (ok && (ok = ParseHex(inner.substr(9, 4), 4, part))) guid.Data2 = static_cast<uint16_t>(part);
  if (ok && (ok = ParseHex(inner.substr(14, 4), 4, part))) guid.Data3 = static_cast<uint16_t>(part);
  for (size_t i = 0; ok && i < 8; ++i) {
    const size_t at = i < 2 ? 19 + 2 * i : 24 + 2 * (i - 2);
    if ((ok = ParseHex(inner.substr(at, 2), 2, part))) guid.Data4[i] = static_cast<uint8_t>(part);
  }
  if (!ok) throw ETdbEngine(tdbErrPlain, "\"" + Utf16ToUtf8(text) + "\" is not a valid GUID");
  return guid;
}

std::u16string BytesText(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::u16string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    text += static_cast<char16_t>(kDigits[b >> 4]);
    text += static_cast<char16_t>(kDigits[b & 15]);
  }
  return text;
}

std::string BytesFromText(std::u16string_view text) {
  std::string bytes;
  uint64_t value = 0;
  for (size_t i = 0; i < text.size(); i += 2) {
    if (!ParseHex(text.substr(i, 2), 2, value))
      throw ETdbEngine(tdbErrPlain, "\"" + Utf16ToUtf8(text) + "\" is not a valid hexadecimal text");
    bytes += static_cast<char>(value);
  }
  return bytes;
}

// ---- Enum ----

std::u16string EnumName(const TTdbDataType& type, int64_t value) {
  const auto& names = type.EnumNames();
  if (value < 1 || value > type.MaxInteger()) throw ETdbEngine(tdbErrPlain, "Enum overflow");
  if (names.empty()) return Ascii("Enum" + std::to_string(value));
  return names[static_cast<size_t>(value - 1)];
}

int64_t EnumFromText(const TTdbDataType& type, std::u16string_view text) {
  for (int64_t value = 1; value <= type.MaxInteger(); ++value)
    if (SameName(EnumName(type, value), text)) return value;
  throw ETdbEngine(tdbErrValueRange, Utf16ToUtf8(text), type.TypeName(), Utf16ToUtf8(EnumName(type, 1)),
                   Utf16ToUtf8(EnumName(type, type.MaxInteger())));
}

std::u16string TextOfType(const TTdbDataType& type, std::u16string_view text) {
  size_t length = text.size();
  if (type.ColumnType() == tctChar) length = std::min<size_t>(length, 1);
  if (type.ColumnType() == tctString || type.ColumnType() == tctWideString)
    length = std::min(length, static_cast<size_t>(type.MaxLength()));
  // A cut never splits a surrogate pair.
  if (length < text.size() && length > 0 && (text[length - 1] & 0xFC00) == 0xD800) --length;
  return std::u16string(text.substr(0, length));
}

template <typename T>
const T& Expect(const TTdbDataType& type, const TTdbValue& value) {
  const T* held = std::get_if<T>(&value);
  if (!held) RefuseValue(type);
  return *held;
}

}  // namespace

const char* GetterRefusal(TTdbColumnType code) {
  switch (code) {
    case tctDate: case tctDateTime: return "Is not a date.";
    case tctTime: return "Is not a time.";
    case tctChar: case tctString: case tctMemo: return "Is not an ANSI string.";
    case tctWideString: case tctWideMemo: return "Is not a wide string.";
    case tctGuid: return "Is not a GUID.";
    case tctBlob: return "Is not a binary.";
    case tctRelation: return "Is not a class.";
    default: return "Is not an integer.";
  }
}

const char* SetterRefusal(TTdbColumnType code) {
  switch (code) {
    case tctFloat: return "Cannot assign double.";
    case tctDate: return "Cannot assign date.";
    case tctTime: return "Cannot assign time.";
    case tctDateTime: return "Cannot assign time stamp.";
    case tctChar: case tctString: case tctMemo: return "Cannot assign ANSI string.";
    case tctWideString: case tctWideMemo: return "Cannot assign Unicode string.";
    case tctGuid: return "Cannot assign GUID.";
    case tctBlob: return "Cannot assign bytes.";
    case tctRelation: return "Cannot assign object.";
    default: return "Cannot assign integer.";
  }
}

TTdbTextFormats PlatformTextFormats() {
  TTdbTextFormats formats;
  formats.FDateFormat = tdfPlatform;
  UErrorCode status = U_ZERO_ERROR;
  icu::DecimalFormatSymbols symbols(icu::Locale::getDefault(), status);
  if (U_SUCCESS(status)) {
    const icu::UnicodeString& separator = symbols.getConstSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol);
    if (separator.length() == 1) formats.FDecimalSeparator = separator.charAt(0);
  }
  std::unique_ptr<icu::DateFormat> dateFormat(icu::DateFormat::createDateInstance(icu::DateFormat::kShort));
  auto* simple = dynamic_cast<icu::SimpleDateFormat*>(dateFormat.get());
  if (simple) {
    icu::UnicodeString pattern;
    simple->toPattern(pattern);
    // The separator is the first character after the first field that is
    // neither a blank nor a quote ("y. MM. dd." has ".").
    std::string order;
    bool separatorFound = false;
    for (int32_t i = 0; i < pattern.length(); ++i) {
      const char16_t c = pattern.charAt(i);
      const char field = c == u'y' ? 'Y' : c == u'M' ? 'M' : c == u'd' ? 'D' : 0;
      if (field && (order.empty() || order.back() != field)) {
        order += field;
      } else if (!field && order.size() == 1 && !separatorFound && c != u'\'' && c != u' ') {
        formats.FDateSeparator = c;
        separatorFound = true;
      }
    }
    if (order.size() == 3) std::copy(order.begin(), order.end(), formats.FDateOrder);
  }
  return formats;
}

std::u16string ConvertToString(const TTdbDataType& type, const TTdbValue& value, const TTdbTextFormats& formats) {
  if (std::holds_alternative<std::monostate>(value)) return {};
  const TTdbColumnType code = type.ColumnType();
  if (code == tctBoolean) return Expect<int64_t>(type, value) != 0 ? u"True" : u"False";
  if (code == tctEnum) return EnumName(type, Expect<int64_t>(type, value));
  if (IsIntegerCode(code)) return Ascii(std::to_string(Expect<int64_t>(type, value)));
  if (IsTextCode(code)) return Expect<std::u16string>(type, value);
  switch (code) {
    case tctFloat:
      if (const int64_t* number = std::get_if<int64_t>(&value)) return Ascii(std::to_string(*number));
      return FloatText(Expect<double>(type, value), formats.FDecimalSeparator);
    case tctDate: return DateText(Expect<TTdbDate>(type, value).Packed, formats);
    case tctTime:
      return TimeText(Expect<TTdbTime>(type, value).Ticks / kTicksPerMillisecond, type.Precision(), formats);
    case tctDateTime: {
      const TTdbTimeStamp& stamp = Expect<TTdbTimeStamp>(type, value);
      return DateText(stamp.Date, formats) + u' ' + TimeText(stamp.Milliseconds, type.Precision(), formats);
    }
    case tctGuid: return GuidText(Expect<TTdbGuid>(type, value));
    case tctBlob: return BytesText(Expect<TTdbBytes>(type, value).Bytes);
    default: RefuseValue(type);
  }
}

TTdbValue ConvertFromString(const TTdbDataType& type, std::u16string_view text, const TTdbTextFormats& formats) {
  const TTdbColumnType code = type.ColumnType();
  if (IsTextCode(code)) return TextOfType(type, text);
  if (code == tctRelation) throw ETdbEngine(tdbErrPlain, SetterRefusal(tctRelation));
  const std::u16string_view trimmed = TrimBlanks(text);
  if (trimmed.empty()) return std::monostate{};
  switch (code) {
    case tctBoolean:
      if (SameName(trimmed, u"True")) return int64_t{1};
      if (SameName(trimmed, u"False")) return int64_t{0};
      throw ETdbEngine(tdbErrValueRange, Utf16ToUtf8(trimmed), type.TypeName(), "0", "1");
    case tctEnum: return EnumFromText(type, trimmed);
    case tctFloat: return FloatFromText(trimmed, formats.FDecimalSeparator);
    case tctDate: {
      int32_t packed = 0;
      if (!ParseDate(trimmed, formats, packed)) throw ETdbEngine(tdbErrInvalidDate, Utf16ToUtf8(trimmed));
      return TTdbDate{packed};
    }
    case tctTime: {
      int32_t ms = 0;
      if (!ParseTime(trimmed, formats, ms)) throw ETdbEngine(tdbErrInvalidTime, Utf16ToUtf8(trimmed));
      return TTdbTime{ms * kTicksPerMillisecond};
    }
    case tctDateTime: {
      TTdbTimeStamp stamp;
      const size_t blank = trimmed.rfind(u' ');
      const bool hasTime = trimmed.find(formats.FTimeSeparator) != std::u16string_view::npos &&
                           formats.FTimeSeparator != LayoutOf(formats).Separator;
      bool ok = hasTime ? blank != std::u16string_view::npos && ParseDate(trimmed.substr(0, blank), formats, stamp.Date) &&
                              ParseTime(trimmed.substr(blank + 1), formats, stamp.Milliseconds)
                        : ParseDate(trimmed, formats, stamp.Date);
      if (!ok) throw ETdbEngine(tdbErrPlain, Utf16ToUtf8(trimmed) + " is not a valid time stamp");
      return stamp;
    }
    case tctGuid: return GuidFromText(trimmed);
    case tctBlob: return TTdbBytes{BytesFromText(trimmed)};
    default: return IntegerFromText(type, trimmed);
  }
}

}  // namespace kestrel
