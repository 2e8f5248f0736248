// The local session.
#include "engine/session/local_session.h"

#include "engine/session/cursor_api.h"

namespace kestrel {

ITdbCursorApi::~ITdbCursorApi() = default;

TTdbLocalSession::TTdbLocalSession(std::int16_t handle, TdwClock& clock,
                                   TTdbTableFactorySource tableFactories)
    : FHandle(handle), FServices(clock), FCatalog(FServices, handle, tableFactories) {}

}  // namespace kestrel
