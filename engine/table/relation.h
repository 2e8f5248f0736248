// The abstract table of the engine as its users see it: the rights word, the
// memo and blob values that go with a record change, and the accessors that
// listen to a table's changes.
//
// Accessors (cursors) register with AddAccessor and are told of every change
// through IRelationListener, in the order in which they registered. While
// notifications are disabled (a nesting count) nothing is sent; enabling them
// again sends RelationChanged once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

// Bits of the rights word of an open table.
using TTdbRights = std::uint16_t;
inline constexpr TTdbRights tarAppend = 0x0001;
inline constexpr TTdbRights tarEdit = 0x0002;
inline constexpr TTdbRights tarDelete = 0x0004;
inline constexpr TTdbRights tarIndex = 0x0008;
inline constexpr TTdbRights kAccessRightsMask = tarAppend | tarEdit | tarDelete | tarIndex;
inline constexpr TTdbRights kRightExclusive = 0x0100;
inline constexpr TTdbRights kRightSecureFlush = 0x0200;
inline constexpr TTdbRights kRightSharedReadOnly = 0x0400;
// The rights of a table that was just created: all four and exclusive.
inline constexpr TTdbRights kNewTableRights = kAccessRightsMask | kRightExclusive;

// A memo, blob or wide memo value to store with a record. FieldNo is the
// 1-based column number; entries with 0 or less are skipped. AnsiData holds
// the text of a Memo (8-bit, the table's code page) or the bytes of a Blob,
// WideData the text of a WideMemo.
struct TTdbBlobData {
  int FieldNo = 0;
  std::string AnsiData;
  std::u16string WideData;
};
using TTdbBlobDataList = std::vector<TTdbBlobData>;

// What an accessor learns about the table it reads. Called on the thread that
// made the change, with the table's locks held; a listener must not change
// the table from inside a notification.
class IRelationListener {
 public:
  virtual ~IRelationListener() = default;
  // Record recNo was deleted; movedRecNo is the old number of the record that
  // now occupies recNo (the table's last record), or 0.
  virtual void RecordDeleted(std::int32_t recNo, std::int32_t movedRecNo) = 0;
  // Record recNo was replaced.
  virtual void RecordChanged(std::int32_t recNo) = 0;
  // Records were appended, the table was reloaded, or notifications were
  // enabled again.
  virtual void RelationChanged() = 0;
  // Every record was removed.
  virtual void RelationEmptied() = 0;
  // Before index indexNo is dropped: an accessor that walks it sets allowed
  // to false.
  virtual void CanDropIndex(int indexNo, bool& allowed) = 0;
  // Index indexNo was removed from the table.
  virtual void IndexRemoved(int indexNo) = 0;
};

// The accessor list of a table and the notification switch.
class TTdbRelationListeners {
 public:
  void AddAccessor(IRelationListener* accessor);
  void RemoveAccessor(IRelationListener* accessor);
  // False raises the disable count, true lowers it and sends RelationChanged
  // when it reaches 0.
  void EnableNotifications(bool enabled);
  bool NotificationsEnabled() const { return FNotificationDisableCount == 0; }

  void RecordDeleted(std::int32_t recNo, std::int32_t movedRecNo);
  void RecordChanged(std::int32_t recNo);
  void RelationChanged();
  void RelationEmptied();
  // Whether every accessor allows dropping the index (asked even while
  // notifications are disabled).
  bool CanDropIndex(int indexNo);
  void IndexRemoved(int indexNo);

 private:
  template <typename TCall>
  void Send(TCall call);

  int FNotificationDisableCount = 0;
  std::vector<IRelationListener*> FClientAccessors;
};

}  // namespace kestrel
