// Checks a record image must pass before the table stores it.
//
// A NOT NULL column of a type whose NULL is a zero value (Date, DateTime,
// Link, Enum) has no null indicator: zero bytes there would read back as a
// value that is no date (or no link, no enumeration value), so a record
// that holds them is refused as NULL in a column that takes none. New
// records start with valid values there (TTdbBaseTable::InitRecord).
#pragma once

#include <cstdint>
#include <span>

#include "engine/table/column_definition.h"

namespace kestrel {

// Throws ETdbEngine tdbErrNullNotAccepted naming the first NOT NULL column
// of `record` (RecordSize() bytes of `columns`) that holds the NULL value.
void RequireNotNullValues(const TTdbColumnDefs& columns, std::span<const std::uint8_t> record);

}  // namespace kestrel
