// TTdbServices: what one session of the engine offers the objects below it:
// its settings, its identity in lock files, the file systems of its open
// database and its last-error record.
//
// Invariants:
// - The last-error record holds the engine error number negated (0 for none)
//   with its formatted message; a condition error adds the condition text
//   (tabs turned into blanks) and the character position of the error.
// - The station number is never 0 while the session exists.
// The last-error record has its own lock, so the session's unlock thread may
// record a failure while the session's thread reads it; everything else is
// used by the session's thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/fs/clock.h"
#include "engine/fs/file_system.h"
#include "engine/table/blob_file.h"

namespace kestrel {

class ETdbEngine;

// Defaults of a new session.
inline constexpr int kDefaultIndexPageSize = 4096;
inline constexpr int kDefaultLockingTimeout = 20000;  // milliseconds
inline constexpr int kDefaultServerTimeout = 30000;   // milliseconds
// Station numbers are drawn from 1 to this value.
inline constexpr std::uint32_t kMaxStationNo = 2147483646;

// A copy of the last-error record.
struct TTdbLastError {
  int FCode = 0;  // engine error number, negated; 0 for none
  std::u16string FMessage;
  std::u16string FUnitName;
  std::u16string FLine;  // condition text of a condition error
  int FLineNo = 0;
  int FPosition = 0;  // character position in FLine
};

class TTdbServices {
 public:
  // Draws the station number from `clock` (until non-zero) and names the
  // station after it in decimal.
  explicit TTdbServices(TdwClock& clock);
  TTdbServices(const TTdbServices&) = delete;
  TTdbServices& operator=(const TTdbServices&) = delete;

  TdwClock& Clock() const { return FClock; }

  // ---- Last-error record (thread-safe) ----
  // Records an engine failure: its number and formatted message.
  void SetLastError(const ETdbEngine& error);
  // Records engine error `number` with an already formatted message.
  void SetLastError(int number, const std::u16string& message);
  // Adds the condition text and error position to the recorded error.
  void SetLastErrorPosition(const std::u16string& conditionText, int lineNo, int position);
  void ClearLastError();
  TTdbLastError LastError() const;

  // ---- Identity ----
  std::uint32_t FStationNo = 0;
  std::u16string FStationName;
  std::u16string FPrivateDir;
  std::u16string FReadOnlyDirs;

  // ---- Settings ----
  int FDefIndexPageSize = kDefaultIndexPageSize;
  int FDefBlobBlockSize = kDefaultBlobBlockSize;
  bool FCaseSensitive = false;
  bool FAutoCreateIndexes = true;
  int FLockingTimeout = kDefaultLockingTimeout;
  int FLogLevel = 0;

  // ---- Keys the session knows: the database key and every key a table of
  // the session was opened with, each once, empty keys left out. Tables the
  // session opens on its own (the other side of a foreign key) try them
  // when their own key does not fit. Cleared when the database closes.
  std::vector<std::u16string> FSessionKeys;
  void AddSessionKey(const std::u16string& key);

  // ---- File systems of the open database (null while none is open) ----
  // Data files: shared by every session of the process that opens the same
  // directory (registered with the page manager under the directory).
  std::shared_ptr<TdwFileSystem> FDataFileSystem;
  // Lock files: the session's own, on the same directory.
  std::shared_ptr<TdwFileSystem> FLockFileSystem;

 private:
  TdwClock& FClock;
  mutable std::mutex FLastErrorLock;
  TTdbLastError FLastError;
};

}  // namespace kestrel
