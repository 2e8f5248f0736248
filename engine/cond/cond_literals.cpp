// Literal text in the engine's syntaxes and in the platform's local formats.
#include "engine/cond/cond_literals.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <vector>

#include "engine/base/code_page.h"
#include "engine/base/column_text.h"

namespace kestrel {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Reads 1 to `maxDigits` digits at `pos` into `value`.
bool ReadDigits(std::u16string_view text, size_t& pos, int maxDigits, int& value, int* digitCount = nullptr) {
  const size_t start = pos;
  value = 0;
  while (pos < text.size() && IsDigit(text[pos]) && static_cast<int>(pos - start) < maxDigits)
    value = value * 10 + (text[pos++] - u'0');
  if (digitCount) *digitCount = static_cast<int>(pos - start);
  return pos > start && (pos == text.size() || !IsDigit(text[pos]));
}

bool MakeDate(int year, int month, int day, int yearDigits, int32_t& packed) {
  if (yearDigits <= 2) year += year < 30 ? 2000 : 1900;
  if (!IsValidDate(year, month, day)) return false;
  packed = PackDate(year, month, day);
  return true;
}

bool ParseDateFields(std::u16string_view text, char16_t separator, const char* order, int32_t& packed) {
  int fields[3];
  int digits[3];
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != separator) return false;
      ++pos;
    }
    if (!ReadDigits(text, pos, 5, fields[i], &digits[i])) return false;
  }
  if (pos != text.size()) return false;
  int year = 0, month = 0, day = 0, yearDigits = 0;
  for (int i = 0; i < 3; ++i) {
    switch (order[i]) {
      case 'Y': year = fields[i], yearDigits = digits[i]; break;
      case 'M': month = fields[i]; break;
      default: day = fields[i]; break;
    }
  }
  return MakeDate(year, month, day, yearDigits, packed);
}

bool ParseTimeFields(std::u16string_view text, char16_t separator, int32_t& milliseconds) {
  size_t pos = 0;
  int hours = 0, minutes = 0, seconds = 0, millis = 0;
  if (!ReadDigits(text, pos, 2, hours) || pos >= text.size() || text[pos++] != separator) return false;
  if (!ReadDigits(text, pos, 2, minutes)) return false;
  if (pos < text.size() && text[pos] == separator) {
    ++pos;
    if (!ReadDigits(text, pos, 2, seconds)) return false;
    if (pos < text.size() && text[pos] == u'.') {
      ++pos;
      int digits = 0;
      if (!ReadDigits(text, pos, 3, millis, &digits)) return false;
      for (; digits < 3; ++digits) millis *= 10;  // ".5" is 500 ms
    }
  }
  if (pos < text.size()) {
    // " AM" or " PM", letters in any case.
    if (text.size() - pos != 3 || text[pos] != u' ') return false;
    const char16_t first = text[pos + 1] & ~0x20;
    const char16_t second = text[pos + 2] & ~0x20;
    if ((first != u'A' && first != u'P') || second != u'M' || hours < 1 || hours > 12) return false;
    if (hours == 12) hours = 0;
    if (first == u'P') hours += 12;
  }
  if (minutes > 59 || seconds > 59 || millis > 999) return false;
  if (hours == 24 && minutes == 0 && seconds == 0 && millis == 0) {
    milliseconds = kMillisecondsPerDay;
    return true;
  }
  if (hours > 23) return false;
  milliseconds = ((hours * 60 + minutes) * 60 + seconds) * 1000 + millis;
  return true;
}

std::string Ascii(std::u16string_view text) {
  std::string result;
  for (char16_t c : text) result += c < 128 ? static_cast<char>(c) : '\x7f';
  return result;
}

}  // namespace

bool ParseEngineNumber(std::u16string_view text, TCondValue& value) {
  size_t pos = 0;
  if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) ++pos;
  const size_t digitsStart = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  if (pos == digitsStart) return false;
  bool isFloat = false;
  if (pos < text.size() && text[pos] == u'.') {
    isFloat = true;
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
  }
  if (pos < text.size() && (text[pos] == u'E' || text[pos] == u'e')) {
    isFloat = true;
    ++pos;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) ++pos;
    const size_t exponentStart = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    if (pos == exponentStart) return false;
  }
  if (pos != text.size()) return false;
  if (!isFloat) {
    int64_t integer;
    if (ParseEngineInteger(text, integer)) {
      value = TCondValue::Integer(integer);
      return true;
    }
  }
  // from_chars ignores the C locale, which a GUI may have set to a comma.
  std::string ascii = Ascii(text);
  if (ascii[0] == '+') ascii.erase(0, 1);
  double number = 0;
  const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), number);
  if (error != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(number)) return false;
  value = TCondValue::Float(number);
  return true;
}

bool ParseEngineInteger(std::u16string_view text, int64_t& value) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) negative = text[pos++] == u'-';
  if (pos == text.size()) return false;
  uint64_t magnitude = 0;
  const uint64_t limit = negative ? (uint64_t{1} << 63) : (uint64_t{1} << 63) - 1;
  for (; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos])) return false;
    const uint64_t digit = text[pos] - u'0';
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool ParseEngineDate(std::u16string_view text, int32_t& packedDate) {
  if (text.find(u'.') != std::u16string_view::npos) return ParseDateFields(text, u'.', "DMY", packedDate);
  if (text.find(u'/') != std::u16string_view::npos) return ParseDateFields(text, u'/', "MDY", packedDate);
  return ParseDateFields(text, u'-', "YMD", packedDate);
}

bool ParseEngineTime(std::u16string_view text, int32_t& milliseconds) {
  return ParseTimeFields(text, u':', milliseconds);
}

bool ParseEngineTimeStamp(std::u16string_view text, int32_t& packedDate, int32_t& milliseconds) {
  size_t separator = text.find_first_of(u"_ ");
  // "1:30 PM" has a blank but no date before it.
  const bool hasColon = text.find(u':') != std::u16string_view::npos;
  if (separator != std::u16string_view::npos && hasColon && text.find(u':') < separator)
    separator = std::u16string_view::npos;
  if (separator == std::u16string_view::npos) {
    if (!hasColon) {
      milliseconds = 0;
      return ParseEngineDate(text, packedDate);
    }
    packedDate = PackDate(1, 1, 1);
    return ParseEngineTime(text, milliseconds);
  }
  return ParseEngineDate(text.substr(0, separator), packedDate) &&
         ParseEngineTime(text.substr(separator + 1), milliseconds);
}

bool ParseGuid(std::u16string_view text, std::array<uint8_t, 16>& guid) {
  if (text.size() == 38 && text.front() == u'{' && text.back() == u'}') text = text.substr(1, 36);
  if (text.size() != 36) return false;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < 36;) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i++] != u'-') return false;
      continue;
    }
    int byte = 0;
    for (int k = 0; k < 2; ++k, ++i) {
      const char16_t c = text[i];
      int nibble;
      if (IsDigit(c)) nibble = c - u'0';
      else if (c >= u'a' && c <= u'f') nibble = c - u'a' + 10;
      else if (c >= u'A' && c <= u'F') nibble = c - u'A' + 10;
      else return false;
      byte = byte * 16 + nibble;
    }
    bytes.push_back(static_cast<uint8_t>(byte));
  }
  // The first three groups are little-endian numbers in memory.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) guid[i] = bytes[order[i]];
  return true;
}

std::u16string GuidToText(const std::array<uint8_t, 16>& guid) {
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string text = "{";
  char hex[3];
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    std::snprintf(hex, sizeof hex, "%02X", guid[order[i]]);
    text += hex;
  }
  return Utf8ToUtf16(text + "}");
}

TCondLocalFormats DefaultLocalFormats() {
  const TTdbTextFormats platform = PlatformTextFormats();
  TCondLocalFormats formats;
  formats.FDecimalSeparator = platform.FDecimalSeparator;
  formats.FDateSeparator = platform.FDateSeparator;
  std::copy(std::begin(platform.FDateOrder), std::end(platform.FDateOrder), formats.FDateOrder);
  formats.FTimeSeparator = platform.FTimeSeparator;
  return formats;
}

bool ParseLocalNumber(std::u16string_view text, const TCondLocalFormats& formats, TCondValue& value) {
  std::u16string engineText(text);
  for (char16_t& c : engineText)
    if (c == formats.FDecimalSeparator) c = u'.';
    else if (c == u'.') c = u'\x7f';  // a dot is no decimal point here
  return ParseEngineNumber(engineText, value);
}

bool ParseLocalDate(std::u16string_view text, const TCondLocalFormats& formats, int32_t& packedDate) {
  // Short date patterns often end with the separator ("2024. 01. 31.").
  std::u16string compact;
  for (char16_t c : text)
    if (c != u' ') compact += c;
  if (!compact.empty() && compact.back() == formats.FDateSeparator) compact.pop_back();
  return ParseDateFields(compact, formats.FDateSeparator, formats.FDateOrder, packedDate);
}

bool ParseLocalTime(std::u16string_view text, const TCondLocalFormats& formats, int32_t& milliseconds) {
  return ParseTimeFields(text, formats.FTimeSeparator, milliseconds);
}

bool ParseLocalTimeStamp(std::u16string_view text, const TCondLocalFormats& formats, int32_t& packedDate,
                         int32_t& milliseconds) {
  const size_t separator = text.rfind(u' ');
  if (separator == std::u16string_view::npos) {
    milliseconds = 0;
    return ParseLocalDate(text, formats, packedDate);
  }
  return ParseLocalDate(text.substr(0, separator), formats, packedDate) &&
         ParseLocalTime(text.substr(separator + 1), formats, milliseconds);
}

std::u16string DateToText(int32_t packedDate) {
  int year, month, day;
  UnpackDate(packedDate, year, month, day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return Utf8ToUtf16(text);
}

std::u16string TimeToText(int32_t milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", milliseconds / 3600000, milliseconds / 60000 % 60,
                milliseconds / 1000 % 60, milliseconds % 1000);
  return Utf8ToUtf16(text);
}

std::u16string FloatToText(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  return Utf8ToUtf16(std::string_view(text, result.ptr - text));
}

}  // namespace kestrel
