// The iterative LIKE matcher (see like_matcher.h).
#include "engine/cond/like_matcher.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

namespace {

enum TLikeTokenKind { ltkAny, ltkOne, ltkRun };

struct TLikeToken {
  TLikeTokenKind FKind;
  std::u16string FRun;  // ltkRun: the literal characters
};

// Splits a pattern into "%", "_" and literal runs. A run starts at a
// literal character or at an escaped one and extends up to the next escape
// character, "%" or "_".
std::vector<TLikeToken> Tokenize(std::u16string_view pattern, bool hasEscape, char16_t escape) {
  std::vector<TLikeToken> tokens;
  size_t i = 0;
  while (i < pattern.size()) {
    const char16_t c = pattern[i];
    if (hasEscape && c == escape) {
      if (i + 1 == pattern.size()) break;  // a final escape is ignored
      tokens.push_back({ltkRun, std::u16string(1, pattern[i + 1])});
      i += 2;
    } else if (c == u'%') {
      // Several "%" in a row match what one does.
      if (tokens.empty() || tokens.back().FKind != ltkAny) tokens.push_back({ltkAny, {}});
      ++i;
      continue;
    } else if (c == u'_') {
      tokens.push_back({ltkOne, {}});
      ++i;
      continue;
    } else {
      tokens.push_back({ltkRun, {}});
    }
    while (i < pattern.size() && pattern[i] != u'%' && pattern[i] != u'_' && !(hasEscape && pattern[i] == escape))
      tokens.back().FRun += pattern[i++];
  }
  return tokens;
}

}  // namespace

bool LikeMatches(std::u16string_view value, std::u16string_view pattern, bool hasEscape, char16_t escape,
                 const ICondCollation& collation) {
  const std::vector<TLikeToken> tokens = Tokenize(pattern, hasEscape, escape);
  size_t token = 0;
  size_t pos = 0;
  // The token after the last "%" and the value position it was tried at.
  size_t anyToken = SIZE_MAX;
  size_t anyPos = 0;
  while (token < tokens.size() || pos < value.size()) {
    if (token < tokens.size()) {
      const TLikeToken& current = tokens[token];
      if (current.FKind == ltkAny) {
        if (token + 1 == tokens.size()) return true;
        anyToken = ++token;
        anyPos = pos;
        continue;
      }
      if (current.FKind == ltkOne && pos < value.size()) {
        ++token;
        ++pos;
        continue;
      }
      if (current.FKind == ltkRun && value.size() - pos >= current.FRun.size() &&
          collation.RunEquals(value.substr(pos, current.FRun.size()), current.FRun)) {
        ++token;
        pos += current.FRun.size();
        continue;
      }
    }
    // Mismatch: let the last "%" cover one more character, if there is one.
    if (anyToken == SIZE_MAX || anyPos >= value.size()) return false;
    token = anyToken;
    pos = ++anyPos;
  }
  return true;
}

}  // namespace kestrel
