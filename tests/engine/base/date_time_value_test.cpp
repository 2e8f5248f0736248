// Packed dates and day numbers against std::chrono's civil calendar over
// the whole range 0001-01-01 to 9999-12-31, and the rejection of packed
// values that are no date.
#include <gtest/gtest.h>

#include <chrono>

#include "engine/base/column_codec.h"
#include "engine/base/date_time_value.h"
#include "engine/base/engine_error.h"

namespace kestrel {
namespace {

namespace chr = std::chrono;

TEST(DateTimeValue, EveryDayMatchesTheCivilCalendar) {
  const chr::sys_days first = chr::year{1} / chr::January / 1;
  const chr::sys_days last = chr::year{9999} / chr::December / 31;
  const TTdbDataType column = TTdbDataType::Make(tctDate, true, 6);
  int32_t previousPacked = 0;
  int32_t dayNumber = 0;
  for (chr::sys_days day = first; day <= last; day += chr::days{1}, ++dayNumber) {
    const chr::year_month_day ymd{day};
    const TTdbCivilDate date{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                             static_cast<int>(static_cast<unsigned>(ymd.day()))};
    const int32_t packed = PackDate(date);
    ASSERT_EQ(packed, date.Year * 512 + date.Month * 32 + date.Day);
    ASSERT_GT(packed, previousPacked) << "packed dates sort as the calendar does";
    ASSERT_EQ(UnpackDate(packed), date);
    ASSERT_EQ(DateToDayNumber(date), dayNumber);
    ASSERT_EQ(DayNumberToDate(dayNumber), date);
    ASSERT_EQ((day - first).count(), dayNumber);
    previousPacked = packed;
  }
  EXPECT_EQ(PackDate({1, 1, 1}), kMinPackedDate);
  EXPECT_EQ(previousPacked, kMaxPackedDate);
  std::vector<uint8_t> bytes(4);
  WriteValue(column, bytes, TTdbDate{kMaxPackedDate});
  EXPECT_EQ(std::get<TTdbDate>(ReadValue(column, bytes)).Packed, kMaxPackedDate);
}

TEST(DateTimeValue, EveryPackedValueIsCheckedLikeTheCalendar) {
  // Every packed value in and around the range: valid exactly when chrono
  // says the fields make a date.
  for (int32_t packed = -1; packed <= kMaxPackedDate + 600; ++packed) {
    const TTdbCivilDate date = UnpackDate(packed);
    const chr::year_month_day ymd{chr::year{date.Year}, chr::month{static_cast<unsigned>(date.Month)},
                                  chr::day{static_cast<unsigned>(date.Day)}};
    const bool expected = packed > 0 && date.Year >= 1 && date.Year <= 9999 && ymd.ok() &&
                          packed == date.Year * 512 + date.Month * 32 + date.Day;
    ASSERT_EQ(IsValidPackedDate(packed), expected) << packed;
  }
  try {
    PackDate({1900, 2, 29});
    ADD_FAILURE();
  } catch (const ETdbEngine& e) {
    EXPECT_EQ(e.Message(), "\"1900-02-29\" is not a valid date");
  }
}

}  // namespace
}  // namespace kestrel
