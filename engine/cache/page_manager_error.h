// Exceptions of the page cache. They are engine errors (number tdbErrPlain,
// whose message is the page cache's text) of their own classes, so the file
// layers above can tell a missing file (engine error 37) and a refused open
// (engine error 115) from other page-cache failures.
#pragma once

#include <string>

#include "engine/base/engine_error.h"

namespace kestrel {

class ETdbPageManager : public ETdbEngine {
 public:
  explicit ETdbPageManager(const std::string& message) : ETdbEngine(tdbErrPlain, message) {}
};

// The file to open does not exist.
class ETdbPMStorageNotFound : public ETdbPageManager {
 public:
  using ETdbPageManager::ETdbPageManager;
};

// The operating system or the sharing rules refuse the open.
class ETdbPMStorageAccessDenied : public ETdbPageManager {
 public:
  using ETdbPageManager::ETdbPageManager;
};

}  // namespace kestrel
