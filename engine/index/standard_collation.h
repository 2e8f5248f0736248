// The standard collation "Kestrel": the engine's own comparison, made without
// any locale service so that it gives the same order on every platform.
//
// Characters are read one by one and folded before they are compared:
//   "^" reads as a space, character 127 as the highest character;
//   "ß" reads as "ss" unless the comparison is ligature-sensitive;
//   characters 128-255 go through a fixed table to their base letters
//   (accented Latin-1 letters, Š, Œ, Ÿ, Æ, Ø); with accent sensitivity the
//   first position where each text had such a letter is remembered;
//   without case sensitivity "a"-"z" read as "A"-"Z" (no other letter).
// The first differing folded character decides; a text sorts before a longer
// text that begins with it; texts equal after folding are ordered by their
// first accented position (the text whose first accent comes earlier sorts
// after the other; equal positions cancel out).
//
// 8-bit texts are folded byte by byte whatever their code page; in UTF-16
// texts characters above 255 are compared unchanged.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/index/collation.h"

namespace kestrel {

// DEL reads as the highest character under the standard collation.
inline constexpr char16_t kStandardHighestCharacter = 127;

// The folded form of an 8-bit character 128-255 (itself when it has none).
uint8_t StandardFoldHighCharacter(uint8_t character);

int StandardCompare(std::u16string_view a, std::u16string_view b, TStrCmpOptions options);
int StandardCompareAnsi(std::string_view a, std::string_view b, TStrCmpOptions options);

// The standard collation object for `name` ("Kestrel", "Kestrel_CS", ...).
class TTdbStandardCollation final : public TTdbCollation {
 public:
  TTdbStandardCollation(std::u16string name, TStrCmpOptions options)
      : TTdbCollation(std::move(name), kStandardLocaleId, options) {}

  bool HasLigatures(TStrCmpOptions options) const override { return (options & scoLigatureSensitive) == 0; }
  bool HasContractions() const override { return false; }
  char16_t HighestCharacter() const override { return kStandardHighestCharacter; }
  uint8_t HighestAnsiCharacter() const override { return kStandardHighestCharacter; }

 protected:
  int CompareText(std::u16string_view a, std::u16string_view b, TStrCmpOptions options) const override {
    return StandardCompare(a, b, options);
  }
  int CompareAnsiText(std::string_view a, std::string_view b, TStrCmpOptions options) const override {
    return StandardCompareAnsi(a, b, options);
  }
  size_t ExpandedLength(std::u16string_view pattern) const override;
};

}  // namespace kestrel
