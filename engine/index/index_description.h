// The index description stored in the user area of an index file's header
// page: the item count and the index definition, in the layout of the index
// file's version (4 and above: a variable layout with up to 256 levels or an
// expression; 1 to 3: a fixed vector of 10 levels).
//
// Reading treats the bytes as untrusted: level counts, sizes and expression
// lengths are checked against the area and the item size before use.
#pragma once

#include <cstdint>
#include <cstddef>

#include "engine/index/sort_def.h"

namespace kestrel {

// Offset of the item count in the user area.
uint32_t IndexItemCountOffset(uint16_t fileVersion);

// Writes `def` and `itemCount` into `area` (`areaSize` bytes). Throws
// ETdbEngine tdbErrIndexDataTooLarge when the description does not fit or the old layout cannot
// hold the definition.
void WriteIndexDescription(const TTdbSortDef& def, uint16_t fileVersion, uint32_t itemCount, uint8_t* area,
                           size_t areaSize);

// Reads the definition and the item count. The definition comes back with
// IsVarSize false and without a prepared expression. Throws ETdbEngine tdbErrIndexInconsistent
// (with `name`) when the description is inconsistent.
TTdbSortDef ReadIndexDescription(const uint8_t* area, size_t areaSize, uint16_t fileVersion, int tableLevel,
                                 uint32_t& itemCount, const char* name);

}  // namespace kestrel
