// `TTdbIndexFile`: one index of one table on its page storage. It picks the
// tree format from the file's signature, keeps the index definition and the
// item count in the header page's description, and turns every failure of a
// tree operation into the engine error of that operation:
//   open 28 (37 for a missing file), find and step 91, insert 90 (171 at the
//   page limit, 4 for an item too large for a B+ tree page), delete 5, new
//   file 4, bulk build as the item source raises it (52 for anything that is
//   not an engine error).
//
// Variable-size definitions at table level 6 are kept in a B+ tree, whose
// items are stored with their actual length; all others in a B-tree.
//
// The item count changes only when an item was really added or removed.
// Sequence numbers are clamped to the item count.
//
// A damaged file is error 95 with the file's name, so the owner can offer to
// rebuild it: damage the tree finds while reading or changing, and damage
// that shows while stepping: an item that does not sort after (before) the
// one stepped from or before the one searched for, an item just delivered
// that the tree no longer finds, and a walk between the first and the last
// item that delivers more or fewer items than the item count. A walk is the
// chain of steps each going on from the item the one before delivered; any
// change of the tree ends it, so it costs one comparison and one copy per
// step. The order is checked only when the table's texts compare with the
// standard collation: an index built elsewhere under a locale collation may
// disagree with ours in places and still serve (check reports it).
//
// Used under the table's read, upgrade and write locks; one operation at a
// time (the tree keeps a shared search path).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/index/bplus_tree.h"
#include "engine/index/btree.h"
#include "engine/index/index_columns.h"
#include "engine/index/index_key.h"
#include "engine/index/index_page_io.h"
#include "engine/index/sort_def.h"

namespace kestrel {

class TTdbBPlusBulkBuilder;

// Delivers the next item of a bulk build into `item`; false when there are no
// more.
using TTdbIndexItemSource = std::function<bool(std::vector<uint8_t>& item)>;
// Progress of a long operation: `done` of `total`.
using TTdbIndexProgress = std::function<void(int64_t done, int64_t total)>;

class TTdbIndexFile {
 public:
  // `table` must outlive the index file; `name` is the index name (messages).
  TTdbIndexFile(ITdbIndexPageIo& storage, const TTdbIndexTable& table, std::u16string name);
  TTdbIndexFile(const TTdbIndexFile&) = delete;
  TTdbIndexFile& operator=(const TTdbIndexFile&) = delete;

  // `SetIndexDefinition`: the definition for a new file. Throws ETdbEngine tdbErrTooManyLevels
  // when it has more levels than the table level allows, 117 for a
  // variable-size definition below table level 6.
  void SetIndexDefinition(TTdbSortDef def);
  const TTdbSortDef& Definition() const { return FIndexDef; }
  const TTdbIndexComparer& Comparer() const { return FComparer; }
  const std::u16string& Name() const { return FName; }
  // The file's name for the damaged-index error (the index name until set).
  void SetFileName(std::string fileName) { FFileName = std::move(fileName); }
  const std::string& FileName() const { return FFileName.empty() ? FNameUtf8 : FFileName; }
  uint16_t Version() const { return FVersion; }

  // Kind and key rules the table keeps for the index. A primary index is
  // also unique; automatic indexes (link and constraint indexes) are kept by
  // the engine, not by the user.
  void SetKind(TTdbIndexKind kind) { FKind = kind; }
  TTdbIndexKind GetKind() const { return FKind; }
  void SetPrimary(bool primary) { FIsPrimary = primary; }
  bool GetMustBeUnique() const { return FIndexDef.IsUnique || FIsPrimary; }
  bool GetIsAutomatic() const { return FKind == tikAdl || FKind == tikConstraint; }

  // `CalcPageSizeForCapacity`: page size for a table of `capacity` records.
  uint32_t CalcPageSizeForCapacity(int64_t capacity) const;

  // `NewStorage`: creates an empty index file of the table's level with
  // the set definition. Throws ETdbEngine tdbErrIndexInsert.
  void NewStorage(uint32_t pageSize);
  // `Open`: reads the header and the stored definition (which replaces the
  // one set). Throws ETdbEngine tdbErrFileNotFound for an empty storage, 28 for a damaged or
  // unsupported file; IsLost() is then true.
  void Open();
  // `ReadStoredDefinition`: the definition in the header page of a file
  // that may not open (a tree header that does not fit the file); the file
  // stays closed. Throws ETdbEngine tdbErrIndexInconsistent when the
  // description cannot be read either.
  TTdbSortDef ReadStoredDefinition();
  // `Close`: flushes and forgets the tree. Throws ETdbEngine tdbErrCloseFile.
  void Close();
  void Flush();
  // `Update`: forgets the kept search path and re-reads the header and the
  // item count after another program changed the file. Throws ETdbEngine tdbErrReadIndex.
  void Update();
  bool IsOpen() const { return FIsOpen; }
  bool IsLost() const { return FIsLost; }

  // Find and step; results are TTdbTreeResult values. The item goes in and
  // comes back in `key` (resized to the item size). Throw ETdbEngine
  // tdbErrReadIndex when the file cannot be read, tdbErrIndexCorrupt for
  // damage (see above).
  int Erster_Index(std::vector<uint8_t>& key);
  int Letzter_Index(std::vector<uint8_t>& key);
  int Naechster_Index(std::vector<uint8_t>& key);
  int Vorheriger_Index(std::vector<uint8_t>& key);
  int Suche_Index(std::vector<uint8_t>& key);

  // Hands the items from the first not sorting before `from` to `visit` in
  // index order, in runs of consecutive items (see TTdbItemRunVisitor),
  // until it answers false or the items end. A B-tree is read in place, a
  // page at a time, its order checked at the runs' ends; a B+ tree is
  // stepped, one item a run. Ends any walk of the stepping calls. Throws
  // ETdbEngine tdbErrReadIndex when the file cannot be read,
  // tdbErrIndexCorrupt for damage (the order, more items than the count,
  // a walk longer than the tree); what `visit` throws passes unchanged.
  void VisitRuns(const std::vector<uint8_t>& from, const TTdbItemRunVisitor& visit);

  // `Add_Index`: false when the same item was already there.
  bool Add_Index(const uint8_t* item);
  // `Loesche_Index`: false when the item was not there.
  bool Loesche_Index(const uint8_t* item);
  // `Clear_Index`: no items, count 0.
  void Clear_Index();
  // `BulkInsert`: inserts the items `source` delivers; progress (0, count)
  // first, every 1000 items, and (count, count) at the end.
  void BulkInsert(int64_t count, const TTdbIndexItemSource& source, const TTdbIndexProgress& progress);

  uint32_t GetItemCount() const { return FItemCount; }
  uint32_t GetIndSize() const { return FIndexDef.FSize; }
  // Position of the first item not before `item`, 1..item count (0 when empty).
  int64_t CalcItemSequenceNo(const uint8_t* item);
  // Walks the tree (see TTdbBTree::Check). Throws ETdbEngine tdbErrReadIndex,
  // tdbErrIndexCorrupt.
  void Check(int64_t& itemCount, int64_t& wrongSortCount);

  // The tree (tests and the table's maintenance use it): Tree() of a
  // B-tree file, BPlusTree() of a B+ tree file (nullptr otherwise).
  TTdbBTree& Tree() { return *FTree; }
  TTdbBPlusTree* BPlusTree() { return FBPlusTree.get(); }

 private:
  // A walk along the index (see above): its direction (+1 forward, -1
  // backward, 0 not yet known after a search), the items it delivered, and
  // its first item, unless it began at the first (last) item.
  struct TWalk {
    bool Active = false;
    int Direction = 0;
    uint32_t Count = 0;
    bool FromEdge = false;
    std::vector<uint8_t> Start;
  };

  void RequireOpen(int errorNo) const;
  [[noreturn]] void Corrupt(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE()) const;
  // Keeps `key`, padded to the item size, as the item last delivered.
  void Remember(const std::vector<uint8_t>& key);
  // Forgets the last item and ends the walk (the tree changed).
  void Forget() noexcept;
  // Whether FGiven is the item last delivered.
  bool GivenIsLast() const;
  // Bookkeeping of a step by `direction` from FGiven that answered `result`.
  int Stepped(int result, const std::vector<uint8_t>& key, int direction);
  // A walk reached the end in `direction`: its length against the item count.
  void WalkEnded(int direction);
  void WriteItemCount();
  void KeepItemCount(TTdbBPlusBulkBuilder* builder) noexcept;
  void OpenBPlusTree(uint16_t version);
  template <typename TOperation>
  auto Guard(int errorNo, TOperation operation);
  // Runs `operation` on the open tree, whichever kind it is.
  template <typename TOperation>
  auto OnTree(TOperation operation);
  bool UsesBPlusTree() const { return FVersion >= kFirstBPlusLevel && FIndexDef.IsVarSize; }
  std::unique_ptr<TTdbBPlusTree> MakeBPlusTree();
  // The description area in the header page.
  uint8_t* UserArea();
  size_t UserAreaSize();
  void WriteHeaderPage();

  static constexpr uint16_t kFirstBPlusLevel = 6;

  ITdbIndexPageIo& FStorage;
  const TTdbIndexTable& FTable;
  std::u16string FName;
  std::string FNameUtf8;
  uint16_t FVersion;
  TTdbSortDef FIndexDef;
  TTdbIndexComparer FComparer;
  std::unique_ptr<TTdbBTree> FTree;
  std::unique_ptr<TTdbBPlusTree> FBPlusTree;
  uint32_t FItemCount = 0;
  TTdbIndexKind FKind = tikUser;
  bool FIsPrimary = false;
  bool FIsOpen = false;
  bool FIsLost = false;
  bool FCheckOrder = true;  // the order of the items is ours wherever they were made
  // The given item of a find or step, padded to the item size (kept, so a
  // scan allocates nothing per step).
  std::vector<uint8_t> FGiven;
  std::string FFileName;
  std::vector<uint8_t> FLast;  // the item last delivered, padded; empty when none
  TWalk FWalk;
  std::vector<uint8_t> FEdge;  // scratch for the end of a walk
};

}  // namespace kestrel
