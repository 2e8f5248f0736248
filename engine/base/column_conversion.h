// Conversions of values between column types: which pairs convert, and the
// conversion itself.
//
// Values are of their type's natural kind as in column_text.h (Memo and
// WideMemo texts, Blob bytes). The types fall into families: integers
// (Int16, Byte, Boolean, Enum, RecordId, Link, LongInt, Int64), Float,
// texts (Char, String, WideString, Memo, WideMemo), Date, Time, DateTime,
// Guid, Blob and Relation. The matrix, "I" converting always, "E" only when
// asked explicitly, "-" never:
//
//   from \ to   integer Float text Date Time DateTime Guid Blob Relation
//   integer        I      I     E    -    -     -       -    -     -
//   Float          E      I     E    -    -     -       -    -     -
//   text           E      E     I    E    E     E       E    E     -
//   Date           -      -     E    I    -     I       -    -     -
//   Time           -      -     E    -    I     -       -    -     -
//   DateTime       -      -     E    E    E     I       -    -     -
//   Guid           -      -     E    -    -     -       I    -     -
//   Blob           -      -     E    -    -     -       -    I     -
//   Relation       -      -     -    -    -     -       -    -     -
//
// Integers are range-checked against the target (error 81; Enum: "Enum
// overflow"); Float to integer rounds to the nearest integer, halves away
// from zero. Texts to texts are cut to the target's maximal length. A
// DateTime gives its date or its time; a Date becomes a time stamp at
// midnight. Conversions to and from text are those of column_text.h.
//
// All functions are pure and thread-safe.
#pragma once

#include "engine/base/column_text.h"

namespace kestrel {

// Whether a value of type `from` converts to type `to` (implicitly, or only
// when `explicitly` is set). CanConvertFrom asks the same from the target's
// side.
bool CanConvertTo(const TTdbDataType& from, const TTdbDataType& to, bool explicitly);
bool CanConvertFrom(const TTdbDataType& to, const TTdbDataType& from, bool explicitly);

// The value of type `from` as a value of type `to`; NULL stays NULL. A pair
// the matrix refuses is refused by the target's setter: ETdbEngine
// tdbErrPlain "Cannot assign <kind of from>." ("Cannot assign integer.",
// "Cannot assign GUID.", ...). A value that is not of `from`'s kind raises
// the getter text of `from`. Errors of the conversion itself as above and in
// column_text.h.
TTdbValue ConvertTo(const TTdbDataType& from, const TTdbValue& value, const TTdbDataType& to, bool explicitly,
                    const TTdbTextFormats& formats);

// The same conversion asked for by the target: a pair the matrix refuses is
// refused by the source's getter: ETdbEngine tdbErrPlain "Is not <kind of
// to>." ("Is not an integer.", "Is not a date.", ...).
TTdbValue ConvertFrom(const TTdbDataType& to, const TTdbDataType& from, const TTdbValue& value, bool explicitly,
                      const TTdbTextFormats& formats);

}  // namespace kestrel
