// Primitive header encodings with bounds checks on every read.
#include "engine/table/header_bytes.h"

#include <algorithm>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/base/little_endian.h"

namespace kestrel {

namespace {

// Bytes fetched at least per request for more, so that a header is read in
// a few calls.
constexpr uint64_t kMoreChunk = 8192;
constexpr int kMaxInt16Count = 0x7FFF;

}  // namespace

TTdbHeaderReader::TTdbHeaderReader(std::span<const uint8_t> prefix, uint64_t fileSize,
                                   ITdbByteSource* more, std::string fileName)
    : FBuffer(prefix.begin(), prefix.end()),
      FFileSize(std::max<uint64_t>(fileSize, prefix.size())),
      FMore(more),
      FFileName(std::move(fileName)) {
  if (!FMore) FFileSize = FBuffer.size();
}

void TTdbHeaderReader::Damaged(const char* file, unsigned line) const {
  throw ETdbEngine(tdbErrUnknownVersion, FFileName).At(file, line);
}

const uint8_t* TTdbHeaderReader::Need(uint64_t count) {
  if (count > FFileSize || FPosition > FFileSize - count) Damaged();
  const uint64_t end = FPosition + count;
  if (end > FBuffer.size()) {
    const uint64_t want = std::min(FFileSize, std::max(end, FBuffer.size() + kMoreChunk));
    const size_t old = FBuffer.size();
    FBuffer.resize(static_cast<size_t>(want));
    FMore->ReadAt(old, std::span<uint8_t>(FBuffer).subspan(old));
  }
  const uint8_t* p = FBuffer.data() + FPosition;
  FPosition = end;
  return p;
}

void TTdbHeaderReader::Seek(uint64_t position) {
  if (position > FFileSize) Damaged();
  FPosition = position;
}

void TTdbHeaderReader::Skip(uint64_t count) {
  if (count > FFileSize || FPosition > FFileSize - count) Damaged();
  FPosition += count;
}

uint8_t TTdbHeaderReader::U8() { return *Need(1); }
int16_t TTdbHeaderReader::I16() { return LoadLE<int16_t>(Need(2)); }
uint16_t TTdbHeaderReader::U16() { return LoadLE<uint16_t>(Need(2)); }
int32_t TTdbHeaderReader::I32() { return LoadLE<int32_t>(Need(4)); }
uint32_t TTdbHeaderReader::U32() { return LoadLE<uint32_t>(Need(4)); }
double TTdbHeaderReader::F64() { return LoadLE<double>(Need(8)); }

std::vector<uint8_t> TTdbHeaderReader::Bytes(uint64_t count) {
  const uint8_t* p = Need(count);
  return std::vector<uint8_t>(p, p + count);
}

std::u16string TTdbHeaderReader::ShortString(int n) {
  const uint8_t* p = Need(static_cast<uint64_t>(n) + 1);
  if (p[0] > n) Damaged();
  return DecodeCodePage(std::string_view(reinterpret_cast<const char*>(p + 1), p[0]), kCodePageAnsi);
}

std::u16string TTdbHeaderReader::AnsiString() {
  const int16_t length = I16();
  if (length < 0) Damaged();
  const uint8_t* p = Need(static_cast<uint64_t>(length));
  return DecodeCodePage(std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(length)),
                        kCodePageAnsi);
}

std::u16string TTdbHeaderReader::WideString(int maxChars) {
  const int16_t length = I16();
  if (length < 0 || length > maxChars) Damaged();
  const uint8_t* p = Need(2 * static_cast<uint64_t>(length));
  std::u16string text(static_cast<size_t>(length), u'\0');
  for (int i = 0; i < length; ++i) text[static_cast<size_t>(i)] = LoadLE<char16_t>(p + 2 * i);
  return text;
}

std::u16string TTdbHeaderReader::FixedWideString(int n) {
  const uint64_t start = FPosition;
  std::u16string text = WideString(n);
  Seek(start);
  Skip(2 + 2 * static_cast<uint64_t>(n));
  return text;
}

void TTdbHeaderWriter::U8(uint8_t value) { FBytes.push_back(value); }

void TTdbHeaderWriter::I16(int16_t value) { U16(static_cast<uint16_t>(value)); }

void TTdbHeaderWriter::U16(uint16_t value) {
  uint8_t bytes[2];
  StoreLE(bytes, value);
  FBytes.insert(FBytes.end(), bytes, bytes + 2);
}

void TTdbHeaderWriter::I32(int32_t value) { U32(static_cast<uint32_t>(value)); }

void TTdbHeaderWriter::U32(uint32_t value) {
  uint8_t bytes[4];
  StoreLE(bytes, value);
  FBytes.insert(FBytes.end(), bytes, bytes + 4);
}

void TTdbHeaderWriter::F64(double value) {
  uint8_t bytes[8];
  StoreLE(bytes, value);
  FBytes.insert(FBytes.end(), bytes, bytes + 8);
}

void TTdbHeaderWriter::Raw(std::span<const uint8_t> bytes) { FBytes.insert(FBytes.end(), bytes.begin(), bytes.end()); }

void TTdbHeaderWriter::Zeros(size_t count) { FBytes.insert(FBytes.end(), count, uint8_t{0}); }

void TTdbHeaderWriter::PatchI32(size_t position, int32_t value) { StoreLE(FBytes.data() + position, value); }

void TTdbHeaderWriter::ShortString(std::u16string_view text, int n) {
  const std::string bytes = EncodeCodePage(text, kCodePageAnsi);
  if (bytes.size() > static_cast<size_t>(n)) throw ETdbEngine(tdbErrInvalidParameter, Utf16ToUtf8(text));
  U8(static_cast<uint8_t>(bytes.size()));
  FBytes.insert(FBytes.end(), bytes.begin(), bytes.end());
  Zeros(static_cast<size_t>(n) - bytes.size());
}

void TTdbHeaderWriter::AnsiString(std::u16string_view text) {
  const std::string bytes = EncodeCodePage(text, kCodePageAnsi);
  if (bytes.size() > static_cast<size_t>(kMaxInt16Count)) throw ETdbEngine(tdbErrInvalidParameter, FFileName);
  I16(static_cast<int16_t>(bytes.size()));
  FBytes.insert(FBytes.end(), bytes.begin(), bytes.end());
}

void TTdbHeaderWriter::WideString(std::u16string_view text) {
  if (text.size() > static_cast<size_t>(kMaxInt16Count)) throw ETdbEngine(tdbErrInvalidParameter, FFileName);
  I16(static_cast<int16_t>(text.size()));
  for (char16_t c : text) U16(c);
}

void TTdbHeaderWriter::FixedWideString(std::u16string_view text, int n) {
  if (text.size() > static_cast<size_t>(n)) throw ETdbEngine(tdbErrInvalidParameter, Utf16ToUtf8(text));
  WideString(text);
  Zeros(2 * (static_cast<size_t>(n) - text.size()));
}

}  // namespace kestrel
