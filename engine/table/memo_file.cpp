// TTdbMemoFile: memo texts in chains of 256-byte blocks.
#include "engine/table/memo_file.h"

#include <algorithm>
#include <cstring>

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"

namespace kestrel {

namespace {
bool EndsText(char byte) { return byte == kMemoTerminator || byte == kMemoEndOfFile; }
}  // namespace

TTdbMemoFile::TTdbMemoFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor,
                           std::string tableName)
    : TTdbBlockedBinaryFile(std::move(storage), cryptor, std::move(tableName), true,
                            tdbErrMemoDamaged) {
  FBlockSize = kMemoBlockSize;
}

template <typename Visit>
void TTdbMemoFile::WalkText(std::int32_t blockIdx, Visit visit) {
  std::int32_t current = FollowLink(blockIdx);
  if (current == kEndOfChain) Damage();
  for (std::int64_t steps = 0;; ++steps) {
    if (steps >= FLastBlock) Damage();  // more blocks than the file has: a cycle
    ReadBlock(current, FWorkBlock);
    for (int i = kBlockDataOffset; i < FBlockSize; ++i) {
      const char byte = static_cast<char>(FWorkBlock[i]);
      if (EndsText(byte) || !visit(byte)) return;
    }
    current = FollowLink(LoadInt32(&FWorkBlock[kBlockLinkOffset]));
    if (current == kEndOfChain) Damage();  // no terminator
  }
}

std::string TTdbMemoFile::ReadMemo(std::int32_t blockIdx, int maxLen, bool supressCrLf) {
  std::string text;
  if (blockIdx == 0 || maxLen == 0) return text;
  const std::size_t limit = maxLen < 0 ? std::string::npos : static_cast<std::size_t>(maxLen);
  WalkText(blockIdx, [&](char byte) {
    if (byte == kMemoLineBreak) {
      if (supressCrLf) {
        text += ' ';
      } else {
        text += "\r\n";
      }
    } else if (byte == '\n') {
      text += ' ';
    } else {
      text += byte;
    }
    if (text.size() >= limit) {
      text.resize(limit);
      return false;
    }
    return true;
  });
  return text;
}

std::string TTdbMemoFile::ReadString(std::int32_t blockIdx) {
  return ReadMemo(blockIdx, -1, false);
}

std::int64_t TTdbMemoFile::CalcMemoLength(std::int32_t blockIdx) {
  std::int64_t length = 0;
  if (blockIdx == 0) return 0;
  WalkText(blockIdx, [&](char byte) {
    length += byte == kMemoLineBreak ? 2 : 1;
    return true;
  });
  return length;
}

std::int32_t TTdbMemoFile::WriteString(std::int32_t blockIdx, const std::string& text) {
  CheckWritable();
  FreeValue(blockIdx);
  if (text.empty()) return 0;
  // Line breaks (CR LF, a lone CR or LF) are stored as one CR; the text
  // ends with the terminator.
  // Runs between line breaks are copied whole; memchr finds the next CR and
  // the next LF, each looked for again only once passed.
  std::vector<std::uint8_t>& stored = FStoredText;
  stored.resize(text.size() + 1);
  const char* in = text.data();
  const std::size_t size = text.size();
  std::uint8_t* out = stored.data();
  std::size_t n = 0;
  auto next = [&](char c, std::size_t from) {
    const void* at = from < size ? std::memchr(in + from, c, size - from) : nullptr;
    return at ? static_cast<std::size_t>(static_cast<const char*>(at) - in) : size;
  };
  std::size_t nextCr = next('\r', 0);
  std::size_t nextLf = next('\n', 0);
  for (std::size_t i = 0; i < size;) {
    const std::size_t brk = std::min(nextCr, nextLf);
    std::memcpy(out + n, in + i, brk - i);
    n += brk - i;
    if (brk == size) break;
    out[n++] = kMemoLineBreak;
    i = brk + (in[brk] == '\r' && brk + 1 < size && in[brk + 1] == '\n' ? 2 : 1);
    if (nextCr < i) nextCr = next('\r', i);
    if (nextLf < i) nextLf = next('\n', i);
  }
  out[n++] = kMemoTerminator;
  stored.resize(n);
  const std::vector<std::int32_t> blocks = AllocateBlocks(ChainLength(stored.size()));
  WriteChain(blocks, stored);
  return blocks.front();
}

std::int32_t TTdbMemoFile::FindLastBlock(std::int32_t blockIdx) {
  if (FVersion >= kLevelWithChainEnds) return TTdbBlockedBinaryFile::FindLastBlock(blockIdx);
  std::int32_t current = FollowLink(blockIdx);
  if (current == kEndOfChain) Damage();
  for (std::int64_t steps = 0;; ++steps) {
    if (steps >= FLastBlock) Damage();
    ReadBlock(current, FWorkBlock);
    for (int i = kBlockDataOffset; i < FBlockSize; ++i)
      if (EndsText(static_cast<char>(FWorkBlock[i]))) return current;
    current = FollowLink(LoadInt32(&FWorkBlock[kBlockLinkOffset]));
    if (current == kEndOfChain) Damage();
  }
}

}  // namespace kestrel
