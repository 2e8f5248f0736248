// The local session and the default bodies of the engine's seams.
#include "engine/api/local_session.h"

#include <mutex>

#include "engine/api/catalog_table.h"
#include "engine/api/cursor_api.h"

namespace kestrel {

TTdbLocalSession::TTdbLocalSession(std::int16_t handle, TdwClock& clock)
    : FHandle(handle), FServices(clock), FCatalog(FServices, handle) {}

ITdbCatalogTable::~ITdbCatalogTable() = default;
ITdbCursorApi::~ITdbCursorApi() = default;

namespace {

std::mutex& FactoryLock() {
  static std::mutex lock;
  return lock;
}

TTdbTableFactory& TableFactory() {
  static TTdbTableFactory factory;
  return factory;
}

TTdbCursorFactory& CursorFactory() {
  static TTdbCursorFactory factory;
  return factory;
}

}  // namespace

TTdbTableFactory SetTableFactory(TTdbTableFactory factory) {
  std::lock_guard lock(FactoryLock());
  std::swap(TableFactory(), factory);
  return factory;
}

TTdbTableFactory GetTableFactory() {
  std::lock_guard lock(FactoryLock());
  return TableFactory();
}

TTdbCursorFactory SetCursorFactory(TTdbCursorFactory factory) {
  std::lock_guard lock(FactoryLock());
  std::swap(CursorFactory(), factory);
  return factory;
}

TTdbCursorFactory GetCursorFactory() {
  std::lock_guard lock(FactoryLock());
  return CursorFactory();
}

}  // namespace kestrel
