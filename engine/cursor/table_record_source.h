// The record source through which a cursor's filter conditions see one
// table: TCondRecordImageSource over the table's columns and index view,
// with memo and wide memo texts read through the table's memo file.
#pragma once

#include <memory>

#include "engine/cond/record_image_source.h"

namespace kestrel {

class TTdbBaseTable;

// A record source over `table` (which must outlive it); set its record with
// SetRecord before evaluating.
std::unique_ptr<TCondRecordImageSource> NewTableRecordSource(TTdbBaseTable& table);

}  // namespace kestrel
