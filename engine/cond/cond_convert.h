// Converting text and values to a given type: literals when a condition is
// prepared, and results of calculations forced into another type.
// Functions are pure and thread-safe; failures are returned, not thrown, so
// each caller can raise them with or without a position in a text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/cond/cond_literals.h"
#include "engine/cond/cond_value.h"
#include "engine/cond/sql_errors.h"

namespace kestrel {

struct TCondConversion {
  bool FOk = true;
  int FErrorNumber = 0;                      // engine error number when !FOk
  std::vector<std::string> FErrorArguments;  // its message arguments (UTF-8)
  TCondValue FValue;
};

// Raises the error of a failed conversion: an ETdbCompilerError at
// `position` when one is given, else an ETdbEngine.
[[noreturn]] void ThrowConversionError(const TCondConversion& conversion, const TSqlErrorPosition* position);

// Text to a value of `type`: strings go through the type's code page (8-bit
// types; "?" for characters it lacks) and are cut to its maximal length;
// numbers, dates, times and time stamps are read in the engine's syntax,
// and with `localFormats` also in the platform's (numbers after the
// engine's syntax fails, dates and times before it); Booleans are True/Ja
// and False/Nein; enums a value number or name; GUIDs the textual form.
// Errors: 46 number, integer or GUID; 44 Boolean ("\"x\"->Boolean") or a
// type text cannot convert to; 137 date; 140 time; 158 time stamp; 50 enum.
TCondConversion ConvertText(std::u16string_view text, const TCondDataType& type,
                            const TCondLocalFormats* localFormats);

// A value of type `from` to type `to`: numbers between integer and float
// types (integers in range, else error 81), anything to text (numbers,
// dates yyyy-mm-dd, times hh:mm:ss.zzz, Booleans True/False, GUIDs), text
// by ConvertText, dates to time stamps and back, time stamps to times.
// Other pairs give error 44 ("<from>-><to>").
TCondConversion ConvertValue(const TCondValue& value, const TCondDataType& from, const TCondDataType& to);

}  // namespace kestrel
