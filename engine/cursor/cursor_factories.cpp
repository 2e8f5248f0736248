// Installs the engine's table objects and cursors behind the flat call
// interface when the library is loaded: the catalog then opens real tables
// and TdbTableCreate makes real cursors. Tests may swap in stand-ins and put
// these back.
#include "engine/api/catalog_table.h"
#include "engine/api/cursor_api.h"
#include "engine/api/engine_error.h"
#include "engine/api/local_session.h"
#include "engine/cursor/catalog_table_object.h"
#include "engine/cursor/cursor.h"

namespace kestrel {

namespace {

std::unique_ptr<ITdbCatalogTable> MakeTableObject(TTdbServices& services, const TTdbTableOpenRequest& request) {
  if (!services.FDataFileSystem) throw ETdbEngine(tdbErrFileNotFound, request.FFileName);
  return std::make_unique<TTdbCatalogTableObject>(*services.FDataFileSystem, request);
}

std::unique_ptr<ITdbCursorApi> MakeCursor(TTdbLocalSession& session, int rltnIdx, std::int16_t tableHdl,
                                          const std::u16string& name) {
  auto* table = dynamic_cast<TTdbCatalogTableObject*>(session.Catalog().Table(rltnIdx));
  if (!table) throw ETdbEngine(tdbErrNotSupported, "cursors on this relation");
  return std::make_unique<TTdbCursor>(session.Services(), *table, tableHdl, name);
}

struct TFactoryInstaller {
  TFactoryInstaller() {
    SetTableFactory(MakeTableObject);
    SetCursorFactory(MakeCursor);
  }
};

const TFactoryInstaller kInstaller;

}  // namespace

}  // namespace kestrel
