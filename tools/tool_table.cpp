// Opening tables for the kestrel tool and the text form of column values.
#include "tools/tool_table.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <type_traits>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/date_time_value.h"
#include "engine/base/engine_error.h"
#include "engine/cache/page_manager.h"
#include "engine/container/compound_file_intf.h"
#include "engine/cursor/directory_related_tables.h"
#include "engine/fs/clock.h"
#include "engine/fs/os_file_system.h"
#include "engine/index/collation.h"
#include "engine/locking/lock_file_format.h"
#include "engine/table/memo_file.h"
#include "engine/table/table_file_names.h"
#include "tools/csv.h"
#include "tools/database_option.h"
#include "tools/password_option.h"

namespace kestrel::tool {

namespace {

constexpr int kToolClientHdl = 1;
constexpr int kToolCacheKB = 16384;
constexpr int kHexDigitsPerByte = 2;
constexpr std::size_t kGuidTextLength = 38;

[[noreturn]] void Wrong(const std::string& what) { throw std::runtime_error(what); }

template <typename T>
T ParseNumber(const std::string& text, int base = 10) {
  T value{};
  const auto [end, error] = [&] {
    if constexpr (std::is_floating_point_v<T>)
      return std::from_chars(text.data(), text.data() + text.size(), value);
    else
      return std::from_chars(text.data(), text.data() + text.size(), value, base);
  }();
  if (error == std::errc::result_out_of_range) Wrong(QuoteValue(text) + " is out of range");
  if (error != std::errc() || end != text.data() + text.size()) Wrong(QuoteValue(text) + " is not a number");
  return value;
}

std::string DateText(std::int32_t packed) {
  const TTdbCivilDate date = UnpackDate(packed);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.Year, date.Month, date.Day);
  return text;
}

// Reads exactly `digits` decimal digits at `pos`; -1 when they are not there.
int Digits(const std::string& text, std::size_t pos, int digits) {
  if (pos + static_cast<std::size_t>(digits) > text.size()) return -1;
  int value = 0;
  for (int i = 0; i < digits; ++i) {
    const char c = text[pos + static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// yyyy-mm-dd of a real calendar day.
std::int32_t ParseDate(const std::string& text) {
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || year < 0 || month < 0 || day < 0)
    Wrong(QuoteValue(text) + " is not a date; write it as yyyy-mm-dd");
  if (!IsValidCivilDate({year, month, day})) Wrong(QuoteValue(text) + " is not a day of the calendar");
  return PackDate({year, month, day});
}

std::string MillisText(std::int64_t ms) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
  return text;
}

// hh:mm, hh:mm:ss or hh:mm:ss.f with one to three digits of fraction.
std::int64_t ParseMillis(const std::string& text) {
  const char* kForm = "; write it as hh:mm, hh:mm:ss or hh:mm:ss.zzz";
  const int h = Digits(text, 0, 2), m = Digits(text, 3, 2);
  int s = 0, z = 0;
  bool good = text.size() >= 5 && text[2] == ':' && h >= 0 && m >= 0;
  if (good && text.size() > 5) {
    s = Digits(text, 6, 2);
    good = text[5] == ':' && s >= 0 && text.size() >= 8;
    if (good && text.size() > 8) {
      const std::size_t fraction = text.size() - 9;
      good = text[8] == '.' && fraction >= 1;
      if (good && fraction > 3) Wrong(QuoteValue(text) + " is more precise than milliseconds" + kForm);
      const int digits = good ? Digits(text, 9, static_cast<int>(fraction)) : -1;
      good = good && digits >= 0;
      z = digits * (fraction == 1 ? 100 : fraction == 2 ? 10 : 1);
    }
  }
  if (!good) Wrong(QuoteValue(text) + " is not a time" + kForm);
  if (h > 23 || m > 59 || s > 59) Wrong(QuoteValue(text) + " is not a time of the day");
  return ((static_cast<std::int64_t>(h) * 60 + m) * 60 + s) * 1000 + z;
}

// 8-bit text of the table's code page; refuses characters it lacks and says
// where such texts belong.
std::string Encode(const std::string& utf8, const std::string& columnName, TTdbColumnType code) {
  const std::u16string text = Utf8ToUtf16(utf8);
  std::string bytes = EncodeCodePage(text, kCodePageAnsi);
  if (DecodeCodePage(bytes, kCodePageAnsi) != text)
    Wrong("column " + columnName + " is a " + ColumnTypeName(code) + " in Windows-1250; store such texts in a " +
          (code == tctMemo ? "WideMemo" : "WideString") + " column (" + QuoteValue(utf8) + " has characters it lacks)");
  return bytes;
}

std::string Hex(const std::string& bytes) {
  static const char* kDigits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string Unhex(const std::string& text) {
  if (text.size() % kHexDigitsPerByte != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    Wrong(QuoteValue(text) + " is not hexadecimal (two digits a byte)");
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += kHexDigitsPerByte)
    out += static_cast<char>(ParseNumber<unsigned>(text.substr(i, kHexDigitsPerByte), 16));
  return out;
}

bool IsTextType(TTdbColumnType code) { return code == tctChar || code == tctString || code == tctWideString; }

// The tool's station numbers in lock files are drawn from 1 to this.
constexpr std::uint32_t kMaxToolStation = 2147483646;

}  // namespace

TToolTable::TToolTable() : FFileSystem(ToolFileSystem()) {
  TTdbPageManager::Instance().RegisterClient(kToolClientHdl, kToolCacheKB);
}

TToolTable::~TToolTable() {
  FTable.reset();
  TTdbPageManager::Instance().UnregisterClient(kToolClientHdl, kToolCacheKB);
}

namespace {

// The tool is one more program on a table: unless it needs the table to
// itself, it logs in to the lock file and waits for its locks. Tables inside
// a container are shared through the container's own locks.
void ShareAsTheTool(TTdbBaseTable& table, const std::shared_ptr<TdwFileSystem>& fileSystem) {
  TdwClock& clock = DefaultClock();
  if (dynamic_cast<TdwCompoundFileIntf*>(fileSystem.get()) == nullptr)
    table.SetSharing(fileSystem, clock, static_cast<std::int64_t>(clock.Random(kMaxToolStation)) + 1, u"kestrel");
}

}  // namespace

TTdbBaseTable& TToolTable::Open(const std::string& name, TTdbRights rights) {
  OpenToolFileSystem(*FFileSystem, false);
  const std::string fileName =
      ResolveTableFileName(name, [this](const std::string& path) { return FFileSystem->FileExists(path); });
  if (fileName.empty()) throw ETdbEngine(tdbErrFileNotFound, name + kTableExtensionClassic);
  Prepare(fileName);
  FTable->SetRights(rights);
  ShareAsTheTool(*FTable, FFileSystem);
  try {
    FTable->Open();
  } catch (const ETdbEngine& error) {
    // An exclusive open fails while another program has the table open; its
    // lock file says so.
    if (error.Number() == tdbErrNoWriteAccess && (rights & kRightExclusive) != 0 &&
        FFileSystem->FileExists(LockFileNamesFor(FFileSystem->ExpandFileName(fileName)).LockFile))
      throw ETdbEngine(tdbErrTableInUse, fileName);
    throw;
  }
  // A table opened for changes checks its constraints and foreign keys.
  if ((rights & kAccessRightsMask) != 0) InstallConstraintChecks();
  FTable->Setup();
  return *FTable;
}

TTdbBaseTable& TToolTable::Prepare(const std::string& fileName) {
  OpenToolFileSystem(*FFileSystem, true);
  FTable = std::make_unique<TTdbBaseTable>(TTdbPageManager::Instance(), *FFileSystem, kToolClientHdl);
  FTable->SetFileName(fileName);
  FTable->SetKey(ToolKey());
  return *FTable;
}

void TToolTable::InstallConstraintChecks() {
  const std::shared_ptr<TdwFileSystem> fileSystem = FFileSystem;
  InstallDirectoryConstraintChecks(*FTable, *FFileSystem, [fileSystem](const std::string& fileName) {
    auto table = std::make_unique<TTdbBaseTable>(TTdbPageManager::Instance(), *fileSystem, kToolClientHdl);
    table->SetFileName(fileName);
    table->SetKey(ToolKey());
    ShareAsTheTool(*table, fileSystem);
    return table;
  });
}

std::string HexText(const std::string& bytes) { return Hex(bytes); }

std::string ValueText(const TTdbDataType& type, const TTdbValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return std::string();
  if (const auto* text = std::get_if<std::u16string>(&value)) return Utf16ToUtf8(*text);
  if (const auto* number = std::get_if<int64_t>(&value)) {
    if (type.ColumnType() == tctBoolean) return *number != 0 ? "true" : "false";
    // Enum values are written by name; a number without a name stays a number.
    const std::vector<std::u16string>& names = type.EnumNames();
    if (type.ColumnType() == tctEnum && *number >= 1 && static_cast<std::size_t>(*number) <= names.size())
      return Utf16ToUtf8(names[static_cast<std::size_t>(*number - 1)]);
    return std::to_string(*number);
  }
  if (const auto* real = std::get_if<double>(&value)) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, *real);
    return std::string(text, result.ptr);
  }
  if (const auto* date = std::get_if<TTdbDate>(&value)) return DateText(date->Packed);
  if (const auto* time = std::get_if<TTdbTime>(&value)) return MillisText(time->Ticks / kTicksPerMillisecond);
  if (const auto* stamp = std::get_if<TTdbTimeStamp>(&value))
    return DateText(stamp->Date) + " " + MillisText(stamp->Milliseconds);
  if (const auto* guid = std::get_if<TTdbGuid>(&value)) {
    char text[48];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", guid->Data1, guid->Data2,
                  guid->Data3, guid->Data4[0], guid->Data4[1], guid->Data4[2], guid->Data4[3], guid->Data4[4],
                  guid->Data4[5], guid->Data4[6], guid->Data4[7]);
    return text;
  }
  return std::string();
}

TTdbValue TextValue(const TTdbDataType& type, const std::string& text, const std::string& columnName) {
  const TTdbColumnType code = type.ColumnType();
  TTdbValue value;
  switch (code) {
    case tctChar:
    case tctString:
    case tctWideString: {
      std::u16string value16 = Utf8ToUtf16(text);
      if (code != tctWideString) Encode(text, columnName, code);
      if (type.MaxLength() > 0 && value16.size() > static_cast<std::size_t>(type.MaxLength()))
        Wrong(QuoteValue(text) + " is longer than the " + std::to_string(type.MaxLength()) + " characters of " +
              columnName + "; make the column wider or the text shorter");
      value = std::move(value16);
      break;
    }
    case tctBoolean: {
      std::string lower = text;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (lower != "true" && lower != "false") Wrong(QuoteValue(text) + " is not true or false");
      value = static_cast<int64_t>(lower == "true" ? 1 : 0);
      break;
    }
    case tctFloat:
      value = ParseNumber<double>(text);
      break;
    case tctEnum: {
      // A value name (compared as the engine compares names) or its number.
      const std::vector<std::u16string>& names = type.EnumNames();
      for (std::size_t i = 0; i < names.size() && std::holds_alternative<std::monostate>(value); ++i)
        if (StandardCollation().Compare(names[i], Utf8ToUtf16(text), 0) == 0) value = static_cast<int64_t>(i + 1);
      if (std::holds_alternative<std::monostate>(value)) {
        std::string known;
        for (const std::u16string& name : names) known += (known.empty() ? "" : ", ") + Utf16ToUtf8(name);
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
          Wrong(QuoteValue(text) + " is not a value of " + columnName + "; it takes " + known);
        value = ParseNumber<int64_t>(text);
      }
      break;
    }
    case tctDate:
      value = TTdbDate{ParseDate(text)};
      break;
    case tctTime:
      value = TTdbTime{ParseMillis(text) * kTicksPerMillisecond};
      break;
    case tctDateTime: {
      // yyyy-mm-dd, then a blank or T and the time of the day.
      const std::size_t split = text.find_first_of(" T");
      if (split == std::string::npos) {
        value = TTdbTimeStamp{ParseDate(text), 0};
      } else {
        if (split != 10) Wrong(QuoteValue(text) + " is not a date and time; write it as yyyy-mm-dd hh:mm:ss.zzz");
        value = TTdbTimeStamp{ParseDate(text.substr(0, split)),
                              static_cast<int32_t>(ParseMillis(text.substr(split + 1)))};
      }
      break;
    }
    case tctGuid: {
      TTdbGuid guid;
      unsigned d4[8];
      char rest = 0;
      if (text.size() != kGuidTextLength ||
          std::sscanf(text.c_str(), "{%8x-%4hx-%4hx-%2x%2x-%2x%2x%2x%2x%2x%2x}%c", &guid.Data1, &guid.Data2,
                      &guid.Data3, &d4[0], &d4[1], &d4[2], &d4[3], &d4[4], &d4[5], &d4[6], &d4[7], &rest) != 11)
        Wrong(QuoteValue(text) + " is not a GUID; write it as {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}");
      for (int i = 0; i < 8; ++i) guid.Data4[static_cast<std::size_t>(i)] = static_cast<uint8_t>(d4[i]);
      value = guid;
      break;
    }
    default:
      value = ParseNumber<int64_t>(text);
      break;
  }
  return value;
}

void SetFieldText(TTdbBaseTable& table, std::span<std::uint8_t> record, int fieldNo, const TCsvField& field,
                  TTdbBlobDataList& blobs) {
  const TTdbColumnDefs& columns = table.Columns();
  const std::size_t index = static_cast<std::size_t>(fieldNo - 1);
  const TTdbColumnDef& column = columns[index];
  const TTdbDataType& type = column.DataType;
  const std::string name = Utf16ToUtf8(column.Name);
  const std::span<std::uint8_t> bytes = columns.ColumnBytes(record, index);
  const TTdbColumnType code = type.ColumnType();
  const std::string& text = field.Text;
  const bool isBlock = code == tctMemo || code == tctWideMemo || code == tctBlob;
  if (text.empty() && (isBlock || !field.Quoted || !IsTextType(code))) {
    // The empty unquoted field: NULL where the column takes it, the empty
    // text in a NOT NULL text column; nothing else can stand for it.
    if (isBlock) {
      // The empty value: no memo or blob, also in place of a stored one.
      blobs.push_back({fieldNo, {}, {}});
      return;
    }
    if (type.Nullable()) {
      SetNullValue(type, bytes);
      return;
    }
    if (!IsTextType(code))
      Wrong("column " + name + " (" + type.SqlName() + ") needs a value; an empty field is NULL");
  }
  switch (code) {
    case tctMemo: {
      std::string stored = Encode(text, name, code);
      if (stored.find(kMemoTerminator) != std::string::npos || stored.find(kMemoEndOfFile) != std::string::npos)
        Wrong("column " + name + ": a Memo text cannot hold the character 26; store it in a WideMemo column");
      blobs.push_back({fieldNo, std::move(stored), {}});
      return;
    }
    case tctWideMemo:
      blobs.push_back({fieldNo, {}, Utf8ToUtf16(text)});
      return;
    case tctBlob:
      blobs.push_back({fieldNo, Unhex(text), {}});
      return;
    default:
      break;
  }
  try {
    WriteValue(type, bytes, TextValue(type, text, name));
  } catch (const ETdbEngine& e) {
    Wrong("column " + name + ": " + e.Message());
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    Wrong(what.rfind("column ", 0) == 0 ? what : "column " + name + ": " + what);
  }
}

}  // namespace kestrel::tool
