// CheckRecordImage: the values of a record image that comes from a caller,
// checked against their columns before the image is written, so that no
// value the column cannot hold ever reaches a table file.
#pragma once

#include <cstdint>
#include <span>

#include "engine/table/column_definition.h"

namespace kestrel {

// Raises ETdbEngine tdbErrOutOfRange naming the first column whose bytes
// hold no value of its type: a null indicator other than 0 or 1, a text
// length beyond the column, a date, time or time stamp that does not exist,
// an enumeration number without a name, a Boolean other than 0 or 1, a
// Float that is not a number. Memo, blob and relation columns are not
// looked at (their block numbers are never taken from a caller).
void CheckRecordImage(const TTdbColumnDefs& columns, std::span<const std::uint8_t> record);

}  // namespace kestrel
