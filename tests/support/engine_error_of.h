// ErrorOf: runs an action and tells which engine error it raised, for tests
// that compare error numbers and texts with a table of cases.
#pragma once

#include <string>
#include <utility>

#include "engine/base/engine_error.h"

namespace kestrel::test {

// The number and message of the ETdbEngine that `action` raised; {0, ""}
// when it raised none.
template <typename F>
std::pair<int, std::string> ErrorOf(F action) {
  try {
    action();
  } catch (const ETdbEngine& e) {
    return {e.Number(), e.Message()};
  }
  return {0, ""};
}

}  // namespace kestrel::test
