// Opening tables for the kestrel tool and the text form of column values.
#include "tools/tool_table.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <type_traits>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/date_time_value.h"
#include "engine/base/engine_error.h"
#include "engine/cache/page_manager.h"
#include "engine/fs/os_file_system.h"
#include "engine/table/memo_file.h"
#include "engine/table/table_file_names.h"
#include "tools/password_option.h"

namespace kestrel::tool {

namespace {

constexpr int kToolClientHdl = 1;
constexpr int kToolCacheKB = 16384;
constexpr int kHexDigitsPerByte = 2;

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
  if (error != std::errc() || end != text.data() + text.size()) Wrong("\"" + text + "\" is not a number");
  return value;
}

std::string DateText(std::int32_t packed) {
  const TTdbCivilDate date = UnpackDate(packed);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.Year, date.Month, date.Day);
  return text;
}

std::int32_t ParseDate(const std::string& text) {
  int year = 0, month = 0, day = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &rest) != 3) Wrong("\"" + text + "\" is not a date");
  return PackDate({year, month, day});
}

std::string MillisText(std::int64_t ms) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
  return text;
}

std::int64_t ParseMillis(const std::string& text) {
  int h = 0, m = 0, s = 0, z = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%2d:%2d:%2d.%3d%c", &h, &m, &s, &z, &rest) != 4 || h > 23 || m > 59 || s > 59)
    Wrong("\"" + text + "\" is not a time");
  return ((static_cast<std::int64_t>(h) * 60 + m) * 60 + s) * 1000 + z;
}

// 8-bit text of the table's code page; refuses characters it lacks.
std::string Encode(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  std::string bytes = EncodeCodePage(text, kCodePageAnsi);
  if (DecodeCodePage(bytes, kCodePageAnsi) != text) Wrong("a character of \"" + utf8 + "\" has no 8-bit code");
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
  if (text.size() % kHexDigitsPerByte != 0) Wrong("\"" + text + "\" is not hexadecimal");
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += kHexDigitsPerByte)
    out += static_cast<char>(ParseNumber<unsigned>(text.substr(i, kHexDigitsPerByte), 16));
  return out;
}

}  // namespace

TToolTable::TToolTable() : FFileSystem(std::make_unique<TdwOSFileSystem>()) {
  TTdbPageManager::Instance().RegisterClient(kToolClientHdl, kToolCacheKB);
}

TToolTable::~TToolTable() {
  FTable.reset();
  TTdbPageManager::Instance().UnregisterClient(kToolClientHdl, kToolCacheKB);
}

TTdbBaseTable& TToolTable::Open(const std::string& name, TTdbRights rights) {
  const std::string fileName =
      ResolveTableFileName(name, [this](const std::string& path) { return FFileSystem->FileExists(path); });
  if (fileName.empty()) throw ETdbEngine(tdbErrFileNotFound, name + kTableExtensionClassic);
  Prepare(fileName);
  FTable->SetRights(rights);
  FTable->Open();
  FTable->Setup();
  return *FTable;
}

TTdbBaseTable& TToolTable::Prepare(const std::string& fileName) {
  FTable = std::make_unique<TTdbBaseTable>(TTdbPageManager::Instance(), *FFileSystem, kToolClientHdl);
  FTable->SetFileName(fileName);
  FTable->SetKey(ToolKey());
  return *FTable;
}

std::string HexText(const std::string& bytes) { return Hex(bytes); }

std::string ValueText(const TTdbDataType& type, const TTdbValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return std::string();
  if (const auto* text = std::get_if<std::u16string>(&value)) return Utf16ToUtf8(*text);
  if (const auto* number = std::get_if<int64_t>(&value)) {
    if (type.ColumnType() == tctBoolean) return *number != 0 ? "true" : "false";
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
      if (code != tctWideString) Encode(text);
      if (type.MaxLength() > 0 && value16.size() > static_cast<std::size_t>(type.MaxLength()))
        Wrong("\"" + text + "\" is longer than the " + std::to_string(type.MaxLength()) + " characters of " +
              columnName);
      value = std::move(value16);
      break;
    }
    case tctBoolean:
      if (text != "true" && text != "false") Wrong("\"" + text + "\" is not true or false");
      value = static_cast<int64_t>(text == "true" ? 1 : 0);
      break;
    case tctFloat:
      value = ParseNumber<double>(text);
      break;
    case tctDate:
      value = TTdbDate{ParseDate(text)};
      break;
    case tctTime:
      value = TTdbTime{ParseMillis(text) * kTicksPerMillisecond};
      break;
    case tctDateTime: {
      const std::size_t space = text.find(' ');
      if (space == std::string::npos) Wrong("\"" + text + "\" is not a date and time");
      value = TTdbTimeStamp{ParseDate(text.substr(0, space)), static_cast<int32_t>(ParseMillis(text.substr(space + 1)))};
      break;
    }
    case tctGuid: {
      TTdbGuid guid;
      unsigned d4[8];
      char rest = 0;
      if (std::sscanf(text.c_str(), "{%8x-%4hx-%4hx-%2x%2x-%2x%2x%2x%2x%2x%2x}%c", &guid.Data1, &guid.Data2,
                      &guid.Data3, &d4[0], &d4[1], &d4[2], &d4[3], &d4[4], &d4[5], &d4[6], &d4[7], &rest) != 11)
        Wrong("\"" + text + "\" is not a GUID");
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

void SetFieldText(TTdbBaseTable& table, std::span<std::uint8_t> record, int fieldNo, const std::string& text,
                  TTdbBlobDataList& blobs) {
  const TTdbColumnDefs& columns = table.Columns();
  const std::size_t index = static_cast<std::size_t>(fieldNo - 1);
  const TTdbColumnDef& column = columns[index];
  const TTdbDataType& type = column.DataType;
  const std::span<std::uint8_t> bytes = columns.ColumnBytes(record, index);
  const TTdbColumnType code = type.ColumnType();
  switch (code) {
    case tctMemo: {
      std::string stored = Encode(text);
      if (stored.find(kMemoTerminator) != std::string::npos || stored.find(kMemoEndOfFile) != std::string::npos)
        Wrong("a memo text cannot hold the bytes 0 or 26");
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
  const bool isText = code == tctChar || code == tctString || code == tctWideString;
  if (text.empty() && !isText) {
    if (!type.Nullable()) Wrong("column " + Utf16ToUtf8(column.Name) + " needs a value");
    SetNullValue(type, bytes);
    return;
  }
  const TTdbValue value = TextValue(type, text, Utf16ToUtf8(column.Name));
  try {
    WriteValue(type, bytes, value);
  } catch (const ETdbEngine& e) {
    Wrong(e.Message());
  }
}

}  // namespace kestrel::tool
