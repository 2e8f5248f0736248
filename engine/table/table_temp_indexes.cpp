// TTdbBaseTable: temporary indexes. Index choice has one made when no index
// of the table serves a condition well enough. The table keeps it like its
// other indexes: it is listed in the header, so other programs see it and
// keep it up to date with their changes, and later conditions may use it.
// A close that can have the table to itself removes it.
//
// Crash safety: the index file is built and flushed before its name is
// listed, and a removal unlists the name before it deletes the file. So a
// program killed at any moment leaves either a complete listed index, which
// the next opener takes as one of the table's indexes and the next close
// that can be exclusive removes, or an unlisted stray file, whose number
// later temporary indexes pass over and which that close deletes as well.
// Only a close that has the table alone deletes such a file: while another
// program has the table open, it may be the one building that index.
#include <cstdio>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/fs/file_system.h"
#include "engine/index/collation.h"
#include "engine/table/base_table.h"
#include "engine/table/table_index_slot.h"

namespace kestrel {

namespace {

constexpr int kFirstTempIndexNumber = 1;
constexpr int kLastTempIndexNumber = 99;
// Up to this level a temporary index is named by an extension of the table
// name; above it by the prefix "tmp".
constexpr int kLastLevelWithTempExtension = 3;

}  // namespace

std::u16string TTdbBaseTable::TempIndexName(int number) const {
  char digits[8];
  if (FLevel > kLastLevelWithTempExtension) {
    std::snprintf(digits, sizeof digits, "%.3d", number);
    return u"tmp" + Utf8ToUtf16(digits);
  }
  std::snprintf(digits, sizeof digits, "%.2d", number);
  return Utf8ToUtf16(Name() + ".$" + digits);
}

int TTdbBaseTable::CreateTempIndex(TTdbSortDef def) noexcept {
  try {
    std::lock_guard guard(FLockingMutex);
    if (!Active() || (FRights & tarIndex) == 0 || def.Items.empty()) return -1;
    if (FLockFile && FReadLocks > 0 && FUpgradeLocks == 0 && FWriteLocks == 0) return -1;
    TTdbTableLock upgrade(*this, tltUpgrade);
    TTdbTableLock write(*this, tltWrite);
    for (int number = kFirstTempIndexNumber; number <= kLastTempIndexNumber; ++number) {
      const std::u16string name = TempIndexName(number);
      bool open = false;
      for (const auto& slot : FIndexFiles)
        if (slot && StandardCollation().Compare(slot->Name, name, 0) == 0) open = true;
      if (open) continue;  // the index is open already (23)
      const std::string fileName = IndexFileName(name);
      if (FFileSystem.FileExists(fileName)) continue;  // its file exists (22)
      const int indexNo = InitIndex(name, &def);
      TIndexSlot& slot = Slot(indexNo);
      bool listed = false;
      try {
        CreateIndexSlotFile(slot, *slot.Definition);
        FillIndex(slot);
        slot.Definition.reset();  // from now on it lives in the file
        listed = true;
        WriteIndNames();
        // Other programs see the count above theirs and read the names again.
        if (FLockFile) FLockFile->WriteIndexCount(static_cast<std::int16_t>(IndexCount()));
      } catch (...) {
        CloseIndexSlot(slot);
        FIndexFiles[static_cast<std::size_t>(indexNo)].reset();
        while (FLastIndexNo >= 0 && !HasIndex(FLastIndexNo)) --FLastIndexNo;
        if (listed) {
          try {
            WriteIndNames();
          } catch (...) {
            // The name stays in the header without the file: the next opener
            // finds the index lost, and the next exclusive close removes it.
          }
        }
        FFileSystem.DeleteFile(fileName);
        return -1;
      }
      return indexNo;
    }
  } catch (...) {
    // A lock that cannot be had, a full table of index numbers, memory: the
    // condition is evaluated without the index.
  }
  return -1;
}

void TTdbBaseTable::DropTemporaryIndexes() noexcept {
  try {
    std::lock_guard guard(FLockingMutex);
    if (!Active() || ReadOnly()) return;
    bool any = false;
    for (const auto& slot : FIndexFiles)
      if (slot && slot->Kind == tikTemporary) any = true;
    if (!any && StrayTempIndexFiles().empty()) return;
    // Taking the table exclusively may read the header again, which may
    // renumber the indexes and list new names; they are looked at only
    // afterwards.
    TTdbTableLock exclusive(*this, tltExclusive);
    for (int indexNo = FLastIndexNo; indexNo >= 0; --indexNo)
      if (HasIndex(indexNo) && Slot(indexNo).Kind == tikTemporary && FListeners.CanDropIndex(indexNo))
        RemoveIndex(indexNo);
    // A file that cannot be deleted stays for the next close.
    for (const std::string& file : StrayTempIndexFiles()) FFileSystem.DeleteFile(file);
  } catch (...) {
    // Another program or session has the table open (103), or the header
    // could not be written: the indexes stay listed, and the next close
    // that can have the table to itself removes them.
  }
}

std::vector<std::string> TTdbBaseTable::StrayTempIndexFiles() {
  const auto known = [this](const std::u16string& name) {
    for (const auto& slot : FIndexFiles)
      if (slot && StandardCollation().Compare(slot->Name, name, 0) == 0) return true;
    for (const std::u16string& listed : FHeader.IndexNames)
      if (StandardCollation().Compare(listed, name, 0) == 0) return true;
    return false;
  };
  std::vector<std::string> files;
  for (int number = kFirstTempIndexNumber; number <= kLastTempIndexNumber; ++number) {
    const std::u16string name = TempIndexName(number);
    if (known(name)) continue;
    std::string fileName = IndexFileName(name);
    if (FFileSystem.FileExists(fileName)) files.push_back(std::move(fileName));
  }
  return files;
}

}  // namespace kestrel
