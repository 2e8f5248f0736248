// The catch-all around every exported function: no exception leaves the
// flat call interface. An engine failure is recorded in the session's
// last-error record and answers the operation's failure code; any other
// exception is recorded as engine error 123 ("Exception: %s") and answers
// -102. Without a session (services null) nothing is recorded.
#pragma once

#include <cstdint>
#include <exception>

#include "engine/base/engine_error.h"
#include "engine/session/result_codes.h"
#include "engine/session/services.h"

namespace kestrel {

namespace detail {

inline void RecordException(TTdbServices* services, const char* what) noexcept {
  if (!services) return;
  try {
    services->SetLastError(ETdbEngine(tdbErrException, what));
  } catch (...) {
    // Out of memory while recording: the result code still tells the caller.
  }
}

inline void RecordEngineError(TTdbServices* services, const ETdbEngine& error) noexcept {
  if (!services) return;
  try {
    services->SetLastError(error);
  } catch (...) {
    // As above.
  }
}

}  // namespace detail

// Runs body() and answers its result, or the failure code of an exception.
template <typename TBody>
std::int32_t GuardedCall(TTdbServices* services, std::int32_t failureCode, TBody&& body) noexcept {
  try {
    return body();
  } catch (const ETdbEngine& error) {
    detail::RecordEngineError(services, error);
    return failureCode;
  } catch (const std::exception& error) {
    detail::RecordException(services, error.what());
    return kResultException;
  } catch (...) {
    detail::RecordException(services, "unknown exception");
    return kResultException;
  }
}

}  // namespace kestrel
