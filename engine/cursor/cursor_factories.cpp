// The engine's table objects and cursors as the call interface makes them.
#include "engine/cursor/cursor_factories.h"

#include "engine/base/engine_error.h"
#include "engine/cache/page_manager.h"
#include "engine/cursor/catalog_table_object.h"
#include "engine/cursor/cursor.h"
#include "engine/cursor/directory_related_tables.h"
#include "engine/session/local_session.h"
#include "engine/table/base_table.h"

namespace kestrel {

std::unique_ptr<ITdbCatalogTable> MakeCatalogTableObject(TTdbServices& services,
                                                         const TTdbTableOpenRequest& request) {
  if (!services.FDataFileSystem) throw ETdbEngine(tdbErrFileNotFound, request.FFileName);
  auto table = std::make_unique<TTdbCatalogTableObject>(*services.FDataFileSystem, request);
  // Every session shares its tables through their lock files, also with
  // the other sessions of this process.
  if (services.FLockFileSystem)
    table->Table().SetSharing(services.FLockFileSystem, services.Clock(), services.FStationNo,
                              services.FStationName);
  // Check constraints and foreign keys are checked on every change; the
  // tables on the other side of a foreign key are opened beside it or in
  // the database's directory, read-only, with the same sharing and the same
  // key or another key the session knows.
  TTdbRelatedTablePlaces places;
  if (!request.FDatabaseDirectory.empty()) places.FDirectories.push_back(request.FDatabaseDirectory);
  places.FKeys = [&services] { return services.FSessionKeys; };
  InstallDirectoryConstraintChecks(
      table->Table(), *services.FDataFileSystem, [&services, request](const std::string& fileName) {
        auto related = std::make_unique<TTdbBaseTable>(TTdbPageManager::Instance(), *services.FDataFileSystem,
                                                       request.FSessHdl);
        related->SetFileName(fileName);
        related->SetKey(request.FKey);
        if (services.FLockFileSystem)
          related->SetSharing(services.FLockFileSystem, services.Clock(), services.FStationNo,
                              services.FStationName);
        return related;
      },
      std::move(places));
  return table;
}

std::unique_ptr<ITdbCursorApi> MakeTableCursor(TTdbLocalSession& session, int rltnIdx,
                                               std::int16_t tableHdl, const std::u16string& name) {
  auto* table = dynamic_cast<TTdbCatalogTableObject*>(session.Catalog().Table(rltnIdx));
  if (!table) throw ETdbEngine(tdbErrNotSupported, "cursors on this relation");
  return std::make_unique<TTdbCursor>(session.Services(), *table, tableHdl, name);
}

}  // namespace kestrel
