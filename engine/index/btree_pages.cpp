// B-tree geometry, header page and tree page access, and the checks every
// page read from the file passes before it is used.
#include <algorithm>
#include <climits>
#include <cstring>

#include "engine/base/engine_error.h"
#include "engine/index/btree.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {
namespace {

constexpr uint16_t kOldChildSize = 2;
constexpr uint16_t kOldDataStart = 4;
constexpr uint16_t kChildSize = 4;
constexpr uint16_t kDataStart = kPageFirstEntry;
constexpr uint32_t kMaxOrder = 32767;
constexpr uint32_t kMinEntriesPerPage = 39;
constexpr uint32_t kPageSlack = 8;

}  // namespace

TTdbBTreeGeometry TTdbBTreeGeometry::Make(uint16_t version, uint32_t pageSize, uint16_t keySize) {
  TTdbBTreeGeometry geo;
  geo.FVersion = version;
  geo.FPageSize = pageSize;
  geo.FKeySize = keySize;
  const bool modern = version >= kFirstSignedIndexVersion;
  geo.FChildSize = modern ? kChildSize : kOldChildSize;
  geo.FDataStart = modern ? kDataStart : kOldDataStart;
  geo.FMaxPages = modern ? kMaxIndexPages : kMaxOldIndexPages;
  geo.FMaxPageSize = modern ? kMaxIndexPageSize : kMaxOldIndexPageSize;
  geo.FEntrySize = static_cast<uint16_t>(keySize + geo.FChildSize);
  const uint32_t order = pageSize > geo.FDataStart ? ((pageSize - geo.FDataStart) / geo.FEntrySize) / 2 : 0;
  geo.FOrder = order > kMaxOrder ? 0 : static_cast<uint16_t>(order);
  geo.FCapacity = static_cast<uint16_t>(2 * geo.FOrder);
  return geo;
}

uint32_t CalcIndexPageSize(uint16_t version, uint32_t maxKeySize, int64_t capacity) {
  const TTdbBTreeGeometry geo = TTdbBTreeGeometry::Make(version, kProvisionalIndexPageSize, 0);
  const uint64_t entry = maxKeySize + geo.FChildSize;
  uint64_t pageSize = kProvisionalIndexPageSize;
  auto canDouble = [&] { return pageSize * 2 <= geo.FMaxPageSize; };
  while (pageSize < entry + kPageSlack && canDouble()) pageSize *= 2;
  while (pageSize / entry < kMinEntriesPerPage && canDouble()) pageSize *= 2;
  auto maxItems = [&] { return std::min<uint64_t>((pageSize / entry) * geo.FMaxPages, INT32_MAX); };
  while (maxItems() < 2 * static_cast<uint64_t>(std::max<int64_t>(capacity, 0)) && canDouble()) pageSize *= 2;
  return static_cast<uint32_t>(pageSize);
}

TTdbBTree::TTdbBTree(ITdbIndexPageIo& io, uint16_t version, TTdbItemCompare compare, std::string name)
    : FStorage(io), FCompare(std::move(compare)), FName(std::move(name)) {
  FGeo.FVersion = version;
}

void TTdbBTree::Damaged(const char* file, unsigned line) const {
  throw ETdbEngine(tdbErrReadIndex, FName).At(file, line);
}

int TTdbBTree::Count(const uint8_t* page) const { return ReadLeU16(page + FGeo.FChildSize); }

void TTdbBTree::SetCount(uint8_t* page, int count) const {
  WriteLeU16(page + FGeo.FChildSize, static_cast<uint16_t>(count));
}

uint32_t TTdbBTree::ChildAt(const uint8_t* page, int k) const {
  const uint8_t* field = k == 1 ? page + kPageLeftChild : EntryAt(page, k - 1);
  return FGeo.IsModern() ? ReadLeU32(field) : ReadLeU16(field);
}

void TTdbBTree::SetChildAt(uint8_t* page, int k, uint32_t child) const {
  uint8_t* field = k == 1 ? page + kPageLeftChild : EntryAt(page, k - 1);
  if (FGeo.IsModern())
    WriteLeU32(field, child);
  else
    WriteLeU16(field, static_cast<uint16_t>(child));
}

void TTdbBTree::SetEntryChild(uint8_t* entry, uint32_t child) const {
  if (FGeo.IsModern())
    WriteLeU32(entry, child);
  else
    WriteLeU16(entry, static_cast<uint16_t>(child));
}

uint8_t* TTdbBTree::EntryAt(uint8_t* page, int e) const {
  return page + FGeo.FDataStart + static_cast<size_t>(e - 1) * FGeo.FEntrySize;
}

const uint8_t* TTdbBTree::EntryAt(const uint8_t* page, int e) const {
  return page + FGeo.FDataStart + static_cast<size_t>(e - 1) * FGeo.FEntrySize;
}

void TTdbBTree::InsertEntry(uint8_t* page, int e, const uint8_t* entry) const {
  const int count = Count(page);
  std::memmove(EntryAt(page, e + 1), EntryAt(page, e), static_cast<size_t>(count - e + 1) * FGeo.FEntrySize);
  std::memcpy(EntryAt(page, e), entry, FGeo.FEntrySize);
  SetCount(page, count + 1);
}

void TTdbBTree::RemoveEntry(uint8_t* page, int e) const {
  const int count = Count(page);
  std::memmove(EntryAt(page, e), EntryAt(page, e + 1), static_cast<size_t>(count - e) * FGeo.FEntrySize);
  std::memset(EntryAt(page, count), 0, FGeo.FEntrySize);
  SetCount(page, count - 1);
}

void TTdbBTree::New(uint32_t pageSize, uint16_t keySize) {
  FGeo = TTdbBTreeGeometry::Make(FGeo.FVersion, pageSize, keySize);
  if (FGeo.FVersion < 1 || FGeo.FVersion > kMaxBTreeVersion || pageSize < kMinIndexPageSize ||
      pageSize > FGeo.FMaxPageSize || FGeo.FOrder == 0 || keySize < 4)
    throw ETdbEngine(tdbErrInvalidIndexSpec, FName);
  FStorage.SetPageSize(pageSize);
  FHeader.assign(pageSize, 0);
  FHeight = 0;
  FPageCount = 0;
  FFirstFree = 0;
  if (FGeo.IsModern()) {
    WriteLeU32(FHeader.data() + kHdrSignature, kBTreeSignature);
    WriteLeU16(FHeader.data() + kHdrVersion, FGeo.FVersion);
  }
  FStorage.SetPageCount(0);
  Invalidate();
  WriteHeader();
}

void TTdbBTree::WriteHeader() {
  uint8_t* h = FHeader.data();
  if (FGeo.IsModern()) {
    WriteLeU32(h + kHdrPageSize, FGeo.FPageSize);
    WriteLeU16(h + kHdrKeySize, FGeo.FKeySize);
    WriteLeU16(h + kHdrEntrySize, FGeo.FEntrySize);
    WriteLeU16(h + kHdrHeight, FHeight);
    WriteLeU32(h + kHdrPageCount, FPageCount);
    WriteLeU16(h + kHdrOrder, FGeo.FOrder);
    WriteLeU16(h + kHdrCapacity, FGeo.FCapacity);
    WriteLeU32(h + kHdrFirstFree, FFirstFree);
  } else {
    WriteLeU16(h + kOldHdrPageSize, static_cast<uint16_t>(FGeo.FPageSize));
    WriteLeU16(h + kOldHdrKeySize, FGeo.FKeySize);
    WriteLeU16(h + kOldHdrEntrySize, FGeo.FEntrySize);
    WriteLeU16(h + kOldHdrHeight, FHeight);
    WriteLeU16(h + kOldHdrPageCount, static_cast<uint16_t>(FPageCount));
    WriteLeU16(h + kOldHdrOrder, FGeo.FOrder);
    WriteLeU16(h + kOldHdrCapacity, FGeo.FCapacity);
    if (FGeo.FVersion >= kFirstFreeListVersion)
      WriteLeU16(h + FGeo.FPageSize - kOldHdrFirstFreeFromEnd, static_cast<uint16_t>(FFirstFree));
  }
  // A header that did not change is not written again, so a flush after
  // no change writes nothing.
  if (FStorage.PageCount() > 0) {
    FHeaderCheck.resize(FHeader.size());
    FStorage.ReadPage(0, FHeaderCheck.data());
    if (FHeaderCheck == FHeader) return;
  }
  FStorage.WritePage(0, FHeader.data());
}

void TTdbBTree::Open() {
  const uint16_t version = FGeo.FVersion;
  if (version < 1 || version > kMaxBTreeVersion) Damaged();
  const bool modern = version >= kFirstSignedIndexVersion;
  FStorage.SetPageSize(kMinIndexPageSize);
  if (FStorage.PageCount() < 1) Damaged();
  std::vector<uint8_t> first(kMinIndexPageSize);
  FStorage.ReadPage(0, first.data());
  if (modern && (ReadLeU32(first.data() + kHdrSignature) != kBTreeSignature ||
                 ReadLeU16(first.data() + kHdrVersion) != version))
    Damaged();
  const uint32_t pageSize = modern ? ReadLeU32(first.data() + kHdrPageSize) : ReadLeU16(first.data());
  const uint16_t keySize = ReadLeU16(first.data() + (modern ? kHdrKeySize : kOldHdrKeySize));
  const TTdbBTreeGeometry geo = TTdbBTreeGeometry::Make(version, pageSize, keySize);
  if (pageSize < kMinIndexPageSize || pageSize > geo.FMaxPageSize || geo.FOrder == 0 || keySize < 4) Damaged();
  FStorage.SetPageSize(pageSize);
  if (FStorage.PageCount() < 1) {
    FStorage.SetPageSize(kMinIndexPageSize);
    Damaged();
  }
  std::vector<uint8_t> header(pageSize);
  FStorage.ReadPage(0, header.data());
  const uint8_t* h = header.data();
  const uint16_t entrySize = ReadLeU16(h + (modern ? kHdrEntrySize : kOldHdrEntrySize));
  const uint16_t height = ReadLeU16(h + (modern ? kHdrHeight : kOldHdrHeight));
  const uint32_t pageCount = modern ? ReadLeU32(h + kHdrPageCount) : ReadLeU16(h + kOldHdrPageCount);
  const uint16_t order = ReadLeU16(h + (modern ? kHdrOrder : kOldHdrOrder));
  const uint16_t capacity = ReadLeU16(h + (modern ? kHdrCapacity : kOldHdrCapacity));
  uint32_t firstFree = 0;
  if (modern)
    firstFree = ReadLeU32(h + kHdrFirstFree);
  else if (version >= kFirstFreeListVersion)
    firstFree = ReadLeU16(h + pageSize - kOldHdrFirstFreeFromEnd);
  const bool sound = entrySize == geo.FEntrySize && order == geo.FOrder && capacity == geo.FCapacity &&
                     height <= kMaxBTreeHeight && pageCount <= geo.FMaxPages &&
                     pageCount + 1ull <= FStorage.PageCount() && (height == 0 || pageCount >= height) &&
                     firstFree <= pageCount;
  if (!sound) {
    FStorage.SetPageSize(kMinIndexPageSize);
    Damaged();
  }
  FGeo = geo;
  FHeader = std::move(header);
  FHeight = height;
  FPageCount = pageCount;
  FFirstFree = firstFree;
  Invalidate();
}

void TTdbBTree::LoadPage(uint32_t pageNo, int level, std::vector<uint8_t>& page, int ancestorLevels) {
  if (pageNo < kRootPage || pageNo > FPageCount || level < 1 || level > FHeight) Damaged();
  page.resize(FGeo.FPageSize);
  FStorage.ReadPage(pageNo, page.data());
  const int count = Count(page.data());
  if (count > FGeo.FCapacity || (count == 0 && (level > 1 || FHeight > 1))) Damaged();
  if (level == FHeight) {
    // A leaf has no children: its left-most child and every entry's child
    // field are 0, tested in one pass over the entries (a long walk loads
    // many leaves).
    if (ChildAt(page.data(), 1) != 0) Damaged();
    const uint8_t* entry = EntryAt(page.data(), 1);
    uint32_t children = 0;
    if (FGeo.IsModern())
      for (int e = 1; e <= count; ++e, entry += FGeo.FEntrySize) children |= ReadLeU32(entry);
    else
      for (int e = 1; e <= count; ++e, entry += FGeo.FEntrySize) children |= ReadLeU16(entry);
    if (children != 0) Damaged();
    return;
  }
  for (int k = 1; k <= count + 1; ++k) {
    const uint32_t child = ChildAt(page.data(), k);
    if (child < kRootPage || child > FPageCount || child == pageNo) Damaged();
    for (int above = 1; above <= ancestorLevels; ++above)
      if (FPath[above].FPageNo == child) Damaged();
  }
}

void TTdbBTree::LoadSlot(int level, uint32_t pageNo) {
  TPathSlot& slot = FPath[level];
  if (slot.FPageNo == pageNo && slot.FStamp == FChangeStamp && !slot.FPage.empty()) return;
  slot.FStamp = 0;
  LoadPage(pageNo, level, slot.FPage, level - 1);
  slot.FPageNo = pageNo;
  slot.FStamp = FChangeStamp;
}

void TTdbBTree::StorePage(uint32_t pageNo, const std::vector<uint8_t>& page) {
  FStorage.WritePage(pageNo, page.data());
}

int TTdbBTree::LowerBound(const uint8_t* page, const uint8_t* item, bool& equal) const {
  int lo = 0;
  int hi = Count(page);
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (FCompare(ItemAt(page, mid + 1), item) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  equal = lo < Count(page) && FCompare(ItemAt(page, lo + 1), item) == 0;
  return lo;
}

}  // namespace kestrel
