// The local session.
#include "engine/api/local_session.h"

namespace kestrel {

TTdbLocalSession::TTdbLocalSession(std::int16_t handle, TdwClock& clock)
    : FHandle(handle), FServices(clock), FCatalog(FServices, handle) {}

}  // namespace kestrel
