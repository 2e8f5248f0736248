// Bounds-checked reading and plain writing of the primitive encodings of
// table headers: little-endian integers, binary64, ShortString[n],
// AnsiString, WideString and FixedWideString[n].
//
// TTdbHeaderReader reads sequentially from the bytes the caller has read and
// asks an ITdbByteSource for more when a field lies beyond them. Every read
// is checked against the file size first: a field that would run past the
// end of the file, a negative count or a count above its field raises
// ETdbEngine tdbErrUnknownVersion with the file name, so no read ever leaves the buffer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrel {

// Supplies bytes of a file beyond what the caller read first.
class ITdbByteSource {
 public:
  virtual ~ITdbByteSource() = default;
  // Copies dest.size() bytes from `offset` into dest. The range lies inside
  // the size the reader was given. Throws ETdbEngine (2) on a read failure.
  virtual void ReadAt(uint64_t offset, std::span<uint8_t> dest) = 0;
};

class TTdbHeaderReader {
 public:
  // `prefix`: the first bytes of the file; `fileSize`: its length (at least
  // prefix.size()); `more`: where the rest comes from (may be null when the
  // prefix is the whole file); `fileName`: for error messages (UTF-8).
  TTdbHeaderReader(std::span<const uint8_t> prefix, uint64_t fileSize, ITdbByteSource* more,
                   std::string fileName);

  uint64_t Position() const { return FPosition; }
  uint64_t FileSize() const { return FFileSize; }
  const std::string& FileName() const { return FFileName; }
  void Seek(uint64_t position);
  void Skip(uint64_t count);

  uint8_t U8();
  int16_t I16();
  uint16_t U16();
  int32_t I32();
  uint32_t U32();
  double F64();
  // `count` bytes as they are.
  std::vector<uint8_t> Bytes(uint64_t count);

  // ShortString[n]: length byte (at most n), n bytes, 8-bit code page text.
  std::u16string ShortString(int n);
  // AnsiString: Int16 byte count, bytes (code page).
  std::u16string AnsiString();
  // WideString: Int16 character count, UTF-16LE. `maxChars` bounds the count.
  std::u16string WideString(int maxChars = 0x7FFF);
  // FixedWideString[n].
  std::u16string FixedWideString(int n);

  // Raises ETdbEngine tdbErrUnknownVersion with the file name; debug builds
  // record the caller's file and line (the check that found the damage).
  [[noreturn]] void Damaged(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE()) const;

 private:
  const uint8_t* Need(uint64_t count);

  std::vector<uint8_t> FBuffer;  // bytes 0 .. FBuffer.size() of the file
  uint64_t FFileSize;
  ITdbByteSource* FMore;
  std::string FFileName;
  uint64_t FPosition = 0;
};

class TTdbHeaderWriter {
 public:
  explicit TTdbHeaderWriter(std::string fileName) : FFileName(std::move(fileName)) {}

  std::vector<uint8_t>& Bytes() { return FBytes; }
  size_t Position() const { return FBytes.size(); }

  void U8(uint8_t value);
  void I16(int16_t value);
  void U16(uint16_t value);
  void I32(int32_t value);
  void U32(uint32_t value);
  void F64(double value);
  void Raw(std::span<const uint8_t> bytes);
  void Zeros(size_t count);
  // Stores a little-endian Int32 at an earlier position.
  void PatchI32(size_t position, int32_t value);

  // The string writers raise ETdbEngine tdbErrInvalidParameter when a text does not fit its
  // field; callers cut texts first where the format says to cut.
  void ShortString(std::u16string_view text, int n);
  void AnsiString(std::u16string_view text);
  void WideString(std::u16string_view text);
  void FixedWideString(std::u16string_view text, int n);

 private:
  std::vector<uint8_t> FBytes;
  std::string FFileName;
};

}  // namespace kestrel
