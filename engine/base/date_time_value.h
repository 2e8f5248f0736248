// Date and time values as the engine stores them: packed dates
// (year × 512 + month × 32 + day, 0 meaning NULL), times of day in ticks of
// 100 ns, and time stamps (packed date plus milliseconds since midnight).
// The calendar is the proleptic Gregorian one from 0001-01-01 to 9999-12-31.
// All functions are pure and thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

inline constexpr int32_t kPackedYearFactor = 512;
inline constexpr int32_t kPackedMonthFactor = 32;
inline constexpr int32_t kMinPackedDate = 545;      // 0001-01-01
inline constexpr int32_t kMaxPackedDate = 5119903;  // 9999-12-31
inline constexpr int64_t kTicksPerMillisecond = 10000;
inline constexpr int64_t kTicksPerMinute = 600000000;
inline constexpr int32_t kMillisecondsPerDay = 86400000;
inline constexpr int64_t kTicksPerDay = int64_t{kMillisecondsPerDay} * kTicksPerMillisecond;

struct TTdbCivilDate {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  bool operator==(const TTdbCivilDate&) const = default;
};

// Whether the date exists in the calendar between 0001-01-01 and 9999-12-31.
bool IsValidCivilDate(const TTdbCivilDate& date);

// Whether `packed` is a packed form of a valid date (0 is not).
bool IsValidPackedDate(int32_t packed);

// Packs a valid date. Throws ETdbEngine tdbErrInvalidDate with the date as text otherwise.
int32_t PackDate(const TTdbCivilDate& date);

// Unpacks the fields of a packed date without checking them.
TTdbCivilDate UnpackDate(int32_t packed);

// Days since 0001-01-01 (which is day 0) of a valid date, and back. The day
// number of a value outside the calendar is not defined; DayNumberToDate
// expects 0..3652058.
int32_t DateToDayNumber(const TTdbCivilDate& date);
TTdbCivilDate DayNumberToDate(int32_t dayNumber);

// "yyyy-mm-dd" of the unpacked fields, for messages.
std::string PackedDateText(int32_t packed);

// "hh:mm:ss.zzz" of a time in milliseconds, for messages.
std::string MillisecondsText(int64_t milliseconds);

}  // namespace kestrel
