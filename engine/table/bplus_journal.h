// TTdbBPlusJournal: makes each flush of a B+ tree table file whole or absent
// when the program dies in the middle of it.
//
// A change to a B+ tree touches several pages at once (a leaf, the header
// with the item count, on a split new pages and a parent), and a flush cut
// short leaves some of them written and some not: a tree whose count does
// not match its leaves, or whose leaves are no longer all reachable. The
// table's logs undo changes record by record and need a tree that holds
// together, so the table file's own pages are kept whole here, one level
// below them.
//
// The journal sits between the tree and the file's units. The first time a
// unit is written after a flush, its content (still the file's, since the
// unit was clean) is kept. Before the next flush writes anything, the kept
// units and the file's unit count go to the journal file in one write
// (synced with secure flushing); once the table file is written (and with
// secure flushing committed) the journal file is deleted. A journal found
// when the table is opened belongs to a flush that was cut short: Restore
// writes the kept units back and cuts the file to its old size, which is the
// file as the last whole flush left it.
//
// Journal file layout, little-endian: Int32 kBPlusJournalMagic, Int32 unit
// size, Int64 unit count of the file, Int32 number n of units kept, n times
// (Int64 unit number, the unit's bytes), Int32 kBPlusJournalMagic. A journal
// that is shorter or does not match this was cut off while it was written,
// before any page of the table file: it is deleted and the file left alone.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/index/index_page_io.h"

namespace kestrel {

class TdwFileSystem;

inline constexpr std::uint32_t kBPlusJournalMagic = 0x4A425444;
inline constexpr const char* kBPlusJournalExtension = ".tdbj";

class TTdbBPlusJournal final : public ITdbIndexPageIo {
 public:
  // `units`: the table file's unit storage, which must outlive this.
  TTdbBPlusJournal(ITdbIndexPageIo& units, TdwFileSystem& fileSystem);

  // The journal file's name (empty: no journal is written) and whether it is
  // synced before the table file's pages are written.
  void SetFile(std::string fileName, bool secure);

  uint32_t PageSize() const override { return FUnits.PageSize(); }
  void SetPageSize(uint32_t pageSize) override;
  uint64_t PageCount() const override { return FUnits.PageCount(); }
  void ReadPage(uint64_t pageNo, uint8_t* page) override { FUnits.ReadPage(pageNo, page); }
  void WritePage(uint64_t pageNo, const uint8_t* page) override;
  void SetPageCount(uint64_t pageCount) override;
  void Flush() override { FUnits.Flush(); }

  // Before the table file is flushed: writes the journal when a unit changed
  // since the last flush. ETdbEngine tdbErrWriteFile with the journal's name.
  void Begin();
  // Whether Begin wrote a journal that End deletes (the table file must then
  // be committed first when flushing is secure).
  bool Written() const { return FWritten; }
  bool Secure() const { return FSecure; }
  // After the table file is written: deletes the journal and starts keeping
  // units anew. ETdbEngine tdbErrWriteFile when the journal stays.
  void End();
  // The unflushed changes were dropped from the cache: the kept units are
  // forgotten (a journal left by a failed flush stays until a flush gets
  // through).
  void Reset();

  // Whether a journal file lies at `journalName`.
  static bool IsPresent(TdwFileSystem& fileSystem, const std::string& journalName);
  // Puts the table file `tableName` back as the journal says and deletes the
  // journal. The file is opened alone unless `shared` (the caller then holds
  // the table's write lock, so no other program writes or reads it).
  // ETdbEngine tdbErrNoWriteAccess when the table file cannot be opened for
  // writing, tdbErrWriteFile when writing fails (the journal then stays for
  // the next try).
  static void Restore(TdwFileSystem& fileSystem, const std::string& journalName, const std::string& tableName,
                      bool shared = false);

 private:
  void Start();

  ITdbIndexPageIo& FUnits;
  TdwFileSystem& FFileSystem;
  std::string FFileName;
  bool FSecure = false;
  bool FStarted = false;      // units are kept since the last flush
  bool FWritten = false;      // Begin wrote the journal file
  uint64_t FUnitCount = 0;    // the file's unit count at the last flush
  std::map<uint64_t, std::vector<uint8_t>> FKept;  // unit number -> content at the last flush
};

}  // namespace kestrel
