// The engine's own table objects and cursors, made for the call interface:
// it installs these two functions as its factories (engine/api/factories.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/session/catalog_table.h"
#include "engine/session/cursor_api.h"

namespace kestrel {

class TTdbLocalSession;
class TTdbServices;

// A closed TTdbCatalogTableObject for `request` on the session's data file
// system. Throws ETdbEngine tdbErrFileNotFound when the session has no open database.
std::unique_ptr<ITdbCatalogTable> MakeCatalogTableObject(TTdbServices& services,
                                                         const TTdbTableOpenRequest& request);

// A TTdbCursor named `name` on the table object in catalog slot rltnIdx.
// Throws ETdbEngine tdbErrNotSupported when that slot holds a table of another kind.
std::unique_ptr<ITdbCursorApi> MakeTableCursor(TTdbLocalSession& session, int rltnIdx,
                                               std::int16_t tableHdl, const std::u16string& name);

}  // namespace kestrel
