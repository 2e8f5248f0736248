// The page compression of page streams: an adaptive prefix code over the 256
// byte values kept in a splay tree. Each byte is sent as the path from the
// root to its leaf (most significant bit first, the last byte padded with
// zero bits), and the leaf is then splayed towards the root, so that
// frequent bytes get short codes. Encoder and decoder start from the same
// balanced tree and change it in the same way.
#pragma once

#include <optional>

#include <QByteArray>

namespace vendrik {

QByteArray QRSplayCompress(const QByteArray& plain);

// Decodes `length` bytes from `coded`. Returns nothing when the coded bytes
// end first; `consumed` receives the number of coded bytes used.
std::optional<QByteArray> QRSplayExpand(const QByteArray& coded, qint64 length, qint64& consumed);

}  // namespace vendrik
