// TTdbBlockedBinaryFile: the block management shared by memo and blob files.
//
// File layout: an array of blocks of B bytes, block n at n * B. Block 0 is
// the header (never encrypted): Int32 first free block at 0, Int32 last block
// at 4, Int32 block size at 8, the rest unused. Every other block is
// encrypted as a whole with the table's encryption and begins with Int32
// NextBlock: the next block of the same value (-1 in its last block) or, in a
// free block, the next free block. A first free block above the last block
// means that there is none and new blocks are appended.
//
// Chains are bounded: every link followed must lie in 1..last block, and a
// walk visits at most last-block blocks; a link outside, a cycle or a value
// that does not fit its chain marks the file damaged and raises the file's
// damage error (112 memo, 113 blob) with the table's name. A damaged file
// refuses writes until it is emptied or opened again; reads go on.
//
// Writing a value frees the old value first, so a rewrite reuses its blocks.
// After any error of a write the table object undoes the file (Undo), which
// reads block 0 again. A block file is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kestrel {

class TdwCryptor;
class TTdbClientStorage;
class TTdbStoragePageSite;

inline constexpr int kBlockFileNextFreeOffset = 0;
inline constexpr int kBlockFileLastBlockOffset = 4;
inline constexpr int kBlockFileBlockSizeOffset = 8;
inline constexpr int kBlockFileHeaderSize = 12;
inline constexpr int kBlockLinkOffset = 0;       // NextBlock of a data block
inline constexpr int kBlockDataOffset = 4;       // payload after the link
inline constexpr std::int32_t kEndOfChain = -1;  // NextBlock of a value's last block
inline constexpr std::int32_t kMaxBlockNo = 0x0FFFFFFF;
inline constexpr std::int32_t kBlockLinkMask = 0x0FFFFFFF;  // top 4 bits of links are ignored
// Page size of the client storage of block files (any block size fits).
inline constexpr int kBlockFilePageSize = 4096;
// From this table level on, a value's last block is found by its end link.
inline constexpr int kLevelWithChainEnds = 5;

class TTdbBlockedBinaryFile {
 public:
  // storage: closed client storage named for the file; owned. cryptor: the
  // table's key holder (not owned, outlives the file). tableName: named in
  // errors. damageError: engine error of a damaged file (112 or 113).
  TTdbBlockedBinaryFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor,
                        std::string tableName, bool fixedBlockSize, int damageError);
  TTdbBlockedBinaryFile(const TTdbBlockedBinaryFile&) = delete;
  TTdbBlockedBinaryFile& operator=(const TTdbBlockedBinaryFile&) = delete;
  virtual ~TTdbBlockedBinaryFile();

  // Creates the file with block size blockSize (ignored for fixed-size files)
  // and writes block 0. Error 3 on failure (the file is closed again).
  void NewFile(int blockSize);
  // Opens the file and reads block 0. A block size or header that does not
  // fit the file marks it damaged (the open succeeds). The page cache's
  // ETdbPMStorageNotFound / ETdbPMStorageAccessDenied pass through; a read
  // failure is error 2. The file is closed again after any failure.
  void Open(bool readOnly, bool exclusive);
  void Close();
  bool IsOpen() const;
  // Error 3 on failure.
  void Flush();
  // Discards unflushed changes and reads block 0 again.
  void Undo();
  // Drops the cache after another process changed the file; reads block 0.
  void Update();
  void UpdateDir();
  // Starts writing the file back to disk without waiting (see
  // TTdbClientStorage::StartWriteBack).
  void StartWriteBack() noexcept;
  // Frees every block: block 0 says no free and no used block, and the file
  // is cut to one block.
  void Empty();

  int GetBlockSize() const { return FBlockSize; }
  bool IsDamaged() const { return FDamaged; }
  std::int32_t GetNextBlock() const { return FNextBlock; }
  std::int32_t GetLastBlock() const { return FLastBlock; }
  // Table level: decides how a value's last block is found when freeing.
  void SetVersion(int version) { FVersion = version; }
  int GetVersion() const { return FVersion; }
  const std::string& FileName() const;

  // Frees the value starting at blockIdx (nothing for 0). Damage error on a
  // broken chain; refused on a damaged file.
  void FreeValue(std::int32_t blockIdx);
  // Whether a whole chain starts at blockIdx (its links stay inside the file
  // and end); looks only, never marks the file damaged.
  bool HoldsChain(std::int32_t blockIdx);

 protected:
  // Raises the file's damage error after marking it damaged.
  [[noreturn]] void Damage(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE());
  // Follows a link read from a block: answers the block number, or
  // kEndOfChain; a link outside 1..last block is damage.
  std::int32_t FollowLink(std::int32_t rawLink);
  // Reads / writes a whole data block (decrypted in memory).
  void ReadBlock(std::int32_t blockNo, std::vector<std::uint8_t>& block);
  void WriteBlock(std::int32_t blockNo, std::vector<std::uint8_t>& block);
  // Blocks for a new value of blockCount blocks, taken from the free list and
  // then appended; updates the free list state in memory. Error 156 beyond
  // the maximum, damage on a broken free list.
  std::vector<std::int32_t> AllocateBlocks(std::size_t blockCount);
  // Writes the chain: `stream` is cut into payloads of the block size less
  // the link, block i holds payload i after its link (the last one padded
  // with zeros); the links join the blocks in order and end with
  // kEndOfChain. Then rewrites block 0.
  void WriteChain(const std::vector<std::int32_t>& blocks, std::span<const std::uint8_t> stream);
  // Blocks a stream of `size` bytes takes.
  std::size_t ChainLength(std::size_t size) const;
  // Block numbers of the value at blockIdx, in order, following links until
  // kEndOfChain (bounded; damage on a broken chain).
  std::vector<std::int32_t> ChainBlocks(std::int32_t blockIdx);
  // Last block of the value, by the rule of the table level.
  virtual std::int32_t FindLastBlock(std::int32_t blockIdx);
  // Refuses writes to a damaged file.
  void CheckWritable();
  static std::int32_t LoadInt32(const std::uint8_t* bytes);
  static void StoreInt32(std::uint8_t* bytes, std::int32_t value);

  bool FDamaged = false;
  int FBlockSize = 0;
  int FVersion = kLevelWithChainEnds;
  std::int32_t FNextBlock = 1;
  std::int32_t FLastBlock = 0;
  std::vector<std::uint8_t> FWorkBlock;
  std::vector<std::uint8_t> FTempBlock;
  std::vector<std::uint8_t> FCipherBlock;  // an encrypted copy for WriteBlock
  std::vector<std::uint8_t> FChainImage;  // the stored blocks of WriteChain

 private:
  void ReadHeader();
  void WriteHeader();
  // Marks the file damaged when the header read does not fit the file.
  void CheckHeader();

  std::unique_ptr<TTdbClientStorage> FStorage;
  std::unique_ptr<TTdbStoragePageSite> FPage;
  TdwCryptor* FCryptor;
  std::string FTableName;
  bool FFixedBlockSize;
  int FDamageError;
};

}  // namespace kestrel
