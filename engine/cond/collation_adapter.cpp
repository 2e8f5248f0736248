// Column collations for conditions (see collation_adapter.h).
#include "engine/cond/collation_adapter.h"

#include "engine/base/code_page.h"

namespace kestrel {

namespace {

// Texts up to this length are encoded on the stack; longer ones (and code
// pages that need ICU) into strings.
constexpr std::size_t kStackTextLength = 256;

}  // namespace

int TCondCollationAdapter::CompareWith(std::u16string_view left, std::u16string_view right,
                                       TStrCmpOptions options) const {
  if (FCodePage == 0) return FCollation.Compare(left, right, options);
  if (left.size() <= kStackTextLength && right.size() <= kStackTextLength) {
    char leftBytes[kStackTextLength];
    char rightBytes[kStackTextLength];
    if (EncodeSingleByteCodePage(left, FCodePage, leftBytes) &&
        EncodeSingleByteCodePage(right, FCodePage, rightBytes))
      return FCollation.CompareAnsi(std::string_view(leftBytes, left.size()),
                                    std::string_view(rightBytes, right.size()), options);
  }
  return FCollation.CompareAnsi(EncodeCodePage(left, FCodePage), EncodeCodePage(right, FCodePage), options);
}

int TCondCollationAdapter::Compare(std::u16string_view left, std::u16string_view right) const {
  return CompareWith(left, right, FCollation.Options());
}

bool TCondCollationAdapter::RunEquals(std::u16string_view valueRun, std::u16string_view patternRun) const {
  if (valueRun.size() != patternRun.size()) return false;
  const TStrCmpOptions options = FCollation.Options() & ~scoLigatureSensitive;
  for (size_t i = 0; i < valueRun.size(); ++i)
    if (valueRun[i] != patternRun[i] && CompareWith(valueRun.substr(i, 1), patternRun.substr(i, 1), options) != 0)
      return false;
  return true;
}

std::u16string TCondCollationAdapter::MapCase(std::u16string_view text, bool upper, int codePage) const {
  std::u16string mapped = upper ? FCollation.Upper(text) : FCollation.Lower(text);
  if (codePage == 0 || mapped.size() != text.size()) return mapped;
  for (size_t i = 0; i < mapped.size(); ++i) {
    if (mapped[i] == text[i]) continue;
    const std::u16string_view character(&mapped[i], 1);
    if (DecodeCodePage(EncodeCodePage(character, codePage), codePage) != character) mapped[i] = text[i];
  }
  return mapped;
}

}  // namespace kestrel
