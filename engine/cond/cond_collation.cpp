// The default collation of conditions (see cond_record_source.h).
#include "engine/cond/cond_record_source.h"

#include "engine/base/code_page.h"

namespace kestrel {

namespace {

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

// The engine's case mapping of one 8-bit character (or one UTF-16 code unit
// below 256): a-z, 224-246 and 248-254 to 192-214 and 216-222, and back.
unsigned MapCaseByte(unsigned c, bool upper) {
  if (upper) {
    if ((c >= 'a' && c <= 'z') || (c >= 224 && c <= 246) || (c >= 248 && c <= 254)) return c - 32;
  } else {
    if ((c >= 'A' && c <= 'Z') || (c >= 192 && c <= 214) || (c >= 216 && c <= 222)) return c + 32;
  }
  return c;
}

class TDefaultCondCollation final : public ICondCollation {
 public:
  int Compare(std::u16string_view left, std::u16string_view right) const override {
    const size_t common = std::min(left.size(), right.size());
    for (size_t i = 0; i < common; ++i) {
      const char16_t a = FoldAscii(left[i]);
      const char16_t b = FoldAscii(right[i]);
      if (a != b) return a < b ? -1 : 1;
    }
    return left.size() == right.size() ? 0 : left.size() < right.size() ? -1 : 1;
  }

  bool RunEquals(std::u16string_view valueRun, std::u16string_view patternRun) const override {
    return Compare(valueRun, patternRun) == 0;
  }

  std::u16string MapCase(std::u16string_view text, bool upper, int codePage) const override {
    if (codePage != 0) {
      std::string bytes = EncodeCodePage(text, codePage);
      for (char& c : bytes) c = static_cast<char>(MapCaseByte(static_cast<unsigned char>(c), upper));
      return DecodeCodePage(bytes, codePage);
    }
    std::u16string result(text);
    for (char16_t& c : result) {
      if (c < 256) c = static_cast<char16_t>(MapCaseByte(c, upper));
      if (upper && c == u'\u00FF') c = u'\u0178';  // y with diaeresis
      else if (!upper && c == u'\u0178') c = u'\u00FF';
    }
    return result;
  }
};

}  // namespace

const ICondCollation& DefaultCondCollation() {
  static const TDefaultCondCollation kCollation;
  return kCollation;
}

}  // namespace kestrel
