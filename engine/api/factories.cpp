// The factory slots of the call interface. Each starts with the engine's own
// factory, set here when the slot is first used, so nothing depends on the
// order in which static objects are built or on which are linked.
#include "engine/api/factories.h"

#include <mutex>
#include <utility>

#include "engine/cursor/cursor_factories.h"

namespace kestrel {

namespace {

std::mutex& FactoryLock() {
  static std::mutex lock;
  return lock;
}

TTdbTableFactory& TableFactory() {
  static TTdbTableFactory factory = MakeCatalogTableObject;
  return factory;
}

TTdbCursorFactory& CursorFactory() {
  static TTdbCursorFactory factory = MakeTableCursor;
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
