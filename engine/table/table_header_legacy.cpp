// Level 1–4 table header codec.
#include "engine/table/table_header_legacy.h"

#include <algorithm>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/table/table_description_block.h"

namespace kestrel {

namespace {

constexpr uint64_t kLevel12IndexAreaOffset = 14;
constexpr uint64_t kLevel3IndexAreaOffset = 18;
constexpr uint64_t kLevel4IndexAreaOffset = 22;
constexpr uint64_t kLevel1IndexAreaSize = 67;
constexpr int kLegacyIndexSlotSize = 45;
constexpr int kLegacyIndexNameMax = 44;
constexpr int kCollationFieldLength = 3;
constexpr int kColumnNameLength = 40;
constexpr int kLinkNameLength12 = 35;
constexpr int kLevel3EntrySize = 54;
constexpr int kLevel12EntrySize = 46;
constexpr int kPasswordLength = 10;
constexpr int kEnumNameLength = 20;
constexpr int kOldFormulaLength = 255;
constexpr int kKeyCheckRecordSizePos = 7;
constexpr int kKeyCheckColumnCountPos = 31;
constexpr uint8_t kOldTimeMarker = 5;
constexpr int kOldTimeMinuteSizeLimit = 3;
constexpr int kMaxEnumValues = 255;
constexpr uint16_t kColumnCountMask = 0x7FFF;
constexpr int kMaxDuplicateNameLength = 40;
constexpr char16_t kMarkerFast[] = u"_en:td_";
constexpr char16_t kMarkerBlowfish[] = u"_en:bf_";
constexpr char16_t kMarkerRijndael[] = u"_en:rj_";

// Column entry as read, with what later sections need.
struct TRawColumn {
  TTdbColumnDef Column;
  TTdbColumnType Type = tctChar;
  int EnumCount = 0;
  int Precision = kDefaultTimePrecision;
  int Scale = 0;
};

bool IsLinkType(TTdbColumnType code) { return code == tctLink || code == tctRelation; }

// Splits "name(linked)" of level 1–3 Link and Relation entries.
void SplitLinkName(TTdbColumnDef& column) {
  const size_t open = column.Name.rfind(u'(');
  if (open == std::u16string::npos || column.Name.empty() || column.Name.back() != u')') return;
  column.LinkedTable = column.Name.substr(open + 1, column.Name.size() - open - 2);
  column.Name.resize(open);
}

TRawColumn ReadEntry4(TTdbHeaderReader& reader) {
  TRawColumn raw;
  raw.Column.Name = reader.AnsiString();
  const int16_t sizeMinusOne = reader.I16();
  const uint8_t code = reader.U8();
  uint32_t options = reader.U32();
  if (sizeMinusOne < 0) reader.Damaged();
  raw.Type = static_cast<TTdbColumnType>(code);
  raw.Column.Size = raw.Type == tctRelation ? 0 : sizeMinusOne + 1;
  if (options & kColumnOptionCurrentForm)
    options &= ~kColumnOptionCurrentForm;
  else
    options = ConvertOldOptions(options, raw.Type, 4);
  raw.Column.Options = options;
  if (IsLinkType(raw.Type)) raw.Column.LinkedTable = reader.AnsiString();
  if (raw.Type == tctFloat) raw.Scale = reader.I16();
  if (raw.Type == tctTime) raw.Precision = reader.I16();
  if (raw.Type == tctEnum) raw.EnumCount = reader.I16();
  return raw;
}

TRawColumn ReadOldEntry(TTdbHeaderReader& reader, int level) {
  const uint64_t start = reader.Position();
  const int entrySize = level == 3 ? kLevel3EntrySize : kLevel12EntrySize;
  const std::vector<uint8_t> entry = reader.Bytes(entrySize);
  TRawColumn raw;
  uint8_t code = 0;
  uint8_t oldOptions = 0;
  uint8_t extra = 0;
  if (level == 3) {
    code = entry[47];
    oldOptions = entry[48];
    extra = entry[45];
  } else {
    code = entry[45] & 0x0F;
    oldOptions = entry[45] >> 4;
    extra = entry[44];
  }
  raw.Type = static_cast<TTdbColumnType>(code);
  const bool shortLink = level < 3 && IsLinkType(raw.Type);
  reader.Seek(start + 2);
  raw.Column.Name = reader.ShortString(shortLink ? kLinkNameLength12 : kColumnNameLength);
  if (IsLinkType(raw.Type)) SplitLinkName(raw.Column);
  reader.Seek(start + entrySize);
  raw.Column.Size = raw.Type == tctRelation ? 0 : entry[43] + 1;
  raw.Column.Options = ConvertOldOptions(oldOptions, raw.Type, level);
  if (raw.Type == tctFloat) raw.Scale = extra;
  if (raw.Type == tctTime) raw.Precision = entry[43] < kOldTimeMinuteSizeLimit ? kMinutePrecision : 3;
  if (raw.Type == tctEnum) raw.EnumCount = extra;
  return raw;
}

// Builds the data type of an entry; 134 when the entry describes no type
// that fits its size.
void BuildType(TTdbHeaderReader& reader, TRawColumn& raw, int level) {
  if (!IsColumnTypeCode(raw.Type) || raw.EnumCount < 0 || raw.EnumCount > kMaxEnumValues) reader.Damaged();
  TTdbColumnDef& column = raw.Column;
  const bool nullable = column.Options & kColumnOptionNullable;
  const bool nullByte = column.Options & kColumnOptionNullByte;
  try {
    switch (raw.Type) {
      case tctString:
      case tctWideString:
        column.DataType = TTdbDataType::MakeStringFromSize(raw.Type, nullable, column.Size, u"", level);
        break;
      case tctMemo:
      case tctWideMemo: column.DataType = TTdbDataType::MakeString(raw.Type, nullable, 0, u"", level); break;
      case tctFloat: column.DataType = TTdbDataType::MakeFloat(nullable, raw.Scale, level); break;
      case tctDate:
      case tctTime:
      case tctDateTime:
        column.DataType = TTdbDataType::MakeDateTime(raw.Type, nullable, raw.Precision, nullByte, level);
        break;
      case tctEnum:
        column.DataType = TTdbDataType::MakeEnum(nullable, std::vector<std::u16string>(raw.EnumCount), level);
        break;
      default: column.DataType = TTdbDataType::Make(raw.Type, nullable, level); break;
    }
  } catch (const ETdbEngine& e) {
    if (e.Number() != tdbErrStringLength) throw;
    reader.Damaged();
  }
  if (column.Size != column.DataType.DataSize()) reader.Damaged();
}

bool SameName(const std::u16string& a, const std::u16string& b) {
  UErrorCode status = U_ZERO_ERROR;
  return u_strCaseCompare(a.data(), static_cast<int32_t>(a.size()), b.data(), static_cast<int32_t>(b.size()),
                          U_FOLD_CASE_DEFAULT, &status) == 0;
}

bool NameTaken(const std::vector<TRawColumn>& columns, const std::u16string& name) {
  return std::any_of(columns.begin(), columns.end(), [&](const TRawColumn& c) { return SameName(c.Column.Name, name); });
}

// Gives every column after the first of a name "<name>_<n>".
void MakeNamesUnique(std::vector<TRawColumn>& columns) {
  for (size_t i = 1; i < columns.size(); ++i) {
    std::u16string& name = columns[i].Column.Name;
    bool duplicate = false;
    for (size_t j = 0; j < i && !duplicate; ++j) duplicate = SameName(columns[j].Column.Name, name);
    if (!duplicate) continue;
    for (int n = 2;; ++n) {
      const std::u16string suffix = u"_" + Utf8ToUtf16(std::to_string(n));
      std::u16string candidate = name.substr(0, std::min(name.size(), kMaxDuplicateNameLength - suffix.size())) + suffix;
      if (!NameTaken(columns, candidate)) {
        name = std::move(candidate);
        break;
      }
    }
  }
}

TdwEncryptionMethod MethodFromPassword(const std::u16string& password) {
  if (password.empty()) return emNone;
  if (password == kMarkerFast) return emFast;
  if (password == kMarkerBlowfish) return emBlowfish;
  if (password == kMarkerRijndael) return emRijndael;
  return emProtection;  // the table object tells classic keys apart below level 4
}

std::u16string PasswordFieldOf(const TTdbTableHeader& header) {
  switch (header.EncryptionMethod) {
    case emNone: return u"";
    case emFast: return kMarkerFast;
    case emBlowfish: return kMarkerBlowfish;
    case emRijndael: return kMarkerRijndael;
    default: return header.Password;
  }
}

void ReadKeyCheck(TTdbHeaderReader& reader, TTdbTableHeader& header, int recordSize, int columnCount,
                  const ITdbBlockCipher* cipher) {
  if (reader.I16() != kCheckStringLength) reader.Damaged();
  std::vector<uint8_t> block = reader.Bytes(2 * kCheckStringLength);
  if (header.EncryptionMethod != emNone) {
    if (!cipher) {
      header.KeyVerified = false;
      return;
    }
    cipher->DecryptBlock(block);
  }
  TTdbHeaderReader chars(block, block.size(), nullptr, reader.FileName());
  chars.Seek(2 * kKeyCheckRecordSizePos);
  const int storedRecordSize = chars.U16();
  chars.Seek(2 * kKeyCheckColumnCountPos);
  const int storedColumnCount = chars.U16();
  if (storedRecordSize != recordSize || storedColumnCount != columnCount) throw ETdbEngine(tdbErrCredentials);
}

void ReadTrailer(TTdbHeaderReader& reader, TTdbTableHeader& header, std::vector<TRawColumn>& raws,
                 int recordSize, int columnCountField, const ITdbBlockCipher* cipher) {
  const int level = header.Level;
  // The field is transformed as bytes, before the code page applies.
  const std::vector<uint8_t> field = reader.Bytes(kPasswordLength + 1);
  if (field[0] > kPasswordLength) reader.Damaged();
  const std::string transformed =
      TransformPassword8(std::string_view(reinterpret_cast<const char*>(field.data() + 1), field[0]));
  header.Password = DecodeCodePage(transformed, kCodePageAnsi);
  header.EncryptionMethod = MethodFromPassword(header.Password);
  if (level == 4) ReadKeyCheck(reader, header, recordSize, columnCountField, cipher);
  for (TRawColumn& raw : raws) {
    if (raw.Type != tctEnum) continue;
    std::vector<std::u16string> names;
    for (int i = 0; i < raw.EnumCount; ++i) names.push_back(reader.ShortString(kEnumNameLength));
    raw.Column.DataType = TTdbDataType::MakeEnum(raw.Column.DataType.Nullable(), std::move(names), level);
  }
  if (level < 4) {
    for (TRawColumn& raw : raws)
      if (raw.Column.Options & kColumnOptionRecompute) raw.Column.Calculation = reader.ShortString(kOldFormulaLength);
  } else {
    const int16_t count = reader.I16();
    if (count < 0 || count > static_cast<int>(raws.size())) reader.Damaged();
    for (int i = 0; i < count; ++i) {
      const int16_t number = reader.I16();
      if (number < 1 || number > static_cast<int>(raws.size())) reader.Damaged();
      raws[static_cast<size_t>(number - 1)].Column.Calculation = reader.WideString();
    }
  }
  for (TRawColumn& raw : raws) {
    if (!(raw.Column.Options & kColumnOptionRange)) continue;
    TTdbRangeBounds range;
    range.B_von = reader.F64();
    range.B_bis = reader.F64();
    raw.Column.Range = range;
  }
  if (level == 4) {
    const int16_t keyCount = reader.I16();
    if (keyCount < 0) reader.Damaged();
    for (int i = 0; i < keyCount; ++i) {
      TTdbCandidateKeyDef key;
      key.Primary = reader.U8() == 1;
      key.Name = reader.AnsiString();
      key.Columns = reader.AnsiString();
      header.KeyDefs.push_back(std::move(key));
    }
    const int16_t checkCount = reader.I16();
    if (checkCount < 0) reader.Damaged();
    for (int i = 0; i < checkCount; ++i) {
      TTdbCheckDef check;
      check.Name = reader.AnsiString();
      check.Condition = reader.WideString();
      header.CheckDefs.push_back(std::move(check));
    }
    const int16_t ruleCount = reader.I16();
    if (ruleCount < 0) reader.Damaged();
    for (int i = 0; i < ruleCount; ++i) {
      TTdbForeignKeyDef rule;
      rule.Name = reader.AnsiString();
      rule.ParentTable = reader.AnsiString();
      rule.ParentColumns = reader.WideString();
      rule.Columns = reader.WideString();
      reader.U8();
      rule.UpdateAction = reader.U8();
      rule.DeleteAction = reader.U8();
      header.ForeignKeyDefs.push_back(std::move(rule));
    }
  }
}

void WriteOldEntry(TTdbHeaderWriter& writer, const TTdbColumnDef& column, int level) {
  const TTdbDataType& type = column.DataType;
  const TTdbColumnType code = type.ColumnType();
  const int entrySize = level == 3 ? kLevel3EntrySize : kLevel12EntrySize;
  const size_t start = writer.Position();
  writer.Zeros(2);
  std::u16string name = column.Name;
  if (IsLinkType(code)) {
    name += u"(" + column.LinkedTable + u")";
    name.resize(std::min<size_t>(name.size(), level == 3 ? kColumnNameLength : kLinkNameLength12));
  }
  writer.ShortString(name, level < 3 && IsLinkType(code) ? kLinkNameLength12 : kColumnNameLength);
  writer.Zeros(start + 43 - writer.Position());
  uint8_t extra = 0;
  if (code == tctFloat) extra = static_cast<uint8_t>(type.Scale());
  if (code == tctTime) extra = kOldTimeMarker;
  if (code == tctEnum) extra = static_cast<uint8_t>(type.EnumNames().size());
  writer.U8(code == tctRelation ? 0 : static_cast<uint8_t>(column.Size - 1));
  const uint8_t options = ReduceToOldOptions(column.Options);
  if (level == 3) {
    writer.U8(0);
    writer.U8(extra);
    writer.U8(0);
    writer.U8(code);
    writer.U8(options);
  } else {
    writer.U8(extra);
    writer.U8(static_cast<uint8_t>(options << 4 | code));
  }
  writer.Zeros(start + entrySize - writer.Position());
}

void WriteEntry4(TTdbHeaderWriter& writer, const TTdbColumnDef& column) {
  const TTdbDataType& type = column.DataType;
  const TTdbColumnType code = type.ColumnType();
  writer.AnsiString(column.Name);
  writer.I16(static_cast<int16_t>(code == tctRelation ? 0 : column.Size - 1));
  writer.U8(code);
  writer.U32(column.Options | kColumnOptionCurrentForm);
  if (IsLinkType(code)) writer.AnsiString(column.LinkedTable);
  if (code == tctFloat) writer.I16(static_cast<int16_t>(type.Scale()));
  if (code == tctTime) writer.I16(static_cast<int16_t>(type.Precision()));
  if (code == tctEnum) writer.I16(static_cast<int16_t>(type.EnumNames().size()));
}

void CheckLegacyColumns(const TTdbTableHeader& header, const std::string& fileName) {
  for (const TTdbColumnDef& column : header.Columns) {
    const TTdbColumnType code = column.DataType.ColumnType();
    const bool fitsCode = header.Level >= 3 || code <= tctTime;
    const bool fitsSize = header.Level == 4 || column.Size <= 256;
    const bool fitsEnum = column.DataType.EnumNames().size() <= static_cast<size_t>(kMaxEnumValues);
    if (!fitsCode || !fitsSize || !fitsEnum)
      throw ETdbEngine(tdbErrLevelFeature, fileName, std::string(ColumnTypeName(code)) + " column \"" +
                                                         Utf16ToUtf8(column.Name) + "\"");
  }
}

}  // namespace

uint64_t LegacyIndexAreaOffset(int level) {
  if (level <= 2) return kLevel12IndexAreaOffset;
  return level == 3 ? kLevel3IndexAreaOffset : kLevel4IndexAreaOffset;
}

int LegacyIndexSlots(int level) {
  if (level == 1) return static_cast<int>((kLevel1IndexAreaSize - 2) / kLegacyIndexSlotSize);
  return level <= 3 ? 15 : 50;
}

uint64_t LegacyIndexAreaSize(int level) {
  if (level == 1) return kLevel1IndexAreaSize;
  return 2 + static_cast<uint64_t>(LegacyIndexSlots(level)) * kLegacyIndexSlotSize;
}

TTdbTableHeader ReadLegacyHeader(TTdbHeaderReader& reader, TTdbTableHeader header, const ITdbBlockCipher* cipher) {
  const int level = header.Level;
  if (level >= 3) header.CollationName = reader.ShortString(kCollationFieldLength);
  header.RecordCount = reader.I32();
  if (header.RecordCount < 0) reader.Damaged();
  header.StoredRecordCount = header.RecordCount;
  const int recordSize = reader.U16();
  int columnCount = reader.U16() & kColumnCountMask;
  header.Capacity = level == 4 ? reader.I32() : kDefaultCapacity;
  CheckTableLimits(reader, columnCount, recordSize, header.Capacity);

  const uint64_t areaStart = reader.Position();
  const int16_t nameCount = reader.I16();
  if (nameCount < 0 || nameCount > LegacyIndexSlots(level)) reader.Damaged();
  for (int i = 0; i < nameCount; ++i) header.IndexNames.push_back(reader.ShortString(kLegacyIndexNameMax));
  reader.Seek(areaStart);
  reader.Skip(LegacyIndexAreaSize(level));

  std::vector<TRawColumn> raws;
  const int entries = columnCount;
  for (int i = 0; i < entries; ++i) {
    TRawColumn raw = level == 4 ? ReadEntry4(reader) : ReadOldEntry(reader, level);
    if (raw.Type == tctObsolete14 || raw.Type == tctObsolete15) {
      --columnCount;
      continue;
    }
    if (raw.Column.Name.empty()) raw.Column.Name = u"Column" + Utf8ToUtf16(std::to_string(raws.size() + 2));
    BuildType(reader, raw, level);
    raws.push_back(std::move(raw));
  }
  int sum = 0;
  for (const TRawColumn& raw : raws) sum += raw.Column.Size;
  if (raws.empty() || static_cast<int>(raws.size()) != columnCount || sum != recordSize) reader.Damaged();

  ReadTrailer(reader, header, raws, recordSize, entries, cipher);
  const bool hasRecordId =
      std::any_of(raws.begin(), raws.end(), [](const TRawColumn& raw) { return raw.Type == tctRecordId; });
  if (hasRecordId) {
    const std::vector<uint8_t> vector = reader.Bytes(kRecordIdIndexVectorSize);
    std::copy(vector.begin(), vector.end(), header.RecordIdIndexVector.begin());
    header.NextRecordId = reader.I32();
  }
  MakeNamesUnique(raws);
  for (TRawColumn& raw : raws) header.Columns.Add(std::move(raw.Column));

  header.RecordsOffset = reader.Position();
  const uint64_t complete = (reader.FileSize() - header.RecordsOffset) / static_cast<uint64_t>(recordSize);
  if (complete < static_cast<uint64_t>(header.RecordCount)) {
    header.RecordCount = static_cast<int32_t>(complete);
    header.RecordCountLowered = true;
  }
  return header;
}

void WriteLegacyIndexNames(TTdbHeaderWriter& writer, int level, const std::vector<std::u16string>& names) {
  if (names.size() > static_cast<size_t>(LegacyIndexSlots(level))) throw ETdbEngine(tdbErrTooManyIndexes);
  const size_t start = writer.Position();
  writer.I16(static_cast<int16_t>(names.size()));
  for (const std::u16string& name : names) writer.ShortString(name, kLegacyIndexNameMax);
  writer.Zeros(start + LegacyIndexAreaSize(level) - writer.Position());
}

std::vector<uint8_t> WriteLegacyHeader(const TTdbTableHeader& header, const std::string& fileName,
                                       const ITdbBlockCipher* cipher, const TTdbRandom& random) {
  const int level = header.Level;
  const TdwEncryptionMethod method = header.EncryptionMethod;
  if (level <= 3 && method >= emClassic5) throw ETdbEngine(tdbErrLevelFeature, fileName, "Strong encryption");
  if (level == 4 && (method == emClassic1 || method == emClassic5))
    throw ETdbEngine(tdbErrLevelFeature, fileName, "Classic encryption");
  if (method == emClassic1 && header.Password.empty()) throw ETdbEngine(tdbErrInvalidPassword);
  if (level == 4 && method != emNone && !cipher) throw ETdbEngine(tdbErrInvalidPassword);
  CheckLegacyColumns(header, fileName);

  TTdbHeaderWriter writer(fileName);
  writer.U32(kHeapTableMagic);
  writer.I16(static_cast<int16_t>(level));
  if (level >= 3) writer.ShortString(header.CollationName, kCollationFieldLength);
  writer.I32(header.RecordCount);
  writer.U16(static_cast<uint16_t>(header.RecordSize()));
  writer.U16(static_cast<uint16_t>(header.Columns.Count()));
  if (level == 4) writer.I32(header.Capacity);
  WriteLegacyIndexNames(writer, level, header.IndexNames);
  for (const TTdbColumnDef& column : header.Columns) {
    if (level == 4)
      WriteEntry4(writer, column);
    else
      WriteOldEntry(writer, column, level);
  }

  std::u16string password = PasswordFieldOf(header);
  if (level < 4) {
    UErrorCode status = U_ZERO_ERROR;
    std::u16string upper(password.size() * 2 + 4, u'\0');
    const int32_t length = u_strToUpper(upper.data(), static_cast<int32_t>(upper.size()), password.data(),
                                        static_cast<int32_t>(password.size()), "", &status);
    if (U_SUCCESS(status)) password = upper.substr(0, static_cast<size_t>(length));
  }
  std::string bytes = EncodeCodePage(password, kCodePageAnsi);
  bytes.resize(std::min<size_t>(bytes.size(), kPasswordLength));
  const std::string field = TransformPassword8(bytes);
  writer.U8(static_cast<uint8_t>(field.size()));
  writer.Raw(std::span(reinterpret_cast<const uint8_t*>(field.data()), field.size()));
  writer.Zeros(kPasswordLength - field.size());

  if (level == 4) {
    std::u16string check = RandomCheckString(random);
    check[kKeyCheckRecordSizePos] = static_cast<char16_t>(header.RecordSize());
    check[kKeyCheckColumnCountPos] = static_cast<char16_t>(header.Columns.Count());
    TTdbHeaderWriter chars(fileName);
    for (char16_t c : check) chars.U16(c);
    if (method != emNone) cipher->EncryptBlock(chars.Bytes());
    writer.I16(kCheckStringLength);
    writer.Raw(chars.Bytes());
  }
  for (const TTdbColumnDef& column : header.Columns)
    for (const std::u16string& name : column.DataType.EnumNames()) writer.ShortString(name, kEnumNameLength);
  if (level < 4) {
    for (const TTdbColumnDef& column : header.Columns)
      if (column.Options & kColumnOptionRecompute) writer.ShortString(column.Calculation, kOldFormulaLength);
  } else {
    int16_t count = 0;
    for (const TTdbColumnDef& column : header.Columns) count += column.Calculation.empty() ? 0 : 1;
    writer.I16(count);
    for (size_t i = 0; i < header.Columns.Count(); ++i) {
      if (header.Columns[i].Calculation.empty()) continue;
      writer.I16(static_cast<int16_t>(i + 1));
      writer.WideString(header.Columns[i].Calculation);
    }
  }
  for (const TTdbColumnDef& column : header.Columns) {
    if (!(column.Options & kColumnOptionRange)) continue;
    const TTdbRangeBounds range = column.Range.value_or(TTdbRangeBounds{});
    writer.F64(range.B_von);
    writer.F64(range.B_bis);
  }
  if (level == 4) {
    writer.I16(static_cast<int16_t>(header.KeyDefs.size()));
    for (const TTdbCandidateKeyDef& key : header.KeyDefs) {
      writer.U8(key.Primary ? 1 : 0);
      writer.AnsiString(key.Name);
      writer.AnsiString(key.Columns);
    }
    writer.I16(static_cast<int16_t>(header.CheckDefs.size()));
    for (const TTdbCheckDef& check : header.CheckDefs) {
      writer.AnsiString(check.Name);
      writer.WideString(check.Condition);
    }
    writer.I16(static_cast<int16_t>(header.ForeignKeyDefs.size()));
    for (const TTdbForeignKeyDef& rule : header.ForeignKeyDefs) {
      writer.AnsiString(rule.Name);
      writer.AnsiString(rule.ParentTable);
      writer.WideString(rule.ParentColumns);
      writer.WideString(rule.Columns);
      writer.U8(rule.UpdateAction);
      writer.U8(rule.UpdateAction);
      writer.U8(rule.DeleteAction);
    }
  }
  if (header.Columns.RecordIdIndex() >= 0) {
    writer.Raw(header.RecordIdIndexVector);
    writer.I32(header.NextRecordId);
  }
  return std::move(writer.Bytes());
}

}  // namespace kestrel
