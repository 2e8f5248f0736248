// TTdbBaseTable: making a new table's files from the definitions set on a
// closed table object (level, columns, capacity, collation).
#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager_error.h"
#include "engine/fs/file_system.h"
#include "engine/table/blob_file.h"
#include "engine/table/heap_data_file.h"
#include "engine/table/memo_file.h"
#include "engine/table/table_index_slot.h"

namespace kestrel {

void TTdbBaseTable::AddColumn(TTdbColumnDef column) {
  if (Active()) throw ETdbEngine(tdbErrTableInUse, FStdName);
  if (static_cast<int>(FColumnDefs.Count()) >= kMaxColumnCount) throw ETdbEngine(tdbErrTooManyColumns);
  for (const TTdbColumnDef& existing : FColumnDefs)
    if (existing.Name == column.Name) throw ETdbEngine(tdbErrDuplicateIdentifier, Utf16ToUtf8(column.Name));
  FColumnDefs.Add(std::move(column));
}

bool TTdbBaseTable::WantsBPlusFile() const {
  return FLevel == kMaxTableLevel && FColumnDefs.Count() > 0 &&
         FColumnDefs[0].DataType.ColumnType() == tctRecordId && FColumnDefs[0].Name == kBPlusRecordIdName &&
         RecordSize() <= kMaxBPlusRecordSize;
}

void TTdbBaseTable::NewFile() {
  std::lock_guard guard(FLockingMutex);
  if (Active()) throw ETdbEngine(tdbErrTableInUse, FStdName);
  if (FLevel < kMinCreateLevel || FLevel > kMaxTableLevel)
    throw ETdbEngine(tdbErrLevelFeature, FFileName,
                     "new tables are made at levels 2 to 6, not " + std::to_string(FLevel));
  if (FColumnDefs.Count() == 0) throw ETdbEngine(tdbErrInvalidParameter, "Columns");
  for (std::size_t i = 0; i < FColumnDefs.Count(); ++i) {
    const std::u16string& name = FColumnDefs[i].Name;
    if (name.empty() || name.size() > kMaxColumnNameLength)
      throw ETdbEngine(tdbErrInvalidIdentifier, Utf16ToUtf8(name));
  }
  if (FCapacity < 0) throw ETdbEngine(tdbErrInvalidParameter, "Capacity");
  CheckNewColumnDetails();
  if (WantsBPlusFile()) CheckNewBPlusFile();
  if (FFileSystem.FileExists(FFileName)) throw ETdbEngine(tdbErrFileExists, FFileName);
  const std::string directory = PhysicalDirectory();
  if (!directory.empty() && directory != "/") {
    const std::optional<TdwFileInfo> info = FFileSystem.GetFileInfo(directory.substr(0, directory.size() - 1));
    if (!info || !info->FIsDirectory)
      throw ETdbEngine(tdbErrPlain, "The directory \"" + directory + "\" of the new table does not exist");
  }
  const std::vector<uint8_t> image = NewHeaderImage();
  ComputeColumnSummary();
  BuildIndexTable();
  CheckNewConstraints();
  FHasConstraints = !FHeader.CheckDefs.empty() || !FHeader.ForeignKeyDefs.empty();
  FRights = kNewTableRights;
  std::vector<std::string> made;
  try {
    auto storage = NewClientStorage(FFileName);
    try {
      storage->NewStorage();
    } catch (const ETdbPageManager&) {
      throw ETdbEngine(tdbErrWriteFile, Name());
    }
    made.push_back(FFileName);
    if (WantsBPlusFile()) {
      NewBPlusDataFile(std::move(storage));
    } else {
      FDataFile = std::make_unique<TTdbHeapDataFile>(std::move(storage), FCryptor);
      FDataFile->WriteBytes(0, image.data(), image.size(), false);
      Heap().Attach({static_cast<std::int64_t>(FHeader.RecordsOffset), FHeader.RecordSize(),
                     static_cast<std::int64_t>(RecordCountOffset(FLevel))});
    }
    if (FHasMemo) {
      FMemo = std::make_unique<TTdbMemoFile>(NewClientStorage(MemoFileName()), FCryptor, Name());
      FMemo->SetVersion(FLevel);
      made.push_back(MemoFileName());
      FMemo->NewFile(kMemoBlockSize);
    }
    if (FHasBlob) {
      FBlob = std::make_unique<TTdbBlobFile>(NewClientStorage(BlobFileName()), FCryptor, Name());
      FBlob->SetVersion(FLevel);
      made.push_back(BlobFileName());
      FBlob->NewFile(kDefaultBlobBlockSize);
    }
    CreateRelationTables(made);
    const TTdbRights rights = FRights;
    FRights |= kRightSecureFlush;  // a new table is committed to disk whole
    try {
      Flush();
    } catch (const ETdbEngine&) {
      FRights = rights;
      throw;
    }
    FRights = rights;
  } catch (const ETdbEngine&) {
    Undo();
    CloseFiles();
    for (const std::string& name : made) FFileSystem.DeleteFile(name);
    throw;
  }
}

}  // namespace kestrel
