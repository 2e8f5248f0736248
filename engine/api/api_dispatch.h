// Handle dispatch shared by the exported functions: classify the handle,
// answer the invalid-handle code without touching anything, otherwise run
// the operation under the catch-all with the handle's session as the place
// where failures are recorded.
#pragma once

#include <cstdint>

#include "engine/api/call_guard.h"
#include "engine/api/handles.h"
#include "engine/session/result_codes.h"

namespace kestrel {


// body(TTdbLocalSession&) for a valid session handle, else -105.
template <typename TBody>
std::int32_t WithSession(std::int16_t sessHdl, std::int32_t failureCode, TBody&& body) noexcept {
  return GuardedCall(nullptr, kResultException, [&]() -> std::int32_t {
    const std::shared_ptr<TTdbLocalSession> session = TTdbHandleTables::Instance().Session(sessHdl);
    if (!session) return kResultInvalidSession;
    return GuardedCall(&session->Services(), failureCode,
                       [&]() -> std::int32_t { return body(*session); });
  });
}

// body(const TTdbRelationRef&) for a valid relation handle, else -17.
template <typename TBody>
std::int32_t WithRelation(std::int16_t rltnHdl, std::int32_t failureCode, TBody&& body) noexcept {
  return GuardedCall(nullptr, kResultException, [&]() -> std::int32_t {
    const TTdbRelationRef relation = TTdbHandleTables::Instance().Relation(rltnHdl);
    if (!relation.FSession) return kResultInvalidRelation;
    return GuardedCall(&relation.FSession->Services(), failureCode,
                       [&]() -> std::int32_t { return body(relation); });
  });
}

// A handle code answered by an operation on a valid handle is an engine
// failure in disguise (a record lock refused with -105, say); the caller
// would read it as a bad handle and not look at the last error, so it is
// passed on as -100.
inline std::int32_t NotAHandleCode(std::int32_t result) {
  const bool handleCode = result == kResultInvalidTable || result == kResultInvalidStatement ||
                          result == kResultInvalidSession;
  return handleCode ? kResultEngineError : result;
}

// body(ITdbCursorApi&, TTdbCursorEntry&) for a valid table handle, else -101.
template <typename TBody>
std::int32_t WithCursor(std::int16_t tableHdl, std::int32_t failureCode, TBody&& body) noexcept {
  return GuardedCall(nullptr, kResultException, [&]() -> std::int32_t {
    const std::shared_ptr<TTdbCursorEntry> entry = TTdbHandleTables::Instance().Cursor(tableHdl);
    if (!entry || !entry->FCursor) return kResultInvalidTable;
    return GuardedCall(&entry->FSession->Services(), failureCode, [&]() -> std::int32_t {
      return NotAHandleCode(body(*entry->FCursor, *entry));
    });
  });
}

}  // namespace kestrel
