// Generation of the benchmark rows (see bench_data.h).
#include "bench/bench_data.h"

#include <array>

namespace vendrik::bench {

namespace {

// Pool of description text: long enough that descriptions start at many
// different places.
constexpr std::size_t kPoolLength = 1 << 17;
constexpr std::size_t kMinDescription = 100;
constexpr std::size_t kMaxDescription = 3000;
constexpr std::uint64_t kEmptyDescriptionOneIn = 10;
// How far a description's start may move so that it cuts no line break.
constexpr std::size_t kMaxShift = 4;
// Codes are i * kCodeStep + kCodeOffset modulo 10^10 (i below 10^9, so no
// overflow): the step is prime to 10^10, so the codes are distinct and come
// in no useful order.
constexpr std::uint64_t kCodeModulus = 10000000000ull;
constexpr std::uint64_t kCodeStep = 2654435761ull;
constexpr std::uint64_t kCodeOffset = 1234567ull;

constexpr std::array<std::u16string_view, 24> kAsciiSyllables = {
    u"ker", u"sza", u"bor", u"tel", u"mun", u"gep", u"vil", u"kar", u"fel", u"ors", u"hal", u"lak",
    u"nap", u"pol", u"rak", u"tar", u"uto", u"zen", u"ber", u"dom", u"fal", u"jog", u"lev", u"min"};
constexpr std::array<std::u16string_view, 40> kSyllables = {
    u"ké",  u"szé", u"bő",  u"tű",  u"mű",  u"gé",  u"vá",  u"kő",  u"fé",  u"ös",
    u"há",  u"lá",  u"ny",  u"gy",  u"rá",  u"tó",  u"ú",   u"zö",  u"be",  u"do",
    u"fa",  u"jo",  u"le",  u"mi",  u"sz",  u"ta",  u"ke",  u"ar",  u"es",  u"ol",
    u"ül",  u"ír",  u"ás",  u"és",  u"ző",  u"ko",  u"ra",  u"ve",  u"si",  u"pa"};

std::u16string Word(TBenchRandom& random, int syllables) {
  std::u16string word;
  for (int s = 0; s < syllables; ++s) word += kSyllables[random.Below(kSyllables.size())];
  return word;
}

std::u16string Name(TBenchRandom& random) {
  std::u16string name;
  name += kAsciiSyllables[random.Below(kAsciiSyllables.size())];
  name += kAsciiSyllables[random.Below(kAsciiSyllables.size())];
  name[0] = static_cast<char16_t>(name[0] - u'a' + u'A');
  const std::size_t target = 20 + random.Below(kNameLength - 20 + 1);
  while (name.size() < target) name += u' ' + Word(random, 2 + static_cast<int>(random.Below(3)));
  name.resize(std::min(name.size(), kNameLength));
  while (name.back() == u' ') name.pop_back();
  return name;
}

std::u16string Digits(std::uint64_t value) {
  std::u16string code(kCodeLength, u'0');
  for (std::size_t p = kCodeLength; p-- > 0; value /= 10) code[p] = static_cast<char16_t>(u'0' + value % 10);
  return code;
}

std::u16string Code(std::uint64_t i) { return Digits((i * kCodeStep + kCodeOffset) % kCodeModulus); }

}  // namespace

std::uint64_t TBenchRandom::Next() {
  std::uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

TBenchData::TBenchData(std::int32_t records, std::uint64_t seed) {
  TBenchRandom random(seed);
  while (FPool.size() < kPoolLength) {
    std::u16string word = Word(random, 1 + static_cast<int>(random.Below(4)));
    if (random.Below(12) == 0) word += u'.';
    FPool += word;
    FPool += random.Below(40) == 0 ? u"\r\n" : u" ";
  }
  const std::u16string_view pool(FPool);
  FRows.reserve(static_cast<std::size_t>(records));
  for (std::int32_t i = 0; i < records; ++i) {
    TBenchRow row{Code(static_cast<std::uint64_t>(i)), Name(random), {}};
    if (random.Below(kEmptyDescriptionOneIn) != 0) {
      const std::size_t length = kMinDescription + random.Below(kMaxDescription - kMinDescription + 1);
      // Line breaks are whole: the memo file keeps a lone LF or CR as CR LF.
      std::size_t start = random.Below(kPoolLength - length - kMaxShift);
      while (pool[start] == u'\n' || pool[start + length - 1] == u'\r') ++start;
      row.Description = pool.substr(start, length);
    }
    FRows.push_back(std::move(row));
  }
}

std::u16string TBenchData::NewName(TBenchRandom& random) const { return Name(random); }

std::u16string TBenchData::CodeText(std::uint64_t value) { return Digits(value % kCodeModulus); }

std::u16string TBenchData::RandomCodeKey(TBenchRandom& random) { return Digits(random.Below(kCodeModulus)); }

std::uint64_t TBenchData::DescriptionChars() const {
  std::uint64_t total = 0;
  for (const TBenchRow& row : FRows) total += row.Description.size();
  return total;
}

std::uint64_t HashText(std::u16string_view text, std::uint64_t hash) {
  for (char16_t c : text) {
    hash ^= static_cast<std::uint64_t>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace vendrik::bench
