// Reading literal text in the engine's own syntaxes (numbers, integers,
// dates, times, time stamps, GUIDs) and in the platform's local formats.
// All functions are pure and thread-safe; they answer false for text that
// does not convert and never throw.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/cond/cond_value.h"

namespace kestrel {

// Number syntax: [sign] digits ["." digits] [("E"|"e") [sign] digits].
// Without "." and exponent, and within 64 bits, the value is an integer;
// otherwise a float.
bool ParseEngineNumber(std::u16string_view text, TCondValue& value);

// Integer syntax: [sign] digits, within 64 bits.
bool ParseEngineInteger(std::u16string_view text, int64_t& value);

// Date syntax: day.month.year, month/day/year or year-month-day; a year of
// at most two digits is 2000 + year below 30, else 1900 + year.
bool ParseEngineDate(std::u16string_view text, int32_t& packedDate);

// Time syntax: hours:minutes[:seconds[.milliseconds]], optionally followed
// by one blank and AM or PM (hours 1-12 then); 24:00:00.000 is accepted.
bool ParseEngineTime(std::u16string_view text, int32_t& milliseconds);

// A date, "_" or a blank, and a time; a text without separator and without
// ":" is a date at midnight; with ":" but no separator a time on 0001-01-01.
bool ParseEngineTimeStamp(std::u16string_view text, int32_t& packedDate, int32_t& milliseconds);

// {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx} (braces optional), into the GUID's
// memory layout (Int32, Int16, Int16 little-endian, then 8 bytes).
bool ParseGuid(std::u16string_view text, std::array<uint8_t, 16>& guid);
std::u16string GuidToText(const std::array<uint8_t, 16>& guid);

// The platform's local number, date and time formats, as far as literals use
// them.
struct TCondLocalFormats {
  char16_t FDecimalSeparator = u'.';
  char16_t FDateSeparator = u'.';
  // The order of the date fields: "DMY", "MDY" or "YMD".
  char FDateOrder[4] = "DMY";
  char16_t FTimeSeparator = u':';
};

// The formats of the process's default locale (ICU).
TCondLocalFormats DefaultLocalFormats();

bool ParseLocalNumber(std::u16string_view text, const TCondLocalFormats& formats, TCondValue& value);
bool ParseLocalDate(std::u16string_view text, const TCondLocalFormats& formats, int32_t& packedDate);
bool ParseLocalTime(std::u16string_view text, const TCondLocalFormats& formats, int32_t& milliseconds);
bool ParseLocalTimeStamp(std::u16string_view text, const TCondLocalFormats& formats, int32_t& packedDate,
                         int32_t& milliseconds);

// Writing values as text (for the string functions): dates as
// yyyy-mm-dd, times as hh:mm:ss.zzz, time stamps both with a blank between,
// floats with up to 15 significant digits.
std::u16string DateToText(int32_t packedDate);
std::u16string TimeToText(int32_t milliseconds);
std::u16string FloatToText(double value);

}  // namespace kestrel
