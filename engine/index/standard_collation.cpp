// The standard collation's comparison (see standard_collation.h for the rules).
#include "engine/index/standard_collation.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

namespace kestrel {
namespace {

constexpr char16_t kCaretCharacter = u'^';
constexpr char16_t kDeleteCharacter = 127;
constexpr char16_t kSharpS = 0xDF;

// Base letters of the characters 128-255; 0 means the character stays.
constexpr std::array<uint8_t, 128> MakeFoldTable() {
  std::array<uint8_t, 128> table{};
  auto set = [&table](int from, int to, char base) {
    for (int c = from; c <= to; ++c) table[c - 128] = static_cast<uint8_t>(base);
  };
  set(0x8A, 0x8A, 'S');  // Š
  set(0x8C, 0x8C, 'O');  // Œ
  set(0x9A, 0x9A, 's');  // š
  set(0x9C, 0x9C, 'o');  // œ
  set(0x9F, 0x9F, 'Y');  // Ÿ
  set(0xC0, 0xC6, 'A');  // À Á Â Ã Ä Å Æ
  set(0xC7, 0xC7, 'C');
  set(0xC8, 0xCB, 'E');
  set(0xCC, 0xCF, 'I');
  set(0xD0, 0xD0, 'D');
  set(0xD1, 0xD1, 'N');
  set(0xD2, 0xD6, 'O');
  set(0xD8, 0xD8, 'O');  // Ø
  set(0xD9, 0xDC, 'U');
  set(0xDD, 0xDD, 'Y');
  set(0xDF, 0xDF, 's');  // ß when ligature-sensitive
  set(0xE0, 0xE6, 'a');
  set(0xE7, 0xE7, 'c');
  set(0xE8, 0xEB, 'e');
  set(0xEC, 0xEF, 'i');
  set(0xF0, 0xF0, 'd');
  set(0xF1, 0xF1, 'n');
  set(0xF2, 0xF6, 'o');
  set(0xF8, 0xF8, 'o');  // ø
  set(0xF9, 0xFC, 'u');
  set(0xFD, 0xFD, 'y');
  set(0xFF, 0xFF, 'y');
  return table;
}

constexpr std::array<uint8_t, 128> kFoldTable = MakeFoldTable();

// Reads one text as a stream of folded characters.
template <typename TChar>
class TFoldingReader {
 public:
  static constexpr uint32_t kHighest = std::numeric_limits<std::make_unsigned_t<TChar>>::max();
  static constexpr size_t kNoAccent = std::numeric_limits<size_t>::max();

  TFoldingReader(std::basic_string_view<TChar> text, TStrCmpOptions options) : FText(text), FOptions(options) {}

  // The next folded character; false at the end of the text.
  bool Next(uint32_t& folded) {
    if (FPendingS) {
      FPendingS = false;
      folded = Cased('s');
      return true;
    }
    if (FPosition >= FText.size()) return false;
    const size_t position = FPosition++;
    uint32_t c = static_cast<std::make_unsigned_t<TChar>>(FText[position]);
    if (c == kCaretCharacter) {
      c = u' ';
    } else if (c == kDeleteCharacter) {
      c = kHighest;
    } else if (c == kSharpS && (FOptions & scoLigatureSensitive) == 0) {
      FPendingS = true;
      c = 's';
    } else if (c >= 128 && c <= 255 && kFoldTable[c - 128] != 0) {
      c = kFoldTable[c - 128];
      if ((FOptions & scoAccentSensitive) != 0 && FFirstAccent == kNoAccent) FFirstAccent = position;
    }
    folded = Cased(c);
    return true;
  }

  size_t FirstAccent() const { return FFirstAccent; }

  // Passes over the first `count` characters, which the other text has
  // too: they fold alike in both, so only whether they hold an accent
  // (`accentAt`, kNoAccent when not) still matters.
  void SkipCommon(size_t count, size_t accentAt) {
    FPosition = count;
    FFirstAccent = accentAt;
  }

 private:
  uint32_t Cased(uint32_t c) const {
    if ((FOptions & scoCaseSensitive) == 0 && c >= 'a' && c <= 'z') return c - 'a' + 'A';
    return c;
  }

  std::basic_string_view<TChar> FText;
  TStrCmpOptions FOptions;
  size_t FPosition = 0;
  bool FPendingS = false;
  size_t FFirstAccent = kNoAccent;
};

template <typename TChar>
int CompareFolded(std::basic_string_view<TChar> a, std::basic_string_view<TChar> b, TStrCmpOptions options) {
  TFoldingReader<TChar> readerA(a, options);
  TFoldingReader<TChar> readerB(b, options);
  // Neighbouring keys share long beginnings: equal characters fold alike,
  // so the comparison starts where the texts differ. A sharp s pending at
  // that point would give 's' on both sides and is passed over with it.
  const size_t shorter = std::min(a.size(), b.size());
  size_t common = 0;
  size_t accentAt = TFoldingReader<TChar>::kNoAccent;
  const bool accents = (options & scoAccentSensitive) != 0;
  for (; common < shorter && a[common] == b[common]; ++common) {
    const uint32_t c = static_cast<std::make_unsigned_t<TChar>>(a[common]);
    if (accents && accentAt == TFoldingReader<TChar>::kNoAccent && c >= 128 && c <= 255 &&
        kFoldTable[c - 128] != 0 && !(c == kSharpS && (options & scoLigatureSensitive) == 0))
      accentAt = common;
  }
  readerA.SkipCommon(common, accentAt);
  readerB.SkipCommon(common, accentAt);
  for (;;) {
    uint32_t ca = 0;
    uint32_t cb = 0;
    const bool hasA = readerA.Next(ca);
    const bool hasB = readerB.Next(cb);
    if (!hasA || !hasB) {
      if (hasA) return 1;
      if (hasB) return -1;
      break;
    }
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  const size_t accentA = readerA.FirstAccent();
  const size_t accentB = readerB.FirstAccent();
  if (accentA == accentB) return 0;
  return accentA < accentB ? 1 : -1;
}

}  // namespace

uint8_t StandardFoldHighCharacter(uint8_t character) {
  if (character < 128 || kFoldTable[character - 128] == 0) return character;
  return kFoldTable[character - 128];
}

int StandardCompare(std::u16string_view a, std::u16string_view b, TStrCmpOptions options) {
  return CompareFolded<char16_t>(a, b, options);
}

int StandardCompareAnsi(std::string_view a, std::string_view b, TStrCmpOptions options) {
  return CompareFolded<char>(a, b, options);
}

size_t TTdbStandardCollation::ExpandedLength(std::u16string_view pattern) const {
  size_t length = pattern.size();
  for (char16_t c : pattern)
    if (c == kSharpS) ++length;
  return length;
}

}  // namespace kestrel
