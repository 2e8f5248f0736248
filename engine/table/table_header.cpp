// Table header codec: recognition, dispatch by level, the level 5–6 fixed
// fields, in-place positions and the password transformation.
#include "engine/table/table_header.h"

#include <algorithm>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/base/little_endian.h"
#include "engine/table/table_description_block.h"
#include "engine/table/table_header_legacy.h"

namespace kestrel {

namespace {

constexpr int kFirstUnicodeLevel = 5;
// Room left after the description block before the records begin.
constexpr uint64_t kHeaderSpare = 16384;

TTdbTableHeader ReadUnicodeHeader(TTdbHeaderReader& reader, TTdbTableHeader header,
                                  const ITdbBlockCipher* cipher) {
  header.EncryptionMethod = EncryptionMethodFromCode(reader.U8());
  header.RecordCount = reader.I32();
  if (header.RecordCount < 0) reader.Damaged();
  header.StoredRecordCount = header.RecordCount;
  reader.I32();
  header.NextRecordId = reader.I32();
  reader.I32();
  header.IndexNames = ReadUnicodeIndexNames(reader);
  const int32_t blockLength = ReadStoredDescriptionBlock(reader, cipher, header);
  header.RecordsOffset = kUnicodeBlockOffset + static_cast<uint64_t>(blockLength);
  return header;
}

std::vector<uint8_t> WriteUnicodeHeader(const TTdbTableHeader& header, const std::string& fileName,
                                        const ITdbBlockCipher* cipher, const TTdbRandom& random) {
  if (header.EncryptionMethod == emClassic1 || header.EncryptionMethod == emClassic5)
    throw ETdbEngine(tdbErrLevelFeature, fileName, "Classic encryption");
  if (header.EncryptionMethod != emNone && !cipher) throw ETdbEngine(tdbErrInvalidPassword);
  std::vector<uint8_t> block = WriteDescriptionBlock(header, fileName, random);
  const uint64_t recordsOffset =
      kHeaderAlignment * ((kUnicodeBlockOffset + block.size() + kHeaderSpare) / kHeaderAlignment);
  block.resize(recordsOffset - kUnicodeBlockOffset);
  if (header.EncryptionMethod != emNone) cipher->EncryptBlock(block);

  TTdbHeaderWriter writer(fileName);
  writer.U32(kHeapTableMagic);
  writer.I16(static_cast<int16_t>(header.Level));
  writer.U8(EncryptionCodeOf(header.EncryptionMethod));
  writer.I32(header.RecordCount);
  writer.I32(0);
  writer.I32(header.NextRecordId);
  writer.I32(0);
  WriteUnicodeIndexNames(writer, header.IndexNames);
  writer.I32(static_cast<int32_t>(block.size()));
  writer.Raw(block);
  return std::move(writer.Bytes());
}

// Refuses headers whose columns do not fit: counts, sizes, positions.
void CheckColumnsForWrite(const TTdbTableHeader& header) {
  const int count = static_cast<int>(header.Columns.Count());
  const int recordSize = header.RecordSize();
  if (count < 1 || count > kMaxColumnCount || recordSize < 1 || recordSize > kMaxRecordSize)
    throw ETdbEngine(tdbErrTooManyColumns);
  for (const TTdbColumnDef& column : header.Columns) {
    const TTdbColumnType code = column.DataType.ColumnType();
    const bool blockRef = code == tctMemo || code == tctBlob || code == tctWideMemo;
    const int expected = blockRef ? kBlockRefSize : column.DataType.DataSize();
    if (column.Size != expected || column.DataType.Level() != header.Level)
      throw ETdbEngine(tdbErrInvalidParameter, Utf16ToUtf8(column.Name));
  }
}

}  // namespace

TTdbTableFileKind TableFileKind(std::span<const uint8_t> firstBytes) {
  if (firstBytes.size() >= 4 && LoadLE<uint32_t>(firstBytes.data()) == kBPlusTableMagic) return tfkBPlusTree;
  return tfkHeap;
}

TTdbTableHeader ReadTableHeader(TTdbHeaderReader& reader, const ITdbBlockCipher* cipher) {
  reader.Seek(0);
  if (reader.FileSize() < 4 || reader.U32() != kHeapTableMagic) throw ETdbEngine(tdbErrOldVersion);
  TTdbTableHeader header;
  header.Level = reader.I16();
  if (header.Level < kMinTableLevel || header.Level > kMaxTableLevel) reader.Damaged();
  if (header.Level >= kFirstUnicodeLevel) return ReadUnicodeHeader(reader, std::move(header), cipher);
  return ReadLegacyHeader(reader, std::move(header), cipher);
}

std::vector<uint8_t> WriteTableHeader(const TTdbTableHeader& header, const std::string& fileName,
                                      const ITdbBlockCipher* cipher, const TTdbRandom& random) {
  if (header.Level < kMinTableLevel || header.Level > kMaxTableLevel)
    throw ETdbEngine(tdbErrUnknownVersion, fileName);
  if (header.IndexNames.size() > static_cast<size_t>(MaxIndexNames(header.Level)))
    throw ETdbEngine(tdbErrTooManyIndexes);
  CheckColumnsForWrite(header);
  const TTdbRandom source = RandomOrDefault(random);
  if (header.Level >= kFirstUnicodeLevel) return WriteUnicodeHeader(header, fileName, cipher, source);
  return WriteLegacyHeader(header, fileName, cipher, source);
}

std::vector<uint8_t> WriteIndexNameArea(int level, const std::vector<std::u16string>& names,
                                        const std::string& fileName) {
  if (names.size() > static_cast<size_t>(MaxIndexNames(level))) throw ETdbEngine(tdbErrTooManyIndexes);
  TTdbHeaderWriter writer(fileName);
  if (level >= kFirstUnicodeLevel)
    WriteUnicodeIndexNames(writer, names);
  else
    WriteLegacyIndexNames(writer, level, names);
  return std::move(writer.Bytes());
}

uint64_t RecordCountOffset(int level) {
  if (level >= kFirstUnicodeLevel) return kUnicodeRecordCountOffset;
  return level >= 3 ? kLegacyRecordCountOffset34 : kLegacyRecordCountOffset12;
}

uint64_t IndexNameAreaOffset(int level) {
  if (level >= kFirstUnicodeLevel) return kUnicodeIndexAreaOffset;
  return LegacyIndexAreaOffset(level);
}

uint64_t NextRecordIdOffset(const TTdbTableHeader& header) {
  if (header.Level >= kFirstUnicodeLevel) return kUnicodeNextRecordIdOffset;
  return header.Columns.RecordIdIndex() >= 0 && header.RecordsOffset >= 4 ? header.RecordsOffset - 4 : 0;
}

int MaxIndexNames(int level) {
  if (level >= 4) return kUnicodeIndexSlots;
  return LegacyIndexSlots(level);
}

std::u16string TransformPassword16(std::u16string_view password) {
  std::u16string result(password.rbegin(), password.rend());
  for (char16_t& c : result) c = static_cast<char16_t>(~c);
  return result;
}

std::string TransformPassword8(std::string_view password) {
  std::string result(password.rbegin(), password.rend());
  for (char& c : result) c = static_cast<char>(~static_cast<unsigned char>(c));
  return result;
}

}  // namespace kestrel
