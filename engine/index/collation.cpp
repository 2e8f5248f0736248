// Shared parts of the collations: prefix patterns, case mapping, and the
// process-wide registry that resolves collation names to collation objects.
#include "engine/index/collation.h"

#include <unicode/uchar.h>

#include <array>
#include <map>
#include <mutex>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/index/icu_collation.h"
#include "engine/index/standard_collation.h"

namespace kestrel {
namespace {

constexpr std::u16string_view kAccentSensitiveSuffix = u"_AS";
constexpr std::u16string_view kAccentInsensitiveSuffix = u"_AI";
constexpr std::u16string_view kCaseSensitiveSuffix = u"_CS";
constexpr std::u16string_view kCaseInsensitiveSuffix = u"_CI";

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::u16string_view tail = text.substr(text.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i)
    if (AsciiUpper(tail[i]) != AsciiUpper(suffix[i])) return false;
  return true;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && EndsWithNoCase(a, b);
}

template <typename TText>
bool IsPattern(TText text) {
  return !text.empty() && text.back() == 0;
}

// Per-code-unit case mapping; surrogates stay.
char16_t MapCodeUnit(char16_t c, bool upper) {
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  const UChar32 mapped = upper ? u_toupper(c) : u_tolower(c);
  return mapped <= 0xFFFF ? static_cast<char16_t>(mapped) : c;
}

// Byte-to-byte case tables of Windows-1250.
struct TAnsiCaseTables {
  std::array<uint8_t, 256> FUpper{};
  std::array<uint8_t, 256> FLower{};
  TAnsiCaseTables() {
    for (int b = 0; b < 256; ++b) {
      const std::string byte(1, static_cast<char>(b));
      const std::u16string decoded = DecodeCodePage(byte, kCodePageAnsi);
      FUpper[b] = FLower[b] = static_cast<uint8_t>(b);
      if (decoded.size() != 1) continue;
      for (bool upper : {true, false}) {
        const char16_t mapped = MapCodeUnit(decoded[0], upper);
        if (mapped == decoded[0]) continue;
        const std::string encoded = EncodeCodePage(std::u16string(1, mapped), kCodePageAnsi);
        if (encoded.size() == 1 && encoded != "?") (upper ? FUpper : FLower)[b] = static_cast<uint8_t>(encoded[0]);
      }
    }
  }
};

const TAnsiCaseTables& AnsiCaseTables() {
  static const TAnsiCaseTables tables;
  return tables;
}

std::string MapAnsi(std::string_view text, const std::array<uint8_t, 256>& table) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(table[static_cast<uint8_t>(c)]);
  return result;
}

std::u16string MapWide(std::u16string_view text, bool upper) {
  std::u16string result(text);
  for (char16_t& c : result) c = MapCodeUnit(c, upper);
  return result;
}

}  // namespace

template <typename TText>
int TTdbCollation::ComparePattern(TText a, TText b, TStrCmpOptions options) const {
  constexpr bool kAnsi = std::is_same_v<TText, std::string_view>;
  auto compare = [this](TText x, TText y, TStrCmpOptions o) {
    if constexpr (kAnsi)
      return CompareAnsiText(x, y, o);
    else
      return CompareText(x, y, o);
  };
  const bool patternA = IsPattern(a);
  const bool patternB = IsPattern(b);
  if (patternA && patternB) return compare(a.substr(0, a.size() - 1), b.substr(0, b.size() - 1), options);
  if (!patternA && !patternB) return compare(a, b, options);

  const TText pattern = patternA ? a.substr(0, a.size() - 1) : b.substr(0, b.size() - 1);
  const TText other = patternA ? b : a;
  size_t patternLength = pattern.size();
  if ((options & scoLigatureSensitive) == 0) {
    if constexpr (kAnsi)
      patternLength = ExpandedLengthAnsi(pattern);
    else
      patternLength = ExpandedLength(pattern);
  }
  // Accents are ignored, the ligature setting is kept: the texts that begin
  // with the pattern then lie together in the collation's own order, so a
  // pattern can end an index range.
  const TStrCmpOptions plain = options & ~scoAccentSensitive;
  int result = compare(other.substr(0, std::min(other.size(), patternLength)), pattern, plain);
  if (result == 0 && other.size() < patternLength) result = -1;
  return patternA ? -result : result;
}

int TTdbCollation::Compare(std::u16string_view a, std::u16string_view b, TStrCmpOptions options) const {
  return ComparePattern(a, b, options);
}

int TTdbCollation::CompareAnsi(std::string_view a, std::string_view b, TStrCmpOptions options) const {
  return ComparePattern(a, b, options);
}

int TTdbCollation::ComparePrefix(std::u16string_view text, std::u16string_view prefix,
                                 TStrCmpOptions options) const {
  std::u16string pattern(prefix);
  pattern.push_back(0);
  return ComparePattern<std::u16string_view>(text, pattern, options);
}

size_t TTdbCollation::ExpandedLengthAnsi(std::string_view pattern) const {
  return ExpandedLength(DecodeCodePage(pattern, kCodePageAnsi));
}

std::u16string TTdbCollation::Upper(std::u16string_view text) const { return MapWide(text, true); }
std::u16string TTdbCollation::Lower(std::u16string_view text) const { return MapWide(text, false); }
std::string TTdbCollation::UpperAnsi(std::string_view text) const { return MapAnsi(text, AnsiCaseTables().FUpper); }
std::string TTdbCollation::LowerAnsi(std::string_view text) const { return MapAnsi(text, AnsiCaseTables().FLower); }

TCollationName SplitCollationName(std::u16string_view name) {
  if (name.empty() || name == kStandardCollationName)
    return {std::u16string(kStandardCollationName), kStandardCollationOptions};
  TStrCmpOptions options = scoAccentSensitive;
  if (EndsWithNoCase(name, kAccentInsensitiveSuffix)) {
    options = 0;
    name.remove_suffix(kAccentInsensitiveSuffix.size());
  } else if (EndsWithNoCase(name, kAccentSensitiveSuffix)) {
    name.remove_suffix(kAccentSensitiveSuffix.size());
  }
  if (EndsWithNoCase(name, kCaseSensitiveSuffix)) {
    options |= scoCaseSensitive;
    name.remove_suffix(kCaseSensitiveSuffix.size());
  } else if (EndsWithNoCase(name, kCaseInsensitiveSuffix)) {
    name.remove_suffix(kCaseInsensitiveSuffix.size());
  }
  return {std::u16string(name), options};
}

const TTdbCollation& StandardCollation() {
  static const TTdbStandardCollation standard{std::u16string(kStandardCollationName), kStandardCollationOptions};
  return standard;
}

const TTdbCollation& GetCollation(std::u16string_view name) {
  if (name.empty() || name == kStandardCollationName) return StandardCollation();
  static std::mutex registryMutex;
  static std::map<std::u16string, std::unique_ptr<TTdbCollation>, std::less<>> registry;
  std::lock_guard<std::mutex> lock(registryMutex);
  auto it = registry.find(name);
  if (it != registry.end()) return *it->second;

  const TCollationName split = SplitCollationName(name);
  std::unique_ptr<TTdbCollation> collation;
  if (EqualsNoCase(split.FBaseName, kStandardCollationName))
    collation = std::make_unique<TTdbStandardCollation>(std::u16string(name), split.FOptions);
  else
    collation = TTdbIcuCollation::Create(std::u16string(name), split.FBaseName, split.FOptions);
  if (!collation) throw ETdbEngine(tdbErrNoCollation, Utf16ToUtf8(name));
  return *registry.emplace(std::u16string(name), std::move(collation)).first->second;
}

bool IsSameName(std::u16string_view a, std::u16string_view b) { return StandardCompare(a, b, 0) == 0; }

}  // namespace kestrel
