// TCondCollationAdapter: a column's collation (TTdbCollation of the index
// layer) as conditions use it (ICondCollation).
//
// Conditions compare UTF-16 texts, while an 8-bit column's index keys hold
// its text in the column's code page and the standard collation folds those
// bytes. So that a condition and the column's index order always agree, the
// adapter of an 8-bit column encodes both texts in the column's code page
// (characters the page lacks become "?", as when the value is stored) and
// compares the bytes with the same collation and options as the index keys;
// the adapter of a wide column compares the UTF-16 texts. A text whose last
// character is NUL is a prefix pattern here as it is in keys.
//
// The adapter refers to the collation, which lives until the process ends;
// it keeps no other state and is thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "engine/cond/cond_record_source.h"
#include "engine/index/collation.h"

namespace kestrel {

class TCondCollationAdapter final : public ICondCollation {
 public:
  // `codePage`: the code page the column stores its text in; 0 for a wide
  // column.
  TCondCollationAdapter(const TTdbCollation& collation, int codePage)
      : FCollation(collation), FCodePage(codePage) {}

  const TTdbCollation& Collation() const { return FCollation; }
  int CodePage() const { return FCodePage; }

  // The collation's order under its own options.
  int Compare(std::u16string_view left, std::u16string_view right) const override;
  // Character for character: each pair compares equal under the collation's
  // options without ligature sensitivity.
  bool RunEquals(std::u16string_view valueRun, std::u16string_view patternRun) const override;
  // The collation's case mapping; with a code page, a character whose mapped
  // form the page lacks stays as it is.
  std::u16string MapCase(std::u16string_view text, bool upper, int codePage) const override;

 private:
  int CompareWith(std::u16string_view left, std::u16string_view right, TStrCmpOptions options) const;

  const TTdbCollation& FCollation;
  int FCodePage;
};

}  // namespace kestrel
