// Packed dates and day numbers of the proleptic Gregorian calendar.
#include "engine/base/date_time_value.h"

#include <cstdio>

#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;
constexpr int kDaysPer400Years = 146097;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool IsValidCivilDate(const TTdbCivilDate& date) {
  return date.Year >= kMinYear && date.Year <= kMaxYear && date.Month >= 1 && date.Month <= 12 &&
         date.Day >= 1 && date.Day <= DaysInMonth(date.Year, date.Month);
}

bool IsValidPackedDate(int32_t packed) {
  return packed >= kMinPackedDate && packed <= kMaxPackedDate && IsValidCivilDate(UnpackDate(packed));
}

int32_t PackDate(const TTdbCivilDate& date) {
  if (!IsValidCivilDate(date)) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.Year, date.Month, date.Day);
    throw ETdbEngine(tdbErrInvalidDate, text);
  }
  return date.Year * kPackedYearFactor + date.Month * kPackedMonthFactor + date.Day;
}

TTdbCivilDate UnpackDate(int32_t packed) {
  return {packed / kPackedYearFactor, (packed / kPackedMonthFactor) % (kPackedYearFactor / kPackedMonthFactor),
          packed % kPackedMonthFactor};
}

// Days from civil, shifted so that the year starts in March (the leap day is
// then the last day of the year).
int32_t DateToDayNumber(const TTdbCivilDate& date) {
  const int y = date.Year - (date.Month <= 2 ? 1 : 0);
  const int era = y / 400;
  const int yearOfEra = y - era * 400;
  const int monthFromMarch = date.Month > 2 ? date.Month - 3 : date.Month + 9;
  const int dayOfYear = (153 * monthFromMarch + 2) / 5 + date.Day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  // 0000-03-01 is day 0 of that count; 0001-01-01 lies 306 days later.
  return era * kDaysPer400Years + dayOfEra - 306;
}

TTdbCivilDate DayNumberToDate(int32_t dayNumber) {
  const int z = dayNumber + 306;
  const int era = z / kDaysPer400Years;
  const int dayOfEra = z - era * kDaysPer400Years;
  const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int monthFromMarch = (5 * dayOfYear + 2) / 153;
  const int day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
  const int month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
  const int year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

std::string PackedDateText(int32_t packed) {
  const TTdbCivilDate date = UnpackDate(packed);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.Year, date.Month, date.Day);
  return text;
}

std::string MillisecondsText(int64_t milliseconds) {
  const bool negative = milliseconds < 0;
  const uint64_t ms = negative ? 0 - static_cast<uint64_t>(milliseconds) : static_cast<uint64_t>(milliseconds);
  char text[64];
  std::snprintf(text, sizeof text, "%s%02llu:%02llu:%02llu.%03llu", negative ? "-" : "",
                static_cast<unsigned long long>(ms / 3600000), static_cast<unsigned long long>(ms / 60000 % 60),
                static_cast<unsigned long long>(ms / 1000 % 60), static_cast<unsigned long long>(ms % 1000));
  return text;
}

}  // namespace kestrel
