// Locale collations: comparison through an ICU collator for a locale found by
// its English language name ("Hungarian", "German"). Strength follows the
// options: accent- and case-insensitive compare at primary strength,
// accent-sensitive at secondary, case-sensitive adds ICU's case level
// (tertiary strength when accents count too). Normalisation is always on, so
// composed and decomposed forms of a letter compare equal.
//
// One collator is built per combination of case and accent sensitivity when
// the collation is created; comparing only reads them, so the object is
// thread-safe. 8-bit texts are decoded from Windows-1250 first.
#pragma once

#include <array>
#include <memory>
#include <string>

#include <unicode/uversion.h>

#include "engine/index/collation.h"

U_NAMESPACE_BEGIN
class Collator;
U_NAMESPACE_END

namespace kestrel {

class TTdbIcuCollation final : public TTdbCollation {
 public:
  // Finds the locale whose English language name equals `languageName`
  // (case-insensitive); nullptr when there is none.
  static std::unique_ptr<TTdbIcuCollation> Create(std::u16string name, std::u16string_view languageName,
                                                  TStrCmpOptions options);
  ~TTdbIcuCollation() override;

  // The ICU locale name the collation uses ("hu").
  const std::string& LocaleName() const noexcept { return FLocaleName; }

  // ICU's root order expands ligatures ("æ" = "ae", "ß" = "ss") at primary
  // strength.
  bool HasLigatures(TStrCmpOptions options) const override { return (options & scoLigatureSensitive) == 0; }
  bool HasContractions() const override { return FHasContractions; }
  // U+FFFF carries the highest primary weight in ICU's root order.
  char16_t HighestCharacter() const override { return u'\uFFFF'; }
  uint8_t HighestAnsiCharacter() const override { return FHighestAnsiCharacter; }

 protected:
  int CompareText(std::u16string_view a, std::u16string_view b, TStrCmpOptions options) const override;
  int CompareAnsiText(std::string_view a, std::string_view b, TStrCmpOptions options) const override;
  size_t ExpandedLength(std::u16string_view pattern) const override;

 private:
  TTdbIcuCollation(std::u16string name, int localeId, TStrCmpOptions options, std::string localeName);

  static constexpr size_t kCollatorCount = 4;  // case x accent sensitivity
  std::string FLocaleName;
  std::array<std::unique_ptr<icu::Collator>, kCollatorCount> FCollators;
  bool FHasContractions = false;
  uint8_t FHighestAnsiCharacter = 0xFF;
};

}  // namespace kestrel
