// TTdbLocalSession: a session served in this process. It owns its services
// (settings, identity, last-error record) and its catalog (open database and
// relations). Its handle never changes while it lives.
#pragma once

#include <cstdint>

#include "engine/session/catalog.h"
#include "engine/session/services.h"

namespace kestrel {

class TTdbLocalSession {
 public:
  // A session with handle `handle`; the station number is drawn from clock;
  // its catalog takes table objects from the factory tableFactories answers.
  TTdbLocalSession(std::int16_t handle, TdwClock& clock, TTdbTableFactorySource tableFactories);
  TTdbLocalSession(const TTdbLocalSession&) = delete;
  TTdbLocalSession& operator=(const TTdbLocalSession&) = delete;

  std::int16_t Handle() const { return FHandle; }
  TTdbServices& Services() { return FServices; }
  TTdbCatalog& Catalog() { return FCatalog; }

 private:
  std::int16_t FHandle;
  TTdbServices FServices;
  TTdbCatalog FCatalog;  // after FServices: closed before the services go
};

}  // namespace kestrel
