// B+ tree table file header: the fixed fields and the header area around
// the shared description block.
#include "engine/table/bplus_table_header.h"

#include <climits>

#include "engine/base/engine_error.h"
#include "engine/table/table_description_block.h"

namespace kestrel {

TTdbTableHeader ReadBPlusTableHeader(TTdbHeaderReader& reader, const ITdbBlockCipher* cipher) {
  reader.Seek(0);
  if (reader.FileSize() < kBPlusIndexAreaOffset || reader.U32() != kBPlusTableMagic) reader.Damaged();
  TTdbTableHeader header;
  header.Level = reader.I16();
  if (header.Level < kMinBPlusTableLevel || header.Level > kMaxTableLevel) reader.Damaged();
  header.NextRecordId = reader.I32();
  header.EncryptionMethod = EncryptionMethodFromCode(reader.U8());
  reader.Skip(kBPlusHdrItemCount);
  const uint32_t itemCount = reader.U32();
  if (itemCount > static_cast<uint32_t>(INT32_MAX)) reader.Damaged();
  header.RecordCount = header.StoredRecordCount = static_cast<int32_t>(itemCount);
  header.IndexNames = ReadUnicodeIndexNames(reader);
  ReadStoredDescriptionBlock(reader, cipher, header);
  header.RecordsOffset = reader.Position();
  if (header.RecordsOffset % kHeaderAlignment != 0) reader.Damaged();
  return header;
}

std::vector<uint8_t> WriteBPlusHeaderArea(const TTdbTableHeader& header, const std::string& fileName,
                                          uint32_t alignment, const ITdbBlockCipher* cipher,
                                          const TTdbRandom& random) {
  if (header.Level < kMinBPlusTableLevel || header.Level > kMaxTableLevel)
    throw ETdbEngine(tdbErrUnknownVersion, fileName);
  if (header.IndexNames.size() > static_cast<size_t>(MaxIndexNames(header.Level)))
    throw ETdbEngine(tdbErrTooManyIndexes);
  if (header.EncryptionMethod != emNone && !cipher) throw ETdbEngine(tdbErrInvalidPassword);
  std::vector<uint8_t> block = WriteDescriptionBlock(header, fileName, RandomOrDefault(random));
  const uint64_t blockOffset = kBPlusIndexAreaOffset + kUnicodeIndexAreaSize + 4;
  const uint64_t end = (blockOffset + block.size() + alignment - 1) / alignment * alignment;
  block.resize(end - blockOffset);
  if (header.EncryptionMethod != emNone) cipher->EncryptBlock(block);
  TTdbHeaderWriter writer(fileName);
  WriteUnicodeIndexNames(writer, header.IndexNames);
  writer.I32(static_cast<int32_t>(block.size()));
  writer.Raw(block);
  return std::move(writer.Bytes());
}

}  // namespace kestrel
