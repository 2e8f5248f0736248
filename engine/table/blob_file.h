// TTdbBlobFile: bytes of Blob columns and UTF-16 texts of WideMemo columns.
//
// The first block of a value holds the Int32 total size at offset 4 and data
// from offset 8; following blocks hold data from offset 4. The block size
// comes from the file's header (0 means 4096; below 12 or above 65768 the
// file is damaged). A stored size that the chain cannot hold, a broken link
// or a cycle raise error 113 within the chain's length.
#pragma once

#include <string>

#include "engine/table/block_file.h"

namespace kestrel {
// Block size of a new blob file: the session's default unless it sets another.
inline constexpr int kDefaultBlobBlockSize = 512;
}  // namespace kestrel

namespace kestrel {

inline constexpr int kBlobSizeOffset = 4;       // Int32 size in a value's first block
inline constexpr int kBlobFirstDataOffset = 8;  // data in a value's first block

class TTdbBlobFile final : public TTdbBlockedBinaryFile {
 public:
  TTdbBlobFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor,
               std::string tableName);

  // The bytes of the value at blockIdx (empty for 0).
  std::string ReadString(std::int32_t blockIdx);
  // WriteData with the bytes of a string.
  std::int32_t WriteString(std::int32_t blockIdx, const std::string& bytes);
  // Frees the value at blockIdx (if any) and stores size bytes as a new
  // value. Answers the first block, or 0 for size 0. Error 113 on a damaged
  // file, 156 beyond the maximum.
  std::int32_t WriteData(std::int32_t blockIdx, const void* data, std::size_t size);
  // The stored total size of the value (0 for block 0).
  std::int64_t CalcBlobLength(std::int32_t blockIdx);
  // The first two data bytes as Int16 for a value of at least 2 bytes, else 0.
  std::int16_t ReadBlobType(std::int32_t blockIdx);

 protected:
  // Below level 5 a value ends with the block that completes its size.
  std::int32_t FindLastBlock(std::int32_t blockIdx) override;

 private:
  // Reads the first block into FWorkBlock and answers the checked size.
  std::int64_t ReadFirstBlock(std::int32_t blockIdx);
  // Number of blocks a value of size bytes occupies.
  std::int64_t BlocksFor(std::int64_t size) const;
};

}  // namespace kestrel
