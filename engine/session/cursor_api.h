// ITdbCursorApi: what the flat call interface needs from a cursor.
//
// Every table handle of a local session stands for one object of this
// interface, made by the factory installed with the call interface's
// SetCursorFactory; while none
// is installed, TdbTableCreate fails with engine error 187 ("This feature is
// not supported: %s").
//
// Contract of every operation:
// - A result of 0 or more is the operation's value; a negative result is a
//   result code passed to the caller unchanged (-11 past either end, -16 no
//   such index, -47 lock refused, ...).
// - An engine failure is thrown as ETdbEngine; the call interface records it
//   in the session's last-error record and answers the operation's failure
//   code (-100 as a rule, -44 for the filter operations, -201 for MoveBy).
//   A condition error also sets the error position in the session's
//   services (TTdbServices::SetLastErrorPosition) before it is thrown.
// - Buffers are checked by the call interface: they are at least as large
//   as the operation needs (record images: GetRecordSize() bytes).
// - Calls come from the session's thread, one at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "engine/locking/lock_file.h"

namespace kestrel {

class TTdbLocalSession;

// A column as the cursor describes it; the call interface copies it into
// TTdbFieldSpec (a text longer than its array answers -103).
struct TTdbColumnSpec {
  int FNo = 0;
  std::u16string FName;
  std::uint8_t FOptions = 0;
  std::u16string FRangeOrFormula;
  std::u16string FSelectOrLink;
  int FFldType = 0;
  std::int32_t FParam = 0;
  int FInternalPosition = 0;
  int FInternalSize = 0;
};

// Called by the cursor when a buffered record moved from oldRecNo to newRecNo.
using TTdbRecordMovedProc = std::function<void(std::int32_t newRecNo, std::int32_t oldRecNo)>;

class ITdbCursorApi {
 public:
  virtual ~ITdbCursorApi();

  virtual std::int32_t GetRecordSize() = 0;
  virtual std::int32_t GetNumFields() = 0;
  // fieldNo is 1-based; ETdbEngine tdbErrDataFieldNotFound for a column that does not exist.
  virtual TTdbColumnSpec GetFieldSpec(std::int32_t fieldNo) = 0;
  virtual std::int32_t GetDataType(std::int32_t fieldNo) = 0;
  virtual std::int32_t GetRltnVersion() = 0;
  virtual bool CanModify() = 0;
  virtual bool IsSequenced() = 0;
  // Empty name: physical order. -16 for an index the table does not have.
  virtual std::int32_t SetIndex(const std::u16string& indexName, bool reverse) = 0;
  virtual std::int32_t First() = 0;
  virtual std::int32_t Last() = 0;
  virtual std::int32_t MoveBy(std::int32_t delta) = 0;
  virtual std::int32_t SetRecNo(std::int32_t recNo) = 0;
  virtual std::int32_t GetRecNo() = 0;
  virtual std::int32_t GetSequenceNo() = 0;
  virtual std::int32_t SetSequenceNo(std::int32_t sequenceNo) = 0;
  virtual std::int32_t RecordCount() = 0;
  // buffer holds GetRecordSize() bytes.
  virtual std::int32_t GetRecord(std::span<std::uint8_t> buffer) = 0;
  virtual std::int32_t SetRecord(std::span<const std::uint8_t> buffer) = 0;
  virtual std::int32_t Append() = 0;
  virtual std::int32_t AppendConfirm() = 0;
  virtual std::int32_t AppendCancel() = 0;
  virtual std::int32_t Edit() = 0;
  virtual std::int32_t EditConfirm() = 0;
  virtual std::int32_t EditCancel() = 0;
  virtual std::int32_t DeleteRecord() = 0;
  virtual std::int32_t GetAutoNo() = 0;
  virtual std::int32_t SetAutoNo(std::int32_t recordId) = 0;
  virtual std::int32_t Refresh(bool checkNet) = 0;
  // record holds GetRecordSize() bytes; exactMatch is read and written.
  virtual std::int32_t LocateRec2(const std::u16string& indexName,
                                  std::span<const std::uint8_t> record, std::int32_t indexItemCount,
                                  bool& exactMatch) = 0;
  virtual std::int32_t SetSQLFilter(const std::u16string& condition, std::int32_t mode,
                                    bool background) = 0;
  virtual std::int32_t ActivateFilter(bool active) = 0;
  virtual std::int32_t InitGetBlob(std::int32_t fieldNo, std::int32_t maxSize,
                                   std::int32_t& blobType) = 0;
  // Delivers at most buffer.size() bytes; answers the number delivered.
  virtual std::int32_t PerformGetBlob(std::span<std::uint8_t> buffer) = 0;
  virtual std::int32_t SetBlob(std::int32_t fieldNo, std::span<const std::uint8_t> blob) = 0;
  // An empty procedure removes the callback.
  virtual void SetChangeCallback(TTdbRecordMovedProc proc) = 0;
  virtual std::int32_t Lock(std::int32_t lockType, std::int32_t timeOut) = 0;
  virtual std::int32_t Unlock(std::int32_t lockType) = 0;
  // The users of the cursor's table as its lock file shows them.
  virtual std::int32_t GetUsage(TTdbLockUsage& usage) = 0;
};

// Makes an open cursor named `name` on the relation in catalog slot rltnIdx
// of `session` (physical order, before the first record) for table handle
// tableHdl. Called with the engine-wide execution lock held.
using TTdbCursorFactory = std::function<std::unique_ptr<ITdbCursorApi>(
    TTdbLocalSession& session, int rltnIdx, std::int16_t tableHdl, const std::u16string& name)>;


}  // namespace kestrel
