// EAbort: the silent abort. A handler throws it to abandon the operation that
// called it without any message (for example a deletion the user refused in
// the before-delete handler). The layer that ran the handler lets it unwind
// untouched, leaving its state as it was before the operation began, and the
// application's error handling swallows it without showing anything.
#pragma once

#include "access/db_error.h"

namespace vendrik {

// The component layer's silent abort, so that one thrown by either side is
// the same to the other.
using EAbort = kestrel::access::EAbort;

}  // namespace vendrik
