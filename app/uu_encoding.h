// Line encoding of the update request file: uuencoding with the grave accent
// (code 96) as the character for the value 0 and as the fill character, and
// without begin and end lines.
//
// The alphabet has 64 characters: "`" for 0, then the characters 33 to 95 for
// 1 to 63. The text is taken as bytes (characters below 256 pass unchanged,
// any other character becomes "?") and cut into groups of at most 63 bytes,
// one less than the alphabet's size. Each group gives one encoded line: the
// alphabet character of its byte count, then four characters for every three
// bytes; a last run of two bytes ends in one fill character, a run of one byte
// in two. Groups after the first are separated by carriage return and line
// feed; no line break follows the last one.
#pragma once

#include <QByteArray>
#include <QString>

namespace vendrik {

// The most bytes one encoded line carries.
inline constexpr int kUUEncodeGroupBytes = 63;

// Encodes `text` as described above. An empty text gives an empty result.
// Pure; thread-safe.
QByteArray UUEncodeString(const QString& text);

}  // namespace vendrik
