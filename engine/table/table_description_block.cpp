// Level 5–6 description block and index name area.
#include "engine/table/table_description_block.h"

#include <memory>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/fs/clock.h"
#include "engine/table/table_file_names.h"

namespace kestrel {

namespace {

constexpr int kCheckPositionT = 7;
constexpr int kCheckPositionD = 24;
constexpr int kCheckPositionB = 37;
constexpr char16_t kEnumSeparator = u'\n';
constexpr char16_t kLinkSelf[] = u"@";

std::vector<std::u16string> SplitNames(const std::u16string& list) {
  std::vector<std::u16string> names;
  if (list.empty()) return names;
  size_t start = 0;
  for (;;) {
    const size_t end = list.find(kEnumSeparator, start);
    names.push_back(list.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start));
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  return names;
}

std::u16string JoinNames(const std::vector<std::u16string>& names) {
  std::u16string list;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) list += kEnumSeparator;
    list += names[i];
  }
  return list;
}

TTdbColumnDef ReadColumnEntry(TTdbHeaderReader& reader, int level) {
  const uint8_t code = reader.U8();
  if (!IsColumnTypeCode(code)) reader.Damaged();
  const TTdbColumnType type = static_cast<TTdbColumnType>(code);
  TTdbColumnDef column;
  column.Name = reader.WideString();
  column.Options = reader.U32();
  column.Size = reader.I16();
  column.Calculation = reader.WideString();
  const bool nullable = column.Options & kColumnOptionNullable;
  const bool nullByte = column.Options & kColumnOptionNullByte;
  try {
    switch (type) {
      case tctString:
      case tctWideString: {
        std::u16string collation = reader.WideString();
        const int maxLength = reader.I16();
        column.DataType = TTdbDataType::MakeString(type, nullable, maxLength, std::move(collation), level);
        break;
      }
      case tctMemo:
      case tctWideMemo:
        column.DataType = TTdbDataType::MakeString(type, nullable, 0, reader.WideString(), level);
        break;
      case tctFloat: column.DataType = TTdbDataType::MakeFloat(nullable, reader.U8(), level); break;
      case tctTime:
        column.DataType = TTdbDataType::MakeDateTime(type, nullable, reader.U8(), nullByte, level);
        break;
      case tctDate:
      case tctDateTime:
        column.DataType = TTdbDataType::MakeDateTime(type, nullable, kDefaultTimePrecision, nullByte, level);
        break;
      case tctEnum: column.DataType = TTdbDataType::MakeEnum(nullable, SplitNames(reader.WideString()), level); break;
      case tctLink:
      case tctRelation: {
        column.DataType = TTdbDataType::Make(type, nullable, level);
        const std::u16string linked = reader.WideString();
        column.LinkedTable = linked == kLinkSelf ? linked : Utf8ToUtf16(CalcStdTableName(Utf16ToUtf8(linked)));
        break;
      }
      default: column.DataType = TTdbDataType::Make(type, nullable, level); break;
    }
  } catch (const ETdbEngine& e) {
    if (e.Number() != tdbErrStringLength) throw;
    reader.Damaged();  // a length no column can have
  }
  if (column.Size != column.DataType.DataSize()) reader.Damaged();
  return column;
}

void WriteColumnEntry(TTdbHeaderWriter& writer, const TTdbColumnDef& column) {
  const TTdbDataType& type = column.DataType;
  writer.U8(type.ColumnType());
  writer.WideString(column.Name);
  writer.U32(column.Options);
  writer.I16(static_cast<int16_t>(column.Size));
  writer.WideString(column.Calculation);
  switch (type.ColumnType()) {
    case tctString:
    case tctWideString:
      writer.WideString(type.CollationName());
      writer.I16(static_cast<int16_t>(type.MaxLength()));
      break;
    case tctMemo:
    case tctWideMemo: writer.WideString(type.CollationName()); break;
    case tctFloat: writer.U8(static_cast<uint8_t>(type.Scale())); break;
    case tctTime: writer.U8(static_cast<uint8_t>(type.Precision())); break;
    case tctEnum: writer.WideString(JoinNames(type.EnumNames())); break;
    case tctLink:
    case tctRelation: writer.WideString(column.LinkedTable); break;
    default: break;
  }
}

int16_t ReadCount(TTdbHeaderReader& reader) {
  const int16_t count = reader.I16();
  if (count < 0) reader.Damaged();
  return count;
}

}  // namespace

TTdbRandom RandomOrDefault(const TTdbRandom& random) {
  if (random) return random;
  return [] { return static_cast<uint32_t>(DefaultClock().RandomBits()); };
}

std::u16string RandomCheckString(const TTdbRandom& random) {
  std::u16string text(kCheckStringLength, u'a');
  for (char16_t& c : text) c = static_cast<char16_t>(u'a' + random() % 26);
  return text;
}

void CheckTableLimits(const TTdbHeaderReader& reader, int columnCount, int recordSize, int32_t capacity) {
  if (columnCount < 1 || columnCount > kMaxColumnCount || recordSize < 1 || recordSize > kMaxRecordSize ||
      capacity < 1)
    reader.Damaged();
}

std::vector<std::u16string> ReadUnicodeIndexNames(TTdbHeaderReader& reader) {
  const uint64_t start = reader.Position();
  const int16_t count = reader.I16();
  if (count < 0 || count > kUnicodeIndexSlots) reader.Damaged();
  std::vector<std::u16string> names;
  for (int i = 0; i < count; ++i) {
    reader.Seek(start + 2 + static_cast<uint64_t>(i) * kUnicodeIndexSlotSize);
    names.push_back(reader.WideString(kUnicodeIndexNameMax));
  }
  reader.Seek(start);
  reader.Skip(kUnicodeIndexAreaSize);
  return names;
}

void WriteUnicodeIndexNames(TTdbHeaderWriter& writer, const std::vector<std::u16string>& names) {
  if (names.size() > static_cast<size_t>(kUnicodeIndexSlots)) throw ETdbEngine(tdbErrTooManyIndexes);
  writer.I16(static_cast<int16_t>(names.size()));
  for (const std::u16string& name : names) {
    if (name.size() > static_cast<size_t>(kUnicodeIndexNameMax))
      throw ETdbEngine(tdbErrInvalidIndexName, Utf16ToUtf8(name));
    writer.WideString(name);
    writer.Zeros(kUnicodeIndexSlotSize - 2 - 2 * name.size());
  }
  writer.Zeros((kUnicodeIndexSlots - names.size()) * kUnicodeIndexSlotSize);
}

void ReadDescriptionBlock(TTdbHeaderReader& block, TTdbTableHeader& header) {
  const int level = header.Level;
  // A wrong key decrypts to garbage: the check string is how that shows.
  const int16_t checkLength = block.I16();
  if (checkLength != kCheckStringLength) throw ETdbEngine(tdbErrCredentials);
  block.Seek(block.Position() - 2);
  const std::u16string check = block.WideString();
  if (check[kCheckPositionT] != u't' || check[kCheckPositionD] != u'd' || check[kCheckPositionB] != u'b')
    throw ETdbEngine(tdbErrCredentials);
  header.Password = TransformPassword16(block.FixedWideString(kPasswordFieldLength));
  header.CollationName = block.WideString();
  header.Capacity = block.I32();
  block.I32();
  const int recordSize = block.U16();
  block.I16();
  header.RecordIdIndexSpec = block.WideString();
  if (!header.RecordIdIndexSpec.empty()) header.UniqueIdInfo = block.U8();
  if (level >= 6) {
    const int16_t typeCount = ReadCount(block);
    for (int i = 0; i < typeCount; ++i) {
      TTdbTypeDef type;
      type.Name = block.WideString();
      type.TypeCode = block.I16();
      type.SuperTypeCode = block.I16();
      header.Types.push_back(std::move(type));
    }
  }
  const int columnCount = block.I16();
  CheckTableLimits(block, columnCount, recordSize, header.Capacity);
  for (int i = 0; i < columnCount; ++i) header.Columns.Add(ReadColumnEntry(block, level));
  if (header.Columns.RecordSize() != recordSize) block.Damaged();
  if (header.Columns.RecordIdIndex() < 0 && !header.RecordIdIndexSpec.empty()) block.Damaged();
  const int16_t keyCount = ReadCount(block);
  for (int i = 0; i < keyCount; ++i) {
    TTdbCandidateKeyDef key;
    key.Primary = block.U8() == 1;
    key.Name = block.WideString();
    key.Columns = block.WideString();
    header.KeyDefs.push_back(std::move(key));
  }
  const int16_t checkCount = ReadCount(block);
  for (int i = 0; i < checkCount; ++i) {
    TTdbCheckDef checkDef;
    checkDef.Name = block.WideString();
    checkDef.Condition = block.WideString();
    block.WideString();
    header.CheckDefs.push_back(std::move(checkDef));
  }
  const int16_t foreignCount = ReadCount(block);
  for (int i = 0; i < foreignCount; ++i) {
    TTdbForeignKeyDef rule;
    rule.Name = block.WideString();
    rule.Columns = block.WideString();
    rule.ParentTable = block.WideString();
    rule.ParentColumns = block.WideString();
    rule.UpdateAction = block.U8();
    rule.DeleteAction = block.U8();
    header.ForeignKeyDefs.push_back(std::move(rule));
  }
}

int32_t ReadStoredDescriptionBlock(TTdbHeaderReader& reader, const ITdbBlockCipher* cipher,
                                   TTdbTableHeader& header) {
  const int32_t blockLength = reader.I32();
  if (blockLength < 0) reader.Damaged();
  std::vector<uint8_t> block = reader.Bytes(static_cast<uint64_t>(blockLength));
  if (header.EncryptionMethod != emNone) {
    if (!cipher) throw ETdbEngine(tdbErrCredentials);
    cipher->DecryptBlock(block);
  }
  TTdbHeaderReader blockReader(block, block.size(), nullptr, reader.FileName());
  ReadDescriptionBlock(blockReader, header);
  return blockLength;
}

std::vector<uint8_t> WriteDescriptionBlock(const TTdbTableHeader& header, const std::string& fileName,
                                           const TTdbRandom& random) {
  TTdbHeaderWriter writer(fileName);
  std::u16string check = RandomCheckString(random);
  check[kCheckPositionT] = u't';
  check[kCheckPositionD] = u'd';
  check[kCheckPositionB] = u'b';
  writer.WideString(check);
  writer.FixedWideString(TransformPassword16(header.Password), kPasswordFieldLength);
  writer.WideString(header.CollationName);
  writer.I32(header.Capacity);
  writer.I32(0);
  writer.U16(static_cast<uint16_t>(header.RecordSize()));
  writer.I16(0);
  writer.WideString(header.RecordIdIndexSpec);
  if (!header.RecordIdIndexSpec.empty()) writer.U8(header.UniqueIdInfo);
  if (header.Level >= 6) {
    writer.I16(static_cast<int16_t>(header.Types.size()));
    for (const TTdbTypeDef& type : header.Types) {
      writer.WideString(type.Name);
      writer.I16(type.TypeCode);
      writer.I16(type.SuperTypeCode);
    }
  }
  writer.I16(static_cast<int16_t>(header.Columns.Count()));
  for (const TTdbColumnDef& column : header.Columns) WriteColumnEntry(writer, column);
  writer.I16(static_cast<int16_t>(header.KeyDefs.size()));
  for (const TTdbCandidateKeyDef& key : header.KeyDefs) {
    writer.U8(key.Primary ? 1 : 0);
    writer.WideString(key.Name);
    writer.WideString(key.Columns);
  }
  writer.I16(static_cast<int16_t>(header.CheckDefs.size()));
  for (const TTdbCheckDef& checkDef : header.CheckDefs) {
    writer.WideString(checkDef.Name);
    writer.WideString(checkDef.Condition);
    writer.WideString(u"");
  }
  writer.I16(static_cast<int16_t>(header.ForeignKeyDefs.size()));
  for (const TTdbForeignKeyDef& rule : header.ForeignKeyDefs) {
    writer.WideString(rule.Name);
    writer.WideString(rule.Columns);
    writer.WideString(rule.ParentTable);
    writer.WideString(rule.ParentColumns);
    writer.U8(rule.UpdateAction);
    writer.U8(rule.DeleteAction);
  }
  return std::move(writer.Bytes());
}

}  // namespace kestrel
