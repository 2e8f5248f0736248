// Column values as text in local formats, and back.
//
// A value here is the TTdbValue of the column's natural kind (as
// ReadValue gives it), except that Memo and WideMemo values are their text
// and Blob values their bytes (TTdbBytes): the text conversions work on
// contents, never on block references.
//
// Texts: integers in decimal with an optional sign; floats as the shortest
// text that reads back the same number, with the formats' decimal
// separator; Boolean "True" and "False"; Enum values by their names; dates
// in one of the date formats below; times as hours and minutes, with
// seconds from precision 3 and milliseconds from precision 4; time stamps as
// the date, a blank and the time; GUIDs as
// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}; bytes as two hexadecimal digits
// each; texts as they are. NULL is the empty text, and the empty text is
// NULL for every type but the text types.
//
// All functions are pure and thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "engine/base/column_codec.h"

namespace kestrel {

// The date formats a session may choose.
enum TTdbDateFormat : int {
  tdfPlatform = -1,    // the platform's short date (TTdbTextFormats order and separator)
  tdfDayMonthYear = 0, // dd.mm.yyyy
  tdfShortDayMonth = 1, // d.mm.yy
  tdfMonthDayUs = 2,   // m/d/yy
  tdfIso = 3,          // yyyy-mm-dd
};

// Two-digit years read as 2000 + year below this, else 1900 + year.
inline constexpr int kTwoDigitYearPivot = 30;

struct TTdbTextFormats {
  TTdbDateFormat FDateFormat = tdfIso;
  char16_t FDecimalSeparator = u'.';
  // The platform's short date: separator and field order ("DMY", "MDY" or
  // "YMD"); used by tdfPlatform.
  char16_t FDateSeparator = u'.';
  char FDateOrder[4] = "DMY";
  char16_t FTimeSeparator = u':';
};

// The formats of the process's default locale (ICU): tdfPlatform with the
// locale's short date order and separator, and its decimal separator.
TTdbTextFormats PlatformTextFormats();

// The texts with which a type refuses a value: the getter's ("Is not an
// integer." for numbers, "Is not a date." for dates and time stamps, "Is not
// a time.", "Is not an ANSI string." for Char, String and Memo, "Is not a
// wide string.", "Is not a GUID.", "Is not a binary.", "Is not a class." for
// Relation) and the setter's, named after the kind of the value offered
// ("Cannot assign integer.", "Cannot assign double.", "Cannot assign
// date.", "Cannot assign time.", "Cannot assign time stamp.", "Cannot
// assign ANSI string.", "Cannot assign Unicode string.", "Cannot assign
// GUID.", "Cannot assign bytes.", "Cannot assign object.").
const char* GetterRefusal(TTdbColumnType code);
const char* SetterRefusal(TTdbColumnType code);

// The value as text. Throws ETdbEngine tdbErrPlain with the getter text of
// the type ("Is not an integer.", "Is not a date.", ...) when the value is
// not of the type's kind; a Relation column has no text ("Is not a class.").
std::u16string ConvertToString(const TTdbDataType& type, const TTdbValue& value,
                               const TTdbTextFormats& formats);

// The value of a text for `type`. Leading and trailing blanks are ignored
// but by the text types; texts longer than a String or WideString are cut
// to its maximal length. Errors (ETdbEngine): 46 "\"%s\" is not a valid
// number" for numbers, 81 for integers outside the type's range, for a
// Boolean other than "True"/"False" and for an unknown Enum name (names are
// compared without regard to case); 137 "\"%s\" is not a valid date", 140
// "\"%s\" is not a valid time", tdbErrPlain "%s is not a valid time stamp";
// tdbErrPlain for a bad GUID or hexadecimal text; "Cannot assign object."
// for Relation.
TTdbValue ConvertFromString(const TTdbDataType& type, std::u16string_view text, const TTdbTextFormats& formats);

}  // namespace kestrel
