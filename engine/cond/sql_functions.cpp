// The table of callable functions and their argument counts.
#include "engine/cond/sql_functions.h"

namespace kestrel {

namespace {

// SUBSTRING takes its count as an optional third argument, as its result
// rule describes; CURRENTRECORDID is parsed with at most one argument and
// refused when prepared, like the other functions that only whole queries
// can use (aggregates, CAST, EXTRACT).
constexpr TSqlFunctionDef kFunctions[] = {
    {u"ABS", sftAbs, 1, 1, false},
    {u"AVG", sftAvg, 1, 1, false},
    {u"CAST", sftCast, 1, 1, false},
    {u"CEILING", sftCeiling, 1, 1, false},
    {u"CHAR_LENGTH", sftChar_Length, 1, 1, false},
    {u"CHR", sftChr, 1, 1, false},
    {u"COUNT", sftCount, 1, 1, false},
    {u"CURRENT_DATE", sftCurrent_Date, 0, 0, false},
    {u"CURRENT_TIME", sftCurrent_Time, 0, 0, false},
    {u"CURRENT_TIMESTAMP", sftCurrent_Timestamp, 0, 0, false},
    {u"CURRENTRECORDID", sftCurrentRecordId, 0, 1, false},
    {u"DIGITSTR", sftDigitStr, 1, 1, false},
    {u"EXCHANGE", sftExchange, 3, 3, false},
    {u"EXP", sftExp, 1, 1, false},
    {u"EXTRACT", sftExtract, 1, 1, false},
    {u"FILLSTR", sftFillStr, 3, 3, false},
    {u"FIRST", sftFirst, 1, 1, false},
    {u"FLOOR", sftFloor, 1, 1, false},
    {u"FRAC", sftFrac, 1, 1, false},
    {u"INT", sftInt, 1, 1, false},
    {u"LAST", sftLast, 1, 1, false},
    {u"LEN", sftLen, 1, 1, false},
    {u"LENGTH", sftLen, 1, 1, false},
    {u"LOG", sftLog, 1, 1, false},
    {u"LOWER", sftLower, 1, 1, false},
    {u"LTRIM", sftTrimLeading, 1, 2, false},
    {u"MAX", sftMax, 1, 1, false},
    {u"MIN", sftMin, 1, 1, false},
    {u"NOW", sftCurrent_Time, 0, 0, false},
    {u"NTIMES", sftNTimes, 2, 2, false},
    {u"RANDOM", sftRandom, 1, 1, false},
    {u"REALVAL", sftRealVal, 1, 1, false},
    {u"ROUND", sftRound, 2, 2, false},
    {u"RTRIM", sftTrimTrailing, 1, 1, false},
    {u"SQRT", sftSqrt, 1, 1, false},
    {u"STR", sftStr, 1, 6, false},
    {u"SUM", sftSum, 1, 1, false},
    {u"SUBSTRING", sftSubString, 2, 3, false},
    {u"TODAY", sftCurrent_Date, 0, 0, false},
    {u"TRIM", sftTrim, 1, 1, false},
    {u"UPPER", sftUpper, 1, 1, false},
    {u"Sin", sftSin, 1, 1, true},
    {u"Cos", sftCos, 1, 1, true},
    {u"ArcTan", sftArcTan, 1, 1, true},
    {u"Ascii", sftAscii, 1, 1, true},
    {u"Pos", sftPos, 2, 2, true},
    {u"Scan", sftScan, 2, 3, true},
    {u"LeftStr", sftLeftStr, 2, 2, true},
    {u"RightStr", sftRightStr, 2, 2, true},
    {u"HexStr", sftHexStr, 1, 2, true},
    {u"Year", sftYear, 1, 1, true},
    {u"Month", sftMonth, 1, 1, true},
    {u"Week", sftWeek, 1, 1, true},
    {u"Day", sftDay, 1, 1, true},
    {u"DayOfWeek", sftDayOfWeek, 1, 1, true},
    {u"WeekDayNo", sftWeekDayNo, 1, 1, true},
    {u"Hour", sftHour, 1, 1, true},
    {u"Minute", sftMinute, 1, 1, true},
    {u"Second", sftSecond, 1, 1, true},
    {u"Millisecond", sftMillisecond, 1, 1, true},
    {u"CombineDateTime", sftCombineDateTime, 2, 2, true},
    {u"MakeTime", sftMakeTime, 2, 4, true},
    {u"MakeDate", sftMakeDate, 3, 3, true},
    {u"MakeDateTime", sftMakeDateTime, 3, 7, true},
    {u"TimeStr", sftTimeStr, 1, 1, true},
    {u"DateStr", sftDateStr, 1, 1, true},
    {u"DateTimeStr", sftDateTimeStr, 1, 1, true},
    {u"NewGuid", sftNewGuid, 0, 0, true},
};

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

}  // namespace

const TSqlFunctionDef* FindSqlFunction(std::u16string_view name) {
  for (const TSqlFunctionDef& def : kFunctions)
    if (SameName(def.FName, name)) return &def;
  return nullptr;
}

}  // namespace kestrel
