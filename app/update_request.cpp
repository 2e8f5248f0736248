// The update command (still to be built; see update_request.h).
#include "app/update_request.h"

namespace vendrik {

void RequestUpdate(TAppWindows&) {}

}  // namespace vendrik
