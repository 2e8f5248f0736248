// EAbort: the silent abort. A handler throws it to abandon the operation that
// called it without any message (for example a deletion the user refused in
// the before-delete handler). The layer that ran the handler lets it unwind
// untouched, leaving its state as it was before the operation began, and the
// application's error handling swallows it without showing anything.
#pragma once

#include <exception>

namespace vendrik {

class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

}  // namespace vendrik
