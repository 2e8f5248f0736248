// The stored length of an index item in a B+ tree index file: the record
// number and the key parts as they are packed (string parts of a
// variable-size definition with their actual length), so that single
// inserts and bulk builds store the same bytes.
#pragma once

#include <cstdint>

#include "engine/index/index_key.h"

namespace kestrel {

// Bytes of `item` (an item buffer of the definition's FSize) that hold its
// record number and key parts.
uint32_t IndexItemLength(const TTdbIndexComparer& comparer, const uint8_t* item);

}  // namespace kestrel
