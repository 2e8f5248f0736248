// Locale collations on ICU (see icu_collation.h).
#include "engine/index/icu_collation.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>
#include <unicode/uniset.h>

#include "engine/base/code_page.h"

namespace kestrel {
namespace {

size_t CollatorSlot(TStrCmpOptions options) {
  return ((options & scoCaseSensitive) != 0 ? 1 : 0) + ((options & scoAccentSensitive) != 0 ? 2 : 0);
}

icu::UnicodeString View(std::u16string_view text) {
  return icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size()));
}

// Characters that fold into more than one letter; ICU's root order treats
// each like the sequence it stands for.
int LigatureExtraLength(char16_t c) {
  switch (c) {
    case u'ß':
    case u'æ':
    case u'Æ':
    case u'œ':
    case u'Œ':
    case u'ĳ':
    case u'Ĳ':
    case u'ﬁ':
    case u'ﬂ':
      return 1;
    case u'ﬃ':
    case u'ﬄ':
      return 2;
    default:
      return 0;
  }
}

}  // namespace

TTdbIcuCollation::TTdbIcuCollation(std::u16string name, int localeId, TStrCmpOptions options,
                                   std::string localeName)
    : TTdbCollation(std::move(name), localeId, options), FLocaleName(std::move(localeName)) {}

TTdbIcuCollation::~TTdbIcuCollation() = default;

std::unique_ptr<TTdbIcuCollation> TTdbIcuCollation::Create(std::u16string name, std::u16string_view languageName,
                                                           TStrCmpOptions options) {
  int32_t count = 0;
  const icu::Locale* locales = icu::Collator::getAvailableLocales(count);
  const icu::UnicodeString wanted = View(languageName);
  const icu::Locale* found = nullptr;
  for (int32_t i = 0; i < count && found == nullptr; ++i) {
    icu::UnicodeString english;
    locales[i].getDisplayLanguage(icu::Locale::getEnglish(), english);
    if (english.caseCompare(wanted, U_FOLD_CASE_DEFAULT) == 0) found = &locales[i];
  }
  if (found == nullptr) return nullptr;

  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> base(icu::Collator::createInstance(*found, status));
  if (U_FAILURE(status) || !base) return nullptr;
  base->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);

  // The locale number of the language's main country ("hu" → hu_HU).
  icu::Locale likely(*found);
  UErrorCode likelyStatus = U_ZERO_ERROR;
  likely.addLikelySubtags(likelyStatus);
  const icu::Locale withCountry(found->getLanguage(), U_SUCCESS(likelyStatus) ? likely.getCountry() : "");
  int localeId = static_cast<int>(uloc_getLCID(withCountry.getName()));
  if (localeId == 0) localeId = static_cast<int>(uloc_getLCID(found->getName()));
  std::unique_ptr<TTdbIcuCollation> collation(
      new TTdbIcuCollation(std::move(name), localeId, options, found->getName()));
  for (size_t slot = 0; slot < kCollatorCount; ++slot) {
    const bool caseSensitive = (slot & 1) != 0;
    const bool accentSensitive = (slot & 2) != 0;
    std::unique_ptr<icu::Collator> collator(base->clone());
    if (!collator) return nullptr;
    collator->setStrength(accentSensitive ? (caseSensitive ? icu::Collator::TERTIARY : icu::Collator::SECONDARY)
                                          : icu::Collator::PRIMARY);
    collator->setAttribute(UCOL_CASE_LEVEL, caseSensitive && !accentSensitive ? UCOL_ON : UCOL_OFF, status);
    if (U_FAILURE(status)) return nullptr;
    collation->FCollators[slot] = std::move(collator);
  }
  std::unique_ptr<icu::UnicodeSet> tailored(base->getTailoredSet(status));
  collation->FHasContractions = U_SUCCESS(status) && tailored && tailored->hasStrings();
  constexpr TStrCmpOptions kStrictest = scoCaseSensitive | scoAccentSensitive;
  for (int byte = 1; byte < 256; ++byte) {
    const std::string candidate(1, static_cast<char>(byte));
    const std::string highest(1, static_cast<char>(collation->FHighestAnsiCharacter));
    if (collation->CompareAnsiText(candidate, highest, kStrictest) > 0)
      collation->FHighestAnsiCharacter = static_cast<uint8_t>(byte);
  }
  return collation;
}

int TTdbIcuCollation::CompareText(std::u16string_view a, std::u16string_view b, TStrCmpOptions options) const {
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result = FCollators[CollatorSlot(options)]->compare(View(a), View(b), status);
  if (U_FAILURE(status)) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
  return result == UCOL_LESS ? -1 : (result == UCOL_EQUAL ? 0 : 1);
}

int TTdbIcuCollation::CompareAnsiText(std::string_view a, std::string_view b, TStrCmpOptions options) const {
  return CompareText(DecodeCodePage(a, kCodePageAnsi), DecodeCodePage(b, kCodePageAnsi), options);
}

size_t TTdbIcuCollation::ExpandedLength(std::u16string_view pattern) const {
  size_t length = pattern.size();
  for (char16_t c : pattern) length += static_cast<size_t>(LigatureExtraLength(c));
  return length;
}

}  // namespace kestrel
