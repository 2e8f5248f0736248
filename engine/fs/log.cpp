// TdwLog has no behaviour of its own; this file anchors its vtable.
#include "engine/fs/log.h"

namespace kestrel {

TdwLog::~TdwLog() = default;

}  // namespace kestrel
