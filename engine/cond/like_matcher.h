// LIKE pattern matching: "%" matches any run of zero or more characters, "_"
// exactly one, an escape character makes the next pattern character literal
// (an escape at the end of the pattern is ignored), and runs of literal
// characters compare through the value's collation.
//
// The matcher is iterative and backtracks only to the last "%" seen: when a
// later part fails, the text that "%" covers grows by one character and the
// rest of the pattern is tried again. Time is proportional to text length x
// pattern length at worst; no input can make it exponential or deep.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/cond/cond_record_source.h"

namespace kestrel {

// A pattern split into its parts once, to be matched against many values.
class TLikePattern {
 public:
  TLikePattern() = default;
  TLikePattern(std::u16string_view pattern, bool hasEscape, char16_t escape);

  // Whether the pattern was made from this text and escape.
  bool IsFor(std::u16string_view pattern, bool hasEscape, char16_t escape) const {
    return FText == pattern && FHasEscape == hasEscape && (!hasEscape || FEscape == escape);
  }

  bool Matches(std::u16string_view value, const ICondCollation& collation) const;

 private:
  enum TPartKind { lpkAny, lpkOne, lpkRun };
  struct TPart {
    TPartKind FKind;
    std::u16string FRun;  // lpkRun: the literal characters
  };

  std::u16string FText;
  bool FHasEscape = false;
  char16_t FEscape = 0;
  std::vector<TPart> FParts;
};

// Whether `value` matches `pattern`. `escape` is used only when `hasEscape`.
bool LikeMatches(std::u16string_view value, std::u16string_view pattern, bool hasEscape, char16_t escape,
                 const ICondCollation& collation);

}  // namespace kestrel
