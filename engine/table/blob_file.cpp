// TTdbBlobFile: byte values in chains of blocks of the file's block size.
#include "engine/table/blob_file.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"

namespace kestrel {

TTdbBlobFile::TTdbBlobFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor,
                           std::string tableName)
    : TTdbBlockedBinaryFile(std::move(storage), cryptor, std::move(tableName), false,
                            tdbErrBlobDamaged) {}

std::int64_t TTdbBlobFile::BlocksFor(std::int64_t size) const {
  const std::int64_t firstData = FBlockSize - kBlobFirstDataOffset;
  const std::int64_t nextData = FBlockSize - kBlockDataOffset;
  if (size <= firstData) return 1;
  return 1 + (size - firstData + nextData - 1) / nextData;
}

std::int64_t TTdbBlobFile::ReadFirstBlock(std::int32_t blockIdx) {
  const std::int32_t first = FollowLink(blockIdx);
  if (first == kEndOfChain) Damage();
  ReadBlock(first, FWorkBlock);
  const std::int64_t size = LoadInt32(&FWorkBlock[kBlobSizeOffset]);
  // The value cannot use more blocks than the file has.
  if (size < 0 || BlocksFor(size) > FLastBlock) Damage();
  return size;
}

std::string TTdbBlobFile::ReadString(std::int32_t blockIdx) {
  if (blockIdx == 0) return {};
  const std::int64_t size = ReadFirstBlock(blockIdx);
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(size));
  std::int64_t take = std::min<std::int64_t>(size, FBlockSize - kBlobFirstDataOffset);
  bytes.append(reinterpret_cast<const char*>(&FWorkBlock[kBlobFirstDataOffset]),
               static_cast<std::size_t>(take));
  // The size bound above also bounds this walk; a block met twice is a cycle.
  std::unordered_set<std::int32_t> visited{FollowLink(blockIdx)};
  while (static_cast<std::int64_t>(bytes.size()) < size) {
    const std::int32_t next = FollowLink(LoadInt32(&FWorkBlock[kBlockLinkOffset]));
    if (next == kEndOfChain || !visited.insert(next).second) Damage();
    ReadBlock(next, FWorkBlock);
    take = std::min<std::int64_t>(size - static_cast<std::int64_t>(bytes.size()),
                                  FBlockSize - kBlockDataOffset);
    bytes.append(reinterpret_cast<const char*>(&FWorkBlock[kBlockDataOffset]),
                 static_cast<std::size_t>(take));
  }
  return bytes;
}

std::int32_t TTdbBlobFile::WriteString(std::int32_t blockIdx, const std::string& bytes) {
  return WriteData(blockIdx, bytes.data(), bytes.size());
}

std::int32_t TTdbBlobFile::WriteData(std::int32_t blockIdx, const void* data, std::size_t size) {
  CheckWritable();
  FreeValue(blockIdx);
  if (size == 0) return 0;
  if (size > static_cast<std::size_t>(INT32_MAX))
    throw ETdbEngine(tdbErrMemoBlobTooLarge, FileName());
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  // The stream is the value's size (the first block's field after the
  // link) followed by its bytes.
  std::vector<std::uint8_t> stream(kBlobFirstDataOffset - kBlockDataOffset + size);
  StoreInt32(stream.data(), static_cast<std::int32_t>(size));
  std::copy_n(bytes, size, stream.begin() + (kBlobFirstDataOffset - kBlockDataOffset));
  const std::vector<std::int32_t> blocks = AllocateBlocks(ChainLength(stream.size()));
  WriteChain(blocks, stream);
  return blocks.front();
}

std::int64_t TTdbBlobFile::CalcBlobLength(std::int32_t blockIdx) {
  return blockIdx == 0 ? 0 : ReadFirstBlock(blockIdx);
}

std::int16_t TTdbBlobFile::ReadBlobType(std::int32_t blockIdx) {
  if (blockIdx == 0 || ReadFirstBlock(blockIdx) < 2) return 0;
  return static_cast<std::int16_t>(FWorkBlock[kBlobFirstDataOffset] |
                                   FWorkBlock[kBlobFirstDataOffset + 1] << 8);
}

std::int32_t TTdbBlobFile::FindLastBlock(std::int32_t blockIdx) {
  if (FVersion >= kLevelWithChainEnds) return TTdbBlockedBinaryFile::FindLastBlock(blockIdx);
  std::int32_t current = FollowLink(blockIdx);
  const std::int64_t blocks = BlocksFor(ReadFirstBlock(blockIdx));
  std::unordered_set<std::int32_t> visited{current};
  for (std::int64_t i = 1; i < blocks; ++i) {
    current = FollowLink(LoadInt32(&FWorkBlock[kBlockLinkOffset]));
    if (current == kEndOfChain || !visited.insert(current).second) Damage();
    ReadBlock(current, FWorkBlock);
  }
  return current;
}

}  // namespace kestrel
