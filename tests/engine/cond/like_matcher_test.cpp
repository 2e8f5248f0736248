// LIKE matching: a table of cases, agreement with the plain recursive
// definition on random patterns, and patterns that would take exponential
// time with the recursive definition.
#include <gtest/gtest.h>

#include <random>

#include "engine/base/code_page.h"
#include "engine/cond/like_matcher.h"

namespace kestrel {
namespace {

bool Like(std::u16string_view value, std::u16string_view pattern, char16_t escape = 0) {
  return LikeMatches(value, pattern, escape != 0, escape, DefaultCondCollation());
}

TEST(LikeMatcher, Cases) {
  struct Case {
    std::u16string value;
    std::u16string pattern;
    char16_t escape;
    bool matches;
  } cases[] = {
      {u"ab", u"ab%%", 0, true},
      {u"", u"%", 0, true},
      {u"", u"", 0, true},
      {u"a", u"", 0, false},
      {u"", u"_", 0, false},
      {u"ab", u"ab%_", 0, false},
      {u"ABC", u"A_C%", 0, true},
      {u"abcd", u"A_C%", 0, true},
      {u"AXC", u"A_C%", 0, true},
      {u"AC", u"A_C%", 0, false},
      {u"Építés", u"ÉPíT%", 0, true},  // only a-z match without regard to case
      {u"Építés", u"ÉPÍT%", 0, false},
      {u"építés", u"ÉPíT%", 0, false},
      {u"e", u"é", 0, false},
      {u"abcabc", u"%bc", 0, true},
      {u"abcab", u"%bc", 0, false},
      {u"aXbXc", u"%X%X%", 0, true},
      {u"aXb", u"%X%X%", 0, false},
      {u"mississippi", u"%iss%ppi", 0, true},
      {u"100%", u"100!%", u'!', true},
      {u"1000", u"100!%", u'!', false},
      {u"a_b", u"a!_b", u'!', true},
      {u"axb", u"a!_b", u'!', false},
      {u"a!", u"a!!", u'!', true},
      {u"ab", u"ab!", u'!', true},  // an escape at the end is ignored
      {u"a%b", u"a\\%b", u'\\', true},
      {u"a%", u"%!%", u'!', true},
      {u"a", u"%!%", u'!', false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Like(c.value, c.pattern, c.escape), c.matches)
        << Utf16ToUtf8(c.value) << " LIKE " << Utf16ToUtf8(c.pattern);
}

// The definition the iterative matcher must agree with: "%" tries every
// split of the rest of the value; "_" takes one character; a literal
// character (or one after the escape) must equal the next one.
bool RecursiveLike(std::u16string_view v, std::u16string_view p, char16_t escape) {
  if (p.empty()) return v.empty();
  if (p[0] == u'%') {
    for (size_t i = 0; i <= v.size(); ++i)
      if (RecursiveLike(v.substr(i), p.substr(1), escape)) return true;
    return false;
  }
  if (p[0] == u'_') return !v.empty() && RecursiveLike(v.substr(1), p.substr(1), escape);
  if (escape && p[0] == escape) {
    if (p.size() == 1) return v.empty();
    p.remove_prefix(1);
  }
  return !v.empty() && DefaultCondCollation().RunEquals(v.substr(0, 1), p.substr(0, 1)) &&
         RecursiveLike(v.substr(1), p.substr(1), escape);
}

TEST(LikeMatcher, AgreesWithTheRecursiveDefinition) {
  std::mt19937 random(20261210);
  const std::u16string valueChars = u"abAB%_!";
  const std::u16string patternChars = u"aAb%%__!";
  for (int round = 0; round < 20000; ++round) {
    std::u16string value, pattern;
    for (int n = random() % 8; n > 0; --n) value += valueChars[random() % valueChars.size()];
    for (int n = random() % 7; n > 0; --n) pattern += patternChars[random() % patternChars.size()];
    const char16_t escape = round % 2 ? u'!' : 0;
    ASSERT_EQ(Like(value, pattern, escape), RecursiveLike(value, pattern, escape))
        << Utf16ToUtf8(value) << " LIKE " << Utf16ToUtf8(pattern) << " escape " << (escape != 0);
  }
}

TEST(LikeMatcher, PatternsThatBacktrackALot) {
  // With the recursive definition each of these takes exponential time.
  const std::u16string value(20000, u'a');
  std::u16string pattern;
  for (int i = 0; i < 30; ++i) pattern += u"%a";
  EXPECT_TRUE(Like(value, pattern));
  EXPECT_FALSE(Like(value, pattern + u"%b"));
  EXPECT_FALSE(Like(value, pattern + u"b"));
  EXPECT_FALSE(Like(value + u"c", std::u16string(400, u'%') + u"_" + std::u16string(400, u'%') + u"b"));
}

}  // namespace
}  // namespace kestrel
