// The factories through which the catalog gets its table objects and the
// call interface its cursors. Each is installed once by the unit that
// provides the objects (tests install stand-ins); one lock guards both.
#include <mutex>
#include <utility>

#include "engine/api/catalog_table.h"
#include "engine/api/cursor_api.h"

namespace kestrel {

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
