// TTdbMemoFile: texts of Memo columns in blocks of kMemoBlockSize bytes.
//
// A value is 8-bit text (the table's code page) stored from offset 4 of each
// block of its chain and ended by a byte 0 (a byte 26 also ends it when
// read). A line break is stored as the single byte 13. A text of n stored
// bytes occupies ceil((n + 1) / (kMemoBlockSize - 4)) blocks. Broken chains
// raise error 112 (see TTdbBlockedBinaryFile).
#pragma once

#include <string>
#include <vector>

#include "engine/table/block_file.h"

namespace kestrel {

inline constexpr int kMemoBlockSize = 256;
inline constexpr char kMemoLineBreak = 13;
inline constexpr char kMemoTerminator = 0;
inline constexpr char kMemoEndOfFile = 26;

class TTdbMemoFile final : public TTdbBlockedBinaryFile {
 public:
  TTdbMemoFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor,
               std::string tableName);

  // The text of the value at blockIdx (empty for 0): a stored 13 reads as
  // CR LF, or as one space when supressCrLf; a stored 10 reads as a space.
  // At most maxLen characters (no limit when negative).
  std::string ReadMemo(std::int32_t blockIdx, int maxLen, bool supressCrLf);
  // ReadMemo without limit, with line breaks.
  std::string ReadString(std::int32_t blockIdx);
  // Frees the value at blockIdx (if any) and stores text as a new value.
  // Line breaks (CR LF, LF, CR) are stored as 13. Answers the first block, or
  // 0 for an empty text. Error 112 on a damaged file, 156 beyond the maximum.
  std::int32_t WriteString(std::int32_t blockIdx, const std::string& text);
  // Length of the text as ReadMemo (with line breaks) answers it.
  std::int64_t CalcMemoLength(std::int32_t blockIdx);

 protected:
  // Below level 5 a value ends with the block that holds its terminator.
  std::int32_t FindLastBlock(std::int32_t blockIdx) override;

 private:
  // Calls visit(byte) for every stored text byte of the value until the
  // terminator or until visit answers false. Damage when the chain ends
  // first.
  template <typename Visit>
  void WalkText(std::int32_t blockIdx, Visit visit);

  std::vector<std::uint8_t> FStoredText;  // WriteString's stored form, kept so writes allocate nothing
};

}  // namespace kestrel
