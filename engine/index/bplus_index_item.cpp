// Stored lengths of variable-size index items.
#include "engine/index/bplus_index_item.h"

namespace kestrel {

uint32_t IndexItemLength(const TTdbIndexComparer& comparer, const uint8_t* item) {
  const TTdbSortDef& def = comparer.Def();
  uint32_t offset = kIndexRecordNoSize;
  for (int level = 0; level < def.LevelCount() && offset < def.FSize; ++level)
    offset += comparer.LevelDataSize(level, item + offset, def.FSize - offset);
  return offset;
}

}  // namespace kestrel
