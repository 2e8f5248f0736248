// The record source through which a cursor's filter conditions see one
// table: TCondRecordImageSource over the table's columns and index view,
// with memo and wide memo texts read through the table's memo file.
#pragma once

#include <functional>
#include <memory>

#include "engine/cond/record_image_source.h"
#include "engine/table/relation.h"

namespace kestrel {

class TTdbBaseTable;

// The value a memo column (1-based) is about to get, or null when the
// record's block number tells it.
using TTdbNewMemoValue = std::function<const TTdbBlobData*(int columnNo)>;

// A record source over `table` (which must outlive it); set its record with
// SetRecord before evaluating. With newValue, a memo column it answers for
// reads as that value instead of through the memo file.
std::unique_ptr<TCondRecordImageSource> NewTableRecordSource(TTdbBaseTable& table, TTdbNewMemoValue newValue = {});

}  // namespace kestrel
