// The functions a condition can call: the SQL functions (UPPER, SUBSTRING,
// ...) and the data functions (Year, LeftStr, ...), with their argument
// counts. The parser looks names up here; preparation and evaluation are in
// sql_function_eval.cpp.
#pragma once

#include <string_view>

namespace kestrel {

enum TFunctionId : int {
  // SQL functions.
  sftAbs,
  sftAvg,
  sftCast,
  sftCeiling,
  sftChar_Length,
  sftChr,
  sftCount,
  sftCurrent_Date,
  sftCurrent_Time,
  sftCurrent_Timestamp,
  sftCurrentRecordId,
  sftDigitStr,
  sftExchange,
  sftExp,
  sftExtract,
  sftFillStr,
  sftFirst,
  sftFloor,
  sftFrac,
  sftInt,
  sftLast,
  sftLen,
  sftLog,
  sftLower,
  sftTrimLeading,
  sftMax,
  sftMin,
  sftNTimes,
  sftRandom,
  sftRealVal,
  sftRound,
  sftTrimTrailing,
  sftSqrt,
  sftStr,
  sftSum,
  sftSubString,
  sftTrim,
  sftUpper,
  // Data functions.
  sftSin,
  sftCos,
  sftArcTan,
  sftAscii,
  sftPos,
  sftScan,
  sftLeftStr,
  sftRightStr,
  sftHexStr,
  sftYear,
  sftMonth,
  sftWeek,
  sftDay,
  sftDayOfWeek,
  sftWeekDayNo,
  sftHour,
  sftMinute,
  sftSecond,
  sftMillisecond,
  sftCombineDateTime,
  sftMakeTime,
  sftMakeDate,
  sftMakeDateTime,
  sftTimeStr,
  sftDateStr,
  sftDateTimeStr,
  sftNewGuid,
};

struct TSqlFunctionDef {
  std::u16string_view FName;  // the spelling used when the call is written back
  TFunctionId FId;
  int FMinArgs;
  int FMaxArgs;
  bool FIsDataFunction;  // data functions are always called with "(" ... ")"
};

// The function of that name (compared without regard to ASCII case), SQL
// functions first; nullptr when there is none.
const TSqlFunctionDef* FindSqlFunction(std::u16string_view name);

}  // namespace kestrel
