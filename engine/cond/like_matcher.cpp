// The iterative LIKE matcher (see like_matcher.h).
#include "engine/cond/like_matcher.h"

#include <cstdint>

namespace kestrel {

// A run starts at a literal character or at an escaped one and extends up
// to the next escape character, "%" or "_". Several "%" in a row match what
// one does.
TLikePattern::TLikePattern(std::u16string_view pattern, bool hasEscape, char16_t escape)
    : FText(pattern), FHasEscape(hasEscape), FEscape(escape) {
  size_t i = 0;
  while (i < pattern.size()) {
    const char16_t c = pattern[i];
    if (hasEscape && c == escape) {
      if (i + 1 == pattern.size()) break;  // a final escape is ignored
      FParts.push_back({lpkRun, std::u16string(1, pattern[i + 1])});
      i += 2;
    } else if (c == u'%') {
      if (FParts.empty() || FParts.back().FKind != lpkAny) FParts.push_back({lpkAny, {}});
      ++i;
      continue;
    } else if (c == u'_') {
      FParts.push_back({lpkOne, {}});
      ++i;
      continue;
    } else {
      FParts.push_back({lpkRun, {}});
    }
    while (i < pattern.size() && pattern[i] != u'%' && pattern[i] != u'_' && !(hasEscape && pattern[i] == escape))
      FParts.back().FRun += pattern[i++];
  }
}

bool TLikePattern::Matches(std::u16string_view value, const ICondCollation& collation) const {
  size_t part = 0;
  size_t pos = 0;
  // The part after the last "%" and the value position it was tried at.
  size_t anyPart = SIZE_MAX;
  size_t anyPos = 0;
  while (part < FParts.size() || pos < value.size()) {
    if (part < FParts.size()) {
      const TPart& current = FParts[part];
      if (current.FKind == lpkAny) {
        if (part + 1 == FParts.size()) return true;
        anyPart = ++part;
        anyPos = pos;
        continue;
      }
      if (current.FKind == lpkOne && pos < value.size()) {
        ++part;
        ++pos;
        continue;
      }
      if (current.FKind == lpkRun && value.size() - pos >= current.FRun.size() &&
          collation.RunEquals(value.substr(pos, current.FRun.size()), current.FRun)) {
        ++part;
        pos += current.FRun.size();
        continue;
      }
    }
    // Mismatch: let the last "%" cover one more character, if there is one.
    if (anyPart == SIZE_MAX || anyPos >= value.size()) return false;
    part = anyPart;
    pos = ++anyPos;
  }
  return true;
}

bool LikeMatches(std::u16string_view value, std::u16string_view pattern, bool hasEscape, char16_t escape,
                 const ICondCollation& collation) {
  return TLikePattern(pattern, hasEscape, escape).Matches(value, collation);
}

}  // namespace kestrel
