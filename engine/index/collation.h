// Collations: how string columns, index keys and conditions compare text.
//
// A collation is named by a string column's type. The empty name and
// "Kestrel" select the standard collation, the engine's own comparison
// (standard_collation.cpp); any other name selects a locale by its English
// language name, optionally followed by a case suffix ("_CS"/"_CI") and an
// accent suffix ("_AS"/"_AI"), compared through ICU (icu_collation.cpp).
//
// Collation objects are created once per name and live until the process
// ends; every operation on them is const and thread-safe.
//
// Texts come in two forms: 8-bit (String columns, Windows-1250) and UTF-16
// (WideString columns, the engine's working form). A text whose last character
// is NUL is a prefix pattern: it compares equal to every text that begins
// with it (used by LIKE walks and by nearest-key searches).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kestrel {

// String comparison options (`TStrCmpOptions`, bit values as stored).
enum TStrCmpOption : uint8_t {
  scoCaseSensitive = 1,
  scoLigatureSensitive = 2,
  scoAccentSensitive = 4,
};
using TStrCmpOptions = uint8_t;

// The reserved locale number of the standard collation.
inline constexpr int kStandardLocaleId = 0x200;
// The name of the standard collation, and the default collation of a table.
inline constexpr std::u16string_view kStandardCollationName = u"Kestrel";
// Options of the bare standard collation.
inline constexpr TStrCmpOptions kStandardCollationOptions = scoLigatureSensitive | scoAccentSensitive;

class TTdbCollation {
 public:
  virtual ~TTdbCollation() = default;

  // The name this collation was resolved from ("" for the default).
  const std::u16string& Name() const noexcept { return FName; }
  // kStandardLocaleId for the standard collation, else the locale's number.
  int LocaleId() const noexcept { return FLocaleId; }
  // The options the collation's name asks for.
  TStrCmpOptions Options() const noexcept { return FOptions; }
  bool IsStandard() const noexcept { return FLocaleId == kStandardLocaleId; }

  // Compares two texts under `options` (the caller usually passes Options(),
  // conditions may add their own). Negative, zero or positive. Handles
  // prefix patterns (a trailing NUL). Never throws for any input.
  int Compare(std::u16string_view a, std::u16string_view b, TStrCmpOptions options) const;
  int Compare(std::u16string_view a, std::u16string_view b) const { return Compare(a, b, FOptions); }
  // The same for 8-bit (Windows-1250) texts.
  int CompareAnsi(std::string_view a, std::string_view b, TStrCmpOptions options) const;
  int CompareAnsi(std::string_view a, std::string_view b) const { return CompareAnsi(a, b, FOptions); }

  // Prefix comparison for LIKE walks: 0 when `text` begins with `prefix`
  // (under the collation, ignoring accents), else the sign of
  // text against prefix. Same as Compare(text, prefix + NUL).
  int ComparePrefix(std::u16string_view text, std::u16string_view prefix, TStrCmpOptions options) const;

  // Simple per-code-unit case mapping: the result has the length of the
  // input. 8-bit texts are mapped through Windows-1250; a character whose
  // mapped form the code page lacks stays unchanged.
  std::u16string Upper(std::u16string_view text) const;
  std::u16string Lower(std::u16string_view text) const;
  std::string UpperAnsi(std::string_view text) const;
  std::string LowerAnsi(std::string_view text) const;

  // Whether some character sequence of this collation compares like a
  // different number of characters ("ß" = "ss"): a LIKE prefix then cannot
  // be turned into a key range character for character.
  virtual bool HasLigatures(TStrCmpOptions options) const = 0;
  // Whether several characters can form one sorting unit (Hungarian "cs"):
  // an index range for a prefix then cannot end exactly at the prefix.
  virtual bool HasContractions() const = 0;

  // The character that sorts after every other single character (key
  // bounds fill string parts with it): DEL for the standard collation,
  // U+FFFF under ICU; for 8-bit texts under ICU the Windows-1250 byte that
  // sorts highest on its own.
  virtual char16_t HighestCharacter() const = 0;
  virtual uint8_t HighestAnsiCharacter() const = 0;

 protected:
  TTdbCollation(std::u16string name, int localeId, TStrCmpOptions options)
      : FName(std::move(name)), FLocaleId(localeId), FOptions(options) {}

  // The comparison proper, without prefix-pattern handling.
  virtual int CompareText(std::u16string_view a, std::u16string_view b, TStrCmpOptions options) const = 0;
  virtual int CompareAnsiText(std::string_view a, std::string_view b, TStrCmpOptions options) const = 0;
  // The number of characters `pattern` has once its ligatures are expanded.
  virtual size_t ExpandedLength(std::u16string_view pattern) const = 0;
  size_t ExpandedLengthAnsi(std::string_view pattern) const;

 private:
  template <typename TText>
  int ComparePattern(TText a, TText b, TStrCmpOptions options) const;

  std::u16string FName;
  int FLocaleId;
  TStrCmpOptions FOptions;
};

// Resolves a collation name (`IsSupportedCollation`): the shared collation
// object for it. Throws ETdbEngine tdbErrNoCollation for an unknown name.
const TTdbCollation& GetCollation(std::u16string_view name);

// The standard collation with its default options (never throws).
const TTdbCollation& StandardCollation();

// Splits a collation name into its base name and options: "_AS"/"_AI" and
// then "_CS"/"_CI" are taken off the end (case-insensitive). Without an accent
// suffix the collation is accent-sensitive, without a case suffix
// case-insensitive. The exact name "Kestrel" and the empty name give the
// standard options.
struct TCollationName {
  std::u16string FBaseName;
  TStrCmpOptions FOptions;
};
TCollationName SplitCollationName(std::u16string_view name);

// Compares two names (of indexes, columns) with the standard collation without
// options: case, accents and "ß"/"ss" do not matter.
bool IsSameName(std::u16string_view a, std::u16string_view b);

}  // namespace kestrel
