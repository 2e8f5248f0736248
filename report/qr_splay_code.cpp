// The splay-tree prefix code. Nodes 1..255 are inner nodes (1 is the root),
// 256..511 the leaves of the byte values 0..255.
#include "report/qr_splay_code.h"

#include <array>
#include <cstdint>

namespace vendrik {
namespace {

constexpr int kSymbols = 256;
constexpr int kRoot = 1;
constexpr int kNodes = 2 * kSymbols;

class TSplayTree {
 public:
  TSplayTree() {
    for (int i = 2; i < kNodes; ++i) FUp[i] = static_cast<uint16_t>(i / 2);
    for (int j = 1; j < kSymbols; ++j) {
      FLeft[j] = static_cast<uint16_t>(2 * j);
      FRight[j] = static_cast<uint16_t>(2 * j + 1);
    }
  }

  // The path of `symbol` from the root, as bits (true = right), leaf last.
  int Path(int symbol, std::array<bool, kSymbols>& bits) const {
    int count = 0;
    for (int a = symbol + kSymbols; a != kRoot; a = FUp[a]) bits[count++] = FRight[FUp[a]] == a;
    return count;  // bits[count - 1] is the first bit to send
  }

  int Child(int node, bool right) const { return right ? FRight[node] : FLeft[node]; }

  // Moves the leaf of `symbol` up, halving the depth of its path.
  void Splay(int symbol) {
    int a = symbol + kSymbols;
    do {
      const int c = FUp[a];
      if (c == kRoot) {
        a = c;
        continue;
      }
      const int d = FUp[c];
      int b = FLeft[d];
      if (c == b) {
        b = FRight[d];
        FRight[d] = static_cast<uint16_t>(a);
      } else {
        FLeft[d] = static_cast<uint16_t>(a);
      }
      if (a == FLeft[c])
        FLeft[c] = static_cast<uint16_t>(b);
      else
        FRight[c] = static_cast<uint16_t>(b);
      FUp[a] = static_cast<uint16_t>(d);
      FUp[b] = static_cast<uint16_t>(c);
      a = d;
    } while (a != kRoot);
  }

 private:
  std::array<uint16_t, kSymbols> FLeft{}, FRight{};
  std::array<uint16_t, kNodes> FUp{};
};

}  // namespace

QByteArray QRSplayCompress(const QByteArray& plain) {
  TSplayTree tree;
  QByteArray coded;
  uint8_t current = 0;
  int filled = 0;
  std::array<bool, kSymbols> bits{};
  for (const char c : plain) {
    const int symbol = static_cast<uint8_t>(c);
    for (int i = tree.Path(symbol, bits) - 1; i >= 0; --i) {
      current = static_cast<uint8_t>((current << 1) | (bits[i] ? 1 : 0));
      if (++filled == 8) {
        coded.append(static_cast<char>(current));
        current = 0;
        filled = 0;
      }
    }
    tree.Splay(symbol);
  }
  if (filled > 0) coded.append(static_cast<char>(current << (8 - filled)));
  return coded;
}

std::optional<QByteArray> QRSplayExpand(const QByteArray& coded, qint64 length, qint64& consumed) {
  TSplayTree tree;
  QByteArray plain;
  if (length < 0) return std::nullopt;
  plain.reserve(static_cast<qsizetype>(std::min<qint64>(length, coded.size() * 8)));
  qint64 bit = 0;
  const qint64 totalBits = static_cast<qint64>(coded.size()) * 8;
  while (plain.size() < length) {
    int a = kRoot;
    while (a < kSymbols) {
      if (bit >= totalBits) return std::nullopt;
      const bool right = (static_cast<uint8_t>(coded[bit / 8]) >> (7 - bit % 8)) & 1;
      ++bit;
      a = tree.Child(a, right);
    }
    const int symbol = a - kSymbols;
    plain.append(static_cast<char>(symbol));
    tree.Splay(symbol);
  }
  consumed = (bit + 7) / 8;
  return plain;
}

}  // namespace vendrik
