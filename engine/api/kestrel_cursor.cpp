// Exported cursor functions of the flat call interface: handle checks,
// buffer checks and the hand-over to the cursor behind the table handle.
#include <algorithm>
#include <cstring>
#include <span>

#include "engine/api/api_dispatch.h"
#include "engine/api/factories.h"
#include "engine/api/kestrel.h"
#include "engine/api/text_buffer.h"

using namespace kestrel;

namespace {

using TBytes = std::span<std::uint8_t>;
using TConstBytes = std::span<const std::uint8_t>;

// Runs op(cursor) on a valid table handle; engine failures answer -100.
template <typename TOp>
std::int32_t CursorCall(std::int16_t tableHdl, TOp&& op) noexcept {
  return WithCursor(
      tableHdl, kResultEngineError,
      [&](ITdbCursorApi& cursor, TTdbCursorEntry&) -> std::int32_t { return op(cursor); });
}

// A record image of the caller: at least the cursor's record size.
bool RecordBufferFits(ITdbCursorApi& cursor, const void* buffer, std::int32_t size) {
  return buffer && size >= 0 && size >= cursor.GetRecordSize();
}

bool FillFieldSpec(const TTdbColumnSpec& column, TTdbFieldSpec& spec) {
  std::memset(&spec, 0, sizeof spec);
  spec.No = static_cast<std::int16_t>(column.FNo);
  spec.Options = column.FOptions;
  spec.FldType = static_cast<std::int16_t>(column.FFldType);
  spec.Param = column.FParam;
  spec.InternalPosition = static_cast<std::int16_t>(column.FInternalPosition);
  spec.InternalSize = static_cast<std::int16_t>(column.FInternalSize);
  return WriteTextFit(column.FName, spec.Name, std::size(spec.Name)) &&
         WriteTextFit(column.FRangeOrFormula, spec.RangeOrFormula,
                      std::size(spec.RangeOrFormula)) &&
         WriteTextFit(column.FSelectOrLink, spec.SelectOrLink, std::size(spec.SelectOrLink));
}

// The lock file's users in the flat interface's record: the counts as they
// are, and the first TDB_TABLE_USAGE_USERS slots (ItemCount tells whether
// there are more).
void FillTableUsage(const TTdbLockUsage& usage, TTdbTableUsage& out) {
  std::memset(&out, 0, sizeof out);
  out.ItemCount = usage.ItemCount;
  out.UserCount = usage.UserCount;
  out.ReadCount = usage.ReadCount;
  out.UpgradeCount = usage.UpgradeCount;
  out.WriteCount = usage.WriteCount;
  out.WaitCount = usage.WaitCount;
  out.WaitWriteCount = usage.WaitWriteCount;
  out.UpdateCount = usage.UpdateCount;
  const std::size_t shown = std::min<std::size_t>(usage.Users.size(), TDB_TABLE_USAGE_USERS);
  for (std::size_t i = 0; i < shown; ++i) {
    const TTdbLockUser& user = usage.Users[i];
    TTdbTableUserInfo& info = out.UserInfo[i];
    const std::size_t length = std::min<std::size_t>(user.Name.size(), sizeof info.SessionName - 1);
    info.SessionName[0] = static_cast<std::uint8_t>(length);
    std::memcpy(info.SessionName + 1, user.Name.data(), length);
    info.SessionId = static_cast<std::uint32_t>(user.Id);
    info.InUse = user.InUse ? 1 : 0;
    info.LockCode = user.TableLock == tltWrite ? -1 : static_cast<std::int32_t>(user.TableLock);
    info.EditRecNo = user.EditRecNo;
  }
}

}  // namespace

extern "C" {

int32_t TdbTableCreate(int16_t RltnHdl, const TdbChar* Name) {
  return WithRelation(RltnHdl, kResultEngineError, [&](const TTdbRelationRef& relation) {
    const TTdbCursorFactory factory = GetCursorFactory();
    if (!factory) throw ETdbEngine(tdbErrNotSupported, "cursors");
    const std::u16string name = ReadText(Name);
    const std::int16_t handle = TTdbHandleTables::Instance().AddCursor([&](std::int16_t tableHdl) {
      auto entry = std::make_shared<TTdbCursorEntry>();
      entry->FSession = relation.FSession;
      entry->FRltnIdx = relation.FRltnIdx;
      entry->FCursor = factory(*relation.FSession, relation.FRltnIdx, tableHdl, name);
      if (!entry->FCursor) throw ETdbEngine(tdbErrNotSupported, "cursors");
      relation.FSession->Catalog().AddUser(relation.FRltnIdx);
      return entry;
    });
    return handle == 0 ? kResultOutOfMemory : static_cast<std::int32_t>(handle);
  });
}

int32_t TdbTableDelete(int16_t TableHdl) {
  return WithCursor(TableHdl, kResultEngineError,
                    [&](ITdbCursorApi&, TTdbCursorEntry& entry) -> std::int32_t {
                      TTdbHandleTables::Instance().RemoveCursor(TableHdl);
                      entry.FCursor.reset();
                      TTdbCatalog& catalog = entry.FSession->Catalog();
                      catalog.RemoveUser(entry.FRltnIdx);
                      const ITdbCatalogTable* table = catalog.Table(entry.FRltnIdx);
                      if (table && table->IsTemporary()) catalog.CloseUnneededTables();
                      return kResultOk;
                    });
}

int32_t TdbTableGetRecordSize(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.GetRecordSize(); });
}

int32_t TdbTableGetNumFields(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.GetNumFields(); });
}

int32_t TdbTableGetFieldSpec(int16_t TableHdl, int32_t FieldNo, TTdbFieldSpec* FieldSpec) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) {
    if (!FieldSpec) return kResultBufferTooSmall;
    TTdbFieldSpec spec;
    if (!FillFieldSpec(c.GetFieldSpec(FieldNo), spec)) return kResultBufferTooSmall;
    *FieldSpec = spec;
    return kResultOk;
  });
}

int32_t TdbTableGetDataType(int16_t TableHdl, int32_t FieldNo) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) { return c.GetDataType(FieldNo); });
}

int32_t TdbTableGetRltnVersion(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.GetRltnVersion(); });
}

int32_t TdbTableCanModify(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.CanModify() ? 1 : 0; });
}

int32_t TdbTableIsSequenced(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.IsSequenced() ? 1 : 0; });
}

int32_t TdbTableSetIndex(int16_t TableHdl, const TdbChar* IndexName, uint8_t Reverse) {
  return CursorCall(
      TableHdl, [&](ITdbCursorApi& c) { return c.SetIndex(ReadText(IndexName), Reverse != 0); });
}

int32_t TdbTableFirst(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.First(); });
}

int32_t TdbTableLast(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.Last(); });
}

int32_t TdbTableMoveBy(int16_t TableHdl, int32_t Delta) {
  return WithCursor(TableHdl, kResultReadTable,
                    [&](ITdbCursorApi& c, TTdbCursorEntry&) { return c.MoveBy(Delta); });
}

int32_t TdbTableSetRecNo(int16_t TableHdl, int32_t RecNo) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) { return c.SetRecNo(RecNo); });
}

int32_t TdbTableGetRecNo(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.GetRecNo(); });
}

int32_t TdbTableGetSequenceNo(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.GetSequenceNo(); });
}

int32_t TdbTableSetSequenceNo(int16_t TableHdl, int32_t SequenceNo) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) { return c.SetSequenceNo(SequenceNo); });
}

int32_t TdbTableRecordCount(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.RecordCount(); });
}

int32_t TdbTableGetRecord(int16_t TableHdl, void* Buffer, int32_t RecBufSize) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) {
    if (!RecordBufferFits(c, Buffer, RecBufSize)) return kResultBufferTooSmall;
    return c.GetRecord(
        TBytes(static_cast<std::uint8_t*>(Buffer), static_cast<std::size_t>(c.GetRecordSize())));
  });
}

int32_t TdbTableSetRecord(int16_t TableHdl, const void* Buffer, int32_t RecBufSize) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) {
    if (!RecordBufferFits(c, Buffer, RecBufSize)) return kResultBufferTooSmall;
    return c.SetRecord(TConstBytes(static_cast<const std::uint8_t*>(Buffer),
                                   static_cast<std::size_t>(c.GetRecordSize())));
  });
}

int32_t TdbTableAppend(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.Append(); });
}

int32_t TdbTableAppendConfirm(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.AppendConfirm(); });
}

int32_t TdbTableAppendCancel(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.AppendCancel(); });
}

int32_t TdbTableEdit(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.Edit(); });
}

int32_t TdbTableEditConfirm(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.EditConfirm(); });
}

int32_t TdbTableEditCancel(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.EditCancel(); });
}

int32_t TdbTableDeleteRecord(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.DeleteRecord(); });
}

int32_t TdbTableGetAutoNo(int16_t TableHdl) {
  return CursorCall(TableHdl, [](ITdbCursorApi& c) { return c.GetAutoNo(); });
}

int32_t TdbTableSetAutoNo(int16_t TableHdl, int32_t RecordId) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) { return c.SetAutoNo(RecordId); });
}

int32_t TdbTableRefresh(int16_t TableHdl, uint8_t CheckNet) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) { return c.Refresh(CheckNet != 0); });
}

int32_t TdbTableLocateRec2(int16_t TableHdl, const TdbChar* IndexName, const void* RecordBuffer,
                           int32_t RecBufSize, int32_t IndexItemCount, uint8_t* ExactMatch) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) {
    if (!ExactMatch || !RecordBufferFits(c, RecordBuffer, RecBufSize)) return kResultBufferTooSmall;
    bool exact = *ExactMatch != 0;
    const std::int32_t result =
        c.LocateRec2(ReadText(IndexName),
                     TConstBytes(static_cast<const std::uint8_t*>(RecordBuffer),
                                 static_cast<std::size_t>(c.GetRecordSize())),
                     IndexItemCount, exact);
    *ExactMatch = exact ? 1 : 0;
    return result;
  });
}

int32_t TdbTableSetSQLFilter(int16_t TableHdl, const TdbChar* SQLFilter, int32_t Mode,
                             uint8_t Background) {
  return WithCursor(TableHdl, kResultInvalidCondition, [&](ITdbCursorApi& c, TTdbCursorEntry&) {
    return c.SetSQLFilter(ReadText(SQLFilter), Mode, Background != 0);
  });
}

int32_t TdbTableActivateFilter(int16_t TableHdl, uint8_t Active) {
  return WithCursor(TableHdl, kResultInvalidCondition, [&](ITdbCursorApi& c, TTdbCursorEntry&) {
    return c.ActivateFilter(Active != 0);
  });
}

int32_t TdbTableInitGetBlob(int16_t TableHdl, int32_t FieldNo, int32_t MaxSize, int32_t* BlobType) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) {
    if (!BlobType) return kResultBufferTooSmall;
    std::int32_t blobType = 0;
    const std::int32_t result = c.InitGetBlob(FieldNo, MaxSize, blobType);
    *BlobType = blobType;
    return result;
  });
}

int32_t TdbTablePerformGetBlob(int16_t TableHdl, void* BlobBuffer, int32_t Size) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) {
    if (Size < 0 || (!BlobBuffer && Size > 0)) return kResultBufferTooSmall;
    return c.PerformGetBlob(
        TBytes(static_cast<std::uint8_t*>(BlobBuffer), static_cast<std::size_t>(Size)));
  });
}

int32_t TdbTableSetBlob(int16_t TableHdl, int32_t FieldNo, const void* Blob, int32_t Size) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) {
    if (Size < 0 || (!Blob && Size > 0)) return kResultBufferTooSmall;
    return c.SetBlob(FieldNo, TConstBytes(static_cast<const std::uint8_t*>(Blob),
                                          static_cast<std::size_t>(Size)));
  });
}

int32_t TdbTableSetChangeCallback(int16_t TableHdl, TTdbChangeCallback Callback, void* UserData) {
  return WithCursor(TableHdl, kResultEngineError,
                    [&](ITdbCursorApi& c, TTdbCursorEntry& entry) -> std::int32_t {
                      if (!Callback) {
                        c.SetChangeCallback({});
                        return kResultOk;
                      }
                      const std::int16_t sessHdl = entry.FSession->Handle();
                      c.SetChangeCallback([=](std::int32_t newRecNo, std::int32_t oldRecNo) {
                        Callback(UserData, sessHdl, TableHdl, newRecNo, oldRecNo);
                      });
                      return kResultOk;
                    });
}

int32_t TdbTableLock(int16_t TableHdl, int32_t LockType, int32_t TimeOut) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) { return c.Lock(LockType, TimeOut); });
}

int32_t TdbTableUnlock(int16_t TableHdl, int32_t LockType) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) { return c.Unlock(LockType); });
}

int32_t TdbTableGetUsage(int16_t TableHdl, TTdbTableUsage* TableUsage) {
  return CursorCall(TableHdl, [&](ITdbCursorApi& c) {
    if (!TableUsage) return kResultBufferTooSmall;
    TTdbLockUsage usage;
    const std::int32_t result = c.GetUsage(usage);
    if (result < 0) return result;
    FillTableUsage(usage, *TableUsage);
    return result;
  });
}

}  // extern "C"
