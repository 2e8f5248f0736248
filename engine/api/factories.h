// The factories through which the call interface gets its table objects
// (for every session's catalog) and its cursors. Both start as the engine's
// own (engine/cursor/cursor_factories.h); tests swap in stand-ins and put
// the previous ones back. One lock guards both; every function is
// thread-safe.
#pragma once

#include "engine/session/catalog_table.h"
#include "engine/session/cursor_api.h"

namespace kestrel {

// Installs the factory of table objects (an empty function removes it) and
// answers the previous one.
TTdbTableFactory SetTableFactory(TTdbTableFactory factory);
// The installed factory of table objects (empty when none).
TTdbTableFactory GetTableFactory();

// Installs the cursor factory (an empty function removes it) and answers the
// previous one.
TTdbCursorFactory SetCursorFactory(TTdbCursorFactory factory);
// The installed cursor factory (empty when none).
TTdbCursorFactory GetCursorFactory();

}  // namespace kestrel
