// TTdbBlockedBinaryFile: header block, bounded chain walks, allocation from
// the free list, freeing values.
#include "engine/table/block_file.h"

#include <algorithm>
#include <unordered_set>

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_site.h"
#include "engine/cache/paged_bytes.h"
#include "engine/crypto/cryptor.h"

namespace kestrel {

namespace {
constexpr int kMinBlockSize = kBlockFileHeaderSize;  // block 0 must hold the header
constexpr int kMaxBlockSize = 65768;
constexpr int kZeroBlockSizeMeans = 4096;  // a stored block size of 0
}  // namespace

TTdbBlockedBinaryFile::TTdbBlockedBinaryFile(std::unique_ptr<TTdbClientStorage> storage,
                                             TdwCryptor& cryptor, std::string tableName,
                                             bool fixedBlockSize, int damageError)
    : FStorage(std::move(storage)),
      FPage(FStorage->CreatePageSite()),
      FCryptor(&cryptor),
      FTableName(std::move(tableName)),
      FFixedBlockSize(fixedBlockSize),
      FDamageError(damageError) {}

TTdbBlockedBinaryFile::~TTdbBlockedBinaryFile() = default;

const std::string& TTdbBlockedBinaryFile::FileName() const { return FStorage->Name(); }
bool TTdbBlockedBinaryFile::IsOpen() const { return FStorage->IsOpen(); }

std::int32_t TTdbBlockedBinaryFile::LoadInt32(const std::uint8_t* bytes) {
  return static_cast<std::int32_t>(std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                   std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
}

void TTdbBlockedBinaryFile::StoreInt32(std::uint8_t* bytes, std::int32_t value) {
  const auto raw = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(raw >> (8 * i));
}

void TTdbBlockedBinaryFile::Damage(const char* file, unsigned line) {
  FDamaged = true;
  throw ETdbEngine(FDamageError, FTableName).At(file, line);
}

void TTdbBlockedBinaryFile::CheckWritable() {
  if (FDamaged) throw ETdbEngine(FDamageError, FTableName);
}

// ---------------------------------------------------------------- lifecycle

void TTdbBlockedBinaryFile::NewFile(int blockSize) {
  if (!FFixedBlockSize) {
    if (blockSize < kMinBlockSize || blockSize > kMaxBlockSize)
      throw ETdbEngine(tdbErrInvalidParameter, "BlobBlockSize");
    FBlockSize = blockSize;
  }
  try {
    FStorage->SetPageSize(kBlockFilePageSize);
    FStorage->NewStorage();
    FDamaged = false;
    FNextBlock = 1;
    FLastBlock = 0;
    std::vector<std::uint8_t> header(static_cast<std::size_t>(FBlockSize), 0);
    StoreInt32(&header[kBlockFileNextFreeOffset], FNextBlock);
    StoreInt32(&header[kBlockFileLastBlockOffset], FLastBlock);
    StoreInt32(&header[kBlockFileBlockSizeOffset], FBlockSize);
    WritePagedBytes(*FPage, 0, header.data(), header.size());
  } catch (const ETdbEngine&) {
    if (FStorage->IsOpen()) {
      FStorage->Undo();
      FStorage->Close();
    }
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
  FWorkBlock.assign(static_cast<std::size_t>(FBlockSize), 0);
  FTempBlock.assign(static_cast<std::size_t>(FBlockSize), 0);
}

void TTdbBlockedBinaryFile::Open(bool readOnly, bool exclusive) {
  FStorage->SetPageSize(kBlockFilePageSize);
  FStorage->Open(readOnly, exclusive);
  FDamaged = false;
  try {
    ReadHeader();
  } catch (const ETdbEngine&) {
    FStorage->Close();
    throw ETdbEngine(tdbErrReadFile, FileName());
  }
}

void TTdbBlockedBinaryFile::ReadHeader() {
  const std::int64_t size = FStorage->GetSize();
  if (size < kBlockFileHeaderSize) {
    FDamaged = true;
    FNextBlock = 1;
    FLastBlock = 0;
  } else {
    std::uint8_t header[kBlockFileHeaderSize];
    ReadPagedBytes(*FPage, 0, header, kBlockFileHeaderSize);
    FNextBlock = LoadInt32(&header[kBlockFileNextFreeOffset]);
    FLastBlock = LoadInt32(&header[kBlockFileLastBlockOffset]);
    if (!FFixedBlockSize) {
      FBlockSize = LoadInt32(&header[kBlockFileBlockSizeOffset]);
      if (FBlockSize == 0) FBlockSize = kZeroBlockSizeMeans;
    }
    CheckHeader();
  }
  FWorkBlock.assign(static_cast<std::size_t>(FBlockSize), 0);
  FTempBlock.assign(static_cast<std::size_t>(FBlockSize), 0);
}

void TTdbBlockedBinaryFile::CheckHeader() {
  const std::int64_t size = FStorage->GetSize();
  if (FBlockSize < kMinBlockSize || FBlockSize > kMaxBlockSize) {
    // Nothing of the file can be found without its block size.
    FDamaged = true;
    FBlockSize = kZeroBlockSizeMeans;
    FLastBlock = 0;
    FNextBlock = 1;
    return;
  }
  const std::int64_t blocksInFile = size / FBlockSize;
  if (FLastBlock < 0 || FLastBlock >= blocksInFile) {
    FDamaged = true;
    FLastBlock =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(blocksInFile - 1, 0, kMaxBlockNo));
  }
  if (FNextBlock == 0) FDamaged = true;  // block 0 is the header, never free
}

void TTdbBlockedBinaryFile::WriteHeader() {
  std::uint8_t header[kBlockFileHeaderSize];
  StoreInt32(&header[kBlockFileNextFreeOffset], FNextBlock);
  StoreInt32(&header[kBlockFileLastBlockOffset], FLastBlock);
  StoreInt32(&header[kBlockFileBlockSizeOffset], FBlockSize);
  try {
    WritePagedBytes(*FPage, 0, header, kBlockFileHeaderSize);
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

void TTdbBlockedBinaryFile::Close() {
  try {
    FStorage->Close();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

void TTdbBlockedBinaryFile::Flush() {
  try {
    FStorage->Flush();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

void TTdbBlockedBinaryFile::Undo() {
  FStorage->Undo();
  try {
    ReadHeader();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrReadFile, FileName());
  }
}

void TTdbBlockedBinaryFile::Update() {
  FStorage->Invalidate();
  try {
    ReadHeader();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrReadFile, FileName());
  }
}

void TTdbBlockedBinaryFile::UpdateDir() {
  try {
    FStorage->UpdateDir();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

void TTdbBlockedBinaryFile::StartWriteBack() noexcept {
  if (FStorage) FStorage->StartWriteBack();
}

void TTdbBlockedBinaryFile::Empty() {
  FDamaged = false;
  FNextBlock = 1;
  FLastBlock = 0;
  WriteHeader();
  FStorage->SetPageCount((FBlockSize + kBlockFilePageSize - 1) / kBlockFilePageSize);
}

// ---------------------------------------------------------------- blocks

void TTdbBlockedBinaryFile::ReadBlock(std::int32_t blockNo, std::vector<std::uint8_t>& block) {
  block.resize(static_cast<std::size_t>(FBlockSize));
  try {
    ReadPagedBytes(*FPage, static_cast<std::int64_t>(blockNo) * FBlockSize, block.data(),
                   block.size());
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrReadFile, FileName());
  }
  if (TTdbEncryption* encryption = FCryptor->Encryption())
    encryption->DecryptBlock(block.data(), block.size());
}

void TTdbBlockedBinaryFile::WriteBlock(std::int32_t blockNo, std::vector<std::uint8_t>& block) {
  const std::uint8_t* stored = block.data();
  if (TTdbEncryption* encryption = FCryptor->Encryption()) {
    FCipherBlock.assign(block.begin(), block.end());
    encryption->EncryptBlock(FCipherBlock.data(), FCipherBlock.size());
    stored = FCipherBlock.data();
  }
  try {
    WritePagedBytes(*FPage, static_cast<std::int64_t>(blockNo) * FBlockSize, stored, block.size());
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

std::int32_t TTdbBlockedBinaryFile::FollowLink(std::int32_t rawLink) {
  if (rawLink == kEndOfChain) return kEndOfChain;
  const std::int32_t blockNo = rawLink & kBlockLinkMask;
  if (blockNo < 1 || blockNo > FLastBlock) Damage();
  return blockNo;
}

std::vector<std::int32_t> TTdbBlockedBinaryFile::ChainBlocks(std::int32_t blockIdx) {
  std::vector<std::int32_t> blocks;
  std::int32_t current = FollowLink(blockIdx);
  if (current == kEndOfChain) Damage();
  while (current != kEndOfChain) {
    // A chain longer than the file has blocks runs in a cycle.
    if (static_cast<std::int64_t>(blocks.size()) >= FLastBlock) Damage();
    blocks.push_back(current);
    ReadBlock(current, FWorkBlock);
    current = FollowLink(LoadInt32(&FWorkBlock[kBlockLinkOffset]));
  }
  return blocks;
}

std::int32_t TTdbBlockedBinaryFile::FindLastBlock(std::int32_t blockIdx) {
  return ChainBlocks(blockIdx).back();
}

std::vector<std::int32_t> TTdbBlockedBinaryFile::AllocateBlocks(std::size_t blockCount) {
  CheckWritable();
  std::vector<std::int32_t> blocks;
  std::unordered_set<std::int32_t> taken;
  while (blocks.size() < blockCount) {
    if (FNextBlock > kMaxBlockNo) throw ETdbEngine(tdbErrMemoBlobTooLarge, FTableName);
    std::int32_t block;
    if (FNextBlock < 0 || FNextBlock > FLastBlock) {
      if (FLastBlock >= kMaxBlockNo) throw ETdbEngine(tdbErrMemoBlobTooLarge, FTableName);
      block = FLastBlock + 1;
      FLastBlock = block;
      FNextBlock = block + 1;
    } else {
      block = FNextBlock;
      bool broken = block < 1 || taken.count(block) > 0;
      if (!broken) {
        ReadBlock(block, FTempBlock);
        const std::int32_t next = LoadInt32(&FTempBlock[kBlockLinkOffset]);
        broken = next < 1 || next > FLastBlock + 1;
        FNextBlock = next;
        // Only free-list blocks can come round again (a cycle); appended
        // ones are new.
        taken.insert(block);
      }
      if (broken) {
        // Append from now on, so that no used block is handed out again.
        FNextBlock = FLastBlock + 1;
        Damage();
      }
    }
    blocks.push_back(block);
  }
  return blocks;
}

std::size_t TTdbBlockedBinaryFile::ChainLength(std::size_t size) const {
  const std::size_t payload = static_cast<std::size_t>(FBlockSize - kBlockDataOffset);
  return (size + payload - 1) / payload;
}

void TTdbBlockedBinaryFile::WriteChain(const std::vector<std::int32_t>& blocks,
                                       std::span<const std::uint8_t> stream) {
  const auto blockSize = static_cast<std::size_t>(FBlockSize);
  const std::size_t payload = blockSize - kBlockDataOffset;
  FChainImage.assign(blocks.size() * blockSize, 0);
  TTdbEncryption* encryption = FCryptor->Encryption();
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    std::uint8_t* block = FChainImage.data() + i * blockSize;
    const std::size_t at = std::min(stream.size(), i * payload);
    StoreInt32(block + kBlockLinkOffset, i + 1 < blocks.size() ? blocks[i + 1] : kEndOfChain);
    std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(at), std::min(payload, stream.size() - at),
                block + kBlockDataOffset);
    if (encryption) encryption->EncryptBlock(block, blockSize);
  }
  // Runs of consecutive blocks (appended ones) go to the cache in one write.
  for (std::size_t first = 0; first < blocks.size();) {
    std::size_t end = first + 1;
    while (end < blocks.size() && blocks[end] == blocks[end - 1] + 1) ++end;
    try {
      WritePagedBytes(*FPage, static_cast<std::int64_t>(blocks[first]) * FBlockSize,
                      FChainImage.data() + first * blockSize, (end - first) * blockSize);
    } catch (const ETdbEngine&) {
      throw ETdbEngine(tdbErrWriteFile, FileName());
    }
    first = end;
  }
  WriteHeader();
}

void TTdbBlockedBinaryFile::FreeValue(std::int32_t blockIdx) {
  if (blockIdx == 0) return;
  CheckWritable();
  const std::int32_t first = FollowLink(blockIdx);
  if (first == kEndOfChain) Damage();
  const std::int32_t last = FindLastBlock(first);
  ReadBlock(last, FWorkBlock);
  StoreInt32(&FWorkBlock[kBlockLinkOffset], FNextBlock);
  WriteBlock(last, FWorkBlock);
  FNextBlock = first;
  WriteHeader();
}

bool TTdbBlockedBinaryFile::HoldsChain(std::int32_t blockIdx) {
  const bool damaged = FDamaged;
  try {
    ChainBlocks(blockIdx);
    return true;
  } catch (const ETdbEngine&) {
    FDamaged = damaged;
    return false;
  }
}

}  // namespace kestrel
