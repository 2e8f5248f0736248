// TTdbRedoLog: the log of a running transaction on one table, with which the
// transaction's changes are rolled back (by the session or, after a program
// died in the middle of one, when the table is opened next).
//
// File layout, little-endian, written through a direct stream (not the page
// cache), never encrypted:
//   0: magic B0 C0 D0 E0 (Int32 kRedoLogMagic)
//   4: Int32 0 (stops the backward scan)
//   8: entries in the order of the changes; each is
//      kind (1 byte), Int32 record number (insert, update, delete) or
//      column number (value entries), the record image before the change
//      (update and delete), the value's bytes (value entries: 8-bit text or
//      blob bytes, or UTF-16LE code units for a wide memo), and the Int32
//      length of the entry without this field.
// A delete that moved the last record into the freed slot is a moved-delete
// entry: the deleted record's image, the moved record's image as it was
// stored (block numbers kept), and the Int32 record count before the delete;
// so its undo is right whichever of the table file's pages reached the file.
// An update or (moved-)delete entry is followed by one value entry per memo,
// blob or wide memo column it logs.
//
// Entries are collected in memory and written together by Write or Sync,
// which the table calls before it writes any page of its files; so a logged
// change reaches the file before the table's pages of that change do, and a
// transaction of many changes costs one write and one sync per flush, not one
// per change. The table syncs (Sync) before it writes its pages, so the order
// holds on disk too, and a crash of the program or of the operating system
// before a sync loses only entries of changes that never left the cache.
// A large collection is written early, without a sync. The log is untrusted
// input when it is read back: every kind, length, record and column number is
// checked before anything is replayed, and a log that does not parse raises
// ETdbEngine tdbErrPlain naming the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {

class TdwFileSystem;
class TdwFileSystemTdbStream;

inline constexpr std::uint32_t kRedoLogMagic = 0xE0D0C0B0;
inline constexpr std::int64_t kRedoLogHeaderSize = 8;
inline constexpr std::int64_t kRedoLogStopOffset = 4;  // the Int32 0 of the header
inline constexpr int kRedoLengthSize = 4;
inline constexpr int kRedoEntryHeadSize = 5;  // kind and number
// Collected entries are written (not yet synced) once they reach this size.
inline constexpr std::size_t kRedoLogPendingLimit = 4 * 1024 * 1024;

enum TTdbTableActionKind : std::uint8_t {
  takInsert = 0,
  takUpdate = 1,
  takDelete = 2,
  takBlob = 3,      // memo text or blob bytes
  takWideMemo = 4,  // UTF-16 text
  takDeleteMoved = 5,  // read back as takDelete with a moved record
};

// A memo, blob or wide memo value as it was before a change.
struct TTdbRedoValue {
  int FieldNo = 0;  // 1-based column number
  bool Wide = false;
  std::string Bytes;  // the stored bytes (UTF-16LE for a wide value)
};

// A record entry read back, with the values logged after it.
struct TTdbRedoEntry {
  TTdbTableActionKind Kind = takInsert;
  std::int32_t RecNo = 0;
  std::vector<std::uint8_t> Image;  // update and delete
  std::vector<TTdbRedoValue> Values;
  // A delete that moved the last record in: that record's stored image and
  // the record count before the delete (0 for any other entry).
  std::vector<std::uint8_t> MovedImage;
  std::int32_t CountBefore = 0;
  std::int64_t Offset = 0;  // where the entry starts in the file
};

// What the reader needs to know about the table to check a log: which column
// numbers may carry values of which kind.
struct TTdbRedoLogShape {
  int RecordSize = 0;
  // ValueKinds[n - 1] for column n: takBlob for Memo and Blob columns,
  // takWideMemo for WideMemo columns (which may also log an empty value as
  // takBlob), anything else for columns without values.
  std::vector<TTdbTableActionKind> ValueKinds;
};

class TTdbRedoLog {
 public:
  TTdbRedoLog(TdwFileSystem& fileSystem, std::string fileName);
  TTdbRedoLog(const TTdbRedoLog&) = delete;
  TTdbRedoLog& operator=(const TTdbRedoLog&) = delete;
  ~TTdbRedoLog();

  const std::string& FileName() const { return FFileName; }

  // Creates the file anew with the header only; when `sync`, the next Sync
  // commits it (even with no entries).
  // ETdbEngine tdbErrWriteFile on failure.
  void Create(bool sync);
  // Opens an existing log; false when there is none or it does not start
  // with the magic (nothing is changed then). ETdbEngine tdbErrReadFile when it cannot be
  // read.
  bool OpenExisting();
  bool IsOpen() const;
  // Whether a log of ours (a file starting with the magic) lies at
  // `fileName`; looks with read access only and changes nothing.
  static bool IsPresent(TdwFileSystem& fileSystem, const std::string& fileName);

  // Collect entries for the next Sync.
  void LogInsert(std::int32_t recNo);
  void LogUpdate(std::int32_t recNo, const std::vector<std::uint8_t>& image,
                 const std::vector<TTdbRedoValue>& values);
  void LogDelete(std::int32_t recNo, const std::vector<std::uint8_t>& image,
                 const std::vector<TTdbRedoValue>& values);
  // A delete of recNo into which record countBefore (movedImage, as stored)
  // moved.
  void LogDeleteMoved(std::int32_t recNo, const std::vector<std::uint8_t>& image,
                      const std::vector<TTdbRedoValue>& values, const std::vector<std::uint8_t>& movedImage,
                      std::int32_t countBefore);

  // Writes the entries collected so far and syncs the file. ETdbEngine tdbErrWriteFile on
  // failure; the file is then cut back to where it was, so it never ends in
  // half an entry, and the entries stay collected.
  void Sync();
  // Writes the entries collected so far; syncs when `sync` (as Sync).
  void Write(bool sync) { WritePending(sync); }
  // Whether the log holds entries, written or only collected.
  bool HasEntries() const { return !FPending.empty() || FSize > kRedoLogHeaderSize; }

  // All record entries (collected ones are written first), last first, each with its values. Raises ETdbEngine
  // 135 ("redo log ... cannot be replayed: ...") when the log does not fit the
  // table's shape, 2 when it cannot be read.
  std::vector<TTdbRedoEntry> ReadEntries(const TTdbRedoLogShape& shape);
  // Cuts the log to `size` bytes (an entry's offset, after it was undone, or
  // kRedoLogHeaderSize to empty it) and syncs when `sync`. ETdbEngine
  // tdbErrWriteFile.
  void CutTo(std::int64_t size, bool sync = true);
  // Closes the file (it stays on disk).
  void Close();
  // Closes and deletes the file (collected entries are dropped). ETdbEngine
  // 3 when it cannot be deleted.
  void Erase();
  // Erase at the end of a committed transaction: with `sync` the log is
  // first cut to its header and committed, so a left-over file after a crash
  // undoes nothing. ETdbEngine 3 on failure.
  void EraseCommitted(bool sync);

 private:
  void AppendRecordEntry(TTdbTableActionKind kind, std::int32_t recNo, const std::vector<std::uint8_t>* image,
                         const std::vector<TTdbRedoValue>& values);
  void AppendRecordEntry(TTdbTableActionKind kind, std::int32_t recNo, const std::vector<std::uint8_t>& payload,
                         const std::vector<TTdbRedoValue>& values);
  // Writes the collected entries at the end of the file, then syncs when
  // asked and anything written is not yet synced.
  void WritePending(bool sync);
  [[noreturn]] void Broken(const std::string& why) const;

  TdwFileSystem& FFileSystem;
  std::string FFileName;
  std::unique_ptr<TdwFileSystemTdbStream> FStream;
  std::int64_t FSize = 0;               // bytes in the file
  std::vector<std::uint8_t> FPending;  // entries not yet written
  bool FUnsynced = false;              // entries written but not yet synced
};

}  // namespace kestrel
