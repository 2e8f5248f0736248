// TTdbBPlusJournal: keeping the units a flush overwrites, the journal file,
// and putting a table file back from it.
#include "engine/table/bplus_journal.h"

#include "engine/base/engine_error.h"
#include "engine/fs/file_stream.h"
#include "engine/fs/file_system.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {

namespace {

constexpr std::size_t kHeadSize = 4 + 4 + 8 + 4;
constexpr std::size_t kUnitNumberSize = 8;
constexpr std::size_t kTailSize = 4;
constexpr std::uint32_t kMaxUnitSize = 1u << 20;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
}

void PutU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  for (int b = 0; b < 8; ++b) out.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
}

}  // namespace

TTdbBPlusJournal::TTdbBPlusJournal(ITdbIndexPageIo& units, TdwFileSystem& fileSystem)
    : FUnits(units), FFileSystem(fileSystem) {}

void TTdbBPlusJournal::SetFile(std::string fileName, bool secure) {
  FFileName = std::move(fileName);
  FSecure = secure;
}

void TTdbBPlusJournal::SetPageSize(uint32_t pageSize) {
  // Only when the file is made or opened, before anything is changed.
  FUnits.SetPageSize(pageSize);
  Reset();
}

void TTdbBPlusJournal::Start() {
  if (FStarted) return;
  FUnitCount = FUnits.PageCount();
  FStarted = true;
}

void TTdbBPlusJournal::WritePage(uint64_t pageNo, const uint8_t* page) {
  Start();
  if (pageNo < FUnitCount && FKept.find(pageNo) == FKept.end()) {
    std::vector<uint8_t> before(FUnits.PageSize());
    FUnits.ReadPage(pageNo, before.data());
    FKept.emplace(pageNo, std::move(before));
  }
  FUnits.WritePage(pageNo, page);
}

void TTdbBPlusJournal::SetPageCount(uint64_t pageCount) {
  Start();
  // Units cut off now and written again later are kept as they are now.
  for (uint64_t unit = pageCount; unit < FUnitCount && unit < FUnits.PageCount(); ++unit) {
    if (FKept.find(unit) != FKept.end()) continue;
    std::vector<uint8_t> before(FUnits.PageSize());
    FUnits.ReadPage(unit, before.data());
    FKept.emplace(unit, std::move(before));
  }
  FUnits.SetPageCount(pageCount);
}

void TTdbBPlusJournal::Begin() {
  if (FFileName.empty() || FWritten || !FStarted) return;
  if (FKept.empty() && FUnits.PageCount() == FUnitCount) return;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kHeadSize + FKept.size() * (kUnitNumberSize + FUnits.PageSize()) + kTailSize);
  PutU32(bytes, kBPlusJournalMagic);
  PutU32(bytes, FUnits.PageSize());
  PutU64(bytes, FUnitCount);
  PutU32(bytes, static_cast<std::uint32_t>(FKept.size()));
  for (const auto& [unit, content] : FKept) {
    PutU64(bytes, unit);
    bytes.insert(bytes.end(), content.begin(), content.end());
  }
  PutU32(bytes, kBPlusJournalMagic);
  TdwFileSystemTdbStream stream(FFileSystem);
  if (bytes.size() > 0x7FFFFFFF || stream.Rewrite(FFileName, kFmOpenReadWrite | kFmShareExclusive) < 0 ||
      stream.WriteNBytes(0, static_cast<std::int32_t>(bytes.size()), bytes.data(), false) < 0 ||
      (FSecure && stream.Sync() < 0)) {
    stream.Close();
    FFileSystem.DeleteFile(FFileName);
    throw ETdbEngine(tdbErrWriteFile, FFileName);
  }
  stream.Close();
  FWritten = true;
}

void TTdbBPlusJournal::End() {
  if (FWritten) {
    if (FFileSystem.FileExists(FFileName) && !FFileSystem.DeleteFile(FFileName))
      throw ETdbEngine(tdbErrWriteFile, FFileName);
    FWritten = false;
  }
  FKept.clear();
  FStarted = false;
}

void TTdbBPlusJournal::Reset() {
  if (FWritten) return;  // the journal on disk still describes the file
  FKept.clear();
  FStarted = false;
}

bool TTdbBPlusJournal::IsPresent(TdwFileSystem& fileSystem, const std::string& journalName) {
  return fileSystem.FileExists(journalName);
}

void TTdbBPlusJournal::Restore(TdwFileSystem& fileSystem, const std::string& journalName,
                               const std::string& tableName, bool shared) {
  std::vector<std::uint8_t> bytes;
  {
    TdwFileSystemTdbStream journal(fileSystem);
    if (journal.Reset(journalName, kFmOpenRead | kFmShareDenyNone) < 0)
      throw ETdbEngine(tdbErrReadFile, journalName);
    const std::int64_t size = journal.Size();
    if (size < 0 || size > 0x7FFFFFFF) throw ETdbEngine(tdbErrReadFile, journalName);
    bytes.resize(static_cast<std::size_t>(size));
    if (size > 0 && journal.ReadNBytes(0, static_cast<std::int32_t>(size), bytes.data(), false) < 0)
      throw ETdbEngine(tdbErrReadFile, journalName);
    journal.Close();
  }
  // A journal cut off while it was written: the table file was not touched.
  bool whole = bytes.size() >= kHeadSize + kTailSize && ReadLeU32(bytes.data()) == kBPlusJournalMagic &&
               ReadLeU32(bytes.data() + bytes.size() - kTailSize) == kBPlusJournalMagic;
  const std::uint32_t unitSize = whole ? ReadLeU32(bytes.data() + 4) : 0;
  const std::uint64_t unitCount = whole ? ReadLeU64(bytes.data() + 8) : 0;
  const std::uint32_t kept = whole ? ReadLeU32(bytes.data() + 16) : 0;
  whole = whole && unitSize > 0 && unitSize <= kMaxUnitSize &&
          bytes.size() == kHeadSize + std::uint64_t{kept} * (kUnitNumberSize + unitSize) + kTailSize;
  if (whole) {
    TdwFileSystemTdbStream table(fileSystem);
    if (table.Reset(tableName, kFmOpenReadWrite | (shared ? kFmShareDenyNone : kFmShareExclusive)) < 0)
      throw ETdbEngine(tdbErrNoWriteAccess, tableName);
    const std::uint8_t* entry = bytes.data() + kHeadSize;
    for (std::uint32_t k = 0; k < kept; ++k, entry += kUnitNumberSize + unitSize) {
      const std::uint64_t unit = ReadLeU64(entry);
      if (unit >= unitCount) continue;  // not one of the file's units: nothing of the file to put back
      if (table.WriteNBytes(static_cast<std::int64_t>(unit * unitSize), static_cast<std::int32_t>(unitSize),
                            entry + kUnitNumberSize, false) < 0) {
        table.Close();
        throw ETdbEngine(tdbErrWriteFile, tableName);
      }
    }
    if (table.Cut(static_cast<std::int64_t>(unitCount * unitSize)) < 0 || table.Sync() < 0) {
      table.Close();
      throw ETdbEngine(tdbErrWriteFile, tableName);
    }
    table.Close();
  }
  if (!fileSystem.DeleteFile(journalName)) throw ETdbEngine(tdbErrWriteFile, journalName);
}

}  // namespace kestrel
