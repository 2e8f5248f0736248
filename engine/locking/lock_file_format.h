// The formats of a table's lock file and record-move log, and the names of
// both files. This file owns the byte layout; TTdbLockFile (lock_file.h)
// owns the protocol that reads and writes it.
//
// Lock file (little-endian, no padding): a 30-byte header, then 56-byte
// session slots; slot i lies at kLockHeaderSize + kSessionSlotSize * i. The
// file mutex is a byte-range lock on the first 4 bytes; a slot's life lock is
// a byte-range lock on its last byte, held by the slot's owner while it is
// logged in. Record-move log: 8-byte entries (new record number, old record
// number, each signed 32-bit), appended at the end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

// The table lock a session holds or waits for, as one byte in its slot.
// tltExclusive is never stored: it names the exclusive use of a table object.
enum TTdbTableLockType : std::uint8_t { tltNone, tltRead, tltUpgrade, tltWrite, tltExclusive };

inline constexpr std::uint32_t kLockFileTag = 0x834BCF55;
inline constexpr std::int16_t kLockFileVersion = 7;
inline constexpr int kLockHeaderSize = 30;
inline constexpr int kSessionSlotSize = 56;
// Slots are read and written without their life byte; log-in writes all 56.
inline constexpr int kSessionSlotDataSize = 55;
inline constexpr int kSessionNameMax = 40;
inline constexpr std::uint8_t kVitalSign = 255;
inline constexpr int kMoveEntrySize = 8;

// The header as it lies in the file.
struct TTdbTableLockData {
  std::uint32_t Tag = kLockFileTag;
  std::int16_t Version = kLockFileVersion;
  std::int64_t ChangeCount = 0;
  std::int16_t IndexCount = 0;
  std::int16_t ReadLocks = 0;
  std::int16_t UpgradeLocks = 0;
  std::int16_t WriteLocks = 0;
  std::int16_t LockWaiters = 0;
  std::int16_t WriteWaiters = 0;
  std::int16_t ItemCount = 0;
  std::int16_t SessionCount = 0;
};

// One session slot. Name holds 8-bit characters (the system code page),
// at most kSessionNameMax.
struct TTdbSessionLockData {
  std::int64_t Id = 0;  // station number; 0 marks a free slot
  std::string Name;
  std::uint8_t TableLock = tltNone;
  std::uint8_t DesiredLock = tltNone;
  std::int32_t EditRecNo = 0;
  std::uint8_t VitalSign = 0;
};

using TTdbLockHeaderBytes = std::array<std::uint8_t, kLockHeaderSize>;
using TTdbSessionSlotBytes = std::array<std::uint8_t, kSessionSlotSize>;

TTdbLockHeaderBytes EncodeLockHeader(const TTdbTableLockData& header);
TTdbTableLockData DecodeLockHeader(const std::uint8_t* bytes);
// The name is cut to kSessionNameMax characters.
TTdbSessionSlotBytes EncodeSessionSlot(const TTdbSessionLockData& slot);
// Reads the first kSessionSlotDataSize bytes (the life byte when withLife).
// A length byte above kSessionNameMax is taken as kSessionNameMax.
TTdbSessionLockData DecodeSessionSlot(const std::uint8_t* bytes, bool withLife);

// Offsets of slot i and of its life byte.
inline constexpr std::int64_t SessionSlotPos(int slot) {
  return kLockHeaderSize + static_cast<std::int64_t>(kSessionSlotSize) * slot;
}
inline constexpr std::int64_t LifeBytePos(int slot) { return SessionSlotPos(slot) + kSessionSlotDataSize; }

// Names of the two files from a table file's name: its directory and name
// without extension, then ".tdbl"/".tdbv" for ".tdbt" tables, ".rnt"/".rmv"
// for ".rel" relation tables and ".net"/".mov" for all others (the extension
// compared without regard to case).
struct TTdbLockFileNames {
  std::string LockFile;
  std::string MoveLog;
};
TTdbLockFileNames LockFileNamesFor(std::string_view tableFileName);

// The session name as stored: 8-bit (Windows-1250; characters it lacks
// become '?'), cut to kSessionNameMax.
std::string SessionNameBytes(std::u16string_view name);

}  // namespace kestrel
