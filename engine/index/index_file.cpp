// The index file object: format choice, stored description and item count,
// and the error each operation reports.
#include "engine/index/index_file.h"

#include <algorithm>
#include <exception>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/index/bplus_bulk.h"
#include "engine/index/collation.h"
#include "engine/index/bplus_index_item.h"
#include "engine/index/index_definition_text.h"
#include "engine/index/index_description.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {
namespace {

constexpr uint16_t kUnsignedFileVersion = 1;  // a file without signature
constexpr int64_t kProgressInterval = 1000;

uint32_t DescriptionAreaSize(const TTdbBTreeGeometry& geo) {
  const uint32_t reserved = !geo.IsModern() && geo.FVersion >= kFirstFreeListVersion ? kOldHdrFirstFreeFromEnd : 0;
  return geo.FPageSize - geo.UserAreaOffset() - reserved;
}

}  // namespace

TTdbIndexFile::TTdbIndexFile(ITdbIndexPageIo& storage, const TTdbIndexTable& table, std::u16string name)
    : FStorage(storage),
      FTable(table),
      FName(std::move(name)),
      FNameUtf8(Utf16ToUtf8(FName)),
      FVersion(static_cast<uint16_t>(table.FLevel)),
      FComparer(FIndexDef, table),
      FCheckOrder(std::none_of(table.FColumns.begin(), table.FColumns.end(), [](const TTdbIndexColumn& column) {
        return column.FCollation && !column.FCollation->IsStandard();
      })) {}

template <typename TOperation>
auto TTdbIndexFile::Guard(int errorNo, TOperation operation) {
  try {
    return operation();
  } catch (const ETdbEngine& error) {
    if (error.Number() == tdbErrCapacityReached || error.Number() == tdbErrIndexInsert ||
        error.Number() == tdbErrIndexCorrupt)
      throw;
    // The trees report what their checks find as 91: past opening (whose
    // damage is 28) the file is damaged.
    if (error.Number() == tdbErrReadIndex && errorNo != tdbErrIndexInconsistent)
      throw ETdbEngine(tdbErrIndexCorrupt, FileName()).AtCheckOf(error);
    if (errorNo == tdbErrWriteIndex) throw ETdbEngine(errorNo);
    throw ETdbEngine(errorNo, FNameUtf8);
  } catch (const std::exception&) {
    if (errorNo == tdbErrWriteIndex) throw ETdbEngine(errorNo);
    throw ETdbEngine(errorNo, FNameUtf8);
  }
}

template <typename TOperation>
auto TTdbIndexFile::OnTree(TOperation operation) {
  if (FBPlusTree) return operation(*FBPlusTree);
  return operation(*FTree);
}

std::unique_ptr<TTdbBPlusTree> TTdbIndexFile::MakeBPlusTree() {
  return std::make_unique<TTdbBPlusTree>(
      FStorage, kBPlusIndexHeaderOffset,
      [this](const uint8_t* x, const uint8_t* y) { return FComparer.Compare(x, y); }, FIndexDef.FSize, FNameUtf8);
}

uint8_t* TTdbIndexFile::UserArea() {
  if (FBPlusTree) return FBPlusTree->HeaderPage().data() + kBPlusIndexHeaderOffset + kBPlusHeaderSize;
  return FTree->HeaderPage().data() + FTree->Geometry().UserAreaOffset();
}

size_t TTdbIndexFile::UserAreaSize() {
  if (FBPlusTree) return FBPlusTree->PageSize() - kBPlusIndexHeaderOffset - kBPlusHeaderSize;
  return DescriptionAreaSize(FTree->Geometry());
}

void TTdbIndexFile::WriteHeaderPage() {
  OnTree([](auto& tree) { tree.WriteHeader(); });
}

void TTdbIndexFile::RequireOpen(int errorNo) const {
  if (FIsOpen && (FTree || FBPlusTree)) return;
  if (errorNo == tdbErrWriteIndex) throw ETdbEngine(errorNo);
  throw ETdbEngine(errorNo, FNameUtf8);
}

void TTdbIndexFile::SetIndexDefinition(TTdbSortDef def) {
  if (def.LevelCount() > GetMaxIndLevelCount(FTable.FLevel)) throw ETdbEngine(tdbErrTooManyLevels);
  if (def.IsVarSize && FTable.FLevel < kFirstBPlusLevel) throw ETdbEngine(tdbErrLevelFeature, FNameUtf8, "Variable size");
  FIndexDef = std::move(def);
}

uint32_t TTdbIndexFile::CalcPageSizeForCapacity(int64_t capacity) const {
  if (FTable.FLevel >= kFirstBPlusLevel && FIndexDef.IsVarSize) return kDefaultBPlusPageSize;
  return CalcIndexPageSize(FVersion, FIndexDef.FSize, capacity);
}

void TTdbIndexFile::NewStorage(uint32_t pageSize) {
  Forget();
  FIsOpen = false;
  FTree.reset();
  FBPlusTree.reset();
  Guard(tdbErrIndexInsert, [&] {
    FVersion = static_cast<uint16_t>(FTable.FLevel);
    if (UsesBPlusTree()) {
      // The page grows until the longest item fits three times.
      while (BPlusMaxItemSize(pageSize) < FIndexDef.FSize && pageSize < kMaxBPlusPageSize) pageSize *= 2;
      auto tree = MakeBPlusTree();
      tree->New(std::min(pageSize, kMaxBPlusPageSize));
      WriteLeU32(tree->HeaderPage().data() + kHdrSignature, kBPlusTreeSignature);
      WriteLeU16(tree->HeaderPage().data() + kHdrVersion, FVersion);
      FBPlusTree = std::move(tree);
      WriteIndexDescription(FIndexDef, FVersion, 0, UserArea(), UserAreaSize());
      FBPlusTree->WriteHeader();
      return;
    }
    auto tree = std::make_unique<TTdbBTree>(
        FStorage, FVersion, [this](const uint8_t* x, const uint8_t* y) { return FComparer.Compare(x, y); },
        FNameUtf8);
    tree->New(pageSize, static_cast<uint16_t>(FIndexDef.FSize));
    const TTdbBTreeGeometry& geo = tree->Geometry();
    WriteIndexDescription(FIndexDef, FVersion, 0, tree->HeaderPage().data() + geo.UserAreaOffset(),
                          DescriptionAreaSize(geo));
    tree->WriteHeader();
    FTree = std::move(tree);
  });
  FItemCount = 0;
  FIsOpen = true;
  FIsLost = false;
}

void TTdbIndexFile::Open() {
  Forget();
  FIsOpen = false;
  FTree.reset();
  FBPlusTree.reset();
  FIsLost = true;
  FStorage.SetPageSize(kMinIndexPageSize);
  if (FStorage.PageCount() == 0) throw ETdbEngine(tdbErrFileNotFound, FNameUtf8);
  Guard(tdbErrIndexInconsistent, [&] {
    std::vector<uint8_t> first(kMinIndexPageSize);
    FStorage.ReadPage(0, first.data());
    const uint32_t signature = ReadLeU32(first.data() + kHdrSignature);
    uint16_t version = kUnsignedFileVersion;
    if (signature == kBPlusTreeSignature) {
      OpenBPlusTree(ReadLeU16(first.data() + kHdrVersion));
      return;
    }
    if (signature == kBTreeSignature) {
      version = ReadLeU16(first.data() + kHdrVersion);
      if (version < kFirstSignedIndexVersion || version > kMaxBTreeVersion)
        throw ETdbEngine(tdbErrIndexInconsistent, FNameUtf8);
    }
    auto tree = std::make_unique<TTdbBTree>(
        FStorage, version, [this](const uint8_t* x, const uint8_t* y) { return FComparer.Compare(x, y); },
        FNameUtf8);
    tree->Open();
    const TTdbBTreeGeometry& geo = tree->Geometry();
    uint32_t itemCount = 0;
    TTdbSortDef def = ReadIndexDescription(tree->HeaderPage().data() + geo.UserAreaOffset(),
                                           DescriptionAreaSize(geo), version, FTable.FLevel, itemCount,
                                           FNameUtf8.c_str());
    if (def.FSize != geo.FKeySize) throw ETdbEngine(tdbErrIndexInconsistent, FNameUtf8);
    CheckIndexDefinition(def, FTable);
    def.FName = FName;
    def.FCalculation = FIndexDef.IsCalculated && FIndexDef.FSource == def.FSource ? FIndexDef.FCalculation : nullptr;
    FIndexDef = std::move(def);
    FItemCount = itemCount;
    FVersion = version;
    FTree = std::move(tree);
  });
  FIsOpen = true;
  FIsLost = false;
}

TTdbSortDef TTdbIndexFile::ReadStoredDefinition() {
  Forget();
  FIsOpen = false;
  FTree.reset();
  FBPlusTree.reset();
  FStorage.SetPageSize(kMinIndexPageSize);
  if (FStorage.PageCount() == 0) throw ETdbEngine(tdbErrIndexInconsistent, FNameUtf8);
  return Guard(tdbErrIndexInconsistent, [&] {
    std::vector<uint8_t> first(kMinIndexPageSize);
    FStorage.ReadPage(0, first.data());
    const uint32_t signature = ReadLeU32(first.data() + kHdrSignature);
    const uint16_t version = ReadLeU16(first.data() + kHdrVersion);
    const bool bplus = signature == kBPlusTreeSignature;
    if ((!bplus && signature != kBTreeSignature) || version < kFirstSignedIndexVersion || version > kMaxBTreeVersion)
      throw ETdbEngine(tdbErrIndexInconsistent, FNameUtf8);
    // The description lies in the header page, whose size the header names.
    const uint32_t pageSize =
        ReadLeU32(first.data() + (bplus ? kBPlusIndexHeaderOffset + kBPlusHdrPageSize : kHdrPageSize));
    const uint32_t areaOffset = bplus ? kBPlusIndexHeaderOffset + kBPlusHeaderSize : kHdrUserArea;
    if (pageSize < kMinIndexPageSize || pageSize > kMaxIndexPageSize || pageSize <= areaOffset)
      throw ETdbEngine(tdbErrIndexInconsistent, FNameUtf8);
    FStorage.SetPageSize(pageSize);
    if (FStorage.PageCount() == 0) throw ETdbEngine(tdbErrIndexInconsistent, FNameUtf8);
    std::vector<uint8_t> header(pageSize);
    FStorage.ReadPage(0, header.data());
    uint32_t itemCount = 0;
    TTdbSortDef def = ReadIndexDescription(header.data() + areaOffset, pageSize - areaOffset, version,
                                           FTable.FLevel, itemCount, FNameUtf8.c_str());
    def.IsVarSize = def.IsVarSize || bplus;
    CheckIndexDefinition(def, FTable);
    def.FName = FName;
    return def;
  });
}

void TTdbIndexFile::OpenBPlusTree(uint16_t version) {
  if (version != kBPlusTreeVersion || FTable.FLevel < kFirstBPlusLevel)
    throw ETdbEngine(tdbErrIndexInconsistent, FNameUtf8);
  FBPlusTree = MakeBPlusTree();
  try {
    FBPlusTree->Open();
    uint32_t itemCount = 0;
    TTdbSortDef def =
        ReadIndexDescription(UserArea(), UserAreaSize(), version, FTable.FLevel, itemCount, FNameUtf8.c_str());
    def.IsVarSize = true;
    CheckIndexDefinition(def, FTable);
    def.FName = FName;
    def.FCalculation = FIndexDef.IsCalculated && FIndexDef.FSource == def.FSource ? FIndexDef.FCalculation : nullptr;
    FIndexDef = std::move(def);
    FBPlusTree->SetCompareWindow(FIndexDef.FSize);
    FItemCount = itemCount;
    FVersion = version;
  } catch (...) {
    FBPlusTree.reset();
    throw;
  }
}

void TTdbIndexFile::Close() {
  if (!FTree && !FBPlusTree) return;
  Guard(tdbErrCloseFile, [&] { OnTree([](auto& tree) { tree.Flush(); }); });
  FTree.reset();
  FBPlusTree.reset();
  FIsOpen = false;
}

void TTdbIndexFile::Flush() {
  RequireOpen(tdbErrWriteIndex);
  Guard(tdbErrWriteIndex, [&] { OnTree([](auto& tree) { tree.Flush(); }); });
}

void TTdbIndexFile::Update() {
  RequireOpen(tdbErrReadIndex);
  Forget();
  Guard(tdbErrReadIndex, [&] {
    if (FBPlusTree) {
      FBPlusTree->Update();
    } else {
      FTree->Update();
      if (FTree->Geometry().FKeySize != FIndexDef.FSize) throw ETdbEngine(tdbErrIndexInconsistent, FNameUtf8);
    }
    FItemCount = ReadLeU32(UserArea() + IndexItemCountOffset(FVersion));
  });
}

void TTdbIndexFile::Corrupt(const char* file, unsigned line) const {
  throw ETdbEngine(tdbErrIndexCorrupt, FileName()).At(file, line);
}

void TTdbIndexFile::Remember(const std::vector<uint8_t>& key) {
  FLast.assign(key.begin(), key.end());
  FLast.resize(std::max<size_t>(FIndexDef.FSize, 1), 0);
}

void TTdbIndexFile::Forget() noexcept {
  FLast.clear();
  FWalk.Active = false;
}

bool TTdbIndexFile::GivenIsLast() const {
  return !FLast.empty() && FGiven.size() == FLast.size() &&
         std::equal(FGiven.begin(), FGiven.end(), FLast.begin());
}

int TTdbIndexFile::Stepped(int result, const std::vector<uint8_t>& key, int direction) {
  const bool chained = GivenIsLast();
  if (result == ttrFound) {
    Remember(key);
    if (FCheckOrder && direction * FComparer.Compare(FLast.data(), FGiven.data()) <= 0) Corrupt();
    if (chained && FWalk.Active && (FWalk.Direction == 0 || FWalk.Direction == direction)) {
      FWalk.Direction = direction;
      if (++FWalk.Count > FItemCount) Corrupt();
    } else {
      FWalk.Active = false;
    }
    return result;
  }
  // The item delivered last is in a sound tree until the tree changes.
  if (result == ttrNotInTree && chained) Corrupt();
  if (result == ttrNone && chained && FWalk.Active && (FWalk.Direction == 0 || FWalk.Direction == direction))
    WalkEnded(direction);
  FWalk.Active = false;
  return result;
}

void TTdbIndexFile::WalkEnded(int direction) {
  FWalk.Active = false;
  if (FWalk.Count == FItemCount) return;
  if (!FWalk.FromEdge) {
    // A walk from a search covers the index only when it began at its edge.
    const int found = Guard(tdbErrReadIndex, [&] {
      return OnTree([&](auto& tree) { return direction > 0 ? tree.FindFirst(FEdge) : tree.FindLast(FEdge); });
    });
    FEdge.resize(FLast.size(), 0);
    if (found != ttrFound || FEdge != FWalk.Start) return;
  }
  Corrupt();
}

void TTdbIndexFile::WriteItemCount() {
  WriteLeU32(UserArea() + IndexItemCountOffset(FVersion), FItemCount);
  WriteHeaderPage();
}

int TTdbIndexFile::Erster_Index(std::vector<uint8_t>& key) {
  RequireOpen(tdbErrReadIndex);
  const int result =
      Guard(tdbErrReadIndex, [&] { return OnTree([&](auto& tree) { return tree.FindFirst(key); }); });
  if (result != ttrFound) {
    Forget();
    if (FItemCount != 0) Corrupt();  // no first item, but the count names some
    return result;
  }
  Remember(key);
  FWalk.Active = true;
  FWalk.Direction = 1;
  FWalk.Count = 1;
  FWalk.FromEdge = true;
  return result;
}

int TTdbIndexFile::Letzter_Index(std::vector<uint8_t>& key) {
  RequireOpen(tdbErrReadIndex);
  const int result =
      Guard(tdbErrReadIndex, [&] { return OnTree([&](auto& tree) { return tree.FindLast(key); }); });
  if (result != ttrFound) {
    Forget();
    if (FItemCount != 0) Corrupt();
    return result;
  }
  Remember(key);
  FWalk.Active = true;
  FWalk.Direction = -1;
  FWalk.Count = 1;
  FWalk.FromEdge = true;
  return result;
}

int TTdbIndexFile::Naechster_Index(std::vector<uint8_t>& key) {
  RequireOpen(tdbErrReadIndex);
  FGiven.assign(key.begin(), key.end());
  FGiven.resize(FIndexDef.FSize, 0);
  const int result = Guard(
      tdbErrReadIndex, [&] { return OnTree([&](auto& tree) { return tree.FindNext(FGiven.data(), key); }); });
  return Stepped(result, key, 1);
}

int TTdbIndexFile::Vorheriger_Index(std::vector<uint8_t>& key) {
  RequireOpen(tdbErrReadIndex);
  FGiven.assign(key.begin(), key.end());
  FGiven.resize(FIndexDef.FSize, 0);
  const int result = Guard(
      tdbErrReadIndex, [&] { return OnTree([&](auto& tree) { return tree.FindPrev(FGiven.data(), key); }); });
  return Stepped(result, key, -1);
}

int TTdbIndexFile::Suche_Index(std::vector<uint8_t>& key) {
  RequireOpen(tdbErrReadIndex);
  FGiven.assign(key.begin(), key.end());
  FGiven.resize(FIndexDef.FSize, 0);
  const int result =
      Guard(tdbErrReadIndex, [&] { return OnTree([&](auto& tree) { return tree.Find(FGiven.data(), key); }); });
  if (result != ttrFound) {
    Forget();
    return result;
  }
  Remember(key);
  if (FCheckOrder && FComparer.Compare(FLast.data(), FGiven.data()) < 0) Corrupt();  // a bound below the item
  FWalk.Active = true;
  FWalk.Direction = 0;
  FWalk.Count = 1;
  FWalk.FromEdge = false;
  FWalk.Start = FLast;
  return result;
}

void TTdbIndexFile::VisitRuns(const std::vector<uint8_t>& from, const TTdbItemRunVisitor& visit) {
  RequireOpen(tdbErrReadIndex);
  if (FBPlusTree) {
    std::vector<uint8_t> item = from;
    for (int result = Suche_Index(item); result == ttrFound; result = Naechster_Index(item))
      if (!visit(item.data(), 1, item.size())) break;
    return;
  }
  Forget();
  FGiven.assign(from.begin(), from.end());
  FGiven.resize(FIndexDef.FSize, 0);
  // The caller's failures are carried past Guard, which would turn them
  // into index errors.
  std::exception_ptr visitFailure;
  uint64_t delivered = 0;
  bool tooMany = false;
  Guard(tdbErrReadIndex, [&] {
    FTree->VisitRuns(FGiven.data(), FCheckOrder, [&](const uint8_t* first, int count, size_t stride) {
      delivered += static_cast<uint64_t>(count);
      if (delivered > FItemCount) {
        tooMany = true;
        return false;
      }
      try {
        return visit(first, count, stride);
      } catch (...) {
        visitFailure = std::current_exception();
        return false;
      }
    });
  });
  if (visitFailure) std::rethrow_exception(visitFailure);
  if (tooMany) Corrupt();
}

bool TTdbIndexFile::Add_Index(const uint8_t* item) {
  RequireOpen(tdbErrWriteIndex);
  Forget();
  return Guard(tdbErrWriteIndex, [&] {
    const bool inserted = FBPlusTree ? FBPlusTree->Insert(item, IndexItemLength(FComparer, item)) : FTree->Insert(item);
    if (!inserted) return false;
    ++FItemCount;
    WriteItemCount();
    return true;
  });
}

bool TTdbIndexFile::Loesche_Index(const uint8_t* item) {
  RequireOpen(tdbErrIndexDelete);
  Forget();
  return Guard(tdbErrIndexDelete, [&] {
    if (!OnTree([&](auto& tree) { return tree.Delete(item); })) return false;
    if (FItemCount > 0) --FItemCount;
    WriteItemCount();
    return true;
  });
}

void TTdbIndexFile::Clear_Index() {
  RequireOpen(tdbErrWriteIndex);
  Forget();
  Guard(tdbErrWriteIndex, [&] {
    OnTree([](auto& tree) { tree.Clear(); });
    FItemCount = 0;
    WriteItemCount();
  });
}

void TTdbIndexFile::BulkInsert(int64_t count, const TTdbIndexItemSource& source, const TTdbIndexProgress& progress) {
  RequireOpen(tdbErrWriteIndex);
  Forget();
  // A B+ tree is filled bottom-up while the items come in order.
  std::unique_ptr<TTdbBPlusBulkBuilder> builder;
  if (FBPlusTree) builder = std::make_unique<TTdbBPlusBulkBuilder>(*FBPlusTree);
  try {
    if (progress) progress(0, count);
    std::vector<uint8_t> item;
    int64_t delivered = 0;
    while (source(item)) {
      if (item.size() < FIndexDef.FSize) throw ETdbEngine(tdbErrNoText);
      const bool inserted =
          builder ? builder->Add(item.data(), IndexItemLength(FComparer, item.data())) : FTree->Insert(item.data());
      if (inserted) ++FItemCount;
      if (++delivered % kProgressInterval == 0 && progress) progress(delivered, count);
    }
    if (builder) builder->Finish();
    WriteItemCount();
    if (progress) progress(count, count);
  } catch (const ETdbEngine&) {
    KeepItemCount(builder.get());
    throw;
  } catch (const std::exception& error) {
    KeepItemCount(builder.get());
    throw ETdbEngine(tdbErrException, error.what());
  }
}

void TTdbIndexFile::KeepItemCount(TTdbBPlusBulkBuilder* builder) noexcept {
  try {
    if (builder) builder->Finish();
    WriteItemCount();
  } catch (...) {
    // The build already failed with its own error; the count is rewritten
    // by the next change or rebuild.
  }
}

int64_t TTdbIndexFile::CalcItemSequenceNo(const uint8_t* item) {
  RequireOpen(tdbErrReadIndex);
  const int64_t estimate =
      Guard(tdbErrReadIndex, [&] { return OnTree([&](auto& tree) { return tree.CalcItemSequenceNo(item); }); });
  if (estimate == 0) return 0;
  return std::clamp<int64_t>(estimate, 1, std::max<int64_t>(FItemCount, 1));
}

void TTdbIndexFile::Check(int64_t& itemCount, int64_t& wrongSortCount) {
  RequireOpen(tdbErrReadIndex);
  Guard(tdbErrReadIndex, [&] { OnTree([&](auto& tree) { tree.Check(itemCount, wrongSortCount); }); });
}

}  // namespace kestrel
