// The process-wide handle tables of the flat call interface.
//
// - Sessions: 100 slots; a session handle is its slot index + 1. The session
//   list lock guards every lookup, insertion and removal.
// - Relations: a relation handle is (session handle - 1) * 256 + catalog
//   slot; it is resolved through the session's catalog, so a relation handle
//   is valid exactly while its session lives and the slot (1..254) holds a
//   table.
// - Cursors: 255 slots; a local table handle is its slot index + 1. Handles
//   of 256 and more would belong to remote sessions, which this engine does
//   not serve, so they are always invalid. The cursor list lock guards the
//   slots; creating a cursor holds the engine-wide execution lock while it
//   searches a free slot and opens the cursor.
// Lookups hand out shared pointers, so an object stays alive for the call
// that found it even if its slot is emptied meanwhile.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/session/cursor_api.h"
#include "engine/session/local_session.h"

namespace kestrel {

inline constexpr int kMaxSessions = 100;
inline constexpr int kMaxCursors = 255;
inline constexpr int kRelationsPerSession = 256;

// A cursor in its slot, with the session and relation it belongs to.
struct TTdbCursorEntry {
  std::shared_ptr<TTdbLocalSession> FSession;
  int FRltnIdx = 0;
  std::unique_ptr<ITdbCursorApi> FCursor;
};

// A relation handle taken apart.
struct TTdbRelationRef {
  std::shared_ptr<TTdbLocalSession> FSession;
  int FRltnIdx = 0;
  ITdbCatalogTable* FTable = nullptr;
};

class TTdbHandleTables {
 public:
  static TTdbHandleTables& Instance();

  // Puts the session made by create(handle) into the first free slot and
  // answers its handle; 0 when all slots are taken (create is not called).
  std::int16_t AddSession(
      const std::function<std::shared_ptr<TTdbLocalSession>(std::int16_t)>& create);
  // The session of a handle; null when the handle is out of range or free.
  std::shared_ptr<TTdbLocalSession> Session(int sessHdl) const;
  // Empties the slot and answers what it held.
  std::shared_ptr<TTdbLocalSession> RemoveSession(int sessHdl);

  // The relation of a handle; empty FSession when it is not valid.
  TTdbRelationRef Relation(int rltnHdl) const;
  static std::int16_t RelationHandle(int sessHdl, int rltnIdx) {
    return static_cast<std::int16_t>((sessHdl - 1) * kRelationsPerSession + rltnIdx);
  }

  // The cursor of a table handle; null when the handle is not valid.
  std::shared_ptr<TTdbCursorEntry> Cursor(int tableHdl) const;
  // Under the execution lock: finds the first free slot, calls open(handle)
  // and stores the entry it answers. 0 when all 255 slots are taken; an
  // exception of open leaves the slot free.
  std::int16_t AddCursor(const std::function<std::shared_ptr<TTdbCursorEntry>(std::int16_t)>& open);
  std::shared_ptr<TTdbCursorEntry> RemoveCursor(int tableHdl);
  // Empties every slot of a session's cursors and answers the entries.
  std::vector<std::shared_ptr<TTdbCursorEntry>> RemoveSessionCursors(int sessHdl);

 private:
  mutable std::mutex FSessionListLock;
  std::array<std::shared_ptr<TTdbLocalSession>, kMaxSessions> FSessions;
  mutable std::mutex FCursorListLock;
  std::array<std::shared_ptr<TTdbCursorEntry>, kMaxCursors> FCursors;
  std::recursive_mutex FExecutionLock;
};

}  // namespace kestrel
