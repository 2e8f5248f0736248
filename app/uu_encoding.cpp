// The update request file's line encoding (see uu_encoding.h).
#include "app/uu_encoding.h"

#include <algorithm>

#include <QList>

namespace vendrik {
namespace {

constexpr char kZeroCharacter = '`';  // value 0, and the fill character
constexpr char kFirstCharacter = '!';  // value 1; values 1 to 63 follow in order
constexpr char kUnmappableCharacter = '?';
constexpr uint kFirstUnmappable = 256;

char AlphabetCharacter(unsigned value) {
  value &= 0x3F;
  return value == 0 ? kZeroCharacter : static_cast<char>(kFirstCharacter + value - 1);
}

// Characters below 256 become their own byte, any other one "?".
QByteArray ToBytes(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (uint character : text.toUcs4())
    bytes.append(character < kFirstUnmappable ? static_cast<char>(character) : kUnmappableCharacter);
  return bytes;
}

void EncodeGroup(const unsigned char* group, int count, QByteArray& out) {
  out.append(AlphabetCharacter(static_cast<unsigned>(count)));
  for (int at = 0; at < count; at += 3) {
    const int run = std::min(3, count - at);
    const unsigned b0 = group[at];
    const unsigned b1 = run > 1 ? group[at + 1] : 0;
    const unsigned b2 = run > 2 ? group[at + 2] : 0;
    out.append(AlphabetCharacter(b0 >> 2));
    out.append(AlphabetCharacter(((b0 & 3) << 4) | (b1 >> 4)));
    out.append(run > 1 ? AlphabetCharacter(((b1 & 15) << 2) | (b2 >> 6)) : kZeroCharacter);
    out.append(run > 2 ? AlphabetCharacter(b2 & 63) : kZeroCharacter);
  }
}

}  // namespace

QByteArray UUEncodeString(const QString& text) {
  const QByteArray bytes = ToBytes(text);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  QByteArray encoded;
  for (qsizetype at = 0; at < bytes.size(); at += kUUEncodeGroupBytes) {
    if (at > 0) encoded.append("\r\n");
    const int count = static_cast<int>(std::min<qsizetype>(kUUEncodeGroupBytes, bytes.size() - at));
    EncodeGroup(data + at, count, encoded);
  }
  return encoded;
}

}  // namespace vendrik
