// Session list, relation handles and the cursor array.
#include "engine/api/handles.h"

#include <utility>

namespace kestrel {

TTdbHandleTables& TTdbHandleTables::Instance() {
  static TTdbHandleTables* tables = new TTdbHandleTables();  // outlives every caller
  return *tables;
}

std::int16_t TTdbHandleTables::AddSession(
    const std::function<std::shared_ptr<TTdbLocalSession>(std::int16_t)>& create) {
  std::lock_guard lock(FSessionListLock);
  for (int index = 0; index < kMaxSessions; ++index) {
    if (FSessions[index]) continue;
    const auto handle = static_cast<std::int16_t>(index + 1);
    FSessions[index] = create(handle);
    return handle;
  }
  return 0;
}

std::shared_ptr<TTdbLocalSession> TTdbHandleTables::Session(int sessHdl) const {
  if (sessHdl < 1 || sessHdl > kMaxSessions) return nullptr;
  std::lock_guard lock(FSessionListLock);
  return FSessions[sessHdl - 1];
}

std::shared_ptr<TTdbLocalSession> TTdbHandleTables::RemoveSession(int sessHdl) {
  if (sessHdl < 1 || sessHdl > kMaxSessions) return nullptr;
  std::lock_guard lock(FSessionListLock);
  return std::exchange(FSessions[sessHdl - 1], nullptr);
}

TTdbRelationRef TTdbHandleTables::Relation(int rltnHdl) const {
  if (rltnHdl < 1) return {};
  const int rltnIdx = rltnHdl % kRelationsPerSession;
  std::shared_ptr<TTdbLocalSession> session = Session(rltnHdl / kRelationsPerSession + 1);
  if (!session) return {};
  ITdbCatalogTable* table = session->Catalog().Table(rltnIdx);
  if (!table) return {};
  return {std::move(session), rltnIdx, table};
}

std::shared_ptr<TTdbCursorEntry> TTdbHandleTables::Cursor(int tableHdl) const {
  if (tableHdl < 1 || tableHdl > kMaxCursors) return nullptr;
  std::lock_guard lock(FCursorListLock);
  return FCursors[tableHdl - 1];
}

std::int16_t TTdbHandleTables::AddCursor(
    const std::function<std::shared_ptr<TTdbCursorEntry>(std::int16_t)>& open) {
  std::lock_guard execution(FExecutionLock);
  int index = 0;
  {
    std::lock_guard lock(FCursorListLock);
    while (index < kMaxCursors && FCursors[index]) ++index;
  }
  if (index == kMaxCursors) return 0;
  const auto handle = static_cast<std::int16_t>(index + 1);
  std::shared_ptr<TTdbCursorEntry> entry = open(handle);
  std::lock_guard lock(FCursorListLock);
  FCursors[index] = std::move(entry);
  return handle;
}

std::shared_ptr<TTdbCursorEntry> TTdbHandleTables::RemoveCursor(int tableHdl) {
  if (tableHdl < 1 || tableHdl > kMaxCursors) return nullptr;
  std::lock_guard lock(FCursorListLock);
  return std::exchange(FCursors[tableHdl - 1], nullptr);
}

std::vector<std::shared_ptr<TTdbCursorEntry>> TTdbHandleTables::RemoveSessionCursors(int sessHdl) {
  std::vector<std::shared_ptr<TTdbCursorEntry>> removed;
  std::lock_guard lock(FCursorListLock);
  for (std::shared_ptr<TTdbCursorEntry>& entry : FCursors)
    if (entry && entry->FSession->Handle() == sessHdl)
      removed.push_back(std::exchange(entry, nullptr));
  return removed;
}

}  // namespace kestrel
